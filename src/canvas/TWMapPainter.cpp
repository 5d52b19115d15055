#include "canvas/TWMapPainter.h"

#include "drawing/TWMap_Drawing.h"

void TWCanvasMapPainter::paintMap(const DrawingContext &context, TWMap &map, Rect dirty,
                                  const TWDrawingView *view)
{
    TWMapDrawing::Options options;
    options.view = view;
    options.drawSelection = true;
    options.drawLinkLines = false;
    TWMapDrawing::drawMapInRect(context, map, dirty, options);
}
