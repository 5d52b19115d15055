#pragma once

#include "platform/Geometry.h"
#include "support/BezierPath.h"
#include "support/Color.h"
#include "support/Shadow.h"

#include <QBrush>
#include <QImage>
#include <QList>
#include <QPen>
#include <QRectF>
#include <QTransform>
#include <functional>

class QPainter;
class QPaintDevice;
class QPdfWriter;

// How a line is stroked: the platform's defaults are a butt cap, a miter
// join with limit 10 and no dashes. Dash lengths are in points.
struct StrokeStyle
{
    float width = BezierPath::defaultLineWidth;
    BezierPath::LineCapStyle cap = BezierPath::defaultLineCapStyle;
    BezierPath::LineJoinStyle join = BezierPath::defaultLineJoinStyle;
    float miterLimit = BezierPath::defaultMiterLimit;
    QList<float> dash;
    float dashPhase = 0.0f;

    static StrokeStyle withWidth(float width)
    {
        StrokeStyle style;
        style.width = width;
        return style;
    }
    // The stroke attributes a path carries.
    static StrokeStyle ofPath(const BezierPath &path);
    // Dash lengths given as multiples of the line width, as line styles are.
    static QList<float> dashInWidths(const QList<float> &multiples, float width);
};

// Colours the system drew its controls with.
namespace SystemColors {
Color selectedControlColor();
Color keyboardFocusIndicatorColor();
Color knobColor();
Color gridColor();
Color blueColor();
Color yellowColor();
Color lightGrayColor();
Color darkGrayColor();
} // namespace SystemColors

// The painter every drawing goes through. Map units are typographic points
// with y growing downward on every device: the screen, images, PDF writers
// and printers. Construction scales the painter so that a unit is a point
// (printers and PDF writers may run at any resolution; the screen counts a
// point as one logical pixel, as the platform's screens did) and the
// destructor restores the painter as it was handed over.
class DrawingContext
{
public:
    DrawingContext(QPainter &painter, bool isScreen);
    // On an image from makeImage() at `pixelsPerPoint`: the image's recorded
    // resolution is whole dots per inch, too coarse for small scales.
    DrawingContext(QPainter &painter, qreal pixelsPerPoint);
    ~DrawingContext();
    DrawingContext(const DrawingContext &) = delete;
    DrawingContext &operator=(const DrawingContext &) = delete;

    QPainter &painter() const { return *m_painter; }
    // Some drawing differs on screen (backgrounds, handles).
    bool isDrawingToScreen() const { return m_isScreen; }

    // Device pixels per point for the device as the context sets it up.
    static qreal pointScale(const QPaintDevice &device, bool isScreen);
    // Device pixels per point of the painter now, in the current transform
    // (zoom included). Pictures are rasterised at this density.
    qreal devicePixelsPerPoint() const;

    // A transparent image of the size in points, at `pixelsPerPoint` pixels a
    // point; its resolution is recorded so that it reads back at that size.
    static QImage makeImage(Size sizeInPoints, qreal pixelsPerPoint = 1.0,
                            const QColor &fill = Qt::transparent);
    // A PDF writer whose page is the size in points, without margins, at 72 dpi.
    static void preparePdfWriter(QPdfWriter &writer, Size pageSizeInPoints);

    // Every pen is made here.
    static QPen pen(const QBrush &brush, const StrokeStyle &style);
    void strokePath(const BezierPath &path, const QBrush &brush) const;
    void strokePath(const BezierPath &path, const QBrush &brush, const StrokeStyle &style) const;
    void fillPath(const BezierPath &path, const QBrush &brush) const;

    // Paints `paint` with the shadow under it, as setting a shadow in the
    // graphics state did: the drawing blurred, tinted with the shadow colour
    // and offset, then the drawing itself. The offset and blur are in points
    // of the unzoomed page (zoom them with shadowZoomedTo), a positive height
    // moving the shadow up. `bounds` holds everything `paint` draws, in
    // current coordinates. Callers then paint again without shadow.
    void drawWithShadow(const Shadow &shadow, const QRectF &bounds,
                        const std::function<void(DrawingContext &)> &paint) const;
    // Only the blurred, tinted and offset silhouette of `paint`.
    void drawShadowOnly(const Shadow &shadow, const QRectF &bounds,
                        const std::function<void(DrawingContext &)> &paint) const;

    // The rectangle moved and sized to whole device pixels, so that a handle
    // is drawn crisply at any zoom.
    Rect centerScanRect(const Rect &rect) const;

    // Saves the painter's state for a scope.
    class StateSaver
    {
    public:
        explicit StateSaver(const DrawingContext &context);
        ~StateSaver();
        StateSaver(const StateSaver &) = delete;
        StateSaver &operator=(const StateSaver &) = delete;

    private:
        QPainter &m_painter;
    };

    // Gaussian blur of an alpha mask in place, with standard deviation sigma
    // in pixels.
    static void blurAlpha(QImage &alpha8, qreal sigma);

private:
    DrawingContext(QPainter &painter, bool isScreen, const QTransform &base);

    QPainter *m_painter;
    bool m_isScreen;
    bool m_ownsSave;
    QTransform m_base; // point space of the unzoomed page, to device
};
