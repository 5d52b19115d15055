// Printing generated maps as a user does: the Deluxe route lays the pages
// out and prints every page with its border into a PDF; the Compact route
// draws the map's picture and its tiled preview.
#include "BenchMain.h"
#include "GeneratedMap.h"
#include "mapdrawing/TWCPrintController.h"
#include "mapdrawing/TWPrintCanvasController.h"
#include "mapdrawing/TWPrintDocument.h"
#include "mapdrawing/TWPrintView.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"
#include "support/Font.h"

#include <QApplication>
#include <QBuffer>
#include <QPdfWriter>
#include <benchmark/benchmark.h>

#include <map>

namespace {

void application()
{
    static int argc = 1;
    static char name[] = "bench_printing";
    static char *argv[] = {name, nullptr};
    // Never destroyed: the documents below outlive main().
    static QApplication *app = new QApplication(argc, argv);
    (void)app;
}

class Document : public TWPrintDocument
{
public:
    TWMapsDoc *doc = nullptr;
    TWMapsDoc *mapsDocument() const override { return doc; }
};

struct Built
{
    std::shared_ptr<UndoManager> undo = std::make_shared<UndoManager>();
    std::shared_ptr<TWMapsDoc> document;
    std::shared_ptr<TWMap> map;
    Document printDocument;
};

Built &generated(int count)
{
    static auto &built = *new std::map<int, Built>;
    auto it = built.find(count);
    if (it == built.end()) {
        Built &b = built[count];
        b.undo->disableUndoRegistration();
        b.document = TWMapsDoc::create();
        b.document->setUndoManager(b.undo);
        b.document->setShowPageFrames(true);
        b.map = TWMap::create(b.document.get());
        b.document->addMap(b.map, true);
        GeneratedMap::fill(*b.map, count);
        OrderedDictionary setup = b.map->printSetupDictionary();
        setup.setValue("NSPaperName", "A4");
        setup.setValue("printFrame", true);
        setup.setValue("printCropMarks", true);
        setup.setValue("topMargin", 30);
        setup.setValue("headerAttributedString",
                       QVariant::fromValue(AttributedString(
                           "%title%: page %page% of %pagecount%, %dd% %M% %yyyy%",
                           {{NSFontAttributeName, QVariant::fromValue(Font("Helvetica", 12))}})));
        b.map->setPrintSetupDictionary(setup);
        b.printDocument.doc = b.document.get();
        return b;
    }
    return it->second;
}

void BM_PrintMapToPDF(benchmark::State &state)
{
    application();
    Built &b = generated(int(state.range(0)));
    TWPrintCanvasController controller(&b.printDocument);
    TWPrintView view(&controller);
    view.setFollowsUpdateNotifications(false);
    view.updatePrintCanvas();
    qint64 bytes = 0;
    for (auto _ : state) {
        QByteArray pdf;
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        if (!view.print(writer, {}))
            state.SkipWithError("printing failed");
        bytes = pdf.size();
    }
    state.counters["pages"] = controller.numberOfPages();
    state.counters["pdfBytes"] = double(bytes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_CompactSheetUpdate(benchmark::State &state)
{
    application();
    Built &b = generated(int(state.range(0)));
    TWCPrintController controller;
    controller.printMap(b.map, nullptr);
    for (auto _ : state) {
        // What a change of pages, background or position costs.
        controller.update();
        benchmark::DoNotOptimize(controller.previewImage().bits());
    }
    controller.cancel();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_PrintMapToPDF)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompactSheetUpdate)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
THINKWEB_BENCHMARK_MAIN();
