#pragma once

#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/Image.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class MMXMLBaseObject;

// Single MindManager values to the model's values and back. Stateless.
namespace mmConverter {

// Finds the bytes of a picture kept as a member of the map's archive; the
// argument is the member's path from the data element's Uri.
using MemberReader = std::function<std::optional<QByteArray>(const QString &member)>;

// Branch type code (1 line, 2 rectangle, 3 circle, 6 cloud) and corner mode
// of a MindManager shape urn; a line with square corners for anything else.
int graphicShapeFromMMShapeString(const std::optional<QString> &shape);
int cornerModeFromMMShapeString(const std::optional<QString> &shape);

// "AARRGGBB" from device RGB, components truncated; nothing for nothing.
std::optional<QString> stringFromColor(const std::optional<Color> &color);
// Calibrated RGB of "AARRGGBB" in either case; nothing unless exactly eight
// hexadecimal digits.
std::optional<Color> colorFromString(const std::optional<QString> &string);

// The picture of an ap:ImageData element (or a subclass): PNG and icon data
// from its Base64 contents, or, when it has none, from the archive member
// its Uri names. Metafiles, other types and damaged data give nothing.
std::optional<Image> imageFromImageData(const MMXMLBaseObject *imageData,
                                        const MemberReader &members = {});
// The archive member an ap:ImageData element's picture is kept in (its Uri,
// trimmed); nothing when the element holds its picture as Base64, names
// none or is of a type that gives no picture.
std::optional<QString> memberOfImageData(const MMXMLBaseObject *imageData);
// The picture of PNG, JPEG, icon or other bitmap bytes; nothing when they
// do not decode.
std::optional<Image> imageFromBytes(const QByteArray &bytes);

// The text of an ap:Text element, what it lacks taken from the fallback
// (the level's default text). Nothing for no text.
std::optional<AttributedString> attributedStringFromText(const MMXMLBaseObject *text,
                                                         const MMXMLBaseObject *fallback);

// The font of a MindManager font name and size: the face of that family or
// name when installed, else the user font of the size.
Font fontNamed(const std::optional<QString> &name, double size);

} // namespace mmConverter
