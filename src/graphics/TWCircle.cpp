#include "graphics/TWCircle.h"
#include "graphics/TWShapeSupport.h"
#include "support/BezierPath.h"

BezierPath TWCircle::ovalInRect(Rect r)
{
    // Control points of a quarter circle lie this far along the tangents.
    constexpr float kappa = 0.55228475f;
    const float cx = r.midX(), cy = r.midY();
    const float rx = r.width() / 2, ry = r.height() / 2;
    const float kx = rx * kappa, ky = ry * kappa;
    BezierPath path;
    path.moveToPoint(Point(r.maxX(), cy));
    path.curveToPoint(Point(cx, r.maxY()), Point(r.maxX(), cy + ky), Point(cx + kx, r.maxY()));
    path.curveToPoint(Point(r.minX(), cy), Point(cx - kx, r.maxY()), Point(r.minX(), cy + ky));
    path.curveToPoint(Point(cx, r.minY()), Point(r.minX(), cy - ky), Point(cx - kx, r.minY()));
    path.curveToPoint(Point(r.maxX(), cy), Point(cx + kx, r.minY()), Point(r.maxX(), cy - ky));
    path.closePath();
    return path;
}

std::shared_ptr<BezierPath> TWCircle::bezierPath()
{
    return cachedPathOr([this] { return ovalInRect(imageBoundsAssertingMainGraphic(false)); });
}

Rect TWCircle::imageBoundsAssertingMainGraphic(bool assertMain) const
{
    return TWShapeSupport::imageBounds(*this, assertMain, false);
}

void TWCircle::makeNaturalSize()
{
    TWShapeSupport::squareToShorterSide(*this);
}
