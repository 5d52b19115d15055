#include "graphics/TWCloud.h"
#include "graphics/TWCustomBranchShape.h"
#include "graphics/TWCustomBranchShapeDefinition.h"
#include "graphics/TWRectangle.h"

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

} // namespace

std::shared_ptr<BezierPath> TWCloud::bezierPath()
{
    return cachedPathOr([this] { return roundedRectangle(*this); });
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
