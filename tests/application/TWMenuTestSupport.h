#pragma once

#include "DocumentTestSupport.h"
#include "application/TWExportMenu.h"
#include "application/TWImportController.h"
#include "application/TWMenuDispatcher.h"
#include "graphics/TWTextArea.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

// Documents with their menu bars, in an application whose importers are the
// program's own import controller.
class MenuTest : public DocumentTest
{
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        importer = std::make_unique<TWImportController>(*documents);
        exporter = std::make_unique<TWExportMenu>(*documents);
        app.reset();
        ApplicationServices services = recordingServices();
        services.documentController = documents.get();
        services.importers = importer.get();
        services.exporters = exporter.get();
        start(Edition::Deluxe, std::move(services));
    }
    void TearDown() override
    {
        DocumentTest::TearDown();
        app.reset();
        importer.reset();
        exporter.reset();
    }

    static TWMap &mapOf(TWDocument *document) { return *document->mapsDocument()->currentMap(); }
    static void selectOnly(TWMap &map, const std::shared_ptr<TWMapBranch> &branch)
    {
        map.removeAllSelectedGraphics();
        if (branch)
            map.insertObjectInSelectedGraphicsAtIndex(branch->enclosedTextArea(), 0);
    }
    // A new child of the root with its own label.
    static std::shared_ptr<TWMapBranch> addChild(TWMap &map, const QString &name)
    {
        selectOnly(map, map.root());
        const auto made = map.publicCreateChildrenOfType(-1, name, false);
        return made.isEmpty() ? nullptr : made.first();
    }
    // The menu of the window's bar holding the item, or null.
    static QMenu *menuHolding(TWDocument *document, QAction *action)
    {
        for (QMenu *menu : document->documentWindow()->menuBar()->findChildren<QMenu *>())
            if (menu->actions().contains(action))
                return menu;
        return nullptr;
    }
    bool send(TWDocument *document, const QString &selector, int tag = 0)
    {
        TWMenuItem item;
        item.selector = selector;
        item.tag = tag;
        return document->menuDispatcher()->sendItem(item);
    }

    std::unique_ptr<TWImportController> importer;
    std::unique_ptr<TWExportMenu> exporter;
};
