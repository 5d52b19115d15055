// Loading and saving generated documents of 1,000 and 10,000 branches (and
// 100,000 with THINKWEB_BENCH_LARGE=1) through the streaming layer, beside
// `gunzip -c | xmllint --noout -` and `xmllint --format | gzip` on the same
// Contents.xml. Reports time and peak memory per branch; the memory is the
// rise of the resident high-water mark during the run (child processes:
// their own peak).
#include "BranchDocumentGenerator.h"
#include "model/PackageReader.h"
#include "model/PackageWriter.h"
#include "model/TWFileIO.h"
#include "support/ContentsXMLReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <benchmark/benchmark.h>

#include <chrono>
#include <malloc.h>
#include <map>
#include <sys/resource.h>

namespace {

const QString contentsPath = QStringLiteral("Thinkweb/Contents.xml");

// Resident memory in bytes from /proc/self/status ("VmRSS", "VmHWM").
qint64 statusBytes(const char *key)
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key) + 1).trimmed().split(' ').first().toLongLong() * 1024;
    return 0;
}

// Measures how far the resident high-water mark rises from here.
class PeakMemory
{
public:
    PeakMemory()
    {
        QFile clear("/proc/self/clear_refs");
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5"); // resets the high-water mark
        malloc_trim(0);       // freed memory is handed back, so reusing it counts
        m_start = statusBytes("VmRSS:");
    }
    qint64 rise() const { return std::max<qint64>(0, statusBytes("VmHWM:") - m_start); }

private:
    qint64 m_start;
};

struct Document
{
    QTemporaryDir dir;
    int branches = 0;
    qint64 xmlSize = 0;
    QString package, xml, gz;
    QMap<QString, QByteArray> pictures;

    explicit Document(int count) : branches(count)
    {
        package = dir.filePath("doc.tweb");
        xml = dir.filePath("Contents.xml");
        gz = dir.filePath("Contents.xml.gz");
        BranchDocument::Tree tree{count};
        tree.picture = [this](const QString &path, int bytes) {
            QByteArray data(bytes, Qt::Uninitialized);
            quint32 x = quint32(pictures.size()) * 2654435761u + 1;
            for (char &c : data) {
                x ^= x << 13, x ^= x >> 17, x ^= x << 5;
                c = char(x);
            }
            pictures.insert(path, data);
        };
        QFile file(xml);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(xml));
        XMLStreamWriter writer(
            [&file](const char *data, qint64 size) { return file.write(data, size) == size; });
        BranchDocument::writeDocument(writer, tree);
        file.close();
        xmlSize = QFileInfo(xml).size();
        shell(QStringLiteral("gzip -c '%1' > '%2'").arg(xml, gz));
        // The package: the same text as the streamed entry, the pictures beside it.
        if (TWFileIO::saveStreamedPackage(
                [this] {
                    QVariantMap entries;
                    for (auto it = pictures.cbegin(); it != pictures.cend(); ++it)
                        entries.insert(it.key(), it.value());
                    entries.insert("Thinkweb/fileVersion.txt", QStringLiteral("4.1"));
                    return entries;
                },
                contentsPath,
                [this](XMLStreamWriter &w) {
                    BranchDocument::writeDocument(w, BranchDocument::Tree{branches});
                    return !w.failed();
                },
                package) != TWFileIO::SaveSucceeded)
            qFatal("cannot save the package");
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

// Reads a branch as a branch reader will: its own children expanded one at a
// time and dropped, its child branches as the stream reaches them.
qint64 readBranch(ContentsXMLReader &reader)
{
    qint64 count = 1;
    if (!reader.enterElement())
        return count;
    while (reader.nextChildElement()) {
        if (reader.nameIs("children")) {
            if (reader.enterElement())
                while (reader.nextChildElement())
                    count += readBranch(reader);
        } else {
            benchmark::DoNotOptimize(reader.expandElement());
        }
    }
    return count;
}

void report(benchmark::State &state, const Document &d, qint64 peak, double seconds)
{
    state.counters["xml_MB"] = double(d.xmlSize) / (1 << 20);
    state.counters["peak_MB"] = double(peak) / (1 << 20);
    state.counters["peak_per_branch_KB"] = double(peak) / 1024 / d.branches;
    state.counters["us_per_branch"] =
        seconds * 1e6 / double(d.branches) / double(state.iterations());
}

void BM_LoadStreamed(benchmark::State &state, int branches)
{
    Document &d = document(branches);
    qint64 peak = 0;
    double seconds = 0;
    for (auto _ : state) {
        const PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        qint64 branches = 0;
        StreamedPackageEntry contents;
        const int code = TWFileIO::loadStreamedPackage(
            d.package, contentsPath, "TWMapBranch",
            [&](const PackageEntries &data, const StreamedPackageEntry &entry) {
                contents = entry;
                if (data.size() != d.pictures.size() + 1)
                    return false;
                std::unique_ptr<PackageEntryStream> stream = entry.open();
                ContentsXMLReader reader(
                    [&](char *bytes, qint64 max) { return stream->read(bytes, max); });
                if (!reader.readRootElement() || !reader.enterElement())
                    return false;
                // TWMapsDoc/maps/map/TWMap/root/TWMapBranch
                for (const char *name : {"maps", "map", "TWMap"})
                    if (!reader.nextChildElement() || !reader.nameIs(name) ||
                        !reader.enterElement())
                        return false;
                while (reader.nextChildElement()) {
                    if (!reader.nameIs("root")) {
                        benchmark::DoNotOptimize(reader.expandElement());
                    } else if (reader.enterElement()) {
                        while (reader.nextChildElement())
                            branches += readBranch(reader);
                    }
                }
                return !reader.hasError();
            });
        if (code != TWFileIO::LoadSucceeded || branches != d.branches ||
            contents.startTagCount != d.branches)
            state.SkipWithError("load failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, memory.rise());
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

void BM_SaveStreamed(benchmark::State &state, int branches)
{
    Document &d = document(branches);
    const QString target = d.dir.filePath("saved.tweb");
    qint64 peak = 0;
    double seconds = 0;
    for (auto _ : state) {
        const PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        const int code = TWFileIO::saveStreamedPackage(
            [&d] {
                QVariantMap entries;
                for (auto it = d.pictures.cbegin(); it != d.pictures.cend(); ++it)
                    entries.insert(it.key(), it.value());
                return entries;
            },
            contentsPath,
            [&d](XMLStreamWriter &w) {
                BranchDocument::writeDocument(w, BranchDocument::Tree{d.branches});
                return !w.failed();
            },
            target);
        if (code != TWFileIO::SaveSucceeded)
            state.SkipWithError("save failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, memory.rise());
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
    QCoreApplication app(argc, argv);
    if (QStandardPaths::findExecutable("xmllint").isEmpty()) {
        qWarning("bench_contents_stream needs xmllint (libxml2-utils)");
        return 1;
    }
    // Size by size, so that each document is made once.
    QList<int> sizes{1000, 10000};
    if (qEnvironmentVariableIntValue("THINKWEB_BENCH_LARGE"))
        sizes.append(100000);
    for (const int n : sizes) {
        for (const auto &[name, function] : {std::pair{"BM_LoadStreamed", &BM_LoadStreamed},
                                             {"BM_LoadXmllint", &BM_LoadXmllint},
                                             {"BM_SaveStreamed", &BM_SaveStreamed},
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
