#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

// Which windows are open in which order, and which one the user works in.
class WindowSystem : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Visible top-level windows, front to back.
    virtual QList<QWidget *> orderedWindows() const = 0;
    // The window the user works in, or nullptr.
    virtual QWidget *mainWindow() const = 0;

signals:
    // A window became or stopped being the main window.
    void mainWindowChanged();
};

// The desktop's windows, ordered by when each was last activated: the most
// recently active is in front.
class DesktopWindowSystem : public WindowSystem
{
    Q_OBJECT

public:
    explicit DesktopWindowSystem(QObject *parent = nullptr);
    ~DesktopWindowSystem() override;

    QList<QWidget *> orderedWindows() const override;
    QWidget *mainWindow() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QPointer<QWidget>> m_activationOrder;
};
