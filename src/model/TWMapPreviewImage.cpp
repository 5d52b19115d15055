#include "model/TWMapPreviewImage.h"

#include "render/DrawingContext.h"

#include <QPainter>

bool TWMapPreviewImage::drawInRect(const DrawingContext &context, const QRectF &rect)
{
    for (const auto &rep : std::as_const(m_reps))
        if (rep && rep->drawInRect(context, rect))
            return true;
    return false;
}

QImage TWMapPreviewImage::toImage(QSize pixels)
{
    if (pixels.isEmpty() || qint64(pixels.width()) * pixels.height() > MaximumPixels)
        return {};
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    {
        DrawingContext context(painter, true);
        drawInRect(context, QRectF(QPointF(0, 0), QSizeF(pixels)));
    }
    return image;
}
