#include "BenchMain.h"
#include "support/BezierPath.h"
#include "support/NearestPoint.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

// A wandering path of `count` curve segments over a 2000 x 2000 area.
BezierPath curvePath(int count)
{
    std::mt19937 random(42);
    std::uniform_real_distribution<float> step(-40, 40);
    BezierPath path;
    Point current(1000, 1000);
    path.moveToPoint(current);
    for (int i = 0; i < count; ++i) {
        const Point c1(current.x + step(random), current.y + step(random));
        const Point c2(current.x + step(random), current.y + step(random));
        Point end(current.x + step(random), current.y + step(random));
        end.x = std::clamp(end.x, 0.0f, 2000.0f);
        end.y = std::clamp(end.y, 0.0f, 2000.0f);
        path.curveToPoint(end, c1, c2);
        current = end;
    }
    return path;
}

void BM_FlattenCurves(benchmark::State &state)
{
    const BezierPath path = curvePath(int(state.range(0)));
    for (auto _ : state) {
        BezierPath flat = path.bezierPathByFlatteningPath(0.6f);
        benchmark::DoNotOptimize(flat);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["lines"] = path.bezierPathByFlatteningPath(0.6f).elementCount();
}
BENCHMARK(BM_FlattenCurves)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_HitTestCurves(benchmark::State &state)
{
    // A miss tests every segment: the worst case of picking a link line.
    BezierPath path = curvePath(int(state.range(0)));
    path.setLineWidth(2);
    const Point miss(-500, -500);
    for (auto _ : state)
        benchmark::DoNotOptimize(path.intersectsPoint(miss));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_HitTestCurves)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_PathLength(benchmark::State &state)
{
    const BezierPath path = curvePath(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(path.bezierPathLength());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PathLength)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_NearestPointOnCurve(benchmark::State &state)
{
    const NearestPoint::Vec2 V[4] = {{0, 0}, {100, 300}, {400, -200}, {500, 100}};
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-100, 600);
    std::vector<NearestPoint::Vec2> points(size_t(state.range(0)));
    for (auto &p : points)
        p = {coordinate(random), coordinate(random)};
    for (auto _ : state)
        for (const auto &p : points)
            benchmark::DoNotOptimize(NearestPoint::NearestPointOnCurve(p, V));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NearestPointOnCurve)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
