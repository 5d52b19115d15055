#include "media/TWMediaImages.h"

#include "render/PictureDrawing.h"
#include "support/TWImageLoader.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

void drawFolder(QPainter &p, QRectF r)
{
    QPainterPath tab;
    tab.addRoundedRect(
        QRectF(r.left(), r.top() + r.height() * 0.12, r.width() * 0.45, r.height() * 0.2),
        r.width() * 0.05, r.width() * 0.05);
    p.fillPath(tab, QColor(0x6a, 0x9f, 0xd8));
    QPainterPath body;
    body.addRoundedRect(QRectF(r.left(), r.top() + r.height() * 0.22, r.width(), r.height() * 0.68),
                        r.width() * 0.08, r.width() * 0.08);
    p.fillPath(body, QColor(0x8c, 0xbd, 0xef));
}

void drawStar(QPainter &p, QRectF r, QColor color)
{
    QPainterPath star;
    const QPointF c = r.center();
    const double outer = std::min(r.width(), r.height()) / 2, inner = outer * 0.45;
    for (int i = 0; i < 10; ++i) {
        const double angle = M_PI / 2 + i * M_PI / 5;
        const double radius = (i % 2) ? inner : outer;
        const QPointF point(c.x() + radius * std::cos(angle), c.y() - radius * std::sin(angle));
        i ? star.lineTo(point) : star.moveTo(point);
    }
    star.closeSubpath();
    p.fillPath(star, color);
    p.setPen(QPen(color.darker(150), std::max(1.0, r.width() / 24)));
    p.drawPath(star);
}

void drawPicture(QPainter &p, QRectF r)
{
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), std::max(1.0, r.width() / 20)));
    p.setBrush(QColor(0xe8, 0xf2, 0xfb));
    const QRectF frame =
        r.adjusted(r.width() * 0.08, r.height() * 0.18, -r.width() * 0.08, -r.height() * 0.18);
    p.drawRect(frame);
    QPainterPath hill;
    hill.moveTo(frame.bottomLeft());
    hill.lineTo(frame.left() + frame.width() * 0.4, frame.top() + frame.height() * 0.4);
    hill.lineTo(frame.left() + frame.width() * 0.65, frame.top() + frame.height() * 0.7);
    hill.lineTo(frame.left() + frame.width() * 0.8, frame.top() + frame.height() * 0.55);
    hill.lineTo(frame.bottomRight());
    hill.closeSubpath();
    p.fillPath(hill, QColor(0x5f, 0xa5, 0x4a));
    p.setBrush(QColor(0xf5, 0xc2, 0x2b));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(frame.left() + frame.width() * 0.75, frame.top() + frame.height() * 0.3),
                  frame.width() * 0.09, frame.width() * 0.09);
}

void drawCross(QPainter &p, QRectF r)
{
    p.setPen(
        QPen(QColor(0xc0, 0x30, 0x30), std::max(1.5, r.width() / 10), Qt::SolidLine, Qt::RoundCap));
    const QRectF inner =
        r.adjusted(r.width() * 0.25, r.height() * 0.25, -r.width() * 0.25, -r.height() * 0.25);
    p.drawLine(inner.topLeft(), inner.bottomRight());
    p.drawLine(inner.topRight(), inner.bottomLeft());
}

} // namespace

namespace TWMediaImages {

QImage imageNamed(const QString &name, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, size.width(), size.height());
    if (name == QLatin1String("folder")) {
        drawFolder(p, r);
    } else if (name == QLatin1String("TWAdornmentsBrowserToolbarIcon")) {
        drawStar(p, r.adjusted(1, 1, -1, -1), QColor(0xf2, 0xb7, 0x1f));
    } else if (name == QLatin1String("TWGraphicsBrowserToolbarIcon")) {
        drawStar(p, r.adjusted(r.width() * 0.35, 1, -1, -r.height() * 0.35),
                 QColor(0x4c, 0x8b, 0xd6));
        p.setBrush(QColor(0xe0, 0x5a, 0x47));
        p.setPen(Qt::NoPen);
        p.drawEllipse(r.adjusted(1, r.height() * 0.4, -r.width() * 0.4, -1));
    } else if (name == QLatin1String("TWPhotosBrowserToolbarIcon")) {
        drawPicture(p, r);
    } else {
        // The load-error pictures.
        drawPicture(p, r);
        drawCross(p, r);
    }
    return image;
}

QImage thumbnailForFile(const QString &path, int maxSide)
{
    const std::optional<Image> image = TWImageLoader::imageWithContentsOfFile(path);
    if (!image)
        return {};
    QImage pixels = image->toQImage();
    if (pixels.isNull()) {
        // A page description: rasterised at the thumbnail's size.
        QSizeF size(image->size().width, image->size().height);
        if (!(size.width() > 0) || !(size.height() > 0))
            size = QSizeF(maxSide, maxSide);
        const QSize target = size.scaled(maxSide, maxSide, Qt::KeepAspectRatio).toSize();
        if (target.isEmpty())
            return {};
        pixels = image->dataType() == "pdf" ? PictureDrawing::renderPDF(image->data(), target)
                                            : PictureDrawing::renderEPS(image->data(), target);
    }
    if (pixels.width() > maxSide || pixels.height() > maxSide)
        pixels = pixels.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return pixels;
}

} // namespace TWMediaImages
