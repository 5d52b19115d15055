#pragma once

#include "application/ApplicationServices.h"
#include "application/TWMenuDispatcher.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class TWDocument;
class TWDocumentController;
class TWMap;

// Turns outlines and maps of other programs into new untitled documents:
// the Import menu's commands with their open panels, and the path methods
// the open-file dispatch calls. The format readers belong to the exchange
// subsystems and are plugged in as they come; a command without its reader
// stays disabled.
class TWImportController : public QObject, public Importers, public TWMenuResponder
{
    Q_OBJECT

public:
    struct Readers
    {
        // Fills the new document's map from an OPML file; false when the
        // file is not OPML, with the reason in `reason`.
        std::function<bool(TWMap &map, const QString &path, QString *reason)> opml;
        // Makes and shows its own document; null when it could not.
        std::function<TWDocument *(const QString &path)> omniOutline;
        // Fills the map from MindManager XML; the reader reports its own
        // problems.
        std::function<void(TWMap &map, const QByteArray &xml)> mindManager;
        // Streams the file itself (an "mmap" archive or XML) into the map;
        // taken over `mindManager` when set. `mindManagerProblem` says,
        // before any document is made, why a file cannot be read at all (a
        // null string when it can).
        // false: the reader refused the file and has said why.
        std::function<bool(TWMap &map, const QString &path)> mindManagerFile;
        std::function<QString(const QString &path)> mindManagerProblem;
        // After a MindManager import: what the file held that was not
        // imported, told once; empty when nothing was left out.
        std::function<QString()> mindManagerLeftOut;
        // After an OPML import: what the last read left out, in a sentence;
        // empty when nothing was.
        std::function<QString()> opmlLeftOut;
    };

    explicit TWImportController(TWDocumentController &documents, QObject *parent = nullptr);

    void setReaders(Readers readers) { m_readers = std::move(readers); }
    const Readers &readers() const { return m_readers; }

    // The file types each command's open panel offers.
    static QStringList fileTypesForAction(const QString &selector);
    // The folder types among them that the panel offers as files.
    static QStringList packageTypesForAction(const QString &selector);
    // Whether the file's extension is one of the types, in any case.
    static bool hasFileType(const QString &path, const QStringList &types);

    // The new document, or null when none could be made (the user has been
    // told why).
    TWDocument *importOPMLFileAtPathReturningDocument(const QString &path);
    TWDocument *importOmniOutlineFileAtPathReturningDocument(const QString &path);
    TWDocument *importMindManagerFileAtPathReturningDocument(const QString &path);

    // --- Importers ---
    void importOPMLFileAtPath(const QString &path) override;
    void importOmniOutlineFileAtPath(const QString &path) override;
    void importMindManagerFileAtPath(const QString &path) override;

    // --- TWMenuResponder ---
    bool respondsToMenuAction(const QString &selector) const override;
    bool validateMenuItem(TWMenuItem &item) const override;
    void performMenuAction(const TWMenuItem &item) override;

private:
    // An untitled document with one blank map whose root is not being
    // edited, with no window yet; the controller takes it with its window.
    std::unique_ptr<TWDocument> makeImportDocument();
    TWDocument *adoptImportDocument(std::unique_ptr<TWDocument> made);
    static void stopEditingRoot(TWDocument *document);
    void showDocument(TWDocument *document);
    void cannotCreateDocument();
    // The alert naming the file, why it is refused and what the reader found.
    void cannotImport(const QString &path, const QString &reason,
                      const QString &detail = QString());
    static QString tooDeepReason();

    TWDocumentController &m_documents;
    Readers m_readers;
};
