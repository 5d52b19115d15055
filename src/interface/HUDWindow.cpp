#include "interface/HUDWindow.h"

#include "interface/RoundedBox.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QToolButton>

namespace {

constexpr qreal kCornerRadius = 6.0;

// A small grey disc with a cross, for the close button.
QIcon closeIcon()
{
    QPixmap pixmap(26, 26);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 200, 200, 220));
    p.drawEllipse(QRectF(0.5, 0.5, 12, 12));
    p.setPen(QPen(QColor(40, 40, 40), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(9, 9));
    p.drawLine(QPointF(9, 4), QPointF(4, 9));
    return QIcon(pixmap);
}

} // namespace

HUDWindow::HUDWindow(QWidget *parent, Qt::WindowFlags)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setWindowOpacity(1.0);
    addCloseWidget();
    windowDidResize();
}

HUDWindow::~HUDWindow()
{
    if (m_frameAnimation)
        m_frameAnimation->stop();
}

void HUDWindow::addCloseWidget()
{
    auto *button = new QToolButton(this);
    button->setObjectName("hud_titlebar-close");
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(closeIcon());
    button->setIconSize(QSize(13, 13));
    button->setStyleSheet("QToolButton { border: none; padding: 0; background: transparent; }");
    // Qt counts from the top: 3 points down, like the original's 16 up from a 13-high button.
    button->setGeometry(3, 3, 13, 13);
    connect(button, &QToolButton::clicked, this, &HUDWindow::orderOut);
    m_closeWidget = button;
}

void HUDWindow::windowDidResize()
{
    m_background = sizedHUDBackground();
    if (m_forceDisplay)
        repaint();
    else
        update();
}

void HUDWindow::setFrame(const QRect &frame, bool display, bool animate)
{
    if (m_frameAnimation)
        m_frameAnimation->stop();
    if (!animate) {
        m_forceDisplay = true;
        setGeometry(frame);
        if (display && isVisible())
            repaint();
        m_forceDisplay = false;
        return;
    }
    // The platform's animated resize blocks; this one runs on the event loop.
    auto *animation = new QPropertyAnimation(this, "geometry", this);
    animation->setDuration(200);
    animation->setStartValue(geometry());
    animation->setEndValue(frame);
    connect(animation, &QPropertyAnimation::finished, this, [this] { m_forceDisplay = false; });
    m_frameAnimation = animation;
    m_forceDisplay = true;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

QPixmap HUDWindow::sizedHUDBackground() const
{
    const int w = std::max(width(), 1);
    const int h = std::max(height(), 1);
    const int body = h - titleBarHeight;
    QPixmap picture(w, h);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    // The shapes are laid out upwards from the bottom edge.
    p.translate(0, h);
    p.scale(1, -1);

    QPainterPath bodyPath;
    bodyPath.moveTo(w / 2, 0);
    RoundedBox::appendArc(bodyPath, QPointF(w, 0), QPointF(w, body / 2), kCornerRadius);
    bodyPath.lineTo(w, body);
    bodyPath.lineTo(0, body);
    RoundedBox::appendArc(bodyPath, QPointF(0, body), QPointF(0, body / 2), kCornerRadius);
    RoundedBox::appendArc(bodyPath, QPointF(0, 0), QPointF(w / 2, 0), kCornerRadius);
    bodyPath.closeSubpath();
    p.fillPath(bodyPath, QColor::fromRgbF(0.1f, 0.1f, 0.1f, 0.75f));

    QPainterPath titlePath;
    titlePath.moveTo(0, body);
    titlePath.lineTo(w, body);
    RoundedBox::appendArc(titlePath, QPointF(w, h), QPointF(w / 2, h), kCornerRadius);
    RoundedBox::appendArc(titlePath, QPointF(0, h), QPointF(0, body), kCornerRadius);
    titlePath.closeSubpath();
    p.fillPath(titlePath, QColor::fromRgbF(0.25f, 0.25f, 0.25f, 0.75f));

    p.resetTransform();
    QFont font = QApplication::font();
    font.setPixelSize(11);
    const QFontMetricsF metrics(font);
    const qreal vInset = (titleBarHeight - metrics.height()) * 0.5;
    const QRectF textRect =
        QRectF(0, 0, w, titleBarHeight).adjusted(titleBarHeight, vInset, -titleBarHeight, -vInset);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(
        textRect, Qt::AlignHCenter | Qt::AlignVCenter,
        metrics.elidedText(windowTitle(), Qt::ElideRight, std::max<qreal>(0, textRect.width())));
    return picture;
}

void HUDWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawPixmap(0, 0, m_background);
}

void HUDWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    windowDidResize();
}

void HUDWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The title is part of the background picture.
    if (event->type() == QEvent::WindowTitleChange)
        windowDidResize();
}

void HUDWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void HUDWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return QWidget::mouseMoveEvent(event);
    move(event->globalPosition().toPoint() - m_dragOffset);
}

void HUDWindow::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}
