#include "graphics/TWLinkLine.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationCenter.h"
#include "platform/WarningOnce.h"
#include "support/BezierPath.h"
#include "support/GGVecLib.h"

#include <QDebug>
#include <algorithm>
#include <cmath>

namespace {

Point centre(Rect r)
{
    return {r.midX(), r.midY()};
}

Point along(Point p, float angle, float length)
{
    return {p.x + length * std::sin(angle), p.y + length * std::cos(angle)};
}

// The rectangle spanning both, empty ones included (a flat line's bounds
// have no height but still count).
Rect spanning(Rect a, Rect b)
{
    const float x = std::min(a.minX(), b.minX()), y = std::min(a.minY(), b.minY());
    return {x, y, std::max(a.maxX(), b.maxX()) - x, std::max(a.maxY(), b.maxY()) - y};
}

// The smallest sine of an arrow head's half opening that the drawing bounds
// allow for: the stroke's miter limit of 10 cuts sharper tips off.
constexpr float MinimumArrowSine = 0.1f;

} // namespace

void TWLinkLine::init()
{
    TWGraphic::init();
    setStrokeColor(Color::blackColor());
    setStrokeStyle(1);
    setStrokeWidth(1);
}

// --- the ends ---

Rect TWLinkLine::endRectangleOf(const TWGraphic &graphic)
{
    if (graphic.isMainGraphic())
        return graphic.branch()->branchBounds();
    return graphic.bounds();
}

void TWLinkLine::resolve(bool start)
{
    TWMap *m = map();
    const long number = start ? m_startGraphicNumber : m_endGraphicNumber;
    std::shared_ptr<TWGraphic> found = m ? m->findGraphicWithGraphicNumber(number) : nullptr;
    if (found)
        (start ? m_previouslyDrawnStartPoint : m_previouslyDrawnEndPoint) =
            centre(endRectangleOf(*found));
    (start ? m_startGraphic : m_endGraphic) = std::move(found);
    setDrawingBoundsValid(false);
}

void TWLinkLine::setStartGraphicNumber(long number)
{
    if (number != m_startGraphicNumber) {
        const long old = m_startGraphicNumber;
        registerUndo(
            [old](TWGraphic &g) { static_cast<TWLinkLine &>(g).setStartGraphicNumber(old); });
        m_startGraphicNumber = number;
    }
    resolve(true);
}

void TWLinkLine::setEndGraphicNumber(long number)
{
    if (number != m_endGraphicNumber) {
        const long old = m_endGraphicNumber;
        registerUndo(
            [old](TWGraphic &g) { static_cast<TWLinkLine &>(g).setEndGraphicNumber(old); });
        m_endGraphicNumber = number;
    }
    resolve(false);
}

void TWLinkLine::setStartGraphic(const std::shared_ptr<TWGraphic> &graphic)
{
    if (graphic == m_startGraphic)
        return;
    m_startGraphic = graphic;
    setDrawingBoundsValid(false);
}

void TWLinkLine::setEndGraphic(const std::shared_ptr<TWGraphic> &graphic)
{
    if (graphic == m_endGraphic)
        return;
    m_endGraphic = graphic;
    setDrawingBoundsValid(false);
}

void TWLinkLine::connect(const std::shared_ptr<TWGraphic> &start,
                         const std::shared_ptr<TWGraphic> &end)
{
    m_startGraphic = start;
    m_endGraphic = end;
    if (start)
        m_startGraphicNumber = start->graphicNumber();
    if (end)
        m_endGraphicNumber = end->graphicNumber();
    // The control points are where the ends are now: without this the first
    // measure after a load turned them about the origin, and every save of
    // an unchanged document moved its link lines.
    if (start)
        m_previouslyDrawnStartPoint = centre(endRectangleOf(*start));
    if (end)
        m_previouslyDrawnEndPoint = centre(endRectangleOf(*end));
    setDrawingBoundsValid(false);
}

// --- settings ---

template <class T>
void TWLinkLine::setValue(T TWLinkLine::*field, T value, void (TWLinkLine::*setter)(T),
                          bool redrawBefore, bool invalidate, bool settingsChanged)
{
    if (this->*field == value)
        return;
    const T old = this->*field;
    registerUndo([setter, old](TWGraphic &g) { (static_cast<TWLinkLine &>(g).*setter)(old); });
    if (redrawBefore)
        postGraphicNeedsRedraw();
    this->*field = value;
    if (invalidate)
        setDrawingBoundsValid(false);
    postGraphicNeedsRedraw();
    if (settingsChanged)
        NotificationCenter::defaultCenter().post(LinkLineSettingsChangedNotification,
                                                 notificationObject());
}

void TWLinkLine::setStartArrowLength(float length)
{
    setValue(&TWLinkLine::m_startArrowLength, length, &TWLinkLine::setStartArrowLength, true, true,
             false);
}

void TWLinkLine::setStartArrowWidth(float width)
{
    setValue(&TWLinkLine::m_startArrowWidth, width, &TWLinkLine::setStartArrowWidth, true, true,
             true);
}

void TWLinkLine::setEndArrowLength(float length)
{
    setValue(&TWLinkLine::m_endArrowLength, length, &TWLinkLine::setEndArrowLength, true, true,
             true);
}

void TWLinkLine::setEndArrowWidth(float width)
{
    setValue(&TWLinkLine::m_endArrowWidth, width, &TWLinkLine::setEndArrowWidth, true, true, true);
}

void TWLinkLine::setColorMode(int mode)
{
    setValue(&TWLinkLine::m_colorMode, mode, &TWLinkLine::setColorMode, false, false, true);
}

void TWLinkLine::setIntermediatePoint1(Point point)
{
    setValue(&TWLinkLine::m_intermediatePoint1, point, &TWLinkLine::setIntermediatePoint1, true,
             true, false);
}

void TWLinkLine::setIntermediatePoint2(Point point)
{
    setValue(&TWLinkLine::m_intermediatePoint2, point, &TWLinkLine::setIntermediatePoint2, true,
             true, false);
}

void TWLinkLine::setStartArrowStyle(int style)
{
    setValue(&TWLinkLine::m_startArrowStyle, style, &TWLinkLine::setStartArrowStyle, true, false,
             true);
}

void TWLinkLine::setEndArrowStyle(int style)
{
    setValue(&TWLinkLine::m_endArrowStyle, style, &TWLinkLine::setEndArrowStyle, true, false, true);
}

void TWLinkLine::setStartFilled(bool filled)
{
    setValue(&TWLinkLine::m_startFilled, filled, &TWLinkLine::setStartFilled, false, false, true);
}

void TWLinkLine::setEndFilled(bool filled)
{
    setValue(&TWLinkLine::m_endFilled, filled, &TWLinkLine::setEndFilled, false, false, true);
}

void TWLinkLine::setLabel(const std::optional<AttributedString> &label)
{
    if (label == m_label)
        return;
    const std::optional<AttributedString> old = m_label;
    registerUndo([old](TWGraphic &g) { static_cast<TWLinkLine &>(g).setLabel(old); });
    postGraphicNeedsRedraw();
    m_label = label;
    setDrawingBoundsValid(false);
    postGraphicNeedsRedraw();
}

void TWLinkLine::setLabelDirection(int direction)
{
    setValue(&TWLinkLine::m_labelDirection, direction, &TWLinkLine::setLabelDirection, true, true,
             true);
}

void TWLinkLine::setLabelAngle(float angle)
{
    setValue(&TWLinkLine::m_labelAngle, angle, &TWLinkLine::setLabelAngle, true, true, true);
}

void TWLinkLine::setLabelOffset(Point offset)
{
    setValue(&TWLinkLine::m_labelOffset, offset, &TWLinkLine::setLabelOffset, true, true, true);
}

void TWLinkLine::setPreviouslyDrawnStartPoint(Point point)
{
    if (point == m_previouslyDrawnStartPoint)
        return;
    const Point old = m_previouslyDrawnStartPoint;
    registerUndo(
        [old](TWGraphic &g) { static_cast<TWLinkLine &>(g).setPreviouslyDrawnStartPoint(old); });
    m_previouslyDrawnStartPoint = point;
}

void TWLinkLine::setPreviouslyDrawnEndPoint(Point point)
{
    if (point == m_previouslyDrawnEndPoint)
        return;
    const Point old = m_previouslyDrawnEndPoint;
    registerUndo(
        [old](TWGraphic &g) { static_cast<TWLinkLine &>(g).setPreviouslyDrawnEndPoint(old); });
    m_previouslyDrawnEndPoint = point;
}

// --- fixed answers ---

Color TWLinkLine::handleColor() const
{
    return Color::colorWithDeviceRed(0.27, 0.55, 0.84, 1);
}

Color TWLinkLine::inheritedStrokeColor() const
{
    return strokeColor().value_or(Color::blackColor());
}

void TWLinkLine::remove()
{
    const std::shared_ptr<TWGraphic> self = weak_from_this().lock();
    TWMap *m = map();
    if (!m)
        return;
    m->removeSelectedGraphic(this);
    const TWMap::LinkLineList &lines = m->linkLines();
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).get() == this) {
            m->removeObjectFromLinkLinesAtIndex(i);
            break;
        }
    }
}

// --- geometry ---

Point TWLinkLine::endPoint(const TWGraphic &graphic, Point p, bool start) const
{
    const float grow = 3 + std::trunc(strokeWidth());
    const Rect r = endRectangleOf(graphic).insetBy(-grow, -grow);
    const Point c = centre(r);
    if (r.contains(p))
        return c;
    const float theta = calculateAngleFromVertical(p.x - c.x, p.y - c.y);
    const float t = std::tan(theta);
    if (r.minY() >= p.y) {
        const float x = c.x - (r.height() / 2) * t;
        if (r.minX() <= x && x <= r.maxX())
            return {x, r.minY()};
    }
    if (p.y >= r.maxY()) {
        const float x = c.x + (r.height() / 2) * t;
        if (r.minX() <= x && x <= r.maxX())
            return {x, r.maxY()};
    }
    if (r.minX() >= p.x)
        return {r.minX(), c.y - (r.width() / 2) / t};
    if (p.x >= r.maxX())
        return {r.maxX(), c.y + (r.width() / 2) / t};
    qWarning() << (start ? "Error finding correct inter-branch link start"
                         : "Error finding correct inter-branch link end");
    return c;
}

Point TWLinkLine::getStartPoint() const
{
    return m_startGraphic ? endPoint(*m_startGraphic, m_intermediatePoint1, true) : Point();
}

Point TWLinkLine::getEndPoint() const
{
    return m_endGraphic ? endPoint(*m_endGraphic, m_intermediatePoint2, false) : Point();
}

BezierPath TWLinkLine::arrowPath(float angle, Point p, float length, float width) const
{
    const float half = calculateAngleFromVertical(width / 2, length);
    BezierPath path;
    path.moveToPoint(p);
    path.lineToPoint(along(p, angle + half, length));
    path.lineToPoint(along(p, angle - half, length));
    path.closePath();
    return path;
}

BezierPath TWLinkLine::getStartArrowPathAtAngle(float angle, Point startPoint) const
{
    return arrowPath(angle, startPoint, m_startArrowLength, m_startArrowWidth);
}

BezierPath TWLinkLine::getEndArrowPathAtAngle(float angle, Point startPoint) const
{
    return arrowPath(angle, startPoint, m_endArrowLength, m_endArrowWidth);
}

std::shared_ptr<BezierPath> TWLinkLine::bezierPath()
{
    if (!m_startGraphic || !m_endGraphic)
        return nullptr;
    const Point c1 = m_intermediatePoint1, c2 = m_intermediatePoint2;
    Point s = getStartPoint(), e = getEndPoint();
    // A vertical first step would leave the tangent's angle undefined.
    if (s.x == c1.x)
        s.x += 0.5f;
    if (e.x == c2.x)
        e.x += 0.5f;
    const float a1 = calculateAngleFromVertical(c1.x - s.x, c1.y - s.y);
    const float a2 = calculateAngleFromVertical(c2.x - e.x, c2.y - e.y);
    auto path = std::make_shared<BezierPath>();
    path->moveToPoint(s);
    path->curveToPoint({(c1.x + c2.x) / 2, (c1.y + c2.y) / 2}, along(s, a1, 20), c1);
    path->curveToPoint(e, c2, along(e, a2, 20));
    const auto decorate = [&](int style, float angle, Point at, bool start) {
        if (style == ArrowHead)
            path->appendBezierPath(start ? getStartArrowPathAtAngle(angle, at)
                                         : getEndArrowPathAtAngle(angle, at));
        else if (style == OvalEnd)
            WarningOnce::shared().warn("Don't know how to draw oval ends");
        else if (style == RectangleEnd)
            WarningOnce::shared().warn("Don't know how to draw rectangle ends");
    };
    decorate(m_startArrowStyle, a1, s, true);
    decorate(m_endArrowStyle, a2, e, false);
    path->setLineWidth(strokeWidth());
    return path;
}

void TWLinkLine::calculateDefaultIntermediatePoints()
{
    if (!m_startGraphic || !m_endGraphic)
        return;
    const auto anchor = [](const TWGraphic &g) {
        const TWMapBranch *owner = g.branch();
        return centre(!owner || g.isLinkedGraphic() ? g.bounds() : owner->branchBounds());
    };
    const Point s = anchor(*m_startGraphic), e = anchor(*m_endGraphic);
    if (m_startGraphic == m_endGraphic) {
        const TWMapBranch *owner = m_startGraphic->branch();
        const Rect bb = owner ? owner->branchBounds() : m_startGraphic->bounds();
        const TWMap *m = map();
        const bool leftOfRoot = m && m->root() && centre(m->root()->branchBounds()).x > s.x;
        // The loop goes out on the side away from the root.
        const float x = leftOfRoot ? bb.minX() - 30 : bb.maxX() + 30;
        m_intermediatePoint1 = {x, bb.minY() - 30};
        m_intermediatePoint2 = {x, bb.maxY() + 30};
    } else {
        const float dx = e.x - s.x, dy = e.y - s.y;
        m_intermediatePoint1 = {s.x + dx / 3, s.y + dy / 3};
        m_intermediatePoint2 = {s.x + 2 * dx / 3, s.y + 2 * dy / 3};
    }
    setDrawingBoundsValid(false);
}

void TWLinkLine::updateBounds()
{
    const std::shared_ptr<BezierPath> path = bezierPath();
    setBounds(path ? path->controlPointBounds() : Rect());
    if (!m_startGraphic || !m_endGraphic)
        return;
    const Point s = centre(endRectangleOf(*m_startGraphic));
    const Point e = centre(endRectangleOf(*m_endGraphic));
    Point *controls[] = {&m_intermediatePoint1, &m_intermediatePoint2};
    if (m_startGraphic == m_endGraphic) {
        const float dx = s.x - m_previouslyDrawnStartPoint.x;
        const float dy = s.y - m_previouslyDrawnStartPoint.y;
        for (Point *q : controls)
            *q = {q->x + dx, q->y + dy};
    } else {
        // The control points turn and stretch about the end that stayed.
        Point pivot, a, b;
        bool moved = true;
        if (s != m_previouslyDrawnStartPoint) {
            pivot = e;
            a = {m_previouslyDrawnStartPoint.x - pivot.x, m_previouslyDrawnStartPoint.y - pivot.y};
            b = {s.x - pivot.x, s.y - pivot.y};
        } else if (e != m_previouslyDrawnEndPoint) {
            pivot = s;
            a = {m_previouslyDrawnEndPoint.x - pivot.x, m_previouslyDrawnEndPoint.y - pivot.y};
            b = {e.x - pivot.x, e.y - pivot.y};
        } else {
            moved = false;
        }
        const float la = std::hypot(a.x, a.y), lb = std::hypot(b.x, b.y);
        if (moved && la != 0) {
            for (Point *q : controls) {
                if (lb == 0) {
                    *q = pivot;
                    continue;
                }
                const float cosPhi = (a.x * b.x + a.y * b.y) / (la * lb);
                const float sinPhi = (a.x * b.y - a.y * b.x) / (la * lb);
                const float k = lb / la;
                const float vx = q->x - pivot.x, vy = q->y - pivot.y;
                *q = {pivot.x + k * (vx * cosPhi - vy * sinPhi),
                      pivot.y + k * (vx * sinPhi + vy * cosPhi)};
            }
        }
    }
    m_previouslyDrawnStartPoint = s;
    m_previouslyDrawnEndPoint = e;
    setDrawingBoundsValid(false);
}

Rect TWLinkLine::drawingBounds()
{
    const TWMap *m = map();
    return drawingBoundsAtZoom(m ? m->zoomAmount() : 100);
}

Rect TWLinkLine::drawingBoundsAtZoom(float zoomAmount)
{
    if (!map())
        return {};
    const Rect own = bounds();
    if (own.width() <= 0 && own.height() <= 0)
        return {};
    const float z = (std::isfinite(zoomAmount) && zoomAmount > 0 ? zoomAmount : 100) * 0.01f;
    const float sw = strokeWidth();
    const float m = (10 / z + sw) / 2;
    // Only arrow heads reach past the line's own width; their tips are cut
    // at the miter limit.
    float sine = 1;
    if (m_startArrowStyle == ArrowHead)
        sine = std::min(
            sine, std::sin(calculateAngleFromVertical(m_startArrowWidth / 2, m_startArrowLength)));
    if (m_endArrowStyle == ArrowHead)
        sine = std::min(
            sine, std::sin(calculateAngleFromVertical(m_endArrowWidth / 2, m_endArrowLength)));
    if (!(sine >= MinimumArrowSine))
        sine = MinimumArrowSine;
    Rect r;
    if (const std::shared_ptr<BezierPath> path = bezierPath())
        r = spanning(path->bounds(), path->controlPointBounds());
    const float grow = m / sine;
    r = r.insetBy(-grow, -grow);
    const float pad = drawsStroke() ? 1 + 10 / z + sw : 1 + 12 / z;
    if (const std::optional<Shadow> s = shadow()) {
        const float blur = float(s->shadowBlurRadius());
        r = r.insetBy(-(pad + blur + std::fabs(s->shadowOffset().width)),
                      -(pad + blur + std::fabs(s->shadowOffset().height)));
    } else {
        r = r.insetBy(-pad, -pad);
    }
    setDrawingBoundsValid(true);
    return r;
}

bool TWLinkLine::hitTest(Point point, bool isSelected)
{
    if (isSelected && knobUnderPoint(point) != 0)
        return true;
    const std::shared_ptr<BezierPath> path = bezierPath();
    if (!path)
        return false;
    path->setLineWidth(strokeWidth() + 5);
    return path->intersectsPoint(point);
}

int TWLinkLine::knobUnderPoint(Point point)
{
    if (knobRect(m_intermediatePoint1).contains(point))
        return 1;
    if (knobRect(m_intermediatePoint2).contains(point))
        return 2;
    return 0;
}

int TWLinkLine::resizeByMovingKnob(int knob, Point point, bool)
{
    if (knob == 1)
        setIntermediatePoint1(point);
    else if (knob == 2)
        setIntermediatePoint2(point);
    return knob;
}

bool TWLinkLine::selectsInRect(Rect rect)
{
    if (!canBeSelected())
        return false;
    const std::shared_ptr<BezierPath> path = bezierPath();
    if (!path)
        return false;
    if (rect.contains(path->bounds()))
        return true;
    const BezierPath flat = path->bezierPathByFlatteningPath(0.1f);
    for (const BezierPath::Element &e : flat.elements()) {
        if (e.type != BezierPath::ClosePathElement && rect.contains(e.points[0]))
            return true;
    }
    return false;
}
