#include "styles/StylesRegistration.h"

#include "mapdrawing/MapDrawingRegistration.h"
#include "styles/TWStyle.h"

void registerStyleTypes()
{
    static const bool registered = [] {
        registerMapDrawingServices();
        TWStyleXML::registerStyleClass();
        return true;
    }();
    (void)registered;
}
