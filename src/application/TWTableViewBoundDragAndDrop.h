#pragma once

#include <QTableView>
#include <QVariantList>
#include <functional>
#include <optional>

// The array a table shows and where a reordered copy goes back to; without
// a store the table cannot write its reordering back.
struct TWBoundArray
{
    std::function<QVariantList()> contentArray;
    std::function<void(const QVariantList &)> storeContentArray;
};

// A table whose rows the user reorders by dragging one row to a gap between
// rows; the bound array is rewritten in the new order.
class TWTableViewBoundDragAndDrop : public QTableView
{
    Q_OBJECT

public:
    static inline const QString DragType = QStringLiteral("_TWTableViewBoundDragType");

    explicit TWTableViewBoundDragAndDrop(QWidget *parent = nullptr);

    void setBoundArrayController(const std::optional<TWBoundArray> &array)
    {
        m_boundArrayController = array;
    }
    const std::optional<TWBoundArray> &boundArrayController() const
    {
        return m_boundArrayController;
    }

    // `array` with the object at `from` moved to the gap before `to`
    // (after the removal it sits at to - 1 when it moved down).
    static QVariantList movedArray(QVariantList array, int from, int to);
    // The drag data of the first dragged row; nothing without a bound array.
    std::optional<QByteArray> dragDataForRows(const QList<int> &rows) const;
    // Takes a drop of `data` at the gap before row `to`; false when refused.
    bool acceptDrop(const QByteArray &data, int to);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // The gap a drop at `position` goes to, or nothing for a drop on a row.
    std::optional<int> gapAt(QPoint position) const;

    std::optional<TWBoundArray> m_boundArrayController;
};
