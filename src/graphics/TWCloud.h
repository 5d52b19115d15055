#pragma once

#include "graphics/TWGraphic.h"

// A cloud branch shape (branch type 6), outlined as a rounded rectangle.
class TWCloud : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWCloud"); }
    std::shared_ptr<BezierPath> bezierPath() override;
};
