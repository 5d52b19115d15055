#include "support/ShadowZoomed.h"

namespace Zoomed {

Shadow shadowZoomedTo(const Shadow &shadow, float zoom)
{
    const float f = 0.01f * zoom;
    Shadow zoomed = shadow;
    zoomed.setShadowOffset(Size(shadow.shadowOffset().width * f, shadow.shadowOffset().height * f));
    zoomed.setShadowBlurRadius(shadow.shadowBlurRadius() * f);
    return zoomed;
}

} // namespace Zoomed
