#include "palettes/TWPaletteServices.h"

#include "platform/UserDefaults.h"

namespace {
TWPaletteServices *g_services = nullptr;
}

TWPaletteServices *TWPaletteServices::instance()
{
    return g_services;
}

void TWPaletteServices::setInstance(TWPaletteServices *services)
{
    g_services = services;
}

QStringList TWPaletteServices::paletteDockOrder()
{
    return UserDefaults::standard().objectForKey(DockOrderKey).toStringList();
}

void TWPaletteServices::setPaletteDockOrder(const QStringList &order)
{
    UserDefaults::standard().setObject(order, DockOrderKey);
}
