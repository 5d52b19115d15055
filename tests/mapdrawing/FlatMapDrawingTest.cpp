// A flat outline: thousands of first-level branches in two columns beside
// the central branch, their wedges all leaving its centre.
#include "MapDrawingFixture.h"
#include "mapdrawing/TWMapBranch_Drawing.h"
#include "mapdrawing/TWMapExpansionState.h"

#include <QPaintEngine>

using namespace MapDrawingTest;

namespace {

// A screen that counts the points of the figures painted on it.
class CountingScreen : public QPaintDevice
{
public:
    QPaintEngine *paintEngine() const override { return &m_engine; }
    int figures() const { return m_engine.figures; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return 1280;
        case PdmHeight:
            return 800;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        case PdmDepth:
            return 32;
        default:
            return 1000;
        }
    }

private:
    class Engine : public QPaintEngine
    {
    public:
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        // Drawn as the screen's raster is: no vector device.
        Type type() const override { return Raster; }
        void updateState(const QPaintEngineState &) override {}
        void drawPath(const QPainterPath &path) override { figures += path.elementCount(); }
        void drawPolygon(const QPointF *, int points, PolygonDrawMode) override
        {
            figures += points;
        }
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        void drawTextItem(const QPointF &, const QTextItem &) override {}
        int figures = 0;
    };
    mutable Engine m_engine;
};

class FlatMapDrawing : public MapFixture
{
protected:
    // Branches by rank outward from the root's level, alternately below and
    // above, right and left, 24 points apart: more of them reach further.
    void grow(int count)
    {
        for (int i = int(root->children().size()); i < count; ++i) {
            const int rank = i / 4;
            const float y = 210 + float(i % 4 < 2 ? rank : -rank - 1) * 24;
            newBranch(root.get(), Rect(i % 2 ? 20 : 600, y, 80, 20), QString());
        }
        settle();
    }
    // The tree drawn over a view of the screen's size at the scale, centred
    // on `centre`; not on the screen, every line is drawn whole.
    void draw(QPaintDevice &device, bool screen, qreal scale, Point centre, bool gathered = false)
    {
        const Rect view(centre.x - 640 / scale, centre.y - 400 / scale, 1280 / scale, 800 / scale);
        QPainter painter(&device);
        std::optional<DrawingContext> made;
        if (screen)
            made.emplace(painter, true);
        else
            made.emplace(painter, 1.0);
        const DrawingContext &context = *made;
        painter.scale(scale, scale);
        painter.translate(-view.x(), -view.y());
        std::optional<TWBranchDrawing::DetailBatch> batch;
        if (gathered)
            batch.emplace(context, scale);
        TWBranchDrawing::drawSelf(*root, {.context = context,
                                          .rect = view,
                                          .skippingText = true,
                                          .expansionState = {},
                                          .detail = batch ? &*batch : nullptr});
    }
    int pointsPainted(qreal scale, Point centre, bool gathered)
    {
        CountingScreen screen;
        draw(screen, true, scale, centre, gathered);
        return screen.figures();
    }
    QImage image(bool screen, qreal scale, Point centre, bool gathered)
    {
        QImage image(1280, 800, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        draw(image, screen, scale, centre, gathered);
        return image;
    }

    const Point centre{350, 220};
};

struct View
{
    const char *name;
    qreal scale;
    Point centre;
    bool gathered = false; // small graphics gathered, as on screen zoomed far out
};

// Views holding the centre, where every wedge starts.
const View Views[] = {
    {"Home", 1, {350, 220}},
    {"zoomed in on the centre", 4, {350, 220}},
    {"zoomed out", 0.25, {350, 220}},
    {"zoomed out far, gathered", 0.05, {350, 220}, true},
};

// The wedges of branches beyond the view cross it a sliver apart, and are
// painted once for all, each as much as shows: quadrupling the branches,
// all beyond the view, adds much less than it did.
TEST_F(FlatMapDrawing, TheWedgesPaintedForAViewAreWhatTheViewHolds)
{
    std::vector<int> fewer;
    grow(1000);
    for (const View &v : Views)
        fewer.push_back(pointsPainted(v.scale, v.centre, v.gathered));
    grow(4000);
    for (size_t i = 0; i < std::size(Views); ++i) {
        SCOPED_TRACE(Views[i].name);
        const int more = pointsPainted(Views[i].scale, Views[i].centre, Views[i].gathered);
        EXPECT_GT(more, 0);
        EXPECT_LE(more, fewer[i] * 3 / 2) << "with 1000: " << fewer[i];
    }
    // Seen from beside the columns, far out, no wedge leaves the centre.
    EXPECT_EQ(pointsPainted(1, {3000, 220}, false), 0);
}

// The screen's drawing, wedges cut and thinned, against the drawing an
// export makes of every wedge whole: the same but for a trace at edges.
TEST_F(FlatMapDrawing, ThinnedConnectionsLookAsTheWholeDrawingDoes)
{
    grow(1500);
    for (const bool centreFilled : {true, false}) {
        root->mainGraphic()->setDrawsFill(centreFilled);
        for (const View &v : Views) {
            SCOPED_TRACE(QStringLiteral("%1, centre %2")
                             .arg(v.name, centreFilled ? "filled" : "unfilled")
                             .toStdString());
            const QImage whole = image(false, v.scale, v.centre, v.gathered);
            const QImage shown = image(true, v.scale, v.centre, v.gathered);
            int ink = 0, differing = 0, worst = 0;
            for (int y = 0; y < whole.height(); ++y)
                for (int x = 0; x < whole.width(); ++x) {
                    const QRgb a = whole.pixel(x, y), b = shown.pixel(x, y);
                    ink += a != 0xffffffff;
                    const int d =
                        std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                  std::abs(qBlue(a) - qBlue(b))});
                    differing += d > 48;
                    worst = std::max(worst, d);
                }
            EXPECT_GT(ink, 1000);
            EXPECT_LE(differing, ink / 200) << "worst " << worst;
        }
    }
}

} // namespace
