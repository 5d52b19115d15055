#include "support/SWXMLUtils.h"
#include "LogCapture.h"
#include "QtPrinters.h"
#include "platform/RecordingAlerts.h"
#include "support/TWXMLUtils.h"
#include "support/XMLDocument.h"

#include <gtest/gtest.h>

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
    void SetUp() override
    {
        std::optional<XMLDocument> parsed = XMLDocument::parse(
            "<SWDocument><SWElement><type>Scene Heading</type><string>INT. HOUSE</string>"
            "</SWElement><SWElement><string>no type</string></SWElement>"
            "<SWElement><type></type></SWElement></SWDocument>");
        ASSERT_TRUE(parsed);
        doc = std::move(*parsed);
    }
    void TearDown() override
    {
        for (xmlXPathContextPtr c : contexts)
            xmlXPathFreeContext(c);
    }
    xmlXPathContextPtr contextOn(int index)
    {
        xmlXPathContextPtr c =
            TWXMLUtils::newContext(doc.xmlDoc(), doc.rootElement().elements().at(index).node());
        contexts.push_back(c);
        return c;
    }

    XMLDocument doc;
    std::vector<xmlXPathContextPtr> contexts;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
};

} // namespace

TEST_F(SWXMLUtilsTest, ReadsTypeAndString)
{
    LogCapture log;
    EXPECT_EQ(SWXMLUtils::getTypeFromContext(contextOn(0)), "Scene Heading");
    EXPECT_EQ(SWXMLUtils::getStringFromContext(contextOn(0)), "INT. HOUSE");
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(alerts.beepCount(), 0);
}

TEST_F(SWXMLUtilsTest, MissingOrEmptyPartsAreLogged)
{
    LogCapture log;
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
    const XMLElement first = doc.rootElement().elements().at(0);
    EXPECT_EQ(first.stringForPath("type"), "Action & more");
    EXPECT_EQ(first.stringForPath("string"), "He says \"<hi>\" & 'bye'");
    const std::optional<XMLDocument> again = XMLDocument::parse(doc.xmlData());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->rootElement().elements().at(0).stringForPath("string"),
              "He says \"<hi>\" & 'bye'");
}

TEST_F(SWXMLUtilsTest, ChangeTypeWithMissingChildren)
{
    LogCapture log;
    SWXMLUtils::changeType("T", "S", contextOn(1)); // no type: nothing changes
    EXPECT_EQ(doc.rootElement().elements().at(1).stringForPath("string"), "no type");
    SWXMLUtils::changeType("T", "S", contextOn(2)); // type set, then no string
    EXPECT_EQ(doc.rootElement().elements().at(2).stringForPath("type"), "T");
    EXPECT_EQ(log.lines(), (QStringList{kNoType, kNoString}));
    EXPECT_EQ(alerts.beepCount(), 2);
}

TEST_F(SWXMLUtilsTest, RemoveElementAtIndex)
{
    LogCapture log;
    SWXMLUtils::removeElementAtIndex(1, doc.xmlDoc());
    ASSERT_EQ(doc.rootElement().childElementCount(), 2);
    EXPECT_EQ(doc.rootElement().elements().at(1).stringForPath("string"), std::nullopt);
    SWXMLUtils::removeElementAtIndex(5, doc.xmlDoc());
    SWXMLUtils::removeElementAtIndex(-1, doc.xmlDoc());
    EXPECT_EQ(doc.rootElement().childElementCount(), 2);
    EXPECT_EQ(log.lines().size(), 2);
    std::optional<XMLDocument> empty = XMLDocument::parse("<SWDocument/>");
    SWXMLUtils::removeElementAtIndex(0, empty->xmlDoc());
}
