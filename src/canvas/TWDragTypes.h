#pragma once

#include <QString>
#include <QStringList>

// The names of what can be dragged onto a map canvas. The shape palette
// writes its shapes under these names (spelled as documents and other
// programs know them); colours, pictures, files and addresses come under
// the desktop's own MIME types.
namespace TWDragTypes {

inline const QString ColorValue = QStringLiteral("application/x-color");

// Branch shapes.
inline const QString BranchLine = QStringLiteral("TWPBoardTypeBranchLine");
inline const QString BranchRectangle = QStringLiteral("TWPBoardTypeBranchRectangle");
inline const QString BranchRoundedRectangle = QStringLiteral("TWPBoardTypeBranchRoundedRectangle");
inline const QString BranchCircle = QStringLiteral("TWPBoardTypeBranchCircle");
inline const QString BranchFlexi = QStringLiteral("TWPBoardTypeBranchFlexi");

// Attached graphics and the link-line tool.
inline const QString GraphicAttachedText = QStringLiteral("TWPBoardTypeGraphicAttachedText");
inline const QString GraphicRectangle = QStringLiteral("TWPBoardTypeGraphicRectange");
inline const QString GraphicRoundedRectangle = QStringLiteral("TWPBoardTypeGraphicRoundedRectange");
inline const QString GraphicOval = QStringLiteral("TWPBoardTypeGraphicOval");
inline const QString GraphicImage = QStringLiteral("TWPBoardTypeGraphicImage");
inline const QString GraphicLinkLine = QStringLiteral("TWPBoardTypeGraphicLinkLine");

// File paths separated by ";".
inline const QString Adornment = QStringLiteral("TWAdornmentPBoard");

// Files and addresses share the URI list: local files count as files,
// anything else as addresses.
inline const QString URIList = QStringLiteral("text/uri-list");

// The picture types, in order of preference: vector forms first, then
// every bitmap format the image readers know, then a picture handed over
// within the program.
QStringList imagePasteboardTypes();

// Everything above in order of precedence; the first a drag holds is the
// one taken.
QStringList supportedDragTypes();

} // namespace TWDragTypes
