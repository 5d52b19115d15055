#include "application/TWOutlineModel.h"

#include "graphics/TWTextArea.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapBranch_Utils.h"

#include <QFont>
#include <QFontMetricsF>
#include <QMimeData>
#include <cmath>

TWOutlineModel::TWOutlineModel(QObject *parent) : QAbstractItemModel(parent) {}

TWOutlineModel::~TWOutlineModel() = default;

void TWOutlineModel::setRoot(const std::shared_ptr<TWMapBranch> &root)
{
    beginResetModel();
    m_root = root;
    m_handedOut.clear();
    endResetModel();
}

TWMapBranch *TWOutlineModel::branchForIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    auto *branch = static_cast<TWMapBranch *>(index.internalPointer());
    const auto it = m_handedOut.constFind(branch);
    if (it == m_handedOut.cend() || it->expired())
        return nullptr;
    // Taken out of the tree since the index was made.
    if (branch != m_root.get() && !branch->parent())
        return nullptr;
    return branch;
}

QModelIndex TWOutlineModel::indexForBranch(const TWMapBranch *branch) const
{
    if (!branch || !m_root)
        return {};
    QList<const TWMapBranch *> chain;
    for (const TWMapBranch *b = branch; b; b = b->parent()) {
        chain.prepend(b);
        if (b == m_root.get())
            break;
    }
    if (chain.first() != m_root.get())
        return {};
    QModelIndex index = this->index(0, 0);
    for (qsizetype i = 1; i < chain.size(); ++i)
        index = this->index(chain.at(i)->childIndex(), 0, index);
    return index;
}

qreal TWOutlineModel::rowHeight(qreal textHeight, qreal standardHeight)
{
    if (textHeight <= 0)
        return standardHeight;
    return textHeight + (standardHeight - 12) * 0.5 + std::floor(textHeight / 12);
}

qreal TWOutlineModel::measuredTextHeight(const QString &text)
{
    if (text.isEmpty())
        return 0;
    static const QFont font = [] {
        QFont f(QStringLiteral("Helvetica"));
        f.setPointSizeF(MeasuringFontSize);
        return f;
    }();
    const QFontMetricsF metrics(font);
    const int lines = int(text.count(QLatin1Char('\n')) + text.count(QChar::LineSeparator) +
                          text.count(QChar::ParagraphSeparator)) +
                      1;
    return metrics.height() * lines;
}

QString TWOutlineModel::branchText(const TWMapBranch &branch)
{
    const std::shared_ptr<TWTextArea> &text = branch.enclosedTextArea();
    return text ? text->outlineString() : QString();
}

bool TWOutlineModel::canDropBranches(const QList<TWMapBranch *> &dragged, const TWMapBranch *parent)
{
    if (dragged.isEmpty() || !parent)
        return false;
    for (const TWMapBranch *b : dragged) {
        if (!b || b->isRoot() || b->map() != parent->map())
            return false;
        if (b == parent || parent->isDescendantOf(b))
            return false;
    }
    return true;
}

QByteArray TWOutlineModel::dragData(const QList<TWMapBranch *> &branches)
{
    QStringList numbers;
    for (const TWMapBranch *b : branches)
        numbers << QString::number(b->branchNumber());
    return numbers.join(QLatin1Char(',')).toUtf8();
}

QList<TWMapBranch *> TWOutlineModel::branchesFromDragData(const QByteArray &data, TWMapBranch &root)
{
    QList<TWMapBranch *> found;
    for (const QByteArray &part : data.split(',')) {
        bool ok = false;
        const int number = part.trimmed().toInt(&ok);
        if (!ok)
            continue;
        if (TWMapBranch *b = root.findBranchWithBranchNumber(number))
            found.append(b);
    }
    return found;
}

QModelIndex TWOutlineModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0 || !m_root)
        return {};
    std::shared_ptr<TWMapBranch> branch;
    if (!parent.isValid()) {
        if (row != 0)
            return {};
        branch = m_root;
    } else {
        const TWMapBranch *p = branchForIndex(parent);
        if (!p || row >= p->children().size())
            return {};
        branch = p->children().at(row);
    }
    m_handedOut.insert(branch.get(), branch);
    return createIndex(row, 0, branch.get());
}

QModelIndex TWOutlineModel::parent(const QModelIndex &child) const
{
    const TWMapBranch *branch = branchForIndex(child);
    if (!branch || branch == m_root.get())
        return {};
    const std::shared_ptr<TWMapBranch> parent = branch->parentPointer();
    if (!parent)
        return {};
    m_handedOut.insert(parent.get(), parent);
    return createIndex(parent == m_root ? 0 : parent->childIndex(), 0, parent.get());
}

int TWOutlineModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return m_root ? 1 : 0;
    if (parent.column() != 0)
        return 0;
    const TWMapBranch *branch = branchForIndex(parent);
    return branch ? int(branch->children().size()) : 0;
}

int TWOutlineModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool TWOutlineModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant TWOutlineModel::data(const QModelIndex &index, int role) const
{
    const TWMapBranch *branch = branchForIndex(index);
    if (!branch)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return branchText(*branch);
    case Qt::SizeHintRole: {
        const qreal height = rowHeight(measuredTextHeight(branchText(*branch)), StandardRowHeight);
        return QSize(-1, int(std::ceil(height)));
    }
    default:
        return {};
    }
}

Qt::ItemFlags TWOutlineModel::flags(const QModelIndex &index) const
{
    if (!branchForIndex(index))
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
           Qt::ItemIsDropEnabled;
}

QMimeData *TWOutlineModel::mimeData(const QModelIndexList &indexes) const
{
    QList<TWMapBranch *> branches;
    for (const QModelIndex &index : indexes) {
        if (TWMapBranch *b = branchForIndex(index); b && !branches.contains(b))
            branches.append(b);
    }
    auto *data = new QMimeData;
    data->setData(DragType, dragData(branches));
    return data;
}

bool TWOutlineModel::canDropMimeData(const QMimeData *data, Qt::DropAction, int, int,
                                     const QModelIndex &parent) const
{
    TWMapBranch *target = branchForIndex(parent);
    if (!data || !data->hasFormat(DragType) || !target || !m_root)
        return false;
    return canDropBranches(branchesFromDragData(data->data(DragType), *m_root), target);
}

bool TWOutlineModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                  const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    const std::shared_ptr<TWMapBranch> target = branchForIndex(parent)->shared_from_this();
    const QList<TWMapBranch *> dragged = branchesFromDragData(data->data(DragType), *m_root);
    TWMap *map = m_root->map();
    TWMap::BranchList selection;
    if (map) {
        for (TWMapBranch *b : map->selectedBranches())
            selection.append(b->shared_from_this());
    }
    // Keep them alive while they move.
    TWMap::BranchList held;
    for (TWMapBranch *b : dragged)
        held.append(b->shared_from_this());
    for (qsizetype i = held.size() - 1; i >= 0; --i)
        TWBranchMoves::moveToNewParent(*held.at(i), target, row);
    if (map)
        map->setSelectedBranches(selection);
    emit branchesDropped();
    return true;
}
