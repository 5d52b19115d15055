#include "canvas/TWMapPainter.h"

void TWCanvasMapPainter::paintMap(const DrawingContext &context, TWMap &map, Rect dirty,
                                  const TWDrawingView *view,
                                  const std::optional<TWMapDrawing::PageGrid> &pages)
{
    // The grid lies between the background and the boundaries.
    TWMapDrawing::drawBackgroundInRect(context, map, dirty);
    if (pages)
        TWMapDrawing::drawPrintGridInRect(context, map, *pages);
    TWMapDrawing::Options options;
    options.view = view;
    options.drawBackground = false;
    options.drawSelection = true;
    options.drawLinkLines = false;
    if (pages) {
        TWMapDrawing::drawBackgroundInRect(context, map, dirty);
        TWMapDrawing::drawPrintGridInRect(context, map, *pages);
        options.drawBackground = false;
    }
    TWMapDrawing::drawMapInRect(context, map, dirty, options);
}
