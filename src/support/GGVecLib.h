#pragma once

#include <functional>
#include <memory>

// Small double-precision vector library: 2-D and 3-D vectors, 3 x 3 and 4 x 4
// row-major matrices and one-dimensional root finding. Functions that produce a
// vector write it into the caller's result argument and return that argument.
namespace GGVecLib {

struct Vec2
{
    double x = 0;
    double y = 0;
};

struct Vec3
{
    double x = 0;
    double y = 0;
    double z = 0;
};

struct Mat3x3
{
    double element[3][3] = {};
};

struct Mat4x4
{
    double element[4][4] = {};
};

// 2-D
double V2SquaredLength(const Vec2 &a);
double V2Length(const Vec2 &a);
Vec2 &V2Negate(Vec2 &v);
Vec2 &V2Normalize(Vec2 &v); // a zero vector stays as it is
Vec2 &V2Scale(Vec2 &v, double newlen);
Vec2 &V2Add(const Vec2 &a, const Vec2 &b, Vec2 &result);
Vec2 &V2Sub(const Vec2 &a, const Vec2 &b, Vec2 &result);
double V2Dot(const Vec2 &a, const Vec2 &b);
Vec2 &V2Lerp(const Vec2 &lo, const Vec2 &hi, double alpha, Vec2 &result);
Vec2 &V2Combine(const Vec2 &a, const Vec2 &b, Vec2 &result, double ascl, double bscl);
Vec2 &V2Mul(const Vec2 &a, const Vec2 &b, Vec2 &result);
double V2DistanceBetween2Points(const Vec2 &a, const Vec2 &b);
Vec2 &V2MakePerpendicular(const Vec2 &a, Vec2 &result);
std::unique_ptr<Vec2> V2New(double x, double y);
std::unique_ptr<Vec2> V2Duplicate(const Vec2 &a);
// Homogeneous transform; the division is skipped when w is 0.
Vec2 &V2MulPointByMatrix(Vec2 &p, const Mat3x3 &m);
Mat3x3 &V2MatMul(const Mat3x3 &a, const Mat3x3 &b, Mat3x3 &c);

// 3-D
double V3SquaredLength(const Vec3 &a);
double V3Length(const Vec3 &a);
Vec3 &V3Negate(Vec3 &v);
Vec3 &V3Normalize(Vec3 &v);
Vec3 &V3Scale(Vec3 &v, double newlen);
Vec3 &V3Add(const Vec3 &a, const Vec3 &b, Vec3 &result);
Vec3 &V3Sub(const Vec3 &a, const Vec3 &b, Vec3 &result);
double V3Dot(const Vec3 &a, const Vec3 &b);
Vec3 &V3Lerp(const Vec3 &lo, const Vec3 &hi, double alpha, Vec3 &result);
Vec3 &V3Combine(const Vec3 &a, const Vec3 &b, Vec3 &result, double ascl, double bscl);
Vec3 &V3Mul(const Vec3 &a, const Vec3 &b, Vec3 &result);
double V3DistanceBetween2Points(const Vec3 &a, const Vec3 &b);
Vec3 &V3Cross(const Vec3 &a, const Vec3 &b, Vec3 &result);
std::unique_ptr<Vec3> V3New(double x, double y, double z);
std::unique_ptr<Vec3> V3Duplicate(const Vec3 &a);
Vec3 &V3MulPointByMatrix(Vec3 &p, const Mat4x4 &m);
Mat4x4 &V3MatMul(const Mat4x4 &a, const Mat4x4 &b, Mat4x4 &c);

// Scalars
// Binary gcd of two positive integers; 1 when either is negative. A zero
// argument gives the other one (the textbook loop would never end).
int gcd(int u, int v);
// Real roots of a*x^2 + b*x + c into roots[0..1]; returns their count.
int quadraticRoots(double a, double b, double c, double roots[2]);

using Function = std::function<double(double)>;
double RegulaFalsi(const Function &f, double s, double t);
double NewtonRaphson(const Function &f, const Function &df, double x);
// Root of f in [left, right] by Newton steps that fall back to false
// position. Gives up after a bounded number of steps when f has no root there.
double findroot(double left, double right, double tolerance, const Function &f, const Function &df);

} // namespace GGVecLib

// The clockwise angle of the direction (dx, dy) from straight up (positive
// dy towards positive dx), in [0, 2pi), with the single-precision constants
// the branch ordering, link lines and offset curves rely on. The zero vector
// gives 0.
float calculateAngleFromVertical(float dx, float dy);
