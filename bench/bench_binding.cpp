// The inspector over a large selection: the refresh the palettes wait for
// after a select-all, and one palette change written to every selected
// branch as one undo step.
#include "application/Startup.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWGraphicBindingController.h"
#include "platform/NotificationQueue.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int BranchCount = 10000;

// `count` branches in rows of 100 under the root, every one selected.
struct Document
{
    std::shared_ptr<UndoManager> undo = std::make_shared<UndoManager>();
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
    std::shared_ptr<TWMap> map;
    std::unique_ptr<TWGraphicBindingController> controller;

    explicit Document(int count)
    {
        document->setUndoManager(undo);
        map = TWMap::create(document.get());
        document->addMap(map, true);
        TWMapBranch *root = map->root().get();
        std::shared_ptr<TWMapBranch> first;
        for (int i = 0; i < count; ++i) {
            const float y = float(i % 100) * 40;
            TWMapBranch *parent = i % 100 == 0 ? root : first.get();
            auto branch = TWMapBranch::createWithGraphic(
                TWGraphic::make<TWRectangle>(Rect(300 + float(i / 100) * 120, y, 80, 30)), parent,
                map.get());
            branch->enclosedTextArea()->setString(QStringLiteral("Branch %1").arg(i));
            if (i % 100 == 0)
                first = branch;
            map->insertObjectInSelectedGraphicsAtIndex(branch->mainGraphic(),
                                                       map->countOfSelectedGraphics());
        }
        undo->removeAllActions();
        NotificationQueue::defaultQueue().flush();
        controller =
            std::make_unique<TWGraphicBindingController>([this] { return document.get(); }, this);
        controller->update();
    }
    ~Document()
    {
        controller.reset();
        document->detach();
    }
};

void BM_RefreshSelection(benchmark::State &state)
{
    Document doc(int(state.range(0)));
    for (auto _ : state)
        doc.controller->update();
    state.counters["branches"] = double(state.range(0));
}

// One palette change: the setter, the end of the event's undo group and the
// queued redraw notifications.
template <class Change> void runSetter(benchmark::State &state, Change change)
{
    for (auto _ : state) {
        state.PauseTiming();
        Document doc(int(state.range(0)));
        state.ResumeTiming();
        change(*doc.controller);
        doc.undo->closeEventGroup();
        NotificationQueue::defaultQueue().flush();
        state.PauseTiming();
        if (doc.undo->undoStepCount() != 1)
            state.SkipWithError("the change is not one undo step");
        state.ResumeTiming();
    }
    state.counters["branches"] = double(state.range(0));
}

void BM_SetFillColor(benchmark::State &state)
{
    runSetter(state, [](TWGraphicBindingController &c) {
        c.setFillColor(Color::colorWithCalibratedRed(0.9, 0.2, 0.1));
    });
}

void BM_SetStrokeWidth(benchmark::State &state)
{
    runSetter(state, [](TWGraphicBindingController &c) { c.setStrokeWidth(3); });
}

void BM_SetShadowOffset(benchmark::State &state)
{
    runSetter(state, [](TWGraphicBindingController &c) { c.setShadowOffsetWidth(7); });
}

void BM_SetHasBoundary(benchmark::State &state)
{
    runSetter(state, [](TWGraphicBindingController &c) { c.setHasBoundary(1); });
}

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    new QApplication(argc, argv);
    UserDefaults defaults(dataHome.filePath(QStringLiteral("defaults.ini")));
    UserDefaults::Scope defaultsScope(&defaults);
    TWPreferences::registerDefaults(defaults);

    benchmark::RegisterBenchmark("BM_RefreshSelection", BM_RefreshSelection)
        ->Unit(benchmark::kMillisecond)
        ->Arg(BranchCount);
    using Bench = void (*)(benchmark::State &);
    const std::pair<const char *, Bench> setters[] = {{"BM_SetFillColor", BM_SetFillColor},
                                                      {"BM_SetStrokeWidth", BM_SetStrokeWidth},
                                                      {"BM_SetShadowOffset", BM_SetShadowOffset},
                                                      {"BM_SetHasBoundary", BM_SetHasBoundary}};
    for (auto [name, fn] : setters)
        benchmark::RegisterBenchmark(name, fn)
            ->Unit(benchmark::kMillisecond)
            ->Arg(1000)
            ->Arg(BranchCount)
            ->Iterations(2);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
