#include "graphics/TWConnectionGeometry.h"
#include "graphics/TWCircle.h"
#include "graphics/TWLine.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"

namespace TWConnectionGeometry {

Rect attachmentRect(const TWGraphic &graphic)
{
    if (dynamic_cast<const TWCircle *>(&graphic))
        return graphic.imageBoundsAssertingMainGraphic(false);
    return graphic.bounds();
}

float attachmentY(const TWGraphic &graphic, Rect r, bool useLeftEnd)
{
    if (dynamic_cast<const TWLine *>(&graphic))
        return r.maxY();
    if (dynamic_cast<const TWCircle *>(&graphic))
        return r.midY();
    if (graphic.className() == QLatin1String("TWFlexiBranch"))
        return useLeftEnd ? graphic.leftPoint().y : graphic.rightPoint().y;
    return r.midY();
}

static const TWGraphic *rootShape(const TWGraphic &graphic)
{
    TWMap *map = graphic.map();
    if (!map || !map->root())
        return nullptr;
    return map->root()->mainGraphic().get();
}

std::optional<float> rootMidX(const TWGraphic &graphic)
{
    const TWGraphic *shape = rootShape(graphic);
    if (!shape)
        return std::nullopt;
    return shape->bounds().midX();
}

std::optional<Rect> rootRect(const TWGraphic &graphic)
{
    const TWGraphic *shape = rootShape(graphic);
    if (!shape)
        return std::nullopt;
    return attachmentRect(*shape);
}

} // namespace TWConnectionGeometry
