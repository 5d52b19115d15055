#include "graphics/TWBoundaryProxy.h"
#include "model/TWMapBranch.h"
#include "model/TWMapLayoutServices.h"

std::optional<Color> TWBoundaryProxy::strokeColor() const
{
    return branch() ? branch()->boundaryLineColor() : std::nullopt;
}
void TWBoundaryProxy::setStrokeColor(const std::optional<Color> &color)
{
    if (TWMapBranch *b = branch())
        b->setBoundaryLineColor(color);
}
std::optional<Color> TWBoundaryProxy::fillColor() const
{
    return branch() ? branch()->boundaryFillColor() : std::nullopt;
}
void TWBoundaryProxy::setFillColor(const std::optional<Color> &color)
{
    if (TWMapBranch *b = branch())
        b->setBoundaryFillColor(color);
}
int TWBoundaryProxy::strokeStyle() const
{
    return branch() ? branch()->boundaryLineStyle() : 0;
}
void TWBoundaryProxy::setStrokeStyle(int style)
{
    if (TWMapBranch *b = branch())
        b->setBoundaryLineStyle(style);
}
float TWBoundaryProxy::strokeWidth() const
{
    return branch() ? branch()->boundaryLineWidth() : 0;
}
void TWBoundaryProxy::setStrokeWidth(float width)
{
    if (TWMapBranch *b = branch())
        b->setBoundaryLineWidth(width);
}
float TWBoundaryProxy::cornerAmount() const
{
    return branch() ? branch()->boundaryCurveRadius() : 0;
}
void TWBoundaryProxy::setCornerAmount(float amount)
{
    if (TWMapBranch *b = branch())
        b->setBoundaryCurveRadius(amount);
}
int TWBoundaryProxy::cornerMode() const
{
    return branch() ? branch()->boundaryCornerStyle() : 0;
}
void TWBoundaryProxy::setCornerMode(int mode)
{
    if (TWMapBranch *b = branch())
        b->setBoundaryCornerStyle(mode);
}
bool TWBoundaryProxy::inheritsStroke() const
{
    return branch() && branch()->boundaryInheritsLineColor();
}
void TWBoundaryProxy::setInheritsStroke(bool inherits)
{
    if (TWMapBranch *b = branch())
        b->setBoundaryInheritsLineColor(inherits);
}
bool TWBoundaryProxy::drawsStroke() const
{
    return branch() && branch()->boundaryDrawsLine();
}
void TWBoundaryProxy::setDrawsStroke(bool draws)
{
    if (TWMapBranch *b = branch())
        b->setBoundaryDrawsLine(draws);
}
bool TWBoundaryProxy::drawsFill() const
{
    return branch() && branch()->boundaryDrawsFill();
}
void TWBoundaryProxy::setDrawsFill(bool draws)
{
    if (TWMapBranch *b = branch())
        b->setBoundaryDrawsFill(draws);
}

Color TWBoundaryProxy::inheritedStrokeColor() const
{
    if (const TWMapBranch *b = branch())
        return lineColorOf(*b);
    return Color::colorWithCalibratedRed(0, 0, 0, 1);
}

Color TWBoundaryProxy::lineColorOf(const TWMapBranch &branch)
{
    if (!branch.boundaryInheritsLineColor()) {
        if (const std::optional<Color> own = branch.boundaryLineColor())
            return *own;
    }
    if (branch.mainGraphic())
        return branch.mainGraphic()->inheritedStrokeColor();
    return Color::colorWithCalibratedRed(0, 0, 0, 1);
}

Rect TWBoundaryProxy::bounds() const
{
    TWMapBranch *b = branch();
    if (!b)
        return {};
    return b->layoutServices().boundaryPathBounds(*b).value_or(Rect());
}
