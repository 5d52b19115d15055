#include "styles/TWGraphicStyleApplication.h"

#include "graphics/TWGraphic.h"
#include "model/TWMap.h"

namespace TWGraphicStyleApplication {
namespace {
Applier &installed()
{
    static Applier applier;
    return applier;
}
} // namespace

void setApplier(Applier applier)
{
    installed() = std::move(applier);
}

bool applyAutoStyle(TWGraphic &graphic)
{
    const TWMap *map = graphic.map();
    if (!map || (!map->defaultGraphicStyleID() && !map->themeID()))
        return false;
    const Applier &applier = installed();
    return applier ? applier(graphic) : false;
}

} // namespace TWGraphicStyleApplication
