#include "application/TWApplication.h"

#include "application/DocumentController.h"
#include "application/KeptDocuments.h"
#include "application/LinkBackBus.h"
#include "application/LinkBackRegistry.h"
#include "application/TWDocument.h"
#include "application/TWHelpViewer.h"
#include "application/TWSaveProgress.h"
#include "application/WindowSystem.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWFindController.h"
#include "graphics/TWMapUtilities.h"
#include "palettes/TWFloatingPalettesController.h"
#include "palettes/TWStyleViewDocument.h"
#include "platform/Alerts.h"
#include "platform/Document.h"
#include "platform/Random.h"
#include "platform/TWLocalizedString.h"
#include "platform/UserDefaults.h"
#include "render/TWTextLayout.h"
#include "support/TWPreferences.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimeZone>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <iterator>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

namespace {
// The application object that joined the session bus for LinkBack.
const TWApplication *g_linkBackBusOwner = nullptr;
// The longest period a timer can hold, in whole minutes.
constexpr long long MaxAutoSaveMinutes = INT_MAX / 60000;

UserDefaults &defaults()
{
    return UserDefaults::standard();
}

// The signals that end the program unasked: kill's default, the terminal
// closing, Ctrl+C. They reach the event loop through a pipe: nothing else
// may be done in a signal handler.
constexpr int EndingSignals[] = {SIGTERM, SIGHUP, SIGINT};
int g_terminationPipe[2] = {-1, -1};
struct sigaction g_previousActions[std::size(EndingSignals)];

void onTermination(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_terminationPipe[1], &byte, 1);
    errno = savedErrno;
}

#if QT_CONFIG(sessionmanager)
class SessionManagerRequest : public SessionEndRequest
{
public:
    explicit SessionManagerRequest(QSessionManager &manager) : m_manager(manager) {}
    bool allowsInteraction() override { return m_manager.allowsInteraction(); }
    void cancel() override { m_manager.cancel(); }
    void release() override { m_manager.release(); }

private:
    QSessionManager &m_manager;
};
#endif
} // namespace

TWApplication::TWApplication(int &argc, char **argv, ApplicationServices services,
                             const EditionTraits &traits)
    : QApplication(argc, argv), m_traits(traits), m_services(std::move(services))
{
    setOrganizationName(QStringLiteral("Thinkweb"));
    setApplicationName(m_traits.applicationName);
    setDesktopFileName(m_traits.programName);
    m_templateRevertTimer.setSingleShot(true);
    m_templateRevertTimer.setInterval(RevertTemplateSettingDelay);
    connect(&m_templateRevertTimer, &QTimer::timeout, this, [this] {
        if (m_templateSetting)
            revertTemplateSetting(*std::exchange(m_templateSetting, std::nullopt));
    });
    createActions();
    init();
}

TWApplication::~TWApplication()
{
    // Quitting within the second after a new document must not leave the
    // user's template setting overridden.
    if (m_templateSetting)
        revertTemplateSetting(*m_templateSetting);
    if (m_publishedLinkBackServer && LinkBackRegistry::shared().server(LinkBackServerName) == this)
        LinkBackRegistry::shared().retractServer(LinkBackServerName);
    if (g_linkBackBusOwner == this) {
        LinkBackBus::shared().stop();
        g_linkBackBusOwner = nullptr;
    }
    m_saveTimer.reset();
    for (size_t i = 0; i < std::size(EndingSignals); ++i)
        sigaction(EndingSignals[i], &g_previousActions[i], nullptr);
    // The next application object asks again.
    Alerts::resumeQuestions();
    // Its panels close before the windows of this object are torn down.
    m_findController.reset();
}

TWApplication *TWApplication::shared()
{
    return qobject_cast<TWApplication *>(QCoreApplication::instance());
}

void TWApplication::init()
{
    // Colour dialogs offer opacity where they are made; the application
    // object handles its own events, so it needs no delegate.
    connect(&defaults(), &UserDefaults::changed, this, [this](const QString &key) {
        if (key == TWPreferences::AutoSaveSwitchKey || key == TWPreferences::AutoSaveTimeKey)
            updateAutoSave();
    });
    m_willCloseObserver = NotificationCenter::defaultCenter().observe(
        Document::WillCloseNotification, nullptr,
        [this](const Notification &n) { documentWillClose(n); });
    m_windowSystem = m_services.windowSystem;
    if (!m_windowSystem) {
        m_ownWindowSystem = std::make_unique<DesktopWindowSystem>();
        m_windowSystem = m_ownWindowSystem.get();
    }
    connect(m_windowSystem, &WindowSystem::mainWindowChanged, this,
            &TWApplication::updateCurrentlyActiveDocument);

    handleSessionEnd();

    const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    Random::seed(quint32(reference.secsTo(QDateTime::currentDateTimeUtc())));

    // Find and spelling work on the document the user works in.
    m_findController = std::make_unique<TWFindController>();
    TWFindController::setApplicationController(m_findController.get());
    TWFindController::setActiveDocumentProvider([]() -> TWCanvasHost * {
        TWApplication *application = shared();
        return application ? dynamic_cast<TWCanvasHost *>(application->currentlyActiveDocument())
                           : nullptr;
    });
    // So do the palettes: the style editors ask for it, the floating
    // palettes are told of each change.
    TWStyleViewDocument::setActiveProvider([] {
        TWApplication *application = shared();
        return TWStyleViewDocument::of(
            application ? qobject_cast<TWDocument *>(application->currentlyActiveDocument())
                        : nullptr);
    });
    connect(this, &TWApplication::currentlyActiveDocumentChanged, this, [](Document *document) {
        if (TWFloatingPalettesController *palettes =
                TWFloatingPalettesController::existingSharedController())
            palettes->activeDocumentChanged(qobject_cast<TWDocument *>(document));
    });

    if (!m_services.keptDocumentsFolder.isEmpty())
        m_keptDocuments = std::make_unique<KeptDocuments>(m_services.keptDocumentsFolder);
    updateAutoSave();
    if (m_services.launchCrashReporter)
        m_services.launchCrashReporter(CompanyName, DefectReportAddress);
    defaults().registerDefaults({{FeedURLKey, feedURL()}});
}

QString TWApplication::feedURL() const
{
    QString base = defaults().stringForKey(TWPreferences::ServerBaseURLKey).trimmed();
    while (base.endsWith(u'/'))
        base.chop(1);
    const auto encoded = [](const QString &s) {
        return QString::fromLatin1(QUrl::toPercentEncoding(s));
    };
    return base + QStringLiteral("/Updates/update.php?osType=Mac&osVersion=10.5&productType=") +
           encoded(m_traits.productType) + QStringLiteral("&productVersion=") +
           encoded(applicationVersion());
}

void TWApplication::finishLaunching(const QStringList &files)
{
    awakeFromNib();
    applicationDidFinishLaunching();
    for (const QString &file : files) {
        // Ended by a signal while a file's alert showed: nothing more opens.
        if (m_ending)
            return;
        const QString path = QFileInfo(file).absoluteFilePath();
        if (!openFile(path))
            qWarning("%s: cannot open %s", qPrintable(m_traits.programName), qPrintable(path));
    }
    if (auto *controller = dynamic_cast<TWDocumentController *>(m_services.documentController);
        controller && !m_ending)
        reopenKeptDocuments(*controller);
}

void TWApplication::reopenKeptDocuments(TWDocumentController &controller)
{
    const QString notice = m_keptDocuments ? m_keptDocuments->reopen(controller) : QString();
    if (notice.isEmpty())
        return;
    // Once the event loop runs, over the windows it opened.
    QTimer::singleShot(0, this, [notice] {
        Alerts::current().runAlertPanel(
            TWLocalizedString(StringTable::DadoZiz, "Unsaved work is open again"), notice,
            {TWLocalizedString(StringTable::General, "OK")});
    });
}

void TWApplication::awakeFromNib()
{
    if (m_traits.floatingPalettes && m_services.floatingPalettes) {
        m_services.floatingPalettes();
        if (TWFloatingPalettesController *palettes =
                TWFloatingPalettesController::existingSharedController())
            palettes->activeDocumentChanged(qobject_cast<TWDocument *>(currentlyActiveDocument()));
    }
}

void TWApplication::applicationDidFinishLaunching()
{
    TWTextLayout container;
    container.setContainerSize(Size(999, 999));
    TWMapUtilities::setDefaultLineFragmentPadding(container.lineFragmentPadding());
    m_publishedLinkBackServer = LinkBack::publishServerWithName(LinkBackServerName, this);
    if (!m_publishedLinkBackServer)
        qWarning("LinkBack: another server already answers to %s", qPrintable(LinkBackServerName));
    // Other running programs reach the server through the session bus, when
    // there is one; without it LinkBack stays within this program.
    if (m_publishedLinkBackServer && !LinkBackBus::shared().isConnected() &&
        LinkBackBus::shared().startOnSessionBus())
        g_linkBackBusOwner = this;
    applicationWindowsAwakeFromNib();
}

bool TWApplication::openFile(const QString &path)
{
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension == u"tweb") {
        DocumentController *controller = m_services.documentController;
        return controller && controller->openDocument(QUrl::fromLocalFile(path), true);
    }
    using Import = void (Importers::*)(const QString &);
    Import import = nullptr;
    // What File › Import opens, by the same extensions.
    if (extension == u"mmap" || extension == u"xml")
        import = &Importers::importMindManagerFileAtPath;
    else if (extension == u"opml")
        import = &Importers::importOPMLFileAtPath;
    else if (extension == u"oo3" || extension == u"ooutline")
        import = &Importers::importOmniOutlineFileAtPath;
    // A refusal names the file and says why, whether it came from a panel or
    // the command line.
    const auto refuse = [&path](const QString &why) {
        Alerts::current().runAlertPanel(
            TWLocalizedString(StringTable::DadoZiz, "The document “%1” could not be opened.")
                .arg(QFileInfo(path).fileName()),
            why, {TWLocalizedString(StringTable::General, "OK")});
        return false;
    };
    if (!import)
        return refuse(TWLocalizedString(StringTable::DadoZiz,
                                        "Thinkweb does not know this kind of file. It opens "
                                        "Thinkweb documents (.tweb) and imports .opml, .oo3, "
                                        ".ooutline, .mmap and .xml files."));
    if (!m_services.importers)
        return refuse(TWLocalizedString(StringTable::DadoZiz,
                                        "Importing files of this kind is not available here."));
    // An import reports its own failures.
    (m_services.importers->*import)(path);
    return true;
}

void TWApplication::openHandedOverFiles(const QStringList &paths)
{
    // A question, or an import or export in progress, is seen through
    // first: the files wait for it.
    if (activeModalWidget()) {
        QTimer::singleShot(HandOverRetryDelay, this,
                           [this, paths] { openHandedOverFiles(paths); });
        return;
    }
    if (paths.isEmpty()) {
        if (m_services.documentController)
            m_services.documentController->newDocument();
        return;
    }
    for (const QString &path : paths)
        openFile(path);
}

bool TWApplication::terminate()
{
    // The window in front asks first, as the user sees them.
    QList<QPointer<Document>> open;
    for (Document *document : orderedDocuments())
        open << document;
    for (const QPointer<Document> &document : std::as_const(open)) {
        if (!document)
            continue;
        if (QWidget *window = document->mainWindow()) {
            if (!window->close())
                return false;
        } else {
            document->close();
        }
    }
    quit();
    return true;
}

void TWApplication::handleSessionEnd()
{
    // A write past a file-size limit fails with EFBIG, as any failed write,
    // instead of ending the program with the document unsaved.
    std::signal(SIGXFSZ, SIG_IGN);
    if (g_terminationPipe[0] < 0 && pipe2(g_terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_terminationPipe[0] = g_terminationPipe[1] = -1;
    if (g_terminationPipe[0] >= 0) {
        auto *notifier = new QSocketNotifier(g_terminationPipe[0], QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] {
            char bytes[16];
            while (read(g_terminationPipe[0], bytes, sizeof bytes) > 0) {
            }
            endWithoutQuestions();
        });
        struct sigaction action{};
        action.sa_handler = onTermination;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (size_t i = 0; i < std::size(EndingSignals); ++i)
            sigaction(EndingSignals[i], &action, &g_previousActions[i]);
    }
#if QT_CONFIG(sessionmanager)
    connect(this, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &manager) {
        SessionManagerRequest request(manager);
        commitSessionData(request);
    });
#endif
}

void TWApplication::commitSessionData(SessionEndRequest &request)
{
    QList<QPointer<Document>> open;
    for (Document *document : orderedDocuments())
        open << document;
    if (!request.allowsInteraction()) {
        for (const QPointer<Document> &document : std::as_const(open))
            if (document)
                document->keepChangesUnasked();
        m_sessionAnswered = true;
        return;
    }
    // The window in front asks first, as Quit asks.
    for (const QPointer<Document> &document : std::as_const(open)) {
        if (document && !document->reviewUnsavedChanges()) {
            m_sessionAnswered = false;
            request.cancel();
            request.release();
            return;
        }
    }
    m_sessionAnswered = true;
    request.release();
}

void TWApplication::endWithoutQuestions()
{
    // A second signal changes nothing.
    if (std::exchange(m_ending, true))
        return;
    Alerts::endQuestions();
    endOnceNoSaveRuns();
}

void TWApplication::endOnceNoSaveRuns()
{
    // A save under way ends first: its document is being written.
    if (TWSaveProgress::isRunning()) {
        TWSaveProgress::whenNoSaveRuns(this, [this] { endOnceNoSaveRuns(); });
        return;
    }
    QList<QPointer<Document>> open;
    for (Document *document : orderedDocuments())
        open << document;
    // What the user answered as the session began to end stands.
    if (!m_sessionAnswered)
        for (const QPointer<Document> &document : std::as_const(open))
            if (document)
                document->keepChangesUnasked();
    // Closed without a question: what could be kept is kept.
    for (const QPointer<Document> &document : std::as_const(open))
        if (document)
            document->close();
    // Once every event loop of the questions ended has been left, and once
    // the program's own runs when it ended while launching.
    QMetaObject::invokeMethod(this, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
}

bool TWApplication::event(QEvent *event)
{
    // The session ends the program after the user answered for each
    // document: the windows close without asking again.
    if (event->type() == QEvent::Quit && m_sessionAnswered) {
        QList<QPointer<Document>> open;
        for (Document *document : documents())
            open << document;
        for (const QPointer<Document> &document : std::as_const(open))
            if (document)
                document->close();
    }
    const bool handled = QApplication::event(event);
    // Nothing keeps an ending program, not a window that will not close.
    if (event->type() == QEvent::Quit && m_ending)
        exit(0);
    return handled;
}

// --- the active document ---

void TWApplication::setCurrentlyActiveDocument(Document *document)
{
    if (m_currentlyActiveDocument == document)
        return;
    disconnect(m_activeDocumentGone);
    m_currentlyActiveDocument = document;
    // A document freed without closing its window must not stay announced.
    if (document)
        m_activeDocumentGone = connect(document, &QObject::destroyed, this,
                                       [this] { emit currentlyActiveDocumentChanged(nullptr); });
    emit currentlyActiveDocumentChanged(document);
}

QList<Document *> TWApplication::documents() const
{
    return m_services.documentController ? m_services.documentController->documents()
                                         : QList<Document *>();
}

QList<Document *> TWApplication::orderedDocuments() const
{
    const QList<Document *> open = documents();
    QList<Document *> ordered;
    for (QWidget *window : m_windowSystem->orderedWindows()) {
        Document *document = Document::forWindow(window);
        if (document && open.contains(document) && !ordered.contains(document))
            ordered.append(document);
    }
    // Documents without a visible window come last, in the controller's order.
    for (Document *document : open)
        if (!ordered.contains(document))
            ordered.append(document);
    return ordered;
}

void TWApplication::forgetDocumentController(const DocumentController *controller)
{
    if (m_services.documentController == controller)
        m_services.documentController = nullptr;
}

void TWApplication::updateCurrentlyActiveDocument()
{
    if (DocumentController *controller = m_services.documentController) {
        if (Document *current = controller->currentDocument()) {
            setCurrentlyActiveDocument(current);
            return;
        }
    }
    const QList<Document *> open = documents();
    for (QWidget *window : m_windowSystem->orderedWindows()) {
        Document *document = Document::forWindow(window);
        if (document && open.contains(document)) {
            setCurrentlyActiveDocument(document);
            return;
        }
    }
    setCurrentlyActiveDocument(Document::forWindow(m_windowSystem->mainWindow()));
}

void TWApplication::documentWillClose(const Notification &notification)
{
    if (m_currentlyActiveDocument && notification.sender == m_currentlyActiveDocument.data())
        setCurrentlyActiveDocument(nullptr);
}

// --- autosave ---

void TWApplication::updateAutoSave()
{
    m_saveTimer.reset();
    if (!defaults().boolForKey(TWPreferences::AutoSaveSwitchKey))
        return;
    // A period under a minute would save without pause.
    const long long minutes = std::clamp(defaults().integerForKey(TWPreferences::AutoSaveTimeKey),
                                         1LL, MaxAutoSaveMinutes);
    m_saveTimer = std::make_unique<QTimer>();
    m_saveTimer->setInterval(int(minutes * 60000));
    connect(m_saveTimer.get(), &QTimer::timeout, this, &TWApplication::autoSaveDocuments);
    m_saveTimer->start();
}

void TWApplication::autoSaveDocuments()
{
    // Only documents with somewhere to go (a file of their own, or the
    // program that embeds them) and changes to keep: saving others would ask
    // for a place every period or rewrite unchanged files.
    QList<QPointer<Document>> open;
    for (Document *document : documents())
        open << document;
    for (const QPointer<Document> &document : std::as_const(open))
        if (document && (!document->fileName().isEmpty() || document->savesElsewhere()) &&
            document->isDocumentEdited())
            document->autosaveDocument();
}

// --- new document from a template ---

void TWApplication::newDocumentFromTemplate()
{
    const QString key = TWPreferences::ShowTemplatesPanelWhenCreatingMapsKey;
    // A second request within the delay keeps the value the user had.
    if (!m_templateSetting)
        m_templateSetting =
            defaults().hasStoredValue(key) ? defaults().objectForKey(key) : QVariant();
    defaults().setBool(true, key);
    if (m_services.documentController)
        m_services.documentController->newDocument();
    m_templateRevertTimer.start();
}

void TWApplication::revertTemplateSetting(const QVariant &value)
{
    // An invalid value removes the user's, which restores the registered default.
    defaults().setObject(value, TWPreferences::ShowTemplatesPanelWhenCreatingMapsKey);
}

// --- accessibility ---

QVariant TWApplication::accessibilityAttributeValue(const QString &attribute) const
{
    if (attribute == u"AXWindows") {
        QList<QWidget *> windows;
        for (Document *document : documents())
            if (QWidget *window = document->mainWindow())
                windows << window;
        return QVariant::fromValue(windows);
    }
    if (attribute == u"AXMainWindow") {
        return QVariant::fromValue(
            m_currentlyActiveDocument ? m_currentlyActiveDocument->mainWindow() : nullptr);
    }
    return {};
}

// --- LinkBack server ---

void TWApplication::linkBackClientDidRequestEdit(LinkBack *link)
{
    // An item already being edited: bring its document to the front.
    if (link->representedObject().isValid()) {
        auto *document = qobject_cast<Document *>(link->representedObject().value<QObject *>());
        if (QWidget *window = document ? document->mainWindow() : nullptr) {
            window->raise();
            window->activateWindow();
        }
        return;
    }
    TWDocument *document = TWDocument::openLinkBackEdit(
        link, dynamic_cast<TWDocumentController *>(m_services.documentController));
    if (QWidget *window = document ? document->mainWindow() : nullptr) {
        window->raise();
        window->activateWindow();
    }
}

void TWApplication::linkBackServerDidSendEdit(LinkBack *) {}

void TWApplication::linkBackDidClose(LinkBack *link)
{
    if (auto *document = qobject_cast<Document *>(link->representedObject().value<QObject *>())) {
        // The link is over: closing must not try to end it again.
        if (auto *editor = qobject_cast<TWDocument *>(document))
            editor->setLinkBack(nullptr);
        document->close();
    }
}
