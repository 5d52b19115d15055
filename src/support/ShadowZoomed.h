#pragma once

#include "support/Shadow.h"

namespace Zoomed {

// A copy of the shadow for drawing at `zoom` percent: offset and blur scale
// with the zoom, the colour stays.
Shadow shadowZoomedTo(const Shadow &shadow, float zoom);

} // namespace Zoomed
