#pragma once

#include <QStyledItemDelegate>

class QTextEdit;

// A cell edited in a rich-text editor, so its text can be styled.
class TextCell : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Readies the editor (blue background, editable, rich text) and returns it.
    static QTextEdit *setUpFieldEditorAttributes(QTextEdit *textView);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    // The edited text goes back as HTML.
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
};
