#pragma once

#include <QString>

class TWMapsDoc;

// What an outliner import asks of the application: a new document to fill,
// the progress panel and the document window. The application implements it;
// tests and fuzzers use a host that keeps the documents in memory.
class TWOutlinerImportHost
{
public:
    virtual ~TWOutlinerImportHost() = default;

    // A new untitled document shown under displayName (Save asks where), with
    // one blank map whose central branch is not being edited; its windows are
    // shown when addToDocumentController is set. Null when none could be made.
    virtual TWMapsDoc *newDocument(const QString &displayName, bool addToDocumentController) = 0;
    // The progress panel: a counted bar up to maximum, each info text one item.
    virtual void startProgress(double maximum) = 0;
    virtual void setProgressInfo(const QString &info) = 0;
    virtual void finishProgress() = 0;
    virtual void bringToFront(TWMapsDoc &document) = 0;
};
