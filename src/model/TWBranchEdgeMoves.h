#pragma once

#include "graphics/TWConnectionGraphic.h"
#include "model/TWMapBranch.h"
#include "platform/Geometry.h"

#include <optional>

// How far each edge and centre line of a branch's shape moved: children
// hanging on an edge move with it.
struct TWBranchEdgeMoves
{
    float left = 0;
    float right = 0;
    float midX = 0;
    float midY = 0;
    float top = 0;
    float bottom = 0;

    static TWBranchEdgeMoves between(Rect from, Rect to)
    {
        return {to.minX() - from.minX(), to.maxX() - from.maxX(), to.midX() - from.midX(),
                to.midY() - from.midY(), to.minY() - from.minY(), to.maxY() - from.maxY()};
    }

    // How far a child moves with the edge its connection hangs on; nothing
    // for a side that follows no edge. `leftSide` picks the edge of side 1;
    // `mirror` is added across for the sides that follow the branch over
    // the root.
    std::optional<Point> childOffset(const TWMapBranch &child, bool leftSide,
                                     float mirror = 0) const
    {
        switch (child.connectionGraphic()->connectionToParentSide()) {
        case 1:
            return Point(mirror + (leftSide ? left : right), midY);
        case 2:
            return Point(left, midY);
        case 3:
            return Point(right, midY);
        case 4:
            return Point(midX, top);
        case 5:
            return Point(midX, bottom);
        case 6:
            return Point(mirror + midX, child.isAboveParent() ? top : bottom);
        case 7:
            return Point(mirror + (child.isToLeftOfParent() ? left : right), midY);
        default:
            return std::nullopt;
        }
    }
};
