#pragma once

#include "platform/Document.h"
#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <memory>
#include <vector>

class QMenuBar;
class TWDocument;

// The program's documents: new untitled ones, documents opened from files
// (a file already open comes to the front), the File menu's commands and
// the load errors shown to the user. It owns every open document until its
// window closes.
class TWDocumentController : public QObject, public DocumentController
{
    Q_OBJECT

public:
    explicit TWDocumentController(QObject *parent = nullptr);
    ~TWDocumentController() override;

    QList<Document *> documents() const override;
    Document *currentDocument() const override;
    Document *newDocument() override;
    Document *openDocument(const QUrl &url, bool display) override;

    // The open document kept in the file, or null.
    TWDocument *documentForPath(const QString &path) const;
    // The Open command: asks for files and opens each.
    void openDocumentWithPanel();
    // Asks whether to drop the changes, then reads the file again.
    void revertDocument(TWDocument *document);

    // Windows are shown as documents open (off in tests).
    void setShowsWindows(bool shows) { m_showsWindows = shows; }
    bool showsWindows() const { return m_showsWindows; }
    // Takes a document made elsewhere (an import) and makes its window.
    TWDocument *addUntitledDocument(std::unique_ptr<TWDocument> document, bool display)
    {
        return addDocument(std::move(document), display);
    }

signals:
    // A document and its window were made (before it is shown).
    void documentAdded(TWDocument *document);

private:
    TWDocument *addDocument(std::unique_ptr<TWDocument> document, bool display);
    void addFileMenu(TWDocument *document, QMenuBar *menuBar);
    void installMenuBar(TWDocument *document);
    void documentWillClose(const Notification &notification);

    std::vector<std::unique_ptr<TWDocument>> m_documents;
    // Closed documents waiting for the event loop to free them; the
    // controller frees those still waiting when it goes first.
    std::vector<QPointer<TWDocument>> m_closing;
    ObserverToken m_willCloseObserver;
    bool m_showsWindows = true;
};
