#include "XMLTestHelpers.h"
#include "support/Color.h"
#include "support/TWXMLProtocol.h"

#include <gtest/gtest.h>

using XMLTest::compact;
using XMLTest::element;
using XMLTest::Parent;

namespace {

const char *const kHalfRed = "<NSColor><redComponent>1.000000</redComponent>"
                             "<greenComponent>0.123457</greenComponent>"
                             "<blueComponent>0.000000</blueComponent>"
                             "<alphaComponent>0.500000</alphaComponent></NSColor>";

TEST(ColorXML, BothRoutesWriteTheFourComponentsInOrder)
{
    const Color c = Color::colorWithCalibratedRed(1, 0.1234567, 0, 0.5);
    EXPECT_EQ(compact(c.freshXMLElement()), kHalfRed);
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(c), kHalfRed);
}

TEST(ColorXML, OtherSpacesAreWrittenAsCalibratedRGB)
{
    const char *grey = "<NSColor><redComponent>0.500000</redComponent>"
                       "<greenComponent>0.500000</greenComponent>"
                       "<blueComponent>0.500000</blueComponent>"
                       "<alphaComponent>1.000000</alphaComponent></NSColor>";
    EXPECT_EQ(compact(Color::colorWithCalibratedWhite(0.5).freshXMLElement()), grey);
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(Color::colorWithDeviceWhite(0.5)), grey);
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(Color::colorWithDeviceRed(0.5, 0.5, 0.5)), grey);
}

TEST(ColorXML, ReadersGiveCalibratedRGB)
{
    const Color expected = Color::colorWithCalibratedRed(1, 0.123457, 0, 0.5);
    const Parent p(kHalfRed);
    EXPECT_EQ(Color::colorWithXMLNode(p.node(), p.xmlDoc()), expected);
    EXPECT_EQ(Color::objectWithXMLElement(element(kHalfRed)), expected);
}

TEST(ColorXML, MissingComponentsReadAsZero)
{
    const Color transparentRed = Color::colorWithCalibratedRed(1, 0, 0, 0);
    const QString noAlpha = "<NSColor><redComponent>1</redComponent></NSColor>";
    const Parent p(noAlpha);
    EXPECT_EQ(Color::colorWithXMLNode(p.node(), p.xmlDoc()), transparentRed);
    EXPECT_EQ(Color::objectWithXMLElement(element(noAlpha)), transparentRed);

    const Parent empty("<other/>");
    EXPECT_EQ(Color::colorWithXMLNode(empty.node(), empty.xmlDoc()),
              Color::colorWithCalibratedRed(0, 0, 0, 0));
    EXPECT_EQ(Color::objectWithXMLElement(XMLElement()), Color::colorWithCalibratedRed(0, 0, 0, 0));
    EXPECT_EQ(Color::colorWithXMLNode(nullptr, nullptr), Color::colorWithCalibratedRed(0, 0, 0, 0));
}

TEST(ColorXML, OddTextIsReadLikeANumberPrefix)
{
    const QString xml = "<NSColor><redComponent>  0.25xyz</redComponent>"
                        "<greenComponent>abc</greenComponent>"
                        "<blueComponent>-3</blueComponent>"
                        "<alphaComponent>1e400</alphaComponent></NSColor>";
    const Parent p(xml);
    const Color viaXPath = Color::colorWithXMLNode(p.node(), p.xmlDoc());
    const Color viaElement = Color::objectWithXMLElement(element(xml));
    for (const Color &c : {viaXPath, viaElement}) {
        EXPECT_EQ(c.redComponent(), 0.25);
        EXPECT_EQ(c.greenComponent(), 0.0);
        EXPECT_EQ(c.blueComponent(), -3.0); // kept as read; only painting clamps
        EXPECT_TRUE(std::isinf(c.alphaComponent()));
        EXPECT_TRUE(c.toQColor().isValid());
    }
}

TEST(ColorXML, DuplicatedComponentsTakeTheFirst)
{
    const QString xml = "<NSColor><redComponent>0.2</redComponent>"
                        "<redComponent>0.9</redComponent><alphaComponent>1</alphaComponent>"
                        "</NSColor>";
    const Parent p(xml);
    EXPECT_EQ(Color::colorWithXMLNode(p.node(), p.xmlDoc()).redComponent(), 0.2);
    LogCapture log;
    EXPECT_EQ(Color::objectWithXMLElement(element(xml)).redComponent(), 0.2);
    EXPECT_EQ(log.lines().size(), 1); // the duplicate is reported
}

TEST(ColorXML, SnippetHasTheDeclarationAndReadsBack)
{
    const Color c = Color::colorWithCalibratedRed(0.1, 0.2, 0.3, 0.4);
    const QString text = c.xmlRepresentation();
    EXPECT_EQ(text.toStdString(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<XMLObj>\n"
                                  "  <NSColor>\n"
                                  "    <redComponent>0.100000</redComponent>\n"
                                  "    <greenComponent>0.200000</greenComponent>\n"
                                  "    <blueComponent>0.300000</blueComponent>\n"
                                  "    <alphaComponent>0.400000</alphaComponent>\n"
                                  "  </NSColor>\n"
                                  "</XMLObj>\n");
    EXPECT_EQ(Color::colorFromXMLRepresentation(text), c);

    const Color fine = Color::colorWithCalibratedRed(0.12345678, 1.0 / 3.0, 0.9999996, 1);
    const auto back = Color::colorFromXMLRepresentation(fine.xmlRepresentation());
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->redComponent(), fine.redComponent(), 5e-7);
    EXPECT_NEAR(back->greenComponent(), fine.greenComponent(), 5e-7);
    EXPECT_EQ(back->blueComponent(), 1.0);
}

TEST(ColorXML, SnippetReaderRefusesWhatIsNoSnippet)
{
    EXPECT_FALSE(Color::colorFromXMLRepresentation(QString()));
    EXPECT_FALSE(Color::colorFromXMLRepresentation(""));
    EXPECT_FALSE(Color::colorFromXMLRepresentation("<XMLObj><NSColor>"));
    EXPECT_FALSE(Color::colorFromXMLRepresentation("<Other><NSColor/></Other>"));
    const auto empty = Color::colorFromXMLRepresentation("<XMLObj/>");
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, Color::colorWithCalibratedRed(0, 0, 0, 0));
}

TEST(ColorXML, ContainersFindTheClassByElementName)
{
    const QVariant v = TWXMLProtocol::objectWithXMLElement(element(kHalfRed));
    ASSERT_TRUE(v.canConvert<Color>());
    EXPECT_EQ(v.value<Color>(), Color::colorWithCalibratedRed(1, 0.123457, 0, 0.5));
    const XMLElement written =
        TWXMLProtocol::freshXMLElement(QVariant::fromValue(v.value<Color>()));
    EXPECT_EQ(compact(written), kHalfRed);
}

} // namespace
