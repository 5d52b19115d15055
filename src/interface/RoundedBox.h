#pragma once

#include "support/Color.h"

#include <QFont>
#include <QFrame>
#include <QPainterPath>
#include <QRectF>

// A box with rounded corners, a gradient or plain background and a title tab
// (or a full-width title bar) in its top-left corner. It is drawn in y-up
// coordinates, origin at the bottom left, like the rest of the kit's frames.
class RoundedBox : public QFrame
{
    Q_OBJECT
public:
    explicit RoundedBox(QWidget *parent = nullptr);

    void setDefaults();

    QString title() const { return m_title; }
    void setTitle(const QString &title);
    QFont titleFont() const { return m_titleFont; }
    void setTitleFont(const QFont &font);

    float borderWidth() const { return m_borderWidth; }
    void setBorderWidth(float width);
    bool drawsFullTitleBar() const { return m_drawsFullTitleBar; }
    void setDrawsFullTitleBar(bool on);
    bool selected() const { return m_selected; }
    void setSelected(bool on);
    bool drawsGradientBackground() const { return m_drawsGradientBackground; }
    void setDrawsGradientBackground(bool on);

    Color borderColor() const { return m_borderColor; }
    void setBorderColor(const Color &color);
    Color titleColor() const { return m_titleColor; }
    void setTitleColor(const Color &color);
    Color gradientStartColor() const { return m_gradientStartColor; }
    void setGradientStartColor(const Color &color);
    Color gradientEndColor() const { return m_gradientEndColor; }
    void setGradientEndColor(const Color &color);
    Color backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const Color &color);

    // Geometry in the box's y-up coordinates.
    QRectF titleRect() const;
    QPainterPath titlePathWithinRect(const QRectF &rect, qreal cornerRadius,
                                     const QRectF &titleRect) const;
    QPainterPath outlinePath() const;

    // The platform's arc-from-point: from the current point towards `corner`,
    // round it with `radius` and stop where the arc meets the line to
    // `toward`. A straight line to the corner when the three points line up.
    static void appendArc(QPainterPath &path, QPointF corner, QPointF toward, qreal radius);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The bounds inset by half the border, made integral.
    QRectF integralInsetRect() const;

    QString m_title;
    QFont m_titleFont;
    float m_borderWidth = 2.0f;
    Color m_borderColor;
    Color m_titleColor;
    Color m_gradientStartColor;
    Color m_gradientEndColor;
    Color m_backgroundColor;
    bool m_drawsFullTitleBar = false;
    bool m_selected = false;
    bool m_drawsGradientBackground = true;
};
