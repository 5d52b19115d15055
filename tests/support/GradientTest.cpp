#include "support/BezierPath.h"
#include "support/Shading.h"

#include <QImage>
#include <QPainter>
#include <functional>
#include <gtest/gtest.h>

namespace {

BezierPath rectanglePath(const Rect &rect)
{
    BezierPath path;
    path.appendPathWithRoundedRectangle(rect, 0);
    return path;
}

const BezierPath kColumn = rectanglePath({0, 0, 40, 256});

QImage painted(const std::function<void(QPainter &)> &paint)
{
    QImage image(40, 300, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    paint(painter);
    return image;
}

// Pixels down the middle column within a few steps of the expected colours
// (the pixel centre lies half a row inside the gradient's ends).
void expectColumn(const QImage &image, std::initializer_list<std::pair<int, QRgb>> expected,
                  int tolerance = 2)
{
    for (const auto &[y, rgba] : expected) {
        const QRgb actual = image.pixel(20, y);
        EXPECT_LE(std::abs(qRed(actual) - qRed(rgba)), tolerance) << "row " << y;
        EXPECT_LE(std::abs(qGreen(actual) - qGreen(rgba)), tolerance) << "row " << y;
        EXPECT_LE(std::abs(qBlue(actual) - qBlue(rgba)), tolerance) << "row " << y;
        EXPECT_LE(std::abs(qAlpha(actual) - qAlpha(rgba)), tolerance) << "row " << y;
    }
}

TEST(Shading, LinearFillRunsFromStartToEndInEqualSteps)
{
    const QImage image = painted(
        [](QPainter &p) { kColumn.linearGradientFillWithStartColor(p, Qt::red, Qt::blue); });
    expectColumn(image, {{0, qRgb(255, 0, 0)},
                         {64, qRgb(191, 0, 64)},
                         {128, qRgb(127, 0, 128)},
                         {255, qRgb(0, 0, 255)}});
    // Constant along each row, nothing outside the path.
    EXPECT_EQ(image.pixel(0, 100), image.pixel(39, 100));
    EXPECT_EQ(qAlpha(image.pixel(20, 270)), 0);
}

TEST(Shading, BilinearFillHasTheOuterColourInTheMiddle)
{
    expectColumn(painted([](QPainter &p) {
                     kColumn.bilinearGradientFillWithOuterColor(p, QColor(0, 255, 0), Qt::white);
                 }),
                 {{0, qRgb(255, 255, 255)},
                  {64, qRgb(127, 255, 127)},
                  {128, qRgb(0, 255, 0)},
                  {255, qRgb(255, 255, 255)}});
}

TEST(Shading, AlphaInterpolatesLikeTheOtherComponents)
{
    // Mixing premultiplied colours would leave no blue at all half way.
    const QColor clearBlue(0, 0, 255, 0);
    expectColumn(painted([&](QPainter &p) {
                     kColumn.linearGradientFillWithStartColor(p, Qt::red, clearBlue);
                 }),
                 {{0, qRgba(255, 0, 0, 254)}, {128, qRgba(127, 0, 128, 127)}}, 3);
    expectColumn(painted([&](QPainter &p) { kColumn.fillGradientFrom(p, Qt::red, clearBlue, 0); }),
                 {{128, qRgba(127, 0, 128, 127)}}, 3);
}

TEST(Shading, GradientSitsOnThePathsBounds)
{
    const BezierPath path = rectanglePath({10, 100, 20, 128});
    const QImage image =
        painted([&](QPainter &p) { path.fillGradientFrom(p, Qt::black, Qt::white, 45); });
    expectColumn(image,
                 {{100, qRgb(0, 0, 0)}, {164, qRgb(128, 128, 128)}, {227, qRgb(255, 255, 255)}}, 3);
    EXPECT_EQ(qAlpha(image.pixel(5, 150)), 0);
    EXPECT_EQ(qAlpha(image.pixel(20, 90)), 0);

    // A custom function is sampled along the same axis.
    ShadingCallbacks reversed;
    reversed.evaluate = [](const float *info, const double *in, double *out) {
        for (int i = 0; i < 4; ++i)
            out[i] = info[4 + i] - in[0] * info[8 + i];
    };
    expectColumn(painted([&](QPainter &p) {
                     path.customHorizontalFillWithCallbacks(p, reversed, Qt::black, Qt::white);
                 }),
                 {{100, qRgb(255, 255, 255)}, {227, qRgb(0, 0, 0)}}, 3);
}

TEST(Shading, EmptyPathsDrawNothing)
{
    BezierPath line;
    line.moveToPoint({0, 0});
    line.lineToPoint({0, 100});
    const QImage image = painted([&](QPainter &p) {
        BezierPath().linearGradientFillWithStartColor(p, Qt::red, Qt::blue);
        line.fillGradientFrom(p, Qt::red, Qt::blue, 0);
    });
    for (int y = 0; y < image.height(); y += 10)
        for (int x = 0; x < image.width(); x += 5)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 0);
}

} // namespace
