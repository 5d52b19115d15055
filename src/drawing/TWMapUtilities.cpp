#include "drawing/TWMapUtilities.h"

#include "drawing/DrawingContext.h"
#include "drawing/TWTextLayout.h"
#include "support/AttributedString.h"
#include "support/Font.h"

#include <QBuffer>
#include <QPainter>
#include <cmath>

int TWMapUtilities::tintedComponent(int iconComponent, int iconAlpha, int colorComponent)
{
    // Plus-darker of the colour over the icon, read back, then premultiplied
    // by the icon's alpha with rounding.
    const int darker = std::max(0, colorComponent + iconComponent - 255);
    return (darker * iconAlpha + 127) / 255;
}

QImage TWMapUtilities::generateImageOfColor(const std::optional<Color> &color, const QImage &image,
                                            const QImage &overlay)
{
    if (image.isNull())
        return {};
    if (!color) {
        if (overlay.isNull())
            return image;
        QImage composite = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&composite);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(QPointF(0, 0), overlay);
        return composite;
    }

    const QImage icon = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QColor tint = color->toQColor();
    const auto premultiplied = [&](qreal component) {
        return int(std::lround(std::clamp<qreal>(component * tint.alphaF(), 0, 1) * 255));
    };
    const int red = premultiplied(tint.redF());
    const int green = premultiplied(tint.greenF());
    const int blue = premultiplied(tint.blueF());

    QImage tinted(icon.size(), QImage::Format_ARGB32_Premultiplied);
    tinted.setDotsPerMeterX(icon.dotsPerMeterX());
    tinted.setDotsPerMeterY(icon.dotsPerMeterY());
    for (int y = 0; y < icon.height(); ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(icon.constScanLine(y));
        QRgb *out = reinterpret_cast<QRgb *>(tinted.scanLine(y));
        for (int x = 0; x < icon.width(); ++x) {
            const int a = qAlpha(in[x]);
            out[x] = qRgba(tintedComponent(qRed(in[x]), a, red),
                           tintedComponent(qGreen(in[x]), a, green),
                           tintedComponent(qBlue(in[x]), a, blue), a);
        }
    }
    if (!overlay.isNull()) {
        QPainter painter(&tinted);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(QPointF(0, 0), overlay);
    }
    return tinted;
}

std::optional<QByteArray> TWMapUtilities::textImageForText(const QString &text,
                                                           const QString &fontName)
{
    if (fontName.isEmpty())
        return std::nullopt;
    const AttributedString string(
        text, TextAttributes{{NSFontAttributeName, QVariant::fromValue(Font(fontName, 12.0))}});
    TWTextLayout &engine = TWTextLayout::shared();
    engine.setLineFragmentPadding(TWTextLayout::defaultLineFragmentPadding);
    engine.setContainerSize(Size(TWTextLayout::containerMaximum, TWTextLayout::containerMaximum));
    engine.setAttributedString(string);
    const Rect used = engine.usedRect();
    if (!(used.size.width > 0) || !(used.size.height > 0)) {
        engine.clear();
        return std::nullopt;
    }
    QImage image = DrawingContext::makeImage(used.size);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        engine.draw(painter, Point(0, 0));
    }
    engine.clear();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "png"))
        return std::nullopt;
    return png;
}
