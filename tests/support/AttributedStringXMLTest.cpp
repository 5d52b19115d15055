#include "support/AttributedString.h"
#include "support/Color.h"
#include "support/Cursor.h"
#include "support/Font.h"
#include "support/FontRegistry.h"
#include "support/GlyphInfo.h"
#include "support/Image.h"
#include "support/ParagraphStyle.h"
#include "support/PropertyList.h"
#include "support/Shadow.h"
#include "support/TWWinFont.h"
#include "support/TWXMLUtils.h"
#include "support/TextAttachment.h"
#include "support/XMLDocument.h"

#include <QBuffer>
#include <QImage>
#include <QUrl>
#include <gtest/gtest.h>

// Readable QString values in failure messages.
static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

using Range = AttributedString::Range;

QStringList *capturedLog = nullptr;
void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    capturedLog->append(message);
}

struct LogCapture
{
    QStringList lines;
    QtMessageHandler previous;
    LogCapture()
    {
        capturedLog = &lines;
        previous = qInstallMessageHandler(captureMessage);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(previous);
        capturedLog = nullptr;
    }
    qsizetype count(const QString &line) const { return lines.count(line); }
};

QByteArray write(const AttributedString &s)
{
    return TWXMLUtils::xmlRepresentation([&](xmlNodePtr root) { s.addXmlDataToNode(root); })
        .toUtf8();
}

std::optional<AttributedString> read(const QByteArray &snippet, QStringList *notes = nullptr)
{
    std::optional<AttributedString> result;
    xmlDocPtr doc = XMLDetail::parseToXmlDoc(snippet);
    if (!doc) {
        ADD_FAILURE() << "not XML: " << snippet.constData();
        return result;
    }
    result = AttributedString::initWithXMLNode(xmlDocGetRootElement(doc), doc, notes);
    xmlFreeDoc(doc);
    return result;
}

// A snippet around the inner XML of an "NSAttributedString" element.
QByteArray element(const QByteArray &inner)
{
    return "<XMLObj><NSAttributedString>" + inner + "</NSAttributedString></XMLObj>";
}

QByteArray run(int start, int length, const QByteArray &children = {})
{
    return "<formatting><start>" + QByteArray::number(start) + "</start><length>" +
           QByteArray::number(length) + "</length>" + children + "</formatting>";
}

QByteArray colorChild(const char *name, double red)
{
    return QByteArray("<") + name + "><NSColor><redComponent>" + QByteArray::number(red) +
           "</redComponent><greenComponent>0</greenComponent><blueComponent>0</blueComponent>"
           "<alphaComponent>1</alphaComponent></NSColor></" +
           name + ">";
}

QVariant color(double r, double g, double b)
{
    return QVariant::fromValue(Color::colorWithCalibratedRed(r, g, b, 1.0));
}

QVariant font(const char *name, double size)
{
    return QVariant::fromValue(Font(QString::fromLatin1(name), size));
}

// The formatting elements of a snippet as "start,length:child child ...".
QStringList formattingSummary(const QByteArray &snippet)
{
    QStringList summary;
    const XMLElement root = XMLElement::parse(snippet);
    for (const XMLElement &f :
         root.elementForName("NSAttributedString").elementsForName("formatting")) {
        QStringList children;
        for (const XMLElement &c : f.elements())
            if (c.name() != u"start" && c.name() != u"length")
                children.append(c.name());
        summary.append(f.elementForName("start").stringValue() + "," +
                       f.elementForName("length").stringValue() + ":" + children.join(' '));
    }
    return summary;
}

const FontRegistry &fonts()
{
    return FontRegistry::shared();
}

// A label of a map as a user might make it: fonts (one from another machine),
// colours, a link, a paragraph style with its own tab stops, a LinkBack
// attachment, a shadow, numbers and text beyond the Basic Multilingual Plane.
AttributedString richText()
{
    const QString text = QStringLiteral("Title\tbody ") + QString::fromUcs4(U"\U0001F600") +
                         QStringLiteral(" link ") + QChar(0xFFFC) + QStringLiteral(" tail\r\nend");
    AttributedString s(text);
    const qsizetype n = s.length();
    ParagraphStyle style;
    style.alignment = CenterTextAlignment;
    style.headIndent = 12.5;
    style.tabStops = {TextTab(LeftTextAlignment, 36.0), TextTab(RightTextAlignment, 100.25)};
    s.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(style), {0, n - 3});
    s.addAttribute(NSFontAttributeName, font("DejaVuSans-Bold", 18), {0, 5});
    s.addAttribute(NSFontAttributeName, font("LiberationSerif", 12), {5, n - 5});
    s.addAttribute(NSFontAttributeName, font("NotInstalledHere-Regular", 11.5), {11, 2});
    s.addAttribute(NSForegroundColorAttributeName, color(0.25, 0.5, 0.75), {0, 5});
    s.addAttribute(NSBackgroundColorAttributeName, color(1, 1, 0), {11, 2});
    s.addAttribute(NSLinkAttributeName, QUrl(QStringLiteral("https://example.org/a%20b?q=1")),
                   {14, 4});
    s.addAttribute(NSUnderlineStyleAttributeName, 1, {14, 4});
    s.addAttribute(NSKernAttributeName, 1.5, {6, 4});
    s.addAttribute(NSSuperscriptAttributeName, -1, {n - 3, 3});
    s.addAttribute(NSToolTipAttributeName, QStringLiteral("a <tip> & more"), {0, 5});
    s.addAttribute(
        NSShadowAttributeName,
        QVariant::fromValue(Shadow(Size(2, -3), 4, Color::colorWithCalibratedRed(0, 0, 0, 0.5))),
        {0, 5});
    TextAttachment::FileWrapper file =
        TextAttachment::FileWrapper::regularFile("\x89PNG\r\n\x1a\n");
    file.filename = QStringLiteral("Picture 1.png");
    file.preferredFilename = QStringLiteral("Picture.png");
    const QVariantMap payload{{"sourceName", QStringLiteral("Sketch")},
                              {"version", 3},
                              {"bytes", QByteArray("\x00\x01", 2)}};
    s.addAttribute(NSAttachmentAttributeName,
                   QVariant::fromValue(TextAttachment::linkBackAttachment(file, payload, "KEY-1")),
                   {19, 1});
    return s;
}

} // namespace

TEST(AttributedStringXML, RichTextRoundTripsEqualAndWritesTheSameBytesAgain)
{
    ASSERT_TRUE(fonts().isInstalled("DejaVuSans-Bold"));
    ASSERT_FALSE(fonts().isInstalled("NotInstalledHere-Regular"));
    const AttributedString source = richText();
    const QByteArray first = write(source);
    const std::optional<AttributedString> back = read(first);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, source);
    EXPECT_EQ(write(*back), first);

    // The font from another machine is kept by name.
    EXPECT_EQ(back->attribute(NSFontAttributeName, 11).value<Font>(),
              Font("NotInstalledHere-Regular", 11.5));
    const TextAttachment attachment =
        back->attribute(NSAttachmentAttributeName, 19).value<TextAttachment>();
    EXPECT_TRUE(attachment.isLinkBackAttachment());
    EXPECT_EQ(attachment.linkBackItemKey(), QStringLiteral("KEY-1"));
    EXPECT_EQ(attachment.linkBackData().toMap().value("version"), QVariant(qlonglong(3)));
}

TEST(AttributedStringXML, WindowsFontRunReadsAsAnInstalledFontAndThenStaysPut)
{
    ASSERT_TRUE(fonts().isInstalled("DejaVuSans-BoldOblique"));
    AttributedString source = richText();
    const Range winRun{6, 4};
    source.addAttribute(TWWinFontAttributeName,
                        QVariant::fromValue(TWWinFont("DejaVuSans", 9, true, true)), winRun);

    QStringList notes;
    const std::optional<AttributedString> back = read(write(source), &notes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(notes, QStringList{"Used Windows Font"});

    AttributedString expected = source;
    expected.removeAttribute(TWWinFontAttributeName, winRun);
    expected.addAttribute(NSFontAttributeName, font("DejaVuSans-BoldOblique", 9), winRun);
    EXPECT_EQ(*back, expected);

    const QByteArray second = write(*back);
    EXPECT_EQ(read(second), expected);
    EXPECT_EQ(write(*read(second)), second);
}

TEST(AttributedStringXML, ExactElementText)
{
    // The first word has no font, the second is bold: one font run, for the
    // second word only. The colour runs of the last pass split where the font
    // changes.
    AttributedString s(QStringLiteral("plain bold"));
    s.addAttribute(NSFontAttributeName, font("DejaVuSans-Bold", 12), {6, 4});
    s.addAttribute(NSForegroundColorAttributeName, color(1, 0, 0), {0, 10});
    s.addAttribute(NSKernAttributeName, 0.5, {0, 2});
    s.addAttribute(NSStrikethroughStyleAttributeName, 2, {0, 2});
    const QByteArray xml = write(s);
    EXPECT_EQ(xml, QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>
<XMLObj>
  <NSAttributedString>
    <string>plain bold</string>
    <formatting>
      <start>6</start>
      <length>4</length>
      <NSFontAttributeName>
        <NSFont>
          <fontName>DejaVuSans-Bold</fontName>
          <size>12.000000</size>
        </NSFont>
      </NSFontAttributeName>
    </formatting>
    <formatting>
      <start>0</start>
      <length>2</length>
      <NSForegroundColorAttributeName>
        <NSColor>
          <redComponent>1.000000</redComponent>
          <greenComponent>0.000000</greenComponent>
          <blueComponent>0.000000</blueComponent>
          <alphaComponent>1.000000</alphaComponent>
        </NSColor>
      </NSForegroundColorAttributeName>
      <NSKernAttributeName>0.5</NSKernAttributeName>
      <NSStrikethroughStyleAttributeName>2</NSStrikethroughStyleAttributeName>
    </formatting>
    <formatting>
      <start>2</start>
      <length>4</length>
      <NSForegroundColorAttributeName>
        <NSColor>
          <redComponent>1.000000</redComponent>
          <greenComponent>0.000000</greenComponent>
          <blueComponent>0.000000</blueComponent>
          <alphaComponent>1.000000</alphaComponent>
        </NSColor>
      </NSForegroundColorAttributeName>
    </formatting>
    <formatting>
      <start>6</start>
      <length>4</length>
      <NSForegroundColorAttributeName>
        <NSColor>
          <redComponent>1.000000</redComponent>
          <greenComponent>0.000000</greenComponent>
          <blueComponent>0.000000</blueComponent>
          <alphaComponent>1.000000</alphaComponent>
        </NSColor>
      </NSForegroundColorAttributeName>
    </formatting>
  </NSAttributedString>
</XMLObj>
)"));
    const std::optional<AttributedString> back = read(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_FALSE(back->attribute(NSFontAttributeName, 0).isValid());
    Range range;
    EXPECT_EQ(back->attribute(NSFontAttributeName, 7, &range), font("DejaVuSans-Bold", 12));
    EXPECT_EQ(range, (Range{6, 4}));
    EXPECT_EQ(back->attribute(NSKernAttributeName, 0).typeId(), QMetaType::Double);
    EXPECT_EQ(back->attribute(NSStrikethroughStyleAttributeName, 0).typeId(), QMetaType::Int);
}

TEST(AttributedStringXML, PassesComeInOrderAndChildrenInTableOrder)
{
    ParagraphStyle style;
    style.alignment = RightTextAlignment;
    AttributedString s(QStringLiteral("abcdefgh"));
    // Set in an order unlike the element's, to see the writer sort them.
    s.addAttribute(NSToolTipAttributeName, QStringLiteral("t"), {0, 8});
    s.addAttribute(NSUnderlineColorAttributeName, color(0, 0, 1), {0, 8});
    s.addAttribute(NSLinkAttributeName, QStringLiteral("not a url object"), {0, 8});
    s.addAttribute(TWWinFontAttributeName, QVariant::fromValue(TWWinFont(" ", 10, false, false)),
                   {4, 4});
    s.addAttribute(NSFontAttributeName, font("LiberationSans", 10), {2, 4});
    s.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(style), {0, 8});
    s.addAttribute(QStringLiteral("NSMarkedClauseSegment"), 1, {7, 1});
    EXPECT_EQ(formattingSummary(write(s)),
              QStringList({"0,8:NSParagraphStyleAttributeName", "2,4:NSFontAttributeName",
                           "4,4:TWWinFontAttributeName",
                           "0,2:NSLinkAttributeName NSUnderlineColorAttributeName "
                           "NSToolTipAttributeName",
                           "2,2:NSLinkAttributeName NSUnderlineColorAttributeName "
                           "NSToolTipAttributeName",
                           "4,2:NSLinkAttributeName NSUnderlineColorAttributeName "
                           "NSToolTipAttributeName",
                           "6,1:NSLinkAttributeName NSUnderlineColorAttributeName "
                           "NSToolTipAttributeName",
                           "7,1:NSLinkAttributeName NSUnderlineColorAttributeName "
                           "NSToolTipAttributeName"}));

    // An attribute without an element form still gives its run, empty.
    AttributedString other(QStringLiteral("xy"));
    other.addAttribute(QStringLiteral("NSMarkedClauseSegment"), 1, {1, 1});
    EXPECT_EQ(formattingSummary(write(other)), QStringList({"1,1:"}));
}

TEST(AttributedStringXML, IllegalCharactersAreLeftOutAndRunsFollowTheCleanText)
{
    // NUL, vertical tab and zero-width joiner are left out, the tab stays.
    AttributedString s(QStringLiteral("a") + QChar(0) + QStringLiteral("b\vc\u200Dd\te"));
    s.addAttribute(NSForegroundColorAttributeName, color(1, 0, 0), {4, 4}); // c ZWJ d tab
    const QByteArray xml = write(s);
    EXPECT_TRUE(xml.contains("<string>abcd\te</string>")) << xml.constData();
    EXPECT_EQ(formattingSummary(xml), QStringList({"2,3:NSForegroundColorAttributeName"}));
    EXPECT_EQ(read(xml), s.attributedStringByRemovingIllegalCharacters());
}

TEST(AttributedStringXML, ReadTextWithCharactersATextCannotHoldIsCleanedWithALogLine)
{
    // Format and C1 control characters can stand in XML; they are dropped on
    // reading as they would be on the next save, keeping the runs in place.
    LogCapture log;
    const auto back = read(element("<string>a&#x200D;b&#x85;c</string>" +
                                   run(2, 1, "<NSKernAttributeName>2</NSKernAttributeName>")));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->string(), QStringLiteral("abc"));
    EXPECT_EQ(back->attribute(NSKernAttributeName, 1), QVariant(2.0));
    EXPECT_FALSE(back->attribute(NSKernAttributeName, 2).isValid());
    EXPECT_EQ(log.lines.size(), 1);
}

TEST(AttributedStringXML, EmptyAndMissingText)
{
    const QByteArray xml = write(AttributedString());
    EXPECT_TRUE(xml.contains("<string></string>") || xml.contains("<string/>"));
    EXPECT_FALSE(xml.contains("formatting"));
    // An empty text comes back as an empty text, not as nothing.
    LogCapture log;
    const auto back = read(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(back->isEmpty());
    EXPECT_TRUE(log.lines.isEmpty());

    EXPECT_FALSE(read(element(run(0, 1))).has_value());
    EXPECT_EQ(log.count("No string defined for attributed string"), 1);
    EXPECT_FALSE(read("<XMLObj/>").has_value());
}

TEST(AttributedStringXML, CraftedRunTablesLoseOnlyTheBadRuns)
{
    LogCapture log;
    const QByteArray red = colorChild("NSForegroundColorAttributeName", 1);
    const QByteArray kern = "<NSKernAttributeName>3</NSKernAttributeName>";
    const auto back =
        read(element("<string>0123456789</string>" + run(-1, 3, kern) + run(2, -4, kern) +
                     run(11, 1, kern) + "<formatting><length>2</length>" + kern + "</formatting>" +
                     "<formatting><start>1</start>" + kern + "</formatting>" + run(5, 100, red) +
                     run(0, 2, kern) + run(10, 0, kern) + run(2147483647, 2147483647, kern)));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->string(), QStringLiteral("0123456789"));

    // The length past the end is cut: characters 5 to 9.
    Range range;
    EXPECT_TRUE(back->attribute(NSForegroundColorAttributeName, 5, &range).isValid());
    EXPECT_EQ(range, (Range{5, 5}));
    EXPECT_EQ(back->attribute(NSKernAttributeName, 0, &range), QVariant(3.0));
    EXPECT_EQ(range, (Range{0, 2}));
    EXPECT_FALSE(back->attribute(NSKernAttributeName, 2, &range).isValid());
    EXPECT_EQ(range, (Range{2, 8}));

    EXPECT_EQ(log.count("No formatting start for attributed string"), 1);
    EXPECT_EQ(log.count("No formatting length for attributed string"), 1);
    EXPECT_EQ(log.lines.filter("lies outside a text").size(), 4);
}

TEST(AttributedStringXML, LaterRunsWinAndUnknownChildrenAreLogged)
{
    LogCapture log;
    const auto back = read(element("<string>abcd</string>" +
                                   run(0, 4, colorChild("NSForegroundColorAttributeName", 1)) +
                                   run(1, 2,
                                       colorChild("NSForegroundColorAttributeName", 0.5) +
                                           "<NSFancyAttributeName>x</NSFancyAttributeName>" +
                                           "<NSUnderlineStyleAttributeName>1"
                                           "</NSUnderlineStyleAttributeName>")));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->attribute(NSForegroundColorAttributeName, 0).value<Color>().redComponent(),
              1.0);
    EXPECT_EQ(back->attribute(NSForegroundColorAttributeName, 1).value<Color>().redComponent(),
              0.5);
    EXPECT_EQ(back->attribute(NSForegroundColorAttributeName, 3).value<Color>().redComponent(),
              1.0);
    EXPECT_EQ(back->attribute(NSUnderlineStyleAttributeName, 2), QVariant(1));
    EXPECT_EQ(log.lines.filter("NSFancyAttributeName").size(), 1);
}

TEST(AttributedStringXML, LinksThatAreNoURLAreDropped)
{
    LogCapture log;
    const auto back =
        read(element("<string>ab</string>" +
                     run(0, 1, "<NSLinkAttributeName>http://a b/</NSLinkAttributeName>") +
                     run(1, 1, "<NSLinkAttributeName>mailto:x@y.org</NSLinkAttributeName>")));
    ASSERT_TRUE(back.has_value());
    EXPECT_FALSE(back->attribute(NSLinkAttributeName, 0).isValid());
    EXPECT_EQ(back->attribute(NSLinkAttributeName, 1), QVariant(QUrl("mailto:x@y.org")));
    EXPECT_EQ(log.lines.size(), 1);
}

TEST(AttributedStringXMLAttachments, OnlyFileContentsAreWritten)
{
    AttributedString s(QStringLiteral("ab"));
    s.addAttribute(NSAttachmentAttributeName,
                   QVariant::fromValue(TextAttachment(TextAttachment::FileWrapper::directory())),
                   {0, 1});
    s.addAttribute(
        NSAttachmentAttributeName,
        QVariant::fromValue(TextAttachment(TextAttachment::FileWrapper::regularFile({}))), {1, 1});
    const QByteArray xml = write(s);
    // The folder gives an empty run; the empty file is a file, with empty data.
    EXPECT_EQ(formattingSummary(xml), QStringList({"0,1:", "1,1:NSAttachmentAttributeName"}));
    const auto back = read(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_FALSE(back->attribute(NSAttachmentAttributeName, 0).isValid());
    EXPECT_EQ(back->attribute(NSAttachmentAttributeName, 1).value<TextAttachment>(),
              TextAttachment(TextAttachment::FileWrapper::regularFile({})));
}

TEST(AttributedStringXMLAttachments, BrokenBase64LosesTheAttachmentOnly)
{
    LogCapture log;
    const auto back = read(element(
        "<string>abc</string>" +
        run(0, 1, "<NSAttachmentAttributeName><data>QUJ</data></NSAttachmentAttributeName>") +
        run(1, 1,
            "<NSAttachmentAttributeName><data>Q\xc3\xa9JD</data></NSAttachmentAttributeName>"
            "<NSKernAttributeName>1</NSKernAttributeName>") +
        run(2, 1,
            "<NSAttachmentAttributeName><filename>f</filename></NSAttachmentAttributeName>")));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->string(), QStringLiteral("abc"));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(back->attribute(NSAttachmentAttributeName, i).isValid()) << i;
    EXPECT_EQ(back->attribute(NSKernAttributeName, 1), QVariant(1.0));
    EXPECT_EQ(log.lines.filter("Base64Error").size(), 1);
    EXPECT_EQ(log.lines.size(), 3);
}

TEST(AttributedStringXMLAttachments, LinkBackPayloads)
{
    const auto file = TextAttachment::FileWrapper::regularFile("data");
    AttributedString s(QStringLiteral("ab"));
    // A payload that cannot be written loses the LinkBack side, with a log line.
    s.addAttribute(NSAttachmentAttributeName,
                   QVariant::fromValue(TextAttachment::linkBackAttachment(file, QVariant(), "K")),
                   {0, 1});
    s.addAttribute(NSAttachmentAttributeName,
                   QVariant::fromValue(TextAttachment::linkBackAttachment(
                       file, QVariantList{QStringLiteral("x"), 1.25})),
                   {1, 1});
    LogCapture log;
    const QByteArray xml = write(s);
    EXPECT_EQ(log.lines.filter("Property list invalid for format").size(), 1);
    EXPECT_EQ(formattingSummary(xml),
              QStringList({"0,1:LinkBackAttachmentAttributeName NSAttachmentAttributeName",
                           "1,1:LinkBackAttachmentAttributeName NSAttachmentAttributeName"}));
    const auto back = read(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->attribute(NSAttachmentAttributeName, 0).value<TextAttachment>(),
              TextAttachment(file));
    const TextAttachment linkBack =
        back->attribute(NSAttachmentAttributeName, 1).value<TextAttachment>();
    EXPECT_EQ(linkBack, s.attribute(NSAttachmentAttributeName, 1).value<TextAttachment>());
    EXPECT_FALSE(linkBack.linkBackItemKey().isEmpty());

    // A payload that does not parse gives a plain attachment and the parser's reason.
    log.lines.clear();
    const QByteArray notAPlist = QByteArray("<plist><foo/></plist>").toBase64();
    const auto plain = read(element(
        "<string>x</string>" +
        run(0, 1,
            "<LinkBackAttachmentAttributeName><linkBackData>" + notAPlist +
                "</linkBackData><linkBackItemKey>K</linkBackItemKey>"
                "</LinkBackAttachmentAttributeName>"
                "<NSAttachmentAttributeName><data>ZGF0YQ==</data></NSAttachmentAttributeName>")));
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->attribute(NSAttachmentAttributeName, 0).value<TextAttachment>(),
              TextAttachment(file));
    EXPECT_EQ(log.lines.filter("Malformed property list").size(), 1);
}

TEST(AttributedStringXMLWindowsFonts, FirstWordNamesAnInstalledFont)
{
    ASSERT_TRUE(fonts().isInstalled("DejaVuSans-Oblique"));
    QStringList notes;
    LogCapture log;
    const auto back = read(
        element(
            "<string>abc</string>" +
            run(0, 3,
                "<NSFontAttributeName><NSFont><fontName>LiberationSans</fontName><size>20</size>"
                "</NSFont></NSFontAttributeName><TWWinFontAttributeName><TWWinFont>"
                "<name>DejaVuSans Fancy</name><size>13</size><bold>NO</bold>"
                "<italic>YES</italic></TWWinFont></TWWinFontAttributeName>")),
        &notes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->attribute(NSFontAttributeName, 0), font("DejaVuSans-Oblique", 13));
    EXPECT_FALSE(back->attribute(TWWinFontAttributeName, 0).isValid());
    EXPECT_EQ(log.lines,
              QStringList{"Missing font: DejaVuSans Fancy Using replacement font: DejaVuSans"});
    EXPECT_EQ(notes, QStringList{"Used Windows Font"});
}

TEST(AttributedStringXMLWindowsFonts, FirstInstalledNameBeginningWithTheFirstWord)
{
    QString expected;
    for (const QString &name : fonts().availableFonts())
        if (name.startsWith("Liberation")) {
            expected = name;
            break;
        }
    ASSERT_FALSE(expected.isEmpty());
    LogCapture log;
    const auto back = read(
        element("<string>a</string>" + run(0, 1,
                                           "<TWWinFontAttributeName><TWWinFont><name>Liberation "
                                           "Foo</name><size>8</size></TWWinFont>"
                                           "</TWWinFontAttributeName>")));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->attribute(NSFontAttributeName, 0).value<Font>(), Font(expected, 8));
    EXPECT_EQ(log.lines,
              QStringList{"Missing font: Liberation Foo Using replacement font: " + expected});
}

TEST(AttributedStringXMLWindowsFonts, NothingMatchesGivesTheFixedPitchFont)
{
    QStringList notes;
    LogCapture log;
    const QByteArray winFont = "<TWWinFontAttributeName><TWWinFont><name>Wingdings Extra</name>"
                               "<size>7</size></TWWinFont></TWWinFontAttributeName>";
    const auto back =
        read(element("<string>ab</string>" + run(0, 1, winFont) + run(1, 1, winFont)), &notes);
    ASSERT_TRUE(back.has_value());
    const Font replacement = back->attribute(NSFontAttributeName, 0).value<Font>();
    EXPECT_EQ(replacement.pointSize(), 7);
    EXPECT_TRUE(fonts().traits(replacement.fontName()) & FontRegistry::FixedPitchTrait)
        << qPrintable(replacement.fontName());
    EXPECT_EQ(log.count("Missing font Wingdings Extra no replacement found"), 2);
    EXPECT_EQ(notes, QStringList({"Used Windows Font", "Used Windows Font"}));
}

TEST(AttributedStringXMLWindowsFonts, ABlankNameIsIgnored)
{
    QStringList notes;
    const auto back =
        read(element("<string>a</string>" + run(0, 1,
                                                "<TWWinFontAttributeName><TWWinFont><name> </name>"
                                                "</TWWinFont></TWWinFontAttributeName>")),
             &notes);
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(back->attributesAtIndex(0).isEmpty());
    EXPECT_TRUE(notes.isEmpty());
}

TEST(AttributedStringXML, OffsetsAroundAstralCharacters)
{
    const QString smile = QString::fromUcs4(U"\U0001F600");
    AttributedString s(smile + "a" + smile + "b");
    s.addAttribute(NSForegroundColorAttributeName, color(0, 1, 0), {3, 2});
    const QByteArray xml = write(s);
    EXPECT_EQ(formattingSummary(xml), QStringList({"3,2:NSForegroundColorAttributeName"}));
    EXPECT_EQ(read(xml), s);
}

TEST(AttributedStringXML, CursorsAndGlyphInfos)
{
    QImage picture(4, 4, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "PNG"));
    const std::optional<Image> image = Image::initWithData(png);
    ASSERT_TRUE(image.has_value());

    AttributedString s(QStringLiteral("abcd"));
    s.addAttribute(NSCursorAttributeName, QVariant::fromValue(Cursor(Cursor::IBeamCursor)), {0, 1});
    Cursor custom(image, Point(1, 2));
    custom.setOnMouseEntered(true);
    s.addAttribute(NSCursorAttributeName, QVariant::fromValue(custom), {1, 1});
    s.addAttribute(NSGlyphInfoAttributeName,
                   QVariant::fromValue(GlyphInfo::glyphInfoWithCharacterIdentifier(7, 1, "c")),
                   {2, 1});
    s.addAttribute(NSGlyphInfoAttributeName,
                   QVariant::fromValue(GlyphInfo::glyphInfoWithGlyphName(
                       QStringLiteral("a.alt"), Font("LiberationSans", 12), QStringLiteral("d"))),
                   {3, 1});
    const QByteArray xml = write(s);
    EXPECT_EQ(formattingSummary(xml),
              QStringList({"0,1:NSCursorAttributeName", "1,1:NSCursorAttributeName",
                           "2,1:NSGlyphInfoAttributeName", "3,1:NSGlyphInfoAttributeName"}));
    const auto back = read(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, s);
    EXPECT_EQ(write(*back), xml);

    // A standard cursor of an unknown name reads as nothing.
    const auto unknown =
        read(element("<string>a</string>" + run(0, 1,
                                                "<NSCursorAttributeName><NSCursor><standardCursor>"
                                                "busyCursor</standardCursor></NSCursor>"
                                                "</NSCursorAttributeName>")));
    ASSERT_TRUE(unknown.has_value());
    EXPECT_TRUE(unknown->attributesAtIndex(0).isEmpty());
}

TEST(AttributedStringXML, ElementRouteGoesThroughTheSnippet)
{
    AttributedString s(QStringLiteral("Fonts, colours, styles and links"));
    ParagraphStyle style;
    style.tabStops = {TextTab(CenterTextAlignment, 50)};
    s.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(style), {0, 32});
    s.addAttribute(NSFontAttributeName, font("LiberationMono-Bold", 9), {0, 5});
    s.addAttribute(NSForegroundColorAttributeName, color(0.1, 0.2, 0.3), {7, 7});
    s.addAttribute(NSLinkAttributeName, QUrl("https://example.org/"), {27, 5});

    const XMLElement e = s.freshXMLElement();
    ASSERT_FALSE(e.isNull());
    EXPECT_EQ(e.name(), QStringLiteral("NSAttributedString"));
    EXPECT_TRUE(e.parent().isNull());
    EXPECT_EQ(AttributedString::objectWithXMLElement(e), s);
    EXPECT_FALSE(AttributedString::objectWithXMLElement(XMLElement()).has_value());

    // Containers find the class by its element name.
    EXPECT_EQ(TWXMLProtocol::objectWithXMLElement(e).value<AttributedString>(), s);
    EXPECT_EQ(TWXMLProtocol::freshXMLElement(QVariant::fromValue(s)).xmlString(), e.xmlString());
}
