#include "application/TWOutlinerImportDocuments.h"

#include "application/DocumentController.h"
#include "application/TWDocument.h"
#include "application/TWImportController.h"
#include "exchange/TWOmniOutlineImporter.h"
#include "graphics/TWTextArea.h"
#include "interface/ProgressPanelController.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"

TWOutlinerImportDocuments::TWOutlinerImportDocuments(TWDocumentController &documents)
    : m_documents(documents)
{}

void TWOutlinerImportDocuments::install(TWImportController &importController)
{
    TWImportController::Readers readers = importController.readers();
    readers.omniOutline = [this](const QString &path) {
        return importFile(path, TWOmniOutlineImporter::sharedImporter());
    };
    importController.setReaders(std::move(readers));
}

TWDocument *TWOutlinerImportDocuments::importFile(const QString &path,
                                                  TWOmniOutlineImporter &importer)
{
    TWOutlinerImportHost *previous = importer.host();
    importer.setHost(this);
    m_made = nullptr;
    TWMapsDoc *filled = importer.openOOFile(path, true);
    importer.setHost(previous);
    return filled && m_made && m_made->mapsDocument() == filled ? m_made.data() : nullptr;
}

TWMapsDoc *TWOutlinerImportDocuments::newDocument(const QString &displayName,
                                                  bool addToDocumentController)
{
    std::unique_ptr<TWDocument> made = TWDocument::makeUntitled();
    if (!made)
        return nullptr;
    // The map comes before the window, so the window's set-up adds none.
    made->addMapUsingTemplate(false);
    TWDocument *document = m_documents.addUntitledDocument(std::move(made), false);
    if (!document)
        return nullptr;
    document->setDisplayName(displayName);
    const TWMap *map = document->mapsDocument()->currentMap().get();
    if (map && map->root() && map->root()->enclosedTextArea())
        map->root()->enclosedTextArea()->setIsEditing(false);
    if (addToDocumentController && m_documents.showsWindows())
        document->showWindows();
    m_made = document;
    return document->mapsDocument();
}

void TWOutlinerImportDocuments::startProgress(double maximum)
{
    ProgressPanelController::sharedProgressPanel().runBeforeBlockingWork(false, maximum);
}

void TWOutlinerImportDocuments::setProgressInfo(const QString &info)
{
    ProgressPanelController::sharedProgressPanel().setInfoString(info);
}

void TWOutlinerImportDocuments::finishProgress()
{
    ProgressPanelController::sharedProgressPanel().finish();
}

void TWOutlinerImportDocuments::bringToFront(TWMapsDoc &document)
{
    for (Document *open : m_documents.documents()) {
        auto *shown = qobject_cast<TWDocument *>(open);
        if (!shown || shown->mapsDocument() != &document || !shown->documentWindow())
            continue;
        if (shown->documentWindow()->isVisible()) {
            shown->documentWindow()->raise();
            shown->documentWindow()->activateWindow();
        }
    }
}
