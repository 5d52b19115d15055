#pragma once

#include "mapdrawing/TWMapLayout.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"

#include <memory>

// A document with one blank map for an importer to fill, undo off and alerts
// recorded; the document lets go of its maps when the input is done, so
// nothing of one input reaches the next.
struct ImportTarget
{
    RecordingAlerts alerts;
    Alerts::Scope scope{&alerts};
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
    std::shared_ptr<UndoManager> undo = std::make_shared<UndoManager>();
    TWMap &map = blankMap();

    ImportTarget(const ImportTarget &) = delete;
    ImportTarget &operator=(const ImportTarget &) = delete;
    ImportTarget() = default;
    ~ImportTarget()
    {
        undo->enableUndoRegistration();
        document->detach();
    }

private:
    TWMap &blankMap()
    {
        document->addMap(TWMap::create(document.get()), false);
        document->setUndoManager(undo);
        undo->disableUndoRegistration();
        TWMap &m = *document->maps().first();
        m.setLayoutServices(std::make_shared<TWMapLayout>());
        return m;
    }
};
