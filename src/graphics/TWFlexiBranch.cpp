#include "graphics/TWFlexiBranch.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"
#include "support/BezierPath.h"

#include <algorithm>

Point TWFlexiBranch::*const TWFlexiBranch::allPoints[8] = {
    &TWFlexiBranch::m_leftPoint,     &TWFlexiBranch::m_rightPoint,
    &TWFlexiBranch::m_intermediate1, &TWFlexiBranch::m_intermediate2,
    &TWFlexiBranch::m_innerEndLeft,  &TWFlexiBranch::m_innerEndRight,
    &TWFlexiBranch::m_straightLeft,  &TWFlexiBranch::m_straightRight};

void TWFlexiBranch::initWithBounds(Rect bounds)
{
    // Its own setBounds() fits the ends to the rectangle.
    init();
    setBounds(bounds);
    initializePoints();
}

std::shared_ptr<TWGraphic> TWFlexiBranch::copy() const
{
    // Graphics are otherwise duplicated through their XML element.
    const std::shared_ptr<TWGraphic> base = TWGraphic::copy();
    auto *flexi = dynamic_cast<TWFlexiBranch *>(base.get());
    if (!flexi)
        return base;
    flexi->m_leftPoint = m_leftPoint;
    flexi->m_rightPoint = m_rightPoint;
    flexi->m_intermediate1 = m_intermediate1;
    flexi->m_intermediate2 = m_intermediate2;
    flexi->m_innerEndLeft = m_innerEndLeft;
    flexi->m_innerEndRight = m_innerEndRight;
    flexi->m_straightLeft = m_straightLeft;
    flexi->m_straightRight = m_straightRight;
    return base;
}

// --- points ---

void TWFlexiBranch::setPoint(Point TWFlexiBranch::*field, Point value, bool recorded)
{
    // Main branches that are flexi lines are ordered round the root by the
    // height of the end nearer to it.
    const bool end = field == &TWFlexiBranch::m_leftPoint || field == &TWFlexiBranch::m_rightPoint;
    if (!recorded) {
        const bool moved = end && this->*field != value;
        this->*field = value;
        if (moved)
            shapeMovedFrom(bounds());
        return;
    }
    if (this->*field == value)
        return;
    const Point old = this->*field;
    registerUndo(
        [field, old](TWGraphic &g) { static_cast<TWFlexiBranch &>(g).setPoint(field, old, true); });
    this->*field = value;
    if (end)
        shapeMovedFrom(bounds());
    clearCachedHitTestPath();
    setDrawingBoundsValid(false);
}

void TWFlexiBranch::setLeftPoint(Point p)
{
    setPoint(&TWFlexiBranch::m_leftPoint, p, true);
}
void TWFlexiBranch::setRightPoint(Point p)
{
    setPoint(&TWFlexiBranch::m_rightPoint, p, true);
}
void TWFlexiBranch::setIntermediate1(Point p)
{
    setPoint(&TWFlexiBranch::m_intermediate1, p, true);
}
void TWFlexiBranch::setIntermediate2(Point p)
{
    setPoint(&TWFlexiBranch::m_intermediate2, p, true);
}
void TWFlexiBranch::setInnerEndLeft(Point p)
{
    setPoint(&TWFlexiBranch::m_innerEndLeft, p, true);
}
void TWFlexiBranch::setInnerEndRight(Point p)
{
    setPoint(&TWFlexiBranch::m_innerEndRight, p, true);
}
void TWFlexiBranch::setStraightLeft(Point p)
{
    setPoint(&TWFlexiBranch::m_straightLeft, p, true);
}
void TWFlexiBranch::setStraightRight(Point p)
{
    setPoint(&TWFlexiBranch::m_straightRight, p, true);
}

// --- helpers ---

float TWFlexiBranch::leftReserve() const
{
    const TWMapBranch *owner = branch();
    return owner ? owner->totalWidthToAllowForOtherEnclosedGraphics() : 0;
}

float TWFlexiBranch::rightReserve() const
{
    const TWMapBranch *owner = branch();
    return owner ? owner->totalWidthForSuffixImages() : 0;
}

float TWFlexiBranch::textHeight() const
{
    const TWMapBranch *owner = branch();
    return owner && owner->enclosedTextArea() ? owner->enclosedTextArea()->bounds().height() : 0;
}

void TWFlexiBranch::clearFlexiCharacters()
{
    if (const TWMapBranch *owner = branch(); owner && owner->enclosedTextArea())
        owner->enclosedTextArea()->removeAllCachedFlexiCharacters();
}

void TWFlexiBranch::dropCurve()
{
    storeCachedBezierPath(nullptr);
}

void TWFlexiBranch::initializePoints()
{
    const Rect b = bounds();
    const float bottom = b.maxY();
    setLeftPoint({b.x(), bottom});
    setRightPoint({b.maxX(), bottom});
    setStraightLeft({b.x() + leftReserve(), bottom});
    setStraightRight({b.maxX() - rightReserve(), bottom});
    setInnerEndLeft({m_straightLeft.x + 3, bottom});
    setInnerEndRight({m_straightRight.x - 3, bottom});
    setIntermediate1({m_innerEndLeft.x + 6, bottom});
    setIntermediate2({m_innerEndRight.x - 6, bottom});
    dropCurve();
    clearFlexiCharacters();
    clearCachedHitTestPath();
}

void TWFlexiBranch::moveAllPointsBy(float dx, float dy, bool recorded)
{
    for (Point TWFlexiBranch::*field : allPoints) {
        const Point p = this->*field;
        setPoint(field, {p.x + dx, p.y + dy}, recorded);
    }
}

void TWFlexiBranch::refitEnds(Rect b, bool recorded)
{
    setPoint(&TWFlexiBranch::m_rightPoint, {b.maxX(), m_rightPoint.y}, recorded);
    setPoint(&TWFlexiBranch::m_straightRight, {m_rightPoint.x - rightReserve(), m_straightRight.y},
             recorded);
    if (m_innerEndRight.x > m_straightRight.x - 3)
        setPoint(&TWFlexiBranch::m_innerEndRight, {m_straightRight.x - 3, m_innerEndRight.y},
                 recorded);
    setPoint(&TWFlexiBranch::m_leftPoint, {b.x(), m_leftPoint.y}, recorded);
    setPoint(&TWFlexiBranch::m_straightLeft, {b.x() + leftReserve(), m_straightLeft.y}, recorded);
    if (m_innerEndLeft.x < m_straightLeft.x + 3)
        setPoint(&TWFlexiBranch::m_innerEndLeft, {m_straightLeft.x + 3, m_innerEndLeft.y},
                 recorded);
}

// --- bounds ---

void TWFlexiBranch::setBounds(Rect requested)
{
    if (requested == bounds())
        return;
    // The ends are fitted to the rectangle the base will store.
    const Rect b = correctedBounds(requested);
    const Rect old = bounds();
    clearCachedHitTestPath();
    TWTextArea *text = nullptr;
    if (const TWMapBranch *owner = branch())
        text = owner->enclosedTextArea().get();
    if (b.size == old.size) {
        const float dx = b.x() - old.x(), dy = b.y() - old.y();
        moveAllPointsBy(dx, dy, true);
        if (text) {
            if (text->countOfCachedFlexiCharacters() > 0)
                text->moveCachedFlexiCharactersBy(dx, dy);
            else
                text->removeAllCachedFlexiCharacters();
        }
    } else if (text) {
        text->removeAllCachedFlexiCharacters();
    }
    refitEnds(b, true);
    dropCurve();
    TWGraphic::setBounds(requested);
}

void TWFlexiBranch::unrecordedMoveBy(float dx, float dy)
{
    const Rect before = bounds();
    setPrimitiveBounds(before.offsetBy(dx, dy));
    moveAllPointsBy(dx, dy, false);
    shapeMovedFrom(before);
    // Characters laid out afresh must find the curve where it is now.
    dropCurve();
    TWMapBranch *owner = branch();
    if (owner && owner->enclosedTextArea())
        owner->enclosedTextArea()->moveCachedFlexiCharactersBy(dx, dy);
    if (owner)
        owner->invalidateIncomingAndOutgoingConnectionGraphics();
    clearCachedHitTestPath();
}

void TWFlexiBranch::recalculateLeftEnd()
{
    if (m_intermediate1.y == m_leftPoint.y && m_intermediate1.x < m_straightLeft.x + 6) {
        setIntermediate1({m_straightLeft.x + 6, m_intermediate1.y});
        clearFlexiCharacters();
        dropCurve();
    }
    if (m_intermediate2.y == m_leftPoint.y && m_intermediate2.x < m_straightLeft.x + 9) {
        setIntermediate2({m_straightLeft.x + 9, m_intermediate2.y});
        clearFlexiCharacters();
        dropCurve();
    }
    setStraightLeft({bounds().x() + leftReserve(), m_straightLeft.y});
    if (m_innerEndLeft.x < m_straightLeft.x + 3)
        setInnerEndLeft({m_straightLeft.x + 3, m_innerEndLeft.y});
    clearFlexiCharacters();
    dropCurve();
    if (TWMapBranch *owner = branch(); owner && owner->connectionGraphic())
        owner->connectionGraphic()->updateBounds();
}

void TWFlexiBranch::recalculateRightEnd()
{
    refitEnds(bounds(), true);
    clearFlexiCharacters();
    dropCurve();
    if (TWMapBranch *owner = branch(); owner && owner->connectionGraphic())
        owner->connectionGraphic()->updateBounds();
}

// --- the curve and the hit band ---

std::shared_ptr<BezierPath> TWFlexiBranch::bezierPath()
{
    if (std::shared_ptr<BezierPath> cached = cachedBezierPath())
        return cached;
    auto path = std::make_shared<BezierPath>();
    // The two segments meet on the line between the intermediates, so they
    // join smoothly.
    const Point middle{(m_intermediate1.x + m_intermediate2.x) / 2,
                       (m_intermediate1.y + m_intermediate2.y) / 2};
    path->moveToPoint(m_leftPoint);
    path->lineToPoint(m_straightLeft);
    path->curveToPoint(middle, m_innerEndLeft, m_intermediate1);
    path->curveToPoint(m_straightRight, m_intermediate2, m_innerEndRight);
    path->lineToPoint(m_rightPoint);
    path->setLineWidth(strokeWidth());
    storeCachedBezierPath(path);
    return path;
}

std::shared_ptr<BezierPath> TWFlexiBranch::cachedHitTestPath()
{
    if (m_hitTestPath)
        return m_hitTestPath;
    auto band = std::make_shared<BezierPath>(*bezierPath());
    const TWMapBranch *owner = branch();
    if (owner && owner->enclosedTextArea()) {
        const TWTextArea &text = *owner->enclosedTextArea();
        if (const std::shared_ptr<BezierPath> offset =
                text.bezierPathOffsetVerticallyBy(text.bounds().height(), true)) {
            // Back along the offset: its points in reverse order.
            const auto &elements = offset->elements();
            for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
                if (it->type == BezierPath::LineToElement || it->type == BezierPath::MoveToElement)
                    band->lineToPoint(it->points[0]);
                else if (it->type == BezierPath::CurveToElement)
                    band->lineToPoint(it->points[2]);
            }
        }
    }
    band->closePath();
    m_hitTestPath = band;
    return band;
}

bool TWFlexiBranch::hitTest(Point point, bool isSelected)
{
    if (isSelected && knobUnderPoint(point) != 0)
        return true;
    const Rect b = bounds();
    const float raise = strokeWidth() * 0.5f + 2;
    if (Rect(b.x(), b.y() - raise, b.width(), b.height() + raise).contains(point))
        return true;
    return cachedHitTestPath()->toQPainterPath().contains(point.toQt());
}

int TWFlexiBranch::knobUnderPoint(Point point)
{
    const Point curveKnobs[] = {m_leftPoint,     m_rightPoint,   m_intermediate1,
                                m_intermediate2, m_innerEndLeft, m_innerEndRight};
    for (int i = 0; i < 6; ++i) {
        if (knobRect(curveKnobs[i]).contains(point))
            return LeftPointKnob + i;
    }
    for (int knob = 1; knob <= 8; ++knob) {
        if (knobRect(knobPoint(bounds(), knob)).contains(point))
            return FirstBoundsKnob + knob - 1;
    }
    return 0;
}

bool TWFlexiBranch::selectsInRect(Rect rect)
{
    if (!canBeSelected())
        return false;
    if (rect.contains(bezierPath()->bounds()))
        return true;
    if (rect.contains(m_leftPoint) || rect.contains(m_rightPoint))
        return true;
    if (imageFilename() && rect.intersects(bounds()))
        return true;
    // Sample the rectangle's edges against the band; a label of no height
    // still steps forward.
    const float step = std::max(textHeight() / 2, 1.0f);
    const QPainterPath band = cachedHitTestPath()->toQPainterPath();
    for (float x = rect.x(); x < rect.maxX(); x += step) {
        if (band.contains(QPointF(x, rect.y())) || band.contains(QPointF(x, rect.maxY())))
            return true;
    }
    for (float y = rect.y(); y < rect.maxY(); y += step) {
        if (band.contains(QPointF(rect.x(), y)) || band.contains(QPointF(rect.maxX(), y)))
            return true;
    }
    return false;
}

Rect TWFlexiBranch::imageBoundsAssertingMainGraphic(bool assertingMainGraphic) const
{
    const TWMapBranch *owner = branch();
    if (!owner || !owner->enclosedImage())
        return {};
    const Rect b = bounds();
    if (!isMainGraphic() && !assertingMainGraphic)
        return b;
    if (owner->enclosedImageLayoutMode() != 0)
        return owner->enclosedImage()->bounds();
    const float th = textHeight();
    switch (owner->textRelativePosition()) {
    case 1:
        return {b.x(), b.y() + th + 3, b.width(), b.height() - (th + 3)};
    case 3:
        return {b.x(), b.y(), b.width(), b.height() - (th + 6)};
    default:
        return b;
    }
}
