#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The pictures of the toolbar items, by resource name. They are drawn, not
// read from files, so that they scale cleanly to any size.
namespace TWToolbarImages {
// The picture, 128 points square; a null image for a name we do not know.
QImage named(const QString &name);
// The picture scaled to fit `side` points square, as an icon.
QIcon icon(const QString &name, int side = 32);
} // namespace TWToolbarImages
