// The document: its file, its maps document and edited state.

#include "application/TWDocument.h"

#include "application/KeptDocuments.h"
#include "application/TWApplication.h"
#include "application/TWCDocument.h"
#include "application/TWDDocument.h"
#include "application/TWDocumentViewController.h"
#include "application/TWDocumentWindow.h"
#include "application/TWSaveProgress.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "interface/FontPanel.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWDockedPalettesController.h"
#include "palettes/TWGraphicBindingController.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "styles/TWTheme.h"
#include "support/AttributedString.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {
QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}
} // namespace

TWDocument::TWDocument() : m_undoManager(std::make_shared<UndoManager>())
{
    // Every closed step is one change; undo takes one back, redo adds it again.
    connect(m_undoManager.get(), &UndoManager::groupClosed, this,
            [this] { setChangeCount(m_changeCount + 1); });
    connect(m_undoManager.get(), &UndoManager::didUndo, this,
            [this] { setChangeCount(m_changeCount - 1); });
    connect(m_undoManager.get(), &UndoManager::didRedo, this,
            [this] { setChangeCount(m_changeCount + 1); });
    if (UserDefaults::standard().boolForKey(TWPreferences::DebugBindingsKey))
        m_bindings.emplace();
    m_graphicBindingController =
        std::make_unique<TWGraphicBindingController>([this] { return m_mapsDocument.get(); }, this);
}

TWDocument::~TWDocument()
{
    m_dockedPalettesController.reset();
    // Nobody may call back into a document that is gone.
    closeLinkIfNeeded();
    closeActiveLinks();
    // The window's canvas gives up the focus as it goes, after the view
    // controller it would be asked through.
    QObject::disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    delete m_window.data();
    if (m_bindings)
        qDebug().noquote() << "Bindings:" << *m_bindings;
    m_bindings.reset();
    m_undoManager->removeAllActions();
    m_observers.clear();
    m_mapTabsObserver = ObserverToken();
    if (m_mapsDocument) {
        m_mapsDocument->setDocument(nullptr);
        m_mapsDocument->detach();
    }
}

std::unique_ptr<TWDocument> TWDocument::makeUntitled(const QString &type)
{
    if (type != DocumentType)
        return nullptr;
    std::unique_ptr<TWDocument> document = makeForEdition();
    document->setMapsDocument(TWMapsDoc::create());
    return document;
}

std::unique_ptr<TWDocument> TWDocument::makeForEdition()
{
    const TWApplication *application = TWApplication::shared();
    switch (application ? application->traits().edition : Edition::Generic) {
    case Edition::Compact:
        return std::make_unique<TWCDocument>();
    case Edition::Deluxe:
        return std::make_unique<TWDDocument>();
    default:
        return std::make_unique<TWDocument>();
    }
}

// --- reading and writing ---

bool TWDocument::readFromFile(const QString &path, const QString &type, LoadError *error)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = LoadError{LoadErrorDomain, 0, reason};
        return false;
    };
    if (type != DocumentType)
        return fail(dadoZiz("Thinkweb is currently unable to load files of type: %@")
                        .replace(QLatin1String("%@"), type));
    QString reason;
    // Taken first: a change while it is read is a change since.
    const FileStamp stamp = FileStamp::of(path);
    std::shared_ptr<TWMapsDoc> maps = TWFileIO::readDocumentFromFile(path, &reason);
    // A file that gives nothing leaves what the document shows.
    if (!maps)
        return fail(reason);
    // What reading sets up (sizes the file marked for fitting, ...) is not
    // an edit: an opened document has nothing to undo.
    m_undoManager->disableUndoRegistration();
    setMapsDocument(std::move(maps));
    setFileName(path);
    m_fileStamp = stamp;
    m_mapsDocument->processFlags();
    m_undoManager->enableUndoRegistration();
    return true;
}

int TWDocument::writeToFile(const QString &path, const QString &)
{
    if (!m_mapsDocument)
        return TWFileIO::SaveNoDictionary;
    // The callers hold or refuse a save while another runs; one that slips
    // through must not write a document that is being written.
    if (TWSaveProgress::isRunning()) {
        qWarning("Not saved: another save is running (%s)", qPrintable(path));
        return TWFileIO::SaveEntryFailed;
    }
    // A save that cannot be made says so before the layout and the previews.
    if (const int refused = m_mapsDocument->saveRefusal(path); refused != TWFileIO::SaveSucceeded)
        return refused;
    // Edits whose layout is still pending are saved laid out.
    if (TWGraphicView *view = graphicView())
        view->performPendingLayout();
    // Where the document is kept is no edit of it: nothing to undo, no change.
    UndoManager *undo = m_mapsDocument->undoManager();
    if (undo)
        undo->disableUndoRegistration();
    m_mapsDocument->setFilename(path);
    if (undo)
        undo->enableUndoRegistration();
    int code;
    {
        // Over half a second, the window shows how far the save has got.
        QWidget *window = m_window && m_window->isVisible() ? m_window.data() : nullptr;
        TWSaveProgress progress(window, graphicView(),
                                dadoZiz("Saving “%1”…").arg(QFileInfo(path).completeBaseName()),
                                [this] { return branchCount(); });
        code = TWFileIO::saveDocument(*m_mapsDocument, path);
    }
    // A failed save keeps the document edited, so closing still asks.
    if (code == TWFileIO::SaveSucceeded) {
        m_fileStamp = FileStamp::of(path);
        clearChangeCount();
        // Saved: what was kept of it is not needed any more.
        KeptDocuments::discard(std::exchange(m_keptCopy, QString()));
        m_keptForNextLaunch = false;
    }
    return code;
}

int TWDocument::writeKeptCopy(const QString &path)
{
    if (!m_mapsDocument)
        return TWFileIO::SaveNoDictionary;
    if (TWGraphicView *view = graphicView())
        view->performPendingLayout();
    return TWFileIO::saveDocument(*m_mapsDocument, path);
}

bool TWDocument::readKeptCopy(const QString &path, LoadError *error)
{
    if (!readFromFile(path, DocumentType, error))
        return false;
    // Nothing of the kept copy's place shows or is written: Save asks where.
    m_undoManager->disableUndoRegistration();
    setFileName(QString());
    m_undoManager->enableUndoRegistration();
    m_fileStamp = FileStamp();
    m_keptCopy = path;
    m_keptForNextLaunch = false;
    setChangeCount(1);
    return true;
}

qint64 TWDocument::branchCount() const
{
    qint64 branches = 0;
    if (m_mapsDocument)
        for (const std::shared_ptr<TWMap> &map : m_mapsDocument->maps())
            branches += map->allBranches().size();
    return branches;
}

void TWDocument::reportSaveError(int code, const QString &path)
{
    const QFileInfo file(path);
    QString why;
    switch (code) {
    case TWFileIO::SaveTooDeep:
        why = dadoZiz("Its branches nest deeper than a document file can hold. Move the deepest "
                      "branches up a level and save again.");
        break;
    case TWFileIO::SaveFolderUnwritable:
        why = dadoZiz("The folder “%1” does not exist or cannot be written in. Choose Save As… "
                      "to save it in another folder.")
                  .arg(file.absolutePath());
        break;
    case TWFileIO::SaveFileLocked:
        why = dadoZiz("The file “%1” is locked: it may not be changed. Choose Save As… to save "
                      "a copy, or unlock the file and save again.")
                  .arg(file.fileName());
        break;
    case TWFileIO::SaveDiskFull:
        why = dadoZiz("There is not enough room on the disk. Make room and save again, or choose "
                      "Save As… to save it on another disk.");
        break;
    default: {
        const QString system = TWFileIO::lastSaveError();
        why = system.isEmpty() ? dadoZiz("Error %1 while writing it.").arg(code)
                               : dadoZiz("The system said: %1.").arg(system);
        break;
    }
    }
    // Every refusal leaves the file as it was; the changes are still here.
    const QString message =
        dadoZiz("The document “%1” could not be saved. %2 Your changes are still in the window, "
                "and the file on disk has not been changed.")
            .arg(displayName(), why);
    if (m_keepSaveErrors)
        m_keptSaveError = message;
    else
        showSaveError(message);
}

void TWDocument::showSaveError(const QString &message)
{
    Alerts::current().runAlertPanel(dadoZiz("The document could not be saved."), message,
                                    {TWLocalizedString(StringTable::General, "OK")});
}

bool TWDocument::fileChangedOnDisk() const
{
    return !m_fileName.isEmpty() && m_fileStamp.changedAt(m_fileName);
}

bool TWDocument::save()
{
    if (TWSaveProgress::isRunning()) {
        qWarning("Not saved: another save is running (%s)", qPrintable(displayName()));
        return false;
    }
    // A map embedded elsewhere goes back to where it came from.
    if (m_link)
        return saveLink();
    if (m_fileName.isEmpty())
        return saveAs();
    // Refused before the question: there is nothing to decide.
    if (m_mapsDocument) {
        const int refused = m_mapsDocument->saveRefusal(m_fileName);
        if (refused != TWFileIO::SaveSucceeded) {
            reportSaveError(refused, m_fileName);
            return false;
        }
    }
    if (fileChangedOnDisk()) {
        // The safe answers first: Return saves a copy, Escape cancels.
        const int answer = Alerts::current().runAlertPanel(
            dadoZiz("The file has been changed by another program."),
            dadoZiz("“%1” was changed on disk after you opened or last saved it here. Save "
                    "Anyway replaces that version with yours; Save As… keeps both.")
                .arg(QFileInfo(m_fileName).fileName()),
            {dadoZiz("Save As…"), TWLocalizedString(StringTable::General, "Cancel"),
             dadoZiz("Save Anyway")});
        if (answer == 0)
            return saveAs();
        if (answer != 2)
            return false;
    }
    return saveToOwnFile();
}

bool TWDocument::saveToOwnFile()
{
    if (keepBackupFile() && QFileInfo::exists(m_fileName)) {
        const QFileInfo info(m_fileName);
        const QString backup = info.absolutePath() + u'/' + info.completeBaseName() +
                               QStringLiteral("~.") + info.suffix();
        QFile::remove(backup);
        if (!QFile::copy(m_fileName, backup))
            qWarning("Could not keep a backup of %s", qPrintable(m_fileName));
    }
    const int code = writeToFile(m_fileName);
    if (code != TWFileIO::SaveSucceeded) {
        reportSaveError(code, m_fileName);
        return false;
    }
    return true;
}

void TWDocument::autosaveDocument()
{
    if (TWSaveProgress::isRunning()) {
        TWSaveProgress::whenNoSaveRuns(this, [this] { autosaveDocument(); });
        return;
    }
    const std::optional<QString> failure = saveUnasked();
    if (!failure || std::exchange(m_autosaveFailureTold, true))
        return;
    // Every other document is saved first: an alert waits for its answer.
    QTimer::singleShot(0, this, [this, message = *failure] { showSaveError(message); });
}

std::optional<QString> TWDocument::saveUnasked()
{
    if (!isDocumentEdited())
        return std::nullopt;
    // An embedded map goes back to the program that holds it, as Save does.
    if (m_link) {
        saveLink();
        return std::nullopt;
    }
    if (m_fileName.isEmpty())
        return std::nullopt;
    // Nobody is asked out of the blue: the other program's version stays,
    // this one stays edited, and the user decides at the next Save.
    if (fileChangedOnDisk()) {
        qWarning("Not saved automatically: %s was changed by another program",
                 qPrintable(m_fileName));
        return std::nullopt;
    }
    m_keptSaveError.reset();
    m_keepSaveErrors = true;
    save();
    m_keepSaveErrors = false;
    return std::exchange(m_keptSaveError, std::nullopt);
}

bool TWDocument::reviewUnsavedChanges()
{
    return m_closed || canCloseDocument();
}

void TWDocument::keepChangesUnasked()
{
    const std::optional<QString> failure = saveUnasked();
    if (failure)
        qWarning("%s", qPrintable(*failure));
    if (!isDocumentEdited())
        return;
    // Nowhere of its own to go: the program's state keeps it for the next launch.
    using Reason = KeptDocuments::Reason;
    const Reason reason = m_fileName.isEmpty()  ? Reason::Untitled
                          : fileChangedOnDisk() ? Reason::ChangedOnDisk
                                                : Reason::NotSaved;
    const TWApplication *application = TWApplication::shared();
    KeptDocuments *kept = application ? application->keptDocuments() : nullptr;
    if (!kept || !kept->keep(*this, reason))
        qWarning("The unsaved changes of %s could not be kept", qPrintable(displayName()));
}

bool TWDocument::saveAs()
{
    if (TWSaveProgress::isRunning()) {
        qWarning("Not saved: another save is running (%s)", qPrintable(displayName()));
        return false;
    }
    // The save panel needs the window as it was.
    if (isFullScreen())
        endFullScreen();
    Alerts::SavePanelOptions options;
    options.title = dadoZiz("Save As");
    options.fileTypes = {QStringLiteral("tweb")};
    options.fileName = m_fileName.isEmpty() ? displayName() + QStringLiteral(".tweb")
                                            : QFileInfo(m_fileName).fileName();
    if (!m_fileName.isEmpty())
        options.directory = QFileInfo(m_fileName).absolutePath();
    std::optional<QString> path = Alerts::current().runSavePanel(options);
    if (!path)
        return false;
    if (QFileInfo(*path).suffix().compare(u"tweb", Qt::CaseInsensitive) != 0)
        path->append(QStringLiteral(".tweb"));
    const int code = writeToFile(*path);
    if (code != TWFileIO::SaveSucceeded) {
        reportSaveError(code, *path);
        return false;
    }
    setFileName(*path);
    return true;
}

bool TWDocument::revertToSaved()
{
    // The maps being written stay until the save is done.
    if (m_fileName.isEmpty() || TWSaveProgress::isRunning())
        return false;
    // The maps about to be dropped need no new previews.
    if (m_mapsDocument)
        for (const std::shared_ptr<TWMap> &map : m_mapsDocument->maps())
            map->setNeedsUpdatePreviewImage(false);
    LoadError error;
    if (!readFromFile(m_fileName, DocumentType, &error)) {
        Alerts::current().runAlertPanel(dadoZiz("The document could not be reverted."),
                                        error.reason,
                                        {TWLocalizedString(StringTable::General, "OK")});
        return false;
    }
    m_undoManager->removeAllActions();
    clearChangeCount();
    if (m_window)
        m_window->setDocumentEdited(false);
    if (m_viewController)
        m_viewController->restoreVisibleRectForCurrentMap();
    return true;
}

void TWDocument::setMapsDocument(std::shared_ptr<TWMapsDoc> mapsDocument)
{
    if (mapsDocument == m_mapsDocument)
        return;
    if (TWGraphicView *view = graphicView())
        view->setDocument(nullptr);
    if (m_mapsDocument) {
        m_mapsDocument->setDocument(nullptr);
        m_mapsDocument->detach();
    }
    m_mapsDocument = std::move(mapsDocument);
    if (m_mapsDocument) {
        m_mapsDocument->setDocument(this);
        m_mapsDocument->setUndoManager(m_undoManager);
        installLayout();
    }
    if (TWGraphicView *view = graphicView())
        view->setDocument(this);
    if (m_viewController) {
        observeMapsDocument();
        m_viewController->mapsDocumentDidChange();
        syncZoomSlider();
        // Whatever shows the maps (the map tabs) shows the new ones.
        if (m_mapsDocument)
            NotificationCenter::defaultCenter().post(TWMapsDoc::UpdateMapTabsNotification,
                                                     m_mapsDocument.get());
    }
}

void TWDocument::installLayout()
{
    if (!m_mapsDocument)
        return;
    // Maps do no automatic layout until they are given it.
    for (const std::shared_ptr<TWMap> &map : m_mapsDocument->maps())
        if (!dynamic_cast<TWMapLayout *>(&map->layoutServices()))
            map->setLayoutServices(std::make_shared<TWMapLayout>());
}

void TWDocument::setFileName(const QString &path)
{
    m_fileName = path;
    if (m_mapsDocument)
        m_mapsDocument->setFilename(path.isEmpty() ? std::nullopt : std::optional<QString>(path));
    if (m_window)
        m_window->setWindowTitle(displayName() + QStringLiteral("[*]"));
}

QString TWDocument::displayName() const
{
    if (m_link) {
        QString title = dadoZiz("DadoZiz from %@ (%@)");
        title.replace(title.indexOf(QLatin1String("%@")), 2, m_link->sourceName());
        title.replace(title.indexOf(QLatin1String("%@")), 2, m_link->sourceApplicationName());
        return title;
    }
    if (m_fileName.isEmpty())
        return m_displayName.isEmpty() ? dadoZiz("Untitled") : m_displayName;
    return QFileInfo(m_fileName).completeBaseName();
}

bool TWDocument::keepBackupFile() const
{
    return UserDefaults::standard().boolForKey(TWPreferences::SaveBackupSwitchKey);
}

void TWDocument::setChangeCount(int count)
{
    const bool wasEdited = isDocumentEdited();
    if (count != m_changeCount) {
        m_autosaveFailureTold = false;
        m_keptForNextLaunch = false;
    }
    m_changeCount = count;
    if (m_window)
        m_window->setDocumentEdited(isDocumentEdited());
    if (wasEdited != isDocumentEdited())
        emit documentEditedChanged(isDocumentEdited());
}

void TWDocument::clearChangeCount()
{
    setChangeCount(0);
}

// --- print settings ---

OrderedDictionary TWDocument::printInfoDictionary() const
{
    const TWMapsDoc *maps = m_mapsDocument.get();
    if (!maps || !maps->currentMap())
        return OrderedDictionary();
    return maps->currentMap()->printSetupDictionary();
}

void TWDocument::setPrintInfoDictionary(const OrderedDictionary &printInfo)
{
    if (!m_mapsDocument || !m_mapsDocument->currentMap())
        return;
    m_mapsDocument->currentMap()->setPrintSetupDictionary(printInfo);
    if (m_viewController)
        m_viewController->printInfoDidChange();
}

// --- observer recording ---

void TWDocument::addObserver(const QString &keyPath, const void *observer)
{
    if (m_bindings)
        (*m_bindings)[keyPath].append(observer);
}

void TWDocument::removeObserver(const QString &keyPath, const void *observer)
{
    if (!m_bindings)
        return;
    auto it = m_bindings->find(keyPath);
    if (it != m_bindings->end())
        it->removeOne(observer);
}

// --- the canvas's host ---

void TWDocument::selectDadoZizTitle()
{
    TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr;
    if (!map || !map->root() || !map->root()->enclosedTextArea())
        return;
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(map->root()->enclosedTextArea(), 0);
    if (TWGraphicView *view = graphicView())
        view->centerRoot();
}

void TWDocument::saveTheme()
{
    TWThemeManager::sharedThemeManager().showThemeSavePanel(
        m_mapsDocument ? m_mapsDocument->currentMap() : nullptr);
}

void TWDocument::addNewDefaultGraphicAtSavedLocation(Point location)
{
    if (TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr)
        map->publicCreateChildrenOfType(-1, std::nullopt, true, location);
}

void TWDocument::saveVisibleRectForCurrentMap()
{
    if (m_viewController)
        m_viewController->saveVisibleRectForCurrentMap();
}

void TWDocument::restoreVisibleRectForCurrentMap()
{
    installLayout();
    if (m_viewController)
        m_viewController->restoreVisibleRectForCurrentMap();
    syncZoomSlider();
}

void TWDocument::selectMapInMapsArrayController(const std::shared_ptr<TWMap> &) {}

// --- following the selection ---

std::optional<Font> TWDocument::selectedFont() const
{
    const TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr;
    if (!map || map->countOfSelectedGraphics() == 0)
        return std::nullopt;
    // A selected branch is its shape as often as its label: both mean the label.
    const std::shared_ptr<TWGraphic> first = map->selectedGraphics().first();
    std::shared_ptr<TWTextArea> textArea = std::dynamic_pointer_cast<TWTextArea>(first);
    if (const TWMapBranch *branch = first->branch();
        branch && first == branch->mainGraphic() && branch->enclosedTextArea())
        textArea = branch->enclosedTextArea();
    if (!textArea || textArea->text().isEmpty())
        return std::nullopt;
    const QVariant font = textArea->text().attribute(NSFontAttributeName, 0);
    return font.canConvert<Font>() ? std::optional<Font>(font.value<Font>()) : std::nullopt;
}

void TWDocument::orderFrontFontPanel()
{
    FontPanel &panel = FontPanel::shared();
    const QPointer<TWDocument> guarded(this);
    panel.setTarget(m_window, [guarded](FontPanel &from) {
        const Font font = from.convertFont(Font());
        if (guarded && guarded->graphicView() && !font.isNull())
            guarded->graphicView()->actionRouter().sendAction(QStringLiteral("changeFont:"),
                                                              QVariant::fromValue(font));
    });
    if (const std::optional<Font> font = selectedFont())
        panel.setSelectedFont(*font);
    panel.orderFront(m_window);
}

QMetaObject::Connection TWDocument::connectSelectedMapsChanged(QObject *receiver,
                                                               std::function<void()> slot)
{
    return connect(this, &TWDocument::selectedMapsChanged, receiver, std::move(slot));
}

void TWDocument::scaleToFitMapOnSinglePage()
{
    if (m_viewController)
        m_viewController->scaleToFitMapOnSinglePage();
}

void TWDocument::selectionChanged(const Notification &notification)
{
    TWMap *map = m_mapsDocument ? m_mapsDocument->currentMap().get() : nullptr;
    if (!map || notification.sender.identity() != map)
        return;
    if (const std::optional<Font> font = selectedFont())
        emit selectedFontChanged(QVariant::fromValue(*font));
}
