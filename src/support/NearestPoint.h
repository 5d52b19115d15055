#pragma once

#include "support/GGVecLib.h"

// Nearest point on a cubic Bezier curve: the squared distance to the curve is
// a degree-5 polynomial in Bernstein form whose roots in [0, 1] are found by
// recursive subdivision.
namespace NearestPoint {

using GGVecLib::Vec2;

// Maximum recursion depth of FindRoots; the flatness tolerance is
// 2^-(NPMAXDEPTH + 1).
extern int NPMAXDEPTH;

// The point of the cubic with control polygon V[0..3] nearest to P.
Vec2 NearestPointOnCurve(Vec2 P, const Vec2 V[4]);

// Roots in [0, 1] of the Bernstein polynomial with control points
// w[0..degree] (x = parameter, y = value) into t, which holds at least
// `degree` entries. Returns their count. Degrees above 5 give no roots.
int FindRoots(const Vec2 *w, int degree, double *t, int depth);

// The curve of `degree` with control points V evaluated at t by de Casteljau.
Vec2 Bezier(const Vec2 *V, int degree, double t);

} // namespace NearestPoint
