#include "interface/TWDraggableBackgroundView.h"

#include <QMouseEvent>
#include <QScreen>

void TWDraggableBackgroundView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_dragging = true;
    m_lastLocation = event->globalPosition().toPoint();
}

void TWDraggableBackgroundView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return QWidget::mouseMoveEvent(event);
    const QPoint location = event->globalPosition().toPoint();
    QWidget *win = window();
    QPoint origin = win->pos() + (location - m_lastLocation);
    m_lastLocation = location;
    if (QScreen *screen = win->screen()) {
        const QRect visible = screen->availableGeometry();
        const int height = win->frameGeometry().height();
        if (origin.y() < visible.y())
            origin.setY(visible.y());
        if (origin.y() + height > visible.y() + visible.height())
            origin.setY(visible.y() + visible.height() - height);
    }
    win->move(origin);
}

void TWDraggableBackgroundView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}
