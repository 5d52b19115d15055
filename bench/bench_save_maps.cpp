// Saving a loaded document of many maps: the text of Contents.xml, and the
// whole package written to disk; a large map opened from its file, edited and
// saved, with the process's peak memory after the open and after the save;
// and a save refused because its tree nests too deep to be read back.
#include "PeakMemory.h"
#include "application/Startup.h"
#include "common/BenchDocuments.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/RecordingAlerts.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <functional>

namespace {

// A map whose branches each hold a text and `perBranch` children, two levels
// deep, so that a map of n branches is wide rather than deep.
QByteArray mapElement(int index, int branches)
{
    // The three children every branch element needs, the rest left to defaults.
    // Each shape has bounds, so that the map draws and its preview is made.
    const auto branch = [](int number, const char *text) {
        const QByteArray n = QByteArray::number(number);
        const QByteArray bounds = "<bounds><x>" + QByteArray::number(number % 40 * 130) +
                                  "</x><y>" + QByteArray::number(number / 40 * 60) +
                                  "</y><width>120</width><height>40</height></bounds>";
        return "<TWMapBranch><mainGraphic><TWGraphic><class>TWRectangle</class>" + bounds +
               "<graphicNumber>" + n +
               "1</graphicNumber></TWGraphic></mainGraphic><enclosedTextArea><TWGraphic>"
               "<class>TWTextArea</class><graphicNumber>" +
               n +
               "2</graphicNumber><text>"
               "<NSAttributedString><string>" +
               QByteArray(text) + " " + n +
               "</string></NSAttributedString></text></TWGraphic></enclosedTextArea>"
               "<branchNumber>" +
               n + "</branchNumber>";
    };
    QByteArray map = "<map><TWMap><identifier>M" + QByteArray::number(index) +
                     "</identifier><canvasSize><width>617.000000</width>"
                     "<height>458.000000</height></canvasSize><root>" +
                     branch(0, "central") + "<children>";
    for (int i = 1; i < branches; ++i)
        map += branch(i, "branch") + "</TWMapBranch>";
    return map + "</children></TWMapBranch></root><linkLines/></TWMap></map>";
}

std::shared_ptr<TWMapsDoc> loadedDocument(int maps, int branchesPerMap)
{
    QByteArray contents = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TWMapsDoc>"
                          "<currentMapNumber>0</currentMapNumber><maps>";
    for (int i = 0; i < maps; ++i)
        contents += mapElement(i, branchesPerMap);
    contents += "</maps></TWMapsDoc>";
    PackageData data;
    data.insert(TWMapsDoc::ContentsPath, contents);
    data.insert("Thinkweb/fileVersion.txt", "4.1");
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::createWithDictionary(data, false);
    if (!document || document->countOfMaps() != maps)
        qFatal("cannot load the generated document");
    return document;
}

void setCounters(benchmark::State &state)
{
    state.counters["branches"] = double(state.range(0) * state.range(1));
}

void BM_SaveContents(benchmark::State &state)
{
    std::shared_ptr<TWMapsDoc> document = loadedDocument(int(state.range(0)), int(state.range(1)));
    for (auto _ : state)
        benchmark::DoNotOptimize(document->xmlDocumentData());
    setCounters(state);
}

// Warnings while saving mean a save that did less than a user's would (a
// preview not drawn): the figure would not be what a user waits for.
int savingWarnings = 0;
void countWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg) {
        ++savingWarnings;
        fprintf(stderr, "%s\n", qPrintable(message));
    }
}

// Saves `document` to `target` once an iteration, `before` run ahead of each
// save; a failed save or one that warned ends the run with the reason.
void timeSaves(benchmark::State &state, TWMapsDoc &document, const QString &target,
               const std::function<void()> &before = {})
{
    savingWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countWarnings);
    for (auto _ : state) {
        if (before)
            before();
        if (document.saveToFile(target) != 0) {
            state.SkipWithError("save failed");
            break;
        }
        if (savingWarnings > 0) {
            state.SkipWithError("the save warned (a preview not drawn?)");
            break;
        }
    }
    qInstallMessageHandler(previous);
}

void BM_SaveToFile(benchmark::State &state)
{
    std::shared_ptr<TWMapsDoc> document = loadedDocument(int(state.range(0)), int(state.range(1)));
    QTemporaryDir dir;
    timeSaves(state, *document, dir.filePath("saved.tweb"));
    setCounters(state);
}

// One map of n branches opened from its file as a user opens it, then saved
// after a one-label edit (so that its preview is drawn afresh), as Ctrl+S
// does. open_peak_MB is the process's resident high-water mark once the
// document is open, save_peak_MB once it has been saved.
void BM_EditAndSaveLargeMap(benchmark::State &state)
{
    const int branches = int(state.range(0));
    QTemporaryDir dir;
    const QString source = dir.filePath("source.tweb");
    const QString target = dir.filePath("saved.tweb");
    {
        std::shared_ptr<TWMapsDoc> made = loadedDocument(1, branches);
        if (made->saveToFile(source) != 0) {
            state.SkipWithError("the document could not be made");
            return;
        }
    }
    const BenchMemory::PeakMemory memory;
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::loadFromFile(source, false, nullptr);
    if (!document || document->countOfMaps() != 1) {
        state.SkipWithError("the document did not open");
        return;
    }
    const double openPeak = double(memory.peak());
    TWTextArea *label = document->maps().at(0)->root()->enclosedTextArea().get();
    int edits = 0;
    timeSaves(state, *document, target,
              [&] { label->setString(QStringLiteral("Edited %1").arg(++edits)); });
    state.counters["branches"] = double(branches);
    state.counters["open_peak_MB"] = openPeak / (1 << 20);
    state.counters["save_peak_MB"] = double(memory.peak()) / (1 << 20);
}

// A save of a map nested `levels` deep below its root, one branch a level:
// past the limit it is refused, and the refusal should cost no drawing.
void BM_SaveOfDeepMap(benchmark::State &state)
{
    const int levels = int(state.range(0));
    std::shared_ptr<TWMapsDoc> document = loadedDocument(1, 1);
    const std::shared_ptr<TWMap> map = document->maps().at(0);
    TWMapBranch *parent = map->root().get();
    for (int level = 1; level <= levels; ++level)
        parent =
            TWMapBranch::createWithGraphic(
                TWGraphic::createWithBounds(Rect(float(level * 10), float(level * 40), 80, 30)),
                parent, map.get())
                .get();
    QTemporaryDir dir;
    const QString target = dir.filePath("deep.tweb");
    const BenchDocuments::DeepSave save(levels);
    BenchMemory::PeakMemory peak;
    for (auto _ : state) {
        if (!save.check(state, document->saveToFile(target)))
            break;
    }
    state.counters["peak_rise_MB"] = double(peak.rise()) / (1 << 20);
    save.report(state);
}

// {maps, branches per map}
BENCHMARK(BM_SaveContents)
    ->Args({10, 100})
    ->Args({100, 1000})
    ->Args({20, 5000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveToFile)->Args({100, 1000})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EditAndSaveLargeMap)
    ->Arg(10000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
// Just inside the limit, and the outline of 2,040 levels users met.
BENCHMARK(BM_SaveOfDeepMap)
    ->Arg(TWFileIO::MaximumBranchLevels)
    ->Arg(2040)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    QGuiApplication app(argc, argv);
    // Neither the user's preferences nor a panel.
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("defaults.ini"));
    UserDefaults::Scope defaultsScope(&defaults);
    TWPreferences::registerDefaults(defaults);
    RecordingAlerts alerts;
    Alerts::Scope alertsScope(&alerts);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
