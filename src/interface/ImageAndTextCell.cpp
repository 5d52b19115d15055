#include "interface/ImageAndTextCell.h"

#include "interface/TWCellAction.h"

#include <QApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <cmath>

ImageAndTextCell::ImageAndTextCell(QObject *parent) : QStyledItemDelegate(parent) {}

QImage ImageAndTextCell::imageForIndex(const QModelIndex &index) const
{
    const QVariant decoration = index.data(Qt::DecorationRole);
    switch (decoration.metaType().id()) {
    case QMetaType::QImage:
        return decoration.value<QImage>();
    case QMetaType::QPixmap:
        return decoration.value<QPixmap>().toImage();
    case QMetaType::QIcon:
        return decoration.value<QIcon>().pixmap(int(imageSide)).toImage();
    default:
        return m_image;
    }
}

QSizeF ImageAndTextCell::shownImageSize(const QModelIndex &index) const
{
    return imageForIndex(index).isNull() ? QSizeF() : QSizeF(imageSide, imageSide);
}

QRectF ImageAndTextCell::imageFrameForCellFrame(const QRectF &cell, QSizeF image) const
{
    if (image.isEmpty())
        return QRectF();
    const qreal y = cell.y() + std::ceil((cell.height() - image.height()) * 0.5);
    const qreal x =
        m_imagePosition == 0 ? cell.x() + 3.0 : cell.x() + cell.width() - image.width() - 3.0;
    return QRectF(QPointF(x, y), image);
}

QRectF ImageAndTextCell::textFrameForCellFrame(const QRectF &cell, QSizeF image) const
{
    if (image.isEmpty())
        return cell;
    const qreal x = m_imagePosition == 0 ? cell.x() + image.width() + 6.0 : cell.x();
    return QRectF(x, cell.y(), cell.width() - image.width() - 6.0, cell.height());
}

void ImageAndTextCell::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // The image is drawn beside the text by the cell itself.
    option->features &= ~QStyleOptionViewItem::HasDecoration;
    option->icon = QIcon();
    option->decorationSize = QSize();
}

void ImageAndTextCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const
{
    const QImage image = imageForIndex(index);
    if (image.isNull()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QSizeF shown(imageSide, imageSide);
    QStyleOptionViewItem full = option;
    initStyleOption(&full, index);
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    // Row background and selection under both image and text.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &full, painter, widget);

    const QRectF imageFrame = imageFrameForCellFrame(option.rect, shown);
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(imageFrame, image);
    painter->restore();

    QStyleOptionViewItem text = option;
    text.rect = textFrameForCellFrame(option.rect, shown).toAlignedRect();
    QStyledItemDelegate::paint(painter, text, index);
}

QSize ImageAndTextCell::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QSizeF image = shownImageSize(index);
    if (image.isEmpty())
        return size;
    size.rwidth() += int(image.width() + 6.0);
    size.setHeight(std::max(size.height(), int(std::ceil(image.height()))));
    return size;
}

void ImageAndTextCell::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
    // The editor covers only the text.
    QStyleOptionViewItem text = option;
    text.rect = textFrameForCellFrame(option.rect, shownImageSize(index)).toAlignedRect();
    QStyledItemDelegate::updateEditorGeometry(editor, text, index);
}

bool ImageAndTextCell::editorEvent(QEvent *event, QAbstractItemModel *model,
                                   const QStyleOptionViewItem &option, const QModelIndex &index)
{
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                       type == QEvent::MouseButtonRelease;
    if (!mouse)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const auto *mouseEvent = static_cast<QMouseEvent *>(event);
    const QPointF position = mouseEvent->position();

    if (type == QEvent::MouseButtonPress) {
        const QSizeF shown = shownImageSize(index);
        const QRectF imageFrame = imageFrameForCellFrame(option.rect, shown);
        if (!m_imageClickTarget || m_imageClickAction.isEmpty() || shown.isEmpty() ||
            mouseEvent->button() != Qt::LeftButton || !imageFrame.contains(position))
            return QStyledItemDelegate::editorEvent(event, model, option, index);
        m_tracking = true;
        m_highlighted = true;
        m_trackedIndex = index;
        m_trackedImageFrame = imageFrame;
        return true;
    }
    if (!m_tracking)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const bool inside = m_trackedImageFrame.contains(position);
    m_highlighted = inside;
    if (type == QEvent::MouseMove)
        return true;

    m_tracking = false;
    if (!inside)
        return true; // released off the icon: nothing is sent
    m_myTableRowNumber = m_trackedIndex.row();
    if (!TWCellAction::send(m_imageClickTarget, m_imageClickAction, this))
        qWarning("Runtime error: elipsis button cell target doesn't respond to selector %s",
                 m_imageClickAction.constData());
    return true;
}
