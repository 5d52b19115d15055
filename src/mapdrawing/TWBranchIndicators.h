#pragma once

#include "model/TWHyperlink.h"
#include "platform/Geometry.h"
#include "support/Color.h"

#include <QImage>
#include <QString>

class DrawingContext;
class TWMapBranch;

// The indicator icons at the right end of a branch's shape (hyperlinks,
// attached-text marks, check box, priority, percentage complete, allocated
// resources), where each sits, how each is painted, and the two rectangles
// that stand for a whole branch. The rectangles serve drawing and clicks
// alike; every slot count comes from TWMapBranch::suffixIcons().
namespace TWBranchIndicators {

constexpr float IconSize = 16;

// Zero when the indicator is not shown.
Rect boundsOfHyperlinkAtIndex(const TWMapBranch &branch, int index);
Rect boundsOfAttachedTextIndicatorAtIndex(const TWMapBranch &branch, int index);
Rect boundsOfCheckbox(const TWMapBranch &branch);
// Where an icon is shown on a canvas that draws selection handles: it
// steps aside from the handle it would otherwise run into, towards the
// shape's edge from the label's right handle, inwards from the shape's own
// handles. The room the icons take, and every picture of the map, are as
// the rectangle functions give them.
Rect clearOfHandles(const TWMapBranch &branch, Rect icon);
Rect boundsOfPriorityIcon(const TWMapBranch &branch);
Rect boundsOfPercentageCompleteIndicator(const TWMapBranch &branch);
Rect boundsOfResourcesAllocatedIndicator(const TWMapBranch &branch);
// The icon rectangle after `before` others.
Rect boundsOfSlot(const TWMapBranch &branch, int before);

// The shape with its label (layout, background placement), and what its
// drawing covers with the collapse sign (culling).
Rect branchBounds(const TWMapBranch &branch);
Rect branchDrawingBounds(const TWMapBranch &branch);

// The pictures of the indicators, at four pixels a point.
enum class Icon {
    TextIndicator,
    CollapseSign,
    ExpandSign,
    CheckboxUnchecked,
    CheckboxChecked,
    CheckboxMixed,
    ResourceSmall,
    ResourcesSmall,
};
const QImage &iconImage(Icon icon);
// The hyperlink icon of a kind, tinted with the kind's colour.
const QImage &hyperlinkImage(TWHyperlink::Image kind);
// The picture of a check-box state (0, 1, -1); null for any other state.
QImage checkboxImage(int state);

// Painters. A null image paints a black "?" instead.
void drawImage(const DrawingContext &context, const QImage &image, Rect rect);
// The text in the system font of the rectangle's height less 2, its top
// left at (x + 4.5, y - 1).
void drawCharacter(const DrawingContext &context, const QString &text, Rect rect,
                   const Color &color);
void drawPriority(const DrawingContext &context, int priority, Rect rect);
void drawPercentageComplete(const DrawingContext &context, int percentage, Rect rect);
// Fill colour (before the half alpha) and digit colour of a priority.
Color priorityColor(int priority);
Color priorityDigitColor(int priority);

} // namespace TWBranchIndicators
