#include "application/TWCanvasContextMenu.h"

#include "application/TWDocument.h"
#include "application/TWMapViewOptions.h"

#include "canvas/SpellableTextView.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapDrawingServices.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWDockedPalettesController.h"
#include "palettes/TWGraphicStyleController.h"
#include "palettes/TWMapStyleController.h"
#include "palettes/TWStylePalettes.h"
#include "palettes/TWStyleView.h"
#include "platform/TWLocalizedString.h"

#include <QAction>
#include <QMenu>
#include <QPointF>
#include <QVariantMap>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

struct BranchKind
{
    const char *title;
    int type;
};
const BranchKind NewBranchKinds[] = {{"Line Branch", TWCContextMenuController::LineType},
                                     {"Rectangle Branch", TWCContextMenuController::RectangleType},
                                     {"Oval Branch", TWCContextMenuController::OvalType},
                                     {"Flexi Branch", TWCContextMenuController::FlexiType}};

// An item sending its action to a target that may be gone by the time it is chosen.
template <class T, class F>
QAction *addItem(QMenu *menu, const QString &title, const std::shared_ptr<T> &target,
                 const QVariant &represented, F action)
{
    QAction *item = menu->addAction(title);
    item->setData(represented);
    const std::weak_ptr<T> weak = target;
    QObject::connect(item, &QAction::triggered, item, [weak, item, action] {
        if (const std::shared_ptr<T> strong = weak.lock())
            action(*strong, item);
    });
    return item;
}

// An item that only opens its submenu.
QMenu *addSubmenu(QMenu *menu, const QString &title, const QVariant &represented = QVariant())
{
    QMenu *submenu = menu->addMenu(title);
    submenu->menuAction()->setData(represented);
    return submenu;
}

// The style menu of the docked style palettes of the map's document (the map
// styles' or the graphic styles'); the item stays, disabled, without one.
void addStyleItem(QMenu *menu, const TWMap &map, bool mapStyles)
{
    const auto *document =
        map.document() ? dynamic_cast<const TWDocument *>(map.document()->document()) : nullptr;
    const TWStylePalettes *styles = document && document->dockedPalettesController()
                                        ? document->dockedPalettesController()->stylePalettes()
                                        : nullptr;
    QMenu *styleMenu = nullptr;
    if (styles && mapStyles && styles->mapController())
        styleMenu = styles->mapController()->styleMenu();
    else if (styles && !mapStyles && styles->graphicController())
        styleMenu = styles->graphicController()->styleMenu();
    if (styleMenu) {
        QAction *item = menu->addMenu(styleMenu);
        item->setText(dadoZiz("Style"));
        return;
    }
    menu->addAction(dadoZiz("Style"))->setEnabled(false);
}

QVariantMap typeOptions(int type)
{
    return {{QStringLiteral("type"), type}};
}

std::shared_ptr<TWMap> sharedMap(TWMap &map)
{
    return map.shared_from_this();
}

std::shared_ptr<TWMapBranch> sharedBranch(TWMapBranch &branch)
{
    return branch.shared_from_this();
}

// The canvas knows the text area its editor is on.
bool isBeingEdited(const TWGraphic &graphic, const TWGraphicView &canvas)
{
    const auto *text = dynamic_cast<const TWTextArea *>(&graphic);
    return text && (text->isEditing() || canvas.editingTextArea() == text);
}

bool isBranchOwnGraphic(const TWGraphic &graphic)
{
    const TWMapBranch *branch = graphic.branch();
    return branch && (branch->mainGraphic().get() == &graphic ||
                      branch->enclosedTextArea().get() == &graphic);
}

} // namespace

void TWCContextMenuController::selectForMenu(TWMap &map, TWGraphic &graphic)
{
    const TWMapBranch *branch = graphic.branch();
    const TWGraphic *shape = branch ? branch->mainGraphic().get() : &graphic;
    if (shape && map.isGraphicSelected(shape))
        return;
    map.removeAllSelectedGraphics();
    graphic.tryToSelect();
}

void TWCContextMenuController::prepareForEvent(Point point, TWGraphicView &canvas)
{
    TWMap *map = canvas.map();
    if (!map)
        return;
    const std::shared_ptr<TWGraphic> graphic = map->graphicUnderPoint(point, nullptr);
    if (!graphic) {
        map->removeAllSelectedGraphics();
        return;
    }
    if (!isBranchOwnGraphic(*graphic) && isBeingEdited(*graphic, canvas))
        return;
    selectForMenu(*map, *graphic);
}

QMenu *TWCContextMenuController::menuForEvent(Point point, TWGraphicView &canvas, QWidget *parent)
{
    TWMap *map = canvas.map();
    if (!map)
        return nullptr;
    const std::shared_ptr<TWGraphic> graphic = map->graphicUnderPoint(point, nullptr);
    if (!graphic) {
        map->removeAllSelectedGraphics();
        return menuForMap(*map, point, parent);
    }
    if (!isBranchOwnGraphic(*graphic)) {
        if (isBeingEdited(*graphic, canvas)) {
            SpellableTextView *editor = canvas.editorView();
            if (!editor)
                return nullptr;
            QMenu *menu = editor->createStandardContextMenu();
            menu->setParent(parent, menu->windowFlags());
            return menu;
        }
        selectForMenu(*map, *graphic);
        return menuForGraphic(*graphic, point, parent);
    }
    selectForMenu(*map, *graphic);
    return graphic->branch() ? menuForBranch(*graphic->branch(), point, parent) : nullptr;
}

QMenu *TWCContextMenuController::menuForMap(TWMap &map, Point point, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    const std::shared_ptr<TWMap> target = sharedMap(map);
    const QPointF location = point.toQt();
    const auto create = [](TWMap &m, QAction *item) { m.publicCreateChildrenFromMenuItem(item); };

    QMenu *add = addSubmenu(menu, dadoZiz("Add Branch"),
                            QVariantMap{{QStringLiteral("location"), location}});
    for (const BranchKind &kind : NewBranchKinds)
        addItem(add, dadoZiz(kind.title), target,
                QVariantMap{{QStringLiteral("location"), location},
                            {QStringLiteral("type"), kind.type}},
                create);
    addItem(menu, dadoZiz("Auto Arrange"), target, QVariant(),
            [](TWMap &m, QAction *) { m.drawingServices().autoArrange(m); });
    addStyleItem(menu, map, true);

    QMenu *options = addSubmenu(menu, dadoZiz("View Options"));
    std::shared_ptr<TWMap> current = map.document() ? map.document()->currentMap() : nullptr;
    if (!current)
        current = target;
    for (const TWMapViewOption &option : TWMapViewOptions) {
        const QString key = QString::fromLatin1(option.key);
        QAction *item =
            addItem(options, dadoZiz(option.title), current, key, [key](TWMap &m, QAction *) {
                m.setMapValue(!m.valueForKey(key).toBool(), key);
            });
        item->setCheckable(true);
        item->setChecked(current->valueForKey(key).toInt() != 0);
    }
    return menu;
}

QMenu *TWCContextMenuController::menuForBranch(TWMapBranch &branch, Point, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    TWMap *map = branch.map();
    if (!map)
        return menu;
    const std::shared_ptr<TWMap> target = sharedMap(*map);
    const std::shared_ptr<TWMapBranch> self = sharedBranch(branch);

    QMenu *shape = addSubmenu(menu, dadoZiz("Shape"));
    const BranchKind shapes[] = {{"Line", LineType},
                                 {"Rectangle", RectangleType},
                                 {"Oval", OvalType},
                                 {"FlexiBranch", FlexiType}};
    for (const BranchKind &kind : shapes)
        addItem(shape, dadoZiz(kind.title), self, kind.type, [](TWMapBranch &b, QAction *item) {
            b.publicChangeToBranchTypeFromMenuItem(item);
        });
    addStyleItem(menu, *map, false);
    menu->addSeparator();

    QMenu *sibling = addSubmenu(menu, dadoZiz("Add Sibling Branch"), typeOptions(LineType));
    for (const BranchKind &kind : NewBranchKinds)
        addItem(sibling, dadoZiz(kind.title), target, typeOptions(kind.type),
                [](TWMap &m, QAction *item) { m.publicCreateSiblingsFromMenuItem(item); });
    // The central branch has no siblings.
    sibling->menuAction()->setEnabled(!branch.isRoot());
    QMenu *child = addSubmenu(menu, dadoZiz("Add Child Branch"), typeOptions(LineType));
    for (const BranchKind &kind : NewBranchKinds)
        addItem(child, dadoZiz(kind.title), target, typeOptions(kind.type),
                [](TWMap &m, QAction *item) { m.publicCreateChildrenFromMenuItem(item); });
    addItem(menu, dadoZiz("Delete Branch"), target, QVariant(),
            [](TWMap &m, QAction *) { m.publicDeleteSelectedBranches(); });
    QAction *hide = addItem(menu, dadoZiz("Hide Children"), self, QStringLiteral("childrenHidden"),
                            [](TWMapBranch &b, QAction *item) { b.toggle(item); });
    hide->setCheckable(true);
    hide->setChecked(branch.childrenHidden());
    hide->setEnabled(branch.countOfChildren() > 0);
    menu->addSeparator();

    addItem(menu, dadoZiz("Select Siblings"), target, QVariant(),
            [](TWMap &m, QAction *) { m.publicSelectSiblings(); });
    addItem(menu, dadoZiz("Select Descendants"), target, QVariant(),
            [](TWMap &m, QAction *) { m.publicSelectDescendants(); });
    menu->addSeparator();

    QMenu *graphic = addSubmenu(menu, dadoZiz("Add Graphic"));
    const BranchKind graphics[] = {
        {"Text", TextGraphicType}, {"Rectangle", RectangleType}, {"Oval", OvalType}};
    for (const BranchKind &kind : graphics)
        addItem(
            graphic, dadoZiz(kind.title), self, QVariantMap{{QStringLiteral("gType"), kind.type}},
            [](TWMapBranch &b, QAction *item) { b.publicCreateLinkedGraphicFromMenuItem(item); });
    return menu;
}

QMenu *TWCContextMenuController::menuForGraphic(TWGraphic &graphic, Point, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    TWMap *map = graphic.branch() ? graphic.branch()->map() : nullptr;
    if (!map)
        return menu;
    const std::shared_ptr<TWMap> target = sharedMap(*map);
    addItem(menu, dadoZiz("Delete Branch"), target, QVariant(),
            [](TWMap &m, QAction *) { m.publicDeleteSelectedBranches(); });
    menu->addSeparator();
    addItem(menu, dadoZiz("Bring To Front"), target, QVariant(),
            [](TWMap &m, QAction *) { m.publicMoveSelectedGraphicsToFront(); });
    addItem(menu, dadoZiz("Bring Forward"), target, QVariant(),
            [](TWMap &m, QAction *) { m.publicMoveSelectedGraphicsForward(); });
    addItem(menu, dadoZiz("Send To Back"), target, QVariant(),
            [](TWMap &m, QAction *) { m.publicMoveSelectedGraphicsToBack(); });
    addItem(menu, dadoZiz("Send Back"), target, QVariant(),
            [](TWMap &m, QAction *) { m.publicMoveSelectedGraphicsBack(); });
    menu->addSeparator();
    addStyleItem(menu, *map, false);
    return menu;
}

// --- the document as the canvas's menu host ---

void TWDocument::prepareContextMenu(Point location)
{
    if (TWGraphicView *view = graphicView())
        TWCContextMenuController::prepareForEvent(location, *view);
}

QMenu *TWDocument::contextMenu(Point location)
{
    TWGraphicView *view = graphicView();
    if (!view)
        return nullptr;
    delete m_contextMenu;
    m_contextMenu = TWCContextMenuController::menuForEvent(location, *view, view);
    return m_contextMenu;
}
