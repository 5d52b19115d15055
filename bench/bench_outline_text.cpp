// A generated map written out as the exports write it: its outline text in
// both layouts (text export, copy), and its image-map areas and presentation
// instructions.
#include "BenchMain.h"
#include "GeneratedMap.h"
#include "mapdrawing/TWMapBranch_Hotspots.h"
#include "mapdrawing/TWMapBranch_Outline.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

namespace {

void setUp()
{
    static int argc = 1;
    static char name[] = "bench_outline_text";
    static char *argv[] = {name, nullptr};
    // Never destroyed: the maps outlive main().
    static QGuiApplication *app = new QGuiApplication(argc, argv);
    (void)app;
}

void BM_OutlineText(benchmark::State &state)
{
    setUp();
    TWMap &map = GeneratedMap::cached(int(state.range(1)));
    TWBranchOutline::Settings settings;
    settings.type = int(state.range(0));
    settings.options = TWBranchOutline::BranchText | TWBranchOutline::Notes |
                       TWBranchOutline::LinkedText | TWBranchOutline::HiddenBranches;
    settings.indentSelection = TWBranchOutline::IndentWithTabs;
    qsizetype length = 0;
    for (auto _ : state) {
        const AttributedString text = TWBranchOutline::createTextOfType(map, settings);
        length = text.length();
        benchmark::DoNotOptimize(length);
    }
    state.counters["chars"] = double(length);
}

void BM_ImageMapHotspots(benchmark::State &state)
{
    setUp();
    TWMap &map = GeneratedMap::cached(int(state.range(0)));
    qsizetype length = 0;
    for (auto _ : state) {
        QString html;
        TWBranchHotspots::appendImageMapHotspotsToString(*map.root(), html, 0, 0, 1, 1, "map.html",
                                                         "_self", true, true);
        length = html.size();
        benchmark::DoNotOptimize(html.constData());
    }
    state.counters["chars"] = double(length);
}

void BM_PresentationInstructions(benchmark::State &state)
{
    setUp();
    TWMap &map = GeneratedMap::cached(int(state.range(0)));
    qsizetype length = 0;
    for (auto _ : state) {
        QString xml;
        TWBranchHotspots::appendXMLPresentationInstructionsTo(*map.root(), xml, 0, 0, 1);
        length = xml.size();
        benchmark::DoNotOptimize(xml.constData());
    }
    state.counters["chars"] = double(length);
}

} // namespace

BENCHMARK(BM_OutlineText)
    ->ArgsProduct({{TWBranchOutline::RichLayout, TWBranchOutline::SingleLineLayout},
                   {1000, 10000, 100000}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImageMapHotspots)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PresentationInstructions)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
THINKWEB_BENCHMARK_MAIN();
