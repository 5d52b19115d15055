#include "GoldenImage.h"
#include "graphics/TWTextArea.h"
#include "render/DrawingContext.h"
#include "render/TWTextLayout.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QUrl>
#include <thread>

namespace {

TextAttributes fontAttributes(const QString &name, double size)
{
    return {{NSFontAttributeName, QVariant::fromValue(Font(name, size))}};
}

AttributedString text(const QString &string, const QString &font = "LiberationSans",
                      double size = 12)
{
    return AttributedString(string, fontAttributes(font, size));
}

// What an unhinted face advances at 72 dpi, measured apart from the engine.
qreal advance(const QString &string, const QString &family, double size)
{
    static const QImage device = DrawingContext::makeImage(Size(1, 1));
    QFont font(family);
    font.setPointSizeF(size);
    font.setHintingPreference(QFont::PreferNoHinting);
    return QFontMetricsF(QFont(font, &device)).horizontalAdvance(string);
}

TEST(TWTextLayout, RequiredSizeIsTheUsedWidthPlusOneWithinTheMinimum)
{
    const qreal hello = advance("Hello", "Liberation Sans", 12);
    ASSERT_GT(hello, 20);
    const struct
    {
        AttributedString text;
        float padding;
        Size minSize, expected;
    } cases[] = {
        {AttributedString(), 5, Size(10, 15), Size(10, 15)},
        {AttributedString(), 0, Size(30, 40), Size(30, 40)},
        {text("Hello"), 5, Size(10, 15), Size(float(hello + 11), 15)},
        {text("Hello"), 0, Size(10, 15), Size(float(hello + 1), 15)},
        {text("Hello"), 5, Size(200, 15), Size(200, 15)},
        {text("Hello", "LiberationSans", 24), 5, Size(10, 15),
         Size(float(advance("Hello", "Liberation Sans", 24) + 11), 27.6f)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.string().toStdString() + " " + std::to_string(c.padding));
        const Size size = TWTextLayout::requiredSizeForWidth(c.text, 1000, c.minSize,
                                                             Size(99999, 99999), c.padding);
        EXPECT_NEAR(size.width, c.expected.width, 0.25);
        EXPECT_NEAR(size.height, c.expected.height, 0.6);
    }
    EXPECT_EQ(TWTextLayout::requiredSizeForWidth(AttributedString(), 200), Size(10, 15));

    // Helvetica is not installed: it is measured as Liberation Sans, and is
    // the face of a text without a font.
    const Size helvetica = TWTextLayout::requiredSizeForWidth(text("Mind map", "Helvetica"), 500);
    EXPECT_EQ(helvetica, TWTextLayout::requiredSizeForWidth(text("Mind map"), 500));
    EXPECT_EQ(TWTextLayout::requiredSizeForWidth(AttributedString("Mind map"), 500), helvetica);
}

TEST(TWTextLayout, TextWrapsToTheWidthAndStopsAtTheContainersHeight)
{
    TWTextLayout layout;
    layout.setLineFragmentPadding(5);
    layout.setContainerSize(Size(80, 1000));
    layout.setAttributedString(text("one two three four five six seven"));
    ASSERT_GT(layout.lineCount(), 2);
    const int lines = layout.lineCount();
    const Rect used = layout.usedRect();
    EXPECT_LE(used.width(), 80);
    // Every line fragment spans the container; lines follow without gaps.
    const Rect first = layout.lineFragmentRectForGlyph(0);
    EXPECT_EQ(first.x(), 0);
    EXPECT_EQ(first.width(), 80);
    EXPECT_NEAR(used.height(), first.height() * lines, 0.01);
    EXPECT_EQ(layout.laidOutLength(), layout.attributedString().length());

    // Only whole lines that fit the height are laid out.
    layout.setContainerSize(Size(80, first.height() * 2 + 0.5f));
    EXPECT_EQ(layout.lineCount(), 2);
    EXPECT_LT(layout.laidOutLength(), layout.attributedString().length());
    EXPECT_TRUE(layout.boundingRectForGlyph(layout.attributedString().length() - 1).isEmpty());
    // A container made as high as the text keeps its last line.
    layout.setContainerSize(Size(80, used.height()));
    EXPECT_EQ(layout.lineCount(), lines);
    // Too narrow for a word: the word is broken.
    layout.setContainerSize(Size(25, 1000));
    layout.setAttributedString(text("Unbreakable"));
    EXPECT_GT(layout.lineCount(), 1);
}

TEST(TWTextLayout, GlyphRectanglesInAnyOrderEqualAFreshLayouts)
{
    // Asked forwards, backwards and at random, across lines and paragraphs,
    // and again after the text and the width change: each rectangle is the
    // one a layout asked for nothing else gives.
    const struct
    {
        QString string;
        float width;
    } cases[] = {
        {"Branch 12 part 0 & more Branch 12 part 1 & more", 80},
        {"one\ntwo three\n\nfour", 1000},
        {"\u05e9\u05dc\u05d5\u05dd world \u05e2\u05d5\u05dc\u05dd", 60},
        {"e\u0301t\u00e9 fi ffl", 30},
    };
    TWTextLayout reused;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.string.toStdString());
        reused.setContainerSize(Size(c.width, 1000));
        reused.setAttributedString(text(c.string));
        const qsizetype n = c.string.size();
        // From the second glyph, so that the last one asked of the text
        // before (the first, at the end of the walk back) is not taken for it.
        std::vector<qsizetype> order;
        for (qsizetype i = 1; i <= n; ++i)
            order.push_back(i % n);
        for (qsizetype i = 0; i < n; ++i)
            order.push_back((i * 7 + 3) % n);
        for (qsizetype i = n; i-- > 0;)
            order.push_back(i);
        for (const qsizetype i : order) {
            TWTextLayout fresh;
            fresh.setContainerSize(Size(c.width, 1000));
            fresh.setAttributedString(text(c.string));
            EXPECT_EQ(reused.boundingRectForGlyph(i), fresh.boundingRectForGlyph(i)) << i;
        }
    }
}

TEST(TWTextLayout, GlyphAndRangeRectangles)
{
    TWTextLayout layout;
    layout.setLineFragmentPadding(5);
    layout.setContainerSize(Size(1000, 1000));
    layout.setAttributedString(text("ab\ncd"));
    ASSERT_EQ(layout.lineCount(), 2);
    const Rect a = layout.boundingRectForGlyph(0);
    const Rect b = layout.boundingRectForGlyph(1);
    const Rect newline = layout.boundingRectForGlyph(2);
    const Rect c = layout.boundingRectForGlyph(3);
    EXPECT_EQ(a.x(), 5) << "text starts after the padding";
    EXPECT_NEAR(a.width(), advance("a", "Liberation Sans", 12), 0.01);
    EXPECT_NEAR(b.x(), a.x() + a.width(), 0.01);
    EXPECT_EQ(newline.width(), 0);
    EXPECT_EQ(newline.y(), a.y());
    EXPECT_EQ(c.x(), 5);
    EXPECT_NEAR(c.y(), a.y() + a.height(), 0.01);
    const Rect usedFirst = layout.lineFragmentUsedRectForGlyph(1);
    EXPECT_EQ(usedFirst.x(), 0);
    EXPECT_NEAR(usedFirst.width(), advance("ab", "Liberation Sans", 12) + 10, 0.01);

    const QList<Rect> rects = layout.rectsForCharacterRange({1, 3});
    ASSERT_EQ(rects.size(), 2);
    EXPECT_NEAR(rects[0].x(), b.x(), 0.01);
    EXPECT_NEAR(rects[0].width(), b.width(), 0.01);
    EXPECT_NEAR(rects[1].width(), c.width(), 0.01);
    EXPECT_TRUE(layout.rectsForCharacterRange({9, 3}).isEmpty());
    EXPECT_TRUE(layout.boundingRectForGlyph(-1).isEmpty());

    // A text ending in a line break has an empty last line.
    layout.setAttributedString(text("ab\n"));
    EXPECT_EQ(layout.lineCount(), 2);
}

TEST(TWTextLayout, AlignmentAndIndentsPlaceTheLines)
{
    struct Case
    {
        int alignment;
        double headIndent;
        float expectedX; // of the first glyph, in a 200-wide container with padding 5
    };
    const qreal word = advance("Word", "Liberation Sans", 12);
    const Case cases[] = {
        {LeftTextAlignment, 0, 5},
        {NaturalTextAlignment, 0, 5},
        {RightTextAlignment, 0, float(195 - word)},
        {CenterTextAlignment, 0, float(5 + (190 - word) / 2)},
        {LeftTextAlignment, 20, 25},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.alignment);
        ParagraphStyle style;
        style.alignment = c.alignment;
        style.firstLineHeadIndent = c.headIndent;
        TextAttributes attributes = fontAttributes("LiberationSans", 12);
        attributes.insert(NSParagraphStyleAttributeName, QVariant::fromValue(style));
        TWTextLayout layout;
        layout.setContainerSize(Size(200, 100));
        layout.setAttributedString(AttributedString("Word", attributes));
        EXPECT_NEAR(layout.boundingRectForGlyph(0).x(), c.expectedX, 0.02);
        // The used width does not depend on where the line sits.
        EXPECT_NEAR(layout.usedRect().width(), word + 10, 0.02);
    }
}

TEST(TWTextLayout, LinksAreBlueAndUnderlinedAndTheTextDrawsAsTheReference)
{
    AttributedString red = text("see the site now");
    red.addAttribute(NSForegroundColorAttributeName,
                     QVariant::fromValue(Color::colorWithCalibratedRed(1, 0, 0)), {0, 16});
    red.addAttribute(NSLinkAttributeName, QUrl("https://example.org"), {4, 8});
    const AttributedString display = TWTextLayout::displayCopyWithStyledLinks(red);
    EXPECT_EQ(display.string(), red.string());
    EXPECT_EQ(display.attribute(NSForegroundColorAttributeName, 5).value<Color>(),
              SystemColors::blueColor());
    EXPECT_EQ(display.attribute(NSUnderlineStyleAttributeName, 11).toInt(), 1);
    EXPECT_EQ(display.attribute(NSForegroundColorAttributeName, 0).value<Color>(),
              Color::colorWithCalibratedRed(1, 0, 0));
    EXPECT_FALSE(display.attribute(NSUnderlineStyleAttributeName, 12).isValid());

    AttributedString string = text("Thinkweb maps: ");
    string.appendAttributedString(AttributedString(
        "home page",
        TextAttributes{{NSFontAttributeName, QVariant::fromValue(Font("LiberationSans-Bold", 14))},
                       {NSLinkAttributeName, QUrl("https://example.org")}}));
    string.appendAttributedString(text("\nsecond line in serif", "LiberationSerif", 13));
    string.addAttribute(NSBackgroundColorAttributeName,
                        QVariant::fromValue(Color::colorWithCalibratedRed(1, 1, 0.6)), {16, 6});

    TWTextLayout layout;
    layout.setContainerSize(Size(220, 200));
    layout.setAttributedString(TWTextLayout::displayCopyWithStyledLinks(string));
    const Rect used = layout.usedRect();
    QImage image = DrawingContext::makeImage(Size(240, used.height() + 20), 1.0, Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        DrawingContext context(painter, false);
        layout.draw(painter, Point(10, 10));
    }
    const Rect linkRect = layout.rectsForCharacterRange({15, 9}).value(0);
    bool blue = false;
    for (int x = int(linkRect.x()) + 10; x < int(linkRect.x() + linkRect.width()) + 10; ++x)
        for (int y = int(linkRect.y()) + 10; y < int(linkRect.y() + linkRect.height()) + 10; ++y) {
            const QRgb p = image.pixel(x, y);
            blue = blue || (qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60);
        }
    EXPECT_TRUE(blue);
    EXPECT_TRUE(GoldenImage::matches(image, "text-with-link"));
}

TEST(TWTextLayout, DrawingOnAnyDeviceKeepsTheSizesInPoints)
{
    TWTextLayout layout;
    layout.setContainerSize(Size(300, 100));
    layout.setAttributedString(text("WWWWWWWWWW", "LiberationSans", 20));
    const qreal inkWidth = layout.usedRect().width() - 10;
    const auto inkExtent = [&](qreal pixelsPerPoint) {
        QImage image = DrawingContext::makeImage(Size(320, 60), pixelsPerPoint, Qt::white);
        {
            QPainter painter(&image);
            DrawingContext context(painter, false);
            layout.draw(painter, Point(0, 0));
        }
        int left = image.width(), right = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        return right - left + 1;
    };
    const int once = inkExtent(1.0);
    const int twice = inkExtent(2.0);
    EXPECT_NEAR(once, inkWidth, 4);
    EXPECT_NEAR(twice, 2 * once, 4);
}

// A label measured at a width with a padding.
struct LabelCase
{
    AttributedString text;
    float width;
    float padding;
};

// What a fresh engine answers for a label, within the smallest label size.
Size fresh(const AttributedString &t, float width, float padding)
{
    if (t.isEmpty())
        return Size(10, 15);
    TWTextLayout engine;
    engine.setLineFragmentPadding(padding);
    engine.setContainerSize(Size(width, 99999));
    engine.setAttributedString(t);
    return Size(std::max(engine.usedRect().width() + 1.0f, 10.0f),
                std::max(engine.usedRect().height(), 15.0f));
}

} // namespace

// Measurements are remembered: whatever came before, a text measures as a
// fresh engine lays it out, and texts that differ only in an attribute,
// the width or the padding never share an answer.
TEST(TWTextLayout, RememberedMeasurementsAnswerAsAFreshLayout)
{
    TextAttributes bold = fontAttributes("LiberationSans-Bold", 12);
    ParagraphStyle indent = ParagraphStyle::defaultParagraphStyle();
    indent.lineSpacing = 6;
    TextAttributes indented = fontAttributes("LiberationSans", 12);
    indented.insert(NSParagraphStyleAttributeName, QVariant::fromValue(indent));
    AttributedString mixed = text("Topic with words");
    mixed.addAttribute(NSFontAttributeName, QVariant::fromValue(Font("LiberationSans-Bold", 12)),
                       {0, 5});
    const LabelCase cases[] = {
        {text("Topic with words"), 1000, 5},
        {text("Topic with words"), 60, 5},   // wraps
        {text("Topic with words"), 1000, 0}, // padding only
        {text("Topic with words", "LiberationSans", 13), 1000, 5},
        {AttributedString("Topic with words", bold), 1000, 5},
        {AttributedString("Topic with words", indented), 1000, 5},
        {mixed, 1000, 5},
        {text("Topic with words\nand a second line"), 1000, 5},
        {text("Topic with wordz"), 1000, 5},
    };
    // Twice over, then with enough other texts between to push the first out.
    for (int round = 0; round < 3; ++round) {
        if (round == 2) {
            for (int i = 0; i < 40; ++i)
                TWTextLayout::requiredSizeForWidth(text(QString::number(i)), 1000);
        }
        for (const auto &c : cases) {
            SCOPED_TRACE(c.text.string().toStdString() + " " + std::to_string(c.width) + " " +
                         std::to_string(c.padding) + " round " + std::to_string(round));
            const Size expected = fresh(c.text, c.width, c.padding);
            EXPECT_EQ(TWTextLayout::requiredSizeForWidth(c.text, c.width, Size(10, 15),
                                                         Size(99999, 99999), c.padding),
                      expected);
        }
    }
    // The answers differ where the texts do, so no two were confused.
    EXPECT_NE(fresh(cases[0].text, 1000, 5), fresh(cases[1].text, 60, 5));
    EXPECT_NE(fresh(cases[0].text, 1000, 5), fresh(cases[4].text, 1000, 5));
    EXPECT_NE(fresh(cases[0].text, 1000, 5), fresh(cases[5].text, 1000, 5));
    // The maximum width caps the container, as without memory.
    EXPECT_EQ(
        TWTextLayout::requiredSizeForWidth(cases[0].text, 1000, Size(10, 15), Size(60, 99999), 5),
        fresh(cases[0].text, 60, 5));
}

// A text measured at one width answers at a narrower one from memory only
// where a fresh layout gives the same: between its widest line and the
// first width, whatever the alignment, indents, overhanging last glyphs,
// right-to-left text or a height that cuts it short.
TEST(TWTextLayout, NarrowerWidthsAnswerAsAFreshLayout)
{
    const auto styled = [](const QString &string, auto change) {
        ParagraphStyle style;
        change(style);
        TextAttributes attributes = fontAttributes("LiberationSans", 12);
        attributes.insert(NSParagraphStyleAttributeName, QVariant::fromValue(style));
        return AttributedString(string, attributes);
    };
    const QString words = "one two three four five six seven eight";
    // An overhanging word in a run of its own, after and before plain ones.
    const auto mixedRuns = [](const QString &string, AttributedString::Range italic) {
        AttributedString t = text(string);
        t.addAttribute(NSFontAttributeName,
                       QVariant::fromValue(Font("LiberationSerif-BoldItalic", 15)), italic);
        return t;
    };
    const struct
    {
        AttributedString text;
        float height;
    } cases[] = {
        {text(words), 99999},
        {text("Staff of\nlong words\n"), 99999},
        {text("Staff elf fjord gulf", "LiberationSerif-BoldItalic", 15), 99999},
        {text("Oblique leaf f", "DejaVuSans-BoldOblique", 11), 99999},
        {text(QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd "
                                "\u05d2\u05d3\u05d5\u05dc")),
         99999},
        {styled(words, [](ParagraphStyle &p) { p.alignment = CenterTextAlignment; }), 99999},
        {styled(words, [](ParagraphStyle &p) { p.alignment = RightTextAlignment; }), 99999},
        {styled(words, [](ParagraphStyle &p) { p.headIndent = 9; }), 99999},
        {styled(words, [](ParagraphStyle &p) { p.firstLineHeadIndent = 9; }), 99999},
        {styled(words, [](ParagraphStyle &p) { p.tailIndent = -7; }), 99999},
        {styled(words, [](ParagraphStyle &p) { p.tailIndent = 90; }), 99999},
        {text(words), 30},                            // cut short
        {text("Incomprehensibilities of it"), 99999}, // a word split for want of room
        {text("well-known state-of-the-art rule"), 99999},
        {text("Topic 12 with some words", "DejaVuSans", 10), 99999},
        {mixedRuns("plain words then Staff", {17, 5}), 99999},
        {mixedRuns("Staff then plain words", {0, 5}), 99999},
    };
    const auto fresh = [](const AttributedString &t, float width, float height) {
        TWTextLayout engine;
        engine.setLineFragmentPadding(5);
        engine.setContainerSize(Size(width, height));
        engine.setAttributedString(t);
        return Size(std::max(engine.usedRect().width() + 1.0f, 10.0f),
                    std::max(engine.usedRect().height(), 15.0f));
    };
    const auto measure = [](const AttributedString &t, float width, float height) {
        return TWTextLayout::requiredSizeForWidth(t, width, Size(10, 15), Size(99999, height), 5);
    };
    int wrapped = 0;
    for (const auto &c : cases) {
        for (const float first : {400.0f, 120.0f, 70.0f}) {
            // Whatever was remembered of the text before goes first.
            for (int i = 0; i < 40; ++i)
                measure(text(QString::number(i)), 1000, 99999);
            const Size atFirst = measure(c.text, first, c.height);
            ASSERT_EQ(atFirst, fresh(c.text, first, c.height));
            const float widest = atFirst.width - 1;
            for (const float width : {widest - 0.5f, widest - 0.01f, widest, widest + 0.01f,
                                      widest + 1, (widest + first) / 2, first - 0.01f}) {
                SCOPED_TRACE(c.text.string().toStdString() + " first " + std::to_string(first) +
                             " then " + std::to_string(width));
                const Size expected = fresh(c.text, width, c.height);
                wrapped += expected.height > atFirst.height;
                EXPECT_EQ(measure(c.text, width, c.height), expected);
            }
        }
    }
    // Some narrower widths do wrap more: the answers are not all alike.
    EXPECT_GT(wrapped, 0);
}

// Texts measured ahead on worker threads answer as the main thread measures
// them, whether a worker or the main thread got to a request first, and a
// measurement asked with other arguments than the request's is made afresh.
TEST(TWTextLayout, MeasuringAheadAnswersAsTheMainThread)
{
    AttributedString mixed = text("Topic 7 with some words");
    mixed.addAttribute(NSFontAttributeName,
                       QVariant::fromValue(Font("LiberationSerif-BoldItalic", 15)), {0, 5});
    ParagraphStyle centred;
    centred.alignment = CenterTextAlignment;
    TextAttributes centredAttributes = fontAttributes("DejaVuSans", 10);
    centredAttributes.insert(NSParagraphStyleAttributeName, QVariant::fromValue(centred));
    const LabelCase cases[] = {
        {text("Topic with words"), 1000, 5},
        {text("Topic with words"), 60, 5}, // the same text twice, wrapped
        {text("Topic with words"), 1000, 0},
        {mixed, 100, 5},
        {text("one two three four five six seven eight", "DejaVuSans", 10), 90, 5},
        {text("Staff of\nlong words\n"), 999999, 5},
        {AttributedString("centred and wrapped words", centredAttributes), 70, 5},
        {text(QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd")), 50, 5},
        {text("Staff elf fjord gulf", "LiberationSerif-BoldItalic", 15), 70, 5}, // overhangs
        {text("Oblique leaf f", "DejaVuSans-BoldOblique", 11), 70, 5},
        {AttributedString(), 100, 5},
    };
    const auto measure = [](const AttributedString &t, float width, float padding) {
        return TWTextLayout::requiredSizeForWidth(t, width, Size(10, 15), Size(99999, 99999),
                                                  padding);
    };
    for (const bool workersFirst : {true, false}) {
        // Whatever was remembered before goes first.
        for (int i = 0; i < 40; ++i)
            measure(text(QString::number(i)), 1000, 5);
        std::vector<TWTextLayout::Request> requests;
        for (const auto &c : cases)
            requests.push_back({c.text, c.width, Size(99999, 99999), c.padding});
        // A request asked otherwise: more padding.
        requests.push_back({text("asked otherwise"), 1000, Size(99999, 99999), 9});
        TWTextLayout::Prefetch ahead(std::move(requests), 2);
        if (workersFirst)
            ahead.finish();
        for (const auto &c : cases) {
            SCOPED_TRACE(c.text.string().toStdString() + " at " + std::to_string(c.width) +
                         (workersFirst ? " measured ahead" : " raced"));
            EXPECT_EQ(measure(c.text, c.width, c.padding), fresh(c.text, c.width, c.padding));
            // Narrower widths than the request's, about the widest line,
            // then the request again.
            const float widest = fresh(c.text, c.width, c.padding).width - 1;
            for (const float width : {c.width - 7, widest - 0.5f, widest, widest + 0.01f,
                                      widest + 1, (widest + c.width) / 2}) {
                EXPECT_EQ(measure(c.text, width, c.padding), fresh(c.text, width, c.padding))
                    << width;
            }
            EXPECT_EQ(measure(c.text, c.width, c.padding), fresh(c.text, c.width, c.padding));
        }
        EXPECT_EQ(measure(text("asked otherwise"), 1000, 5),
                  fresh(text("asked otherwise"), 1000, 5));
        // Every case with a text came from the workers.
        if (workersFirst) {
            EXPECT_EQ(ahead.answered(), int(std::size(cases)) - 1);
        }
    }
    // Without a prefetch nothing is left installed.
    EXPECT_EQ(measure(mixed, 100, 5), fresh(mixed, 100, 5));
}

// Requests made as they are reached are each made once, on a worker or on
// the main thread when it needs one first, and answer as a thread that keeps
// no fonts or formats measures; an index with nothing to measure is skipped.
// More attribute sets than a thread keeps come round again, and a label
// repeated at the next index is looked up under the same key as its first.
TEST(TWTextLayout, RequestsMadeAsReachedAreMadeOnceAndAnswerAsTheMainThread)
{
    std::vector<AttributedString> texts;
    for (int i = 0; i < 60; ++i) {
        if (i % 7 == 3) {
            texts.emplace_back();
            continue;
        }
        if (i % 9 == 8) {
            texts.push_back(texts.back());
            continue;
        }
        AttributedString t = text(QStringLiteral("Made as reached %1, in words").arg(i),
                                  QStringLiteral("LiberationSans"), 9 + i % 20);
        if (i % 3 == 0)
            t.addAttribute(NSFontAttributeName,
                           QVariant::fromValue(Font(QStringLiteral("LiberationSans-Bold"), 14)),
                           {0, 4});
        texts.push_back(t);
    }
    const auto nothing = [](size_t i) { return i % 11 == 5; };
    const auto measure = [](const AttributedString &t) {
        return TWTextLayout::requiredSizeForWidth(t, 80, Size(10, 15), Size(99999, 99999), 5);
    };
    std::vector<Size> plain(texts.size());
    std::thread([&] {
        for (size_t i = 0; i < texts.size(); ++i)
            plain[i] = fresh(texts[i], 80, 5);
    }).join();
    // Workers done first (every answer theirs), racing from the start, and
    // needed from the end, where the main thread is first to most.
    for (const char *mode : {"finished", "raced", "backwards"}) {
        SCOPED_TRACE(mode);
        std::vector<std::atomic<int>> made(texts.size());
        TWTextLayout::Prefetch ahead(
            texts.size(),
            [&](size_t i) -> std::optional<TWTextLayout::Request> {
                ++made[i];
                if (nothing(i))
                    return std::nullopt;
                return TWTextLayout::Request{texts[i], 80, Size(99999, 99999), 5};
            },
            2);
        const bool finished = mode == std::string("finished");
        if (finished)
            ahead.finish();
        int measurable = 0;
        for (size_t n = 0; n < texts.size(); ++n) {
            const size_t i = mode == std::string("backwards") ? texts.size() - 1 - n : n;
            ahead.need(i);
            EXPECT_EQ(made[i].load(), 1) << i;
            EXPECT_EQ(measure(texts[i]), plain[i]) << i;
            // A repeat answers from the first, remembered as measured here.
            const bool repeat = i % 9 == 8 && !nothing(i - 1);
            measurable += !nothing(i) && !texts[i].isEmpty() && !repeat;
        }
        ahead.finish();
        for (size_t i = 0; i < texts.size(); ++i)
            EXPECT_EQ(made[i].load(), 1) << i;
        if (finished) {
            EXPECT_EQ(ahead.answered(), measurable);
        }
    }
}

// A measurement names the widths that answer as it does: a fresh layout
// at either end of that range, and between, gives the same size, whether
// the text was measured here, found remembered or measured ahead. A text
// area asked again within that range answers from its last measurement,
// and measures afresh once its text or its padding changes.
TEST(TWTextLayout, AMeasurementsWidthsAnswerAsAFreshLayout)
{
    ParagraphStyle centred;
    centred.alignment = CenterTextAlignment;
    TextAttributes centredAttributes = fontAttributes("LiberationSans", 12);
    centredAttributes.insert(NSParagraphStyleAttributeName, QVariant::fromValue(centred));
    AttributedString mixed = text("Topic 7 with some words");
    mixed.addAttribute(NSFontAttributeName, QVariant::fromValue(Font("LiberationSans-Bold", 12)),
                       {0, 5});
    const AttributedString texts[] = {
        text("one two three four five six seven eight"),
        mixed,
        AttributedString("centred and wrapped words", centredAttributes),
        text("Staff elf fjord gulf", "LiberationSerif-BoldItalic", 15), // overhangs
        text("Incomprehensibilities of it"),
        AttributedString(),
    };
    const auto checkRange = [&](const AttributedString &t, const TWTextLayout::Measurement &m,
                                float asked) {
        EXPECT_LE(m.narrowest, std::min(asked, 99999.0f));
        EXPECT_GE(m.widest, std::min(asked, 99999.0f));
        for (const float width : {m.narrowest, (m.narrowest + m.widest) / 2, m.widest})
            if (width <= 2000)
                EXPECT_EQ(fresh(t, width, 5), m.size) << "at " << width;
    };
    int ranges = 0;
    for (const AttributedString &t : texts) {
        SCOPED_TRACE(t.string().toStdString());
        for (const float first : {400.0f, 120.0f, 70.0f}) {
            SCOPED_TRACE(first);
            for (int i = 0; i < 40; ++i) // nothing of the text remembered
                TWTextLayout::requiredSizeForWidth(text(QString::number(i)), 1000);
            const auto measure = [&](float width) {
                return TWTextLayout::measure(t, width, Size(10, 15), Size(99999, 99999), 5);
            };
            // Measured here, then found remembered at the width it needs.
            const TWTextLayout::Measurement here = measure(first);
            checkRange(t, here, first);
            const TWTextLayout::Measurement found = measure(here.size.width - 1);
            checkRange(t, found, here.size.width - 1);
            ranges += found.narrowest < found.widest;
            // Measured ahead.
            for (int i = 0; i < 40; ++i)
                TWTextLayout::requiredSizeForWidth(text(QString::number(i)), 1000);
            {
                TWTextLayout::Prefetch ahead({{t, first, Size(99999, 99999), 5}}, 1);
                ahead.finish();
                checkRange(t, measure(first), first);
            }
            // A text area asked again and again, then changed.
            auto area = TWGraphic::make<TWTextArea>(Rect(0, 0, 50, 20));
            area->setLineFragmentPadding(5);
            area->setText(t);
            const Size atFirst = area->requiredSizeForWidth(first);
            EXPECT_EQ(atFirst, fresh(t, first, 5));
            const float widest = atFirst.width - 1;
            for (const float width : {widest, widest - 0.5f, widest + 1, first, first + 50,
                                      (widest + first) / 2, 30.0f, first})
                EXPECT_EQ(area->requiredSizeForWidth(width), fresh(t, width, 5)) << width;
            area->setLineFragmentPadding(0);
            EXPECT_EQ(area->requiredSizeForWidth(first), fresh(t, first, 0));
            area->setText(text("Another label altogether"));
            EXPECT_EQ(area->requiredSizeForWidth(first),
                      fresh(text("Another label altogether"), first, 0));
        }
    }
    // Some measurements do answer for more than their own width.
    EXPECT_GT(ranges, 0);
}

// A long text drawn through a clip (as the canvas draws what is exposed)
// shows inside the clip just what it shows drawn whole: the lines out of
// it are left out, none that reaches it. Tall, capped and shifted lines,
// one wrapped paragraph, a container that cuts the text short. Drawn
// through the clip first, a layout makes only the lines it needs, and
// measured afterwards it answers as one laid out whole at once.
TEST(TWTextLayout, DrawingThroughAClipShowsWhatTheWholeTextShowsThere)
{
    ParagraphStyle capped;
    capped.maximumLineHeight = 6;
    ParagraphStyle tall;
    tall.lineHeightMultiple = 2.5;
    struct Case
    {
        const char *name;
        std::optional<ParagraphStyle> style;
        Point origin;
        QRect clip;
        bool oneParagraph = false;
        float height = 99999;
        // A paragraph of prose longer than Qt is given at once, in a wide
        // container.
        bool prose = false;
    };
    const Case cases[] = {
        {"plain, a band in the middle", std::nullopt, Point(0, 0), QRect(0, 300, 200, 41)},
        {"plain, shifted origin", std::nullopt, Point(7, -250), QRect(0, 13, 200, 30)},
        {"capped line height", capped, Point(0, 0), QRect(0, 100, 200, 9)},
        {"tall lines", tall, Point(0, 0), QRect(0, 500, 200, 17)},
        {"one wrapped paragraph", std::nullopt, Point(0, 0), QRect(0, 200, 200, 60), true},
        {"cut short by the container", std::nullopt, Point(0, 0), QRect(0, 700, 200, 80), false,
         730},
        {"a long paragraph, its start", std::nullopt, Point(0, 0), QRect(0, 300, 200, 60), false,
         99999, true},
        {"a long paragraph, far down", std::nullopt, Point(-40, -7000), QRect(0, 300, 200, 60),
         false, 99999, true},
    };
    QString prose = QStringLiteral("A title line\n");
    while (prose.size() < 300000)
        prose += QStringLiteral("The quick brown fox jumps over the lazy dog, %1 times. ")
                     .arg(prose.size());
    QString lines;
    for (int i = 0; i < 300; ++i)
        lines += QStringLiteral("Line %1 gjpqy ÅÉÎ\n").arg(i);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        AttributedString t =
            text(c.prose ? prose : c.oneParagraph ? QString(lines).replace(u'\n', u' ') : lines);
        if (c.style)
            t.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(*c.style),
                           {0, t.length()});
        const auto laidOut = [&](TWTextLayout &layout) {
            layout.setContainerSize(Size(c.prose ? 1500 : 200, c.height));
            layout.setAttributedString(t);
        };
        TWTextLayout whole, lazy;
        laidOut(whole);
        laidOut(lazy);
        const auto drawn = [&](const TWTextLayout &layout, bool clipped) {
            QImage image = DrawingContext::makeImage(Size(200, 800), 1, Qt::white);
            QPainter painter(&image);
            if (clipped)
                painter.setClipRect(c.clip);
            layout.draw(painter, c.origin);
            painter.end();
            return image.copy(c.clip);
        };
        const QImage throughClip = drawn(lazy, true);
        const QImage all = drawn(whole, false);
        bool inked = false;
        for (int y = 0; y < all.height() && !inked; ++y)
            for (int x = 0; x < all.width() && !inked; ++x)
                inked = qGray(all.pixel(x, y)) < 128;
        EXPECT_TRUE(inked);
        EXPECT_EQ(throughClip, all);
        EXPECT_EQ(lazy.lineCount(), whole.lineCount());
        EXPECT_EQ(lazy.laidOutLength(), whole.laidOutLength());
        EXPECT_EQ(lazy.usedRect(), whole.usedRect());
        for (const qsizetype at : {qsizetype(0), t.length() / 3, whole.laidOutLength() - 1})
            EXPECT_EQ(lazy.boundingRectForGlyph(at), whole.boundingRectForGlyph(at)) << at;
        EXPECT_EQ(drawn(lazy, false), all);
        if (!c.prose)
            continue;
        // Scrolled down a band at a time, as far as the text goes.
        TWTextLayout scrolled;
        laidOut(scrolled);
        for (int down = 0; down < int(whole.usedRect().height()); down += 50) {
            const auto band = [&](const TWTextLayout &layout) {
                QImage image = DrawingContext::makeImage(Size(200, 100), 1, Qt::white);
                QPainter painter(&image);
                painter.setClipRect(QRect(0, 20, 200, 60));
                layout.draw(painter, Point(-40, float(-down)));
                painter.end();
                return image;
            };
            if (band(scrolled) != band(whole)) {
                ADD_FAILURE() << "scrolled down " << down;
                break;
            }
        }
    }
}
