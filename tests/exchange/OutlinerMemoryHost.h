#pragma once

#include "exchange/TWOutlinerImportHost.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"

#include <QStringList>
#include <memory>
#include <vector>

// Outliner imports into documents kept in memory, with the steps asked of
// the windows and the progress panel recorded in order. Shared by the tests
// and the fuzz targets.
class OutlinerMemoryHost : public TWOutlinerImportHost
{
public:
    ~OutlinerMemoryHost() override
    {
        for (const auto &document : documents)
            document->detach();
    }

    TWMapsDoc *newDocument(const QString &displayName, bool add) override
    {
        steps << QStringLiteral("new %1 %2").arg(displayName).arg(add);
        if (refuseDocuments)
            return nullptr;
        auto document = TWMapsDoc::create();
        document->setUndoManager(std::make_shared<UndoManager>());
        auto map = TWMap::create(document.get());
        document->addMap(map, true);
        map->setLayoutServices(std::make_shared<TWMapLayout>());
        map->setOrderingMode(orderingMode);
        map->setLayoutAssistanceMode(layoutAssistanceMode);
        documents.push_back(document);
        return document.get();
    }
    void startProgress(double maximum) override
    {
        steps << QStringLiteral("progress %1").arg(maximum);
    }
    void setProgressInfo(const QString &info) override { steps << QStringLiteral("info ") + info; }
    void finishProgress() override { steps << QStringLiteral("finish"); }
    void bringToFront(TWMapsDoc &) override { steps << QStringLiteral("front"); }

    std::vector<std::shared_ptr<TWMapsDoc>> documents;
    // What the new documents' maps are set to.
    int orderingMode = 0, layoutAssistanceMode = 0;
    QStringList steps;
    bool refuseDocuments = false;
};
