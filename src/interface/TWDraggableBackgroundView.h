#pragma once

#include <QPoint>
#include <QWidget>

// A background that draws nothing, so the window's own shows, and moves its
// window when dragged, never past the top or bottom of the screen's
// available area.
class TWDraggableBackgroundView : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override {}
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_dragging = false;
    QPoint m_lastLocation;
};
