#pragma once

#include "palettes/TWPaletteEntry.h"
#include "palettes/TWPaletteHost.h"
#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

class TWAddPalettes;
class TWBranchPalettes;
class TWGeneralPalettes;
class TWMapPalettes;
class TWPaletteBezel;
class TWStylePalettes;

// The palette registry: every palette of the four groups (map, branch,
// general, add) keyed by palette ID, each in its own bezel, plus a second
// bezel for a palette's advanced side. Every controller builds its own set,
// so each dock and the floating windows hold separate views of one palette;
// all of them edit the document the controller is given.
class TWPalettesController : public QObject
{
    Q_OBJECT

public:
    struct Entry
    {
        TWPaletteEntry palette;
        QPointer<TWPaletteBezel> bezel;
        // Only for a palette with an advanced side.
        QPointer<TWPaletteBezel> alternateBezel;
    };
    static constexpr int BezelWidth = 300;

    explicit TWPalettesController(QObject *parent = nullptr);
    ~TWPalettesController() override;

    TWPaletteHost *document() const;
    // Hands a changed document to the groups (map, branch, general, add).
    virtual void setDocument(TWPaletteHost *document);

    // Palette IDs in the registry's order.
    QStringList paletteIDs() const { return m_order; }
    const Entry *entry(const QString &paletteID) const;
    TWPaletteBezel *bezel(const QString &paletteID) const;
    TWPaletteBezel *alternateBezel(const QString &paletteID) const;
    // The palette view of an ID (null for an unknown ID): palettes that fill
    // their views later (the style lists) take it from here and then call
    // paletteSizeChanged.
    QWidget *paletteView(const QString &paletteID) const;
    // Fits the bezels of the palette to its view's new size.
    void paletteSizeChanged(const QString &paletteID);
    // Gives the palette an advanced side in a second bezel, once; false for
    // an unknown ID or a palette that has one already. The view stays the
    // caller's and must outlive the controller.
    bool setAlternatePalette(const QString &paletteID, QWidget *alternate);

    TWMapPalettes *mapPalettes() const { return m_mapPalettes.get(); }
    TWBranchPalettes *branchPalettes() const { return m_branchPalettes.get(); }
    TWGeneralPalettes *generalPalettes() const { return m_generalPalettes.get(); }
    TWAddPalettes *addPalettes() const { return m_addPalettes.get(); }
    // The graphic and map style palettes' controllers.
    TWStylePalettes *stylePalettes() const { return m_stylePalettes.get(); }

protected:
    virtual void documentWillClose();

private:
    void addTable(const TWPaletteTable &table, const QHash<QString, QWidget *> &alternates);
    TWPaletteBezel *makeBezel(const QString &id, QWidget *palette, const TWPaletteEntry &entry);

    TWPaletteHostPointer m_document;
    std::unique_ptr<TWMapPalettes> m_mapPalettes;
    std::unique_ptr<TWBranchPalettes> m_branchPalettes;
    std::unique_ptr<TWGeneralPalettes> m_generalPalettes;
    std::unique_ptr<TWAddPalettes> m_addPalettes;
    QHash<QString, Entry> m_paletteDictionary;
    QStringList m_order;
    ObserverToken m_closeObserver;
    std::unique_ptr<TWStylePalettes> m_stylePalettes;
};
