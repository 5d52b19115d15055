#include "MindManagerImpExp/NSAttributedString-XHTML.h"
#include "support/NSString+XHTML.h"

#include "MMTestSupport.h"
#include "support/Base64.h"
#include "support/FontRegistry.h"
#include "support/ParagraphStyle.h"

#include <clocale>
#include <gtest/gtest.h>
#include <string>

using namespace XHTML;

namespace {

AttributedString fromXHTML(const QString &xhtml, const TextAttributes &base = {})
{
    const XMLTree tree = XMLTree::initWithString(xhtml);
    EXPECT_FALSE(tree.isNull()) << xhtml.toStdString();
    return attributedStringWithXHTML(tree, base);
}

Font fontAt(const AttributedString &s, qsizetype i)
{
    return s.attributesAtIndex(i).value(NSFontAttributeName).value<Font>();
}

bool isBold(const Font &font)
{
    return !font.isNull() &&
           (FontRegistry::shared().traits(font.fontName()) & FontRegistry::BoldTrait);
}

const Font kSans("LiberationSans", 12);

TextAttributes sansBase()
{
    return {{NSFontAttributeName, QVariant::fromValue(kSans)}};
}

} // namespace

TEST(XHTMLStrings, Operations)
{
    EXPECT_EQ(stringByEscapingXML("a<b & 'c'"), "a&lt;b &amp; &apos;c&apos;");
    EXPECT_EQ(stringByEscapingXML("\"x>\""), "&quot;x&gt;&quot;");
    EXPECT_EQ(stringByUnescapingXML("a&lt;b &amp; &apos;c&apos;"), "a<b & 'c'");
    EXPECT_EQ(stringByUnescapingXML("&amp;lt; &#60;"), "&lt; &#60;");

    EXPECT_EQ(stringByTrimmingWhitespace("  a \n b  "), " a b ");
    EXPECT_EQ(stringByTrimmingWhitespace("a\t\tb"), "a b");
    EXPECT_EQ(stringByTrimmingWhitespace(""), "");

    EXPECT_EQ(stringByReplacingRange("abcdef", 1, 2, "XY"), "aXYdef");
    EXPECT_EQ(stringByReplacingRange("abc", 2, 10, "Z"), "abZ");

    const struct
    {
        QString text;
        QStringList pieces;
    } whitespace[] = {
        {"a b\tc", {"a", "b", "c"}},
        {"  ", {}},
        {"a\nb c", {"a\nb", "c"}}, // line breaks do not separate
    };
    for (const auto &c : whitespace)
        EXPECT_EQ(componentsSeparatedByWhitespace(c.text), c.pieces) << c.text.toStdString();
    EXPECT_EQ(componentsSeparatedByCharSet("'A B', x", [](QChar c) { return c == u'\''; }),
              QStringList({"A B", ", x"}));

    const struct
    {
        QString text;
        QStringList lines;
    } lineCases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\n\nb", {"a", "", "b"}},
        {QString("a") + QChar(0x2028) + "b" + QChar(0x2029), {"a", "b"}},
    };
    for (const auto &c : lineCases)
        EXPECT_EQ(lines(c.text), c.lines) << c.text.toStdString();
}

TEST(XHTMLStrings, Bridges)
{
    EXPECT_EQ(XMLExtension::dataValue(QString::fromUtf8("\xC3\xA9")), QByteArray("\xC3\xA9"));
    EXPECT_EQ(XMLExtension::base64String("Hello"), "SGVsbG8=");
    EXPECT_EQ(XMLExtension::dataWithBase64String("SGVsbG8="), QByteArray("Hello"));
    EXPECT_THROW(XMLExtension::dataWithBase64String("SGVsbG"), Base64Error);
}

TEST(XHTMLIn, ElementsGiveTextAndBreaks)
{
    const struct
    {
        QString xhtml;
        QString text;
    } cases[] = {
        {"<p>Hello <strong>big</strong> world</p>", "Hello big world\n"},
        {"<q>x</q>", "\"x\""},
        {"<html><body><p>a<br/>b</p><div>c</div><h1>d</h1><span>e</span></body></html>",
         "a\nb\nc\nd\ne"},
        {"<p>  spaced\n\tout  </p>", " spaced out \n"},
        // Text is decoded once, by the parser: "&amp;lt;" stays "&lt;".
        {"<p>&amp;lt; &lt;</p>", "&lt; <\n"},
        // Comments are not text; CDATA is.
        {"<p>a<!-- note -->b<![CDATA[<c>]]></p>", "ab<c>\n"},
        {"<html/>", ""},
        {"<unknown>kept</unknown>", "kept"},
        // White space kept where the style says so, and below it.
        {"<body style=\"white-space:pre-wrap\"><span>  two\t</span><b> \n </b></body>",
         "  two\t \n "},
        {"<div><p style=\"white-space: pre\">a  b</p><p>c  d</p></div>", "a  b\nc d\n\n"},
        {"<div style=\"white-space:pre\"><span style=\"white-space:normal\">a  b</span>"
         "  c</div>",
         "a b  c\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(fromXHTML(c.xhtml).string(), c.text) << c.xhtml.toStdString();
    EXPECT_TRUE(attributedStringWithXHTML(XMLTree()).isEmpty());
}

// Element names match in any case, including one lowered beyond ASCII;
// long names, many siblings and every kind of blank read as short ones do.
TEST(XHTMLIn, NamesMatchInAnyCaseAndBlanksCollapse)
{
    const QString longName = QStringLiteral("p").repeated(40);
    QString siblings;
    for (int i = 0; i < 1000; ++i)
        siblings += QStringLiteral("<span>%1</span>").arg(i % 10);
    QString expected;
    for (int i = 0; i < 1000; ++i)
        expected += QString::number(i % 10);
    const struct
    {
        QString xhtml;
        QString text;
        bool bold = false; // at the first character
    } cases[] = {
        {"<P>a</P><DIV>b</DIV><H6>c</H6><BlockQuote>d</BlockQuote>", "a\nb\nc\nd\n"},
        {"<STRONG>a</STRONG>", "a", true},
        {"<Q>x</Q><Br/>y", "\"x\"\ny"},
        // The Kelvin sign lowers to "k".
        {QStringLiteral("<BLOC\u212AQUOTE>x</BLOC\u212AQUOTE>"), "x\n"},
        {QStringLiteral("<p\u00e9>x</p\u00e9>"), "x"},
        {"<" + longName + ">x</" + longName + ">", "x"},
        {"<div>" + siblings + "</div>", expected + "\n"},
        {QStringLiteral("<p>\u00a0a\u2003\u2003b \n</p>"), " a b \n"},
    };
    for (const auto &c : cases) {
        const AttributedString s = fromXHTML("<html>" + c.xhtml + "</html>", sansBase());
        EXPECT_EQ(s.string(), c.text) << c.xhtml.left(80).toStdString();
        EXPECT_EQ(isBold(fontAt(s, 0)), c.bold) << c.xhtml.left(80).toStdString();
    }
}

TEST(XHTMLIn, StrongAndEmChangeOnlyTheirText)
{
    const AttributedString s = fromXHTML("<p>Hello <strong>big</strong> world</p>");
    EXPECT_FALSE(isBold(fontAt(s, 0)));
    EXPECT_TRUE(isBold(fontAt(s, 6))) << fontAt(s, 6).fontName().toStdString();
    EXPECT_FALSE(isBold(fontAt(s, 10)));

    const AttributedString e = fromXHTML("<p><em><strong>x</strong></em></p>", sansBase());
    EXPECT_EQ(fontAt(e, 0).fontName(), "LiberationSans-BoldItalic");
}

TEST(XHTMLIn, StyleAttributes)
{
    const struct
    {
        QString style;
        QString key;
        QVariant expected; // invalid: attribute absent
    } cases[] = {
        {"font-size:150%", NSFontAttributeName, QVariant::fromValue(kSans.withSize(18))},
        {"font-size:12pc", NSFontAttributeName, QVariant::fromValue(kSans.withSize(144))},
        {"font-size:larger", NSFontAttributeName, QVariant::fromValue(kSans.withSize(15))},
        {"font-size:x-large", NSFontAttributeName, QVariant::fromValue(kSans.withSize(18))},
        {"font-size:-4pt", NSFontAttributeName, QVariant::fromValue(kSans)},
        {"font-size:huge", NSFontAttributeName, QVariant::fromValue(kSans)},
        {"color:red", NSForegroundColorAttributeName,
         QVariant::fromValue(Color::colorWithCalibratedRed(1, 0, 0))},
        {"color: red", NSForegroundColorAttributeName,
         QVariant::fromValue(Color::colorWithCalibratedRed(1, 0, 0))},
        {"color:#fff", NSForegroundColorAttributeName,
         QVariant::fromValue(Color::colorWithCalibratedRed(1, 1, 1))},
        {"color:#00ff80", NSForegroundColorAttributeName,
         QVariant::fromValue(Color::colorWithCalibratedRed(0, 1, 128 / 255.0))},
        {"color:Red", NSForegroundColorAttributeName, QVariant()},
        {"color:#xyz", NSForegroundColorAttributeName, QVariant()},
        {"background-color:silver", NSBackgroundColorAttributeName,
         QVariant::fromValue(Color::colorWithCalibratedWhite(0.75))},
        {"text-decoration:underline", NSUnderlineStyleAttributeName, 1},
        {"text-decoration:none", NSUnderlineStyleAttributeName, 0},
        {"text-decoration:line-through", NSStrikethroughStyleAttributeName, 1},
        {"font-weight:bold", NSFontAttributeName,
         QVariant::fromValue(Font("LiberationSans-Bold", 12))},
        {"font-style:oblique", NSFontAttributeName,
         QVariant::fromValue(Font("LiberationSans-Italic", 12))},
        {"font-family:'Liberation Serif', serif", NSFontAttributeName,
         QVariant::fromValue(Font("LiberationSerif", 12))},
        {"font-family:Liberation Serif, serif", NSFontAttributeName, QVariant::fromValue(kSans)},
        {" : ; ;nothing", NSFontAttributeName, QVariant::fromValue(kSans)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.style.toStdString());
        const AttributedString s =
            fromXHTML(QStringLiteral("<span style=\"%1\">x</span>").arg(c.style), sansBase());
        ASSERT_EQ(s.string(), "x");
        const QVariant value = s.attributesAtIndex(0).value(c.key);
        EXPECT_EQ(value.isValid(), c.expected.isValid());
        if (c.expected.isValid()) {
            EXPECT_EQ(value, c.expected) << value.value<Font>().description().toStdString();
        }
    }
    const AttributedString aligned = fromXHTML("<p style=\"text-align:Center\">x</p>");
    EXPECT_EQ(aligned.attributesAtIndex(0)
                  .value(NSParagraphStyleAttributeName)
                  .value<ParagraphStyle>()
                  .alignment,
              CenterTextAlignment);
}

TEST(XHTMLIn, SizesAndColours)
{
    const std::pair<QString, double> sizes[] = {
        {"150%", 18},      {"12pc", 144},  {"larger", 15}, {"smaller", 9.6}, {"10pt", 10},
        {"1cm", 28.34646}, {"medium", 12}, {"12", 12},     {"pt", 12},       {"1e1pt", 10},
    };
    for (const auto &[value, size] : sizes)
        EXPECT_DOUBLE_EQ(parseCSSSizSpec(value, 12), size) << value.toStdString();
    EXPECT_EQ(parseCSSColorSpec("gray"), Color::colorWithCalibratedWhite(0.5));
    EXPECT_FALSE(parseCSSColorSpec("#"));
    EXPECT_EQ(parseCSSColorSpec("#123456789"),
              Color::colorWithCalibratedRed(1, 1, 1)); // too long: the largest number
    EXPECT_EQ(CSSColorSpecFromColor(Color::colorWithCalibratedRed(1, 0.5, 0.999)), "#ff7ffe");
}

TEST(XHTMLOut, SpansCarryTheRunStyles)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    AttributedString s("plain\nnext", {{NSFontAttributeName, QVariant::fromValue(defaultFont())}});
    s.appendAttributedString(AttributedString(
        "Big", {{NSFontAttributeName, QVariant::fromValue(Font("LiberationSans-Bold", 18))},
                {NSUnderlineStyleAttributeName, 1},
                {NSForegroundColorAttributeName, QVariant::fromValue(textColor())}}));
    s.appendAttributedString(AttributedString(
        "red\n", {{NSFontAttributeName, QVariant::fromValue(Font("LiberationSerif-Italic", 12))},
                  {NSUnderlineStyleAttributeName, 0},
                  {NSForegroundColorAttributeName,
                   QVariant::fromValue(Color::colorWithCalibratedRed(1, 0, 0))},
                  {NSBackgroundColorAttributeName, QVariant::fromValue(textBackgroundColor())}}));
    const QString xhtml = XHTMLStringRepresentation(s);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(xhtml,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html><body "
              "style=\"white-space:pre-wrap;\">"
              "<span style=\"font-family:Helvetica;\">plain<br/>next</span>"
              "<span style=\"font-size:18.000000pt;text-decoration:underline;font-weight:bold;"
              "font-family:'Liberation Sans';\">Big</span>"
              "<span style=\"color:#ff0000;font-style:italic;font-family:'Liberation Serif';\">"
              "red<br/></span></body></html>\n");

    EXPECT_EQ(XHTMLStringRepresentation(AttributedString()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html><body/></html>\n");
}

TEST(XHTMLOut, WhatIsWrittenReadsBack)
{
    const QString text = "Tom & <Jerry> \"quoted\"";
    AttributedString s(text,
                       {{NSFontAttributeName, QVariant::fromValue(Font("LiberationSans-Bold", 20))},
                        {NSForegroundColorAttributeName,
                         QVariant::fromValue(Color::colorWithCalibratedRed(0, 0, 1))}});
    const AttributedString back = attributedStringWithXHTML(XHTMLRepresentation(s));
    EXPECT_EQ(back.string(), text);
    EXPECT_EQ(fontAt(back, 0), Font("LiberationSans-Bold", 20));
    EXPECT_EQ(back.attributesAtIndex(0).value(NSForegroundColorAttributeName).value<Color>(),
              Color::colorWithCalibratedRed(0, 0, 1));
}

TEST(XHTMLIn, DeepNestingKeepsTheText)
{
    QString xhtml;
    for (int i = 0; i < 1000; ++i)
        xhtml += "<span>";
    xhtml += "deep";
    for (int i = 0; i < 1000; ++i)
        xhtml += "</span>";
    EXPECT_EQ(fromXHTML(xhtml).string(), "deep");
}
