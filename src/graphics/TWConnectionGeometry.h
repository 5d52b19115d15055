#pragma once

#include "platform/Geometry.h"

#include <optional>

class TWGraphic;

// Where connections meet the shapes they join.
namespace TWConnectionGeometry {

// The rectangle a connection attaches to: an oval's picture area, else the bounds.
Rect attachmentRect(const TWGraphic &graphic);
// The height at which a connection meets the shape: a line's underline, the
// middle of other shapes, or a curved branch's left or right end.
float attachmentY(const TWGraphic &graphic, Rect attachment, bool useLeftEnd);
// Horizontal centre of the map root's shape, or nothing without one.
std::optional<float> rootMidX(const TWGraphic &anyGraphicOfTheMap);
// The bounds (an oval's picture area) of the map root's shape.
std::optional<Rect> rootRect(const TWGraphic &anyGraphicOfTheMap);

} // namespace TWConnectionGeometry
