#include "model/TWMapRootShape.h"
#include "graphics/TWRectangle.h"

namespace {
TWMapRootShape::Maker &currentMaker()
{
    static TWMapRootShape::Maker maker;
    return maker;
}
} // namespace

void TWMapRootShape::setMaker(Maker maker)
{
    currentMaker() = std::move(maker);
}

std::shared_ptr<TWGraphic> TWMapRootShape::make(Rect bounds)
{
    if (const Maker &maker = currentMaker())
        return maker(bounds);
    return TWGraphic::make<TWRectangle>(bounds);
}
