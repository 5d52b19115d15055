// A document whose central label is megabytes of text (a few lines and one
// long paragraph of prose): made, opened, its map drawn whole and as a
// canvas shows a window of it, and its map's tab selected in a tab bar as
// the document window shows it. Sizes of 90 KB, 900 KB and 9 MB show how
// each step grows with the label.
#include "application/Startup.h"
#include "application/TWDocument.h"
#include "application/TWMapTabBar.h"
#include "common/BenchDocuments.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMapLayout.h"
#include "mapdrawing/TWMap_Drawing.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "render/DrawingContext.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <map>

namespace {

QTemporaryDir *folder = nullptr;

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

QString longText(qsizetype bytes)
{
    QString text = QStringLiteral("A title line\nand a second one\n");
    const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog. ");
    text.reserve(bytes + sentence.size());
    while (text.size() < bytes)
        text += sentence;
    return text;
}

QString longLabelDocument(qsizetype bytes)
{
    const QString path = folder->filePath(QStringLiteral("label-%1.tweb").arg(bytes));
    if (QFile::exists(path))
        return path;
    std::unique_ptr<TWDocument> document = TWDocument::makeUntitled();
    document->addMapUsingTemplate(false);
    TWMap &map = *document->mapsDocument()->currentMap();
    if (!dynamic_cast<TWMapLayout *>(&map.layoutServices()))
        map.setLayoutServices(std::make_shared<TWMapLayout>());
    map.root()->enclosedTextArea()->setString(longText(bytes));
    map.root()->makeNaturalSize();
    if (document->writeToFile(path) != TWFileIO::SaveSucceeded)
        qFatal("cannot save the long label");
    return path;
}

void BM_OpenLongLabel(benchmark::State &state, qsizetype bytes)
{
    const QString path = longLabelDocument(bytes);
    const BenchDocuments::Opens opens =
        BenchDocuments::timeOpens(state, path, [&](TWDocument &document) {
            const TWMap &map = *document.mapsDocument()->currentMap();
            return map.root()->enclosedTextArea()->text().length() >= bytes;
        });
    state.counters["s"] = opens.seconds / double(std::max<int64_t>(1, state.iterations()));
    state.counters["peak_MB"] = double(opens.rise) / (1 << 20);
    state.counters["file_KB"] = double(QFileInfo(path).size()) / 1024;
}

// The whole map at a quarter scale (smaller where that would make a picture
// larger than a map's picture may be), and the 800 x 600 points about the
// label's top left corner at full scale, as the canvas draws on opening.
void BM_DrawLongLabel(benchmark::State &state, qsizetype bytes, bool whole)
{
    std::unique_ptr<TWDocument> document = BenchDocuments::opened(longLabelDocument(bytes));
    if (!document) {
        state.SkipWithError("the document did not open");
        return;
    }
    TWMap &map = *document->mapsDocument()->currentMap();
    const Rect label = map.root()->mainGraphic()->bounds();
    const Rect source = whole ? map.getBoundingDrawingRectForAllGraphics()
                              : Rect(label.minX() - 100, label.minY() - 100, 800, 600);
    double scale = whole ? 0.25 : 1;
    const double area = double(source.width()) * double(source.height());
    // A hair under the cap, so that rounding the size up stays below it.
    if (area * scale * scale > 0.98 * double(TWMapImages::maxImagePixels))
        scale = std::sqrt(0.98 * double(TWMapImages::maxImagePixels) / area);
    qint64 pixels = 0;
    for (auto _ : state) {
        QImage image = TWMapImages::imageOfMap(map, source, scale, true);
        if (image.isNull()) {
            state.SkipWithError("nothing was drawn");
            return;
        }
        pixels = qint64(image.width()) * image.height();
        benchmark::DoNotOptimize(image.bits());
    }
    state.counters["scale"] = scale;
    // The picture a quarter scale asks for is more than a map picture may be.
    state.counters["capped"] = scale < (whole ? 0.25 : 1) ? 1 : 0;
    state.counters["Mpixels"] = double(pixels) / 1e6;
    state.counters["label_pt_high"] = label.height();
}

// The canvas's redraw of a window of 800 x 600 points at the label's top
// left corner: clipped to it, with the layouts kept for the screen. The
// first paint (which lays the label out) is reported apart.
void BM_DrawLongLabelCanvas(benchmark::State &state, qsizetype bytes)
{
    std::unique_ptr<TWDocument> document = BenchDocuments::opened(longLabelDocument(bytes));
    if (!document) {
        state.SkipWithError("the document did not open");
        return;
    }
    TWMap &map = *document->mapsDocument()->currentMap();
    const Rect label = map.root()->mainGraphic()->bounds();
    const Rect visible(label.minX() - 100, label.minY() - 100, 800, 600);
    QImage image = DrawingContext::makeImage(visible.size, 1.0, Qt::white);
    const auto paint = [&] {
        QPainter painter(&image);
        painter.setClipRect(QRectF(QPointF(0, 0), visible.size.toQt()));
        DrawingContext context(painter, true);
        context.painter().translate(-visible.origin.x, -visible.origin.y);
        TWMapDrawing::Options options;
        options.drawSelection = true;
        TWMapDrawing::drawMapInRect(context, map, visible, options);
    };
    QElapsedTimer first;
    const double firstCPU = threadSeconds();
    first.start();
    paint();
    state.counters["first_ms"] = double(first.nsecsElapsed()) / 1e6;
    // The main thread's own time: what other work on the machine leaves out.
    state.counters["first_cpu_ms"] = (threadSeconds() - firstCPU) * 1e3;
    for (auto _ : state)
        paint();
}

// Selecting the map's tab in a bar of two, painted: with the tab's title as
// the document gives it, and (`whole`) with the whole label cleaned, as a
// tab showed it before titles were cut.
void BM_SelectLongLabelTab(benchmark::State &state, qsizetype bytes, bool whole)
{
    const QString text = longText(bytes);
    TWMapTabBar bar;
    bar.resize(800, 30);
    bar.setLabels({QStringLiteral("Plan"),
                   whole ? TWMapTabBar::cleanedLabel(text) : TWMapTabBar::tabTitle(text)},
                  0);
    bar.show();
    bar.repaint();
    int index = 0;
    for (auto _ : state) {
        index = 1 - index;
        bar.setLabels({QStringLiteral("Plan"),
                       whole ? TWMapTabBar::cleanedLabel(text) : TWMapTabBar::tabTitle(text)},
                      index);
        bar.repaint();
    }
}

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    QApplication app(argc, argv);
    folder = new QTemporaryDir;
    UserDefaults defaults(folder->filePath("defaults.ini"));
    UserDefaults::Scope defaultsScope(&defaults);
    TWPreferences::registerDefaults();
    RecordingAlerts alerts;
    Alerts::Scope alertsScope(&alerts);
    for (const qsizetype bytes : {90 * 1024, 900 * 1024, 9 * 1024 * 1024}) {
        const QByteArray suffix = "/" + QByteArray::number(bytes / 1024) + "KB";
        benchmark::RegisterBenchmark("BM_OpenLongLabel" + suffix, &BM_OpenLongLabel, bytes)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
        benchmark::RegisterBenchmark("BM_DrawLongLabelWhole" + suffix, &BM_DrawLongLabel, bytes,
                                     true)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
        benchmark::RegisterBenchmark("BM_DrawLongLabelWindow" + suffix, &BM_DrawLongLabel, bytes,
                                     false)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
        benchmark::RegisterBenchmark("BM_DrawLongLabelCanvas" + suffix, &BM_DrawLongLabelCanvas,
                                     bytes)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(5);
        benchmark::RegisterBenchmark("BM_SelectLongLabelTab" + suffix, &BM_SelectLongLabelTab,
                                     bytes, false)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_SelectLongLabelTabWhole" + suffix, &BM_SelectLongLabelTab,
                                     bytes, true)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    }
    // THINKWEB_BENCH_KEEP names a folder that receives the 9 MB label's
    // document, as the tests keep it.
    if (const QString keep = qEnvironmentVariable("THINKWEB_BENCH_KEEP"); !keep.isEmpty()) {
        const QString kept = keep + QStringLiteral("/long-label.tweb");
        QFile::remove(kept);
        QFile::copy(longLabelDocument(9 * 1024 * 1024), kept);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete folder;
    return 0;
}
