// Dragging a first-level branch, with its whole subtree, across the
// generated 10,000-branch map: each step moves the subtree, marks what it
// left and what it covers now, and repaints that.
#include "BenchMain.h"
#include "CanvasBenchSupport.h"
#include "GeneratedMap.h"

#include "canvas/TWBranchDragTrackers.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <limits>

namespace {

using CanvasBench::application;
using CanvasBench::Host;

void send(TWGraphicView &view, QEvent::Type type, QPointF at)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, at, button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(view.viewport(), &event);
}

void BM_DragFirstLevelBranch(benchmark::State &state)
{
    application();
    auto document = TWMapsDoc::create();
    auto map = TWMap::create(document.get());
    document->addMap(map, true);
    GeneratedMap::fill(*map, int(state.range(0)));
    const Rect all = map->getBoundingDrawingRectForAllGraphics();
    map->setCanvasSize(Size(all.maxX() + 400, all.maxY() + 400));
    map->setZoomAmount(100);
    map->setLayoutAssistanceMode(1);
    Host host(document);
    auto view = std::make_unique<TWGraphicView>();
    view->setDocument(&host);
    view->setGraphicDrags(std::make_shared<TWCanvasGraphicDrags>());
    view->resize(1280, 800);
    view->show();
    // Painting needs an exposed window; the first expose comes through the event loop.
    while (!view->windowHandle() || !view->windowHandle()->isExposed())
        QCoreApplication::processEvents();

    // range(1): the depth of the dragged branch, first children all the way
    // (the generator's first first-level branch carries about 5,500
    // descendants, its first second-level one about 1,300); range(3), when
    // given: instead the first-level branch with the fewest descendants of at
    // least that many (about 1,400 for 1,000).
    const auto descendantsOf = [](TWMapBranch &b) {
        TWMapBranch::BranchList all;
        b.allDescendantsIntoArray(all, true);
        return all;
    };
    std::shared_ptr<TWMapBranch> branch = map->root()->children().first();
    for (int depth = 1; depth < state.range(1); ++depth)
        branch = branch->children().first();
    if (state.range(3) > 0) {
        qsizetype fewest = std::numeric_limits<qsizetype>::max();
        for (const std::shared_ptr<TWMapBranch> &b : map->root()->children()) {
            const qsizetype count = descendantsOf(*b).size();
            if (count >= state.range(3) && count < fewest) {
                fewest = count;
                branch = b;
            }
        }
    }
    const TWMapBranch::BranchList descendants = descendantsOf(*branch);
    const Rect shape = branch->mainGraphic()->bounds();
    view->scrollRectToVisible(shape);
    const QRectF at = view->viewportRectFromMap(shape);
    const QPointF start = at.center();
    double marked = 0;
    QObject::connect(view.get(), &TWGraphicView::displayMarked,
                     [&marked](Rect r) { marked += double(r.width()) * r.height(); });
    send(*view, QEvent::MouseButtonPress, start);
    int step = 0;
    for (auto _ : state) {
        // Back and forth along a 200-point run, 4 points a step.
        const int phase = step % 100;
        const qreal dx = (phase < 50 ? phase : 100 - phase) * 4.0;
        send(*view, QEvent::MouseMove, start + QPointF(dx + 3, dx / 2 + 3));
        // range(2) 1: what the event loop does before the next move, the
        // pending layout pass included; 0: the step and its repaint only.
        if (state.range(2))
            QCoreApplication::processEvents();
        view->displayIfNeeded();
        ++step;
    }
    send(*view, QEvent::MouseButtonRelease, start);
    state.counters["descendants"] = double(descendants.size());
    state.counters["marked_pt2_per_step"] = step ? marked / step : 0;
    state.counters["subtree_pt2"] =
        double(branch->branchBounds().width()) * branch->branchBounds().height();
    view->setDocument(nullptr);
    view.reset();
    document->detach();
}
BENCHMARK(BM_DragFirstLevelBranch)
    ->Args({10000, 1, 0, 0})
    ->Args({10000, 1, 1, 0})
    ->Args({10000, 1, 0, 1000})
    ->Args({10000, 1, 1, 1000})
    ->Args({10000, 2, 0, 0})
    ->Args({10000, 2, 1, 0})
    ->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
