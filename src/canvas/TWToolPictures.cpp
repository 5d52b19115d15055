#include "canvas/TWToolPictures.h"

#include "canvas/TWGraphicView.h"
#include "interface/TWBadgeImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace TWToolPictures {

namespace {

const char *const CursorNames[] = {
    "",           "cursorAddChild", "cursorAddSibling", "cursorZap", "cursorGraft",
    "LinkCursor", "zoomInCursor",   "HandCursor"};

// Drawn on a 16-unit square, scaled to the size asked for.
void drawPicture(QPainter &p, const QString &name)
{
    const QPen ink(Qt::black, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const QPen halo(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    auto stroke = [&](const QPainterPath &path) {
        p.strokePath(path, halo);
        p.strokePath(path, ink);
    };
    auto box = [&](QRectF r, const QColor &fill) {
        QPainterPath path;
        path.addRoundedRect(r, 1.5, 1.5);
        p.fillPath(path, fill);
        stroke(path);
    };
    if (name == QLatin1String("arrowTool")) {
        QPainterPath arrow;
        arrow.moveTo(4, 1.5);
        arrow.lineTo(4, 13);
        arrow.lineTo(7, 10);
        arrow.lineTo(9.5, 14.5);
        arrow.lineTo(11, 13.7);
        arrow.lineTo(8.6, 9.3);
        arrow.lineTo(12.5, 9.3);
        arrow.closeSubpath();
        p.fillPath(arrow, Qt::black);
        p.strokePath(arrow, QPen(Qt::white, 0.8));
    } else if (name == QLatin1String("cursorAddChild")) {
        QPainterPath link;
        link.moveTo(6, 8);
        link.lineTo(10, 8);
        stroke(link);
        box(QRectF(1.5, 5.5, 5, 5), QColor(230, 230, 230));
        box(QRectF(9.5, 5.5, 5, 5), QColor(120, 200, 120));
    } else if (name == QLatin1String("cursorAddSibling")) {
        QPainterPath link;
        link.moveTo(8, 6);
        link.lineTo(8, 10);
        stroke(link);
        box(QRectF(4.5, 1.5, 7, 4.5), QColor(230, 230, 230));
        box(QRectF(4.5, 10, 7, 4.5), QColor(120, 200, 120));
    } else if (name == QLatin1String("cursorZap")) {
        QPainterPath bolt;
        bolt.moveTo(10, 1);
        bolt.lineTo(4, 9);
        bolt.lineTo(8, 9);
        bolt.lineTo(6, 15);
        bolt.lineTo(12, 7);
        bolt.lineTo(8, 7);
        bolt.closeSubpath();
        p.fillPath(bolt, QColor(250, 200, 40));
        stroke(bolt);
    } else if (name == QLatin1String("cursorGraft")) {
        // A branch carried onto its new parent: not the curved arrow that
        // stands for link lines elsewhere.
        QPainterPath arrow;
        arrow.moveTo(5, 10);
        arrow.lineTo(10, 6);
        arrow.moveTo(7, 5.6);
        arrow.lineTo(10, 6);
        arrow.lineTo(9.8, 9);
        stroke(arrow);
        box(QRectF(9, 1.5, 5.5, 4), QColor(230, 230, 230));
        box(QRectF(1.5, 10.5, 5.5, 4), QColor(120, 200, 120));
    } else if (name == QLatin1String("LinkCursor")) {
        QPainterPath line;
        line.moveTo(4, 12);
        line.cubicTo(4, 6, 12, 10, 12, 4);
        stroke(line);
        p.setPen(ink);
        p.setBrush(QColor(90, 140, 230));
        p.drawEllipse(QPointF(4, 12), 2.2, 2.2);
        p.drawEllipse(QPointF(12, 4), 2.2, 2.2);
    } else if (name == QLatin1String("zoomInCursor") || name == QLatin1String("zoomOutCursor")) {
        QPainterPath glass;
        glass.addEllipse(QPointF(7, 7), 4.5, 4.5);
        glass.moveTo(10.3, 10.3);
        glass.lineTo(14.5, 14.5);
        p.fillPath(glass, Qt::white);
        stroke(glass);
        QPainterPath sign;
        sign.moveTo(5, 7);
        sign.lineTo(9, 7);
        if (name == QLatin1String("zoomInCursor")) {
            sign.moveTo(7, 5);
            sign.lineTo(7, 9);
        }
        p.strokePath(sign, ink);
    } else if (name == QLatin1String("HandCursor")) {
        QPainterPath hand;
        hand.addRoundedRect(QRectF(3.5, 6.5, 9, 7.5), 2.5, 2.5);
        for (int i = 0; i < 4; ++i)
            hand.addRoundedRect(QRectF(3.5 + 2.3 * i, 2 + (i == 0 || i == 3 ? 1.5 : 0), 2.1, 6), 1,
                                1);
        hand.setFillRule(Qt::WindingFill);
        p.fillPath(hand.simplified(), Qt::white);
        stroke(hand.simplified());
    } else if (name == QLatin1String("toolPalette1")) {
        QFont font = p.font();
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.setBrush(QColor(60, 60, 60));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(1, 1, 10, 10));
        p.setPen(Qt::white);
        p.drawText(QRectF(1, 0.5, 10, 10), Qt::AlignCenter, QStringLiteral("1"));
    } else if (name == QLatin1String("toolPaletteInfinite")) {
        p.setBrush(QColor(200, 40, 40));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(1, 1, 10, 10));
        QPainterPath loop;
        loop.moveTo(6, 6);
        loop.cubicTo(4.5, 4, 2.5, 4.5, 2.5, 6);
        loop.cubicTo(2.5, 7.5, 4.5, 8, 6, 6);
        loop.cubicTo(7.5, 4, 9.5, 4.5, 9.5, 6);
        loop.cubicTo(9.5, 7.5, 7.5, 8, 6, 6);
        p.strokePath(loop, QPen(Qt::white, 1.1));
    } else if (name == QLatin1String("closeBoxNormal") ||
               name == QLatin1String("closeBoxRollover")) {
        const bool over = name == QLatin1String("closeBoxRollover");
        p.setPen(QPen(QColor(90, 90, 90), 0.8));
        p.setBrush(over ? QColor(220, 70, 60) : QColor(200, 200, 200));
        p.drawEllipse(QRectF(1, 1, 10, 10));
        if (over) {
            p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(4, 4), QPointF(8, 8));
            p.drawLine(QPointF(8, 4), QPointF(4, 8));
        }
    }
}

} // namespace

QString cursorName(int mode, bool option)
{
    if (mode < 0 || mode > 7)
        return QString();
    if (mode == TWGraphicView::ZoomMode && option)
        return QStringLiteral("zoomOutCursor");
    return QString::fromLatin1(CursorNames[mode]);
}

QImage picture(const QString &name, int size)
{
    const QImage registered = TWBadgeImages::imageNamed(name);
    if (!registered.isNull())
        return registered.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Badges and close boxes are drawn on 12 units, the rest on 16.
    const bool small =
        name.startsWith(QLatin1String("toolPalette")) || name.startsWith(QLatin1String("closeBox"));
    p.scale(size / (small ? 12.0 : 16.0), size / (small ? 12.0 : 16.0));
    drawPicture(p, name);
    return image;
}

QCursor cursor(int mode, bool option)
{
    const QString name = cursorName(mode, option);
    if (name.isEmpty())
        return QCursor(Qt::ArrowCursor);
    return QCursor(QPixmap::fromImage(picture(name, 16)), 8, 8);
}

QImage toolImage(int mode, int size)
{
    return picture(mode == 0 ? QStringLiteral("arrowTool") : cursorName(mode, false), size);
}

} // namespace TWToolPictures
