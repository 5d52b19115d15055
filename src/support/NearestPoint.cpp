#include "support/NearestPoint.h"

#include <algorithm>
#include <cmath>

namespace NearestPoint {

using namespace GGVecLib;

int NPMAXDEPTH = 64;

namespace {

constexpr int MaxDegree = 5;

double flatnessEpsilon()
{
    return std::ldexp(1.0, -NPMAXDEPTH - 1);
}

int crossingCount(const Vec2 *w, int degree)
{
    int count = 0;
    bool wasNegative = w[0].y < 0;
    for (int i = 1; i <= degree; ++i) {
        const bool negative = w[i].y < 0;
        if (negative != wasNegative)
            ++count;
        wasNegative = negative;
    }
    return count;
}

// Whether the control polygon lies close enough to its chord that the chord's
// crossing of y = 0 stands for the root.
bool controlPolygonFlatEnough(const Vec2 *w, int degree)
{
    const double a = w[0].y - w[degree].y;
    const double b = w[degree].x - w[0].x;
    const double c = w[0].x * w[degree].y - w[degree].x * w[0].y;
    const double abSquared = a * a + b * b;

    double distance[MaxDegree + 1] = {};
    for (int i = 1; i < degree; ++i) {
        const double e = a * w[i].x + b * w[i].y + c;
        distance[i] = e * e / abSquared;
        if (e < 0)
            distance[i] = -distance[i];
    }
    double above = 0;
    double below = 0;
    for (int i = 1; i < degree; ++i) {
        above = std::max(above, distance[i]);
        below = std::min(below, distance[i]);
    }

    // Where the two lines parallel to the chord through the extreme points
    // cross y = 0.
    const double det = 0.0 * b - a * 1.0;
    const double dInv = 1.0 / det;
    const double intercept1 = (1.0 * (c + above) - b * 0.0) * dInv;
    const double intercept2 = (1.0 * (c + below) - b * 0.0) * dInv;
    const double error =
        0.5 * (std::max(intercept1, intercept2) - std::min(intercept1, intercept2));
    return error < flatnessEpsilon();
}

// Where the chord from w[0] to w[degree] crosses y = 0.
double computeXIntercept(const Vec2 *w, int degree)
{
    const double XLK = 1.0, YLK = 0.0;
    const double XNM = w[degree].x - w[0].x;
    const double YNM = w[degree].y - w[0].y;
    const double XMK = w[0].x, YMK = w[0].y;
    const double det = XNM * YLK - YNM * XLK;
    const double S = (XNM * YMK - YNM * XMK) * (1.0 / det);
    return XLK * S;
}

// De Casteljau at t, with the halves' control polygons when asked for.
Vec2 subdivide(const Vec2 *V, int degree, double t, Vec2 *left, Vec2 *right)
{
    Vec2 temp[MaxDegree + 1][MaxDegree + 1];
    for (int j = 0; j <= degree; ++j)
        temp[0][j] = V[j];
    for (int i = 1; i <= degree; ++i)
        for (int j = 0; j <= degree - i; ++j) {
            temp[i][j].x = (1.0 - t) * temp[i - 1][j].x + t * temp[i - 1][j + 1].x;
            temp[i][j].y = (1.0 - t) * temp[i - 1][j].y + t * temp[i - 1][j + 1].y;
        }
    if (left)
        for (int j = 0; j <= degree; ++j)
            left[j] = temp[j][0];
    if (right)
        for (int j = 0; j <= degree; ++j)
            right[j] = temp[degree - j][j];
    return temp[degree][0];
}

} // namespace

Vec2 Bezier(const Vec2 *V, int degree, double t)
{
    if (degree < 0 || degree > MaxDegree)
        return {};
    return subdivide(V, degree, t, nullptr, nullptr);
}

int FindRoots(const Vec2 *w, int degree, double *t, int depth)
{
    if (degree < 1 || degree > MaxDegree)
        return 0;
    switch (crossingCount(w, degree)) {
    case 0:
        return 0;
    case 1:
        if (depth >= NPMAXDEPTH) {
            t[0] = (w[0].x + w[degree].x) / 2.0;
            return 1;
        }
        if (controlPolygonFlatEnough(w, degree)) {
            t[0] = computeXIntercept(w, degree);
            return 1;
        }
        break;
    default:
        break;
    }

    Vec2 left[MaxDegree + 1], right[MaxDegree + 1];
    double leftT[MaxDegree + 1], rightT[MaxDegree + 1];
    subdivide(w, degree, 0.5, left, right);
    const int leftCount = FindRoots(left, degree, leftT, depth + 1);
    const int rightCount = FindRoots(right, degree, rightT, depth + 1);
    // The halves cross no more often than the whole in exact arithmetic;
    // rounding near zero must still not write past the caller's `degree` slots.
    int count = 0;
    for (int i = 0; i < leftCount && count < degree; ++i)
        t[count++] = leftT[i];
    for (int i = 0; i < rightCount && count < degree; ++i)
        t[count++] = rightT[i];
    return count;
}

Vec2 NearestPointOnCurve(Vec2 P, const Vec2 V[4])
{
    constexpr int Degree = 3;
    constexpr int WDegree = 5;
    static const double z[3][4] = {
        {1.0, 0.6, 0.3, 0.1},
        {0.4, 0.6, 0.6, 0.4},
        {0.1, 0.3, 0.6, 1.0},
    };

    // Bezier form of (Q(t) - P) . Q'(t), whose roots are the candidates.
    Vec2 c[Degree + 1], d[Degree];
    for (int i = 0; i <= Degree; ++i)
        V2Sub(V[i], P, c[i]);
    for (int i = 0; i < Degree; ++i) {
        V2Sub(V[i + 1], V[i], d[i]);
        d[i].x *= 3.0;
        d[i].y *= 3.0;
    }
    double cd[Degree][Degree + 1];
    for (int row = 0; row < Degree; ++row)
        for (int col = 0; col <= Degree; ++col)
            cd[row][col] = V2Dot(d[row], c[col]);
    Vec2 w[WDegree + 1];
    for (int i = 0; i <= WDegree; ++i)
        w[i] = {double(i) / WDegree, 0.0};
    for (int k = 0; k <= WDegree; ++k) {
        const int lb = std::max(0, k - Degree + 1);
        const int ub = std::min(k, Degree);
        for (int i = lb; i <= ub; ++i) {
            const int j = k - i;
            w[k].y += cd[j][i] * z[j][i];
        }
    }

    double candidates[WDegree];
    const int n = FindRoots(w, WDegree, candidates, 0);

    Vec2 v;
    double best = V2SquaredLength(V2Sub(P, V[0], v));
    double t = 0.0;
    for (int i = 0; i < n; ++i) {
        const Vec2 p = Bezier(V, Degree, candidates[i]);
        const double dist = V2SquaredLength(V2Sub(P, p, v));
        if (dist < best) {
            best = dist;
            t = candidates[i];
        }
    }
    if (V2SquaredLength(V2Sub(P, V[3], v)) < best)
        t = 1.0;
    return Bezier(V, Degree, t);
}

} // namespace NearestPoint
