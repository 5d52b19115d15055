#include "interface/TextCell.h"

#include <QTextEdit>

QTextEdit *TextCell::setUpFieldEditorAttributes(QTextEdit *textView)
{
    QPalette palette = textView->palette();
    palette.setColor(QPalette::Base, Qt::blue);
    textView->setPalette(palette);
    textView->setAutoFillBackground(true);
    textView->setReadOnly(false);
    textView->setTextInteractionFlags(Qt::TextEditorInteraction);
    textView->setTabChangesFocus(true); // a field editor: Tab ends the edit
    textView->setAcceptRichText(true);
    return textView;
}

QWidget *TextCell::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                const QModelIndex &) const
{
    auto *editor = new QTextEdit(parent);
    editor->setFrameShape(QFrame::NoFrame);
    return setUpFieldEditorAttributes(editor);
}

void TextCell::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *textView = qobject_cast<QTextEdit *>(editor);
    if (!textView)
        return QStyledItemDelegate::setEditorData(editor, index);
    const QString text = index.data(Qt::EditRole).toString();
    if (Qt::mightBeRichText(text))
        textView->setHtml(text);
    else
        textView->setPlainText(text);
}

void TextCell::setModelData(QWidget *editor, QAbstractItemModel *model,
                            const QModelIndex &index) const
{
    auto *textView = qobject_cast<QTextEdit *>(editor);
    if (!textView)
        return QStyledItemDelegate::setModelData(editor, model, index);
    model->setData(index, textView->toHtml(), Qt::EditRole);
}
