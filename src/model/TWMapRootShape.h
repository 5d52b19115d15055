#pragma once

#include "platform/Geometry.h"

#include <functional>
#include <memory>

class TWGraphic;

// The shape of a new map's central branch: a rectangle, unless another
// maker is installed.
namespace TWMapRootShape {
using Maker = std::function<std::shared_ptr<TWGraphic>(Rect bounds)>;
// An empty maker restores the stand-in.
void setMaker(Maker maker);
std::shared_ptr<TWGraphic> make(Rect bounds);
} // namespace TWMapRootShape
