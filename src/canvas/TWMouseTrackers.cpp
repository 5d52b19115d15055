#include "canvas/TWMouseTrackers.h"

#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace {

void postPrintCanvasUpdate(TWGraphicView &view, const QString &name)
{
    TWMapsDoc *document = view.mapsDoc();
    NotificationCenter::defaultCenter().post(
        name, document ? NotificationObject(document->shared_from_this()) : NotificationObject());
}

// Bands are marked one point beyond their edges.
void markBand(TWGraphicView &view, Rect band)
{
    if (band != Rect())
        view.setNeedsDisplayInRect(band.insetBy(-1, -1));
}

} // namespace

// --- knobs ---

void TWKnobTracker::begin(TWGraphicView &view, QPointF)
{
    const Rect before = m_graphic->bounds();
    UndoManager::registerUndo(view.document() ? view.document()->undoManager() : nullptr,
                              [graphic = m_graphic, before] { graphic->setBounds(before); });
    view.setResizingGraphic(m_graphic);
}

void TWKnobTracker::move(TWGraphicView &view, QPointF point)
{
    if (m_stopped)
        return;
    if (view.resizedGraphicFlipped()) {
        // The graphic went to the other side of its parent: the knob no
        // longer is where the pointer is.
        m_stopped = true;
        view.reallyDisplay();
        view.setResizingGraphic(nullptr);
        return;
    }
    const bool natural = !(view.dragModifiers() & Qt::ShiftModifier);
    m_knob = m_graphic->publicResizeByMovingKnob(m_knob, view.mapPointFromViewport(point), natural,
                                                 false);
    view.reallyDisplay();
}

void TWKnobTracker::end(TWGraphicView &view, QPointF point)
{
    if (m_stopped)
        return;
    const bool natural = !(view.dragModifiers() & Qt::ShiftModifier);
    m_knob = m_graphic->publicResizeByMovingKnob(m_knob, view.mapPointFromViewport(point), natural,
                                                 true);
    view.setResizingGraphic(nullptr);
    postPrintCanvasUpdate(view, TWMap::PrintCanvasControllerNeedsUpdateWhenIdleNotification);
}

// --- rubber band ---

Rect dragRectangle(Point from, Point to)
{
    return Rect(std::floor(std::min(from.x, to.x)), std::floor(std::min(from.y, to.y)),
                std::ceil(std::abs(to.x - from.x)), std::ceil(std::abs(to.y - from.y)));
}

void TWRubberbandTracker::begin(TWGraphicView &view, QPointF point)
{
    m_start = view.mapPointFromViewport(point);
    // The band reads the drawing order at every move: it is made fresh once
    // for the drag, as a click finds its graphic in a fresh one.
    if (TWMap *map = view.map())
        map->removeAllGraphicOrderCache();
}

void TWRubberbandTracker::clearBand(TWGraphicView &view, TWMap &map)
{
    if (view.rubberbandRect() != Rect()) {
        markBand(view, view.rubberbandRect());
        for (const std::shared_ptr<TWGraphic> &g : map.rubberbandGraphics())
            view.invalidateGraphic(*g);
    }
    view.setRubberbandRect(Rect());
    map.setRubberbandGraphics({});
}

void TWRubberbandTracker::move(TWGraphicView &view, QPointF point)
{
    TWMap *map = view.map();
    if (!map)
        return;
    const Point p = view.mapPointFromViewport(point);
    if (p == m_start) {
        clearBand(view, *map);
        return;
    }
    const Rect band = dragRectangle(m_start, p);
    if (band == view.rubberbandRect())
        return;
    const TWMap::GraphicList before = map->rubberbandGraphics();
    markBand(view, view.rubberbandRect());
    view.setRubberbandRect(band);
    const QList<std::shared_ptr<TWGraphic>> touched = view.graphicsIntersectingRect(band);
    map->setRubberbandGraphics(touched);
    markBand(view, band);
    // Only graphics that enter or leave the band change their look.
    QSet<const TWGraphic *> was, is;
    for (const std::shared_ptr<TWGraphic> &g : before)
        was.insert(g.get());
    for (const std::shared_ptr<TWGraphic> &g : touched)
        is.insert(g.get());
    for (const std::shared_ptr<TWGraphic> &g : before) {
        if (!is.contains(g.get()))
            view.invalidateGraphic(*g);
    }
    for (const std::shared_ptr<TWGraphic> &g : touched) {
        if (!was.contains(g.get()))
            view.invalidateGraphic(*g);
    }
}

void TWRubberbandTracker::end(TWGraphicView &view, QPointF point)
{
    move(view, point);
    TWMap *map = view.map();
    if (!map)
        return;
    const TWMap::GraphicList touched = map->rubberbandGraphics();
    for (const std::shared_ptr<TWGraphic> &g : touched) {
        // Adornment icons go with their branch, never on their own.
        if (g->isOtherEnclosedGraphic())
            continue;
        const int index = map->indexOfSelectedGraphicIdenticalTo(g.get());
        if (index >= 0)
            map->removeObjectFromSelectedGraphicsAtIndex(index);
        else
            map->insertObjectInSelectedGraphicsAtIndex(g, 0);
    }
    clearBand(view, *map);
}

// --- zoom box ---

void TWZoomBoxTracker::begin(TWGraphicView &view, QPointF point)
{
    m_start = view.mapPointFromViewport(point);
}

void TWZoomBoxTracker::setBand(TWGraphicView &view, Rect band)
{
    if (band == view.rubberbandRect())
        return;
    markBand(view, view.rubberbandRect());
    view.setRubberbandRect(band);
    markBand(view, band);
}

void TWZoomBoxTracker::move(TWGraphicView &view, QPointF point)
{
    const Point p = view.mapPointFromViewport(point);
    setBand(view, p == m_start ? Rect() : dragRectangle(m_start, p));
}

void TWZoomBoxTracker::end(TWGraphicView &view, QPointF point)
{
    move(view, point);
    const Rect box = view.rubberbandRect();
    if (TWMap *map = view.map()) {
        if (box.width() < SmallestBox || box.height() < SmallestBox) {
            map->setZoomAmount(std::min(LargestZoom, map->zoomAmount() * ClickFactor));
            view.mapGeometryDidChange();
        } else {
            // The view is measured at 100 %; a box larger than the view zooms out.
            map->setZoomAmount(100);
            view.mapGeometryDidChange();
            const Rect v = view.visibleRect();
            const float zoomW = v.width() * 100 / box.width();
            const float zoomH = 100 * v.height() / box.height();
            const float zoom = zoomW < zoomH ? zoomW : zoomH;
            map->setZoomAmount(std::min(LargestZoom, zoom * Margin));
            view.mapGeometryDidChange();
            view.scrollRectToVisible(box);
            view.setNeedsDisplayInRect(box);
        }
    }
    markBand(view, view.rubberbandRect());
    view.setRubberbandRect(Rect());
    if (!view.modeLockedIn())
        view.setDrawingMode(TWGraphicView::SelectMode);
}

// --- link lines ---

void TWLinkLineTracker::begin(TWGraphicView &view, QPointF point)
{
    if (view.drawingMode() != TWGraphicView::LinkLineMode)
        view.setDrawingMode(TWGraphicView::LinkLineMode);
    m_ticks.setInterval(TickInterval);
    QObject::connect(&m_ticks, &QTimer::timeout, &m_ticks, [this, &view] {
        m_tick = (m_tick + 1) % TicksPerStep;
        if (m_tick == 0)
            view.stepAnimation();
    });
    m_ticks.start();
    follow(view, point, false);
}

void TWLinkLineTracker::move(TWGraphicView &view, QPointF point)
{
    follow(view, point, false);
}

void TWLinkLineTracker::follow(TWGraphicView &view, QPointF point, bool commit)
{
    TWMapBranch *branch = m_start->branch();
    TWMap *map = branch ? branch->map() : nullptr;
    if (!map)
        return;
    const Point p = view.mapPointFromViewport(point);
    m_target = TWGraphicView::graphicForLinkingToFromGraphic(map->graphicUnderPoint(p, nullptr));
    view.setAnimatingGraphic(m_target);
    map->publicCreateLinkLineFromGraphic(m_start, m_target, p, commit);
}

void TWLinkLineTracker::end(TWGraphicView &view, QPointF point)
{
    m_ticks.stop();
    follow(view, point, true);
    view.setAnimatingGraphic(nullptr);
    if (!view.modeLockedIn())
        view.setDrawingMode(TWGraphicView::SelectMode);
}
