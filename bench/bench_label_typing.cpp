// Typing into a label on the canvas, per keystroke: the live resize of the
// label with a commit to the model and the layout of what changed (as typing
// runs while commits stay fast), and with the commit deferred (as it runs
// once they are slow), in maps of 100 to 10,000 branches.
#include "BenchMain.h"
#include "CanvasBenchSupport.h"
#include "GeneratedMap.h"
#include "canvas/SpellableTextView.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "model/TWMapsDoc.h"
#include "platform/UndoManager.h"

#include <QApplication>
#include <QTextCursor>
#include <benchmark/benchmark.h>

namespace {

using CanvasBench::application;
using CanvasBench::Host;

void typeIntoLabel(benchmark::State &state, bool deferred)
{
    application();
    auto undo = std::make_shared<UndoManager>();
    auto document = TWMapsDoc::create();
    document->setUndoManager(undo);
    auto map = TWMap::create(document.get());
    document->addMap(map, true);
    map->setRoot(TWMapBranch::createWithGraphic(TWGraphic::make<TWRectangle>(Rect(0, 0, 80, 30)),
                                                nullptr, map.get()));
    GeneratedMap::fill(*map, int(state.range(0)));
    map->setCanvasSize(Size(12000, 12000));
    Host host(document);
    auto view = std::make_unique<TWGraphicView>();
    view->setDocument(&host);
    view->resize(1280, 800);

    // A first-level branch: it has children, as a user's busy branch has.
    const std::shared_ptr<TWMapBranch> branch = map->root()->children().front();
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(branch->enclosedTextArea(), 0);
    view->startEditingSelectedBranch();
    SpellableTextView *editor = view->editorView();
    editor->moveCursor(QTextCursor::End);
    // What building the map queued runs first, as it would before anyone types.
    QCoreApplication::processEvents();
    undo->closeEventGroup();

    for (auto _ : state) {
        // One key typed, one taken back: the text stays the same length.
        view->setRedrawTime(deferred ? 0.1 : 0);
        editor->textCursor().insertText(QStringLiteral("x"));
        view->setRedrawTime(deferred ? 0.1 : 0);
        editor->textCursor().deletePreviousChar();
        undo->closeEventGroup();
        // Between keystrokes the event loop runs.
        state.PauseTiming();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 2);
    state.counters["branches"] = double(map->allBranches().size());
    view->endEditingTextArea();
    view.reset();
    document->detach();
}

void BM_KeystrokeCommittedAtOnce(benchmark::State &state)
{
    typeIntoLabel(state, false);
}
BENCHMARK(BM_KeystrokeCommittedAtOnce)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);

void BM_KeystrokeCommitDeferred(benchmark::State &state)
{
    typeIntoLabel(state, true);
}
BENCHMARK(BM_KeystrokeCommitDeferred)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMicrosecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
