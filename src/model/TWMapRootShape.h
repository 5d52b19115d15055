#pragma once

#include "platform/Geometry.h"

#include <functional>
#include <memory>

class TWGraphic;

// The shape of a new map's central branch: a rectangle. The shape classes
// install their maker; until they exist a plain graphic named "TWRectangle"
// stands in, so that a new map has its root branch.
namespace TWMapRootShape {
using Maker = std::function<std::shared_ptr<TWGraphic>(Rect bounds)>;
// An empty maker restores the stand-in.
void setMaker(Maker maker);
std::shared_ptr<TWGraphic> make(Rect bounds);
} // namespace TWMapRootShape
