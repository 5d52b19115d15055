#pragma once

#include "mapdrawing/TWMap_Drawing.h"
#include "platform/Geometry.h"
#include "platform/Notification.h"

#include <QList>
#include <memory>
#include <optional>

class QMenu;
class QTextEdit;
class TWGraphic;
class TWGraphicView;
class TWMapsDoc;
class TWResponder;
class TextAttachment;
class UndoManager;

// What the canvas asks of the document window that shows it: the maps
// document, the document's own actions and its window state. The document
// window implements it; tests use a fake.
class TWCanvasHost
{
public:
    virtual ~TWCanvasHost() = default;

    virtual TWMapsDoc *mapsDocument() const = 0;
    // The document as the object of the canvas's notifications to the
    // window (navigator and print canvas updates).
    virtual NotificationObject documentObject() const = 0;
    // The document's undo manager, the one the maps document uses.
    virtual UndoManager *undoManager() const;

    // Selects the root branch's text alone and centres it.
    virtual void selectDadoZizTitle() = 0;
    // Opens the panel that saves the map's look as a theme.
    virtual void saveTheme() = 0;
    virtual bool isFullScreen() const { return false; }
    virtual void endFullScreen() {}
    // Adds a branch of the default type at the canvas's saved location.
    virtual void addNewDefaultGraphicAtSavedLocation(Point location) = 0;
    // Asks the embedding framework to edit the graphic's embedded content;
    // false when it refuses.
    virtual bool editLinkBackInGraphic(const std::shared_ptr<TWGraphic> &graphic) = 0;
    // The same for a picture embedded in a text being edited.
    virtual bool editLinkBackInTextAttachment(const TextAttachment &) { return false; }

    // --- the context menu and the notes (the mouse) ---
    // Readies the menu for a right click at the point (map coordinates).
    virtual void prepareContextMenu(Point location) {}
    // The menu for that click, kept by the host; null opens none.
    virtual QMenu *contextMenu(Point location) { return nullptr; }
    // Shows the selected branch's notes.
    virtual void showBranchNotes() {}

    // The document's place at the end of the canvas's action chain; null
    // when it takes no actions.
    virtual TWResponder *responder() { return nullptr; }

    // --- pages ---
    // The printed pages the canvas frames under the map; nothing when the
    // window has no pages or hides their frames.
    virtual std::optional<TWMapDrawing::PageGrid> pageGrid() const { return std::nullopt; }
    // What the print scale adds to the zoom: the canvas draws map units at
    // zoom times this (1 without pages).
    virtual qreal drawingScale() const { return 1; }

    // --- find and spelling ---
    // The canvas that shows the document's current map; null without one.
    virtual TWGraphicView *graphicView() const { return nullptr; }
    // The application's open documents, front to back, this one among them.
    virtual QList<TWCanvasHost *> openDocuments() const { return {}; }
    // Brings the document's window to the front.
    virtual void orderFront() {}
    // Brings the outline window to the front with only its notes pane, which
    // shows the selected branch's notes; the view of the notes, or null.
    virtual QTextEdit *showNotesOnly() { return nullptr; }
};
