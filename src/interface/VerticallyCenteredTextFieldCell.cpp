#include "interface/VerticallyCenteredTextFieldCell.h"

#include <QFontMetricsF>
#include <cmath>

QRectF VerticallyCenteredTextFieldCell::adjustFrameToVerticallyCenterText(const QRectF &frame,
                                                                          const QFont &font)
{
    const QFontMetricsF metrics(font);
    const int d = int(std::floor((frame.height() - (metrics.ascent() + metrics.descent())) * 0.5));
    return frame.adjusted(0, d, 0, -d);
}

QStyleOptionViewItem VerticallyCenteredTextFieldCell::centred(const QStyleOptionViewItem &option,
                                                              const QModelIndex &index) const
{
    QStyleOptionViewItem adjusted = option;
    initStyleOption(&adjusted, index);
    adjusted.rect = adjustFrameToVerticallyCenterText(option.rect, adjusted.font).toAlignedRect();
    return adjusted;
}

void VerticallyCenteredTextFieldCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, centred(option, index), index);
}

void VerticallyCenteredTextFieldCell::updateEditorGeometry(QWidget *editor,
                                                           const QStyleOptionViewItem &option,
                                                           const QModelIndex &index) const
{
    QStyledItemDelegate::updateEditorGeometry(editor, centred(option, index), index);
}
