#include "model/TWMapRootShape.h"
#include "graphics/TWGraphic.h"

namespace {
class RectangleStandIn : public TWGraphic
{
public:
    QString className() const override { return QStringLiteral("TWRectangle"); }
};

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
    return TWGraphic::make<RectangleStandIn>(bounds);
}
