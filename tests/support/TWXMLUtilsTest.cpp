#include "support/TWXMLUtils.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "support/XMLDocument.h"

#include <gtest/gtest.h>
#include <libxml/xpath.h>

namespace {

XMLDocument document(const char *xml)
{
    std::optional<XMLDocument> doc = XMLDocument::parse(QByteArray(xml));
    EXPECT_TRUE(doc) << xml;
    return doc ? std::move(*doc) : XMLDocument();
}

} // namespace

TEST(TWXMLUtilsXPath, TemporaryContextFindsFromTheDocument)
{
    LogCapture log;
    XMLDocument doc = document("<r><a>1</a><a>2</a></r>");
    xmlXPathObjectPtr result = TWXMLUtils::getNodeSetForXPath("/r/a", doc.xmlDoc(), nullptr);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->nodesetval->nodeNr, 2);
    EXPECT_EQ(TWXMLUtils::textOfNode(result->nodesetval->nodeTab[0]), "1");
    xmlXPathFreeObject(result);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(TWXMLUtilsXPath, EmptyResultIsNullWithoutMessage)
{
    LogCapture log;
    XMLDocument doc = document("<r/>");
    EXPECT_EQ(TWXMLUtils::getNodeSetForXPath("/r/missing", doc.xmlDoc(), nullptr), nullptr);
    EXPECT_EQ(TWXMLUtils::getNodeSetForXPath("count(/r)", doc.xmlDoc(), nullptr), nullptr);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(TWXMLUtilsXPath, BadQueryIsLoggedWithTheQuery)
{
    LogCapture log;
    XMLDocument doc = document("<r/>");
    testing::internal::CaptureStderr();
    EXPECT_EQ(TWXMLUtils::getNodeSetForXPath("/r[", doc.xmlDoc(), nullptr), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(log.lines(), QStringList{"Error in xmlXPathEvalExpression /r["});
}

TEST(TWXMLUtilsXPath, GivenContextIsRelativeAndLeftToItsOwner)
{
    XMLDocument doc = document("<r><p><NSColor><redComponent>0.5</redComponent></NSColor></p>"
                               "<q><NSColor><redComponent>0.7</redComponent></NSColor></q></r>");
    xmlNodePtr q = doc.rootElement().elementForName("q").node();
    xmlXPathContextPtr context = TWXMLUtils::newContext(doc.xmlDoc(), q);
    for (int i = 0; i < 2; ++i) { // still usable: the helper did not free it
        xmlXPathObjectPtr r =
            TWXMLUtils::getNodeSetForXPath("NSColor/redComponent", doc.xmlDoc(), context);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(TWXMLUtils::textOfNode(r->nodesetval->nodeTab[0]), "0.7");
        xmlXPathFreeObject(r);
    }
    xmlXPathFreeContext(context);
}

TEST(TWXMLUtilsReader, FirstNodeWinsAndMissingIsNullopt)
{
    LogCapture log;
    XMLDocument doc = document("<p><NSColor><redComponent>0.25</redComponent>"
                               "<redComponent>0.75</redComponent><flag>YES</flag>"
                               "<lower>yes</lower><empty/><n> -12x</n></NSColor></p>");
    TWXMLUtils::XPathReader reader(doc.rootElement().node(), doc.xmlDoc());
    ASSERT_TRUE(reader.isValid());
    EXPECT_EQ(reader.floatValue("NSColor/redComponent"), 0.25);
    EXPECT_EQ(reader.floatValue("NSColor/greenComponent"), std::nullopt);
    EXPECT_EQ(reader.boolValue("NSColor/flag"), true);
    EXPECT_EQ(reader.boolValue("NSColor/lower"), false); // only "YES" counts on this route
    EXPECT_EQ(reader.text("NSColor/empty"), QString(""));
    EXPECT_EQ(reader.intValue("NSColor/n"), -12);
    EXPECT_EQ(reader.intValue("NSColor/empty"), 0);
    EXPECT_TRUE(log.lines().isEmpty()); // no duplicate warning on this route
}

TEST(TWXMLUtilsReader, NullParentReadsNothing)
{
    XMLDocument doc = document("<p/>");
    TWXMLUtils::XPathReader reader(nullptr, doc.xmlDoc());
    EXPECT_FALSE(reader.isValid());
    EXPECT_EQ(reader.text("a"), std::nullopt);
}

TEST(TWXMLUtilsWriter, TextChildrenAreEscaped)
{
    XMLDocument doc(XMLElement::create("p"));
    xmlNodePtr value = TWXMLUtils::addElementChild(doc.rootElement().node(), "NSValue");
    TWXMLUtils::addTextChild(value, "name", "a < b & c");
    TWXMLUtils::addTextChild(value, "empty", "");
    EXPECT_EQ(doc.rootElement().xmlString(), "<p>\n  <NSValue>\n    <name>a &lt; b &amp; "
                                             "c</name>\n    <empty></empty>\n  </NSValue>\n</p>");
    EXPECT_EQ(doc.rootElement().stringForPath("NSValue/name"), "a < b & c");
}

TEST(TWXMLUtilsSnippet, WritesTheXMLObjDocument)
{
    const QString text = TWXMLUtils::xmlRepresentation([](xmlNodePtr root) {
        xmlNodePtr v = TWXMLUtils::addElementChild(root, "NSValue");
        TWXMLUtils::addTextChild(v, "x", "1.000000");
    });
    EXPECT_EQ(text, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<XMLObj>\n  <NSValue>\n"
                    "    <x>1.000000</x>\n  </NSValue>\n</XMLObj>\n");
    const std::optional<double> x =
        TWXMLUtils::fromXMLRepresentation(text, [](xmlNodePtr parent, xmlDocPtr doc) {
            return TWXMLUtils::XPathReader(parent, doc).floatValue("NSValue/x").value_or(-1);
        });
    EXPECT_EQ(x, 1.0);
}

TEST(TWXMLUtilsSnippet, UnreadableSnippetsGiveNothingSilently)
{
    LogCapture log;
    int calls = 0;
    auto read = [&](xmlNodePtr, xmlDocPtr) {
        ++calls;
        return std::optional<int>(1); // not nested in the result
    };
    static_assert(std::is_same_v<decltype(TWXMLUtils::fromXMLRepresentation(QString(), read)),
                                 std::optional<int>>);
    EXPECT_FALSE(TWXMLUtils::fromXMLRepresentation(QString(), read));
    EXPECT_FALSE(TWXMLUtils::fromXMLRepresentation("", read));
    EXPECT_FALSE(TWXMLUtils::fromXMLRepresentation("<XMLObj>", read));
    EXPECT_FALSE(TWXMLUtils::fromXMLRepresentation("<Other><NSColor/></Other>", read));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(TWXMLUtils::fromXMLRepresentation("<XMLObj/>", read), 1);
    EXPECT_TRUE(log.lines().isEmpty());
}
