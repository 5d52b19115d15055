// Automatic layout of generated maps: the whole map arranged tightly, a
// subtree re-arranged after one branch changed, and the loose push after a
// move. Maps have ten children a branch, 1,111 and 11,111 branches by
// default; THINKWEB_BENCH_LARGE=1 adds 111,111.

#include "drawing/TWMapBranch_Layout.h"
#include "drawing/TWMapLayout.h"
#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationQueue.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <map>

namespace {

constexpr int Fanout = 10;

struct Tree
{
    std::shared_ptr<TWMap> map;
    std::shared_ptr<TWMapBranch> root;
    std::shared_ptr<TWMapBranch> lastParent; // a parent of leaves, deepest and last
    int count = 0;
};

void grow(Tree &tree, TWMapBranch *parent, int level, int depth, float &y)
{
    for (int i = 0; i < Fanout; ++i) {
        // Scattered a little, so that the layout has work to do.
        auto shape = TWGraphic::createWithBounds(
            Rect(200.0f * float(level) + float((i * 37) % 50), y, 80, 30));
        y += 33;
        // Made outside the map, then handed to it: inside, every new
        // connection looks its ends up by number, which rebuilds the map's
        // number index each time.
        auto branch = TWMapBranch::createWithGraphic(shape, parent, nullptr);
        ++tree.count;
        if (level < depth)
            grow(tree, branch.get(), level + 1, depth, y);
        else
            tree.lastParent = parent->shared_from_this();
    }
}

// Built without a document: no undo manager keeps the moves.
Tree buildTree(int depth)
{
    Tree tree;
    tree.map = TWMap::create(nullptr);
    tree.map->setLayoutServices(std::make_shared<TWMapLayout>());
    tree.map->branchDisplaySettingsForUpdate().branchHideLevel = 999;
    tree.map->branchDisplaySettingsForUpdate().orderingMode = 1;
    tree.map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 3;
    tree.map->setRepelDistance(10);
    tree.map->setFirstLevelSpacing(60);
    tree.map->setInterChildSpacing(30);
    tree.root = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 100, 40)),
                                               nullptr, tree.map.get());
    tree.map->setRoot(tree.root);
    tree.count = 1;
    float y = 0;
    grow(tree, tree.root.get(), 1, depth, y);
    TWMapBranch::BranchList all;
    tree.root->buildBranchArray(all);
    for (const std::shared_ptr<TWMapBranch> &b : std::as_const(all))
        b->setPrimitiveMap(tree.map.get());
    NotificationQueue::defaultQueue().flush();
    return tree;
}

Tree &sharedTree(int depth)
{
    // Kept to the end of the process: freeing maps after the application
    // object is gone would reach torn-down notification machinery.
    static auto *trees = new std::map<int, Tree>;
    auto it = trees->find(depth);
    if (it == trees->end())
        it = trees->emplace(depth, buildTree(depth)).first;
    return it->second;
}

void depths(benchmark::internal::Benchmark *b)
{
    b->Arg(3)->Arg(4);
    if (std::getenv("THINKWEB_BENCH_LARGE"))
        b->Arg(5);
}

void BM_TightLayoutWholeMap(benchmark::State &state)
{
    Tree &tree = sharedTree(int(state.range(0)));
    for (auto _ : state) {
        TWMapLayout::performTightAutoLayoutWithMovedBranches(*tree.map, {tree.root}, false);
        NotificationQueue::defaultQueue().flush();
    }
    state.counters["branches"] = tree.count;
    state.SetComplexityN(tree.count);
}
BENCHMARK(BM_TightLayoutWholeMap)->Apply(depths)->Complexity()->Unit(benchmark::kMillisecond);

// One leaf grew: its parent's children are stacked anew and the parent
// centred on them.
void BM_TightRelayoutAfterOneChange(benchmark::State &state)
{
    Tree &tree = sharedTree(int(state.range(0)));
    const std::shared_ptr<TWMapBranch> leaf = tree.lastParent->children().at(4);
    bool taller = false;
    for (auto _ : state) {
        const Rect r = leaf->mainGraphic()->bounds();
        taller = !taller;
        leaf->mainGraphic()->setBounds(Rect(r.x(), r.y(), r.width(), taller ? 60 : 30));
        TWMapLayout::performTightAutoLayoutWithMovedBranches(*tree.map, {tree.lastParent}, true);
        NotificationQueue::defaultQueue().flush();
    }
    state.counters["branches"] = tree.count;
    state.SetComplexityN(tree.count);
}
BENCHMARK(BM_TightRelayoutAfterOneChange)
    ->Apply(depths)
    ->Complexity()
    ->Unit(benchmark::kMillisecond);

// A leaf moved onto its lower sibling and back: the siblings below are pushed.
void BM_LoosePushAfterMove(benchmark::State &state)
{
    Tree &tree = sharedTree(int(state.range(0)));
    const std::shared_ptr<TWMapBranch> leaf = tree.lastParent->children().at(4);
    float dy = 25;
    for (auto _ : state) {
        TWBranchLayout::moveBranchBy(*leaf, 0, dy, true);
        dy = -dy;
        TWMapLayout::performLooseAutoLayoutWithMovedBranches(*tree.map, {leaf});
        NotificationQueue::defaultQueue().flush();
    }
    state.counters["branches"] = tree.count;
    state.SetComplexityN(tree.count);
}
BENCHMARK(BM_LoosePushAfterMove)->Apply(depths)->Complexity()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv); // the notification queue defers to the event loop
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
