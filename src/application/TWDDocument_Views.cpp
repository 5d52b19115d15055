// The Deluxe document's presentations: the map view, the grid of all maps,
// and full screen.

#include "application/TWDDocument.h"

#include "application/TWDocumentWindow.h"
#include "application/TWMapViewOptions.h"
#include "application/TWScrollerKnob.h"
#include "canvas/TWGraphicView.h"
#include "canvas/TWToolPaletteController.h"
#include "interface/TWCSliderCell.h"
#include "interface/TWImageGrid.h"
#include "interface/TWTransitionView.h"
#include "mapdrawing/TWMapImages.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWDockedPalettesController.h"
#include "palettes/TWMapStyleController.h"
#include "palettes/TWNavigatorView.h"
#include "palettes/TWStylePalettes.h"
#include "palettes/TWStyleView.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "platform/ToggleItem.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedLayout>
#include <QStandardItemModel>
#include <QToolBar>
#include <QVBoxLayout>
#include <utility>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

constexpr int RippleTransition = 6;
constexpr int MinimumGridSize = 50;
constexpr int MaximumGridSize = 400;

// The items of the bar's menus, and of their submenus, that have a key.
QList<QAction *> menuActionsWithKeys(const QMenuBar *bar)
{
    QList<QAction *> found;
    QList<QMenu *> menus;
    for (QAction *action : bar->actions())
        if (action->menu())
            menus << action->menu();
    while (!menus.isEmpty()) {
        const QMenu *menu = menus.takeFirst();
        for (QAction *action : menu->actions()) {
            if (action->menu())
                menus << action->menu();
            else if (!action->shortcuts().isEmpty())
                found << action;
        }
    }
    return found;
}

} // namespace

// --- the two presentations ---

void TWDDocument::setupDocumentView(QWidget *pane)
{
    m_mainView = new TWTransitionView(pane);
    m_mainView->setObjectName(QStringLiteral("mainView"));
    m_presentations = new QStackedLayout(m_mainView);
    m_presentations->setContentsMargins(0, 0, 0, 0);

    m_documentView = new QWidget;
    m_documentView->setObjectName(QStringLiteral("documentView"));
    auto *layout = new QVBoxLayout(m_documentView);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *scroll = new QScrollArea(m_documentView);
    scroll->setObjectName(QStringLiteral("documentImageGridScrollView"));
    installTWCScrollers(scroll);
    m_gridModel = new QStandardItemModel(this);
    m_gridSelection = new QItemSelectionModel(m_gridModel, this);
    m_documentViewImageGrid = new TWImageGrid;
    m_documentViewImageGrid->setObjectName(QStringLiteral("documentViewImageGrid"));
    m_documentViewImageGrid->setAllowMultipleSelection(true);
    m_documentViewImageGrid->setModel(m_gridModel, m_gridSelection);
    connect(m_gridSelection, &QItemSelectionModel::selectionChanged, this,
            &TWDocument::selectedMapsChanged);
    connect(this, &TWDDocument::documentViewActiveChanged, this, &TWDocument::selectedMapsChanged);
    m_documentViewImageGrid->setScrollView(scroll);
    m_documentViewImageGrid->setDelegate(this);
    m_gridPreviewObserver = NotificationCenter::defaultCenter().observe(
        TWMapPreviewServices::PreviewDidUpdateNotification, nullptr,
        [this](const Notification &n) { gridPreviewDidUpdate(n.sender.identity()); });
    m_documentViewImageGrid->setPreviewSize(QSizeF(m_documentViewGridSize, m_documentViewGridSize));
    layout->addWidget(scroll, 1);
    auto *bar = new QWidget(m_documentView);
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 2, 6, 2);
    barLayout->addStretch(1);
    m_documentViewSlider = new TWCSliderCell(Qt::Horizontal, bar);
    m_documentViewSlider->setObjectName(QStringLiteral("documentViewSlider"));
    m_documentViewSlider->setFixedWidth(140);
    m_documentViewSlider->setRange(MinimumGridSize, MaximumGridSize);
    m_documentViewSlider->setValue(int(m_documentViewGridSize));
    barLayout->addWidget(m_documentViewSlider);
    layout->addWidget(bar);
    connect(m_documentViewSlider, &QSlider::valueChanged, this,
            [this](int value) { setDocumentViewGridSize(float(value)); });
}

void TWDDocument::placeMapView(QWidget *mapView)
{
    m_mapView = mapView;
    m_presentations->addWidget(m_mapView);
    m_presentations->addWidget(m_documentView);
    showMapViewUsingTransition(false);
}

void TWDDocument::reloadDocumentViewGrid()
{
    if (!m_gridModel)
        return;
    const QList<int> selected = m_documentViewImageGrid->selectedRows();
    m_gridModel->clear();
    TWMapsDoc *maps = mapsDocument();
    for (int i = 0; maps && i < maps->countOfMaps(); ++i) {
        const std::shared_ptr<TWMap> map = maps->objectInMapsAtIndex(i);
        auto *item = new QStandardItem(tabLabelForMapAtIndex(i));
        item->setData(gridPictureOfMap(*map), Qt::DecorationRole);
        m_gridModel->appendRow(item);
    }
    for (int row : selected)
        if (row < m_gridModel->rowCount())
            m_gridSelection->select(m_gridModel->index(row, 0), QItemSelectionModel::Select);
    m_documentViewImageGrid->updateFrame();
    m_documentViewImageGrid->update();
}

QImage TWDDocument::gridPictureOfMap(TWMap &map) const
{
    const std::shared_ptr<TWMapPreviewImage> preview = map.previewImage();
    // Drawn at twice the cell for a sharp picture on dense screens.
    const int side = std::min(2 * int(m_documentViewGridSize), 2 * MaximumGridSize);
    return preview ? preview->toImage(QSize(side, side)) : QImage();
}

void TWDDocument::gridPreviewDidUpdate(const void *map)
{
    if (!m_gridModel || !documentViewActive())
        return;
    if (m_staleGridPictures.isEmpty())
        QMetaObject::invokeMethod(this, &TWDDocument::redrawStaleGridPictures,
                                  Qt::QueuedConnection);
    m_staleGridPictures.insert(map);
}

void TWDDocument::redrawStaleGridPictures()
{
    const QSet<const void *> stale = std::exchange(m_staleGridPictures, {});
    TWMapsDoc *maps = mapsDocument();
    if (!m_gridModel || !maps || !documentViewActive())
        return;
    for (int i = 0; i < maps->countOfMaps() && i < m_gridModel->rowCount(); ++i) {
        const std::shared_ptr<TWMap> map = maps->objectInMapsAtIndex(i);
        if (map && stale.contains(map.get()))
            m_gridModel->item(i)->setData(gridPictureOfMap(*map), Qt::DecorationRole);
    }
}

QList<std::shared_ptr<TWMap>> TWDDocument::selectedGridMaps() const
{
    QList<std::shared_ptr<TWMap>> picked;
    const TWMapsDoc *maps = mapsDocument();
    for (int row : selectedGridRows())
        if (const std::shared_ptr<TWMap> map = maps ? maps->objectInMapsAtIndex(row) : nullptr)
            picked.append(map);
    return picked;
}

QList<std::shared_ptr<TWMap>> TWDDocument::selectedMaps() const
{
    if (documentViewActive()) {
        const QList<std::shared_ptr<TWMap>> picked = selectedGridMaps();
        if (!picked.isEmpty())
            return picked;
    }
    return TWDocument::selectedMaps();
}

std::optional<bool> TWDDocument::selectedGridMapsValue(const QString &key) const
{
    std::optional<bool> common;
    for (const std::shared_ptr<TWMap> &map : selectedGridMaps()) {
        const bool value = map->valueForKey(key).toBool();
        if (common && *common != value)
            return std::nullopt;
        common = value;
    }
    return common;
}

QList<int> TWDDocument::selectedGridRows() const
{
    return m_documentViewImageGrid ? m_documentViewImageGrid->selectedRows() : QList<int>();
}

void TWDDocument::setSelectedGridRows(const QList<int> &rows)
{
    if (!m_gridSelection)
        return;
    m_gridSelection->clearSelection();
    for (int row : rows)
        if (row >= 0 && row < m_gridModel->rowCount())
            m_gridSelection->select(m_gridModel->index(row, 0), QItemSelectionModel::Select);
}

bool TWDDocument::documentViewActive() const
{
    return m_presentations && m_presentations->currentWidget() == m_documentView;
}

float TWDDocument::transitionDuration(Qt::KeyboardModifiers modifiers)
{
    // Shift slows the switch down, to watch it.
    return modifiers & Qt::ShiftModifier ? 4.0f : 1.0f;
}

void TWDDocument::switchPresentation(QWidget *arriving, bool animated, bool reverse)
{
    if (!m_presentations || !arriving)
        return;
    const bool wasDocumentView = documentViewActive();
    if (animated && m_presentations->currentWidget() != arriving) {
        m_mainView->prepareForTransition(RippleTransition);
        m_presentations->setCurrentWidget(arriving);
        m_mainView->executeTransition(RippleTransition, reverse,
                                      transitionDuration(QGuiApplication::keyboardModifiers()));
    } else {
        m_mainView->finishTransition();
        m_presentations->setCurrentWidget(arriving);
    }
    if (wasDocumentView != documentViewActive()) {
        // The navigators of this document draw nothing over the grid.
        for (QWidget *widget : QApplication::allWidgets())
            if (auto *navigator = qobject_cast<TWNavigatorView *>(widget);
                navigator && navigator->document() == this)
                navigator->setDocumentViewActive(documentViewActive());
        emit documentViewActiveChanged(documentViewActive());
    }
}

void TWDDocument::showDocumentViewUsingTransition(bool animated)
{
    if (TWMapsDoc *maps = mapsDocument()) {
        if (const std::shared_ptr<TWMap> &map = maps->currentMap())
            map->removeAllSelectedGraphics();
        maps->updatePreviewImages();
    }
    reloadDocumentViewGrid();
    switchPresentation(m_documentView, animated, true);
}

void TWDDocument::showMapViewUsingTransition(bool animated)
{
    switchPresentation(m_mapView, animated, false);
}

void TWDDocument::toggleDocumentView()
{
    if (!documentViewActive())
        showDocumentViewUsingTransition(true);
    else
        showMapViewUsingTransition(true);
}

void TWDDocument::ok(TWImageGrid *)
{
    ok();
}

void TWDDocument::ok()
{
    const QList<int> rows = selectedGridRows();
    TWMapsDoc *maps = mapsDocument();
    if (!maps || rows.isEmpty() || rows.first() >= maps->countOfMaps())
        return;
    maps->setCurrentMapNumber(rows.first());
    showMapViewUsingTransition(true);
}

QMenu *TWDDocument::imageGridMenuForEvent(QContextMenuEvent *)
{
    return documentViewMenu();
}

QMenu *TWDDocument::documentViewMenu()
{
    if (selectedGridMaps().isEmpty())
        return nullptr;
    delete m_documentViewMenu;
    m_documentViewMenu = new QMenu(m_documentViewImageGrid);
    // The docked map style palette's menu; without it the item stays, disabled.
    const TWStylePalettes *styles =
        dockedPalettesController() ? dockedPalettesController()->stylePalettes() : nullptr;
    if (QMenu *styleMenu =
            styles && styles->mapController() ? styles->mapController()->styleMenu() : nullptr)
        m_documentViewMenu->addMenu(styleMenu)->setText(dadoZiz("Style"));
    else
        m_documentViewMenu->addAction(dadoZiz("Style"))->setEnabled(false);
    QMenu *options = m_documentViewMenu->addMenu(dadoZiz("View Options"));
    for (const TWMapViewOption &option : TWMapViewOptions) {
        QAction *item = options->addAction(dadoZiz(option.title));
        item->setData(QString::fromLatin1(option.key));
        item->setCheckable(true);
        // Maps that disagree show it off.
        item->setChecked(selectedGridMapsValue(QString::fromLatin1(option.key)).value_or(false));
        connect(item, &QAction::triggered, this, [this, item] { toggle(item); });
    }
    return m_documentViewMenu;
}

void TWDDocument::toggle(QObject *sender)
{
    QAction *item = toggledItem(sender);
    if (!item)
        return;
    // Maps that disagree all turn the option on.
    const QString key = item->data().toString();
    const bool on = !selectedGridMapsValue(key).value_or(false);
    for (const std::shared_ptr<TWMap> &map : selectedGridMaps())
        map->setMapValue(on, key);
}

void TWDDocument::setDocumentViewGridSize(float size)
{
    m_documentViewGridSize = size;
    if (m_documentViewImageGrid)
        m_documentViewImageGrid->setPreviewSize(QSizeF(size, size));
}

// --- full screen ---

bool TWDDocument::isFullScreen() const
{
    return m_isFullScreen;
}

void TWDDocument::toggleFullScreen()
{
    if (m_isFullScreen)
        endFullScreen();
    else
        beginFullScreen();
    NotificationCenter::defaultCenter().post(TWToolPaletteController::FullScreenChangedNotification,
                                             this);
}

void TWDDocument::beginFullScreen()
{
    TWDocumentWindow *window = documentWindow();
    if (!window || m_isFullScreen)
        return;
    m_isFullScreen = true;
    window->menuBar()->setVisible(false);
    // A hidden menu bar takes its keys along; the window carries them
    // meanwhile, so that Full Screen's own key (and every other) still works.
    m_fullScreenKeys.clear();
    QWidget *panel = fullScreenControlWindow();
    for (QAction *action : menuActionsWithKeys(window->menuBar()))
        if (!window->actions().contains(action)) {
            m_fullScreenKeys.append(action);
            window->addAction(action);
            panel->addAction(action);
        }
    window->installEventFilter(this);
    m_originalWindowRect = window->geometry();
    m_originalToolbars.clear();
    for (QToolBar *toolbar : window->findChildren<QToolBar *>(Qt::FindDirectChildrenOnly)) {
        m_originalToolbars.append({toolbar, toolbar->isVisibleTo(window)});
        toolbar->setVisible(false);
    }
    window->showFullScreen();
    if (const QScreen *screen =
            window->screen() ? window->screen() : QGuiApplication::primaryScreen())
        window->setGeometry(screen->geometry());
    panel->adjustSize();
    // At the foot of the screen, out of the map's way.
    const QRect screen = window->geometry();
    panel->move(screen.center().x() - panel->width() / 2, screen.bottom() - panel->height() - 40);
    panel->show();
    m_fullScreenControlWindow->raise();
    m_fullScreenControlWindow->activateWindow();
}

void TWDDocument::endFullScreen()
{
    TWDocumentWindow *window = documentWindow();
    if (!window || !m_isFullScreen)
        return;
    m_isFullScreen = false;
    window->removeEventFilter(this);
    for (const QPointer<QAction> &action : std::as_const(m_fullScreenKeys))
        if (action) {
            window->removeAction(action);
            if (m_fullScreenControlWindow)
                m_fullScreenControlWindow->removeAction(action);
        }
    m_fullScreenKeys.clear();
    window->menuBar()->setVisible(true);
    if (m_fullScreenControlWindow)
        m_fullScreenControlWindow->close();
    for (const auto &[toolbar, visible] : std::as_const(m_originalToolbars))
        if (toolbar)
            toolbar->setVisible(visible);
    m_originalToolbars.clear();
    window->showNormal();
    window->setGeometry(m_originalWindowRect);
}

QWidget *TWDDocument::fullScreenControlWindow()
{
    if (!m_fullScreenControlWindow) {
        m_fullScreenControlWindow = new QWidget(documentWindow(), Qt::Tool);
        m_fullScreenControlWindow->setObjectName(QStringLiteral("fullScreenControlWindow"));
        m_fullScreenControlWindow->setWindowTitle(dadoZiz("Full Screen"));
        auto *layout = new QHBoxLayout(m_fullScreenControlWindow);
        auto *views = new QPushButton(dadoZiz("Document View"), m_fullScreenControlWindow);
        auto *leave = new QPushButton(dadoZiz("Exit Full Screen"), m_fullScreenControlWindow);
        layout->addWidget(views);
        layout->addWidget(leave);
        connect(views, &QPushButton::clicked, this, &TWDDocument::toggleDocumentView);
        connect(leave, &QPushButton::clicked, this, &TWDDocument::toggleFullScreen);
        // Its close button leaves full screen too: the panel is the way out.
        m_fullScreenControlWindow->installEventFilter(this);
    }
    return m_fullScreenControlWindow;
}

bool TWDDocument::eventFilter(QObject *watched, QEvent *event)
{
    if (m_isFullScreen && (watched == documentWindow() || watched == m_fullScreenControlWindow)) {
        const bool escape = event->type() == QEvent::KeyPress &&
                            static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape &&
                            !(static_cast<QKeyEvent *>(event)->modifiers() &
                              (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        // Escape that no view inside took, or the panel's close button.
        if (escape || (event->type() == QEvent::Close && watched == m_fullScreenControlWindow)) {
            toggleFullScreen();
            return escape;
        }
    }
    return TWDocument::eventFilter(watched, event);
}
