#include "application/Startup.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "platform/UndoManager.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

constexpr int Million = 1'000'000;
int senders[10000];

// 1,000,000 posts, each delivered to 10 observers of that name.
void BM_PostToTenObservers(benchmark::State &state)
{
    NotificationCenter nc;
    long long delivered = 0;
    std::vector<ObserverToken> tokens;
    for (int i = 0; i < 10; ++i)
        tokens.push_back(nc.observe("RedrawInRectNotification", nullptr,
                                    [&](const Notification &) { ++delivered; }));
    // Observers of other names and senders, as in a running program.
    for (int i = 0; i < 50; ++i)
        tokens.push_back(nc.observe("Other" + QString::number(i), &senders[i],
                                    [&](const Notification &) { ++delivered; }));
    const QString name = "RedrawInRectNotification";
    const QVariantMap info = {{"map", 1}};
    for (auto _ : state) {
        for (int i = 0; i < Million; ++i)
            nc.post(name, &senders[i % 100], info);
    }
    benchmark::DoNotOptimize(delivered);
    state.counters["deliveries/s"] =
        benchmark::Counter(double(delivered), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PostToTenObservers)->Unit(benchmark::kMillisecond);

// 1,000,000 posts of names nobody observes, as a model posts while no view
// listens (an import): literal names among observers of other names.
void BM_PostUnobservedNames(benchmark::State &state)
{
    NotificationCenter nc;
    long long delivered = 0;
    std::vector<ObserverToken> tokens;
    for (int i = 0; i < 60; ++i)
        tokens.push_back(nc.observe("Other" + QString::number(i), nullptr,
                                    [&](const Notification &) { ++delivered; }));
    static const QString names[] = {QStringLiteral("GraphicNeedsRedrawNotification"),
                                    QStringLiteral("GraphicWillChangeBoundsNotification"),
                                    QStringLiteral("UpdateTextEditorFrameNotification"),
                                    QStringLiteral("RedrawInRectNotification")};
    const auto sender = std::make_shared<int>();
    for (auto _ : state) {
        for (int i = 0; i < Million; ++i)
            nc.post(names[i % 4], sender);
    }
    benchmark::DoNotOptimize(delivered);
}
BENCHMARK(BM_PostUnobservedNames)->Unit(benchmark::kMillisecond);

// 1,000,000 closures registered in one event-loop pass (one step).
void BM_RegisterUndoClosuresOneStep(benchmark::State &state)
{
    auto target = std::make_shared<int>(0);
    for (auto _ : state) {
        UndoManager um;
        for (int i = 0; i < Million; ++i)
            um.registerUndo([target, i] { *target = i; });
        um.closeEventGroup();
        benchmark::DoNotOptimize(um.undoStepCount());
        state.PauseTiming();
        um.removeAllActions();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RegisterUndoClosuresOneStep)->Unit(benchmark::kMillisecond);

// 1,000,000 closures, each its own step, under the document level limit.
void BM_RegisterUndoClosuresOwnSteps(benchmark::State &state)
{
    auto target = std::make_shared<int>(0);
    for (auto _ : state) {
        UndoManager um;
        um.setLevelsOfUndo(UndoManager::DocumentLevelsOfUndo);
        for (int i = 0; i < Million; ++i) {
            um.registerUndo([target, i] { *target = i; });
            um.closeEventGroup();
        }
        benchmark::DoNotOptimize(um.undoStepCount());
    }
}
BENCHMARK(BM_RegisterUndoClosuresOwnSteps)->Unit(benchmark::kMillisecond);

// Undo and redo of a step of 100,000 closures.
void BM_UndoRedoLargeStep(benchmark::State &state)
{
    auto target = std::make_shared<int>(0);
    UndoManager um;
    std::function<void(int)> set = [&](int v) {
        const int old = *target;
        um.registerUndo([&set, old] { set(old); });
        *target = v;
    };
    for (int i = 0; i < 100'000; ++i)
        set(i);
    um.closeEventGroup();
    for (auto _ : state) {
        um.undo();
        um.redo();
    }
}
BENCHMARK(BM_UndoRedoLargeStep)->Unit(benchmark::kMillisecond);

// A selection of 10,000 graphics changed 100 times in one pass: 1,000,000
// enqueues coalesced to 10,000 posts.
void BM_QueueCoalescing(benchmark::State &state)
{
    NotificationCenter nc;
    long long delivered = 0;
    auto token = nc.observe("GraphicAddedToSelectedGraphicsNotification", nullptr,
                            [&](const Notification &) { ++delivered; });
    NotificationQueue queue(nc);
    const QString name = "GraphicAddedToSelectedGraphicsNotification";
    // The queue keeps only objects it can watch, as the model's graphics are.
    std::vector<std::shared_ptr<int>> graphics;
    for (int g = 0; g < 10000; ++g)
        graphics.push_back(std::make_shared<int>(g));
    for (auto _ : state) {
        delivered = 0;
        for (int round = 0; round < 100; ++round)
            for (const auto &graphic : graphics)
                queue.enqueue(name, NotificationObject(graphic));
        queue.flush();
        if (delivered != 10000) {
            state.SkipWithError("the queue did not deliver one post per graphic");
            break;
        }
    }
}
BENCHMARK(BM_QueueCoalescing)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    QCoreApplication app(argc, argv); // the undo manager and the queue defer to the event loop
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
