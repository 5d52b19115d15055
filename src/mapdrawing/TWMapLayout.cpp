#include "mapdrawing/TWMapLayout.h"
#include "mapdrawing/TWMapDefaultColors.h"

#include "mapdrawing/TWMapBranch_Layout.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "support/BezierPath.h"

void TWMapLayout::autoArangeWithMovedBranches(TWMap &map, const BranchList &moved)
{
    switch (map.layoutAssistanceMode()) {
    case 2:
        performLooseAutoLayoutWithMovedBranches(map, moved);
        break;
    case 3:
        performTightAutoLayoutWithMovedBranches(map, moved, false);
        break;
    default:
        break;
    }
}

void TWMapLayout::autoArrange(TWMap &map)
{
    if (map.root())
        performTightAutoLayoutWithMovedBranches(map, {map.root()}, false);
    map.setNeedsUpdatePreviewImage(true);
}

void TWMapLayout::updateBoundaryForChangedChild(TWMapBranch &branch, TWMapBranch &changed)
{
    TWBranchLayout::updateBoundaryForChangedChild(branch, changed);
}

void TWMapLayout::removeChildFromBoundary(TWMapBranch &branch, TWMapBranch &removed)
{
    TWBranchLayout::removeChildFromBoundary(branch, removed);
}

void TWMapLayout::invalidateBoundary(TWMapBranch &branch)
{
    TWBranchLayout::invalidateBoundary(branch);
}

void TWMapLayout::recalculateBoundary(TWMapBranch &branch)
{
    TWBranchLayout::recalculateBoundary(branch);
}

void TWMapLayout::updateBoundary(TWMapBranch &branch)
{
    TWBranchLayout::updateBoundary(branch);
}

void TWMapLayout::moveBoundaryBy(TWMapBranch &branch, float dx, float dy)
{
    TWBranchLayout::moveBoundaryBy(branch, dx, dy);
}

void TWMapLayout::slideBoundaryBy(TWMapBranch &branch, float dx, float dy, unsigned move)
{
    TWBranchLayout::slideBoundaryBy(branch, dx, dy, move);
}

std::optional<Rect> TWMapLayout::boundaryPathBounds(TWMapBranch &branch)
{
    const std::shared_ptr<BezierPath> path = TWBranchLayout::boundaryPath(branch);
    if (!path || path->isEmpty())
        return std::nullopt;
    return path->bounds();
}

std::vector<std::optional<Rect>>
TWMapLayout::boundaryPathBoundsOfBranches(const std::vector<TWMapBranch *> &branches)
{
    return TWBranchLayout::boundaryPathBounds(branches);
}

bool TWMapLayout::boundaryPathContainsPoint(TWMapBranch &branch, Point point)
{
    const std::shared_ptr<BezierPath> path = TWBranchLayout::boundaryPath(branch);
    return path && !path->isEmpty() && path->toQPainterPath().contains(point.toQt());
}

Rect TWMapLayout::boundsOfShowAndHideImage(TWMapBranch &branch)
{
    return TWBranchLayout::boundsOfShowAndHideImage(branch);
}

void TWMapLayout::autoArrangeWithMovedBranches(TWMap &map, const BranchList &moved)
{
    autoArangeWithMovedBranches(map, moved);
}

Color TWMapLayout::defaultStrokeColorForGraphic(TWMap &map, const TWGraphic &graphic)
{
    return TWMapDefaultColors::defaultStrokeColorForGraphic(map, graphic)
        .value_or(TWMapLayoutServices::defaultStrokeColorForGraphic(map, graphic));
}

Color TWMapLayout::defaultFillColorForGraphic(TWMap &map, const TWGraphic &graphic)
{
    return TWMapDefaultColors::defaultFillColorForGraphic(map, graphic)
        .value_or(TWMapLayoutServices::defaultFillColorForGraphic(map, graphic));
}
