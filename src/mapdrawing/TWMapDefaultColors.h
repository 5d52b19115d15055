#pragma once

#include "support/Color.h"

#include <optional>

class TWGraphic;
class TWMap;

// The colours a graphic that inherits from its map takes, by the map's
// colouring mode. In rainbow mode every first-level subtree takes one hue,
// by the direction of its first-level branch from the root.
namespace TWMapDefaultColors {

std::optional<Color> defaultFillColorForGraphic(const TWMap &map, const TWGraphic &graphic);
std::optional<Color> defaultStrokeColorForGraphic(const TWMap &map, const TWGraphic &graphic);
// The rainbow hue (0 to 1) of a graphic below the root; nothing at the root
// or outside a tree.
std::optional<float> rainbowHue(const TWMap &map, const TWGraphic &graphic);

} // namespace TWMapDefaultColors
