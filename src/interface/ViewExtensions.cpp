#include "interface/ViewExtensions.h"

#include <QComboBox>
#include <QGraphicsView>
#include <QItemSelectionModel>
#include <QSet>
#include <QTreeView>
#include <algorithm>
#include <optional>

namespace ContrastingLabelExtensions {

Color contrastingLabelColor(const Color &color)
{
    const Color rgb = color.toCalibratedRGB();
    const double mean = (rgb.redComponent() + rgb.greenComponent() + rgb.blueComponent()) / 3.0;
    if (mean >= 0.5)
        return Color::colorWithCalibratedWhite(1.0 / 3.0); // dark grey
    return Color::whiteColor();
}

Color contrastingLabelColor(const QBrush &brush)
{
    if (brush.style() != Qt::SolidPattern)
        return Color::blackColor();
    return contrastingLabelColor(Color::fromQColor(brush.color()));
}

} // namespace ContrastingLabelExtensions

namespace Diamond {

BezierPath bezierPathWithDiamondInRect(const Rect &r)
{
    const float x = r.x(), y = r.y(), w = r.width(), h = r.height();
    BezierPath path;
    path.moveToPoint({x + w / 2, y + h});
    path.lineToPoint({x + w, y + h / 2});
    path.lineToPoint({x + w / 2, y});
    path.lineToPoint({x, y + h / 2});
    path.closePath();
    return path;
}

} // namespace Diamond

namespace ViewScale {

qreal scale(const QGraphicsView &view)
{
    return view.transform().m11();
}

void setScale(QGraphicsView &view, qreal s)
{
    const qreal current = scale(view);
    if (current == 0 || s == current)
        return;
    view.scale(s / current, s / current);
    view.viewport()->update();
}

} // namespace ViewScale

namespace ObjectControllerExtensions {

bool singleSelection(const QItemSelectionModel &selection)
{
    QSet<int> rows;
    for (const QModelIndex &index : selection.selectedIndexes())
        rows.insert(index.row());
    return rows.size() == 1;
}

} // namespace ObjectControllerExtensions

namespace MyExtensions {

namespace {

// The row's place among the rows as shown: the row numbers from the top
// level down. Null for an item without a row.
std::optional<QList<int>> rowPath(const QTreeView &view, QModelIndex item)
{
    if (!item.isValid() || item.model() != view.model())
        return std::nullopt;
    item = item.siblingAtColumn(0);
    QList<int> path;
    for (QModelIndex at = item; at.isValid() && at != view.rootIndex(); at = at.parent()) {
        // Every row above must be open for this one to be shown.
        if (at != item && !view.isExpanded(at))
            return std::nullopt;
        if (view.isRowHidden(at.row(), at.parent()))
            return std::nullopt;
        path.prepend(at.row());
    }
    return path;
}

} // namespace

QModelIndexList allSelectedItems(const QTreeView &view)
{
    const QItemSelectionModel *selection = view.selectionModel();
    if (!selection)
        return {};
    QList<std::pair<QList<int>, QModelIndex>> rows;
    QSet<QPersistentModelIndex> seen;
    for (const QModelIndex &index : selection->selectedIndexes()) {
        const QModelIndex item = index.siblingAtColumn(0);
        if (seen.contains(item))
            continue;
        seen.insert(item);
        QList<int> path;
        for (QModelIndex at = item; at.isValid(); at = at.parent())
            path.prepend(at.row());
        rows.append({path, item});
    }
    std::sort(rows.begin(), rows.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    QModelIndexList items;
    for (const auto &row : std::as_const(rows))
        items << row.second;
    return items;
}

QModelIndex selectedItem(const QTreeView &view)
{
    const QItemSelectionModel *selection = view.selectionModel();
    if (!selection)
        return {};
    const QModelIndex current = selection->currentIndex().siblingAtColumn(0);
    if (current.isValid() && selection->isRowSelected(current.row(), current.parent()))
        return current;
    const QModelIndexList items = allSelectedItems(view);
    return items.isEmpty() ? QModelIndex() : items.last();
}

void selectItems(QTreeView &view, const QModelIndexList &items, bool byExtendingSelection)
{
    QItemSelectionModel *selection = view.selectionModel();
    if (!selection)
        return;
    if (!byExtendingSelection)
        selection->clearSelection();
    QItemSelection rows;
    for (const QModelIndex &item : items)
        if (rowPath(view, item))
            rows.select(item.siblingAtColumn(0), item.siblingAtColumn(0));
    selection->select(rows, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

} // namespace MyExtensions

namespace SelectByTag {

void selectPopupItemWithTag(QComboBox &popUp, int tag)
{
    for (int i = 0; i < popUp.count(); ++i)
        if (popUp.itemData(i).toInt() == tag) {
            popUp.setCurrentIndex(i);
            return;
        }
    popUp.setCurrentIndex(-1);
}

} // namespace SelectByTag
