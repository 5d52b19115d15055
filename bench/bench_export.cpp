// The Export menu's work for one generated map: PDF, EPS (the PDF converted),
// the bitmap files, and the map's text as RTF written and read back.
#include "BenchMain.h"
#include "GeneratedMap.h"
#include "exchange/TWExportController.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/Font.h"
#include "support/RichTextFormat.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <map>

namespace {

void setUp()
{
    static int argc = 1;
    static char name[] = "bench_export";
    static char *argv[] = {name, nullptr};
    // Never destroyed: the documents outlive main().
    static QGuiApplication *app = new QGuiApplication(argc, argv);
    static QTemporaryDir *dir = new QTemporaryDir;
    static UserDefaults *defaults = new UserDefaults(dir->filePath("defaults.ini"));
    static UserDefaults::Scope *scope = new UserDefaults::Scope(defaults);
    static const bool registered = (TWExportController::registerDefaults(*defaults), true);
    (void)app, (void)scope, (void)registered;
}

void BM_ExportVector(benchmark::State &state)
{
    setUp();
    TWMap &map = GeneratedMap::cached(int(state.range(1)));
    TWExportController controller;
    qint64 bytes = 0;
    for (auto _ : state) {
        const QByteArray data = controller.vectorImageDataOfType(int(state.range(0)), map);
        bytes = data.size();
        benchmark::DoNotOptimize(data.constData());
    }
    state.counters["bytes"] = double(bytes);
}

void BM_ExportBitmap(benchmark::State &state)
{
    setUp();
    TWMap &map = GeneratedMap::cached(int(state.range(1)));
    TWExportController controller;
    qint64 bytes = 0;
    for (auto _ : state) {
        const QImage image = controller.imageRepForMap(map);
        const QByteArray data = TWExportController::encodeBitmap(image, int(state.range(0)), 0.7);
        bytes = data.size();
        benchmark::DoNotOptimize(data.constData());
    }
    state.counters["bytes"] = double(bytes);
}

// An outline of `count` lines in a few fonts, as the RTF export writes.
AttributedString outline(int count)
{
    AttributedString text;
    const char *fonts[] = {"LiberationSans", "LiberationSans-Bold", "DejaVuSerif-Italic"};
    for (int i = 0; i < count; ++i) {
        TextAttributes attributes{
            {NSFontAttributeName, QVariant::fromValue(Font(fonts[i % 3], 10 + i % 4))}};
        text.appendAttributedString(AttributedString(
            QString(i % 5, QLatin1Char('\t')) + QStringLiteral("Branch %1 – Überblick\n").arg(i),
            attributes));
    }
    return text;
}

void BM_RtfWriteAndRead(benchmark::State &state)
{
    setUp();
    const AttributedString text = outline(int(state.range(0)));
    for (auto _ : state) {
        const QByteArray rtf = RichTextFormat::rtfFromAttributedString(text);
        const auto back = RichTextFormat::attributedStringFromRTF(rtf);
        benchmark::DoNotOptimize(back->length());
    }
    state.SetBytesProcessed(state.iterations() * text.length() * 2);
}

} // namespace

BENCHMARK(BM_ExportVector)
    ->ArgsProduct({{TWExportController::PDF, TWExportController::EPS}, {100, 1000}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportBitmap)
    ->ArgsProduct({{TWExportController::PNG, TWExportController::JPEG, TWExportController::GIF,
                    TWExportController::TIFF},
                   {100, 1000}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RtfWriteAndRead)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
THINKWEB_BENCHMARK_MAIN();
