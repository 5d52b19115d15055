#pragma once

#include "graphics/TWGraphic.h"

// A branch shape of a named outline (branch type 7): the outline of the
// shape definition named by `shapeName`, fitted to the bounds, or a rounded
// rectangle where no definition of that name is known.
class TWCustomBranchShape : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWCustomBranchShape"); }
    std::shared_ptr<BezierPath> bezierPath() override;
    void setShapeName(const std::optional<QString> &name) override;
};
