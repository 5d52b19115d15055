#include "canvas/TWPoofWindow.h"

#include <QPainter>

TWPoofWindow::TWPoofWindow(const QImage &strip, QPoint centre, int frameInterval)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint |
                           Qt::WindowTransparentForInput),
      m_strip(strip), m_frameWidth(strip.width() / FrameCount)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    const QSize frameSize(m_frameWidth, strip.height());
    setFixedSize(frameSize);
    move(centre - QPoint(frameSize.width() / 2, frameSize.height() / 2));
    connect(&m_timer, &QTimer::timeout, this, &TWPoofWindow::step);
    m_timer.start(frameInterval);
    show();
}

void TWPoofWindow::step()
{
    if (m_frame + 1 >= FrameCount) {
        m_timer.stop();
        close();
        return;
    }
    ++m_frame;
    update();
}

void TWPoofWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.drawImage(QPoint(0, 0), m_strip,
                      QRect(m_frame * m_frameWidth, 0, m_frameWidth, m_strip.height()));
}
