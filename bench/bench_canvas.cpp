// Redrawing a full 1280 x 800 canvas at 100 % over a map of 10,000 branches:
// around the root, where branches are spread out, and in the corner where
// they are packed most densely; and what marking and culling cost.
#include "BenchMain.h"
#include "CanvasBenchSupport.h"
#include "canvas/TWCanvasHost.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"

#include <QApplication>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <benchmark/benchmark.h>

#include <map>

namespace {

using CanvasBench::application;
using CanvasBench::Host;

// Up to sixteen first-level branches, one in each region of a 4 x 4 grid,
// each with eight branches under it that carry 77 leaves apiece in close
// rows: 10,001 branches in all with sixteen, densest among the leaves.
constexpr float RegionWidth = 2400, RegionHeight = 1225;

void grow(TWMap &map, const std::shared_ptr<TWMapBranch> &root, int regions)
{
    auto add = [&](const std::shared_ptr<TWMapBranch> &parent, Rect r, int n) {
        auto branch =
            TWMapBranch::createWithGraphic(TWGraphic::make<TWRectangle>(r), parent.get(), &map);
        branch->enclosedTextArea()->setString(QStringLiteral("Branch %1").arg(n));
        return branch;
    };
    int n = 0;
    for (int k = 0; k < regions; ++k) {
        const float rx = float(k % 4) * RegionWidth, ry = float(k / 4) * RegionHeight;
        const auto first = add(root, Rect(rx + 50, ry + 580, 100, 40), n++);
        for (int j = 0; j < 8; ++j) {
            const float sy = ry + 20 + float(j) * 150;
            const auto second = add(first, Rect(rx + 250, sy + 60, 90, 30), n++);
            for (int l = 0; l < 77; ++l)
                add(second, Rect(rx + 450 + float(l % 6) * 95, sy + float(l / 6) * 11, 80, 30),
                    n++);
        }
    }
}

struct Fixture
{
    explicit Fixture(int regions = 16)
    {
        application();
        document = TWMapsDoc::create();
        map = TWMap::create(document.get());
        document->addMap(map, true);
        map->setCanvasSize(Size(9600, 4900));
        map->setZoomAmount(100);
        map->branchDisplaySettingsForUpdate().branchHideLevel = 99;
        auto root = TWMapBranch::createWithGraphic(
            TWGraphic::make<TWRectangle>(Rect(4700, 2400, 120, 40)), nullptr, map.get());
        map->setRoot(root);
        grow(*map, root, regions);
        host = std::make_unique<Host>(document);
        view = std::make_unique<TWGraphicView>();
        view->setDocument(host.get());
        view->resize(1280, 800);
        image = QImage(1280, 800, QImage::Format_ARGB32_Premultiplied);
    }
    ~Fixture()
    {
        view.reset();
        document->detach();
    }
    void draw(Rect area)
    {
        QPainter painter(&image);
        view->renderArea(painter, area);
    }

    std::shared_ptr<TWMapsDoc> document;
    std::shared_ptr<TWMap> map;
    std::unique_ptr<Host> host;
    std::unique_ptr<TWGraphicView> view;
    QImage image;
};

Fixture &fixture(int regions = 16)
{
    static auto &made = *new std::map<int, std::unique_ptr<Fixture>>;
    std::unique_ptr<Fixture> &f = made[regions];
    if (!f)
        f = std::make_unique<Fixture>(regions);
    return *f;
}

void redraw(benchmark::State &state, Rect area)
{
    Fixture &f = fixture();
    f.draw(area); // lays the texts out once, as the first sight of them does
    for (auto _ : state)
        f.draw(area);
    int shown = 0;
    for (const auto &graphic : f.map->graphics())
        shown += graphic->drawingBounds().intersects(area) ? 1 : 0;
    state.counters["graphics"] = double(f.map->graphics().size());
    state.counters["drawn"] = shown;
}

void BM_RedrawCanvasAtRoot(benchmark::State &state)
{
    redraw(state, Rect(4760 - 640, 2420 - 400, 1280, 800));
}
BENCHMARK(BM_RedrawCanvasAtRoot)->Unit(benchmark::kMillisecond);

void BM_RedrawCanvasAtDenseCorner(benchmark::State &state)
{
    redraw(state, Rect(0, 0, 1280, 800));
}
BENCHMARK(BM_RedrawCanvasAtDenseCorner)->Unit(benchmark::kMillisecond);

// The culling alone: every graphic's drawing bounds against the area.
void BM_CullMap(benchmark::State &state)
{
    Fixture &f = fixture();
    const Rect area(0, 0, 1280, 800);
    for (auto _ : state) {
        int shown = 0;
        for (const auto &graphic : f.map->graphics())
            shown += graphic->drawingBounds().intersects(area) ? 1 : 0;
        benchmark::DoNotOptimize(shown);
    }
}
BENCHMARK(BM_CullMap)->Unit(benchmark::kMillisecond);

// What the canvas does before any drawing, on a map of one region (626
// branches) and of sixteen (10,001): the same time for both, as none of it
// walks the map. Marking a rectangle for redrawing:
void BM_MarkRectangle(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    float x = 0;
    for (auto _ : state) {
        f.view->setNeedsDisplayInRect(Rect(x, 10, 50, 20));
        x = x > 9000 ? 0 : x + 7;
    }
    state.counters["branches"] = double(f.map->allBranches().size());
}
BENCHMARK(BM_MarkRectangle)->Arg(1)->Arg(16);

// Scrolling by a wheel step, until the canvas has painted what came into
// view: the canvas is shown, and the event loop runs after each step.
void BM_ScrollByWheel(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    f.view->show();
    QCoreApplication::processEvents();
    struct Paints : QObject
    {
        int count = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            count += event->type() == QEvent::Paint;
            return false;
        }
    } paints;
    f.view->viewport()->installEventFilter(&paints);
    int direction = -120;
    int unpainted = 0;
    for (auto _ : state) {
        const int before = paints.count;
        QWheelEvent wheel(QPointF(640, 400), QPointF(640, 400), QPoint(), QPoint(0, direction),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(f.view->viewport(), &wheel);
        for (int pass = 0; pass < 100 && paints.count == before; ++pass)
            QCoreApplication::processEvents();
        unpainted += paints.count == before;
        if (f.view->verticalScrollBar()->value() >= f.view->verticalScrollBar()->maximum())
            direction = 120;
        else if (f.view->verticalScrollBar()->value() <= 0)
            direction = -120;
    }
    f.view->viewport()->removeEventFilter(&paints);
    f.view->hide();
    if (unpainted > 0)
        state.SkipWithError("a step was not painted");
}
BENCHMARK(BM_ScrollByWheel)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

// Zooming by a Command-wheel step, in and out.
void BM_ZoomByWheel(benchmark::State &state)
{
    Fixture &f = fixture(int(state.range(0)));
    int direction = 120;
    for (auto _ : state) {
        QWheelEvent wheel(QPointF(640, 400), QPointF(640, 400), QPoint(), QPoint(0, direction),
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(f.view->viewport(), &wheel);
        direction = -direction;
    }
    f.map->setZoomAmount(100);
    f.view->mapGeometryDidChange();
}
BENCHMARK(BM_ZoomByWheel)->Arg(1)->Arg(16);

} // namespace

THINKWEB_BENCHMARK_MAIN();
