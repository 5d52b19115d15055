#pragma once

#include <QHash>
#include <QPointF>
#include <QVariant>
#include <QWidget>
#include <functional>

// A box in which the user drags a marker to set a shadow's offset from the
// box's centre. Offsets run with y upwards, like shadow offsets: the default
// (10.5, -10.5) lies right of and below the centre. Every change the user
// makes is written through the "xOffset" and "yOffset" bindings.
class TWShadowPositionBox : public QWidget
{
    Q_OBJECT
public:
    // How a binding writes a value to the object it is bound to.
    using BindingWriter = std::function<void(const QVariant &value)>;

    static constexpr float markerInset = 5.5f;

    explicit TWShadowPositionBox(QWidget *parent = nullptr);

    QPointF offsetFromCenter() const { return m_offsetFromCenter; }
    void setOffsetFromCenter(QPointF offset);
    float xOffset() const { return float(m_offsetFromCenter.x()); }
    void setXOffset(float x);
    float yOffset() const { return float(m_offsetFromCenter.y()); }
    void setYOffset(float y);

    // "xOffset" and "yOffset"; binding again replaces the writer.
    void bind(const QString &binding, BindingWriter writer);
    void unbind(const QString &binding) { m_bindings.remove(binding); }
    bool isBound(const QString &binding) const { return m_bindings.contains(binding); }

    // By key, as the bindings set values; an invalid value is nil.
    void setValueForKey(const QString &key, const QVariant &value);
    void setNilValueForKey(const QString &key);

signals:
    // Sent at every step of a drag.
    void action(TWShadowPositionBox *sender);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void processUpdateEvent(QPointF location);

    QPointF m_offsetFromCenter{10.5, -10.5};
    QHash<QString, BindingWriter> m_bindings;
    bool m_tracking = false;
};
