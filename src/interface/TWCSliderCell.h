#pragma once

#include <QSlider>

class QPainter;

// A slider with a round, translucent blue knob.
class TWCSliderCell : public QSlider
{
    Q_OBJECT

public:
    using QSlider::QSlider;

    static QRectF knobOval(const QRectF &knobRect);
    static void drawKnob(QPainter &painter, const QRectF &knobRect);
    QRect knobRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
