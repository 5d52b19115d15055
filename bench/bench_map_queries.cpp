// Queries that callers run per click or per redraw, over grid maps of
// 2,400 and 7,200 branches (24,000 with THINKWEB_BENCH_LARGE=1).

#include "application/Startup.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

namespace {

// A map of `branches` branches in a grid (about five graphics each: shape,
// text, connection and a few attached graphics).
struct GridMap
{
    explicit GridMap(int branches)
    {
        document = TWMapsDoc::create();
        map = TWMap::create(document.get());
        document->addMap(map, true);
        auto root = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 100, 40)),
                                                   nullptr, map.get());
        map->setRoot(root);
        // Every level shown, as the layout leaves a map it has laid out.
        map->branchDisplaySettingsForUpdate().branchHideLevel = 99;
        std::shared_ptr<TWMapBranch> parent = root;
        for (int i = 1; i < branches; ++i) {
            const float x = float((i % 100) * 90), y = float((i / 100) * 60);
            auto b =
                TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(x, y, 80, 30)),
                                               i % 10 == 1 ? root.get() : parent.get(), map.get());
            if (i % 10 == 1)
                parent = b;
            if (i % 4 == 0) {
                auto attached = TWGraphic::createWithBounds(Rect(x + 60, y + 20, 10, 10));
                attached->setBranch(b.get());
                b->insertObjectInLinkedGraphicsAtIndex(attached, 0);
            }
        }
        NotificationQueue::defaultQueue().flush();
        graphicCount = int(map->graphics().size());
        last = map->graphics().last();
    }
    ~GridMap() { document->detach(); }
    std::shared_ptr<TWMapsDoc> document;
    std::shared_ptr<TWMap> map;
    std::shared_ptr<TWGraphic> last;
    int graphicCount = 0;
};

void BM_GraphicUnderPoint(benchmark::State &state)
{
    GridMap grid(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(grid.map->graphicUnderPoint({4455, 15}, nullptr));
    state.counters["graphics"] = grid.graphicCount;
    state.SetComplexityN(grid.graphicCount);
}

void BM_DrawingExtent(benchmark::State &state)
{
    GridMap grid(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(grid.map->getBoundingDrawingRectForAllGraphics());
    state.SetComplexityN(grid.graphicCount);
}

void BM_PrintingExtent(benchmark::State &state)
{
    GridMap grid(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(grid.map->getBoundingPrintingRectForAllGraphics());
    state.SetComplexityN(grid.graphicCount);
}

void BM_FindGraphicWithGraphicNumber(benchmark::State &state)
{
    GridMap grid(int(state.range(0)));
    const long number = grid.last->graphicNumber();
    grid.map->findGraphicWithGraphicNumber(number);
    for (auto _ : state)
        benchmark::DoNotOptimize(grid.map->findGraphicWithGraphicNumber(number));
    state.counters["graphics"] = grid.graphicCount;
    state.SetComplexityN(grid.graphicCount);
}

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    QGuiApplication app(argc, argv);
    // 24,000 branches with THINKWEB_BENCH_LARGE=1.
    QList<int> sizes{2400, 7200};
    if (qEnvironmentVariableIntValue("THINKWEB_BENCH_LARGE"))
        sizes.append(24000);
    for (const auto &[name, function] :
         {std::pair{"BM_GraphicUnderPoint", &BM_GraphicUnderPoint},
          {"BM_DrawingExtent", &BM_DrawingExtent},
          {"BM_PrintingExtent", &BM_PrintingExtent},
          {"BM_FindGraphicWithGraphicNumber", &BM_FindGraphicWithGraphicNumber}}) {
        auto *b = benchmark::RegisterBenchmark(name, function);
        for (const int n : sizes)
            b->Arg(n);
        b->Complexity()->Unit(function == &BM_FindGraphicWithGraphicNumber
                                  ? benchmark::kNanosecond
                                  : benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
