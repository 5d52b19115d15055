#include "support/Color.h"
#include "TestHelpers.h"

#include <cmath>

using namespace XMLTest;

namespace {

Color rgb(double r, double g, double b, double a = 1)
{
    return Color::colorWithCalibratedRed(r, g, b, a);
}

// Equal needs the same space and exactly the same components.
TEST(Color, SpacesAndEquality)
{
    const Color a = rgb(0.123456789, 0.5, 0.5);
    EXPECT_EQ(a, rgb(0.123456789, 0.5, 0.5));
    EXPECT_NE(a, rgb(0.123456788, 0.5, 0.5));
    EXPECT_NE(a, Color::colorWithDeviceRed(0.123456789, 0.5, 0.5, 1));
    EXPECT_NE(Color::colorWithCalibratedWhite(0.5), rgb(0.5, 0.5, 0.5));
    EXPECT_EQ(Color::colorWithCalibratedWhite(0.5, 0.25).toCalibratedRGB(),
              rgb(0.5, 0.5, 0.5, 0.25));
    EXPECT_NEAR(rgb(1, 1, 1).colorUsingColorSpace(Color::Space::CalibratedWhite).whiteComponent(),
                1.0, 1e-12);
    EXPECT_EQ(Color(), rgb(0, 0, 0));
}

TEST(Color, PaintsOutOfRangeComponentsClamped)
{
    const QColor q = rgb(-3, 7, std::nan(""), 2).toQColor();
    EXPECT_TRUE(q.isValid());
    EXPECT_EQ(q.redF(), 0.0f);
    EXPECT_EQ(q.greenF(), 1.0f);
    EXPECT_EQ(q.blueF(), 0.0f);
    EXPECT_EQ(q.alphaF(), 1.0f);
    EXPECT_EQ(Color::fromQColor(QColor(255, 0, 0)), Color::colorWithDeviceRed(1, 0, 0, 1));
}

TEST(ColorXML, BothRoutesWriteTheFourComponentsAsCalibratedRGB)
{
    const QString halfRed = "<NSColor><redComponent>1.000000</redComponent>"
                            "<greenComponent>0.123457</greenComponent>"
                            "<blueComponent>0.000000</blueComponent>"
                            "<alphaComponent>0.500000</alphaComponent></NSColor>";
    EXPECT_EQ(compact(rgb(1, 0.1234567, 0, 0.5).freshXMLElement()), halfRed);
    EXPECT_EQ(written(rgb(1, 0.1234567, 0, 0.5)), halfRed);

    const QString grey = "<NSColor><redComponent>0.500000</redComponent>"
                         "<greenComponent>0.500000</greenComponent>"
                         "<blueComponent>0.500000</blueComponent>"
                         "<alphaComponent>1.000000</alphaComponent></NSColor>";
    EXPECT_EQ(compact(Color::colorWithCalibratedWhite(0.5).freshXMLElement()), grey);
    EXPECT_EQ(written(Color::colorWithDeviceWhite(0.5)), grey);
}

// Missing components read as 0, odd texts like a number prefix, and of
// duplicated children the first wins (the element route reports it).
TEST(ColorXML, BothReadersAgree)
{
    const std::tuple<const char *, Color, int> cases[] = {
        {"<NSColor><redComponent>1</redComponent><greenComponent>0.123457</greenComponent>"
         "<blueComponent>0</blueComponent><alphaComponent>0.5</alphaComponent></NSColor>",
         rgb(1, 0.123457, 0, 0.5), 0},
        {"<NSColor><redComponent>1</redComponent></NSColor>", rgb(1, 0, 0, 0), 0},
        {"<NSColor><redComponent>  0.25xyz</redComponent><greenComponent>abc</greenComponent>"
         "<blueComponent>-3</blueComponent><alphaComponent>1e400</alphaComponent></NSColor>",
         rgb(0.25, 0, -3, INFINITY), 0},
        {"<NSColor><redComponent>0.2</redComponent><redComponent>0.9</redComponent>"
         "<alphaComponent>1</alphaComponent></NSColor>",
         rgb(0.2, 0, 0, 1), 1}};
    for (const auto &[xml, expected, warnings] : cases) {
        EXPECT_EQ(readFrom(xml, &Color::colorWithXMLNode), expected) << xml;
        LogCapture log;
        EXPECT_EQ(Color::objectWithXMLElement(element(xml)), expected) << xml;
        EXPECT_EQ(log.lines().size(), warnings);
    }
    EXPECT_EQ(readFrom("<other/>", &Color::colorWithXMLNode), rgb(0, 0, 0, 0));
    EXPECT_EQ(Color::colorWithXMLNode(nullptr, nullptr), rgb(0, 0, 0, 0));
    EXPECT_EQ(Color::objectWithXMLElement(XMLElement()), rgb(0, 0, 0, 0));
}

TEST(ColorXML, SnippetKeepsSixDecimalsAndRefusesJunk)
{
    const Color c = rgb(0.12345678, 1.0 / 3.0, 0.9999996);
    const std::optional<Color> back = Color::colorFromXMLRepresentation(c.xmlRepresentation());
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->redComponent(), c.redComponent(), 5e-7);
    EXPECT_NEAR(back->greenComponent(), c.greenComponent(), 5e-7);
    EXPECT_EQ(back->blueComponent(), 1.0);
    for (const char *junk : {"", "<XMLObj><NSColor>", "<Other><NSColor/></Other>"})
        EXPECT_FALSE(Color::colorFromXMLRepresentation(junk)) << junk;
    EXPECT_EQ(Color::colorFromXMLRepresentation("<XMLObj/>"), rgb(0, 0, 0, 0));
}

} // namespace
