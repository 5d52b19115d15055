#pragma once

#include "palettes/TWPaletteHost.h"
#include "platform/NotificationCenter.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <QTableView>
#include <functional>
#include <memory>

class QMenu;
class QMimeData;
class TWHyperlink;
class TWMapBranch;
class QPushButton;

// What arranges the links a table shows: a list that can grow.
class TWHyperlinkArrayController : public QAbstractTableModel
{
    Q_OBJECT

public:
    using LinkList = QList<std::shared_ptr<TWHyperlink>>;

    using QAbstractTableModel::QAbstractTableModel;

    virtual LinkList arrangedObjects() const = 0;
    virtual void addObject(const std::shared_ptr<TWHyperlink> &link) = 0;

    std::shared_ptr<TWHyperlink> linkAtRow(int row) const;
    // The rows read again from the list.
    void rearrangeObjects();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    LinkList m_rows;
};

// The links of one branch; adding is the branch's undoable operation.
class TWBranchHyperlinks : public TWHyperlinkArrayController
{
    Q_OBJECT

public:
    explicit TWBranchHyperlinks(QObject *parent = nullptr);
    void setBranch(const std::shared_ptr<TWMapBranch> &branch);
    std::shared_ptr<TWMapBranch> branch() const { return m_branch.lock(); }

    LinkList arrangedObjects() const override;
    void addObject(const std::shared_ptr<TWHyperlink> &link) override;

private:
    std::weak_ptr<TWMapBranch> m_branch;
};

// The hyperlinks palette's table: double click edits a link, the add menu
// makes a new one of the chosen kind, the change menu gives the selected
// link another kind, and files, addresses and address cards dropped on it
// become links.
class TWHyperlinkTableView : public QTableView
{
    Q_OBJECT

public:
    explicit TWHyperlinkTableView(QWidget *parent = nullptr);

    // File names, addresses, address cards: the drags taken, in the order
    // that decides (file names and addresses travel as one list of URLs).
    static QStringList supportedDragTypes();

    void setHyperlinkArrayController(TWHyperlinkArrayController *controller);
    TWHyperlinkArrayController *hyperlinkArrayController() const { return m_controller; }
    QMenu *addMenu() const { return m_addMenu; }
    QMenu *changeMenu() const { return m_changeMenu; }

    // The first selected link, or null.
    std::shared_ptr<TWHyperlink> selectedHyperlink() const;
    void editSelectedHyperlink();
    // Pops the add menu up below `sender`, no item checked.
    void showHyperlinkAddMenu(QWidget *sender);
    // A new link of the kind; added once its editor confirms it.
    void addHyperlink(int linkType);
    void changeSelectedHyperlink(int linkType);
    // What the row's tool tip shows: the link's address.
    QString toolTipForRow(int row) const;

    // Whether a drag offers what the table takes.
    static bool acceptsDrag(const QMimeData *data);
    // Makes links of what the drag carries; the number added.
    int concludeDragOperation(const QMimeData *data);
    // The primary address of the card as a mail link, then its editor;
    // false when the card has none.
    bool dropVCardFile(const QString &path);
    bool dropVCardData(const QByteArray &data);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QMenu *makeKindMenu(const QString &name, std::function<void(int)> action);
    void addLink(int linkType, const QString &url);
    bool addMailLink(const std::optional<QString> &address);

    QPointer<TWHyperlinkArrayController> m_controller;
    QMenu *m_addMenu = nullptr;
    QMenu *m_changeMenu = nullptr;
};

// The hyperlinks palette: the links of the one selected branch in a table,
// with the buttons that add a link and change the selected link's kind.
class TWHyperlinkPalette : public QWidget
{
    Q_OBJECT

public:
    explicit TWHyperlinkPalette(QWidget *parent = nullptr);

    // Follows the selection of the document's current map.
    void setDocument(TWPaletteHost *document);
    // The links shown: the branch's, or none without one branch.
    void setBranch(const std::shared_ptr<TWMapBranch> &branch);
    TWHyperlinkTableView *tableView() const { return m_table; }
    TWBranchHyperlinks *hyperlinks() const { return m_hyperlinks; }
    QPushButton *addButton() const { return m_addButton; }
    QPushButton *changeButton() const { return m_changeButton; }

private:
    void selectionChanged();

    TWPaletteHostPointer m_document;
    TWBranchHyperlinks *m_hyperlinks = nullptr;
    TWHyperlinkTableView *m_table = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_changeButton = nullptr;
    ObserverToken m_selectionObserver;
    ObserverToken m_branchObserver;
};
