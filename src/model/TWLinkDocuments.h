#pragma once

#include "platform/Geometry.h"

#include <QByteArray>
#include <QList>
#include <QString>

class TWMapsDoc;

// What following a link needs of the document windows: the canvas that
// scrolls to the found branch, the document that holds the maps, and the
// document controller that makes and opens documents. The application
// implements them; tests use recording fakes.

class TWLinkCanvas
{
public:
    virtual ~TWLinkCanvas() = default;

    virtual Rect visibleRect() const = 0;
    // Scrolls so that `point` becomes the visible rectangle's origin.
    virtual void scrollPoint(Point point) = 0;
    // Centres the selected graphics once the current event has been handled.
    virtual void centerSelectionAfterCurrentEvent() = 0;
};

class TWLinkDocument
{
public:
    virtual ~TWLinkDocument() = default;

    virtual TWMapsDoc *mapsDoc() = 0;
    // The path of the document's file; empty while it is untitled.
    virtual QString fileName() const = 0;
    // Null while the document has no window.
    virtual TWLinkCanvas *graphicView() = 0;
    // Brings the main window to the front as the key window.
    virtual void makeMainWindowKeyAndOrderFront() = 0;
    // Reads a document file's data into this document, which stays untitled
    // with the type "Thinkweb Document"; false when the data is not one.
    virtual bool loadDataRepresentation(const QByteArray &data) = 0;
};

class TWDocumentOpener
{
public:
    virtual ~TWDocumentOpener() = default;

    // The document whose window is active; null when there is none.
    virtual TWLinkDocument *currentlyActiveDocument() = 0;
    // The open documents, in the controller's order.
    virtual QList<TWLinkDocument *> documents() = 0;
    // A new untitled document with one plain map, its window shown; null
    // when none could be made.
    virtual TWLinkDocument *openUntitledDocument() = 0;
    // The document read from the file at `path` and shown, its file name the
    // path and its type "Thinkweb Document"; null when it cannot be opened.
    virtual TWLinkDocument *openDocumentWithContentsOfFile(const QString &path) = 0;
};
