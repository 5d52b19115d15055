#include "graphics/TWLine.h"
#include "graphics/TWShapeSupport.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"
#include "support/BezierPath.h"
#include "support/Image.h"

std::shared_ptr<BezierPath> TWLine::bezierPath()
{
    return cachedPathOr([this] {
        const Rect b = bounds();
        BezierPath path;
        path.moveToPoint(Point(b.minX(), b.maxY()));
        path.lineToPoint(Point(b.maxX(), b.maxY()));
        return path;
    });
}

Rect TWLine::imageBoundsAssertingMainGraphic(bool assertMain) const
{
    return TWShapeSupport::imageBounds(*this, assertMain, true);
}

void TWLine::makeNaturalSize()
{
    const std::shared_ptr<Image> image = cachedImageRep();
    if (!image)
        return;
    float extra = 0;
    if (isMainGraphic()) {
        const float h = TWShapeSupport::labelHeight(*this);
        const int position = branch()->textRelativePosition();
        extra = position == 1 ? h + 6 : (position == 3 ? h + 3 : 0);
    }
    const Rect b = bounds();
    setBounds(Rect(b.x(), b.y(), image->size().width, image->size().height + extra));
    setFlippedHorizontally(false);
    setFlippedVertically(false);
}

int TWLine::knobMask() const
{
    TWMapBranch *owner = branch();
    if ((owner && owner->enclosedImage()) || imageFilename())
        return ~0;
    return SideKnobsMask;
}

bool TWLine::hitTest(Point point, bool isSelected)
{
    if (isSelected && knobUnderPoint(point) != 0)
        return true;
    Rect r = bounds();
    if (r.height() < 10) {
        r.size.height = float(double(r.height()) + double(strokeWidth()) + 8);
        r.origin.y = float(double(r.y()) - (double(strokeWidth()) / 2 + 4));
    }
    return r.contains(point);
}
