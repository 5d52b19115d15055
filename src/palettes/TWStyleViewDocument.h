#pragma once

#include "palettes/TWGraphicBindingController.h"
#include "platform/UndoManager.h"

#include <QPointer>
#include <functional>

class TWMap;
class TWMapsDoc;
class TWPaletteHost;

// What the style palettes and editors reach of a document: its maps, the
// selection's settings, its undo manager and the identity it posts its
// closing under. Built from a document window, or by hand in tests.
struct TWStyleViewDocument
{
    std::function<TWMapsDoc *()> mapsDocument;
    // Guarded: a document may go before the palettes let go of it.
    QPointer<TWGraphicBindingController> bindingController;
    QPointer<UndoManager> undoManager;
    const void *identity = nullptr;

    static TWStyleViewDocument of(TWPaletteHost *document);
    bool isNull() const { return identity == nullptr; }
    TWMapsDoc *maps() const { return mapsDocument ? mapsDocument() : nullptr; }
    // Null without a document or a current map.
    TWMap *currentMap() const;

    // The document the user works in, from the provider the application
    // installs (tests install their own); null without one.
    static TWStyleViewDocument active();
    static void setActiveProvider(std::function<TWStyleViewDocument()> provider);
};
