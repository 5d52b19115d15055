#pragma once

#include "platform/Geometry.h"

#include <QByteArray>
#include <QSizeF>
#include <optional>

// Shared by the representations that keep a page description as bytes.
namespace ImageRepSupport {

bool looksLikePDF(const QByteArray &data);
bool looksLikeEPS(const QByteArray &data);
// The size of the first "/MediaBox [x0 y0 x1 y1]"; nothing when there is none.
std::optional<Size> pdfMediaBoxSize(const QByteArray &data);
// The size of the first "%%BoundingBox: llx lly urx ury" with four numbers.
std::optional<Size> epsBoundingBoxSize(const QByteArray &data);

// The resolution a bitmap declares, in dots per inch across and down: a PNG's
// pHYs chunk, a JPEG's JFIF density or EXIF resolution, a TIFF's resolution
// tags. Nothing when the bytes declare none, only an aspect ratio, or a value
// that is not a plausible resolution.
std::optional<QSizeF> bitmapResolution(const QByteArray &data, const QByteArray &format);

// Whether a PNG, JPEG or GIF, by its first and last bytes, lacks the end its
// format closes with (a file cut short, or one with data after its end). A
// cheap first look: what it flags still has to be decoded to tell.
bool mayBeCutShort(const QByteArray &head, const QByteArray &tail);

} // namespace ImageRepSupport
