#include "support/BezierPath.h"
#include "support/TWAngleAndPointHolder.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>

namespace {

BezierPath polyline(std::initializer_list<Point> points)
{
    BezierPath path;
    for (const Point &p : points) {
        if (path.isEmpty())
            path.moveToPoint(p);
        else
            path.lineToPoint(p);
    }
    return path;
}

std::vector<Point> pointsOf(const BezierPath &path)
{
    std::vector<Point> points;
    for (const BezierPath::Element &e : path.elements())
        if (e.type != BezierPath::ClosePathElement)
            points.push_back(e.type == BezierPath::CurveToElement ? e.points[2] : e.points[0]);
    return points;
}

// A quarter circle of radius r about the origin, from (r, 0) to (0, r).
BezierPath quarterCircle(float r)
{
    const float k = r * 0.5522847f;
    BezierPath path;
    path.moveToPoint({r, 0});
    path.curveToPoint({0, r}, {r, k}, {k, r});
    return path;
}

} // namespace

TEST(PathHitTest, SegmentToleranceIsTheFullLineWidth)
{
    BezierPath path;
    path.setLineWidth(2);
    const Point a(0, 0), b(10, 0);
    EXPECT_TRUE(path.lineFrom(a, b, {5, 2}));
    EXPECT_TRUE(path.lineFrom(a, b, {5, -2}));
    EXPECT_FALSE(path.lineFrom(a, b, {5, 2.01f}));
    // Beyond the ends the distance is to the end point.
    EXPECT_TRUE(path.lineFrom(a, b, {12, 0}));
    EXPECT_FALSE(path.lineFrom(a, b, {12.5f, 0}));
    EXPECT_FALSE(path.lineFrom(a, b, {11.5f, 1.5f})); // 1.5 from the line, 2.12 from its end
    EXPECT_FALSE(path.lineFrom(a, b, {-1.5f, 1.5f}));
    // A segment of zero length is never hit, not even at its own point.
    EXPECT_FALSE(path.lineFrom(a, a, {0, 0}));
}

TEST(PathHitTest, ClosingEdgeIsNotTested)
{
    BezierPath triangle = polyline({{0, 0}, {10, 0}, {10, 10}});
    triangle.closePath();
    const Point nearDiagonal(3, 3.5f);
    EXPECT_FALSE(triangle.intersectsPoint(nearDiagonal));
    EXPECT_TRUE(triangle.intersectsPoint({5, 0.5f}));

    BezierPath drawn = polyline({{0, 0}, {10, 0}, {10, 10}, {0, 0}});
    EXPECT_TRUE(drawn.intersectsPoint(nearDiagonal));

    EXPECT_FALSE(BezierPath().intersectsPoint({0, 0}));
}

TEST(PathHitTest, SegmentAfterACloseLeavesFromTheSubpathStart)
{
    BezierPath path = polyline({{0, 0}, {10, 0}});
    path.closePath();
    path.lineToPoint({0, 10});
    EXPECT_TRUE(path.intersectsPoint({0.5f, 5}));
    EXPECT_FALSE(path.intersectsPoint({5, 5}));
}

TEST(PathHitTest, CurvesAreHitAlongTheirLength)
{
    BezierPath arc = quarterCircle(50);
    arc.setLineWidth(1.5f);
    const float c = 50 / std::sqrt(2.0f);
    EXPECT_TRUE(arc.intersectsPoint({c, c}));
    EXPECT_TRUE(arc.intersectsPoint({c + 1, c}));
    EXPECT_FALSE(arc.intersectsPoint({c + 3, c + 3}));
    EXPECT_FALSE(arc.intersectsPoint({0, 0}));

    // The direct curve test measures to the nearest point of the curve.
    EXPECT_TRUE(arc.curveFrom({0, 0}, {1, 0}, {2, 0}, {3, 0}, {4.5f, 0}));
    EXPECT_FALSE(arc.curveFrom({0, 0}, {1, 0}, {2, 0}, {3, 0}, {4.6f, 0}));
    EXPECT_TRUE(arc.curveFrom({0, 0}, {10, 30}, {40, -20}, {50, 10}, {25, 4.75f}));
}

TEST(PathLength, StepsBetweenElementPoints)
{
    BezierPath single;
    single.moveToPoint({5, 5});
    EXPECT_EQ(single.bezierPathLength(), 0);
    EXPECT_EQ(BezierPath().bezierPathLength(), 0);

    EXPECT_EQ(polyline({{0, 0}, {3, 4}}).bezierPathLength(), 5);

    // The jump to a second subpath counts like a line.
    BezierPath twoSubpaths = polyline({{0, 0}, {3, 4}});
    twoSubpaths.moveToPoint({3, 8});
    twoSubpaths.lineToPoint({3, 10});
    EXPECT_EQ(twoSubpaths.bezierPathLength(), 11);

    // A close adds nothing: the closing edge is not measured.
    BezierPath closed = polyline({{0, 0}, {3, 4}});
    closed.closePath();
    EXPECT_EQ(closed.bezierPathLength(), 5);
}

TEST(PathLength, CurvesAtTheGivenFlatness)
{
    const BezierPath arc = quarterCircle(100);
    const float fine = arc.bezierPathLength();
    EXPECT_NEAR(fine, 100 * M_PI / 2, 0.1);
    // A coarser flatness takes shorter chords.
    const float coarse = arc.bezierPathLength(20);
    EXPECT_LT(coarse, fine - 1);
    EXPECT_GE(coarse, 100 * std::sqrt(2.0f) - 1e-3);
}

TEST(PathLength, MeasuringChangesNoLaterResult)
{
    BezierPath arc = quarterCircle(100);
    arc.setLineWidth(0.3f);
    // Between the default flattening and a fine one: on the arc, off the chords.
    const Point probe(70.71f, 70.71f);
    const bool before = arc.intersectsPoint(probe);
    const int flatCountBefore = arc.bezierPathByFlatteningPath().elementCount();
    arc.bezierPathLength(0.0001f);
    arc.bezierPathOffsetVerticallyBy(0, false);
    arc.bezierPathOffsetVerticallyBy(1000, false);
    EXPECT_EQ(arc.intersectsPoint(probe), before);
    EXPECT_EQ(arc.bezierPathByFlatteningPath().elementCount(), flatCountBefore);
    EXPECT_EQ(BezierPath().flatness(), BezierPath::defaultFlatness);
    EXPECT_EQ(arc.flatness(), BezierPath::defaultFlatness);
}

TEST(PathOffset, HorizontalPathMovesDownInY)
{
    const BezierPath path = polyline({{0, 0}, {10, 0}, {25, 0}});
    const BezierPath offset = path.bezierPathOffsetVerticallyBy(3, false);
    const std::vector<Point> points = pointsOf(offset);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(offset.elementAtIndex(0).type, BezierPath::MoveToElement);
    EXPECT_EQ(points[0], Point(0, -3));
    EXPECT_EQ(points[1], Point(0, -3));
    EXPECT_EQ(points[2], Point(10, -3));
    EXPECT_EQ(points[3], Point(25, -3));
}

TEST(PathOffset, SingleElementGivesMoveAndLineToOnePoint)
{
    BezierPath single;
    single.moveToPoint({4, 4});
    const BezierPath offset = single.bezierPathOffsetVerticallyBy(2, false);
    ASSERT_EQ(offset.elementCount(), 2);
    EXPECT_EQ(offset.elementAtIndex(0).type, BezierPath::MoveToElement);
    EXPECT_EQ(offset.elementAtIndex(1).type, BezierPath::LineToElement);
    EXPECT_EQ(offset.elementAtIndex(0).points[0], Point(4, 2));
    EXPECT_EQ(offset.elementAtIndex(1).points[0], Point(4, 2));

    EXPECT_TRUE(BezierPath().bezierPathOffsetVerticallyBy(2, false).isEmpty());
}

TEST(PathOffset, ZeroDistanceFollowsThePathItself)
{
    const BezierPath arc = quarterCircle(40);
    const BezierPath offset = arc.bezierPathOffsetVerticallyBy(0, false);
    const std::vector<Point> flatPoints = pointsOf(arc.bezierPathByFlatteningPath());
    const std::vector<Point> points = pointsOf(offset);
    ASSERT_EQ(points.size(), flatPoints.size() + 1);
    for (size_t i = 0; i < flatPoints.size(); ++i) {
        EXPECT_TRUE(std::isfinite(points[i + 1].x) && std::isfinite(points[i + 1].y));
        EXPECT_NEAR(points[i + 1].x, flatPoints[i].x, 1e-4);
        EXPECT_NEAR(points[i + 1].y, flatPoints[i].y, 1e-4);
    }
}

TEST(PathOffset, FlatnessIsAnArgument)
{
    const BezierPath arc = quarterCircle(40);
    EXPECT_LT(arc.bezierPathOffsetVerticallyBy(2, false, 5).elementCount(),
              arc.bezierPathOffsetVerticallyBy(2, false, 0.01f).elementCount());
    // The two-argument form flattens at 0.5 / |d|.
    EXPECT_EQ(arc.bezierPathOffsetVerticallyBy(-4, false).elementCount(),
              arc.bezierPathOffsetVerticallyBy(-4, false, 0.125f).elementCount());
}

TEST(PathOffset, CurveOffsetKeepsItsDistance)
{
    // Counter-clockwise from (40, 0): a positive distance is outwards. The
    // first sample has no direction yet and is always pushed along -y.
    const BezierPath arc = quarterCircle(40);
    const std::vector<Point> outer = pointsOf(arc.bezierPathOffsetVerticallyBy(5, false));
    ASSERT_GT(outer.size(), 4u);
    EXPECT_EQ(outer[0], Point(40, -5));
    for (size_t i = 2; i < outer.size(); ++i)
        EXPECT_NEAR(std::hypot(outer[i].x, outer[i].y), 45, 0.05);
    const std::vector<Point> inner = pointsOf(arc.bezierPathOffsetVerticallyBy(-5, false));
    for (size_t i = 2; i < inner.size(); ++i)
        EXPECT_NEAR(std::hypot(inner[i].x, inner[i].y), 35, 0.05);
}

TEST(PathOffset, TightBendDropsTheLoop)
{
    // A hairpin of radius 2 offset by 6 on its inner side: the samples round
    // the bend would loop back on themselves. They go, and the offset of the
    // first leg joins the offset of the second directly.
    BezierPath hairpin;
    hairpin.moveToPoint({-30, 0});
    hairpin.lineToPoint({0, 0});
    hairpin.curveToPoint({0, -4}, {2.76f, 0}, {2.76f, -4});
    hairpin.lineToPoint({-30, -4});
    const float d = 6;
    const int samples = pointsOf(hairpin.bezierPathByFlatteningPath(0.5f / d)).size();
    ASSERT_GT(samples, 6);

    const std::vector<Point> inner = pointsOf(hairpin.bezierPathOffsetVerticallyBy(d, false));
    ASSERT_EQ(inner.size(), 4u);
    EXPECT_EQ(inner[0], Point(-30, -6));
    EXPECT_EQ(inner[1], Point(-30, -6));
    EXPECT_NEAR(inner[2].x, 0, 1e-5);
    EXPECT_NEAR(inner[2].y, -6, 1e-5);
    EXPECT_NEAR(inner[3].x, -30, 1e-4);
    EXPECT_NEAR(inner[3].y, 2, 1e-4);

    // On the outer side nothing loops and every sample stays.
    const std::vector<Point> outer = pointsOf(hairpin.bezierPathOffsetVerticallyBy(-d, false));
    EXPECT_EQ(int(outer.size()), samples + 1);
}

TEST(PathOffset, NormalLinesMeet)
{
    TWAngleAndPointHolder a, b;
    // Directions 45 and 135 degrees: the normals through (0, 0) and (10, 0)
    // cross at (5, -5).
    a.setBasePoint({0.001f, 0});
    a.setAngle(float(M_PI / 4));
    b.setBasePoint({10, 0});
    b.setAngle(float(3 * M_PI / 4));
    const Point x = a.intersectionPointWith(b);
    EXPECT_NEAR(x.x, 5, 1e-2);
    EXPECT_NEAR(x.y, -5, 1e-2);

    b.setAngle(a.angle()); // parallel normals
    const Point none = a.intersectionPointWith(b);
    EXPECT_FALSE(std::isfinite(none.x) && std::isfinite(none.y));
}

TEST(RoundedShapes, RoundedRectangleCorners)
{
    BezierPath path;
    path.appendPathWithRoundedRectangle({0, 0, 100, 50}, 10);
    ASSERT_EQ(path.elementCount(), 10);
    EXPECT_EQ(path.elementAtIndex(0).points[0], Point(50, 50));
    EXPECT_EQ(path.elementAtIndex(1).points[0], Point(90, 50));
    const BezierPath::Element &corner = path.elementAtIndex(2);
    ASSERT_EQ(corner.type, BezierPath::CurveToElement);
    EXPECT_FLOAT_EQ(corner.points[0].x, 100 - 4.477152501692065f);
    EXPECT_EQ(corner.points[0].y, 50);
    EXPECT_EQ(corner.points[1].x, 100);
    EXPECT_FLOAT_EQ(corner.points[1].y, 50 - 4.477152501692065f);
    EXPECT_EQ(corner.points[2], Point(100, 40));
    EXPECT_EQ(path.elementAtIndex(8).points[2], Point(10, 50));
    EXPECT_EQ(path.elementAtIndex(9).type, BezierPath::ClosePathElement);
    EXPECT_EQ(path.bounds(), Rect(0, 0, 100, 50));

    BezierPath square;
    square.appendPathWithRoundedRectangle({5, 5, 20, 10}, 0);
    const BezierPath::Element &sharp = square.elementAtIndex(4);
    ASSERT_EQ(sharp.type, BezierPath::CurveToElement);
    EXPECT_EQ(sharp.points[0], Point(25, 5));
    EXPECT_EQ(sharp.points[1], Point(25, 5));
    EXPECT_EQ(sharp.points[2], Point(25, 5));
    EXPECT_EQ(square.bounds(), Rect(5, 5, 20, 10));
}

TEST(RoundedShapes, BorderIsInsetByHalfTheLine)
{
    const BezierPath border = BezierPath::bezierPathWithRect({0, 0, 100, 50}, 10, 2);
    EXPECT_EQ(border.lineWidth(), 2);
    ASSERT_EQ(border.elementCount(), 9);
    EXPECT_EQ(border.elementAtIndex(0).points[0], Point(1, 11));
    EXPECT_EQ(border.elementAtIndex(1).points[0], Point(1, 39));
    const BezierPath::Element &corner = border.elementAtIndex(2);
    EXPECT_EQ(corner.points[0], Point(1, 44));
    EXPECT_EQ(corner.points[1], Point(6, 49));
    EXPECT_EQ(corner.points[2], Point(11, 49));
    // Ends where it started, without a close element.
    EXPECT_EQ(border.elements().back().type, BezierPath::CurveToElement);
    EXPECT_EQ(border.elements().back().points[2], Point(1, 11));
    EXPECT_EQ(border.bounds(), Rect(1, 1, 98, 48));
}

TEST(RoundedShapes, TitleBorderLeavesTheTopEdgeAndIsOpen)
{
    const BezierPath title = BezierPath::bezierPathTitleWithRect({0, 0, 100, 50}, 10, 2, 20);
    ASSERT_EQ(title.elementCount(), 7);
    EXPECT_EQ(title.elementAtIndex(0).points[0], Point(1, 30));
    EXPECT_EQ(title.elementAtIndex(2).points[2], Point(11, 50));
    EXPECT_EQ(title.elementAtIndex(4).points[2], Point(99, 40));
    EXPECT_EQ(title.elementAtIndex(5).points[0], Point(99, 30));
    EXPECT_EQ(title.elementAtIndex(6).points[0], Point(1, 30));
    EXPECT_EQ(title.lineWidth(), 2);
}

TEST(RoundedShapes, StrokeInsideStaysInside)
{
    BezierPath box;
    box.appendPathWithRoundedRectangle({10, 10, 40, 40}, 0);
    box.setLineWidth(4);
    QImage image(60, 60, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    box.strokeInside(painter, Qt::black);
    painter.end();
    EXPECT_EQ(qAlpha(image.pixel(8, 30)), 0);    // outside
    EXPECT_EQ(qAlpha(image.pixel(11, 30)), 255); // inside the edge
    EXPECT_EQ(qAlpha(image.pixel(13, 30)), 255);
    EXPECT_EQ(qAlpha(image.pixel(15, 30)), 0); // beyond one line width
    EXPECT_EQ(qAlpha(image.pixel(48, 30)), 255);

    QImage clipped(60, 60, QImage::Format_ARGB32);
    clipped.fill(Qt::transparent);
    painter.begin(&clipped);
    box.strokeInsideWithinRect(painter, Qt::black, {0, 0, 30, 60});
    painter.end();
    EXPECT_EQ(qAlpha(clipped.pixel(11, 30)), 255);
    EXPECT_EQ(qAlpha(clipped.pixel(48, 30)), 0);
}
