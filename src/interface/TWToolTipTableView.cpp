#include "interface/TWToolTipTableView.h"

#include <QHelpEvent>
#include <QToolTip>

std::optional<QString> TWToolTipTableView::toolTipAt(QPoint point) const
{
    const int row = rowAt(point.y());
    const int column = columnAt(point.x());
    if (!model() || row < 0 || column < 0)
        return std::nullopt;
    const QVariant tip = model()->data(model()->index(row, column), Qt::ToolTipRole);
    if (!tip.isValid())
        return std::nullopt;
    return tip.toString();
}

bool TWToolTipTableView::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QTableView::viewportEvent(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const std::optional<QString> tip = toolTipAt(help->pos());
    if (!tip) {
        QToolTip::hideText();
        return true;
    }
    const QModelIndex index = indexAt(help->pos());
    QToolTip::showText(help->globalPos(), *tip, viewport(), visualRect(index));
    return true;
}
