#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <memory>

class TWMap;
class TWMapBranch;

// The branch tree of one map as rows: the root on the only top-level row,
// each branch's children below it. Rows are made as the view asks for them
// and nothing is copied out of the tree, so a large map opens at once; a
// reload only forgets what was handed out.
class TWOutlineModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    static inline const QString DragType = QStringLiteral("_TWOutlineViewDragType");
    // The standard row height and the font rows are measured in.
    static constexpr qreal StandardRowHeight = 17;
    static constexpr qreal MeasuringFontSize = 12;

    explicit TWOutlineModel(QObject *parent = nullptr);
    ~TWOutlineModel() override;

    // The root shown; null shows nothing. Always resets.
    void setRoot(const std::shared_ptr<TWMapBranch> &root);
    const std::shared_ptr<TWMapBranch> &root() const { return m_root; }

    // Null for an invalid index or a branch no longer in the tree.
    TWMapBranch *branchForIndex(const QModelIndex &index) const;
    QModelIndex indexForBranch(const TWMapBranch *branch) const;

    // h + (R - 12) / 2 + the whole part of h / 12, with h the height of the
    // text measured unwrapped; R for no text.
    static qreal rowHeight(qreal textHeight, qreal standardHeight);
    // The branch's plain label text in the measuring font.
    static qreal measuredTextHeight(const QString &text);
    static QString branchText(const TWMapBranch &branch);

    // Refuses a drop onto a dragged branch or into its subtree, and branches
    // of another map.
    static bool canDropBranches(const QList<TWMapBranch *> &dragged, const TWMapBranch *parent);
    // Branch numbers as the drag carries them: "3,17,4".
    static QByteArray dragData(const QList<TWMapBranch *> &branches);
    // The branches of the numbers under `root`, unknown numbers left out.
    static QList<TWMapBranch *> branchesFromDragData(const QByteArray &data, TWMapBranch &root);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override { return {DragType}; }
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    // Moves the dragged branches under the drop's parent, last first, so
    // they land in their dragged order at the row (-1: at the end).
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

signals:
    // A drop moved branches; the controller reselects them.
    void branchesDropped();

private:
    std::shared_ptr<TWMapBranch> m_root;
    // Branches handed out in indexes, so that a view holding an index of a
    // branch that has since gone never reaches freed memory.
    mutable QHash<const TWMapBranch *, std::weak_ptr<TWMapBranch>> m_handedOut;
};
