#include "mapdrawing/TWMapDefaultColors.h"

#include "graphics/TWFlexiBranch.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/WarningOnce.h"
#include "support/GGVecLib.h"

#include <QDebug>
#include <cmath>

namespace TWMapDefaultColors {

namespace {

constexpr float TwoPi = 6.283185f;

Point centreOf(const TWMapBranch &branch)
{
    const TWGraphic *main = branch.mainGraphic().get();
    const Rect r = main ? main->bounds() : Rect();
    return {r.midX(), r.midY()};
}

// Hue, saturation and brightness in 0 to 1, as the colour panel mixes them.
Color hsbColor(float hue, float saturation, float brightness)
{
    const double h = std::fmod(double(hue) * 6.0, 6.0);
    const int sector = int(std::floor(h));
    const double f = h - sector;
    const double v = brightness, s = std::clamp(double(saturation), 0.0, 1.0);
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    double r = v, g = t, b = p;
    switch (sector) {
    case 1:
        r = q, g = v, b = p;
        break;
    case 2:
        r = p, g = v, b = t;
        break;
    case 3:
        r = p, g = q, b = v;
        break;
    case 4:
        r = t, g = p, b = v;
        break;
    case 5:
        r = v, g = p, b = q;
        break;
    default:
        break;
    }
    return Color::colorWithCalibratedRed(r, g, b, 1.0);
}

std::optional<Color> colourFor(const TWMap &map, const TWGraphic &graphic, bool fill)
{
    const int mode = map.graphicColoringMode();
    if (mode == 1) {
        if (const std::optional<float> hue = rainbowHue(map, graphic))
            return hsbColor(*hue, map.rainbowSaturation(), 1.0f);
        // The root's graphic takes the map's colour as stored, none included.
        return fill ? map.defaultGraphicColor() : map.defaultStrokeColor();
    }
    if (mode == 3)
        WarningOnce::shared().warn(fill ? "Warning: don't know how to do interpolated fill color"
                                        : "Warning: don't know how to do interpolated stroke color");
    if (fill)
        return map.defaultGraphicColor().value_or(Color::whiteColor());
    return map.defaultStrokeColor().value_or(Color::blackColor());
}

} // namespace

std::optional<float> rainbowHue(const TWMap &map, const TWGraphic &graphic)
{
    const TWMapBranch *branch = graphic.branch();
    const std::shared_ptr<TWMapBranch> &root = map.root();
    if (!branch || !root || branch == root.get())
        return std::nullopt;
    // The first-level ancestor.
    const TWMapBranch *first = branch;
    while (first->parent() && first->parent() != root.get())
        first = first->parent();
    if (first->parent() != root.get())
        return std::nullopt;
    const Point c0 = centreOf(*root);
    Point c = centreOf(*first);
    if (const auto *flexi = dynamic_cast<const TWFlexiBranch *>(first->mainGraphic().get()))
        c.y = c.x > c0.x ? flexi->leftPoint().y : flexi->rightPoint().y; // the end nearest the root
    float h = calculateAngleFromVertical(c.x - c0.x, c0.y - c.y) - map.rainbowAngle();
    if (h > TwoPi)
        h -= TwoPi;
    if (h < 0)
        h += TwoPi;
    return h / TwoPi;
}

std::optional<Color> defaultFillColorForGraphic(const TWMap &map, const TWGraphic &graphic)
{
    return colourFor(map, graphic, true);
}

std::optional<Color> defaultStrokeColorForGraphic(const TWMap &map, const TWGraphic &graphic)
{
    return colourFor(map, graphic, false);
}

} // namespace TWMapDefaultColors
