#include "support/GGVecLib.h"
#include "support/NearestPoint.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace GGVecLib;

TEST(VecLib, QuadraticRootsKeepTheirOrderAndCount)
{
    double roots[2] = {-1, -1};
    ASSERT_EQ(quadraticRoots(1, -3, 2, roots), 2);
    EXPECT_DOUBLE_EQ(roots[0], 2.0);
    EXPECT_DOUBLE_EQ(roots[1], 1.0);

    ASSERT_EQ(quadraticRoots(0, 2, -4, roots), 1);
    EXPECT_DOUBLE_EQ(roots[0], 2.0);

    roots[0] = roots[1] = 7;
    EXPECT_EQ(quadraticRoots(1, 0, 1, roots), 0);
    EXPECT_EQ(roots[0], 0.0);
    EXPECT_EQ(roots[1], 0.0);

    // A double root at 0: q is 0, so only one root is reported.
    EXPECT_EQ(quadraticRoots(1, 0, 0, roots), 1);
    EXPECT_EQ(roots[0], 0.0);
    EXPECT_EQ(quadraticRoots(0, 0, 5, roots), 0);
}

TEST(VecLib, MatrixTransformsAreHomogeneous)
{
    Mat3x3 identity;
    for (int i = 0; i < 3; ++i)
        identity.element[i][i] = 1;
    Vec2 p{3.5, -2.25};
    V2MulPointByMatrix(p, identity);
    EXPECT_EQ(p.x, 3.5);
    EXPECT_EQ(p.y, -2.25);

    // w = 2: the point is divided.
    Mat3x3 halving = identity;
    halving.element[2][2] = 2;
    Vec2 q{4, 6};
    V2MulPointByMatrix(q, halving);
    EXPECT_EQ(q.x, 2);
    EXPECT_EQ(q.y, 3);

    // Third column all zero: w is 0 and the point is not divided.
    Mat3x3 flat;
    flat.element[0][0] = 2;
    flat.element[1][1] = 3;
    flat.element[2][0] = 1;
    Vec2 r{1, 1};
    V2MulPointByMatrix(r, flat);
    EXPECT_EQ(r.x, 3);
    EXPECT_EQ(r.y, 3);

    Mat4x4 translate;
    for (int i = 0; i < 4; ++i)
        translate.element[i][i] = 1;
    translate.element[3][0] = 10;
    translate.element[3][2] = -1;
    Vec3 v{1, 2, 3};
    V3MulPointByMatrix(v, translate);
    EXPECT_EQ(v.x, 11);
    EXPECT_EQ(v.y, 2);
    EXPECT_EQ(v.z, 2);
}

TEST(VecLib, MatrixProductMayOverwriteAnOperand)
{
    Mat3x3 a;
    double n = 1;
    for (auto &row : a.element)
        for (double &e : row)
            e = n++;
    Mat3x3 expected;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                expected.element[i][j] += a.element[i][k] * a.element[k][j];
    V2MatMul(a, a, a);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(a.element[i][j], expected.element[i][j]);
}

TEST(VecLib, ZeroVectorsStayZero)
{
    Vec2 zero;
    V2Normalize(zero);
    EXPECT_EQ(zero.x, 0);
    EXPECT_EQ(zero.y, 0);
    V2Scale(zero, 5);
    EXPECT_EQ(V2Length(zero), 0);

    Vec3 zero3;
    V3Normalize(zero3);
    EXPECT_EQ(V3Length(zero3), 0);

    Vec2 v{3, 4};
    V2Scale(v, 10);
    EXPECT_DOUBLE_EQ(v.x, 6);
    EXPECT_DOUBLE_EQ(v.y, 8);
    V2Normalize(v);
    EXPECT_DOUBLE_EQ(V2Length(v), 1);
}

TEST(VecLib, VectorOperations)
{
    Vec2 result;
    V2Combine({1, 2}, {3, 5}, result, 2, -1);
    EXPECT_EQ(result.x, -1);
    EXPECT_EQ(result.y, -1);
    V2Lerp({0, 10}, {10, 20}, 0.25, result);
    EXPECT_EQ(result.x, 2.5);
    EXPECT_EQ(result.y, 12.5);
    V2MakePerpendicular({2, 3}, result);
    EXPECT_EQ(result.x, -3);
    EXPECT_EQ(result.y, 2);
    EXPECT_EQ(V2DistanceBetween2Points({1, 1}, {4, 5}), 5);

    Vec3 cross;
    V3Cross({1, 0, 0}, {0, 1, 0}, cross);
    EXPECT_EQ(cross.z, 1);
    V3Cross({0, 1, 0}, {1, 0, 0}, cross);
    EXPECT_EQ(cross.z, -1);
    EXPECT_EQ(V3Dot({1, 2, 3}, {4, -5, 6}), 12);

    auto copy = V2Duplicate({7, 8});
    EXPECT_EQ(copy->x, 7);
    EXPECT_EQ(copy->y, 8);
    auto fresh = V3New(1, 2, 3);
    EXPECT_EQ(fresh->z, 3);
}

TEST(VecLib, GcdOfPositiveNegativeAndZeroArguments)
{
    EXPECT_EQ(gcd(12, 18), 6);
    EXPECT_EQ(gcd(18, 12), 6);
    EXPECT_EQ(gcd(17, 5), 1);
    EXPECT_EQ(gcd(64, 48), 16);
    EXPECT_EQ(gcd(-4, 6), 1);
    EXPECT_EQ(gcd(4, -6), 1);
    // Terminates: the other argument is the divisor.
    EXPECT_EQ(gcd(0, 6), 6);
    EXPECT_EQ(gcd(9, 0), 9);
}

TEST(VecLib, RootFindingSteps)
{
    const Function f = [](double x) { return x * x - 2; };
    const Function df = [](double x) { return 2 * x; };
    EXPECT_NEAR(findroot(0, 2, 1e-12, f, df), std::sqrt(2.0), 1e-9);
    EXPECT_DOUBLE_EQ(NewtonRaphson(f, df, 0), -1.0); // flat slope: one step left
    EXPECT_DOUBLE_EQ(RegulaFalsi(f, 0, 2), 1.0);
    const Function constant = [](double) { return 3.0; };
    EXPECT_DOUBLE_EQ(RegulaFalsi(constant, 0, 2), 1.0);

    // No root in the interval: the search still ends.
    const Function positive = [](double x) { return x * x + 1; };
    const double x = findroot(0, 1, 1e-12, positive, df);
    EXPECT_TRUE(std::isfinite(x));
}

TEST(NearestPoint, FindRootsOfABernsteinPolynomial)
{
    // (t - 0.25)(t - 0.75) in Bernstein form of degree 2.
    const Vec2 w[3] = {{0, 0.1875}, {0.5, -0.3125}, {1, 0.1875}};
    double t[2] = {};
    ASSERT_EQ(NearestPoint::FindRoots(w, 2, t, 0), 2);
    EXPECT_NEAR(t[0], 0.25, 1e-12);
    EXPECT_NEAR(t[1], 0.75, 1e-12);

    const Vec2 positive[3] = {{0, 1}, {0.5, 2}, {1, 1}};
    EXPECT_EQ(NearestPoint::FindRoots(positive, 2, t, 0), 0);
}

TEST(NearestPoint, FindRootsStopsAtTheDepthLimit)
{
    const int saved = NearestPoint::NPMAXDEPTH;
    NearestPoint::NPMAXDEPTH = 0;
    const Vec2 w[2] = {{0, -1}, {1, 3}};
    double t[1] = {};
    ASSERT_EQ(NearestPoint::FindRoots(w, 1, t, 0), 1);
    EXPECT_EQ(t[0], 0.5); // the middle of the interval, not the crossing at 0.25
    NearestPoint::NPMAXDEPTH = saved;
    ASSERT_EQ(NearestPoint::FindRoots(w, 1, t, 0), 1);
    EXPECT_NEAR(t[0], 0.25, 1e-12);
}

TEST(NearestPoint, PointBeyondTheEndOfAStraightCubic)
{
    const Vec2 V[4] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    const Vec2 q = NearestPoint::NearestPointOnCurve({5, 1}, V);
    EXPECT_EQ(q.x, 3);
    EXPECT_EQ(q.y, 0);
    const Vec2 before = NearestPoint::NearestPointOnCurve({-2, -1}, V);
    EXPECT_EQ(before.x, 0);
    EXPECT_EQ(before.y, 0);
}

TEST(NearestPoint, PointOnTheCurveIsItsOwnNearestPoint)
{
    const Vec2 V[4] = {{0, 0}, {10, 30}, {40, -20}, {50, 10}};
    for (double t : {0.1, 0.37, 0.5, 0.81}) {
        const Vec2 onCurve = NearestPoint::Bezier(V, 3, t);
        const Vec2 q = NearestPoint::NearestPointOnCurve(onCurve, V);
        // The chord test compares squared offsets, which ends the subdivision
        // a little early: about 1e-7 on a curve of this size.
        EXPECT_NEAR(q.x, onCurve.x, 1e-6) << t;
        EXPECT_NEAR(q.y, onCurve.y, 1e-6) << t;
    }
}

TEST(NearestPoint, AgreesWithDenseSampling)
{
    const Vec2 V[4] = {{0, 0}, {10, 30}, {40, -20}, {50, 10}};
    for (const Vec2 p : {Vec2{25, 5}, Vec2{0, 20}, Vec2{60, -10}, Vec2{12, -3}}) {
        double best = 1e300;
        for (int i = 0; i <= 100000; ++i) {
            Vec2 d;
            best =
                std::min(best, V2SquaredLength(V2Sub(NearestPoint::Bezier(V, 3, i / 1e5), p, d)));
        }
        Vec2 d;
        const double found = V2SquaredLength(V2Sub(NearestPoint::NearestPointOnCurve(p, V), p, d));
        EXPECT_LE(found, best + 1e-6);
        EXPECT_NEAR(std::sqrt(found), std::sqrt(best), 1e-3);
    }
}
