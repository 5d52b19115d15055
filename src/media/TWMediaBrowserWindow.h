#pragma once

#include "media/TWMediaBrowserPane.h"
#include "media/TWMediaNode.h"

#include <QAbstractListModel>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <memory>

class QActionGroup;
class QLabel;
class QLineEdit;
class QListView;
class QSlider;
class QStackedWidget;
class QToolBar;

// The thumbnails of a pane as a list model for the icon grid: captions,
// pictures as they arrive, and the pane's drags.
class TWMediaGridModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit TWMediaGridModel(TWMediaBrowserPane *pane, QObject *parent = nullptr);
    // The name under a picture: its caption without the file's extension.
    static QString shownName(const QString &caption, const QString &path);
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

    void setThumbnailSide(int side);
    int thumbnailSide() const { return m_side; }

private:
    TWMediaBrowserPane *m_pane;
    int m_side = 64;
};

// The library tree of a pane; a node dragged out carries all its pictures.
class TWMediaTreeWidget : public QTreeWidget
{
    Q_OBJECT

public:
    using QTreeWidget::QTreeWidget;
    static constexpr int NodeRole = Qt::UserRole + 1;
    // The node an item stands for.
    const TWMediaNode *nodeOfItem(const QTreeWidgetItem *item) const;
    void setRoot(std::shared_ptr<TWMediaNode> root);
    QList<int> indexPathOfItem(const QTreeWidgetItem *item) const;

protected:
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QList<QTreeWidgetItem *> &items) const override;

private:
    std::shared_ptr<TWMediaNode> m_root;
};

// The media browser's window: one pane at a time, chosen on the toolbar,
// with its library tree, a search field and the grid of pictures.
class TWMediaBrowserWindow : public QWidget
{
    Q_OBJECT

public:
    // A pane's member description and the parse that makes its tree (null
    // when the library is missing).
    struct PaneKind
    {
        QString className;
        TWMediaBrowserPane::Member member;
        std::function<std::shared_ptr<TWMediaNode>()> parse;
    };

    explicit TWMediaBrowserWindow(const QList<PaneKind> &panes, QWidget *parent = nullptr);
    ~TWMediaBrowserWindow() override;

    // Activates the pane of that class name; false when there is none.
    bool showPane(const QString &className);
    QString activePaneName() const;
    TWMediaBrowserPane *activePane() const;
    TWMediaTreeWidget *treeView() const { return m_tree; }
    QListView *gridView() const { return m_grid; }
    QLineEdit *searchField() const { return m_search; }
    QLabel *counterField() const { return m_counter; }
    QSlider *sizeSlider() const { return m_slider; }
    QToolBar *toolbar() const { return m_toolbar; }
    TWMediaGridModel *gridModel() const;

private:
    struct PaneState
    {
        PaneKind kind;
        std::unique_ptr<TWMediaBrowserPane> pane;
        std::unique_ptr<TWMediaGridModel> model;
        std::shared_ptr<TWMediaNode> root;
    };
    void activate(int index);
    void treeSelectionChanged();
    void updateCounter();
    QSize cellSize(int side, QSize spacing) const;

    std::vector<PaneState> m_panes;
    int m_active = -1;
    QToolBar *m_toolbar = nullptr;
    QActionGroup *m_paneActions = nullptr;
    TWMediaTreeWidget *m_tree = nullptr;
    QListView *m_grid = nullptr;
    QLineEdit *m_search = nullptr;
    QLabel *m_counter = nullptr;
    QSlider *m_slider = nullptr;
};
