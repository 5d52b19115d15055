#include "interface/TWRainbowAngleControl.h"

#include "platform/VariantTypes.h"
#include "support/GGVecLib.h"
#include "support/TWStyleImages.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace {

constexpr float TwoPi = float(2 * M_PI);
constexpr qreal Centre = TWRainbowAngleControl::Side / 2;
constexpr qreal KnobSide = 20.0;

bool isNumber(const QVariant &v)
{
    return VariantTypes::numberKind(v) != VariantTypes::NumberKind::None;
}

} // namespace

TWRainbowAngleControl::TWRainbowAngleControl(QWidget *parent) : QWidget(parent)
{
    setFixedSize(int(Side), int(Side));
}

void TWRainbowAngleControl::bind(const QString &binding, Writer writer)
{
    if (exposedBindings().contains(binding) && writer)
        m_bindings.insert(binding, std::move(writer));
}

void TWRainbowAngleControl::unbind(const QString &binding)
{
    m_bindings.remove(binding);
}

void TWRainbowAngleControl::write(const QString &binding, const QVariant &number) const
{
    const auto it = m_bindings.constFind(binding);
    if (it != m_bindings.cend())
        (*it)(number);
}

void TWRainbowAngleControl::setAngle(const QVariant &number)
{
    if (!isNumber(number))
        return;
    m_angle = number.toFloat();
    write(AngleBinding, QVariant(m_angle));
    update();
}

void TWRainbowAngleControl::setAlpha(const QVariant &number)
{
    if (!isNumber(number) || number.toFloat() == m_alpha)
        return;
    m_alpha = number.toFloat();
    write(AlphaBinding, QVariant(m_alpha));
    update();
}

float TWRainbowAngleControl::angleOfPoint(QPointF location)
{
    // From the pointer towards the centre, with y upwards.
    return calculateAngleFromVertical(float(Centre - location.x()), float(location.y() - Centre));
}

void TWRainbowAngleControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return QWidget::mousePressEvent(event);
    m_tracking = true;
    m_lastAngle = angleOfPoint(event->position());
}

void TWRainbowAngleControl::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_tracking || !(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    turnTo(event->position());
}

void TWRainbowAngleControl::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_tracking || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    // The release turns the wheel like a drag, then ends it.
    turnTo(event->position());
    m_tracking = false;
}

void TWRainbowAngleControl::turnTo(QPointF location)
{
    const float now = angleOfPoint(location);
    emit angleWillChange();
    float turned = m_angle + (now - m_lastAngle);
    if (turned > TwoPi)
        turned -= TwoPi;
    else if (turned < 0)
        turned += TwoPi;
    setAngle(QVariant(turned));
    emit angleDidChange();
    m_lastAngle = now;
}

void TWRainbowAngleControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const bool enabled = isEnabled();
    const QRectF whole(0, 0, Side, Side);

    painter.save();
    // Clockwise on screen, as the angle is measured.
    painter.translate(Centre, Centre);
    painter.rotate(qRadiansToDegrees(double(m_angle)));
    painter.translate(-Centre, -Centre);
    painter.setOpacity(enabled ? m_alpha : DisabledOpacity);
    painter.drawImage(whole, TWStyleImages::imageNamed(QStringLiteral("Circle3")));
    painter.restore();

    painter.drawImage(whole, TWStyleImages::imageNamed(QStringLiteral("BorderCircle")));

    const QPointF knob(Centre + KnobRadius * std::sin(m_angle),
                       Centre - KnobRadius * std::cos(m_angle));
    painter.setOpacity(enabled ? 1.0 : DisabledOpacity);
    painter.drawImage(QRectF(knob.x() - KnobSide / 2, knob.y() - KnobSide / 2, KnobSide, KnobSide),
                      TWStyleImages::imageNamed(enabled ? QStringLiteral("RainbowSliderEnabledKnob")
                                                        : QStringLiteral("RainbowSliderKnob")));
}
