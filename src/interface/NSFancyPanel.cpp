#include "interface/NSFancyPanel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

NSFancyPanel::NSFancyPanel(QWidget *parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setFocusPolicy(Qt::StrongFocus);
}

NSFancyPanel::~NSFancyPanel()
{
    if (m_filtering)
        qApp->removeEventFilter(this);
}

bool NSFancyPanel::sendEvent(QObject *receiver, QEvent *event)
{
    if (!m_delegate || !receiver->isWidgetType())
        return false;
    const auto *widget = static_cast<QWidget *>(receiver);
    if (widget->window() != this)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        return m_delegate->handlesKeyDown(static_cast<QKeyEvent *>(event), this);
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton)
            return false;
        return m_delegate->handlesMouseDown(mouse, this);
    }
    default:
        return false;
    }
}

bool NSFancyPanel::eventFilter(QObject *watched, QEvent *event)
{
    // Presses go to the widget under the pointer or with focus; the panel
    // sees them all through the application's filter while it is shown.
    if (sendEvent(watched, event))
        return true;
    return QWidget::eventFilter(watched, event);
}

void NSFancyPanel::showEvent(QShowEvent *event)
{
    if (!m_filtering) {
        qApp->installEventFilter(this);
        m_filtering = true;
    }
    QWidget::showEvent(event);
}

void NSFancyPanel::hideEvent(QHideEvent *event)
{
    if (m_filtering) {
        qApp->removeEventFilter(this);
        m_filtering = false;
    }
    QWidget::hideEvent(event);
}

void NSFancyPanel::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    // Without a window frame the panel needs an edge of its own, or a white
    // panel melts into a white window behind it.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
