#include "graphics/TWConnectionGeometry.h"
#include "graphics/TWCircle.h"
#include "graphics/TWLine.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"

#include <type_traits>
#include <typeinfo>

namespace {

// Both kinds are final, so the exact type tells them: every connection asks
// this of both its ends whenever it moves, and a cast that fails walks the
// class tree.
template <class Kind> bool isKind(const TWGraphic &graphic)
{
    static_assert(std::is_final_v<Kind>);
    return typeid(graphic) == typeid(Kind);
}

} // namespace

namespace TWConnectionGeometry {

Rect attachmentRect(const TWGraphic &graphic)
{
    if (isKind<TWCircle>(graphic))
        return graphic.imageBoundsAssertingMainGraphic(false);
    return graphic.bounds();
}

float attachmentY(const TWGraphic &graphic, Rect r, bool useLeftEnd)
{
    if (isKind<TWLine>(graphic))
        return r.maxY();
    if (isKind<TWCircle>(graphic))
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
