// Inputs whose cost must grow with the file and no faster: outlines whose
// items all stand under one heading (OPML, the outliner's version 3 XML,
// a MindManager map), imported as the Import command does into the map a
// new document starts with, layout included; a document of many link lines
// opened and saved; a document whose central label is megabytes of text
// opened, and its tab shown. Each at 1,000, 10,000 and 100,000 where it has
// a count, with the time per item and the peak memory the step adds, so
// that the growth reads off the rows.
#include "../tests/common/ZipTestSupport.h"
#include "MindManagerImpExp/mmImpExpController.h"
#include "PeakMemory.h"
#include "application/Startup.h"
#include "application/TWDocument.h"
#include "application/TWMapTabBar.h"
#include "common/BenchDocuments.h"
#include "exchange/TWOPMLImportExport.h"
#include "exchange/TWOmniOutlineImporter.h"
#include "exchange/TWOutlinerImportHost.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWClipboardXML.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "platform/RecordingAlerts.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"
#include "support/AttributedString.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <vector>

namespace {

using BenchMemory::PeakMemory;

QTemporaryDir *folder = nullptr;

QString written(const QString &name, const QByteArray &bytes)
{
    const QString path = folder->filePath(name);
    if (!QFile::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

QString flatOPML(int items)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"><head>"
                     "<title>Flat</title></head><body>\n";
    for (int i = 0; i < items; ++i)
        xml += "<outline text=\"Item " + QByteArray::number(i) + "\"/>\n";
    xml += "</body></opml>\n";
    return written(QStringLiteral("flat-%1.opml").arg(items), xml);
}

QByteArray flatOutliner(int items)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                     "<outline xmlns=\"http://example.org/xmlns/outline/v3\"><root>";
    for (int i = 0; i < items; ++i)
        xml += "<item><values><text><p><run><lit>Item " + QByteArray::number(i) +
               "</lit></run></p></text></values></item>\n";
    xml += "</root></outline>\n";
    return xml;
}

QString flatMindManager(int items)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ap:Map "
                     "xmlns:ap=\"http://schemas.mindjet.com/MindManager/Application/2003\" "
                     "xmlns:cor=\"http://schemas.mindjet.com/MindManager/Core/2003\">"
                     "<ap:OneTopic><ap:Topic OId=\"root\"><ap:SubTopics>";
    for (int i = 0; i < items; ++i)
        xml += "<ap:Topic OId=\"t" + QByteArray::number(i) + "\"><ap:Text PlainText=\"Topic " +
               QByteArray::number(i) + "\"/></ap:Topic>";
    xml += "</ap:SubTopics><ap:Text PlainText=\"Central\"/></ap:Topic></ap:OneTopic></ap:Map>";
    const QString path = folder->filePath(QStringLiteral("flat-%1.mmap").arg(items));
    if (!QFile::exists(path))
        ZipTest::writeZip(path, {{QStringLiteral("Document.xml"), xml}});
    return path;
}

// The outliner's version 2 file (a property list): `items` items under the
// root or, with `underHeading`, under one item.
QByteArray flatOutliner2(int items, bool underHeading)
{
    QByteArray children;
    for (int i = 0; i < items; ++i)
        children += "<dict><key>Cols</key><array><string></string><string>Item " +
                    QByteArray::number(i) + "</string></array></dict>\n";
    if (underHeading)
        children = "<dict><key>Cols</key><array><string></string><string>Heading</string>"
                   "</array><key>Children</key><array>" +
                   children + "</array></dict>";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>Version</key><integer>6</integer><key>Root Item</key><dict>"
           "<key>Children</key><array>" +
           children + "</array></dict></dict></plist>\n";
}

// A new untitled document with the map users start from, as the Import
// command makes it.
std::unique_ptr<TWDocument> newDocument()
{
    std::unique_ptr<TWDocument> document = TWDocument::makeUntitled();
    document->addMapUsingTemplate(false);
    TWMap &map = *document->mapsDocument()->currentMap();
    if (!dynamic_cast<TWMapLayout *>(&map.layoutServices()))
        map.setLayoutServices(std::make_shared<TWMapLayout>());
    return document;
}

void report(benchmark::State &state, int items, double seconds, qint64 peak)
{
    const double each = seconds / double(std::max<int64_t>(1, state.iterations()));
    state.counters["s"] = each;
    state.counters["us_per_item"] = each * 1e6 / items;
    state.counters["peak_MB"] = double(peak) / (1 << 20);
}

template <typename Import> void measureImport(benchmark::State &state, int items, Import &&import)
{
    double seconds = 0;
    qint64 peak = 0;
    for (auto _ : state) {
        std::unique_ptr<TWDocument> document = newDocument();
        TWMap &map = *document->mapsDocument()->currentMap();
        const PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        const int made = import(document, map);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, memory.rise());
        if (made != items)
            state.SkipWithError("the import did not make every item");
        state.PauseTiming();
        document.reset();
        NotificationQueue::defaultQueue().flush();
        state.ResumeTiming();
    }
    report(state, items, seconds, peak);
}

void BM_ImportFlatOPML(benchmark::State &state, int items)
{
    const QString path = flatOPML(items);
    measureImport(state, items, [&](auto &, TWMap &map) {
        return TWOPMLImportExport().importFile(path, map) ? int(map.root()->children().size()) : -1;
    });
}

// The outliner asks for its own document; it is the one made here.
class OneDocumentHost : public TWOutlinerImportHost
{
public:
    explicit OneDocumentHost(TWMapsDoc &document) : m_document(document) {}
    TWMapsDoc *newDocument(const QString &, bool) override { return &m_document; }
    void startProgress(double) override {}
    void setProgressInfo(const QString &) override {}
    void finishProgress() override {}
    void bringToFront(TWMapsDoc &) override {}

private:
    TWMapsDoc &m_document;
};

void BM_ImportFlatOutliner(benchmark::State &state, int items)
{
    const QByteArray data = flatOutliner(items);
    measureImport(state, items, [&](std::unique_ptr<TWDocument> &document, TWMap &map) {
        OneDocumentHost host(*document->mapsDocument());
        TWOmniOutlineImporter importer;
        importer.setHost(&host);
        return importer.documentFromData(data, false, QStringLiteral("Flat"))
                   ? int(map.root()->children().size())
                   : -1;
    });
}

void BM_ImportFlatMindManager(benchmark::State &state, int items)
{
    const QString path = flatMindManager(items);
    measureImport(state, items, [&](std::unique_ptr<TWDocument> &document, TWMap &map) {
        UndoManager *undo = document->undoManager();
        undo->disableUndoRegistration();
        const bool ok = mmImpExpController::populateDadoZiz(map, path);
        if (ok)
            TWMapLayout::autoArrange(map);
        undo->enableUndoRegistration();
        return ok ? int(map.root()->children().size()) : -1;
    });
}

// The outliner's version 2 import places each item as it grows, as a user's
// new branch is placed, and lays nothing out afterwards. Nothing of it is
// registered for undo, as for the program's imports, which leave nothing to
// undo.
void BM_ImportFlatOutliner2(benchmark::State &state, int items, bool underHeading)
{
    const QByteArray data = flatOutliner2(items, underHeading);
    measureImport(state, items, [&](std::unique_ptr<TWDocument> &document, TWMap &map) {
        OneDocumentHost host(*document->mapsDocument());
        TWOmniOutlineImporter importer;
        importer.setHost(&host);
        UndoManager *undo = document->undoManager();
        undo->disableUndoRegistration();
        const bool read = importer.documentFromData(data, false, QStringLiteral("Flat"));
        undo->enableUndoRegistration();
        if (!read)
            return -1;
        const TWMapBranch &parent = underHeading && !map.root()->children().isEmpty()
                                        ? *map.root()->children().first()
                                        : *map.root();
        return int(parent.children().size());
    });
}

// A copied branch of `items` children pasted under the central branch of a
// new map, as Edit > Paste does it, in one undo group.
void BM_PasteBranch(benchmark::State &state, int items)
{
    QString xml;
    {
        std::unique_ptr<TWDocument> source = newDocument();
        TWMap &map = *source->mapsDocument()->currentMap();
        if (!TWOPMLImportExport().importData(
                "<?xml version=\"1.0\"?><opml version=\"2.0\"><head/><body><outline "
                "text=\"Heading\">" +
                    [&] {
                        QByteArray outlines;
                        for (int i = 0; i < items; ++i)
                            outlines += "<outline text=\"Item " + QByteArray::number(i) + "\"/>";
                        return outlines;
                    }() +
                    "</outline></body></opml>",
                QStringLiteral("Copied"), map) ||
            map.root()->children().isEmpty())
            qFatal("cannot make the copied branch");
        xml = TWClipboardXML::xmlCopy(*map.root()->children().first());
        source.reset();
        NotificationQueue::defaultQueue().flush();
    }
    double seconds = 0;
    qint64 peak = 0;
    for (auto _ : state) {
        std::unique_ptr<TWDocument> document = newDocument();
        TWMap &map = *document->mapsDocument()->currentMap();
        const PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        const std::shared_ptr<TWMapBranch> pasted = TWClipboardXML::pasteBranchFromXml(map, xml);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, memory.rise());
        if (!pasted || pasted->children().size() != items) {
            state.SkipWithError("the paste did not make every branch");
            break;
        }
        state.PauseTiming();
        document.reset();
        NotificationQueue::defaultQueue().flush();
        state.ResumeTiming();
    }
    report(state, items, seconds, peak);
}

// The flat outline imported and saved as a document, then opened: loading
// a parent's thousands of children.
QString flatDocument(int items)
{
    const QString path = folder->filePath(QStringLiteral("flat-%1.tweb").arg(items));
    if (QFile::exists(path))
        return path;
    std::unique_ptr<TWDocument> document = newDocument();
    if (!TWOPMLImportExport().importFile(flatOPML(items),
                                         *document->mapsDocument()->currentMap()) ||
        document->writeToFile(path) != TWFileIO::SaveSucceeded)
        qFatal("cannot make the flat document");
    return path;
}

void BM_OpenFlat(benchmark::State &state, int items)
{
    const BenchDocuments::Opens opens =
        BenchDocuments::timeOpens(state, flatDocument(items), [&](TWDocument &document) {
            return document.mapsDocument()->currentMap()->root()->children().size() == items;
        });
    report(state, items, opens.seconds, opens.rise);
}

// A map of a central branch and a hundred main branches joined by `lines`
// link lines, saved as a document.
QString linkLinesDocument(int lines)
{
    const QString path = folder->filePath(QStringLiteral("links-%1.tweb").arg(lines));
    if (QFile::exists(path))
        return path;
    std::unique_ptr<TWDocument> document = newDocument();
    TWMap &map = *document->mapsDocument()->currentMap();
    document->undoManager()->disableUndoRegistration();
    QList<std::shared_ptr<TWGraphic>> ends;
    for (int i = 0; i < 100; ++i) {
        const std::shared_ptr<TWMapBranch> branch = map.root()->addChildOfType(-1);
        branch->enclosedTextArea()->setString(QStringLiteral("Branch %1").arg(i));
        branch->makeNaturalSize();
        ends << branch->mainGraphic();
    }
    TWMapLayout::autoArrange(map);
    for (int i = 0; i < lines; ++i) {
        auto line = TWGraphic::make<TWLinkLine>();
        line->connect(ends.at(i % 100), ends.at((i * 37 + 11) % 100));
        line->calculateDefaultIntermediatePoints();
        map.insertObjectInLinkLinesAtIndex(line, map.countOfLinkLines());
    }
    map.setShowLinkLines(true);
    document->undoManager()->enableUndoRegistration();
    if (document->writeToFile(path) != TWFileIO::SaveSucceeded)
        qFatal("cannot save the link lines");
    return path;
}

void BM_OpenLinkLines(benchmark::State &state, int lines)
{
    const QString path = linkLinesDocument(lines);
    const BenchDocuments::Opens opens =
        BenchDocuments::timeOpens(state, path, [&](TWDocument &document) {
            return document.mapsDocument()->currentMap()->countOfLinkLines() == lines;
        });
    report(state, lines, opens.seconds, opens.peak);
    state.counters["file_KB"] = double(QFileInfo(path).size()) / 1024;
}

void BM_SaveLinkLines(benchmark::State &state, int lines)
{
    std::unique_ptr<TWDocument> document = BenchDocuments::opened(linkLinesDocument(lines));
    if (!document) {
        state.SkipWithError("the document did not open");
        return;
    }
    TWMap &map = *document->mapsDocument()->currentMap();
    const QString target = folder->filePath(QStringLiteral("saved-links.tweb"));
    double seconds = 0;
    qint64 peak = 0;
    int edits = 0;
    for (auto _ : state) {
        const PeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        // Changed, so that the preview is drawn again, link lines and all.
        map.root()->enclosedTextArea()->setString(QStringLiteral("Edited %1").arg(++edits));
        if (document->writeToFile(target) != TWFileIO::SaveSucceeded)
            state.SkipWithError("the save failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        peak = std::max(peak, memory.rise());
        state.PauseTiming();
        NotificationQueue::defaultQueue().flush();
        state.ResumeTiming();
    }
    report(state, lines, seconds, peak);
}

void BM_DrawLinkLines(benchmark::State &state, int lines)
{
    std::unique_ptr<TWDocument> document = BenchDocuments::opened(linkLinesDocument(lines));
    if (!document) {
        state.SkipWithError("the document did not open");
        return;
    }
    TWMap &map = *document->mapsDocument()->currentMap();
    const Rect extent = map.getBoundingDrawingRectForAllGraphics();
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QImage image = TWMapImages::imageOfMap(map, extent, 0.5, true);
        benchmark::DoNotOptimize(image.bits());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    report(state, lines, seconds, 0);
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
    for (const int n : {1000, 10000, 100000}) {
        const QByteArray suffix = "/" + QByteArray::number(n);
        for (const auto &[name, function] :
             {std::pair{"BM_ImportFlatOPML", &BM_ImportFlatOPML},
              {"BM_ImportFlatOutliner", &BM_ImportFlatOutliner},
              {"BM_ImportFlatMindManager", &BM_ImportFlatMindManager},
              {"BM_OpenFlat", &BM_OpenFlat}})
            benchmark::RegisterBenchmark(name + suffix, function, n)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(n > 10000 ? 1 : 3);
    }
    for (const int n : {1000, 10000, 100000}) {
        const QByteArray suffix = "/" + QByteArray::number(n);
        benchmark::RegisterBenchmark("BM_ImportFlatOutliner2" + suffix, &BM_ImportFlatOutliner2,
                                     n, false)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(n > 10000 ? 1 : 3);
    }
    // Under a heading, the default layout assistance moves every earlier
    // sibling for each new one, as placing them one by one does.
    for (const int n : {1000, 10000, 100000})
        benchmark::RegisterBenchmark("BM_ImportOutliner2UnderHeading/" + QByteArray::number(n),
                                     &BM_ImportFlatOutliner2, n, true)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    // A copy of 10,000 branches is more XML than a paste takes (about 7.5 KB
    // a branch): 1,000 to 8,000.
    for (const int n : {1000, 2000, 4000, 8000})
        benchmark::RegisterBenchmark("BM_PasteBranch/" + QByteArray::number(n), &BM_PasteBranch, n)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
    for (const int n : {1000, 10000, 100000}) {
        const QByteArray suffix = "/" + QByteArray::number(n);
        for (const auto &[name, function] : {std::pair{"BM_OpenLinkLines", &BM_OpenLinkLines},
                                             {"BM_SaveLinkLines", &BM_SaveLinkLines},
                                             {"BM_DrawLinkLines", &BM_DrawLinkLines}})
            benchmark::RegisterBenchmark(name + suffix, function, n)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(n > 10000 ? 1 : 3);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete folder;
    return 0;
}
