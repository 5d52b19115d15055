#pragma once

#include "support/Image.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <optional>

// Scaling pictures to fit a box, and reflections.
namespace ImageExtensions {

// An image of the representation's size holding it; nothing for none.
std::optional<Image> imageWithRepresentation(const ImageRepresentation *representation);
// The largest size with the image's aspect ratio that fits `size`; small
// images grow. An empty image keeps its size.
QSizeF sizeScaledToFit(const QSizeF &imageSize, const QSizeF &size);
// Resizes the image in place to that size, scaling when resized.
void scaleToSize(Image &image, const QSizeF &size);
// The rectangle imageScaledToSize draws into: the scaled size centred in (0, 0, size).
QRectF drawinigRectForImageScaledToSize(const QSizeF &imageSize, const QSizeF &size);
// A new image of exactly `size`, the picture scaled to fit and centred, the
// margins transparent.
QImage imageScaledToSize(const QImage &image, const QSizeF &size);
// The picture upside down, fading from half opacity at its top edge to nothing
// at `fraction` of its height.
QImage reflectionImage(const QImage &image, qreal fraction);

// --- pictures dropped on a map ---
// Neither side of a dropped picture exceeds this many points unless the
// user keeps its size.
constexpr float DropSizeLimit = 120;
// The size a dropped picture is shown at: its own when `keepSize` (Shift held)
// or when it already fits, else scaled so that its longer side is the limit.
Size dropSize(Size size, bool keepSize);
// The picture resized to dropSize, scaling when resized; for attached images
// and for the picture inside a branch's shape alike.
void scaleForAttachedGraphic(Image &image, bool keepSize);
void scaleForEnclosedGraphic(Image &image, bool keepSize);

} // namespace ImageExtensions
