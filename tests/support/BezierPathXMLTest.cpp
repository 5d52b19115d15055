#include "LogCapture.h"
#include "support/BezierPath.h"
#include "support/XMLDocument.h"

#include <gtest/gtest.h>

namespace {

QByteArray written(const BezierPath &path)
{
    XMLDocument doc(XMLElement::create("XMLObj"));
    path.addXmlDataToNode(doc.rootElement().node());
    return doc.rootElement().xmlString();
}

BezierPath readBack(const QByteArray &xml)
{
    std::optional<XMLDocument> doc = XMLDocument::parse(xml);
    EXPECT_TRUE(doc.has_value()) << xml.constData();
    if (!doc)
        return {};
    return BezierPath::withXMLNode(doc->rootElement().node(), doc->xmlDoc());
}

BezierPath roundTrip(const BezierPath &path)
{
    return readBack(written(path));
}

QByteArray pathXML(const char *children)
{
    return QByteArray("<XMLObj><NSBezierPath>") + children + "</NSBezierPath></XMLObj>";
}

} // namespace

TEST(BezierPathXML, WritesEveryChildInOrder)
{
    BezierPath path;
    path.setWindingRule(BezierPath::EvenOddWindingRule);
    path.setLineCapStyle(BezierPath::RoundLineCap);
    path.setLineJoinStyle(BezierPath::BevelLineJoin);
    path.setLineWidth(2.5f);
    path.setMiterLimit(4);
    path.setFlatness(0.25f);
    path.setLineDash({3, 1.5f, 0.5f}, 2);
    path.moveToPoint({1, 2});
    path.lineToPoint({3, 4});
    path.curveToPoint({9, 10}, {5, 6}, {7, 8});
    path.closePath();

    const QByteArray expected = "<XMLObj>\n"
                                "  <NSBezierPath>\n"
                                "    <windingRule>1</windingRule>\n"
                                "    <lineCapStyle>1</lineCapStyle>\n"
                                "    <lineJoinStyle>2</lineJoinStyle>\n"
                                "    <lineWidth>2.500000</lineWidth>\n"
                                "    <miterLimit>4.000000</miterLimit>\n"
                                "    <flatness>0.250000</flatness>\n"
                                "    <lineDashCount>3</lineDashCount>\n"
                                "    <lineDashPhase>2.000000</lineDashPhase>\n"
                                "    <lineDashPattern0>3.000000</lineDashPattern0>\n"
                                "    <lineDashPattern1>1.500000</lineDashPattern1>\n"
                                "    <lineDashPattern2>0.500000</lineDashPattern2>\n"
                                "    <elements>\n"
                                "      <element>\n"
                                "        <elementType>0</elementType>\n"
                                "        <point0>\n"
                                "          <x>1.000000</x>\n"
                                "          <y>2.000000</y>\n"
                                "        </point0>\n"
                                "      </element>\n"
                                "      <element>\n"
                                "        <elementType>1</elementType>\n"
                                "        <point0>\n"
                                "          <x>3.000000</x>\n"
                                "          <y>4.000000</y>\n"
                                "        </point0>\n"
                                "      </element>\n"
                                "      <element>\n"
                                "        <elementType>2</elementType>\n"
                                "        <point0>\n"
                                "          <x>5.000000</x>\n"
                                "          <y>6.000000</y>\n"
                                "        </point0>\n"
                                "        <point1>\n"
                                "          <x>7.000000</x>\n"
                                "          <y>8.000000</y>\n"
                                "        </point1>\n"
                                "        <point2>\n"
                                "          <x>9.000000</x>\n"
                                "          <y>10.000000</y>\n"
                                "        </point2>\n"
                                "      </element>\n"
                                "      <element>\n"
                                "        <elementType>3</elementType>\n"
                                "      </element>\n"
                                "    </elements>\n"
                                "  </NSBezierPath>\n"
                                "</XMLObj>";
    EXPECT_EQ(written(path), expected);
    const BezierPath back = roundTrip(path);
    EXPECT_EQ(back, path);
    EXPECT_EQ(back.lineDashPattern(), QList<float>({3, 1.5f, 0.5f}));
    EXPECT_EQ(back.lineDashPhase(), 2);
}

TEST(BezierPathXML, EmptyPathWithoutDash)
{
    BezierPath path;
    path.setLineWidth(7);
    const QByteArray xml = written(path);
    EXPECT_TRUE(xml.contains("<elements/>"));
    EXPECT_FALSE(xml.contains("lineDash"));
    const BezierPath back = readBack(xml);
    EXPECT_TRUE(back.isEmpty());
    EXPECT_EQ(back.lineWidth(), 7);
    EXPECT_TRUE(back.lineDashPattern().isEmpty());
    EXPECT_EQ(back, path);
}

TEST(BezierPathXML, OnlyElementsGivesANewPathsAttributes)
{
    const BezierPath back = readBack(
        pathXML("<elements><element><elementType>0</elementType><point0><x>4</x><y>5</y></point0>"
                "</element></elements>"));
    BezierPath expected;
    expected.moveToPoint({4, 5});
    EXPECT_EQ(back, expected);

    // No NSBezierPath at all: an empty new path.
    EXPECT_EQ(readBack("<XMLObj/>"), BezierPath());
}

TEST(BezierPathXML, ElementWithoutTypeEndsTheElements)
{
    LogCapture log;
    const BezierPath back = readBack(
        pathXML("<elements>"
                "<element><elementType>0</elementType><point0><x>0</x><y>0</y></point0></element>"
                "<element><elementType>1</elementType><point0><x>5</x><y>0</y></point0></element>"
                "<element><point0><x>9</x><y>9</y></point0></element>"
                "<element><elementType>1</elementType><point0><x>5</x><y>5</y></point0></element>"
                "</elements>"));
    EXPECT_EQ(back.elementCount(), 2);
    EXPECT_EQ(back.currentPoint(), Point(5, 0));
    EXPECT_EQ(log.count("Malformed bezier path"), 1);
}

TEST(BezierPathXML, PathNotStartingWithAMoveStartsAtItsFirstPoint)
{
    LogCapture log;
    const BezierPath back = readBack(
        pathXML("<elements>"
                "<element><elementType>3</elementType></element>"
                "<element><elementType>1</elementType><point0><x>2</x><y>3</y></point0></element>"
                "<element><elementType>1</elementType><point0><x>4</x><y>3</y></point0></element>"
                "</elements>"));
    ASSERT_EQ(back.elementCount(), 2);
    EXPECT_EQ(back.elementAtIndex(0).type, BezierPath::MoveToElement);
    EXPECT_EQ(back.elementAtIndex(0).points[0], Point(2, 3));
    EXPECT_EQ(back.elementAtIndex(1).type, BezierPath::LineToElement);
    EXPECT_EQ(log.count("Malformed bezier path"), 2);

    const BezierPath curve =
        readBack(pathXML("<elements><element><elementType>2</elementType>"
                         "<point0><x>1</x><y>1</y></point0><point1><x>2</x><y>2</y></point1>"
                         "<point2><x>3</x><y>4</y></point2></element></elements>"));
    ASSERT_EQ(curve.elementCount(), 1);
    EXPECT_EQ(curve.elementAtIndex(0).type, BezierPath::MoveToElement);
    EXPECT_EQ(curve.elementAtIndex(0).points[0], Point(3, 4));
}

TEST(BezierPathXML, UnknownTypesAndMissingPoints)
{
    const BezierPath back = readBack(
        pathXML("<elements>"
                "<element><elementType>0</elementType></element>"
                "<element><elementType>7</elementType><point0><x>5</x><y>5</y></point0></element>"
                "<element><elementType>1</elementType><point0><x>5</x></point0></element>"
                "</elements>"));
    ASSERT_EQ(back.elementCount(), 2);
    EXPECT_EQ(back.elementAtIndex(0).points[0], Point(0, 0));
    EXPECT_EQ(back.elementAtIndex(1).points[0], Point(5, 0));
}

TEST(BezierPathXML, DashCountIsBoundedByTheEntriesPresent)
{
    LogCapture log;
    BezierPath huge = readBack(pathXML("<lineDashCount>2000000000</lineDashCount>"
                                       "<lineDashPhase>1</lineDashPhase>"
                                       "<lineDashPattern0>4</lineDashPattern0>"
                                       "<lineDashPattern1>2</lineDashPattern1>"
                                       "<elements/>"));
    EXPECT_EQ(huge.lineDashPattern(), QList<float>({4, 2}));
    EXPECT_EQ(huge.lineDashPhase(), 1);
    EXPECT_FALSE(log.lines().isEmpty());

    // A missing entry in the middle reads as 0; entries past the count are ignored.
    BezierPath gap = readBack(pathXML("<lineDashCount>3</lineDashCount>"
                                      "<lineDashPattern2>6</lineDashPattern2>"
                                      "<lineDashPattern0>1</lineDashPattern0>"
                                      "<lineDashPattern3>9</lineDashPattern3>"
                                      "<lineDashPattern0>8</lineDashPattern0>"
                                      "<lineDashPattern01>8</lineDashPattern01>"
                                      "<elements/>"));
    EXPECT_EQ(gap.lineDashPattern(), QList<float>({1, 0, 6}));
    EXPECT_EQ(gap.lineDashPhase(), 0);

    EXPECT_TRUE(readBack(pathXML("<lineDashCount>5</lineDashCount><elements/>"))
                    .lineDashPattern()
                    .isEmpty());
    EXPECT_TRUE(readBack(pathXML("<lineDashCount>-2</lineDashCount>"
                                 "<lineDashPattern0>4</lineDashPattern0><elements/>"))
                    .lineDashPattern()
                    .isEmpty());
    EXPECT_TRUE(readBack(pathXML("<lineDashCount>0</lineDashCount>"
                                 "<lineDashPattern0>4</lineDashPattern0><elements/>"))
                    .lineDashPattern()
                    .isEmpty());
}

TEST(BezierPathXML, NonFiniteNumbersAreNotTakenIn)
{
    LogCapture log;
    const BezierPath back = readBack(pathXML(
        "<windingRule>9</windingRule><lineWidth>nan</lineWidth><miterLimit>1e300</miterLimit>"
        "<flatness>-inf</flatness>"
        "<elements>"
        "<element><elementType>0</elementType><point0><x>nan</x><y>3</y></point0></element>"
        "<element><elementType>1</elementType><point0><x>inf</x><y>1e99</y></point0></element>"
        "</elements>"));
    EXPECT_EQ(back.windingRule(), BezierPath::NonZeroWindingRule);
    EXPECT_EQ(back.lineWidth(), BezierPath::defaultLineWidth);
    EXPECT_EQ(back.miterLimit(), BezierPath::defaultMiterLimit);
    EXPECT_EQ(back.flatness(), BezierPath::defaultFlatness);
    ASSERT_EQ(back.elementCount(), 2);
    EXPECT_EQ(back.elementAtIndex(0).points[0], Point(0, 3));
    EXPECT_EQ(back.elementAtIndex(1).points[0], Point(0, 0));
    EXPECT_GE(log.lines().size(), 7);
}
