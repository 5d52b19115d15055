#pragma once

#include "mapdrawing/TWMapExpansionState.h"
#include "platform/Geometry.h"

#include <QImage>
#include <QTransform>
#include <optional>

class DrawingContext;
class TWDrawingView;
class TWMap;

// A whole map painted into any device: its background (colour and picture,
// single or tiled), the boundaries, the branch tree and the link lines, in
// that order. The canvas paints the background and page grid itself and
// then the tree; off-screen renderers go through drawMapInRect().
namespace TWMapDrawing {

struct Options
{
    const TWDrawingView *view = nullptr;
    bool drawBackground = true;
    bool drawSelection = false;
    // The canvas draws link lines itself, over its own layers.
    bool drawLinkLines = true;
    // Whether the background is painted off the screen; nothing: the map's
    // own setting. Drawing never changes the map's setting.
    std::optional<bool> backgroundOffScreen;
    // Branch labels are left out where they would be too small to read (a
    // map shrunk to a thumbnail): drawing them costs most of the picture.
    bool drawLabels = true;
    // On screen and in a document's own preview: where labels are too small
    // to read, graphics a few pixels across are drawn as the rectangles and
    // hairlines they look like there. Pictures, prints and exports keep
    // every detail.
    bool levelOfDetail = false;
    // Whether labels less than two pixels high are drawn: they show as
    // nothing to read, and a preview shrunk to fit a thumbnail leaves them out.
    bool unreadableLabels = true;
};

// Whether labels drawn at `pixelsPerPoint` could be read at all: a 12-point
// label at least two pixels high.
bool labelsReadableAt(qreal pixelsPerPoint);

// Paints the map, culled to `rect`.
void drawMapInRect(const DrawingContext &context, TWMap &map, Rect rect,
                   const Options &options = {},
                   const TWMapExpansionState &state = TWMapExpansionState::defaultExpansionState());

// Fits the source rectangle of the map into the target, centred, scaled
// evenly, clipped to the target. Nothing for an empty source or target.
void drawMapInRect(const DrawingContext &context, TWMap &map, Rect target, Rect source,
                   const TWMapExpansionState &state,
                   std::optional<bool> backgroundOffScreen = std::nullopt);
// The transform that fitting applies; nothing when it cannot fit.
std::optional<QTransform> fittingTransform(Rect target, Rect source);

// (0, 0) to the far corner of everything drawn.
Rect drawingRect(TWMap &map);

void drawBackgroundInRect(const DrawingContext &context, TWMap &map, Rect rect,
                          std::optional<bool> backgroundOffScreen = std::nullopt);
// The background picture at its size and opacity, `pixelsPerPoint` pixels
// a point (the image's device pixel ratio); null without a picture.
QImage backgroundImageForDrawing(TWMap &map, qreal pixelsPerPoint = 1);
// The same, made once and kept while the picture, its size and opacity and
// the scale stay the same: the canvas redraws without rendering it again.
QImage backgroundTileForDrawing(TWMap &map, qreal pixelsPerPoint);
// Where the tiling is anchored: a tile corner lies there.
Point tiledImageOffset(TWMap &map);
// Where the single picture is drawn (tile mode 2).
Rect centredImageRect(TWMap &map);

// The page frame and grid of the printed pages, on screen only and when
// the document shows page frames.
struct PageGrid
{
    Size printablePageSize;
    int pagesWide = 1;
    int pagesHigh = 1;
};
void drawPrintGridInRect(const DrawingContext &context, TWMap &map, const PageGrid &grid);

} // namespace TWMapDrawing
