#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The stock adornment pictures, 16 x 16, by their path below the
// "Standard Adornments" folder ("/Objects/Flags/Red.png"). They are drawn
// here rather than shipped: PNG for ".png" paths, TIFF for ".tif".
namespace mmAdornments {

inline constexpr const char *Folder = "Standard Adornments";

// The picture's bytes; nothing for a path outside the stock set.
std::optional<QByteArray> pictureData(const QString &path);

} // namespace mmAdornments
