#include "palettes/PalettesRegistration.h"

#include "interface/InterfaceRegistration.h"
#include "palettes/MapsSelection.h"
#include "styles/StylesRegistration.h"

void registerPaletteLinks()
{
    static const bool registered = [] {
        registerInterfaceTypes();
        registerStyleTypes();
        MapsSelection::registerKeyPathLinks();
        return true;
    }();
    (void)registered;
}
