#include "application/WindowSystem.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

DesktopWindowSystem::DesktopWindowSystem(QObject *parent) : WindowSystem(parent)
{
    qApp->installEventFilter(this);
}

DesktopWindowSystem::~DesktopWindowSystem()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

QList<QWidget *> DesktopWindowSystem::orderedWindows() const
{
    QList<QWidget *> windows;
    for (const QPointer<QWidget> &w : m_activationOrder)
        if (w && w->isVisible())
            windows << w.data();
    // Windows never activated are behind the others.
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && !windows.contains(w))
            windows << w;
    return windows;
}

QWidget *DesktopWindowSystem::mainWindow() const
{
    return QApplication::activeWindow();
}

bool DesktopWindowSystem::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::WindowActivate && type != QEvent::WindowDeactivate)
        return false;
    auto *window = qobject_cast<QWidget *>(watched);
    if (!window || !window->isWindow())
        return false;
    m_activationOrder.removeAll(nullptr);
    if (type == QEvent::WindowActivate) {
        m_activationOrder.removeAll(window);
        m_activationOrder.prepend(window);
    }
    emit mainWindowChanged();
    return false;
}
