// A map of 111,111 branches (ten children a branch, five levels below the
// root), each with its shape, text area and connection: what building it
// costs in time and heap, how fast the tree queries walk it, and what
// renumbering the outline and deriving check boxes cost.

#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationQueue.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

constexpr int Fanout = 10;
constexpr int Depth = 5;

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

struct Tree
{
    std::shared_ptr<TWMap> map;
    std::shared_ptr<TWMapBranch> root;
    int count = 0;
};

void grow(Tree &tree, TWMapBranch *parent, int level, float &y)
{
    for (int i = 0; i < Fanout; ++i) {
        auto shape = TWGraphic::createWithBounds(Rect(200.0f * float(level), y, 80, 30));
        y += 40;
        auto branch = TWMapBranch::createWithGraphic(shape, parent, tree.map.get());
        ++tree.count;
        if (level < Depth)
            grow(tree, branch.get(), level + 1, y);
    }
}

Tree buildTree()
{
    Tree tree;
    tree.map = TWMap::create(nullptr);
    tree.root = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 100, 40)),
                                               nullptr, tree.map.get());
    tree.map->setRoot(tree.root);
    tree.count = 1;
    float y = 0;
    grow(tree, tree.root.get(), 1, y);
    NotificationQueue::defaultQueue().flush();
    return tree;
}

Tree &sharedTree()
{
    static Tree tree = buildTree();
    return tree;
}

void BM_BuildTree(benchmark::State &state)
{
    for (auto _ : state) {
        const size_t before = heapInUse();
        Tree tree = buildTree();
        const size_t after = heapInUse();
        state.counters["branches"] = tree.count;
        state.counters["bytes_per_branch"] = double(after - before) / tree.count;

        // The same without the label texts: what the branch and its graphics hold.
        size_t textBytes = 0;
        {
            const size_t withText = heapInUse();
            for (const auto &branch : tree.map->allBranches())
                branch->enclosedTextArea()->setText(AttributedString());
            textBytes = withText - heapInUse();
        }
        state.counters["bytes_per_branch_without_text"] =
            double(after - before - textBytes) / tree.count;
        tree.root->deparent();
    }
}
BENCHMARK(BM_BuildTree)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_AllBranches(benchmark::State &state)
{
    Tree &tree = sharedTree();
    for (auto _ : state) {
        TWMapBranch::BranchList branches = tree.map->allBranches();
        benchmark::DoNotOptimize(branches.data());
        state.counters["branches"] = double(branches.size());
    }
}
BENCHMARK(BM_AllBranches)->Unit(benchmark::kMillisecond);

void BM_FrontToBackGraphics(benchmark::State &state)
{
    Tree &tree = sharedTree();
    for (auto _ : state) {
        TWMapBranch::GraphicList graphics;
        tree.root->graphicsForBranchIntoArray(graphics, false, true, true);
        benchmark::DoNotOptimize(graphics.data());
        state.counters["graphics"] = double(graphics.size());
    }
}
BENCHMARK(BM_FrontToBackGraphics)->Unit(benchmark::kMillisecond);

void BM_IndexPaths(benchmark::State &state)
{
    Tree &tree = sharedTree();
    const TWMapBranch::BranchList branches = tree.map->allBranches();
    for (auto _ : state) {
        qsizetype total = 0;
        for (const auto &branch : branches)
            total += branch->indexPath().size();
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_IndexPaths)->Unit(benchmark::kMillisecond);

// Renumbering the whole outline once the numbers are in place: the re-sort
// by position and the walk that finds every number unchanged. (Runs after
// the other benchmarks: the first pass gives every branch its label.)
void BM_RenumberOutline(benchmark::State &state)
{
    Tree &tree = sharedTree();
    tree.map->insertObjectInOutlineFormatSettingsAtIndex(QStringLiteral("Upper case roman"), 0);
    tree.map->insertObjectInOutlineFormatSettingsAtIndex(QStringLiteral("Lower case alpha"), 1);
    tree.map->recalculateOutlineNumbers();
    for (auto _ : state)
        tree.map->recalculateOutlineNumbers();
    state.counters["branches"] = tree.count;
}
BENCHMARK(BM_RenumberOutline)->Unit(benchmark::kMillisecond);

// The root's derived check box when every branch shows one.
void BM_DerivedCheckboxState(benchmark::State &state)
{
    Tree &tree = sharedTree();
    for (const auto &branch : tree.map->allBranches()) {
        branch->setShowCheckBox(true);
        branch->setCheckBoxState(1);
    }
    tree.map->setAutomaticCheckBoxes(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(tree.root->calculatedCheckboxState());
    state.counters["branches"] = tree.count;
}
BENCHMARK(BM_DerivedCheckboxState)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv); // the notification queue defers to the event loop
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
