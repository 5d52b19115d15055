// Importing an OPML outline as the Import command does: a generated file of
// 10,000 outlines (ten top-level groups, nested three deep, every fifth with
// a note and a further attribute) read into a new document's map with undo
// on and the map auto-arranged at the end. Compared with xmllint parsing the
// same file, and beside it the export of the imported map.
#include "application/Startup.h"
#include "exchange/TWOPMLExport.h"
#include "exchange/TWOPMLImportExport.h"
#include "graphics/TWGraphic.h"
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
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QTemporaryDir *folder = nullptr;

// 10 groups x 10 x 10 x 10 = 10,000 outlines below the groups' own ten.
QString generatedFile(int total)
{
    const QString path = folder->filePath(QStringLiteral("outline-%1.opml").arg(total));
    if (QFile::exists(path))
        return path;
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"><head>"
                     "<title>Generated</title><dateCreated>Tue, 03 Mar 2009 14:05:00 +0100"
                     "</dateCreated><expansionState>0,1,2,3</expansionState></head><body>\n";
    int written = 0;
    std::function<void(int)> level = [&](int depth) {
        for (int i = 0; i < 10 && written < total; ++i) {
            const int n = written++;
            xml += "<outline text=\"Outline number " + QByteArray::number(n) + " &amp; more\"";
            if (n % 5 == 0)
                xml += " _note=\"A note&#10;on two lines\" type=\"link\"";
            if (depth < 3) {
                xml += ">\n";
                level(depth + 1);
                xml += "</outline>\n";
            } else {
                xml += "/>\n";
            }
        }
    };
    level(0);
    xml += "</body></opml>\n";
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(xml);
    return path;
}

struct Imported
{
    std::shared_ptr<TWMapsDoc> document;
    TWMap *map = nullptr;
};

Imported newDocument()
{
    Imported imported{TWMapsDoc::create()};
    imported.document->setUndoManager(std::make_shared<UndoManager>());
    auto map = TWMap::create(imported.document.get());
    imported.document->addMap(map, true);
    map->setLayoutServices(std::make_shared<TWMapLayout>());
    auto root = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds({0, 0, 120, 40}),
                                               nullptr, map.get());
    map->setRoot(root);
    imported.map = map.get();
    return imported;
}

void BM_ImportOPML(benchmark::State &state, int total)
{
    const QString path = generatedFile(total);
    for (auto _ : state) {
        Imported imported = newDocument();
        if (!TWOPMLImportExport().importFile(path, *imported.map))
            state.SkipWithError("import failed");
        state.PauseTiming();
        if (imported.map->allBranches().size() != total + 1)
            state.SkipWithError("wrong number of branches");
        imported.document->detach();
        imported.document.reset();
        state.ResumeTiming();
    }
    state.counters["outlines"] = total;
}

void BM_ExportOPML(benchmark::State &state, int total)
{
    Imported imported = newDocument();
    TWOPMLImportExport().importFile(generatedFile(total), *imported.map);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            TWOPMLExport().opmlDataForMap(*imported.map, {true, true, true}).size());
    imported.document->detach();
}

void BM_Xmllint(benchmark::State &state, int total)
{
    const QString path = generatedFile(total);
    for (auto _ : state)
        QProcess::execute(QStringLiteral("xmllint"), {QStringLiteral("--noout"), path});
}

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
    if (QStandardPaths::findExecutable("xmllint").isEmpty()) {
        qWarning("bench_opml needs xmllint (libxml2-utils)");
        return 1;
    }
    for (const int n : {1000, 10000}) {
        const QByteArray suffix = "/" + QByteArray::number(n);
        benchmark::RegisterBenchmark("BM_ImportOPML" + suffix, &BM_ImportOPML, n)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_ExportOPML" + suffix, &BM_ExportOPML, n)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_Xmllint" + suffix, &BM_Xmllint, n)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
