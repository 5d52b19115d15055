#include "support/ParagraphStyle.h"
#include "TestHelpers.h"

#include <cmath>

using namespace XMLTest;

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

ParagraphStyle viaLibxml2Route(const QString &xml)
{
    return readFrom(xml, &ParagraphStyle::withXMLNode);
}

ParagraphStyle viaElementRoute(const QString &xml)
{
    return ParagraphStyle::objectWithXMLElement(element(xml));
}

TEST(ParagraphStyle, DefaultIsThePlatformDefault)
{
    const ParagraphStyle s;
    EXPECT_EQ(s.alignment, NaturalTextAlignment);
    EXPECT_EQ(s.baseWritingDirection, NaturalWritingDirection);
    EXPECT_EQ(s.tighteningFactorForTruncation, 0.05);
    ASSERT_EQ(s.tabStops.size(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(s.tabStops[i], TextTab(LeftTextAlignment, 28.0 * (i + 1)));
}

// The libxml2 route puts the tab stops in alphabetical place, the element
// route after everything else.
TEST(ParagraphStyleXML, ExactTextAndRoundTripOnBothRoutes)
{
    const QString head = "<alignment>2</alignment>"
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
    const QString tabs = "<tabStop><NSTextTab><alignment>1</alignment>"
                         "<location>100.000000</location></NSTextTab></tabStop>"
                         "<tabStop><NSTextTab><alignment>2</alignment>"
                         "<location>250.750000</location></NSTextTab></tabStop>";
    const QString tail = "<tailIndent>-20.000000</tailIndent>"
                         "<tighteningFactorForTruncation>0.100000"
                         "</tighteningFactorForTruncation>";
    const ParagraphStyle s = sampleStyle();
    EXPECT_EQ(written(s), "<NSParagraphStyle>" + head + tabs + tail + "</NSParagraphStyle>");
    EXPECT_EQ(compact(s.freshXMLElement()),
              "<NSParagraphStyle>" + head + tail + tabs + "</NSParagraphStyle>");

    for (const ParagraphStyle &style : {s, ParagraphStyle()}) {
        EXPECT_EQ(ParagraphStyle::objectWithXMLElement(style.freshXMLElement()), style);
        EXPECT_EQ(viaLibxml2Route(written(style)), style);
    }
}

// The libxml2 route changes only what it finds; the element route zeroes
// what is missing, but keeps the default tab stops.
TEST(ParagraphStyleXML, ReaderDefaultsDifferPerRoute)
{
    const QString onlyAlignment = "<NSParagraphStyle><alignment>2</alignment></NSParagraphStyle>";
    ParagraphStyle expected;
    expected.alignment = CenterTextAlignment;
    EXPECT_EQ(viaLibxml2Route(onlyAlignment), expected);
    EXPECT_EQ(viaLibxml2Route("<somethingElse/>"), ParagraphStyle());
    EXPECT_EQ(ParagraphStyle::withXMLNode(nullptr, nullptr), ParagraphStyle());

    const ParagraphStyle zeroed = viaElementRoute(onlyAlignment);
    EXPECT_EQ(zeroed.alignment, CenterTextAlignment);
    EXPECT_EQ(zeroed.baseWritingDirection, LeftToRightWritingDirection);
    EXPECT_EQ(zeroed.tighteningFactorForTruncation, 0.0);
    EXPECT_EQ(zeroed.tabStops, ParagraphStyle::defaultTabStops());
    EXPECT_EQ(ParagraphStyle::objectWithXMLElement(XMLElement()).tabStops,
              ParagraphStyle::defaultTabStops());
}

TEST(ParagraphStyleXML, TabStops)
{
    // None written: the default ones come back.
    ParagraphStyle s = sampleStyle();
    s.tabStops.clear();
    EXPECT_EQ(ParagraphStyle::objectWithXMLElement(s.freshXMLElement()).tabStops,
              ParagraphStyle::defaultTabStops());
    EXPECT_EQ(viaLibxml2Route(written(s)).tabStops, ParagraphStyle::defaultTabStops());

    // The file leaves out exactly the default tab stops, and every list of
    // tab stops reads back as it was.
    QList<TextTab> shifted = ParagraphStyle::defaultTabStops();
    shifted.last() = TextTab(LeftTextAlignment, 337);
    const struct
    {
        const char *what;
        QList<TextTab> tabs;
        int written;
    } cases[] = {
        {"the default ones", ParagraphStyle::defaultTabStops(), 0},
        {"the defaults but for the last", shifted, 12},
        {"the first eleven defaults", ParagraphStyle::defaultTabStops().mid(0, 11), 11},
        {"two of its own", {TextTab(RightTextAlignment, 100), TextTab(LeftTextAlignment, 28)}, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        s.tabStops = c.tabs;
        const QString text = written(s);
        EXPECT_EQ(text.count(QStringLiteral("<tabStop>")), c.written);
        const ParagraphStyle back = viaLibxml2Route(text);
        EXPECT_EQ(back.tabStops, c.tabs);
        EXPECT_EQ(back.alignment, s.alignment);
        EXPECT_EQ(back.tailIndent, s.tailIndent);
    }

    // Holders without a tab read with each route's tab defaults.
    const QString holders = "<NSParagraphStyle><tabStop/><tabStop>text</tabStop>"
                            "<tabStop><NSTextTab><location>5</location></NSTextTab></tabStop>"
                            "</NSParagraphStyle>";
    EXPECT_EQ(viaElementRoute(holders).tabStops,
              QList<TextTab>({TextTab(0, 0), TextTab(0, 0), TextTab(0, 5)}));
    EXPECT_EQ(viaLibxml2Route(holders).tabStops,
              QList<TextTab>({TextTab(0, 10), TextTab(0, 10), TextTab(0, 5)}));

    // The tab stops of a second style are not mixed in.
    EXPECT_EQ(viaLibxml2Route("<NSParagraphStyle><tabStop><NSTextTab><location>5</location>"
                              "</NSTextTab></tabStop></NSParagraphStyle><NSParagraphStyle>"
                              "<tabStop><NSTextTab><location>7</location></NSTextTab></tabStop>"
                              "</NSParagraphStyle>")
                  .tabStops,
              QList<TextTab>{TextTab(0, 5)});
}

TEST(ParagraphStyleXML, HugeAndOddNumbersAreBoundedOrKept)
{
    const QString xml = "<NSParagraphStyle><alignment>99999999999999</alignment>"
                        "<lineBreakMode>-7</lineBreakMode><headIndent>1e999</headIndent>"
                        "<headerLevel>x</headerLevel></NSParagraphStyle>";
    for (const ParagraphStyle &s : {viaLibxml2Route(xml), viaElementRoute(xml)}) {
        EXPECT_EQ(s.alignment, std::numeric_limits<int>::max());
        EXPECT_EQ(s.lineBreakMode, -7);
        EXPECT_TRUE(std::isinf(s.headIndent));
        EXPECT_EQ(s.headerLevel, 0);
    }
}

TEST(TextTabXML, ExactTextAndDefaultsPerRoute)
{
    const char *expected =
        "<NSTextTab><alignment>3</alignment><location>42.125000</location></NSTextTab>";
    EXPECT_EQ(compact(TextTab(3, 42.125).freshXMLElement()), expected);
    EXPECT_EQ(written(TextTab(3, 42.125)), expected);

    const QString noLocation = "<NSTextTab><alignment>1</alignment></NSTextTab>";
    EXPECT_EQ(readFrom(noLocation, &TextTab::withXMLNode), TextTab(1, 10));
    EXPECT_EQ(TextTab::objectWithXMLElement(element(noLocation)), TextTab(1, 0));
    EXPECT_EQ(readFrom("", &TextTab::withXMLNode), TextTab(0, 10));
    EXPECT_EQ(TextTab::objectWithXMLElement(XMLElement()), TextTab(0, 0));
}

} // namespace
