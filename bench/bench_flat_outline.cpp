// A flat outline, every item a child of the central branch, imported into a
// document window of 1280 x 800: Home, one zoom step and Zoom to Fit, each
// timed from the command to the canvas's paint of it, at 10,000 and 100,000
// items. Every first-level wedge leaves the centre, so any view that holds
// the centre crosses all of them.
#include "BenchMain.h"
#include "WindowBenchSupport.h"

#include <QDir>
#include <QScreen>
#include <QScrollBar>
#include <benchmark/benchmark.h>

namespace {

using namespace WindowBench;

QString flatOutlineFile(int items)
{
    const QString path = folder().filePath(QStringLiteral("flat-%1.opml").arg(items));
    if (QFileInfo::exists(path))
        return path;
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"><head>"
                     "<title>Flat</title></head><body>\n";
    for (int i = 0; i < items; ++i)
        xml += "<outline text=\"Item " + QByteArray::number(i + 1) + "\"/>\n";
    xml += "</body></opml>\n";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
        return QString();
    return path;
}

struct Shown
{
    TWDocument *document = nullptr;
    TWGraphicView *view = nullptr;
    TWMap *map = nullptr;
    double firstPaintSeconds = 0;
};

// The outline imported once per size and kept; only the one in use is shown.
Shown shownMap(int items)
{
    static std::map<int, Shown> open;
    for (auto &[size, shown] : open)
        if (size != items && shown.document && shown.document->documentWindow()->isVisible())
            shown.document->documentWindow()->hide();
    Shown &shown = open[items];
    if (!shown.document) {
        Program &p = program();
        const QString path = flatOutlineFile(items);
        if (path.isEmpty())
            return {};
        PaintCounter *counter = nullptr;
        const QMetaObject::Connection watch = QObject::connect(
            &p.documents, &TWDocumentController::documentAdded, [&counter](TWDocument *added) {
                if (added->graphicView())
                    counter = new PaintCounter(added->graphicView()->viewport());
            });
        QElapsedTimer clock;
        clock.start();
        TWDocument *document = p.importer.importOPMLFileAtPathReturningDocument(path);
        QObject::disconnect(watch);
        const bool painted = runUntil([&] { return counter && counter->paints > 0; }, 600000);
        shown.firstPaintSeconds = double(clock.nsecsElapsed()) / 1e9;
        delete counter;
        if (!painted || !document)
            return {};
        shown.document = document;
        shown.view = document->graphicView();
        shown.map = document->mapsDocument()->currentMap().get();
    }
    if (!shown.document->documentWindow()->isVisible())
        paintedAfter(shown.document, [&] { shown.document->showWindows(); });
    settle();
    return shown;
}

// The command, then the event loop until the canvas has painted.
double untilPainted(const Shown &shown, const std::function<void()> &command, bool *painted)
{
    PaintCounter counter(shown.view->viewport());
    QElapsedTimer clock;
    clock.start();
    command();
    *painted = runUntil([&] { return counter.paints > 0; }, 600000);
    return double(clock.nsecsElapsed()) / 1e9;
}

// At 100 % with the central branch in the middle, nothing selected.
void atHome(const Shown &shown)
{
    shown.map->removeAllSelectedGraphics();
    if (shown.map->zoomAmount() != 100) {
        shown.map->setZoomAmount(100);
        shown.view->mapGeometryDidChange();
    }
    shown.view->centerRoot();
    settle();
}

using Step = std::function<void(const Shown &)>;

// `prepare` outside the time, then `command` until painted, once per iteration.
void measure(benchmark::State &state, const char *grab, const Step &prepare, const Step &command)
{
    const Shown shown = shownMap(int(state.range(0)));
    if (!shown.document) {
        state.SkipWithError("the outline could not be imported");
        return;
    }
    for (auto _ : state) {
        prepare(shown);
        bool painted = false;
        const double seconds = untilPainted(
            shown, [&] { command(shown); }, &painted);
        if (!painted) {
            state.SkipWithError("the change was never painted");
            return;
        }
        state.SetIterationTime(seconds);
    }
    keepGrab(shown.document->documentWindow(),
             QStringLiteral("flat-%1-%2.png").arg(grab).arg(state.range(0)));
    state.counters["branches"] = double(shown.map->allBranches().size());
    state.counters["zoom"] = shown.map->zoomAmount();
    state.counters["first_paint_s"] = shown.firstPaintSeconds;
}

// Home from a view scrolled to the map's top corner.
void BM_FlatHome(benchmark::State &state)
{
    measure(
        state, "home",
        [](const Shown &s) {
            atHome(s);
            s.view->horizontalScrollBar()->setValue(0);
            s.view->verticalScrollBar()->setValue(0);
            settle();
        },
        [](const Shown &s) { s.document->centerInView(); });
}

// One step in from 100 % at Home.
void BM_FlatZoomStep(benchmark::State &state)
{
    measure(state, "zoom-step", atHome, [](const Shown &s) { s.document->zoomIn(); });
}

// Zoom to Fit from 100 % at Home.
void BM_FlatZoomToFit(benchmark::State &state)
{
    measure(state, "zoom-to-fit", atHome, [](const Shown &s) { s.document->zoomToFit(); });
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(10000)
        ->Arg(100000)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(7)
        ->ComputeStatistics(
            "min",
            [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); })
        ->ComputeStatistics(
            "max",
            [](const std::vector<double> &v) { return *std::max_element(v.begin(), v.end()); })
        ->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_FlatHome)->Apply(sizes);
BENCHMARK(BM_FlatZoomStep)->Apply(sizes);
BENCHMARK(BM_FlatZoomToFit)->Apply(sizes);

} // namespace

THINKWEB_BENCHMARK_MAIN();
