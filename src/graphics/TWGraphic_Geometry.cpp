#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"
#include "support/BezierPath.h"

#include <array>

namespace {

bool isLeftKnob(int knob)
{
    return knob == 1 || knob == 4 || knob == 6;
}

bool isRightKnob(int knob)
{
    return knob == 3 || knob == 5 || knob == 8;
}

bool isTopKnob(int knob)
{
    return knob >= 1 && knob <= 3;
}

bool isBottomKnob(int knob)
{
    return knob >= 6 && knob <= 8;
}

} // namespace

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

int TWGraphic::resizeByMovingKnob(int knob, Point point, bool)
{
    const Rect b = m_bounds;
    float x = b.x(), y = b.y(), w = b.width(), h = b.height();
    if (isLeftKnob(knob)) {
        w = x + w - point.x;
        x = point.x;
    } else if (isRightKnob(knob)) {
        w = point.x - x;
    }
    if (w < 0) {
        knob = flipKnob(knob, true);
        w = -w;
        x -= w;
        flipHorizontally();
    }
    if (isTopKnob(knob)) {
        h = y + h - point.y;
        y = point.y;
    } else if (isBottomKnob(knob)) {
        h = point.y - y;
    }
    if (h < 0) {
        knob = flipKnob(knob, false);
        h = -h;
        y -= h;
        flipVertically();
    }
    if (isEnclosedText()) {
        // The label's height follows its text; its bottom edge stays.
        const float r = static_cast<TWTextArea *>(this)->requiredSizeForWidth(w).height;
        setBounds(Rect(x, b.maxY() - r, w, r));
    } else {
        setBounds(Rect(x, y, w, h));
    }
    return knob;
}
