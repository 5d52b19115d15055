#pragma once

#include "canvas/TWDragTracker.h"
#include "platform/Geometry.h"

#include <memory>

class TWGraphic;
class TWGraphicView;

// A reparenting drag; its result is known once it has ended.
class TWReparentTracker : public TWDragTracker
{
public:
    enum Result { Grafted = 1, Reordered = 2, Cancelled = 3, BackToMoving = 4 };
    virtual Result result() const = 0;
};

// The drags that carry graphics about the map: moving the selection and
// reparenting a branch. The canvas starts them from a press; whoever builds
// them installs them with TWGraphicView::setGraphicDrags().
class TWGraphicDrags
{
public:
    virtual ~TWGraphicDrags() = default;
    // Moves the selected graphics from the press at `point` (viewport).
    virtual std::unique_ptr<TWDragTracker> moveSelectedGraphic(TWGraphicView &view,
                                                               QPointF point) = 0;
    // Reparents the selected graphic's branch; `forced` skips the move
    // that otherwise comes first.
    virtual std::unique_ptr<TWReparentTracker>
    reparentSelectedGraphic(TWGraphicView &view, QPointF point, bool forced, Point offset) = 0;
    // The coordinates a move gathers for snapping are dropped at every release.
    virtual void forgetCoordinates() {}
};
