#pragma once

#include "platform/Geometry.h"

class DrawingContext;
class TWDrawingView;
class TWMap;

// Paints what lies under the canvas's own drawings: the map's background,
// boundaries and branch tree, for the part of the map (in map coordinates)
// that needs it. The canvas draws link lines, snap lines, the rubber band and
// the temporary link line over it.
class TWMapPainter
{
public:
    virtual ~TWMapPainter() = default;
    virtual void paintMap(const DrawingContext &context, TWMap &map, Rect dirty,
                          const TWDrawingView *view) = 0;
};

// Paints a white ground (or the map's background colour) and each graphic
// of the branches, back to front in the map's drawing order, skipping those
// whose drawing bounds miss the dirty area.
class TWSimpleMapPainter : public TWMapPainter
{
public:
    void paintMap(const DrawingContext &context, TWMap &map, Rect dirty,
                  const TWDrawingView *view) override;
};
