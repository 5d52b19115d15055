#include "interface/TWButtonCells.h"

#include "interface/TWBadgeImages.h"

QRectF TWBadgeButtonCell::badgeRect(const Badge &badge)
{
    const QImage image = TWBadgeImages::imageNamed(badge.imageName);
    return QRectF(badge.lowerLeft.x(), badge.lowerLeft.y() - image.height(), image.width(),
                  image.height());
}

qreal TWBadgeButtonCell::imageWidth(const QString &name)
{
    return TWBadgeImages::imageNamed(name).width();
}

void TWBadgeButtonCell::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    QPainter painter(this);
    for (const Badge &badge : badges()) {
        painter.setOpacity(badge.fraction);
        painter.setCompositionMode(badge.mode);
        painter.drawImage(badgeRect(badge), TWBadgeImages::imageNamed(badge.imageName));
    }
}

QList<TWBadgeButtonCell::Badge> TWArrowCursorButtonCell::badges() const
{
    const QString name = QStringLiteral("rightArrowCursor");
    return {{name, QPointF(width() - imageWidth(name) - 12.0, height() - 3.0), 0.7}};
}

QList<TWBadgeButtonCell::Badge> TWCrossButtonCell::badges() const
{
    const QString name = QStringLiteral("RemoveCross");
    return {{name, QPointF(width() - imageWidth(name) - 2.0, height() - 1.0), 0.7}};
}

QList<TWBadgeButtonCell::Badge> TWMoreOptionsButtonCell::badges() const
{
    const QString name =
        isDown() ? QStringLiteral("tDownArrowLight") : QStringLiteral("tDownArrowDark");
    return {{name, QPointF(width() - imageWidth(name) - 5.0, height() - 5.0), 1.0}};
}

QList<TWBadgeButtonCell::Badge> TWPlusMoreOptionsButtonCell::badges() const
{
    QList<Badge> all = TWMoreOptionsButtonCell::badges();
    all.append({QStringLiteral("GreenPlus"), QPointF(7.0, height() - 3.0), 0.8});
    return all;
}
