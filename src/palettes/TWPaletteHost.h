#pragma once

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class TWGraphicBindingController;
class TWGraphicView;
class TWMap;
class TWMapsDoc;
class UndoManager;

// What the palettes ask of the document they edit: its maps, the selection's
// settings, its canvas and the few commands the palettes' buttons give it.
// The document window implements it.
class TWPaletteHost
{
public:
    virtual ~TWPaletteHost() = default;

    // The document as an object: palettes hold it guarded, and it is the
    // sender of the document's notifications (its closing, the navigator's updates).
    virtual QObject *hostObject() = 0;

    virtual TWMapsDoc *mapsDocument() const = 0;
    virtual UndoManager *undoManager() const = 0;
    // The selection's settings, which the palettes bind to.
    virtual TWGraphicBindingController *graphicBindingController() const = 0;
    // The canvas that shows the current map; null without one.
    virtual TWGraphicView *graphicView() const = 0;

    // The maps the map palettes act on.
    virtual QList<std::shared_ptr<TWMap>> selectedMaps() const = 0;
    // Calls `slot` (in the context of `receiver`) whenever selectedMaps changes.
    virtual QMetaObject::Connection connectSelectedMapsChanged(QObject *receiver,
                                                               std::function<void()> slot) = 0;

    // Scales the current map's print so that it fits on one page.
    virtual void scaleToFitMapOnSinglePage() = 0;
    // Opens the font panel on the selection's font.
    virtual void orderFrontFontPanel() = 0;
};

// A host that reads as null once its object has gone, as a QPointer does.
class TWPaletteHostPointer
{
public:
    TWPaletteHostPointer(TWPaletteHost *host = nullptr)
        : m_host(host), m_object(host ? host->hostObject() : nullptr)
    {}

    TWPaletteHost *get() const { return m_object ? m_host : nullptr; }
    operator TWPaletteHost *() const { return get(); }
    TWPaletteHost *operator->() const { return get(); }
    // The identity the host's notifications are sent under; null once it has gone.
    const void *identity() const { return m_object.data(); }

private:
    TWPaletteHost *m_host = nullptr;
    QPointer<QObject> m_object;
};
