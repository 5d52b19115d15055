#include "interface/RoundedBox.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QColor at(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

void expectGrey(const QImage &image, int x, int y, int grey, const char *what, int tolerance = 3)
{
    const QColor c = at(image, x, y);
    EXPECT_NEAR(c.red(), grey, tolerance) << what << " at " << x << "," << y;
    EXPECT_NEAR(c.green(), grey, tolerance) << what;
    EXPECT_NEAR(c.blue(), grey, tolerance) << what;
}

// Counts the paint events a widget gets.
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

TEST(RoundedBox, GradientColoursAreKeptInCalibratedRGB)
{
    RoundedBox box;
    box.setGradientStartColor(Color::colorWithDeviceWhite(0.3));
    EXPECT_EQ(box.gradientStartColor().colorSpace(), Color::Space::CalibratedRGB);
}

TEST(RoundedBox, TitleTabOrFullBar)
{
    RoundedBox box;
    box.resize(200, 100);
    box.setTitle("Styles");
    const QFontMetricsF metrics(box.titleFont());
    const QSizeF s(metrics.horizontalAdvance("Styles"), metrics.height());
    const QRectF t = box.titleRect();
    EXPECT_DOUBLE_EQ(t.x(), 6);
    EXPECT_DOUBLE_EQ(t.y(), 100 - s.height() - 4);
    EXPECT_DOUBLE_EQ(t.width(), s.width() + 2);
    EXPECT_DOUBLE_EQ(t.height(), s.height());

    const QRectF q(1.5, 1.5, 198, 98);
    struct Case
    {
        QString title;
        bool fullBar;
        bool expectFull;
    };
    for (const Case &c : {Case{"Styles", false, false}, Case{"Styles", true, true},
                          Case{QString("W").repeated(60), false, true}}) {
        box.setTitle(c.title);
        box.setDrawsFullTitleBar(c.fullBar);
        const QRectF title = box.titleRect();
        const QRectF bounds = box.titlePathWithinRect(q, 4, title).boundingRect();
        EXPECT_DOUBLE_EQ(bounds.left(), 1);
        EXPECT_DOUBLE_EQ(bounds.top(), std::trunc(title.y() - (99 - title.bottom())));
        EXPECT_DOUBLE_EQ(bounds.bottom(), 99);
        if (c.expectFull)
            EXPECT_DOUBLE_EQ(bounds.right(), q.right()) << c.title.size();
        else
            EXPECT_DOUBLE_EQ(bounds.right(),
                             std::trunc(1 + title.width() + 2 * (title.x() - q.x())));
    }
}

TEST(RoundedBox, DrawsGradientOutlineAndTab)
{
    RoundedBox box;
    box.resize(200, 100);
    box.setTitle("Styles");
    const QImage image = box.grab().toImage();
    const QRectF t = box.titleRect();
    const int tabY = int(100 - t.y() - t.height() / 2); // Qt's rows run downwards
    expectGrey(image, 3, tabY, 128, "tab");
    expectGrey(image, 150, 12, 232, "gradient near the top");
    expectGrey(image, 150, 88, 212, "gradient near the bottom");
    expectGrey(image, 199, 50, 128, "outline", 30);
    EXPECT_EQ(at(image, 0, 0), box.palette().color(QPalette::Window)); // rounded corner

    box.setDrawsGradientBackground(false);
    expectGrey(box.grab().toImage(), 150, 50, 230, "plain background");

    box.setBorderWidth(0);
    box.setDrawsGradientBackground(true);
    const QImage borderless = box.grab().toImage();
    EXPECT_GT(at(borderless, 199, 50).red(), 180);

    box.setBorderWidth(2);
    box.setSelected(true);
    const QColor highlight = box.palette().color(QPalette::Active, QPalette::Highlight);
    const QColor tab = at(box.grab().toImage(), 3, tabY);
    EXPECT_NEAR(tab.red(), highlight.red(), 3);
    EXPECT_NEAR(tab.blue(), highlight.blue(), 3);
}

TEST(RoundedBox, ALongTitleIsCutBeforeTheTabEnds)
{
    RoundedBox box;
    box.resize(90, 60);
    box.setTitle("A title far too long for this box");
    const QRectF t = box.titleRect();
    EXPECT_DOUBLE_EQ(t.width(), 90 - 2 * (2 + 4));
    const QImage image = box.grab().toImage();
    const int top = int(60 - t.y() - t.height());
    int whiteInside = 0;
    for (int y = top; y < top + int(t.height()); ++y) {
        for (int x = 0; x < 90; ++x) {
            const bool white = at(image, x, y).lightness() > 240;
            if (x >= int(t.right()) + 1) {
                EXPECT_FALSE(white) << x << "," << y;
            }
            whiteInside += white && x < t.right();
        }
    }
    EXPECT_GT(whiteInside, 0);
}

TEST(RoundedBox, RedrawsOnlyForColoursItShows)
{
    QWidget window;
    window.resize(220, 120);
    auto *box = new RoundedBox(&window);
    box->setGeometry(10, 10, 200, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    PaintCounter counter;
    box->installEventFilter(&counter);
    const auto paintsAfter = [&](const std::function<void()> &change) {
        QTest::qWait(20);
        counter.paints = 0;
        change();
        QTest::qWait(20);
        return counter.paints;
    };
    box->setDrawsGradientBackground(false);
    EXPECT_EQ(
        paintsAfter([&] { box->setGradientStartColor(Color::colorWithCalibratedWhite(0.1)); }), 0);
    EXPECT_EQ(paintsAfter([&] { box->setGradientEndColor(Color::colorWithCalibratedWhite(0.1)); }),
              0);
    EXPECT_GT(paintsAfter([&] { box->setBackgroundColor(Color::colorWithCalibratedWhite(0.1)); }),
              0);
    box->setDrawsGradientBackground(true);
    EXPECT_EQ(paintsAfter([&] { box->setBackgroundColor(Color::colorWithCalibratedWhite(0.2)); }),
              0);
    EXPECT_GT(
        paintsAfter([&] { box->setGradientStartColor(Color::colorWithCalibratedWhite(0.3)); }), 0);
}
