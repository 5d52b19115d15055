#include "support/BezierPath.h"
#include "support/GGVecLib.h"
#include "support/TWAngleAndPointHolder.h"

#include <QImage>
#include <QPainter>
#include <array>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

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

// The end point of every element but closes.
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

TEST(PathHitTest, SegmentToleranceIsTheFullLineWidth)
{
    BezierPath path;
    path.setLineWidth(2);
    const std::pair<Point, bool> probes[] = {{{5, 2}, true},         {{5, -2}, true},
                                             {{5, 2.01f}, false},    {{12, 0}, true},
                                             {{12.5f, 0}, false}, // beyond an end: to the end point
                                             {{11.5f, 1.5f}, false}, {{-1.5f, 1.5f}, false}};
    for (const auto &[p, hit] : probes)
        EXPECT_EQ(path.lineFrom({0, 0}, {10, 0}, p), hit) << p.x << "," << p.y;
    // A segment of zero length is never hit, not even at its own point.
    EXPECT_FALSE(path.lineFrom({0, 0}, {0, 0}, {0, 0}));
}

TEST(PathHitTest, ClosingEdgeIsNotTestedButTheNextSubpathLeavesFromTheStart)
{
    BezierPath triangle = polyline({{0, 0}, {10, 0}, {10, 10}});
    triangle.closePath();
    EXPECT_FALSE(triangle.intersectsPoint({3, 3.5f}));
    EXPECT_TRUE(polyline({{0, 0}, {10, 0}, {10, 10}, {0, 0}}).intersectsPoint({3, 3.5f}));
    EXPECT_TRUE(triangle.intersectsPoint({5, 0.5f}));
    triangle.lineToPoint({0, 10});
    EXPECT_TRUE(triangle.intersectsPoint({0.5f, 5}));
    EXPECT_FALSE(BezierPath().intersectsPoint({0, 0}));
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
    // A coarse stored flatness (one chord for the whole arc) does not coarsen picking.
    arc.setFlatness(40);
    EXPECT_TRUE(arc.intersectsPoint({c, c}));
    // The direct curve test measures to the nearest point of the curve.
    EXPECT_TRUE(arc.curveFrom({0, 0}, {1, 0}, {2, 0}, {3, 0}, {4.5f, 0}));
    EXPECT_FALSE(arc.curveFrom({0, 0}, {1, 0}, {2, 0}, {3, 0}, {4.6f, 0}));
    EXPECT_TRUE(arc.curveFrom({0, 0}, {10, 30}, {40, -20}, {50, 10}, {25, 4.75f}));
}

TEST(PathLength, StepsBetweenElementPointsAndCurvesAtTheFlatness)
{
    BezierPath path = polyline({{0, 0}, {3, 4}});
    path.closePath();         // the closing edge is not measured
    path.moveToPoint({3, 8}); // the jump counts like a line
    path.lineToPoint({3, 10});
    EXPECT_EQ(path.bezierPathLength(), 11);
    EXPECT_EQ(polyline({{5, 5}}).bezierPathLength(), 0);
    EXPECT_EQ(polyline({{0, 0}, {3, 4}}).bezierPathLength(), 5); // a move and a line
    EXPECT_EQ(BezierPath().bezierPathLength(), 0);

    const BezierPath arc = quarterCircle(100);
    const float fine = arc.bezierPathLength();
    EXPECT_NEAR(fine, 100 * M_PI / 2, 0.1);
    const float coarse = arc.bezierPathLength(20); // shorter chords
    EXPECT_LT(coarse, fine - 1);
    EXPECT_GE(coarse, 100 * std::sqrt(2.0f) - 1e-3);
}

// A curve halved until each half lies within the flatness of its chord
// (or ten halvings deep), first half first: what flattening must give.
void halveCurve(double p0x, double p0y, double p1x, double p1y, double p2x, double p2y, double p3x,
                double p3y, double limit, int depth, std::vector<Point> &out)
{
    const double ux = 3.0 * p1x - 2.0 * p0x - p3x, uy = 3.0 * p1y - 2.0 * p0y - p3y;
    const double vx = 3.0 * p2x - p0x - 2.0 * p3x, vy = 3.0 * p2y - p0y - 2.0 * p3y;
    if (depth >= 10 || std::max(ux * ux, vx * vx) + std::max(uy * uy, vy * vy) <= limit) {
        out.push_back(Point(float(p3x), float(p3y)));
        return;
    }
    const auto mid = [](double a, double b) { return (a + b) * 0.5; };
    const double ax = mid(p0x, p1x), ay = mid(p0y, p1y), bx = mid(p1x, p2x), by = mid(p1y, p2y);
    const double cx = mid(p2x, p3x), cy = mid(p2y, p3y);
    const double abx = mid(ax, bx), aby = mid(ay, by), bcx = mid(bx, cx), bcy = mid(by, cy);
    const double sx = mid(abx, bcx), sy = mid(aby, bcy);
    halveCurve(p0x, p0y, ax, ay, abx, aby, sx, sy, limit, depth + 1, out);
    halveCurve(sx, sy, bcx, bcy, cx, cy, p3x, p3y, limit, depth + 1, out);
}

TEST(PathFlattening, LinesAsByHalvingEachCurve)
{
    // Gentle, tight, looping and degenerate curves, huge and tiny, at the
    // flatness of drawing and of label offsets far from their curve.
    std::mt19937 random(16);
    std::uniform_real_distribution<float> coordinate(-80, 80);
    std::vector<std::array<Point, 4>> curves;
    for (int n = 0; n < 24; ++n)
        curves.push_back({Point(coordinate(random), coordinate(random)),
                          Point(coordinate(random), coordinate(random)),
                          Point(coordinate(random), coordinate(random)),
                          Point(coordinate(random), coordinate(random))});
    curves.push_back({Point(0, 0), Point(0, 0), Point(0, 0), Point(0, 0)});
    curves.push_back({Point(0, 0), Point(100, 0), Point(0, 0), Point(100, 0)});
    curves.push_back({Point(0, 0), Point(3e7f, -3e7f), Point(-3e7f, 3e7f), Point(1, 1)});
    curves.push_back({Point(0, 0), Point(1e-6f, 2e-6f), Point(-1e-6f, 0), Point(1e-7f, 0)});
    int capped = 0;
    for (const auto &c : curves) {
        BezierPath path;
        path.moveToPoint(c[0]);
        path.curveToPoint(c[3], c[1], c[2]);
        for (const float flatness : {0.6f, 0.05f, 0.0085f, 1e-6f}) {
            std::vector<Point> expected{c[0]};
            halveCurve(c[0].x, c[0].y, c[1].x, c[1].y, c[2].x, c[2].y, c[3].x, c[3].y,
                       16.0 * double(flatness) * double(flatness), 0, expected);
            const std::vector<Point> flat = pointsOf(path.bezierPathByFlatteningPath(flatness));
            EXPECT_EQ(flat, expected) << "flatness " << flatness;
            capped += expected.size() == 1025;
        }
    }
    EXPECT_GT(capped, 0) << "the table must reach the depth bound";
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
    EXPECT_EQ(arc.flatness(), BezierPath::defaultFlatness);
    EXPECT_EQ(BezierPath().flatness(), BezierPath::defaultFlatness);
}

TEST(PathOffset, LinesMoveTowardsNegativeY)
{
    const std::vector<Point> points =
        pointsOf(polyline({{0, 0}, {10, 0}, {25, 0}}).bezierPathOffsetVerticallyBy(3, false));
    EXPECT_EQ(points, std::vector<Point>({{0, -3}, {0, -3}, {10, -3}, {25, -3}}));
    // A repeated point has no direction: it adds no sample beside the line.
    EXPECT_EQ(pointsOf(polyline({{0, 0}, {0, 0}, {10, 0}}).bezierPathOffsetVerticallyBy(3, false)),
              std::vector<Point>({{0, -3}, {0, -3}, {10, -3}}));
    // One element gives a move and a line to its one point.
    const BezierPath single = polyline({{4, 4}}).bezierPathOffsetVerticallyBy(2, false);
    EXPECT_EQ(single, polyline({{4, 2}, {4, 2}}));
    EXPECT_TRUE(BezierPath().bezierPathOffsetVerticallyBy(2, false).isEmpty());
}

TEST(PathOffset, CurvesKeepTheirDistanceAtTheFlatness)
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

    // At distance 0 the samples are those of the flattened path.
    const std::vector<Point> flat = pointsOf(arc.bezierPathByFlatteningPath());
    const std::vector<Point> zero = pointsOf(arc.bezierPathOffsetVerticallyBy(0, false));
    ASSERT_EQ(zero.size(), flat.size() + 1);
    for (size_t i = 0; i < flat.size(); ++i) {
        EXPECT_NEAR(zero[i + 1].x, flat[i].x, 1e-4);
        EXPECT_NEAR(zero[i + 1].y, flat[i].y, 1e-4);
    }
    // The two-argument form flattens at 0.5 / |d|.
    EXPECT_EQ(arc.bezierPathOffsetVerticallyBy(-4, false).elementCount(),
              arc.bezierPathOffsetVerticallyBy(-4, false, 0.125f).elementCount());
    EXPECT_LT(arc.bezierPathOffsetVerticallyBy(2, false, 5).elementCount(),
              arc.bezierPathOffsetVerticallyBy(2, false, 0.01f).elementCount());
}

TEST(PathOffset, TightBendDropsTheLoop)
{
    // A hairpin of radius 2 offset by 6 on its inner side: the samples round
    // the bend would loop back on themselves. They go, and the offset of the
    // first leg joins the offset of the second directly.
    BezierPath hairpin = polyline({{-30, 0}, {0, 0}});
    hairpin.curveToPoint({0, -4}, {2.76f, 0}, {2.76f, -4});
    hairpin.lineToPoint({-30, -4});
    const int samples = int(pointsOf(hairpin.bezierPathByFlatteningPath(0.5f / 6)).size());
    ASSERT_GT(samples, 6);
    const std::vector<Point> inner = pointsOf(hairpin.bezierPathOffsetVerticallyBy(6, false));
    ASSERT_EQ(inner.size(), 4u);
    EXPECT_EQ(inner[1], Point(-30, -6));
    EXPECT_NEAR(inner[2].x, 0, 1e-5);
    EXPECT_NEAR(inner[2].y, -6, 1e-5);
    EXPECT_NEAR(inner[3].x, -30, 1e-4);
    EXPECT_NEAR(inner[3].y, 2, 1e-4);
    // On the outer side nothing loops and every sample stays.
    EXPECT_EQ(int(pointsOf(hairpin.bezierPathOffsetVerticallyBy(-6, false)).size()), samples + 1);
}

// The loop search tried against every later sample, farthest first: what
// the offset must still find, however it narrows the search.
std::vector<Point> offsetTryingEverySample(const BezierPath &path, float d)
{
    const BezierPath flat =
        path.bezierPathByFlatteningPath(d != 0 ? 0.5f / std::fabs(d) : path.flatness());
    std::vector<TWAngleAndPointHolder> holders;
    for (const Point p : pointsOf(flat)) {
        // A step of no length has no direction: the curve skips it too.
        if (!holders.empty() && p == holders.back().basePoint())
            continue;
        TWAngleAndPointHolder holder;
        holder.setBasePoint(p);
        if (holders.empty()) {
            holder.setDrawPoint({p.x, p.y - d});
        } else {
            const Point prev = holders.back().basePoint();
            float a = 1.5707963f - calculateAngleFromVertical(p.x - prev.x, p.y - prev.y);
            if (a < 0)
                a = float(a + 6.283185005187988);
            holder.setDrawPoint({p.x + std::sin(a) * d, p.y - std::cos(a) * d});
            holder.setAngle(a);
        }
        holders.push_back(holder);
    }
    const auto unwrap = [](float &a1, float &a2) {
        if (a1 <= 1.5707963f && a2 >= 4.712388753890991)
            a1 = float(a1 + 6.283185005187988);
        if (a2 <= 1.5707963f && a1 >= 4.712388753890991)
            a2 = float(a2 + 6.283185005187988);
    };
    const auto length = [](Point a, Point b) {
        const float dx = a.x - b.x, dy = a.y - b.y;
        return std::sqrt(dx * dx + dy * dy);
    };
    std::vector<Point> out{holders[0].drawPoint()};
    const size_t last = holders.size() - 1;
    for (size_t j = 0;; ++j) {
        for (size_t k = last + 1; k-- > j;) {
            const Point x = holders[j].intersectionPointWith(holders[k]);
            float a1 = holders[j].angle(), a2 = holders[k].angle();
            unwrap(a1, a2);
            if (d >= length(x, holders[j].basePoint()) && d >= length(x, holders[k].basePoint()) &&
                a1 > a2) {
                j = std::min(last, k + 1);
                break;
            }
        }
        out.push_back(holders[j].drawPoint());
        if (j == last)
            return out;
    }
}

std::vector<std::pair<quint32, quint32>> bitsOf(const std::vector<Point> &points)
{
    std::vector<std::pair<quint32, quint32>> bits;
    for (const Point &p : points) {
        quint32 x, y;
        std::memcpy(&x, &p.x, sizeof x);
        std::memcpy(&y, &p.y, sizeof y);
        bits.emplace_back(x, y);
    }
    return bits;
}

TEST(PathOffset, LoopsFoundAsByTryingEverySample)
{
    // Wavy curves with tight bends and a spiral, offset on both sides, near
    // and far: the narrowed search cuts exactly the loops the full one cuts.
    std::mt19937 random(40);
    std::uniform_real_distribution<float> coordinate(-60, 60);
    std::vector<BezierPath> paths;
    for (int n = 0; n < 12; ++n) {
        BezierPath wave;
        wave.moveToPoint({coordinate(random), coordinate(random)});
        for (int i = 0; i < 4; ++i)
            wave.curveToPoint({coordinate(random), coordinate(random)},
                              {coordinate(random), coordinate(random)},
                              {coordinate(random), coordinate(random)});
        paths.push_back(wave);
    }
    BezierPath spiral;
    for (int i = 0; i < 200; ++i) {
        const float t = float(i) * 0.1f;
        const Point p{std::cos(t) * t * 3, std::sin(t) * t * 3};
        if (i == 0)
            spiral.moveToPoint(p);
        else
            spiral.lineToPoint(p);
    }
    paths.push_back(spiral);
    paths.push_back(polyline({{0, 0}, {10, 0}, {10, 0}, {0, 0}, {0, 0}, {10, 0}}));
    // Branch curves as labels follow them: a straight start, two joined
    // curves and a straight end, leaving right or left, rising or falling,
    // where most samples cannot close a loop and the search is skipped.
    std::uniform_real_distribution<float> rise(-80, 80);
    for (int n = 0; n < 8; ++n) {
        const float w = n % 2 ? -140.0f : 140.0f, y = rise(random), s = n % 4 < 2 ? 1.0f : -1.0f;
        BezierPath branch = polyline({{0, 0}, {w * 0.05f, 0}});
        branch.curveToPoint({w * 0.5f, y * 0.5f}, {w * 0.3f, s * rise(random)},
                            {w * 0.45f, y * 0.4f});
        branch.curveToPoint({w * 0.95f, y}, {w * 0.55f, y * 0.6f}, {w * 0.7f, y});
        branch.lineToPoint({w, y});
        paths.push_back(branch);
    }
    // Whole turns both ways: the angles pass from just below a turn to just
    // above nothing, where the search must still compare across the wrap.
    for (const float turn : {1.0f, -1.0f}) {
        BezierPath circle;
        for (int i = 0; i <= 90; ++i) {
            const float t = turn * float(i) * 0.0785398f;
            const Point p{std::cos(t) * 30, std::sin(t) * 30};
            if (i == 0)
                circle.moveToPoint(p);
            else
                circle.lineToPoint(p);
        }
        paths.push_back(circle);
    }
    paths.push_back(polyline({{0, 0}, {10, 0}, {NAN, 5}, {20, 0}, {10, -1}, {30, 0}}));

    int cut = 0;
    for (const BezierPath &path : paths) {
        for (const float d : {0.0f, 0.5f, 3.0f, 12.0f, 40.0f, 58.5f, 200.0f, -3.0f, -12.0f}) {
            const std::vector<Point> expected = offsetTryingEverySample(path, d);
            const std::vector<Point> offset = pointsOf(path.bezierPathOffsetVerticallyBy(d, false));
            // Bit for bit, so that a NaN left in place matches too.
            EXPECT_EQ(bitsOf(offset), bitsOf(expected)) << "distance " << d;
            const size_t samples = pointsOf(path.bezierPathByFlatteningPath(
                                                d != 0 ? 0.5f / std::fabs(d) : path.flatness()))
                                       .size();
            cut += offset.size() < samples + 1;
        }
    }
    EXPECT_GT(cut, 5) << "the table must hold curves that loop";
}

TEST(RoundedShapes, CornersAndBorders)
{
    BezierPath path;
    path.appendPathWithRoundedRectangle({0, 0, 100, 50}, 10);
    EXPECT_EQ(pointsOf(path), std::vector<Point>({{50, 50},
                                                  {90, 50},
                                                  {100, 40},
                                                  {100, 10},
                                                  {90, 0},
                                                  {10, 0},
                                                  {0, 10},
                                                  {0, 40},
                                                  {10, 50}}));
    const BezierPath::Element &corner = path.elementAtIndex(2);
    EXPECT_FLOAT_EQ(corner.points[0].x, 100 - 4.477152501692065f);
    EXPECT_FLOAT_EQ(corner.points[1].y, 50 - 4.477152501692065f);
    EXPECT_EQ(path.elements().back().type, BezierPath::ClosePathElement);
    // A radius of 0 still gives curves, with all their points at the corner.
    BezierPath square;
    square.appendPathWithRoundedRectangle({5, 5, 20, 10}, 0);
    EXPECT_EQ(square.elementAtIndex(4).points[0], Point(25, 5));

    // Borders are inset by half the line and open; the title border leaves
    // out the top edge.
    const BezierPath border = BezierPath::bezierPathWithRect({0, 0, 100, 50}, 10, 2);
    EXPECT_EQ(border.lineWidth(), 2);
    EXPECT_EQ(
        pointsOf(border),
        std::vector<Point>(
            {{1, 11}, {1, 39}, {11, 49}, {89, 49}, {99, 39}, {99, 11}, {89, 1}, {11, 1}, {1, 11}}));
    EXPECT_EQ(border.elementAtIndex(2).points[0], Point(1, 44));
    EXPECT_EQ(border.elementAtIndex(2).points[1], Point(6, 49));
    const BezierPath title = BezierPath::bezierPathTitleWithRect({0, 0, 100, 50}, 10, 2, 20);
    EXPECT_EQ(
        pointsOf(title),
        std::vector<Point>({{1, 30}, {1, 40}, {11, 50}, {89, 50}, {99, 40}, {99, 30}, {1, 30}}));
    EXPECT_EQ(title.lineWidth(), 2);
}

TEST(RoundedShapes, StrokeInsideStaysInside)
{
    BezierPath box;
    box.appendPathWithRoundedRectangle({10, 10, 40, 40}, 0);
    box.setLineWidth(4);
    QImage image(60, 60, QImage::Format_ARGB32);
    QImage clipped = image;
    image.fill(Qt::transparent);
    clipped.fill(Qt::transparent);
    QPainter painter(&image);
    box.strokeInside(painter, Qt::black);
    painter.end();
    painter.begin(&clipped);
    box.strokeInsideWithinRect(painter, Qt::black, {0, 0, 30, 60});
    painter.end();
    for (const auto &[x, alpha] : {std::pair{8, 0}, {11, 255}, {13, 255}, {15, 0}, {48, 255}})
        EXPECT_EQ(qAlpha(image.pixel(x, 30)), alpha) << x;
    EXPECT_EQ(qAlpha(clipped.pixel(11, 30)), 255);
    EXPECT_EQ(qAlpha(clipped.pixel(48, 30)), 0);
}

} // namespace
