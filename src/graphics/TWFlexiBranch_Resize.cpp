#include "graphics/TWFlexiBranch.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationCenter.h"
#include "support/Image.h"

#include <algorithm>

namespace {

const QString FlushPendingRedrawsNotification = QStringLiteral("FlushPendingRedrawsNotification");

// The least length of curve kept between the two straight pieces.
constexpr float MinimumCurveLength = 16;

} // namespace

// The rectangle being worked out while a knob is dragged; the points are
// moved in place and the bounds are set once at the end.
struct TWFlexiBranch::Resizing
{
    float x, y, w, h;
    float th;  // the label's height
    float pad; // room for a picture above the label
};

void TWFlexiBranch::clearResizeCaches()
{
    clearFlexiCharacters();
    clearCachedHitTestPath();
    // The curve may now reach where nothing was drawn before.
    setDrawingBoundsValid(false);
}

void TWFlexiBranch::applyLeftClamps()
{
    if (m_intermediate1.y == m_leftPoint.y)
        m_intermediate1.x = std::max(m_intermediate1.x, m_straightLeft.x + 6);
    if (m_intermediate2.y == m_leftPoint.y)
        m_intermediate2.x = std::max(m_intermediate2.x, m_straightLeft.x + 9);
}

void TWFlexiBranch::applyRightClamps()
{
    if (m_intermediate2.y == m_rightPoint.y)
        m_intermediate2.x = std::min(m_intermediate2.x, m_straightRight.x - 6);
    if (m_intermediate1.y == m_rightPoint.y)
        m_intermediate1.x = std::min(m_intermediate1.x, m_straightRight.x - 9);
}

// An end moves to height py from e: the text strip stays above the ends and
// the bounds reach down to the lower end.
void TWFlexiBranch::fitVertically(Resizing &r, float e, float f, float py, float dy) const
{
    float t = r.y + r.th + r.pad;
    if (t >= e && py > e) {
        // The end sat at the top limit and moves down.
        const float y = py > f ? f - r.th - r.pad : r.y + dy;
        r.h += r.y - y;
        r.y = y;
        t = r.y + r.th + r.pad;
    }
    if (t > py) {
        const float y = py - r.th - r.pad;
        r.h += r.y - y;
        r.y = y;
    }
    if (e >= r.y + r.h && e > py)
        r.h = f > py ? f - r.y : r.h + dy;
    if (py > r.y + r.h)
        r.h = py - r.y;
}

void TWFlexiBranch::moveLeftEdge(Resizing &r, float px)
{
    const float straights =
        (m_straightLeft.x - m_leftPoint.x) + (m_rightPoint.x - m_straightRight.x);
    float dx = px - r.x;
    r.x = px;
    r.w = m_rightPoint.x - px;
    if (straights + MinimumCurveLength > r.w) {
        r.x = m_rightPoint.x - straights - MinimumCurveLength;
        const float s = r.x - m_leftPoint.x;
        m_innerEndLeft.x += s;
        m_straightLeft.x += s;
        m_leftPoint.x += s;
        applyLeftClamps();
        r.w = straights + MinimumCurveLength;
        dx = 0;
    }
    m_leftPoint.x += dx;
    m_straightLeft.x += dx;
    m_innerEndLeft.x += dx;
}

void TWFlexiBranch::moveRightEdge(Resizing &r, float px)
{
    const float straights =
        (m_straightLeft.x - m_leftPoint.x) + (m_rightPoint.x - m_straightRight.x);
    float dx = px - (r.x + r.w);
    if (straights + MinimumCurveLength > px - m_leftPoint.x) {
        px = m_leftPoint.x + straights + MinimumCurveLength;
        const float s = px - m_rightPoint.x;
        m_innerEndRight.x += s;
        m_straightRight.x += s;
        m_rightPoint.x += s;
        applyRightClamps();
        dx = 0;
    }
    r.w = px - r.x;
    m_rightPoint.x += dx;
    m_straightRight.x += dx;
    m_innerEndRight.x += dx;
}

void TWFlexiBranch::moveTopEdge(Resizing &r, float py) const
{
    float dy = py - r.y;
    const float higherEnd = std::min(m_leftPoint.y, m_rightPoint.y);
    if (py + r.th + r.pad > higherEnd)
        dy = higherEnd - r.pad - r.th - r.y;
    r.y += dy;
    r.h -= dy;
}

void TWFlexiBranch::moveBottomEdge(Resizing &r, float py)
{
    const float dy = py - (r.y + r.h);
    const float lo = std::min(m_leftPoint.y, m_rightPoint.y);
    const float hi = std::max(m_leftPoint.y, m_rightPoint.y);
    if (hi > py) {
        // The curve rides up with the edge until the strip above it is full.
        const float t = r.y + r.pad + r.th;
        if (t + (hi - lo) > py) {
            moveAllPointsBy(0, t - lo, false);
            r.h = (hi - lo) + r.pad + r.th;
        } else {
            moveAllPointsBy(0, dy, false);
            r.h += dy;
        }
    } else {
        r.h += dy;
    }
}

void TWFlexiBranch::restorePoints(const std::array<Point, 8> &points)
{
    std::array<Point, 8> current;
    for (size_t i = 0; i < 8; ++i)
        current[i] = this->*allPoints[i];
    registerUndo([current](TWGraphic &g) { static_cast<TWFlexiBranch &>(g).restorePoints(current); });
    for (size_t i = 0; i < 8; ++i)
        this->*allPoints[i] = points[i];
    clearResizeCaches();
    dropCurve();
    postGraphicNeedsRedraw();
}

int TWFlexiBranch::resizeByMovingKnob(int knob, Point p, bool)
{
    // The points change in place below; undo puts them back after the
    // bounds, whose own undo refits only the ends' x.
    std::array<Point, 8> before;
    for (size_t i = 0; i < 8; ++i)
        before[i] = this->*allPoints[i];
    registerUndo([before](TWGraphic &g) { static_cast<TWFlexiBranch &>(g).restorePoints(before); });
    postGraphicNeedsRedraw();
    const Rect old = bounds();
    Resizing r{old.x(),      old.y(),      old.width(),
               old.height(), textHeight(), imageFilename() ? 6.0f : 0.0f};
    const float straights =
        (m_straightLeft.x - m_leftPoint.x) + (m_rightPoint.x - m_straightRight.x);
    TWMapBranch *owner = branch();
    const auto invalidateConnections = [owner] {
        if (owner)
            owner->invalidateIncomingAndOutgoingConnectionGraphics();
    };
    const auto markOutlineNumbers = [this, owner] {
        if (TWMap *m = map(); m && owner)
            m->branchShapeMoved(*owner);
    };
    const auto moveBy = [](Point &q, float dx, float dy) { q = {q.x + dx, q.y + dy}; };

    switch (knob) {
    case LeftPointKnob: {
        clearResizeCaches();
        float px = p.x, dx = p.x - m_leftPoint.x;
        const float dy = p.y - m_leftPoint.y;
        r.w = m_rightPoint.x - px;
        if (straights + MinimumCurveLength > r.w) {
            px = m_rightPoint.x - straights - MinimumCurveLength;
            m_innerEndLeft.x += px - m_leftPoint.x;
            m_straightLeft.x += px - m_leftPoint.x;
            applyLeftClamps();
            r.w = straights + MinimumCurveLength;
            dx = 0;
        }
        r.x = px;
        fitVertically(r, m_leftPoint.y, m_rightPoint.y, p.y, dy);
        m_leftPoint = {px, p.y};
        moveBy(m_straightLeft, dx, dy);
        moveBy(m_innerEndLeft, dx, dy);
        dropCurve();
        invalidateConnections();
        markOutlineNumbers();
        postGraphicNeedsRedraw();
        break;
    }
    case RightPointKnob: {
        clearResizeCaches();
        float px = p.x, dx = p.x - m_rightPoint.x;
        const float dy = p.y - m_rightPoint.y;
        r.w = px - m_leftPoint.x;
        if (straights + MinimumCurveLength > r.w) {
            px = m_leftPoint.x + straights + MinimumCurveLength;
            m_innerEndRight.x += px - m_rightPoint.x;
            m_straightRight.x += px - m_rightPoint.x;
            applyRightClamps();
            r.w = straights + MinimumCurveLength;
            dx = 0;
        }
        fitVertically(r, m_rightPoint.y, m_leftPoint.y, p.y, dy);
        m_rightPoint = {px, p.y};
        moveBy(m_straightRight, dx, dy);
        moveBy(m_innerEndRight, dx, dy);
        dropCurve();
        invalidateConnections();
        break;
    }
    case InnerEndLeftKnob: {
        clearResizeCaches();
        const float dy = p.y - m_innerEndLeft.y;
        if (m_straightLeft.x + 3 > p.x) {
            // The inner end pushes the straight piece and the end before it.
            const float s = p.x - (m_straightLeft.x + 3);
            m_straightLeft.x += s;
            m_leftPoint.x += s;
            r.x += s;
            r.w -= s;
        }
        fitVertically(r, m_leftPoint.y, m_rightPoint.y, p.y, dy);
        m_innerEndLeft = p;
        m_straightLeft.y += dy;
        m_leftPoint.y += dy;
        dropCurve();
        invalidateConnections();
        markOutlineNumbers();
        break;
    }
    case InnerEndRightKnob: {
        clearResizeCaches();
        const float dy = p.y - m_innerEndRight.y;
        if (p.x > m_straightRight.x - 3) {
            const float s = p.x - (m_straightRight.x - 3);
            m_straightRight.x += s;
            m_rightPoint.x += s;
            r.w += s;
        }
        fitVertically(r, m_rightPoint.y, m_leftPoint.y, p.y, dy);
        m_innerEndRight = p;
        m_straightRight.y += dy;
        m_rightPoint.y += dy;
        dropCurve();
        invalidateConnections();
        break;
    }
    case Intermediate1Knob:
    case Intermediate2Knob:
        clearResizeCaches();
        (knob == Intermediate1Knob ? m_intermediate1 : m_intermediate2) = p;
        dropCurve();
        postGraphicNeedsRedraw();
        break;
    default: {
        const int edge = knob - FirstBoundsKnob + 1;
        if (edge < 1 || edge > 8)
            break;
        if (knob == FirstBoundsKnob && p.x != r.x)
            clearResizeCaches();
        if (edge == 1 || edge == 4 || edge == 6)
            moveLeftEdge(r, p.x);
        if (edge == 3 || edge == 5 || edge == 8)
            moveRightEdge(r, p.x);
        if (edge <= 3)
            moveTopEdge(r, p.y);
        if (edge >= 6)
            moveBottomEdge(r, p.y);
        if (edge != 2)
            dropCurve();
        if (edge != 2 && edge != 7)
            invalidateConnections();
        break;
    }
    }

    // The label spans the free length between the ends.
    const std::shared_ptr<TWTextArea> text = owner ? owner->enclosedTextArea() : nullptr;
    if (text && (r.x != old.x() || r.x + r.w != old.maxX())) {
        const float tx = r.x + leftReserve();
        const float tw = r.x + r.w - rightReserve() - tx;
        const Size needed = text->requiredSizeForWidth(tw);
        text->setBounds(
            Rect(tx, yPositionForEnclosedTextArea(), std::max(tw, needed.width), needed.height));
    }
    const Rect resized(r.x, r.y, r.w, r.h);
    if (resized != bounds()) {
        postGraphicNeedsRedraw();
        setBounds(resized);
        postGraphicNeedsRedraw();
    }
    NotificationCenter::defaultCenter().post(FlushPendingRedrawsNotification);
    return knob;
}

void TWFlexiBranch::makeNaturalSize()
{
    const std::shared_ptr<Image> image = cachedImageRep();
    if (!image)
        return;
    const Size size = image->size();
    float height = size.height;
    const TWMapBranch *owner = branch();
    if (owner && isMainGraphic()) {
        if (owner->textRelativePosition() == 1)
            height += textHeight() + 6;
        else if (owner->textRelativePosition() == 3)
            height += textHeight() + 3;
    }
    const Rect b = bounds();
    setBounds(Rect(b.x(), b.y(), size.width, height));
    setFlippedHorizontally(false);
    setFlippedVertically(false);
    initializePoints();
}

Rect TWFlexiBranch::enclosedImageBoundsForNewImageOfSize(Size size, Rect *selfBoundsOut)
{
    Rect scratch;
    Rect &selfBounds = selfBoundsOut ? *selfBoundsOut : scratch;
    const Rect b = bounds();
    const float th = textHeight();
    const float lo = std::min(m_leftPoint.y, m_rightPoint.y);
    const float hi = std::max(m_leftPoint.y, m_rightPoint.y);
    const TWMapBranch *owner = branch();
    const int position = owner ? owner->textRelativePosition() : 0;
    if (size.width == 0 && size.height == 0) {
        // The picture goes: the shape shrinks back to the line and its label.
        selfBounds = Rect(b.x(), lo - th, b.width(), hi - lo + th);
        return {};
    }
    float x = b.x(), width = b.width(), imageHeight = size.height;
    if (b.width() > size.width) {
        imageHeight = size.width > 0 ? size.height * b.width() / size.width : size.height;
    } else {
        const float e = size.width - b.width();
        const auto moveLeftEnd = [this](float dx) {
            m_leftPoint.x += dx;
            m_straightLeft.x += dx;
            m_innerEndLeft.x += dx;
        };
        const auto moveRightEnd = [this](float dx) {
            m_rightPoint.x += dx;
            m_innerEndRight.x += dx;
            m_straightRight.x += dx;
        };
        switch (owner ? owner->expansionSide() : 1) {
        case 1:
            moveRightEnd(e);
            break;
        case 2:
            x -= e / 2;
            moveLeftEnd(-e / 2);
            moveRightEnd(e / 2);
            break;
        case 0:
            x -= e;
            moveLeftEnd(-e);
            break;
        default:
            break;
        }
        width = size.width;
        clearResizeCaches();
        dropCurve();
    }
    const bool besideText = position == 1 || position == 3;
    const float height = imageHeight + (besideText ? th + 6 : 0);
    selfBounds = Rect(x, b.maxY() - height, width, height);
    switch (position) {
    case 1:
        // Below the label band of the new bounds, not below the old bottom edge.
        return {x, selfBounds.y() + th + 6, width, height - 6 - th};
    case 3:
        return {x, selfBounds.y(), width, height - 6 - th};
    default:
        return selfBounds;
    }
}
