// The canvas's menu commands and what their menu items show: attaching
// graphics, their z-order, branch types, alignment and text size, automatic
// arrangement, collapsing, map and preference switches, select all and undo.

#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWCircle.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "interface/AttributedStringExtensions.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapDrawingServices.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/Random.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/Image.h"
#include "support/TWPreferences.h"

#include <QAction>
#include <QClipboard>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>
#include <QSet>
#include <algorithm>

namespace {

// The longest side of a picture attached from a file.
constexpr float AttachedPictureMaximum = 120;
const Size AttachedTextSize(150, 75);

using Action = std::function<void(TWGraphicView &, const QVariant &)>;

struct MenuAction
{
    const char *selector;
    Action perform;
};

// The commands the canvas takes from menus and toolbars.
const QList<MenuAction> &menuActionTable()
{
    using V = TWGraphicView;
    using A = const QVariant &;
    static const QList<MenuAction> table{
        {"doAttachRectangle:", [](V &v, A) { v.doAttachRectangle(); }},
        {"doAttachOval:", [](V &v, A) { v.doAttachOval(); }},
        {"doAttachText:", [](V &v, A) { v.doAttachText(); }},
        {"doAttachImage:", [](V &v, A) { v.doAttachImage(); }},
        {"doBringToFront:",
         [](V &v, A) {
             if (TWMap *m = v.map())
                 m->publicMoveSelectedGraphicsToFront();
         }},
        {"doBringForward:",
         [](V &v, A) {
             if (TWMap *m = v.map())
                 m->publicMoveSelectedGraphicsForward();
         }},
        {"doSendBack:",
         [](V &v, A) {
             if (TWMap *m = v.map())
                 m->publicMoveSelectedGraphicsBack();
         }},
        {"doSendToBack:",
         [](V &v, A) {
             if (TWMap *m = v.map())
                 m->publicMoveSelectedGraphicsToBack();
         }},
        // Kept so that items sending them find a target that ignores them.
        {"bringToFront:", [](V &, A) {}},
        {"sendToBack:", [](V &, A) {}},
        {"doChangeBranchType:", [](V &v, A tag) { v.doChangeBranchType(tag.toInt()); }},
        // The palettes these opened are gone: the items stay, disabled.
        {"doBranchTypes:", [](V &, A) {}},
        {"doDisplayOutlineNumbersForToolbar:", [](V &, A) {}},
        {"doDisplayOutlineNumbers:", [](V &v, A) { v.doDisplayOutlineNumbers(); }},
        {"doLayoutAssistanceMode:", [](V &v, A tag) { v.doLayoutAssistanceMode(tag.toInt()); }},
        {"doSnapLinesMode:", [](V &v, A) { v.doSnapLinesMode(); }},
        {"doCheckSpelling:", [](V &v, A) { v.doCheckSpelling(); }},
        {"autoArrangeTree:", [](V &v, A) { v.autoArrangeTree(); }},
        {"autoArrangeSelectedBranch:", [](V &v, A) { v.autoArrangeSelectedBranch(); }},
        {"toggleHideChildren:", [](V &v, A) { v.toggleHideChildren(); }},
        {"alignTWTextLeft:", [](V &v, A) { v.alignText(0); }},
        {"alignTWTextCenter:", [](V &v, A) { v.alignText(2); }},
        {"alignTWTextRight:", [](V &v, A) { v.alignText(1); }},
        {"alignLeft:", [](V &v, A) { v.alignText(0); }},
        {"alignCenter:", [](V &v, A) { v.alignText(2); }},
        {"alignRight:", [](V &v, A) { v.alignText(1); }},
        {"increaseFontSize:", [](V &v, A) { v.changeFontSize(1); }},
        {"decreaseFontSize:", [](V &v, A) { v.changeFontSize(-1); }},
        {"makeNaturalSize:", [](V &v, A) { v.makeNaturalSize(); }},
        {"selectAll:", [](V &v, A) { v.selectAll(); }},
        {"undo:", [](V &v, A) { v.undo(); }},
        {"copy:", [](V &v, A) { v.copy(); }},
        {"cut:", [](V &v, A) { v.cut(); }},
        {"paste:", [](V &v, A) { v.paste(); }},
        {"pasteToAttachedGraphic:", [](V &v, A) { v.pasteToAttachedGraphic(); }},
    };
    return table;
}

const MenuAction *findMenuAction(const QString &selector)
{
    static const QHash<QString, const MenuAction *> index = [] {
        QHash<QString, const MenuAction *> result;
        for (const MenuAction &action : menuActionTable())
            result.insert(QString::fromLatin1(action.selector), &action);
        return result;
    }();
    return index.value(selector);
}

// The shape classes the branch-type items choose between.
enum Kind { LineKind = 1, RectangleKind = 2, CircleKind = 4, FlexiKind = 8, AllKinds = 15 };

int kindOf(const TWGraphic *shape)
{
    if (dynamic_cast<const TWLine *>(shape))
        return LineKind;
    if (dynamic_cast<const TWRectangle *>(shape))
        return RectangleKind;
    if (dynamic_cast<const TWCircle *>(shape))
        return CircleKind;
    if (dynamic_cast<const TWFlexiBranch *>(shape))
        return FlexiKind;
    return 0;
}

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromLatin1(key));
}

// The picture types Qt reads, with the PDF and EPS readers of our own.
QStringList pictureFileTypes()
{
    QStringList types;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        types << QString::fromLatin1(format).toLower();
    types << QStringLiteral("pdf") << QStringLiteral("eps");
    types.removeDuplicates();
    return types;
}

// The selected graphics' distinct branches, in selection order.
QList<std::shared_ptr<TWMapBranch>> selectedBranchesOf(const TWMap &map)
{
    QList<std::shared_ptr<TWMapBranch>> branches;
    for (TWMapBranch *branch : map.selectedBranches())
        branches << branch->shared_from_this();
    return branches;
}

} // namespace

// --- responding ---

bool TWGraphicView::respondsToMenuAction(const QString &selector) const
{
    return findMenuAction(selector) != nullptr;
}

void TWGraphicView::performMenuAction(const QString &selector, const QVariant &argument)
{
    if (const MenuAction *action = findMenuAction(selector))
        action->perform(*this, argument);
}

namespace {

struct MenuItem
{
    const char *selector;
    int tag; // 0: none
    const char *title;
};

// The items the document window's menus show, in menu order; titles from
// the "DadoZiz" table. Tagged items are keyed "selector:tag".
const MenuItem menuItems[] = {
    {"doAttachRectangle:", 0, "Attach Rectangle"},
    {"doAttachOval:", 0, "Attach Oval"},
    {"doAttachText:", 0, "Attach Text"},
    {"doAttachImage:", 0, "Attach Image..."},
    {"doBringToFront:", 0, "Bring to Front"},
    {"doBringForward:", 0, "Bring Forward"},
    {"doSendBack:", 0, "Send Backward"},
    {"doSendToBack:", 0, "Send to Back"},
    {"doChangeBranchType:", 1, "Line"},
    {"doChangeBranchType:", 2, "Rectangle"},
    {"doChangeBranchType:", 3, "Circle"},
    {"doChangeBranchType:", 5, "Flexi"},
    {"doDisplayOutlineNumbers:", 0, "Show Outline Numbers"},
    {"doLayoutAssistanceMode:", 1, "Free Layout"},
    {"doLayoutAssistanceMode:", 2, "Loose Layout"},
    {"doLayoutAssistanceMode:", 3, "Tight Layout"},
    {"doSnapLinesMode:", 0, "Snap Lines"},
    {"doCheckSpelling:", 0, "Check Spelling While Typing"},
    {"autoArrangeTree:", 0, "Auto-arrange Tree"},
    {"autoArrangeSelectedBranch:", 0, "Auto-arrange Branch"},
    {"toggleHideChildren:", 0, "Hide Children"},
    {"alignTWTextLeft:", 0, "Align Left"},
    {"alignTWTextCenter:", 0, "Center"},
    {"alignTWTextRight:", 0, "Align Right"},
    {"increaseFontSize:", 0, "Bigger"},
    {"decreaseFontSize:", 0, "Smaller"},
    {"makeNaturalSize:", 0, "Make Natural Size"},
    {"selectAll:", 0, "Select All"},
    {"undo:", 0, "Undo"},
};

} // namespace

const QHash<QString, QAction *> &TWGraphicView::menuActions()
{
    if (m_menuActions.isEmpty()) {
        for (const MenuItem &item : menuItems) {
            const QString selector = QString::fromLatin1(item.selector);
            const QString key = item.tag ? selector + QString::number(item.tag) : selector;
            m_menuActions.insert(key,
                                 m_router.makeAction(selector, dadoZiz(item.title), this,
                                                     item.tag ? QVariant(item.tag) : QVariant()));
        }
    }
    return m_menuActions;
}

// --- validation ---

bool TWGraphicView::validateAction(const QString &selector) const
{
    return validateMenuItem(selector, QVariant()).enabled;
}

TWResponder::ItemState TWGraphicView::validateMenuItem(const QString &selector,
                                                       const QVariant &tag) const
{
    ItemState state;
    const TWMap *m = map();
    const TWMap::GraphicList none;
    const TWMap::GraphicList &selected = m ? m->selectedGraphics() : none;
    const qsizetype n = selected.size();
    const auto someBranch = [&](const std::function<bool(const TWMapBranch &)> &test) {
        return std::any_of(selected.begin(), selected.end(),
                           [&](const auto &g) { return g->branch() && test(*g->branch()); });
    };

    if (selector == QLatin1String("undo:")) {
        // Titled and enabled as the document would: the canvas answers first.
        // Text being typed counts, since undoing commits it before taking it back.
        const UndoManager *manager = m_document ? m_document->undoManager() : nullptr;
        const QString name = manager ? manager->undoActionName() : QString();
        state.title = name.isEmpty() ? dadoZiz("Undo") : dadoZiz("Undo") + u' ' + name;
        state.enabled = m_editingTextArea || (manager && manager->canUndo());
    } else if (selector == QLatin1String("pasteToAttachedGraphic:")) {
        const QMimeData *pasteboard = QGuiApplication::clipboard()->mimeData();
        state.enabled = !pasteboard || (!pasteboard->hasFormat(GraphicPboardType) &&
                                        !pasteboard->hasFormat(BranchPboardType));
    } else if (selector == QLatin1String("clear:") || selector == QLatin1String("copy:") ||
               selector == QLatin1String("cut:") ||
               selector == QLatin1String("doAttachRectangle:") ||
               selector == QLatin1String("doAttachOval:") ||
               selector == QLatin1String("doAttachImage:") ||
               selector == QLatin1String("doAttachText:") ||
               selector == QLatin1String("alignTWTextLeft:") ||
               selector == QLatin1String("alignTWTextRight:") ||
               selector == QLatin1String("alignTWTextCenter:")) {
        state.enabled = n > 0;
    } else if (selector == QLatin1String("increaseFontSize:") ||
               selector == QLatin1String("decreaseFontSize:")) {
        // Sizes of labels and attached texts: a branch's graphic must be selected.
        state.enabled = someBranch([](const TWMapBranch &) { return true; });
    } else if (selector == QLatin1String("addSiblingBranch:")) {
        state.enabled = someBranch([](const TWMapBranch &b) { return b.parent() != nullptr; });
    } else if (selector == QLatin1String("makeNaturalSize:")) {
        state.enabled = std::any_of(selected.begin(), selected.end(),
                                    [](const auto &g) { return g->hasNaturalSize(); });
    } else if (selector == QLatin1String("toggleHideChildren:")) {
        state.enabled = someBranch([](const TWMapBranch &b) { return !b.children().isEmpty(); });
        const bool hidden = someBranch([](const TWMapBranch &b) { return b.childrenHidden(); });
        state.title = dadoZiz(hidden ? "Show Children" : "Hide Children");
    } else if (selector == QLatin1String("doChangeBranchType:")) {
        int seen = 0;
        for (const auto &g : selected) {
            if (seen == AllKinds)
                break;
            if (const TWMapBranch *b = g->branch(); b && b->mainGraphic())
                seen |= kindOf(b->mainGraphic().get());
        }
        // A type is offered when some selected branch is of another kind.
        const int others = [&] {
            switch (tag.toInt()) {
            case 1:
                return AllKinds & ~LineKind;
            case 2:
                return AllKinds & ~RectangleKind;
            case 3:
                return AllKinds & ~CircleKind;
            case 5:
                return AllKinds & ~FlexiKind;
            default:
                return -1;
            }
        }();
        // Without a selection there is nothing to change: the item is off.
        state.enabled = n > 0 && (others == -1 || (seen & others) != 0);
    } else if (selector == QLatin1String("doBringToFront:") ||
               selector == QLatin1String("doBringForward:") ||
               selector == QLatin1String("doSendBack:") ||
               selector == QLatin1String("doSendToBack:")) {
        state.enabled =
            someBranch([](const TWMapBranch &b) { return b.countOfLinkedGraphics() > 0; });
    } else if (selector == QLatin1String("doBranchTypes:")) {
        const int type = tag.toInt();
        state.enabled = false;
        state.checked = type >= 1 && type <= 5 && type == TWPreferences::branchType();
    } else if (selector == QLatin1String("doDisplayOutlineNumbersForToolbar:")) {
        state.enabled = false;
    } else if (selector == QLatin1String("doDisplayOutlineNumbers:")) {
        state.checked = m && m->showOutlineNumbers();
    } else if (selector == QLatin1String("doLayoutAssistanceMode:")) {
        state.checked = m && tag.toInt() == m->layoutAssistanceMode();
    } else if (selector == QLatin1String("doSnapLinesMode:")) {
        state.checked = TWPreferences::snapLines();
    } else if (selector == QLatin1String("doCheckSpelling:")) {
        state.checked = TWPreferences::continuousSpellCheck();
    }
    return state;
}

// --- attaching graphics ---

namespace {

void attachToSelection(TWGraphicView &view, int type, Size size, const QVariant &userData,
                       const std::function<void(TWMapBranch &, TWGraphic &)> &then = nullptr)
{
    TWMap *m = view.map();
    if (!m)
        return;
    QList<std::shared_ptr<TWGraphic>> created;
    for (const std::shared_ptr<TWMapBranch> &branch : selectedBranchesOf(*m)) {
        if (std::shared_ptr<TWGraphic> g =
                branch->publicCreateLinkedGraphicOfType(type, size, std::nullopt, userData)) {
            if (then)
                then(*branch, *g);
            created << g;
        }
    }
    m->removeAllSelectedGraphics();
    for (const std::shared_ptr<TWGraphic> &g : std::as_const(created))
        m->insertObjectInSelectedGraphicsAtIndex(g, m->countOfSelectedGraphics());
}

} // namespace

void TWGraphicView::doAttachRectangle()
{
    attachToSelection(*this, TWMapBranch::LinkedRectangle, Size(), QVariant());
}

void TWGraphicView::doAttachOval()
{
    attachToSelection(*this, TWMapBranch::LinkedOval, Size(), QVariant());
}

void TWGraphicView::doAttachText()
{
    attachToSelection(*this, TWMapBranch::LinkedText, AttachedTextSize, QVariant());
}

void TWGraphicView::doAttachImage()
{
    Alerts::OpenPanelOptions options;
    options.fileTypes = pictureFileTypes();
    const QStringList chosen = Alerts::current().runOpenPanel(options);
    if (chosen.size() == 1)
        attachImageFile(chosen.first());
}

void TWGraphicView::attachImageFile(const QString &path)
{
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const std::optional<Image> image = Image::initWithData(bytes);
    if (!image) {
        qWarning().noquote() << QStringLiteral("Not a picture: %1").arg(path);
        Alerts::current().beep();
        return;
    }
    Size size = image->size();
    const float longest = std::max(size.width, size.height);
    if (longest > AttachedPictureMaximum) {
        const float factor = AttachedPictureMaximum / longest;
        size = Size(size.width * factor, size.height * factor);
    }
    TWMapsDoc *document = mapsDoc();
    QString extension;
    for (const QChar c : QFileInfo(path).suffix()) {
        if (c.isLetterOrNumber())
            extension.append(c);
    }
    // A file without a suffix is stored under the type its bytes have.
    if (extension.isEmpty())
        extension = QString::fromLatin1(image->dataType());
    attachToSelection(*this, TWMapBranch::LinkedImage, size, QVariant::fromValue(*image),
                      [&](TWMapBranch &branch, TWGraphic &graphic) {
                          const QString packagePath =
                              QStringLiteral("Images/Branch%1/Graphic%2/%3.%4")
                                  .arg(QString::number(branch.branchNumber()),
                                       QString::number(graphic.graphicNumber()),
                                       QString::number(Random::next()), extension);
                          if (document)
                              document->setObjectInCachedData(bytes, packagePath);
                          graphic.setImageFilename(packagePath);
                      });
}

// --- branch types and map switches ---

void TWGraphicView::doChangeBranchType(int tag)
{
    TWMap *m = map();
    if (!m)
        return;
    for (const std::shared_ptr<TWMapBranch> &branch : selectedBranchesOf(*m)) {
        if (tag == 1 || tag == 2 || tag == 3 || tag == 5)
            branch->publicChangeToBranchType(tag);
        else
            qWarning().noquote() << "ERROR: unknown graphic type selected in inspector controller";
    }
}

void TWGraphicView::doDisplayOutlineNumbers()
{
    if (TWMap *m = map())
        m->setShowOutlineNumbers(!m->showOutlineNumbers());
}

void TWGraphicView::doLayoutAssistanceMode(int tag)
{
    if (TWMap *m = map())
        m->setLayoutAssistanceMode(tag);
}

void TWGraphicView::doSnapLinesMode()
{
    TWPreferences::setSnapLines(!TWPreferences::snapLines());
}

void TWGraphicView::doCheckSpelling()
{
    TWPreferences::setContinuousSpellCheck(!TWPreferences::continuousSpellCheck());
}

void TWGraphicView::autoArrangeTree()
{
    TWMap *m = map();
    if (!m)
        return;
    m->drawingServices().autoArrange(*m);
    UndoManager::setActionName(m_document ? m_document->undoManager() : nullptr,
                               dadoZiz("Auto-arrange Tree"));
}

void TWGraphicView::autoArrangeSelectedBranch()
{
    TWMap *m = map();
    if (!m)
        return;
    const QList<std::shared_ptr<TWMapBranch>> branches = selectedBranchesOf(*m);
    const bool whole = branches.isEmpty() || std::any_of(branches.begin(), branches.end(),
                                                         [](const auto &b) { return b->isRoot(); });
    if (whole)
        m->drawingServices().autoArrange(*m);
    else
        TWMapLayout::performTightAutoLayoutWithMovedBranches(*m, branches, true);
    UndoManager::setActionName(m_document ? m_document->undoManager() : nullptr,
                               dadoZiz("Auto-arrange Branch"));
}

void TWGraphicView::toggleHideChildren()
{
    if (TWMap *m = map()) {
        for (const std::shared_ptr<TWMapBranch> &branch : selectedBranchesOf(*m))
            branch->publicToggleHideChildren();
    }
}

// --- text ---

void TWGraphicView::alignText(int alignment)
{
    TWMap *m = map();
    if (!m)
        return;
    QSet<const TWMapBranch *> aligned;
    const TWMap::GraphicList selected = m->selectedGraphics();
    for (const std::shared_ptr<TWGraphic> &g : selected) {
        TWMapBranch *branch = g->branch();
        if (!branch)
            continue;
        if (g->isLinkedGraphic()) {
            if (auto *text = dynamic_cast<TWTextArea *>(g.get()))
                text->publicAlignText(alignment);
        } else if (!aligned.contains(branch) && branch->enclosedTextArea()) {
            aligned.insert(branch);
            branch->enclosedTextArea()->publicAlignText(alignment);
        }
    }
}

void TWGraphicView::changeFontSize(float step)
{
    TWMap *m = map();
    if (!m)
        return;
    // A branch whose shape and label are both selected changes once.
    QSet<const TWMapBranch *> changed;
    const TWMap::GraphicList selected = m->selectedGraphics();
    for (const std::shared_ptr<TWGraphic> &g : selected) {
        TWMapBranch *branch = g->branch();
        if (!branch)
            continue;
        if (g == branch->mainGraphic() || g == branch->enclosedTextArea()) {
            if (changed.contains(branch) || !branch->enclosedTextArea())
                continue;
            changed.insert(branch);
            if (!branch->enclosedTextArea()->publicChangeFontSizeBy(step))
                Alerts::current().beep();
        } else if (auto *text = dynamic_cast<TWTextArea *>(g.get())) {
            text->publicSetTextAndResize(
                AttributedStringExtensions::attributedStringWithFontSizeIncreasedBy(text->text(),
                                                                                    step));
        }
    }
}

void TWGraphicView::makeNaturalSize()
{
    if (TWMap *m = map()) {
        for (const std::shared_ptr<TWMapBranch> &branch : selectedBranchesOf(*m))
            branch->makeNaturalSize();
    }
}

// --- selection and undo ---

void TWGraphicView::selectAll()
{
    TWMap *m = map();
    if (!m)
        return;
    m->removeAllSelectedGraphics();
    const TWMap::GraphicList graphics = m->graphics();
    for (const std::shared_ptr<TWGraphic> &g : graphics)
        g->tryToSelect();
}

void TWGraphicView::undo()
{
    // The typed text is committed, then undone with everything else.
    if (m_editingTextArea)
        m_editingTextArea->setIsEditing(false);
    UndoManager *manager = m_document ? m_document->undoManager() : nullptr;
    if (manager && manager->canUndo())
        manager->undo();
    else
        Alerts::current().beep();
}
