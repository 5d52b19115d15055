#pragma once

#include <QWidget>

class QKeyEvent;
class QMouseEvent;

// Offered the panel's key and mouse presses before they are delivered.
class NSFancyPanelDelegate
{
public:
    virtual ~NSFancyPanelDelegate() = default;
    // True when the event is consumed.
    virtual bool handlesKeyDown(QKeyEvent *event, QWidget *window) { return false; }
    virtual bool handlesMouseDown(QMouseEvent *event, QWidget *window) { return false; }
};

// A borderless panel that still takes the keyboard, and lets its delegate see
// key and mouse presses anywhere inside it first.
class NSFancyPanel : public QWidget
{
    Q_OBJECT

public:
    explicit NSFancyPanel(QWidget *parent = nullptr);
    ~NSFancyPanel() override;

    void setDelegate(NSFancyPanelDelegate *delegate) { m_delegate = delegate; }
    NSFancyPanelDelegate *delegate() const { return m_delegate; }

    // The routing, for events meant for the panel or any widget inside it.
    bool sendEvent(QObject *receiver, QEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    NSFancyPanelDelegate *m_delegate = nullptr;
    bool m_filtering = false;
};
