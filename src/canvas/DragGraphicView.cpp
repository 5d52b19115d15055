#include "canvas/DragGraphicView.h"

#include "graphics/TWGraphic.h"
#include "render/DrawingContext.h"

#include <QPainter>

DragGraphicView::DragGraphicView(QWidget *parent, const TWDrawingView *canvas)
    : QWidget(parent), m_canvas(canvas)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void DragGraphicView::setStyle(int style)
{
    if (style == m_style)
        return;
    m_style = style;
    update();
}

void DragGraphicView::paintEvent(QPaintEvent *)
{
    // Painted whole first, then laid over the canvas at the image's opacity,
    // as a translucent window would be.
    const qreal ratio = devicePixelRatioF();
    QImage layer(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter painter(&layer);
        painter.scale(m_zoom, m_zoom);
        const QRectF inner(0, 0, width() / m_zoom, height() / m_zoom);
        static const QColor frames[] = {Qt::white, Qt::green, Qt::yellow};
        if (m_style >= NoTarget && m_style <= Reorder)
            painter.fillRect(inner, frames[m_style]);
        painter.fillRect(inner.adjusted(2, 2, -2, -2), Qt::white);
        painter.translate(2.0 - m_offset.x + m_lineWidth * 0.5,
                          2.0 - m_offset.y + m_lineWidth * 0.5);
        DrawingContext context(painter, true);
        for (auto it = m_graphics.crbegin(); it != m_graphics.crend(); ++it)
            (*it)->drawForDragInView(context, m_canvas, m_style);
    }
    QPainter painter(this);
    painter.setOpacity(Opacity);
    painter.drawImage(QPointF(0, 0), layer);
}
