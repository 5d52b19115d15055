#pragma once

#include <QCursor>
#include <QImage>
#include <QString>

// The pictures of the eight tool modes: the palette's buttons, the mode
// cursors (16 x 16, hot spot at (8, 8)) and the palette's badges. Each is
// drawn here; the application may register artwork of its own under the
// same names with TWBadgeImages::registerImage().
namespace TWToolPictures {

// "cursorAddChild", "zoomOutCursor", ...; empty for the select mode.
QString cursorName(int mode, bool option);
// The named picture at `size` pixels square.
QImage picture(const QString &name, int size);
// The cursor of the mode; the arrow in select mode.
QCursor cursor(int mode, bool option);
// The palette button's picture of a mode.
QImage toolImage(int mode, int size);

} // namespace TWToolPictures
