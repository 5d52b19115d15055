#include "application/TWOutlineView.h"

#include "application/TWOutlineModel.h"
#include "application/TWOutlineViewController.h"
#include "model/TWLinkServices.h"
#include "model/TWMapBranch.h"
#include "platform/Alerts.h"
#include "support/AttributedStringDocument.h"

#include "graphics/TWTextArea.h"
#include "support/AttributedString.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextCursor>

namespace {
// The command a key equivalent names, with the check that enables it.
struct KeyCommand
{
    void (TWOutlineViewController::*run)();
    bool (TWOutlineViewController::*can)() const;
};

std::optional<KeyCommand> keyCommand(const QKeyEvent *event)
{
    using C = TWOutlineViewController;
    const Qt::KeyboardModifiers m =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    const int key = event->key();
    if (m == (Qt::AltModifier | Qt::ShiftModifier)) {
        switch (key) {
        case Qt::Key_Up:
            return KeyCommand{&C::moveUp, &C::canMoveUp};
        case Qt::Key_Down:
            return KeyCommand{&C::moveDown, &C::canMoveDown};
        case Qt::Key_Left:
            return KeyCommand{&C::moveLeft, &C::canMoveLeft};
        case Qt::Key_Right:
            return KeyCommand{&C::moveRight, &C::canMoveRight};
        default:
            break;
        }
    }
    if (m == Qt::ControlModifier) {
        if (key == Qt::Key_BracketRight)
            return KeyCommand{&C::indent, &C::canIndent};
        if (key == Qt::Key_BracketLeft)
            return KeyCommand{&C::outdent, &C::canOutdent};
    }
    if (m == (Qt::ControlModifier | Qt::AltModifier) ||
        m == (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) {
        if (key == Qt::Key_L)
            return KeyCommand{&C::group, &C::canGroup};
        if (key == Qt::Key_R)
            return KeyCommand{&C::ungroup, &C::canUngroup};
    }
    return std::nullopt;
}
} // namespace

TWOutlineView::TWOutlineView(TWOutlineViewController *controller, QWidget *parent)
    : QTreeView(parent), m_controller(controller)
{
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setDefaultDropAction(Qt::MoveAction);
    setSortingEnabled(false);
    setItemDelegate(new TWOutlineItemDelegate(controller, this));
}

UndoManager *TWOutlineView::undoManager() const
{
    return m_controller ? m_controller->undoManager() : nullptr;
}

bool TWOutlineView::performKeyEquivalent(QKeyEvent *event)
{
    const std::optional<KeyCommand> command = keyCommand(event);
    if (!command || !m_controller)
        return false;
    // Checked first: an outdent of a first-level branch would hand it its
    // following siblings.
    if ((m_controller->*command->can)())
        (m_controller->*command->run)();
    else
        Alerts::current().beep();
    return true;
}

bool TWOutlineView::event(QEvent *event)
{
    // Claims its key equivalents before any menu shortcut does.
    if (event->type() == QEvent::ShortcutOverride && keyCommand(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    // Tab and Shift+Tab add branches; they never move the focus on.
    if (event->type() == QEvent::KeyPress && state() != EditingState) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QTreeView::event(event);
}

void TWOutlineView::keyPressEvent(QKeyEvent *event)
{
    if (performKeyEquivalent(event))
        return;
    if (!m_controller || state() == EditingState) {
        QTreeView::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers m = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Tab:
        if (m == Qt::NoModifier) {
            m_controller->createChildBranches();
            return;
        }
        break;
    case Qt::Key_Backtab:
        m_controller->createSiblingBranches();
        return;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        m_controller->deleteSelectedBranches();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_controller->editSelection();
        return;
    default:
        break;
    }
    QTreeView::keyPressEvent(event);
}

bool TWOutlineView::isRowShown(const QModelIndex &index) const
{
    if (!index.isValid())
        return false;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) {
        if (!isExpanded(p))
            return false;
    }
    return true;
}

QWidget *TWOutlineView::activeEditor() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? indexWidget(current) : nullptr;
}

void TWOutlineView::finishEditing()
{
    if (state() != EditingState)
        return;
    QWidget *editor = QApplication::focusWidget();
    auto *outlineEditor = qobject_cast<TWOutlineTextView *>(editor);
    if (!outlineEditor && m_controller)
        outlineEditor = m_controller->editorView();
    if (!outlineEditor)
        return;
    commitData(outlineEditor);
    closeEditor(outlineEditor, QAbstractItemDelegate::NoHint);
}

void TWOutlineView::editCurrentRow()
{
    QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel()->isSelected(current)) {
        const QModelIndexList rows = selectionModel()->selectedRows();
        if (rows.isEmpty())
            return;
        current = rows.first();
        setCurrentIndex(current);
    }
    scrollTo(current);
    edit(current);
}

void TWOutlineView::dragMoveEvent(QDragMoveEvent *event)
{
    // Only rows of this outline are taken.
    if (event->source() != this) {
        event->ignore();
        return;
    }
    QTreeView::dragMoveEvent(event);
}

void TWOutlineView::dropEvent(QDropEvent *event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    QTreeView::dropEvent(event);
}

void TWOutlineView::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_controller)
        m_controller->updateToolbar();
    QMenu menu(this);
    menu.addActions(actions());
    menu.exec(event->globalPos());
}

// --- the field editor ---

TWOutlineTextView::TWOutlineTextView(TWOutlineViewController *controller, QWidget *parent)
    : TWHyperlinkableTextView(parent), m_controller(controller)
{
    setLinkFollower(&TWLinkServices::openURL);
    setAcceptRichText(true);
    setReadOnly(false);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::white);
    setPalette(p);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(false);
}

bool TWOutlineTextView::event(QEvent *event)
{
    // Tab and Shift+Tab are commands here, not focus moves.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QTextEdit::event(event);
}

void TWOutlineTextView::keyPressEvent(QKeyEvent *event)
{
    TWOutlineViewController *c = m_controller;
    const bool option = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (option) {
            textCursor().insertText(QStringLiteral("\n"));
            return;
        }
        if (c) {
            c->endEditingBranches();
            c->createSiblingBranches();
        }
        return;
    case Qt::Key_Tab:
        if (c) {
            c->endEditingBranches();
            c->createChildBranches();
        }
        return;
    case Qt::Key_Backtab:
        if (c) {
            c->endEditingBranches();
            c->createSiblingBranches();
        }
        return;
    case Qt::Key_Escape:
        if (c)
            c->endEditingBranches();
        return;
    default:
        QTextEdit::keyPressEvent(event);
    }
}

TWOutlineItemDelegate::TWOutlineItemDelegate(TWOutlineViewController *controller, QObject *parent)
    : QStyledItemDelegate(parent), m_controller(controller)
{}

QWidget *TWOutlineItemDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                             const QModelIndex &) const
{
    auto *editor = new TWOutlineTextView(m_controller, parent);
    if (m_controller) {
        m_controller->setEditorView(editor);
        m_controller->editingBegan();
    }
    return editor;
}

void TWOutlineItemDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *text = qobject_cast<TWOutlineTextView *>(editor);
    const auto *model = qobject_cast<const TWOutlineModel *>(index.model());
    TWMapBranch *branch = model ? model->branchForIndex(index) : nullptr;
    if (!text || !branch)
        return;
    const std::shared_ptr<TWTextArea> &area = branch->enclosedTextArea();
    AttributedStringDocument::setDocumentText(*text->document(),
                                              area ? area->text() : AttributedString());
    text->selectAll();
}

void TWOutlineItemDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                         const QModelIndex &index) const
{
    auto *text = qobject_cast<TWOutlineTextView *>(editor);
    const auto *outline = qobject_cast<const TWOutlineModel *>(model);
    TWMapBranch *branch = outline ? outline->branchForIndex(index) : nullptr;
    if (!text || !branch || !m_controller)
        return;
    m_controller->setBranchText(*branch,
                                AttributedStringDocument::attributedString(*text->document()));
}

void TWOutlineItemDelegate::updateEditorGeometry(QWidget *editor,
                                                 const QStyleOptionViewItem &option,
                                                 const QModelIndex &) const
{
    QRect r = option.rect;
    r.setHeight(std::max(r.height(), editor->fontMetrics().height() * 2));
    editor->setGeometry(r);
}

bool TWOutlineItemDelegate::eventFilter(QObject *object, QEvent *event)
{
    // The address panel of a link takes the focus without ending the edit.
    if (auto *text = qobject_cast<TWOutlineTextView *>(object);
        text && text->isAskingForURL() && event->type() == QEvent::FocusOut)
        return false;
    if (qobject_cast<TWOutlineTextView *>(object) &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride))
        return false;
    return QStyledItemDelegate::eventFilter(object, event);
}
