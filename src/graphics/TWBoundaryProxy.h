#pragma once

#include "graphics/TWGraphic.h"

// The graphic that stands for a branch's boundary in inspectors.
class TWBoundaryProxy : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWBoundaryProxy"); }
    static bool hasCorner() { return true; }
};
