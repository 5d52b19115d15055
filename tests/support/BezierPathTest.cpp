#include "support/BezierPath.h"
#include "TestHelpers.h"
#include "support/BezierBounds.h"
#include "support/NearestPoint.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <functional>
#include <limits>

using namespace XMLTest;

namespace {

const float nan = std::numeric_limits<float>::quiet_NaN();
const float inf = std::numeric_limits<float>::infinity();

BezierPath sCurve()
{
    BezierPath path;
    path.moveToPoint({0, 0});
    path.curveToPoint({100, 0}, {30, 80}, {70, -80});
    return path;
}

double distanceToSCurve(Point p)
{
    const NearestPoint::Vec2 V[4] = {{0, 0}, {30, 80}, {70, -80}, {100, 0}};
    const NearestPoint::Vec2 q = NearestPoint::NearestPointOnCurve({p.x, p.y}, V);
    return std::hypot(q.x - p.x, q.y - p.y);
}

QImage stroked(const BezierPath &path, int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    path.stroke(painter, Qt::black);
    return image;
}

BezierPath readPath(const QString &children)
{
    return readFrom("<NSBezierPath>" + children + "</NSBezierPath>", &BezierPath::withXMLNode);
}

QString point(int i, float x, float y)
{
    return QString("<point%1><x>%2</x><y>%3</y></point%1>").arg(i).arg(x).arg(y);
}

QString el(int type, float x, float y)
{
    return QString("<element><elementType>%1</elementType>%2</element>")
        .arg(type)
        .arg(type == 3 ? QString() : point(0, x, y));
}

QString elements(const QString &inner)
{
    return "<elements>" + inner + "</elements>";
}

TEST(BezierPath, CurrentPointAndBounds)
{
    // A segment without a current point starts the path; after a close the
    // current point is the subpath's start.
    BezierPath path;
    path.closePath();
    path.curveToPoint({0, 0}, {1, 1}, {2, 2});
    path.curveToPoint({100, 0}, {0, 100}, {100, 100});
    EXPECT_EQ(path.elementAtIndex(0).type, BezierPath::MoveToElement);
    EXPECT_EQ(path.elementCount(), 2);
    // Bounds follow the curve, not its control points.
    EXPECT_NEAR(path.bounds().maxY(), 75, 1e-4); // the curve's peak at t = 0.5
    EXPECT_EQ(path.controlPointBounds(), Rect(0, 0, 100, 100));
    path.closePath();
    EXPECT_EQ(path.currentPoint(), Point(0, 0));
    EXPECT_EQ(BezierPath().bounds(), Rect());
}

TEST(BezierPath, CurvesBoundsAnswerAsThePathOfTheSameCurves)
{
    // Curves with extrema inside, straight and monotone ones, a point
    // repeated, and ends that are not finite (left out of both).
    using Curve = std::array<Point, 3>;
    struct Case
    {
        Point start;
        std::vector<Curve> curves;
    };
    const Case cases[] = {
        {{0, 0}, {{Point(30, 80), Point(70, -80), Point(100, 0)}}},
        {{10, 5},
         {{Point(22, 5), Point(22, 5), Point(60, 40)},
          {Point(98, 75), Point(98, 75), Point(110, 75)}}},
        {{110, 75},
         {{Point(98, 75), Point(98, 75), Point(60, 40)},
          {Point(22, 5), Point(22, 5), Point(10, 5)}}},
        {{-3, 2}, {{Point(-3, 2), Point(-3, 2), Point(-3, 2)}}},
        {{0, 0},
         {{Point(-12, 0), Point(-12, 0), Point(4, 1)}, {Point(20, 2), Point(20, 2), Point(8, 2)}}},
        {{nan, 0},
         {{Point(1, 1), Point(2, 2), Point(inf, 3)}, {Point(4, 4), Point(5, 5), Point(6, 6)}}},
        {{0, 0}, {}},
    };
    for (const Case &c : cases) {
        BezierPath path;
        path.moveToPoint(c.start);
        for (const Curve &curve : c.curves)
            path.curveToPoint(curve[2], curve[0], curve[1]);
        EXPECT_EQ(curvesBounds(c.start, c.curves.data(), int(c.curves.size())), path.bounds())
            << c.start.x << "," << c.start.y << " with " << c.curves.size() << " curves";
    }
}

TEST(BezierPath, FlatteningStaysWithinTheFlatness)
{
    int previousCount = 0;
    for (float flatness : {2.0f, 0.6f, 0.05f}) {
        const BezierPath flat = sCurve().bezierPathByFlatteningPath(flatness);
        ASSERT_GT(flat.elementCount(), previousCount) << "finer flatness, more lines";
        previousCount = flat.elementCount();
        EXPECT_EQ(flat.elements().back().points[0], Point(100, 0));
        Point previous(0, 0);
        for (int i = 1; i < flat.elementCount(); ++i) {
            const Point p = flat.elementAtIndex(i).points[0];
            ASSERT_EQ(flat.elementAtIndex(i).type, BezierPath::LineToElement);
            EXPECT_LE(distanceToSCurve(p), 1e-3);
            const Point middle((previous.x + p.x) / 2, (previous.y + p.y) / 2);
            EXPECT_LE(distanceToSCurve(middle), flatness + 1e-3);
            previous = p;
        }
    }
    // Without an argument the path's own flatness; zero or NaN: the standard one.
    BezierPath coarse = sCurve();
    coarse.setFlatness(2.0f);
    const int standard = sCurve().bezierPathByFlatteningPath().elementCount();
    EXPECT_EQ(coarse.bezierPathByFlatteningPath().elementCount(),
              sCurve().bezierPathByFlatteningPath(2.0f).elementCount());
    EXPECT_EQ(sCurve().bezierPathByFlatteningPath(0).elementCount(), standard);
    EXPECT_EQ(sCurve().bezierPathByFlatteningPath(nan).elementCount(), standard);
    EXPECT_EQ(sCurve().bezierPathByFlatteningPath(inf).elementCount(), 2);
}

TEST(BezierPath, FlatteningKeepsMovesLinesClosesAndAttributes)
{
    BezierPath path;
    path.setLineWidth(3);
    path.moveToPoint({0, 0});
    path.lineToPoint({10, 0});
    path.closePath();
    path.curveToPoint({20, 0}, {5, 10}, {15, 10}); // starts at the subpath's start
    const BezierPath flat = path.bezierPathByFlatteningPath(0.1f);
    EXPECT_EQ(flat.elementAtIndex(1), path.elementAtIndex(1));
    EXPECT_EQ(flat.elementAtIndex(2).type, BezierPath::ClosePathElement);
    EXPECT_EQ(flat.lineWidth(), 3);
    const Point first = flat.elementAtIndex(3).points[0];
    EXPECT_LT(std::hypot(first.x, first.y), std::hypot(first.x - 10, first.y));

    // Non-finite curves become single lines; huge ones are bounded.
    BezierPath bad;
    bad.moveToPoint({0, 0});
    bad.curveToPoint({10, 10}, {nan, 0}, {0, 5});
    bad.curveToPoint({inf, 10}, {1, 0}, {0, 5});
    EXPECT_EQ(bad.bezierPathByFlatteningPath(0.5f).elementCount(), 3);
    BezierPath huge;
    huge.moveToPoint({0, 0});
    huge.curveToPoint({1e30f, 0}, {0, 1e30f}, {1e30f, 1e30f});
    EXPECT_LE(huge.bezierPathByFlatteningPath(0.5f).elementCount(), 1 + 1024);
}

TEST(BezierPath, PainterPathAndPen)
{
    BezierPath path;
    path.moveToPoint({0, 0});
    path.lineToPoint({10, 0});
    path.closePath();
    path.lineToPoint({0, 20});
    path.lineToPoint({nan, 1}); // skipped
    path.setWindingRule(BezierPath::EvenOddWindingRule);
    const QPainterPath qt = path.toQPainterPath();
    EXPECT_EQ(qt.fillRule(), Qt::OddEvenFill);
    // After the close, the line leaves from the subpath's start.
    ASSERT_EQ(qt.elementCount(), 5);
    EXPECT_TRUE(qt.elementAt(3).isMoveTo());
    EXPECT_EQ(QPointF(qt.elementAt(3)), QPointF(0, 0));
    EXPECT_EQ(QPointF(qt.elementAt(4)), QPointF(0, 20));

    path.setLineWidth(2);
    path.setLineCapStyle(BezierPath::RoundLineCap);
    path.setLineJoinStyle(BezierPath::BevelLineJoin);
    path.setLineDash({4, 2}, 1);
    const QPen pen = path.pen(QBrush(Qt::red));
    EXPECT_EQ(pen.capStyle(), Qt::RoundCap);
    EXPECT_EQ(pen.joinStyle(), Qt::BevelJoin);
    EXPECT_EQ(pen.color(), QColor(Qt::red));
    EXPECT_EQ(pen.dashPattern(), QList<qreal>({2, 1})); // in pen widths
    EXPECT_EQ(pen.dashOffset(), 0.5);
    // An odd pattern repeats with on and off swapped; nonsense draws solid.
    path.setLineDash({3}, 0);
    EXPECT_EQ(path.pen().dashPattern(), QList<qreal>({1.5, 1.5}));
    path.setLineDash({2, -1}, 0);
    EXPECT_EQ(path.pen().style(), Qt::SolidLine);
    EXPECT_EQ(BezierPath().pen().joinStyle(), Qt::SvgMiterJoin);
    EXPECT_EQ(BezierPath().pen().miterLimit(), 10);
    path.setLineWidth(0);
    EXPECT_TRUE(path.pen().isCosmetic());
}

TEST(BezierPath, DashesAndMiterLimitAsDrawn)
{
    BezierPath dashed;
    dashed.moveToPoint({0, 5});
    dashed.lineToPoint({40, 5});
    dashed.setLineWidth(4);
    dashed.setLineDash({6, 6}, 0);
    const QImage dashes = stroked(dashed, 40);
    for (const auto &[x, alpha] : {std::pair{2, 255}, {9, 0}, {14, 255}, {21, 0}})
        EXPECT_EQ(qAlpha(dashes.pixel(x, 5)), alpha) << x;

    // Two strokes meeting at 60 degrees: the miter is twice the line width long.
    BezierPath corner;
    corner.moveToPoint({20, 90});
    corner.lineToPoint({50, 90 - 30 * std::sqrt(3.0f)});
    corner.lineToPoint({80, 90});
    corner.setLineWidth(10);
    const int tipY = int(90 - 30 * std::sqrt(3.0f)) - 8; // beyond a bevel, inside the miter
    EXPECT_EQ(qAlpha(stroked(corner, 100).pixel(50, tipY)), 255);
    corner.setMiterLimit(1.5f);
    EXPECT_EQ(qAlpha(stroked(corner, 100).pixel(50, tipY)), 0);
}

TEST(BezierPath, EqualityCoversElementsAndAttributes)
{
    EXPECT_EQ(sCurve(), sCurve());
    for (const auto &change : std::initializer_list<std::function<void(BezierPath &)>>{
             [](BezierPath &p) { p.setMiterLimit(3); }, [](BezierPath &p) { p.closePath(); },
             [](BezierPath &p) { p.setLineDash({1}, 0); }}) {
        BezierPath other = sCurve();
        change(other);
        EXPECT_NE(other, sCurve());
    }
}

TEST(BezierPathXML, ExactTextAndRoundTrip)
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
    path.curveToPoint({9, 10}, {5, 6}, {7, 8});
    path.closePath();
    const auto xy = [](int i, const char *x, const char *y) {
        return QString("<point%1><x>%2</x><y>%3</y></point%1>").arg(i).arg(x, y);
    };
    EXPECT_EQ(written(path),
              "<NSBezierPath><windingRule>1</windingRule><lineCapStyle>1</lineCapStyle>"
              "<lineJoinStyle>2</lineJoinStyle><lineWidth>2.500000</lineWidth>"
              "<miterLimit>4.000000</miterLimit><flatness>0.250000</flatness>"
              "<lineDashCount>3</lineDashCount><lineDashPhase>2.000000</lineDashPhase>"
              "<lineDashPattern0>3.000000</lineDashPattern0>"
              "<lineDashPattern1>1.500000</lineDashPattern1>"
              "<lineDashPattern2>0.500000</lineDashPattern2><elements>"
              "<element><elementType>0</elementType>" +
                  xy(0, "1.000000", "2.000000") +
                  "</element><element><elementType>2</elementType>" +
                  xy(0, "5.000000", "6.000000") + xy(1, "7.000000", "8.000000") +
                  xy(2, "9.000000", "10.000000") +
                  "</element><element><elementType>3</elementType></element>"
                  "</elements></NSBezierPath>");
    EXPECT_EQ(readFrom(written(path), &BezierPath::withXMLNode), path);

    // A new path: the standard attributes, no dash.
    const QString standard = "<NSBezierPath><windingRule>0</windingRule><lineCapStyle>0"
                             "</lineCapStyle><lineJoinStyle>0</lineJoinStyle><lineWidth>1.000000"
                             "</lineWidth><miterLimit>10.000000</miterLimit><flatness>0.600000"
                             "</flatness><elements/></NSBezierPath>";
    EXPECT_EQ(written(BezierPath()), standard);
    EXPECT_EQ(readFrom(standard, &BezierPath::withXMLNode), BezierPath());
}

// Elements alone give a new path's attributes; a path not starting with a
// move starts at its first point; an element without a type ends the
// elements; unknown types are skipped and missing points read as 0.
TEST(BezierPathXML, MalformedElements)
{
    const std::tuple<QString, QString, int> cases[] = {
        {elements(el(0, 4, 5)), elements(el(0, 4, 5)), 0},
        {elements(el(0, 0, 0) + el(1, 5, 0) + "<element>" + point(0, 9, 9) + "</element>" +
                  el(1, 5, 5)),
         elements(el(0, 0, 0) + el(1, 5, 0)), 1},
        {elements(el(3, 0, 0) + el(1, 2, 3) + el(1, 4, 3)), elements(el(0, 2, 3) + el(1, 4, 3)), 2},
        {elements("<element><elementType>2</elementType>" + point(0, 1, 1) + point(1, 2, 2) +
                  point(2, 3, 4) + "</element>"),
         elements(el(0, 3, 4)), 1},
        {elements("<element><elementType>0</elementType></element><element><elementType>7"
                  "</elementType>" +
                  point(0, 5, 5) +
                  "</element><element><elementType>1</elementType><point0><x>5</x></point0>"
                  "</element>"),
         elements(el(0, 0, 0) + el(1, 5, 0)), 0}};
    for (const auto &[children, expected, malformed] : cases) {
        LogCapture log;
        EXPECT_EQ(readPath(children), readPath(expected)) << children.toStdString();
        EXPECT_EQ(log.count("Malformed bezier path"), malformed);
    }
    EXPECT_EQ(readFrom("", &BezierPath::withXMLNode), BezierPath());
}

// The dash count is bounded by the entries present; a missing entry in the
// middle reads as 0 and entries past the count are ignored.
TEST(BezierPathXML, DashCounts)
{
    const std::pair<QString, QList<float>> cases[] = {
        {"<lineDashCount>2000000000</lineDashCount><lineDashPattern0>4</lineDashPattern0>"
         "<lineDashPattern1>2</lineDashPattern1>",
         {4, 2}},
        {"<lineDashCount>3</lineDashCount><lineDashPattern2>6</lineDashPattern2>"
         "<lineDashPattern0>1</lineDashPattern0><lineDashPattern3>9</lineDashPattern3>"
         "<lineDashPattern0>8</lineDashPattern0><lineDashPattern01>8</lineDashPattern01>",
         {1, 0, 6}},
        {"<lineDashCount>5</lineDashCount>", {}},
        {"<lineDashCount>-2</lineDashCount><lineDashPattern0>4</lineDashPattern0>", {}},
        {"<lineDashCount>0</lineDashCount><lineDashPattern0>4</lineDashPattern0>", {}}};
    LogCapture log;
    for (const auto &[children, pattern] : cases)
        EXPECT_EQ(readPath(children + "<elements/>").lineDashPattern(), pattern)
            << children.toStdString();
    EXPECT_FALSE(log.lines().isEmpty());
}

TEST(BezierPathXML, NonFiniteNumbersAreNotTakenIn)
{
    LogCapture log;
    const BezierPath back = readPath(
        "<windingRule>9</windingRule><lineWidth>nan</lineWidth><miterLimit>1e300</miterLimit>"
        "<flatness>-inf</flatness><elements><element><elementType>0</elementType>"
        "<point0><x>nan</x><y>3</y></point0></element><element><elementType>1</elementType>"
        "<point0><x>inf</x><y>1e99</y></point0></element></elements>");
    BezierPath expected;
    expected.moveToPoint({0, 3});
    expected.lineToPoint({0, 0});
    EXPECT_EQ(back, expected);
    EXPECT_GE(log.lines().size(), 7);
}

} // namespace
