#include "support/BezierPath.h"
#include "support/NearestPoint.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <limits>

namespace {

BezierPath sCurve()
{
    BezierPath path;
    path.moveToPoint({0, 0});
    path.curveToPoint({100, 0}, {30, 80}, {70, -80});
    return path;
}

double distanceToCurve(Point p, Point p0, Point p1, Point p2, Point p3)
{
    const NearestPoint::Vec2 V[4] = {{p0.x, p0.y}, {p1.x, p1.y}, {p2.x, p2.y}, {p3.x, p3.y}};
    const NearestPoint::Vec2 q = NearestPoint::NearestPointOnCurve({p.x, p.y}, V);
    return std::hypot(q.x - p.x, q.y - p.y);
}

QImage blankImage(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

TEST(BezierPath, NewPathHasTheStandardAttributes)
{
    const BezierPath path;
    EXPECT_TRUE(path.isEmpty());
    EXPECT_EQ(path.lineWidth(), 1.0f);
    EXPECT_EQ(path.lineCapStyle(), BezierPath::ButtLineCap);
    EXPECT_EQ(path.lineJoinStyle(), BezierPath::MiterLineJoin);
    EXPECT_EQ(path.miterLimit(), 10.0f);
    EXPECT_EQ(path.flatness(), 0.6f);
    EXPECT_EQ(path.windingRule(), BezierPath::NonZeroWindingRule);
    EXPECT_TRUE(path.lineDashPattern().isEmpty());
    EXPECT_EQ(path.bounds(), Rect());
}

TEST(BezierPath, ElementsStayAsAppended)
{
    BezierPath path;
    path.moveToPoint({1, 2});
    path.lineToPoint({3, 4});
    path.curveToPoint({9, 10}, {5, 6}, {7, 8});
    path.closePath();
    path.lineToPoint({20, 20});
    ASSERT_EQ(path.elementCount(), 5);
    EXPECT_EQ(path.elementAtIndex(2).type, BezierPath::CurveToElement);
    EXPECT_EQ(path.elementAtIndex(2).points[0], Point(5, 6));
    EXPECT_EQ(path.elementAtIndex(2).points[1], Point(7, 8));
    EXPECT_EQ(path.elementAtIndex(2).points[2], Point(9, 10));
    EXPECT_EQ(path.elementAtIndex(3).type, BezierPath::ClosePathElement);
    EXPECT_EQ(path.currentPoint(), Point(20, 20));

    BezierPath closed;
    closed.moveToPoint({1, 1});
    closed.lineToPoint({5, 1});
    closed.closePath();
    EXPECT_EQ(closed.currentPoint(), Point(1, 1));
}

TEST(BezierPath, SegmentWithoutCurrentPointStartsThePath)
{
    BezierPath path;
    path.closePath();
    EXPECT_TRUE(path.isEmpty());
    path.lineToPoint({4, 5});
    ASSERT_EQ(path.elementCount(), 1);
    EXPECT_EQ(path.elementAtIndex(0).type, BezierPath::MoveToElement);
    EXPECT_EQ(path.elementAtIndex(0).points[0], Point(4, 5));

    BezierPath curve;
    curve.curveToPoint({9, 9}, {1, 1}, {2, 2});
    ASSERT_EQ(curve.elementCount(), 1);
    EXPECT_EQ(curve.elementAtIndex(0).type, BezierPath::MoveToElement);
    EXPECT_EQ(curve.elementAtIndex(0).points[0], Point(9, 9));
}

TEST(BezierPath, BoundsFollowTheCurveNotItsControlPoints)
{
    BezierPath path;
    path.moveToPoint({0, 0});
    path.curveToPoint({100, 0}, {0, 100}, {100, 100});
    const Rect bounds = path.bounds();
    EXPECT_FLOAT_EQ(bounds.minX(), 0);
    EXPECT_FLOAT_EQ(bounds.maxX(), 100);
    EXPECT_FLOAT_EQ(bounds.minY(), 0);
    EXPECT_NEAR(bounds.maxY(), 75, 1e-4); // the curve's peak at t = 0.5
    EXPECT_EQ(path.controlPointBounds(), Rect(0, 0, 100, 100));
}

TEST(BezierPath, FlatteningStaysWithinTheFlatness)
{
    const BezierPath path = sCurve();
    const Point p0(0, 0), p1(30, 80), p2(70, -80), p3(100, 0);
    int previousCount = 0;
    for (float flatness : {2.0f, 0.6f, 0.05f}) {
        const BezierPath flat = path.bezierPathByFlatteningPath(flatness);
        ASSERT_GT(flat.elementCount(), previousCount) << "finer flatness, more lines";
        previousCount = flat.elementCount();
        EXPECT_EQ(flat.elementAtIndex(0).type, BezierPath::MoveToElement);
        EXPECT_EQ(flat.elements().back().points[0], p3);
        Point previous = p0;
        for (int i = 1; i < flat.elementCount(); ++i) {
            const BezierPath::Element &e = flat.elementAtIndex(i);
            ASSERT_EQ(e.type, BezierPath::LineToElement);
            EXPECT_LE(distanceToCurve(e.points[0], p0, p1, p2, p3), 1e-3);
            const Point middle((previous.x + e.points[0].x) / 2, (previous.y + e.points[0].y) / 2);
            EXPECT_LE(distanceToCurve(middle, p0, p1, p2, p3), flatness + 1e-3);
            previous = e.points[0];
        }
    }
    // Without an argument the path's own flatness is used.
    BezierPath coarse = path;
    coarse.setFlatness(2.0f);
    EXPECT_EQ(coarse.bezierPathByFlatteningPath().elementCount(),
              path.bezierPathByFlatteningPath(2.0f).elementCount());
}

TEST(BezierPath, FlatteningKeepsMovesLinesClosesAndAttributes)
{
    BezierPath path;
    path.setLineWidth(3);
    path.setLineDash({2, 1}, 0.5f);
    path.moveToPoint({0, 0});
    path.lineToPoint({10, 0});
    path.closePath();
    path.curveToPoint({20, 0}, {5, 10}, {15, 10}); // starts at the subpath's start (0, 0)
    const BezierPath flat = path.bezierPathByFlatteningPath(0.1f);
    EXPECT_EQ(flat.elementAtIndex(0), path.elementAtIndex(0));
    EXPECT_EQ(flat.elementAtIndex(1), path.elementAtIndex(1));
    EXPECT_EQ(flat.elementAtIndex(2).type, BezierPath::ClosePathElement);
    EXPECT_GT(flat.elementCount(), 5);
    EXPECT_EQ(flat.lineWidth(), 3);
    EXPECT_EQ(flat.lineDashPattern(), QList<float>({2, 1}));
    // The first line after the close leaves from (0, 0), not from (10, 0).
    const Point first = flat.elementAtIndex(3).points[0];
    EXPECT_LT(std::hypot(first.x, first.y), std::hypot(first.x - 10, first.y));
}

TEST(BezierPath, FlatteningOfNonFiniteOrHugeCurvesIsBounded)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    BezierPath path;
    path.moveToPoint({0, 0});
    path.curveToPoint({10, 10}, {nan, 0}, {0, 5});
    path.curveToPoint({inf, 10}, {1, 0}, {0, 5});
    EXPECT_EQ(path.bezierPathByFlatteningPath(0.5f).elementCount(), 3);

    BezierPath huge;
    huge.moveToPoint({0, 0});
    huge.curveToPoint({1e30f, 0}, {0, 1e30f}, {1e30f, 1e30f});
    const int count = huge.bezierPathByFlatteningPath(0.5f).elementCount();
    EXPECT_LE(count, 1 + 1024);
    // A zero or NaN flatness falls back to the standard one.
    EXPECT_EQ(sCurve().bezierPathByFlatteningPath(0).elementCount(),
              sCurve().bezierPathByFlatteningPath(BezierPath::defaultFlatness).elementCount());
    EXPECT_EQ(sCurve().bezierPathByFlatteningPath(nan).elementCount(),
              sCurve().bezierPathByFlatteningPath(BezierPath::defaultFlatness).elementCount());
    // An infinite flatness makes every curve one line.
    EXPECT_EQ(sCurve().bezierPathByFlatteningPath(inf).elementCount(), 2);
}

TEST(BezierPath, PainterPathKeepsSubpathsAndFillRule)
{
    BezierPath path;
    path.moveToPoint({0, 0});
    path.lineToPoint({10, 0});
    path.lineToPoint({10, 10});
    path.closePath();
    path.lineToPoint({0, 20});
    path.setWindingRule(BezierPath::EvenOddWindingRule);
    const QPainterPath qt = path.toQPainterPath();
    EXPECT_EQ(qt.fillRule(), Qt::OddEvenFill);
    // After the close, the line leaves from the subpath's start.
    ASSERT_GE(qt.elementCount(), 2);
    const QPainterPath::Element last = qt.elementAt(qt.elementCount() - 1);
    const QPainterPath::Element beforeLast = qt.elementAt(qt.elementCount() - 2);
    EXPECT_TRUE(beforeLast.isMoveTo());
    EXPECT_EQ(QPointF(beforeLast), QPointF(0, 0));
    EXPECT_EQ(QPointF(last), QPointF(0, 20));

    BezierPath nonZero;
    nonZero.moveToPoint({0, 0});
    nonZero.lineToPoint({std::numeric_limits<float>::quiet_NaN(), 1});
    nonZero.lineToPoint({5, 5});
    const QPainterPath skipped = nonZero.toQPainterPath();
    EXPECT_EQ(skipped.fillRule(), Qt::WindingFill);
    EXPECT_EQ(skipped.elementCount(), 2);
}

TEST(BezierPath, PenCarriesStrokeAttributesWithDashesInPoints)
{
    BezierPath path;
    path.setLineWidth(2);
    path.setLineCapStyle(BezierPath::RoundLineCap);
    path.setLineJoinStyle(BezierPath::BevelLineJoin);
    path.setLineDash({4, 2}, 1);
    QPen pen = path.pen(QBrush(Qt::red));
    EXPECT_EQ(pen.widthF(), 2);
    EXPECT_EQ(pen.capStyle(), Qt::RoundCap);
    EXPECT_EQ(pen.joinStyle(), Qt::BevelJoin);
    EXPECT_EQ(pen.color(), QColor(Qt::red));
    EXPECT_EQ(pen.dashPattern(), QList<qreal>({2, 1}));
    EXPECT_EQ(pen.dashOffset(), 0.5);

    // An odd pattern repeats with on and off swapped.
    path.setLineDash({3}, 0);
    EXPECT_EQ(path.pen().dashPattern(), QList<qreal>({1.5, 1.5}));

    path.setLineDash({0, 0}, 0);
    EXPECT_EQ(path.pen().style(), Qt::SolidLine);
    path.setLineDash({2, -1}, 0);
    EXPECT_EQ(path.pen().style(), Qt::SolidLine);

    BezierPath plain;
    pen = plain.pen();
    EXPECT_EQ(pen.style(), Qt::SolidLine);
    EXPECT_EQ(pen.capStyle(), Qt::FlatCap);
    EXPECT_EQ(pen.joinStyle(), Qt::SvgMiterJoin);
    EXPECT_EQ(pen.miterLimit(), 10);
    plain.setLineWidth(0);
    EXPECT_TRUE(plain.pen().isCosmetic());
}

TEST(BezierPath, DashesAreDrawnInPoints)
{
    BezierPath path;
    path.moveToPoint({0, 5});
    path.lineToPoint({40, 5});
    path.setLineWidth(4);
    path.setLineDash({6, 6}, 0);
    QImage image = blankImage(40, 10);
    QPainter painter(&image);
    path.stroke(painter, Qt::black);
    painter.end();
    EXPECT_EQ(qAlpha(image.pixel(2, 5)), 255);
    EXPECT_EQ(qAlpha(image.pixel(9, 5)), 0);
    EXPECT_EQ(qAlpha(image.pixel(14, 5)), 255);
    EXPECT_EQ(qAlpha(image.pixel(21, 5)), 0);
}

TEST(BezierPath, MiterFallsBackToBevelPastTheLimit)
{
    // Two strokes meeting at 60 degrees: the miter is twice the line width long.
    BezierPath path;
    path.moveToPoint({20, 90});
    path.lineToPoint({50, 90 - 30 * std::sqrt(3.0f)});
    path.lineToPoint({80, 90});
    path.setLineWidth(10);
    const int tipX = 50;
    const int tipY = int(90 - 30 * std::sqrt(3.0f)) - 8; // beyond a bevel, inside the miter

    QImage mitered = blankImage(100, 100);
    QPainter painter(&mitered);
    path.stroke(painter, Qt::black);
    painter.end();
    EXPECT_EQ(qAlpha(mitered.pixel(tipX, tipY)), 255);

    path.setMiterLimit(1.5f);
    QImage bevelled = blankImage(100, 100);
    painter.begin(&bevelled);
    path.stroke(painter, Qt::black);
    painter.end();
    EXPECT_EQ(qAlpha(bevelled.pixel(tipX, tipY)), 0);
}

TEST(BezierPath, EqualityCoversElementsAndAttributes)
{
    BezierPath a = sCurve();
    BezierPath b = sCurve();
    EXPECT_EQ(a, b);
    b.setMiterLimit(3);
    EXPECT_FALSE(a == b);
    b = sCurve();
    b.closePath();
    EXPECT_FALSE(a == b);
    b = sCurve();
    b.setLineDash({1}, 0);
    EXPECT_FALSE(a == b);
}
