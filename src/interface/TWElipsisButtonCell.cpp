#include "interface/TWElipsisButtonCell.h"

#include "interface/TWCellAction.h"

#include <QMouseEvent>

QList<TWBadgeButtonCell::Badge> TWElipsisButtonCell::badges() const
{
    const QString name =
        isDown() ? QStringLiteral("tElipsisBottomPressed") : QStringLiteral("tElipsisBottom");
    return {{name, QPointF(0.0, height() - 1.0), 1.0, QPainter::CompositionMode_Source}};
}

QByteArray TWElipsisButtonCell::ellipsisSelector(const QByteArray &action)
{
    QByteArray name = action;
    if (name.endsWith(':'))
        name.chop(1);
    return name + "ElipsisCall:";
}

QRectF TWElipsisButtonCell::ellipsisStrip(const QRectF &cell)
{
    return QRectF(cell.x(), cell.y() + 0.6666 * cell.height(), cell.width(),
                  0.3333 * cell.height());
}

void TWElipsisButtonCell::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QPushButton::mousePressEvent(event);
    m_tracking = true;
    setDown(true);
}

void TWElipsisButtonCell::mouseMoveEvent(QMouseEvent *event)
{
    if (m_tracking)
        setDown(rect().contains(event->position().toPoint()));
}

void TWElipsisButtonCell::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_tracking || event->button() != Qt::LeftButton)
        return;
    m_tracking = false;
    setDown(false);
    const QPointF position = event->position();
    if (!QRectF(rect()).contains(position))
        return; // released outside: nothing is sent
    if (!ellipsisStrip(rect()).contains(position)) {
        if (!TWCellAction::send(m_target, m_action, this))
            qWarning("Runtime error: elipsis button cell target doesn't respond to selector %s",
                     m_action.constData());
        return;
    }
    const QByteArray selector = ellipsisSelector(m_action);
    if (!TWCellAction::send(m_target, selector, this))
        qWarning("Runtime error: elipsis button cell target doesn't respond to selector %s",
                 selector.constData());
}
