// What the user waits for with a whole map selected: the menu items asked
// before a menu opens (1,000 and 10,000 branches), and changing every
// branch's type in one go and undoing it (1,000 and 3,000 branches; the
// map's selection upkeep makes this grow with the square of the selection).
#include "BenchMain.h"
#include "CanvasBenchSupport.h"
#include "GeneratedMap.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWRectangle.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"

#include <QAction>
#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

using CanvasBench::application;
using CanvasBench::Host;

struct Fixture
{
    explicit Fixture(int count)
    {
        application();
        document = TWMapsDoc::create();
        document->setUndoManager(undo);
        map = TWMap::create(document.get());
        document->addMap(map, true);
        map->setRoot(TWMapBranch::createWithGraphic(
            TWGraphic::make<TWRectangle>(Rect(10, 10, 80, 30)), nullptr, map.get()));
        undo->disableUndoRegistration();
        GeneratedMap::fill(*map, count);
        undo->enableUndoRegistration();
        host = std::make_unique<Host>(document);
        view = std::make_unique<TWGraphicView>();
        view->setDocument(host.get());
        view->selectAll();
        view->performPendingLayout();
        undo->closeEventGroup();
    }
    std::shared_ptr<UndoManager> undo = std::make_shared<UndoManager>();
    std::shared_ptr<TWMapsDoc> document;
    std::shared_ptr<TWMap> map;
    std::unique_ptr<Host> host;
    std::unique_ptr<TWGraphicView> view;
};

// Kept to the end like the application: a canvas must not outlive Qt's statics.
Fixture &fixture(int count)
{
    static auto *fixtures = new std::map<int, Fixture *>;
    Fixture *&f = (*fixtures)[count];
    if (!f)
        f = new Fixture(count);
    return *f;
}

void BM_ValidateMenuWithEverythingSelected(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    const QList<QAction *> actions = f.view->menuActions().values();
    for (auto _ : state)
        f.view->actionRouter().validateActions(actions);
    state.counters["items"] = double(actions.size());
    state.counters["selected"] = double(f.map->countOfSelectedGraphics());
}
BENCHMARK(BM_ValidateMenuWithEverythingSelected)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

// Each iteration changes every selected branch to circles and undoes it.
void BM_ChangeTypeOfEverythingAndUndo(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    for (auto _ : state) {
        // The pass ends: the deferred layout runs, the step closes.
        f.view->doChangeBranchType(3);
        f.view->performPendingLayout();
        f.undo->closeEventGroup();
        f.undo->undo();
        f.view->performPendingLayout();
        f.undo->removeAllActions();
    }
    state.counters["branches"] = double(f.map->branchCount());
}
BENCHMARK(BM_ChangeTypeOfEverythingAndUndo)
    ->Arg(1000)
    ->Arg(3000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

} // namespace

THINKWEB_BENCHMARK_MAIN();
