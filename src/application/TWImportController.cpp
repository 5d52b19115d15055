#include "application/TWImportController.h"

#include "application/DocumentController.h"
#include "application/MindManagerArchive.h"
#include "application/TWDocument.h"
#include "graphics/TWTextArea.h"
#include "interface/ProgressPanelController.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"

#include <QFile>
#include <QFileInfo>
#include <utility>

namespace {

QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

void alert(const char *title, const QString &message)
{
    Alerts::current().runAlertPanel(dadoZiz(title), message,
                                    {TWLocalizedString(StringTable::General, "OK")});
}

// A plain XML file is read whole only up to the archive's own limit.
std::optional<QByteArray> readXMLFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    if (file.size() > MindManagerArchive::MaximumDocumentSize) {
        *error = QStringLiteral("the file is too large");
        return std::nullopt;
    }
    return file.readAll();
}

// Alerts a reader raises while the progress panel is up, held back and
// shown once the panel has gone, so that none is hidden under it.
class HeldAlerts : public Alerts
{
public:
    explicit HeldAlerts(Alerts &shown) : m_shown(shown) {}
    void beep() override { m_shown.beep(); }
    int runAlertPanel(const QString &title, const QString &message,
                      const QStringList &buttons) override
    {
        m_held.append({title, message, buttons});
        return 0;
    }
    QStringList runOpenPanel(const OpenPanelOptions &options) override
    {
        return m_shown.runOpenPanel(options);
    }
    std::optional<QString> runSavePanel(const SavePanelOptions &options) override
    {
        return m_shown.runSavePanel(options);
    }
    void show()
    {
        for (const Held &alert : std::exchange(m_held, {}))
            m_shown.runAlertPanel(alert.title, alert.message, alert.buttons);
    }

private:
    struct Held
    {
        QString title, message;
        QStringList buttons;
    };
    Alerts &m_shown;
    QList<Held> m_held;
};

} // namespace

TWImportController::TWImportController(TWDocumentController &documents, QObject *parent)
    : QObject(parent), m_documents(documents)
{}

QStringList TWImportController::fileTypesForAction(const QString &selector)
{
    if (selector == QLatin1String("importOPML:"))
        return {QStringLiteral("opml")};
    if (selector == QLatin1String("importOmniOutline:"))
        return {QStringLiteral("ooutline"), QStringLiteral("oo3")};
    if (selector == QLatin1String("importMindManager:"))
        return {QStringLiteral("xml"), QStringLiteral("mmap")};
    return {};
}

QStringList TWImportController::packageTypesForAction(const QString &selector)
{
    // Version 3 outlines are folders.
    if (selector == QLatin1String("importOmniOutline:"))
        return {QStringLiteral("oo3")};
    return {};
}

bool TWImportController::hasFileType(const QString &path, const QStringList &types)
{
    const QString suffix = QFileInfo(path).suffix();
    return std::any_of(types.begin(), types.end(), [&suffix](const QString &type) {
        return suffix.compare(type, Qt::CaseInsensitive) == 0;
    });
}

// --- the documents ---

std::unique_ptr<TWDocument> TWImportController::makeImportDocument()
{
    std::unique_ptr<TWDocument> made = TWDocument::makeUntitled();
    if (!made)
        return nullptr;
    // The map comes before the window, so the window's set-up adds none.
    made->addMapUsingTemplate(false);
    stopEditingRoot(made.get());
    return made;
}

void TWImportController::stopEditingRoot(TWDocument *document)
{
    const TWMap *map = document->mapsDocument()->currentMap().get();
    if (map && map->root() && map->root()->enclosedTextArea())
        map->root()->enclosedTextArea()->setIsEditing(false);
}

TWDocument *TWImportController::adoptImportDocument(std::unique_ptr<TWDocument> made)
{
    TWDocument *document = m_documents.addUntitledDocument(std::move(made), false);
    if (document)
        stopEditingRoot(document);
    return document;
}

void TWImportController::showDocument(TWDocument *document)
{
    if (m_documents.showsWindows())
        document->showWindows();
}

void TWImportController::cannotCreateDocument()
{
    alert("Unable to create document.",
          dadoZiz("Internal error creating new Thinkweb document. Please contact technical "
                  "support."));
}

QString TWImportController::tooDeepReason()
{
    return dadoZiz("Its outline nests deeper than a Thinkweb document can hold (%1 levels).")
        .arg(TWFileIO::MaximumBranchLevels);
}

namespace {

// Readers give either a sentence or a short phrase ("unsafe member name: x").
QString sentence(const QString &text)
{
    QString why = text.trimmed();
    if (why.isEmpty())
        return why;
    why[0] = why.at(0).toUpper();
    if (!why.endsWith(QLatin1Char('.')))
        why += QLatin1Char('.');
    return why;
}

} // namespace

void TWImportController::cannotImport(const QString &path, const QString &reason,
                                      const QString &detail)
{
    QString why = sentence(reason);
    if (why.isEmpty())
        why = sentence(dadoZiz("The file cannot be read"));
    // What the reader found follows what the user is told first.
    if (const QString more = sentence(detail); !more.isEmpty())
        why += QLatin1Char(' ') + more;
    alert("Unable to import document.",
          dadoZiz("“%1” cannot be imported. %2").arg(QFileInfo(path).fileName(), why));
}

TWDocument *TWImportController::importOPMLFileAtPathReturningDocument(const QString &path)
{
    if (!m_readers.opml)
        return nullptr;
    std::unique_ptr<TWDocument> made = makeImportDocument();
    if (!made) {
        cannotCreateDocument();
        return nullptr;
    }
    // The outline is read into the map before its window is made, as an
    // opened document is: a window following every branch as it is added
    // and laid out costs more than the reading itself.
    TWMap *map = made->mapsDocument()->currentMap().get();
    QString reason;
    bool read = false;
    if (map) {
        // A long outline takes seconds: say what is going on. Nor is it a
        // step the user can undo: a registration for every branch made would
        // hold more than the map itself.
        ProgressPanelController &progress = ProgressPanelController::sharedProgressPanel();
        HeldAlerts held(Alerts::current());
        UndoManager *undo = made->undoManager();
        undo->disableUndoRegistration();
        {
            const Alerts::Scope holding(&held);
            progress.runBeforeBlockingWork(true, 0);
            progress.setInfoString(dadoZiz("Importing “%1”…").arg(QFileInfo(path).fileName()));
            read = m_readers.opml(*map, path, &reason);
            progress.finish();
        }
        undo->enableUndoRegistration();
        held.show();
    }
    if (!read) {
        // No blank document is left behind to be closed by hand.
        cannotImport(path, dadoZiz("This file does not appear to contain OPML data."), reason);
        return nullptr;
    }
    // Refused now: it could be shown but never saved and opened again.
    if (TWFileIO::nestsTooDeep(*map)) {
        cannotImport(path, tooDeepReason());
        return nullptr;
    }
    TWDocument *document = adoptImportDocument(std::move(made));
    if (!document) {
        cannotCreateDocument();
        return nullptr;
    }
    showDocument(document);
    if (m_readers.opmlLeftOut) {
        if (const QString leftOut = m_readers.opmlLeftOut(); !leftOut.isEmpty())
            alert("Not everything was imported", leftOut);
    }
    return document;
}

TWDocument *TWImportController::importOmniOutlineFileAtPathReturningDocument(const QString &path)
{
    TWDocument *document = m_readers.omniOutline ? m_readers.omniOutline(path) : nullptr;
    const TWMap *map = document ? document->mapsDocument()->currentMap().get() : nullptr;
    if (map && TWFileIO::nestsTooDeep(*map)) {
        document->close();
        cannotImport(path, tooDeepReason());
        return nullptr;
    }
    return document;
}

TWDocument *TWImportController::importMindManagerFileAtPathReturningDocument(const QString &path)
{
    const bool streamed = bool(m_readers.mindManagerFile);
    if (!m_readers.mindManager && !streamed)
        return nullptr;
    QString reason;
    std::optional<QByteArray> xml;
    if (streamed) {
        if (m_readers.mindManagerProblem)
            reason = m_readers.mindManagerProblem(path);
        if (reason.isNull())
            xml.emplace();
    } else {
        xml = MindManagerArchive::isZipArchive(path)
                  ? MindManagerArchive::readDocumentXML(path, &reason)
                  : readXMLFile(path, &reason);
    }
    if (!xml) {
        cannotImport(path, reason);
        return nullptr;
    }
    std::unique_ptr<TWDocument> made = makeImportDocument();
    if (!made) {
        cannotCreateDocument();
        return nullptr;
    }
    TWMap *map = made->mapsDocument()->currentMap().get();
    // Building the imported map is not a step the user can undo. It is
    // built before the window is made, as an outline's is.
    UndoManager *undo = made->undoManager();
    undo->disableUndoRegistration();
    bool filled = true;
    if (map) {
        // A large map takes seconds to read and lay out: say what is going on.
        ProgressPanelController &progress = ProgressPanelController::sharedProgressPanel();
        HeldAlerts held(Alerts::current());
        {
            const Alerts::Scope holding(&held);
            progress.runBeforeBlockingWork(true, 0);
            progress.setInfoString(
                dadoZiz("Importing “%1”…").arg(QFileInfo(path).fileName()));
            if (streamed)
                filled = m_readers.mindManagerFile(*map, path);
            else
                m_readers.mindManager(*map, *xml);
            if (filled)
                TWMapLayout::autoArrange(*map);
            progress.finish();
        }
        held.show();
    }
    undo->enableUndoRegistration();
    // The reader has said why; an empty document would only be in the way.
    if (!filled)
        return nullptr;
    if (map && TWFileIO::nestsTooDeep(*map)) {
        cannotImport(path, tooDeepReason());
        return nullptr;
    }
    TWDocument *document = adoptImportDocument(std::move(made));
    if (!document) {
        cannotCreateDocument();
        return nullptr;
    }
    // Untitled under the file's name: Save asks where, never writes beside
    // the source.
    document->setDisplayName(QFileInfo(path).completeBaseName());
    showDocument(document);
    if (m_readers.mindManagerLeftOut) {
        if (const QString leftOut = m_readers.mindManagerLeftOut(); !leftOut.isEmpty())
            alert("Not everything was imported", leftOut);
    }
    return document;
}

void TWImportController::importOPMLFileAtPath(const QString &path)
{
    importOPMLFileAtPathReturningDocument(path);
}

void TWImportController::importOmniOutlineFileAtPath(const QString &path)
{
    importOmniOutlineFileAtPathReturningDocument(path);
}

void TWImportController::importMindManagerFileAtPath(const QString &path)
{
    importMindManagerFileAtPathReturningDocument(path);
}

// --- the Import menu ---

bool TWImportController::respondsToMenuAction(const QString &selector) const
{
    return !fileTypesForAction(selector).isEmpty();
}

bool TWImportController::validateMenuItem(TWMenuItem &item) const
{
    if (item.selector == QLatin1String("importOPML:"))
        return bool(m_readers.opml);
    if (item.selector == QLatin1String("importOmniOutline:"))
        return bool(m_readers.omniOutline);
    if (item.selector == QLatin1String("importMindManager:"))
        return m_readers.mindManager || m_readers.mindManagerFile;
    return false;
}

void TWImportController::performMenuAction(const TWMenuItem &item)
{
    const QStringList types = fileTypesForAction(item.selector);
    Alerts::OpenPanelOptions options;
    options.title = dadoZiz("Import");
    options.fileTypes = types;
    options.packageTypes = packageTypesForAction(item.selector);
    const QStringList chosen = Alerts::current().runOpenPanel(options);
    if (chosen.isEmpty())
        return;
    const QString &path = chosen.first();
    // A typed name may carry any extension; the panel's own filter is not trusted.
    if (!hasFileType(path, types)) {
        Alerts::current().beep();
        return;
    }
    if (item.selector == QLatin1String("importOPML:"))
        importOPMLFileAtPath(path);
    else if (item.selector == QLatin1String("importOmniOutline:"))
        importOmniOutlineFileAtPath(path);
    else
        importMindManagerFileAtPath(path);
}
