// What a user does next on a big map, in its document window with the event
// loop running until the change is painted: maps made from outlines of
// 1,000, 10,000, 50,000 and 100,000 items imported and laid out by the
// program, saved and opened again. Adding a child as Tab does, typing ten
// characters into a label deep in the map, scrolling by a wheel step and
// zooming to fit, each timed from the user's event to the canvas's paint of
// it; and the navigator's catch-up after an edit.
#include "BenchMain.h"
#include "WindowBenchSupport.h"

#include "canvas/SpellableTextView.h"
#include "graphics/TWTextArea.h"
#include "palettes/TWNavigatorView.h"
#include "platform/UndoManager.h"

#include <QDir>
#include <QKeyEvent>
#include <QEventLoop>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

using namespace WindowBench;

struct Shown
{
    TWDocument *document = nullptr;
    TWGraphicView *view = nullptr;
    TWMap *map = nullptr;
};

// One open document per size, kept for the run; only the one in use is shown.
Shown shownMap(int items)
{
    static std::map<int, Shown> open;
    for (auto &[size, shown] : open)
        if (size != items && shown.document && shown.document->documentWindow()->isVisible())
            shown.document->documentWindow()->hide();
    Shown &shown = open[items];
    if (!shown.document) {
        const QString path = savedDocument(items);
        shown.document = path.isEmpty() ? nullptr : openDocument(path);
        if (!shown.document)
            return {};
        shown.view = shown.document->graphicView();
        shown.map = shown.document->mapsDocument()->currentMap().get();
    }
    if (!shown.document->documentWindow()->isVisible())
        paintedAfter(shown.document, [&] { shown.document->showWindows(); });
    settle();
    return shown;
}

// Selects the branch's shape and brings it to the middle of the view.
void selectAndCentre(const Shown &shown, const std::shared_ptr<TWMapBranch> &branch)
{
    shown.map->removeAllSelectedGraphics();
    shown.map->insertObjectInSelectedGraphicsAtIndex(branch->mainGraphic(), 0);
    shown.view->centerSelection();
    settle();
}

void key(QWidget *target, int code, const QString &text = QString())
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &release);
}

// Sends the event, runs the event loop until the canvas has painted and
// what the event scheduled at once has run; the seconds it took. With
// `untilIdle`, then runs the loop until the whole window is idle (the
// inspector switched, the navigator and the suggestions redrawn, idle
// notifications posted) and adds the main thread's working time from the
// event to then: work deferred past the paint is still work.
double untilPainted(const Shown &shown, const std::function<void()> &event, bool *painted,
                    double *untilIdle = nullptr, bool *idle = nullptr)
{
    PaintCounter counter(shown.view->viewport());
    const ProfiledSpan profiled;
    UntilIdle work;
    QElapsedTimer clock;
    clock.start();
    event();
    *painted = runUntil([&] { return counter.paints > 0; }, 5000);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (untilIdle) {
        const bool reached = work.wait(shown.document->documentWindow());
        if (idle)
            *idle = reached;
        *untilIdle += work.seconds();
    }
    return seconds;
}

// Runs the event loop until `done`, sleeping while nothing is due: a
// commit the canvas defers on purpose (typing into a branch with children
// batches it for a tenth of a second) is not to count this loop's own
// spinning as the window's work.
bool sleepUntil(const std::function<bool()> &done, int limitMs)
{
    QElapsedTimer limit;
    limit.start();
    QTimer wake;
    wake.start(limitMs);
    while (!done()) {
        if (limit.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// What an idle window works over as long as a wait for idle (a blinking
// caret): taken off the figures until idle, which are about the edit.
double idleWork(const Shown &shown, double *wall = nullptr)
{
    settle();
    UntilIdle work;
    work.wait(shown.document->documentWindow());
    if (wall)
        *wall = work.wallSeconds();
    return work.seconds();
}

// The median of the times until painted and of the main thread's working
// time each event cost until the window was idle again, in milliseconds.
struct Costs
{
    std::vector<double> seconds;
    std::vector<double> idle;
    double baseline = 0;
    // Process CPU seconds over a fixed wait after the event.
    std::vector<double> cpu;
    // Undoing the edit, until its pass has ended.
    std::vector<double> undo;

    void report(benchmark::State &state)
    {
        const auto median = [](std::vector<double> v) {
            if (v.empty())
                return 0.0;
            std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
            return v[v.size() / 2] * 1000;
        };
        state.counters["median_ms"] = median(seconds);
        if (!idle.empty()) {
            state.counters["until_idle_ms"] = std::max(0.0, median(idle) - baseline * 1000);
            state.counters["idle_baseline_ms"] = baseline * 1000;
        }
        if (!cpu.empty())
            state.counters["cpu_until_idle_ms"] = median(cpu);
        if (!undo.empty())
            state.counters["undo_ms"] = median(undo);
    }
};

// What the navigator waits for before it redraws, and a margin.
constexpr int IdleAfterMs = 700;

// Tab on the selected branch: to a leaf deep in the map, and to the
// central branch, whose children stand around it and move aside.
void addChildUntilPainted(benchmark::State &state, bool central)
{
    const Shown shown = shownMap(int(state.range(0)));
    if (!shown.document) {
        state.SkipWithError("the map could not be opened");
        return;
    }
    const std::shared_ptr<TWMapBranch> parent =
        central ? shown.map->root() : deepBranch(*shown.map);
    const int children = parent->countOfChildren();
    Costs costs;
    for (auto _ : state) {
        selectAndCentre(shown, parent);
        idleWork(shown);
        bool painted = false, idle = false;
        double untilIdle = 0;
        // What the canvas's Tab key does.
        const double seconds = untilPainted(
            shown, [&] { shown.map->publicCreateChildren(); }, &painted, &untilIdle, &idle);
        if (!painted || parent->countOfChildren() != children + 1) {
            state.SkipWithError("no child was added and painted");
            return;
        }
        if (!idle) {
            state.SkipWithError("the window never became idle");
            return;
        }
        costs.seconds.push_back(seconds);
        costs.idle.push_back(untilIdle);
        if (costs.seconds.size() == 1) {
            keepGrab(shown.document->documentWindow(),
                     QStringLiteral("added-child-%1-%2.png")
                         .arg(central ? "central" : "leaf")
                         .arg(state.range(0)));
            // The new label is being edited: its caret blinks meanwhile.
            costs.baseline = idleWork(shown);
        }
        state.SetIterationTime(seconds);
        // Back to the map as it was, outside the time.
        settle();
        shown.view->endEditingTextArea();
        shown.document->undoManager()->closeEventGroup();
        QElapsedTimer undoClock;
        undoClock.start();
        shown.view->undo();
        settle();
        costs.undo.push_back(double(undoClock.nsecsElapsed()) / 1e9);
        if (parent->countOfChildren() != children) {
            state.SkipWithError("the added child was not undone");
            return;
        }
    }
    costs.report(state);
    state.counters["branches"] = double(shown.map->allBranches().size());
}

void BM_AddChildToDeepLeafUntilPainted(benchmark::State &state)
{
    addChildUntilPainted(state, false);
}
BENCHMARK(BM_AddChildToDeepLeafUntilPainted)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_AddChildToCentralUntilPainted(benchmark::State &state)
{
    addChildUntilPainted(state, true);
}
BENCHMARK(BM_AddChildToCentralUntilPainted)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// Ten characters typed at the end of a label deep in the map, at a fast
// typist's pace; each keystroke timed until the canvas has painted it and
// no commit waits, and the main thread's work from the first key until the
// window is idle after the last, per key. The view is to move only when the
// caret would leave it.
void typeTenCharacters(benchmark::State &state, bool newMainBranch)
{
    const Shown shown = shownMap(int(state.range(0)));
    if (!shown.document) {
        state.SkipWithError("the map could not be opened");
        return;
    }
    // A branch with children: typing in it lays out a subtree. Or a new
    // child of the central branch, as Tab makes one: its siblings are the
    // main branches, and below them the whole map.
    std::shared_ptr<TWMapBranch> branch = deepBranch(*shown.map);
    if (branch->parent())
        branch = branch->parent()->shared_from_this();
    if (newMainBranch) {
        branch = shown.map->root()->addChildOfType(-1);
        settle();
    }
    if (!branch) {
        state.SkipWithError("no branch to type into");
        return;
    }
    const QString original = branch->enclosedTextArea()->outlineString();
    double slowest = 0, keys = 0, total = 0, baseline = -1;
    std::vector<double> each, idle;
    int jumps = 0;
    for (auto _ : state) {
        selectAndCentre(shown, branch);
        key(shown.view, Qt::Key_Return);
        settle();
        SpellableTextView *editor = shown.view->editorView();
        if (!shown.view->editingTextArea() || !editor) {
            state.SkipWithError("the label is not being edited");
            return;
        }
        editor->moveCursor(QTextCursor::End);
        settle();
        double baselineWall = 0;
        if (baseline < 0) // the caret blinks meanwhile
            baseline = idleWork(shown, &baselineWall) / baselineWall;
        else
            idleWork(shown);
        double seconds = 0;
        UntilIdle work;
        // Where the label stands on screen: the map may be moved back onto
        // the canvas under it, but what the user sees must not jump. A
        // label grows away from the side it is anchored on, so one of its
        // top corners stays.
        const auto onScreen = [&] {
            return shown.view->viewportRectFromMap(branch->enclosedTextArea()->bounds());
        };
        const auto stayed = [](QPointF a, QPointF b) { return (a - b).manhattanLength() <= 1.0; };
        for (int i = 0; i < 10; ++i) {
            const QRectF before = onScreen();
            bool painted = false;
            PaintCounter editorPaints(editor->viewport());
            const double one = untilPainted(
                shown,
                [&] {
                    key(editor, Qt::Key_A + i % 26, QString(QChar(u'a' + i % 26)));
                    sleepUntil([&] { return !shown.view->hasStoredText(); }, 5000);
                },
                &painted);
            if (!painted) {
                state.SkipWithError("a keystroke was not painted");
                return;
            }
            // The next key comes a sixth of a second later.
            QEventLoop pace;
            QTimer::singleShot(160, &pace, &QEventLoop::quit);
            pace.exec();
            seconds += one;
            each.push_back(one);
            slowest = std::max(slowest, one);
            ++keys;
            const QRectF after = onScreen();
            if (!stayed(after.topLeft(), before.topLeft()) &&
                !stayed(after.topRight(), before.topRight()))
                ++jumps;
        }
        if (!work.wait(shown.document->documentWindow())) {
            state.SkipWithError("the window never became idle");
            return;
        }
        idle.push_back(std::max(0.0, work.seconds() - baseline * work.wallSeconds()) / 10);
        total += seconds;
        state.SetIterationTime(seconds);
        settle();
        shown.view->endEditingTextArea();
        settle();
        // Back to the label as it was, outside the time.
        UndoManager *undo = shown.document->undoManager();
        undo->closeEventGroup();
        for (int i = 0; i < 20 && undo->canUndo() &&
                        branch->enclosedTextArea()->outlineString() != original;
             ++i) {
            shown.view->undo();
            settle();
        }
    }
    state.counters["key_ms"] = keys > 0 ? total / keys * 1000 : 0;
    state.counters["slowest_key_ms"] = slowest * 1000;
    if (!each.empty()) {
        std::nth_element(each.begin(), each.begin() + long(each.size() / 2), each.end());
        state.counters["median_key_ms"] = each[each.size() / 2] * 1000;
    }
    if (!idle.empty()) {
        std::nth_element(idle.begin(), idle.begin() + long(idle.size() / 2), idle.end());
        state.counters["until_idle_per_key_ms"] = idle[idle.size() / 2] * 1000;
    }
    state.counters["view_moves"] = jumps;
    state.counters["branches"] = double(shown.map->allBranches().size());
}

void BM_TypeTenCharactersUntilPainted(benchmark::State &state)
{
    typeTenCharacters(state, false);
}
BENCHMARK(BM_TypeTenCharactersUntilPainted)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void BM_TypeTenCharactersInNewMainBranchUntilPainted(benchmark::State &state)
{
    typeTenCharacters(state, true);
}
BENCHMARK(BM_TypeTenCharactersInNewMainBranchUntilPainted)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// A wheel step down (or up, at the end), until the canvas has painted what
// came into view.
void BM_ScrollUntilPainted(benchmark::State &state)
{
    const Shown shown = shownMap(int(state.range(0)));
    if (!shown.document) {
        state.SkipWithError("the map could not be opened");
        return;
    }
    shown.map->removeAllSelectedGraphics();
    shown.view->centerRoot();
    settle();
    QScrollBar *bar = shown.view->verticalScrollBar();
    int direction = -120;
    Costs costs;
    for (auto _ : state) {
        bool painted = false;
        const int before = bar->value();
        const double cpu = processCpuSeconds();
        const double seconds = untilPainted(
            shown,
            [&] {
                QWheelEvent wheel(QPointF(640, 400), QPointF(640, 400), QPoint(),
                                  QPoint(0, direction), Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(shown.view->viewport(), &wheel);
            },
            &painted);
        if (bar->value() == before) {
            direction = -direction;
            continue;
        }
        if (!painted) {
            state.SkipWithError("the scroll was not painted");
            return;
        }
        state.SetIterationTime(seconds);
        runFor(IdleAfterMs);
        costs.seconds.push_back(seconds);
        costs.cpu.push_back(processCpuSeconds() - cpu);
    }
    costs.report(state);
    state.counters["branches"] = double(shown.map->allBranches().size());
}
BENCHMARK(BM_ScrollUntilPainted)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

// Zoom to Fit from 100 %, until the whole map is painted in the view.
void BM_ZoomToFitUntilPainted(benchmark::State &state)
{
    const Shown shown = shownMap(int(state.range(0)));
    if (!shown.document) {
        state.SkipWithError("the map could not be opened");
        return;
    }
    Costs costs;
    for (auto _ : state) {
        shown.map->setZoomAmount(100);
        shown.view->mapGeometryDidChange();
        shown.view->centerRoot();
        settle();
        runFor(IdleAfterMs);
        bool painted = false;
        const double cpu = processCpuSeconds();
        const double seconds =
            untilPainted(shown, [&] { shown.document->zoomToFit(); }, &painted);
        if (!painted) {
            state.SkipWithError("the zoom was not painted");
            return;
        }
        state.SetIterationTime(seconds);
        runFor(IdleAfterMs);
        costs.seconds.push_back(seconds);
        costs.cpu.push_back(processCpuSeconds() - cpu);
        state.counters["zoom"] = shown.map->zoomAmount();
        keepGrab(shown.document->documentWindow(),
                 QStringLiteral("zoom-to-fit-%1.png").arg(state.range(0)));
    }
    costs.report(state);
    shown.map->setZoomAmount(100);
    shown.view->mapGeometryDidChange();
    settle();
}
BENCHMARK(BM_ZoomToFitUntilPainted)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// After a child is added and painted on the canvas, the navigator's own
// work to show it: the event-loop passes in which it paints.
void BM_NavigatorCatchUp(benchmark::State &state)
{
    const Shown shown = shownMap(int(state.range(0)));
    if (!shown.document) {
        state.SkipWithError("the map could not be opened");
        return;
    }
    auto *navigator = shown.document->documentWindow()->findChild<TWNavigatorView *>();
    if (!navigator || !navigator->isVisible()) {
        state.SkipWithError("the document window shows no navigator");
        return;
    }
    const std::shared_ptr<TWMapBranch> parent = deepBranch(*shown.map);
    Costs costs;
    for (auto _ : state) {
        selectAndCentre(shown, parent);
        // The navigator is up to date before the edit.
        runUntil([&] { return !navigator->updatePending(); }, 5000);
        settle();
        bool painted = false;
        untilPainted(shown, [&] { shown.map->publicCreateChildren(); }, &painted);
        const double navigatorStart = processCpuSeconds();
        PaintCounter counter(navigator);
        double seconds = 0;
        QElapsedTimer limit;
        limit.start();
        while (counter.paints == 0 && limit.elapsed() < 5000) {
            QElapsedTimer pass;
            pass.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (counter.paints > 0)
                seconds = double(pass.nsecsElapsed()) / 1e9;
        }
        if (counter.paints == 0) {
            state.SkipWithError("the navigator never caught up");
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["wait_ms"] = double(limit.elapsed());
        // The processor time after the canvas's paint until idle: the navigator's.
        runFor(IdleAfterMs);
        costs.seconds.push_back(seconds);
        costs.cpu.push_back(processCpuSeconds() - navigatorStart);
        settle();
        shown.view->endEditingTextArea();
        shown.document->undoManager()->closeEventGroup();
        shown.view->undo();
        settle();
    }
    costs.report(state);
}
BENCHMARK(BM_NavigatorCatchUp)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
