#include "support/Shadow.h"
#include "TestHelpers.h"
#include "support/ShadowZoomed.h"

using namespace XMLTest;

namespace {

const Color kBlueish = Color::colorWithCalibratedRed(0, 0, 1, 0.5);
const Color kNoComponents = Color::colorWithCalibratedRed(0, 0, 0, 0);
const QString kBlueishXML = "<NSColor><redComponent>0.000000</redComponent>"
                            "<greenComponent>0.000000</greenComponent>"
                            "<blueComponent>1.000000</blueComponent>"
                            "<alphaComponent>0.500000</alphaComponent></NSColor>";

// The two routes write the children in different orders; only the libxml2
// route leaves out a missing colour.
TEST(ShadowXML, ExactTextOnBothRoutes)
{
    const Shadow s(Size(2.5f, -3), 4, kBlueish);
    const QString offset =
        "<shadowOffset><width>2.500000</width><height>-3.000000</height></shadowOffset>";
    const QString blur = "<shadowBlurRadius>4.000000</shadowBlurRadius>";
    const QString color = "<shadowColor>" + kBlueishXML + "</shadowColor>";
    EXPECT_EQ(compact(s.freshXMLElement()), "<NSShadow>" + offset + blur + color + "</NSShadow>");
    EXPECT_EQ(written(s), "<NSShadow>" + blur + color + offset + "</NSShadow>");
    EXPECT_EQ(written(Shadow(Size(2.5f, -3), 4, std::nullopt)),
              "<NSShadow>" + blur + offset + "</NSShadow>");

    EXPECT_EQ(Shadow::objectWithXMLElement(s.freshXMLElement()), s);
    EXPECT_EQ(readFrom(written(s), &Shadow::withXMLNode), s);
    // The element route writes the colour a colourless shadow is drawn in.
    const Shadow back =
        Shadow::objectWithXMLElement(Shadow(Size(1, 1), 0, std::nullopt).freshXMLElement());
    ASSERT_TRUE(back.shadowColor());
    EXPECT_EQ(back.shadowColor()->redComponent(), 0.0);
    EXPECT_NEAR(back.shadowColor()->alphaComponent(), 1.0 / 3.0, 1e-6);
}

TEST(ShadowXML, DefaultsDifferPerRoute)
{
    const struct
    {
        QString xml;
        Shadow libxml2Route;
        Shadow elementRoute;
    } cases[] = {
        {"<NSShadow/>", Shadow(Size(5, -5), 5, Color::colorWithCalibratedRed(0, 0, 0, 1)),
         Shadow(Size(0, 0), 0, kNoComponents)},
        // A colour holder without a colour reads as the colour of no components.
        {"<NSShadow><shadowOffset><height>2</height></shadowOffset>"
         "<shadowColor>junk text</shadowColor></NSShadow>",
         Shadow(Size(5, 2), 5, kNoComponents), Shadow(Size(0, 2), 0, kNoComponents)},
        // Of duplicated children the first wins.
        {"<NSShadow><shadowBlurRadius>1</shadowBlurRadius><shadowBlurRadius>9</shadowBlurRadius>"
         "<shadowColor>" +
             kBlueishXML +
             "</shadowColor><shadowColor><NSColor/></shadowColor>"
             "<shadowOffset><width>3</width><height>4</height></shadowOffset></NSShadow>",
         Shadow(Size(3, 4), 1, kBlueish), Shadow(Size(3, 4), 1, kBlueish)}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.xml.toStdString());
        EXPECT_EQ(readFrom(c.xml, &Shadow::withXMLNode), c.libxml2Route);
        LogCapture log;
        EXPECT_EQ(Shadow::objectWithXMLElement(element(c.xml)), c.elementRoute);
    }
    EXPECT_EQ(readFrom("", &Shadow::withXMLNode), Shadow(Size(5, -5), 5, Color::colorWithCalibratedRed(0, 0, 0, 1)));
    EXPECT_EQ(Shadow::objectWithXMLElement(XMLElement()), Shadow(Size(0, 0), 0, kNoComponents));
}

TEST(ShadowZoom, ScalesOffsetAndBlurNotColour)
{
    const Shadow shadow(Size(3, -4), 5, kBlueish);
    EXPECT_EQ(Zoomed::shadowZoomedTo(shadow, 200), Shadow(Size(6, -8), 10, kBlueish));
    EXPECT_EQ(Zoomed::shadowZoomedTo(shadow, 50), Shadow(Size(1.5f, -2), 2.5, kBlueish));
    EXPECT_EQ(Zoomed::shadowZoomedTo(shadow, 100), shadow);
}

} // namespace
