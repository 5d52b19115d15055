// Saving and drawing an imported outline that is deep rather than wide: a
// chain of 300, 1,000 and 3,000 levels (the last one's save refused: too deep to
// read back) beside as many branches side by side. Each
// run starts from a freshly imported map, so that the boundary outlines the
// printing extent and the preview need are made from nothing, as after an
// import or when a document is opened.
#include "application/Startup.h"
#include "common/BenchDocuments.h"
#include "exchange/TWImportOrder.h"
#include "exchange/TWOPMLImportExport.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QTemporaryDir *folder = nullptr;

enum Shape { Chain = 0, Siblings = 1 };

using Outline = TWOPMLImportExport::Outline;

std::unique_ptr<Outline> outline(int level)
{
    auto made = std::make_unique<Outline>();
    made->lineNumber = level;
    made->attributes = {{QStringLiteral("text"), QStringLiteral("Level %1").arg(level)}};
    return made;
}

// `count` outlines as the reader hands them, each inside the one before (a
// chain) or all in the body. Made rather than read: the XML parser refuses
// files nested a few thousand deep, which other importers still produce.
std::vector<std::unique_ptr<Outline>> outlines(Shape shape, int count)
{
    std::vector<std::unique_ptr<Outline>> body;
    if (shape == Siblings) {
        for (int i = 0; i < count; ++i)
            body.push_back(outline(i));
        return body;
    }
    body.push_back(outline(0));
    Outline *last = body.back().get();
    for (int i = 1; i < count; ++i) {
        last->children.push_back(outline(i));
        last = last->children.back().get();
    }
    return body;
}

struct Imported
{
    std::shared_ptr<TWMapsDoc> document;
    TWMap *map = nullptr;

    ~Imported()
    {
        if (document)
            document->detach();
    }
};

std::unique_ptr<Imported> imported(Shape shape, int count)
{
    auto result = std::make_unique<Imported>();
    result->document = TWMapsDoc::create();
    result->document->setUndoManager(std::make_shared<UndoManager>());
    auto map = TWMap::create(result->document.get());
    result->document->addMap(map, true);
    map->setLayoutServices(std::make_shared<TWMapLayout>());
    map->setCanvasSize(Size(600, 400));
    map->setRoot(TWMapBranch::createWithGraphic(TWGraphic::createWithBounds({0, 0, 120, 40}),
                                                nullptr, map.get()));
    result->map = map.get();
    // What the OPML import does with a file's body.
    TWMapBranch &central = *map->root();
    central.enclosedTextArea()->setString(QStringLiteral("Generated"));
    central.makeNaturalSize();
    const int type = result->document->graphicClassIdentifier();
    TWMapBranch::BranchList made;
    for (const std::unique_ptr<Outline> &top : outlines(shape, count)) {
        if (std::shared_ptr<TWMapBranch> branch = central.addChildOfType(type)) {
            made << branch;
            TWOPMLImportExport::processOutlineElement(*top, *branch, {}, type);
        }
    }
    keepImportOrder(central, made);
    TWMapLayout::autoArrange(*map);
    if (result->map->allBranches().size() != count + 1)
        qFatal("cannot import the generated outline");
    return result;
}

void counters(benchmark::State &state)
{
    state.counters["levels"] = state.range(0) == Chain ? double(state.range(1)) : 1;
    state.counters["branches"] = double(state.range(1));
}

void BM_SaveImportedOutline(benchmark::State &state)
{
    const auto shape = Shape(state.range(0));
    const int count = int(state.range(1));
    const QString target = folder->filePath(QStringLiteral("saved.tweb"));
    const BenchDocuments::DeepSave save(shape == Chain ? count : 1);
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<Imported> outline = imported(shape, count);
        state.ResumeTiming();
        if (!save.check(state, outline->document->saveToFile(target)))
            break;
        state.PauseTiming();
        outline.reset();
        state.ResumeTiming();
    }
    counters(state);
    save.report(state);
}

// The whole map as an image, its extent measured as the preview measures it.
void BM_DrawImportedOutline(benchmark::State &state)
{
    const auto shape = Shape(state.range(0));
    const int count = int(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<Imported> outline = imported(shape, count);
        state.ResumeTiming();
        const Rect extent = outline->map->getBoundingPrintingRectForAllGraphics();
        const double longer = std::max(double(extent.size.width), double(extent.size.height));
        const QImage image =
            TWMapImages::imageOfMap(*outline->map, extent, std::min(1.0, 2000 / longer), false);
        if (image.isNull()) {
            state.SkipWithError("nothing drawn");
            break;
        }
        state.PauseTiming();
        outline.reset();
        state.ResumeTiming();
    }
    counters(state);
}

void shapes(benchmark::internal::Benchmark *b)
{
    for (const int count : {300, 1000, 3000})
        b->Args({Chain, count})->Args({Siblings, count});
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}

BENCHMARK(BM_SaveImportedOutline)->Apply(shapes);
BENCHMARK(BM_DrawImportedOutline)->Apply(shapes);

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    // Leaked: the fonts outlive every map.
    new QGuiApplication(argc, argv);
    folder = new QTemporaryDir;
    UserDefaults defaults(folder->filePath("defaults.ini"));
    UserDefaults::Scope defaultsScope(&defaults);
    TWPreferences::registerDefaults(defaults);
    RecordingAlerts alerts;
    Alerts::Scope alertsScope(&alerts);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete folder;
    return 0;
}
