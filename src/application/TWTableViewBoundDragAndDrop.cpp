#include "application/TWTableViewBoundDragAndDrop.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>

TWTableViewBoundDragAndDrop::TWTableViewBoundDragAndDrop(QWidget *parent) : QTableView(parent)
{
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragDropMode(QAbstractItemView::DragDrop);
}

QVariantList TWTableViewBoundDragAndDrop::movedArray(QVariantList array, int from, int to)
{
    if (from < 0 || from >= array.size() || to < 0 || to > array.size() || from == to)
        return array;
    const QVariant object = array.takeAt(from);
    array.insert(from < to ? to - 1 : to, object);
    return array;
}

std::optional<QByteArray> TWTableViewBoundDragAndDrop::dragDataForRows(const QList<int> &rows) const
{
    if (!m_boundArrayController || rows.isEmpty())
        return std::nullopt;
    return QByteArray::number(rows.first());
}

bool TWTableViewBoundDragAndDrop::acceptDrop(const QByteArray &data, int to)
{
    if (!m_boundArrayController)
        return false;
    bool ok = false;
    const int from = data.trimmed().toInt(&ok);
    if (!ok || from == to)
        return false;
    // Without a place to store it, the drop is taken and nothing changes.
    if (m_boundArrayController->contentArray && m_boundArrayController->storeContentArray)
        m_boundArrayController->storeContentArray(
            movedArray(m_boundArrayController->contentArray(), from, to));
    return true;
}

void TWTableViewBoundDragAndDrop::startDrag(Qt::DropActions supportedActions)
{
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    const std::optional<QByteArray> data = dragDataForRows(rows);
    if (!data)
        return;
    auto *mime = new QMimeData;
    mime->setData(DragType, *data);
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(supportedActions, Qt::MoveAction);
}

std::optional<int> TWTableViewBoundDragAndDrop::gapAt(QPoint position) const
{
    const int row = rowAt(position.y());
    if (row < 0)
        return model() ? model()->rowCount() : 0;
    const int top = rowViewportPosition(row);
    const int height = rowHeight(row);
    const int y = position.y() - top;
    // Near an edge is a gap; the middle is on the row.
    if (y < height / 4)
        return row;
    if (y > height - height / 4)
        return row + 1;
    return std::nullopt;
}

void TWTableViewBoundDragAndDrop::dragEnterEvent(QDragEnterEvent *event)
{
    if (m_boundArrayController && event->source() == this && event->mimeData()->hasFormat(DragType))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TWTableViewBoundDragAndDrop::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_boundArrayController && event->source() == this &&
        event->mimeData()->hasFormat(DragType) && gapAt(event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TWTableViewBoundDragAndDrop::dropEvent(QDropEvent *event)
{
    const std::optional<int> gap = gapAt(event->position().toPoint());
    if (event->source() == this && gap && acceptDrop(event->mimeData()->data(DragType), *gap))
        event->acceptProposedAction();
    else
        event->ignore();
}
