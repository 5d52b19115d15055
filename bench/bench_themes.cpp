// Applying a theme with restyling to a 10,000-branch map as one undo step,
// and undoing it: what choosing a theme for a large map costs. The theme
// gives the map a map style and each of three levels its graphic style.

#include "application/Startup.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWRectangle.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "styles/TWStyle.h"
#include "styles/TWTheme.h"
#include "support/Color.h"
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

    // 100 first-level branches of 99 children each.
    Document()
    {
        document->setUndoManager(undo);
        map = TWMap::create(document.get());
        document->addMap(map, true);
        float y = 0;
        TWMapBranch *root = map->root().get();
        for (int i = 0; i < BranchCount / 100; ++i) {
            auto first = TWMapBranch::createWithGraphic(
                TWGraphic::make<TWRectangle>(Rect(300, y, 80, 30)), root, map.get());
            for (int j = 0; j < 99; ++j, y += 40)
                TWMapBranch::createWithGraphic(TWGraphic::make<TWRectangle>(Rect(500, y, 80, 30)),
                                               first.get(), map.get());
        }
        undo->removeAllActions();
        NotificationQueue::defaultQueue().flush();
    }
    ~Document() { document->detach(); }

    void applyAsOneStep(const std::shared_ptr<TWTheme> &theme)
    {
        map->setTheme(theme);
        map->updateThemeIncludingGraphics(true);
        undo->closeEventGroup();
    }
};

std::shared_ptr<TWStyle> levelStyle(double red, int cornerMode)
{
    auto s = TWStyle::create(TWStyle::GraphicStyle);
    s->setValue(TWStyle::GraphicGroup, QStringLiteral("fillColor"),
                QVariant::fromValue(Color::colorWithCalibratedRed(red, 0.5, 0.9)));
    s->setValue(TWStyle::GraphicGroup, QStringLiteral("strokeWidth"), 2);
    s->setValue(TWStyle::GraphicGroup, QStringLiteral("cornerMode"), cornerMode);
    s->setValue(TWStyle::GraphicGroup, QStringLiteral("applyFont"), true);
    return s;
}

std::shared_ptr<TWTheme> benchTheme()
{
    static const std::shared_ptr<TWTheme> theme = [] {
        auto t = std::make_shared<TWTheme>();
        t->name = QStringLiteral("Bench");
        auto mapStyle = TWStyle::create(TWStyle::MapStyle);
        mapStyle->setValue(TWStyle::MapGroup, QStringLiteral("applyBackground"), true);
        mapStyle->setValue(TWStyle::MapGroup, QStringLiteral("backgroundColor"),
                           QVariant::fromValue(Color::colorWithCalibratedRed(0.95, 0.95, 0.9)));
        t->mapStyle = mapStyle;
        for (const auto &style : {levelStyle(0.1, 1), levelStyle(0.4, 0), levelStyle(0.8, 1)}) {
            t->graphicStyles.insert(style->identifier(), style);
            t->branchLevelStyleIDs.append(
                OrderedDictionary{{TWTheme::MainGraphicStyleIDKey, style->identifier()}});
        }
        TWThemeManager::sharedThemeManager().addTheme(t);
        return t;
    }();
    return theme;
}

void BM_ApplyThemeWithRestyling(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Document doc;
        state.ResumeTiming();
        doc.applyAsOneStep(benchTheme());
        state.PauseTiming();
        NotificationQueue::defaultQueue().flush();
        state.counters["undo steps"] = doc.undo->undoStepCount();
        state.ResumeTiming();
    }
    state.counters["branches"] = BranchCount;
}

void BM_UndoThemeWithRestyling(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Document doc;
        doc.applyAsOneStep(benchTheme());
        NotificationQueue::defaultQueue().flush();
        state.ResumeTiming();
        doc.undo->undo();
        state.PauseTiming();
        NotificationQueue::defaultQueue().flush();
        state.ResumeTiming();
    }
    state.counters["branches"] = BranchCount;
}

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    // The theme library stays in a folder of its own, never the user's.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    new QApplication(argc, argv); // never deleted: nothing may outlive it at exit
    UserDefaults defaults(dataHome.filePath(QStringLiteral("defaults.ini")));
    UserDefaults::Scope defaultsScope(&defaults);
    TWPreferences::registerDefaults(defaults);

    benchmark::RegisterBenchmark("BM_ApplyThemeWithRestyling", BM_ApplyThemeWithRestyling)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("BM_UndoThemeWithRestyling", BM_UndoThemeWithRestyling)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
