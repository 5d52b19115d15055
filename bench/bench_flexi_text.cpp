// Labels laid along flexi curves: laying the characters out, replaying them
// in a redraw, and carrying them along when the branch moves.
#include "BenchMain.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "render/DrawingContext.h"
#include "support/Font.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

QGuiApplication &application()
{
    static int argc = 1;
    static char name[] = "bench_flexi_text";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

// `count` flexi branches under one root, each with a two-line label.
struct FlexiMap
{
    explicit FlexiMap(int count)
    {
        document = TWMapsDoc::create();
        map = TWMap::create(document.get());
        document->addMap(map, true);
        auto root = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 100, 40)),
                                                   nullptr, map.get());
        map->setRoot(root);
        const TextAttributes font{
            {NSFontAttributeName, QVariant::fromValue(Font("LiberationSans", 12))}};
        for (int i = 0; i < count; ++i) {
            const float x = float(i % 5) * 200, y = float(i / 5 % 40) * 25;
            auto flexi = TWGraphic::make<TWFlexiBranch>(Rect(x, y, 180, 30));
            auto branch = TWMapBranch::createWithGraphic(flexi, root.get(), map.get());
            flexi->initializePoints();
            branch->enclosedTextArea()->setText(AttributedString(
                QStringLiteral("A label that runs along its branch %1").arg(i), font));
            labels.push_back(branch->enclosedTextArea());
        }
        NotificationQueue::defaultQueue().flush();
    }
    ~FlexiMap() { document->detach(); }

    std::shared_ptr<TWMapsDoc> document;
    std::shared_ptr<TWMap> map;
    std::vector<std::shared_ptr<TWTextArea>> labels;
};

void BM_LayOutFlexiText(benchmark::State &state)
{
    application();
    FlexiMap flexi(int(state.range(0)));
    for (auto _ : state)
        for (const auto &label : flexi.labels)
            label->generateFlexiCharacters();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LayOutFlexiText)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_DrawFlexiText(benchmark::State &state)
{
    application();
    FlexiMap flexi(int(state.range(0)));
    QImage canvas = DrawingContext::makeImage(Size(1000, 1000), 1.0, Qt::white);
    for (auto _ : state) {
        QPainter painter(&canvas);
        DrawingContext context(painter, true);
        for (const auto &label : flexi.labels)
            label->drawFlexiText(context);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DrawFlexiText)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_MoveFlexiText(benchmark::State &state)
{
    application();
    FlexiMap flexi(int(state.range(0)));
    for (const auto &label : flexi.labels)
        label->generateFlexiCharacters();
    for (auto _ : state)
        for (const auto &label : flexi.labels)
            label->moveCachedFlexiCharactersBy(1, 0);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MoveFlexiText)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

THINKWEB_BENCHMARK_MAIN();
