// Saving and drawing an imported outline that is deep rather than wide: a
// chain of 300 and 1,000 levels beside 1,000 branches side by side. Each
// run starts from a freshly imported map, so that the boundary outlines the
// printing extent and the preview need are made from nothing, as after an
// import or when a document is opened.
#include "application/Startup.h"
#include "exchange/TWOPMLImportExport.h"
#include "graphics/TWGraphic.h"
#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QTemporaryDir *folder = nullptr;

enum Shape { Chain = 0, Siblings = 1 };

// `count` outlines, each inside the one before (a chain) or all in the body.
QString generatedFile(Shape shape, int count)
{
    const QString path =
        folder->filePath(QStringLiteral("outline-%1-%2.opml").arg(int(shape)).arg(count));
    if (QFile::exists(path))
        return path;
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"><head>"
                     "<title>Generated</title></head><body>\n";
    for (int i = 0; i < count; ++i) {
        xml += "<outline text=\"Level " + QByteArray::number(i) + "\"";
        xml += shape == Chain ? ">\n" : "/>\n";
    }
    if (shape == Chain)
        for (int i = 0; i < count; ++i)
            xml += "</outline>";
    xml += "</body></opml>\n";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
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
    if (!TWOPMLImportExport().importFile(generatedFile(shape, count), *result->map) ||
        result->map->allBranches().size() != count + 1)
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
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<Imported> outline = imported(shape, count);
        state.ResumeTiming();
        if (outline->document->saveToFile(target) != 0)
            state.SkipWithError("save failed");
        state.PauseTiming();
        outline.reset();
        state.ResumeTiming();
    }
    counters(state);
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
        if (image.isNull())
            state.SkipWithError("nothing drawn");
        state.PauseTiming();
        outline.reset();
        state.ResumeTiming();
    }
    counters(state);
}

void shapes(benchmark::internal::Benchmark *b)
{
    b->Args({Chain, 300})->Args({Chain, 1000})->Args({Siblings, 1000});
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
