#include "graphics/TWLinkLine.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "render/DrawingContext.h"
#include "support/BezierPath.h"
#include "support/GGVecLib.h"

#include <QPainter>
#include <cmath>
#include <optional>

namespace {

Point centre(Rect r)
{
    return {r.midX(), r.midY()};
}

// Where the ray from the rectangle's centre c at angle theta towards `target`
// leaves the rectangle: through the top or bottom edge when that crossing
// lies on the edge, else through the left or right edge.
std::optional<Point> edgeTowards(Rect r, Point c, Point target, float theta)
{
    const float t = std::tan(theta);
    if (r.minY() >= target.y) {
        const float x = c.x - (r.height() / 2) * t;
        if (r.minX() <= x && x <= r.maxX())
            return Point(x, r.minY());
    }
    if (target.y >= r.maxY()) {
        const float x = c.x + (r.height() / 2) * t;
        if (r.minX() <= x && x <= r.maxX())
            return Point(x, r.maxY());
    }
    if (r.minX() >= target.x)
        return Point(r.minX(), c.y - (r.width() / 2) / t);
    if (target.x >= r.maxX())
        return Point(r.maxX(), c.y + (r.width() / 2) / t);
    return std::nullopt;
}

bool isHidden(const std::shared_ptr<TWGraphic> &graphic)
{
    const TWMapBranch *owner = graphic->branch();
    return owner && owner->hidden();
}

} // namespace

void TWLinkLine::drawInView(const DrawingContext &context, const TWDrawingView *view,
                            bool isSelected, const std::optional<Shadow> &shadow,
                            bool drawingSelectionShadow)
{
    const TWMap *m = map();
    if (!m || !m->showLinkLines() || !m_startGraphic || !m_endGraphic)
        return;
    if (isHidden(m_startGraphic) || isHidden(m_endGraphic))
        return;
    const Point c1 = m_intermediatePoint1, c2 = m_intermediatePoint2;
    Point s = getStartPoint(), e = getEndPoint();
    if (s.x == c1.x)
        s.x += 0.5f;
    if (e.x == c2.x)
        e.x += 0.5f;

    DrawingContext::StateSaver saver(context);
    context.painter().setRenderHint(QPainter::Antialiasing, true);
    if (isSelected) {
        BezierPath polygon;
        polygon.moveToPoint(s);
        polygon.lineToPoint(c1);
        polygon.lineToPoint(c2);
        polygon.lineToPoint(e);
        StrokeStyle dotted;
        dotted.dash = {1, 1};
        context.strokePath(polygon, SystemColors::knobColor().toQColor(), dotted);
    }

    TWGraphic::drawInView(context, view, isSelected, shadow, drawingSelectionShadow);

    // Filled heads, in the line's colour and width.
    const QColor color = inheritedStrokeColor().toQColor();
    const auto fillHead = [&](const BezierPath &head) {
        BezierPath path = head;
        path.setLineWidth(strokeWidth());
        context.strokePath(path, color, StrokeStyle::withWidth(strokeWidth()));
        context.fillPath(path, color);
    };
    if (m_startArrowStyle == ArrowHead && m_startFilled)
        fillHead(getStartArrowPathAtAngle(calculateAngleFromVertical(c1.x - s.x, c1.y - s.y), s));
    if (m_endArrowStyle == ArrowHead && m_endFilled)
        fillHead(getEndArrowPathAtAngle(calculateAngleFromVertical(c2.x - e.x, c2.y - e.y), e));
}

void TWLinkLine::drawHandlesInView(const DrawingContext &context, const TWDrawingView *view)
{
    if (!view)
        return;
    drawHandleAtPoint(context, m_intermediatePoint1, view);
    drawHandleAtPoint(context, m_intermediatePoint2, view);
}

BezierPath TWLinkLine::generateBezierPathForDrawingFromGraphic(const TWGraphic &from,
                                                               const TWGraphic *to, Point point)
{
    const Rect a = endRectangleOf(from).insetBy(-3, -3);
    const Point c = centre(a);
    const Rect b = (to ? endRectangleOf(*to) : Rect()).insetBy(-3, -3);
    const bool single = !to || to == &from;
    Point t = single ? point : centre(b);
    // A vertical line would leave the tangent of its angle undefined.
    if (t.x == c.x)
        t.x += 0.1f;
    const float theta = calculateAngleFromVertical(t.x - c.x, t.y - c.y);

    BezierPath path;
    const auto line = [&path](Point from, Point to) {
        path.moveToPoint(from);
        path.lineToPoint(to);
    };
    if (a.contains(t)) {
        line(c, t);
    } else if (single) {
        if (const std::optional<Point> s = edgeTowards(a, c, t, theta))
            line(*s, t);
    } else if (a.intersects(b)) {
        line(c, t);
    } else {
        const Point s = edgeTowards(a, c, t, theta).value_or(c);
        const float back = calculateAngleFromVertical(c.x - t.x, c.y - t.y);
        const Point end = b.contains(s) ? t : edgeTowards(b, t, s, back).value_or(t);
        line(s, end);
    }
    return path;
}
