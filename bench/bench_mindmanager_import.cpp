// Importing a MindManager map as the Import command does, layout apart: a
// generated "mmap" archive whose Document.xml is streamed into a new map,
// every topic a branch with its text, font ranges, notes, icons and task.
// Compared with xmllint parsing the same Document.xml; the peak memory of
// the import is reported beside the size of the XML.
#include "MindManagerImpExp/mmImpExpController.h"
#include "PeakMemory.h"
#include "../tests/common/ZipTestSupport.h"
#include "application/Startup.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <malloc.h>
#include <map>
#include <optional>
#include <sys/resource.h>

namespace {

using BenchMemory::PeakMemory;
using BenchMemory::statusBytes;

const char *const kIcons[] = {"urn:mindjet:FlagRed", "urn:mindjet:SmileyHappy", "urn:mindjet:Check",
                              "urn:mindjet:Clock"};

// One topic and, breadth first, its children: a four-way tree. A heavy
// topic also carries what the import reads and lets go or passes over: a
// metafile picture and ink, 32 KB of Base64 text each.
void writeTopic(QByteArray &out, int index, int count, bool heavy)
{
    out += "<ap:Topic OId=\"t" + QByteArray::number(index) + "\">";
    const int first = index * 4 + 1;
    if (first < count) {
        out += "<ap:SubTopics>";
        for (int c = first; c < std::min(first + 4, count); ++c)
            writeTopic(out, c, count, heavy);
        out += "</ap:SubTopics>";
    }
    const QByteArray n = QByteArray::number(index);
    out += "<ap:Text PlainText=\"Topic " + n +
           " with some words\">"
           "<ap:Font Name=\"DejaVu Sans\" Size=\"10\"/>"
           "<ap:FontRange From=\"0\" To=\"4\" Bold=\"true\" Color=\"ffaa0000\"/></ap:Text>";
    if (index % 5 == 0)
        out += "<ap:NotesGroup><ap:NotesXhtmlData PreviewPlainText=\"Note " + n +
               "\"><html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>Note <b>" + n +
               "</b> for the topic</p></body></html></ap:NotesXhtmlData></ap:NotesGroup>";
    if (index % 3 == 0)
        out += "<ap:IconsGroup><ap:Icons><ap:Icon xsi:type=\"ap:StockIcon\" IconType=\"" +
               QByteArray(kIcons[index % 4]) + "\"/></ap:Icons></ap:IconsGroup>";
    if (index % 4 == 0)
        out += "<ap:Task TaskPriority=\"urn:mindjet:Prio" + QByteArray::number(index % 9 + 1) +
               "\" TaskPercentage=\"50\" DurationHours=\"48\" DurationUnit=\"urn:mindjet:Day\""
               " Resources=\"Ann; Bob\"/>";
    if (heavy) {
        static const QByteArray blob = QByteArray(24 * 1024, 'x').toBase64();
        out += "<ap:OneImage><ap:Image><ap:ImageData ImageType=\"urn:mindjet:MetafileImage\">"
               "<cor:Base64>" +
               blob +
               "</cor:Base64></ap:ImageData></ap:Image></ap:OneImage>"
               "<ap:InkGroup><ap:InkData><cor:Base64>" +
               blob + "</cor:Base64></ap:InkData></ap:InkGroup>";
    }
    out += "<ap:Color FillColor=\"ffdbe9f7\"/></ap:Topic>";
}

QByteArray generatedMap(int count, bool heavy)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                     "<ap:Map xmlns:ap=\"http://schemas.mindjet.com/MindManager/Application/2003\""
                     " xmlns:cor=\"http://schemas.mindjet.com/MindManager/Core/2003\""
                     " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><ap:OneTopic>";
    writeTopic(out, 0, count, heavy);
    out += "</ap:OneTopic><ap:StyleGroup><ap:RootTopicDefaultsGroup>"
           "<ap:DefaultText PlainText=\"Central\"><ap:Font Name=\"DejaVu Sans\" Size=\"16\"/>"
           "</ap:DefaultText><ap:DefaultSubTopicShape SubTopicShape=\"urn:mindjet:Rectangle\"/>"
           "</ap:RootTopicDefaultsGroup><ap:RootSubTopicDefaultsGroup Level=\"0\">"
           "<ap:DefaultColor LineColor=\"ff404040\"/></ap:RootSubTopicDefaultsGroup>"
           "</ap:StyleGroup></ap:Map>";
    return out;
}

struct Source
{
    QTemporaryDir dir;
    QString archive;
    QString xml;
    qint64 xmlSize = 0;
    int topics = 0;

    Source(int count, bool heavy) : topics(count)
    {
        const QByteArray document = generatedMap(count, heavy);
        xmlSize = document.size();
        xml = dir.filePath("Document.xml");
        QFile file(xml);
        file.open(QIODevice::WriteOnly);
        file.write(document);
        file.close();
        archive = dir.filePath("Generated.mmap");
        ZipTest::writeZip(archive, {{QStringLiteral("Document.xml"), document}});
    }
};

Source &source(int count, bool heavy = false)
{
    static std::map<std::pair<int, bool>, std::unique_ptr<Source>> made;
    auto &s = made[{count, heavy}];
    if (!s)
        s = std::make_unique<Source>(count, heavy);
    return *s;
}

void report(benchmark::State &state, const Source &s, qint64 peak, double seconds)
{
    state.counters["xml_MB"] = double(s.xmlSize) / (1 << 20);
    state.counters["peak_MB"] = double(peak) / (1 << 20);
    state.counters["us_per_topic"] =
        seconds * 1e6 / double(std::max<int64_t>(1, state.iterations())) / s.topics;
}

void importMmap(benchmark::State &state, Source &s, bool readingThread = true)
{
    qint64 peak = 0;
    double seconds = 0;
    for (auto _ : state) {
        const PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        auto document = TWMapsDoc::create();
        auto undo = std::make_shared<UndoManager>();
        document->addMap(TWMap::create(document.get()), false);
        document->setUndoManager(undo);
        undo->disableUndoRegistration();
        TWMap &map = *document->maps().first();
        map.setLayoutServices(std::make_shared<TWMapLayout>());
        // As the path's import does: the archive is checked each time.
        std::optional<MMMapSource> mapSource = mmImpExpController::sourceForFile(s.archive);
        if (mapSource)
            mapSource->readsOnAWorkerThread = readingThread;
        const bool ok = mapSource && mmImpExpController::populateDadoZiz(map, *mapSource);
        undo->enableUndoRegistration();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, memory.rise());
        if (!ok || map.allBranches().size() != s.topics)
            state.SkipWithError("import failed");
        state.PauseTiming();
        document->detach();
        document.reset();
        state.ResumeTiming();
    }
    report(state, s, peak, seconds);
}

void BM_ImportMmap(benchmark::State &state, int count)
{
    importMmap(state, source(count));
}

// The same topics in a file ten times as large: the peak stays with the map.
void BM_ImportMmapHeavy(benchmark::State &state, int count)
{
    importMmap(state, source(count, true));
}

// The same, read and made on one thread.
void BM_ImportMmapOneThread(benchmark::State &state, int count)
{
    importMmap(state, source(count), false);
}

void BM_ImportMmapHeavyOneThread(benchmark::State &state, int count)
{
    importMmap(state, source(count, true), false);
}

// A map whose topics all name one picture member: a 1x1 PNG padded with
// 60 MB of zeros, 60 KB deflated. The member is inflated and decoded once
// whatever the number of topics naming it.
struct SharedPicture
{
    QTemporaryDir dir;
    QString archive;
    explicit SharedPicture(int references)
    {
        QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ap:Map "
                         "xmlns:ap=\"http://schemas.mindjet.com/MindManager/Application/2003\" "
                         "xmlns:cor=\"http://schemas.mindjet.com/MindManager/Core/2003\">"
                         "<ap:OneTopic><ap:Topic OId=\"root\"><ap:SubTopics>";
        for (int i = 0; i < references; ++i)
            xml += "<ap:Topic OId=\"t" + QByteArray::number(i) +
                   "\"><ap:OneImage><ap:Image><ap:ImageData ImageType=\"urn:mindjet:PngImage\">"
                   "<cor:Uri>mmarch://bin/p.png</cor:Uri></ap:ImageData></ap:Image>"
                   "</ap:OneImage></ap:Topic>";
        xml += "</ap:SubTopics></ap:Topic></ap:OneTopic></ap:Map>";
        QImage pixel(1, 1, QImage::Format_ARGB32);
        pixel.fill(Qt::red);
        QByteArray picture;
        QBuffer buffer(&picture);
        buffer.open(QIODevice::WriteOnly);
        pixel.save(&buffer, "PNG");
        picture += QByteArray(60 << 20, '\0');
        archive = dir.filePath("Shared.mmap");
        ZipTest::writeZip(archive,
                         {{QStringLiteral("Document.xml"), xml}, {QStringLiteral("bin/p.png"), picture}});
    }
};

void BM_ImportSharedPicture(benchmark::State &state, int references)
{
    const SharedPicture made(references);
    qint64 peak = 0;
    for (auto _ : state) {
        const PeakMemory memory;
        auto document = TWMapsDoc::create();
        auto undo = std::make_shared<UndoManager>();
        document->addMap(TWMap::create(document.get()), false);
        document->setUndoManager(undo);
        undo->disableUndoRegistration();
        TWMap &map = *document->maps().first();
        map.setLayoutServices(std::make_shared<TWMapLayout>());
        const bool ok = mmImpExpController::populateDadoZiz(map, made.archive);
        undo->enableUndoRegistration();
        peak = std::max(peak, memory.rise());
        if (!ok || map.root()->children().size() != qsizetype(references) ||
            !map.root()->children().front()->enclosedImage())
            state.SkipWithError("import failed");
        state.PauseTiming();
        document->detach();
        document.reset();
        state.ResumeTiming();
    }
    state.counters["archive_KB"] = double(QFileInfo(made.archive).size()) / 1024;
    state.counters["peak_MB"] = double(peak) / (1 << 20);
}

void BM_Xmllint(benchmark::State &state, int count)
{
    Source &s = source(count);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QProcess::execute(QStringLiteral("xmllint"), {QStringLiteral("--noout"), s.xml});
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    report(state, s, qint64(usage.ru_maxrss) * 1024, seconds);
}

// The maps other programs wrote, largest first, each imported as the
// Import command does, layout included; none when the folder is absent.
QStringList realMaps()
{
    QStringList paths;
#ifdef THINKWEB_REAL_FILES
    const QDir folder(QStringLiteral(THINKWEB_REAL_FILES));
    for (const QFileInfo &map :
         folder.entryInfoList({QStringLiteral("*.mmap")}, QDir::Files, QDir::Size))
        paths << map.filePath();
#endif
    return paths;
}

void BM_ImportRealMap(benchmark::State &state, const QString &path)
{
    for (auto _ : state) {
        auto document = TWMapsDoc::create();
        auto undo = std::make_shared<UndoManager>();
        document->addMap(TWMap::create(document.get()), false);
        document->setUndoManager(undo);
        undo->disableUndoRegistration();
        TWMap &map = *document->maps().first();
        map.setLayoutServices(std::make_shared<TWMapLayout>());
        if (!mmImpExpController::populateDadoZiz(map, path))
            state.SkipWithError("import failed");
        TWMapLayout::autoArrange(map);
        undo->enableUndoRegistration();
        state.counters["branches"] = double(map.allBranches().size());
        state.PauseTiming();
        document->detach();
        document.reset();
        state.ResumeTiming();
    }
}

} // namespace

int main(int argc, char **argv)
{
    registerTypesAndResources();
    // Leaked: the fonts outlive every map.
    new QGuiApplication(argc, argv);
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("defaults.ini"));
    UserDefaults::Scope defaultsScope(&defaults);
    TWPreferences::registerDefaults(defaults);
    RecordingAlerts alerts;
    Alerts::Scope alertsScope(&alerts);
    if (QStandardPaths::findExecutable("xmllint").isEmpty()) {
        qWarning("bench_mindmanager_import needs xmllint (libxml2-utils)");
        return 1;
    }
    for (const QString &real : realMaps())
        benchmark::RegisterBenchmark(
            QByteArray("BM_ImportRealMap/" + QFileInfo(real).fileName().toUtf8()),
            &BM_ImportRealMap, real)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    for (const int references : {30, 100, 1000})
        benchmark::RegisterBenchmark(
            QByteArray("BM_ImportSharedPicture/" + QByteArray::number(references)),
            &BM_ImportSharedPicture, references)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
    for (const int n : {1000, 10000}) {
        benchmark::RegisterBenchmark(QByteArray("BM_ImportMmap/" + QByteArray::number(n)),
                                     &BM_ImportMmap, n)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(QByteArray("BM_ImportMmapOneThread/" + QByteArray::number(n)),
                                     &BM_ImportMmapOneThread, n)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        // 63 MB of XML at 1,000 topics is heavy enough.
        if (n == 1000) {
            benchmark::RegisterBenchmark("BM_ImportMmapHeavy/1000", &BM_ImportMmapHeavy, n)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark("BM_ImportMmapHeavyOneThread/1000",
                                         &BM_ImportMmapHeavyOneThread, n)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        benchmark::RegisterBenchmark(QByteArray("BM_Xmllint/" + QByteArray::number(n)), &BM_Xmllint,
                                     n)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
