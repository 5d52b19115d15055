#pragma once

#include "../../bench/BranchDocumentGenerator.h"
#include "ApplicationTestSupport.h"
#include "TestSupport.h"
#include "application/DocumentController.h"
#include "application/TWDocument.h"
#include "application/TWDocumentViewController.h"
#include "application/TWDocumentWindow.h"
#include "canvas/TWGraphicView.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"

// A running application with documents made through the program's own
// controller; alerts are recorded and answered by the test.
class DocumentTest : public ApplicationTest
{
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        start();
        documents = std::make_unique<TWDocumentController>();
        documents->setShowsWindows(false);
    }
    void TearDown() override
    {
        documents.reset();
        NotificationQueue::defaultQueue().flush();
    }

    // A saved generated document of `count` branches.
    QString savedDocument(const QString &name, int count = 30)
    {
        const QString path = dir.filePath(name);
        auto made = BranchDocument::makeDocument(count);
        EXPECT_EQ(made->saveToFile(path), TWFileIO::SaveSucceeded);
        made->detach();
        return path;
    }
    TWDocument *open(const QString &path)
    {
        return static_cast<TWDocument *>(documents->openDocument(QUrl::fromLocalFile(path), true));
    }
    TWDocument *untitled() { return static_cast<TWDocument *>(documents->newDocument()); }
    // One visible window of the given size, laid out.
    void show(TWDocument *document, QSize size = QSize(800, 600))
    {
        document->documentWindow()->resize(size);
        document->documentWindow()->show();
        settle();
    }
    void settle()
    {
        for (int i = 0; i < 3; ++i)
            TestSupport::runEventLoopPass();
        NotificationQueue::defaultQueue().flush();
        QCoreApplication::processEvents();
    }

    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
    std::unique_ptr<TWDocumentController> documents;
};
