// Maps of ten children a branch, three and four levels below the root (1,111
// and 11,111 branches; five levels, 111,111 branches, with
// THINKWEB_BENCH_LARGE=1), each branch with its shape, text area and
// connection: what building them costs in time and heap (which should grow
// with the count alone), how fast the tree queries walk them, and what
// renumbering the outline and deriving check boxes cost.

#include "application/Startup.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationQueue.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

constexpr int Fanout = 10;

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

void grow(Tree &tree, TWMapBranch *parent, int level, int depth, float &y)
{
    for (int i = 0; i < Fanout; ++i) {
        auto shape = TWGraphic::createWithBounds(Rect(200.0f * float(level), y, 80, 30));
        y += 40;
        auto branch = TWMapBranch::createWithGraphic(shape, parent, tree.map.get());
        ++tree.count;
        if (level < depth)
            grow(tree, branch.get(), level + 1, depth, y);
    }
}

Tree buildTree(int depth)
{
    Tree tree;
    tree.map = TWMap::create(nullptr);
    tree.root = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 100, 40)),
                                               nullptr, tree.map.get());
    tree.map->setRoot(tree.root);
    tree.count = 1;
    float y = 0;
    grow(tree, tree.root.get(), 1, depth, y);
    NotificationQueue::defaultQueue().flush();
    return tree;
}

// The deepest tree asked for, made once for the queries.
int queryDepth = 4;

Tree &sharedTree()
{
    static Tree tree = buildTree(queryDepth);
    return tree;
}

void BM_BuildTree(benchmark::State &state)
{
    for (auto _ : state) {
        const size_t before = heapInUse();
        Tree tree = buildTree(int(state.range(0)));
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
        state.SetComplexityN(tree.count);
        tree.root->deparent();
    }
}

void BM_AllBranches(benchmark::State &state)
{
    Tree &tree = sharedTree();
    for (auto _ : state) {
        TWMapBranch::BranchList branches = tree.map->allBranches();
        benchmark::DoNotOptimize(branches.data());
        state.counters["branches"] = double(branches.size());
    }
}

void BM_FrontToBackGraphics(benchmark::State &state)
{
    Tree &tree = sharedTree();
    for (auto _ : state) {
        TWMapBranch::GraphicList graphics;
        tree.root->graphicsForBranchIntoArray(graphics, true, true, true);
        benchmark::DoNotOptimize(graphics.data());
        state.counters["graphics"] = double(graphics.size());
    }
}

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

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    QGuiApplication app(argc, argv); // the notification queue defers to the event loop
    QList<int> depths{3, 4};
    if (qEnvironmentVariableIntValue("THINKWEB_BENCH_LARGE"))
        depths.append(5);
    queryDepth = depths.last();
    auto *build = benchmark::RegisterBenchmark("BM_BuildTree", BM_BuildTree);
    for (const int depth : depths)
        build->Arg(depth);
    build->Unit(benchmark::kMillisecond)->Iterations(1)->Complexity(benchmark::oN);
    benchmark::RegisterBenchmark("BM_AllBranches", BM_AllBranches)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_FrontToBackGraphics", BM_FrontToBackGraphics)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_IndexPaths", BM_IndexPaths)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_RenumberOutline", BM_RenumberOutline)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_DerivedCheckboxState", BM_DerivedCheckboxState)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
