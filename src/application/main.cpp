#include "application/ApplicationMenus.h"
#include "application/DialogAlerts.h"
#include "application/DocumentController.h"
#include "application/DocumentHandOver.h"
#include "application/EditionTraits.h"
#include "application/ExchangeReaders.h"
#include "application/KeptDocuments.h"
#include "application/Startup.h"
#include "application/TWApplication.h"
#include "application/TWDocument.h"
#include "application/TWExportMenu.h"
#include "application/TWImportController.h"
#include "application/TWOutlinerImportDocuments.h"
#include "canvas/TWGraphicView.h"
#include "platform/SpellChecker.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QEvent>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#ifndef THINKWEB_VERSION
#define THINKWEB_VERSION "0"
#endif

namespace {
// Quits once the first document's canvas has painted: how long start-up
// takes is measured with it. Nothing is asked on the way out: an imported
// outline's unsaved document is dropped like a new one.
const QString QuitAfterFirstPaintOption = QStringLiteral("--quit-after-first-paint");

class QuitAfterFirstPaint : public QObject
{
public:
    explicit QuitAfterFirstPaint(TWDocumentController &documents) : m_documents(documents) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_quitting) {
            m_quitting = true;
            // After this paint has been drawn; out of every event loop,
            // also of a start-up alert's that may be showing.
            QTimer::singleShot(0, qApp, [this] {
                for (Document *open : m_documents.documents())
                    if (auto *document = qobject_cast<TWDocument *>(open))
                        document->clearChangeCount();
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TWDocumentController &m_documents;
    bool m_quitting = false;
};
} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    QStringList arguments;
    bool quitAfterFirstPaint = false;
    for (int i = 0; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (i > 0 && argument == QuitAfterFirstPaintOption)
            quitAfterFirstPaint = true;
        else
            arguments << argument;
    }
    const QString program = QFileInfo(arguments.value(0, QStringLiteral("thinkweb"))).fileName();

    // The edition decides the settings, which must be in place before the
    // application object starts.
    const CommandLine early = CommandLine::parse(arguments);
    if (!early.error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(early.error));
        return 2;
    }
    const EditionTraits &traits = EditionTraits::forEdition(early.edition);
    UserDefaults defaults(traits.settingsPath());
    UserDefaults::Scope scope(&defaults);
    TWPreferences::registerDefaults();

    auto documents = std::make_unique<TWDocumentController>();
    ApplicationServices services = ApplicationServices::standard();
    services.documentController = documents.get();
    services.keptDocumentsFolder = KeptDocuments::defaultFolder(traits.programName);
    // The outline and MindManager readers plug in here as they come.
    TWImportController importer(*documents);
    services.importers = &importer;
    TWExportMenu exporter(*documents);
    services.exporters = &exporter;
    TWOutlinerImportDocuments outlinerDocuments(*documents);
    outlinerDocuments.install(importer);
    installExchangeReaders(importer);

    QCoreApplication::setApplicationVersion(QStringLiteral(THINKWEB_VERSION));
    const std::unique_ptr<TWApplication> app =
        TWApplication::create(traits.edition, argc, argv, std::move(services));
    DialogAlerts alerts;
    Alerts::Scope alertsScope(&alerts);

    // The toolkit has taken its own options out by now.
    QStringList remaining = app->arguments();
    remaining.removeAll(QuitAfterFirstPaintOption);
    const CommandLine line = CommandLine::parse(remaining);
    if (!line.unknownOptions.isEmpty()) {
        std::fprintf(stderr, "%s: unknown option %s\n", qPrintable(program),
                     qPrintable(line.unknownOptions.first()));
        return 2;
    }

    // One program of an edition on the desktop: a later launch hands its
    // files to the one running and ends, so that no file is open in two of
    // them. A timing run measures a start-up of its own.
    DocumentHandOver handOver;
    QStringList files = line.files;
    if (!quitAfterFirstPaint && !files.isEmpty()) {
        // A file open in the other edition's program is shown there rather
        // than opened a second time here.
        const EditionTraits &other = EditionTraits::forEdition(
            traits.edition == Edition::Compact ? Edition::Deluxe : Edition::Compact);
        const QStringList shown = DocumentHandOver::handOverOpenFilesOnSessionBus(
            DocumentHandOver::serviceNameFor(other.applicationIdentifier), files);
        files.removeIf([&shown](const QString &file) {
            return shown.contains(QFileInfo(file).absoluteFilePath());
        });
        if (files.isEmpty())
            return 0;
    }
    if (!quitAfterFirstPaint &&
        handOver.startOnSessionBus(DocumentHandOver::serviceNameFor(traits.applicationIdentifier),
                                   files) == DocumentHandOver::Outcome::HandedOver)
        return 0;
    handOver.setReceiver([&app](const QStringList &files) { app->openHandedOverFiles(files); });
    handOver.setOpenQuery([&documents](const QString &file) {
        return documents->documentForPath(file) != nullptr;
    });
    // An ending program takes no more files: later launches run on their own.
    QObject::connect(app.get(), &QCoreApplication::aboutToQuit, &handOver,
                     [&handOver] { handOver.stop(); });
    const std::jthread dictionary = SpellChecker::loadInBackground();

    QuitAfterFirstPaint quitter(*documents);
    if (quitAfterFirstPaint) {
        QObject::connect(documents.get(), &TWDocumentController::documentAdded, &quitter,
                         [&quitter](TWDocument *document) {
                             if (TWGraphicView *view = document->graphicView())
                                 view->viewport()->installEventFilter(&quitter);
                         });
    }

    app->finishLaunching(files);
    // Started without files nor kept work: a new untitled document, as a
    // user expects.
    if (files.isEmpty() && documents->documents().isEmpty() && !app->isEnding())
        documents->newDocument();
    // Nothing could be opened: a window with the menus keeps the program
    // usable. A signal that ended the launch ends the program as it starts.
    std::unique_ptr<ApplicationMenuWindow> menuWindow;
    if (documents->documents().isEmpty() && !app->isEnding()) {
        menuWindow = std::make_unique<ApplicationMenuWindow>(*app);
        menuWindow->show();
    }
    const int status = app->exec();
    // Windows go before the application object.
    menuWindow.reset();
    documents.reset();
    return status;
}
