#include "canvas/TWCanvasHost.h"

#include "model/TWMapsDoc.h"

UndoManager *TWCanvasHost::undoManager() const
{
    const TWMapsDoc *document = mapsDocument();
    return document ? document->undoManager() : nullptr;
}
