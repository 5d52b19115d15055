#include "graphics/TWMapUtilities.h"
#include "render/TWTextLayout.h"
#include "support/Font.h"

#include <QImage>

namespace {

// The premultiplied pixel as stored, not unpremultiplied as pixel() gives it.
QRgb stored(const QImage &image, int x, int y)
{
    return reinterpret_cast<const QRgb *>(image.constScanLine(y))[x];
}

TEST(TWMapUtilities, TintedComponentFollowsPlusDarkerThenTheIconsAlpha)
{
    struct Case
    {
        int icon, alpha, color, expected;
    };
    const Case cases[] = {
        {255, 255, 200, 200}, // white takes the colour
        {0, 255, 200, 0},     // black stays black
        {128, 255, 255, 128}, // a full colour leaves the icon
        {200, 255, 100, 45},  // 100 + 200 - 255
        {50, 255, 100, 0},    // never below 0
        {128, 128, 200, 37},  // half-transparent white: (73 * 128 + 127) / 255
        {0, 0, 255, 0},       // transparent stays transparent
    };
    for (const Case &c : cases)
        EXPECT_EQ(TWMapUtilities::tintedComponent(c.icon, c.alpha, c.color), c.expected)
            << c.icon << " " << c.alpha << " " << c.color;
}

TEST(TWMapUtilities, TintsAnIconPixelByPixelUnderItsOverlay)
{
    QImage icon(3, 1, QImage::Format_ARGB32_Premultiplied);
    QRgb *row = reinterpret_cast<QRgb *>(icon.scanLine(0));
    row[0] = qRgba(255, 255, 255, 255);
    row[1] = qRgba(0, 0, 0, 255);
    row[2] = qRgba(128, 128, 128, 128);
    const Color orange = Color::colorWithDeviceRed(1.0, 0.5, 0.0);
    const QImage tinted = TWMapUtilities::generateImageOfColor(orange, icon);
    ASSERT_EQ(tinted.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(stored(tinted, 0, 0), qRgba(255, 128, 0, 255));
    EXPECT_EQ(stored(tinted, 1, 0), qRgba(0, 0, 0, 255));
    EXPECT_EQ(stored(tinted, 2, 0), qRgba(64, 1, 0, 128));

    QImage overlay(1, 1, QImage::Format_ARGB32_Premultiplied);
    overlay.fill(qRgba(0, 0, 255, 255));
    for (const std::optional<Color> &tint :
         {std::optional<Color>(orange), std::optional<Color>()}) {
        const QImage marked = TWMapUtilities::generateImageOfColor(tint, icon, overlay);
        EXPECT_EQ(stored(marked, 0, 0), qRgba(0, 0, 255, 255));
        EXPECT_EQ(stored(marked, 1, 0), qRgba(0, 0, 0, 255));
        EXPECT_EQ(stored(marked, 2, 0), tint ? qRgba(64, 1, 0, 128) : qRgba(128, 128, 128, 128));
    }
    EXPECT_EQ(stored(icon, 0, 0), qRgba(255, 255, 255, 255)) << "the icon itself is untouched";
    EXPECT_EQ(TWMapUtilities::generateImageOfColor(std::nullopt, icon).cacheKey(), icon.cacheKey());
    EXPECT_TRUE(TWMapUtilities::generateImageOfColor(Color(), QImage()).isNull());
}

TEST(TWMapUtilities, TextPictureIsTheLaidOutText)
{
    const std::optional<QByteArray> png = TWMapUtilities::textImageForText("Abc", "LiberationSans");
    ASSERT_TRUE(png.has_value());
    const QImage picture = QImage::fromData(*png, "png");
    ASSERT_FALSE(picture.isNull());
    const Size needed = TWTextLayout::requiredSizeForWidth(
        AttributedString("Abc", TextAttributes{{NSFontAttributeName,
                                                QVariant::fromValue(Font("LiberationSans", 12))}}),
        TWTextLayout::containerMaximum, Size(0, 0));
    // The used rectangle, rounded up to whole pixels.
    EXPECT_EQ(picture.width(), int(std::ceil(needed.width - 1)));
    EXPECT_EQ(picture.height(), int(std::ceil(needed.height)));
    EXPECT_EQ(picture.logicalDpiX(), 72);
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0) << "transparent ground";
    int ink = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ink += qAlpha(picture.pixel(x, y)) > 128;
    EXPECT_GT(ink, 20);

    EXPECT_FALSE(TWMapUtilities::textImageForText("Abc", QString()).has_value());
    EXPECT_FALSE(TWMapUtilities::textImageForText(QString(), "LiberationSans").has_value());
    // A font missing here is drawn with its substitute.
    EXPECT_TRUE(TWMapUtilities::textImageForText("Abc", "Helvetica").has_value());
}

} // namespace
