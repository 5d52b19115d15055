// A flat outline: thousands of first-level branches in two columns beside
// the central branch, their wedges all leaving its centre.
#include "MapDrawingFixture.h"
#include "mapdrawing/TWMapBranch_Drawing.h"
#include "mapdrawing/TWMapExpansionState.h"
#include "render/TWDrawingView.h"

#include <QPaintEngine>

using namespace MapDrawingTest;

namespace {

// A screen, painted as the raster is, that counts the points of the
// figures painted on it.
class CountingScreen : public QPaintDevice, QPaintEngine
{
public:
    CountingScreen() : QPaintEngine(AllFeatures) {}
    int points = 0;

private:
    QPaintEngine *paintEngine() const override { return const_cast<CountingScreen *>(this); }
    int metric(PaintDeviceMetric m) const override
    {
        if (m == PdmDevicePixelRatioScaled)
            return int(devicePixelRatioFScale());
        return m == PdmWidth ? 1280 : m == PdmHeight ? 800 : m == PdmDevicePixelRatio ? 1 : 32;
    }
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    Type type() const override { return Raster; }
    void updateState(const QPaintEngineState &) override {}
    void drawPath(const QPainterPath &path) override { points += path.elementCount(); }
    void drawPolygon(const QPointF *, int count, PolygonDrawMode) override { points += count; }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawTextItem(const QPointF &, const QTextItem &) override {}
};

class FlatMapDrawing : public MapFixture
{
protected:
    // Branches by rank outward from the root's level, alternately below and
    // above, right and left, 24 points apart: more of them reach further.
    void grow(int count)
    {
        for (int i = int(root->children().size()); i < count; ++i) {
            const float rank = float(i / 4);
            const float y = 210 + (i % 4 < 2 ? rank : -rank - 1) * 24;
            newBranch(root.get(), Rect(i % 2 ? 20 : 600, y, 80, 20), QString());
        }
        settle();
    }
    // The tree over a view of 1280 x 800 pixels at the scale, centred on
    // `centre`, on the screen in a view (else every line is drawn whole).
    void draw(QPaintDevice &device, bool screen, qreal scale, bool gathered,
              Point centre = {350, 220})
    {
        const Rect view(centre.x - 640 / scale, centre.y - 400 / scale, 1280 / scale, 800 / scale);
        QPainter painter(&device);
        std::optional<DrawingContext> made;
        screen ? made.emplace(painter, true) : made.emplace(painter, 1.0);
        painter.scale(scale, scale);
        painter.translate(-view.x(), -view.y());
        std::optional<TWBranchDrawing::DetailBatch> batch;
        if (gathered)
            batch.emplace(*made, scale);
        const TWDrawingView canvas;
        TWBranchDrawing::drawSelf(*root, {.context = *made,
                                          .view = screen ? &canvas : nullptr,
                                          .rect = view,
                                          .skippingText = true,
                                          .expansionState = {},
                                          .detail = batch ? &*batch : nullptr});
    }
    int pointsPainted(qreal scale, bool gathered, Point centre = {350, 220})
    {
        CountingScreen screen;
        draw(screen, true, scale, gathered, centre);
        return screen.points;
    }
};

// Views holding the centre, where every wedge starts.
struct View
{
    const char *name;
    qreal scale;
    bool gathered; // small graphics gathered, as on screen zoomed far out
};
const View Views[] = {{"Home", 1, false},
                      {"zoomed in", 4, false},
                      {"zoomed out", 0.25, false},
                      {"zoomed out far, gathered", 0.05, true}};

// The wedges of branches beyond the view cross it a sliver apart, and are
// painted once for all, each as much as shows: quadrupling the branches,
// all beyond the view, adds much less than it did.
TEST_F(FlatMapDrawing, TheWedgesPaintedForAViewAreWhatTheViewHolds)
{
    std::vector<int> fewer;
    grow(1000);
    for (const View &v : Views)
        fewer.push_back(pointsPainted(v.scale, v.gathered));
    grow(4000);
    for (size_t i = 0; i < std::size(Views); ++i) {
        SCOPED_TRACE(Views[i].name);
        const int more = pointsPainted(Views[i].scale, Views[i].gathered);
        EXPECT_GT(more, 0);
        EXPECT_LE(more, fewer[i] * 3 / 2) << "with 1000: " << fewer[i];
    }
    // Seen from beside the columns, far out, no wedge leaves the centre.
    EXPECT_EQ(pointsPainted(1, false, {3000, 220}), 0);
}

// The screen's drawing, wedges cut and thinned, against the drawing an
// export makes of every wedge whole: the same but for a trace at edges.
TEST_F(FlatMapDrawing, ThinnedConnectionsLookAsTheWholeDrawingDoes)
{
    grow(1500);
    for (const bool centreFilled : {true, false}) {
        root->mainGraphic()->setDrawsFill(centreFilled);
        for (const View &v : Views) {
            SCOPED_TRACE(std::string(v.name) + (centreFilled ? ", filled" : ", unfilled"));
            QImage whole(1280, 800, QImage::Format_ARGB32_Premultiplied), shown = whole;
            whole.fill(Qt::white);
            shown.fill(Qt::white);
            draw(whole, false, v.scale, v.gathered);
            draw(shown, true, v.scale, v.gathered);
            int ink = 0, differing = 0;
            for (int y = 0; y < whole.height(); ++y)
                for (int x = 0; x < whole.width(); ++x) {
                    const QRgb a = whole.pixel(x, y), b = shown.pixel(x, y);
                    ink += a != 0xffffffff;
                    differing +=
                        std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))}) > 48;
                }
            EXPECT_GT(ink, 1000);
            EXPECT_LE(differing, ink / 200);
        }
    }
}

} // namespace
