#include "support/BezierPath.h"
#include "support/Shading.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace {

BezierPath rectanglePath(const Rect &rect)
{
    BezierPath path;
    path.moveToPoint(rect.origin);
    path.lineToPoint({rect.maxX(), rect.minY()});
    path.lineToPoint({rect.maxX(), rect.maxY()});
    path.lineToPoint({rect.minX(), rect.maxY()});
    path.closePath();
    return path;
}

QImage canvas()
{
    QImage image(40, 300, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// Channels within two steps of the expected colour (the pixel centre lies
// half a row inside the gradient's ends).
::testing::AssertionResult near(QRgb actual, QRgb expected, int tolerance = 2)
{
    if (std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
        std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
        std::abs(qBlue(actual) - qBlue(expected)) <= tolerance &&
        std::abs(qAlpha(actual) - qAlpha(expected)) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got rgba(" << qRed(actual) << "," << qGreen(actual) << "," << qBlue(actual) << ","
           << qAlpha(actual) << ") expected rgba(" << qRed(expected) << "," << qGreen(expected)
           << "," << qBlue(expected) << "," << qAlpha(expected) << ")";
}

} // namespace

TEST(Shading, FunctionsInterpolateEveryComponent)
{
    const float info[12] = {1, 0, 0.5f, 1, 0, 1, 0.5f, 0, -1, 1, 0, -1};
    double in = 0.25;
    double out[4];
    linearShadedColor(info, &in, out);
    EXPECT_DOUBLE_EQ(out[0], 0.75);
    EXPECT_DOUBLE_EQ(out[1], 0.25);
    EXPECT_DOUBLE_EQ(out[2], 0.5);
    EXPECT_DOUBLE_EQ(out[3], 0.75);

    in = 0.5;
    bilinearShadedColor(info, &in, out);
    EXPECT_DOUBLE_EQ(out[0], 0);
    EXPECT_DOUBLE_EQ(out[1], 1);
    EXPECT_DOUBLE_EQ(out[3], 0);
    in = 0.75;
    bilinearShadedColor(info, &in, out);
    EXPECT_DOUBLE_EQ(out[0], 0.5);
    EXPECT_DOUBLE_EQ(out[3], 0.5);
    in = 1;
    bilinearShadedColor(info, &in, out);
    EXPECT_DOUBLE_EQ(out[0], 1);
    EXPECT_DOUBLE_EQ(out[1], 0);
}

TEST(Shading, LinearFillRunsFromStartToEndInEqualSteps)
{
    QImage image = canvas();
    QPainter painter(&image);
    rectanglePath({0, 0, 40, 256}).linearGradientFillWithStartColor(painter, Qt::red, Qt::blue);
    painter.end();
    EXPECT_TRUE(near(image.pixel(20, 0), qRgba(255, 0, 0, 255)));
    EXPECT_TRUE(near(image.pixel(20, 255), qRgba(0, 0, 255, 255)));
    EXPECT_TRUE(near(image.pixel(20, 64), qRgba(191, 0, 64, 255)));
    EXPECT_TRUE(near(image.pixel(20, 128), qRgba(127, 0, 128, 255)));
    EXPECT_TRUE(near(image.pixel(20, 192), qRgba(64, 0, 191, 255)));
    // Constant along each row, nothing outside the path.
    EXPECT_EQ(image.pixel(0, 100), image.pixel(39, 100));
    EXPECT_EQ(qAlpha(image.pixel(20, 270)), 0);
}

TEST(Shading, BilinearFillHasTheOuterColourInTheMiddle)
{
    QImage image = canvas();
    QPainter painter(&image);
    rectanglePath({0, 0, 40, 256})
        .bilinearGradientFillWithOuterColor(painter, QColor(0, 255, 0), QColor(255, 255, 255));
    painter.end();
    EXPECT_TRUE(near(image.pixel(20, 0), qRgba(255, 255, 255, 255)));
    EXPECT_TRUE(near(image.pixel(20, 255), qRgba(255, 255, 255, 255)));
    EXPECT_TRUE(near(image.pixel(20, 128), qRgba(0, 255, 0, 255)));
    EXPECT_TRUE(near(image.pixel(20, 64), qRgba(127, 255, 127, 255)));
    EXPECT_TRUE(near(image.pixel(20, 192), qRgba(127, 255, 127, 255)));
}

TEST(Shading, AlphaInterpolatesLikeTheOtherComponents)
{
    QImage image = canvas();
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    rectanglePath({0, 0, 40, 256})
        .linearGradientFillWithStartColor(painter, QColor(255, 0, 0, 255), QColor(0, 0, 255, 0));
    painter.end();
    // Mixing premultiplied colours would leave no blue at all half way.
    EXPECT_TRUE(near(image.pixel(20, 128), qRgba(127, 0, 128, 127), 3));
    EXPECT_TRUE(near(image.pixel(20, 0), qRgba(255, 0, 0, 254), 3));

    QImage twoStops = canvas();
    painter.begin(&twoStops);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    rectanglePath({0, 0, 40, 256})
        .fillGradientFrom(painter, QColor(255, 0, 0, 255), QColor(0, 0, 255, 0), 0);
    painter.end();
    EXPECT_TRUE(near(twoStops.pixel(20, 128), qRgba(127, 0, 128, 127), 3));
}

TEST(Shading, GradientSitsOnThePathsBounds)
{
    QImage image = canvas();
    QPainter painter(&image);
    const BezierPath path = rectanglePath({10, 100, 20, 128});
    path.fillGradientFrom(painter, Qt::black, Qt::white, 45);
    painter.end();
    EXPECT_TRUE(near(image.pixel(20, 100), qRgba(0, 0, 0, 255), 3));
    EXPECT_TRUE(near(image.pixel(20, 227), qRgba(255, 255, 255, 255), 3));
    EXPECT_TRUE(near(image.pixel(20, 164), qRgba(128, 128, 128, 255), 3));
    EXPECT_EQ(qAlpha(image.pixel(5, 150)), 0);
    EXPECT_EQ(qAlpha(image.pixel(20, 90)), 0);

    // A custom function is sampled along the same axis.
    QImage custom = canvas();
    painter.begin(&custom);
    ShadingCallbacks reversed;
    reversed.evaluate = [](const float *info, const double *in, double *out) {
        for (int i = 0; i < 4; ++i)
            out[i] = info[4 + i] - in[0] * info[8 + i];
    };
    path.customHorizontalFillWithCallbacks(painter, reversed, Qt::black, Qt::white);
    painter.end();
    EXPECT_TRUE(near(custom.pixel(20, 100), qRgba(255, 255, 255, 255), 3));
    EXPECT_TRUE(near(custom.pixel(20, 227), qRgba(0, 0, 0, 255), 3));
}

TEST(Shading, EmptyPathsDrawNothing)
{
    QImage image = canvas();
    QPainter painter(&image);
    BezierPath().linearGradientFillWithStartColor(painter, Qt::red, Qt::blue);
    BezierPath line;
    line.moveToPoint({0, 0});
    line.lineToPoint({0, 100});
    line.fillGradientFrom(painter, Qt::red, Qt::blue, 0);
    painter.end();
    for (int y = 0; y < image.height(); y += 10)
        for (int x = 0; x < image.width(); x += 5)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 0);
}
