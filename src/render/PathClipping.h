#pragma once

#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QVector>

// The part of a path that can show within a rectangle. The raster engine
// flattens and strokes every segment it is handed, seen or not, so a curve
// running the length of a big map costs by its whole length; cut to the
// view first, it costs what shows. Curves are flattened to within
// `tolerance` (in the path's units) where they meet the rectangle; parts
// wholly outside become chords that stay outside.
namespace PathClipping {

struct Clipped
{
    // The area the path fills within the rectangle, under the path's fill rule.
    QPainterPath fill;
    // The path's lines that meet the rectangle, ends cut at its edges: open
    // runs, or a closed figure kept whole when none of it was cut.
    QVector<QPolygonF> runs;
    QRectF runBounds;

    bool isEmpty() const { return fill.isEmpty() && runs.isEmpty(); }
    // The runs as a path to stroke.
    QPainterPath outline() const;
};

// Cuts `path` to `rect`. Callers widen the rectangle by what a stroke
// reaches past the line, so that the cut ends lie out of sight.
Clipped clip(const QPainterPath &path, const QRectF &rect, qreal tolerance);

// The greatest distance from a point of either set of runs to the other,
// measured at their vertices; infinite when one is empty and the other not.
qreal runsDistance(const QVector<QPolygonF> &a, const QVector<QPolygonF> &b);

} // namespace PathClipping
