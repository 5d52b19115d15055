// Drawing graphics as a redraw of the canvas does: outlined shapes, and text
// areas replaying their cached layout or laying their text out afresh.
#include "BenchMain.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "render/DrawingContext.h"
#include "support/Font.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

QGuiApplication &application()
{
    static int argc = 1;
    static char name[] = "bench_graphic_drawing";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

Rect cell(int i)
{
    return Rect(float(i % 20) * 50, float(i / 20 % 40) * 25, 46, 22);
}

template <class T> std::vector<std::shared_ptr<T>> graphics(int count)
{
    std::vector<std::shared_ptr<T>> made;
    for (int i = 0; i < count; ++i)
        made.push_back(TWGraphic::make<T>(cell(i)));
    return made;
}

void drawAll(QImage &canvas, const auto &list)
{
    QPainter painter(&canvas);
    DrawingContext context(painter, true);
    for (const auto &g : list)
        g->drawInView(context, nullptr, false, std::nullopt, false);
}

void BM_DrawShapes(benchmark::State &state)
{
    application();
    auto shapes = graphics<TWRectangle>(int(state.range(0)));
    for (int i = 0; i < int(shapes.size()); ++i) {
        shapes[size_t(i)]->setCornerMode(1);
        shapes[size_t(i)]->setStrokeStyle(1 + i % 7);
    }
    QImage canvas = DrawingContext::makeImage(Size(1000, 1000), 1.0, Qt::white);
    for (auto _ : state)
        drawAll(canvas, shapes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DrawShapes)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// Range 1 is 1 when every text is laid out again before each redraw.
void BM_DrawTextAreas(benchmark::State &state)
{
    application();
    auto areas = graphics<TWTextArea>(int(state.range(0)));
    const TextAttributes font{{NSFontAttributeName, QVariant::fromValue(Font("Helvetica", 11))}};
    for (int i = 0; i < int(areas.size()); ++i)
        areas[size_t(i)]->setText(AttributedString(QStringLiteral("Branch %1").arg(i), font));
    QImage canvas = DrawingContext::makeImage(Size(1000, 1000), 1.0, Qt::white);
    for (auto _ : state) {
        if (state.range(1)) {
            for (const auto &a : areas)
                a->updateCachedTextAttributes();
        }
        drawAll(canvas, areas);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DrawTextAreas)
    ->Args({100, 0})
    ->Args({100, 1})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
