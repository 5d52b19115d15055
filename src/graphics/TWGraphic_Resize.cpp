#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"

#include <algorithm>

namespace {

// The label's margin inside the shape and the band it takes (3 above and
// below).
constexpr float Margin = 3;
constexpr float LabelPadding = 6;

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

bool isKind(const TWGraphic &graphic, const char *className)
{
    return graphic.className() == QLatin1String(className);
}

// Where the label goes when the shape moves from `old` to `shape`: kept
// between the icons on the left and those on the right, re-wrapped when its
// width changes. A re-wrapped label that needs more height than the shape
// has makes the shape grow upward (`shape` is updated).
Rect refittedLabel(const TWGraphic &main, TWMapBranch &branch, Rect old, Rect &shape)
{
    const TWTextArea &label = *branch.enclosedTextArea();
    const Rect t = label.bounds();
    const float lead = branch.totalWidthToAllowForOtherEnclosedGraphics();
    const float tail = branch.totalWidthForSuffixImages();
    const float left = shape.x() + lead;
    const float right = shape.maxX() - tail;
    const bool touchedLeft = old.x() + lead >= t.x();
    const bool touchedRight = t.maxX() >= old.maxX() - tail;

    float tx = t.x(), ty = t.y(), tw = t.width(), th = t.height();
    bool rewrapped = false;
    auto rewrap = [&](float width) {
        // Narrower than nothing would be read as a bad width and replaced.
        tw = std::max(0.0f, width);
        th = label.requiredSizeForWidth(tw).height;
        rewrapped = true;
    };
    auto spanInside = [&] {
        tx = left;
        rewrap(right - left);
    };

    if (touchedLeft) {
        tx = left;
        if (touchedRight)
            rewrap(right - left);
        if (tx + tw > right)
            rewrap(right - tx);
    } else if (touchedRight) {
        // It follows the right edge.
        tx = t.x() - (old.maxX() - shape.maxX());
        if (left > tx)
            spanInside();
    } else if (left > t.x()) {
        tx = left;
        if (t.width() + left > right)
            rewrap(right - left);
    } else if (t.maxX() > right) {
        tx = t.x() - (t.maxX() - right);
        if (left > tx)
            spanInside();
    }
    if (!rewrapped)
        return Rect(tx, ty, tw, th);

    const bool hasPicture = branch.enclosedImage() != nullptr;
    if (main.getTextAlignmentMode() == 0 && !hasPicture) {
        // A line keeps its height; its label sits just above it.
        ty = shape.y() - Margin - th;
        return Rect(tx, ty, tw, th);
    }
    const bool roundOrLineWithPicture =
        isKind(main, "TWCircle") || (isKind(main, "TWLine") && hasPicture);
    const float need = (roundOrLineWithPicture ? LabelPadding : 0) + th + LabelPadding;
    if (need > shape.height()) {
        shape.origin.y -= need - shape.height();
        shape.size.height = need;
    }
    switch (branch.textRelativePosition()) {
    case 1:
        ty = shape.y() + Margin;
        break;
    case 2:
        ty = shape.midY() - th / 2;
        break;
    case 3:
        ty = shape.maxY() - Margin - th;
        break;
    default:
        break;
    }
    return Rect(tx, ty, tw, th);
}

} // namespace

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

    const std::shared_ptr<TWGraphic> self = weak_from_this().lock();
    TWMapBranch *owner = branch();
    if (owner && owner->enclosedTextArea().get() == this) {
        // The label's height follows its text; its bottom edge stays.
        const float r = static_cast<TWTextArea *>(this)->requiredSizeForWidth(w).height;
        owner->resizeForTextAreaBoundsChangeTo(Rect(x, b.maxY() - r, w, r), false);
    } else if (owner && owner->mainGraphic().get() == this) {
        const std::shared_ptr<TWMapBranch> ownerAlive = owner->shared_from_this();
        Rect shape(x, y, w, h);
        if (const std::shared_ptr<TWTextArea> &label = owner->enclosedTextArea())
            label->setBounds(refittedLabel(*this, *owner, b, shape));
        owner->setMainGraphicBounds(shape);
    } else {
        setBounds(Rect(x, y, w, h));
    }
    return knob;
}

Rect TWGraphic::enclosedImageBoundsForNewImageOfSize(Size size, Rect *selfBounds)
{
    const Rect b = m_bounds;
    const TWMapBranch *owner = branch();
    const Rect t =
        owner && owner->enclosedTextArea() ? owner->enclosedTextArea()->bounds() : Rect();
    const int position = owner ? owner->textRelativePosition() : 0;
    const bool line = isKind(*this, "TWLine");
    const float band = t.height() + LabelPadding;

    if (!(size.width > 0) || !(size.height > 0)) {
        // The picture goes: the shape shrinks to the label band.
        float sh = line ? 0 : band;
        if (isKind(*this, "TWCircle") && (position == 1 || position == 3))
            sh += LabelPadding;
        float sy = position == 2 ? b.midY() - sh / 2 : (position == 3 ? b.maxY() - sh : b.y());
        if (line)
            sy = t.maxY() + Margin;
        if (selfBounds)
            *selfBounds = Rect(b.x(), sy, b.width(), sh);
        return {};
    }

    float sx, sw, sh;
    if (b.width() > size.width) {
        // Scaled to the shape's width.
        sx = b.x();
        sw = b.width();
        sh = size.height * b.width() / size.width;
    } else {
        sw = size.width;
        sh = size.height;
        switch (owner ? owner->expansionSide() : 1) {
        case 0:
            sx = b.x() - (size.width - b.width());
            break;
        case 2:
            sx = b.x() - (size.width - b.width()) / 2;
            break;
        default:
            sx = b.x();
            break;
        }
    }
    float sy = b.y();
    switch (position) {
    case 1:
        sh += band;
        break;
    case 3:
        sh += band;
        sy = b.maxY() - sh;
        break;
    case 2:
        // The label lies over the picture.
        sy = owner && owner->enclosedImage() ? b.midY() - sh / 2 : t.midY() - sh / 2;
        break;
    default:
        break;
    }
    const Rect shape(sx, sy, sw, sh);
    if (selfBounds)
        *selfBounds = shape;
    switch (position) {
    case 1:
        // Below the label band, inside the new shape.
        return Rect(sx, sy + band, sw, sh - band);
    case 3:
        return Rect(sx, sy, sw, sh - band);
    default:
        return shape;
    }
}
