#include "media/TWMediaBrowserWindow.h"

#include "media/TWMediaImages.h"
#include "platform/TWLocalizedString.h"

#include <QActionGroup>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QSlider>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QString dadoZiz(const char *text)
{
    return TWLocalizedString(StringTable::DadoZiz, QString::fromUtf8(text));
}

QIcon namedIcon(const QString &name, int side)
{
    return QIcon(QPixmap::fromImage(TWMediaImages::imageNamed(name, QSize(side, side))));
}

} // namespace

// --- TWMediaGridModel ---

QString TWMediaGridModel::shownName(const QString &caption, const QString &path)
{
    // Under the picture the extension only takes room from the name; the
    // tool tip keeps the whole caption.
    const QString suffix = QFileInfo(path).suffix();
    if (!suffix.isEmpty() && caption.size() > suffix.size() + 1 &&
        caption.endsWith(u'.' + suffix, Qt::CaseInsensitive))
        return caption.chopped(suffix.size() + 1);
    return caption;
}

TWMediaGridModel::TWMediaGridModel(TWMediaBrowserPane *pane, QObject *parent)
    : QAbstractListModel(parent), m_pane(pane)
{
    if (pane->member().photoSize > 0)
        m_side = pane->member().photoSize;
    connect(pane, &TWMediaBrowserPane::imagesChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(pane, &TWMediaBrowserPane::thumbnailLoaded, this, [this] {
        if (rowCount() > 0)
            emit dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
    });
}

int TWMediaGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_pane->imageCount();
}

QVariant TWMediaGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::ToolTipRole)
        return m_pane->captionAtIndex(index.row());
    if (role == Qt::DisplayRole)
        return shownName(m_pane->captionAtIndex(index.row()),
                         m_pane->displayedImages()
                             .at(index.row())
                             .value(TWMediaRecord::ImagePath)
                             .toString());
    if (role == Qt::DecorationRole) {
        const std::optional<QImage> photo = m_pane->photoAtIndex(index.row());
        QPixmap pixmap(m_side, m_side);
        pixmap.fill(Qt::transparent);
        if (photo && !photo->isNull()) {
            // Centred in its square, never enlarged beyond twice its pixels.
            const QSize fitted = photo->size().scaled(QSize(m_side, m_side), Qt::KeepAspectRatio);
            // Every cell's picture is the same square, so the names of a
            // row line up under pictures of any shape.
            QPainter painter(&pixmap);
            painter.drawImage(QPoint((m_side - fitted.width()) / 2, (m_side - fitted.height()) / 2),
                              photo->scaled(fitted, Qt::IgnoreAspectRatio,
                                            Qt::SmoothTransformation));
        }
        return QIcon(pixmap);
    }
    return {};
}

Qt::ItemFlags TWMediaGridModel::flags(const QModelIndex &index) const
{
    return QAbstractListModel::flags(index) | Qt::ItemIsDragEnabled;
}

QStringList TWMediaGridModel::mimeTypes() const
{
    return {TWMediaBrowserPane::AdornmentPasteboardType, QStringLiteral("text/uri-list")};
}

QMimeData *TWMediaGridModel::mimeData(const QModelIndexList &indexes) const
{
    QList<int> rows;
    for (const QModelIndex &index : indexes)
        rows.append(index.row());
    m_pane->setSelectionIndexes(rows);
    return m_pane->fillPasteboardForDrag();
}

void TWMediaGridModel::setThumbnailSide(int side)
{
    if (side == m_side)
        return;
    m_side = side;
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DecorationRole});
}

// --- TWMediaTreeWidget ---

void TWMediaTreeWidget::setRoot(std::shared_ptr<TWMediaNode> root)
{
    clear();
    m_root = std::move(root);
    if (!m_root)
        return;
    const std::function<void(const TWMediaNode &, QTreeWidgetItem *)> add =
        [&](const TWMediaNode &node, QTreeWidgetItem *item) {
            item->setText(0, node.name);
            item->setIcon(0, namedIcon(node.iconName, 16));
            item->setData(0, NodeRole, QVariant::fromValue(quintptr(&node)));
            for (const auto &child : node.children)
                add(*child, new QTreeWidgetItem(item));
        };
    auto *top = new QTreeWidgetItem(this);
    add(*m_root, top);
    expandItem(top);
}

const TWMediaNode *TWMediaTreeWidget::nodeOfItem(const QTreeWidgetItem *item) const
{
    return item ? reinterpret_cast<const TWMediaNode *>(item->data(0, NodeRole).value<quintptr>())
                : nullptr;
}

QList<int> TWMediaTreeWidget::indexPathOfItem(const QTreeWidgetItem *item) const
{
    QList<int> path;
    for (auto *i = const_cast<QTreeWidgetItem *>(item); i; i = i->parent())
        path.prepend(i->parent() ? i->parent()->indexOfChild(i) : indexOfTopLevelItem(i));
    return path;
}

QStringList TWMediaTreeWidget::mimeTypes() const
{
    return {QStringLiteral("text/uri-list"), TWMediaBrowserPane::AlbumDataListPasteboardType,
            TWMediaBrowserPane::ImageDataListPasteboardType};
}

QMimeData *TWMediaTreeWidget::mimeData(const QList<QTreeWidgetItem *> &items) const
{
    const TWMediaNode *node = items.isEmpty() ? nullptr : nodeOfItem(items.first());
    return node ? TWMediaBrowserPane::writeItems(node->images, node->name) : nullptr;
}

// --- TWMediaBrowserWindow ---

QSize TWMediaBrowserWindow::cellSize(int side, QSize spacing) const
{
    // Small icons still leave room for a caption of two short lines.
    return QSize(std::max(side + spacing.width(), 84),
                 side + spacing.height() + 2 * fontMetrics().height() + 4);
}

TWMediaBrowserWindow::TWMediaBrowserWindow(const QList<PaneKind> &panes, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(dadoZiz("Media Browser"));
    setObjectName(QStringLiteral("TWMediaBrowserWindow"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_toolbar = new QToolBar(this);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(32, 32));
    m_paneActions = new QActionGroup(this);
    layout->addWidget(m_toolbar);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    m_tree = new TWMediaTreeWidget(splitter);
    m_tree->setHeaderHidden(true);
    m_tree->setDragEnabled(true);
    m_tree->setDragDropMode(QAbstractItemView::DragOnly);
    auto *bottom = new QWidget(splitter);
    auto *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(6, 6, 6, 6);
    m_search = new QLineEdit(bottom);
    m_search->setPlaceholderText(dadoZiz("Search"));
    m_search->setClearButtonEnabled(true);
    bottomLayout->addWidget(m_search);
    m_grid = new QListView(bottom);
    m_grid->setViewMode(QListView::IconMode);
    m_grid->setResizeMode(QListView::Adjust);
    m_grid->setMovement(QListView::Static);
    // Each cell measures its own name: sizes taken from one item cut every
    // longer name to that item's width.
    m_grid->setUniformItemSizes(false);
    m_grid->setWordWrap(true);
    m_grid->setTextElideMode(Qt::ElideRight);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setDragEnabled(true);
    m_grid->setDragDropMode(QAbstractItemView::DragOnly);
    m_grid->setFrameShape(QFrame::NoFrame);
    QPalette white = m_grid->palette();
    white.setColor(QPalette::Base, Qt::white);
    m_grid->setPalette(white);
    bottomLayout->addWidget(m_grid, 1);
    auto *status = new QHBoxLayout;
    m_counter = new QLabel(bottom);
    m_slider = new QSlider(Qt::Horizontal, bottom);
    m_slider->setRange(24, 160);
    m_slider->setMaximumWidth(140);
    status->addWidget(m_counter, 1);
    status->addWidget(m_slider);
    bottomLayout->addLayout(status);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    layout->addWidget(splitter, 1);

    for (const PaneKind &kind : panes) {
        PaneState state;
        state.kind = kind;
        state.pane = std::make_unique<TWMediaBrowserPane>(kind.member);
        state.model = std::make_unique<TWMediaGridModel>(state.pane.get());
        connect(state.pane.get(), &TWMediaBrowserPane::imagesChanged, this,
                &TWMediaBrowserWindow::updateCounter);
        QAction *action =
            m_toolbar->addAction(namedIcon(kind.member.iconName, 32), kind.member.name);
        action->setCheckable(true);
        action->setObjectName(kind.className);
        m_paneActions->addAction(action);
        const int index = int(m_panes.size());
        connect(action, &QAction::triggered, this, [this, index] { activate(index); });
        m_panes.push_back(std::move(state));
    }

    connect(m_grid, &QListView::doubleClicked, this, [this](const QModelIndex &index) {
        if (TWMediaBrowserPane *pane = activePane())
            pane->doubleClickOnPhotoAtIndex(index.row());
    });
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this,
            &TWMediaBrowserWindow::treeSelectionChanged);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (TWMediaBrowserPane *pane = activePane())
            pane->search(text);
    });
    connect(m_slider, &QSlider::valueChanged, this, [this](int side) {
        if (m_active < 0)
            return;
        m_panes[m_active].model->setThumbnailSide(side);
        m_grid->setIconSize(QSize(side, side));
        m_grid->setGridSize(cellSize(side, m_panes[m_active].kind.member.spacing));
    });
    resize(520, 640);
    if (!m_panes.empty())
        activate(0);
}

TWMediaBrowserWindow::~TWMediaBrowserWindow()
{
    m_grid->setModel(nullptr);
}

bool TWMediaBrowserWindow::showPane(const QString &className)
{
    for (int i = 0; i < int(m_panes.size()); ++i) {
        if (m_panes[i].kind.className == className) {
            activate(i);
            return true;
        }
    }
    return false;
}

QString TWMediaBrowserWindow::activePaneName() const
{
    return m_active < 0 ? QString() : m_panes[m_active].kind.className;
}

TWMediaBrowserPane *TWMediaBrowserWindow::activePane() const
{
    return m_active < 0 ? nullptr : m_panes[m_active].pane.get();
}

TWMediaGridModel *TWMediaBrowserWindow::gridModel() const
{
    return m_active < 0 ? nullptr : m_panes[m_active].model.get();
}

void TWMediaBrowserWindow::activate(int index)
{
    if (index == m_active)
        return;
    if (m_active >= 0)
        m_panes[m_active].pane->didDeactivate();
    m_active = index;
    PaneState &state = m_panes[index];
    m_paneActions->actions().at(index)->setChecked(true);
    // Each activation reads the library afresh.
    state.root = state.kind.parse ? state.kind.parse() : nullptr;
    QItemSelectionModel *previous = m_grid->selectionModel();
    m_grid->setModel(state.model.get());
    delete previous;
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        QList<int> rows;
        for (const QModelIndex &i : m_grid->selectionModel()->selectedIndexes())
            rows.append(i.row());
        if (TWMediaBrowserPane *pane = activePane())
            pane->setSelectionIndexes(rows);
    });
    const TWMediaBrowserPane::Member &member = state.kind.member;
    m_grid->setSpacing(member.spacing.width() / 2);
    const bool fixedSize = member.photoSize > 0;
    m_slider->setVisible(!fixedSize);
    const int side = fixedSize ? member.photoSize : state.model->thumbnailSide();
    m_slider->blockSignals(true);
    m_slider->setValue(side);
    m_slider->blockSignals(false);
    m_grid->setIconSize(QSize(side, side));
    m_grid->setGridSize(cellSize(side, member.spacing));
    m_search->blockSignals(true);
    m_search->setText(state.pane->searchString());
    m_search->blockSignals(false);
    m_tree->setRoot(state.root);
    if (m_tree->topLevelItemCount() > 0)
        m_tree->setCurrentItem(m_tree->topLevelItem(0));
    else
        state.pane->setImages({}, {});
    updateCounter();
    m_grid->setFocus();
}

void TWMediaBrowserWindow::treeSelectionChanged()
{
    TWMediaBrowserPane *pane = activePane();
    const QList<QTreeWidgetItem *> items = m_tree->selectedItems();
    if (!pane || items.isEmpty())
        return;
    const TWMediaNode *node = m_tree->nodeOfItem(items.first());
    pane->setImages(node ? node->images : QList<QVariantMap>(),
                    m_tree->indexPathOfItem(items.first()));
    m_grid->scrollToTop();
}

void TWMediaBrowserWindow::updateCounter()
{
    const TWMediaBrowserPane *pane = activePane();
    const int count = pane ? pane->imageCount() : 0;
    m_counter->setText(
        count == 1
            ? dadoZiz("1 image")
            : TWLocalizedString(StringTable::DadoZiz, QStringLiteral("%1 images")).arg(count));
}
