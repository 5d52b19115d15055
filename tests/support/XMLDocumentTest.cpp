#include "support/XMLDocument.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "support/XMLElement.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(XMLDocument, WritesPrettyPrintedUtf8WithDeclaration)
{
    XMLElement root = XMLElement::create("root");
    root.appendChildElement("child").setStringValue(QString::fromUtf8("Grüße ✓"));
    root.appendChildElement("empty");
    XMLDocument doc(root);
    EXPECT_EQ(doc.xmlData(), QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                        "<root>\n"
                                        "  <child>Gr\xC3\xBC\xC3\x9F"
                                        "e \xE2\x9C\x93</child>\n"
                                        "  <empty/>\n"
                                        "</root>\n"));
}

TEST(XMLDocument, BlanksBetweenElementsAreDroppedLeafTextKept)
{
    const QByteArray pretty = "<a>\n  <b>  </b>\n  <c> x\n y </c>\n\t<d>mixed <e/> tail</d>\n</a>";
    std::optional<XMLDocument> doc = XMLDocument::parse(pretty);
    ASSERT_TRUE(doc);
    XMLElement a = doc->rootElement();
    EXPECT_EQ(a.firstChildIfElement().name(), "b");
    EXPECT_EQ(a.elementForName("b").stringValue(), "  ");
    EXPECT_EQ(a.elementForName("c").stringValue(), " x\n y ");
    EXPECT_EQ(a.elementForName("d").stringValue(), "mixed  tail");
    // Written again, read again: the same text survives.
    std::optional<XMLDocument> again = XMLDocument::parse(doc->xmlData());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->rootElement().elementForName("b").stringValue(), "  ");
    EXPECT_EQ(again->xmlData(), doc->xmlData());
}

TEST(XMLDocument, MalformedTextGivesNothingAndAReason)
{
    for (const char *bad : {"", "<a>", "<a></b>", "text", "<a>&undefined;</a>", "<a/><b/>",
                            "\xff\xfe<a/>", "<a x='1' x='2'/>"}) {
        QString error;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(XMLDocument::parse(QByteArray(bad), &error)) << bad;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
    EXPECT_TRUE(XMLElement::parse("<a>").isNull());
}

TEST(XMLDocument, MissingFileGivesNothing)
{
    QString error;
    EXPECT_FALSE(XMLDocument::parseFile("/nonexistent/file.xml", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(XMLDocument, ExternalEntitiesAreNeverLoaded)
{
    QTemporaryDir dir;
    const QString secretPath = dir.filePath("secret.txt");
    QFile secret(secretPath);
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("SECRET");
    secret.close();
    const QByteArray xml =
        "<!DOCTYPE a [<!ENTITY x SYSTEM \"file://" + secretPath.toUtf8() + "\">]><a>&x;</a>";
    std::optional<XMLDocument> doc = XMLDocument::parse(xml);
    if (doc) {
        EXPECT_FALSE(doc->rootElement().stringValue().contains("SECRET"));
        EXPECT_FALSE(doc->xmlData().contains("SECRET"));
    }
    const QByteArray external = "<!DOCTYPE a SYSTEM \"file://" + secretPath.toUtf8() + "\"><a/>";
    doc = XMLDocument::parse(external);
    ASSERT_TRUE(doc);
    EXPECT_FALSE(doc->xmlData().contains("SECRET"));
}

TEST(XMLDocument, InternalEntitiesExpandWithinBounds)
{
    std::optional<XMLDocument> doc =
        XMLDocument::parse("<!DOCTYPE a [<!ENTITY n \"name\">]><a><b>&n;-&n;</b></a>");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->rootElement().elementForName("b").stringValue(), "name-name");

    // Nested definitions that would expand to gigabytes.
    QByteArray bomb = "<!DOCTYPE a [<!ENTITY e0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">";
    for (int i = 1; i < 10; ++i) {
        bomb += "<!ENTITY e" + QByteArray::number(i) + " \"";
        for (int j = 0; j < 10; ++j)
            bomb += "&e" + QByteArray::number(i - 1) + ";";
        bomb += "\">";
    }
    bomb += "]><a>&e9;</a>";
    LogCapture log;
    doc = XMLDocument::parse(bomb);
    if (doc)
        EXPECT_LE(doc->rootElement().stringValue().size(), 64 * 1024 * 1024 + 1024);
}

TEST(XMLDocument, RootCanBeReplaced)
{
    XMLDocument doc;
    EXPECT_TRUE(doc.rootElement().isNull());
    XMLElement first = doc.setRootElement(XMLElement::create("first"));
    EXPECT_EQ(doc.rootElement(), first);
    doc.setRootElement(XMLElement::create("second"));
    EXPECT_EQ(doc.rootElement().name(), "second");
    EXPECT_EQ(first.name(), "first"); // the handle survives its removal
    EXPECT_TRUE(doc.elementForNode(xmlDocGetRootElement(doc.xmlDoc())) == doc.rootElement());
}

TEST(XMLDocument, ElementsOutliveTheirDocument)
{
    XMLElement b;
    {
        std::optional<XMLDocument> doc = XMLDocument::parse("<a><b>kept</b></a>");
        ASSERT_TRUE(doc);
        b = doc->rootElement().elementForName("b");
    }
    EXPECT_EQ(b.stringValue(), "kept");
    EXPECT_EQ(b.parent().name(), "a");
}

TEST(XMLDocument, LeafTextBesideCommentsAndCdataIsKept)
{
    std::optional<XMLDocument> doc = XMLDocument::parse(
        "<a>\n <b>  <![CDATA[x]]></b>\n <!-- between -->\n <c>  <!--note--></c>\n"
        " <d> <?pi?> y</d>\n</a>");
    ASSERT_TRUE(doc);
    const XMLElement a = doc->rootElement();
    EXPECT_EQ(a.elementForName("b").stringValue(), "  x");
    EXPECT_EQ(a.elementForName("c").stringValue(), "  ");
    EXPECT_EQ(a.elementForName("d").stringValue(), "  y");
    EXPECT_EQ(a.firstChildIfElement().name(), "b");
    EXPECT_EQ(a.childElementCount(), 3);
}
