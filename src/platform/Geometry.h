#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringView>

// Single-precision points, sizes and rectangles with AppKit's rules: the model
// computes in 32-bit floats, unions ignore empty rectangles and containment is
// half-open. Converted to Qt's types only to paint.

struct Point
{
    float x = 0;
    float y = 0;

    constexpr Point() = default;
    constexpr Point(float x_, float y_) : x(x_), y(y_) {}
    static Point fromQt(QPointF p) { return {float(p.x()), float(p.y())}; }
    QPointF toQt() const { return {x, y}; }

    friend constexpr bool operator==(Point a, Point b) { return a.x == b.x && a.y == b.y; }
    friend constexpr bool operator!=(Point a, Point b) { return !(a == b); }

    QString toString() const;               // "{x, y}"
    static Point fromString(QStringView s); // lenient: missing numbers are 0
};

struct Size
{
    float width = 0;
    float height = 0;

    constexpr Size() = default;
    constexpr Size(float w, float h) : width(w), height(h) {}
    static Size fromQt(QSizeF s) { return {float(s.width()), float(s.height())}; }
    QSizeF toQt() const { return {width, height}; }

    friend constexpr bool operator==(Size a, Size b)
    {
        return a.width == b.width && a.height == b.height;
    }
    friend constexpr bool operator!=(Size a, Size b) { return !(a == b); }

    QString toString() const; // "{w, h}"
    static Size fromString(QStringView s);
};

struct Rect
{
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}
    constexpr Rect(float x, float y, float w, float h) : origin(x, y), size(w, h) {}
    static Rect fromQt(const QRectF &r)
    {
        return {float(r.x()), float(r.y()), float(r.width()), float(r.height())};
    }
    QRectF toQt() const { return {origin.x, origin.y, size.width, size.height}; }

    constexpr float x() const { return origin.x; }
    constexpr float y() const { return origin.y; }
    constexpr float width() const { return size.width; }
    constexpr float height() const { return size.height; }
    constexpr float minX() const { return origin.x; }
    constexpr float minY() const { return origin.y; }
    constexpr float maxX() const { return origin.x + size.width; }
    constexpr float maxY() const { return origin.y + size.height; }
    constexpr float midX() const { return origin.x + size.width * 0.5f; }
    constexpr float midY() const { return origin.y + size.height * 0.5f; }

    // Empty when either side is zero or negative (NSIsEmptyRect).
    constexpr bool isEmpty() const { return !(size.width > 0) || !(size.height > 0); }

    // Union that ignores empty rectangles; two empty ones give a zero rectangle.
    Rect united(const Rect &other) const;
    // Union that keeps a line: only a rectangle with neither width nor
    // height is left out, so a shape of no height still reaches from one end
    // to the other.
    Rect unitedKeepingLines(const Rect &other) const;
    // Overlap of the two, or the zero rectangle when they do not overlap.
    Rect intersected(const Rect &other) const;
    bool intersects(const Rect &other) const;
    // Half-open: the left and top edges belong to the rectangle, the right and bottom do not.
    bool contains(Point p) const;
    // NSContainsRect: a non-empty rectangle lying wholly inside this one.
    bool contains(const Rect &other) const;
    Rect insetBy(float dx, float dy) const
    {
        return {origin.x + dx, origin.y + dy, size.width - 2 * dx, size.height - 2 * dy};
    }
    Rect offsetBy(float dx, float dy) const
    {
        return {origin.x + dx, origin.y + dy, size.width, size.height};
    }
    // Smallest rectangle with integral edges that holds this one (NSIntegralRect).
    Rect integral() const;

    friend constexpr bool operator==(const Rect &a, const Rect &b)
    {
        return a.origin == b.origin && a.size == b.size;
    }
    friend constexpr bool operator!=(const Rect &a, const Rect &b) { return !(a == b); }

    QString toString() const; // "{{x, y}, {w, h}}"
    static Rect fromString(QStringView s);
};

// The rectangle spanned by two corner points.
Rect RectFromPoints(Point p1, Point p2);
