#pragma once

#include "../support/TestHelpers.h"

#include <QDir>
#include <QImage>
#include <QWidget>

namespace InterfaceTest {

// The bounding box of the pixels that differ from `background`.
inline QRect inkBounds(const QImage &image, QRgb background = 0)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

} // namespace InterfaceTest
