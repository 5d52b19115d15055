#include "support/TWXMLUtils.h"
#include "TestHelpers.h"

#include <libxml/xpath.h>

namespace {

XMLDocument document(const char *xml)
{
    std::optional<XMLDocument> doc = XMLDocument::parse(QByteArray(xml));
    EXPECT_TRUE(doc) << xml;
    return doc ? std::move(*doc) : XMLDocument();
}

TEST(TWXMLUtilsXPath, QueriesFromTheDocumentOrAGivenContext)
{
    LogCapture log;
    XMLDocument doc = document("<r><a>1</a><a>2</a><q><a>3</a></q></r>");
    xmlXPathObjectPtr result = TWXMLUtils::getNodeSetForXPath("/r/a", doc.xmlDoc(), nullptr);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->nodesetval->nodeNr, 2);
    EXPECT_EQ(TWXMLUtils::textOfNode(result->nodesetval->nodeTab[1]), "2");
    xmlXPathFreeObject(result);
    // A given context is relative and left to its owner, still usable.
    xmlXPathContextPtr context =
        TWXMLUtils::newContext(doc.xmlDoc(), doc.rootElement().elementForName("q").node());
    for (int i = 0; i < 2; ++i) {
        result = TWXMLUtils::getNodeSetForXPath("a", doc.xmlDoc(), context);
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(TWXMLUtils::textOfNode(result->nodesetval->nodeTab[0]), "3");
        xmlXPathFreeObject(result);
    }
    xmlXPathFreeContext(context);
    // Empty results are null without a message; bad queries are logged.
    EXPECT_EQ(TWXMLUtils::getNodeSetForXPath("/r/missing", doc.xmlDoc(), nullptr), nullptr);
    EXPECT_EQ(TWXMLUtils::getNodeSetForXPath("count(/r)", doc.xmlDoc(), nullptr), nullptr);
    EXPECT_TRUE(log.lines().isEmpty());
    testing::internal::CaptureStderr();
    EXPECT_EQ(TWXMLUtils::getNodeSetForXPath("/r[", doc.xmlDoc(), nullptr), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(log.lines(), QStringList{"Error in xmlXPathEvalExpression /r["});
}

TEST(TWXMLUtilsReader, FirstNodeWinsAndMissingIsNullopt)
{
    LogCapture log;
    XMLDocument doc = document("<p><NSColor><redComponent>0.25</redComponent>"
                               "<redComponent>0.75</redComponent><flag>YES</flag>"
                               "<lower>yes</lower><empty/><n> -12x</n></NSColor></p>");
    TWXMLUtils::XPathReader reader(doc.rootElement().node(), doc.xmlDoc());
    EXPECT_EQ(reader.floatValue("NSColor/redComponent"), 0.25);
    EXPECT_EQ(reader.floatValue("NSColor/greenComponent"), std::nullopt);
    EXPECT_EQ(reader.boolValue("NSColor/flag"), true);
    EXPECT_EQ(reader.boolValue("NSColor/lower"), false); // only "YES" counts on this route
    EXPECT_EQ(reader.text("NSColor/empty"), QString(""));
    EXPECT_EQ(reader.intValue("NSColor/n"), -12);
    EXPECT_EQ(reader.intValue("NSColor/empty"), 0);
    EXPECT_TRUE(log.lines().isEmpty()); // no duplicate warning on this route
    TWXMLUtils::XPathReader none(nullptr, doc.xmlDoc());
    EXPECT_FALSE(none.isValid());
    EXPECT_EQ(none.text("a"), std::nullopt);
}

// Plain child paths are answered by walking the tree; the answers must be
// those of the XPath query.
TEST(TWXMLUtilsReader, ChildPathsAnswerAsXPathDoes)
{
    XMLDocument doc = document("<p><a><x>0</x></a><a><b>2</b><b>3</b></a><b>1</b>"
                               "<c xmlns=\"urn:other\">ns</c><d>4<!-- note --></d>"
                               "<glyphName>5</glyphName><glyph>6</glyph></p>");
    TWXMLUtils::XPathReader reader(doc.rootElement().node(), doc.xmlDoc());
    const char *queries[] = {"a/b",       "b",   "a/x",   "c",         "a/b/none", "d",
                             "a[2]/b[2]", "*/b", "glyph", "glyphName", "glyphNam"};
    for (const char *query : queries) {
        xmlXPathContextPtr ctx = TWXMLUtils::newContext(doc.xmlDoc(), doc.rootElement().node());
        xmlXPathObjectPtr result = TWXMLUtils::getNodeSetForXPath(query, doc.xmlDoc(), ctx);
        const xmlNodePtr expected = result ? result->nodesetval->nodeTab[0] : nullptr;
        EXPECT_EQ(reader.node(query), expected) << query;
        if (result)
            xmlXPathFreeObject(result);
        xmlXPathFreeContext(ctx);
    }
    EXPECT_EQ(reader.text("a/b"), "2");
    EXPECT_EQ(reader.text("c"), std::nullopt); // an element in a namespace is another name
    EXPECT_EQ(reader.text("glyph"), "6");      // a longer name is another name

    reader.setParent(doc.rootElement().elements().at(1).node());
    EXPECT_EQ(reader.text("b"), "2");
    EXPECT_EQ(reader.text("b[2]"), "3");
}

// A reader asked many times answers from a table of its parent's children;
// the answers stay those of the query however many children there are,
// repeated names included, and numbers read as their text does.
TEST(TWXMLUtilsReader, ManyLookupsAnswerAsXPathDoes)
{
    for (const int count : {5, 40, 70}) {
        QByteArray xml = "<p>";
        for (int i = 0; i < count; ++i)
            xml += "<c" + QByteArray::number(i) + ">" + QByteArray::number(i) + "</c" +
                   QByteArray::number(i) + ">";
        xml += "<c1>dup</c1><t>\xc3\xa9" "7</t><long>" + QByteArray(80, '0') + "12</long>"
               "<x xmlns=\"urn:other\">9</x></p>";
        XMLDocument doc = document(xml.constData());
        TWXMLUtils::XPathReader reader(doc.rootElement().node(), doc.xmlDoc());
        for (int i = count + 1; i-- > 0;) {
            const QByteArray query = "c" + QByteArray::number(i);
            xmlXPathContextPtr ctx = TWXMLUtils::newContext(doc.xmlDoc(), doc.rootElement().node());
            xmlXPathObjectPtr result =
                TWXMLUtils::getNodeSetForXPath(query.constData(), doc.xmlDoc(), ctx);
            EXPECT_EQ(reader.node(query.constData()),
                      result ? result->nodesetval->nodeTab[0] : nullptr)
                << count << " " << query.constData();
            if (result)
                xmlXPathFreeObject(result);
            xmlXPathFreeContext(ctx);
        }
        EXPECT_EQ(reader.intValue("c1"), 1) << count;
        EXPECT_EQ(reader.intValue("t"), 0) << count; // a leading letter, not a digit
        EXPECT_EQ(reader.longLongValue("long"), 12) << count;
        EXPECT_EQ(reader.floatValue("long"), 12.0) << count;
        EXPECT_EQ(reader.node("x"), nullptr) << count;
    }
}

TEST(TWXMLUtilsSnippet, WritesEscapedTextUnderXMLObjAndReadsItBack)
{
    const QString text = TWXMLUtils::xmlRepresentation([](xmlNodePtr root) {
        xmlNodePtr v = TWXMLUtils::addElementChild(root, "NSValue");
        TWXMLUtils::addTextChild(v, "x", "1.000000");
        TWXMLUtils::addTextChild(v, "name", "a < b & c");
        TWXMLUtils::addTextChild(v, "empty", "");
        TWXMLUtils::addTextChild(v, "missing", QString());
        // Control characters and unpaired surrogates go; a pair stays.
        TWXMLUtils::addTextChild(v, "control",
                                 "a\x01\x1f" + QString(QChar(0xDC00)) + "b" +
                                     QString::fromUcs4(U"\U0001F600") + QChar(0xD800));
    });
    EXPECT_EQ(text,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XMLObj>\n  <NSValue>\n"
              "    <x>1.000000</x>\n    <name>a &lt; b &amp; c</name>\n"
              "    <empty></empty>\n    <missing/>\n    <control>ab\xF0\x9F\x98\x80</control>\n  "
              "</NSValue>\n</XMLObj>\n");
    EXPECT_EQ(
        TWXMLUtils::fromXMLRepresentation(
            text,
            [](xmlNodePtr parent, xmlDocPtr doc) {
                return TWXMLUtils::XPathReader(parent, doc).floatValue("NSValue/x").value_or(-1);
            }),
        1.0);

    // What is no snippet gives nothing, silently, without calling the reader.
    LogCapture log;
    int calls = 0;
    auto read = [&](xmlNodePtr, xmlDocPtr) {
        ++calls;
        return std::optional<int>(1); // not nested in the result
    };
    static_assert(std::is_same_v<decltype(TWXMLUtils::fromXMLRepresentation(QString(), read)),
                                 std::optional<int>>);
    for (const char *junk : {"", "<XMLObj>", "<Other><NSColor/></Other>"})
        EXPECT_FALSE(TWXMLUtils::fromXMLRepresentation(junk, read)) << junk;
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(TWXMLUtils::fromXMLRepresentation("<XMLObj/>", read), 1);
    EXPECT_TRUE(log.lines().isEmpty());
}

} // namespace
