#pragma once

#include <QFont>
#include <QRectF>
#include <QStyledItemDelegate>

// A text cell whose text is drawn and edited in the middle of its height.
class VerticallyCenteredTextFieldCell : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The frame inset vertically so that one line of the font sits centred;
    // a frame lower than the line grows.
    static QRectF adjustFrameToVerticallyCenterText(const QRectF &frame, const QFont &font);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

private:
    QStyleOptionViewItem centred(const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const;
};
