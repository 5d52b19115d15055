#include "interface/RainbowSlider.h"

#include "support/GGVecLib.h"

#include <QConicalGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <cmath>

namespace {

constexpr qreal kCentre = RainbowSlider::side / 2;
constexpr qreal kKnobRadius = 14.0;
constexpr qreal kKnobSide = 20.0;

// The dial's pictures, drawn once: the colour wheel that turns, the fixed
// ring round it and the two knobs.
QPixmap picture(int which)
{
    static QPixmap pictures[4];
    QPixmap &pixmap = pictures[which];
    if (!pixmap.isNull())
        return pixmap;
    const qreal size = which < 2 ? RainbowSlider::side : kKnobSide;
    pixmap = QPixmap(int(size * 2), int(size * 2));
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, size, size);
    switch (which) {
    case 0: { // wheel: hues clockwise from red at twelve o'clock
        QConicalGradient hues(r.center(), 90);
        for (int i = 0; i <= 6; ++i)
            hues.setColorAt(i / 6.0, QColor::fromHsvF(std::fmod(1.0 - i / 6.0, 1.0), 0.85, 1.0));
        p.setPen(Qt::NoPen);
        p.setBrush(hues);
        p.drawEllipse(r.adjusted(2, 2, -2, -2));
        break;
    }
    case 1: // border ring
        p.setPen(QPen(QColor(90, 90, 90), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(r.adjusted(1.5, 1.5, -1.5, -1.5));
        break;
    case 2:   // enabled knob
    case 3: { // disabled knob
        const bool enabled = which == 2;
        p.setPen(QPen(enabled ? QColor(40, 40, 40) : QColor(140, 140, 140), 1.0));
        p.setBrush(enabled ? QColor(250, 250, 250) : QColor(200, 200, 200));
        p.drawEllipse(r.adjusted(5, 5, -5, -5));
        break;
    }
    }
    return pixmap;
}

} // namespace

RainbowSlider::RainbowSlider(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

float RainbowSlider::angleOfPoint(QPointF location) const
{
    // Angles are measured with y upwards, from the point towards the centre.
    return calculateAngleFromVertical(float(kCentre - location.x()), float(location.y() - kCentre));
}

void RainbowSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return QWidget::mousePressEvent(event);
    m_tracking = true;
    m_referenceAngle = angleOfPoint(event->position());
}

void RainbowSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (m_tracking && (event->buttons() & Qt::LeftButton))
        trackTo(event->position());
}

void RainbowSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_tracking || event->button() != Qt::LeftButton)
        return;
    trackTo(event->position());
    m_tracking = false;
}

void RainbowSlider::trackTo(QPointF location)
{
    const float newAngle = angleOfPoint(location);
    m_angle += newAngle - m_referenceAngle;
    if (m_angle >= twoPi)
        m_angle -= twoPi;
    else if (m_angle < 0)
        m_angle += twoPi;
    m_referenceAngle = newAngle;
    update();
    emit action(this);
}

void RainbowSlider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.save();
    // Clockwise on screen, as the angle runs.
    p.translate(kCentre, kCentre);
    p.rotate(qRadiansToDegrees(double(m_angle)));
    p.translate(-kCentre, -kCentre);
    p.drawPixmap(QPointF(0, 0), picture(0));
    p.restore();
    p.drawPixmap(QPointF(0, 0), picture(1));
    const QPointF knobCentre(kKnobRadius * std::sin(m_angle) + kCentre,
                             kCentre - kKnobRadius * std::cos(m_angle));
    p.drawPixmap(knobCentre - QPointF(kKnobSide / 2, kKnobSide / 2), picture(isEnabled() ? 2 : 3));
}
