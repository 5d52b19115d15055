#pragma once

#include "platform/Geometry.h"

#include <QPageLayout>
#include <QString>

class QWidget;
class TWMap;
class TWMapsDoc;
class TWPrintCanvasController;
class TWPrintView;
class TWTextArea;

// What printing asks of the document window whose map it prints: the maps
// document, the page layout, the scale the window shows the map at and the
// canvas's in-place editor. The document window implements it; tests use a
// small fake. The defaults answer from the maps document alone.
class TWPrintDocument
{
public:
    virtual ~TWPrintDocument() = default;

    virtual TWMapsDoc *mapsDocument() const = 0;
    // The maps document's current map, or null.
    TWMap *currentMap() const;

    // The document file's path; empty for a document never saved.
    virtual QString fileName() const;
    // The page layout of the current map's print setup dictionary.
    virtual QPageLayout printInfo() const;
    // The scale the window applies, in percent: the current map's.
    virtual float scaleAmount() const;
    // The size of the scrolled area the window shows, in print-view units
    // (points at the current scale); the canvas fills at least this much
    // when page frames are hidden.
    virtual Size visibleAreaSize() const { return {}; }

    // The text area the canvas edits in place, or null; moving the map
    // moves the editor's cached rectangles with it.
    virtual const TWTextArea *editingTextArea() const { return nullptr; }
    virtual void moveCachedEditingRects(Point offset) {}
    // The current map was moved by the offset to keep it on the canvas: a
    // view of it keeps showing the same part of the map.
    virtual void currentMapMovedOnCanvas(Point offset) {}

    // The window sheets open on; null shows them as plain dialogs.
    virtual QWidget *mainWindow() const { return nullptr; }
    // The window's print canvas controller and print view; without them
    // printing lays the pages out with a controller and view of its own.
    virtual TWPrintCanvasController *printCanvasController() const { return nullptr; }
    virtual TWPrintView *printView() const { return nullptr; }
};
