#pragma once

#include "platform/Geometry.h"

#include <QPointF>

class TWGraphicView;

// One drag on the canvas, from the press to the release of the left button,
// in viewport coordinates. The canvas runs it inside one undo group and,
// while the pointer is outside the viewport, scrolls toward it and repeats
// the last move on every autoscroll tick.
class TWDragTracker
{
public:
    virtual ~TWDragTracker() = default;
    virtual void begin(TWGraphicView &view, QPointF point) {}
    virtual void move(TWGraphicView &view, QPointF point) = 0;
    virtual void end(TWGraphicView &view, QPointF point) {}
    virtual bool autoscrolls() const { return true; }
};

// Panning with the hand: the map point grabbed stays under the pointer;
// an unlocked pan mode ends with the drag.
class TWPanTracker : public TWDragTracker
{
public:
    void begin(TWGraphicView &view, QPointF point) override;
    void move(TWGraphicView &view, QPointF point) override;
    void end(TWGraphicView &view, QPointF point) override;
    bool autoscrolls() const override { return false; }

private:
    Point m_grabbed;
};
