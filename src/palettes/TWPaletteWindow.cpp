#include "palettes/TWPaletteWindow.h"

#include "palettes/TWPaletteBezel.h"
#include "palettes/TWPaletteBezelContainerView.h"
#include "platform/Geometry.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

TWPaletteWindow::TWPaletteWindow(const QRect &contentRect, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setGeometry(contentRect);
    m_container = new TWPaletteBezelContainerView(this);
    m_container->setHostWindow(this);
    m_container->setFloating(true);
    m_container->setGeometry(0, 0, contentRect.width(), contentRect.height());
}

bool TWPaletteWindow::canPlaceWindows()
{
    // Wayland lets only the compositor place windows.
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QPoint TWPaletteWindow::clampedOrigin(QPoint origin, const QRect &available)
{
    if (origin.y() < available.top())
        origin.setY(available.top());
    return origin;
}

void TWPaletteWindow::beginMove(QPoint globalPoint)
{
    if (!canPlaceWindows()) {
        if (QWindow *handle = windowHandle())
            handle->startSystemMove();
        return;
    }
    m_initialLocation = globalPoint - geometry().topLeft();
}

void TWPaletteWindow::moveTo(QPoint globalPoint)
{
    if (!canPlaceWindows())
        return;
    QPoint origin = globalPoint - m_initialLocation;
    if (QScreen *screen = QGuiApplication::primaryScreen())
        origin = clampedOrigin(origin, screen->availableGeometry());
    move(origin);
}

void TWPaletteWindow::endMove(QPoint globalPoint)
{
    if (!canPlaceWindows())
        return;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *other = qobject_cast<TWPaletteWindow *>(widget);
        if (!other || other == this || !other->isVisible() ||
            !other->geometry().contains(globalPoint))
            continue;
        // Dropped onto another palette window: its stack takes ours.
        for (TWPaletteBezel *bezel : m_container->bezels()) {
            m_container->removeBezel(bezel);
            other->bezelContainer()->addBezel(bezel);
        }
        close();
        return;
    }
}

QVariantMap TWPaletteWindow::saveDictionary() const
{
    const QList<TWPaletteBezel *> list = m_container->bezels();
    if (list.isEmpty())
        return {};
    QStringList ids;
    for (TWPaletteBezel *bezel : list)
        ids.append(bezel->paletteID());
    return {{WindowFrameKey, Rect::fromQt(QRectF(geometry())).toString()}, {PaletteIDsKey, ids}};
}

void TWPaletteWindow::mousePressEvent(QMouseEvent *event)
{
    beginMove(event->globalPosition().toPoint());
}

void TWPaletteWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        moveTo(event->globalPosition().toPoint());
}

void TWPaletteWindow::mouseReleaseEvent(QMouseEvent *event)
{
    endMove(event->globalPosition().toPoint());
}
