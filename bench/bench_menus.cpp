// Opening the document window's menus and pressing a shortcut, with every
// branch of a generated map selected: each item is validated first, and the
// document's rules scan the selection.
#include "BenchMain.h"
#include "BranchDocumentGenerator.h"
#include "application/DocumentController.h"
#include "application/TWDocument.h"
#include "application/TWDocumentWindow.h"
#include "application/TWMenuDispatcher.h"
#include "canvas/TWGraphicView.h"
#include "platform/NotificationQueue.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void setUp()
{
    static int argc = 1;
    static char name[] = "bench_menus";
    static char *argv[] = {name, nullptr};
    static bool done = false;
    if (done)
        return;
    done = true;
    // Never freed: Qt's caches must not be torn down after the documents.
    new QApplication(argc, argv);
    auto *dir = new QTemporaryDir;
    auto *defaults = new UserDefaults(dir->filePath("defaults.ini"));
    new UserDefaults::Scope(defaults);
    TWPreferences::registerDefaults();
}

struct Window
{
    TWDocumentController documents;
    TWDocument *document = nullptr;

    explicit Window(int branches)
    {
        documents.setShowsWindows(false);
        auto made = TWDocument::makeUntitled();
        made->setMapsDocument(BranchDocument::makeDocument(branches));
        document = documents.addUntitledDocument(std::move(made), false);
        TWMap &map = *document->mapsDocument()->currentMap();
        map.removeAllSelectedGraphics();
        for (const auto &branch : map.allBranches())
            if (branch->enclosedTextArea())
                map.insertObjectInSelectedGraphicsAtIndex(branch->enclosedTextArea(), 0);
        NotificationQueue::defaultQueue().flush();
    }
};

void BM_OpenEveryMenu(benchmark::State &state)
{
    setUp();
    Window window(int(state.range(0)));
    const QList<QMenu *> menus =
        window.document->documentWindow()->menuBar()->findChildren<QMenu *>();
    for (auto _ : state)
        for (QMenu *menu : menus)
            emit menu->aboutToShow();
    state.counters["menus"] = double(menus.size());
}
BENCHMARK(BM_OpenEveryMenu)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ShortcutValidation(benchmark::State &state)
{
    setUp();
    Window window(int(state.range(0)));
    QWidget *canvas = window.document->graphicView();
    for (auto _ : state) {
        QKeyEvent key(QEvent::ShortcutOverride, Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
        QApplication::sendEvent(canvas, &key);
    }
}
BENCHMARK(BM_ShortcutValidation)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
