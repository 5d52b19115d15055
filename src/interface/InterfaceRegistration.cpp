#include "interface/InterfaceRegistration.h"

#include "interface/CTGradient.h"
#include "support/SupportRegistration.h"
#include "support/TWXMLProtocol.h"

void registerInterfaceTypes()
{
    static const bool registered = [] {
        registerSupportTypes();
        TWXMLProtocol::registerClass<CTGradient>("CTGradient");
        return true;
    }();
    (void)registered;
}
