#pragma once

#include "interface/TWHyperlinkableTextView.h"

#include <QStyledItemDelegate>
#include <QTreeView>

class TWOutlineViewController;
class UndoManager;

// The outline's tree view: turns keys into the outline commands and tells
// the controller of every expansion and collapse.
class TWOutlineView : public QTreeView
{
    Q_OBJECT

public:
    explicit TWOutlineView(TWOutlineViewController *controller, QWidget *parent = nullptr);

    TWOutlineViewController *outlineViewController() const { return m_controller; }
    UndoManager *undoManager() const;

    // Alt+Shift+arrows move; Ctrl+] and Ctrl+[ indent and outdent;
    // Ctrl+Alt+L and Ctrl+Alt+R group and ungroup. True for a key handled.
    bool performKeyEquivalent(QKeyEvent *event);
    // Ends an edit in progress, keeping its text.
    void finishEditing();
    // Starts editing the current row with all its text selected.
    void editCurrentRow();
    QWidget *activeEditor() const;
    bool isEditing() const { return state() == EditingState; }
    // Every ancestor's row is expanded.
    bool isRowShown(const QModelIndex &index) const;

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    TWOutlineViewController *m_controller;
};

// The text editor of a row: Return finishes and adds a sibling, Tab a child,
// Shift+Tab a sibling, Escape finishes; Alt+Return breaks the line. Links in
// the label are edited as in the map's own editor.
class TWOutlineTextView : public TWHyperlinkableTextView
{
    Q_OBJECT

public:
    explicit TWOutlineTextView(TWOutlineViewController *controller, QWidget *parent = nullptr);

    TWOutlineViewController *outlineViewController() const { return m_controller; }
    void setOutlineViewController(TWOutlineViewController *controller)
    {
        m_controller = controller;
    }

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    TWOutlineViewController *m_controller;
};

// Edits a row's label as rich text in a TWOutlineTextView.
class TWOutlineItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit TWOutlineItemDelegate(TWOutlineViewController *controller, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

protected:
    // The editor handles its own keys: the default filter would end the edit
    // on Tab and Return before the editor sees them.
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    TWOutlineViewController *m_controller;
};
