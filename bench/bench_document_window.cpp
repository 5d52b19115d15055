// Start-up and opening as a user sees them: the program started in a child
// process until its new document's canvas has painted, and a generated
// document of 10,000 branches read alone, then read and shown in its window
// until the canvas's first paint; and an outline of 1,000 to 50,000 items
// imported in a window, beside the document saved from it opened in one.
#include "BenchMain.h"
#include "BranchDocumentGenerator.h"
#include "PeakMemory.h"
#include "WindowBenchSupport.h"
#include "application/TWDocument.h"
#include "application/TWDocumentWindow.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWLinkLine.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWFileIO.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QApplication &application()
{
    return WindowBench::application();
}

QTemporaryDir &folder()
{
    return WindowBench::folder();
}

// The preferences of this run, apart from the user's.
void defaults()
{
    WindowBench::environment();
}

QString generatedDocument(int branches)
{
    const QString path = folder().filePath(QStringLiteral("generated-%1.tweb").arg(branches));
    if (!QFileInfo::exists(path)) {
        // Saved laid out, as a user keeps a map: the window shows a part of
        // it. Shaped to stay within the model's range once laid out, where
        // nothing is piled on the line that out-of-range places go to.
        auto document = BranchDocument::makeDocument(branches, 0);
        document->currentMap()->setLayoutServices(std::make_shared<TWMapLayout>());
        TWMapLayout::autoArrange(*document->currentMap());
        int piled = 0;
        for (const std::shared_ptr<TWMapBranch> &b : document->currentMap()->allBranches())
            piled += b->mainGraphic()->bounds().y() == TWGraphic::BoundsReplacementValue;
        if (piled > 2 || document->saveToFile(path) != TWFileIO::SaveSucceeded)
            return QString();
        document->detach();
    }
    return path;
}

class FirstPaint : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// The program from its start to the first paint of a new document's canvas
// (no argument), or of the window an outline of that many items is imported
// into, after which it quits without asking about the unsaved import.
void BM_StartToFirstPaint(benchmark::State &state)
{
    application();
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/thinkweb");
    if (!QFileInfo(program).isExecutable()) {
        state.SkipWithError("the program is not built beside the benchmark");
        return;
    }
    QStringList arguments{QStringLiteral("--quit-after-first-paint")};
    if (state.range(0) > 0) {
        const QString outline = WindowBench::outlineFile(int(state.range(0)));
        if (outline.isEmpty()) {
            state.SkipWithError("the outline could not be written");
            return;
        }
        arguments << outline;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder().filePath("config"));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), folder().filePath("state"));
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        process.start(program, arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            process.kill();
            state.SkipWithError("the program did not paint and quit");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_StartToFirstPaint)
    ->Arg(0)
    ->Arg(10000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// Reading the document as the document does, without a window.
void BM_LoadDocumentAlone(benchmark::State &state)
{
    application();
    defaults();
    const QString path = generatedDocument(int(state.range(0)));
    if (path.isEmpty()) {
        state.SkipWithError("the generated document could not be made");
        return;
    }
    for (auto _ : state) {
        auto document = std::make_unique<TWDocument>();
        if (!document->readFromFile(path)) {
            state.SkipWithError("the generated document did not load");
            return;
        }
        state.PauseTiming();
        document.reset();
        NotificationQueue::defaultQueue().flush();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadDocumentAlone)->Arg(10000)->Iterations(3)->Unit(benchmark::kMillisecond);

// Reading it and showing it in its window until the canvas has painted;
// "window_s" is what the window adds to the reading.
void BM_OpenToFirstPaintedWindow(benchmark::State &state)
{
    application();
    defaults();
    const QString path = generatedDocument(int(state.range(0)));
    if (path.isEmpty()) {
        state.SkipWithError("the generated document could not be made");
        return;
    }
    double loading = 0, showing = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto document = std::make_unique<TWDocument>();
        if (!document->readFromFile(path)) {
            state.SkipWithError("the generated document did not load");
            return;
        }
        const qint64 loaded = clock.nsecsElapsed();
        document->makeWindowControllers();
        FirstPaint paint;
        document->graphicView()->viewport()->installEventFilter(&paint);
        document->documentWindow()->resize(1280, 800);
        document->showWindows();
        QElapsedTimer limit;
        limit.start();
        while (!paint.painted && limit.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const qint64 shown = clock.nsecsElapsed();
        if (!paint.painted) {
            state.SkipWithError("the canvas never painted");
            return;
        }
        state.SetIterationTime(double(shown) / 1e9);
        loading += double(loaded) / 1e9;
        showing += double(shown - loaded) / 1e9;
        document->graphicView()->viewport()->removeEventFilter(&paint);
        document.reset();
        NotificationQueue::defaultQueue().flush();
    }
    state.counters["load_s"] = loading / double(state.iterations());
    state.counters["window_s"] = showing / double(state.iterations());
}
BENCHMARK(BM_OpenToFirstPaintedWindow)
    ->Arg(10000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The outline imported through the Import command's path until the new
// window's canvas has painted: no slower than opening the document saved
// from it (below).
void BM_ImportOutlineToFirstPaint(benchmark::State &state)
{
    const int items = int(state.range(0));
    if (WindowBench::outlineFile(items).isEmpty()) {
        state.SkipWithError("the outline could not be written");
        return;
    }
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        TWDocument *document = WindowBench::importOutline(items);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (!document) {
            state.SkipWithError("the outline was not imported and painted");
            return;
        }
        state.counters["branches"] =
            double(document->mapsDocument()->currentMap()->allBranches().size());
        WindowBench::program().close(document);
    }
}
BENCHMARK(BM_ImportOutlineToFirstPaint)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// The document saved from the imported outline, opened until its window's
// canvas has painted.
void BM_OpenSavedOutlineToFirstPaint(benchmark::State &state)
{
    const QString path = WindowBench::savedDocument(int(state.range(0)));
    if (path.isEmpty()) {
        state.SkipWithError("the outline's document could not be made");
        return;
    }
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        TWDocument *document = WindowBench::openDocument(path);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        if (!document) {
            state.SkipWithError("the document was not opened and painted");
            return;
        }
        state.counters["branches"] =
            double(document->mapsDocument()->currentMap()->allBranches().size());
        WindowBench::program().close(document);
    }
}
BENCHMARK(BM_OpenSavedOutlineToFirstPaint)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace

// A map of 100 shapes joined by `lines` link lines, laid out and saved; the
// map is left of the canvas's corner, as a map saved elsewhere may be, so the
// window moves it once on opening.
QString linkLinesDocument(int lines)
{
    const QString path = folder().filePath(QStringLiteral("link-lines-%1.tweb").arg(lines));
    if (QFileInfo::exists(path))
        return path;
    auto document = BranchDocument::makeDocument(100, 0);
    TWMap &map = *document->currentMap();
    map.setLayoutServices(std::make_shared<TWMapLayout>());
    TWMapLayout::autoArrange(map);
    const auto branches = map.allBranches();
    for (int i = 0; i < lines; ++i) {
        auto line = std::make_shared<TWLinkLine>();
        line->init();
        const auto &from = branches.at(i % branches.size());
        const auto &to = branches.at((i * 7 + 1 + i / int(branches.size())) % branches.size());
        line->setPrimitiveBranch(from.get());
        line->connect(from->mainGraphic(), to->mainGraphic());
        map.insertObjectInLinkLinesAtIndex(line, int(map.linkLines().size()));
    }
    map.root()->mainGraphic()->publicMoveBy(Point(-26.8f, -26.8f), false);
    if (document->saveToFile(path) != TWFileIO::SaveSucceeded)
        return QString();
    document->detach();
    return path;
}

// Opening a map of many link lines until the window is at rest: "work_s" is
// the main thread's processor time from the read to rest, "rise_MB" what
// the process grew by, "edited" 1 when opening marked the document edited.
void BM_OpenLinkLinesToRest(benchmark::State &state)
{
    application();
    defaults();
    const QString path = linkLinesDocument(int(state.range(0)));
    if (path.isEmpty()) {
        state.SkipWithError("the generated document could not be made");
        return;
    }
    double work = 0, rise = 0, edited = 0;
    for (auto _ : state) {
        BenchMemory::PeakMemory memory;
        QElapsedTimer clock;
        clock.start();
        const double busyFrom = WindowBench::threadCpuSeconds();
        WindowBench::UntilIdle idle;
        auto document = std::make_unique<TWDocument>();
        if (!document->readFromFile(path)) {
            state.SkipWithError("the generated document did not load");
            return;
        }
        document->makeWindowControllers();
        document->documentWindow()->resize(1280, 800);
        document->showWindows();
        // A window busy for minutes is measured too, up to a limit.
        bool rested = idle.wait(document->documentWindow());
        while (!rested && clock.elapsed() < 300000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
            NotificationQueue::defaultQueue().flush();
            rested = !WindowBench::workWaits(document->documentWindow());
        }
        if (!rested) {
            state.SkipWithError("the window never came to rest");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        work += WindowBench::threadCpuSeconds() - busyFrom;
        rise += double(memory.rise()) / 1e6;
        edited += document->isDocumentEdited() ? 1 : 0;
        document.reset();
        NotificationQueue::defaultQueue().flush();
    }
    const double n = double(state.iterations());
    state.counters["work_s"] = work / n;
    state.counters["rise_MB"] = rise / n;
    state.counters["edited"] = edited / n;
}
BENCHMARK(BM_OpenLinkLinesToRest)
    ->Arg(2000)
    ->Arg(8000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

THINKWEB_BENCHMARK_MAIN();
