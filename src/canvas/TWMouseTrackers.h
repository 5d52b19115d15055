#pragma once

#include "canvas/TWDragTracker.h"
#include "platform/Geometry.h"

#include <QTimer>
#include <functional>
#include <memory>

class TWGraphic;
class TWMap;

// The drags a press on the canvas starts, each from the press to the
// release of the left button (see TWGraphicView::beginTracking).

// Waits for the release and hands over where it happened; the moves in
// between do nothing.
class TWReleaseTracker : public TWDragTracker
{
public:
    explicit TWReleaseTracker(std::function<void(TWGraphicView &, QPointF)> released)
        : m_released(std::move(released))
    {}
    void move(TWGraphicView &, QPointF) override {}
    void end(TWGraphicView &view, QPointF point) override { m_released(view, point); }
    bool autoscrolls() const override { return false; }

private:
    std::function<void(TWGraphicView &, QPointF)> m_released;
};

// Runs another drag, then what follows it.
class TWFollowedTracker : public TWDragTracker
{
public:
    TWFollowedTracker(std::unique_ptr<TWDragTracker> inner, std::function<void()> then)
        : m_inner(std::move(inner)), m_then(std::move(then))
    {}
    void begin(TWGraphicView &view, QPointF point) override { m_inner->begin(view, point); }
    void move(TWGraphicView &view, QPointF point) override { m_inner->move(view, point); }
    void end(TWGraphicView &view, QPointF point) override
    {
        m_inner->end(view, point);
        m_then();
    }
    bool autoscrolls() const override { return m_inner->autoscrolls(); }

private:
    std::unique_ptr<TWDragTracker> m_inner;
    std::function<void()> m_then;
};

// Resizes a graphic by one of its knobs. Shift frees the aspect ratio at
// every step; a knob dragged across the graphic becomes its opposite; a
// layout that flips the graphic to the other side of its parent ends the
// resize where it stands.
class TWKnobTracker : public TWDragTracker
{
public:
    TWKnobTracker(std::shared_ptr<TWGraphic> graphic, int knob)
        : m_graphic(std::move(graphic)), m_knob(knob)
    {}
    void begin(TWGraphicView &view, QPointF point) override;
    void move(TWGraphicView &view, QPointF point) override;
    void end(TWGraphicView &view, QPointF point) override;
    int knob() const { return m_knob; }

private:
    std::shared_ptr<TWGraphic> m_graphic;
    int m_knob;
    bool m_stopped = false;
};

// The rectangle from the press to the pointer, covering whole points.
Rect dragRectangle(Point from, Point to);

// Selects by rubber band: the graphics the band touches change their
// selection state at the release.
class TWRubberbandTracker : public TWDragTracker
{
public:
    void begin(TWGraphicView &view, QPointF point) override;
    void move(TWGraphicView &view, QPointF point) override;
    void end(TWGraphicView &view, QPointF point) override;

private:
    void clearBand(TWGraphicView &view, TWMap &map);
    Point m_start;
};

// Zooms to the box dragged, or one step in for a click or a small box.
class TWZoomBoxTracker : public TWDragTracker
{
public:
    static constexpr float SmallestBox = 20;
    static constexpr float ClickFactor = 1.5f;
    static constexpr float LargestZoom = 500;
    static constexpr float Margin = 0.98f;

    void begin(TWGraphicView &view, QPointF point) override;
    void move(TWGraphicView &view, QPointF point) override;
    void end(TWGraphicView &view, QPointF point) override;

private:
    void setBand(TWGraphicView &view, Rect band);
    Point m_start;
};

// Draws a new link line from a graphic to whatever the pointer is over.
// The target is highlighted, one step every fifth tick while the drag
// lasts; the line is made at the release when it ends on a graphic.
class TWLinkLineTracker : public TWDragTracker
{
public:
    static constexpr int TickInterval = 100;
    static constexpr int TicksPerStep = 5;

    explicit TWLinkLineTracker(std::shared_ptr<TWGraphic> start) : m_start(std::move(start)) {}
    void begin(TWGraphicView &view, QPointF point) override;
    void move(TWGraphicView &view, QPointF point) override;
    void end(TWGraphicView &view, QPointF point) override;
    bool autoscrolls() const override { return false; }

private:
    void follow(TWGraphicView &view, QPointF point, bool commit);
    std::shared_ptr<TWGraphic> m_start;
    std::shared_ptr<TWGraphic> m_target;
    QTimer m_ticks;
    int m_tick = 0;
};
