#include "support/SWXMLUtils.h"
#include "TestHelpers.h"
#include "platform/RecordingAlerts.h"
#include "support/TWXMLUtils.h"

namespace {

const QString kNoString =
    "Error: Invalid formation of screenwriter XML - no string attribute in element";
const QString kNoType =
    "Error: Invalid formation of screenwriter XML - no type attribute in element";
const QString kEmptyType =
    "Error: Invalid formation of screenwriter XML - empty type attribute in element";

class SWXMLUtilsTest : public testing::Test
{
protected:
    void TearDown() override
    {
        for (xmlXPathContextPtr c : contexts)
            xmlXPathFreeContext(c);
    }
    // The context of the index-th element: full, without type, empty type.
    xmlXPathContextPtr contextOn(int index)
    {
        contexts.push_back(TWXMLUtils::newContext(doc.xmlDoc(), element(index).node()));
        return contexts.back();
    }
    XMLElement element(int index) const { return doc.rootElement().elements().at(index); }

    XMLDocument doc = *XMLDocument::parse(
        "<SWDocument><SWElement><type>Scene Heading</type><string>INT. HOUSE</string>"
        "</SWElement><SWElement><string>no type</string></SWElement>"
        "<SWElement><type></type></SWElement></SWDocument>");
    std::vector<xmlXPathContextPtr> contexts;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
    LogCapture log;
};

TEST_F(SWXMLUtilsTest, ReadsTypeAndStringAndReportsWhatIsMissing)
{
    EXPECT_EQ(SWXMLUtils::getTypeFromContext(contextOn(0)), "Scene Heading");
    EXPECT_EQ(SWXMLUtils::getStringFromContext(contextOn(0)), "INT. HOUSE");
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(SWXMLUtils::getTypeFromContext(contextOn(1)), std::nullopt);
    EXPECT_EQ(SWXMLUtils::getTypeFromContext(contextOn(2)), std::nullopt);
    const QString s = SWXMLUtils::getStringFromContext(contextOn(2));
    EXPECT_TRUE(s.isEmpty() && !s.isNull());
    EXPECT_EQ(log.lines(), (QStringList{kNoType, kEmptyType, kNoString}));
    EXPECT_EQ(alerts.beepCount(), 2); // the string reader does not beep
}

TEST_F(SWXMLUtilsTest, ChangeTypeStoresBothTextsLiterally)
{
    SWXMLUtils::changeType("Action & more", "He says \"<hi>\" & 'bye'", contextOn(0));
    const std::optional<XMLDocument> again = XMLDocument::parse(doc.xmlData());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->rootElement().elements().at(0).stringForPath("type"), "Action & more");
    EXPECT_EQ(again->rootElement().elements().at(0).stringForPath("string"),
              "He says \"<hi>\" & 'bye'");

    SWXMLUtils::changeType("T", "S", contextOn(1)); // no type: nothing changes
    EXPECT_EQ(element(1).stringForPath("string"), "no type");
    SWXMLUtils::changeType("T", "S", contextOn(2)); // type set, then no string
    EXPECT_EQ(element(2).stringForPath("type"), "T");
    EXPECT_EQ(log.lines(), (QStringList{kNoType, kNoString}));
    EXPECT_EQ(alerts.beepCount(), 2);
}

TEST_F(SWXMLUtilsTest, RemoveElementAtIndex)
{
    // A handle on the removed element keeps it readable; it is freed with the
    // handle (the leak check sees it otherwise).
    XMLElement held = element(1);
    SWXMLUtils::removeElementAtIndex(1, doc.xmlDoc());
    EXPECT_EQ(held.name(), "SWElement");
    held = XMLElement();
    ASSERT_EQ(doc.rootElement().childElementCount(), 2);
    EXPECT_EQ(element(1).stringForPath("string"), std::nullopt); // the third one
    SWXMLUtils::removeElementAtIndex(5, doc.xmlDoc());
    SWXMLUtils::removeElementAtIndex(-1, doc.xmlDoc());
    EXPECT_EQ(doc.rootElement().childElementCount(), 2);
    EXPECT_EQ(log.lines().size(), 2);
    std::optional<XMLDocument> empty = XMLDocument::parse("<SWDocument/>");
    SWXMLUtils::removeElementAtIndex(0, empty->xmlDoc());
}

} // namespace
