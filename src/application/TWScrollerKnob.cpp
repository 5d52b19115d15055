#include "application/TWScrollerKnob.h"

#include "support/BezierPath.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <QStyleOptionSlider>

namespace {
const QColor KnobColor = QColor::fromRgbF(0.2f, 0.4f, 0.6f);
} // namespace

TWCScroller::TWCScroller(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{}

TWCScroller::KnobShape TWCScroller::knobShape(const Rect &r, Qt::Orientation orientation)
{
    if (orientation == Qt::Vertical)
        return {Rect(r.x() + 1, r.y() + 2, r.width() - 1, r.height() - 4), (r.width() - 1) / 3};
    return {Rect(r.x() + 2, r.y() + 1, r.width() - 4, r.height() - 1), (r.height() - 1) / 3};
}

Rect TWCScroller::knobRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect knob =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    return Rect(float(knob.x()), float(knob.y()), float(knob.width()), float(knob.height()));
}

void TWCScroller::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    // The track and arrows as usual; the knob is ours.
    option.subControls &= ~QStyle::SC_ScrollBarSlider;
    style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
    if (maximum() <= minimum())
        return;
    const KnobShape shape = knobShape(knobRect(), orientation());
    if (shape.rect.width() <= 0 || shape.rect.height() <= 0)
        return;
    const QPainterPath path =
        BezierPath::bezierPathWithRect(shape.rect, shape.cornerAmount, 1.0f).toQPainterPath();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = KnobColor;
    fill.setAlphaF(0.6f);
    painter.fillPath(path, fill);
    painter.strokePath(path, QPen(KnobColor, 1.0));
}

void installTWCScrollers(QAbstractScrollArea *scrollArea)
{
    if (!scrollArea)
        return;
    scrollArea->setVerticalScrollBar(new TWCScroller(Qt::Vertical, scrollArea));
    scrollArea->setHorizontalScrollBar(new TWCScroller(Qt::Horizontal, scrollArea));
}
