#pragma once

#include "exchange/TWOutlinerImportHost.h"

#include <QPointer>

class TWDocument;
class TWDocumentController;
class TWImportController;
class TWOmniOutlineImporter;

// The documents an outliner import fills: untitled documents shown under the
// imported file's name, so that their first Save asks where; the shared
// progress panel while they fill.
class TWOutlinerImportDocuments : public TWOutlinerImportHost
{
public:
    explicit TWOutlinerImportDocuments(TWDocumentController &documents);

    // Plugs the outliner reader into the import commands.
    void install(TWImportController &importController);
    // Imports the file into a new document; null when the file was refused.
    TWDocument *importFile(const QString &path, TWOmniOutlineImporter &importer);

    // --- TWOutlinerImportHost ---
    TWMapsDoc *newDocument(const QString &displayName, bool addToDocumentController) override;
    void startProgress(double maximum) override;
    void setProgressInfo(const QString &info) override;
    void finishProgress() override;
    void bringToFront(TWMapsDoc &document) override;

private:
    TWDocumentController &m_documents;
    QPointer<TWDocument> m_made;
};
