#include "interface/TWCSliderCell.h"

#include <QPainter>
#include <QStyleOptionSlider>

QRectF TWCSliderCell::knobOval(const QRectF &knob)
{
    return knob.adjusted(2.0, 2.0, -2.0, -2.0);
}

void TWCSliderCell::drawKnob(QPainter &painter, const QRectF &knob)
{
    const QRectF oval = knobOval(knob);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(oval);
    painter.setBrush(QColor::fromRgbF(0.2, 0.4, 0.6, 0.6));
    painter.drawEllipse(oval);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor::fromRgbF(0.2, 0.4, 0.6, 1.0), 1.0));
    painter.drawEllipse(oval);
    painter.restore();
}

QRect TWCSliderCell::knobRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

void TWCSliderCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
    drawKnob(painter, knobRect());
}
