#include "MindManagerImpExp/mmAdornments.h"

#include "MindManagerImpExp/mmTables.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace mmAdornments {

namespace {

// A colour of the picture's own name, so that flags and pens tell apart.
QColor colourOf(const QString &path)
{
    static const QPair<const char *, QColor> named[] = {
        {"Red", QColor(210, 40, 40)},          {"Blue", QColor(40, 90, 200)},
        {"Green", QColor(40, 150, 60)},        {"Black", QColor(30, 30, 30)},
        {"Orange", QColor(240, 140, 20)},      {"Yellow", QColor(230, 200, 20)},
        {"Purple", QColor(130, 50, 170)},      {"Gray", QColor(128, 128, 128)},
        {"Light Blue", QColor(110, 180, 240)},
    };
    const QString file = path.section(u'/', -1);
    QColor colour = QColor::fromHsv(int(qHash(path) % 360), 160, 200);
    for (const auto &[name, c] : named) {
        if (file.contains(QLatin1String(name)))
            colour = c;
    }
    return colour;
}

QImage draw(const QString &path)
{
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = colourOf(path);
    p.setPen(QPen(colour.darker(150), 1));
    p.setBrush(colour);
    const QString folder = path.section(u'/', 1, 1);
    if (folder == QLatin1String("Objects") && path.contains(QLatin1String("/Flags/"))) {
        p.drawLine(QPointF(3.5, 1.5), QPointF(3.5, 14.5));
        p.drawRect(QRectF(4, 2, 9, 6));
    } else if (folder == QLatin1String("Arrows")) {
        QPainterPath arrow;
        arrow.moveTo(8, 1);
        arrow.lineTo(14, 8);
        arrow.lineTo(10, 8);
        arrow.lineTo(10, 15);
        arrow.lineTo(6, 15);
        arrow.lineTo(6, 8);
        arrow.lineTo(2, 8);
        arrow.closeSubpath();
        p.drawPath(arrow);
    } else if (folder == QLatin1String("People")) {
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(colour.darker(200));
        p.drawEllipse(QRectF(5, 5, 2, 2));
        p.drawEllipse(QRectF(9, 5, 2, 2));
    } else if (folder == QLatin1String("Symbols")) {
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(8, 4), QPointF(8, 9));
        p.drawPoint(QPointF(8, 12));
    } else {
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 3, 3);
        p.setPen(QPen(Qt::white, 1.5));
        p.drawLine(QPointF(4, 6), QPointF(12, 6));
        p.drawLine(QPointF(4, 10), QPointF(12, 10));
    }
    p.end();
    return image;
}

bool isStock(const QString &path)
{
    for (const mmTables::StockIcon &row : mmTables::kStockIcons) {
        if (path == QLatin1String(row.path))
            return true;
    }
    return false;
}

} // namespace

std::optional<QByteArray> pictureData(const QString &path)
{
    static QHash<QString, QByteArray> cache;
    if (const auto it = cache.constFind(path); it != cache.constEnd())
        return *it;
    if (!isStock(path))
        return std::nullopt;
    const QImage image = draw(path);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool tiff = path.endsWith(QLatin1String(".tif"));
    if (!image.save(&buffer, tiff ? "TIFF" : "PNG")) {
        if (!tiff || !image.save(&buffer, "PNG"))
            return std::nullopt;
    }
    cache.insert(path, bytes);
    return bytes;
}

} // namespace mmAdornments
