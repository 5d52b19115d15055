// The outline window on large maps: opening the outline of a generated map
// (rows made as they are shown) and scrolling it by a page.
#include "BenchMain.h"
#include "CanvasBenchSupport.h"
#include "GeneratedMap.h"
#include "application/TWDocument.h"
#include "application/TWOutlineModel.h"
#include "application/TWOutlineView.h"
#include "application/TWOutlineViewController.h"
#include "platform/NotificationQueue.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QScrollBar>
#include <benchmark/benchmark.h>

namespace {

// A document holding a generated map of `count` branches, every branch open
// in the outline when `expanded`.
TWDocument &documentOf(int count, bool expanded)
{
    static auto &documents = *new std::map<std::pair<int, bool>, TWDocument *>;
    TWDocument *&document = documents[{count, expanded}];
    if (!document) {
        document = TWDocument::makeUntitled().release();
        auto undo = std::make_shared<UndoManager>();
        undo->disableUndoRegistration();
        auto maps = TWMapsDoc::create();
        maps->setUndoManager(undo);
        auto map = TWMap::create(maps.get());
        maps->addMap(map, true);
        GeneratedMap::fill(*map, count);
        TWMap::BranchList all;
        map->root()->allDescendantsIntoArray(all, true);
        for (const auto &b : all)
            b->setExpandedInOutlineView(expanded || b == map->root());
        document->setMapsDocument(maps);
    }
    return *document;
}

TWOutlineViewController &controller()
{
    static auto *c = [] {
        auto *made = new TWOutlineViewController(false);
        made->window()->resize(400, 800);
        made->window()->show();
        return made;
    }();
    return *c;
}

void BM_OpenOutline(benchmark::State &state)
{
    CanvasBench::application();
    TWDocument &document = documentOf(int(state.range(0)), state.range(1) != 0);
    TWOutlineViewController &outline = controller();
    for (auto _ : state) {
        outline.setDocument(nullptr);
        QCoreApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        outline.setDocument(&document);
        // Laid out and painted, as the user first sees it.
        outline.outlineView()->viewport()->repaint();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_OpenOutline)
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_ScrollOutlinePage(benchmark::State &state)
{
    CanvasBench::application();
    TWDocument &document = documentOf(int(state.range(0)), true);
    TWOutlineViewController &outline = controller();
    outline.setDocument(&document);
    TWOutlineView *view = outline.outlineView();
    view->viewport()->repaint();
    QScrollBar *bar = view->verticalScrollBar();
    int value = 0;
    for (auto _ : state) {
        value = (value + bar->pageStep()) % std::max(bar->maximum(), 1);
        bar->setValue(value);
        view->viewport()->repaint();
    }
}
BENCHMARK(BM_ScrollOutlinePage)->Arg(100000)->Unit(benchmark::kMillisecond);

// A label edited in the outline: one undoable text change, then the row
// drawn again.
void BM_EditLabelInOutline(benchmark::State &state)
{
    CanvasBench::application();
    TWDocument &document = documentOf(int(state.range(0)), true);
    TWOutlineViewController &outline = controller();
    outline.setDocument(&document);
    TWMapBranch *branch = document.mapsDocument()->currentMap()->root()->children().first().get();
    int n = 0;
    for (auto _ : state) {
        outline.setBranchText(*branch, AttributedString(QStringLiteral("Edited %1").arg(++n)));
        outline.outlineView()->viewport()->repaint();
    }
}
BENCHMARK(BM_EditLabelInOutline)->Arg(10000)->Unit(benchmark::kMillisecond);

// A branch added from the outline: the model's change, the coalesced reload
// of the outline and the repaint.
void BM_AddBranchInOutline(benchmark::State &state)
{
    CanvasBench::application();
    TWDocument &document = documentOf(int(state.range(0)), true);
    TWOutlineViewController &outline = controller();
    // Without the outline: what the model's own change costs.
    outline.setDocument(state.range(1) ? &document : nullptr);
    TWMap *map = document.mapsDocument()->currentMap().get();
    const auto parent = map->root()->children().first();
    for (auto _ : state) {
        map->setSelectedBranches({parent});
        map->publicCreateChildrenOfType(-1, QStringLiteral("Added"), false);
        NotificationQueue::defaultQueue().flush();
        outline.outlineView()->viewport()->repaint();
    }
}
BENCHMARK(BM_AddBranchInOutline)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
