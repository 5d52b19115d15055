#include "palettes/TWDragAssetImageView.h"

#include "interface/ImageExtensions.h"
#include "render/DrawingContext.h"
#include "support/Shadow.h"

#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace {

TWDragAssetImageView::DragRunner &dragRunner()
{
    static TWDragAssetImageView::DragRunner runner = [](QDrag *drag) {
        return drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
    };
    return runner;
}

} // namespace

TWDragAssetImageView::TWDragAssetImageView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_Hover, false);
}

TWDragAssetImageView::~TWDragAssetImageView()
{
    popCursor();
}

void TWDragAssetImageView::setImage(const QImage &image)
{
    m_image = image;
    update();
}

void TWDragAssetImageView::setPBoardType(const QString &type)
{
    m_pBoardType = type;
}

void TWDragAssetImageView::setDragRunner(DragRunner runner)
{
    dragRunner() = std::move(runner);
}

QImage TWDragAssetImageView::dragImage() const
{
    if (m_image.isNull())
        return {};
    const QSizeF size = ImageExtensions::sizeScaledToFit(QSizeF(m_image.size()),
                                                         QSizeF(DragImageSide, DragImageSide));
    return m_image.scaled(size.toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QPointF TWDragAssetImageView::dragImageOrigin() const
{
    const QImage image = dragImage();
    return {(width() - image.width()) / 2.0, (height() - image.height()) / 2.0};
}

void TWDragAssetImageView::popCursor()
{
    if (!m_cursorPushed)
        return;
    m_cursorPushed = false;
    QGuiApplication::restoreOverrideCursor();
}

void TWDragAssetImageView::enterEvent(QEnterEvent *)
{
    if (!isVisible())
        return;
    m_mouseOver = true;
    update();
    if (!m_cursorPushed) {
        QGuiApplication::setOverrideCursor(Qt::OpenHandCursor);
        m_cursorPushed = true;
    }
}

void TWDragAssetImageView::leaveEvent(QEvent *)
{
    m_mouseOver = false;
    update();
    popCursor();
}

void TWDragAssetImageView::hideEvent(QHideEvent *event)
{
    // A tile that goes away under the pointer gives the cursor back.
    m_mouseOver = false;
    popCursor();
    QWidget::hideEvent(event);
}

void TWDragAssetImageView::paintEvent(QPaintEvent *)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Scaled down to fit, never up, and centred, as an image view shows it.
    QSizeF size = QSizeF(m_image.size());
    if (size.width() > width() || size.height() > height())
        size = ImageExtensions::sizeScaledToFit(size, QSizeF(this->size()));
    const QRectF target((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(),
                        size.height());
    DrawingContext context(painter, true);
    auto paint = [&](DrawingContext &c) { c.painter().drawImage(target, m_image); };
    if (m_mouseOver) {
        const Shadow shadow(Size{2, -2}, 2, Color::colorWithCalibratedWhite(0, 0.8));
        context.drawWithShadow(shadow, target, paint);
    } else {
        paint(context);
    }
}

void TWDragAssetImageView::mousePressEvent(QMouseEvent *event)
{
    if (m_image.isNull() || m_pBoardType.isEmpty() || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The type alone says what to make; the drop reads no data.
    auto *data = new QMimeData;
    data->setData(m_pBoardType, QByteArray());
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    const QImage image = dragImage();
    drag->setPixmap(QPixmap::fromImage(image));
    drag->setHotSpot((event->position() - dragImageOrigin()).toPoint());
    dragRunner()(drag);
    drag->deleteLater();
}
