#include "model/TWMapLayoutServices.h"
#include "graphics/TWTextArea.h"

TWMapLayoutServices &TWMapLayoutServices::none()
{
    static TWMapLayoutServices services;
    return services;
}

Size TWMapLayoutServices::requiredSizeForText(TWTextArea &, float)
{
    return TWTextArea::MinimumSize;
}
