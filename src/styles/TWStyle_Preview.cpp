#include "render/DrawingContext.h"
#include "render/TWLineStyles.h"
#include "styles/TWStyle.h"
#include "support/AttributedString.h"
#include "support/Font.h"
#include "support/Shadow.h"
#include "support/TWStyleImages.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <optional>

namespace {

std::optional<Color> colorValue(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<Color>())
        return v.value<Color>();
    return std::nullopt;
}

// The small labels of the previews.
QFont labelFont()
{
    return Font(QStringLiteral("Helvetica"), 10).toQFont();
}

} // namespace

QImage TWStyle::previewOfSize(Size size)
{
    QImage image = DrawingContext::makeImage(size);
    QPainter painter(&image);
    drawInRect(painter, Rect(0, 0, size.width, size.height));
    return image;
}

void TWStyle::drawInRect(QPainter &painter, const Rect &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_type == GraphicStyle) {
        drawGraphicBoxInRect(painter, rect);
        drawGraphicTextInRect(painter, rect);
    } else if (m_type == MapStyle) {
        drawMapBackgroundInRect(painter, rect);
        drawMapTitleInRect(painter, rect);
    }
    painter.restore();
}

void TWStyle::drawGraphicBoxInRect(QPainter &painter, const Rect &rect) const
{
    const OrderedDictionary g = group(GraphicGroup);
    const float w = rect.width();
    const float h = rect.height();
    const float strokeWidth = g.value(QStringLiteral("strokeWidth")).toFloat();
    const Rect box(8, 8, (w - 16) / 3, h - 16);
    BezierPath path = BezierPath::bezierPathWithRect(
        box, g.value(QStringLiteral("cornerMode")).toInt() != 0 ? 8 : 0, strokeWidth);
    BezierPath line;
    {
        // Drawn from the bottom left up to the middle: y grows downwards here.
        const float W = w - 16;
        const float H = h - 16;
        const float x0 = W / 16 + 8;
        const float x1 = W / 2;
        line.moveToPoint(Point(x0, h - 20));
        line.curveToPoint(Point(x1, h - H), Point(x0 + (x1 - x0) / 3, h - H),
                          Point(x1 - (x1 - x0) / 3, h - 20));
        TWLineStyles::applyLineStyle(g.value(QStringLiteral("strokeStyle")).toInt(), line,
                                     strokeWidth);
    }

    const auto paint = [&](DrawingContext &context) {
        if (g.value(QStringLiteral("drawsFill")).toBool()) {
            const std::optional<Color> fill = colorValue(g.value(QStringLiteral("fillColor")));
            const bool own = g.value(QStringLiteral("applyFill")).toBool() &&
                             !g.value(QStringLiteral("inheritsFill")).toBool() && fill;
            context.fillPath(path, (own ? *fill : SystemColors::lightGrayColor()).toQColor());
        }
        if (g.value(QStringLiteral("drawsStroke")).toBool()) {
            BezierPath outline = path;
            TWLineStyles::applyLineStyle(g.value(QStringLiteral("strokeStyle")).toInt(), outline,
                                         strokeWidth);
            const std::optional<Color> stroke = colorValue(g.value(QStringLiteral("strokeColor")));
            const bool own = g.value(QStringLiteral("applyStroke")).toBool() &&
                             !g.value(QStringLiteral("inheritsStroke")).toBool() && stroke;
            context.strokePath(outline, (own ? *stroke : SystemColors::darkGrayColor()).toQColor());
        }
        context.strokePath(line, colorValue(g.value(QStringLiteral("strokeColor")))
                                     .value_or(Color::blackColor())
                                     .toQColor());
    };

    // The rectangle is in the painter's own units, wherever it paints.
    DrawingContext context(painter, true);
    if (g.value(QStringLiteral("applyShadow")).toBool() &&
        g.value(QStringLiteral("drawsShadow")).toBool()) {
        const QVariant blur = g.value(QStringLiteral("shadowBlurRadius"));
        const Shadow shadow(Size(g.value(QStringLiteral("shadowOffsetWidth")).toFloat(),
                                 g.value(QStringLiteral("shadowOffsetHeight")).toFloat()),
                            blur.isValid() ? blur.toDouble() : 0.0,
                            colorValue(g.value(QStringLiteral("shadowColor"))));
        context.drawShadowOnly(shadow, QRectF(0, 0, w, h), paint);
    }
    paint(context);
}

void TWStyle::drawGraphicTextInRect(QPainter &painter, const Rect &rect)
{
    if (m_name.isEmpty())
        m_name = QStringLiteral("Untitled");
    const std::optional<OrderedDictionary> attributes =
        OrderedDictionary::fromVariant(value(GraphicGroup, QStringLiteral("stringAttributes")));
    std::optional<Font> font;
    if (attributes) {
        const QVariant f = attributes->value(NSFontAttributeName);
        if (f.metaType() == QMetaType::fromType<Font>())
            font = f.value<Font>();
    }
    const QFont nameFont =
        font ? font->withSize(12).toQFont() : Font(QStringLiteral("Helvetica"), 12).toQFont();
    const QColor color =
        (attributes ? colorValue(attributes->value(NSForegroundColorAttributeName)) : std::nullopt)
            .value_or(Color::blackColor())
            .toQColor();
    const QString suffix =
        font ? QStringLiteral(" (%1pt)").arg(qRound(font->pointSize())) : QString();

    const QFontMetricsF nameMetrics(nameFont);
    const QFontMetricsF suffixMetrics(labelFont());
    const qreal height =
        std::max(nameMetrics.height(), suffix.isEmpty() ? 0 : suffixMetrics.height());
    const qreal top = rect.y() + rect.height() / 2 - height / 2;
    const qreal baseline = top + std::max(nameMetrics.ascent(), suffixMetrics.ascent());
    qreal x = rect.width() / 2;
    painter.setPen(color);
    painter.setFont(nameFont);
    painter.drawText(QPointF(x, baseline), m_name);
    x += nameMetrics.horizontalAdvance(m_name);
    if (!suffix.isEmpty()) {
        painter.setFont(labelFont());
        painter.drawText(QPointF(x, baseline), suffix);
    }
}

void TWStyle::drawMapBackgroundInRect(QPainter &painter, const Rect &rect) const
{
    const OrderedDictionary m = group(MapGroup);
    const float w = rect.width();
    const float h = rect.height();
    // The rectangle is in the painter's own units, wherever it paints.
    DrawingContext context(painter, true);
    const BezierPath path = BezierPath::bezierPathWithRect(Rect(8, 8, w / 3 - 8, h - 16), 4, 1);
    context.fillPath(path, colorValue(m.value(QStringLiteral("backgroundColor")))
                               .value_or(Color::whiteColor())
                               .toQColor());
    context.strokePath(path, SystemColors::lightGrayColor().toQColor());

    const float A = (w / 3 - 8) / 2 - 4;
    const float B = h - 20;
    const float S = std::min(A, B);
    if (m.contains(QStringLiteral("backgroundImageData"))) {
        const QVariant opacity = m.value(QStringLiteral("backgroundImageOpacity"));
        painter.save();
        painter.setOpacity(opacity.isValid() ? opacity.toDouble() : 1.0);
        painter.drawImage(QRectF(10 + A / 2 - S / 2, 10 + B / 2 - S / 2, S, S),
                          TWStyleImages::imageNamed(QStringLiteral("TWStyleImage")));
        painter.restore();
    }
    const float side = 0.75f * std::min(A, B);
    const QRectF sample(10 + (w / 3 - 8) / 2 + A / 2 - side / 2, 10 + B / 2 - side / 2, side, side);
    painter.save();
    if (m.value(QStringLiteral("graphicColoringMode")).toInt() == 1) {
        painter.setOpacity(m.value(QStringLiteral("rainbowSaturation")).toDouble());
        painter.drawImage(sample, TWStyleImages::imageNamed(QStringLiteral("Circle3")));
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.8f));
        painter.drawEllipse(sample);
    }
    painter.restore();
}

void TWStyle::drawMapTitleInRect(QPainter &painter, const Rect &rect) const
{
    const QFontMetricsF metrics(labelFont());
    const qreal top = rect.y() + rect.height() / 2 - metrics.height() / 2;
    painter.setPen(Qt::black);
    painter.setFont(labelFont());
    painter.drawText(QPointF(rect.width() / 3 + 8, top + metrics.ascent()), m_name);
}
