#pragma once

#include <QString>
#include <utility>

class TWDocument;
class TWDocumentController;

// Unsaved work that has nowhere of its own to go when the program ends with
// nobody to answer (a signal, a session ending): an untitled document, one
// whose file another program changed, one whose save failed. Each is kept in
// a folder of the program's own state, never beside another program's file,
// and opens again at the next launch as an unsaved untitled document; its
// copy goes once the document is saved or closed without saving.
//
// A kept copy is a document file "<id>.tweb" with "<id>.json" beside it:
// {"reason": "untitled" | "changedOnDisk" | "notSaved", "file": its own file}.
class KeptDocuments
{
public:
    enum class Reason { Untitled, ChangedOnDisk, NotSaved };

    explicit KeptDocuments(QString folder) : m_folder(std::move(folder)) {}
    // $XDG_STATE_HOME/thinkweb/kept/<program>, else under ~/.local/state.
    static QString defaultFolder(const QString &programName);
    const QString &folder() const { return m_folder; }

    // Writes the document as it is to its copy: the one it was opened from,
    // else a new one. False when it could not be written.
    bool keep(TWDocument &document, Reason reason);
    // Opens every kept copy in `controller`, each as an unsaved untitled
    // document that knows its copy. The notice that says what they are,
    // empty when there were none.
    QString reopen(TWDocumentController &controller);
    // A kept copy and its description, gone.
    static void discard(const QString &copy);

private:
    QString m_folder;
};
