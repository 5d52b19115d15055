#pragma once

#include "palettes/TWPaletteServices.h"
#include "palettes/TWPaletteWindow.h"
#include "palettes/TWPalettesController.h"

#include <QList>
#include <QPointer>

// The floating palette windows, shared by every document: they edit the
// active document, are saved when the application quits and come back at
// the next launch. A palette that floats leaves every dock.
class TWFloatingPalettesController : public TWPalettesController, public TWPaletteServices
{
    Q_OBJECT

public:
    static inline const QString SaveStatesKey = QStringLiteral("TWFloatingPaletteSaveStates");

    // Made on first use, kept for the rest of the run; installs itself as
    // the palette services.
    static TWFloatingPalettesController &sharedFloatingPalettesController();
    // The shared controller if one exists, without making it.
    static TWFloatingPalettesController *existingSharedController();
    // Tests install their own (null: none).
    static void setSharedFloatingPalettesController(TWFloatingPalettesController *controller);

    explicit TWFloatingPalettesController(QObject *parent = nullptr);
    ~TWFloatingPalettesController() override;

    QList<TWPaletteWindow *> paletteWindows() const;
    // Window by window, bezel by bezel, each once.
    QStringList floatingPaletteIDs() const;
    // Tears the palette off into a new window with its top left at the point.
    void detachPaletteWithID(const QString &paletteID, QPoint globalPoint);
    void restoreSaveStates();
    // Stores the windows' states (an empty list when nothing floats).
    void appWillClose();
    // The application tells it which document the user works in (null: none).
    void activeDocumentChanged(TWPaletteHost *document);

    // --- TWPaletteServices ---
    TWPaletteBezel *floatingBezel(const QString &paletteID) override;
    TWPaletteBezel *dockedBezel(QWidget *window, const QString &paletteID) override;
    void detachPalette(const QString &paletteID, QPoint globalPoint) override;

private:
    TWPaletteWindow *openWindow(const QRect &contentRect, const QList<TWPaletteBezel *> &bezels);

    QList<QPointer<TWPaletteWindow>> m_paletteWindows;
};
