#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QAbstractButton;
class QPropertyAnimation;

// A translucent dark floating panel with a painted title bar and close
// button. It never takes the keyboard focus and moves when dragged by any
// point of its background.
class HUDWindow : public QWidget
{
    Q_OBJECT
public:
    // Whatever window flags are asked for, the panel is frameless.
    explicit HUDWindow(QWidget *parent = nullptr, Qt::WindowFlags requested = {});
    ~HUDWindow() override;

    static constexpr int titleBarHeight = 19;

    bool canBecomeKeyWindow() const { return false; }
    QAbstractButton *closeWidget() const { return m_closeWidget; }

    void setTitle(const QString &title) { setWindowTitle(title); }
    QString title() const { return windowTitle(); }

    // Moves and resizes the panel; animated, the background is rebuilt and
    // repainted at every step.
    void setFrame(const QRect &frame, bool display, bool animate);
    bool forceDisplay() const { return m_forceDisplay; }

    // The background for the panel's current size and title.
    QPixmap sizedHUDBackground() const;
    const QPixmap &background() const { return m_background; }

public slots:
    // Takes the panel off the screen without closing it.
    void orderOut() { hide(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void addCloseWidget();
    void windowDidResize();

    QAbstractButton *m_closeWidget = nullptr;
    QPixmap m_background;
    bool m_forceDisplay = false;
    QPointer<QPropertyAnimation> m_frameAnimation;
    bool m_dragging = false;
    QPoint m_dragOffset;
};
