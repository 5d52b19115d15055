// Saving a loaded document of many maps: the text of Contents.xml, and the
// whole package written to disk.
#include "application/Startup.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/RecordingAlerts.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

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

void BM_SaveToFile(benchmark::State &state)
{
    std::shared_ptr<TWMapsDoc> document = loadedDocument(int(state.range(0)), int(state.range(1)));
    QTemporaryDir dir;
    const QString target = dir.filePath("saved.tweb");
    savingWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countWarnings);
    for (auto _ : state) {
        if (document->saveToFile(target) != 0) {
            state.SkipWithError("save failed");
            break;
        }
        if (savingWarnings > 0) {
            state.SkipWithError("the save warned (a preview not drawn?)");
            break;
        }
    }
    qInstallMessageHandler(previous);
    setCounters(state);
}

// {maps, branches per map}
BENCHMARK(BM_SaveContents)
    ->Args({10, 100})
    ->Args({100, 1000})
    ->Args({20, 5000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveToFile)->Args({100, 1000})->Unit(benchmark::kMillisecond)->UseRealTime();

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
