// Automatic layout of generated maps: the whole map arranged tightly, a
// subtree re-arranged after one branch changed, and the loose push after a
// move. Maps of 1,000 and 10,000 branches by default; THINKWEB_BENCH_LARGE=1
// adds 100,000.

#include "BranchDocumentGenerator.h"
#include "application/Startup.h"
#include "graphics/TWGraphic.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationQueue.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <map>

namespace {

// The model keeps coordinates within ±10,000 points (farther ones become
// 100), so a map whose laid-out height passes that would collapse onto one
// line and be laid out afresh at every run. The maps are shaped to fit:
// ten first-level branches, then a few hundred or thousand heads of chains
// of small branches, which is where a large map's height and width go.
struct Tree
{
    std::shared_ptr<TWMap> map;
    std::shared_ptr<TWMapBranch> root;
    std::shared_ptr<TWMapBranch> lastParent; // a parent of leaves, deepest and last
    QList<std::shared_ptr<TWMapBranch>> all;
    QList<Rect> scattered; // the shapes' bounds as built
    int count = 0;
};

std::shared_ptr<TWMapBranch> add(Tree &tree, TWMapBranch *parent, int level, float y)
{
    // Scattered a little, so that the layout has work to do. Made outside
    // the map, then handed to it: inside, every new connection looks its
    // ends up by number, which rebuilds the map's number index each time.
    auto shape = TWGraphic::createWithBounds(
        Rect(40.0f * float(level) + float((tree.count * 37) % 50), y, 40, 12));
    auto branch = TWMapBranch::createWithGraphic(shape, parent, nullptr);
    ++tree.count;
    return branch;
}

// Built without a document: no undo manager keeps the moves.
Tree buildTree(int branches)
{
    Tree tree;
    tree.map = TWMap::create(nullptr);
    tree.map->setLayoutServices(std::make_shared<TWMapLayout>());
    tree.map->branchDisplaySettingsForUpdate().branchHideLevel = 9999;
    tree.map->branchDisplaySettingsForUpdate().orderingMode = 1;
    tree.map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 3;
    tree.map->setRepelDistance(4);
    tree.map->setFirstLevelSpacing(40);
    tree.map->setInterChildSpacing(10);
    tree.root = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 100, 40)),
                                               nullptr, tree.map.get());
    tree.map->setRoot(tree.root);
    tree.count = 1;
    // Chains grow with the map, so that its height stays within range.
    const int chain = branches <= 10000 ? 22 : 50;
    const int heads = std::max(10, (branches - 11) / chain);
    QList<std::shared_ptr<TWMapBranch>> firstLevel;
    for (int i = 0; i < 10; ++i)
        firstLevel.append(add(tree, tree.root.get(), 1, float(i * 40)));
    // The last chain ends in ten leaves, whose parent the relayout and
    // push cases change.
    const int fan = 10;
    float y = 0;
    TWMapBranch *end = nullptr;
    int level = 0;
    for (int h = 0; h < heads; ++h) {
        // What is left is shared out evenly, so the count is exact.
        const int length = (branches - fan - tree.count) / (heads - h);
        TWMapBranch *parent = firstLevel.at(h % 10).get();
        for (int k = 0; k < length; ++k)
            parent = add(tree, parent, k + 2, y).get();
        end = parent;
        level = length + 2;
        y += 17;
    }
    for (int i = 0; i < fan; ++i)
        add(tree, end, level, y + float(i * 17));
    tree.lastParent = end->shared_from_this();
    tree.root->buildBranchArray(tree.all);
    for (const std::shared_ptr<TWMapBranch> &b : std::as_const(tree.all)) {
        b->setPrimitiveMap(tree.map.get());
        tree.scattered.append(b->mainGraphic()->bounds());
    }
    NotificationQueue::defaultQueue().flush();
    return tree;
}

Tree &sharedTree(int branches)
{
    // Kept to the end of the process: freeing maps after the application
    // object is gone would reach torn-down notification machinery.
    static auto *trees = new std::map<int, Tree>;
    auto it = trees->find(branches);
    if (it == trees->end())
        it = trees->emplace(branches, buildTree(branches)).first;
    return it->second;
}

void scatter(Tree &tree)
{
    for (qsizetype i = 0; i < tree.all.size(); ++i) {
        TWMapBranch &b = *tree.all.at(i);
        const Rect now = b.mainGraphic()->bounds(), then = tree.scattered.at(i);
        b.moveBranchBy(then.x() - now.x(), then.y() - now.y(), false);
    }
    NotificationQueue::defaultQueue().flush();
}

// Whether every shape lies within the model's range and off the line that
// out-of-range places are moved to, as a figure is only worth having for a
// map that fits.
bool fits(const Tree &tree)
{
    int onReplacementLine = 0;
    for (const std::shared_ptr<TWMapBranch> &b : tree.all) {
        const Rect r = b->mainGraphic()->bounds();
        onReplacementLine += r.y() == TWGraphic::BoundsReplacementValue;
        const float limit = TWGraphic::MaximumCoordinate;
        if (r.x() < -limit || r.maxX() > limit || r.y() < -limit || r.maxY() > limit)
            return false;
    }
    return onReplacementLine < 3;
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(1000)->Arg(10000);
    if (std::getenv("THINKWEB_BENCH_LARGE"))
        b->Arg(100000);
}

// The whole map arranged from where its branches were put by hand: nearly
// every branch moves.
void BM_TightLayoutWholeMap(benchmark::State &state)
{
    Tree &tree = sharedTree(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        scatter(tree);
        state.ResumeTiming();
        TWMapLayout::performTightAutoLayoutWithMovedBranches(*tree.map, {tree.root}, false);
        NotificationQueue::defaultQueue().flush();
    }
    if (!fits(tree))
        state.SkipWithError("the laid-out map leaves the model's coordinate range");
    state.counters["branches"] = tree.count;
    state.SetComplexityN(tree.count);
}
BENCHMARK(BM_TightLayoutWholeMap)->Apply(sizes)->Complexity()->Unit(benchmark::kMillisecond);

// The whole map arranged again with nothing changed, as after an edit that
// moves nothing.
void BM_TightLayoutSettledMap(benchmark::State &state)
{
    Tree &tree = sharedTree(int(state.range(0)));
    TWMapLayout::performTightAutoLayoutWithMovedBranches(*tree.map, {tree.root}, false);
    for (auto _ : state) {
        TWMapLayout::performTightAutoLayoutWithMovedBranches(*tree.map, {tree.root}, false);
        NotificationQueue::defaultQueue().flush();
    }
    if (!fits(tree))
        state.SkipWithError("the laid-out map leaves the model's coordinate range");
    state.counters["branches"] = tree.count;
    state.SetComplexityN(tree.count);
}
BENCHMARK(BM_TightLayoutSettledMap)->Apply(sizes)->Complexity()->Unit(benchmark::kMillisecond);

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
        leaf->mainGraphic()->setBounds(Rect(r.x(), r.y(), r.width(), taller ? 24 : 12));
        TWMapLayout::performTightAutoLayoutWithMovedBranches(*tree.map, {tree.lastParent}, true);
        NotificationQueue::defaultQueue().flush();
    }
    state.counters["branches"] = tree.count;
    state.SetComplexityN(tree.count);
}
BENCHMARK(BM_TightRelayoutAfterOneChange)
    ->Apply(sizes)
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
BENCHMARK(BM_LoosePushAfterMove)->Apply(sizes)->Complexity()->Unit(benchmark::kMillisecond);

// The room a branch made from the keyboard gets in the loose layout, once
// it is placed: a leaf deep in the last chain and a new main branch, with
// room already there (the usual case), so that the cost is that of looking.
void BM_LooseRoomForNewBranch(benchmark::State &state)
{
    Tree &tree = sharedTree(int(state.range(1)));
    tree.map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 2;
    const std::shared_ptr<TWMapBranch> made =
        state.range(0) ? tree.root->children().last() : tree.lastParent->children().at(4);
    tree.map->makeRoomForNewBranches({made});
    for (auto _ : state) {
        tree.map->makeRoomForNewBranches({made});
        NotificationQueue::defaultQueue().flush();
    }
    tree.map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 3;
    state.SetLabel(state.range(0) ? "main branch" : "deep leaf");
    state.counters["branches"] = tree.count;
    state.SetComplexityN(tree.count);
}
BENCHMARK(BM_LooseRoomForNewBranch)
    ->ArgsProduct({{0, 1}, {1000, 10000}})
    ->Unit(benchmark::kMillisecond);

// The whole map moved by dragging its root, or onto the canvas as a window
// opens: every graphic shifts by the same offset.
void BM_MoveWholeMap(benchmark::State &state)
{
    Tree &tree = sharedTree(int(state.range(0)));
    float d = 3;
    for (auto _ : state) {
        tree.root->mainGraphic()->publicMoveBy(Point(d, d), false);
        d = -d;
        NotificationQueue::defaultQueue().flush();
    }
    state.counters["branches"] = tree.count;
    state.SetComplexityN(tree.count);
}
BENCHMARK(BM_MoveWholeMap)->Apply(sizes)->Complexity()->Unit(benchmark::kMillisecond);

// The same with the generated document a window opens (labels, pictures,
// icons, boundaries, link lines; laid out), as it is moved onto the canvas:
// nothing is recorded for undo then.
void BM_MoveWholeDocumentMap(benchmark::State &state)
{
    static auto *documents = new std::map<int, std::shared_ptr<TWMapsDoc>>;
    std::shared_ptr<TWMapsDoc> &document = (*documents)[int(state.range(0))];
    if (!document) {
        document = BranchDocument::makeDocument(int(state.range(0)), 0);
        document->currentMap()->setLayoutServices(std::make_shared<TWMapLayout>());
        TWMapLayout::autoArrange(*document->currentMap());
        NotificationQueue::defaultQueue().flush();
    }
    const std::shared_ptr<TWMapBranch> root = document->currentMap()->root();
    UndoManager *undo = document->undoManager(); // none without a window's document
    if (undo)
        undo->disableUndoRegistration();
    float d = 3;
    for (auto _ : state) {
        root->mainGraphic()->publicMoveBy(Point(d, d), true);
        d = -d;
        NotificationQueue::defaultQueue().flush();
    }
    if (undo)
        undo->enableUndoRegistration();
    state.counters["branches"] = double(document->currentMap()->allBranches().size());
}
BENCHMARK(BM_MoveWholeDocumentMap)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    QGuiApplication app(argc, argv); // the notification queue defers to the event loop
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
