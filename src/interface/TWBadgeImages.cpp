#include "interface/TWBadgeImages.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace TWBadgeImages {

namespace {

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage drawn(const QString &name)
{
    if (name == QLatin1String("rightArrowCursor")) {
        QImage image = canvas(10, 10);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath arrow;
        arrow.moveTo(1, 1);
        arrow.lineTo(1, 9);
        arrow.lineTo(3.5, 6.5);
        arrow.lineTo(5.5, 9.5);
        arrow.lineTo(6.5, 8.5);
        arrow.lineTo(4.5, 5.5);
        arrow.lineTo(8, 5.5);
        arrow.closeSubpath();
        p.fillPath(arrow, Qt::black);
        return image;
    }
    if (name == QLatin1String("RemoveCross")) {
        QImage image = canvas(8, 8);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(90, 90, 90), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(1.5, 1.5), QPointF(6.5, 6.5));
        p.drawLine(QPointF(6.5, 1.5), QPointF(1.5, 6.5));
        return image;
    }
    if (name == QLatin1String("tDownArrowLight") || name == QLatin1String("tDownArrowDark")) {
        QImage image = canvas(7, 5);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath triangle;
        triangle.moveTo(0, 0.5);
        triangle.lineTo(7, 0.5);
        triangle.lineTo(3.5, 4.5);
        triangle.closeSubpath();
        p.fillPath(triangle, name.endsWith(QLatin1String("Light")) ? QColor(235, 235, 235)
                                                                   : QColor(40, 40, 40));
        return image;
    }
    if (name == QLatin1String("GreenPlus")) {
        QImage image = canvas(9, 9);
        QPainter p(&image);
        p.fillRect(QRect(3, 0, 3, 9), QColor(40, 160, 40));
        p.fillRect(QRect(0, 3, 9, 3), QColor(40, 160, 40));
        return image;
    }
    if (name == QLatin1String("tElipsisBottom") || name == QLatin1String("tElipsisBottomPressed")) {
        // A strip across the foot of the button with three dots.
        QImage image = canvas(24, 7);
        QPainter p(&image);
        const bool pressed = name.endsWith(QLatin1String("Pressed"));
        p.fillRect(image.rect(), pressed ? QColor(150, 150, 150) : QColor(215, 215, 215));
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(pressed ? Qt::white : QColor(60, 60, 60));
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i)
            p.drawEllipse(QPointF(8 + 4 * i, 3.5), 1.2, 1.2);
        return image;
    }
    return QImage();
}

QHash<QString, QImage> &registry()
{
    static QHash<QString, QImage> images;
    return images;
}

} // namespace

QImage imageNamed(const QString &name)
{
    QHash<QString, QImage> &images = registry();
    auto it = images.find(name);
    if (it == images.end())
        it = images.insert(name, drawn(name));
    return it.value();
}

void registerImage(const QString &name, const QImage &image)
{
    registry().insert(name, image);
}

} // namespace TWBadgeImages
