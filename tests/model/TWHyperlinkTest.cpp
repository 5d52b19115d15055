#include "model/TWHyperlink.h"
#include "RecordTestSupport.h"

#include <QTemporaryFile>
#include <QUrl>
#include <QUrlQuery>

using namespace RecordTest;

namespace {

std::shared_ptr<TWHyperlink> link(int type, std::optional<QString> url,
                                  std::optional<QString> arg = std::nullopt,
                                  std::optional<QString> arg2 = std::nullopt,
                                  std::optional<Color> color = std::nullopt)
{
    return std::make_shared<TWHyperlink>(type, url, arg, arg2, color);
}

class VisibleOrHidden : public TWHyperlinkBranch
{
public:
    explicit VisibleOrHidden(bool hidden) : m_hidden(hidden) {}
    bool hidden() const override { return m_hidden; }

private:
    bool m_hidden;
};

} // namespace

TEST(TWHyperlinkTest, MailURLsEncodeSubjectAndBodyWhole)
{
    struct Case
    {
        std::optional<QString> address, subject, body;
        QString expected;
    };
    const QString ann = "ann@example.org";
    const Case cases[] = {
        {ann, "Two words", std::nullopt, "mailto:ann@example.org?Subject=Two%20words"},
        {ann, std::nullopt, std::nullopt, "mailto:ann@example.org"},
        {ann, " \t", "\n \r\n", "mailto:ann@example.org"},
        {ann, "", "Hi", "mailto:ann@example.org?body=Hi"},
        {ann, "Q&A", "a=b?c#d+e", "mailto:ann@example.org?Subject=Q%26A&body=a%3Db%3Fc%23d%2Be"},
        {ann, std::nullopt, "x&cc=eve@example.org",
         "mailto:ann@example.org?body=x%26cc%3Deve%40example.org"},
        {ann, QString::fromUtf8("Grüße 日本"), std::nullopt,
         "mailto:ann@example.org?Subject=Gr%C3%BC%C3%9Fe%20%E6%97%A5%E6%9C%AC"},
        // Bodies break lines with CR LF, whatever the text had.
        {ann, std::nullopt, "one\ntwo\r\nthree\rfour",
         "mailto:ann@example.org?body=one%0D%0Atwo%0D%0Athree%0D%0Afour"},
        {std::nullopt, "S", std::nullopt, "mailto:?Subject=S"},
    };
    for (const Case &c : cases) {
        const QString url = link(TWHyperlink::EMail, c.address, c.subject, c.body)->fullMailURL();
        EXPECT_EQ(url, c.expected) << c.expected.toStdString();

        // Whatever the texts hold, a mail program reads back exactly two
        // fields (or fewer), with their texts whole.
        const QUrlQuery query(QUrl(url, QUrl::StrictMode));
        QList<QPair<QString, QString>> expected;
        if (c.subject && !c.subject->trimmed().isEmpty())
            expected.append({"Subject", *c.subject});
        if (c.body && !c.body->trimmed().isEmpty()) {
            QString body = *c.body;
            body.replace("\r\n", "\n").replace('\r', '\n').replace("\n", "\r\n");
            expected.append({"body", body});
        }
        EXPECT_EQ(query.queryItems(QUrl::FullyDecoded), expected) << c.expected.toStdString();
    }
}

TEST(TWHyperlinkTest, ToolTipsAndDescriptionsByKind)
{
    struct Case
    {
        int type;
        std::optional<QString> url, arg;
        QString toolTip, description;
    };
    const Case cases[] = {
        {1, "./notes.txt", "ignored", "Local File:\n./notes.txt", "Local File: ./notes.txt"},
        {1, std::nullopt, std::nullopt, "Local File:\n", "Local File: "},
        {2, "http://example.org", std::nullopt, "URL:\nhttp://example.org",
         "URL: http://example.org"},
        {3, "http://example.org/a.tweb", "Goals",
         "Thinkweb URL:\nhttp://example.org/a.tweb\n-> Goals",
         "Thinkweb URL: http://example.org/a.tweb -> Goals"},
        {4, "/maps/a.tweb", "", "Thinkweb File:\n/maps/a.tweb", "Thinkweb File: /maps/a.tweb"},
        {4, "/maps/a.tweb", std::nullopt, "Thinkweb File:\n/maps/a.tweb",
         "Thinkweb File: /maps/a.tweb"},
        {4, "<NEW>", "Plan", "Thinkweb File:\n<NEW>\n-> Plan", "Thinkweb File: <NEW> -> Plan"},
        {5, "ann@example.org", "Subject", "eMail:\nann@example.org", "eMail: ann@example.org"},
        {0, "x", "y", "URL:\nx", "URL: x"},
        {9, "x", "y", "URL:\nx", "URL: x"},
    };
    for (const Case &c : cases) {
        const auto l = link(c.type, c.url, c.arg);
        EXPECT_EQ(l->toolTipString(), c.toolTip);
        EXPECT_EQ(l->description(), c.description);
    }

    // The tool tip of a hidden branch's link stays away.
    const auto l = link(2, "http://example.org");
    const VisibleOrHidden hidden(true), shown(false);
    EXPECT_EQ(l->toolTipForBranch(&hidden), std::nullopt);
    EXPECT_EQ(l->toolTipForBranch(&shown), l->toolTipString());
    EXPECT_EQ(l->toolTipForBranch(nullptr), l->toolTipString());
}

TEST(TWHyperlinkTest, IconsByKind)
{
    using Image = TWHyperlink::Image;
    using Source = TWHyperlink::Icon::Source;
    const std::pair<int, Image> tinted[] = {
        {1, Image::fileImage},   {2, Image::urlImage},  {3, Image::twURLImage},
        {4, Image::twFileImage}, {5, Image::mailImage}, {0, Image::urlImage},
        {6, Image::urlImage},    {-1, Image::urlImage},
    };
    for (const auto &[type, image] : tinted) {
        EXPECT_EQ(TWHyperlink::iconForType(type), image) << type;
        EXPECT_EQ(TWHyperlink(type).coloredImage(), image) << type;
    }

    QTemporaryFile existing;
    ASSERT_TRUE(existing.open());
    const QString existingURL = QUrl::fromLocalFile(existing.fileName()).toString();
    struct Case
    {
        int type;
        std::optional<QString> url;
        TWHyperlink::Icon icon;
    };
    const Case cases[] = {
        {3, "http://x", {Source::Picture, Image::thinkwebImage, {}}},
        {4, std::nullopt, {Source::Picture, Image::thinkwebImage, {}}},
        {5, "a@b", {Source::Picture, Image::emailImage, {}}},
        {1, "/tmp", {Source::Picture, Image::fileImage, {}}},
        {8, "/tmp", {Source::Picture, Image::urlImage, {}}},
        {2, "http://example.org", {Source::Picture, Image::webImage, {}}},
        {2, "/no/scheme", {Source::Picture, Image::webImage, {}}},
        {2, "not a URL at all", {Source::Picture, Image::webImage, {}}},
        {2, std::nullopt, {Source::Picture, Image::webImage, {}}},
        {2, existingURL, {Source::FileIcon, Image::webImage, existing.fileName()}},
        {2, "file:///no/such/file.txt", {Source::EmptyFileTypeIcon, Image::webImage, {}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(link(c.type, c.url)->icon(), c.icon)
            << c.type << " " << c.url.value_or("-").toStdString();

    const TWHyperlink::TintedIconRecipe mail = TWHyperlink::tintedIconRecipe(Image::mailImage);
    EXPECT_EQ(mail.backgroundImageName, "HyperlinkMailImage");
    EXPECT_EQ(mail.overlayImageName, "HyperlinkMailOverlayImage");
    EXPECT_EQ(mail.color, Color::colorWithDeviceRed(232 / 255.0, 203 / 255.0, 1.0));
    const TWHyperlink::TintedIconRecipe twURL = TWHyperlink::tintedIconRecipe(Image::twURLImage);
    EXPECT_EQ(twURL.overlayImageName, "HyperlinkTWURLOverlayImage");
    EXPECT_EQ(twURL.color, Color::colorWithDeviceRed(201 / 255.0, 241 / 255.0, 215 / 255.0));
}

TEST(TWHyperlinkTest, CopiesLeaveColourAndToolTipIdBehind)
{
    const Color red = Color::colorWithCalibratedRed(1, 0, 0);
    const auto plain = link(4, "/maps/a.tweb", "Goals", "unused");
    plain->setTtId(7);
    const auto plainCopy = plain->copy();
    EXPECT_TRUE(plainCopy->isEqual(*plain));
    EXPECT_EQ(plainCopy->linkType(), 4);
    EXPECT_EQ(plainCopy->linkArg2(), QString("unused"));
    EXPECT_EQ(plainCopy->ttId(), 0);

    const auto colored = link(4, "/maps/a.tweb", "Goals", "unused", red);
    EXPECT_FALSE(colored->copy()->isEqual(*colored));
    EXPECT_EQ(colored->copy()->linkColor(), std::nullopt);
    EXPECT_FALSE(colored->isEqual(*plain));

    // Absent and empty texts differ; the tool-tip id does not count.
    EXPECT_FALSE(link(2, QString(""))->isEqual(*link(2, std::nullopt)));
    EXPECT_FALSE(link(2, "a")->isEqual(*link(3, "a")));
    const auto other = plain->copy();
    other->setTtId(99);
    EXPECT_TRUE(other->isEqual(*plain));
}

TEST(TWHyperlinkTest, ElementsOnBothRoutes)
{
    const Color blue = Color::colorWithCalibratedRed(0, 0, 1, 0.5);
    const std::shared_ptr<TWHyperlink> links[] = {
        std::make_shared<TWHyperlink>(),
        link(5, "ann@example.org", "Q&A <now>", QString::fromUtf8("Grüße\nzwei Zeilen"), blue),
        link(4, "", "Goals", ""),
        link(42, "http://example.org", std::nullopt, "only the second"),
    };
    for (const auto &original : links) {
        const QByteArray first = writtenUnder(
            "hyperlink", [&](xmlNodePtr parent) { original->addXmlDataToNode(parent); });
        const auto read = readFrom(first, &TWHyperlink::initWithXMLNode);
        ASSERT_NE(read, nullptr);
        const QByteArray second =
            writtenUnder("hyperlink", [&](xmlNodePtr parent) { read->addXmlDataToNode(parent); });
        EXPECT_EQ(second, first);

        const XMLElement element = original->freshXMLElement();
        const auto fromElement = TWHyperlink::objectWithXMLElement(element);
        ASSERT_NE(fromElement, nullptr);
        EXPECT_EQ(fromElement->freshXMLElement().xmlString(), element.xmlString());
        // The routes write the same element.
        EXPECT_EQ(XMLElement::parse(first).firstChildIfElement().xmlString(), element.xmlString());

        // Empty texts read back as none.
        const bool hasEmptyText = original->linkURL() == QString("");
        EXPECT_EQ(read->isEqual(*original), !hasEmptyText);
        EXPECT_EQ(fromElement->isEqual(*original), !hasEmptyText);
    }

    EXPECT_EQ(std::make_shared<TWHyperlink>()->freshXMLElement().xmlString(),
              "<TWHyperlink>\n  <linkType>1</linkType>\n</TWHyperlink>");
    EXPECT_EQ(links[1]->freshXMLElement().xmlString(),
              "<TWHyperlink>\n"
              "  <linkType>5</linkType>\n"
              "  <linkURL>ann@example.org</linkURL>\n"
              "  <linkArg>Q&amp;A &lt;now&gt;</linkArg>\n"
              "  <linkArg2>Grüße\nzwei Zeilen</linkArg2>\n"
              "  <linkColor>\n"
              "    <NSColor>\n"
              "      <redComponent>0.000000</redComponent>\n"
              "      <greenComponent>0.000000</greenComponent>\n"
              "      <blueComponent>1.000000</blueComponent>\n"
              "      <alphaComponent>0.500000</alphaComponent>\n"
              "    </NSColor>\n"
              "  </linkColor>\n"
              "</TWHyperlink>");
}

TEST(TWHyperlinkTest, ReadingTakesDefaultsAndTheFirstOfEachChild)
{
    const auto read = [](const char *xml) {
        return readFrom(QByteArray("<hyperlink>") + xml + "</hyperlink>",
                        &TWHyperlink::initWithXMLNode);
    };
    const auto noType = read("<TWHyperlink><linkURL>/a</linkURL><future>x</future></TWHyperlink>");
    ASSERT_NE(noType, nullptr);
    EXPECT_EQ(noType->linkType(), TWHyperlink::LocalFile);
    EXPECT_EQ(noType->linkURL(), QString("/a"));

    const auto twice = read("<TWHyperlink><linkType>3</linkType><linkType>5</linkType>"
                            "<linkArg></linkArg><linkArg2>b</linkArg2><linkArg2>c</linkArg2>"
                            "</TWHyperlink>");
    EXPECT_EQ(twice->linkType(), 3);
    EXPECT_EQ(twice->linkArg(), std::nullopt);
    EXPECT_EQ(twice->linkArg2(), QString("b"));
    EXPECT_EQ(twice->linkColor(), std::nullopt);

    EXPECT_EQ(read("<somethingElse/>")->linkType(), 1);
    EXPECT_EQ(TWHyperlink::initWithXMLNode(nullptr, nullptr), nullptr);
    EXPECT_EQ(TWHyperlink::objectWithXMLElement(XMLElement()), nullptr);
    MapsDocTest::WarningCapture warnings;
    EXPECT_EQ(TWHyperlink::objectWithXMLElement(XMLElement::create("TWResource")), nullptr);
}

TEST(TWHyperlinkTest, FieldsByKeyAnnounceTheirChanges)
{
    const auto l = std::make_shared<TWHyperlink>();
    ChangeRecorder changes(l.get());

    EXPECT_TRUE(l->setValueForKey(2, "linkType"));
    EXPECT_TRUE(l->setValueForKey(2, "linkType"));
    EXPECT_TRUE(l->setValueForKey(QString("http://example.org"), "linkURL"));
    EXPECT_TRUE(l->setValueForKey(QVariant::fromValue(Color::whiteColor()), "linkColor"));
    EXPECT_TRUE(l->setValueForKey(QString("arg"), "linkArg"));
    EXPECT_TRUE(l->setValueForKey(QVariant(), "linkArg"));
    l->setTtId(3);
    EXPECT_EQ(changes.keys,
              (QStringList{"linkType", "linkURL", "linkColor", "linkArg", "linkArg", "ttId"}));
    EXPECT_EQ(l->linkType(), 2);
    EXPECT_EQ(l->valueForKey("linkURL").toString(), "http://example.org");
    EXPECT_EQ(l->valueForKey("linkColor").value<Color>(), Color::whiteColor());
    EXPECT_FALSE(l->valueForKey("linkArg").isValid());
    EXPECT_EQ(l->valueForKey("ttId").toInt(), 3);

    MapsDocTest::WarningCapture warnings;
    changes.keys.clear();
    EXPECT_FALSE(l->setValueForKey(QVariant::fromValue(Color::whiteColor()), "linkURL"));
    EXPECT_FALSE(l->setValueForKey("blue", "linkColor"));
    EXPECT_FALSE(l->setValueForKey("two", "linkType"));
    EXPECT_FALSE(l->setValueForKey(1, "coloredImage"));
    EXPECT_FALSE(l->valueForKey("nothing").isValid());
    EXPECT_TRUE(changes.keys.isEmpty());
    EXPECT_EQ(l->linkURL(), QString("http://example.org"));
    EXPECT_EQ(warnings.lines().size(), 5);
}
