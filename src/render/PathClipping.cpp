#include "render/PathClipping.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace PathClipping {

namespace {

// Deep enough for a curve across the model's range flattened to a
// hundredth of a point.
constexpr int MaxDepth = 28;

bool boxMisses(const QRectF &rect, qreal minX, qreal minY, qreal maxX, qreal maxY)
{
    return maxX < rect.left() || minX > rect.right() || maxY < rect.top() || minY > rect.bottom();
}

qreal distanceToLine(QPointF p, QPointF a, QPointF b)
{
    const QPointF d = b - a;
    const qreal length = std::hypot(d.x(), d.y());
    if (length == 0)
        return std::hypot(p.x() - a.x(), p.y() - a.y());
    return std::abs(d.x() * (p.y() - a.y()) - d.y() * (p.x() - a.x())) / length;
}

// Appends the cubic's points after p0: flattened where its hull meets the
// rectangle, a chord (outside like the hull) where it does not.
void flattenCubic(QPolygonF &out, QPointF p0, QPointF c1, QPointF c2, QPointF p3,
                  const QRectF &rect, qreal tolerance, int depth)
{
    const auto [minX, maxX] = std::minmax({p0.x(), c1.x(), c2.x(), p3.x()});
    const auto [minY, maxY] = std::minmax({p0.y(), c1.y(), c2.y(), p3.y()});
    if (depth >= MaxDepth || boxMisses(rect, minX, minY, maxX, maxY) ||
        std::max(distanceToLine(c1, p0, p3), distanceToLine(c2, p0, p3)) <= tolerance) {
        out << p3;
        return;
    }
    const QPointF a = (p0 + c1) / 2, b = (c1 + c2) / 2, c = (c2 + p3) / 2;
    const QPointF ab = (a + b) / 2, bc = (b + c) / 2, mid = (ab + bc) / 2;
    flattenCubic(out, p0, a, ab, mid, rect, tolerance, depth + 1);
    flattenCubic(out, mid, bc, c, p3, rect, tolerance, depth + 1);
}

QVector<QPolygonF> flattenedSubpaths(const QPainterPath &path, const QRectF &rect, qreal tolerance)
{
    QVector<QPolygonF> subpaths;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo() || subpaths.isEmpty()) {
            subpaths.append(QPolygonF{QPointF(e)});
            continue;
        }
        QPolygonF &current = subpaths.last();
        if (e.isCurveTo() && i + 2 < path.elementCount()) {
            flattenCubic(current, current.last(), e, path.elementAt(i + 1), path.elementAt(i + 2),
                         rect, tolerance, 0);
            i += 2;
        } else {
            current << QPointF(e);
        }
    }
    return subpaths;
}

// One pass of Sutherland-Hodgman: the polygon cut to one side of an edge.
// What lies outside is laid along the edge, which keeps the winding of
// every point inside.
template <class Inside, class Cross>
QPolygonF cutBy(const QPolygonF &polygon, Inside inside, Cross cross)
{
    QPolygonF result;
    if (polygon.isEmpty())
        return result;
    QPointF previous = polygon.last();
    bool previousIn = inside(previous);
    for (const QPointF &p : polygon) {
        const bool in = inside(p);
        if (in != previousIn)
            result << cross(previous, p);
        if (in)
            result << p;
        previous = p;
        previousIn = in;
    }
    return result;
}

QPolygonF cutToRect(const QPolygonF &polygon, const QRectF &r)
{
    const auto atX = [](qreal x) {
        return [x](QPointF a, QPointF b) {
            return QPointF(x, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()));
        };
    };
    const auto atY = [](qreal y) {
        return [y](QPointF a, QPointF b) {
            return QPointF(a.x() + (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y()), y);
        };
    };
    QPolygonF p = cutBy(
        polygon, [&](QPointF q) { return q.x() >= r.left(); }, atX(r.left()));
    p = cutBy(
        p, [&](QPointF q) { return q.x() <= r.right(); }, atX(r.right()));
    p = cutBy(
        p, [&](QPointF q) { return q.y() >= r.top(); }, atY(r.top()));
    return cutBy(
        p, [&](QPointF q) { return q.y() <= r.bottom(); }, atY(r.bottom()));
}

// Whether the cut polygon covers anything: a figure wholly outside leaves
// a sliver along the edges, with no area and no point inside.
bool coversAny(const QPolygonF &polygon, const QRectF &r)
{
    if (polygon.size() < 3)
        return false;
    qreal twiceArea = 0;
    for (qsizetype i = 0; i < polygon.size(); ++i) {
        const QPointF a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        twiceArea += a.x() * b.y() - b.x() * a.y();
    }
    if (std::abs(twiceArea) > 1e-9 * std::max<qreal>(1, r.width() * r.height()))
        return true;
    return std::any_of(polygon.cbegin(), polygon.cend(), [&](QPointF p) {
        return p.x() > r.left() && p.x() < r.right() && p.y() > r.top() && p.y() < r.bottom();
    });
}

// Liang-Barsky: the part of the segment within the rectangle, as parameters.
std::optional<std::pair<qreal, qreal>> segmentWithin(QPointF a, QPointF b, const QRectF &r)
{
    qreal t0 = 0, t1 = 1;
    const QPointF d = b - a;
    const auto edge = [&](qreal p, qreal q) {
        if (p == 0)
            return q >= 0;
        const qreal t = q / p;
        if (p < 0) {
            if (t > t1)
                return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0)
                return false;
            t1 = std::min(t1, t);
        }
        return true;
    };
    if (edge(-d.x(), a.x() - r.left()) && edge(d.x(), r.right() - a.x()) &&
        edge(-d.y(), a.y() - r.top()) && edge(d.y(), r.bottom() - a.y()))
        return std::make_pair(t0, t1);
    return std::nullopt;
}

// The lines of one flattened subpath that meet the rectangle, as runs.
void appendRuns(QVector<QPolygonF> &runs, const QPolygonF &points, const QRectF &r)
{
    if (points.size() < 2)
        return;
    const bool closed = points.size() > 2 && points.first() == points.last();
    const qsizetype firstRun = runs.size();
    bool open = false; // the last run still goes on
    bool cut = false;
    for (qsizetype i = 0; i + 1 < points.size(); ++i) {
        const QPointF a = points[i], b = points[i + 1];
        const auto within = segmentWithin(a, b, r);
        if (!within) {
            open = false;
            cut = true;
            continue;
        }
        const auto [t0, t1] = *within;
        if (!open || t0 > 0)
            runs.append(QPolygonF{a + (b - a) * t0});
        runs.last() << a + (b - a) * t1;
        open = t1 >= 1;
        cut = cut || t0 > 0 || t1 < 1;
    }
    // A closed figure cut somewhere: its last run goes on into its first.
    if (closed && cut && open && runs.size() - firstRun >= 2 &&
        runs[firstRun].first() == points.first()) {
        QPolygonF joined = runs.takeLast();
        joined.removeLast();
        joined << runs[firstRun];
        runs[firstRun] = std::move(joined);
    }
}

qreal distanceToRuns(QPointF p, const QVector<QPolygonF> &runs)
{
    qreal nearest = std::numeric_limits<qreal>::infinity();
    for (const QPolygonF &run : runs) {
        if (run.size() == 1)
            nearest = std::min(nearest, std::hypot(p.x() - run[0].x(), p.y() - run[0].y()));
        for (qsizetype i = 0; i + 1 < run.size(); ++i) {
            const QPointF a = run[i], d = run[i + 1] - a;
            const qreal lengthSquared = d.x() * d.x() + d.y() * d.y();
            const qreal t = lengthSquared > 0
                                ? std::clamp(((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) /
                                                 lengthSquared,
                                             0.0, 1.0)
                                : 0.0;
            const QPointF q = a + d * t;
            nearest = std::min(nearest, std::hypot(p.x() - q.x(), p.y() - q.y()));
        }
    }
    return nearest;
}

qreal directedDistance(const QVector<QPolygonF> &from, const QVector<QPolygonF> &to)
{
    qreal farthest = 0;
    for (const QPolygonF &run : from)
        for (const QPointF &p : run)
            farthest = std::max(farthest, distanceToRuns(p, to));
    return farthest;
}

} // namespace

QPainterPath Clipped::outline() const
{
    QPainterPath path;
    for (const QPolygonF &run : runs) {
        path.addPolygon(run);
        if (run.size() > 2 && run.first() == run.last())
            path.closeSubpath();
    }
    return path;
}

Clipped clip(const QPainterPath &path, const QRectF &rect, qreal tolerance)
{
    Clipped clipped;
    clipped.fill.setFillRule(path.fillRule());
    const QRectF r = rect.normalized();
    for (const QPolygonF &points : flattenedSubpaths(path, r, tolerance)) {
        // Filling closes every figure.
        const QPolygonF area = cutToRect(points, r);
        if (coversAny(area, r)) {
            clipped.fill.addPolygon(area);
            clipped.fill.closeSubpath();
        }
        appendRuns(clipped.runs, points, r);
    }
    for (const QPolygonF &run : std::as_const(clipped.runs))
        clipped.runBounds = clipped.runBounds.united(run.boundingRect());
    return clipped;
}

qreal runsDistance(const QVector<QPolygonF> &a, const QVector<QPolygonF> &b)
{
    if (a.isEmpty() != b.isEmpty())
        return std::numeric_limits<qreal>::infinity();
    return std::max(directedDistance(a, b), directedDistance(b, a));
}

} // namespace PathClipping
