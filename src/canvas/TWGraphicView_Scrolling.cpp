// The canvas's geometry: zoom, scrolling, centring, the wheel, drags and
// the poof.

#include "canvas/SpellableTextView.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWDragTracker.h"
#include "canvas/TWGraphicView.h"
#include "canvas/TWPoofWindow.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWMapUtilities.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"

#include <QMouseEvent>
#include <QScopeGuard>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {
constexpr float MinimumZoom = 20;
constexpr float MaximumZoom = 400;
} // namespace

qreal TWGraphicView::zoomFactor() const
{
    const TWMap *m = map();
    const float zoom = m ? m->zoomAmount() : 100;
    const qreal factor = zoom > 0 ? zoom / 100.0 : 1.0;
    // With pages the map is drawn at the print scale too.
    const qreal scale = m_document ? m_document->drawingScale() : 1.0;
    return scale > 0 && std::isfinite(scale) ? factor * scale : factor;
}

Size TWGraphicView::canvasSize() const
{
    const TWMap *m = map();
    const Size size = m ? m->canvasSize() : Size();
    return size.width > 0 && size.height > 0 ? size : TWMap::DefaultCanvasSize;
}

void TWGraphicView::updateScrollRange()
{
    const qreal zoom = zoomFactor();
    const Size size = canvasSize();
    const QSize view = viewport()->size();
    const int width = int(std::ceil(size.width * zoom));
    const int height = int(std::ceil(size.height * zoom));
    int minX = 0, maxX = std::max(0, width - view.width());
    int minY = 0, maxY = std::max(0, height - view.height());
    if (m_centredScroll) {
        minX = std::min(minX, m_centredScroll->x());
        maxX = std::max(maxX, m_centredScroll->x());
        minY = std::min(minY, m_centredScroll->y());
        maxY = std::max(maxY, m_centredScroll->y());
    }
    horizontalScrollBar()->setRange(minX, maxX);
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(10);
    verticalScrollBar()->setRange(minY, maxY);
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(10);
    if (m_pendingMapMove != Point()) {
        const Point move = std::exchange(m_pendingMapMove, Point());
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() +
                                        int(std::lround(move.x * zoom)));
        verticalScrollBar()->setValue(verticalScrollBar()->value() +
                                      int(std::lround(move.y * zoom)));
    }
}

void TWGraphicView::followMapMovedBy(Point offset)
{
    if (!std::isfinite(offset.x) || !std::isfinite(offset.y))
        return;
    m_pendingMapMove = Point(m_pendingMapMove.x + offset.x, m_pendingMapMove.y + offset.y);
}

void TWGraphicView::mapGeometryDidChange()
{
    // Another map, zoom or scale changes every pixel shown. A canvas that
    // only grew or shrank keeps its origin, so what is shown stays, unless
    // page frames are drawn across it.
    const TWMapsDoc *document = mapsDoc();
    const bool frames = document && document->showPageFrames();
    const ShownGeometry now{map(), zoomFactor(), frames ? canvasSize() : Size()};
    if (!(now == m_shownGeometry))
        m_centredScroll.reset();
    updateScrollRange();
    if (now == m_shownGeometry)
        return;
    m_shownGeometry = now;
    // An open editor is a widget over the label: it follows the new scale.
    if (editingTextArea())
        placeEditor(editorView()->frame());
    updateViewport(viewport()->rect());
}

void TWGraphicView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
    m_unpaintedArea = viewport()->rect();
}

void TWGraphicView::scrollContentsBy(int dx, int dy)
{
    // The editor is a child of the viewport: it moves with the map, placed
    // anew once the pixels (and the viewport's children) have moved. (The
    // editions put their own scroll bars in, so their signals are not asked.)
    const auto placeOpenEditor = qScopeGuard([this] {
        if (editingTextArea())
            placeEditor(editorView()->frame());
    });
    postNavigatorUpdate(std::nullopt);
    const QRect view = viewport()->rect();
    if (std::abs(dx) >= view.width() || std::abs(dy) >= view.height()) {
        updateViewport(view);
        return;
    }
    // What is on screen moves; only what comes into view is drawn, with
    // what was marked and not yet painted, where it now is.
    viewport()->scroll(dx, dy);
    const QRect moved = m_unpaintedArea.translated(dx, dy).intersected(view);
    if (!moved.isEmpty())
        viewport()->update(moved);
    QRect exposed = moved;
    if (dx > 0)
        exposed |= QRect(0, 0, dx, view.height());
    else if (dx < 0)
        exposed |= QRect(view.width() + dx, 0, -dx, view.height());
    if (dy > 0)
        exposed |= QRect(0, 0, view.width(), dy);
    else if (dy < 0)
        exposed |= QRect(0, view.height() + dy, view.width(), -dy);
    m_unpaintedArea = exposed;
}

Point TWGraphicView::mapPointFromViewport(QPointF point) const
{
    const qreal zoom = zoomFactor();
    return Point(float((point.x() + horizontalScrollBar()->value()) / zoom),
                 float((point.y() + verticalScrollBar()->value()) / zoom));
}

QRectF TWGraphicView::viewportRectFromMap(Rect rect) const
{
    const qreal zoom = zoomFactor();
    return QRectF(rect.x() * zoom - horizontalScrollBar()->value(),
                  rect.y() * zoom - verticalScrollBar()->value(), rect.width() * zoom,
                  rect.height() * zoom);
}

Rect TWGraphicView::visibleRect() const
{
    const qreal zoom = zoomFactor();
    const Size size = canvasSize();
    const QSize view = viewport()->size();
    return Rect(float(horizontalScrollBar()->value() / zoom),
                float(verticalScrollBar()->value() / zoom),
                std::min(float(view.width() / zoom), size.width),
                std::min(float(view.height() / zoom), size.height));
}

bool TWGraphicView::scrollRectToVisible(Rect rect)
{
    const Rect v = visibleRect();
    float x = v.x(), y = v.y();
    if (rect.minX() < v.minX())
        x = rect.minX();
    else if (rect.maxX() > v.maxX())
        x = std::min(rect.minX(), rect.maxX() - v.width());
    if (rect.minY() < v.minY())
        y = rect.minY();
    else if (rect.maxY() > v.maxY())
        y = std::min(rect.minY(), rect.maxY() - v.height());
    const qreal zoom = zoomFactor();
    const int oldX = horizontalScrollBar()->value(), oldY = verticalScrollBar()->value();
    horizontalScrollBar()->setValue(int(std::lround(x * zoom)));
    verticalScrollBar()->setValue(int(std::lround(y * zoom)));
    return horizontalScrollBar()->value() != oldX || verticalScrollBar()->value() != oldY;
}

void TWGraphicView::centerRect(Rect rect)
{
    const Rect v = visibleRect();
    scrollRectToVisible(Rect(rect.midX() - v.width() / 2, rect.midY() - v.height() / 2,
                             v.width() - 10, v.height() - 10));
}

void TWGraphicView::centerRectByScrolling(Rect rect)
{
    const QRectF shown = viewportRectFromMap(rect);
    const QSize view = viewport()->size();
    const QPoint target(
        horizontalScrollBar()->value() + int(std::lround(shown.center().x() - view.width() / 2.0)),
        verticalScrollBar()->value() + int(std::lround(shown.center().y() - view.height() / 2.0)));
    m_centredScroll = target;
    updateScrollRange();
    horizontalScrollBar()->setValue(target.x());
    verticalScrollBar()->setValue(target.y());
}

void TWGraphicView::centerRoot()
{
    const TWMap *m = map();
    if (m && m->root() && m->root()->mainGraphic())
        centerRect(m->root()->mainGraphic()->bounds());
}

Rect TWGraphicView::selectedRect() const
{
    const TWMap *m = map();
    Rect result;
    if (!m)
        return result;
    bool first = true;
    for (const std::shared_ptr<TWGraphic> &graphic : m->selectedGraphics()) {
        result = first ? graphic->bounds() : TWUnionRect(result, graphic->bounds());
        first = false;
    }
    return result;
}

void TWGraphicView::centerSelection()
{
    const TWMap *m = map();
    if (m && m->countOfSelectedGraphics() > 0)
        centerRect(selectedRect());
}

bool TWGraphicView::scrollSelectionToVisible()
{
    const Rect selected = selectedRect();
    if (visibleRect().contains(selected))
        return true;
    return scrollRectToVisible(selected);
}

// --- the wheel ---

void TWGraphicView::wheelEvent(QWheelEvent *event)
{
    TWMap *m = map();
    // Option turns the wheel sideways on some platforms.
    double delta = event->angleDelta().y() / 120.0;
    if (delta == 0)
        delta = event->angleDelta().x() / 120.0;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (m && (modifiers & Qt::ControlModifier)) {
        m->setZoomAmount(std::clamp(float(m->zoomAmount() + delta), MinimumZoom, MaximumZoom));
        mapGeometryDidChange();
        event->accept();
        return;
    }
    if (m && (modifiers & Qt::AltModifier) && mapsDoc() && mapsDoc()->showPageFrames()) {
        float scale = m->scaleAmount();
        if (delta > 0 && delta < 1)
            scale += 1;
        else if (delta < 0 && delta > -1)
            scale -= 1;
        else
            scale += float(delta);
        m->setScaleAmount(std::clamp(scale, MinimumZoom, MaximumZoom));
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

// --- drags ---

void TWGraphicView::beginTracking(std::unique_ptr<TWDragTracker> tracker, QPointF viewportPoint)
{
    if (m_tracker || !tracker)
        return;
    if (UndoManager *undo = m_document ? m_document->undoManager() : nullptr)
        undo->beginUndoGrouping();
    m_tracker = std::move(tracker);
    m_lastDragPoint = viewportPoint;
    m_tracker->begin(*this, viewportPoint);
}

void TWGraphicView::endTracking(QPointF viewportPoint)
{
    m_autoscrollTimer.stop();
    std::unique_ptr<TWDragTracker> tracker = std::move(m_tracker);
    tracker->end(*this, viewportPoint);
    if (UndoManager *undo = m_document ? m_document->undoManager() : nullptr)
        undo->endUndoGrouping();
}

void TWGraphicView::autoscrollTick()
{
    if (!m_tracker) {
        m_autoscrollTimer.stop();
        return;
    }
    const Point p = mapPointFromViewport(m_lastDragPoint);
    scrollRectToVisible(Rect(p.x - 1, p.y - 1, 2, 2));
    m_tracker->move(*this, m_lastDragPoint);
}

void TWGraphicView::scrollWithEvent(QPointF viewportPoint)
{
    beginTracking(std::make_unique<TWPanTracker>(), viewportPoint);
}

void TWPanTracker::begin(TWGraphicView &view, QPointF point)
{
    m_grabbed = view.mapPointFromViewport(point);
}

void TWPanTracker::move(TWGraphicView &view, QPointF point)
{
    const Point now = view.mapPointFromViewport(point);
    view.scrollRectToVisible(view.visibleRect().offsetBy(m_grabbed.x - now.x, m_grabbed.y - now.y));
}

void TWPanTracker::end(TWGraphicView &view, QPointF point)
{
    move(view, point);
    if (!view.modeLockedIn())
        view.setDrawingMode(TWGraphicView::SelectMode);
}

// --- the poof ---

QWidget *TWGraphicView::runPoofAtLocation(QPoint globalPoint)
{
    if (m_poofImage.isNull())
        m_poofImage = QImage(QStringLiteral(":/images/ToolbarPoof.png"));
    if (m_poofImage.isNull() || m_poofImage.width() < TWPoofWindow::FrameCount)
        return nullptr;
    return new TWPoofWindow(m_poofImage, globalPoint, m_poofFrameInterval);
}
