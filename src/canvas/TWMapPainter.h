#pragma once

#include "mapdrawing/TWMap_Drawing.h"
#include "platform/Geometry.h"

#include <optional>

class DrawingContext;
class TWDrawingView;
class TWMap;

// Paints what lies under the canvas's own drawings: the map's background,
// the page grid, boundaries and branch tree, for the part of the map (in map
// coordinates) that needs it. The canvas draws link lines, snap lines, the rubber band and
// the temporary link line over it.
class TWMapPainter
{
public:
    virtual ~TWMapPainter() = default;
    // `pages`: the page frames, drawn over the background, under the tree.
    virtual void paintMap(const DrawingContext &context, TWMap &map, Rect dirty,
                          const TWDrawingView *view,
                          const std::optional<TWMapDrawing::PageGrid> &pages = std::nullopt) = 0;
};

// The map's own drawing: background, page grid, boundaries and the branch
// tree with the selection, culled to the dirty area; link lines are the
// canvas's.
class TWCanvasMapPainter : public TWMapPainter
{
public:
    void paintMap(const DrawingContext &context, TWMap &map, Rect dirty, const TWDrawingView *view,
                  const std::optional<TWMapDrawing::PageGrid> &pages = std::nullopt) override;
};
