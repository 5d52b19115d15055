#pragma once

#include "support/Image.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The one place picture files are read: the plain types, and the enciphered
// ones of the adornments and graphics libraries ("twpng", "twjpg" bitmaps
// and "tweps" PostScript), which are deciphered here so that every caller
// gets bytes Image reads. Safe to call from any thread once the types are
// registered.
namespace TWImageLoader {

// Set to YES, turns the reading of "tweps" pictures off (read at start-up).
inline const QString DisableEPSImageLoadingKey = QStringLiteral("TWDisableEPSImageLoading");

// Reads TWDisableEPSImageLoading from the user's defaults (main thread).
// Called at start-up; before that, the switch is read on first use.
void registerImageTypes();
bool epsImageLoadingEnabled();

// Extensions, lower case, without the dot.
QStringList plainImageFileTypes();
QStringList encipheredBitmapFileTypes(); // "twpng", "twjpg"
QStringList encipheredEPSFileTypes();    // "tweps"
// Every type pictures are read from; "tweps" only while EPS loading is on.
QStringList imageFileTypes();
bool isImageFileType(const QString &extension);
bool isImageFile(const QString &path);

// Deciphered EPS of a DOS EPS file start with a binary header of this length.
constexpr int dosEPSHeaderLength = 30;
// Whether deciphered bytes are PostScript: either after the binary header
// or as a whole. Fewer bytes than the header are tested whole only.
bool canInitEPSWithData(const QByteArray &deciphered);

// Bytes of the type `extension` made readable: deciphered for the library
// types, the PostScript section of an EPS behind a header that is not the
// DOS one. Nothing when the type is not read or the bytes are no picture.
std::optional<QByteArray> pictureData(const QByteArray &bytes, const QString &extension);
std::optional<Image> imageWithData(const QByteArray &bytes, const QString &extension);
// The readable bytes of a picture file; nothing when it cannot be read, is
// too large, is of no picture type or holds no picture.
std::optional<QByteArray> dataWithContentsOfFile(const QString &path);
std::optional<Image> imageWithContentsOfFile(const QString &path);

// Files beyond this size are not taken for pictures.
constexpr qint64 maxFileSize = 256LL * 1024 * 1024;

} // namespace TWImageLoader
