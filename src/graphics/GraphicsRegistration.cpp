#include "graphics/GraphicsRegistration.h"

#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "support/SupportRegistration.h"

void registerGraphicsKinds()
{
    static const bool registered = [] {
        registerSupportTypes();
        TWGraphic::registerKind<TWImage>("TWImage");
        TWGraphic::registerKind<TWFlexiBranch>("TWFlexiBranch");
        return true;
    }();
    (void)registered;
}
