#pragma once

#include "support/Color.h"

#include <QMap>
#include <QPointer>
#include <QString>
#include <QWidget>

// One palette of a palette group's table: its view, title and bezel colours.
struct TWPaletteEntry
{
    QPointer<QWidget> palette;
    QString title;
    Color backgroundColor;
    Color borderColor;
};

using TWPaletteTable = QMap<QString, TWPaletteEntry>;
