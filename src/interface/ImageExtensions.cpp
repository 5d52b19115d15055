#include "interface/ImageExtensions.h"

#include <QLinearGradient>
#include <QPainter>
#include <algorithm>

namespace ImageExtensions {

std::optional<Image> imageWithRepresentation(const ImageRepresentation *representation)
{
    if (!representation)
        return std::nullopt;
    Image image;
    image.addRepresentation(*representation);
    image.setSize(std::visit([](const auto &rep) { return rep.size(); }, *representation));
    return image;
}

QSizeF sizeScaledToFit(const QSizeF &imageSize, const QSizeF &size)
{
    if (imageSize.width() <= 0 || imageSize.height() <= 0)
        return imageSize;
    const qreal s = std::min(size.width() / imageSize.width(), size.height() / imageSize.height());
    return QSizeF(imageSize.width() * s, imageSize.height() * s);
}

void scaleToSize(Image &image, const QSizeF &size)
{
    image.setScalesWhenResized(true);
    image.setSize(Size::fromQt(sizeScaledToFit(image.size().toQt(), size)));
}

QRectF drawinigRectForImageScaledToSize(const QSizeF &imageSize, const QSizeF &size)
{
    const QSizeF scaled = sizeScaledToFit(imageSize, size);
    return QRectF((size.width() - scaled.width()) / 2, (size.height() - scaled.height()) / 2,
                  scaled.width(), scaled.height());
}

QImage imageScaledToSize(const QImage &image, const QSizeF &size)
{
    QImage result(size.toSize().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    if (image.isNull())
        return result;
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawImage(drawinigRectForImageScaledToSize(image.size(), size), image);
    return result;
}

QImage reflectionImage(const QImage &image, qreal fraction)
{
    QImage result(image.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    if (image.isNull())
        return result;
    const qreal h = image.height();
    QPainter painter(&result);
    // The gradient starts at the mirrored picture's top edge (its foot).
    QLinearGradient gradient(0, 0, 0, h * fraction);
    gradient.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.5));
    gradient.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0));
    painter.fillRect(QRectF(0, 0, image.width(), h * fraction), gradient);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.drawImage(0, 0, image.mirrored(false, true));
    return result;
}

Size dropSize(Size size, bool keepSize)
{
    if (keepSize || (size.width <= DropSizeLimit && size.height <= DropSizeLimit))
        return size;
    // The longer side becomes the limit exactly.
    if (size.width > size.height)
        return Size(DropSizeLimit, size.height * DropSizeLimit / size.width);
    return Size(size.width * DropSizeLimit / size.height, DropSizeLimit);
}

void scaleForAttachedGraphic(Image &image, bool keepSize)
{
    image.setScalesWhenResized(true);
    image.setSize(dropSize(image.size(), keepSize));
}

void scaleForEnclosedGraphic(Image &image, bool keepSize)
{
    scaleForAttachedGraphic(image, keepSize);
}

} // namespace ImageExtensions
