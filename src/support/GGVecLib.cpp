#include "support/GGVecLib.h"

#include <cmath>

namespace GGVecLib {

double V2SquaredLength(const Vec2 &a)
{
    return a.x * a.x + a.y * a.y;
}

double V2Length(const Vec2 &a)
{
    return std::sqrt(V2SquaredLength(a));
}

Vec2 &V2Negate(Vec2 &v)
{
    v.x = -v.x;
    v.y = -v.y;
    return v;
}

Vec2 &V2Normalize(Vec2 &v)
{
    return V2Scale(v, 1.0);
}

Vec2 &V2Scale(Vec2 &v, double newlen)
{
    const double len = V2Length(v);
    if (len != 0.0) {
        v.x *= newlen / len;
        v.y *= newlen / len;
    }
    return v;
}

Vec2 &V2Add(const Vec2 &a, const Vec2 &b, Vec2 &result)
{
    result = {a.x + b.x, a.y + b.y};
    return result;
}

Vec2 &V2Sub(const Vec2 &a, const Vec2 &b, Vec2 &result)
{
    result = {a.x - b.x, a.y - b.y};
    return result;
}

double V2Dot(const Vec2 &a, const Vec2 &b)
{
    return a.x * b.x + a.y * b.y;
}

Vec2 &V2Lerp(const Vec2 &lo, const Vec2 &hi, double alpha, Vec2 &result)
{
    result = {lo.x + alpha * (hi.x - lo.x), lo.y + alpha * (hi.y - lo.y)};
    return result;
}

Vec2 &V2Combine(const Vec2 &a, const Vec2 &b, Vec2 &result, double ascl, double bscl)
{
    result = {ascl * a.x + bscl * b.x, ascl * a.y + bscl * b.y};
    return result;
}

Vec2 &V2Mul(const Vec2 &a, const Vec2 &b, Vec2 &result)
{
    result = {a.x * b.x, a.y * b.y};
    return result;
}

double V2DistanceBetween2Points(const Vec2 &a, const Vec2 &b)
{
    const double dx = a.x - b.x;
    const double dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

Vec2 &V2MakePerpendicular(const Vec2 &a, Vec2 &result)
{
    result = {-a.y, a.x};
    return result;
}

std::unique_ptr<Vec2> V2New(double x, double y)
{
    return std::make_unique<Vec2>(Vec2{x, y});
}

std::unique_ptr<Vec2> V2Duplicate(const Vec2 &a)
{
    return std::make_unique<Vec2>(a);
}

Vec2 &V2MulPointByMatrix(Vec2 &p, const Mat3x3 &m)
{
    const auto &e = m.element;
    const double x = p.x * e[0][0] + p.y * e[1][0] + e[2][0];
    const double y = p.x * e[0][1] + p.y * e[1][1] + e[2][1];
    const double w = p.x * e[0][2] + p.y * e[1][2] + e[2][2];
    if (w != 0.0)
        p = {x / w, y / w};
    else
        p = {x, y};
    return p;
}

Mat3x3 &V2MatMul(const Mat3x3 &a, const Mat3x3 &b, Mat3x3 &c)
{
    Mat3x3 product; // c may be a or b
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            double sum = 0;
            for (int k = 0; k < 3; ++k)
                sum += a.element[row][k] * b.element[k][col];
            product.element[row][col] = sum;
        }
    c = product;
    return c;
}

double V3SquaredLength(const Vec3 &a)
{
    return a.x * a.x + a.y * a.y + a.z * a.z;
}

double V3Length(const Vec3 &a)
{
    return std::sqrt(V3SquaredLength(a));
}

Vec3 &V3Negate(Vec3 &v)
{
    v = {-v.x, -v.y, -v.z};
    return v;
}

Vec3 &V3Normalize(Vec3 &v)
{
    return V3Scale(v, 1.0);
}

Vec3 &V3Scale(Vec3 &v, double newlen)
{
    const double len = V3Length(v);
    if (len != 0.0) {
        const double f = newlen / len;
        v = {v.x * f, v.y * f, v.z * f};
    }
    return v;
}

Vec3 &V3Add(const Vec3 &a, const Vec3 &b, Vec3 &result)
{
    result = {a.x + b.x, a.y + b.y, a.z + b.z};
    return result;
}

Vec3 &V3Sub(const Vec3 &a, const Vec3 &b, Vec3 &result)
{
    result = {a.x - b.x, a.y - b.y, a.z - b.z};
    return result;
}

double V3Dot(const Vec3 &a, const Vec3 &b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 &V3Lerp(const Vec3 &lo, const Vec3 &hi, double alpha, Vec3 &result)
{
    result = {lo.x + alpha * (hi.x - lo.x), lo.y + alpha * (hi.y - lo.y),
              lo.z + alpha * (hi.z - lo.z)};
    return result;
}

Vec3 &V3Combine(const Vec3 &a, const Vec3 &b, Vec3 &result, double ascl, double bscl)
{
    result = {ascl * a.x + bscl * b.x, ascl * a.y + bscl * b.y, ascl * a.z + bscl * b.z};
    return result;
}

Vec3 &V3Mul(const Vec3 &a, const Vec3 &b, Vec3 &result)
{
    result = {a.x * b.x, a.y * b.y, a.z * b.z};
    return result;
}

double V3DistanceBetween2Points(const Vec3 &a, const Vec3 &b)
{
    Vec3 d;
    return V3Length(V3Sub(a, b, d));
}

Vec3 &V3Cross(const Vec3 &a, const Vec3 &b, Vec3 &result)
{
    result = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    return result;
}

std::unique_ptr<Vec3> V3New(double x, double y, double z)
{
    return std::make_unique<Vec3>(Vec3{x, y, z});
}

std::unique_ptr<Vec3> V3Duplicate(const Vec3 &a)
{
    return std::make_unique<Vec3>(a);
}

Vec3 &V3MulPointByMatrix(Vec3 &p, const Mat4x4 &m)
{
    const auto &e = m.element;
    const double x = p.x * e[0][0] + p.y * e[1][0] + p.z * e[2][0] + e[3][0];
    const double y = p.x * e[0][1] + p.y * e[1][1] + p.z * e[2][1] + e[3][1];
    const double z = p.x * e[0][2] + p.y * e[1][2] + p.z * e[2][2] + e[3][2];
    const double w = p.x * e[0][3] + p.y * e[1][3] + p.z * e[2][3] + e[3][3];
    if (w != 0.0)
        p = {x / w, y / w, z / w};
    else
        p = {x, y, z};
    return p;
}

Mat4x4 &V3MatMul(const Mat4x4 &a, const Mat4x4 &b, Mat4x4 &c)
{
    Mat4x4 product;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a.element[row][k] * b.element[k][col];
            product.element[row][col] = sum;
        }
    c = product;
    return c;
}

int gcd(int u, int v)
{
    if (u < 0 || v < 0)
        return 1;
    if (u == 0 || v == 0)
        return u | v;
    int k = 0;
    while (!(u & 1) && !(v & 1)) {
        ++k;
        u >>= 1;
        v >>= 1;
    }
    int t = (u & 1) ? u : -v;
    do {
        while (!(t & 1))
            t >>= 1;
        if (t > 0)
            u = t;
        else
            v = -t;
        t = u - v;
    } while (t != 0);
    return u << k;
}

int quadraticRoots(double a, double b, double c, double roots[2])
{
    const double d = b * b - 4.0 * a * c;
    if (d < 0) {
        roots[0] = roots[1] = 0;
        return 0;
    }
    const double q = -0.5 * (b + (b < 0 ? -1.0 : 1.0) * std::sqrt(d));
    if (a == 0) {
        if (q == 0)
            return 0;
        roots[0] = c / q;
        return 1;
    }
    roots[0] = q / a;
    if (q == 0)
        return 1;
    roots[1] = c / q;
    return 2;
}

double RegulaFalsi(const Function &f, double s, double t)
{
    const double ft = f(t);
    const double fs = f(s);
    if (ft == fs)
        return (s + t) / 2;
    return t - ft * (t - s) / (ft - fs);
}

double NewtonRaphson(const Function &f, const Function &df, double x)
{
    const double slope = df(x);
    if (slope == 0)
        return x - 1.0;
    return x - f(x) / slope;
}

double findroot(double left, double right, double tolerance, const Function &f, const Function &df)
{
    // Enough for any function that has a root in the interval; one without a
    // root would otherwise keep the loop going for ever.
    constexpr int maxSteps = 1000;
    double x = left;
    for (int step = 0; step < maxSteps && std::fabs(f(x)) > tolerance; ++step) {
        x = NewtonRaphson(f, df, x);
        if (x < left || x > right)
            x = RegulaFalsi(f, left, right);
        if (f(x) * f(left) <= 0)
            right = x;
        else
            left = x;
    }
    return x;
}

} // namespace GGVecLib

float calculateAngleFromVertical(float dx, float dy)
{
    if (dy == 0) {
        if (dx > 0)
            return 1.5707963f;
        if (dx < 0)
            return 4.712389f;
        return 0;
    }
    if (dx >= 0 && dy > 0)
        return float(std::atan(double(dx / dy)));
    if (dx >= 0 && dy < 0)
        return float(1.570796251296997 - std::atan(double(dx / std::fabs(dy))) + 1.570796251296997);
    if (dx < 0 && dy < 0)
        return float(std::atan(double(dx / dy)) + 3.141592502593994);
    if (dx < 0 && dy > 0)
        return float(1.570796251296997 - std::atan(double(std::fabs(dx) / dy)) + 4.71238899230957);
    return 0; // NaN
}
