#include "TestHelpers.h"

#include <QTemporaryDir>

namespace {

TEST(XMLDocument, WritesPrettyPrintedUtf8WithDeclaration)
{
    XMLElement root = XMLElement::create("root");
    root.appendChildElement("child").setStringValue(QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                                      "e \xE2\x9C\x93"));
    root.appendChildElement("empty");
    EXPECT_EQ(XMLDocument(root).xmlData(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                           "<root>\n"
                                           "  <child>Gr\xC3\xBC\xC3\x9F"
                                           "e \xE2\x9C\x93</child>\n"
                                           "  <empty/>\n"
                                           "</root>\n");
}

// Blank text between elements goes; leaf text, also beside comments, CDATA
// and processing instructions, stays and survives a save.
TEST(XMLDocument, BlanksBetweenElementsGoLeafTextStays)
{
    std::optional<XMLDocument> doc = XMLDocument::parse(
        "<a>\n  <b>  </b>\n <!-- between -->\n  <c> x\n y </c>\n\t<d>mixed <e/> tail</d>\n"
        " <f>  <![CDATA[x]]></f> <g>  <!--note--></g> <h> <?pi?> y</h>\n</a>");
    ASSERT_TRUE(doc);
    const XMLElement a = doc->rootElement();
    EXPECT_EQ(a.firstChildIfElement().name(), "b");
    EXPECT_EQ(a.childElementCount(), 6);
    const std::pair<const char *, const char *> texts[] = {{"b", "  "},          {"c", " x\n y "},
                                                           {"d", "mixed  tail"}, {"f", "  x"},
                                                           {"g", "  "},          {"h", "  y"}};
    for (const auto &[name, text] : texts)
        EXPECT_EQ(a.elementForName(name).stringValue(), text) << name;
    std::optional<XMLDocument> again = XMLDocument::parse(doc->xmlData());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->rootElement().elementForName("b").stringValue(), "  ");
    EXPECT_EQ(again->xmlData(), doc->xmlData());
}

TEST(XMLDocument, MalformedTextGivesNothingAndAReasonQuietly)
{
    for (const char *bad : {"", "<a>", "<a></b>", "text", "<a>&undefined;</a>", "<a/><b/>",
                            "\xff\xfe<a/>", "<a x='1' x='2'/>"}) {
        QString error;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(XMLDocument::parse(QByteArray(bad), &error)) << bad;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
    QString error;
    EXPECT_FALSE(XMLDocument::parseFile("/nonexistent/file.xml", &error));
    EXPECT_FALSE(error.isEmpty());
}

// Deep maps nest elements far beyond libxml2's default limit of 256.
TEST(XMLDocument, DeepChainsReadBackAndDeeperOnesFailCleanly)
{
    const auto chain = [](int depth) {
        XMLElement root = XMLElement::create("b");
        XMLElement bottom = root;
        for (int i = 1; i < depth; ++i)
            bottom = bottom.appendChildElement("b");
        bottom.setStringValue("bottom");
        return XMLDocument(root).xmlData();
    };
    const QByteArray deep = chain(1000);
    const std::optional<XMLDocument> doc = XMLDocument::parse(deep);
    ASSERT_TRUE(doc);
    int depth = 1;
    XMLElement e = doc->rootElement();
    for (; !e.firstChildIfElement().isNull(); ++depth)
        e = e.firstChildIfElement();
    EXPECT_EQ(depth, 1000);
    EXPECT_EQ(e.stringValue(), "bottom");
    EXPECT_EQ(doc->xmlData(), deep);
    EXPECT_TRUE(XMLDocument::parse(chain(XMLDetail::maxElementDepth)));

    QString error;
    EXPECT_FALSE(XMLDocument::parse(chain(XMLDetail::maxElementDepth + 10), &error));
    EXPECT_TRUE(error.contains("depth")) << qPrintable(error);
}

TEST(XMLDocument, EntitiesNeverLoadFilesAndExpandWithinBounds)
{
    QTemporaryDir dir;
    const QString secret = dir.filePath("secret.txt");
    QFile file(secret);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("SECRET");
    file.close();
    for (const QByteArray &xml :
         {"<!DOCTYPE a [<!ENTITY x SYSTEM \"file://" + secret.toUtf8() + "\">]><a>&x;</a>",
          "<!DOCTYPE a SYSTEM \"file://" + secret.toUtf8() + "\"><a/>"}) {
        const std::optional<XMLDocument> doc = XMLDocument::parse(xml);
        EXPECT_FALSE(doc && doc->xmlData().contains("SECRET"));
    }

    // A document type read with a file is not written back; its entities
    // are written as the text they stand for.
    std::optional<XMLDocument> doc =
        XMLDocument::parse("<!-- c --><!DOCTYPE a [<!ENTITY n \"name\"><!ENTITY m \"<i>&n;</i>\">]>"
                           "<a k='&n;'><b>&n;-&n;</b><c>&m;</c></a>");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->rootElement().elementForName("b").stringValue(), "name-name");
    const QByteArray written = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- c -->\n"
                               "<a k=\"name\">\n  <b>name-name</b>\n  <c>name</c>\n</a>\n";
    EXPECT_EQ(doc->xmlData(), written);
    EXPECT_EQ(doc->xmlData(), written);
    // Nested definitions that would expand to gigabytes.
    QByteArray bomb = "<!DOCTYPE a [<!ENTITY e0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">";
    for (int i = 1; i < 10; ++i) {
        bomb += "<!ENTITY e" + QByteArray::number(i) + " \"";
        for (int j = 0; j < 10; ++j)
            bomb += "&e" + QByteArray::number(i - 1) + ";";
        bomb += "\">";
    }
    LogCapture log;
    doc = XMLDocument::parse(bomb + "]><a>&e9;<b>&e9;&e9;</b></a>");
    EXPECT_LE(doc ? doc->rootElement().stringValue().size() : 0, 64 * 1024 * 1024 + 1024);
    // Written out, many references to a large entity share one bound.
    const QByteArray large(1 << 20, 'x');
    doc = XMLDocument::parse("<!DOCTYPE a [<!ENTITY e \"" + large + "\">]><a>" +
                             QByteArray("&e;").repeated(100) + "<b k='&e;'/></a>");
    ASSERT_TRUE(doc);
    const QByteArray text = doc->xmlData();
    EXPECT_GE(text.size(), 64 << 20);
    EXPECT_LE(text.size(), (64 << 20) + (2 << 20));
    EXPECT_TRUE(log.contains("Warning: XML text longer than 67108864 bytes was cut"));
}

TEST(XMLDocument, ElementsOutliveTheirDocumentAndRoot)
{
    XMLElement first;
    XMLElement b;
    {
        XMLDocument doc;
        EXPECT_TRUE(doc.rootElement().isNull());
        first = doc.setRootElement(XMLElement::create("first"));
        EXPECT_EQ(doc.rootElement(), first);
        doc.setRootElement(XMLElement::create("second"));
        EXPECT_EQ(doc.rootElement().name(), "second");
        EXPECT_EQ(doc.elementForNode(xmlDocGetRootElement(doc.xmlDoc())), doc.rootElement());
        std::optional<XMLDocument> parsed = XMLDocument::parse("<a><b>kept</b></a>");
        b = parsed->rootElement().elementForName("b");
    }
    EXPECT_EQ(first.name(), "first");
    EXPECT_EQ(b.stringValue(), "kept");
    EXPECT_EQ(b.parent().name(), "a");

    // The root is the element given, not a copy of it.
    XMLElement inner = b.appendChildElement("inner");
    XMLDocument document(b);
    inner.setStringValue("late");
    EXPECT_EQ(document.rootElement(), b);
    EXPECT_TRUE(b.parent().isNull());
    EXPECT_TRUE(document.xmlData().contains("<inner>late</inner>"));
}

} // namespace
