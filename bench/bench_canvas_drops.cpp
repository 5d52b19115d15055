// Drags over a canvas on generated maps of 1,000 and 10,000 branches: the
// answer to every pointer move of a file and of a colour, and an adornment
// following the pointer across branches.
#include "BenchMain.h"
#include "CanvasBenchSupport.h"
#include "GeneratedMap.h"

#include "canvas/TWDragTypes.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWImage.h"
#include "model/TWMapsDoc.h"

#include <QDragMoveEvent>
#include <QMimeData>
#include <QUrl>
#include <benchmark/benchmark.h>

namespace {


struct Canvas : CanvasBench::GeneratedCanvas
{
    using GeneratedCanvas::GeneratedCanvas;
    // Enter once, so that the moves reach the canvas.
    void enter(const QMimeData &data)
    {
        QDragEnterEvent event(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                              Qt::LeftButton, Qt::NoModifier);
        send(event);
    }
    Qt::DropAction move(const QMimeData &data, QPointF at)
    {
        QDragMoveEvent event(at.toPoint(), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                             Qt::LeftButton, Qt::NoModifier);
        send(event);
        return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
    }
    void leave()
    {
        QDragLeaveEvent event;
        send(event);
    }
};

Canvas &canvas(int branches)
{
    return CanvasBench::canvasOfSize<Canvas>(branches);
}

// Moves along a row of branches and the gaps between them.
QPointF along(int step)
{
    return QPointF(10 + (step % 100) * 9, 25);
}

void movesOf(benchmark::State &state, const QMimeData &data)
{
    Canvas &c = canvas(int(state.range(0)));
    c.enter(data);
    int step = 0, taken = 0;
    for (auto _ : state) {
        taken += c.move(data, along(step)) != Qt::IgnoreAction;
        ++step;
    }
    c.leave();
    state.counters["taken"] = benchmark::Counter(taken, benchmark::Counter::kAvgIterations);
}

void BM_FileDragMove(benchmark::State &state)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/notes.txt"))});
    movesOf(state, data);
}
BENCHMARK(BM_FileDragMove)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_ColorDragMove(benchmark::State &state)
{
    QMimeData data;
    data.setColorData(QColor(Qt::red));
    movesOf(state, data);
}
BENCHMARK(BM_ColorDragMove)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// An adornment dragged out of a branch, carried along the row: it leaves
// one branch and joins the next as the pointer goes.
void BM_AdornmentFollowsPointer(benchmark::State &state)
{
    Canvas &c = canvas(int(state.range(0)));
    const Rect cell = GeneratedMap::cellRect(5, 32);
    const std::shared_ptr<TWGraphic> under =
        c.map->graphicUnderPoint(Point(cell.midX(), cell.midY()), nullptr);
    if (!under || !under->branch()) {
        state.SkipWithError("no branch under the cell");
        return;
    }
    auto icon = TWGraphic::make<TWImage>(Rect(cell.x() + 2, cell.y() + 2, 16, 16));
    icon->setBranch(under->branch());
    auto record = std::make_shared<TWEnclosedGraphic>(QStringLiteral("star"),
                                                      QStringLiteral("star.png"), icon);
    under->branch()->publicAddAdornment(record);
    QMimeData data;
    data.setData(TWDragTypes::Adornment, "star.png");
    c.view->setDraggingEnclosedGraphic(record);
    c.enter(data);
    int step = 0;
    for (auto _ : state) {
        c.move(data, along(step));
        ++step;
    }
    c.leave();
    c.view->setDraggingEnclosedGraphic(nullptr);
}
BENCHMARK(BM_AdornmentFollowsPointer)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
