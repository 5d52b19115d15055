#pragma once

#include "graphics/TWGraphic.h"

// A rectangular branch shape (branch type 2), with rounded corners in corner
// mode 1.
class TWRectangle : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWRectangle"); }
    static bool hasCorner() { return true; }

    // Cached until the bounds or the corner settings change.
    std::shared_ptr<BezierPath> bezierPath() override;
    // The bounds without the label band; the zero rectangle without a picture.
    Rect imageBoundsAssertingMainGraphic(bool assertMain) const override;
    // Squares the bounds to the shorter side.
    void makeNaturalSize() override;
    // The outline cut at the label band: the part a picture may fill.
    std::optional<BezierPath> imageBoundingPath();

    // Half the shorter side at most.
    static float cornerRadius(Rect bounds, float cornerAmount);
};
