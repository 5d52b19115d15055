#include "application/Startup.h"

#include "palettes/PalettesRegistration.h"

#include <QtGlobal>

// Outside any namespace, as Q_INIT_RESOURCE requires.
static void initialiseResources()
{
    Q_INIT_RESOURCE(strings);
    Q_INIT_RESOURCE(images);
    Q_INIT_RESOURCE(styles);
    Q_INIT_RESOURCE(themes);
    Q_INIT_RESOURCE(keynote);
    Q_INIT_RESOURCE(exchange);
    Q_INIT_RESOURCE(tutorials);
}

void registerTypesAndResources()
{
    static const bool registered = [] {
        initialiseResources();
        registerPaletteLinks();
        return true;
    }();
    (void)registered;
}
