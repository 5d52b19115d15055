#pragma once

#include <QHash>
#include <QVariant>
#include <QWidget>
#include <functional>

// The colour wheel of the map palettes, 45 x 45 points: dragging turns it
// by the angle the pointer sweeps about the centre (grabbing it anywhere
// does not make it jump), and its opacity shows the rainbow saturation.
//
// `angle` (radians, clockwise from straight up, kept in [0, 2pi] by
// dragging) and `alpha` (0 to 1) can each be bound to a writer, which the
// control calls with the new number whenever the value is set.
class TWRainbowAngleControl : public QWidget
{
    Q_OBJECT
public:
    static constexpr qreal Side = 45.0;
    static constexpr qreal KnobRadius = 14.0;
    static constexpr qreal DisabledOpacity = 0.4;
    static inline const QString AngleBinding = QStringLiteral("angle");
    static inline const QString AlphaBinding = QStringLiteral("alpha");

    using Writer = std::function<void(const QVariant &number)>;

    explicit TWRainbowAngleControl(QWidget *parent = nullptr);

    static QStringList exposedBindings() { return {AngleBinding, AlphaBinding}; }
    // A binding the control does not expose is ignored.
    void bind(const QString &binding, Writer writer);
    void unbind(const QString &binding);
    bool isBound(const QString &binding) const { return m_bindings.contains(binding); }

    QVariant angle() const { return m_angle; }
    QVariant alpha() const { return m_alpha; }
    // Anything but a number is ignored. The angle is written through its
    // binding even when unchanged; alpha only when it changes.
    void setAngle(const QVariant &number);
    void setAlpha(const QVariant &number);

    QSize sizeHint() const override { return {int(Side), int(Side)}; }

signals:
    // Around each change a drag makes.
    void angleWillChange();
    void angleDidChange();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    static float angleOfPoint(QPointF location);
    void turnTo(QPointF location);
    void write(const QString &binding, const QVariant &number) const;

    float m_angle = 0.0f;
    float m_alpha = 1.0f;
    bool m_tracking = false;
    float m_lastAngle = 0.0f;
    QHash<QString, Writer> m_bindings;
};
