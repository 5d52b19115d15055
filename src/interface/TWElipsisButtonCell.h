#pragma once

#include "interface/TWButtonCells.h"

#include <QPointer>

// A button whose lower third is a second button: a click there sends the
// action's "ElipsisCall" variant (an action "pickColor:" becomes
// "pickColorElipsisCall:"), a click above it the action itself.
class TWElipsisButtonCell : public TWBadgeButtonCell
{
    Q_OBJECT

public:
    using TWBadgeButtonCell::TWBadgeButtonCell;

    QList<Badge> badges() const override;

    void setTarget(QObject *target) { m_target = target; }
    QObject *target() const { return m_target; }
    void setAction(const QByteArray &action) { m_action = action; }
    QByteArray action() const { return m_action; }

    static QByteArray ellipsisSelector(const QByteArray &action);
    // The strip of the button that sends the ellipsis call.
    static QRectF ellipsisStrip(const QRectF &cellFrame);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPointer<QObject> m_target;
    QByteArray m_action;
    bool m_tracking = false;
};
