// The palettes beside the map on a generated document of 10,000 branches:
// re-choosing a window's dock after the selection changed, and the
// navigator redrawing from its kept thumbnail (and, for comparison, making
// the thumbnail anew); and the suggestion palette's words of a whole map.
#include "BenchMain.h"
#include "BranchDocumentGenerator.h"
#include "GeneratedMap.h"
#include "application/TWDocument.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWBranchSuggestionPaletteController.h"
#include "palettes/TWDockedPalettesController.h"
#include "palettes/TWNavigatorView.h"

#include "palettes/TWPaletteBezelContainerView.h"
#include "platform/NotificationQueue.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"
#include <QElapsedTimer>
#include <algorithm>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>

namespace {

QApplication &application()
{
    static int argc = 1;
    static char name[] = "bench_palettes";
    static char *argv[] = {name, nullptr};
    // Never freed: Qt's caches must not be torn down after the documents.
    static QApplication *app = new QApplication(argc, argv);
    return *app;
}

QTemporaryDir &folder()
{
    static QTemporaryDir *dir = new QTemporaryDir;
    return *dir;
}

void defaults()
{
    static UserDefaults *d = [] {
        auto *made = new UserDefaults(folder().filePath("defaults.ini"));
        new UserDefaults::Scope(made);
        TWPreferences::registerDefaults();
        return made;
    }();
    (void)d;
}

// A laid-out document of `branches` in its window, made once.
TWDocument *openDocument(int branches)
{
    static std::map<int, TWDocument *> opened;
    if (opened.count(branches))
        return opened[branches];
    application();
    defaults();
    const QString path = folder().filePath(QStringLiteral("generated-%1.tweb").arg(branches));
    auto made = BranchDocument::makeDocument(branches);
    made->currentMap()->setLayoutServices(std::make_shared<TWMapLayout>());
    TWMapLayout::autoArrange(*made->currentMap());
    if (made->saveToFile(path) != TWFileIO::SaveSucceeded)
        return nullptr;
    made->detach();
    auto *document = new TWDocument; // kept for the run
    if (!document->readFromFile(path))
        return nullptr;
    document->makeWindowControllers();
    NotificationQueue::defaultQueue().flush();
    return opened[branches] = document;
}

// A click on a branch, then on the empty canvas: each re-chooses the dock.
void BM_DockAfterSelectionChange(benchmark::State &state)
{
    TWDocument *document = openDocument(int(state.range(0)));
    if (!document) {
        state.SkipWithError("the generated document did not open");
        return;
    }
    TWMap &map = *document->mapsDocument()->currentMap();
    const auto branch = map.allBranches().at(map.allBranches().size() / 2);
    TWDockedPalettesController *dock = document->dockedPalettesController();
    const int widgetsBefore = int(QApplication::allWidgets().size());
    bool selected = false;
    qsizetype shown[2] = {0, 0};
    for (auto _ : state) {
        if (selected)
            map.removeAllSelectedGraphics();
        else
            map.publicAddGraphicToSelection(branch->mainGraphic());
        selected = !selected;
        dock->selectionChanged();
        shown[selected] = document->paletteDock()->bezels().size();
    }
    NotificationQueue::defaultQueue().flush();
    state.counters["widgets_made"] = double(QApplication::allWidgets().size() - widgetsBefore);
    // The two docks differ, so each pass really re-chose.
    state.counters["map_palettes"] = double(shown[0]);
    state.counters["branch_palettes"] = double(shown[1]);
}
BENCHMARK(BM_DockAfterSelectionChange)->Arg(10000)->Unit(benchmark::kMillisecond);

void navigatorRun(benchmark::State &state, bool fresh)
{
    TWDocument *document = openDocument(int(state.range(0)));
    if (!document) {
        state.SkipWithError("the generated document did not open");
        return;
    }
    TWNavigatorView view;
    view.resize(260, 180);
    view.setDocument(document);
    view.layoutThumbnail();
    if (view.thumbnail().isNull()) {
        state.SkipWithError("the navigator made no thumbnail");
        return;
    }
    QImage target(view.size(), QImage::Format_ARGB32_Premultiplied);
    view.render(&target);
    for (auto _ : state) {
        if (fresh) {
            // The whole picture, as the bands of the event loop make it.
            view.updateDisplay();
            benchmark::DoNotOptimize(view.thumbnail().constBits());
        }
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BM_NavigatorRedrawFromThumbnail(benchmark::State &state)
{
    navigatorRun(state, false);
}
BENCHMARK(BM_NavigatorRedrawFromThumbnail)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_NavigatorNewThumbnail(benchmark::State &state)
{
    navigatorRun(state, true);
}
BENCHMARK(BM_NavigatorNewThumbnail)->Arg(10000)->Unit(benchmark::kMillisecond);

// The navigator's part of the window's first paint on a newly shown map: a
// slice of the thumbnail, the event loop drawing the rest. Reports how many
// passes of the loop the rest takes and the longest of them.
void BM_NavigatorFirstPaint(benchmark::State &state)
{
    TWDocument *document = openDocument(int(state.range(0)));
    if (!document) {
        state.SkipWithError("the generated document did not open");
        return;
    }
    TWNavigatorView view;
    view.resize(260, 180);
    QImage target(view.size(), QImage::Format_ARGB32_Premultiplied);
    double passes = 0;
    double longest = 0;
    for (auto _ : state) {
        view.setDocument(document);
        view.render(&target);
        benchmark::DoNotOptimize(target.constBits());
        state.PauseTiming();
        passes = 0;
        while (view.building()) {
            QElapsedTimer pass;
            pass.start();
            view.buildFor(TWNavigatorView::BuildSliceMilliseconds);
            longest = std::max(longest, double(pass.nsecsElapsed()) / 1e6);
            ++passes;
        }
        if (!view.hasThumbnail())
            state.SkipWithError("the navigator made no thumbnail");
        view.setDocument(nullptr);
        state.ResumeTiming();
    }
    state.counters["passes_after"] = passes;
    state.counters["longest_pass_ms"] = longest;
}
BENCHMARK(BM_NavigatorFirstPaint)->Arg(10000)->Unit(benchmark::kMillisecond);

// A word of the generated vocabulary: its number in base 26.
QString wordNumbered(int n)
{
    QString word;
    do {
        word += QChar(u'a' + n % 26);
        n /= 26;
    } while (n);
    return word;
}

// The words the suggestion palette leaves out for a child of the central
// branch: those of the whole map, gathered after an edit there. Each label
// has three words from a vocabulary of 20,000, as a large map's do.
void BM_SuggestionWordsOfWholeMap(benchmark::State &state)
{
    application();
    const int count = int(state.range(0));
    auto document = TWMapsDoc::create();
    auto undo = std::make_shared<UndoManager>();
    undo->disableUndoRegistration();
    document->setUndoManager(undo);
    auto map = TWMap::create(document.get());
    document->addMap(map, true);
    std::vector<TWMapBranch *> made{map->root().get()};
    for (int i = 1; i < count; ++i) {
        const Rect bounds(float(i % 100) * 90, float(i / 100) * 40, 80, 30);
        auto branch = TWMapBranch::createWithGraphic(GeneratedMap::shapeFor(i, bounds),
                                                     made[size_t((i - 1) / 8)], map.get());
        branch->enclosedTextArea()->setString(
            wordNumbered(i * 7 % 20000) + u' ' + wordNumbered(i * 13 % 20000) + u'-' +
            wordNumbered(i % 5000) + QStringLiteral(", ") + wordNumbered(i % 20000));
        made.push_back(branch.get());
    }
    const TWMapBranch &child = *map->root()->children().first();
    qsizetype words = 0;
    for (auto _ : state)
        words = TWBranchSuggestionPaletteController::contextWords(child).size();
    state.counters["distinct_words"] = double(words);
}
BENCHMARK(BM_SuggestionWordsOfWholeMap)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
