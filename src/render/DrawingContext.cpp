#include "render/DrawingContext.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QtDebug>
#include <cmath>
#include <vector>

namespace {

// Vector devices get pictures and shadows rasterised at this resolution.
constexpr qreal kVectorRasterDPI = 300.0;
// Shadow layers beyond this many pixels are not drawn.
constexpr qint64 kMaxLayerPixels = 4096LL * 4096LL;

qreal uniformScale(const QTransform &t)
{
    const qreal det = std::abs(t.determinant());
    return det > 0 && std::isfinite(det) ? std::sqrt(det) : 1.0;
}

bool isVectorDevice(const QPainter &painter)
{
    const QPaintEngine *engine = painter.paintEngine();
    return engine && engine->type() != QPaintEngine::Raster &&
           engine->type() != QPaintEngine::OpenGL2 && engine->type() != QPaintEngine::X11;
}

} // namespace

StrokeStyle StrokeStyle::ofPath(const BezierPath &path)
{
    StrokeStyle style;
    style.width = path.lineWidth();
    style.cap = path.lineCapStyle();
    style.join = path.lineJoinStyle();
    style.miterLimit = path.miterLimit();
    style.dash = path.lineDashPattern();
    style.dashPhase = path.lineDashPhase();
    return style;
}

QList<float> StrokeStyle::dashInWidths(const QList<float> &multiples, float width)
{
    QList<float> lengths;
    lengths.reserve(multiples.size());
    for (float m : multiples)
        lengths.append(m * width);
    return lengths;
}

namespace SystemColors {
// The platform's standard look, in calibrated RGB.
Color selectedControlColor()
{
    return Color::colorWithCalibratedRed(0.7098, 0.8353, 1.0);
}
Color keyboardFocusIndicatorColor()
{
    return Color::colorWithCalibratedRed(0.4902, 0.6667, 0.8706);
}
Color knobColor()
{
    return Color::colorWithCalibratedRed(0.2745, 0.4588, 0.8196);
}
Color gridColor()
{
    return Color::colorWithCalibratedWhite(0.8);
}
Color blueColor()
{
    return Color::colorWithCalibratedRed(0.0, 0.0, 1.0);
}
Color yellowColor()
{
    return Color::colorWithCalibratedRed(1.0, 1.0, 0.0);
}
Color lightGrayColor()
{
    return Color::colorWithCalibratedWhite(2.0 / 3.0);
}
Color darkGrayColor()
{
    return Color::colorWithCalibratedWhite(1.0 / 3.0);
}
} // namespace SystemColors

DrawingContext::DrawingContext(QPainter &painter, bool isScreen)
    : m_painter(&painter), m_isScreen(isScreen), m_ownsSave(true)
{
    painter.save();
    if (const QPaintDevice *device = painter.device()) {
        const qreal scale = pointScale(*device, isScreen);
        if (scale != 1.0)
            painter.scale(scale, scale);
    }
    m_base = painter.deviceTransform();
}

DrawingContext::DrawingContext(QPainter &painter, qreal pixelsPerPoint)
    : m_painter(&painter), m_isScreen(false), m_ownsSave(true)
{
    painter.save();
    if (pixelsPerPoint > 0 && std::isfinite(pixelsPerPoint) && pixelsPerPoint != 1.0)
        painter.scale(pixelsPerPoint, pixelsPerPoint);
    m_base = painter.deviceTransform();
}

DrawingContext::DrawingContext(QPainter &painter, bool isScreen, const QTransform &base)
    : m_painter(&painter), m_isScreen(isScreen), m_ownsSave(false), m_base(base)
{}

DrawingContext::~DrawingContext()
{
    if (m_ownsSave)
        m_painter->restore();
}

qreal DrawingContext::pointScale(const QPaintDevice &device, bool isScreen)
{
    if (isScreen)
        return 1.0;
    const int dpi = device.logicalDpiX();
    return dpi > 0 ? dpi / 72.0 : 1.0;
}

qreal DrawingContext::devicePixelsPerPoint() const
{
    const qreal scale = uniformScale(m_painter->deviceTransform());
    if (!isVectorDevice(*m_painter) || !m_painter->device())
        return scale;
    // A PDF or printer keeps vectors; what must be rasterised gets a
    // printing resolution at the current zoom.
    const qreal zoom = scale / pointScale(*m_painter->device(), m_isScreen);
    return zoom * kVectorRasterDPI / 72.0;
}

QImage DrawingContext::makeImage(Size sizeInPoints, qreal pixelsPerPoint, const QColor &fill)
{
    if (!(pixelsPerPoint > 0) || !std::isfinite(pixelsPerPoint))
        pixelsPerPoint = 1.0;
    const auto pixels = [&](float points) {
        const qreal p = std::ceil(qreal(points) * pixelsPerPoint - 1e-6);
        return std::isfinite(p) ? int(std::clamp<qreal>(p, 1, 32768)) : 1;
    };
    QImage image(pixels(sizeInPoints.width), pixels(sizeInPoints.height),
                 QImage::Format_ARGB32_Premultiplied);
    const int dotsPerMeter = qRound(72.0 * pixelsPerPoint / 0.0254);
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(fill);
    return image;
}

void DrawingContext::preparePdfWriter(QPdfWriter &writer, Size pageSizeInPoints)
{
    writer.setResolution(72);
    writer.setPageSize(QPageSize(pageSizeInPoints.toQt(), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

QPen DrawingContext::pen(const QBrush &brush, const StrokeStyle &style)
{
    // One conversion of the stroke attributes to Qt's, shared with paths.
    BezierPath attributes;
    attributes.setLineWidth(style.width);
    attributes.setLineCapStyle(style.cap);
    attributes.setLineJoinStyle(style.join);
    attributes.setMiterLimit(style.miterLimit);
    attributes.setLineDash(style.dash, style.dashPhase);
    return attributes.pen(brush);
}

void DrawingContext::strokePath(const BezierPath &path, const QBrush &brush) const
{
    strokePath(path, brush, StrokeStyle::ofPath(path));
}

void DrawingContext::strokePath(const BezierPath &path, const QBrush &brush,
                                const StrokeStyle &style) const
{
    if (path.isEmpty())
        return;
    m_painter->strokePath(path.toQPainterPath(), pen(brush, style));
}

void DrawingContext::fillPath(const BezierPath &path, const QBrush &brush) const
{
    if (path.isEmpty())
        return;
    const QPainterPath shape = path.toQPainterPath();
    // The rasteriser works through the whole of a filled figure, however
    // little of it shows: a connection running the length of a big map
    // would cost milliseconds at every repaint. On screen such a figure is
    // cut to what can be seen, with a margin that keeps the cut out of sight.
    const QPaintDevice *device = m_painter->device();
    if (m_isScreen && device && !isVectorDevice(*m_painter) && brush.style() == Qt::SolidPattern) {
        const QTransform toDevice = m_painter->worldTransform();
        const QRectF extent = toDevice.mapRect(shape.controlPointRect());
        QRectF visible(0, 0, device->width(), device->height());
        if (m_painter->hasClipping())
            visible = visible.intersected(toDevice.mapRect(m_painter->clipBoundingRect()));
        constexpr qreal Margin = 16, Oversize = 4096;
        if (toDevice.type() <= QTransform::TxScale && !m_painter->viewTransformEnabled() &&
            (extent.width() > visible.width() + Oversize ||
             extent.height() > visible.height() + Oversize)) {
            QPainterPath window;
            window.addRect(visible.adjusted(-Margin, -Margin, Margin, Margin));
            // Cut in device pixels, so that curves are flattened as finely as drawn.
            const QPainterPath cut = toDevice.map(shape).intersected(window);
            m_painter->save();
            m_painter->resetTransform();
            m_painter->fillPath(cut, brush);
            m_painter->restore();
            return;
        }
    }
    m_painter->fillPath(shape, brush);
}

void DrawingContext::drawWithShadow(const Shadow &shadow, const QRectF &bounds,
                                    const std::function<void(DrawingContext &)> &paint) const
{
    drawShadowOnly(shadow, bounds, paint);
    DrawingContext self(*m_painter, m_isScreen, m_base);
    paint(self);
}

void DrawingContext::drawShadowOnly(const Shadow &shadow, const QRectF &bounds,
                                    const std::function<void(DrawingContext &)> &paint) const
{
    QPainter &painter = *m_painter;
    const QPaintDevice *device = painter.device();
    if (!device || !bounds.isValid())
        return;
    const qreal baseScale = uniformScale(m_base);
    const Size offset = shadow.shadowOffset();
    const qreal blur = shadow.shadowBlurRadius();
    if (!std::isfinite(offset.width) || !std::isfinite(offset.height) || !std::isfinite(blur))
        return;
    // The offset is measured with y up, as the page's own coordinates were.
    const QPointF deviceOffset(offset.width * baseScale, -offset.height * baseScale);
    const qreal sigma = std::max<qreal>(blur, 0) * baseScale / 2.0;
    const int margin = int(std::ceil(3.0 * sigma)) + 1;

    const QTransform toDevice = painter.deviceTransform();
    const QRect drawn =
        toDevice.mapRect(bounds).toAlignedRect().adjusted(-margin, -margin, margin, margin);
    const qreal dpr = device->devicePixelRatioF();
    const QRect deviceArea(0, 0, int(std::ceil(device->width() * dpr)),
                           int(std::ceil(device->height() * dpr)));
    // Only what can cast a shadow onto the device is drawn into the layer.
    const QRect source = deviceArea.translated(-deviceOffset.toPoint())
                             .adjusted(-margin - 1, -margin - 1, margin + 1, margin + 1);
    const QRect layerRect = drawn & source;
    if (layerRect.isEmpty())
        return;
    if (qint64(layerRect.width()) * layerRect.height() > kMaxLayerPixels) {
        qWarning("Shadow of %d x %d pixels left out", layerRect.width(), layerRect.height());
        return;
    }

    QImage layer(layerRect.size(), QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter layerPainter(&layer);
        layerPainter.setRenderHints(painter.renderHints());
        const QTransform shift = QTransform::fromTranslate(-layerRect.x(), -layerRect.y());
        layerPainter.setTransform(toDevice * shift);
        if (painter.hasClipping())
            layerPainter.setClipPath(painter.clipPath());
        DrawingContext layerContext(layerPainter, m_isScreen, m_base * shift);
        paint(layerContext);
    }

    QImage mask = layer.convertToFormat(QImage::Format_Alpha8);
    blurAlpha(mask, sigma);
    const QColor color = shadow.effectiveColor().toQColor();
    const qreal alpha = color.alphaF();
    QImage tinted(mask.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < mask.height(); ++y) {
        const uchar *in = mask.constScanLine(y);
        QRgb *out = reinterpret_cast<QRgb *>(tinted.scanLine(y));
        for (int x = 0; x < mask.width(); ++x) {
            const qreal a = in[x] / 255.0 * alpha;
            out[x] = qRgba(qRound(color.redF() * a * 255), qRound(color.greenF() * a * 255),
                           qRound(color.blueF() * a * 255), qRound(a * 255));
        }
    }

    painter.save();
    // Draw the layer pixel for pixel, whatever the world transform is.
    const QTransform placed = QTransform::fromTranslate(layerRect.x() + deviceOffset.x(),
                                                        layerRect.y() + deviceOffset.y());
    painter.setWorldTransform(placed * toDevice.inverted() * painter.worldTransform());
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setOpacity(1.0);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QPointF(0, 0), tinted);
    painter.restore();
}

void DrawingContext::blurAlpha(QImage &alpha8, qreal sigma)
{
    if (alpha8.format() != QImage::Format_Alpha8 || !(sigma >= 0.1) || alpha8.isNull())
        return;
    const int radius = int(std::ceil(3.0 * sigma));
    std::vector<float> kernel(size_t(2 * radius + 1));
    float sum = 0;
    for (int i = -radius; i <= radius; ++i) {
        kernel[size_t(i + radius)] = float(std::exp(-(i * i) / (2.0 * sigma * sigma)));
        sum += kernel[size_t(i + radius)];
    }
    for (float &k : kernel)
        k /= sum;

    const int w = alpha8.width(), h = alpha8.height();
    std::vector<float> buffer(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const uchar *line = alpha8.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            float v = 0;
            for (int i = -radius; i <= radius; ++i) {
                const int sx = x + i;
                if (sx >= 0 && sx < w)
                    v += kernel[size_t(i + radius)] * line[sx];
            }
            buffer[size_t(y) * size_t(w) + size_t(x)] = v;
        }
    }
    for (int y = 0; y < h; ++y) {
        uchar *line = alpha8.scanLine(y);
        for (int x = 0; x < w; ++x) {
            float v = 0;
            for (int i = -radius; i <= radius; ++i) {
                const int sy = y + i;
                if (sy >= 0 && sy < h)
                    v += kernel[size_t(i + radius)] * buffer[size_t(sy) * size_t(w) + size_t(x)];
            }
            line[x] = uchar(std::clamp(int(std::lround(v)), 0, 255));
        }
    }
}

Rect DrawingContext::centerScanRect(const Rect &rect) const
{
    const QTransform toDevice = m_painter->deviceTransform();
    bool invertible = false;
    const QTransform fromDevice = toDevice.inverted(&invertible);
    if (!invertible)
        return rect;
    const QRectF device = toDevice.mapRect(rect.toQt());
    const auto round = [](qreal v) { return std::floor(v + 0.5); };
    const QRectF aligned(QPointF(round(device.left()), round(device.top())),
                         QPointF(round(device.right()), round(device.bottom())));
    return Rect::fromQt(fromDevice.mapRect(aligned));
}

DrawingContext::StateSaver::StateSaver(const DrawingContext &context) : m_painter(context.painter())
{
    m_painter.save();
}

DrawingContext::StateSaver::~StateSaver()
{
    m_painter.restore();
}
