#pragma once

#include <QWidget>

// A round dial, 45 points across, that sets an angle: dragging turns it by
// the angle the pointer sweeps round its centre, wherever the drag starts.
// The angle is in radians, clockwise from twelve o'clock, in [0, 2pi).
class RainbowSlider : public QWidget
{
    Q_OBJECT
public:
    static constexpr float twoPi = 6.283185f;
    static constexpr qreal side = 45.0;

    explicit RainbowSlider(QWidget *parent = nullptr);

    float angle() const { return m_angle; }
    // Stores the angle as it is, without redisplay.
    void setAngle(float angle) { m_angle = angle; }
    // Disabled (QWidget::setEnabled), the dial ignores clicks and shows the plain knob.
    bool enabled() const { return isEnabled(); }

    QSize sizeHint() const override { return {int(side), int(side)}; }

signals:
    // Sent at every step of a drag.
    void action(RainbowSlider *sender);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    float angleOfPoint(QPointF location) const;
    void trackTo(QPointF location);

    float m_angle = 0.0f;
    bool m_tracking = false;
    float m_referenceAngle = 0.0f;
};
