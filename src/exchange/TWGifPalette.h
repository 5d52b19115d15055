#pragma once

#include <QImage>

// Reduces a picture to the 256 colours a GIF holds. A picture of no more
// colours keeps each exactly. Otherwise the colours that cover much of the
// picture (backgrounds, fills) are kept exactly and the rest share a
// median-cut palette; only the pixels of those other colours are dithered,
// so that flat areas stay flat.
namespace TWGifPalette {

// An 8-bit indexed copy of the picture, drawn opaque; a null image for a
// null picture.
QImage toIndexed8(const QImage &picture);

} // namespace TWGifPalette
