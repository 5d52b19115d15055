#include "ImageTestData.h"
#include "TestHelpers.h"
#include "support/AttributedString.h"
#include "support/Cursor.h"
#include "support/Font.h"
#include "support/FontRegistry.h"
#include "support/GlyphInfo.h"
#include "support/Image.h"
#include "support/ParagraphStyle.h"
#include "support/Shadow.h"
#include "support/TWWinFont.h"
#include "support/TextAttachment.h"

#include <QUrl>

namespace {

using Range = AttributedString::Range;

std::optional<AttributedString> read(const QString &innerXML, QStringList *notes = nullptr)
{
    return XMLTest::readFrom(innerXML, [&](xmlNodePtr node, xmlDocPtr doc) {
        return AttributedString::initWithXMLNode(node, doc, notes);
    });
}

// An "NSAttributedString" element around a text and its runs.
QString element(const QString &text, const QString &runs = {})
{
    return "<NSAttributedString><string>" + text + "</string>" + runs + "</NSAttributedString>";
}

QString run(int start, int length, const QString &children = {})
{
    return QString("<formatting><start>%1</start><length>%2</length>%3</formatting>")
        .arg(start)
        .arg(length)
        .arg(children);
}

const QString kKern3 = "<NSKernAttributeName>3</NSKernAttributeName>";

QVariant color(double r, double g, double b)
{
    return QVariant::fromValue(Color::colorWithCalibratedRed(r, g, b, 1.0));
}

QVariant font(const char *name, double size)
{
    return QVariant::fromValue(Font(QString::fromLatin1(name), size));
}

// The formatting elements written as "start,length:child child ...".
QStringList formattingSummary(const AttributedString &s)
{
    XMLElement parent = XMLElement::create("parent");
    s.addXmlDataToNode(parent.node());
    QStringList summary;
    for (const XMLElement &f :
         parent.elementForName("NSAttributedString").elementsForName("formatting")) {
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

// A label as a user might make it: fonts (one from another machine), colours,
// a link, a paragraph style with its own tab stops, a LinkBack attachment, a
// shadow, cursors, glyph infos, numbers and text beyond the basic plane.
AttributedString richText()
{
    const QString text = QStringLiteral("Title\tbody ") + QString::fromUcs4(U"\U0001F600") +
                         QStringLiteral(" link ") + QChar(0xFFFC) + QStringLiteral(" tail\r\nend");
    AttributedString s(text);
    const qsizetype n = s.length();
    ParagraphStyle style;
    style.alignment = CenterTextAlignment;
    style.tabStops = {TextTab(LeftTextAlignment, 36.0), TextTab(RightTextAlignment, 100.25)};
    s.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(style), {0, n - 3});
    s.addAttribute(NSFontAttributeName, font("DejaVuSans-Bold", 18), {0, 5});
    s.addAttribute(NSFontAttributeName, font("LiberationSerif", 12), {5, n - 5});
    s.addAttribute(NSFontAttributeName, font("NotInstalledHere-Regular", 11.5), {11, 2});
    s.addAttribute(NSForegroundColorAttributeName, color(0.25, 0.5, 0.75), {0, 5});
    s.addAttribute(NSBackgroundColorAttributeName, color(1, 1, 0), {11, 2});
    s.addAttribute(NSLinkAttributeName, QUrl("https://example.org/a%20b?q=1"), {14, 4});
    s.addAttribute(NSUnderlineStyleAttributeName, 1, {14, 4});
    s.addAttribute(NSKernAttributeName, 1.5, {6, 4});
    s.addAttribute(NSSuperscriptAttributeName, -1, {n - 3, 3});
    s.addAttribute(NSToolTipAttributeName, QStringLiteral("a <tip> & more"), {0, 5});
    s.addAttribute(
        NSShadowAttributeName,
        QVariant::fromValue(Shadow(Size(2, -3), 4, Color::colorWithCalibratedRed(0, 0, 0, 0.5))),
        {0, 5});
    TextAttachment::FileWrapper file = TextAttachment::FileWrapper::regularFile("\x89PNG\r\n");
    file.filename = QStringLiteral("Picture 1.png");
    file.preferredFilename = QStringLiteral("Picture.png");
    const QVariantMap payload{{"sourceName", QStringLiteral("Sketch")},
                              {"version", 3},
                              {"bytes", QByteArray("\x00\x01", 2)}};
    s.addAttribute(NSAttachmentAttributeName,
                   QVariant::fromValue(TextAttachment::linkBackAttachment(file, payload, "KEY-1")),
                   {19, 1});
    Cursor custom(Image::initWithData(ImageTestData::encoded("png")), Point(1, 2));
    custom.setOnMouseEntered(true);
    s.addAttribute(NSCursorAttributeName, QVariant::fromValue(custom), {1, 1});
    s.addAttribute(NSCursorAttributeName, QVariant::fromValue(Cursor(Cursor::IBeamCursor)), {2, 1});
    s.addAttribute(NSGlyphInfoAttributeName,
                   QVariant::fromValue(GlyphInfo::glyphInfoWithCharacterIdentifier(7, 1, "c")),
                   {20, 1});
    s.addAttribute(NSGlyphInfoAttributeName,
                   QVariant::fromValue(GlyphInfo::glyphInfoWithGlyphName(
                       QStringLiteral("a.alt"), Font("LiberationSans", 12), QStringLiteral("d"))),
                   {21, 1});
    return s;
}

TEST(AttributedStringXML, RichTextRoundTripsEqualAndWritesTheSameAgain)
{
    ASSERT_TRUE(fonts().isInstalled("DejaVuSans-Bold"));
    ASSERT_FALSE(fonts().isInstalled("NotInstalledHere-Regular"));
    const AttributedString source = richText();
    const QString first = XMLTest::written(source);
    const std::optional<AttributedString> back = read(first);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, source);
    EXPECT_EQ(XMLTest::written(*back), first);
    EXPECT_EQ(back->attribute(NSFontAttributeName, 11), font("NotInstalledHere-Regular", 11.5));
    EXPECT_EQ(
        back->attribute(NSAttachmentAttributeName, 19).value<TextAttachment>().linkBackItemKey(),
        "KEY-1");

    // The element route goes through the snippet.
    const XMLElement e = source.freshXMLElement();
    EXPECT_EQ(e.name(), QStringLiteral("NSAttributedString"));
    EXPECT_EQ(AttributedString::objectWithXMLElement(e), source);
    EXPECT_FALSE(AttributedString::objectWithXMLElement(XMLElement()).has_value());
}

// Each attribute pass is a set of runs of its own: fonts first, then the
// others. A run of the later pass splits where an earlier one changes.
TEST(AttributedStringXML, ExactElementText)
{
    AttributedString s(QStringLiteral("plain bold"));
    s.addAttribute(NSFontAttributeName, font("DejaVuSans-Bold", 12), {6, 4});
    s.addAttribute(NSForegroundColorAttributeName, color(1, 0, 0), {0, 10});
    s.addAttribute(NSKernAttributeName, 0.5, {0, 2});
    s.addAttribute(NSStrikethroughStyleAttributeName, 2, {0, 2});
    const QString red = "<NSForegroundColorAttributeName><NSColor><redComponent>1.000000"
                        "</redComponent><greenComponent>0.000000</greenComponent><blueComponent>"
                        "0.000000</blueComponent><alphaComponent>1.000000</alphaComponent>"
                        "</NSColor></NSForegroundColorAttributeName>";
    const QString xml = XMLTest::written(s);
    EXPECT_EQ(xml, element("plain bold",
                           run(6, 4,
                               "<NSFontAttributeName><NSFont><fontName>DejaVuSans-Bold</fontName>"
                               "<size>12.000000</size></NSFont></NSFontAttributeName>") +
                               run(0, 2,
                                   red + "<NSKernAttributeName>0.5</NSKernAttributeName>"
                                         "<NSStrikethroughStyleAttributeName>2"
                                         "</NSStrikethroughStyleAttributeName>") +
                               run(2, 4, red) + run(6, 4, red)));
    const std::optional<AttributedString> back = read(xml);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, s);
    EXPECT_EQ(back->attribute(NSKernAttributeName, 0).typeId(), QMetaType::Double);
    EXPECT_EQ(back->attribute(NSStrikethroughStyleAttributeName, 0).typeId(), QMetaType::Int);
}

TEST(AttributedStringXML, ChildrenComeInTableOrder)
{
    AttributedString s(QStringLiteral("abcdefgh"));
    // Set in an order unlike the element's, to see the writer sort them.
    s.addAttribute(NSToolTipAttributeName, QStringLiteral("t"), {0, 8});
    s.addAttribute(NSUnderlineColorAttributeName, color(0, 0, 1), {0, 8});
    s.addAttribute(NSLinkAttributeName, QStringLiteral("not a url object"), {0, 8});
    s.addAttribute(TWWinFontAttributeName, QVariant::fromValue(TWWinFont(" ", 10, false, false)),
                   {4, 4});
    s.addAttribute(NSFontAttributeName, font("LiberationSans", 10), {2, 4});
    s.addAttribute(NSParagraphStyleAttributeName, QVariant::fromValue(ParagraphStyle()), {0, 8});
    // An attribute without an element form still gives its run, empty.
    s.addAttribute(QStringLiteral("NSMarkedClauseSegment"), 1, {7, 1});
    const QString rest = "NSLinkAttributeName NSUnderlineColorAttributeName NSToolTipAttributeName";
    EXPECT_EQ(formattingSummary(s),
              QStringList({"0,8:NSParagraphStyleAttributeName", "2,4:NSFontAttributeName",
                           "4,4:TWWinFontAttributeName", "0,2:" + rest, "2,2:" + rest,
                           "4,2:" + rest, "6,1:" + rest, "7,1:" + rest}));
}

TEST(AttributedStringXML, IllegalCharactersAreLeftOutOnWritingAndOnReading)
{
    AttributedString s(QStringLiteral("a") + QChar(0) + QStringLiteral("b\vc\u200Dd\te"));
    s.addAttribute(NSForegroundColorAttributeName, color(1, 0, 0), {4, 4}); // c ZWJ d tab
    const QString xml = XMLTest::written(s);
    EXPECT_TRUE(xml.contains("<string>abcd\te</string>")) << xml.toStdString();
    EXPECT_EQ(formattingSummary(s), QStringList({"2,3:NSForegroundColorAttributeName"}));
    EXPECT_EQ(read(xml), s.attributedStringByRemovingIllegalCharacters());

    // Format and C1 control characters can stand in XML: dropped with a log
    // line, the runs kept in place.
    LogCapture log;
    const auto back = read(element("a&#x200D;b&#x85;c", run(2, 1, kKern3)));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->string(), QStringLiteral("abc"));
    EXPECT_EQ(back->attribute(NSKernAttributeName, 1), QVariant(3.0));
    EXPECT_FALSE(back->attribute(NSKernAttributeName, 2).isValid());
    EXPECT_EQ(log.lines().size(), 1);
}

TEST(AttributedStringXML, OffsetsCountUTF16UnitsAroundAstralCharacters)
{
    const QString smile = QString::fromUcs4(U"\U0001F600");
    AttributedString s(smile + "a" + smile + "b");
    s.addAttribute(NSForegroundColorAttributeName, color(0, 1, 0), {3, 2});
    EXPECT_EQ(formattingSummary(s), QStringList({"3,2:NSForegroundColorAttributeName"}));
    EXPECT_EQ(read(XMLTest::written(s)), s);
}

TEST(AttributedStringXML, EmptyAndMissingText)
{
    LogCapture log;
    const QString xml = XMLTest::written(AttributedString());
    EXPECT_EQ(xml, "<NSAttributedString><string></string></NSAttributedString>");
    EXPECT_EQ(read(xml), AttributedString());
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(read("<NSAttributedString>" + run(0, 1) + "</NSAttributedString>"));
    EXPECT_EQ(log.lines(), QStringList{"No string defined for attributed string"});
    EXPECT_FALSE(read(""));
}

// Runs outside the text are skipped, a length past the end is cut, later
// runs win, and unknown children, links that are no URL and unknown cursors
// are left out; every one with a log line.
TEST(AttributedStringXML, CraftedRunsLoseOnlyWhatIsBad)
{
    const QString red = "<NSForegroundColorAttributeName><NSColor><redComponent>1</redComponent>"
                        "<alphaComponent>1</alphaComponent></NSColor>"
                        "</NSForegroundColorAttributeName>";
    LogCapture log;
    const auto back = read(element(
        "0123456789",
        run(-1, 3, kKern3) + run(2, -4, kKern3) + run(11, 1, kKern3) +
            "<formatting><length>2</length>" + kKern3 +
            "</formatting><formatting><start>1</start>" + kKern3 + "</formatting>" +
            run(5, 100, red) + run(0, 2, kKern3) + run(10, 0, kKern3) +
            run(2147483647, 2147483647, kKern3) +
            run(6, 1,
                "<NSForegroundColorAttributeName><NSColor/></NSForegroundColorAttributeName>"
                "<NSFancyAttributeName>x</NSFancyAttributeName>"
                "<NSLinkAttributeName>http://a b/</NSLinkAttributeName>"
                "<NSCursorAttributeName><NSCursor><standardCursor>busyCursor</standardCursor>"
                "</NSCursor></NSCursorAttributeName>") +
            run(7, 1, "<NSLinkAttributeName>mailto:x@y.org</NSLinkAttributeName>")));
    ASSERT_TRUE(back.has_value());
    AttributedString expected(QStringLiteral("0123456789"));
    expected.addAttribute(NSKernAttributeName, 3.0, {0, 2});
    expected.addAttribute(NSForegroundColorAttributeName, color(1, 0, 0), {5, 5});
    expected.addAttribute(NSForegroundColorAttributeName,
                          QVariant::fromValue(Color::colorWithCalibratedRed(0, 0, 0, 0)), {6, 1});
    expected.addAttribute(NSLinkAttributeName, QUrl("mailto:x@y.org"), {7, 1});
    EXPECT_EQ(*back, expected);
    EXPECT_EQ(log.count("No formatting start for attributed string"), 1);
    EXPECT_EQ(log.count("No formatting length for attributed string"), 1);
    EXPECT_EQ(log.containing("lies outside a text"), 4);
    EXPECT_EQ(log.containing("NSFancyAttributeName"), 1);
    EXPECT_EQ(log.containing("is no URL"), 1);
    EXPECT_EQ(log.count("Unknown standard cursor busyCursor"), 1);
    EXPECT_EQ(log.lines().size(), 9);
}

TEST(AttributedStringXML, Attachments)
{
    // Only file contents are written: a folder gives an empty run.
    AttributedString s(QStringLiteral("ab"));
    const TextAttachment emptyFile(TextAttachment::FileWrapper::regularFile({}));
    s.addAttribute(NSAttachmentAttributeName,
                   QVariant::fromValue(TextAttachment(TextAttachment::FileWrapper::directory())),
                   {0, 1});
    s.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(emptyFile), {1, 1});
    EXPECT_EQ(formattingSummary(s), QStringList({"0,1:", "1,1:NSAttachmentAttributeName"}));
    AttributedString expected(QStringLiteral("ab"));
    expected.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(emptyFile), {1, 1});
    EXPECT_EQ(read(XMLTest::written(s)), expected);

    // Broken Base64 or no data loses the attachment only.
    LogCapture log;
    const auto broken = read(element(
        "abc",
        run(0, 1, "<NSAttachmentAttributeName><data>QUJ</data></NSAttachmentAttributeName>") +
            run(1, 1,
                "<NSAttachmentAttributeName><data>Q\xc3\xa9JD</data></NSAttachmentAttributeName>" +
                    kKern3) +
            run(2, 1,
                "<NSAttachmentAttributeName><filename>f</filename></NSAttachmentAttributeName>")));
    AttributedString kernOnly(QStringLiteral("abc"));
    kernOnly.addAttribute(NSKernAttributeName, 3.0, {1, 1});
    EXPECT_EQ(broken, kernOnly);
    EXPECT_EQ(log.containing("Base64Error"), 1);
    EXPECT_EQ(log.lines().size(), 3);
}

TEST(AttributedStringXML, LinkBackPayloads)
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
    const QString xml = XMLTest::written(s);
    EXPECT_EQ(log.containing("Property list invalid for format"), 1);
    AttributedString expected = s;
    expected.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(TextAttachment(file)),
                          {0, 1});
    EXPECT_EQ(read(xml), expected);

    // A payload that does not parse gives a plain attachment and the reason.
    log.clear();
    const auto plain = read(element(
        "x", run(0, 1,
                 "<LinkBackAttachmentAttributeName><linkBackData>" +
                     QByteArray("<plist><foo/></plist>").toBase64() +
                     "</linkBackData><linkBackItemKey>K</linkBackItemKey>"
                     "</LinkBackAttachmentAttributeName><NSAttachmentAttributeName><data>ZGF0YQ=="
                     "</data></NSAttachmentAttributeName>")));
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->attribute(NSAttachmentAttributeName, 0).value<TextAttachment>(),
              TextAttachment(file));
    EXPECT_EQ(log.containing("Malformed property list"), 1);
}

TEST(AttributedStringXML, WindowsFontRunReadsAsAnInstalledFontAndThenStaysPut)
{
    ASSERT_TRUE(fonts().isInstalled("DejaVuSans-BoldOblique"));
    AttributedString source = richText();
    source.addAttribute(TWWinFontAttributeName,
                        QVariant::fromValue(TWWinFont("DejaVuSans", 9, true, true)), {6, 4});
    QStringList notes;
    const std::optional<AttributedString> back = read(XMLTest::written(source), &notes);
    EXPECT_EQ(notes, QStringList{"Used Windows Font"});
    AttributedString expected = source;
    expected.removeAttribute(TWWinFontAttributeName, {6, 4});
    expected.addAttribute(NSFontAttributeName, font("DejaVuSans-BoldOblique", 9), {6, 4});
    EXPECT_EQ(back, expected);
    EXPECT_EQ(read(XMLTest::written(expected)), expected);
}

// The first word of a Windows name picks the installed font: that family's
// face with the flags, else the first name starting with the word, else a
// fixed pitch font. A blank name is ignored.
TEST(AttributedStringXML, WindowsFontReplacement)
{
    QString firstLiberation;
    for (const QString &name : fonts().availableFonts())
        if (name.startsWith("Liberation") && firstLiberation.isEmpty())
            firstLiberation = name;
    const struct
    {
        QString winFont;
        QString font; // empty: any fixed pitch font
        QString log;
    } cases[] = {
        {"<name>DejaVuSans Fancy</name><size>13</size><bold>NO</bold><italic>YES</italic>",
         "DejaVuSans-Oblique", "Missing font: DejaVuSans Fancy Using replacement font: DejaVuSans"},
        {"<name>Liberation Foo</name><size>13</size>", firstLiberation,
         "Missing font: Liberation Foo Using replacement font: " + firstLiberation},
        {"<name>Wingdings Extra</name><size>13</size>", "",
         "Missing font Wingdings Extra no replacement found"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.winFont.toStdString());
        QStringList notes;
        LogCapture log;
        // A font of the run gives way to the Windows font.
        const auto back = read(
            element("ab", run(0, 2,
                              "<NSFontAttributeName><NSFont><fontName>LiberationSans</fontName>"
                              "<size>20</size></NSFont></NSFontAttributeName>"
                              "<TWWinFontAttributeName><TWWinFont>" +
                                  c.winFont + "</TWWinFont></TWWinFontAttributeName>")),
            &notes);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->attributesAtIndex(0).keys(), QStringList{NSFontAttributeName});
        const Font f = back->attribute(NSFontAttributeName, 0).value<Font>();
        if (c.font.isEmpty())
            EXPECT_TRUE(fonts().traits(f.fontName()) & FontRegistry::FixedPitchTrait);
        else
            EXPECT_EQ(f.fontName(), c.font);
        EXPECT_EQ(f.pointSize(), 13);
        EXPECT_EQ(log.lines(), QStringList{c.log});
        EXPECT_EQ(notes, QStringList{"Used Windows Font"});
    }
    QStringList notes;
    EXPECT_EQ(read(element("a", run(0, 1,
                                    "<TWWinFontAttributeName><TWWinFont><name> </name></TWWinFont>"
                                    "</TWWinFontAttributeName>")),
                   &notes),
              AttributedString("a"));
    EXPECT_TRUE(notes.isEmpty());
}

} // namespace
