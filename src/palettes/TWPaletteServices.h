#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>

class QWidget;
class TWPaletteBezel;

// What the bezels and their containers ask of the palette controllers that
// own them: the floating palettes' controller (one per application) and the
// docked palettes' controller of each document window.
class TWPaletteServices
{
public:
    virtual ~TWPaletteServices() = default;

    // The floating controller's bezel of the palette, null when it has none.
    virtual TWPaletteBezel *floatingBezel(const QString &paletteID) = 0;
    // The bezel of the palette in the dock of the document window `window`.
    virtual TWPaletteBezel *dockedBezel(QWidget *window, const QString &paletteID) = 0;
    // Tears the palette off into a new floating window at a screen point.
    virtual void detachPalette(const QString &paletteID, QPoint globalPoint) = 0;

    // The controllers in use; null until they exist (then drops change nothing).
    static TWPaletteServices *instance();
    static void setInstance(TWPaletteServices *services);

    // The docks' order of palette IDs, top to bottom, as the user arranged it.
    static QStringList paletteDockOrder();
    static void setPaletteDockOrder(const QStringList &order);

    static inline const QString DockOrderKey = QStringLiteral("TWPaletteDockOrder");
    // Posted with the palette ID under PaletteIDKey in the details.
    static inline const QString FloatingPaletteOpenedNotification =
        QStringLiteral("TWFloatingPaletteOpenedNotification");
    static inline const QString FloatingPaletteClosedNotification =
        QStringLiteral("TWFloatingPaletteClosedNotification");
    static inline const QString PaletteIDKey = QStringLiteral("paletteID");
};
