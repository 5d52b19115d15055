#include "canvas/TWMapPainter.h"

#include "drawing/TWMap_Drawing.h"

void TWCanvasMapPainter::paintMap(const DrawingContext &context, TWMap &map, Rect dirty,
                                  const TWDrawingView *view,
                                  const std::optional<TWMapDrawing::PageGrid> &pages)
{
    TWMapDrawing::Options options;
    options.view = view;
    options.drawSelection = true;
    options.drawLinkLines = false;
    if (pages) {
        TWMapDrawing::drawBackgroundInRect(context, map, dirty);
        TWMapDrawing::drawPrintGridInRect(context, map, *pages);
        options.drawBackground = false;
    }
    TWMapDrawing::drawMapInRect(context, map, dirty, options);
}
