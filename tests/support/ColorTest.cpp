#include "support/Color.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(Color, GreyAnswersItsWhiteAsRGB)
{
    const Color grey = Color::colorWithCalibratedWhite(0.5, 0.25);
    EXPECT_EQ(grey.colorSpace(), Color::Space::CalibratedWhite);
    EXPECT_EQ(grey.redComponent(), 0.5);
    EXPECT_EQ(grey.greenComponent(), 0.5);
    EXPECT_EQ(grey.blueComponent(), 0.5);
    EXPECT_EQ(grey.alphaComponent(), 0.25);
    EXPECT_EQ(grey.toCalibratedRGB(), Color::colorWithCalibratedRed(0.5, 0.5, 0.5, 0.25));
    EXPECT_EQ(Color::colorWithDeviceWhite(0.2).toCalibratedRGB(),
              Color::colorWithCalibratedRed(0.2, 0.2, 0.2, 1));
}

TEST(Color, ConvertsBetweenSpacesKeepingComponents)
{
    const Color device = Color::colorWithDeviceRed(0.1, 0.2, 0.3, 0.4);
    const Color calibrated = device.toCalibratedRGB();
    EXPECT_EQ(calibrated.colorSpace(), Color::Space::CalibratedRGB);
    EXPECT_EQ(calibrated.redComponent(), 0.1);
    EXPECT_EQ(calibrated.blueComponent(), 0.3);
    EXPECT_EQ(calibrated.alphaComponent(), 0.4);
    const Color grey =
        Color::colorWithCalibratedRed(1, 1, 1).colorUsingColorSpace(Color::Space::CalibratedWhite);
    EXPECT_NEAR(grey.whiteComponent(), 1.0, 1e-12);
    EXPECT_EQ(Color::colorWithCalibratedRed(1, 0, 0).colorWithAlphaComponent(0.5).alphaComponent(),
              0.5);
}

TEST(Color, EqualityNeedsSameSpaceAndExactComponents)
{
    const Color a = Color::colorWithCalibratedRed(0.123456789, 0.5, 0.5, 1);
    EXPECT_EQ(a, Color::colorWithCalibratedRed(0.123456789, 0.5, 0.5, 1));
    EXPECT_NE(a, Color::colorWithCalibratedRed(0.123456788, 0.5, 0.5, 1));
    EXPECT_NE(a, Color::colorWithDeviceRed(0.123456789, 0.5, 0.5, 1));
    EXPECT_NE(Color::colorWithCalibratedWhite(0.5), Color::colorWithCalibratedRed(0.5, 0.5, 0.5));
    EXPECT_NE(Color::blackColor(), Color::clearColor());
    EXPECT_EQ(Color(), Color::colorWithCalibratedRed(0, 0, 0, 1));
}

TEST(Color, PaintsOutOfRangeComponentsClamped)
{
    const QColor q = Color::colorWithCalibratedRed(-3, 7, std::nan(""), 2).toQColor();
    EXPECT_TRUE(q.isValid());
    EXPECT_EQ(q.redF(), 0.0f);
    EXPECT_EQ(q.greenF(), 1.0f);
    EXPECT_EQ(q.blueF(), 0.0f);
    EXPECT_EQ(q.alphaF(), 1.0f);
    EXPECT_EQ(Color::fromQColor(QColor(255, 0, 0)), Color::colorWithDeviceRed(1, 0, 0, 1));
}

} // namespace
