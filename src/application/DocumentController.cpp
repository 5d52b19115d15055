#include "application/DocumentController.h"

#include "application/ApplicationMenus.h"
#include "application/TWApplication.h"
#include "application/TWDocument.h"
#include "application/TWDocumentWindow.h"
#include "application/TWExportMenu.h"
#include "application/TWMenuDispatcher.h"
#include "application/TWToolbarController.h"
#include "canvas/TWGraphicView.h"
#include "model/TWBranchReadDamage.h"
#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace {
QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

// Said once when a document opens with branches that could not be read as
// stored, before the user edits and saves what is shown.
void reportDamagedBranches(const QString &path, int mended, int leftOut, int pictures)
{
    if (mended <= 0 && leftOut <= 0 && pictures <= 0)
        return;
    QString picturesSaid;
    if (pictures == 1)
        picturesSaid = dadoZiz("One picture's data is cut short or damaged: it cannot be shown, "
                               "and is kept as it was read.");
    else if (pictures > 1)
        picturesSaid = dadoZiz("%1 pictures' data is cut short or damaged: they cannot be "
                               "shown, and are kept as they were read.")
                           .arg(pictures);
    if (mended <= 0 && leftOut <= 0) {
        Alerts::current().runAlertPanel(
            dadoZiz("The document “%1” is damaged: not every picture in it can be shown.")
                .arg(QFileInfo(path).fileName()),
            picturesSaid, {TWLocalizedString(StringTable::General, "OK")});
        return;
    }
    QStringList said;
    if (mended == 1)
        said << dadoZiz("One branch has a shape, label or connection that Thinkweb cannot read: "
                        "it has been given a plain one and keeps the branches below it.");
    else if (mended > 1)
        said << dadoZiz("%1 branches have a shape, label or connection that Thinkweb cannot "
                        "read: they have been given plain ones and keep the branches below them.")
                    .arg(mended);
    if (leftOut == 1)
        said << dadoZiz("One branch lacks its shape, label or number and has been left out.");
    else if (leftOut > 1)
        said << dadoZiz("%1 branches have been left out: a branch that lacks its shape, label or "
                        "number goes with the branches below it.")
                    .arg(leftOut);
    if (!picturesSaid.isEmpty())
        said << picturesSaid;
    said << dadoZiz("Check the map before you save it over the file.");
    Alerts::current().runAlertPanel(
        dadoZiz("The document “%1” is damaged: %2 of its branches could not be opened as saved.")
            .arg(QFileInfo(path).fileName())
            .arg(mended + leftOut),
        said.join(u' '), {TWLocalizedString(StringTable::General, "OK")});
}

QString canonicalPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}
} // namespace

TWDocumentController::TWDocumentController(QObject *parent) : QObject(parent)
{
    m_willCloseObserver = NotificationCenter::defaultCenter().observe(
        Document::WillCloseNotification, nullptr,
        [this](const Notification &n) { documentWillClose(n); });
}

TWDocumentController::~TWDocumentController()
{
    // Windows closing below change the active window, which the
    // application answers by asking for the current document.
    if (TWApplication *application = TWApplication::shared())
        application->forgetDocumentController(this);
    m_willCloseObserver = ObserverToken();
    m_documents.clear();
    // A deferred delete posted from within nested event delivery waits for
    // an event loop at that level, which may never run again.
    for (const QPointer<TWDocument> &closed : std::exchange(m_closing, {}))
        delete closed.data();
}

QList<Document *> TWDocumentController::documents() const
{
    QList<Document *> list;
    for (const auto &document : m_documents)
        list << document.get();
    return list;
}

Document *TWDocumentController::currentDocument() const
{
    // A sheet or panel in front belongs to the document window under it.
    for (QWidget *window = QApplication::activeWindow(); window; window = window->parentWidget()) {
        Document *document = Document::forWindow(window->window());
        if (document && documents().contains(document))
            return document;
    }
    return nullptr;
}

TWDocument *TWDocumentController::documentForPath(const QString &path) const
{
    const QString wanted = canonicalPath(path);
    for (const auto &document : m_documents)
        if (!document->fileName().isEmpty() && canonicalPath(document->fileName()) == wanted)
            return document.get();
    return nullptr;
}

Document *TWDocumentController::newDocument()
{
    return addDocument(TWDocument::makeUntitled(), true);
}

Document *TWDocumentController::openDocument(const QUrl &url, bool display)
{
    const QString path = url.toLocalFile();
    if (TWDocument *open = documentForPath(path)) {
        if (display && m_showsWindows)
            open->showWindows();
        return open;
    }
    std::unique_ptr<TWDocument> document = TWDocument::makeForEdition();
    TWDocument::LoadError error;
    bool read = false;
    int mended = 0;
    int leftOut = 0;
    int pictures = 0;
    {
        const TWBranchReadDamage damage;
        read = document->readFromFile(path, TWDocument::DocumentType, &error);
        mended = damage.mended();
        leftOut = damage.leftOut();
        pictures = damage.damagedPictures();
    }
    if (!read) {
        Alerts::current().runAlertPanel(
            dadoZiz("The document “%1” could not be opened.").arg(QFileInfo(path).fileName()),
            error.reason, {TWLocalizedString(StringTable::General, "OK")});
        return nullptr;
    }
    TWDocument *opened = addDocument(std::move(document), display);
    reportDamagedBranches(path, mended, leftOut, pictures);
    return opened;
}

TWDocument *TWDocumentController::addDocument(std::unique_ptr<TWDocument> document, bool display)
{
    if (!document)
        return nullptr;
    TWDocument *added = document.get();
    m_documents.push_back(std::move(document));
    added->makeWindowControllers();
    installMenuBar(added);
    // The edition's toolbar; a build of neither edition has none.
    if (TWApplication *application = TWApplication::shared())
        TWToolbarController::installToolbar(added, application->traits().edition);
    emit documentAdded(added);
    if (display && m_showsWindows)
        added->showWindows();
    return added;
}

void TWDocumentController::addFileMenu(TWDocument *document, QMenuBar *menuBar)
{
    QMenu *file = menuBar->addMenu(dadoZiz("File"));
    file->addAction(dadoZiz("New"), QKeySequence::New, this, [this] { newDocument(); });
    file->addAction(dadoZiz("Open..."), QKeySequence::Open, this,
                    [this] { openDocumentWithPanel(); });
    file->addSeparator();
    file->addAction(dadoZiz("Close"), QKeySequence::Close, document, [document] {
        if (QWidget *window = document->mainWindow())
            window->close();
    });
    file->addAction(dadoZiz("Save"), QKeySequence::Save, document,
                    [document] { document->save(); });
    // Some desktops give Save As no key of their own; then the common one.
    QList<QKeySequence> saveAsKeys = QKeySequence::keyBindings(QKeySequence::SaveAs);
    if (saveAsKeys.isEmpty())
        saveAsKeys = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)};
    QAction *saveAs = file->addAction(dadoZiz("Save As..."), document,
                                      [document] { document->saveAs(); });
    saveAs->setShortcuts(saveAsKeys);
    TWMenuDispatcher *dispatcher = document->menuDispatcher();
    dispatcher->addAction(file, dadoZiz("Revert to Saved"),
                          QStringLiteral("revertDocumentToSaved:"));
    dispatcher->validateBeforeShowing(file);
    file->addSeparator();
    file->addAction(dadoZiz("Page Setup..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
                    document, [document] { document->runPageLayout(); });
    file->addAction(dadoZiz("Print..."), QKeySequence::Print, document,
                    [document] { document->printDocument(); });
    file->addSeparator();
    addImportMenu(file, *dispatcher);
    if (TWApplication *application = TWApplication::shared())
        if (application->services().exporters)
            TWExportMenu::addExportMenu(file, *dispatcher);
}

void TWDocumentController::installMenuBar(TWDocument *document)
{
    TWDocumentWindow *window = document->documentWindow();
    if (!window)
        return;
    const QPointer<TWDocument> guarded(document);
    // The focused widget, the canvas (its editor, then itself), the document,
    // then the application's importers.
    auto *dispatcher = new TWMenuDispatcher(
        [guarded] {
            QList<TWMenuDispatcher::Link> chain;
            if (!guarded)
                return chain;
            if (TWMenuResponder *focused = focusedMenuResponder(guarded->documentWindow()))
                chain.append({focused, nullptr});
            if (TWGraphicView *view = guarded->graphicView())
                chain.append({nullptr, &view->actionRouter()});
            chain.append({guarded.data(), nullptr});
            if (TWApplication *application = TWApplication::shared())
                if (auto *importers =
                        dynamic_cast<TWMenuResponder *>(application->services().importers))
                    chain.append({importers, nullptr});
            if (TWApplication *application = TWApplication::shared())
                if (TWMenuResponder *exporters = application->services().exporters)
                    chain.append({exporters, nullptr});
            return chain;
        },
        window);
    document->setMenuDispatcher(dispatcher);
    addFileMenu(document, window->menuBar());
    addDocumentMenus(window->menuBar(), *dispatcher);
    document->addEditionMenus(window->menuBar(), *dispatcher);
    if (TWApplication *application = TWApplication::shared())
        addApplicationMenus(window->menuBar(), *application);
}

void TWDocumentController::openDocumentWithPanel()
{
    Alerts::OpenPanelOptions options;
    options.title = dadoZiz("Open");
    options.fileTypes = {QStringLiteral("tweb"), QStringLiteral("TWEB")};
    options.allowsMultipleSelection = true;
    for (const QString &path : Alerts::current().runOpenPanel(options)) {
        // Other kinds of files go to their importers.
        if (TWApplication *application = TWApplication::shared())
            application->openFile(path);
        else
            openDocument(QUrl::fromLocalFile(path), true);
    }
}

void TWDocumentController::revertDocument(TWDocument *document)
{
    if (document)
        document->revertDocumentToSaved();
}

void TWDocumentController::documentWillClose(const Notification &notification)
{
    for (auto it = m_documents.begin(); it != m_documents.end(); ++it) {
        if (it->get() != notification.sender.identity())
            continue;
        // Freed once the close has run its course.
        TWDocument *closing = it->release();
        m_documents.erase(it);
        std::erase_if(m_closing, [](const QPointer<TWDocument> &d) { return d.isNull(); });
        m_closing.emplace_back(closing);
        closing->deleteLater();
        return;
    }
}
