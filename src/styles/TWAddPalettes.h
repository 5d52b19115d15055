#pragma once

#include "styles/TWPaletteEntry.h"

#include <QObject>
#include <QString>

class QWidget;
class TWDragAssetImageView;

// The types the add palette's tiles drag; the canvas creates by type alone.
// The spellings are the stored ones ("Rectange") and are compared exactly.
namespace TWAddPaletteTypes {
inline const QString BranchLine = QStringLiteral("TWPBoardTypeBranchLine");
inline const QString BranchRectangle = QStringLiteral("TWPBoardTypeBranchRectangle");
inline const QString BranchRoundedRectangle = QStringLiteral("TWPBoardTypeBranchRoundedRectangle");
inline const QString BranchCircle = QStringLiteral("TWPBoardTypeBranchCircle");
inline const QString BranchFlexi = QStringLiteral("TWPBoardTypeBranchFlexi");
inline const QString GraphicAttachedText = QStringLiteral("TWPBoardTypeGraphicAttachedText");
inline const QString GraphicRectangle = QStringLiteral("TWPBoardTypeGraphicRectange");
inline const QString GraphicRoundedRectangle = QStringLiteral("TWPBoardTypeGraphicRoundedRectange");
inline const QString GraphicOval = QStringLiteral("TWPBoardTypeGraphicOval");
inline const QString GraphicLinkLine = QStringLiteral("TWPBoardTypeGraphicLinkLine");
} // namespace TWAddPaletteTypes

// The group of the add palette: five branch shapes and five attached
// graphics to drag onto the map.
class TWAddPalettes : public QObject
{
    Q_OBJECT

public:
    static inline const QString PaletteID = QStringLiteral("TWPaletteAdd");

    explicit TWAddPalettes(QObject *parent = nullptr);
    ~TWAddPalettes() override;

    QWidget *addPalette() const { return m_addPalette; }
    // The tiles in their order: the five branches, then the five graphics.
    QList<TWDragAssetImageView *> tiles() const { return m_tiles; }
    TWPaletteTable paletteDictionary() const;

private:
    QPointer<QWidget> m_addPalette;
    QList<TWDragAssetImageView *> m_tiles;
};
