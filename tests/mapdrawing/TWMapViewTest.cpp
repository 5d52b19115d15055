#include "mapdrawing/TWMapView.h"
#include "MapDrawingFixture.h"
#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMapLayout.h"

#include <QImage>
#include <cmath>
#include <functional>
#include <limits>
#include <utility>

using namespace MapDrawingTest;

namespace {

class ForeignRep : public TWImageRepresentation
{
public:
    bool drawInRect(const DrawingContext &, const QRectF &) override { return true; }
};

class MapViewTest : public MapFixture
{
protected:
    MapViewTest()
    {
        map->setScaleAmount(100);
        map->setCanvasSize(Size(600, 400));
        map->setBackgroundColor(Color::colorWithCalibratedRed(1, 0.95f, 0.8f, 1));
        newBranch(root.get(), Rect(480, 80, 110, 40), "north");
        newBranch(root.get(), Rect(60, 300, 120, 50), "south west");
        settle();
    }

    // Pixels of `a` and `b` that differ by more than a little in any channel.
    static int differing(const QImage &a, const QImage &b)
    {
        const QImage x = a.convertToFormat(QImage::Format_ARGB32);
        const QImage y = b.convertToFormat(QImage::Format_ARGB32);
        if (x.size() != y.size())
            return std::numeric_limits<int>::max();
        int n = 0;
        for (int row = 0; row < x.height(); ++row)
            for (int col = 0; col < x.width(); ++col) {
                const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
                n += std::abs(qRed(p) - qRed(q)) > 24 || std::abs(qGreen(p) - qGreen(q)) > 24 ||
                     std::abs(qBlue(p) - qBlue(q)) > 24 || std::abs(qAlpha(p) - qAlpha(q)) > 24;
            }
        return n;
    }
    static QImage picture(QWidget &view)
    {
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        view.render(&image);
        return image;
    }
};

// The map owns its live preview; edits renew it (resized, foreign pictures
// dropped) and a canvas too small for one drops it.
TEST_F(MapViewTest, TheMapsPreviewFollowsItsCanvasAndEdits)
{
    map->setPreviewImage(nullptr);
    const std::shared_ptr<TWMapPreviewImage> made = map->previewImage();
    ASSERT_TRUE(made);
    ASSERT_EQ(made->representations().size(), 1);
    auto *rep = dynamic_cast<TWMapImageRep *>(made->representations()[0].get());
    ASSERT_TRUE(rep);
    EXPECT_EQ(rep->map(), map);

    struct Step
    {
        const char *what;
        std::function<void()> edit;
        std::optional<Size> preview; // nothing: the map has none
        bool renewed;                // a foreign picture added before is gone
    } const steps[] = {
        {"a look setting", [&] { map->setShowShadows(!map->showShadows()); }, Size(600, 400), true},
        {"the background", [&] { map->setBackgroundColor(Color::whiteColor()); }, Size(600, 400),
         true},
        {"a wider canvas", [&] { map->setCanvasSize(Size(700, 400)); }, Size(700, 400), true},
        {"no longer stale", [&] { map->setNeedsUpdatePreviewImage(false); }, Size(700, 400), false},
        {"a canvas too narrow", [&] { map->setCanvasSize(Size(99, 500)); }, std::nullopt, true},
        {"asked for while too narrow", [&] { map->previewImage(); }, std::nullopt, true},
        {"just large enough", [&] { map->setCanvasSize(Size(100, 100)); }, Size(100, 100), true},
        {"the whole map arranged", [&] { TWMapLayout::autoArrange(*map); }, Size(100, 100), true},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        const std::shared_ptr<TWMapPreviewImage> before = map->cachedPreviewImage();
        if (before)
            before->addRepresentation(std::make_shared<ForeignRep>());
        Recorder changes({TWMap::ValueChangeNotification});
        step.edit();
        int announced = 0;
        for (const Notification &n : changes.notifications)
            announced += n.userInfo.value(TWMap::KeyKey).toString() == "previewImage" &&
                         n.userInfo.value(TWMap::PhaseKey).toString() == "did";
        EXPECT_EQ(announced > 0, step.renewed);
        const std::shared_ptr<TWMapPreviewImage> now = map->cachedPreviewImage();
        ASSERT_EQ(bool(now), step.preview.has_value());
        if (!now)
            continue;
        EXPECT_EQ(now->size(), *step.preview);
        // Kept while it lasts: whoever shows it keeps showing the map.
        if (before) {
            EXPECT_EQ(now, before);
        }
        ASSERT_FALSE(now->representations().isEmpty());
        EXPECT_EQ(now->representations()[0]->size(), *step.preview);
        EXPECT_EQ(now->representations().size(), step.renewed ? 1 : 2);
        if (!step.renewed)
            now->removeRepresentation(1);
    }
}

// The view, the live preview and the preview saved into the document draw
// the map alike (the saved one without background, cropped to the drawing).
TEST_F(MapViewTest, TheViewDrawsTheMapAsItsPreviewsDo)
{
    TWMapView view;
    view.setMap(map);
    map->setCanvasSize(Size(640, 420));
    ASSERT_EQ(view.size(), QSize(640, 420));
    const QImage shown = picture(view);

    ASSERT_TRUE(map->previewImage());
    const QImage live = map->previewImage()->toImage(QSize(640, 420));
    EXPECT_EQ(differing(shown, live), 0);

    ASSERT_EQ(TWMapPreviewServices::writePreviewInFileCache(*map),
              TWMapPreviewServices::FileCacheResult::Written);
    QImage saved = QImage::fromData(*document->objectForKeyInCachedData(map->previewPath()))
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const Rect extent = map->getBoundingPrintingRectForAllGraphics();
    ASSERT_EQ(saved.size(), QSize(int(extent.width()), int(extent.height())));
    // Over the map's background the saved picture is the view's.
    QImage backed(saved.size(), QImage::Format_ARGB32_Premultiplied);
    backed.fill(map->backgroundColor()->toQColor());
    {
        QPainter painter(&backed);
        painter.drawImage(0, 0, saved);
    }
    const QImage part = shown.copy(int(extent.x()), int(extent.y()), saved.width(), saved.height());
    EXPECT_LT(differing(part, backed), saved.width() * saved.height() / 200);
    // Something of the map was compared, not only the background.
    QImage plain(saved.size(), QImage::Format_ARGB32_Premultiplied);
    plain.fill(map->backgroundColor()->toQColor());
    EXPECT_GT(differing(part, plain), 1000);
}

// The view takes the canvas size of the map it shows, of no other map,
// whatever the size, and keeps the map alive.
TEST_F(MapViewTest, TheViewFollowsTheCanvasOfItsMap)
{
    TWMapView view;
    view.resize(10, 10);
    auto other = TWMap::create(document.get());
    const std::weak_ptr<TWMap> otherAlive = other;
    view.setMap(map);
    EXPECT_EQ(view.size(), QSize(10, 10)); // until the canvas changes

    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Step
    {
        const char *what;
        std::function<void()> edit;
        QSize expected;
    } const steps[] = {
        {"its canvas grows", [&] { map->setCanvasSize(Size(800.5f, 500)); }, QSize(801, 500)},
        {"the same map again", [&] { view.setMap(map); }, QSize(801, 500)},
        {"its canvas after", [&] { map->setCanvasSize(Size(300, 200)); }, QSize(300, 200)},
        {"another map", [&] { view.setMap(std::exchange(other, nullptr)); }, QSize(300, 200)},
        {"the old map's canvas", [&] { map->setCanvasSize(Size(900, 900)); }, QSize(300, 200)},
        {"the new map's canvas", [&] { view.map()->setCanvasSize(Size(250, 150)); },
         QSize(250, 150)},
        {"a damaged canvas", [&] { view.map()->setCanvasSize(Size(nan, -40)); }, QSize(0, 0)},
        {"a huge canvas", [&] { view.map()->setCanvasSize(Size(1e12f, 120)); },
         QSize(QWIDGETSIZE_MAX, 120)},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.edit();
        EXPECT_EQ(view.size(), step.expected);
    }
    EXPECT_FALSE(otherAlive.expired());
    view.setMap(nullptr);
    EXPECT_TRUE(otherAlive.expired());
    EXPECT_FALSE(view.map());
}

} // namespace
