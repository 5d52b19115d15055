#pragma once

#include "palettes/TWPaletteEntry.h"

#include <QObject>
#include <QString>

class QWidget;
class TWDragAssetImageView;

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
