#include "interface/OAStringDrawing.h"
#include "interface/OFExtensions.h"

#include "InterfaceTestSupport.h"

#include <QPainter>

using namespace OAExtensions;

namespace {

AttributedString text(const QString &s, double size = 12.0)
{
    return AttributedString(
        s, {{NSFontAttributeName, QVariant::fromValue(Font(QStringLiteral("DejaVuSans"), size))}});
}

qreal widthOf(const QString &s)
{
    return fitFirstLine(text(s), 1.0e6).lineWidth;
}

QImage drawn(const AttributedString &s, const QRectF &rect, int alignment)
{
    QImage image(240, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawInRectangle(painter, s, rect, alignment, false);
    return image;
}

TEST(StringDrawing, ShortTextIsDrawnWhole)
{
    const FirstLineFit fit = fitFirstLine(text("Map"), 200);
    EXPECT_FALSE(fit.truncated);
    EXPECT_FALSE(fit.drawsEllipsis);
    EXPECT_EQ(fit.keptLength, 3);
    EXPECT_GT(fit.lineWidth, 0);
    EXPECT_EQ(fit.drawnWidth, fit.lineWidth);
    EXPECT_EQ(fitFirstLine(AttributedString(), 200).keptLength, 0);
}

TEST(StringDrawing, WideLeftToRightTextKeepsTheLongestPrefixThatFitsWithTheEllipsis)
{
    const QString title = QStringLiteral("A title far too wide for its place");
    for (qreal width : {40.0, 60.0, 95.0, 150.0}) {
        SCOPED_TRACE(width);
        const FirstLineFit fit = fitFirstLine(text(title), width);
        ASSERT_TRUE(fit.truncated);
        ASSERT_TRUE(fit.drawsEllipsis);
        EXPECT_FALSE(fit.rightToLeft);
        EXPECT_GT(fit.keptLength, 0);
        EXPECT_LT(fit.keptLength, title.size());
        EXPECT_LE(fit.drawnWidth, width);
        // One more character would not have fitted.
        EXPECT_GT(
            widthOf(title.left(fit.keptLength + 1) + OFExtensions::horizontalEllipsisString()),
            width);
        // The ellipsis closes the line on the right.
        EXPECT_NEAR(fit.ellipsisX, fit.drawnWidth - fit.ellipsisWidth, 0.5);
    }
}

TEST(StringDrawing, OnlyTheFirstLineIsDrawnFollowedByTheEllipsis)
{
    const FirstLineFit fit = fitFirstLine(text("Map\nsecond line"), 300);
    EXPECT_TRUE(fit.truncated);
    EXPECT_TRUE(fit.drawsEllipsis);
    EXPECT_EQ(fit.keptLength, 3);
    EXPECT_NEAR(fit.drawnWidth, widthOf("Map" + OFExtensions::horizontalEllipsisString()), 0.5);
}

TEST(StringDrawing, TooNarrowForAGlyphAndTheEllipsisShowsWhatFitsWithoutIt)
{
    const qreal w = widthOf("W");
    const FirstLineFit fit = fitFirstLine(text("WWWW"), w + 0.5);
    EXPECT_FALSE(fit.drawsEllipsis);
    EXPECT_EQ(fit.keptLength, 1);
    EXPECT_NEAR(fit.drawnWidth, w, 0.5);

    // Not even one glyph: nothing at all.
    EXPECT_EQ(fitFirstLine(text("WWWW"), 1.0).keptLength, 0);
    EXPECT_TRUE(InterfaceTest::inkBounds(drawn(text("WWWW"), QRectF(10, 5, 1, 20), LeftAlignment))
                    .isNull());
}

TEST(StringDrawing, RightToLeftTextKeepsItsBeginningAndPutsTheEllipsisAtTheLeft)
{
    for (const QString &title : {QStringLiteral("שלום עולם, זו כותרת ארוכה מאוד"),
                                 QStringLiteral("مرحبا بالعالم هذا عنوان طويل جدا")}) {
        SCOPED_TRACE(title.toStdString());
        const FirstLineFit fit = fitFirstLine(text(title), 70);
        ASSERT_TRUE(fit.truncated);
        ASSERT_TRUE(fit.drawsEllipsis);
        EXPECT_TRUE(fit.rightToLeft);
        EXPECT_GT(fit.keptLength, 0);
        EXPECT_LE(fit.drawnWidth, 70);
        EXPECT_NEAR(fit.ellipsisX, 0, 0.5);
    }
}

TEST(StringDrawing, BidiLevelOfTheLastCharacter)
{
    const struct
    {
        const char16_t *line;
        bool rightToLeft;
    } cases[] = {
        {u"abc", false},
        {u"abc!", false},      // a trailing neutral takes the paragraph's
                               // direction
        {u"abc 123", false},   // numbers after left-to-right text
        {u"abc\u0301", false}, // a mark takes the class of its base
        {u"שלום", true},
        {u"abc שלום", true}, // ends in right-to-left text
        {u"שלום abc", true}, // left-to-right inside a right-to-left paragraph
        {u"שלום 123", true},
        {u"שלום!", true},
        {u"", false},
    };
    for (const auto &c : cases) {
        const QString line = QString::fromUtf16(c.line);
        SCOPED_TRACE(line.toStdString());
        EXPECT_EQ(lastCharacterIsRightToLeft(line), c.rightToLeft);
    }
}

TEST(StringDrawing, TruncatedTextStaysInsideItsRectangleForEveryAlignment)
{
    const AttributedString title = text("Another title that is much too long");
    const QRectF rect(40, 5, 100, 30);
    const qreal drawnWidth = fitFirstLine(title, rect.width()).drawnWidth;
    for (int alignment : {LeftAlignment, RightAlignment, CenterAlignment}) {
        SCOPED_TRACE(alignment);
        const QRect ink = InterfaceTest::inkBounds(drawn(title, rect, alignment));
        ASSERT_FALSE(ink.isNull());
        EXPECT_GE(ink.left(), int(rect.left()) - 1);
        EXPECT_LE(ink.right(), int(rect.right()) + 1);
        if (alignment == LeftAlignment) {
            EXPECT_LE(ink.left(), rect.left() + 2);
        } else if (alignment == RightAlignment) {
            EXPECT_GE(ink.right(), rect.right() - 3);
        } else { // centred on the truncated width
            EXPECT_NEAR(ink.left(), rect.center().x() - drawnWidth / 2, 2.0);
        }
    }
}

TEST(StringDrawing, VerticalCentringUsesTheLineHeight)
{
    const AttributedString title = text("Map");
    const QRectF rect(10, 0, 100, 40);
    QImage top(120, 40, QImage::Format_ARGB32_Premultiplied), centred = top;
    top.fill(Qt::transparent);
    centred.fill(Qt::transparent);
    {
        QPainter p1(&top), p2(&centred);
        drawInRectangle(p1, title, rect, LeftAlignment, false);
        drawInRectangle(p2, title, rect, LeftAlignment, true);
    }
    const qreal lineHeight = fitFirstLine(title, 100).lineHeight;
    EXPECT_NEAR(InterfaceTest::inkBounds(centred).top() - InterfaceTest::inkBounds(top).top(),
                rect.height() / 2 - lineHeight / 2, 1.0);
}

TEST(StringDrawing, HaloedTextHasLightLettersInADarkOutline)
{
    const QImage image = outlinedImageWithColor(QStringLiteral("Halo"), Color::whiteColor());
    const QFontMetricsF metrics(defaultFont().toQFont());
    EXPECT_EQ(image.width(), qRound(metrics.horizontalAdvance("Halo") + 4.0));
    int light = 0, dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 200 && c.lightness() > 200)
                ++light;
            if (c.alpha() > 150 && c.lightness() < 60)
                ++dark;
        }
    }
    EXPECT_GT(light, 10);
    EXPECT_GT(dark, light); // the halo is wider than the strokes it surrounds
}

} // namespace
