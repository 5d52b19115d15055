#pragma once

#include "platform/Geometry.h"

#include <array>

// Tight bounds of a run of cubic curves from `start`, each given as first
// control point, second control point and end: what BezierPath::bounds()
// answers for a move to `start` followed by those curves, without making one.
Rect curvesBounds(Point start, const std::array<Point, 3> *curves, int count);
