#pragma once

#include "platform/Geometry.h"

#include <QList>
#include <memory>
#include <optional>

class DrawingContext;
class TWGraphic;
class TWMapBranch;

// The boundary pass of map drawing: every boundary of a subtree, before any
// branch is drawn, so that boundaries lie under the branches they enclose.
namespace TWBoundaryDrawing {

// Draws the boundaries of `branch` and its descendants. A boundary whose
// proxy is in `selection` (when given) is drawn with a selection glow.
// Given a rectangle, only the boundaries whose ink may reach it are drawn.
void drawBoundaryInView(const DrawingContext &context, TWMapBranch &branch,
                        const QList<std::shared_ptr<TWGraphic>> *selection,
                        std::optional<Rect> rect = std::nullopt);

// Makes this pass the one branch drawing runs.
void installBoundaryPainter();

} // namespace TWBoundaryDrawing
