// Applying a graphic style to the shapes of 10,000 selected branches as one
// undo step, and undoing it: what a style palette click costs on a large
// map. Each shape takes the fill, stroke, corner and font groups, its text
// the font; the inspector is asked to refresh once for the whole step.
//
// A style that also sets shadows is measured apart on smaller selections:
// every shadow change of a branch shape marks the drawing bounds of the
// whole tree stale, so its cost grows with the square of the selection.

#include "application/Startup.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "styles/TWStyle.h"
#include "styles/TWStyleManager.h"
#include "support/AttributedString.h"
#include "support/Font.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int BranchCount = 10000;

struct Document
{
    std::shared_ptr<UndoManager> undo = std::make_shared<UndoManager>();
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::create();
    std::shared_ptr<TWMap> map;
    TWMap::GraphicList selection;

    // `firstLevel` branches of 99 children each.
    explicit Document(int firstLevel = BranchCount / 100)
    {
        document->setUndoManager(undo);
        map = TWMap::create(document.get());
        document->addMap(map, true);
        float y = 0;
        TWMapBranch *root = map->root().get();
        for (int i = 0; i < firstLevel; ++i) {
            auto first = TWMapBranch::createWithGraphic(
                TWGraphic::make<TWRectangle>(Rect(300, y, 80, 30)), root, map.get());
            selection.append(first->mainGraphic());
            for (int j = 0; j < 99; ++j, y += 40) {
                auto leaf = TWMapBranch::createWithGraphic(
                    TWGraphic::make<TWRectangle>(Rect(500, y, 80, 30)), first.get(), map.get());
                selection.append(leaf->mainGraphic());
            }
        }
        undo->removeAllActions();
        NotificationQueue::defaultQueue().flush();
    }
    ~Document() { document->detach(); }

    void applyAsOneStep(const std::shared_ptr<TWStyle> &style)
    {
        undo->beginUndoGrouping();
        for (const std::shared_ptr<TWGraphic> &graphic : selection)
            graphic->setStyle(style);
        undo->endUndoGrouping();
        undo->closeEventGroup();
    }
};

std::shared_ptr<TWStyle> makeStyle(bool shadow)
{
    auto s = TWStyle::create(TWStyle::GraphicStyle);
    s->setName(QStringLiteral("Bench Blue"));
    s->setValue(TWStyle::GraphicGroup, QStringLiteral("fillColor"),
                QVariant::fromValue(Color::colorWithCalibratedRed(0.2, 0.3, 0.9)));
    s->setValue(TWStyle::GraphicGroup, QStringLiteral("strokeWidth"), 2);
    s->setValue(TWStyle::GraphicGroup, QStringLiteral("cornerMode"), 1);
    s->setValue(TWStyle::GraphicGroup, QStringLiteral("applyShadow"), shadow);
    s->setValue(TWStyle::GraphicGroup, QStringLiteral("applyFont"), true);
    TWStyleManager::sharedStyleManager().saveStyle(s);
    return s;
}

std::shared_ptr<TWStyle> blueStyle()
{
    static const std::shared_ptr<TWStyle> style = makeStyle(false);
    return style;
}

std::shared_ptr<TWStyle> shadowStyle()
{
    static const std::shared_ptr<TWStyle> style = makeStyle(true);
    return style;
}

void BM_ApplyStyleToSelection(benchmark::State &state)
{
    int refreshes = 0;
    const ObserverToken token = NotificationCenter::defaultCenter().observe(
        QStringLiteral("TWGraphicBindingControllerNeedsUpdate"), nullptr,
        [&refreshes](const Notification &) { ++refreshes; });
    for (auto _ : state) {
        state.PauseTiming();
        Document doc;
        refreshes = 0;
        state.ResumeTiming();
        doc.applyAsOneStep(blueStyle());
        state.PauseTiming();
        NotificationQueue::defaultQueue().flush();
        state.counters["undo steps"] = doc.undo->undoStepCount();
        state.counters["inspector refreshes"] = refreshes;
        state.ResumeTiming();
    }
    state.counters["branches"] = BranchCount;
}

void BM_UndoStyleOnSelection(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Document doc;
        doc.applyAsOneStep(blueStyle());
        NotificationQueue::defaultQueue().flush();
        state.ResumeTiming();
        doc.undo->undo();
        state.PauseTiming();
        NotificationQueue::defaultQueue().flush();
        state.ResumeTiming();
    }
    state.counters["branches"] = BranchCount;
}

void BM_ApplyShadowStyleToSelection(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Document doc(int(state.range(0) / 100));
        state.ResumeTiming();
        doc.applyAsOneStep(shadowStyle());
        state.PauseTiming();
        NotificationQueue::defaultQueue().flush();
        state.ResumeTiming();
    }
    state.counters["branches"] = double(state.range(0));
}

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    // The library saves the style: into a folder of its own, never the user's.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    QApplication app(argc, argv);
    UserDefaults defaults(dataHome.filePath(QStringLiteral("defaults.ini")));
    UserDefaults::Scope defaultsScope(&defaults);
    TWPreferences::registerDefaults(defaults);

    benchmark::RegisterBenchmark("BM_ApplyStyleToSelection", BM_ApplyStyleToSelection)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("BM_UndoStyleOnSelection", BM_UndoStyleOnSelection)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("BM_ApplyShadowStyleToSelection", BM_ApplyShadowStyleToSelection)
        ->Unit(benchmark::kMillisecond)
        ->Arg(1000)
        ->Arg(3000)
        ->Iterations(1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
