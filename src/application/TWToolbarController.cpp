#include "application/TWToolbarController.h"

#include "application/EditionTraits.h"
#include "application/TWApplication.h"
#include "application/TWCToolbarController.h"
#include "application/TWDToolbarController.h"
#include "application/TWDocument.h"
#include "application/TWDocumentWindow.h"
#include "application/TWMenuDispatcher.h"
#include "application/TWToolbarImages.h"
#include "canvas/TWGraphicView.h"
#include "interface/FontPanel.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

const QString ColorPanelSelector = QStringLiteral("orderFrontColorPanel:");
const QString FontPanelSelector = QStringLiteral("orderFrontFontPanel:");
const QString PrintSelector = QStringLiteral("printDocument:");

TWToolbarController::ItemDescription description(const QString &identifier, const char *label,
                                                 const char *paletteLabel, const char *toolTip,
                                                 const char *image, const char *selector)
{
    return {identifier,
            dadoZiz(label),
            dadoZiz(paletteLabel ? paletteLabel : label),
            toolTip ? dadoZiz(toolTip) : QString(),
            QString::fromLatin1(image),
            QString::fromLatin1(selector)};
}

// An application command is named without the trailing colon.
bool isApplicationCommand(const QString &selector)
{
    return !selector.isEmpty() && !selector.endsWith(u':');
}

QAction *applicationCommand(const QString &selector)
{
    TWApplication *application = TWApplication::shared();
    return application ? application->findChild<QAction *>(selector) : nullptr;
}

} // namespace

TWToolbarController *TWToolbarController::installToolbar(TWDocument *document, Edition edition)
{
    TWDocumentWindow *window = document ? document->documentWindow() : nullptr;
    if (!window)
        return nullptr;
    TWToolbarController *controller = nullptr;
    if (edition == Edition::Compact)
        controller = new TWCToolbarController(window, window);
    else if (edition == Edition::Deluxe)
        controller = new TWDToolbarController(window, window);
    if (controller)
        controller->setupToolbar();
    return controller;
}

TWToolbarController::TWToolbarController(TWDocumentWindow *window, QObject *parent)
    : QObject(parent), m_window(window)
{}

TWToolbarController::~TWToolbarController() = default;

TWDocumentWindow *TWToolbarController::documentWindow() const
{
    return static_cast<TWDocumentWindow *>(m_window.data());
}

TWDocument *TWToolbarController::document() const
{
    return m_window ? documentWindow()->document() : nullptr;
}

const TWToolbarController::ItemDescription *
TWToolbarController::sharedItemDescription(const QString &identifier)
{
    static const QList<ItemDescription> descriptions{
        description(MediaBrowserItem, "Media Browser", nullptr,
                    "Add media from your photo, graphics or adornments libraries", "iLifeIcon",
                    "showMediaBrowser"),
        description(OutlineViewItem, "Outline Panel", nullptr,
                    "Edit your branches in the Outline Panel", "TWToolbarOutlineWindow",
                    "showOutlinePanel"),
        description(BranchNotesItem, "Branch Notes Panel", nullptr, "Edit your branch notes",
                    "TWToolbarNotesWindow", "showBranchNotesPanel"),
        description(OutlineComboItem, "Outline & Branch Notes Combo Panel",
                    "Branch Outline and Notes", "Edit your outline and branch notes",
                    "TWToolbarOutlineComboWindow", "showOutlineComboPanel"),
        description(ThemeSelectorItem, "Theme Selector", nullptr, "Select a theme for your map",
                    "TWToolbarTheme", "chooseTheme:"),
        description(ShowColorsItem, "Colors", nullptr, "Show the Colors panel",
                    "NSToolbarShowColors", "orderFrontColorPanel:"),
        description(ShowFontsItem, "Fonts", nullptr, "Show the Fonts panel", "NSToolbarShowFonts",
                    "orderFrontFontPanel:"),
        description(PrintItem, "Print", nullptr, "Print this document", "NSToolbarPrint",
                    "printDocument:"),
    };
    for (const ItemDescription &s : descriptions)
        if (s.identifier == identifier)
            return &s;
    return nullptr;
}

const TWToolbarController::ItemDescription *
TWToolbarController::itemDescription(const QString &identifier) const
{
    return sharedItemDescription(identifier);
}

bool TWToolbarController::isRepeatable(const QString &identifier)
{
    return identifier == SpaceItem || identifier == FlexibleSpaceItem ||
           identifier == SeparatorItem;
}

QAction *TWToolbarController::makeItem(const ItemDescription &description, int iconSide)
{
    auto *item =
        new QAction(TWToolbarImages::icon(description.image, iconSide), description.label, this);
    item->setObjectName(description.identifier);
    item->setToolTip(description.toolTip);
    item->setProperty("paletteLabel", description.paletteLabel);
    const QString identifier = description.identifier;
    connect(item, &QAction::triggered, this, [this, identifier] { performItem(identifier); });
    return item;
}

QAction *TWToolbarController::itemForItemIdentifier(const QString &identifier, bool willBeInserted)
{
    Q_UNUSED(willBeInserted);
    const ItemDescription *s = sharedItemDescription(identifier);
    return s ? makeItem(*s) : nullptr;
}

void TWToolbarController::setupToolbar()
{
    if (!m_window || m_toolbar)
        return;
    m_toolbar = new QToolBar(m_window);
    m_toolbar->setObjectName(ToolbarIdentifier);
    m_toolbar->setWindowTitle(dadoZiz("Toolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setIconSize(IconSize);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolbar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_toolbar, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(m_toolbar);
        menu.addAction(dadoZiz("Customize Toolbar..."), this,
                       &TWToolbarController::runCustomizationPalette);
        menu.exec(m_toolbar->mapToGlobal(at));
    });
    const QStringList saved = savedItemIdentifiers();
    showItems(saved.isEmpty() ? defaultItemIdentifiers() : sanitized(saved));
    m_window->addToolBar(Qt::TopToolBarArea, m_toolbar);
    // The items' tool tips show while a palette or another window has the
    // focus too: the user reaches for the toolbar from there.
    m_window->setAttribute(Qt::WA_AlwaysShowToolTips);

    // The font panel shows the selection's font while this window is its target.
    if (TWDocument *doc = document())
        connect(doc, &TWDocument::selectedFontChanged, this, [this](const QVariant &font) {
            FontPanel &panel = FontPanel::shared();
            if (panel.currentWindow() == m_window && font.canConvert<Font>())
                panel.setSelectedFont(font.value<Font>());
        });
    connect(documentWindow(), &TWDocumentWindow::activationChanged, this,
            &TWToolbarController::validateVisibleItems);
    validateVisibleItems();
}

QStringList TWToolbarController::sanitized(const QStringList &identifiers) const
{
    const QStringList allowed = allowedItemIdentifiers();
    QStringList kept;
    for (const QString &identifier : identifiers) {
        if (!allowed.contains(identifier))
            continue;
        if (!isRepeatable(identifier) && kept.contains(identifier))
            continue;
        kept << identifier;
    }
    return kept;
}

void TWToolbarController::showItems(const QStringList &identifiers)
{
    for (QAction *old : m_toolbar->actions()) {
        m_toolbar->removeAction(old);
        // Items, spaces and separators are made anew for each arrangement.
        if (old->parent() == this || old->parent() == m_toolbar)
            delete old;
    }
    for (const QString &identifier : identifiers) {
        QAction *added = nullptr;
        if (identifier == SeparatorItem) {
            added = m_toolbar->addSeparator();
        } else if (identifier == SpaceItem || identifier == FlexibleSpaceItem) {
            auto *spacer = new QWidget(m_toolbar);
            spacer->setObjectName(QStringLiteral("toolbarSpacer"));
            if (identifier == SpaceItem)
                spacer->setFixedWidth(SpaceWidth);
            else
                spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            added = m_toolbar->addWidget(spacer);
        } else if (QAction *item = itemForItemIdentifier(identifier, true)) {
            m_toolbar->addAction(item);
            added = item;
        }
        if (added)
            added->setObjectName(identifier);
    }
}

QStringList TWToolbarController::itemIdentifiers() const
{
    QStringList identifiers;
    if (m_toolbar)
        for (const QAction *item : m_toolbar->actions())
            identifiers << item->objectName();
    return identifiers;
}

QAction *TWToolbarController::itemWithIdentifier(const QString &identifier) const
{
    if (m_toolbar)
        for (QAction *item : m_toolbar->actions())
            if (item->objectName() == identifier)
                return item;
    return nullptr;
}

void TWToolbarController::setItemIdentifiers(const QStringList &identifiers)
{
    if (!m_toolbar)
        return;
    showItems(sanitized(identifiers));
    validateVisibleItems();
    saveConfiguration();
}

QStringList TWToolbarController::savedItemIdentifiers() const
{
    const QVariant saved =
        UserDefaults::standard().objectForKey(ConfigurationKeyFormat.arg(ToolbarIdentifier));
    return saved.toStringList();
}

void TWToolbarController::saveConfiguration() const
{
    UserDefaults::standard().setObject(itemIdentifiers(),
                                       ConfigurationKeyFormat.arg(ToolbarIdentifier));
}

// --- commands ---

bool TWToolbarController::canPerformItem(const QString &identifier) const
{
    const ItemDescription *s = itemDescription(identifier);
    if (!s)
        return false;
    if (isApplicationCommand(s->selector)) {
        const QAction *command = applicationCommand(s->selector);
        return command && command->isEnabled();
    }
    TWDocument *doc = document();
    if (!doc)
        return false;
    if (s->selector == ColorPanelSelector || s->selector == FontPanelSelector)
        return doc->graphicView() != nullptr;
    if (s->selector == PrintSelector)
        return true;
    TWMenuItem item;
    item.selector = s->selector;
    return doc->menuDispatcher() && doc->menuDispatcher()->validateItem(item);
}

void TWToolbarController::performItem(const QString &identifier)
{
    const ItemDescription *s = itemDescription(identifier);
    if (!s)
        return;
    if (isApplicationCommand(s->selector)) {
        if (QAction *command = applicationCommand(s->selector))
            command->trigger();
        return;
    }
    TWDocument *doc = document();
    if (!doc)
        return;
    const QPointer<TWDocument> guarded(doc);
    if (s->selector == ColorPanelSelector) {
        ColorPanel::shared().orderFront(m_window, [guarded](const Color &color) {
            if (guarded && guarded->graphicView())
                guarded->graphicView()->actionRouter().sendAction(QStringLiteral("changeColor:"),
                                                                  QVariant::fromValue(color));
        });
    } else if (s->selector == FontPanelSelector) {
        doc->orderFrontFontPanel();
    } else if (s->selector == PrintSelector) {
        doc->printDocument();
    } else if (TWMenuDispatcher *dispatcher = doc->menuDispatcher()) {
        TWMenuItem item;
        item.selector = s->selector;
        if (dispatcher->validateItem(item))
            dispatcher->sendItem(item);
    }
}

void TWToolbarController::validateVisibleItems()
{
    if (!m_toolbar)
        return;
    for (QAction *item : m_toolbar->actions())
        if (itemDescription(item->objectName()))
            item->setEnabled(canPerformItem(item->objectName()));
}

void TWToolbarController::runCustomizationPalette()
{
    TWToolbarCustomizeDialog dialog(*this, m_window);
    if (dialog.exec() == QDialog::Accepted)
        setItemIdentifiers(dialog.identifiers());
}
