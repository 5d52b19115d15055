// Big documents made as a user makes them: an outline of 1,000, 10,000 (and
// 50,000 and 100,000 with THINKWEB_BENCH_LARGE=1) items imported into a new document,
// laid out by the program wherever that takes the branches, and saved. The
// document is then opened and saved as the document window does it, beside
// the standard tools on the same Contents.xml: `gunzip -c | xmllint --noout`
// to open, `xmllint --format` and `tar czf` to save. Time, and the peak
// memory each adds (the rise of the resident high-water mark; the open: the
// process's peak; the tools: their own peak). THINKWEB_BENCH_KEEP names a folder that receives each
// outline and document (outline-N.opml, document-N.tweb) for other programs.
#include "PeakMemory.h"
#include "application/Startup.h"
#include "application/TWDocument.h"
#include "common/BenchDocuments.h"
#include "exchange/TWOPMLImportExport.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/PackageArchive.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <malloc.h>
#include <map>
#include <sys/resource.h>

namespace {

// Processor time of every thread of this process so far, in seconds.
double processSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

using BenchMemory::PeakMemory;
using BenchMemory::statusBytes;

void shell(const QString &command)
{
    QProcess process;
    process.start("sh", {"-c", command});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        qFatal("failed: %s", qPrintable(command));
}

// Ten groups, ten outlines below each down to four levels, every fifth with
// a note: 10 + 100 + 1,000 + 10,000 places, filled depth first up to `total`.
// A hundred thousand take a fifth level.
QByteArray outline(int total)
{
    const int depth = total > 11110 ? 5 : 4;
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"><head>"
                     "<title>Generated</title></head><body>\n";
    int written = 0;
    std::function<void(int)> level = [&](int d) {
        for (int i = 0; i < 10 && written < total; ++i) {
            const int n = written++;
            xml += "<outline text=\"Outline number " + QByteArray::number(n) + " &amp; more\"";
            if (n % 5 == 0)
                xml += " _note=\"A note&#10;on two lines\"";
            if (d < depth) {
                xml += ">\n";
                level(d + 1);
                xml += "</outline>\n";
            } else {
                xml += "/>\n";
            }
        }
    };
    level(1);
    xml += "</body></opml>\n";
    return xml;
}

struct Made
{
    QTemporaryDir dir;
    int items = 0;
    qint64 xmlSize = 0;
    QString opml, package, xml, gz, staged;
    double importSeconds = 0;
    qint64 importPeak = 0; // the process's peak while the outline was imported and laid out
    double extent = 0;     // the laid-out map's larger side, in points

    explicit Made(int count) : items(count)
    {
        opml = dir.filePath("outline.opml");
        package = dir.filePath("document.tweb");
        xml = dir.filePath("Contents.xml");
        gz = dir.filePath("Contents.xml.gz");
        staged = dir.filePath("staged");
        QFile file(opml);
        if (!file.open(QIODevice::WriteOnly) || file.write(outline(count)) < 0)
            qFatal("cannot write the outline");
        file.close();
        {
            // A new untitled document with the map users start from.
            std::unique_ptr<TWDocument> document = TWDocument::makeUntitled();
            document->addMapUsingTemplate(false);
            TWMap &map = *document->mapsDocument()->currentMap();
            if (!dynamic_cast<TWMapLayout *>(&map.layoutServices()))
                map.setLayoutServices(std::make_shared<TWMapLayout>());
            const PeakMemory memory;
            const auto start = std::chrono::steady_clock::now();
            // As the import command does it: building the map is no step to undo.
            document->undoManager()->disableUndoRegistration();
            if (!TWOPMLImportExport().importFile(opml, map))
                qFatal("cannot import the outline");
            document->undoManager()->enableUndoRegistration();
            importSeconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            importPeak = memory.peak();
            const Rect r = map.getBoundingDrawingRectForAllGraphics();
            extent = std::max(r.width(), r.height());
            if (document->writeToFile(package) != TWFileIO::SaveSucceeded)
                qFatal("cannot save the document");
        }
        NotificationQueue::defaultQueue().flush();
        QFile archive(package);
        if (!archive.open(QIODevice::ReadOnly))
            qFatal("cannot read the document");
        const std::optional<PackageData> data = PackageArchive::read(archive);
        if (!data)
            qFatal("cannot unpack the document");
        // The tools get the same files: the text, and the package laid out
        // as tar would pack it.
        for (auto it = data->cbegin(); it != data->cend(); ++it) {
            const QString path = staged + u'/' + it.key();
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile out(path);
            if (!out.open(QIODevice::WriteOnly) || out.write(*it) != it->size())
                qFatal("cannot stage %s", qPrintable(it.key()));
        }
        QFile::copy(staged + QStringLiteral("/Thinkweb/Contents.xml"), xml);
        xmlSize = QFileInfo(xml).size();
        shell(QStringLiteral("gzip -c '%1' > '%2'").arg(xml, gz));
        if (const QString keep = qEnvironmentVariable("THINKWEB_BENCH_KEEP"); !keep.isEmpty()) {
            QDir().mkpath(keep);
            const QString opmlCopy = keep + QStringLiteral("/outline-%1.opml").arg(count);
            const QString packageCopy = keep + QStringLiteral("/document-%1.tweb").arg(count);
            QFile::remove(opmlCopy);
            QFile::remove(packageCopy);
            QFile::copy(opml, opmlCopy);
            QFile::copy(package, packageCopy);
        }
    }
};

Made &made(int items)
{
    static std::map<int, std::unique_ptr<Made>> all;
    auto &m = all[items];
    if (!m) {
        all.clear(); // one size on disk at a time
        all[items] = std::make_unique<Made>(items);
        return *all[items];
    }
    return *m;
}

void report(benchmark::State &state, const Made &m, qint64 peak, double seconds)
{
    state.counters["xml_MB"] = double(m.xmlSize) / (1 << 20);
    state.counters["xml_KB_per_branch"] = double(m.xmlSize) / 1024 / (m.items + 1);
    state.counters["file_MB"] = double(QFileInfo(m.package).size()) / (1 << 20);
    state.counters["peak_MB"] = double(peak) / (1 << 20);
    state.counters["extent_pt"] = m.extent;
    state.counters["import_s"] = m.importSeconds;
    state.counters["import_peak_MB"] = double(m.importPeak) / (1 << 20);
    state.counters["s"] = seconds / double(state.iterations());
}

using BenchDocuments::closed;
using BenchDocuments::opened;

// Opening the document as the document does it, without a window. Its
// peak is the process's (as a program that opens the document holds it),
// and rise_MB what the open added.
void BM_Open(benchmark::State &state, int items)
{
    Made &m = made(items);
    const BenchDocuments::Opens opens =
        BenchDocuments::timeOpens(state, m.package, [&](TWDocument &document) {
            return document.mapsDocument()->currentMap()->allBranches().size() == items + 1;
        });
    report(state, m, opens.peak, opens.seconds);
    state.counters["rise_MB"] = double(opens.rise) / (1 << 20);
}

void BM_OpenXmllint(benchmark::State &state, int items)
{
    Made &m = made(items);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        shell(QStringLiteral("gunzip -c '%1' | xmllint --noout -").arg(m.gz));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    report(state, m, qint64(usage.ru_maxrss) * 1024, seconds);
}

// Saving after an edit, as Ctrl+S does: one label changed (so the preview
// is drawn afresh), the whole document written. Peak memory counts from the
// opened document, the edit included.
void BM_EditAndSave(benchmark::State &state, int items)
{
    Made &m = made(items);
    const QString target = m.dir.filePath("saved.tweb");
    std::unique_ptr<TWDocument> document = opened(m.package);
    if (!document) {
        state.SkipWithError("the document did not open");
        return;
    }
    TWMap &map = *document->mapsDocument()->currentMap();
    const std::shared_ptr<TWMapBranch> deep = map.allBranches().last();
    qint64 peak = 0, kept = 0;
    double seconds = 0, processor = 0;
    int edits = 0;
    for (auto _ : state) {
        const PeakMemory memory;
        const qint64 before = statusBytes("VmRSS:");
        const double used = processSeconds();
        const auto start = std::chrono::steady_clock::now();
        deep->enclosedTextArea()->setString(QStringLiteral("Edited %1").arg(++edits));
        if (document->writeToFile(target) != TWFileIO::SaveSucceeded)
            state.SkipWithError("the save failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        processor += processSeconds() - used;
        peak = std::max(peak, memory.rise());
        state.PauseTiming();
        NotificationQueue::defaultQueue().flush();
        malloc_trim(0);
        kept = std::max(kept, statusBytes("VmRSS:") - before);
        state.ResumeTiming();
    }
    closed(std::move(document));
    report(state, m, peak, seconds);
    // What stays resident once the save is over.
    state.counters["kept_MB"] = double(kept) / (1 << 20);
    // Every thread's processor time: what a loaded machine has to find.
    state.counters["cpu_s"] = processor / double(std::max<qint64>(1, state.iterations()));
}

// Saving again with nothing changed: the preview is kept.
void BM_SaveUnchanged(benchmark::State &state, int items)
{
    Made &m = made(items);
    const QString target = m.dir.filePath("again.tweb");
    std::unique_ptr<TWDocument> document = opened(m.package);
    if (!document || document->writeToFile(target) != TWFileIO::SaveSucceeded) {
        state.SkipWithError("the document did not open and save");
        return;
    }
    qint64 peak = 0;
    double seconds = 0;
    for (auto _ : state) {
        const PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        if (document->writeToFile(target) != TWFileIO::SaveSucceeded)
            state.SkipWithError("the save failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, memory.rise());
    }
    closed(std::move(document));
    report(state, m, peak, seconds);
}

// The tools' save: the text formatted, then the package packed and gzipped.
void BM_SaveXmllintTar(benchmark::State &state, int items)
{
    Made &m = made(items);
    const QString target = m.dir.filePath("tools.tweb");
    const QString contents = m.staged + QStringLiteral("/Thinkweb/Contents.xml");
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        shell(QStringLiteral("xmllint --format '%1' > '%2.new' && mv '%2.new' '%2' && "
                             "cd '%3' && tar czf '%4' Images Thinkweb")
                  .arg(m.xml, contents, m.staged, target));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    report(state, m, qint64(usage.ru_maxrss) * 1024, seconds);
}

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("defaults.ini"));
    UserDefaults::Scope defaultsScope(&defaults);
    TWPreferences::registerDefaults();
    RecordingAlerts alerts;
    Alerts::Scope alertsScope(&alerts);
    if (QStandardPaths::findExecutable("xmllint").isEmpty()) {
        qWarning("bench_big_documents needs xmllint (libxml2-utils)");
        return 1;
    }
    QList<int> sizes{1000, 10000};
    if (qEnvironmentVariableIntValue("THINKWEB_BENCH_LARGE"))
        sizes.append({50000, 100000});
    for (const int n : sizes) {
        for (const auto &[name, function] : {std::pair{"BM_Open", &BM_Open},
                                             {"BM_OpenXmllint", &BM_OpenXmllint},
                                             {"BM_EditAndSave", &BM_EditAndSave},
                                             {"BM_SaveUnchanged", &BM_SaveUnchanged},
                                             {"BM_SaveXmllintTar", &BM_SaveXmllintTar}})
            benchmark::RegisterBenchmark(QByteArray(name + QByteArray("/") + QByteArray::number(n)),
                                         function, n)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(n > 10000 ? 1 : 3);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
