#include "model/TWMapLayoutServices.h"

TWMapLayoutServices &TWMapLayoutServices::none()
{
    static TWMapLayoutServices services;
    return services;
}
