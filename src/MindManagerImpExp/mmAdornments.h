#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

class TWEnclosedGraphic;

// The stock adornment pictures, 16 x 16, by their path below the
// "Standard Adornments" folder ("/Objects/Flags/Red.png"). They are drawn
// here rather than shipped, one picture per stock icon: PNG for ".png"
// paths, TIFF for ".tif".
namespace mmAdornments {

inline constexpr const char *Folder = "Standard Adornments";

// The picture; nothing for a path outside the stock set.
std::optional<QImage> picture(const QString &path);
// The picture's bytes; nothing for a path outside the stock set.
std::optional<QByteArray> pictureData(const QString &path);

// The stock icon urn an adornment was imported as ("urn:mindjet:Clock"),
// so that it goes back out as that stock icon; nothing for other pictures.
std::optional<QString> stockIconType(const TWEnclosedGraphic &icon);

} // namespace mmAdornments
