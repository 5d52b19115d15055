#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWCustomBranchShapeDefinition.h"
#include "graphics/TWRectangle.h"

#include <algorithm>
#include <cmath>

namespace {

BezierPath roundedRectangle(const TWGraphic &graphic)
{
    BezierPath path;
    const Rect b = graphic.bounds();
    path.appendPathWithRoundedRectangle(b, TWRectangle::cornerRadius(b, graphic.cornerAmount()));
    return path;
}

// The outline's own extent mapped onto the bounds.
BezierPath fitted(const BezierPath &outline, Rect bounds)
{
    const Rect from = outline.bounds();
    if (!(from.width() > 0) || !(from.height() > 0))
        return outline;
    const float sx = bounds.width() / from.width(), sy = bounds.height() / from.height();
    auto map = [&](Point p) {
        return Point(bounds.x() + (p.x - from.x()) * sx, bounds.y() + (p.y - from.y()) * sy);
    };
    BezierPath path;
    for (const BezierPath::Element &e : outline.elements()) {
        switch (e.type) {
        case BezierPath::MoveToElement:
            path.moveToPoint(map(e.points[0]));
            break;
        case BezierPath::LineToElement:
            path.lineToPoint(map(e.points[0]));
            break;
        case BezierPath::CurveToElement:
            path.curveToPoint(map(e.points[2]), map(e.points[0]), map(e.points[1]));
            break;
        case BezierPath::ClosePathElement:
            path.closePath();
            break;
        }
    }
    path.setWindingRule(outline.windingRule());
    return path;
}

// Puffs around an ellipse: between neighbouring points on it, a curve that
// bulges outwards; the whole outline is then fitted to the bounds.
BezierPath cloudOutline(Rect bounds)
{
    const double rx = bounds.width() / 2.0, ry = bounds.height() / 2.0;
    const double perimeter =
        M_PI * (3 * (rx + ry) - std::sqrt((3 * rx + ry) * (rx + 3 * ry)));
    const double puff = std::max(12.0, std::min(rx, ry) * 1.2);
    const int count = std::clamp(int(perimeter / puff), 6, 48);
    const auto at = [&](int i) {
        const double t = 2 * M_PI * i / count - M_PI / 2;
        return std::pair(Point(float(rx * std::cos(t)), float(ry * std::sin(t))),
                         // The ellipse's outward normal there.
                         QPointF(std::cos(t) / rx, std::sin(t) / ry));
    };
    BezierPath path;
    path.moveToPoint(at(0).first);
    for (int i = 0; i < count; ++i) {
        const auto [from, fromNormal] = at(i);
        const auto [to, toNormal] = at(i + 1);
        const double chord = std::hypot(to.x - from.x, to.y - from.y);
        const auto out = [chord](Point p, QPointF normal) {
            const double length = std::hypot(normal.x(), normal.y());
            const double k = length > 0 ? chord * 0.6 / length : 0;
            return Point(float(p.x + normal.x() * k), float(p.y + normal.y() * k));
        };
        path.curveToPoint(to, out(from, fromNormal), out(to, toNormal));
    }
    path.closePath();
    return fitted(path, bounds);
}

} // namespace

std::shared_ptr<BezierPath> TWCloud::bezierPath()
{
    return cachedPathOr([this] {
        const Rect b = bounds();
        if (!(b.width() > 0) || !(b.height() > 0))
            return roundedRectangle(*this);
        return cloudOutline(b);
    });
}

std::shared_ptr<BezierPath> TWCustomBranchShape::bezierPath()
{
    return cachedPathOr([this] {
        const std::optional<QString> name = shapeName();
        const auto definition =
            name ? TWCustomBranchShapeDefinition::definitionNamed(*name) : nullptr;
        if (definition && definition->outlinePath() && !definition->outlinePath()->isEmpty())
            return fitted(*definition->outlinePath(), bounds());
        return roundedRectangle(*this);
    });
}

void TWCustomBranchShape::setShapeName(const std::optional<QString> &name)
{
    if (name == shapeName())
        return;
    TWGraphic::setShapeName(name);
    storeCachedBezierPath(nullptr);
}
