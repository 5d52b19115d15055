#pragma once

#include <QImage>
#include <QString>

// The small named pictures the button cells draw on their buttons. Each name
// has a drawn default; the application may register its own artwork.
namespace TWBadgeImages {

QImage imageNamed(const QString &name);
void registerImage(const QString &name, const QImage &image);

} // namespace TWBadgeImages
