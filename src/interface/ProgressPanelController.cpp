#include "interface/ProgressPanelController.h"

#include "platform/LoadingNotifications.h"
#include "platform/TWLocalizedString.h"

#include <QApplication>
#include <QGuiApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>
#include <cmath>

ProgressPanelController &ProgressPanelController::sharedProgressPanel()
{
    static ProgressPanelController *shared = new ProgressPanelController;
    return *shared;
}

ProgressPanelController::ProgressPanelController()
{
    makePanel();

    NotificationCenter &center = NotificationCenter::defaultCenter();
    m_observers.push_back(center.observe(LoadingNotifications::Start, nullptr,
                                         [this](const Notification &n) { startLoading(n); }));
    m_observers.push_back(center.observe(LoadingNotifications::Increment, nullptr,
                                         [this](const Notification &n) { loadIncrement(n); }));
    m_observers.push_back(center.observe(LoadingNotifications::Finish, nullptr,
                                         [this](const Notification &n) { finishLoading(n); }));
}

void ProgressPanelController::makePanel()
{
    m_panelApplication = QCoreApplication::instance();
    m_progressPanel = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
    m_progressPanel->setWindowTitle(QStringLiteral("Progress"));
    auto *layout = new QVBoxLayout(m_progressPanel.get());
    m_info = new QLabel(m_progressPanel.get());
    m_info->setMinimumWidth(320);
    m_progressBar = new QProgressBar(m_progressPanel.get());
    m_progressBar->setTextVisible(false);
    m_cancelButton = new QPushButton(
        TWLocalizedString(StringTable::General, "Cancel"), m_progressPanel.get());
    m_cancelButton->hide();
    QObject::connect(m_cancelButton, &QPushButton::clicked, this, [this] { cancel(); });
    layout->addWidget(m_info);
    layout->addWidget(m_progressBar);
    layout->addWidget(m_cancelButton, 0, Qt::AlignRight);
}

ProgressPanelController::~ProgressPanelController() = default;

QString ProgressPanelController::infoString() const
{
    return m_info->text();
}

void ProgressPanelController::runIndeterminate(bool indeterminate, double maximum)
{
    // The panel outlives an application object (tests make several): one
    // made under an application that is gone is kept aside, unused, as its
    // window cannot be shown or safely destroyed, and made anew.
    if (!m_panelApplication) {
        static std::vector<std::unique_ptr<QWidget>> stale;
        stale.push_back(std::move(m_progressPanel));
        makePanel();
    }
    // Loading runs without returning to the event loop: paint at once.
    m_info->setText(QString());
    m_info->repaint();
    m_indeterminate = indeterminate;
    if (indeterminate) {
        m_progressBar->setRange(0, 0); // Qt's busy bar
    } else {
        m_maximum = std::max(0.0, maximum);
        m_value = 0;
        // A maximum of 0 would make Qt's bar busy; an empty counted bar is wanted.
        m_progressBar->setRange(0, std::max(1, int(std::ceil(m_maximum))));
        m_progressBar->setValue(0);
    }
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        m_progressPanel->adjustSize();
        QRect frame = m_progressPanel->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        m_progressPanel->move(frame.topLeft());
    }
    // The window the work was started from gets the keyboard back after it.
    QWidget *active = QApplication::activeWindow();
    if (!m_progressPanel->isVisible() && active && active != m_progressPanel.get())
        m_returnTo = active;
    m_progressPanel->show();
    m_progressPanel->raise();
    m_progressPanel->activateWindow();
    m_progressPanel->repaint();
    // The first line the work gives is painted at once.
    m_lastPaint.invalidate();
}

void ProgressPanelController::runBeforeBlockingWork(bool indeterminate, double maximum)
{
    runIndeterminate(indeterminate, maximum);
    paintNow();
}

void ProgressPanelController::paintNow()
{
    // The work that follows keeps the event loop from running, and a window
    // the window system has not yet shown cannot be painted: wait (briefly)
    // for it, letting through nothing the user does and no other work's
    // notifiers.
    QElapsedTimer waited;
    waited.start();
    const QWindow *window = m_progressPanel->windowHandle();
    while (window && !window->isExposed() && waited.elapsed() < ExposeWaitMilliseconds)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                            QEventLoop::ExcludeSocketNotifiers,
                                        10);
    m_progressPanel->repaint();
    // The first line the work gives is painted at once.
    m_lastPaint.invalidate();
}

void ProgressPanelController::setCancellable(bool cancellable)
{
    m_cancellable = cancellable;
    m_cancelled = false;
    m_cancelButton->setVisible(cancellable);
    m_cancelButton->setEnabled(cancellable);
    // Modality takes effect when the window is shown.
    const bool shown = m_progressPanel->isVisible();
    if (shown)
        m_progressPanel->hide();
    m_progressPanel->setWindowModality(cancellable ? Qt::ApplicationModal : Qt::NonModal);
    if (shown)
        m_progressPanel->show();
}

void ProgressPanelController::cancel()
{
    if (!m_cancellable)
        return;
    m_cancelled = true;
    m_cancelButton->setEnabled(false);
    m_info->setText(TWLocalizedString(StringTable::DadoZiz, "Cancelling…"));
}

void ProgressPanelController::setInfoString(const QString &info)
{
    m_info->setText(info);
    if (!m_indeterminate) {
        m_value += 1.0;
        // Beyond the maximum the bar stays full.
        m_progressBar->setValue(int(std::min(m_value, double(m_progressBar->maximum()))));
        if (m_maximum == 0)
            m_progressBar->setValue(0);
    }
    // Painted at once, as the work does not return to the event loop, but
    // a few times a second only: a load counts every branch.
    if (!m_lastPaint.isValid() || m_lastPaint.elapsed() >= RepaintMilliseconds) {
        m_info->repaint();
        m_progressBar->repaint();
        m_lastPaint.start();
    }
    keepResponsive();
}

bool ProgressPanelController::keepResponsive()
{
    // Only the panel takes input meanwhile: the rest of the program repaints.
    if (m_cancellable && m_progressPanel->isVisible())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return !m_cancelled;
}

void ProgressPanelController::finish()
{
    if (m_indeterminate)
        m_progressBar->setRange(0, 1); // stops the busy animation
    // Hiding the window that has the keyboard leaves it with no window at
    // all on some window systems; it goes back where it came from.
    const QWidget *active = QApplication::activeWindow();
    const bool hadKeyboard = !active || active == m_progressPanel.get();
    m_progressPanel->hide();
    if (hadKeyboard && m_returnTo && m_returnTo->isVisible())
        m_returnTo->activateWindow();
    m_returnTo = nullptr;
}

void ProgressPanelController::startLoading(const Notification &notification)
{
    // Loading runs without returning to the event loop.
    runBeforeBlockingWork(false,
                          notification.userInfo.value(LoadingNotifications::CountKey).toDouble());
}

void ProgressPanelController::loadIncrement(const Notification &notification)
{
    setInfoString(notification.userInfo.value(InfoKey).toString());
}

void ProgressPanelController::finishLoading(const Notification &)
{
    finish();
}
