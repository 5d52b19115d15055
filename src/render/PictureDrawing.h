#pragma once

#include "platform/Geometry.h"
#include "support/Image.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

class DrawingContext;

// Draws pictures of every kind a document holds. Bitmaps are drawn from
// their pixels; PDF and EPS pages are rasterised at the device's resolution
// and kept in a cache, so redrawing at the same size costs nothing.
namespace PictureDrawing {

// PostScript that has not finished after this long is given up.
constexpr int epsTimeoutMilliseconds = 10000;

// Draws the picture stretched into `rect` (source over, fully opaque) from
// its first representation that can be drawn; a page description is clipped
// to the rectangle. False, with nothing drawn, when no representation
// decodes: the caller draws what it draws for a picture that is missing.
bool drawImage(const DrawingContext &context, const Image &image, const Rect &rect);
bool drawRepresentation(const DrawingContext &context, const ImageRepresentation &rep,
                        const Rect &rect);

// The first page stretched to `pixels`, on a transparent background for PDF
// and a white one for EPS; a null image when the bytes do not render.
// PostScript runs in a child process that is stopped after `timeoutMilliseconds`.
QImage renderPDF(const QByteArray &data, QSize pixels);
QImage renderEPS(const QByteArray &data, QSize pixels,
                 int timeoutMilliseconds = epsTimeoutMilliseconds);

// Rasterised pages kept, and the most pixels they may hold together.
void clearCache();
constexpr qint64 cacheBudgetBytes = 128LL * 1024 * 1024;
// A page is never rasterised larger than this; zooming further scales it.
constexpr qint64 maxRasterPixels = 4096LL * 4096LL;

} // namespace PictureDrawing
