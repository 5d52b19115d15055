#include "mapdrawing/TWBoundaryDrawing.h"

#include "graphics/TWBoundaryProxy.h"
#include "mapdrawing/TWMapBranch_Drawing.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "render/DrawingContext.h"
#include "render/TWLineStyles.h"
#include "support/BezierPath.h"

#include <algorithm>

namespace TWBoundaryDrawing {

namespace {

bool proxySelected(TWMapBranch &branch, const QList<std::shared_ptr<TWGraphic>> *selection)
{
    if (!selection || !branch.hasBoundaryProxy())
        return false;
    const TWGraphic *proxy = branch.boundaryProxy().get();
    return std::any_of(selection->cbegin(), selection->cend(),
                       [proxy](const auto &g) { return g.get() == proxy; });
}

void drawOne(const DrawingContext &context, TWMapBranch &branch,
             const QList<std::shared_ptr<TWGraphic>> *selection, const std::optional<Rect> &rect)
{
    const std::shared_ptr<BezierPath> cached = TWBranchLayout::boundaryPath(branch);
    if (!cached)
        return;
    // The cached path keeps its plain attributes; each pass strokes a copy.
    const float width = branch.boundaryLineWidth();
    if (rect) {
        // The widest stroke is the glow's; a mitred corner reaches out to
        // the miter limit times half the stroke.
        const float reach =
            std::max(cached->miterLimit(), 1.0f) * std::max(8.0f, 2 * width) / 2 + 1;
        if (!cached->bounds().insetBy(-reach, -reach).intersects(*rect))
            return;
    }
    if (proxySelected(branch, selection)) {
        BezierPath glow = *cached;
        glow.setLineWidth(std::max(8.0f, 2 * width));
        glow.setLineJoinStyle(BezierPath::RoundLineJoin);
        context.strokePath(
            glow, SystemColors::selectedControlColor().colorWithAlphaComponent(0.5).toQColor());
    }
    if (branch.boundaryDrawsFill()) {
        if (const std::optional<Color> fill = branch.boundaryFillColor())
            context.fillPath(*cached, fill->toQColor());
    }
    if (branch.boundaryDrawsLine()) {
        BezierPath line = *cached;
        TWLineStyles::applyLineStyle(branch.boundaryLineStyle(), line, width);
        line.setLineWidth(width);
        const Color color = branch.boundaryInheritedStrokeColor().value_or(Color::blackColor());
        context.strokePath(line, color.toQColor());
    }
}

} // namespace

namespace {

// Runs at every drawing: the map's switch is read once, above, and a subtree
// its kept extent found without boundaries is passed over.
void drawSubtreeBoundaries(const DrawingContext &context, TWMapBranch &branch,
                           const QList<std::shared_ptr<TWGraphic>> *selection,
                           const std::optional<Rect> &rect)
{
    if (branch.keptExtentRulesOutBoundaries())
        return;
    if (branch.hasBoundary())
        drawOne(context, branch, selection, rect);
    const TWMapBranch::BranchList &children = branch.children();
    for (qsizetype i = 0; i < children.size(); ++i)
        drawSubtreeBoundaries(context, *children.at(i), selection, rect);
}

} // namespace

void drawBoundaryInView(const DrawingContext &context, TWMapBranch &branch,
                        const QList<std::shared_ptr<TWGraphic>> *selection,
                        std::optional<Rect> rect)
{
    const TWMap *map = branch.map();
    if (!map || !map->showBoundaries())
        return;
    drawSubtreeBoundaries(context, branch, selection, rect);
}

void installBoundaryPainter()
{
    TWBranchDrawing::setBoundaryPainter([](TWMapBranch &branch, const DrawingContext &context,
                                           const TWDrawingView *view, Rect rect,
                                           const TWBranchDrawing::GraphicList *selection) {
        // A view's rectangle is the part it shows; pictures of a whole map
        // pass a rectangle that need not hold every boundary they show.
        drawBoundaryInView(context, branch, selection,
                           view ? std::optional<Rect>(rect) : std::nullopt);
    });
}

} // namespace TWBoundaryDrawing
