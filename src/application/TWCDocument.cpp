#include "application/TWCDocument.h"

#include "application/TWDocumentViewController.h"
#include "application/TWMenuDispatcher.h"
#include "application/TWDocumentWindow.h"
#include "application/TWMapSelector.h"
#include "application/TWScrollerKnob.h"
#include "canvas/TWGraphicView.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "platform/TWLocalizedString.h"

#include <QGuiApplication>
#include <QAction>
#include <algorithm>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryFile>
#include <QTimer>

TWCDocument::TWCDocument() = default;

bool TWCDocument::loadDataRepresentation(const QByteArray &data)
{
    // The file reader takes a path: the data goes through a private file.
    QTemporaryFile file;
    if (!file.open() || file.write(data) != data.size() || !file.flush())
        return false;
    QString reason;
    std::shared_ptr<TWMapsDoc> maps = TWFileIO::readDocumentFromFile(file.fileName(), &reason);
    if (!maps) {
        qWarning("Map document data not loaded: %s", qUtf8Printable(reason));
        return false;
    }
    setMapsDocument(std::move(maps));
    mapsDocument()->processFlags();
    if (mapsDocument()->countOfMaps() >= 2)
        QTimer::singleShot(0, this, [this] { displayMapSelector(); });
    return true;
}

void TWCDocument::editionWindowDidLoad()
{
    if (TWDocumentViewController *views = documentViewController())
        installTWCScrollers(views->graphicView());
    // A file of several maps would otherwise show only its current one.
    if (!fileName().isEmpty() && mapsDocument() && mapsDocument()->countOfMaps() >= 2)
        scheduleMapSelector();
}

void TWCDocument::scheduleMapSelector()
{
    QTimer::singleShot(0, this, [this] {
        // Only over a window that is up.
        if (mainWindow() && mainWindow()->isVisible())
            displayMapSelector();
    });
}

void TWCDocument::displayMapSelector()
{
    TWMapsDoc *maps = mapsDocument();
    if (!maps || maps->countOfMaps() < 1 || m_selector)
        return;
    auto *selector = new TWMapSelector(mainWindow());
    m_selector = selector;
    QStringList names;
    for (const std::shared_ptr<TWMap> &map : maps->maps())
        names << map->mapName();
    selector->setMapNames(names);
    selector->setSelectionIndex(maps->currentMapNumber());
    connect(selector, &TWMapSelector::rowSelected, this, [this](int row) {
        if (mapsDocument() && row < mapsDocument()->countOfMaps())
            mapsDocument()->setCurrentMapNumber(row);
    });
    connect(selector, &TWMapSelector::mapChosen, this, [this](int row) {
        if (mapsDocument() && row < mapsDocument()->countOfMaps() &&
            row != mapsDocument()->currentMapNumber())
            mapsDocument()->setCurrentMapNumber(row);
    });
    if (const QWidget *window = mainWindow(); window && window->isVisible()) {
        QRect frame = selector->frameGeometry();
        frame.moveCenter(window->frameGeometry().center());
        selector->move(frame.topLeft());
    } else if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = selector->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        selector->move(frame.topLeft());
    }
    selector->exec();
    delete selector;
}

void TWCDocument::showMapAtOffset(int offset)
{
    TWMapsDoc *maps = mapsDocument();
    if (!maps || maps->countOfMaps() < 2)
        return;
    if (TWGraphicView *view = graphicView())
        view->endEditingTextNotification();
    const int count = maps->countOfMaps();
    const int current = std::max(0, maps->currentMapNumber());
    maps->setCurrentMapNumber((current + offset % count + count) % count);
}

void TWCDocument::showNextMap()
{
    showMapAtOffset(1);
}

void TWCDocument::showPreviousMap()
{
    showMapAtOffset(-1);
}

namespace {

const QString ChooseMap = QStringLiteral("displayMapSelector:");
const QString NextMap = QStringLiteral("selectNextTab:");
const QString PreviousMap = QStringLiteral("selectPreviousTab:");

QMenu *menuTitled(QMenuBar *bar, const QString &title)
{
    for (QAction *action : bar->actions())
        if (action->menu() && action->text() == title)
            return action->menu();
    return bar->addMenu(title);
}

} // namespace

void TWCDocument::addEditionMenus(QMenuBar *menuBar, TWMenuDispatcher &dispatcher)
{
    const auto dadoZiz = [](const char *key) { return TWLocalizedString(StringTable::DadoZiz, key); };
    QMenu *view = menuTitled(menuBar, dadoZiz("View"));
    view->addSeparator();
    dispatcher.addAction(view, dadoZiz("Next Map"), NextMap, 0,
                         QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    dispatcher.addAction(view, dadoZiz("Previous Map"), PreviousMap, 0,
                         QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    QMenu *map = menuTitled(menuBar, dadoZiz("Map"));
    map->addSeparator();
    dispatcher.addAction(map, dadoZiz("Choose Map..."), ChooseMap);
}

bool TWCDocument::respondsToMenuAction(const QString &selector) const
{
    return selector == ChooseMap || selector == NextMap || selector == PreviousMap ||
           TWDocument::respondsToMenuAction(selector);
}

bool TWCDocument::validateMenuItem(TWMenuItem &item) const
{
    if (item.selector == ChooseMap || item.selector == NextMap || item.selector == PreviousMap)
        return mapsDocument() && mapsDocument()->countOfMaps() > 1 && !m_selector;
    return TWDocument::validateMenuItem(item);
}

void TWCDocument::performMenuAction(const TWMenuItem &item)
{
    if (item.selector == ChooseMap)
        displayMapSelector();
    else if (item.selector == NextMap)
        showNextMap();
    else if (item.selector == PreviousMap)
        showPreviousMap();
    else
        TWDocument::performMenuAction(item);
}
