#pragma once

#include "platform/Geometry.h"

#include <QList>
#include <QWidget>
#include <memory>

class TWGraphic;
class TWDrawingView;

// The floating image of a branch carried by a reparenting drag, painted
// translucent over the canvas's viewport; its 2-point frame shows what a
// drop would do.
class DragGraphicView : public QWidget
{
    Q_OBJECT

public:
    enum Style { NoTarget = 0, Graft = 1, Reorder = 2 };
    static constexpr qreal Opacity = 0.8;

    explicit DragGraphicView(QWidget *parent, const TWDrawingView *canvas = nullptr);

    void setGraphics(QList<std::shared_ptr<TWGraphic>> graphics)
    {
        m_graphics = std::move(graphics);
    }
    // The map point painted at the inner origin (the branch bounds' origin).
    void setOffset(Point offset) { m_offset = offset; }
    Point offset() const { return m_offset; }
    void setStyle(int style);
    int style() const { return m_style; }
    void setLineWidth(int width) { m_lineWidth = width; }
    void setZoomFactor(qreal zoom) { m_zoom = zoom; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<std::shared_ptr<TWGraphic>> m_graphics;
    const TWDrawingView *m_canvas;
    Point m_offset;
    int m_style = NoTarget;
    int m_lineWidth = 0;
    qreal m_zoom = 1;
};
