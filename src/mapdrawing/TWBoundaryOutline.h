#pragma once

#include "platform/Geometry.h"
#include "support/BezierPath.h"

#include <QList>
#include <memory>
#include <vector>

class TWPointHolder;

// Geometry of boundary outlines: the convex hull of a branch's corner
// points, the vertical clearance between two outlines, and the drawn shape
// with plain, rounded or bevelled corners.
namespace TWBoundaryOutline {

using PointList = QList<std::shared_ptr<TWPointHolder>>;

// The cross product of the three points, truncated toward zero. Products
// beyond the int range are clamped to it.
int vecProduct(Point p0, Point p1, Point p2);
int vecProductFromArray(const PointList &points, int first, int second, int third);

// Incremental convex hull of `points` into `outline` (the same holder
// objects, in hull order). Fewer than three points leave it empty. A point
// within less than one unit of the hull's line counts as on it.
void recalculateBoundaryFromAllPoints(const PointList &points, PointList &outline);
// The same on plain points: the indices of the outline's points.
std::vector<int> hullOfPoints(const std::vector<Point> &points);

// The smallest vertical gap between the lower side of `above` and the upper
// side of `below` over the x-range where they overlap: negative when they
// interpenetrate, 1e9 when they do not overlap horizontally, 0 when either
// is empty.
float calcDistanceBetweenAboveBoundary(const PointList &above, const PointList &below);

inline constexpr float NoOverlapDistance = 1e9f;

// The two points where a bevel of `radius` cuts the corner at p1 (shortened
// to half of each adjacent edge).
void findCutPoints(Point p0, Point p1, Point p2, float radius, Point *cut1, Point *cut2);
// The tangent points, centre and angles of a rounding of `radius` at p1;
// returns the radius used.
float findCutPointsWithArc(Point p0, Point p1, Point p2, float radius, Point *cut1, Point *cut2,
                           Point *center, float *angle1, float *angle2);

// The drawn outline through `points`: style 0 plain, 1 rounded, any other
// bevelled, closed. Empty for fewer than three points.
BezierPath pathFromOutline(const QList<Point> &points, int cornerStyle, float radius);

// An arc as the platform appended it: a line (or, on an empty path, a move)
// to its start, then cubic pieces of at most a quarter turn. Angles in
// degrees from +x toward +y; `clockwise` runs toward smaller angles.
void appendArc(BezierPath &path, Point center, float radius, float startAngle, float endAngle,
               bool clockwise);

} // namespace TWBoundaryOutline
