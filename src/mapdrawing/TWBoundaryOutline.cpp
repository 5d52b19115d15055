#include "mapdrawing/TWBoundaryOutline.h"

#include "support/TWPointHolder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace TWBoundaryOutline {

int vecProduct(Point p0, Point p1, Point p2)
{
    const float product = (p1.y - p0.y) * (p2.x - p0.x) - (p1.x - p0.x) * (p2.y - p0.y);
    // Converting an out-of-range float to int is undefined: clamp first.
    if (std::isnan(product))
        return 0;
    if (product >= float(INT_MAX))
        return INT_MAX;
    if (product <= float(INT_MIN))
        return INT_MIN;
    return int(product);
}

int vecProductFromArray(const PointList &points, int first, int second, int third)
{
    return vecProduct(points.at(first)->point(), points.at(second)->point(),
                      points.at(third)->point());
}

namespace {

double cross(Point o, Point a, Point b)
{
    return (double(a.x) - o.x) * (double(b.y) - o.y) - (double(a.y) - o.y) * (double(b.x) - o.x);
}

} // namespace

// Andrew's monotone chain, O(n log n): a deep outline hulls sets of
// thousands of points at every level, where adding the points one at a
// time against the whole hull grew with the square of the set.
std::vector<int> hullOfPoints(const std::vector<Point> &p)
{
    const int count = int(p.size());
    if (count < 3)
        return {};
    std::vector<int> order;
    order.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        // NaN has no place on a line; such a point cannot bound anything.
        if (!std::isnan(p[size_t(i)].x) && !std::isnan(p[size_t(i)].y))
            order.push_back(i);
    }
    if (order.size() < 3)
        return {};
    std::stable_sort(order.begin(), order.end(), [&p](int a, int b) {
        return p[size_t(a)].x < p[size_t(b)].x ||
               (p[size_t(a)].x == p[size_t(b)].x && p[size_t(a)].y < p[size_t(b)].y);
    });
    // Counter-clockwise in a y-up frame, lower chain then upper chain.
    std::vector<int> hull(2 * order.size() + 1);
    size_t k = 0;
    for (const int i : order) {
        while (k >= 2 && cross(p[size_t(hull[k - 2])], p[size_t(hull[k - 1])], p[size_t(i)]) <= 0)
            --k;
        hull[k++] = i;
    }
    for (size_t j = order.size() - 1, lower = k + 1; j-- > 0;) {
        const int i = order[j];
        while (k >= lower &&
               cross(p[size_t(hull[k - 2])], p[size_t(hull[k - 1])], p[size_t(i)]) <= 0)
            --k;
        hull[k++] = i;
    }
    hull.resize(k > 0 ? k - 1 : 0); // the last is the first again

    // A vertex less than a unit off the line of its neighbours counts as on
    // it: points that near the hull never widen it. Never two neighbours
    // at once, so that what is dropped stays within that unit of the edge
    // that replaces it.
    if (hull.size() > 3) {
        const size_t m = hull.size();
        std::vector<char> drop(m, 0);
        size_t left = m;
        for (size_t i = 0; i < m && left > 3; ++i) {
            const size_t before = (i + m - 1) % m, after = (i + 1) % m;
            if (!drop[before] && !drop[after] &&
                vecProduct(p[size_t(hull[before])], p[size_t(hull[i])],
                           p[size_t(hull[after])]) == 0) {
                drop[i] = 1;
                --left;
            }
        }
        size_t kept = 0;
        for (size_t i = 0; i < m; ++i) {
            if (!drop[i])
                hull[kept++] = hull[i];
        }
        hull.resize(kept);
    }
    if (hull.size() < 3) {
        // All on one line: the two ends and the first other point, a flat
        // outline that still spans the whole set.
        const int first = order.front(), last = order.back();
        int other = -1;
        for (int i = 0; i < count && other < 0; ++i) {
            if (i != first && i != last && !std::isnan(p[size_t(i)].x) && !std::isnan(p[size_t(i)].y))
                other = i;
        }
        return {std::min(first, last), std::max(first, last), other};
    }

    // From the earliest point of the set, turning the way its first three
    // points turn, so that the drawn outline and its dashes begin where they
    // did. The chain runs the way vecProduct counts negative.
    if (vecProduct(p[0], p[1], p[2]) > 0)
        std::reverse(hull.begin(), hull.end());
    std::rotate(hull.begin(), std::min_element(hull.begin(), hull.end()), hull.end());
    return hull;
}

void recalculateBoundaryFromAllPoints(const PointList &points, PointList &outline)
{
    outline.clear();
    std::vector<Point> p;
    p.reserve(size_t(points.size()));
    for (const std::shared_ptr<TWPointHolder> &holder : points)
        p.push_back(holder->point());
    const std::vector<int> hull = hullOfPoints(p);
    outline.reserve(qsizetype(hull.size()));
    for (const int index : hull)
        outline.append(points.at(index));
}

namespace {

// The candidates of the vertices of `points` against the edges of `edges`:
// sign +1 measures point below edge, -1 edge below point.
void clearance(const std::vector<Point> &points, const std::vector<Point> &edges, float sign,
               float &d)
{
    const size_t n = edges.size();
    for (const Point q : points) {
        for (size_t k = 0; k < n; ++k) {
            const Point a = edges[k];
            const Point b = edges[(k + 1) % n];
            float edgeY;
            if (q.x == a.x)
                edgeY = a.y;
            else if (q.x == b.x)
                edgeY = b.y;
            else if ((q.x > a.x && q.x < b.x) || (q.x < a.x && q.x > b.x))
                edgeY = a.y + (b.y - a.y) * (q.x - a.x) / (b.x - a.x);
            else
                continue;
            d = std::min(d, sign * (q.y - edgeY));
        }
    }
}

// The points side by side: each is read once per edge of the other outline.
// A layout measures thousands of pairs: the buffers are kept.
void pointsOf(const PointList &outline, std::vector<Point> &points)
{
    points.clear();
    for (const std::shared_ptr<TWPointHolder> &holder : outline)
        points.push_back(holder->point());
}

} // namespace

float calcDistanceBetweenAboveBoundary(const PointList &above, const PointList &below)
{
    if (above.isEmpty() || below.isEmpty())
        return 0;
    thread_local std::vector<Point> upper, lower;
    pointsOf(above, upper);
    pointsOf(below, lower);
    float d = NoOverlapDistance;
    clearance(lower, upper, 1, d);
    clearance(upper, lower, -1, d);
    return d;
}

namespace {

float length(Point v)
{
    return std::hypot(v.x, v.y);
}

Point plus(Point a, Point b)
{
    return {a.x + b.x, a.y + b.y};
}

Point minus(Point a, Point b)
{
    return {a.x - b.x, a.y - b.y};
}

Point times(Point a, float f)
{
    return {a.x * f, a.y * f};
}

constexpr float Pi = 3.14159265358979f;

} // namespace

void findCutPoints(Point p0, Point p1, Point p2, float radius, Point *cut1, Point *cut2)
{
    const float d1 = length(minus(p0, p1));
    const float d2 = length(minus(p2, p1));
    float r = radius;
    if (2 * r > d1)
        r = d1 / 2;
    if (2 * r > d2)
        r = d2 / 2;
    // A zero-length edge has no direction: the cut stays at the corner.
    *cut1 = d1 > 0 ? plus(p1, times(minus(p0, p1), r / d1)) : p1;
    *cut2 = d2 > 0 ? plus(p1, times(minus(p2, p1), r / d2)) : p1;
}

float findCutPointsWithArc(Point p0, Point p1, Point p2, float radius, Point *cut1, Point *cut2,
                           Point *center, float *angle1, float *angle2)
{
    const Point a = minus(p0, p1), b = minus(p2, p1);
    const float la = length(a), lb = length(b);
    // The corner's inner angle, whichever way the outline runs.
    const float theta = std::atan2(std::fabs(a.x * b.y - a.y * b.x), a.x * b.x + a.y * b.y);
    const float k = std::tan((Pi - theta) / 2);
    float t = k * radius;
    bool limited = false;
    if (t > la / 2) {
        t = la / 2;
        limited = true;
    }
    if (t > lb / 2) {
        t = lb / 2;
        limited = true;
    }
    if (limited && k != 0)
        radius = t / k;
    *cut1 = la > 0 ? plus(p1, times(a, t / la)) : p1;
    *cut2 = lb > 0 ? plus(p1, times(b, t / lb)) : p1;
    *angle1 = Pi / 2 - std::atan2(a.y, a.x);
    *angle2 = Pi / 2 - std::atan2(p1.y - p2.y, p1.x - p2.x);
    *center = plus(*cut1, Point(radius * std::cos(*angle1), radius * std::sin(*angle1)));
    return radius;
}

void appendArc(BezierPath &path, Point center, float radius, float startAngle, float endAngle,
               bool clockwise)
{
    const double toRadians = double(Pi) / 180.0;
    double start = startAngle, end = endAngle;
    if (clockwise) {
        while (end > start)
            end -= 360;
    } else {
        while (end < start)
            end += 360;
    }
    auto at = [&](double degrees) {
        return Point(float(center.x + radius * std::cos(degrees * toRadians)),
                     float(center.y + radius * std::sin(degrees * toRadians)));
    };
    if (path.isEmpty())
        path.moveToPoint(at(start));
    else
        path.lineToPoint(at(start));
    const double sweep = end - start;
    if (sweep == 0 || radius == 0)
        return;
    const int pieces = std::max(1, int(std::ceil(std::fabs(sweep) / 90.0 - 1e-9)));
    const double step = sweep / pieces;
    // Control-point distance of a cubic that follows a circular arc of `step`.
    const double handle = 4.0 / 3.0 * std::tan(step * toRadians / 4) * radius;
    for (int i = 0; i < pieces; ++i) {
        const double a0 = (start + step * i) * toRadians;
        const double a1 = (start + step * (i + 1)) * toRadians;
        const Point from = at(start + step * i), to = at(start + step * (i + 1));
        const Point c1(float(from.x - handle * std::sin(a0)),
                       float(from.y + handle * std::cos(a0)));
        const Point c2(float(to.x + handle * std::sin(a1)), float(to.y - handle * std::cos(a1)));
        path.curveToPoint(to, c1, c2);
    }
}

namespace {

void appendRoundedCorners(BezierPath &path, const QList<Point> &points, float radius)
{
    const int n = int(points.size());
    if (n <= 3)
        return;
    bool started = false;
    for (int i = 0; i < n; ++i) {
        const Point P = points.at(i), C = points.at((i + 1) % n), Q = points.at((i + 2) % n);
        const Point a = minus(P, C), b = minus(Q, C);
        const float la = length(a), lb = length(b);
        auto straight = [&] {
            path.moveToPoint(P);
            path.lineToPoint(Q);
            started = true;
        };
        if (la == 0 || lb == 0) {
            straight();
            continue;
        }
        const Point u = times(a, 1 / la), v = times(b, 1 / lb);
        Point m = plus(u, v);
        const float lm = length(m);
        if (lm < 0.001f)
            continue; // a straight corner needs no rounding
        m = times(m, 1 / lm);
        const float c = m.x * v.x + m.y * v.y;
        const float s = m.y * v.x - m.x * v.y;
        if (s == 0) {
            straight();
            continue;
        }
        float r = radius;
        float t = std::fabs(r * c / s);
        if (t > la / 2 || t > lb / 2) {
            if (c == 0) {
                straight();
                continue;
            }
            t = std::min(la, lb) / 2;
            r = std::fabs(s * t / c);
        }
        const Point t1 = plus(C, times(u, t)), t2 = plus(C, times(v, t));
        // A zero cosine leaves no centre; the corner is then drawn straight.
        if (c == 0) {
            straight();
            continue;
        }
        const Point o = plus(C, times(m, t / c));
        const float start = std::atan2(t1.y - o.y, t1.x - o.x);
        float sweep = std::atan2(t2.y - o.y, t2.x - o.x) - start;
        if (sweep > Pi)
            sweep -= 2 * Pi;
        else if (sweep < -Pi)
            sweep += 2 * Pi;
        const float startDegrees = start * 180 / Pi;
        const float sweepDegrees = sweep * 180 / Pi;
        if (!started) {
            path.moveToPoint(t1);
            started = true;
        }
        appendArc(path, o, r, startDegrees, startDegrees + sweepDegrees, sweep < 0);
    }
}

} // namespace

BezierPath pathFromOutline(const QList<Point> &points, int cornerStyle, float radius)
{
    BezierPath path;
    const int n = int(points.size());
    if (n < 3)
        return path;
    if (cornerStyle == 0) {
        path.moveToPoint(points.first());
        for (int i = 1; i < n; ++i)
            path.lineToPoint(points.at(i));
    } else if (cornerStyle == 1) {
        appendRoundedCorners(path, points, radius);
    } else {
        for (int i = 0; i < n; ++i) {
            Point k1, k2;
            findCutPoints(points.at(i), points.at((i + 1) % n), points.at((i + 2) % n), radius, &k1,
                          &k2);
            if (i == 0)
                path.moveToPoint(k1);
            path.lineToPoint(k1);
            path.lineToPoint(k2);
        }
    }
    path.closePath();
    return path;
}

} // namespace TWBoundaryOutline
