// The presentation export of one generated map, as far as this program does
// the work: the map picture, and every operation made and encoded for the
// Impress bridge (the office's own time is not ours to measure). And rich
// text written as an HTML fragment.
#include "BenchMain.h"
#include "GeneratedMap.h"
#include "exchange/HTMLExport.h"
#include "exchange/TWExportController.h"
#include "exchange/TWPowerPointExporter.h"
#include "interface/ProgressPanelController.h"
#include "platform/UserDefaults.h"
#include "support/Font.h"

#include <QApplication>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QTemporaryDir *setUp()
{
    static int argc = 1;
    static char name[] = "bench_powerpoint";
    static char *argv[] = {name, nullptr};
    // Never destroyed: the documents outlive main().
    static QApplication *app = new QApplication(argc, argv);
    static QTemporaryDir *dir = new QTemporaryDir;
    static UserDefaults *defaults = new UserDefaults(dir->filePath("defaults.ini"));
    static UserDefaults::Scope *scope = new UserDefaults::Scope(defaults);
    static const bool registered = (TWExportController::registerDefaults(*defaults), true);
    (void)app, (void)scope, (void)registered;
    return dir;
}

// Encodes each operation as the bridge is sent it, and nothing more.
class EncodingHost : public TWPowerPointHost
{
public:
    qint64 bytes = 0;
    int operations = 0;
    bool launch(QString *) override { return true; }
    bool run(const TWPowerPointOperation &op, QString *) override
    {
        bytes += QJsonDocument(op.toJson()).toJson(QJsonDocument::Compact).size();
        ++operations;
        return true;
    }
    bool save(const QString &, QString *) override { return true; }
    void quit() override {}
};

void BM_PowerPointExportMap(benchmark::State &state)
{
    QTemporaryDir *dir = setUp();
    TWMap &map = GeneratedMap::cached(int(state.range(0)));
    TWExportController controller;
    EncodingHost host;
    ProgressPanelController progress;
    TWPowerPointExporter exporter(controller, host);
    exporter.setPictureFolder(dir->path());
    exporter.setProgressPanel(&progress);
    for (auto _ : state)
        benchmark::DoNotOptimize(exporter.exportActiveMap(map));
    state.counters["operations"] =
        benchmark::Counter(double(host.operations), benchmark::Counter::kAvgIterations);
}

void BM_HTMLFragment(benchmark::State &state)
{
    setUp();
    AttributedString text;
    const char *fonts[] = {"LiberationSans", "LiberationSans-Bold", "DejaVuSerif-Italic"};
    for (int i = 0; i < state.range(0); ++i)
        text.appendAttributedString(AttributedString(
            QStringLiteral("Branch %1 <Überblick> & more\n").arg(i),
            {{NSFontAttributeName, QVariant::fromValue(Font(fonts[i % 3], 10 + i % 4))}}));
    qint64 size = 0;
    for (auto _ : state) {
        QString html;
        QMap<QString, QByteArray> images;
        HTMLExport::exportHTMLFragmentToString(text, html, images, "b", 0);
        size = html.size();
        benchmark::DoNotOptimize(html.constData());
    }
    state.counters["chars"] = double(size);
}

} // namespace

BENCHMARK(BM_PowerPointExportMap)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HTMLFragment)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);
THINKWEB_BENCHMARK_MAIN();
