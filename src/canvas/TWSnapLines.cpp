// Snap lines: a dashed blue line when an edge of the dragged branch comes
// within a few points of another branch's, and a red dimension figure when
// it sits (nearly) as far from one neighbour as two neighbours are apart.

#include "canvas/TWSnapLines.h"

#include "graphics/TWSnapLine.h"
#include "support/BezierPath.h"
#include "support/Color.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace TWSnapLines {

namespace {

float half(float v)
{
    return std::floor(v) + 0.5f;
}

std::shared_ptr<TWSnapLine> makeLine(const BezierPath &path, const Color &color)
{
    auto line = std::make_shared<TWSnapLine>();
    line->setColor(color);
    line->setBezierPath(path);
    return line;
}

struct Nearest
{
    float distance = 100.0f;
    std::optional<Rect> rect;
};

template <class Edge> Nearest nearestEdge(float edge, const QList<Rect> &others, Edge of)
{
    Nearest best;
    for (const Rect &c : others) {
        const float d = std::fabs(edge - of(c));
        if (d < best.distance) {
            best.distance = d;
            best.rect = c;
        }
    }
    return best;
}

void align(Rect sb, bool leftSide, const QList<Rect> &others, Result &result)
{
    auto left = [](const Rect &r) { return r.minX(); };
    auto right = [](const Rect &r) { return r.maxX(); };
    result.targetX = sb.x();
    // The inner edges (those facing the centre) first.
    const Nearest inner =
        leftSide ? nearestEdge(sb.maxX(), others, right) : nearestEdge(sb.minX(), others, left);
    const Nearest outer =
        leftSide ? nearestEdge(sb.minX(), others, left) : nearestEdge(sb.maxX(), others, right);
    std::optional<Rect> winner;
    float edge = 0;
    if (inner.distance <= SnapDistance) {
        winner = inner.rect;
        edge = leftSide ? inner.rect->maxX() : inner.rect->minX();
        result.targetX = leftSide ? edge - sb.width() : edge;
    }
    if (outer.distance <= SnapDistance && outer.distance < inner.distance) {
        winner = outer.rect;
        edge = leftSide ? outer.rect->minX() : outer.rect->maxX();
        result.targetX = leftSide ? edge : edge - sb.width();
    }
    if (!winner)
        return;
    const Rect &c = *winner;
    const float top = c.midY() > sb.midY() ? sb.minY() - 10 : c.minY() - 10;
    const float bottom = c.midY() > sb.midY() ? c.maxY() + 10 : sb.maxY() + 10;
    BezierPath path;
    path.moveToPoint(Point(half(edge), top));
    path.lineToPoint(Point(half(edge), bottom));
    path.setLineDash({5, 3}, 0);
    path.setLineWidth(0);
    result.lines.append(makeLine(path, Color::colorWithCalibratedRed(0, 0, 1)));
}

// One gap of the figure: its upper edge (on `upper`) and its lower edge.
struct Gap
{
    Rect upper;
    float upperEdge;
    Rect lower;
    float lowerEdge;
};

BezierPath spacingFigure(const QList<Gap> &gaps, float X)
{
    BezierPath path;
    path.setLineWidth(0);
    const float dim = std::floor(X) + 15.5f;
    auto extension = [&](const Rect &r, float y) {
        path.moveToPoint(Point(r.maxX() + 5, half(y)));
        path.lineToPoint(Point(X + 25, half(y)));
    };
    for (const Gap &g : gaps) {
        extension(g.upper, g.upperEdge);
        extension(g.lower, g.lowerEdge);
        const float top = half(g.upperEdge);
        const float bottom = half(g.lowerEdge);
        path.moveToPoint(Point(dim, top));
        path.lineToPoint(Point(dim, bottom));
        // Arrowheads pointing at each edge.
        path.moveToPoint(Point(dim - 2, bottom - 8));
        path.lineToPoint(Point(dim, bottom));
        path.moveToPoint(Point(dim + 2, bottom - 8));
        path.lineToPoint(Point(dim, bottom));
        path.moveToPoint(Point(dim - 2, top + 8));
        path.lineToPoint(Point(dim, top));
        path.moveToPoint(Point(dim + 2, top + 8));
        path.lineToPoint(Point(dim, top));
    }
    return path;
}

void space(Rect sb, const QList<Rect> &others, Result &result)
{
    result.targetY = sb.y();
    QList<Rect> above, below;
    for (const Rect &c : others) {
        if (c.minX() > sb.maxX() || c.maxX() < sb.minX())
            continue;
        if (c.midY() < sb.midY())
            above.append(c);
        else if (c.midY() > sb.midY())
            below.append(c);
    }
    if (above.size() + below.size() < 2)
        return;
    below.removeIf([&](const Rect &c) { return c.minY() < sb.maxY(); });
    above.removeIf([&](const Rect &c) { return c.maxY() > sb.minY(); });
    std::stable_sort(below.begin(), below.end(),
                     [](const Rect &a, const Rect &b) { return a.minY() < b.minY(); });
    std::stable_sort(above.begin(), above.end(),
                     [](const Rect &a, const Rect &b) { return a.maxY() > b.maxY(); });

    constexpr float Missing = 1000.0f;
    float errors[3] = {Missing, Missing, Missing};
    float targets[3] = {sb.y(), sb.y(), sb.y()};
    if (below.size() >= 2) {
        const Rect &b1 = below[0], &b2 = below[1];
        const float g = b2.minY() - b1.maxY();
        errors[0] = std::fabs(sb.maxY() - (b1.minY() - g));
        targets[0] = b1.minY() - g - sb.height();
    }
    if (above.size() >= 2) {
        const Rect &a1 = above[0], &a2 = above[1];
        const float g = a1.minY() - a2.maxY();
        targets[1] = a1.maxY() + g;
        errors[1] = std::fabs(sb.minY() - targets[1]);
    }
    if (!above.isEmpty() && !below.isEmpty()) {
        const Rect &a1 = above[0], &b1 = below[0];
        targets[2] = a1.maxY() + ((sb.minY() - a1.maxY()) + (b1.minY() - sb.maxY())) / 2;
        errors[2] = std::fabs(sb.minY() - targets[2]);
    }
    int best = -1;
    for (int i = 0; i < 3; ++i) {
        if (errors[i] < SnapDistance && (best < 0 || errors[i] < errors[best]))
            best = i;
    }
    if (best < 0)
        return;
    result.targetY = targets[best];
    const Rect placed(sb.x(), targets[best], sb.width(), sb.height());
    QList<Gap> gaps;
    Rect r1, r2;
    if (best == 0) {
        r1 = below[0];
        r2 = below[1];
        gaps = {{placed, placed.maxY(), r1, r1.minY()}, {r1, r1.maxY(), r2, r2.minY()}};
    } else if (best == 1) {
        r1 = above[0];
        r2 = above[1];
        gaps = {{r2, r2.maxY(), r1, r1.minY()}, {r1, r1.maxY(), placed, placed.minY()}};
    } else {
        r1 = above[0];
        r2 = below[0];
        gaps = {{r1, r1.maxY(), placed, placed.minY()}, {placed, placed.maxY(), r2, r2.minY()}};
    }
    const float X = std::max({sb.maxX(), r1.maxX(), r2.maxX()});
    result.lines.append(makeLine(spacingFigure(gaps, X), Color::colorWithCalibratedRed(1, 0, 0)));
}

} // namespace

Result compute(Rect dragged, Rect rootShape, const QList<Rect> &others)
{
    Result result;
    align(dragged, dragged.midX() < rootShape.midX(), others, result);
    space(dragged, others, result);
    return result;
}

} // namespace TWSnapLines
