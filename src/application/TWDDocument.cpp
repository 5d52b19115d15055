#include "application/TWDDocument.h"

#include "application/TWDocumentViewController.h"
#include "application/TWMapTabBar.h"
#include "application/TWScrollerKnob.h"
#include "application/TWTemplate.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "support/AttributedString.h"
#include "support/Base64.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QToolButton>
#include <functional>
#include <tuple>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

QList<TWDDocument *> &liveDocuments()
{
    static QList<TWDDocument *> documents;
    return documents;
}

QMenu *menuTitled(QMenuBar *bar, const QString &title)
{
    for (QAction *action : bar->actions())
        if (action->menu() && action->text() == title)
            return action->menu();
    return bar->addMenu(title);
}

using Command = std::function<void(TWDDocument &, const TWMenuItem &)>;

const QHash<QString, Command> &commands()
{
    using D = TWDDocument;
    using I = const TWMenuItem &;
    static const QHash<QString, Command> table{
        {"selectNextTab:", [](D &d, I) { d.selectNextTab(); }},
        {"selectPreviousTab:", [](D &d, I) { d.selectPreviousTab(); }},
        {"createNewMapFromSelectedBranch:", [](D &d, I) { d.createNewMapFromSelectedBranch(); }},
        {"duplicateCurrentMap:", [](D &d, I) { d.duplicateCurrentMap(); }},
        {"togglePageFrames:", [](D &d, I) { d.togglePageFrames(); }},
        {"showDocumentPropertiesPanel:", [](D &d, I) { d.showDocumentPropertiesPanel(); }},
        {"toggleDocumentView:", [](D &d, I) { d.toggleDocumentView(); }},
        {"toggleFullScreen:", [](D &d, I) { d.toggleFullScreen(); }},
    };
    return table;
}

// Pictures a copied map carries in its element go into the destination's
// package without replacing what is there: an entry whose path holds other
// bytes goes under a new path and the element's references follow it.
void takeEmbeddedPictures(XMLElement &mapElement, TWMapsDoc &destination)
{
    PackageData pictures;
    QList<XMLElement> pending{mapElement};
    while (!pending.isEmpty()) {
        XMLElement element = pending.takeLast();
        const XMLElement embedded = element.elementForName("embeddedImageData");
        const XMLElement name = element.elementForName("imageFilename");
        if (!embedded.isNull() && !name.isNull()) {
            const std::optional<QString> path = TWGraphic::sanitizedPicturePath(name.stringValue());
            std::optional<QByteArray> bytes;
            try {
                bytes = TWBase64::dataWithTWBase64String(embedded.stringValue());
            } catch (const Base64Error &) {
            }
            // What cannot be taken here stays for the reader to judge.
            if (path && bytes && (!pictures.contains(*path) || pictures.value(*path) == *bytes)) {
                pictures.insert(*path, *bytes);
                element.removeChild(embedded);
                if (*path != name.stringValue()) {
                    XMLElement renamed = name;
                    renamed.setStringValue(*path);
                }
            }
        }
        pending.append(element.elements());
    }
    if (!pictures.isEmpty())
        TWTemplateGroup::mergeCachedData(destination, pictures, mapElement);
}

} // namespace

TWDDocument::TWDDocument()
{
    liveDocuments().append(this);
}

TWDDocument::~TWDDocument()
{
    liveDocuments().removeAll(this);
}

QList<TWDDocument *> TWDDocument::deluxeDocuments()
{
    return liveDocuments();
}

void TWDDocument::editionWindowDidLoad()
{
    if (TWDocumentViewController *views = documentViewController())
        installTWCScrollers(views->graphicView());
    setupMapTabView();
}

void TWDDocument::setupMapTabView()
{
    QSplitter *split = mainSplitView();
    if (!split || m_mapTabView)
        return;
    const QList<int> sizes = split->sizes();
    QWidget *mapView = split->widget(0);
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("mapPane"));
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto *placeholder = new QWidget(pane);
    placeholder->setObjectName(QStringLiteral("tabBarPlaceholder"));
    auto *row = new QHBoxLayout(placeholder);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_mapTabView = new TWMapTabBar(placeholder);
    m_addTabButton = new QToolButton(placeholder);
    m_addTabButton->setObjectName(QStringLiteral("addTabButton"));
    m_addTabButton->setText(QStringLiteral("+"));
    m_addTabButton->setAutoRaise(true);
    m_addTabButton->setToolTip(dadoZiz("Add Map"));
    row->addWidget(m_mapTabView, 1);
    row->addWidget(m_addTabButton);
    layout->addWidget(placeholder);
    setupDocumentView(pane);
    layout->addWidget(m_mainView, 1);
    placeMapView(mapView);
    split->insertWidget(0, pane);
    split->setSizes(sizes);

    m_tabsObserver = NotificationCenter::defaultCenter().observe(
        TWMapsDoc::UpdateMapTabsNotification, nullptr, [this](const Notification &n) {
            if (mapsDocument() && n.sender.identity() == mapsDocument())
                updateMapTabs();
        });
    connect(m_addTabButton, &QToolButton::clicked, this, [this] {
        TWMenuItem item;
        item.selector = QStringLiteral("addMap:");
        performMenuAction(item);
    });
    connect(m_mapTabView, &TWMapTabBar::tabSelected, this, [this](int index) {
        endEditingText();
        if (mapsDocument() && index < mapsDocument()->countOfMaps() &&
            index != mapsDocument()->currentMapNumber())
            setCurrentMapNumber(index);
    });
    connect(m_mapTabView, &TWMapTabBar::closeRequested, this,
            [this](int) { closeCurrentMapTab(); });
    connect(m_mapTabView, &TWMapTabBar::tabReordered, this, &TWDDocument::moveMapTab);
    connect(m_mapTabView, &TWMapTabBar::tabDropped, this, [this](TWMapTabBar *source, int index) {
        for (TWDDocument *document : deluxeDocuments())
            if (document != this && document->mapTabView() == source) {
                copyMapFromDocument(document, index);
                return;
            }
    });
    updateMapTabs();
}

QString TWDDocument::tabLabelForMapAtIndex(int index) const
{
    const TWMapsDoc *maps = mapsDocument();
    const std::shared_ptr<TWMap> map = maps ? maps->objectInMapsAtIndex(index) : nullptr;
    if (!map)
        return QString();
    QString label = map->mapName();
    if (label.isEmpty() && map->root() && map->root()->enclosedTextArea())
        label = map->root()->enclosedTextArea()->text().string();
    if (label.isEmpty())
        label = dadoZiz("DadoZiz %d").replace(QLatin1String("%d"), QString::number(index + 1));
    return TWMapTabBar::tabTitle(label);
}

void TWDDocument::updateMapTabs()
{
    if (!m_mapTabView)
        return;
    const TWMapsDoc *maps = mapsDocument();
    QStringList labels;
    for (int i = 0; maps && i < maps->countOfMaps(); ++i)
        labels << tabLabelForMapAtIndex(i);
    m_mapTabView->setLabels(labels, maps ? maps->currentMapNumber() : -1);
    // The grid shows the maps as they are now.
    if (documentViewActive())
        reloadDocumentViewGrid();
}

void TWDDocument::endEditingText()
{
    if (TWGraphicView *view = graphicView())
        view->endEditingTextNotification();
}

void TWDDocument::setCurrentMapNumber(int number)
{
    if (TWMapsDoc *maps = mapsDocument())
        maps->setCurrentMapNumber(number);
}

void TWDDocument::selectNextTab()
{
    TWMapsDoc *maps = mapsDocument();
    if (!maps || maps->countOfMaps() == 0)
        return;
    endEditingText();
    setCurrentMapNumber((maps->currentMapNumber() + 1) % maps->countOfMaps());
}

void TWDDocument::selectPreviousTab()
{
    TWMapsDoc *maps = mapsDocument();
    if (!maps || maps->countOfMaps() == 0)
        return;
    endEditingText();
    const int current = maps->currentMapNumber();
    setCurrentMapNumber(current <= 0 ? maps->countOfMaps() - 1 : current - 1);
}

bool TWDDocument::isMapUntouched(const TWMap &map)
{
    const std::shared_ptr<TWMapBranch> &root = map.root();
    if (!root || root->countOfChildren() > 0)
        return false;
    const QString text =
        root->enclosedTextArea() ? root->enclosedTextArea()->text().string() : QString();
    return text == TWLocalizedString(StringTable::DadoZiz, QStringLiteral("DadoZiz-Title"));
}

void TWDDocument::closeCurrentMapTab()
{
    TWMapsDoc *maps = mapsDocument();
    if (!maps || maps->countOfMaps() < 2)
        return;
    const int current = maps->currentMapNumber();
    const std::shared_ptr<TWMap> map = maps->objectInMapsAtIndex(current);
    if (!map)
        return;
    if (!isMapUntouched(*map)) {
        const int answer = Alerts::current().runAlertPanel(
            dadoZiz("Delete Mind Map"),
            dadoZiz("Are you sure you want to delete this Mind Map from your document?"),
            {TWLocalizedString(StringTable::General, "Yes"),
             TWLocalizedString(StringTable::General, "No")});
        if (answer != 0)
            return;
    }
    endEditingText();
    maps->removeObjectFromMapsAtIndex(current);
}

void TWDDocument::moveMapTab(int from, int to)
{
    endEditingText();
    if (TWMapsDoc *maps = mapsDocument())
        maps->publicMoveMapFromIndex(from, to);
    // A refused move puts the tabs back.
    updateMapTabs();
}

void TWDDocument::copyMapFromDocument(TWDDocument *source, int index)
{
    TWMapsDoc *destination = mapsDocument();
    if (!source || source == this || !destination || !source->mapsDocument())
        return;
    source->endEditingText();
    endEditingText();
    const std::shared_ptr<TWMap> map = source->mapsDocument()->objectInMapsAtIndex(index);
    if (!map)
        return;
    XMLElement element = map->freshXMLElementEmbeddingBinaryData(true);
    takeEmbeddedPictures(element, *destination);
    const std::shared_ptr<TWMap> copy =
        TWMap::createWithXMLElement(element, destination, TWMap::Identifier::MakeNew);
    if (!copy)
        return;
    const int at = destination->currentMapNumber() >= 0 ? destination->currentMapNumber()
                                                        : destination->countOfMaps();
    destination->insertObjectInMapsAtIndex(copy, at);
    updateMapTabs();
    source->updateMapTabs();
}

// --- the menu chain ---

void TWDDocument::addEditionMenus(QMenuBar *menuBar, TWMenuDispatcher &dispatcher)
{
    QMenu *view = menuTitled(menuBar, dadoZiz("View"));
    view->addSeparator();
    dispatcher.addAction(view, dadoZiz("Next Map"), QStringLiteral("selectNextTab:"), 0,
                         QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    dispatcher.addAction(view, dadoZiz("Previous Map"), QStringLiteral("selectPreviousTab:"), 0,
                         QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    view->addSeparator();
    for (const auto &[title, selector, shortcut] :
         {std::tuple{"Document View", "toggleDocumentView:", "Ctrl+Alt+V"},
          std::tuple{"Full Screen", "toggleFullScreen:", "Ctrl+Alt+F"}})
        dispatcher
            .addAction(view, dadoZiz(title), QString::fromLatin1(selector), 0,
                       QKeySequence(QString::fromLatin1(shortcut)))
            ->setCheckable(true);
    QMenu *map = menuTitled(menuBar, dadoZiz("Map"));
    map->addSeparator();
    dispatcher.addAction(map, dadoZiz("New Map from Branch"),
                         QStringLiteral("createNewMapFromSelectedBranch:"));
    dispatcher.addAction(map, dadoZiz("Duplicate Map"), QStringLiteral("duplicateCurrentMap:"));
    dispatcher.addAction(map, dadoZiz("Document Properties..."),
                         QStringLiteral("showDocumentPropertiesPanel:"));
}

bool TWDDocument::respondsToMenuAction(const QString &selector) const
{
    return commands().contains(selector) || TWDocument::respondsToMenuAction(selector);
}

bool TWDDocument::validateMenuItem(TWMenuItem &item) const
{
    const QString &action = item.selector;
    const TWMapsDoc *maps = mapsDocument();
    if (action == QLatin1String("selectNextTab:") || action == QLatin1String("selectPreviousTab:"))
        return maps && maps->countOfMaps() > 1;
    if (action == QLatin1String("createNewMapFromSelectedBranch:"))
        return maps && maps->currentMap() && maps->currentMap()->selectedBranch();
    if (action == QLatin1String("toggleDocumentView:")) {
        item.checked = documentViewActive();
        return true;
    }
    if (action == QLatin1String("togglePageFrames:")) {
        item.checked = maps && maps->showPageFrames();
        return true;
    }
    if (action == QLatin1String("toggleFullScreen:")) {
        item.checked = isFullScreen();
        return true;
    }
    return TWDocument::validateMenuItem(item);
}

void TWDDocument::performMenuAction(const TWMenuItem &item)
{
    const auto command = commands().find(item.selector);
    if (command != commands().end())
        (*command)(*this, item);
    else
        TWDocument::performMenuAction(item);
}
