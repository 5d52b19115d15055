#include "XMLTestHelpers.h"
#include "support/CalendarDate.h"
#include "support/Color.h"
#include "support/Font.h"
#include "support/OrderedDictionary.h"
#include "support/ParagraphStyle.h"
#include "support/Shadow.h"
#include "support/TWWinFont.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using XMLTest::compact;
using XMLTest::Parent;

// Documents made on another machine name fonts that are not installed here.
// Reading and writing them again must not change a byte of their values.
namespace {

const char *const kStyleFile = R"(<?xml version="1.0" encoding="UTF-8"?>
<NSDictionary>
  <dictionaryItem>
    <key>titleFont</key>
    <value>
      <NSFont>
        <fontName>HelveticaNeue-CondensedBold</fontName>
        <size>18.000000</size>
      </NSFont>
    </value>
  </dictionaryItem>
  <dictionaryItem>
    <key>bodyFont</key>
    <value>
      <NSFont>
        <fontName>LucidaGrande</fontName>
        <size>11.500000</size>
      </NSFont>
    </value>
  </dictionaryItem>
  <dictionaryItem>
    <key>lineColor</key>
    <value>
      <NSColor>
        <redComponent>0.123457</redComponent>
        <greenComponent>0.654321</greenComponent>
        <blueComponent>0.999999</blueComponent>
        <alphaComponent>0.333333</alphaComponent>
      </NSColor>
    </value>
  </dictionaryItem>
  <dictionaryItem>
    <key>shadow</key>
    <value>
      <NSShadow>
        <shadowOffset>
          <width>2.000000</width>
          <height>-2.000000</height>
        </shadowOffset>
        <shadowBlurRadius>3.000000</shadowBlurRadius>
        <shadowColor>
          <NSColor>
            <redComponent>0.000000</redComponent>
            <greenComponent>0.000000</greenComponent>
            <blueComponent>0.000000</blueComponent>
            <alphaComponent>0.500000</alphaComponent>
          </NSColor>
        </shadowColor>
      </NSShadow>
    </value>
  </dictionaryItem>
  <dictionaryItem>
    <key>created</key>
    <value>
      <NSCalendarDate>
        <year>2007</year>
        <month>11</month>
        <day>5</day>
        <hour> 8</hour>
        <minute> 4</minute>
        <second>59</second>
        <timeZone>America/Los_Angeles</timeZone>
        <utc>-8.0</utc>
      </NSCalendarDate>
    </value>
  </dictionaryItem>
  <dictionaryItem>
    <key>paragraph</key>
    <value>
      <NSParagraphStyle>
        <alignment>2</alignment>
        <baseWritingDirection>-1</baseWritingDirection>
        <defaultTabInterval>0.000000</defaultTabInterval>
        <firstLineHeadIndent>0.000000</firstLineHeadIndent>
        <headerLevel>0</headerLevel>
        <headIndent>12.500000</headIndent>
        <hyphenationFactor>0.000000</hyphenationFactor>
        <lineBreakMode>4</lineBreakMode>
        <lineHeightMultiple>0.000000</lineHeightMultiple>
        <lineSpacing>0.000000</lineSpacing>
        <maximumLineHeight>0.000000</maximumLineHeight>
        <minimumLineHeight>0.000000</minimumLineHeight>
        <paragraphSpacing>0.000000</paragraphSpacing>
        <paragraphSpacingBefore>0.000000</paragraphSpacingBefore>
        <tailIndent>0.000000</tailIndent>
        <tighteningFactorForTruncation>0.050000</tighteningFactorForTruncation>
        <tabStop>
          <NSTextTab>
            <alignment>1</alignment>
            <location>72.000000</location>
          </NSTextTab>
        </tabStop>
      </NSParagraphStyle>
    </value>
  </dictionaryItem>
</NSDictionary>
)";

TEST(ForeignDocument, StyleFileSurvivesReadAndWriteByteForByte)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString in = dir.filePath("in.xml");
    const QString out = dir.filePath("out.xml");
    {
        QFile f(in);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kStyleFile);
    }
    const auto dict = OrderedDictionary::dictionaryWithContentsOfXMLFile(in);
    ASSERT_TRUE(dict);
    ASSERT_EQ(dict->count(), 6);
    const Font title = dict->value("titleFont").value<Font>();
    EXPECT_EQ(title, Font("HelveticaNeue-CondensedBold", 18));
    EXPECT_FALSE(title.isInstalled());
    EXPECT_EQ(title.toQFont().family(), "Liberation Sans"); // drawn with a substitute
    EXPECT_EQ(dict->value("bodyFont").value<Font>(), Font("LucidaGrande", 11.5));

    ASSERT_TRUE(dict->writeToXMLFile(out));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()).toStdString(), std::string(kStyleFile));
}

// The libxml2 route of a document body: values read from their parents and
// written again under fresh ones give the same elements.
TEST(ForeignDocument, Libxml2RouteValuesSurviveReadAndWrite)
{
    const QString body =
        "<NSFont><fontName>Optima-ExtraBlack</fontName><size>14.000000</size></NSFont>"
        "<TWWinFont><name>Segoe Script</name><size>10.500000</size><bold>NO</bold>"
        "<italic>YES</italic></TWWinFont>"
        "<NSColor><redComponent>0.000001</redComponent><greenComponent>0.999999</greenComponent>"
        "<blueComponent>0.500000</blueComponent><alphaComponent>1.000000</alphaComponent>"
        "</NSColor>"
        "<NSShadow><shadowBlurRadius>2.000000</shadowBlurRadius><shadowOffset>"
        "<width>1.000000</width><height>-1.000000</height></shadowOffset></NSShadow>"
        "<NSCalendarDate><year>1998</year><month>2</month><day>28</day><hour>23</hour>"
        "<minute>59</minute><second> 0</second><timeZone>GMT+0930</timeZone><utc>9.5</utc>"
        "</NSCalendarDate>";
    const Parent p(body);
    XMLElement out = XMLElement::create("parent");
    const auto font = Font::fontWithXMLNode(p.node(), p.xmlDoc());
    ASSERT_TRUE(font);
    font->addXmlDataToNode(out.node());
    TWWinFont::fontWithXMLNode(p.node(), p.xmlDoc()).addXmlDataToNode(out.node());
    Color::colorWithXMLNode(p.node(), p.xmlDoc()).addXmlDataToNode(out.node());
    // A shadow without a colour is read as black and written with it, as
    // files of this route have always done.
    const Shadow shadow = Shadow::withXMLNode(p.node(), p.xmlDoc());
    Shadow(shadow.shadowOffset(), shadow.shadowBlurRadius(), std::nullopt)
        .addXmlDataToNode(out.node());
    const auto date = CalendarDate::withXMLNode(p.node(), p.xmlDoc());
    ASSERT_TRUE(date);
    date->addXmlDataToNode(out.node());
    EXPECT_EQ(compact(out), "<parent>" + body + "</parent>");
}

} // namespace
