#include "support/GGVecLib.h"
#include "support/NearestPoint.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace GGVecLib;

TEST(VecLib, QuadraticRootsKeepTheirOrderAndCount)
{
    double roots[2] = {7, 7};
    ASSERT_EQ(quadraticRoots(1, -3, 2, roots), 2);
    EXPECT_EQ(roots[0], 2.0);
    EXPECT_EQ(roots[1], 1.0);
    ASSERT_EQ(quadraticRoots(0, 2, -4, roots), 1); // linear
    EXPECT_EQ(roots[0], 2.0);
    EXPECT_EQ(quadraticRoots(1, 0, 1, roots), 0);
    EXPECT_EQ(roots[0], 0.0);                     // cleared
    EXPECT_EQ(quadraticRoots(1, 0, 0, roots), 1); // a double root at 0 counts once
    EXPECT_EQ(quadraticRoots(0, 0, 5, roots), 0);
}

TEST(VecLib, MatricesAndHomogeneousPoints)
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

    // Points: the identity keeps them; w = 0 (third column all zero) skips
    // the division; otherwise x and y are divided by w.
    Mat3x3 m;
    for (int i = 0; i < 3; ++i)
        m.element[i][i] = 1;
    Vec2 p{3, -4};
    V2MulPointByMatrix(p, m);
    EXPECT_EQ(std::pair(p.x, p.y), std::pair(3.0, -4.0));
    m.element[2][0] = 1; // translate x by 1
    m.element[2][2] = 2;
    V2MulPointByMatrix(p, m);
    EXPECT_EQ(std::pair(p.x, p.y), std::pair(2.0, -2.0));
    m.element[2][2] = 0;
    V2MulPointByMatrix(p, m);
    EXPECT_EQ(std::pair(p.x, p.y), std::pair(3.0, -2.0));
    Mat4x4 m4;
    m4.element[0][0] = m4.element[1][1] = m4.element[2][2] = 2;
    Vec3 q{1, 2, 3};
    V3MulPointByMatrix(q, m4); // w = 0: not divided
    EXPECT_EQ(std::tuple(q.x, q.y, q.z), std::tuple(2.0, 4.0, 6.0));
    m4.element[3][3] = 4;
    V3MulPointByMatrix(q, m4);
    EXPECT_EQ(std::tuple(q.x, q.y, q.z), std::tuple(1.0, 2.0, 3.0));
}

TEST(VecLib, ZeroVectorsStayZeroAndGcdEnds)
{
    Vec2 zero;
    V2Normalize(zero);
    EXPECT_EQ(std::pair(zero.x, zero.y), std::pair(0.0, 0.0));
    V2Scale(zero, 5);
    EXPECT_EQ(V2Length(zero), 0);
    Vec3 zero3;
    V3Normalize(zero3);
    EXPECT_EQ(V3Length(zero3), 0);

    const std::tuple<int, int, int> cases[] = {{12, 18, 6}, {64, 48, 16}, {17, 5, 1},
                                               {-4, 6, 1},  {0, 6, 6},    {9, 0, 9}};
    for (const auto &[a, b, d] : cases)
        EXPECT_EQ(gcd(a, b), d) << a << " " << b;
}

TEST(VecLib, RootFindingEndsEvenWithoutARoot)
{
    const Function f = [](double x) { return x * x - 2; };
    const Function df = [](double x) { return 2 * x; };
    EXPECT_NEAR(findroot(0, 2, 1e-12, f, df), std::sqrt(2.0), 1e-9);
    EXPECT_DOUBLE_EQ(NewtonRaphson(f, df, 0), -1.0); // flat slope: one step left
    EXPECT_DOUBLE_EQ(RegulaFalsi(f, 0, 2), 1.0);
    EXPECT_DOUBLE_EQ(RegulaFalsi([](double) { return 3.0; }, 0, 2), 1.0);
    EXPECT_TRUE(std::isfinite(findroot(
        0, 1, 1e-12, [](double x) { return x * x + 1; }, df)));
}

TEST(NearestPoint, FindRootsOfABernsteinPolynomialToTheDepthLimit)
{
    // (t - 0.25)(t - 0.75) in Bernstein form of degree 2.
    const Vec2 w[3] = {{0, 0.1875}, {0.5, -0.3125}, {1, 0.1875}};
    double t[2] = {};
    ASSERT_EQ(NearestPoint::FindRoots(w, 2, t, 0), 2);
    EXPECT_NEAR(t[0], 0.25, 1e-12);
    EXPECT_NEAR(t[1], 0.75, 1e-12);
    const Vec2 positive[3] = {{0, 1}, {0.5, 2}, {1, 1}};
    EXPECT_EQ(NearestPoint::FindRoots(positive, 2, t, 0), 0);

    const int saved = NearestPoint::NPMAXDEPTH;
    NearestPoint::NPMAXDEPTH = 0;
    const Vec2 line[2] = {{0, -1}, {1, 3}};
    ASSERT_EQ(NearestPoint::FindRoots(line, 1, t, 0), 1);
    EXPECT_EQ(t[0], 0.5); // the middle of the interval, not the crossing at 0.25
    NearestPoint::NPMAXDEPTH = saved;
}

TEST(NearestPoint, AgreesWithDenseSamplingOnAndOffTheCurve)
{
    const Vec2 V[4] = {{0, 0}, {10, 30}, {40, -20}, {50, 10}};
    for (double t : {0.1, 0.37, 0.81}) {
        const Vec2 onCurve = NearestPoint::Bezier(V, 3, t);
        const Vec2 q = NearestPoint::NearestPointOnCurve(onCurve, V);
        // The chord test compares squared offsets, which ends the subdivision
        // a little early: about 1e-7 on a curve of this size.
        EXPECT_NEAR(q.x, onCurve.x, 1e-6) << t;
        EXPECT_NEAR(q.y, onCurve.y, 1e-6) << t;
    }
    for (const Vec2 p : {Vec2{25, 5}, Vec2{0, 20}, Vec2{60, -10}, Vec2{12, -3}}) {
        double best = 1e300;
        Vec2 d;
        for (int i = 0; i <= 100000; ++i)
            best =
                std::min(best, V2SquaredLength(V2Sub(NearestPoint::Bezier(V, 3, i / 1e5), p, d)));
        const double found = V2SquaredLength(V2Sub(NearestPoint::NearestPointOnCurve(p, V), p, d));
        EXPECT_LE(found, best + 1e-6);
    }
    // Beyond the ends of a straight cubic: the end points.
    const Vec2 straight[4] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    const Vec2 after = NearestPoint::NearestPointOnCurve({5, 1}, straight);
    const Vec2 before = NearestPoint::NearestPointOnCurve({-2, -1}, straight);
    EXPECT_EQ(std::pair(after.x, after.y), std::pair(3.0, 0.0));
    EXPECT_EQ(std::pair(before.x, before.y), std::pair(0.0, 0.0));
}

TEST(VecLib, AngleFromVerticalRunsClockwiseFromTwelveOClock)
{
    struct Case
    {
        float dx, dy;
        double degrees; // reference, checked to float precision
    };
    const Case cases[] = {
        {0, 1, 0},
        {1, 1, 45},
        {1, 0, 90},
        {1, -1, 135},
        {0, -1, 180},
        {-1, -1, 225},
        {-1, 0, 270},
        {-1, 1, 315},
        {3, 4, 36.86989764584402},
        {-0.001f, 1000, 359.99994270422},
    };
    for (const Case &c : cases) {
        const float a = calculateAngleFromVertical(c.dx, c.dy);
        EXPECT_NEAR(a, c.degrees * M_PI / 180.0, 2e-6) << c.dx << ", " << c.dy;
        EXPECT_GE(a, 0.0f);
        EXPECT_LT(a, 6.2831855f);
    }
    // The axes land on the single-precision constants the geometry compares with.
    EXPECT_EQ(calculateAngleFromVertical(5, 0), 1.5707963f);
    EXPECT_EQ(calculateAngleFromVertical(-5, 0), 4.712389f);
    EXPECT_EQ(calculateAngleFromVertical(0, -2), 3.1415925f);
    EXPECT_EQ(calculateAngleFromVertical(0, 0), 0.0f);
    EXPECT_EQ(calculateAngleFromVertical(NAN, 1), 0.0f);
    EXPECT_EQ(calculateAngleFromVertical(1, NAN), 0.0f);
}
