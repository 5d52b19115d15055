#include "support/BezierPath.h"
#include "support/GGVecLib.h"
#include "support/NearestPoint.h"
#include "support/TWAngleAndPointHolder.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

namespace {

// Single-precision angle constants the offset computation is tuned to.
constexpr float halfPi = 1.5707963f;
constexpr double threeHalvesPi = 4.712388753890991;
constexpr double twoPi = 6.283185005187988;

// Angles just above 0 and just below 2pi are neighbours: lift the small one.
void unwrapAngles(float &a1, float &a2)
{
    if (a1 <= halfPi && a2 >= threeHalvesPi)
        a1 = float(a1 + twoPi);
    if (a2 <= halfPi && a1 >= threeHalvesPi)
        a2 = float(a2 + twoPi);
}

float distance(Point a, Point b)
{
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

// A holder's normal line as intersectionPointWith() works it out, with the
// slope for its angle lifted by a turn as well.
struct Normal
{
    float slope;
    float liftedSlope;
    float offset;

    static Normal of(const TWAngleAndPointHolder &holder)
    {
        const float a = holder.angle();
        const Point p = holder.basePoint();
        return {std::tan(halfPi + a), std::tan(halfPi + float(a + twoPi)),
                p.y + p.x / float(std::tan(double(a)))};
    }

    // Which of two angles unwrapAngles() lifts by a turn; lifts them.
    struct Lift
    {
        bool first;
        bool second;
    };
    static Lift unwrap(float &a1, float &a2)
    {
        const Lift lift{a1 <= halfPi && a2 >= threeHalvesPi, a2 <= halfPi && a1 >= threeHalvesPi};
        unwrapAngles(a1, a2);
        return lift;
    }

    // Where two normals meet, as intersectionPointWith() works it out.
    static Point intersection(const Normal &n1, const Normal &n2, Lift lift)
    {
        const float m1 = lift.first ? n1.liftedSlope : n1.slope;
        const float m2 = lift.second ? n2.liftedSlope : n2.slope;
        const float x = (n2.offset - n1.offset) / (m1 - m2);
        return {x, n1.offset + m1 * x};
    }
};

// The holders that may close a loop with a given one, farthest first. A
// loop needs both base points within d of the normals' intersection, so
// within 2d of each other: a grid of that cell size leaves out the rest
// without changing which holder is found first. A negative (or NaN) d
// closes no loop at all.
class LoopCandidates
{
public:
    LoopCandidates(const std::vector<TWAngleAndPointHolder> &holders, float d) : m_holders(holders)
    {
        if (!(d >= 0))
            return;
        // A little slack for the rounding of the distances the test compares.
        const double reach = 2.0 * double(d) * 1.001 + 1e-3;
        if (!std::isfinite(reach)) {
            m_everyone = true;
            return;
        }
        m_reach = reach;
        // Offsets far larger than the path reach every sample: no grid then.
        float minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
        for (const TWAngleAndPointHolder &holder : holders) {
            const Point p = holder.basePoint();
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        if (std::hypot(double(maxX) - minX, double(maxY) - minY) <= reach) {
            m_everyone = true;
            return;
        }
        m_cells.reserve(holders.size());
        for (size_t i = 0; i < holders.size(); ++i) {
            const Point p = holders[i].basePoint();
            // A point that is not finite is at no finite distance: it closes nothing.
            if (std::isfinite(p.x) && std::isfinite(p.y))
                m_cells[key(cell(p.x), cell(p.y))].push_back(uint32_t(i));
        }
    }

    // Holders from the last down to `j` that could close a loop with it.
    void collect(size_t j, std::vector<uint32_t> &out) const
    {
        out.clear();
        if (m_everyone) {
            for (size_t k = m_holders.size(); k-- > j;)
                out.push_back(uint32_t(k));
            return;
        }
        const Point p = m_holders[j].basePoint();
        if (m_reach <= 0 || !std::isfinite(p.x) || !std::isfinite(p.y))
            return;
        const qint64 cx = cell(p.x), cy = cell(p.y);
        const double reach2 = m_reach * m_reach;
        for (qint64 x = cx - 1; x <= cx + 1; ++x) {
            for (qint64 y = cy - 1; y <= cy + 1; ++y) {
                const auto found = m_cells.find(key(x, y));
                if (found == m_cells.end())
                    continue;
                // Cells sharing a key only add candidates the distance test drops.
                for (const uint32_t k : found->second) {
                    if (k < j)
                        continue;
                    const Point q = m_holders[k].basePoint();
                    const double dx = double(q.x) - p.x, dy = double(q.y) - p.y;
                    if (dx * dx + dy * dy <= reach2)
                        out.push_back(k);
                }
            }
        }
        std::sort(out.begin(), out.end(), std::greater<uint32_t>());
        out.erase(std::unique(out.begin(), out.end()), out.end());
    }

private:
    qint64 cell(float v) const
    {
        const double c = std::floor(double(v) / m_reach);
        return qint64(std::clamp(c, -4.0e15, 4.0e15));
    }
    static quint64 key(qint64 x, qint64 y)
    {
        return quint64(x) * 0x9E3779B97F4A7C15ull ^ quint64(y);
    }

    const std::vector<TWAngleAndPointHolder> &m_holders;
    std::unordered_map<quint64, std::vector<uint32_t>> m_cells;
    double m_reach = 0;
    bool m_everyone = false;
};

} // namespace

Point TWAngleAndPointHolder::intersectionPointWith(const TWAngleAndPointHolder &other) const
{
    float a1 = m_angle;
    float a2 = other.m_angle;
    unwrapAngles(a1, a2);
    const float m1 = std::tan(halfPi + a1);
    const float m2 = std::tan(halfPi + a2);
    const float c1 = m_basePoint.y + m_basePoint.x / float(std::tan(double(m_angle)));
    const float c2 =
        other.m_basePoint.y + other.m_basePoint.x / float(std::tan(double(other.m_angle)));
    const float x = (c2 - c1) / (m1 - m2);
    return {x, c1 + m1 * x};
}

bool BezierPath::lineFrom(Point start, Point end, Point p) const
{
    const float dx = end.x - start.x;
    const float dy = end.y - start.y;
    const float vx = p.x - start.x;
    const float vy = p.y - start.y;
    const float t = (dx * vx + dy * vy) / (dx * dx + dy * dy);
    float ex, ey;
    if (t < 0) {
        ex = vx;
        ey = vy;
    } else if (t > 1) {
        ex = p.x - end.x;
        ey = p.y - end.y;
    } else {
        // A zero-length segment leaves t NaN and is never hit.
        ex = float(p.x - (start.x + double(t) * dx));
        ey = float(p.y - (start.y + double(t) * dy));
    }
    return m_lineWidth * m_lineWidth >= ex * ex + ey * ey;
}

bool BezierPath::curveFrom(Point start, Point control1, Point control2, Point end, Point p) const
{
    const NearestPoint::Vec2 polygon[4] = {
        {start.x, start.y}, {control1.x, control1.y}, {control2.x, control2.y}, {end.x, end.y}};
    const NearestPoint::Vec2 target{p.x, p.y};
    const NearestPoint::Vec2 q = NearestPoint::NearestPointOnCurve(target, polygon);
    const double dx = q.x - target.x;
    const double dy = q.y - target.y;
    return m_lineWidth * m_lineWidth >= float(dx * dx + dy * dy);
}

bool BezierPath::intersectsPoint(Point p) const
{
    // The stored flatness of a path read from a file says nothing about how
    // finely it should be picked.
    const BezierPath flat = bezierPathByFlatteningPath(defaultFlatness);
    Point current;
    Point subpathStart;
    for (const Element &e : flat.m_elements) {
        switch (e.type) {
        case MoveToElement:
            current = subpathStart = e.points[0];
            break;
        case LineToElement:
            if (lineFrom(current, e.points[0], p))
                return true;
            current = e.points[0];
            break;
        case CurveToElement:
            if (curveFrom(current, e.points[0], e.points[1], e.points[2], p))
                return true;
            current = e.points[2];
            break;
        case ClosePathElement:
            // A segment after a close leaves from the subpath's start, as drawn.
            current = subpathStart;
            break;
        }
    }
    return false;
}

float BezierPath::bezierPathLength(float flatness) const
{
    const BezierPath flat = bezierPathByFlatteningPath(flatness);
    if (flat.elementCount() < 2)
        return 0;
    float total = 0;
    Point previous = flat.m_elements.front().points[0];
    for (size_t i = 1; i < flat.m_elements.size(); ++i) {
        const Element &e = flat.m_elements[i];
        // A close brings no point of its own: its step adds nothing.
        const Point point = e.type == ClosePathElement ? previous : e.points[0];
        const float dx = point.x - previous.x;
        const float dy = point.y - previous.y;
        const float squared = dx * dx + dy * dy;
        total = float(total + std::sqrt(double(squared)));
        previous = point;
    }
    return total;
}

BezierPath BezierPath::bezierPathOffsetVerticallyBy(float distance, bool lineToFirstPoint) const
{
    // Finer for larger distances, so the offset stays smooth; a zero distance
    // keeps the path's own flatness instead of an infinite one.
    const float flatness = distance != 0 ? 0.5f / std::fabs(distance) : m_flatness;
    return bezierPathOffsetVerticallyBy(distance, lineToFirstPoint, flatness);
}

BezierPath BezierPath::bezierPathOffsetVerticallyBy(float d, bool lineToFirstPoint,
                                                    float flatness) const
{
    Q_UNUSED(lineToFirstPoint) // no caller asks for more than the offset itself
    const BezierPath flat = bezierPathByFlatteningPath(flatness);
    BezierPath result;

    // Closes and steps of zero length (a flexi curve with an end of no
    // width starts with one) are skipped: they have no direction, and their
    // sample would be pushed sideways.
    std::vector<TWAngleAndPointHolder> holders;
    holders.reserve(flat.m_elements.size());
    for (const Element &e : flat.m_elements) {
        if (e.type == ClosePathElement)
            continue;
        const Point p = e.points[0];
        if (!holders.empty() && p == holders.back().basePoint())
            continue;
        TWAngleAndPointHolder holder;
        holder.setBasePoint(p);
        if (holders.empty()) {
            holder.setDrawPoint({p.x, p.y - d});
            holder.setAngle(0);
        } else {
            const Point prev = holders.back().basePoint();
            float a = halfPi - calculateAngleFromVertical(p.x - prev.x, p.y - prev.y);
            if (a < 0)
                a = float(a + twoPi);
            holder.setDrawPoint({p.x + std::sin(a) * d, p.y - std::cos(a) * d});
            holder.setAngle(a);
        }
        holders.push_back(holder);
    }
    if (holders.empty())
        return result;

    const size_t last = holders.size() - 1;
    // A holder closes a loop only with a later one whose angle, unwrapped,
    // is lower: lower as it is, or a turn round (3/2 pi and up). The lowest
    // and highest angle from each holder on tell where nothing can loop;
    // there, on most samples of a smooth curve, the search is skipped. A
    // negative (or NaN) d closes no loop at all.
    std::vector<float> lowestFrom, highestFrom;
    if (d >= 0) {
        lowestFrom.resize(holders.size());
        highestFrom.resize(holders.size());
        float lowest = INFINITY, highest = -INFINITY;
        for (size_t k = holders.size(); k-- > 0;) {
            // NaN angles never compare true, so they close nothing either.
            const float a = holders[k].angle();
            if (a < lowest)
                lowest = a;
            if (a > highest)
                highest = a;
            lowestFrom[k] = lowest;
            highestFrom[k] = highest;
        }
    }
    const auto mayLoop = [&](size_t j) {
        return !lowestFrom.empty() &&
               (lowestFrom[j] < holders[j].angle() || highestFrom[j] >= threeHalvesPi);
    };
    // Made when a holder first may loop: most offsets never need them.
    std::optional<LoopCandidates> candidates;
    // Each holder's normal, worked out once: the search meets every holder
    // many times.
    std::vector<Normal> normals;
    std::vector<uint32_t> near;
    result.m_elements.reserve(holders.size() + 1);
    result.moveToPoint(holders[0].drawPoint());
    size_t j = 0;
    for (;;) {
        const TWAngleAndPointHolder *h = &holders[j];
        near.clear();
        if (mayLoop(j)) {
            if (!candidates) {
                candidates.emplace(holders, d);
                normals.reserve(holders.size());
                for (const TWAngleAndPointHolder &holder : holders)
                    normals.push_back(Normal::of(holder));
            }
            // The farthest holder first, so the widest loop goes in one step.
            candidates->collect(j, near);
        }
        for (const uint32_t k : near) {
            const TWAngleAndPointHolder &other = holders[k];
            float a1 = h->angle();
            float a2 = other.angle();
            const Normal::Lift lift = Normal::unwrap(a1, a2);
            // The angles decide alone whether the rest is worth working out.
            if (!(a1 > a2))
                continue;
            const Point x = Normal::intersection(normals[j], normals[k], lift);
            const float d1 = distance(x, h->basePoint());
            const float d2 = distance(x, other.basePoint());
            if (d >= d1 && d >= d2) {
                j = std::min(last, size_t(k) + 1);
                h = &holders[j];
                break;
            }
        }
        result.lineToPoint(h->drawPoint());
        if (j == last)
            return result;
        ++j;
    }
}

void BezierPath::appendPathWithRoundedRectangle(const Rect &rect, float r)
{
    const float x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    // Control points this far from the corner make each corner close to a
    // quarter circle.
    const float k = float(r * 0.4477152501692065);
    moveToPoint({x + w * 0.5f, y + h});
    lineToPoint({x + w - r, y + h});
    curveToPoint({x + w, y + h - r}, {x + w - k, y + h}, {x + w, y + h - k});
    lineToPoint({x + w, y + r});
    curveToPoint({x + w - r, y}, {x + w, y + k}, {x + w - k, y});
    lineToPoint({x + r, y});
    curveToPoint({x, y + r}, {x + k, y}, {x, y + k});
    lineToPoint({x, y + h - r});
    curveToPoint({x + r, y + h}, {x, y + h - k}, {x + k, y + h});
    closePath();
}

BezierPath BezierPath::bezierPathWithRect(const Rect &rect, float c, float lineWidth)
{
    // Inset by half the line so the stroke stays inside the rectangle.
    const float L = rect.x() + lineWidth / 2;
    const float B = rect.y() + lineWidth / 2;
    const float R = rect.x() + rect.width() - lineWidth / 2;
    const float T = rect.y() + rect.height() - lineWidth / 2;
    BezierPath path;
    path.setLineWidth(lineWidth);
    path.moveToPoint({L, B + c});
    path.lineToPoint({L, T - c});
    path.curveToPoint({L + c, T}, {L, T - c / 2}, {L + c / 2, T});
    path.lineToPoint({R - c, T});
    path.curveToPoint({R, T - c}, {R - c / 2, T}, {R, T - c / 2});
    path.lineToPoint({R, B + c});
    path.curveToPoint({R - c, B}, {R, B + c / 2}, {R - c / 2, B});
    path.lineToPoint({L + c, B});
    path.curveToPoint({L, B + c}, {L + c / 2, B}, {L, B + c / 2});
    return path;
}

BezierPath BezierPath::bezierPathTitleWithRect(const Rect &rect, float c, float lineWidth,
                                               float titleHeight)
{
    const float L = rect.x() + lineWidth / 2;
    const float R = rect.x() + rect.width() - lineWidth / 2;
    const float T = rect.y() + rect.height();
    BezierPath path;
    path.setLineWidth(lineWidth);
    path.moveToPoint({L, T - titleHeight});
    path.lineToPoint({L, T - c});
    path.curveToPoint({L + c, T}, {L, T - c / 2}, {L + c / 2, T});
    path.lineToPoint({R - c, T});
    path.curveToPoint({R, T - c}, {R - c / 2, T}, {R, T - c / 2});
    path.lineToPoint({R, T - titleHeight});
    path.lineToPoint({L, T - titleHeight});
    return path;
}

void BezierPath::strokeInside(QPainter &painter, const QBrush &brush) const
{
    strokeInsideWithinRect(painter, brush, Rect());
}

void BezierPath::strokeInsideWithinRect(QPainter &painter, const QBrush &brush,
                                        const Rect &rect) const
{
    // Twice the width, clipped to the path: the half outside is cut away.
    const QPainterPath outline = toQPainterPath();
    QPen doubled = pen(brush);
    doubled.setWidthF(doubled.widthF() * 2);
    if (doubled.style() == Qt::CustomDashLine) {
        // Keep the dashes in points although the pen got wider.
        QList<qreal> dashes = doubled.dashPattern();
        for (qreal &length : dashes)
            length /= 2;
        doubled.setDashPattern(dashes);
        doubled.setDashOffset(doubled.dashOffset() / 2);
    }
    painter.save();
    painter.setClipPath(outline, Qt::IntersectClip);
    if (rect.width() > 0 && rect.height() > 0)
        painter.setClipRect(rect.toQt(), Qt::IntersectClip);
    painter.strokePath(outline, doubled);
    painter.restore();
}
