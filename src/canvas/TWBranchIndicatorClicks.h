#pragma once

#include "platform/Geometry.h"

#include <Qt>

class TWCanvasHost;
class TWMapBranch;

// A click released on one of a branch's indicators: the collapse sign, the
// marks of its notes, its hyperlink icons or its check box. The first
// indicator under the point acts; a point on none changes nothing.
namespace TWBranchIndicatorClicks {

void handleClickAtPoint(TWMapBranch &branch, Point point, Qt::KeyboardModifiers modifiers,
                        TWCanvasHost *host);

// The check box's next state when the boxes are the user's own: 0, 1, -1
// round; any other value stays.
int nextCheckBoxState(int state);
// The state a click gives the boxes when they follow the descendants.
int nextAutomaticCheckBoxState(int calculatedState);

} // namespace TWBranchIndicatorClicks
