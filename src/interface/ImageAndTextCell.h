#pragma once

#include <QImage>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>

// A text cell with a small icon beside the text; a click on the icon sends
// an action to a target. The icon is the item's decoration, or the cell's
// own image when the item has none.
class ImageAndTextCell : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr qreal imageSide = 16.0;

    explicit ImageAndTextCell(QObject *parent = nullptr);

    QImage image() const { return m_image; }
    // Shown at 16 x 16 whatever its size.
    void setImage(const QImage &image) { m_image = image; }
    int imagePosition() const { return m_imagePosition; }
    // 0: left of the text; anything else: right.
    void setImagePosition(int position) { m_imagePosition = position; }
    QObject *imageClickTarget() const { return m_imageClickTarget; }
    void setImageClickTarget(QObject *target) { m_imageClickTarget = target; }
    QByteArray imageClickAction() const { return m_imageClickAction; }
    void setImageClickAction(const QByteArray &action) { m_imageClickAction = action; }
    int myTableRowNumber() const { return m_myTableRowNumber; }
    void setMyTableRowNumber(int row) { m_myTableRowNumber = row; }
    bool isHighlighted() const { return m_highlighted; }

    // Geometry for a cell frame, given the size the image is shown at (an
    // empty size: no image).
    QRectF imageFrameForCellFrame(const QRectF &cellFrame, QSizeF imageSize) const;
    QRectF textFrameForCellFrame(const QRectF &cellFrame, QSizeF imageSize) const;
    // The image shown for an item; null when there is none.
    QImage imageForIndex(const QModelIndex &index) const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

private:
    QSizeF shownImageSize(const QModelIndex &index) const;

    QImage m_image;
    int m_imagePosition = 0;
    QPointer<QObject> m_imageClickTarget;
    QByteArray m_imageClickAction;
    int m_myTableRowNumber = 0;

    bool m_tracking = false;
    bool m_highlighted = false;
    QPersistentModelIndex m_trackedIndex;
    QRectF m_trackedImageFrame;
};
