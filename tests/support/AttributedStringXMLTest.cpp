#include "ImageTestData.h"
#include "TestHelpers.h"
#include "support/AttributedString.h"
#include "support/Cursor.h"
#include "support/FontRegistry.h"
#include "support/GlyphInfo.h"
#include "support/ParagraphStyle.h"
#include "support/Shadow.h"
#include "support/TWXMLUtils.h"
#include "support/TextAttachment.h"
#include "support/XMLDocument.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

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
const Color kRed = Color::colorWithCalibratedRed(1, 0, 0, 1);

template <class T> QVariant v(const T &value)
{
    return QVariant::fromValue(value);
}

QVariant rgb(double r, double g, double b, double a = 1)
{
    return v(Color::colorWithCalibratedRed(r, g, b, a));
}

// The formatting elements written as "start,length:child child ...".
QStringList formattingSummary(const AttributedString &s)
{
    QStringList summary;
    const XMLElement e = XMLTest::element("<p>" + XMLTest::written(s) + "</p>");
    for (const XMLElement &f :
         e.elementForName("NSAttributedString").elementsForName("formatting")) {
        QStringList children;
        for (const XMLElement &c : f.elements())
            if (c.name() != u"start" && c.name() != u"length")
                children.append(c.name());
        summary.append(f.stringForPath("start").value_or("") + "," +
                       f.stringForPath("length").value_or("") + ":" + children.join(' '));
    }
    return summary;
}

// A label as a user might make it: fonts (one from another machine), colours,
// a link, a paragraph style with its own tab stops, a LinkBack attachment, a
// shadow, cursors, glyph infos, numbers and text beyond the basic plane.
AttributedString richText()
{
    AttributedString s("Title\tbody " + QString::fromUcs4(U"\U0001F600") + " link " +
                       QChar(0xFFFC) + " tail\r\nend");
    const qsizetype n = s.length();
    ParagraphStyle style;
    style.tabStops = {TextTab(LeftTextAlignment, 36.0), TextTab(RightTextAlignment, 100.25)};
    s.addAttribute(NSParagraphStyleAttributeName, v(style), {0, n - 3});
    s.addAttribute(NSFontAttributeName, v(Font("DejaVuSans-Bold", 18)), {0, 5});
    s.addAttribute(NSFontAttributeName, v(Font("LiberationSerif", 12)), {5, n - 5});
    s.addAttribute(NSFontAttributeName, v(Font("NotInstalledHere-Regular", 11.5)), {11, 2});
    s.addAttribute(NSForegroundColorAttributeName, rgb(0.25, 0.5, 0.75), {0, 5});
    s.addAttribute(NSBackgroundColorAttributeName, rgb(1, 1, 0), {11, 2});
    s.addAttribute(NSLinkAttributeName, QUrl("https://example.org/a%20b?q=1"), {14, 4});
    s.addAttribute(NSUnderlineStyleAttributeName, 1, {14, 4});
    s.addAttribute(NSKernAttributeName, 1.5, {6, 4});
    s.addAttribute(NSSuperscriptAttributeName, -1, {n - 3, 3});
    s.addAttribute(NSToolTipAttributeName, QString("a <tip> & more"), {0, 5});
    s.addAttribute(NSShadowAttributeName, v(Shadow(Size(2, -3), 4, Color())), {0, 5});
    TextAttachment::FileWrapper file = TextAttachment::FileWrapper::regularFile("\x89PNG\r\n");
    file.filename = "Picture 1.png";
    file.preferredFilename = "Picture.png";
    const QVariantMap payload{{"version", 3}, {"bytes", QByteArray("\x00\x01", 2)}};
    s.addAttribute(NSAttachmentAttributeName,
                   v(TextAttachment::linkBackAttachment(file, payload, "KEY-1")), {19, 1});
    Cursor custom(Image::initWithData(ImageTestData::encoded("png")), Point(1, 2));
    custom.setOnMouseEntered(true);
    s.addAttribute(NSCursorAttributeName, v(custom), {1, 1});
    s.addAttribute(NSCursorAttributeName, v(Cursor(Cursor::IBeamCursor)), {2, 1});
    s.addAttribute(NSGlyphInfoAttributeName,
                   v(GlyphInfo::glyphInfoWithCharacterIdentifier(7, 1, "c")), {20, 1});
    s.addAttribute(NSGlyphInfoAttributeName,
                   v(GlyphInfo::glyphInfoWithGlyphName("a.alt", Font("LiberationSans", 12), "d")),
                   {21, 1});
    return s;
}

TEST(AttributedStringXML, RichTextRoundTripsOnBothRoutesAndWritesTheSameAgain)
{
    ASSERT_TRUE(FontRegistry::shared().isInstalled("DejaVuSans-Bold"));
    ASSERT_FALSE(FontRegistry::shared().isInstalled("NotInstalledHere-Regular"));
    const AttributedString source = richText();
    const std::optional<AttributedString> back = read(XMLTest::written(source));
    EXPECT_EQ(back, source);
    EXPECT_EQ(XMLTest::written(*back), XMLTest::written(source));
    // The element route goes through the snippet.
    EXPECT_EQ(source.freshXMLElement().name(), "NSAttributedString");
    EXPECT_EQ(AttributedString::objectWithXMLElement(source.freshXMLElement()), source);
    EXPECT_FALSE(AttributedString::objectWithXMLElement(XMLElement()).has_value());
}

// Values are written with six decimals. Two runs that differ only beyond them
// are one run once read, so that the first save writes what later saves do.
TEST(AttributedStringXML, ValuesReadAreTheValuesASaveWrites)
{
    const auto color = [](const char *green) {
        return QString("<NSForegroundColorAttributeName><NSColor><redComponent>1</redComponent>"
                       "<greenComponent>%1</greenComponent><blueComponent>0</blueComponent>"
                       "<alphaComponent>1</alphaComponent></NSColor>"
                       "</NSForegroundColorAttributeName>")
            .arg(green);
    };
    const auto font = [](const char *size) {
        return QString("<NSFontAttributeName><NSFont><fontName>DejaVuSans</fontName><size>%1"
                       "</size></NSFont></NSFontAttributeName>")
            .arg(size);
    };
    const auto indent = [](const char *head) {
        return QString("<NSParagraphStyleAttributeName><NSParagraphStyle><headIndent>%1"
                       "</headIndent></NSParagraphStyle></NSParagraphStyleAttributeName>")
            .arg(head);
    };
    const auto shadow = [](const char *width) {
        return QString("<NSShadowAttributeName><NSShadow><shadowBlurRadius>2</shadowBlurRadius>"
                       "<shadowOffset><width>%1</width><height>-1</height></shadowOffset>"
                       "</NSShadow></NSShadowAttributeName>")
            .arg(width);
    };
    const struct
    {
        const char *name;
        QString exact, near;
    } cases[] = {
        {"colour near zero", color("0"), color("0.0000002")},
        {"negative colour near zero", color("-0.000000"), color("-0.0000004")},
        {"colour beyond six decimals", color("0.501961"), color("0.50196078431")},
        {"font size", font("12"), font("12.0000001")},
        {"paragraph indent", indent("36.125"), indent("36.1250004")},
        {"shadow offset", shadow("3"), shadow("3.0000003")},
    };
    for (const auto &c : cases) {
        const std::optional<AttributedString> once =
            read(element("abcd", run(0, 2, c.exact) + run(2, 2, c.near)));
        ASSERT_TRUE(once) << c.name;
        EXPECT_EQ(once->runCount(), 1) << c.name;
        const std::optional<AttributedString> twice = read(XMLTest::written(*once));
        ASSERT_TRUE(twice) << c.name;
        EXPECT_EQ(*twice, *once) << c.name;
        EXPECT_EQ(XMLTest::written(*twice), XMLTest::written(*once)) << c.name;
        const std::optional<AttributedString> byElement = AttributedString::objectWithXMLElement(
            XMLTest::element(element("abcd", run(0, 2, c.exact) + run(2, 2, c.near))));
        ASSERT_TRUE(byElement) << c.name;
        EXPECT_EQ(*byElement, *once) << c.name << " (element route)";
    }
}

// Each attribute pass is a set of runs of its own: fonts first, then the
// others. A run of the later pass splits where an earlier one changes.
TEST(AttributedStringXML, ExactElementText)
{
    AttributedString s("plain bold");
    s.addAttribute(NSFontAttributeName, v(Font("DejaVuSans-Bold", 12)), {6, 4});
    s.addAttribute(NSForegroundColorAttributeName, rgb(1, 0, 0), {0, 10});
    s.addAttribute(NSKernAttributeName, 0.5, {0, 2});
    s.addAttribute(NSStrikethroughStyleAttributeName, 2, {0, 2});
    const QString red = "<NSForegroundColorAttributeName>" + XMLTest::written(kRed) +
                        "</NSForegroundColorAttributeName>";
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
    EXPECT_EQ(read(xml), s);
    EXPECT_EQ(read(xml)->attribute(NSKernAttributeName, 0).typeId(), QMetaType::Double);
    EXPECT_EQ(read(xml)->attribute(NSStrikethroughStyleAttributeName, 0).typeId(), QMetaType::Int);

    // Children come in table order, whatever the order they were set in; an
    // attribute without an element form still gives its run, empty.
    AttributedString t("abcdefgh");
    t.addAttribute(NSToolTipAttributeName, QString("t"), {0, 8});
    t.addAttribute(NSUnderlineColorAttributeName, rgb(0, 0, 1), {0, 8});
    t.addAttribute(NSLinkAttributeName, QString("not a url object"), {0, 8});
    t.addAttribute(TWWinFontAttributeName, v(TWWinFont(" ", 10, false, false)), {4, 4});
    t.addAttribute(NSFontAttributeName, v(Font("LiberationSans", 10)), {2, 4});
    t.addAttribute(NSParagraphStyleAttributeName, v(ParagraphStyle()), {0, 8});
    t.addAttribute("NSMarkedClauseSegment", 1, {7, 1});
    const QString rest = "NSLinkAttributeName NSUnderlineColorAttributeName NSToolTipAttributeName";
    EXPECT_EQ(formattingSummary(t),
              QStringList({"0,8:NSParagraphStyleAttributeName", "2,4:NSFontAttributeName",
                           "4,4:TWWinFontAttributeName", "0,2:" + rest, "2,2:" + rest,
                           "4,2:" + rest, "6,1:" + rest, "7,1:" + rest}));
}

// Offsets count UTF-16 units; characters a text cannot hold are left out on
// writing, the runs following the clean text.
TEST(AttributedStringXML, OffsetsFollowTheCleanText)
{
    const QString smile = QString::fromUcs4(U"\U0001F600");
    AttributedString astral(smile + "a" + smile + "b");
    astral.addAttribute(NSForegroundColorAttributeName, rgb(0, 1, 0), {3, 2});
    EXPECT_EQ(formattingSummary(astral), QStringList({"3,2:NSForegroundColorAttributeName"}));
    EXPECT_EQ(read(XMLTest::written(astral)), astral);

    AttributedString s("a" + QString(QChar(0)) + "b\vc\u200Dd\te");
    s.addAttribute(NSForegroundColorAttributeName, rgb(1, 0, 0), {4, 4}); // c ZWJ d tab
    EXPECT_TRUE(XMLTest::written(s).contains(
        "<string>abc\u200Dd\te</string><omittedCharacters>1:0 3:11</omittedCharacters>"));
    EXPECT_EQ(formattingSummary(s), QStringList({"2,4:NSForegroundColorAttributeName"}));
    EXPECT_EQ(read(XMLTest::written(s)), s);

    // Reading keeps the text as the file has it: a family emoji keeps its joiners.
    LogCapture log;
    const QString family = QString::fromUcs4(U"\U0001F468\u200D\U0001F469\u200D\U0001F467");
    AttributedString expected("a\u200Db\u0085c" + family);
    expected.addAttribute(NSKernAttributeName, 3.0, {2, 1});
    EXPECT_EQ(read(element("a&#x200D;b&#x85;c" + family, run(2, 1, kKern3))), expected);
    EXPECT_TRUE(log.lines().isEmpty());

    // An empty text is a text; no text is nothing.
    log.clear();
    EXPECT_EQ(XMLTest::written(AttributedString()), element(""));
    EXPECT_EQ(read(element("")), AttributedString());
    EXPECT_FALSE(read("<NSAttributedString>" + run(0, 1) + "</NSAttributedString>"));
    EXPECT_EQ(log.lines(), QStringList{"No string defined for attributed string"});
    EXPECT_FALSE(read(""));

    // Other texts lose only what XML cannot carry, or the file would not read.
    log.clear();
    AttributedString tip("ab");
    auto file = TextAttachment::FileWrapper::regularFile("d");
    file.filename = QString("f") + QChar(0) + "g\x02";
    tip.addAttribute(NSAttachmentAttributeName, v(TextAttachment(file)), {1, 1});
    AttributedString carried = tip;
    tip.addAttribute(NSToolTipAttributeName, QString("x\x01y\u200D"), {0, 1});
    carried.addAttribute(NSToolTipAttributeName, QString("xy\u200D"), {0, 1});
    file.filename = "fg";
    carried.addAttribute(NSAttachmentAttributeName, v(TextAttachment(file)), {1, 1});
    EXPECT_EQ(AttributedString::objectWithXMLElement(tip.freshXMLElement()), carried);
    EXPECT_EQ(log.containing("XML cannot hold"), 2);
}

// The text as a file holds it: written to text by libxml2 and parsed again.
std::optional<AttributedString> throughFile(const AttributedString &s, QString *xml = nullptr)
{
    const QString text =
        TWXMLUtils::xmlRepresentation([&](xmlNodePtr root) { s.addXmlDataToNode(root); });
    if (xml)
        *xml = text;
    xmlDocPtr doc = XMLDetail::parseToXmlDoc(text.toUtf8());
    if (!doc)
        return std::nullopt;
    std::optional<AttributedString> back =
        AttributedString::initWithXMLNode(xmlDocGetRootElement(doc), doc);
    xmlFreeDoc(doc);
    return back;
}

// Saving keeps every character of a text. Those XML holds are in "string" as
// they are; the few it cannot hold come back from the list after it, and a
// reader that does not know the list gets the text without them, its runs
// still in place.
TEST(AttributedStringXML, EveryCharacterSurvivesAFile)
{
    const auto u = [](char32_t c) { return QString::fromUcs4(&c, 1); };
    const QString family = QString::fromUcs4(U"\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const struct
    {
        const char *what;
        QString text;
        bool inString; // the text stands in "string" as it is
    } cases[] = {
        {"family emoji joined by ZWJ", family, true},
        {"Persian with ZWNJ", QString::fromUtf8("\u0645\u06CC\u200C\u062E\u0648\u0627\u0647\u0645"),
         true},
        {"soft hyphen", u(0xAD), true},
        {"right-to-left mark", u(0x200F), true},
        {"left-to-right mark", u(0x200E), true},
        {"right-to-left override", u(0x202E), true},
        {"delete", u(0x7F), true},
        {"next line (C1 control)", u(0x85), true},
        {"byte order mark", u(0xFEFF), true},
        {"non-character U+FDD0", u(0xFDD0), true},
        {"tag character beyond the basic plane", u(0xE0041), true},
        {"carriage return and line feed", "\r\n", true},
        {"NUL", u(0x0), false},
        {"start of heading", u(0x1), false},
        {"vertical tab (a line break from word processors)", u(0xB), false},
        {"form feed", u(0xC), false},
        {"unit separator", u(0x1F), false},
        {"U+FFFE", u(0xFFFE), false},
        {"U+FFFF", u(0xFFFF), false},
        {"lone high surrogate", QString(QChar(0xD83D)), false},
        {"lone low surrogate", QString(QChar(0xDE00)), false},
        {"two in a row", u(0x1) + u(0x2), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        // At the start, inside a run, between runs and at the end.
        for (const QString &text :
             {c.text + "ab", "a" + c.text + "b", "ab" + c.text, c.text + "a" + c.text}) {
            AttributedString s(text);
            s.addAttribute(NSForegroundColorAttributeName, rgb(1, 0, 0), {0, 1});
            s.addAttribute(NSKernAttributeName, 2.0, {1, s.length() - 1});
            // A character that comes back from the list takes the attributes
            // of the one before it (of the first kept one at the start).
            AttributedString expected = s;
            if (!c.inString) {
                QList<qsizetype> omittedAt;
                for (qsizetype p = text.indexOf(c.text); p >= 0; p = text.indexOf(c.text, p + 1))
                    for (qsizetype k = 0; k < c.text.size(); ++k)
                        omittedAt.append(p + k);
                qsizetype firstKept = 0;
                while (omittedAt.contains(firstKept))
                    ++firstKept;
                for (const qsizetype i : omittedAt)
                    expected.setAttributes(expected.attributesAtIndex(i > 0 ? i - 1 : firstKept),
                                           {i, 1});
            }
            LogCapture log;
            QString xml;
            EXPECT_EQ(throughFile(s, &xml), expected) << xml.toStdString();
            EXPECT_EQ(read(XMLTest::written(s)), expected);
            EXPECT_EQ(AttributedString::objectWithXMLElement(s.freshXMLElement()), expected);
            EXPECT_EQ(xml.contains(QString(c.text).replace('\r', "&#13;")), c.inString)
                << xml.toStdString();
            EXPECT_EQ(xml.contains("<omittedCharacters>"), !c.inString);
            EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();

            // Without the list: the text less what it holds, the runs in place.
            xml.remove(QRegularExpression("<omittedCharacters>[^<]*</omittedCharacters>"));
            AttributedString older = s;
            if (!c.inString)
                for (qsizetype i = older.string().indexOf(c.text); i >= 0;
                     i = older.string().indexOf(c.text))
                    older.deleteCharactersInRange({i, c.text.size()});
            EXPECT_EQ(XMLTest::readFrom(xml.mid(xml.indexOf("<NSAttributedString>"))
                                            .replace("</XMLObj>", "")
                                            .trimmed(),
                                        [](xmlNodePtr node, xmlDocPtr doc) {
                                            return AttributedString::initWithXMLNode(node, doc);
                                        }),
                      older);
        }
    }

    // A character that was left out takes the attributes of the one before.
    AttributedString mixed("a" + u(0xB) + "b");
    mixed.addAttribute(NSKernAttributeName, 1.0, {1, 2});
    AttributedString expected("a" + u(0xB) + "b");
    expected.addAttribute(NSKernAttributeName, 1.0, {2, 1});
    EXPECT_EQ(throughFile(mixed), expected);
}

// A list of omitted characters that does not fit its text loses only what
// does not fit, with one log line.
TEST(AttributedStringXML, OmittedCharactersThatDoNotFitAreLeftOut)
{
    const struct
    {
        const char *list;
        QString text;
        int bad;
    } cases[] = {
        {"0:11 3:0", QString(QChar(0xB)) + "ab" + QChar(0), 0},
        {"1:11 1:12", "a" + QString(QChar(0xB)) + "b", 1},  // the same place twice
        {"2:11 1:12", "ab" + QString(QChar(0xB)), 1},        // out of order
        {"9:11", "ab", 1},                                   // beyond the text
        {"0:65 x:11 1:-3 1 :4 1:99999 0:9", "ab", 7},        // text XML holds, or no pair
        {"  1:11\n\t2:12 ", "a" + QString(QChar(0xB)) + QChar(0xC) + "b", 0},
        {"", "ab", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.list);
        LogCapture log;
        const std::optional<AttributedString> back =
            read("<NSAttributedString><string>ab</string><omittedCharacters>" +
                 QString(c.list) + "</omittedCharacters></NSAttributedString>");
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->string(), c.text);
        EXPECT_EQ(log.containing("do not fit the text"), c.bad > 0 ? 1 : 0);
        if (c.bad > 0)
            EXPECT_TRUE(log.lines().first().contains(QString::number(c.bad) + " of its"));
    }
}

// Runs outside the text are skipped, a length past the end is cut, later
// runs win, and unknown children, links that are no URL and unknown cursors
// are left out; every one with a log line.
TEST(AttributedStringXML, CraftedRunsLoseOnlyWhatIsBad)
{
    LogCapture log;
    const auto back = read(element(
        "0123456789",
        run(-1, 3, kKern3) + run(2, -4, kKern3) + run(11, 1, kKern3) +
            "<formatting><length>2</length>" + kKern3 +
            "</formatting><formatting><start>1</start>" + kKern3 + "</formatting>" +
            run(5, 100,
                "<NSForegroundColorAttributeName>" + XMLTest::written(kRed) +
                    "</NSForegroundColorAttributeName>") +
            run(0, 2, kKern3) + run(10, 0, kKern3) + run(2147483647, 2147483647, kKern3) +
            run(6, 1,
                "<NSForegroundColorAttributeName><NSColor/></NSForegroundColorAttributeName>"
                "<NSFancyAttributeName>x</NSFancyAttributeName>"
                "<NSLinkAttributeName>http://a b/</NSLinkAttributeName>"
                "<NSCursorAttributeName><NSCursor><standardCursor>busyCursor</standardCursor>"
                "</NSCursor></NSCursorAttributeName>") +
            run(7, 1, "<NSLinkAttributeName>mailto:x@y.org</NSLinkAttributeName>") +
            run(8, 1, "<NSLinkAttributeName>a b</NSLinkAttributeName>") +
            run(9, 1, "<NSLinkAttributeName>%zz</NSLinkAttributeName>")));
    AttributedString expected("0123456789");
    expected.addAttribute(NSKernAttributeName, 3.0, {0, 2});
    expected.addAttribute(NSForegroundColorAttributeName, rgb(1, 0, 0), {5, 5});
    expected.addAttribute(NSForegroundColorAttributeName, rgb(0, 0, 0, 0), {6, 1});
    expected.addAttribute(NSLinkAttributeName, QUrl("mailto:x@y.org"), {7, 1});
    EXPECT_EQ(back, expected);
    EXPECT_EQ(log.count("No formatting start for attributed string"), 1);
    EXPECT_EQ(log.count("No formatting length for attributed string"), 1);
    EXPECT_EQ(log.containing("lies outside a text"), 4);
    EXPECT_EQ(log.containing("NSFancyAttributeName"), 1);
    EXPECT_EQ(log.containing("is no URL"), 3);
    EXPECT_EQ(log.count("Unknown standard cursor busyCursor"), 1);
    EXPECT_EQ(log.lines().size(), 11);
}

TEST(AttributedStringXML, Attachments)
{
    // Only file contents are written: a folder gives an empty run. A LinkBack
    // payload that cannot be written loses the LinkBack side, logged.
    const auto file = TextAttachment::FileWrapper::regularFile("data");
    AttributedString s("abcd");
    s.addAttribute(NSAttachmentAttributeName,
                   v(TextAttachment(TextAttachment::FileWrapper::directory())), {0, 1});
    s.addAttribute(NSAttachmentAttributeName,
                   v(TextAttachment(TextAttachment::FileWrapper::regularFile({}))), {1, 1});
    s.addAttribute(NSAttachmentAttributeName,
                   v(TextAttachment::linkBackAttachment(file, QVariant(), "K")), {2, 1});
    s.addAttribute(NSAttachmentAttributeName,
                   v(TextAttachment::linkBackAttachment(file, QVariantList{"x", 1.25})), {3, 1});
    LogCapture log;
    EXPECT_EQ(formattingSummary(s),
              QStringList({"0,1:", "1,1:NSAttachmentAttributeName",
                           "2,1:LinkBackAttachmentAttributeName NSAttachmentAttributeName",
                           "3,1:LinkBackAttachmentAttributeName NSAttachmentAttributeName"}));
    EXPECT_EQ(log.containing("Property list invalid for format"), 1);
    AttributedString expected = s;
    expected.removeAttribute(NSAttachmentAttributeName, {0, 1});
    expected.addAttribute(NSAttachmentAttributeName, v(TextAttachment(file)), {2, 1});
    EXPECT_EQ(read(XMLTest::written(s)), expected);

    // Broken Base64, no data or a LinkBack payload that does not parse lose
    // only what is broken.
    log.clear();
    const QString attachment = "<NSAttachmentAttributeName><data>%1</data>"
                               "</NSAttachmentAttributeName>";
    const auto broken =
        read(element("abcd", run(0, 1, attachment.arg("QUJ")) +
                                 run(1, 1, attachment.arg("Q\xc3\xa9JD") + kKern3) +
                                 run(2, 1,
                                     "<NSAttachmentAttributeName><filename>f</filename>"
                                     "</NSAttachmentAttributeName>") +
                                 run(3, 1,
                                     "<LinkBackAttachmentAttributeName><linkBackData>" +
                                         QByteArray("<plist><foo/></plist>").toBase64() +
                                         "</linkBackData><linkBackItemKey>K</linkBackItemKey>"
                                         "</LinkBackAttachmentAttributeName>" +
                                         attachment.arg("ZGF0YQ=="))));
    expected = AttributedString("abcd");
    expected.addAttribute(NSKernAttributeName, 3.0, {1, 1});
    expected.addAttribute(NSAttachmentAttributeName, v(TextAttachment(file)), {3, 1});
    EXPECT_EQ(broken, expected);
    EXPECT_EQ(log.containing("Base64Error"), 1);
    EXPECT_EQ(log.containing("Malformed property list"), 1);
    EXPECT_EQ(log.lines().size(), 4);
}

// The first word of a Windows name picks the installed font, which replaces
// the run's own: that family's face with the flags, else the first name
// starting with the word, else a fixed pitch font. A name drawn with a
// metric-compatible face is kept. A blank name is ignored.
TEST(AttributedStringXML, WindowsFontReplacement)
{
    const FontRegistry &fonts = FontRegistry::shared();
    AttributedString source = richText();
    source.addAttribute(TWWinFontAttributeName, v(TWWinFont("DejaVuSans", 9, true, true)), {6, 4});
    QStringList notes;
    AttributedString expected = source;
    expected.removeAttribute(TWWinFontAttributeName, {6, 4});
    expected.addAttribute(NSFontAttributeName, v(Font("DejaVuSans-BoldOblique", 9)), {6, 4});
    EXPECT_EQ(read(XMLTest::written(source), &notes), expected);
    EXPECT_EQ(notes, QStringList{"Used Windows Font"});
    EXPECT_EQ(read(XMLTest::written(expected)), expected); // and then stays put

    const QString firstLiberation =
        fonts.availableFonts().filter(QRegularExpression("^Liberation")).value(0);
    const std::tuple<QString, QString, QString> cases[] = {
        {"<name>DejaVuSans Fancy</name><bold>NO</bold><italic>YES</italic>", "DejaVuSans-Oblique",
         "Missing font: DejaVuSans Fancy Using replacement font: DejaVuSans"},
        {"<name>Liberation Foo</name>", firstLiberation,
         "Missing font: Liberation Foo Using replacement font: " + firstLiberation},
        {"<name>Wingdings Extra</name>", "", // any fixed pitch font
         "Missing font Wingdings Extra no replacement found"},
        // Names drawn with metric-compatible faces are kept, with their style.
        {"<name>Arial</name>", "Arial", ""},
        {"<name>Times New Roman</name><bold>YES</bold><italic>YES</italic>",
         "Times New Roman Bold Italic", ""},
        {"<name>Verdana</name><bold>YES</bold>", "Verdana Bold", ""},
        {"<name>Tahoma</name><italic>YES</italic>", "Tahoma Italic", ""}};
    for (const auto &[winFont, font, line] : cases) {
        notes.clear();
        LogCapture log;
        const auto back =
            read(element("ab",
                         run(0, 2,
                             "<NSFontAttributeName>" + XMLTest::written(Font("LiberationSans", 2)) +
                                 "</NSFontAttributeName><TWWinFontAttributeName><TWWinFont>" +
                                 winFont + "<size>13</size></TWWinFont></TWWinFontAttributeName>")),
                 &notes);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->attributesAtIndex(0).keys(), QStringList{NSFontAttributeName});
        const Font f = back->attribute(NSFontAttributeName, 0).value<Font>();
        if (font.isEmpty())
            EXPECT_TRUE(fonts.traits(f.fontName()) & FontRegistry::FixedPitchTrait);
        else
            EXPECT_EQ(f.fontName(), font);
        EXPECT_EQ(f.pointSize(), 13);
        EXPECT_EQ(log.lines(), line.isEmpty() ? QStringList() : QStringList{line});
        EXPECT_EQ(notes, QStringList{"Used Windows Font"});
        EXPECT_EQ(read(XMLTest::written(*back)), back); // saved as it came
    }
    notes.clear();
    EXPECT_EQ(read(element("a", run(0, 1,
                                    "<TWWinFontAttributeName><TWWinFont><name> </name></TWWinFont>"
                                    "</TWWinFontAttributeName>")),
                   &notes),
              AttributedString("a"));
    EXPECT_TRUE(notes.isEmpty());
}

} // namespace
