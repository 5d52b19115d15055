#pragma once

#include "graphics/TWGraphic.h"

// A line under the label (branch type 1). It has no fill; a plain line can
// only be stretched sideways.
class TWLine final : public TWGraphic
{
public:
    // The side knobs 4 and 5.
    static constexpr int SideKnobsMask = 48;

    QString className() const override { return QStringLiteral("TWLine"); }
    static bool hasFill() { return false; }

    // The bottom edge.
    std::shared_ptr<BezierPath> bezierPath() override;
    Rect imageBoundsAssertingMainGraphic(bool assertMain) const override;
    // Fits a line with a picture to the picture and the label band.
    void makeNaturalSize() override;
    int knobMask() const override;
    // A thin line is hit a few points above and below it.
    bool hitTest(Point point, bool isSelected) override;

    bool drawsFill() const override { return false; }
    bool canDrawFill() const override { return false; }
    bool clipToPath() const override { return false; }
    int getTextAlignmentMode() const override { return 0; }
    bool hasNaturalSize() const override { return imageFilename().has_value(); }
    void flipHorizontally() override {}
    void flipVertically() override {}
};
