#pragma once

#include "graphics/TWGraphic.h"

// A cloud branch shape (branch type 6): puffs around an ellipse of its bounds.
class TWCloud : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWCloud"); }
    std::shared_ptr<BezierPath> bezierPath() override;
};
