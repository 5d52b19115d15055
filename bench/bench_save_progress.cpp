// How a long save leaves its window answering: a generated map of 10,000 or
// 50,000 branches saved from its shown window, with a heartbeat of posted
// events that runs whenever the save hands the event loop a pass.
// "first_pass_s" is when the window first answered, "longest_gap_ms" the
// longest it then waited for a pass, "tail_ms" the time from the last pass to
// the end of the save (the previews and the package), "passes" how many ran;
// and what searching the text for branches costs.
#include "BenchMain.h"
#include "BranchDocumentGenerator.h"
#include "WindowBenchSupport.h"
#include "application/TWDocument.h"
#include "application/TWDocumentWindow.h"
#include "application/TWSaveProgress.h"
#include "canvas/TWGraphicView.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/PackageArchive.h"
#include "model/TWFileIO.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

QString generatedDocument(int branches)
{
    const QString path =
        WindowBench::folder().filePath(QStringLiteral("saved-%1.tweb").arg(branches));
    if (!QFileInfo::exists(path)) {
        auto document = BranchDocument::makeDocument(branches, 0);
        document->currentMap()->setLayoutServices(std::make_shared<TWMapLayout>());
        TWMapLayout::autoArrange(*document->currentMap());
        if (document->saveToFile(path) != TWFileIO::SaveSucceeded)
            return QString();
        document->detach();
    }
    return path;
}

// Notes the time of each pass of the event loop: it posts itself an event
// that the next pass delivers.
class Heartbeat : public QObject
{
public:
    explicit Heartbeat(const QElapsedTimer &clock) : m_clock(clock) {}
    void start()
    {
        beats.clear();
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }
    std::vector<qint64> beats;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        beats.push_back(m_clock.nsecsElapsed());
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
        return true;
    }

private:
    const QElapsedTimer &m_clock;
};

void BM_SaveFromShownWindow(benchmark::State &state)
{
    WindowBench::environment();
    const QString path = generatedDocument(int(state.range(0)));
    if (path.isEmpty()) {
        state.SkipWithError("the generated document could not be made");
        return;
    }
    auto document = std::make_unique<TWDocument>();
    if (!document->readFromFile(path)) {
        state.SkipWithError("the generated document did not load");
        return;
    }
    document->makeWindowControllers();
    document->documentWindow()->resize(1280, 800);
    document->showWindows();
    WindowBench::runFor(500);
    const QString target = WindowBench::folder().filePath(QStringLiteral("target.tweb"));
    double first = 0, longest = 0, tail = 0, passes = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        Heartbeat heartbeat(clock);
        heartbeat.start();
        const int code = document->writeToFile(target);
        const qint64 end = clock.nsecsElapsed();
        state.SetIterationTime(double(end) / 1e9);
        if (code != TWFileIO::SaveSucceeded) {
            state.SkipWithError("the save failed");
            return;
        }
        const std::vector<qint64> beats = heartbeat.beats;
        if (!beats.empty()) {
            first += double(beats.front()) / 1e9;
            qint64 gap = 0;
            for (std::size_t i = 1; i < beats.size(); ++i)
                gap = std::max(gap, beats[i] - beats[i - 1]);
            longest += double(gap) / 1e6;
            tail += double(end - beats.back()) / 1e6;
            passes += double(beats.size());
        }
        WindowBench::settle();
    }
    const double n = double(state.iterations());
    state.counters["first_pass_s"] = first / n;
    state.counters["longest_gap_ms"] = longest / n;
    state.counters["tail_ms"] = tail / n;
    state.counters["passes"] = passes / n;
    document->clearChangeCount();
    document->close();
    WindowBench::settle();
}
BENCHMARK(BM_SaveFromShownWindow)
    ->Arg(10000)
    ->Arg(50000)
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// What searching a piece of text for its branches costs (a save searches
// one piece in eight): the text of a generated map in the writer's pieces.
void BM_CountBranchTags(benchmark::State &state)
{
    WindowBench::environment();
    const QString path = generatedDocument(int(state.range(0)));
    QFile file(path);
    const std::optional<PackageData> data =
        file.open(QIODevice::ReadOnly) ? PackageArchive::read(file) : std::nullopt;
    const QByteArray text = data ? data->value(TWMapsDoc::ContentsPath) : QByteArray();
    if (text.isEmpty()) {
        state.SkipWithError("the generated document could not be read");
        return;
    }
    constexpr qsizetype piece = 256 * 1024;
    qint64 counted = 0;
    for (auto _ : state) {
        counted = 0;
        for (qsizetype at = 0; at < text.size(); at += piece)
            counted +=
                branchTagsIn(QByteArrayView(text).sliced(at, std::min(piece, text.size() - at)));
        benchmark::DoNotOptimize(counted);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
    state.counters["branches"] = double(counted);
}
BENCHMARK(BM_CountBranchTags)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
