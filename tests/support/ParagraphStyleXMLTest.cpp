#include "XMLTestHelpers.h"
#include "support/ParagraphStyle.h"
#include "support/TWXMLProtocol.h"

#include <gtest/gtest.h>

using XMLTest::compact;
using XMLTest::element;
using XMLTest::Parent;

namespace {

ParagraphStyle sampleStyle()
{
    ParagraphStyle s;
    s.alignment = CenterTextAlignment;
    s.baseWritingDirection = RightToLeftWritingDirection;
    s.defaultTabInterval = 36;
    s.firstLineHeadIndent = 1.5;
    s.headerLevel = 2;
    s.headIndent = 12.5;
    s.hyphenationFactor = 0.25;
    s.lineBreakMode = LineBreakByTruncatingMiddle;
    s.lineHeightMultiple = 1.2;
    s.lineSpacing = 3;
    s.maximumLineHeight = 40;
    s.minimumLineHeight = 10;
    s.paragraphSpacing = 6;
    s.paragraphSpacingBefore = 4;
    s.tabStops = {TextTab(RightTextAlignment, 100), TextTab(CenterTextAlignment, 250.75)};
    s.tailIndent = -20;
    s.tighteningFactorForTruncation = 0.1;
    return s;
}

const char *const kHead = "<alignment>2</alignment>"
                          "<baseWritingDirection>1</baseWritingDirection>"
                          "<defaultTabInterval>36.000000</defaultTabInterval>"
                          "<firstLineHeadIndent>1.500000</firstLineHeadIndent>"
                          "<headerLevel>2</headerLevel>"
                          "<headIndent>12.500000</headIndent>"
                          "<hyphenationFactor>0.250000</hyphenationFactor>"
                          "<lineBreakMode>5</lineBreakMode>"
                          "<lineHeightMultiple>1.200000</lineHeightMultiple>"
                          "<lineSpacing>3.000000</lineSpacing>"
                          "<maximumLineHeight>40.000000</maximumLineHeight>"
                          "<minimumLineHeight>10.000000</minimumLineHeight>"
                          "<paragraphSpacing>6.000000</paragraphSpacing>"
                          "<paragraphSpacingBefore>4.000000</paragraphSpacingBefore>";
const char *const kTabs = "<tabStop><NSTextTab><alignment>1</alignment>"
                          "<location>100.000000</location></NSTextTab></tabStop>"
                          "<tabStop><NSTextTab><alignment>2</alignment>"
                          "<location>250.750000</location></NSTextTab></tabStop>";
const char *const kTail = "<tailIndent>-20.000000</tailIndent>"
                          "<tighteningFactorForTruncation>0.100000</tighteningFactorForTruncation>";

TEST(ParagraphStyleXML, Libxml2RoutePutsTabStopsBeforeTailIndent)
{
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(sampleStyle()),
              QString("<NSParagraphStyle>") + kHead + kTabs + kTail + "</NSParagraphStyle>");
}

TEST(ParagraphStyleXML, ElementRoutePutsTabStopsLast)
{
    EXPECT_EQ(compact(sampleStyle().freshXMLElement()),
              QString("<NSParagraphStyle>") + kHead + kTail + kTabs + "</NSParagraphStyle>");
}

TEST(ParagraphStyleXML, RoundTripsOnBothRoutes)
{
    const ParagraphStyle s = sampleStyle();
    EXPECT_EQ(ParagraphStyle::objectWithXMLElement(s.freshXMLElement()), s);
    const Parent p(XMLTest::writtenByLibxml2Route(s));
    EXPECT_EQ(ParagraphStyle::withXMLNode(p.node(), p.xmlDoc()), s);

    const ParagraphStyle d;
    EXPECT_EQ(ParagraphStyle::objectWithXMLElement(d.freshXMLElement()), d);
    const Parent pd(XMLTest::writtenByLibxml2Route(d));
    EXPECT_EQ(ParagraphStyle::withXMLNode(pd.node(), pd.xmlDoc()), d);
}

TEST(ParagraphStyleXML, Libxml2RouteChangesOnlyWhatItFinds)
{
    const Parent p("<NSParagraphStyle><alignment>2</alignment></NSParagraphStyle>");
    ParagraphStyle expected;
    expected.alignment = CenterTextAlignment;
    EXPECT_EQ(ParagraphStyle::withXMLNode(p.node(), p.xmlDoc()), expected);

    const Parent none("<somethingElse/>");
    EXPECT_EQ(ParagraphStyle::withXMLNode(none.node(), none.xmlDoc()), ParagraphStyle());
    EXPECT_EQ(ParagraphStyle::withXMLNode(nullptr, nullptr), ParagraphStyle());
}

TEST(ParagraphStyleXML, ElementRouteZeroesWhatIsMissing)
{
    const ParagraphStyle s = ParagraphStyle::objectWithXMLElement(
        element("<NSParagraphStyle><alignment>2</alignment></NSParagraphStyle>"));
    EXPECT_EQ(s.alignment, CenterTextAlignment);
    EXPECT_EQ(s.baseWritingDirection, LeftToRightWritingDirection); // not natural
    EXPECT_EQ(s.tighteningFactorForTruncation, 0.0);                // not 0.05
    EXPECT_EQ(s.lineBreakMode, 0);
    EXPECT_EQ(s.tabStops, ParagraphStyle::defaultTabStops());
    EXPECT_EQ(ParagraphStyle::objectWithXMLElement(XMLElement()).tabStops,
              ParagraphStyle::defaultTabStops());
}

TEST(ParagraphStyleXML, NoTabStopsReadBackAsTheDefaultOnes)
{
    ParagraphStyle s = sampleStyle();
    s.tabStops.clear();
    EXPECT_EQ(ParagraphStyle::objectWithXMLElement(s.freshXMLElement()).tabStops,
              ParagraphStyle::defaultTabStops());
    const Parent p(XMLTest::writtenByLibxml2Route(s));
    EXPECT_EQ(ParagraphStyle::withXMLNode(p.node(), p.xmlDoc()).tabStops,
              ParagraphStyle::defaultTabStops());
}

TEST(ParagraphStyleXML, TabStopHoldersWithoutTabs)
{
    const QString xml = "<NSParagraphStyle><tabStop/><tabStop>text</tabStop>"
                        "<tabStop><NSTextTab><location>5</location></NSTextTab></tabStop>"
                        "</NSParagraphStyle>";
    const QList<TextTab> elementRoute = {TextTab(0, 0), TextTab(0, 0), TextTab(0, 5)};
    EXPECT_EQ(ParagraphStyle::objectWithXMLElement(element(xml)).tabStops, elementRoute);
    const QList<TextTab> libxml2Route = {TextTab(0, 10), TextTab(0, 10), TextTab(0, 5)};
    const Parent p(xml);
    EXPECT_EQ(ParagraphStyle::withXMLNode(p.node(), p.xmlDoc()).tabStops, libxml2Route);
}

TEST(ParagraphStyleXML, TabStopsOfASecondStyleAreNotMixedIn)
{
    const Parent p("<NSParagraphStyle><tabStop><NSTextTab><location>5</location></NSTextTab>"
                   "</tabStop></NSParagraphStyle><NSParagraphStyle><tabStop><NSTextTab>"
                   "<location>7</location></NSTextTab></tabStop></NSParagraphStyle>");
    EXPECT_EQ(ParagraphStyle::withXMLNode(p.node(), p.xmlDoc()).tabStops,
              QList<TextTab>{TextTab(0, 5)});
}

TEST(ParagraphStyleXML, HugeAndOddNumbersAreBoundedOrKept)
{
    const QString xml = "<NSParagraphStyle><alignment>99999999999999</alignment>"
                        "<lineBreakMode>-7</lineBreakMode><headIndent>1e999</headIndent>"
                        "<headerLevel>x</headerLevel></NSParagraphStyle>";
    const Parent p(xml);
    for (const ParagraphStyle &s : {ParagraphStyle::withXMLNode(p.node(), p.xmlDoc()),
                                    ParagraphStyle::objectWithXMLElement(element(xml))}) {
        EXPECT_EQ(s.alignment, std::numeric_limits<int>::max());
        EXPECT_EQ(s.lineBreakMode, -7);
        EXPECT_TRUE(std::isinf(s.headIndent));
        EXPECT_EQ(s.headerLevel, 0);
    }
}

TEST(TextTabXML, BothRoutesWriteAlignmentThenLocation)
{
    const char *expected =
        "<NSTextTab><alignment>3</alignment><location>42.125000</location></NSTextTab>";
    EXPECT_EQ(compact(TextTab(3, 42.125).freshXMLElement()), expected);
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(TextTab(3, 42.125)), expected);
}

TEST(TextTabXML, DefaultsDifferPerRoute)
{
    const Parent p("<NSTextTab><alignment>1</alignment></NSTextTab>");
    EXPECT_EQ(TextTab::withXMLNode(p.node(), p.xmlDoc()), TextTab(1, 10));
    EXPECT_EQ(
        TextTab::objectWithXMLElement(element("<NSTextTab><alignment>1</alignment></NSTextTab>")),
        TextTab(1, 0));
    const Parent empty("");
    EXPECT_EQ(TextTab::withXMLNode(empty.node(), empty.xmlDoc()), TextTab(0, 10));
    EXPECT_EQ(TextTab::objectWithXMLElement(XMLElement()), TextTab(0, 0));
}

TEST(ParagraphStyleXML, ContainersReadBothNames)
{
    const ParagraphStyle s = sampleStyle();
    const QVariant v = TWXMLProtocol::objectWithXMLElement(s.freshXMLElement());
    ASSERT_TRUE(v.canConvert<ParagraphStyle>());
    EXPECT_EQ(v.value<ParagraphStyle>(), s);

    XMLElement mutableName = s.freshXMLElement();
    mutableName.setName("NSMutableParagraphStyle");
    EXPECT_EQ(TWXMLProtocol::objectWithXMLElement(mutableName).value<ParagraphStyle>(), s);
    // Written under the immutable name.
    EXPECT_EQ(TWXMLProtocol::freshXMLElement(QVariant::fromValue(s)).name(), "NSParagraphStyle");

    const QVariant tab = TWXMLProtocol::objectWithXMLElement(TextTab(1, 2).freshXMLElement());
    EXPECT_EQ(tab.value<TextTab>(), TextTab(1, 2));
}

} // namespace
