#include "Geometry.h"

#include "CFormat.h"

#include <algorithm>
#include <cmath>

namespace {

// Reads up to n numbers from a string form such as "{{1, 2}, {3, 4}}": every
// run that starts a number is taken in order; what is missing stays 0.
template <int N> void scanNumbers(QStringView s, float (&out)[N])
{
    int found = 0;
    qsizetype i = 0;
    while (found < N && i < s.size()) {
        const QChar c = s[i];
        const bool startsNumber =
            c.isDigit() || ((c == u'-' || c == u'+' || c == u'.') && i + 1 < s.size() &&
                            (s[i + 1].isDigit() || s[i + 1] == u'.'));
        if (!startsNumber) {
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < s.size() &&
               (s[j].isDigit() || s[j] == u'.' || s[j] == u'e' || s[j] == u'E' ||
                ((s[j] == u'-' || s[j] == u'+') && (s[j - 1] == u'e' || s[j - 1] == u'E'))))
            ++j;
        out[found++] = CFormat::floatValue(s.mid(i, j - i));
        i = j;
    }
}

} // namespace

QString Point::toString() const
{
    return QStringLiteral("{%1, %2}").arg(CFormat::shortFloat(x), CFormat::shortFloat(y));
}

Point Point::fromString(QStringView s)
{
    float v[2] = {0, 0};
    scanNumbers(s, v);
    return {v[0], v[1]};
}

QString Size::toString() const
{
    return QStringLiteral("{%1, %2}").arg(CFormat::shortFloat(width), CFormat::shortFloat(height));
}

Size Size::fromString(QStringView s)
{
    float v[2] = {0, 0};
    scanNumbers(s, v);
    return {v[0], v[1]};
}

QString Rect::toString() const
{
    return QStringLiteral("{%1, %2}").arg(origin.toString(), size.toString());
}

Rect Rect::fromString(QStringView s)
{
    float v[4] = {0, 0, 0, 0};
    scanNumbers(s, v);
    return {v[0], v[1], v[2], v[3]};
}

Rect Rect::unitedKeepingLines(const Rect &other) const
{
    if (other.width() <= 0 && other.height() <= 0)
        return *this;
    if (width() <= 0 && height() <= 0)
        return other;
    const float x0 = std::min(minX(), other.minX());
    const float y0 = std::min(minY(), other.minY());
    return {x0, y0, std::max(maxX(), other.maxX()) - x0, std::max(maxY(), other.maxY()) - y0};
}

Rect Rect::united(const Rect &other) const
{
    if (isEmpty())
        return other.isEmpty() ? Rect() : other;
    if (other.isEmpty())
        return *this;
    const float x0 = std::min(minX(), other.minX());
    const float y0 = std::min(minY(), other.minY());
    const float x1 = std::max(maxX(), other.maxX());
    const float y1 = std::max(maxY(), other.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::intersected(const Rect &other) const
{
    const float x0 = std::max(minX(), other.minX());
    const float y0 = std::max(minY(), other.minY());
    const float x1 = std::min(maxX(), other.maxX());
    const float y1 = std::min(maxY(), other.maxY());
    if (!(x1 > x0) || !(y1 > y0))
        return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

bool Rect::intersects(const Rect &other) const
{
    return !intersected(other).isEmpty();
}

bool Rect::contains(Point p) const
{
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect &other) const
{
    return !other.isEmpty() && minX() <= other.minX() && minY() <= other.minY() &&
           maxX() >= other.maxX() && maxY() >= other.maxY();
}

Rect Rect::integral() const
{
    if (isEmpty())
        return {};
    const float x0 = std::floor(minX());
    const float y0 = std::floor(minY());
    const float x1 = std::ceil(maxX());
    const float y1 = std::ceil(maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect RectFromPoints(Point p1, Point p2)
{
    return {std::min(p1.x, p2.x), std::min(p1.y, p2.y), std::fabs(p2.x - p1.x),
            std::fabs(p2.y - p1.y)};
}
