#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

class QDrag;

// A tile of the add palette: dragging it offers one pasteboard type and no
// data; the canvas creates what the type names where it is dropped.
class TWDragAssetImageView : public QWidget
{
    Q_OBJECT

public:
    // The largest drag image, either way.
    static constexpr qreal DragImageSide = 48.0;

    explicit TWDragAssetImageView(QWidget *parent = nullptr);
    ~TWDragAssetImageView() override;

    QImage image() const { return m_image; }
    void setImage(const QImage &image);
    QString pBoardType() const { return m_pBoardType; }
    void setPBoardType(const QString &type);
    bool mouseOver() const { return m_mouseOver; }

    // The picture a drag shows: the image scaled to fit 48 x 48.
    QImage dragImage() const;
    // Where that picture sits: centred on the tile.
    QPointF dragImageOrigin() const;

    // Runs a tile drag; tests put a recorder here.
    using DragRunner = std::function<Qt::DropAction(QDrag *)>;
    static void setDragRunner(DragRunner runner);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void popCursor();

    QImage m_image;
    QString m_pBoardType;
    bool m_mouseOver = false;
    bool m_cursorPushed = false;
};
