#pragma once

#include "platform/Geometry.h"

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
};
