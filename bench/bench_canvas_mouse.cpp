// The mouse on a canvas over generated maps of 1,000 and 10,000 branches:
// a rubber band dragged across a screenful of branches, a click that
// selects a branch, and the pointer highlight of the add-child tool.
#include "BenchMain.h"
#include "CanvasBenchSupport.h"
#include "GeneratedMap.h"

#include "canvas/TWGraphicView.h"
#include "model/TWMapsDoc.h"

#include <QApplication>
#include <QMouseEvent>
#include <benchmark/benchmark.h>

namespace {

struct Canvas : CanvasBench::GeneratedCanvas
{
    using GeneratedCanvas::GeneratedCanvas;
    void send(QEvent::Type type, QPointF at, Qt::MouseButtons held)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, at, button, held, Qt::NoModifier);
        GeneratedCanvas::send(event);
    }
};

Canvas &canvas(int branches)
{
    return CanvasBench::canvasOfSize<Canvas>(branches);
}

// One move of a rubber band held down from an empty corner; the band
// sweeps back and forth over about 60 branches.
void BM_RubberBandMove(benchmark::State &state)
{
    Canvas &c = canvas(int(state.range(0)));
    c.map->removeAllSelectedGraphics();
    c.send(QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton);
    int step = 0;
    for (auto _ : state) {
        const qreal x = 300 + (step % 60) * 5;
        c.send(QEvent::MouseMove, QPointF(x, x * 0.6), Qt::LeftButton);
        ++step;
    }
    state.counters["touched"] = double(c.map->rubberbandGraphics().size());
    c.send(QEvent::MouseButtonRelease, QPointF(5, 5), Qt::NoButton);
    c.map->removeAllSelectedGraphics();
}
BENCHMARK(BM_RubberBandMove)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// A click that selects a branch's label.
void BM_ClickSelectsBranch(benchmark::State &state)
{
    Canvas &c = canvas(int(state.range(0)));
    const Rect cell = GeneratedMap::cellRect(5, 32);
    const QPointF at(cell.midX(), cell.midY());
    for (auto _ : state) {
        c.send(QEvent::MouseButtonPress, at, Qt::LeftButton);
        c.send(QEvent::MouseButtonRelease, at, Qt::NoButton);
    }
    state.counters["selected"] = c.map->countOfSelectedGraphics();
}
BENCHMARK(BM_ClickSelectsBranch)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The add-child tool follows the pointer across branches and gaps.
void BM_PointerHighlight(benchmark::State &state)
{
    Canvas &c = canvas(int(state.range(0)));
    c.view->setDrawingMode(TWGraphicView::AddChildMode);
    c.view->lockDrawingMode();
    int step = 0;
    for (auto _ : state) {
        c.send(QEvent::MouseMove, QPointF(10 + (step % 100) * 9, 25), Qt::NoButton);
        ++step;
    }
    c.view->setDrawingMode(TWGraphicView::SelectMode);
}
BENCHMARK(BM_PointerHighlight)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
