#include "support/TWStyleImages.h"

#include <QConicalGradient>
#include <QHash>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>

namespace TWStyleImages {

namespace {

constexpr qreal Scale = 2.0;

QImage canvas(QSizeF points)
{
    QImage image((points * Scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(Scale);
    return image;
}

QImage drawn(const QString &name)
{
    const QSizeF size = pointSize(name);
    if (size.isEmpty())
        return {};
    QImage image = canvas(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(QPointF(0, 0), size);
    if (name == QLatin1String("Circle3")) {
        // Hues clockwise from red at twelve o'clock, paler towards the centre.
        QConicalGradient hues(r.center(), 90);
        for (int i = 0; i <= 12; ++i)
            hues.setColorAt(i / 12.0, QColor::fromHsvF(std::fmod(1.0 - i / 12.0, 1.0), 0.9, 1.0));
        p.setPen(Qt::NoPen);
        p.setBrush(hues);
        p.drawEllipse(r.adjusted(2, 2, -2, -2));
        QRadialGradient pale(r.center(), size.width() / 2 - 2);
        pale.setColorAt(0, QColor(255, 255, 255, 150));
        pale.setColorAt(1, QColor(255, 255, 255, 0));
        p.setBrush(pale);
        p.drawEllipse(r.adjusted(2, 2, -2, -2));
    } else if (name == QLatin1String("BorderCircle")) {
        p.setPen(QPen(QColor(70, 70, 70), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(r.adjusted(1.5, 1.5, -1.5, -1.5));
    } else if (name == QLatin1String("RainbowSliderEnabledKnob") ||
               name == QLatin1String("RainbowSliderKnob")) {
        const bool enabled = name.contains(QLatin1String("Enabled"));
        p.setPen(QPen(enabled ? QColor(30, 30, 30) : QColor(130, 130, 130), 1.0));
        p.setBrush(enabled ? QColor(252, 252, 252) : QColor(205, 205, 205));
        p.drawEllipse(r.adjusted(5, 5, -5, -5));
    } else if (name == QLatin1String("TWStyleImage")) {
        // A small landscape: the sign of a background picture.
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(QColor(200, 225, 250));
        p.drawRoundedRect(r.adjusted(1, 4, -1, -4), 2, 2);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(90, 160, 80));
        QPolygonF hills{{2, 27}, {11, 15}, {18, 22}, {23, 17}, {30, 27}};
        p.drawPolygon(hills);
        p.setBrush(QColor(250, 200, 40));
        p.drawEllipse(QPointF(23, 10), 3, 3);
    }
    return image;
}

} // namespace

QSizeF pointSize(const QString &name)
{
    if (name == QLatin1String("Circle3") || name == QLatin1String("BorderCircle"))
        return {45, 45};
    if (name == QLatin1String("RainbowSliderEnabledKnob") ||
        name == QLatin1String("RainbowSliderKnob"))
        return {20, 20};
    if (name == QLatin1String("TWStyleImage"))
        return {32, 32};
    return {};
}

QImage imageNamed(const QString &name)
{
    static QHash<QString, QImage> cache;
    const auto it = cache.constFind(name);
    if (it != cache.cend())
        return *it;
    const QImage image = drawn(name);
    cache.insert(name, image);
    return image;
}

} // namespace TWStyleImages
