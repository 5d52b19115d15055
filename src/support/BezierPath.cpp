#include "support/BezierPath.h"
#include "support/BezierBounds.h"

#include <QPainter>
#include <QtDebug>
#include <algorithm>
#include <cmath>

namespace {

bool isFinite(Point p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// Deep enough for a curve of 50,000 points at a flatness of 0.05; the bound
// keeps a degenerate curve (huge or tiny numbers) from producing millions of
// lines.
constexpr int maxFlatteningDepth = 10;

struct DPoint
{
    double x, y;
};

DPoint mid(DPoint a, DPoint b)
{
    return {(a.x + b.x) * 0.5, (a.y + b.y) * 0.5};
}

void flattenCurve(DPoint p0, DPoint p1, DPoint p2, DPoint p3, double limit,
                  std::vector<BezierPath::Element> &out)
{
    // Halves still to be looked at, the next one last; each split pushes
    // its second half under its first, so lines come out in order.
    struct Piece
    {
        DPoint p0, p1, p2, p3;
        int depth;
    };
    Piece stack[maxFlatteningDepth + 1];
    int top = 0;
    stack[0] = {p0, p1, p2, p3, 0};
    while (top >= 0) {
        const Piece c = stack[top--];
        // Bound on how far the curve strays from its chord (Willcocks): flat
        // when the deviation is within the flatness.
        double ux = 3.0 * c.p1.x - 2.0 * c.p0.x - c.p3.x;
        double uy = 3.0 * c.p1.y - 2.0 * c.p0.y - c.p3.y;
        double vx = 3.0 * c.p2.x - c.p0.x - 2.0 * c.p3.x;
        double vy = 3.0 * c.p2.y - c.p0.y - 2.0 * c.p3.y;
        ux *= ux;
        uy *= uy;
        vx *= vx;
        vy *= vy;
        if (c.depth >= maxFlatteningDepth || std::max(ux, vx) + std::max(uy, vy) <= limit) {
            BezierPath::Element line;
            line.type = BezierPath::LineToElement;
            line.points[0] = Point(float(c.p3.x), float(c.p3.y));
            out.push_back(line);
            continue;
        }
        const DPoint p01 = mid(c.p0, c.p1), p12 = mid(c.p1, c.p2), p23 = mid(c.p2, c.p3);
        const DPoint p012 = mid(p01, p12), p123 = mid(p12, p23);
        const DPoint split = mid(p012, p123);
        stack[++top] = {split, p123, p23, c.p3, c.depth + 1};
        stack[++top] = {c.p0, p01, p012, split, c.depth + 1};
    }
}

DPoint toD(Point p)
{
    return {p.x, p.y};
}

// Extrema of one coordinate of a cubic: roots of its derivative in (0, 1).
// At most two roots a call, four for a curve: bounds are asked of every
// moved connection, so they go in a fixed buffer on the stack.
struct Extrema
{
    double t[4];
    int count = 0;
    void push_back(double value) { t[count++] = value; }
    const double *begin() const { return t; }
    const double *end() const { return t + count; }
};

void curveExtrema(double a, double b, double c, double d, Extrema &ts)
{
    // derivative / 3 = qa t^2 + qb t + qc
    const double qa = -a + 3 * b - 3 * c + d;
    const double qb = 2 * (a - 2 * b + c);
    const double qc = b - a;
    if (std::fabs(qa) < 1e-12) {
        if (qb != 0)
            ts.push_back(-qc / qb);
        return;
    }
    const double disc = qb * qb - 4 * qa * qc;
    if (disc < 0)
        return;
    const double r = std::sqrt(disc);
    ts.push_back((-qb + r) / (2 * qa));
    ts.push_back((-qb - r) / (2 * qa));
}

Point curvePoint(Point p0, Point p1, Point p2, Point p3, double t)
{
    const double mt = 1 - t;
    const double a = mt * mt * mt, b = 3 * mt * mt * t, c = 3 * mt * t * t, d = t * t * t;
    return {float(a * p0.x + b * p1.x + c * p2.x + d * p3.x),
            float(a * p0.y + b * p1.y + c * p2.y + d * p3.y)};
}

class BoundsAccumulator
{
public:
    void add(Point p)
    {
        if (!isFinite(p))
            return;
        if (m_empty) {
            m_minX = m_maxX = p.x;
            m_minY = m_maxY = p.y;
            m_empty = false;
            return;
        }
        m_minX = std::min(m_minX, p.x);
        m_maxX = std::max(m_maxX, p.x);
        m_minY = std::min(m_minY, p.y);
        m_maxY = std::max(m_maxY, p.y);
    }
    Rect rect() const
    {
        if (m_empty)
            return {};
        return {m_minX, m_minY, m_maxX - m_minX, m_maxY - m_minY};
    }

private:
    bool m_empty = true;
    float m_minX = 0, m_maxX = 0, m_minY = 0, m_maxY = 0;
};

void addCurve(BoundsAccumulator &acc, Point start, const std::array<Point, 3> &points)
{
    acc.add(start);
    acc.add(points[2]);
    Extrema ts;
    curveExtrema(start.x, points[0].x, points[1].x, points[2].x, ts);
    curveExtrema(start.y, points[0].y, points[1].y, points[2].y, ts);
    for (double t : ts)
        if (t > 0 && t < 1)
            acc.add(curvePoint(start, points[0], points[1], points[2], t));
}

} // namespace

Rect curvesBounds(Point start, const std::array<Point, 3> *curves, int count)
{
    BoundsAccumulator acc;
    acc.add(start);
    for (int i = 0; i < count; ++i) {
        addCurve(acc, start, curves[i]);
        start = curves[i][2];
    }
    return acc.rect();
}

bool operator==(const BezierPath::Element &a, const BezierPath::Element &b)
{
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case BezierPath::MoveToElement:
    case BezierPath::LineToElement:
        return a.points[0] == b.points[0];
    case BezierPath::CurveToElement:
        return a.points == b.points;
    case BezierPath::ClosePathElement:
        return true;
    }
    return false;
}

bool operator==(const BezierPath &a, const BezierPath &b)
{
    return a.m_elements == b.m_elements && a.m_lineWidth == b.m_lineWidth &&
           a.m_lineCapStyle == b.m_lineCapStyle && a.m_lineJoinStyle == b.m_lineJoinStyle &&
           a.m_miterLimit == b.m_miterLimit && a.m_flatness == b.m_flatness &&
           a.m_windingRule == b.m_windingRule && a.m_dashPattern == b.m_dashPattern &&
           a.m_dashPhase == b.m_dashPhase;
}

void BezierPath::moveToPoint(Point p)
{
    Element e;
    e.type = MoveToElement;
    e.points[0] = p;
    // Most paths are a move and two or three segments (a connection, a
    // shape's side): room for them at once rather than growing one by one.
    if (m_elements.capacity() == 0)
        m_elements.reserve(4);
    m_elements.push_back(e);
}

void BezierPath::lineToPoint(Point p)
{
    if (m_elements.empty()) {
        qWarning("Malformed bezier path");
        moveToPoint(p);
        return;
    }
    Element e;
    e.type = LineToElement;
    e.points[0] = p;
    m_elements.push_back(e);
}

void BezierPath::curveToPoint(Point end, Point controlPoint1, Point controlPoint2)
{
    if (m_elements.empty()) {
        qWarning("Malformed bezier path");
        moveToPoint(end);
        return;
    }
    Element e;
    e.type = CurveToElement;
    e.points = {controlPoint1, controlPoint2, end};
    m_elements.push_back(e);
}

void BezierPath::closePath()
{
    if (m_elements.empty())
        return;
    Element e;
    e.type = ClosePathElement;
    m_elements.push_back(e);
}

void BezierPath::appendBezierPath(const BezierPath &other)
{
    for (const Element &e : other.m_elements) {
        if (m_elements.empty() && e.type != MoveToElement && e.type != ClosePathElement)
            moveToPoint(e.type == CurveToElement ? e.points[2] : e.points[0]);
        else if (!(m_elements.empty() && e.type == ClosePathElement))
            m_elements.push_back(e);
    }
}

Point BezierPath::currentPoint() const
{
    Point current;
    Point subpathStart;
    for (const Element &e : m_elements) {
        switch (e.type) {
        case MoveToElement:
            current = subpathStart = e.points[0];
            break;
        case LineToElement:
            current = e.points[0];
            break;
        case CurveToElement:
            current = e.points[2];
            break;
        case ClosePathElement:
            current = subpathStart;
            break;
        }
    }
    return current;
}

Rect BezierPath::bounds() const
{
    BoundsAccumulator acc;
    Point current;
    for (const Element &e : m_elements) {
        switch (e.type) {
        case MoveToElement:
        case LineToElement:
            acc.add(e.points[0]);
            current = e.points[0];
            break;
        case CurveToElement:
            addCurve(acc, current, e.points);
            current = e.points[2];
            break;
        case ClosePathElement:
            break;
        }
    }
    return acc.rect();
}

Rect BezierPath::controlPointBounds() const
{
    BoundsAccumulator acc;
    for (const Element &e : m_elements) {
        if (e.type == CurveToElement)
            for (const Point &p : e.points)
                acc.add(p);
        else if (e.type != ClosePathElement)
            acc.add(e.points[0]);
    }
    return acc.rect();
}

void BezierPath::setLineDash(const QList<float> &pattern, float phase)
{
    m_dashPattern = pattern;
    m_dashPhase = pattern.isEmpty() ? 0.0f : phase;
}

BezierPath BezierPath::bezierPathByFlatteningPath(float flatness) const
{
    BezierPath flat;
    flat.m_lineWidth = m_lineWidth;
    flat.m_lineCapStyle = m_lineCapStyle;
    flat.m_lineJoinStyle = m_lineJoinStyle;
    flat.m_miterLimit = m_miterLimit;
    flat.m_flatness = m_flatness;
    flat.m_windingRule = m_windingRule;
    flat.m_dashPattern = m_dashPattern;
    flat.m_dashPhase = m_dashPhase;
    // Room for a few dozen lines a curve, as fine flattenings of short
    // paths take: fewer reallocations as the lines come.
    const auto curves = std::count_if(m_elements.begin(), m_elements.end(),
                                      [](const Element &e) { return e.type == CurveToElement; });
    flat.m_elements.reserve(m_elements.size() + std::min<size_t>(size_t(curves) * 64, 4096));

    if (!(flatness > 0))
        flatness = defaultFlatness;
    const double limit = 16.0 * double(flatness) * double(flatness);

    Point current;
    Point subpathStart;
    for (const Element &e : m_elements) {
        switch (e.type) {
        case MoveToElement:
            current = subpathStart = e.points[0];
            flat.m_elements.push_back(e);
            break;
        case LineToElement:
            current = e.points[0];
            flat.m_elements.push_back(e);
            break;
        case CurveToElement: {
            const Point &end = e.points[2];
            if (isFinite(current) && isFinite(e.points[0]) && isFinite(e.points[1]) &&
                isFinite(end)) {
                flattenCurve(toD(current), toD(e.points[0]), toD(e.points[1]), toD(end), limit,
                             flat.m_elements);
            } else {
                Element line;
                line.type = LineToElement;
                line.points[0] = end;
                flat.m_elements.push_back(line);
            }
            current = end;
            break;
        }
        case ClosePathElement:
            current = subpathStart;
            flat.m_elements.push_back(e);
            break;
        }
    }
    return flat;
}

QPainterPath BezierPath::toQPainterPath() const
{
    QPainterPath path;
    path.setFillRule(m_windingRule == EvenOddWindingRule ? Qt::OddEvenFill : Qt::WindingFill);
    Point subpathStart;
    bool needsMove = false; // after a close, the next segment starts at the subpath's start
    for (const Element &e : m_elements) {
        switch (e.type) {
        case MoveToElement:
            if (!isFinite(e.points[0]))
                break; // Qt would warn and ignore it anyway
            path.moveTo(e.points[0].toQt());
            subpathStart = e.points[0];
            needsMove = false;
            break;
        case LineToElement:
            if (!isFinite(e.points[0]))
                break;
            if (needsMove)
                path.moveTo(subpathStart.toQt());
            needsMove = false;
            path.lineTo(e.points[0].toQt());
            break;
        case CurveToElement:
            if (!isFinite(e.points[0]) || !isFinite(e.points[1]) || !isFinite(e.points[2]))
                break;
            if (needsMove)
                path.moveTo(subpathStart.toQt());
            needsMove = false;
            path.cubicTo(e.points[0].toQt(), e.points[1].toQt(), e.points[2].toQt());
            break;
        case ClosePathElement:
            path.closeSubpath();
            needsMove = true;
            break;
        }
    }
    return path;
}

QPen BezierPath::pen(const QBrush &brush) const
{
    QPen pen(brush, std::isfinite(m_lineWidth) && m_lineWidth > 0 ? m_lineWidth : 0.0);
    switch (m_lineCapStyle) {
    case RoundLineCap:
        pen.setCapStyle(Qt::RoundCap);
        break;
    case SquareLineCap:
        pen.setCapStyle(Qt::SquareCap);
        break;
    default:
        pen.setCapStyle(Qt::FlatCap);
        break;
    }
    switch (m_lineJoinStyle) {
    case RoundLineJoin:
        pen.setJoinStyle(Qt::RoundJoin);
        break;
    case BevelLineJoin:
        pen.setJoinStyle(Qt::BevelJoin);
        break;
    default:
        // Falls back to a bevel past the limit, as PostScript does; Qt's
        // MiterJoin would cut the miter off instead.
        pen.setJoinStyle(Qt::SvgMiterJoin);
        break;
    }
    if (std::isfinite(m_miterLimit) && m_miterLimit >= 1)
        pen.setMiterLimit(m_miterLimit);

    if (!m_dashPattern.isEmpty()) {
        double total = 0;
        bool valid = true;
        for (float length : m_dashPattern) {
            if (!std::isfinite(length) || length < 0)
                valid = false;
            total += length;
        }
        if (!valid || !(total > 0) || !std::isfinite(total)) {
            qWarning("Dash pattern with negative, infinite or only zero lengths; drawing solid");
        } else {
            // Qt measures dashes in pen widths and wants an even count; an odd
            // pattern repeats with on and off swapped, as PostScript draws it.
            const double unit = pen.widthF() > 0 ? pen.widthF() : 1.0;
            QList<qreal> dashes;
            const int repeats = m_dashPattern.size() % 2 ? 2 : 1;
            for (int r = 0; r < repeats; ++r)
                for (float length : m_dashPattern)
                    dashes.append(length / unit);
            pen.setDashPattern(dashes);
            if (std::isfinite(m_dashPhase))
                pen.setDashOffset(m_dashPhase / unit);
        }
    }
    return pen;
}

void BezierPath::fill(QPainter &painter, const QBrush &brush) const
{
    painter.fillPath(toQPainterPath(), brush);
}

void BezierPath::stroke(QPainter &painter, const QBrush &brush) const
{
    painter.strokePath(toQPainterPath(), pen(brush));
}
