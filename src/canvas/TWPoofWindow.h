#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

// The puff of smoke of an adornment dropped on empty canvas: the five frames
// of a strip, one after another on a timer, in a borderless see-through
// window centred on a screen point. It closes and frees itself after the last.
class TWPoofWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FrameCount = 5;

    TWPoofWindow(const QImage &strip, QPoint centre, int frameInterval);
    // The frame shown now, 0 to 4.
    int frame() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void step();

    QImage m_strip;
    int m_frameWidth;
    int m_frame = 0;
    QTimer m_timer;
};
