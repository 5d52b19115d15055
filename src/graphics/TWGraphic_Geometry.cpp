#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"
#include "support/BezierPath.h"

#include <array>

Point TWGraphic::knobPoint(Rect b, int knob)
{
    const float xs[3] = {b.minX(), b.midX(), b.maxX()};
    const float ys[3] = {b.minY(), b.midY(), b.maxY()};
    switch (knob) {
    case 1:
        return {xs[0], ys[0]};
    case 2:
        return {xs[1], ys[0]};
    case 3:
        return {xs[2], ys[0]};
    case 4:
        return {xs[0], ys[1]};
    case 5:
        return {xs[2], ys[1]};
    case 6:
        return {xs[0], ys[2]};
    case 7:
        return {xs[1], ys[2]};
    case 8:
        return {xs[2], ys[2]};
    default:
        return b.origin;
    }
}
