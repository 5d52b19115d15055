#include "interface/TWShadowPositionBox.h"

#include "support/BezierPath.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

TWShadowPositionBox::TWShadowPositionBox(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void TWShadowPositionBox::setOffsetFromCenter(QPointF offset)
{
    if (const auto it = m_bindings.constFind("xOffset"); it != m_bindings.cend())
        (*it)(QVariant(float(offset.x())));
    if (const auto it = m_bindings.constFind("yOffset"); it != m_bindings.cend())
        (*it)(QVariant(float(offset.y())));
    m_offsetFromCenter = offset;
    update();
}

void TWShadowPositionBox::setXOffset(float x)
{
    m_offsetFromCenter.setX(x);
    update();
}

void TWShadowPositionBox::setYOffset(float y)
{
    m_offsetFromCenter.setY(y);
    update();
}

void TWShadowPositionBox::bind(const QString &binding, BindingWriter writer)
{
    m_bindings.insert(binding, std::move(writer));
}

void TWShadowPositionBox::setValueForKey(const QString &key, const QVariant &value)
{
    if (!value.isValid())
        return setNilValueForKey(key);
    if (key == QLatin1String("xOffset"))
        setXOffset(value.toFloat());
    else if (key == QLatin1String("yOffset"))
        setYOffset(value.toFloat());
    else
        qWarning() << "TWShadowPositionBox: no key" << key;
}

void TWShadowPositionBox::setNilValueForKey(const QString &key)
{
    if (key == QLatin1String("xOffset") || key == QLatin1String("yOffset"))
        setValueForKey(key, 0.0f);
    else
        qWarning() << "TWShadowPositionBox: no value for" << key;
}

void TWShadowPositionBox::mousePressEvent(QMouseEvent *event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_tracking = true;
    processUpdateEvent(event->position());
}

void TWShadowPositionBox::mouseMoveEvent(QMouseEvent *event)
{
    if (m_tracking && (event->buttons() & Qt::LeftButton))
        processUpdateEvent(event->position());
}

void TWShadowPositionBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_tracking = false;
}

void TWShadowPositionBox::processUpdateEvent(QPointF location)
{
    const qreal w = width(), h = height();
    // The widget counts y downwards; offsets count it upwards.
    const qreal dx = std::clamp(location.x() - w / 2, -w / 2 + markerInset, w / 2 - markerInset);
    const qreal dy = std::clamp(h / 2 - location.y(), -h / 2 + markerInset, h / 2 - markerInset);
    setOffsetFromCenter({dx, dy});
    emit action(this);
}

void TWShadowPositionBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const BezierPath frame =
        BezierPath::bezierPathWithRect(Rect(0, 0, float(width()), float(height())), 4.0f, 1.0f);
    frame.fill(p, QColor::fromRgbF(0.2f, 0.2f, 0.2f, 0.1f));
    frame.stroke(p, QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3));

    const QPointF centre(width() / 2.0, height() / 2.0);
    if (isEnabled()) {
        const QPointF marker = centre + QPointF(m_offsetFromCenter.x(), -m_offsetFromCenter.y());
        p.setPen(QPen(palette().color(QPalette::Dark), 3.0));
        p.drawLine(marker - QPointF(markerInset, 0), marker + QPointF(markerInset, 0));
        p.drawLine(marker - QPointF(0, markerInset), marker + QPointF(0, markerInset));
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(Qt::black, 0.1));
    p.drawLine(centre - QPointF(4, 0), centre + QPointF(4, 0));
    p.drawLine(centre - QPointF(0, 4), centre + QPointF(0, 4));
    p.restore();
}
