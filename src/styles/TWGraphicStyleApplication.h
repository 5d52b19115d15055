#pragma once

#include <functional>

class TWGraphic;

// The first style of a newly made graphic: the map's default graphic style
// when set, else its theme's style for the branch's level. The style library
// installs the function that looks the style up and applies it; until then,
// and for a map with neither style, the graphic stays as it was made.
namespace TWGraphicStyleApplication {

// Applies the style it finds and answers whether it found one.
using Applier = std::function<bool(TWGraphic &graphic)>;
void setApplier(Applier applier);

// True when a style was applied.
bool applyAutoStyle(TWGraphic &graphic);

} // namespace TWGraphicStyleApplication
