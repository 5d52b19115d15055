#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QToolButton>
#include <functional>
#include <vector>

class QButtonGroup;
class TWGraphicView;

// A tool button of the palette, tagged with its mode. The selected button
// wears a badge: "1" while the mode is one-shot, infinity while it is
// locked in.
class TWToolPaletteButton : public QToolButton
{
    Q_OBJECT

public:
    TWToolPaletteButton(int mode, QWidget *parent = nullptr);
    int mode() const { return m_mode; }
    bool isLockedIn() const { return m_lockedIn; }
    void lock();
    void unlock();
    // The badge picture shown now; empty on an unselected button.
    QString badgeName() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_mode;
    bool m_lockedIn = false;
};

// The floating tool palette: one button per tool mode of the canvas of the
// window the user works in. One click on a tool picks it for one use, a
// click on the active one-shot tool (or a double click) locks it in, and a
// click on the locked tool makes it one-shot again.
class TWToolPaletteController : public QObject
{
    Q_OBJECT

public:
    static inline const QString FrameName = QStringLiteral("TWToolPaletteFrame");
    static inline const QString FullScreenChangedNotification =
        QStringLiteral("TWDocumentDidChangeFullScreenMode");

    explicit TWToolPaletteController(QObject *parent = nullptr);
    ~TWToolPaletteController() override;
    // The application's palette, made on first use.
    static TWToolPaletteController &sharedToolPaletteController();

    QWidget *panel() const { return m_panel; }
    TWToolPaletteButton *button(int mode) const;
    QToolButton *closeButton() const { return m_closeButton; }
    TWGraphicView *inspectingCanvas() const;

    // Shows the palette and remembers it is shown.
    void showPanel();
    // Every canvas goes back to the select tool, unlocked; the palette hides
    // and remembers it is hidden.
    void closePanel();
    // The canvases closePanel() resets; every canvas of the application
    // unless set.
    void setCanvasProvider(std::function<QList<TWGraphicView *>()> provider);

    // The palette follows the canvas of that window (none for a window
    // without one).
    void setMainWindow(QWidget *window);
    // The button of the canvas's mode is selected and shows its lock.
    void update();
    void unlockAll();
    // Moves the palette back on its screen when its top or bottom left it.
    void checkToolPalettePosition();
    // A tool button was clicked.
    void toolClicked(int mode);

private:
    void buildPanel();
    void restoreFrame();
    void saveFrame();
    bool eventFilter(QObject *watched, QEvent *event) override;

    QWidget *m_panel = nullptr;
    QToolButton *m_closeButton = nullptr;
    QButtonGroup *m_buttons = nullptr;
    QPointer<TWGraphicView> m_canvas;
    std::function<QList<TWGraphicView *>()> m_canvasProvider;
    bool m_restoring = false;
    std::vector<ObserverToken> m_observers;
};
