#pragma once

#include "graphics/TWGraphic.h"

// An oval branch shape (branch type 3), drawn in its picture area so that a
// label band stays outside the oval.
class TWCircle final : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWCircle"); }

    std::shared_ptr<BezierPath> bezierPath() override;
    Rect imageBoundsAssertingMainGraphic(bool assertMain) const override;
    void makeNaturalSize() override;

    // The oval inscribed in the rectangle, in four quarter curves.
    static BezierPath ovalInRect(Rect rect);
};
