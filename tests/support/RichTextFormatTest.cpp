#include "support/RichTextFormat.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/ParagraphStyle.h"

#include <QUrl>
#include <gtest/gtest.h>

namespace {

using Range = AttributedString::Range;

QVariant font(const char *name, double size)
{
    return QVariant::fromValue(Font(QString::fromUtf8(name), size));
}

QVariant rgb(int r, int g, int b)
{
    return QVariant::fromValue(Color::colorWithCalibratedRed(r / 255.0, g / 255.0, b / 255.0));
}

QVariant paragraph(int alignment, double head, double first, double tail,
                   QList<TextTab> tabs = ParagraphStyle::defaultTabStops())
{
    ParagraphStyle style;
    style.alignment = alignment;
    style.headIndent = head;
    style.firstLineHeadIndent = first;
    style.tailIndent = tail;
    style.tabStops = tabs;
    return QVariant::fromValue(style);
}

std::optional<AttributedString> roundTrip(const AttributedString &s)
{
    return RichTextFormat::attributedStringFromRTF(RichTextFormat::rtfFromAttributedString(s));
}

std::string describe(const AttributedString &s)
{
    std::string out = s.string().toStdString() + " |";
    for (qsizetype i = 0; i < s.runCount(); ++i) {
        out += " [" + std::to_string(s.runRange(i).location) + "+" +
               std::to_string(s.runRange(i).length) + ":";
        for (auto it = s.runAttributes(i).begin(); it != s.runAttributes(i).end(); ++it) {
            out += " " + it.key().toStdString();
            if (it.value().canConvert<Font>())
                out += "=" + it.value().value<Font>().fontName().toStdString() + "/" +
                       std::to_string(it.value().value<Font>().pointSize());
        }
        out += "]";
    }
    return out;
}

TEST(RichTextFormat, RoundTripKeepsTextAndEveryAttribute)
{
    struct Case
    {
        const char *name;
        QString text;
        std::vector<std::pair<Range, TextAttributes>> runs;
    };
    const QList<TextTab> tabs = {TextTab(LeftTextAlignment, 36), TextTab(RightTextAlignment, 100),
                                 TextTab(CenterTextAlignment, 150.5),
                                 TextTab(JustifiedTextAlignment, 200)};
    const Case cases[] = {
        {"plain", "Plain words", {}},
        {"escapes", "Braces {x} and \\ back\tslash", {}},
        {"unicode", QString::fromUtf8("Grüße – €5 ✓ 日本 😀 end"), {}},
        {"control characters", QString::fromUtf8("a\rb\x01") + QChar(0x2028) + "c", {}},
        {"paragraphs", "one\ntwo\n\nfour\n", {}},
        {"sizes and faces",
         "Sans Bold Italic Serif",
         {{{0, 5}, {{NSFontAttributeName, font("LiberationSans", 12)}}},
          {{5, 5}, {{NSFontAttributeName, font("LiberationSans-Bold", 17.5)}}},
          {{10, 7}, {{NSFontAttributeName, font("DejaVuSans-BoldOblique", 9)}}},
          {{17, 5}, {{NSFontAttributeName, font("Helvetica-Oblique", 30)}}}}},
        {"underline strike colours",
         "under thick double struck red on blue plain",
         {{{0, 6}, {{NSUnderlineStyleAttributeName, 1}}},
          {{6, 6}, {{NSUnderlineStyleAttributeName, 2}}},
          {{12, 7}, {{NSUnderlineStyleAttributeName, 9}}},
          {{19, 7}, {{NSStrikethroughStyleAttributeName, 1}}},
          {{26, 4},
           {{NSForegroundColorAttributeName, rgb(255, 0, 0)},
            {NSFontAttributeName, font("DejaVuSans", 14)}}},
          {{30, 8},
           {{NSForegroundColorAttributeName, rgb(10, 20, 30)},
            {NSBackgroundColorAttributeName, rgb(0, 0, 255)}}}}},
        {"empty paragraphs keep their font",
         "\n\nx",
         {{{0, 3}, {{NSFontAttributeName, font("DejaVuSans", 10)}}}}},
        {"odd font names",
         "ab",
         {{{0, 1}, {{NSFontAttributeName, font("Odd\tFont \xc3\xa9 {x}", 10)}}},
          {{1, 1}, {{NSFontAttributeName, font("LiberationSans", 10)}}}}},
        {"paragraph styles",
         "left\ncentred\nright indented\njustified tabs\nnatural",
         {{{0, 5}, {{NSParagraphStyleAttributeName, paragraph(LeftTextAlignment, 0, 0, 0)}}},
          {{5, 8}, {{NSParagraphStyleAttributeName, paragraph(CenterTextAlignment, 0, 0, 0)}}},
          {{13, 15},
           {{NSParagraphStyleAttributeName, paragraph(RightTextAlignment, 36, 18, -24)},
            {NSFontAttributeName, font("LiberationSerif", 11)}}},
          {{28, 15},
           {{NSParagraphStyleAttributeName, paragraph(JustifiedTextAlignment, 20, 40, 0, tabs)}}}}},
    };
    for (const Case &c : cases) {
        AttributedString s(c.text);
        for (const auto &[range, attributes] : c.runs)
            s.setAttributes(attributes, range);
        const std::optional<AttributedString> back = roundTrip(s);
        ASSERT_TRUE(back) << c.name;
        EXPECT_EQ(back->string(), s.string()) << c.name;
        EXPECT_TRUE(*back == s) << c.name << "\n wrote: " << describe(s)
                                << "\n  read: " << describe(*back) << "\n"
                                << RichTextFormat::rtfFromAttributedString(s).toStdString();
    }
}

TEST(RichTextFormat, WritesARangeAsItsOwnDocument)
{
    AttributedString s("abc def ghi");
    s.addAttribute(NSFontAttributeName, font("DejaVuSans-Bold", 10), {4, 3});
    const QByteArray rtf = RichTextFormat::rtfFromRange(s, {4, 3});
    EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi"));
    EXPECT_TRUE(rtf.contains("DejaVuSans-Bold;"));
    EXPECT_TRUE(rtf.contains("\\b"));
    const auto back = RichTextFormat::attributedStringFromRTF(rtf);
    ASSERT_TRUE(back);
    EXPECT_TRUE(*back == s.attributedSubstringFromRange({4, 3}));
}

// Files written by word processors and by hand: what each must read as.
TEST(RichTextFormat, ReadsRichTextOfOtherWriters)
{
    struct Case
    {
        const char *name;
        const char *rtf;
        const char *text;
        std::vector<std::pair<Range, TextAttributes>> runs;
    };
    const Case cases[] = {
        {"minimal", "{\\rtf1 Hello}", "Hello", {}},
        {"cocoa style",
         "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n"
         "\\cocoatextscaling0\\cocoaplatform0{\\fonttbl\\f0\\fswiss\\fcharset0 "
         "LiberationSans;\\f1\\fswiss\\fcharset0 LiberationSans-Bold;}\n"
         "{\\colortbl;\\red255\\green255\\blue255;\\red0\\green128\\blue0;}\n"
         "{\\*\\expandedcolortbl;;\\csgenericrgb\\c0\\c50196\\c0;}\n"
         "\\paperw11900\\paperh16840\\margl1440\\margr1440\\vieww11520\\viewh8400\\viewkind0\n"
         "\\pard\\tx560\\tx1120\\pardirnatural\\qc\\partightenfactor0\n\n"
         "\\f0\\fs24 \\cf2 Caf\\'e9 \\\n"
         "\\f1\\b bold}",
         "Caf\u00e9 \nbold",
         {{{0, 6},
           {{NSFontAttributeName, font("LiberationSans", 12)},
            {NSForegroundColorAttributeName, rgb(0, 128, 0)},
            {NSParagraphStyleAttributeName,
             paragraph(CenterTextAlignment, 0, 0, 0, {TextTab(0, 28), TextTab(0, 56)})}}},
          {{6, 4},
           {{NSFontAttributeName, font("LiberationSans-Bold", 12)},
            {NSForegroundColorAttributeName, rgb(0, 128, 0)},
            {NSParagraphStyleAttributeName,
             paragraph(CenterTextAlignment, 0, 0, 0, {TextTab(0, 28), TextTab(0, 56)})}}}}},
        {"word processor: families, styles, fields, unicode fallbacks",
         "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Liberation Serif{\\*\\falt Times};}"
         "{\\f1 Helvetica;}}{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}"
         "{\\*\\generator Writer;}\\pard\\plain \\fs20 a{\\b b}{\\i\\f1 c}"
         "\\uc1\\u8364?\\u-3999x{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}\\par"
         "\\ul u\\ul0 \\strike s\\strike0 \\line z}",
         "abc\u20ac\uf061link\nus\u2028z",
         {{{0, 1}, {{NSFontAttributeName, font("LiberationSerif", 10)}}},
          {{1, 1}, {{NSFontAttributeName, font("LiberationSerif-Bold", 10)}}},
          {{2, 1}, {{NSFontAttributeName, font("Helvetica-Italic", 10)}}},
          {{3, 2}, {{NSFontAttributeName, font("LiberationSerif", 10)}}},
          {{5, 4},
           {{NSFontAttributeName, font("LiberationSerif", 10)},
            {NSLinkAttributeName, QUrl(QStringLiteral("x"))}}},
          {{9, 1}, {{NSFontAttributeName, font("LiberationSerif", 10)}}},
          {{10, 1},
           {{NSFontAttributeName, font("LiberationSerif", 10)},
            {NSUnderlineStyleAttributeName, 1}}},
          {{11, 1},
           {{NSFontAttributeName, font("LiberationSerif", 10)},
            {NSStrikethroughStyleAttributeName, 1}}},
          {{12, 2}, {{NSFontAttributeName, font("LiberationSerif", 10)}}}}},
        {"bold without a font table",
         "{\\rtf1{\\b x}{\\i y}z}",
         "xyz",
         {{{0, 1}, {{NSFontAttributeName, font("Helvetica-Bold", 12)}}},
          {{1, 1}, {{NSFontAttributeName, font("Helvetica-Italic", 12)}}}}},
        {"highlight and indents",
         "{\\rtf1{\\colortbl;\\red1\\green2\\blue3;}\\li720\\fi-360\\ri144\\highlight1 x\\par}",
         "x\n",
         {{{0, 2},
           {{NSBackgroundColorAttributeName, rgb(1, 2, 3)},
            {NSParagraphStyleAttributeName, paragraph(NaturalTextAlignment, 36, 18, -7.2)}}}}},
        {"cut short",
         "{\\rtf1 partial {\\b text",
         "partial text",
         {{{8, 4}, {{NSFontAttributeName, font("Helvetica-Bold", 12)}}}}},
        {"text after the document", "  {\\rtf1 in} out", "in", {}},
        {"unicode values that are no 16-bit unit",
         "{\\rtf1 a\\u99999999999999999999 ?\\u2147483648 ?\\u-2147483649 ?\\u65536 ?"
         "\\u-32768 ?\\u65535 ?b}",
         "a\ufffd\ufffd\ufffd\ufffd\u8000\ufffdb",
         {}},
    };
    for (const Case &c : cases) {
        const std::optional<AttributedString> read =
            RichTextFormat::attributedStringFromRTF(QByteArray(c.rtf));
        ASSERT_TRUE(read) << c.name;
        AttributedString expected(QString::fromUtf8(c.text));
        for (const auto &[range, attributes] : c.runs)
            expected.setAttributes(attributes, range);
        EXPECT_TRUE(*read == expected) << c.name << "\n expected: " << describe(expected)
                                       << "\n     read: " << describe(*read);
    }
}

// Characters beyond the basic plane come as two \u halves, with or without a
// fallback between them; a word processor's HYPERLINK field gives its result
// text a link.
TEST(RichTextFormat, KeepsSurrogatePairsAndFieldLinks)
{
    struct Case
    {
        const char *name;
        const char *rtf;
        const char16_t *text;
        qsizetype linkStart;
        qsizetype linkLength;
        QVariant link;
    };
    const QVariant none;
    const Case cases[] = {
        {"pair with one fallback", "{\\rtf1 a\\u55357 \\u56835 ?b}", u"a\U0001F603b", 0, 0, none},
        {"pair with two fallbacks", "{\\rtf1 a\\u-10179?\\u-8701?b}", u"a\U0001F603b", 0, 0, none},
        {"lone half", "{\\rtf1 a\\u55357?b\\u56835?}", u"a\uFFFDb\uFFFD", 0, 0, none},
        {"word processor link",
         "{\\rtf1 see {\\field{\\*\\fldinst{HYPERLINK \"https://example.com/a?b=1\" }}"
         "{\\fldrslt{\\ul\\cf1 site}}} now}",
         u"see site now", 4, 4, QUrl(QStringLiteral("https://example.com/a?b=1"))},
        {"anchor and tip switches",
         "{\\rtf1{\\field{\\*\\fldinst HYPERLINK \\\\o \"tip\" \\\\l \"Part2\"}{\\fldrslt go}}}",
         u"go", 0, 2, QUrl(QStringLiteral("#Part2"))},
        {"target that is no address",
         "{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"a b\"}{\\fldrslt x}}}", u"x", 0, 1,
         QStringLiteral("a b")},
        {"other fields stay text", "{\\rtf1{\\field{\\*\\fldinst PAGE}{\\fldrslt 3}}}", u"3", 0, 0,
         none},
    };
    for (const Case &c : cases) {
        const std::optional<AttributedString> read =
            RichTextFormat::attributedStringFromRTF(QByteArray(c.rtf));
        ASSERT_TRUE(read) << c.name;
        EXPECT_EQ(read->string(), QString::fromUtf16(c.text)) << c.name;
        for (qsizetype i = 0; i < read->length(); ++i) {
            const bool linked = i >= c.linkStart && i < c.linkStart + c.linkLength;
            EXPECT_EQ(read->attribute(NSLinkAttributeName, i), linked ? c.link : none)
                << c.name << " at " << i;
        }
    }
}

TEST(RichTextFormat, RefusesWhatIsNotRichTextAndDeepNesting)
{
    QString error;
    EXPECT_FALSE(RichTextFormat::attributedStringFromRTF("plain text", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(RichTextFormat::attributedStringFromRTF("", &error));

    const int limit = RichTextFormat::maximumGroupDepth;
    const QByteArray fits =
        "{\\rtf1 " + QByteArray(limit - 1, '{') + "x" + QByteArray(limit - 1, '}') + "}";
    const auto read = RichTextFormat::attributedStringFromRTF(fits);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->string(), "x");
    const QByteArray deep = "{\\rtf1 " + QByteArray(100000, '{') + "x";
    error.clear();
    EXPECT_FALSE(RichTextFormat::attributedStringFromRTF(deep, &error));
    EXPECT_TRUE(error.contains(QString::number(limit))) << error.toStdString();
}

// Many paragraphs, each with its own tab stops and a word in bold that
// splits its text into runs: every paragraph keeps its stops, whatever the
// shape of the text, and a paragraph takes at most a thousand of them.
TEST(RichTextFormat, TabStopsOfManyParagraphsStayWithTheirParagraphs)
{
    const int count = 5000;
    const struct
    {
        const char *name;
        const char *before; // before the bold word
        const char *after;  // after it
    } shapes[] = {
        {"bold word inside", "a", "c"},
        {"bold word first", "", "c"},
        {"bold word last", "a", ""},
    };
    for (const auto &shape : shapes) {
        SCOPED_TRACE(shape.name);
        QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Helvetica;}}";
        for (int i = 0; i < count; ++i)
            rtf += "\\pard\\tqr\\tx" + QByteArray::number(20 * (i % 500 + 1)) + "\\tx" +
                   QByteArray::number(20 * (i % 500 + 600)) + " " + shape.before + "{\\b b}\\tab " +
                   shape.after + "\\par\n";
        rtf += "}";
        const std::optional<AttributedString> text = RichTextFormat::attributedStringFromRTF(rtf);
        ASSERT_TRUE(text);
        const qsizetype length = qsizetype(qstrlen(shape.before) + qstrlen(shape.after)) + 3;
        ASSERT_EQ(text->length(), count * length);
        for (int i = 0; i < count; ++i) {
            const qsizetype start = i * length;
            const QVariant style = text->attribute(NSParagraphStyleAttributeName, start);
            ASSERT_TRUE(style.isValid()) << i;
            EXPECT_EQ(style.value<ParagraphStyle>().tabStops,
                      (QList<TextTab>{TextTab(RightTextAlignment, i % 500 + 1),
                                      TextTab(LeftTextAlignment, i % 500 + 600)}))
                << i;
            // The style holds over the whole paragraph, its line break included.
            AttributedString::Range range;
            text->attribute(NSParagraphStyleAttributeName, start, &range);
            EXPECT_EQ(range, (Range{start, length})) << i;
            const qsizetype bold = start + qsizetype(qstrlen(shape.before));
            EXPECT_TRUE(text->attribute(NSFontAttributeName, bold).isValid()) << i;
            if (bold > start)
                EXPECT_FALSE(text->attribute(NSFontAttributeName, start).isValid()) << i;
            if (HasFailure())
                return;
        }
    }

    // A thousand stops at most: the rest of a paragraph's are left out.
    QByteArray many = "{\\rtf1\\pard";
    for (int i = 1; i <= 5000; ++i)
        many += "\\tx" + QByteArray::number(i);
    const std::optional<AttributedString> capped =
        RichTextFormat::attributedStringFromRTF(many + " x\\par}");
    ASSERT_TRUE(capped);
    const QList<TextTab> stops =
        capped->attribute(NSParagraphStyleAttributeName, 0).value<ParagraphStyle>().tabStops;
    ASSERT_EQ(stops.size(), 1000);
    EXPECT_EQ(stops.last().location(), 1000 / 20.0);
}

} // namespace
