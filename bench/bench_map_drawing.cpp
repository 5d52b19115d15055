// Drawing whole generated maps to an image, and only the visible part of one
// as a canvas redraw does. THINKWEB_BENCH_LARGE=1 adds the largest map to the
// whole-map case.
#include "BenchMain.h"
#include "GeneratedMap.h"
#include "mapdrawing/TWMapBranch_Drawing.h"
#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMap_Drawing.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"
#include "render/DrawingContext.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>

namespace {

QGuiApplication &application()
{
    static int argc = 1;
    static char name[] = "bench_map_drawing";
    static char *argv[] = {name, nullptr};
    // Never destroyed: the documents built below outlive main() and hold
    // fonts and text layouts the application's teardown would free first.
    static QGuiApplication *app = new QGuiApplication(argc, argv);
    return *app;
}

void BM_DrawWholeMapToImage(benchmark::State &state)
{
    application();
    TWMap &map = GeneratedMap::cached(int(state.range(0)));
    const Rect extent = map.getBoundingDrawingRectForAllGraphics();
    for (auto _ : state) {
        QImage image = TWMapImages::imageOfMap(map, extent, 0.25, true);
        benchmark::DoNotOptimize(image.bits());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A window of 800 x 600 points in the middle of the map: the same work
// whatever the map's size when drawing culls to it.
void BM_DrawVisibleRect(benchmark::State &state)
{
    application();
    TWMap &map = GeneratedMap::cached(int(state.range(0)));
    const Rect extent = map.getBoundingDrawingRectForAllGraphics();
    const Rect visible(extent.midX() - 400, extent.midY() - 300, 800, 600);
    QImage image = DrawingContext::makeImage(visible.size, 1.0, Qt::white);
    for (auto _ : state) {
        QPainter painter(&image);
        DrawingContext context(painter, true);
        context.painter().translate(-visible.origin.x, -visible.origin.y);
        TWMapDrawing::Options options;
        options.drawSelection = true;
        TWMapDrawing::drawMapInRect(context, map, visible, options);
    }
}

// A small window at the map's top-left corner, where the root lies: what a
// canvas scrolled there redraws. Culling by subtree extents keeps it nearly
// the same at every map size.
void BM_DrawCornerRect(benchmark::State &state)
{
    application();
    TWMap &map = GeneratedMap::cached(int(state.range(0)));
    const Rect extent = map.getBoundingDrawingRectForAllGraphics();
    const Rect corner(extent.origin.x, extent.origin.y, 400, 300);
    QImage image = DrawingContext::makeImage(corner.size, 1.0, Qt::white);
    for (auto _ : state) {
        QPainter painter(&image);
        DrawingContext context(painter, true);
        context.painter().translate(-corner.origin.x, -corner.origin.y);
        TWMapDrawing::Options options;
        options.drawSelection = true;
        TWMapDrawing::drawMapInRect(context, map, corner, options);
    }
}

// The whole map, shrunk into a 1024-pixel square: every branch is drawn.
void BM_DrawWholeMapFitted(benchmark::State &state)
{
    application();
    TWMap &map = GeneratedMap::cached(int(state.range(0)));
    const Rect extent = map.getBoundingDrawingRectForAllGraphics();
    QImage image = DrawingContext::makeImage(Size(1024, 1024), 1.0, Qt::white);
    for (auto _ : state) {
        QPainter painter(&image);
        DrawingContext context(painter, true);
        const qreal k = 1024 / std::max(extent.width(), extent.height());
        context.painter().scale(k, k);
        context.painter().translate(-extent.origin.x, -extent.origin.y);
        TWMapDrawing::Options options;
        options.drawSelection = true;
        TWMapDrawing::drawMapInRect(context, map, extent, options);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A rectangle beside the map: what walking the tree costs when nothing shows.
void BM_WalkWithNothingVisible(benchmark::State &state)
{
    application();
    TWMap &map = GeneratedMap::cached(int(state.range(0)));
    const Rect beside(-5000, -5000, 100, 100);
    QImage image = DrawingContext::makeImage(beside.size, 1.0, Qt::white);
    for (auto _ : state) {
        QPainter painter(&image);
        DrawingContext context(painter, true);
        context.painter().translate(-beside.origin.x, -beside.origin.y);
        TWMapDrawing::Options options;
        options.drawBackground = false;
        TWMapDrawing::drawMapInRect(context, map, beside, options);
    }
}

void wholeMapSizes(benchmark::internal::Benchmark *b)
{
    b->Arg(1000)->Arg(10000);
    if (qEnvironmentVariableIntValue("THINKWEB_BENCH_LARGE") == 1)
        b->Arg(30000);
}

} // namespace

BENCHMARK(BM_DrawWholeMapToImage)->Apply(wholeMapSizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawVisibleRect)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkWithNothingVisible)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawCornerRect)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawWholeMapFitted)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
THINKWEB_BENCHMARK_MAIN();
