#include "interface/RoundedBox.h"

#include "interface/CTGradient.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace {
constexpr qreal kCornerRadius = 4.0;
}

RoundedBox::RoundedBox(QWidget *parent) : QFrame(parent)
{
    setDefaults();
}

void RoundedBox::setDefaults()
{
    m_borderWidth = 2.0f;
    m_borderColor = Color::colorWithCalibratedWhite(0.5);
    m_titleColor = Color::whiteColor();
    m_gradientStartColor = Color::colorWithCalibratedWhite(0.92).toCalibratedRGB();
    m_gradientEndColor = Color::colorWithCalibratedWhite(0.82).toCalibratedRGB();
    m_backgroundColor = Color::colorWithCalibratedWhite(0.9);
    m_drawsFullTitleBar = false;
    m_selected = false;
    m_drawsGradientBackground = true;
    // The small control size's bold system font.
    m_titleFont = QApplication::font();
    m_titleFont.setBold(true);
    m_titleFont.setPixelSize(11);
    update();
}

void RoundedBox::setTitle(const QString &title)
{
    m_title = title;
    update();
}

void RoundedBox::setTitleFont(const QFont &font)
{
    m_titleFont = font;
    update();
}

void RoundedBox::setBorderWidth(float width)
{
    m_borderWidth = width;
    update();
}

void RoundedBox::setDrawsFullTitleBar(bool on)
{
    m_drawsFullTitleBar = on;
    update();
}

void RoundedBox::setSelected(bool on)
{
    m_selected = on;
    update();
}

void RoundedBox::setDrawsGradientBackground(bool on)
{
    m_drawsGradientBackground = on;
    update();
}

void RoundedBox::setBorderColor(const Color &color)
{
    m_borderColor = color;
    update();
}

void RoundedBox::setTitleColor(const Color &color)
{
    m_titleColor = color;
    update();
}

void RoundedBox::setGradientStartColor(const Color &color)
{
    m_gradientStartColor = color.toCalibratedRGB();
    if (m_drawsGradientBackground)
        update();
}

void RoundedBox::setGradientEndColor(const Color &color)
{
    m_gradientEndColor = color.toCalibratedRGB();
    if (m_drawsGradientBackground)
        update();
}

void RoundedBox::setBackgroundColor(const Color &color)
{
    m_backgroundColor = color;
    if (!m_drawsGradientBackground)
        update();
}

void RoundedBox::appendArc(QPainterPath &path, QPointF corner, QPointF toward, qreal radius)
{
    const QPointF from = path.currentPosition();
    QPointF u = from - corner;
    QPointF v = toward - corner;
    const qreal lu = std::hypot(u.x(), u.y());
    const qreal lv = std::hypot(v.x(), v.y());
    if (lu < 1e-9 || lv < 1e-9 || radius <= 0) {
        path.lineTo(corner);
        return;
    }
    u /= lu;
    v /= lv;
    const qreal theta = std::acos(std::clamp(QPointF::dotProduct(u, v), -1.0, 1.0));
    if (theta < 1e-9 || M_PI - theta < 1e-9) {
        path.lineTo(corner);
        return;
    }
    const qreal d = radius / std::tan(theta / 2);
    const QPointF t1 = corner + u * d;
    const QPointF t2 = corner + v * d;
    // A cubic through the two tangent points with handles along the tangents
    // follows the circle closely for any sweep up to a half turn.
    const qreal h = 4.0 / 3.0 * radius * std::tan((M_PI - theta) / 4);
    path.lineTo(t1);
    path.cubicTo(t1 - u * h, t2 - v * h, t2);
}

QRectF RoundedBox::titleRect() const
{
    const QFontMetricsF metrics(m_titleFont);
    const qreal bw = m_borderWidth;
    const QSizeF s(metrics.horizontalAdvance(m_title), metrics.height());
    const QRectF b(0, 0, width(), height());
    return {b.x() + bw + 4, b.y() + b.height() - s.height() - 2 * bw,
            std::min(s.width() + bw, b.width() - 2 * (bw + 4)), s.height()};
}

QPainterPath RoundedBox::titlePathWithinRect(const QRectF &q, qreal c, const QRectF &t) const
{
    const qreal left = std::trunc(q.x());
    const qreal top = std::trunc(q.y() + q.height());
    const qreal lower = std::trunc(t.y() - (top - (t.y() + t.height())));
    QPainterPath path;
    path.moveTo(left, lower);
    if (q.width() - t.width() >= 20 && !m_drawsFullTitleBar) {
        const qreal right = std::trunc(left + t.width() + 2 * (t.x() - q.x()));
        appendArc(path, {right, lower}, {right, top}, c);
        path.lineTo(right, top);
        appendArc(path, {left, top}, {left, lower}, c);
    } else {
        const qreal maxX = q.x() + q.width();
        path.lineTo(maxX, lower);
        appendArc(path, {maxX, top}, {q.x() + q.width() / 2, top}, c);
        appendArc(path, {left, top}, {left, lower}, c);
    }
    path.closeSubpath();
    return path;
}

QRectF RoundedBox::integralInsetRect() const
{
    const qreal bw = m_borderWidth;
    const QRectF inset = QRectF(0, 0, width(), height()).adjusted(bw / 2, bw / 2, -bw / 2, -bw / 2);
    // The smallest whole-number rectangle holding the inset one.
    const qreal x0 = std::floor(inset.left()), y0 = std::floor(inset.top());
    return {x0, y0, std::ceil(inset.right()) - x0, std::ceil(inset.bottom()) - y0};
}

QPainterPath RoundedBox::outlinePath() const
{
    const QRectF r = integralInsetRect();
    const qreal left = std::trunc(r.left() + 0.5), right = std::trunc(r.right() + 0.5);
    const qreal bottom = std::trunc(r.top() + 0.5), top = std::trunc(r.bottom() + 0.5);
    QPainterPath path;
    path.moveTo((left + right) / 2, bottom);
    appendArc(path, {right, bottom}, {right, top}, kCornerRadius);
    appendArc(path, {right, top}, {left, top}, kCornerRadius);
    appendArc(path, {left, top}, {left, bottom}, kCornerRadius);
    appendArc(path, {left, bottom}, {(left + right) / 2, bottom}, kCornerRadius);
    path.closeSubpath();
    return path;
}

void RoundedBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(0, height());
    painter.scale(1, -1);

    const QPainterPath outline = outlinePath();
    painter.fillPath(outline, m_backgroundColor.toQColor());
    if (m_drawsGradientBackground) {
        painter.save();
        painter.setClipPath(outline, Qt::IntersectClip);
        CTGradient::gradientWithBeginningColor(m_gradientStartColor, m_gradientEndColor)
            .fillRect(painter, outline.boundingRect(), 270);
        painter.restore();
    }

    const QRectF t = titleRect();
    const QColor frameColor = m_selected ? palette().color(QPalette::Active, QPalette::Highlight)
                                         : m_borderColor.toQColor();
    const qreal bw = m_borderWidth;
    const QRectF r = integralInsetRect().translated(0.5, 0.5);
    painter.fillPath(titlePathWithinRect(r, kCornerRadius, t), frameColor);
    if (bw > 0)
        painter.strokePath(outline, QPen(frameColor, bw));

    // Text runs top-down: draw it unflipped at the title rectangle's place.
    painter.resetTransform();
    const QRectF textRect(t.x(), height() - t.y() - t.height(), t.width(), t.height());
    const QFontMetricsF metrics(m_titleFont);
    painter.setFont(m_titleFont);
    painter.setPen(m_titleColor.toQColor());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(m_title, Qt::ElideRight, std::max<qreal>(0, t.width())));
}
