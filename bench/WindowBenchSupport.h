#pragma once

// What the document-window benchmarks share: maps made as users make them
// (an outline imported and laid out by the program, and the document saved
// from it), opened in real document windows, and the event loop run until
// what changed has been painted.

#include "application/DocumentController.h"
#include "application/TWDocument.h"
#include "application/TWDocumentWindow.h"
#include "application/TWImportController.h"
#include "canvas/TWGraphicView.h"
#include "exchange/TWOPMLImportExport.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWBranchSuggestionPaletteController.h"
#include "palettes/TWDockedPalettesController.h"
#include "palettes/TWGraphicBindingController.h"
#include "palettes/TWGraphicStyleController.h"
#include <QMenu> // what the style headers leave to their includer
#include "palettes/TWStyleView.h"
#include "palettes/TWMapStyleController.h"
#include "palettes/TWNavigatorView.h"
#include "platform/Alerts.h"
#include "platform/NotificationQueue.h"
#include "platform/RecordingAlerts.h"
#include "platform/SpellChecker.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <memory>

namespace WindowBench {

inline QApplication &application()
{
    static int argc = 1;
    static char name[] = "thinkweb_window_bench";
    static char *argv[] = {name, nullptr};
    // Never freed: Qt's caches must not be torn down after the documents.
    static QApplication *app = new QApplication(argc, argv);
    // As the program starts.
    static const std::jthread dictionary = SpellChecker::loadInBackground();
    return *app;
}

inline QTemporaryDir &folder()
{
    static QTemporaryDir *dir = new QTemporaryDir;
    return *dir;
}

// The preferences of this run, apart from the user's, and alerts that
// answer themselves.
inline void environment()
{
    application();
    static bool made = [] {
        auto *defaults = new UserDefaults(folder().filePath("defaults.ini"));
        new UserDefaults::Scope(defaults);
        TWPreferences::registerDefaults();
        new Alerts::Scope(new RecordingAlerts);
        return true;
    }();
    (void)made;
}

// An outline of `total` items as a user keeps one: four levels whose
// fan-out gives the total, labels of a few words, a note on every fifth.
inline QString outlineFile(int total)
{
    const QString path = folder().filePath(QStringLiteral("outline-%1.opml").arg(total));
    if (QFileInfo::exists(path))
        return path;
    int fanOut = 2;
    while (fanOut + fanOut * fanOut + fanOut * fanOut * fanOut +
               fanOut * fanOut * fanOut * fanOut <
           total)
        ++fanOut;
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"><head>"
                     "<title>Outline</title></head><body>\n";
    int written = 0;
    std::function<void(int)> level = [&](int depth) {
        for (int i = 0; i < fanOut && written < total; ++i) {
            const int n = written++;
            xml += "<outline text=\"Item " + QByteArray::number(n) + " of the plan, level " +
                   QByteArray::number(depth + 1) + "\"";
            if (n % 5 == 0)
                xml += " _note=\"What to do next&#10;and who does it\"";
            if (depth < 3) {
                xml += ">\n";
                level(depth + 1);
                xml += "</outline>\n";
            } else {
                xml += "/>\n";
            }
        }
    };
    level(0);
    xml += "</body></opml>\n";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
        return QString();
    return path;
}

// Counts paints of a widget.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *watched) : m_watched(watched)
    {
        watched->installEventFilter(this);
    }
    ~PaintCounter() override
    {
        if (m_watched)
            m_watched->removeEventFilter(this);
    }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }

private:
    QPointer<QWidget> m_watched;
};

// Runs the event loop until `done` holds (checked after each pass) or the
// limit passes; false when it never held.
inline bool runUntil(const std::function<bool()> &done, int limitMs = 30000)
{
    QElapsedTimer limit;
    limit.start();
    while (!done()) {
        if (limit.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Runs what is queued and due now, as the event loop does between user events.
inline void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    NotificationQueue::defaultQueue().flush();
}

// The program's own document handling with the outline reader plugged in,
// as main() sets it up.
struct Program
{
    Program() : importer(documents)
    {
        environment();
        TWImportController::Readers readers;
        readers.opml = [](TWMap &map, const QString &path, QString *reason) {
            return TWOPMLImportExport().importFile(path, map, reason);
        };
        importer.setReaders(readers);
        QObject::connect(&documents, &TWDocumentController::documentAdded,
                         [](TWDocument *document) {
                             if (document->documentWindow())
                                 document->documentWindow()->resize(1280, 800);
                         });
    }
    ~Program()
    {
        for (Document *open : documents.documents())
            close(static_cast<TWDocument *>(open));
    }

    // Closes without asking to save.
    void close(TWDocument *document)
    {
        if (!document)
            return;
        document->clearChangeCount();
        document->close();
        settle();
    }

    TWDocumentController documents;
    TWImportController importer;
};

inline Program &program()
{
    static Program *made = new Program;
    return *made;
}

// Shows the document's canvas until its first paint.
inline bool paintedAfter(TWDocument *document, const std::function<void()> &action)
{
    if (!document || !document->graphicView())
        return false;
    PaintCounter counter(document->graphicView()->viewport());
    action();
    return runUntil([&] { return counter.paints > 0; });
}

// The outline imported in a window until the canvas first painted; null when it failed.
inline TWDocument *importOutline(int total)
{
    Program &p = program();
    const QString path = outlineFile(total);
    if (path.isEmpty())
        return nullptr;
    TWDocument *document = nullptr;
    PaintCounter *counter = nullptr;
    const QMetaObject::Connection watch =
        QObject::connect(&p.documents, &TWDocumentController::documentAdded,
                         [&counter](TWDocument *added) {
                             if (added->graphicView())
                                 counter = new PaintCounter(added->graphicView()->viewport());
                         });
    document = p.importer.importOPMLFileAtPathReturningDocument(path);
    QObject::disconnect(watch);
    const bool painted = runUntil([&] { return counter && counter->paints > 0; });
    delete counter;
    return painted ? document : nullptr;
}

// The document saved from the imported outline, made once.
inline QString savedDocument(int total)
{
    const QString path = folder().filePath(QStringLiteral("outline-%1.tweb").arg(total));
    if (QFileInfo::exists(path))
        return path;
    TWDocument *document = importOutline(total);
    if (!document)
        return QString();
    const int written = document->writeToFile(path);
    program().close(document);
    return written == TWFileIO::SaveSucceeded && QFileInfo::exists(path) ? path : QString();
}

// The saved document opened in a window until the canvas first painted.
inline TWDocument *openDocument(const QString &path)
{
    Program &p = program();
    PaintCounter *counter = nullptr;
    const QMetaObject::Connection watch =
        QObject::connect(&p.documents, &TWDocumentController::documentAdded,
                         [&counter](TWDocument *added) {
                             if (added->graphicView())
                                 counter = new PaintCounter(added->graphicView()->viewport());
                         });
    auto *document =
        static_cast<TWDocument *>(p.documents.openDocument(QUrl::fromLocalFile(path), true));
    QObject::disconnect(watch);
    const bool painted = runUntil([&] { return counter && counter->paints > 0; });
    delete counter;
    return painted ? document : nullptr;
}

// Seconds of processor time the process has used.
// With THINKWEB_BENCH_GRABS=<folder>, what the screen shows of the window
// is kept there to be looked at.
inline void keepGrab(QWidget *window, const QString &name)
{
    const QString folder = qEnvironmentVariable("THINKWEB_BENCH_GRABS");
    if (folder.isEmpty() || !window->screen())
        return;
    const QPoint at = window->mapToGlobal(QPoint(0, 0));
    window->screen()
        ->grabWindow(0, at.x(), at.y(), window->width(), window->height())
        .save(QDir(folder).filePath(name));
}

inline double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Runs the event loop for `quietMs` of wall time after an event, so that
// what it scheduled for later (the navigator's redraws) also runs.
// The loop sleeps while idle, so the processor time counts only work.
inline void runFor(int quietMs)
{
    QEventLoop loop;
    QTimer::singleShot(quietMs, &loop, &QEventLoop::quit);
    loop.exec();
    NotificationQueue::defaultQueue().flush();
}

// The longest a part of the window waits after a change before it follows
// (the map style inspector's settings, the suggestions, the navigator, the
// inspector's switch), and a margin for the work it then does.
inline int longestDelayMs()
{
    return std::max({TWMapStyleController::SettingsDelayMilliseconds,
                     TWBranchSuggestionPaletteController::refreshDelayMilliseconds,
                     TWNavigatorView::UpdateDelayMilliseconds,
                     TWDockedPalettesController::UpdateDelayMilliseconds,
                     TWGraphicBindingController::UpdateDelayMilliseconds,
                     TWGraphicStyleController::UpdateDelayMilliseconds}) +
           300;
}

// Seconds of processor time the calling thread has used.
inline double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Whether the window still has work waiting: posted notifications, words
// gathered for the suggestions, or a navigator redraw, waiting or under way.
inline bool workWaits(QWidget *window)
{
    if (NotificationQueue::defaultQueue().pendingCount() > 0 ||
        TWBranchSuggestionPaletteController::gatheringAnywhere())
        return true;
    if (window)
        for (const TWNavigatorView *navigator : window->findChildren<TWNavigatorView *>())
            if (navigator->updatePending() || navigator->building())
                return true;
    return false;
}

// Runs the event loop, blocking while there is nothing to do, until
// `deadlineMs` on `clock` has passed and the window has no work waiting
// (a limit of ten more seconds); false when work still waited.
inline bool runUntilIdle(QWidget *window, const QElapsedTimer &clock, qint64 deadlineMs)
{
    const qint64 limit = deadlineMs + 10000;
    while (clock.elapsed() < limit) {
        if (clock.elapsed() >= deadlineMs) {
            QCoreApplication::sendPostedEvents();
            if (!workWaits(window))
                return true;
        }
        QEventLoop wait;
        QTimer::singleShot(int(std::clamp<qint64>(deadlineMs - clock.elapsed(), 10, 200)), &wait,
                           &QEventLoop::quit);
        wait.exec();
    }
    return !workWaits(window);
}

// With THINKWEB_BENCH_PERF_CTL=<fifo>,<ack fifo>, a profiler started as
// `perf record --control fifo:<fifo>,<ack fifo> -D -1 ...` samples only while
// one of these lives: the user's wait, not the benchmark's own setting up.
class ProfiledSpan
{
public:
    ProfiledSpan() { send("enable\n"); }
    ~ProfiledSpan() { send("disable\n"); }
    ProfiledSpan(const ProfiledSpan &) = delete;
    ProfiledSpan &operator=(const ProfiledSpan &) = delete;

private:
    static void send(const char *command)
    {
        static const QList<QByteArray> fifos = qgetenv("THINKWEB_BENCH_PERF_CTL").split(',');
        if (fifos.size() != 2)
            return;
        FILE *control = std::fopen(fifos[0].constData(), "w");
        FILE *ack = std::fopen(fifos[1].constData(), "r");
        if (control && ack) {
            std::fputs(command, control);
            std::fflush(control);
            char answer[16];
            std::fgets(answer, sizeof answer, ack); // sampling has switched
        }
        if (ack)
            std::fclose(ack);
        if (control)
            std::fclose(control);
    }
};

// Work the window does after an event until it is idle again: posted
// events and notifications (idle ones too) handled and every delayed
// refresh fired. Starts with the event; `seconds()` is the processor time
// the main thread, where all of it runs, used from then until idle (the
// loop sleeps while it waits, so waiting is not counted).
class UntilIdle
{
public:
    UntilIdle() : m_start(threadCpuSeconds()) { m_clock.start(); }
    // Waits until idle; false when the window never was.
    bool wait(QWidget *window)
    {
        const bool idle = runUntilIdle(window, m_clock, longestDelayMs());
        m_wall = double(m_clock.nsecsElapsed()) / 1e9;
        m_work = threadCpuSeconds() - m_start;
        return idle;
    }
    double seconds() const { return m_work; }
    double wallSeconds() const { return m_wall; }

private:
    QElapsedTimer m_clock;
    double m_start = 0, m_wall = 0, m_work = 0;
};

// A branch deep in the map: the deepest along the middle children from the root.
inline std::shared_ptr<TWMapBranch> deepBranch(const TWMap &map)
{
    std::shared_ptr<TWMapBranch> branch = map.root();
    while (branch && !branch->children().isEmpty())
        branch = branch->children().at(branch->children().size() / 2);
    return branch;
}

} // namespace WindowBench
