#pragma once

#include <QTableView>
#include <optional>

// A table that shows, over each cell, the tool tip its model gives for that
// cell (the tool-tip role), and none where there is no row.
class TWToolTipTableView : public QTableView
{
    Q_OBJECT

public:
    using QTableView::QTableView;

    // The tool tip at a point of the viewport.
    std::optional<QString> toolTipAt(QPoint point) const;

protected:
    bool viewportEvent(QEvent *event) override;
};
