#include "XMLTestHelpers.h"
#include "support/Shadow.h"
#include "support/TWXMLProtocol.h"

#include <gtest/gtest.h>

using XMLTest::compact;
using XMLTest::element;
using XMLTest::Parent;

namespace {

const Color kBlueish = Color::colorWithCalibratedRed(0, 0, 1, 0.5);
const char *const kBlueishXML = "<NSColor><redComponent>0.000000</redComponent>"
                                "<greenComponent>0.000000</greenComponent>"
                                "<blueComponent>1.000000</blueComponent>"
                                "<alphaComponent>0.500000</alphaComponent></NSColor>";

TEST(ShadowXML, ElementRouteWritesOffsetBlurColour)
{
    const Shadow s(Size(2.5f, -3), 4, kBlueish);
    EXPECT_EQ(compact(s.freshXMLElement()),
              QString("<NSShadow><shadowOffset><width>2.500000</width><height>-3.000000</height>"
                      "</shadowOffset><shadowBlurRadius>4.000000</shadowBlurRadius>"
                      "<shadowColor>%1</shadowColor></NSShadow>")
                  .arg(kBlueishXML));
}

TEST(ShadowXML, Libxml2RouteWritesBlurColourOffset)
{
    const Shadow s(Size(2.5f, -3), 4, kBlueish);
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(s),
              QString("<NSShadow><shadowBlurRadius>4.000000</shadowBlurRadius>"
                      "<shadowColor>%1</shadowColor><shadowOffset><width>2.500000</width>"
                      "<height>-3.000000</height></shadowOffset></NSShadow>")
                  .arg(kBlueishXML));
}

TEST(ShadowXML, WithoutColour)
{
    const Shadow s(Size(1, 1), 0, std::nullopt);
    // The libxml2 route leaves the colour out.
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(s),
              "<NSShadow><shadowBlurRadius>0.000000</shadowBlurRadius><shadowOffset>"
              "<width>1.000000</width><height>1.000000</height></shadowOffset></NSShadow>");
    // The element route always has one: the colour the shadow is drawn in.
    const Shadow back = Shadow::objectWithXMLElement(s.freshXMLElement());
    ASSERT_TRUE(back.shadowColor());
    EXPECT_EQ(back.shadowColor()->redComponent(), 0.0);
    EXPECT_EQ(back.shadowColor()->blueComponent(), 0.0);
    EXPECT_NEAR(back.shadowColor()->alphaComponent(), 1.0 / 3.0, 1e-6);
}

TEST(ShadowXML, RoundTripsOnBothRoutes)
{
    const Shadow s(Size(-7.25f, 12), 3.5, kBlueish);
    EXPECT_EQ(Shadow::objectWithXMLElement(s.freshXMLElement()), s);
    const Parent p(XMLTest::writtenByLibxml2Route(s));
    EXPECT_EQ(Shadow::withXMLNode(p.node(), p.xmlDoc()), s);
}

TEST(ShadowXML, DefaultsDifferPerRoute)
{
    const Parent p("<NSShadow/>");
    EXPECT_EQ(Shadow::withXMLNode(p.node(), p.xmlDoc()),
              Shadow(Size(5, -5), 5, Color::blackColor()));
    const Parent none("");
    EXPECT_EQ(Shadow::withXMLNode(none.node(), none.xmlDoc()),
              Shadow(Size(5, -5), 5, Color::blackColor()));

    EXPECT_EQ(Shadow::objectWithXMLElement(element("<NSShadow/>")),
              Shadow(Size(0, 0), 0, Color::colorWithCalibratedRed(0, 0, 0, 0)));
    EXPECT_EQ(Shadow::objectWithXMLElement(XMLElement()),
              Shadow(Size(0, 0), 0, Color::colorWithCalibratedRed(0, 0, 0, 0)));
}

TEST(ShadowXML, PartialElementsMixReadAndDefaultValues)
{
    const QString xml = "<NSShadow><shadowOffset><height>2</height></shadowOffset>"
                        "<shadowColor>junk text</shadowColor></NSShadow>";
    const Parent p(xml);
    // A colour holder without a colour reads as the colour of no components.
    EXPECT_EQ(Shadow::withXMLNode(p.node(), p.xmlDoc()),
              Shadow(Size(5, 2), 5, Color::colorWithCalibratedRed(0, 0, 0, 0)));
    EXPECT_EQ(Shadow::objectWithXMLElement(element(xml)),
              Shadow(Size(0, 2), 0, Color::colorWithCalibratedRed(0, 0, 0, 0)));
}

TEST(ShadowXML, DuplicatedChildrenTakeTheFirst)
{
    const QString xml = QString("<NSShadow><shadowBlurRadius>1</shadowBlurRadius>"
                                "<shadowBlurRadius>9</shadowBlurRadius>"
                                "<shadowColor>%1</shadowColor><shadowColor><NSColor/></shadowColor>"
                                "<shadowOffset><width>3</width><height>4</height></shadowOffset>"
                                "</NSShadow>")
                            .arg(kBlueishXML);
    const Shadow expected(Size(3, 4), 1, kBlueish);
    const Parent p(xml);
    EXPECT_EQ(Shadow::withXMLNode(p.node(), p.xmlDoc()), expected);
    LogCapture log;
    EXPECT_EQ(Shadow::objectWithXMLElement(element(xml)), expected);
}

TEST(ShadowXML, ContainersFindTheClassByElementName)
{
    const Shadow s(Size(1, 2), 3, kBlueish);
    const QVariant v = TWXMLProtocol::objectWithXMLElement(s.freshXMLElement());
    ASSERT_TRUE(v.canConvert<Shadow>());
    EXPECT_EQ(v.value<Shadow>(), s);
}

} // namespace
