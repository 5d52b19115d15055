// The Keynote export of one generated map: the text slides alone (a blank
// template parsed, one slide and its continuations per first-level branch
// with bullets, notes and character styles, the presentation serialised) and
// the whole presentation with its map slide.
#include "BenchMain.h"
#include "GeneratedMap.h"
#include "exchange/KeynoteExportController.h"
#include "exchange/TWExportController.h"
#include "exchange/TWKeynoteTemplates.h"
#include "platform/UserDefaults.h"
#include "support/XMLDocument.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void setUp()
{
    static int argc = 1;
    static char name[] = "bench_keynote_slides";
    static char *argv[] = {name, nullptr};
    // Never destroyed: the maps outlive main().
    static QGuiApplication *app = new QGuiApplication(argc, argv);
    static QTemporaryDir *dir = new QTemporaryDir;
    static UserDefaults *defaults = new UserDefaults(dir->filePath("defaults.ini"));
    static UserDefaults::Scope *scope = new UserDefaults::Scope(defaults);
    static const bool registered = (TWExportController::registerDefaults(*defaults), true);
    (void)app, (void)scope, (void)registered;
    // Deep levels fall back to the level 5 styles with a log line each; the
    // lines are still made, only not printed.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

// Range 0: template index (1 for version 2, 3 for version 3); range 1: branches.
void BM_KeynoteTextSlides(benchmark::State &state)
{
    setUp();
    const TWKeynoteTemplates::Template &entry =
        *TWKeynoteTemplates::templateAt(int(state.range(0)));
    TWMap &map = GeneratedMap::cached(int(state.range(1)));
    const QByteArray templateXML = TWKeynoteTemplates::presentationXML(entry);
    KeynoteExportController exporter;
    qint64 bytes = 0;
    for (auto _ : state) {
        auto document = XMLDocument::parse(templateXML);
        xmlDocPtr doc = document->xmlDoc();
        xmlNodePtr root = xmlDocGetRootElement(doc);
        auto id = [&](const char *path) {
            return KeynoteExportController::findValueOfPropertyNamed(
                QStringLiteral("ID"), QStringLiteral("sfa"), root, QLatin1String(path), QString(),
                QStringLiteral("sf"), QString());
        };
        xmlNodePtr slideList = KeynoteExportController::findNodeFromNode(
            root, QStringLiteral("key:slide-list"), QString(), QStringLiteral("sf"), QString());
        exporter.resetIds();
        // The second master of the theme carries the bullets.
        const QString master = id("key:master-slide[2]");
        const QString sheet = id("key:master-slide[2]/key:stylesheet");
        const QString layer = id("key:master-slide[2]/key:page/sf:layers/sf:layer");
        if (!exporter.createTextSlides(master, layer, sheet, slideList, root, entry.keynoteVersion,
                                       map))
            state.SkipWithError("text slides failed");
        const QByteArray out = XMLDetail::dumpDocument(doc);
        bytes = out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    state.counters["bytes"] = double(bytes);
}

// The whole presentation a user exports: the template package read, the map
// slide with every graphic's shape and indicator overlays, the text slides
// and the written index. Range 0: template index; range 1: branches.
void BM_KeynotePresentation(benchmark::State &state)
{
    setUp();
    TWMap &map = GeneratedMap::cached(int(state.range(1)));
    const auto [path, version] = KeynoteExportController::templateForSetting(state.range(0));
    const std::optional<KeynotePackage> original = KeynotePackage::fromFolder(path);
    KeynoteExportController exporter;
    qint64 bytes = 0;
    for (auto _ : state) {
        KeynotePackage package = *original;
        if (!original || !exporter.generateKeynoteFile(path, package, version, map))
            state.SkipWithError("presentation failed");
        bytes = package.fileData(QStringLiteral("index.apxl")).size();
    }
    state.counters["bytes"] = double(bytes);
}

} // namespace

BENCHMARK(BM_KeynoteTextSlides)
    ->ArgsProduct({{1, 3}, {100, 1000, 10000}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KeynotePresentation)
    ->ArgsProduct({{1, 3}, {100, 1000, 10000}})
    ->Unit(benchmark::kMillisecond);
THINKWEB_BENCHMARK_MAIN();
