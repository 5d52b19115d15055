#pragma once

#include "platform/Geometry.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

class DrawingContext;
class TWDrawingView;
class TWGraphic;
class TWMapBranch;
class TWMapExpansionState;

// A branch paints its subtree: children first (under it), then its own
// graphics, indicators and text. Drawing into a view also registers the
// tool tips of its hyperlink icons and of the links in its texts.
namespace TWBranchDrawing {

using GraphicList = QList<std::shared_ptr<TWGraphic>>;
using BranchList = QList<std::shared_ptr<TWMapBranch>>;

// What one drawing pass hands down the tree. `selection` null: no selection
// state is drawn; `rubberBand` may be null.
struct Pass
{
    const DrawingContext &context;
    const TWDrawingView *view = nullptr;
    Rect rect;
    const GraphicList *rubberBand = nullptr;
    const GraphicList *selection = nullptr;
    bool skippingText = false;
    const TWMapExpansionState &expansionState;
};

// The subtree rooted at `branch`, culled to the pass's rectangle.
void drawSelf(TWMapBranch &branch, const Pass &pass);

// The area the branch and its descendants shown `shownLevels` levels down
// paint into (closed branches hide their children). Cached in the branch
// until something in the subtree changes.
Rect subtreeDrawingExtent(TWMapBranch &branch, int shownLevels);

// The boundaries of the subtree. The boundary code installs the painter
// that does it; without one nothing is drawn.
using BoundaryPainter =
    std::function<void(TWMapBranch &branch, const DrawingContext &context,
                       const TWDrawingView *view, Rect rect, const GraphicList *selection)>;
void setBoundaryPainter(BoundaryPainter painter);
void drawBoundary(TWMapBranch &branch, const DrawingContext &context, const TWDrawingView *view,
                  Rect rect, const GraphicList *selection);

// The children holding a selected graphic, then the others, each group in
// child order. Drawing walks it backwards, so the selected lie on top.
BranchList childrenOrderedForDrawing(const TWMapBranch &branch);

// Takes the branch's tool-tip rectangles out of the views they were
// registered in and forgets them.
void removeTooltipRects(TWMapBranch &branch);
// The tool tip of a rectangle the branch owns: a link in its text ("%1
// (Option+Click)") or its resources ("ResourcesAllocated"); none while
// the branch is hidden.
std::optional<QString> toolTipString(const TWMapBranch &branch, const QVariant &userData);

} // namespace TWBranchDrawing
