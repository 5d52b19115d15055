#include "canvas/TWMapPainter.h"

#include "render/DrawingContext.h"

#include <QPainter>

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
    // On screen a map zoomed out below reading size shows its branches, not
    // smudges; pictures and copies of it keep every label.
    const QPaintDevice *device = context.painter().device();
    const bool onScreen = device && device->devType() == QInternal::Widget;
    options.drawLabels =
        !onScreen || TWMapDrawing::labelsReadableAt(context.painter().worldTransform().m11());
    options.levelOfDetail = onScreen;
    if (pages) {
        TWMapDrawing::drawBackgroundInRect(context, map, dirty);
        TWMapDrawing::drawPrintGridInRect(context, map, *pages);
        options.drawBackground = false;
    }
    TWMapDrawing::drawMapInRect(context, map, dirty, options);
}
