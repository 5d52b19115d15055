#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// The media browser's own pictures: pane icons, the folder icon of the
// library trees and the pictures shown for files that cannot be read.
namespace TWMediaImages {

QImage imageNamed(const QString &name, QSize size = QSize(32, 32));

// The thumbnail of a picture file of any type the image loader reads, no
// larger than `maxSide` pixels a side; null when the file gives no picture.
// Safe on worker threads.
QImage thumbnailForFile(const QString &path, int maxSide = 256);

} // namespace TWMediaImages
