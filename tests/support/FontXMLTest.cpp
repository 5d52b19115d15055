#include "XMLTestHelpers.h"
#include "support/Font.h"
#include "support/TWWinFont.h"
#include "support/TWXMLProtocol.h"

#include <gtest/gtest.h>

using XMLTest::compact;
using XMLTest::element;
using XMLTest::Parent;

namespace {

TEST(FontXML, BothRoutesWriteNameThenSize)
{
    const Font f("Helvetica-Bold", 12.5);
    const char *expected =
        "<NSFont><fontName>Helvetica-Bold</fontName><size>12.500000</size></NSFont>";
    EXPECT_EQ(compact(f.freshXMLElement()), expected);
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(f), expected);
}

TEST(FontXML, NamesAreEscapedAndReadBack)
{
    const Font f("Odd & <Name>", 9);
    const auto back = Font::fontFromXMLRepresentation(f.xmlRepresentation());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, f);
    EXPECT_EQ(Font::objectWithXMLElement(XMLElement::parse(f.freshXMLElement().xmlString())), f);
}

TEST(FontXML, FontsMissingHereAreKeptOnBothRoutes)
{
    const QString xml = "<NSFont><fontName>LucidaGrande</fontName><size>13.000000</size></NSFont>";
    const Parent p(xml);
    EXPECT_EQ(Font::fontWithXMLNode(p.node(), p.xmlDoc()), Font("LucidaGrande", 13));
    EXPECT_EQ(Font::objectWithXMLElement(element(xml)), Font("LucidaGrande", 13));
    EXPECT_FALSE(Font("LucidaGrande", 13).isInstalled());
}

TEST(FontXML, MissingSizeIsTenPointsOnlyOnTheLibxml2Route)
{
    const QString xml = "<NSFont><fontName>LiberationSans</fontName></NSFont>";
    const Parent p(xml);
    EXPECT_EQ(Font::fontWithXMLNode(p.node(), p.xmlDoc()), Font("LiberationSans", 10));
    EXPECT_EQ(Font::objectWithXMLElement(element(xml)), std::nullopt);
    EXPECT_EQ(Font::objectWithXMLElement(
                  element("<NSFont><fontName>LiberationSans</fontName><size>0</size></NSFont>")),
              std::nullopt);
    EXPECT_EQ(Font::objectWithXMLElement(
                  element("<NSFont><fontName>LiberationSans</fontName><size>-2</size></NSFont>")),
              Font("LiberationSans", -2));
}

TEST(FontXML, NoNameGivesNothing)
{
    for (const char *xml : {"<NSFont><size>12</size></NSFont>",
                            "<NSFont><fontName></fontName><size>12</size></NSFont>",
                            "<NSFont><fontName/><size>12</size></NSFont>", "<NSFont/>"}) {
        SCOPED_TRACE(xml);
        const Parent p(xml);
        EXPECT_EQ(Font::fontWithXMLNode(p.node(), p.xmlDoc()), std::nullopt);
        EXPECT_EQ(Font::objectWithXMLElement(element(xml)), std::nullopt);
    }
    const Parent none("");
    EXPECT_EQ(Font::fontWithXMLNode(none.node(), none.xmlDoc()), std::nullopt);
    EXPECT_EQ(Font::objectWithXMLElement(XMLElement()), std::nullopt);
}

TEST(FontXML, NameTextIsKeptExactly)
{
    const QString xml = "<NSFont><fontName> Spaced Name </fontName><size>12</size></NSFont>";
    const Parent p(xml);
    EXPECT_EQ(Font::fontWithXMLNode(p.node(), p.xmlDoc())->fontName(), " Spaced Name ");
    EXPECT_EQ(Font::objectWithXMLElement(element(xml))->fontName(), " Spaced Name ");
}

TEST(FontXML, SnippetReadsBackAndRefusesJunk)
{
    const Font f("Times-Roman", 24);
    const QString text = f.xmlRepresentation();
    EXPECT_TRUE(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_TRUE(text.contains("<fontName>Times-Roman</fontName>"));
    EXPECT_EQ(Font::fontFromXMLRepresentation(text), f);
    EXPECT_FALSE(Font::fontFromXMLRepresentation(QString()));
    EXPECT_FALSE(Font::fontFromXMLRepresentation("no xml at all"));
    EXPECT_FALSE(Font::fontFromXMLRepresentation("<XMLObj/>")); // a font needs its name
}

TEST(FontXML, ContainersFindTheClassByElementName)
{
    const QVariant v = TWXMLProtocol::objectWithXMLElement(
        element("<NSFont><fontName>Zapfino</fontName><size>30</size></NSFont>"));
    ASSERT_TRUE(v.canConvert<Font>());
    EXPECT_EQ(v.value<Font>(), Font("Zapfino", 30));
    EXPECT_FALSE(TWXMLProtocol::objectWithXMLElement(element("<NSFont/>")).isValid());
}

TEST(TWWinFontXML, WritesNameSizeBoldItalic)
{
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(TWWinFont("Arial", 11, true, false)),
              "<TWWinFont><name>Arial</name><size>11.000000</size><bold>YES</bold>"
              "<italic>NO</italic></TWWinFont>");
    EXPECT_EQ(XMLTest::writtenByLibxml2Route(TWWinFont("Tahoma", 8.25, false, true)),
              "<TWWinFont><name>Tahoma</name><size>8.250000</size><bold>NO</bold>"
              "<italic>YES</italic></TWWinFont>");
}

TEST(TWWinFontXML, ReadsBackAndDefaults)
{
    const TWWinFont f("Segoe UI", 9, true, true);
    const Parent p(XMLTest::writtenByLibxml2Route(f));
    EXPECT_EQ(TWWinFont::fontWithXMLNode(p.node(), p.xmlDoc()), f);

    const Parent empty("<TWWinFont/>");
    const TWWinFont d = TWWinFont::fontWithXMLNode(empty.node(), empty.xmlDoc());
    EXPECT_TRUE(d.name().isNull());
    EXPECT_EQ(d.size(), 10.0);
    EXPECT_FALSE(d.bold());
    EXPECT_FALSE(d.italic());
    EXPECT_EQ(d, TWWinFont::fontWithXMLNode(nullptr, nullptr));
}

TEST(TWWinFontXML, OnlyTheExactTextYESIsTrue)
{
    for (const char *text : {"yes", "Yes", " YES", "YES ", "1", "TRUE", ""}) {
        SCOPED_TRACE(text);
        const Parent p(QString("<TWWinFont><bold>%1</bold><italic>%1</italic></TWWinFont>")
                           .arg(QString::fromUtf8(text)));
        const TWWinFont f = TWWinFont::fontWithXMLNode(p.node(), p.xmlDoc());
        EXPECT_FALSE(f.bold());
        EXPECT_FALSE(f.italic());
    }
}

} // namespace
