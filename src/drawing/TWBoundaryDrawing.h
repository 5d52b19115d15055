#pragma once

#include <QList>
#include <memory>

class DrawingContext;
class TWGraphic;
class TWMapBranch;

// The boundary pass of map drawing: every boundary of a subtree, before any
// branch is drawn, so that boundaries lie under the branches they enclose.
namespace TWBoundaryDrawing {

// Draws the boundaries of `branch` and its descendants. A boundary whose
// proxy is in `selection` (when given) is drawn with a selection glow.
// Boundaries are not culled: they are few and their outlines are cheap.
void drawBoundaryInView(const DrawingContext &context, TWMapBranch &branch,
                        const QList<std::shared_ptr<TWGraphic>> *selection);

} // namespace TWBoundaryDrawing
