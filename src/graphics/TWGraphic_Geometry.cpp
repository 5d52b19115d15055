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

int TWGraphic::flipKnob(int knob, bool horizontal)
{
    static constexpr std::array<int, 9> acrossVertical{0, 3, 2, 1, 5, 4, 8, 7, 6};
    static constexpr std::array<int, 9> acrossHorizontal{0, 6, 7, 8, 4, 5, 1, 2, 3};
    if (knob < 0 || knob > 8)
        return knob;
    return horizontal ? acrossVertical[size_t(knob)] : acrossHorizontal[size_t(knob)];
}

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

int TWGraphic::knobUnderPoint(Point point)
{
    const unsigned mask = unsigned(knobMask());
    for (int knob = 1; knob <= 8; ++knob) {
        if ((mask & (1u << knob)) && knobRect(knobPoint(m_bounds, knob)).contains(point))
            return knob;
    }
    return 0;
}

bool TWGraphic::hitTest(Point point, bool isSelected)
{
    if (isSelected && knobUnderPoint(point) != 0)
        return true;
    // A thin shape is easier to pick with a band above it.
    const float d = m_strokeWidth * 0.5f + 2;
    if (const std::shared_ptr<BezierPath> path = bezierPath()) {
        if (path->toQPainterPath().contains(point.toQt()))
            return true;
        const Rect pathBounds = path->bounds();
        if (!(pathBounds.height() < 4))
            return false;
        return Rect(pathBounds.x(), pathBounds.y() - d, pathBounds.width(), pathBounds.height() + d)
            .contains(point);
    }
    return Rect(m_bounds.x(), m_bounds.y() - d, m_bounds.width(), m_bounds.height() + d)
        .contains(point);
}

bool TWGraphic::selectsInRect(Rect rect)
{
    return canBeSelected() && rect.intersects(drawingBounds());
}

Rect TWGraphic::imageBoundsAssertingMainGraphic(bool assertingMainGraphic)
{
    TWMapBranch *owner = branch();
    if (!owner)
        return {};
    const std::shared_ptr<TWGraphic> image = owner->enclosedImage();
    if ((isMainGraphic() || assertingMainGraphic) && image)
        return owner->enclosedImageLayoutMode() == 0 ? m_bounds : image->bounds();
    if (isEnclosedImage() || isLinkedGraphic() || isOtherEnclosedGraphic())
        return m_bounds;
    return {};
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
