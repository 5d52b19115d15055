// Opening and saving generated documents of 1,000 and 10,000 branches (and
// 100,000 with THINKWEB_BENCH_LARGE=1) as a user does, beside
// `gunzip -c | xmllint --noout -` and `xmllint --format | gzip` on the same
// Contents.xml. Reports time and peak memory per branch; the memory is the
// rise of the resident high-water mark during the run (child processes:
// their own peak).
#include "BranchDocumentGenerator.h"
#include "PeakMemory.h"
#include "application/Startup.h"
#include "model/TWFileIO.h"
#include "platform/RecordingAlerts.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"
#include "support/XMLStreamWriter.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <malloc.h>
#include <map>
#include <sys/resource.h>

namespace {

using BenchMemory::PeakMemory;
using BenchMemory::statusBytes;

struct Document
{
    QTemporaryDir dir;
    int branches = 0;
    qint64 xmlSize = 0;
    QString package, xml, gz;

    explicit Document(int count) : branches(count)
    {
        package = dir.filePath("doc.tweb");
        xml = dir.filePath("Contents.xml");
        gz = dir.filePath("Contents.xml.gz");
        // Saved, opened and saved again, as a user's document is: the first
        // reading numbers its graphics afresh and fills in what was left out.
        std::shared_ptr<TWMapsDoc> built = BranchDocument::makeDocument(count);
        if (built->saveToFile(package) != TWFileIO::SaveSucceeded)
            qFatal("cannot save the package");
        built->detach();
        built.reset();
        std::shared_ptr<TWMapsDoc> document = TWMapsDoc::loadFromFile(package, false);
        if (!document || document->saveToFile(package) != TWFileIO::SaveSucceeded)
            qFatal("cannot save the package again");
        // The same text the package holds, for the command-line tools.
        QFile file(xml);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(xml));
        XMLStreamWriter writer(
            [&file](const char *data, qint64 size) { return file.write(data, size) == size; });
        if (!document->writeContentsXML(writer) || !writer.writeEndDocument())
            qFatal("cannot write Contents.xml");
        file.close();
        document->detach();
        xmlSize = QFileInfo(xml).size();
        shell(QStringLiteral("gzip -c '%1' > '%2'").arg(xml, gz));
    }

    static qint64 shell(const QString &command)
    {
        QProcess process;
        process.start("sh", {"-c", command});
        if (!process.waitForFinished(-1) || process.exitCode() != 0)
            qFatal("failed: %s", qPrintable(command));
        return 0;
    }
};

Document &document(int branches)
{
    static std::map<int, std::unique_ptr<Document>> documents;
    auto &d = documents[branches];
    if (!d) {
        documents.clear(); // one document on disk at a time
        documents[branches] = std::make_unique<Document>(branches);
        return *documents[branches];
    }
    return *d;
}

void report(benchmark::State &state, const Document &d, qint64 peak, double seconds)
{
    state.counters["xml_MB"] = double(d.xmlSize) / (1 << 20);
    state.counters["xml_per_branch_KB"] = double(d.xmlSize) / 1024 / d.branches;
    state.counters["peak_MB"] = double(peak) / (1 << 20);
    state.counters["peak_per_branch_KB"] = double(peak) / 1024 / d.branches;
    state.counters["us_per_branch"] =
        seconds * 1e6 / double(d.branches) / double(state.iterations());
}

// Opening a document as a user does: the package read, Contents.xml streamed
// into the model, every branch built.
void BM_LoadStreamed(benchmark::State &state, int branches)
{
    Document &d = document(branches);
    qint64 peak = 0;
    double seconds = 0;
    for (auto _ : state) {
        const PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        int error = -1;
        std::shared_ptr<TWMapsDoc> loaded = TWMapsDoc::loadFromFile(d.package, false, &error);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, memory.rise());
        if (!loaded || loaded->countOfMaps() != 1 ||
            loaded->maps().at(0)->allBranches().size() != d.branches)
            state.SkipWithError("load failed");
        state.PauseTiming();
        if (loaded)
            loaded->detach();
        loaded.reset();
        state.ResumeTiming();
    }
    report(state, d, peak, seconds);
}

void BM_LoadXmllint(benchmark::State &state, int branches)
{
    Document &d = document(branches);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Document::shell(QStringLiteral("gunzip -c '%1' | xmllint --noout -").arg(d.gz));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    report(state, d, qint64(usage.ru_maxrss) * 1024, seconds);
}

// Saving the loaded document unchanged: Contents.xml written from the model
// straight into the compressed package, the pictures beside it; the preview
// is kept where the text is the same as when it was drawn.
void BM_SaveStreamed(benchmark::State &state, int branches)
{
    Document &d = document(branches);
    const QString target = d.dir.filePath("saved.tweb");
    std::shared_ptr<TWMapsDoc> loaded = TWMapsDoc::loadFromFile(d.package, false);
    if (!loaded) {
        state.SkipWithError("load failed");
        return;
    }
    qint64 peak = 0;
    double seconds = 0;
    for (auto _ : state) {
        const PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        if (loaded->saveToFile(target) != TWFileIO::SaveSucceeded)
            state.SkipWithError("save failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, memory.rise());
    }
    loaded->detach();
    report(state, d, peak, seconds);
}

// Saving a document unchanged since it was opened: the same map without its
// link lines, saved and opened once first.
void BM_SaveUnchangedWithoutLinkLines(benchmark::State &state, int branches)
{
    Document &d = document(branches);
    const QString target = d.dir.filePath("stable.tweb");
    {
        std::shared_ptr<TWMapsDoc> loaded = TWMapsDoc::loadFromFile(d.package, false);
        if (!loaded) {
            state.SkipWithError("load failed");
            return;
        }
        loaded->maps().at(0)->removeAllLinkLines();
        if (loaded->saveToFile(target) != TWFileIO::SaveSucceeded)
            state.SkipWithError("save failed");
        loaded->detach();
    }
    std::shared_ptr<TWMapsDoc> loaded = TWMapsDoc::loadFromFile(target, false);
    if (!loaded) {
        state.SkipWithError("load failed");
        return;
    }
    qint64 peak = 0;
    double seconds = 0;
    for (auto _ : state) {
        const PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        if (loaded->saveToFile(target) != TWFileIO::SaveSucceeded)
            state.SkipWithError("save failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, memory.rise());
    }
    loaded->detach();
    report(state, d, peak, seconds);
}

// Saving a document whose map was just built: the same, with its preview
// drawn afresh.
void BM_SaveFreshlyBuilt(benchmark::State &state, int branches)
{
    Document &d = document(branches);
    const QString target = d.dir.filePath("fresh.tweb");
    qint64 peak = 0;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::shared_ptr<TWMapsDoc> built = BranchDocument::makeDocument(branches);
        state.ResumeTiming();
        const PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        if (built->saveToFile(target) != TWFileIO::SaveSucceeded)
            state.SkipWithError("save failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, memory.rise());
        state.PauseTiming();
        built->detach();
        built.reset();
        state.ResumeTiming();
    }
    report(state, d, peak, seconds);
}

void BM_SaveXmllint(benchmark::State &state, int branches)
{
    Document &d = document(branches);
    const QString target = d.dir.filePath("formatted.xml.gz");
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        Document::shell(QStringLiteral("xmllint --format '%1' | gzip > '%2'").arg(d.xml, target));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    report(state, d, qint64(usage.ru_maxrss) * 1024, seconds);
}

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
    if (QStandardPaths::findExecutable("xmllint").isEmpty()) {
        qWarning("bench_contents_stream needs xmllint (libxml2-utils)");
        return 1;
    }
    // Size by size, so that each document is made once.
    QList<int> sizes{1000, 10000};
    if (qEnvironmentVariableIntValue("THINKWEB_BENCH_LARGE"))
        sizes.append(100000);
    for (const int n : sizes) {
        for (const auto &[name, function] :
             {std::pair{"BM_LoadStreamed", &BM_LoadStreamed},
              {"BM_LoadXmllint", &BM_LoadXmllint},
              {"BM_SaveStreamed", &BM_SaveStreamed},
              {"BM_SaveFreshlyBuilt", &BM_SaveFreshlyBuilt},
              {"BM_SaveUnchangedWithoutLinkLines", &BM_SaveUnchangedWithoutLinkLines},
              {"BM_SaveXmllint", &BM_SaveXmllint}})
            benchmark::RegisterBenchmark(QByteArray(name + QByteArray("/") + QByteArray::number(n)),
                                         function, n)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
