#include "mapdrawing/TWBoundaryOutline.h"
#include "support/TWPointHolder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <vector>

using namespace TWBoundaryOutline;

namespace {

PointList holders(const QList<Point> &points)
{
    PointList list;
    for (const Point p : points)
        list.append(TWPointHolder::pointHolderForPoint(p));
    return list;
}

QList<Point> pointsOf(const PointList &list)
{
    QList<Point> points;
    for (const auto &h : list)
        points.append(h->point());
    return points;
}

// The hull of a rectangle grown by `grow`, as outlines are made.
PointList rectOutline(Rect r, float grow = 0)
{
    const Rect g = r.insetBy(-grow, -grow);
    PointList outline;
    recalculateBoundaryFromAllPoints(
        holders({{g.x(), g.y()}, {g.x(), g.maxY()}, {g.maxX(), g.y()}, {g.maxX(), g.maxY()}}),
        outline);
    return outline;
}

TEST(TWBoundaryOutline, CrossProductTruncatesTowardZeroAndClamps)
{
    struct Case
    {
        Point p0, p1, p2;
        int expected;
    };
    const Case cases[] = {
        {{0, 0}, {0, 1}, {1, 0}, 1},
        {{0, 0}, {1, 0}, {0, 1}, -1},
        {{0, 0}, {0, 0.5f}, {1.5f, 0}, 0},       // 0.75 truncates to 0
        {{0, 0}, {0.5f, 0}, {0, 2.5f}, -1},      // -1.25 truncates toward zero
        {{0, 0}, {0, 1e6f}, {1e6f, 0}, INT_MAX}, // 1e12 is beyond int
        {{0, 0}, {1e6f, 0}, {0, 1e6f}, INT_MIN},
    };
    for (const Case &c : cases)
        EXPECT_EQ(vecProduct(c.p0, c.p1, c.p2), c.expected) << c.expected;
    const PointList list = holders({{0, 0}, {0, 1}, {1, 0}});
    EXPECT_EQ(vecProductFromArray(list, 0, 1, 2), 1);
    EXPECT_EQ(vecProductFromArray(list, 0, 2, 1), -1);
}

TEST(TWBoundaryOutline, HullKeepsTheCornersAndSharesTheirHolders)
{
    struct Case
    {
        const char *name;
        QList<Point> points;
        QList<Point> corners; // the hull as a set
    };
    const Case cases[] = {
        {"two points", {{0, 0}, {10, 0}}, {}},
        {"rectangle", {{0, 0}, {0, 10}, {20, 0}, {20, 10}}, {{0, 0}, {0, 10}, {20, 0}, {20, 10}}},
        {"inner points skipped",
         {{0, 0}, {0, 10}, {20, 0}, {20, 10}, {5, 5}, {10, 0}, {20, 5}},
         {{0, 0}, {0, 10}, {20, 0}, {20, 10}}},
        {"less than a unit outside counts as on the hull",
         {{0, 0}, {0, 10}, {20, 0}, {20, 10}, {20.04f, 5}},
         {{0, 0}, {0, 10}, {20, 0}, {20, 10}}},
        {"two rectangles",
         {{0, 0}, {0, 10}, {20, 0}, {20, 10}, {30, 20}, {30, 40}, {50, 20}, {50, 40}},
         {{0, 0}, {0, 10}, {20, 0}, {50, 20}, {50, 40}, {30, 40}}},
        {"a point replaces a run that wraps past the list's end",
         {{0, 0}, {10, 0}, {0, 10}, {-5, -5}},
         {{10, 0}, {0, 10}, {-5, -5}}},
    };
    for (const Case &c : cases) {
        const PointList all = holders(c.points);
        PointList outline;
        outline.append(TWPointHolder::pointHolderForPoint({99, 99})); // emptied first
        recalculateBoundaryFromAllPoints(all, outline);
        QList<Point> got = pointsOf(outline);
        auto less = [](Point a, Point b) { return a.x < b.x || (a.x == b.x && a.y < b.y); };
        QList<Point> want = c.corners;
        std::sort(got.begin(), got.end(), less);
        std::sort(want.begin(), want.end(), less);
        EXPECT_EQ(got, want) << c.name;
        for (const auto &h : outline)
            EXPECT_TRUE(all.contains(h)) << c.name;
    }
}

TEST(TWBoundaryOutline, HullRunsRoundInOneDirection)
{
    PointList all = holders({{0, 0}, {0, 20}, {40, 0}, {40, 20}, {60, 12}, {20, -10}, {20, 5}});
    PointList outline;
    recalculateBoundaryFromAllPoints(all, outline);
    const int n = int(outline.size());
    ASSERT_EQ(n, 6);
    const int first = vecProductFromArray(outline, 0, 1, 2);
    for (int i = 0; i < n; ++i) {
        const int s = vecProductFromArray(outline, i, (i + 1) % n, (i + 2) % n);
        EXPECT_TRUE((s > 0) == (first > 0) && s != 0) << i;
    }
}

// Sets as outlines see them: corners of rectangles down a staircase (a deep
// chain), round a curve, scattered, and on one line.
TEST(TWBoundaryOutline, HullHoldsEverySetStartsAtItsEarliestPointAndKeepsItsTurn)
{
    struct Case
    {
        const char *name;
        std::vector<Point> points;
    };
    std::vector<Point> staircase, curve, scattered, line;
    for (int i = 0; i < 2000; ++i) {
        const Rect r(float(i) * 30, float(i) * 12, 80, 20);
        for (const Point c : {Point{r.x(), r.y()}, Point{r.x(), r.maxY()}, Point{r.maxX(), r.y()},
                              Point{r.maxX(), r.maxY()}})
            staircase.push_back(c);
        const double a = i * 0.0031;
        curve.push_back({float(500 * std::cos(a)), float(500 * std::sin(a))});
        scattered.push_back({float((i * 7919) % 613), float((i * 104729) % 877)});
        line.push_back({float(i), float(2 * i)});
    }
    std::reverse(curve.begin(), curve.end()); // first three turn the other way
    const Case cases[] = {{"staircase", staircase},
                          {"curve", curve},
                          {"scattered", scattered},
                          {"line", line}};
    for (const Case &c : cases) {
        const std::vector<int> hull = hullOfPoints(c.points);
        const size_t m = hull.size();
        ASSERT_GE(m, 3u) << c.name;
        std::vector<Point> outline;
        for (const int i : hull)
            outline.push_back(c.points[size_t(i)]);
        EXPECT_EQ(hull.front(), *std::min_element(hull.begin(), hull.end())) << c.name;
        if (std::string(c.name) == "line") {
            // Flat: its two ends are in it.
            EXPECT_TRUE(std::count(hull.begin(), hull.end(), 0) == 1 &&
                        std::count(hull.begin(), hull.end(), 1999) == 1);
            continue;
        }
        const int turn = vecProduct(c.points[0], c.points[1], c.points[2]) > 0 ? 1 : -1;
        for (size_t k = 0; k < m; ++k) {
            EXPECT_GE(turn * vecProduct(outline[k], outline[(k + 1) % m], outline[(k + 2) % m]),
                      0)
                << c.name << " vertex " << k;
        }
        for (size_t i = 0; i < c.points.size(); ++i) {
            for (size_t k = 0; k < m; ++k) {
                ASSERT_GE(turn * vecProduct(outline[k], outline[(k + 1) % m], c.points[i]), -1)
                    << c.name << " point " << i << " outside edge " << k;
            }
        }
    }
}

// A point with a NaN coordinate bounds nothing, so it does not count
// towards the three a hull needs.
TEST(TWBoundaryOutline, FewerThanThreeUsablePointsMakeNoHull)
{
    const float nan = std::nanf("");
    struct Case
    {
        const char *name;
        std::vector<Point> points;
        size_t corners;
    };
    const Case cases[] = {
        {"two points", {{0, 0}, {50, 40}}, 0},
        {"three with one NaN", {{0, 0}, {nan, 10}, {50, 40}}, 0},
        {"four with two NaN", {{0, 0}, {30, nan}, {nan, nan}, {50, 40}}, 0},
        {"three usable and a NaN", {{0, 0}, {nan, 5}, {50, 40}, {60, 0}}, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<int> hull = hullOfPoints(c.points);
        ASSERT_EQ(hull.size(), c.corners);
        for (const int i : hull) {
            ASSERT_TRUE(i >= 0 && size_t(i) < c.points.size()) << i;
            EXPECT_FALSE(std::isnan(c.points[size_t(i)].x) || std::isnan(c.points[size_t(i)].y));
        }
    }
}

TEST(TWBoundaryOutline, VerticalClearanceBetweenOutlines)
{
    struct Case
    {
        const char *name;
        PointList above, below;
        float expected;
    };
    const Case cases[] = {
        {"gap of 30", rectOutline(Rect(0, 0, 50, 20)), rectOutline(Rect(10, 50, 50, 20)), 30},
        {"leaf siblings: the gap less twice the repel distance",
         rectOutline(Rect(0, 0, 80, 30), 10), rectOutline(Rect(0, 60, 80, 30), 10), 10},
        {"touching", rectOutline(Rect(0, 0, 50, 20)), rectOutline(Rect(0, 20, 50, 20)), 0},
        {"interpenetrating", rectOutline(Rect(0, 0, 50, 20)), rectOutline(Rect(20, 15, 50, 20)),
         -5},
        {"only the overlapping x-range counts", rectOutline(Rect(0, 0, 50, 100)),
         rectOutline(Rect(50, 10, 50, 20)), -90},
        {"disjoint x-ranges", rectOutline(Rect(0, 0, 50, 20)), rectOutline(Rect(60, 0, 50, 20)),
         NoOverlapDistance},
        {"empty above", {}, rectOutline(Rect(0, 0, 50, 20)), 0},
        {"empty below", rectOutline(Rect(0, 0, 50, 20)), {}, 0},
    };
    for (const Case &c : cases)
        EXPECT_FLOAT_EQ(calcDistanceBetweenAboveBoundary(c.above, c.below), c.expected) << c.name;
}

TEST(TWBoundaryOutline, CornerCutsStopAtHalfTheShorterEdge)
{
    struct Case
    {
        Point p0, p1, p2;
        float radius;
        Point cut1, cut2;
    };
    const Case cases[] = {
        {{0, 100}, {0, 0}, {100, 0}, 10, {0, 10}, {10, 0}},
        {{0, 100}, {0, 0}, {8, 0}, 10, {0, 4}, {4, 0}}, // limited by the short edge
        {{0, 6}, {0, 0}, {100, 0}, 10, {0, 3}, {3, 0}},
        {{0, 0}, {0, 0}, {100, 0}, 10, {0, 0}, {0, 0}}, // a zero-length edge cuts nothing
    };
    for (const Case &c : cases) {
        Point k1, k2;
        findCutPoints(c.p0, c.p1, c.p2, c.radius, &k1, &k2);
        EXPECT_EQ(k1, c.cut1);
        EXPECT_EQ(k2, c.cut2);
    }
    Point k1, k2, centre;
    float a1 = 0, a2 = 0;
    // A right angle: the rounding's tangent points lie `radius` from the corner.
    EXPECT_NEAR(findCutPointsWithArc({0, 100}, {0, 0}, {100, 0}, 10, &k1, &k2, &centre, &a1, &a2),
                10, 1e-4);
    EXPECT_NEAR(k1.y, 10, 1e-4);
    EXPECT_NEAR(k2.x, 10, 1e-4);
    EXPECT_NEAR(findCutPointsWithArc({0, 100}, {0, 0}, {8, 0}, 10, &k1, &k2, &centre, &a1, &a2), 4,
                1e-4);
}

TEST(TWBoundaryOutline, PathsByCornerStyle)
{
    const QList<Point> square{{0, 0}, {0, 100}, {100, 100}, {100, 0}};
    struct Case
    {
        const char *name;
        int style;
        float radius;
        int lines, curves;
        Rect bounds;
    };
    const Case cases[] = {
        {"plain", 0, 20, 3, 0, Rect(0, 0, 100, 100)},
        // Each corner: a line to the arc's start (zero length after the
        // first move), then one quarter turn.
        {"rounded", 1, 20, 4, 4, Rect(0, 0, 100, 100)},
        {"rounded, radius beyond half an edge", 1, 500, 4, 4, Rect(0, 0, 100, 100)},
        {"bevelled", 2, 20, 8, 0, Rect(0, 0, 100, 100)},
    };
    for (const Case &c : cases) {
        const BezierPath path = pathFromOutline(square, c.style, c.radius);
        int lines = 0, curves = 0;
        for (const BezierPath::Element &e : path.elements()) {
            lines += e.type == BezierPath::LineToElement;
            curves += e.type == BezierPath::CurveToElement;
        }
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_EQ(curves, c.curves) << c.name;
        EXPECT_EQ(path.elements().back().type, BezierPath::ClosePathElement) << c.name;
        const Rect b = path.bounds();
        EXPECT_NEAR(b.x(), c.bounds.x(), 0.01) << c.name;
        EXPECT_NEAR(b.maxY(), c.bounds.maxY(), 0.01) << c.name;
    }
    // With the radius limited to half the edge, the rounded square is a circle.
    const BezierPath circle = pathFromOutline(square, 1, 500);
    EXPECT_TRUE(circle.toQPainterPath().contains(QPointF(50, 1)));
    EXPECT_FALSE(circle.toQPainterPath().contains(QPointF(3, 3)));
    EXPECT_TRUE(pathFromOutline({{0, 0}, {1, 1}}, 0, 0).isEmpty());
    EXPECT_TRUE(pathFromOutline({{0, 0}, {0, 10}, {10, 0}}, 1, 5).isEmpty())
        << "a triangle has too few corners to round";
}

TEST(TWBoundaryOutline, ArcsFollowTheCircle)
{
    BezierPath path;
    appendArc(path, {0, 0}, 10, 0, 180, false);
    ASSERT_EQ(path.elementCount(), 3);
    EXPECT_EQ(path.elementAtIndex(0).type, BezierPath::MoveToElement);
    EXPECT_NEAR(path.elementAtIndex(1).points[2].x, 0, 1e-4);
    EXPECT_NEAR(path.elementAtIndex(1).points[2].y, 10, 1e-4) << "+y first: counter-clockwise";
    EXPECT_NEAR(path.currentPoint().x, -10, 1e-4);
    BezierPath clockwise;
    clockwise.moveToPoint({20, 0});
    appendArc(clockwise, {0, 0}, 10, 0, -90, true);
    EXPECT_EQ(clockwise.elementAtIndex(1).type, BezierPath::LineToElement);
    EXPECT_NEAR(clockwise.currentPoint().y, -10, 1e-4);
    // The cubic's midpoint lies on the circle.
    const auto &e = clockwise.elementAtIndex(2);
    const Point c1 = e.points[0], c2 = e.points[1], end = e.points[2];
    const Point start{10, 0};
    const float mx = 0.125f * start.x + 0.375f * c1.x + 0.375f * c2.x + 0.125f * end.x;
    const float my = 0.125f * start.y + 0.375f * c1.y + 0.375f * c2.y + 0.125f * end.y;
    EXPECT_NEAR(std::hypot(mx, my), 10, 0.01);
}

} // namespace
