#pragma once

#include "interface/KeyValueBinding.h"
#include "interface/TWRainbowAngleControl.h"
#include "interface/TWShadowPositionBox.h"
#include "palettes/TWNavigatorView.h"
#include "palettes/TWPaletteEntry.h"
#include "palettes/TWPaletteHost.h"
#include "platform/NotificationCenter.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

class QComboBox;
class QPushButton;
class TWMap;

// The current map of a document as something palette controls bind to:
// the view options, the rainbow and the outline formats. Every set goes
// through the map's undoable setters.
class TWCurrentMapSettings : public KeyValueBindable
{
    Q_OBJECT

public:
    explicit TWCurrentMapSettings(QObject *parent = nullptr);

    void setDocument(TWPaletteHost *document);
    // The first of the maps the settings act on, and all of them: the
    // document's selection of maps.
    TWMap *map() const;
    std::vector<std::shared_ptr<TWMap>> maps() const;
    QVariant valueForKey(const QString &key) const override;
    void setValueForKey(const QVariant &value, const QString &key) override;
    static const QStringList &keys();

private:
    void observeMap();
    void announceAllKeys();

    TWPaletteHostPointer m_document;
    QMetaObject::Connection m_selectedMapsConnection;
    // Undo puts settings back without a word of its own.
    QList<QMetaObject::Connection> m_undoConnections;
    std::vector<ObserverToken> m_observers;
    std::vector<const void *> m_observedMaps;
};

// A group of palettes: their views, built in code, and the table of their
// IDs, titles and colours. The controls bind to the document the group is
// given and let go of it when it changes.
class TWPaletteGroup : public QObject
{
    Q_OBJECT

public:
    explicit TWPaletteGroup(QObject *parent = nullptr);
    ~TWPaletteGroup() override;

    TWPaletteHost *document() const;
    virtual void setDocument(TWPaletteHost *document);
    // Palette ID to entry; each call builds the table anew.
    virtual TWPaletteTable paletteDictionary() const = 0;
    // The advanced side of each palette that has one, by palette ID.
    virtual QHash<QString, QWidget *> alternatePalettes() const { return {}; }
    // A palette view by ID; null when this group has none.
    QWidget *palette(const QString &paletteID) const { return m_palettes.value(paletteID); }

protected:
    using Binding = std::function<KeyValueBinder *(TWPaletteHost *)>;
    // A view for the ID, with the standard width and margins.
    QWidget *makePalette(const QString &paletteID, const QString &objectName);
    // Made for every document the group is given, dropped when it goes.
    void addBinding(Binding binding) { m_bindings.push_back(std::move(binding)); }
    TWPaletteEntry entry(const QString &id, const char *titleKey, const Color &colour) const;
    // Sizes every view to its contents once it is built.
    void fitPalettes();

    QHash<QString, QPointer<QWidget>> m_palettes;

private:
    TWPaletteHostPointer m_document;
    std::vector<Binding> m_bindings;
    QList<QPointer<KeyValueBinder>> m_binders;
};

class TWMapPalettes : public TWPaletteGroup
{
    Q_OBJECT

public:
    explicit TWMapPalettes(QObject *parent = nullptr);
    ~TWMapPalettes() override;

    void setDocument(TWPaletteHost *document) override;
    TWPaletteTable paletteDictionary() const override;

    TWRainbowAngleControl *rainbowControl() const { return m_rainbowControl; }
    TWNavigatorView *navigatorView() const { return m_navigatorView; }
    TWCurrentMapSettings *mapSettings() const { return m_mapSettings; }

    void autoLayoutMap();
    // Asks for a picture file; an unreadable one keeps the old picture.
    void setBackgroundImage();
    bool setBackgroundImageFromFile(const QString &path);
    void clearBackgroundImage();
    void makeImageOriginalSize();
    void editOutlineNumberingFormat();
    void scaleToFitPage();

private:
    QPointer<TWRainbowAngleControl> m_rainbowControl;
    QPointer<TWNavigatorView> m_navigatorView;
    TWCurrentMapSettings *m_mapSettings = nullptr;
};

class TWBranchPalettes : public TWPaletteGroup
{
    Q_OBJECT

public:
    explicit TWBranchPalettes(QObject *parent = nullptr);
    TWPaletteTable paletteDictionary() const override;
    void editOutlineNumberingFormat();
};

class TWGeneralPalettes : public TWPaletteGroup
{
    Q_OBJECT

public:
    explicit TWGeneralPalettes(QObject *parent = nullptr);
    void setDocument(TWPaletteHost *document) override;
    TWPaletteTable paletteDictionary() const override;

    TWShadowPositionBox *shadowPositionBox() const { return m_shadowPositionBox; }
    void graphicBringForward();
    void graphicBringToFront();
    void graphicSendToBack();
    void graphicSendBack();
    void restoreDefaultShadow();
    void textSetFont();

private:
    QPointer<TWShadowPositionBox> m_shadowPositionBox;
    QMetaObject::Connection m_shadowConnection;
};
