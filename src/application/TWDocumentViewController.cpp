#include "application/TWDocumentViewController.h"

#include "application/TWDocument.h"
#include "application/TWScaleView.h"
#include "application/TWZoomView.h"
#include "canvas/TWBranchDragTrackers.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWPrintCanvasController.h"
#include "mapdrawing/TWPrintView.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "platform/UndoManager.h"

#include <QEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

TWDocumentViewController::TWDocumentViewController(TWDocument *document, QWidget *parent,
                                                   bool withPrintView)
    : QObject(parent), m_document(document)
{
    // Worker threads measure the labels of a freshly read map while the
    // window is built, ahead of its first measurement.
    const std::unique_ptr<TWTextLayout::Prefetch> labelsAhead =
        TWPrintCanvasController::measureLabelsAhead(currentMap());
    m_scrollView = new QScrollArea(parent);
    m_scrollView->setObjectName(QStringLiteral("mainScrollView"));
    m_scrollView->setFrameShape(QFrame::NoFrame);
    m_scrollView->setWidgetResizable(false);
    m_scrollView->setBackgroundRole(QPalette::Mid);
    m_scrollView->setAutoFillBackground(true);
    // The canvas scrolls the map itself; the outer area only holds the layers.
    m_scrollView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollView->viewport()->installEventFilter(this);

    m_printCanvas = std::make_unique<TWPrintCanvasController>(document);

    m_zoomView = new TWZoomView;
    m_zoomView->setGeometry(0, 0, 1000, 1000);
    m_scaleView = new TWScaleView(m_zoomView);
    m_scaleView->setGeometry(0, 0, 1000, 1000);
    m_graphicView = new TWGraphicView(m_scaleView);
    m_graphicView->setGeometry(0, 0, 100, 100);
    m_graphicView->viewport()->installEventFilter(this);
    // Scroll bars always shown, as document windows have them: the canvas's
    // visible part does not change with the map's size.
    m_graphicView->setFrameShape(QFrame::NoFrame);
    m_graphicView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_graphicView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A map lying before the canvas's corner is moved onto it before the
    // canvas shows it: the canvas then has nothing to redraw or lay out for
    // the move of the whole tree.
    m_printCanvas->removeUnusedAreaFromMap(currentMap());
    m_graphicView->setDocument(document);
    m_graphicView->setGraphicDrags(std::make_shared<TWCanvasGraphicDrags>());
    m_scrollView->setWidget(m_zoomView);
    // Inserted before the first update, so that the whole map is measured
    // once for the window rather than again for the print view.
    if (withPrintView)
        attachPrintView(new TWPrintView(m_printCanvas.get(), parent));

    registerForNotifications();
    if (UndoManager *undo = document->undoManager())
        connect(undo, &UndoManager::stepWillClose, this,
                &TWDocumentViewController::trimBeforeTheStepCloses);
    if (TWMap *map = currentMap()) {
        setScaleAmount(map->scaleAmount());
        setZoomAmount(map->zoomAmount());
    }
    update();
}

TWDocumentViewController::~TWDocumentViewController()
{
    m_observers.clear();
}

QWidget *TWDocumentViewController::printLayer() const
{
    return m_printView ? m_printView.data() : static_cast<QWidget *>(m_scaleView);
}

TWPrintView *TWDocumentViewController::printView() const
{
    return m_printView.data();
}

void TWDocumentViewController::insertPrintView(TWPrintView *printView)
{
    if (attachPrintView(printView))
        update();
}

bool TWDocumentViewController::attachPrintView(TWPrintView *printView)
{
    if (!printView || printView == m_printView)
        return false;
    // One update path: this controller's, which sizes every layer after it.
    printView->setFollowsUpdateNotifications(false);
    printView->setParent(m_zoomView);
    m_scaleView->setParent(printView);
    m_printView = printView;
    printView->show();
    m_scaleView->show();
    return true;
}

void TWDocumentViewController::setPrintCanvasController(
    std::unique_ptr<TWPrintCanvasController> controller)
{
    m_printCanvas =
        controller ? std::move(controller) : std::make_unique<TWPrintCanvasController>(m_document);
    m_printCanvas->calculatePrintablePageSize();
    update();
}

TWMapsDoc *TWDocumentViewController::mapsDocument() const
{
    return m_document ? m_document->mapsDocument() : nullptr;
}

TWMap *TWDocumentViewController::currentMap() const
{
    const TWMapsDoc *maps = mapsDocument();
    return maps ? maps->currentMap().get() : nullptr;
}

QSize TWDocumentViewController::contentSize() const
{
    return m_scrollView ? m_scrollView->viewport()->size() : QSize();
}

Size TWDocumentViewController::visibleAreaSize() const
{
    const double zoom = m_zoomAmount > 0 ? m_zoomAmount / 100.0 : 1.0;
    const QSize c =
        contentSize() - QSize(m_graphicView->verticalScrollBar()->sizeHint().width(),
                              m_graphicView->horizontalScrollBar()->sizeHint().height());
    // Screen pixels are paper units at the zoom.
    return Size(float(std::max(0, c.width()) / zoom), float(std::max(0, c.height()) / zoom));
}

void TWDocumentViewController::registerForNotifications()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observedMapsDocument = mapsDocument();
    const void *maps = m_observedMapsDocument;
    auto on = [&](const QString &name, const void *sender, void (TWDocumentViewController::*f)()) {
        m_observers.push_back(center.observe(name, sender, [this, f](const Notification &) {
            if (!m_closed)
                (this->*f)();
        }));
    };
    using C = TWDocumentViewController;
    // Without a maps document there is nothing to hear from it.
    if (maps) {
        on(TWMap::PrintCanvasControllerNeedsUpdateWhenIdleNotification, maps, &C::updateWhenIdle);
        on(TWMap::PrintCanvasControllerNeedsUpdateNowNotification, maps, &C::update);
        on(TWMap::MapsDocBranchesAddedNotification, maps, &C::update);
        on(TWMap::MapsDocBranchesDeletedNotification, maps, &C::updateWhenIdle);
        on(TWMap::MapsDocGraphicsDeletedNotification, maps, &C::updateWhenIdle);
        on(TWMapsDoc::PageFramesVisibilityChangedNotification, maps, &C::update);
    }
    // A changed print setup of the current map changes the printable page.
    m_observers.push_back(
        center.observe(TWMap::ValueChangeNotification, nullptr, [this](const Notification &n) {
            TWMap *map = currentMap();
            if (m_closed || !map || n.sender != static_cast<const void *>(map) ||
                n.userInfo.value(TWMap::KeyKey).toString() != QLatin1String("printSetupDictionary"))
                return;
            printInfoDidChange();
        }));
    on(TWMapsDoc::BranchHideLevelChangedNotification, nullptr, &C::update);
    // The map left where it was while a text was edited moves now.
    m_observers.push_back(center.observe(TWTextArea::TextAreaEditingStateChangedNotification,
                                         nullptr, [this](const Notification &) {
                                             if (!m_closed && m_printCanvas->trimWaitsForEditing())
                                                 updateWhenIdle();
                                         }));
    on(TWMapBranch::HideChildrenNotification, nullptr, &C::update);
    on(TWMapBranch::ShowChildrenNotification, nullptr, &C::update);
    m_observers.push_back(center.observe(TWDocument::WillCloseNotification, m_document,
                                         [this](const Notification &) { documentWillClose(); }));
}

void TWDocumentViewController::trimBeforeTheStepCloses()
{
    TWMap *map = currentMap();
    if (m_closed || !map)
        return;
    // Else the canvas's next update would move it in a step of its own, and
    // an undo would take back only that move. While a label is typed into,
    // the map stays put (as the update leaves it).
    const TWTextArea *editing = m_document->editingTextArea();
    if (editing && editing->map() == map)
        return;
    if (m_printCanvas->removeUnusedAreaFromMap(map) != Point(0, 0))
        update();
}

void TWDocumentViewController::mapsDocumentDidChange()
{
    if (m_closed)
        return;
    m_observers.clear();
    registerForNotifications();
    followCurrentMap();
    update();
}

void TWDocumentViewController::documentWillClose()
{
    m_closed = true;
    m_observers.clear();
}

bool TWDocumentViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (m_closed)
        return false;
    if (m_scrollView && watched == m_scrollView->viewport() && event->type() == QEvent::Resize)
        update();
    // The canvas's own wheel zoom changes the map alone: follow it once the
    // event is handled.
    if (watched == m_graphicView->viewport() && event->type() == QEvent::Wheel)
        QMetaObject::invokeMethod(this, &TWDocumentViewController::followCurrentMap,
                                  Qt::QueuedConnection);
    return false;
}

// --- zoom and scale ---

void TWDocumentViewController::applyFactor(QWidget *view, float &amount, float percent)
{
    const double factor = double(percent) / double(amount);
    if (view == m_zoomView)
        m_zoomView->scaleUnitSquareToSize(factor);
    else
        m_scaleView->scaleUnitSquareToSize(factor);
    amount = percent;
}

void TWDocumentViewController::setZoomAmount(float percent)
{
    if (percent == 0 || percent == m_zoomAmount || !std::isfinite(percent))
        return;
    saveMapCenter();
    applyFactor(m_zoomView, m_zoomAmount, percent);
    m_graphicView->mapGeometryDidChange();
    restoreMapCenter();
    scrollSelectionToVisible();
    emit zoomAmountChanged(percent);
}

void TWDocumentViewController::setScaleAmount(float percent)
{
    if (percent == 0 || percent == m_scaleAmount || !std::isfinite(percent))
        return;
    saveMapCenter();
    applyFactor(m_scaleView, m_scaleAmount, percent);
    restoreMapCenter();
    scrollSelectionToVisible();
    if (TWMapsDoc *maps = mapsDocument())
        NotificationCenter::defaultCenter().post(ScaleDidChangeNotification, maps);
}

void TWDocumentViewController::setMapZoomAmount(float percent)
{
    TWMap *map = currentMap();
    if (!map || percent == 0 || !std::isfinite(percent))
        return;
    map->setZoomAmount(percent);
    setZoomAmount(percent);
    update();
}

void TWDocumentViewController::saveMapCenter()
{
    // Measured at the zoom and scale the canvas was showing: the map may
    // already hold the new ones.
    const double zoom = (m_zoomAmount > 0 ? m_zoomAmount / 100.0 : 1.0) *
                        (m_scaleAmount > 0 ? m_scaleAmount / 100.0 : 1.0);
    const QSize view = m_graphicView->viewport()->size();
    m_savedVisibleRect = Rect(float(m_graphicView->horizontalScrollBar()->value() / zoom),
                              float(m_graphicView->verticalScrollBar()->value() / zoom),
                              float(view.width() / zoom), float(view.height() / zoom));
}

void TWDocumentViewController::restoreMapCenter()
{
    const Rect saved = m_savedVisibleRect;
    const Rect v = m_graphicView->visibleRect();
    const Rect target(saved.x() + (saved.width() - v.width()) * 0.5f,
                      saved.y() + (saved.height() - v.height()) * 0.5f, v.width(), v.height());
    // Both edges: the canvas scrolls the least that shows the rectangle.
    m_graphicView->scrollRectToVisible(Rect(target.x(), target.y(), 1, 1));
    m_graphicView->scrollRectToVisible(target);
}

void TWDocumentViewController::scrollSelectionToVisible()
{
    TWMap *map = currentMap();
    if (!map)
        return;
    const Rect selected = map->selectedGraphicsRect();
    if (selected != Rect())
        m_graphicView->scrollRectToVisible(selected);
}

void TWDocumentViewController::saveVisibleRectForCurrentMap()
{
    if (TWMap *map = currentMap())
        map->setCachedVisibleRect(m_graphicView->visibleRect());
}

void TWDocumentViewController::restoreVisibleRectForCurrentMap()
{
    followCurrentMap();
    if (TWMap *map = currentMap())
        m_graphicView->scrollRectToVisible(map->cachedVisibleRect());
    update();
}

void TWDocumentViewController::followCurrentMap()
{
    if (m_closed)
        return;
    TWMap *map = currentMap();
    if (!map)
        return;
    m_printCanvas->calculatePrintablePageSize();
    const bool changed = map->scaleAmount() != m_scaleAmount || map->zoomAmount() != m_zoomAmount;
    setScaleAmount(map->scaleAmount());
    setZoomAmount(map->zoomAmount());
    if (changed)
        update();
}

void TWDocumentViewController::printInfoDidChange()
{
    m_printCanvas->calculatePrintablePageSize();
    update();
}

// --- the update path ---

void TWDocumentViewController::update()
{
    if (m_closed)
        return;
    // Nothing here changes the drawing after the move onto the canvas, so
    // its extent is measured once for the pages, the canvas and the views.
    const TWPrintCanvasController::ExtentHold hold(*m_printCanvas);
    if (m_printView) {
        // Counts the pages, sizes the map's canvas and announces the update.
        // Sized below, to the window's layer.
        m_printView->updatePrintCanvas(false);
        updateViews();
        return;
    }
    m_printCanvas->updateCanvasSizeForMap(currentMap());
    updateViews();
    if (TWMapsDoc *maps = mapsDocument())
        NotificationCenter::defaultCenter().post(DidUpdateNotification, maps);
}

void TWDocumentViewController::updateWhenIdle()
{
    TWMapsDoc *maps = mapsDocument();
    if (!maps)
        return;
    // Coalesced per document: another document's request is its own.
    NotificationQueue::defaultQueue().enqueue(
        TWMap::PrintCanvasControllerNeedsUpdateNowNotification,
        NotificationObject(maps->shared_from_this()), {},
        NotificationQueue::CoalesceOnNameAndSender, NotificationQueue::PostWhenIdle);
}

void TWDocumentViewController::updateViews()
{
    const Rect r = m_printCanvas->printCanvasRect();
    // The canvas takes the print canvas in map units at the current scale.
    const double scale = m_scaleAmount > 0 ? m_scaleAmount / 100.0 : 1.0;
    if (TWMap *map = currentMap()) {
        const Size canvas(float(r.width() / scale), float(r.height() / scale));
        if (canvas.width > 0 && canvas.height > 0 && map->canvasSize() != canvas)
            map->setCanvasSize(canvas);
    }
    m_graphicView->mapGeometryDidChange();
    updateZoomViewRectAndCenterContent();
    m_scrollView->viewport()->update();
}

void TWDocumentViewController::updateZoomViewRectAndCenterContent()
{
    // The canvas draws map units at zoom times scale: paper units at the zoom.
    const double f = 0.01 * m_zoomAmount;
    const Rect r = m_printCanvas->printCanvasRect();
    // The canvas's frame holds its scroll bars beside the map.
    // (Rounded: float units must not lose the last pixel.)
    const double w =
        std::round(r.width() * f) + m_graphicView->verticalScrollBar()->sizeHint().width();
    const double h =
        std::round(r.height() * f) + m_graphicView->horizontalScrollBar()->sizeHint().height();
    const QSize c = contentSize();
    const double x = c.width() > w ? (c.width() - w) * 0.5 : 0;
    const double y = c.height() > h ? (c.height() - h) * 0.5 : 0;
    // The canvas scrolls what does not fit, so neither the zoom view nor the
    // layer in it outgrows the window.
    m_zoomView->setGeometry(0, 0, c.width(), c.height());
    const int layerWidth = int(std::min<double>(w, c.width()));
    const int layerHeight = int(std::min<double>(h, c.height()));
    printLayer()->setGeometry(int(x), int(y), std::max(layerWidth, 1), std::max(layerHeight, 1));
    if (m_printView)
        m_scaleView->setGeometry(m_printView->rect());
}

// --- fitting ---

void TWDocumentViewController::zoomToFitMapInWindow()
{
    TWMap *map = currentMap();
    TWMapsDoc *maps = mapsDocument();
    if (!map || !maps)
        return;
    double width, height;
    if (maps->showPageFrames()) {
        const Rect r = m_printCanvas->printCanvasRect();
        width = r.width();
        height = r.height();
    } else {
        const Rect b = map->getBoundingDrawingRectForAllGraphics();
        width = b.width() * map->scaleAmount() / 100.0;
        height = b.height() * map->scaleAmount() / 100.0;
    }
    // What the canvas shows beside its scroll bars, which take their room
    // whether they show or not.
    const QSize c = contentSize() - QSize(m_graphicView->verticalScrollBar()->sizeHint().width(),
                                          m_graphicView->horizontalScrollBar()->sizeHint().height());
    // An empty map or window has no zoom that fits it.
    if (width <= 0 || height <= 0 || c.width() <= 0 || c.height() <= 0)
        return;
    const double zx = c.width() / width * 100, zy = c.height() / height * 100;
    setMapZoomAmount(float(zy > zx ? zx : zy));
    if (maps->showPageFrames())
        return;
    // Centred by scrolling alone: fitting is a way of looking at the map, so
    // no branch moves and the document is not edited.
    update();
    m_graphicView->centerRectByScrolling(map->getBoundingDrawingRectForAllGraphics());
}

void TWDocumentViewController::scaleToFitMapOnSinglePage()
{
    TWMap *map = currentMap();
    TWMapsDoc *maps = mapsDocument();
    if (!map || !maps || !map->root() || !map->root()->mainGraphic())
        return;
    const Rect b = map->getBoundingDrawingRectForAllGraphics();
    const Size p = m_printCanvas->printablePageSize();
    if (b.width() <= 0 || b.height() <= 0 || p.width <= 0 || p.height <= 0)
        return;
    const double s = 99.0 / std::max(b.width() / p.width, b.height() / p.height);
    const double f = s * 0.01;
    const Point delta(float((p.width / f - b.width()) * 0.5 - b.x()),
                      float((p.height / f - b.height()) * 0.5 - b.y()));
    if (m_graphicView)
        m_graphicView->beginMarkBatch();
    map->root()->mainGraphic()->publicMoveBy(delta, true);
    if (m_graphicView)
        m_graphicView->endMarkBatch();
    map->setScaleAmount(float(s));
    setScaleAmount(map->scaleAmount());
    NotificationCenter::defaultCenter().post(TWMap::PrintCanvasControllerNeedsUpdateNowNotification,
                                             NotificationObject(maps->shared_from_this()));
}

void TWDocumentViewController::centerMapOnCanvas()
{
    TWMap *map = currentMap();
    TWMapsDoc *maps = mapsDocument();
    if (!map || !maps || !map->root() || !map->root()->mainGraphic())
        return;
    const Rect b = map->getBoundingDrawingRectForAllGraphics();
    const double z = map->zoomAmount() / 100.0, s = map->scaleAmount() / 100.0;
    if (z <= 0 || s <= 0)
        return;
    double width, height;
    if (maps->showPageFrames()) {
        const Rect r = m_printCanvas->printCanvasRect();
        width = r.width() / s;
        height = r.height() / s;
    } else {
        const QSize c = contentSize();
        width = c.width() / (z * s);
        height = c.height() / (z * s);
    }
    const Point delta(float((width - b.width()) * 0.5 - b.x()),
                      float((height - b.height()) * 0.5 - b.y()));
    if (delta != Point()) {
        // Every graphic moves: the canvas gathers their marks into a few.
        if (m_graphicView)
            m_graphicView->beginMarkBatch();
        map->root()->mainGraphic()->publicMoveBy(delta, true);
        if (m_graphicView)
            m_graphicView->endMarkBatch();
    }
    NotificationCenter::defaultCenter().post(TWMap::PrintCanvasControllerNeedsUpdateNowNotification,
                                             NotificationObject(maps->shared_from_this()));
}
