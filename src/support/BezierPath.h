#pragma once

#include "platform/Geometry.h"

#include <QBrush>
#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPen>
#include <array>
#include <vector>

#include <libxml/tree.h>

class XMLOut;

class QPainter;
struct ShadingCallbacks;

// A path of move, line, cubic curve and close elements with its stroke
// attributes. Qt's QPainterPath has no close element of its own, no stroke
// attributes and no flatness, and starts silently at (0, 0); this keeps the
// elements exactly as they were made or read and converts to Qt only to paint.
class BezierPath
{
public:
    enum ElementType {
        MoveToElement = 0,
        LineToElement = 1,
        CurveToElement = 2,
        ClosePathElement = 3
    };
    enum LineCapStyle { ButtLineCap = 0, RoundLineCap = 1, SquareLineCap = 2 };
    enum LineJoinStyle { MiterLineJoin = 0, RoundLineJoin = 1, BevelLineJoin = 2 };
    enum WindingRule { NonZeroWindingRule = 0, EvenOddWindingRule = 1 };

    struct Element
    {
        ElementType type = MoveToElement;
        // Move and line: points[0]. Curve: first control point, second
        // control point, end point. Close: none.
        std::array<Point, 3> points{};

        friend bool operator==(const Element &a, const Element &b);
    };

    static constexpr float defaultLineWidth = 1.0f;
    static constexpr float defaultMiterLimit = 10.0f;
    static constexpr float defaultFlatness = 0.6f;
    static constexpr LineCapStyle defaultLineCapStyle = ButtLineCap;
    static constexpr LineJoinStyle defaultLineJoinStyle = MiterLineJoin;
    static constexpr WindingRule defaultWindingRule = NonZeroWindingRule;

    // A line or curve needs a current point. On an empty path it starts the
    // path with a move to its end point instead (logged as malformed).
    void moveToPoint(Point p);
    void lineToPoint(Point p);
    void curveToPoint(Point end, Point controlPoint1, Point controlPoint2);
    // Does nothing on an empty path.
    void closePath();
    void appendBezierPath(const BezierPath &other);
    void removeAllPoints() { m_elements.clear(); }

    bool isEmpty() const { return m_elements.empty(); }
    int elementCount() const { return int(m_elements.size()); }
    const Element &elementAtIndex(int index) const { return m_elements.at(size_t(index)); }
    const std::vector<Element> &elements() const { return m_elements; }
    // The end of the last element; after a close, the start of that subpath.
    // The origin for an empty path.
    Point currentPoint() const;
    // Tight bounds of what is drawn (curves at their extrema).
    Rect bounds() const;
    Rect controlPointBounds() const;

    float lineWidth() const { return m_lineWidth; }
    void setLineWidth(float width) { m_lineWidth = width; }
    LineCapStyle lineCapStyle() const { return m_lineCapStyle; }
    void setLineCapStyle(LineCapStyle style) { m_lineCapStyle = style; }
    LineJoinStyle lineJoinStyle() const { return m_lineJoinStyle; }
    void setLineJoinStyle(LineJoinStyle style) { m_lineJoinStyle = style; }
    float miterLimit() const { return m_miterLimit; }
    void setMiterLimit(float limit) { m_miterLimit = limit; }
    float flatness() const { return m_flatness; }
    void setFlatness(float flatness) { m_flatness = flatness; }
    WindingRule windingRule() const { return m_windingRule; }
    void setWindingRule(WindingRule rule) { m_windingRule = rule; }
    // Dash lengths in points; an empty pattern draws a solid line.
    void setLineDash(const QList<float> &pattern, float phase);
    const QList<float> &lineDashPattern() const { return m_dashPattern; }
    float lineDashPhase() const { return m_dashPhase; }

    // A copy whose curves are replaced by lines that stay within `flatness`
    // of them (de Casteljau subdivision). Moves, lines and closes stay.
    BezierPath bezierPathByFlatteningPath(float flatness) const;
    BezierPath bezierPathByFlatteningPath() const { return bezierPathByFlatteningPath(m_flatness); }

    // For painting: the outline with its fill rule, and a pen with the
    // stroke attributes (dashes converted from points to Qt's pen widths).
    QPainterPath toQPainterPath() const;
    QPen pen(const QBrush &brush = QBrush(Qt::black)) const;
    void fill(QPainter &painter, const QBrush &brush) const;
    void stroke(QPainter &painter, const QBrush &brush) const;

    // Hit testing against the path flattened at the standard flatness, not
    // its own. The tolerance is the full line width on either side; closing
    // segments are not tested.
    bool intersectsPoint(Point p) const;
    bool lineFrom(Point start, Point end, Point p) const;
    // The curve's four points in control-polygon order.
    bool curveFrom(Point start, Point control1, Point control2, Point end, Point p) const;

    // Length of the path flattened at `flatness`: the sum of the steps
    // between successive element points; a jump to a new subpath counts.
    float bezierPathLength(float flatness = 0.05f) const;

    // A path running `distance` beside this one (on the side of negative y
    // for a left-to-right path), with the loops that a tight bend makes cut
    // away. The first form flattens at 0.5 / |distance|, or at the path's own
    // flatness for a distance of 0. An empty path gives an empty path.
    BezierPath bezierPathOffsetVerticallyBy(float distance, bool lineToFirstPoint) const;
    BezierPath bezierPathOffsetVerticallyBy(float distance, bool lineToFirstPoint,
                                            float flatness) const;

    // Rounded shapes. The radius of the rounded rectangle is not limited to
    // half the width or height.
    void appendPathWithRoundedRectangle(const Rect &rect, float radius);
    static BezierPath bezierPathWithRect(const Rect &rect, float roundedCornerAmount,
                                         float lineWidth);
    static BezierPath bezierPathTitleWithRect(const Rect &rect, float roundedCornerAmount,
                                              float lineWidth, float titleHeight);

    // Strokes so that a line of lineWidth() lies wholly inside the path; also
    // clipped to `rect` when it has positive width and height.
    void strokeInside(QPainter &painter, const QBrush &brush) const;
    void strokeInsideWithinRect(QPainter &painter, const QBrush &brush, const Rect &rect) const;

    // Gradient fills clipped to the path, running along y over its bounds:
    // input 0 at the bounds' minimum y, input 1 at their maximum y.
    void customHorizontalFillWithCallbacks(QPainter &painter, const ShadingCallbacks &callbacks,
                                           const QColor &firstColor,
                                           const QColor &secondColor) const;
    void linearGradientFillWithStartColor(QPainter &painter, const QColor &startColor,
                                          const QColor &endColor) const;
    // The inner colour at both edges, the outer colour across the middle.
    void bilinearGradientFillWithOuterColor(QPainter &painter, const QColor &outerColor,
                                            const QColor &innerColor) const;
    // A linear gradient from `from` at the bounds' minimum y to `to` at their
    // maximum y, extended beyond them; `angle` is accepted and ignored.
    void fillGradientFrom(QPainter &painter, const QColor &from, const QColor &to,
                          float angle) const;

    // The <NSBezierPath> element, appended to `parent`.
    void addXmlDataToNode(xmlNodePtr parent) const;
    // The same element into a tree or a stream.
    void writeXml(XMLOut &out) const;
    // Reads the <NSBezierPath> child of `parent`. Missing attributes keep a
    // new path's values; reading stops, with what came before kept, at an
    // element without a type. Unusable numbers are logged and left out.
    static BezierPath withXMLNode(xmlNodePtr parent, xmlDocPtr doc);

    friend bool operator==(const BezierPath &a, const BezierPath &b);

private:
    std::vector<Element> m_elements;
    float m_lineWidth = defaultLineWidth;
    LineCapStyle m_lineCapStyle = defaultLineCapStyle;
    LineJoinStyle m_lineJoinStyle = defaultLineJoinStyle;
    float m_miterLimit = defaultMiterLimit;
    float m_flatness = defaultFlatness;
    WindingRule m_windingRule = defaultWindingRule;
    QList<float> m_dashPattern;
    float m_dashPhase = 0;
};
