#include "graphics/TWRectangle.h"
#include "graphics/TWShapeSupport.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"
#include "support/BezierPath.h"

#include <algorithm>

namespace TWShapeSupport {

float labelHeight(const TWGraphic &graphic)
{
    TWMapBranch *owner = graphic.branch();
    return owner && owner->enclosedTextArea() ? owner->enclosedTextArea()->bounds().height() : 0;
}

Rect boundsWithoutLabelBand(const TWGraphic &graphic)
{
    Rect r = graphic.bounds();
    TWMapBranch *owner = graphic.branch();
    if (!owner)
        return r;
    const float h = labelHeight(graphic);
    switch (owner->textRelativePosition()) {
    case 1:
        r.origin.y += h + 3;
        r.size.height -= h + 3;
        break;
    case 3:
        r.size.height -= h + 6;
        break;
    default:
        break;
    }
    return r;
}

// The picture area of the plain shapes. Lines and rectangles without a
// picture have none.
Rect imageBounds(const TWGraphic &graphic, bool assertMain, bool noneWithoutPicture)
{
    TWMapBranch *owner = graphic.branch();
    const std::shared_ptr<TWGraphic> image = owner ? owner->enclosedImage() : nullptr;
    if (noneWithoutPicture && !image)
        return {};
    if (!graphic.isMainGraphic() && !assertMain)
        return graphic.bounds();
    if (owner && owner->enclosedImageLayoutMode() != 0 && image)
        return image->bounds();
    return boundsWithoutLabelBand(graphic);
}

void squareToShorterSide(TWGraphic &graphic)
{
    Rect r = graphic.bounds();
    if (r.width() > r.height())
        r.size.width = r.height();
    else if (r.height() > r.width())
        r.size.height = r.width();
    else
        return;
    graphic.setBounds(r);
}

} // namespace TWShapeSupport

float TWRectangle::cornerRadius(Rect bounds, float cornerAmount)
{
    return std::min(std::min(bounds.width(), bounds.height()) / 2, cornerAmount);
}

std::shared_ptr<BezierPath> TWRectangle::bezierPath()
{
    return cachedPathOr([this] {
        BezierPath path;
        const Rect b = bounds();
        if (cornerMode() == 1) {
            path.appendPathWithRoundedRectangle(b, cornerRadius(b, cornerAmount()));
        } else {
            path.moveToPoint(Point(b.minX(), b.minY()));
            path.lineToPoint(Point(b.maxX(), b.minY()));
            path.lineToPoint(Point(b.maxX(), b.maxY()));
            path.lineToPoint(Point(b.minX(), b.maxY()));
            path.closePath();
        }
        return path;
    });
}

Rect TWRectangle::imageBoundsAssertingMainGraphic(bool assertMain) const
{
    return TWShapeSupport::imageBounds(*this, assertMain, true);
}

void TWRectangle::makeNaturalSize()
{
    TWShapeSupport::squareToShorterSide(*this);
}

std::optional<BezierPath> TWRectangle::imageBoundingPath()
{
    TWMapBranch *owner = branch();
    const int position = owner ? owner->textRelativePosition() : 0;
    if (position == 2)
        return *bezierPath();
    if (position != 1 && position != 3)
        return std::nullopt;
    const Rect b = bounds();
    const float h = TWShapeSupport::labelHeight(*this);
    const float cut = position == 1 ? b.y() + h + 6 : b.y() + b.height() - (h + 3);
    auto inside = [position, cut](Point p) { return position == 1 ? p.y >= cut : p.y <= cut; };

    const BezierPath flat = bezierPath()->bezierPathByFlatteningPath(0.05f);
    if (flat.elementCount() < 2)
        return std::nullopt;
    std::vector<Point> points;
    for (const BezierPath::Element &e : flat.elements()) {
        if (e.type != BezierPath::ClosePathElement)
            points.push_back(e.points[0]);
    }

    BezierPath result;
    size_t i = 0;
    if (!inside(points[0])) {
        while (i < points.size() && !inside(points[i]))
            ++i;
        if (i == points.size())
            return std::nullopt;
        result.moveToPoint(Point(points[i].x, cut));
        result.lineToPoint(points[i]);
        for (++i; i < points.size() && inside(points[i]); ++i)
            result.lineToPoint(points[i]);
        if (i < points.size())
            result.lineToPoint(Point(points[i].x, cut));
        result.closePath();
        return result;
    }
    result.moveToPoint(points[0]);
    bool outsideRun = false;
    for (i = 1; i < points.size(); ++i) {
        const Point p = points[i];
        if (inside(p)) {
            if (outsideRun) {
                result.lineToPoint(Point(p.x, cut));
                outsideRun = false;
            }
            result.lineToPoint(p);
        } else if (!outsideRun) {
            result.lineToPoint(Point(p.x, cut));
            outsideRun = true;
        }
    }
    if (outsideRun)
        result.closePath();
    return result;
}
