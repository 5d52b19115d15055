#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QUrl;
class QWidget;

// A document with a window, as the application object sees it: the base that
// TWDocument builds on.
class Document : public QObject
{
    Q_OBJECT

public:
    // Posted (object: the Document) when a document's window closes.
    static inline const QString WillCloseNotification = QStringLiteral("TWDocumentWillClose");

    explicit Document(QObject *parent = nullptr);
    ~Document() override;

    // The document window; nullptr before it is made.
    virtual QWidget *mainWindow() const = 0;
    // The file the document is kept in; empty for one never saved.
    virtual QString fileName() const = 0;
    virtual bool isDocumentEdited() const = 0;
    // The Save command: a document without a file asks for one first.
    virtual void saveDocument() = 0;
    // The periodic save of a document with a file; by default the Save command.
    virtual void autosaveDocument() { saveDocument(); }
    // Its saves go back to another program rather than to a file, so it is
    // saved periodically without one and without asking where.
    virtual bool savesElsewhere() const { return false; }
    virtual void close() = 0;
    // The session is ending. With someone to answer: asks about unsaved
    // changes as closing does (save, drop or cancel), without closing; false
    // when the user cancels or the save fails. Without: keeps the changes
    // as the periodic save would, asking nothing.
    virtual bool reviewUnsavedChanges() { return true; }
    virtual void keepChangesUnasked()
    {
        if (isDocumentEdited() && (!fileName().isEmpty() || savesElsewhere()))
            autosaveDocument();
    }

    // The document whose window this is, or nullptr.
    static Document *forWindow(const QWidget *window);

protected:
    // Makes this document the owner of `window`, until either goes.
    void setWindow(QWidget *window);
};

// Opens, creates and lists the documents of the application.
class DocumentController
{
public:
    virtual ~DocumentController();

    // Open documents, in the controller's order.
    virtual QList<Document *> documents() const = 0;
    // The document of the window the user works in, or nullptr.
    virtual Document *currentDocument() const = 0;
    // The New command.
    virtual Document *newDocument() = 0;
    // nullptr when the file could not be opened; the controller has told the
    // user why.
    virtual Document *openDocument(const QUrl &url, bool display) = 0;
};
