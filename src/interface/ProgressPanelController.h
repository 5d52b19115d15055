#pragma once

#include "platform/NotificationCenter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressBar>

class QLabel;
class QPushButton;
class QWidget;

// The shared panel that shows progress of long work: a line of information
// and a counted or indeterminate bar. Document loading drives it through the
// loading notifications; importers and exporters call it directly.
class ProgressPanelController : public QObject
{
    Q_OBJECT

public:
    // The text shown for an increment travels under this user-info key.
    static inline const QString InfoKey = QStringLiteral("info");

    // How long a run waits for the window system to show the panel, and how
    // often the panel is painted while the work runs.
    static constexpr int ExposeWaitMilliseconds = 500;
    static constexpr int RepaintMilliseconds = 100;

    // Made at start-up so that it hears the first document load.
    static ProgressPanelController &sharedProgressPanel();

    ProgressPanelController();
    ~ProgressPanelController() override;

    void runIndeterminate(bool indeterminate, double maximum);
    // The same for work that runs without returning to the event loop: the
    // panel is painted before this returns, waiting (briefly, letting
    // nothing the user does through) for the window system to show it.
    // Other work's events may run meanwhile: not for work that expects none.
    void runBeforeBlockingWork(bool indeterminate, double maximum);
    // Work that can stop offers Cancel. While it is offered the panel keeps
    // the rest of the program from input (it is application-modal) and each
    // update lets the window system through, so that the program repaints
    // and the button can be clicked. It stays offered across finish() until
    // withdrawn, so that work of several stages keeps one answer.
    void setCancellable(bool cancellable);
    bool isCancellable() const { return m_cancellable; }
    bool isCancelled() const { return m_cancelled; }
    // What the Cancel button does; for tests and keyboard equivalents.
    void cancel();
    // Lets the window system through while Cancel is offered; true unless cancelled.
    bool keepResponsive();
    QPushButton *cancelButton() const { return m_cancelButton; }
    // Shows the text (an empty line for none) and counts one item.
    void setInfoString(const QString &info);
    void finish();

    QWidget *progressPanel() const { return m_progressPanel.get(); }
    QProgressBar *progressBar() const { return m_progressBar; }
    QString infoString() const;
    bool isIndeterminate() const { return m_indeterminate; }
    // The counted bar's value and maximum (the bar itself holds whole numbers).
    double value() const { return m_value; }
    double maximum() const { return m_maximum; }

private:
    void makePanel();
    void paintNow();
    void startLoading(const Notification &notification);
    void loadIncrement(const Notification &notification);
    void finishLoading(const Notification &notification);

    std::unique_ptr<QWidget> m_progressPanel;
    // The application object the panel's window was made under.
    QPointer<QObject> m_panelApplication;
    // The window that had the keyboard when the panel showed.
    QPointer<QWidget> m_returnTo;
    QLabel *m_info = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QPushButton *m_cancelButton = nullptr;
    bool m_cancellable = false;
    bool m_cancelled = false;
    bool m_indeterminate = false;
    double m_value = 0;
    double m_maximum = 0;
    QElapsedTimer m_lastPaint;
    std::vector<ObserverToken> m_observers;
};
