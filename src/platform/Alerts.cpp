#include "platform/Alerts.h"
#include "platform/RecordingAlerts.h"

#include <QDebug>
#include <atomic>

namespace {
SilentAlerts &silentAlerts()
{
    static SilentAlerts instance;
    return instance;
}
std::atomic<Alerts *> g_current{nullptr};
std::atomic<bool> g_questionsEnded{false};

// Answers in place of every alerts instance once questions are ended.
class EndedAlerts : public Alerts
{
public:
    void beep() override {}
    int runAlertPanel(const QString &title, const QString &message, const QStringList &) override
    {
        qWarning().noquote() << "Not asked, the program is ending:" << title << "-" << message;
        return Unanswered;
    }
    QStringList runOpenPanel(const OpenPanelOptions &) override { return {}; }
    std::optional<QString> runSavePanel(const SavePanelOptions &) override { return std::nullopt; }
};

EndedAlerts &endedAlerts()
{
    static EndedAlerts instance;
    return instance;
}
} // namespace

Alerts::~Alerts() = default;

Alerts &Alerts::current()
{
    if (g_questionsEnded.load(std::memory_order_acquire))
        return endedAlerts();
    Alerts *a = g_current.load(std::memory_order_acquire);
    return a ? *a : silentAlerts();
}

void Alerts::setCurrent(Alerts *alerts)
{
    g_current.store(alerts, std::memory_order_release);
}

void Alerts::endQuestions()
{
    if (g_questionsEnded.exchange(true))
        return;
    if (Alerts *shown = g_current.load(std::memory_order_acquire))
        shown->endShownQuestions();
}

bool Alerts::questionsEnded()
{
    return g_questionsEnded.load(std::memory_order_acquire);
}

void Alerts::resumeQuestions()
{
    g_questionsEnded.store(false, std::memory_order_release);
}

Alerts::Scope::Scope(Alerts *alerts) : m_previous(g_current.exchange(alerts)) {}

Alerts::Scope::~Scope()
{
    g_current.store(m_previous, std::memory_order_release);
}

void SilentAlerts::beep() {}

int SilentAlerts::runAlertPanel(const QString &title, const QString &message,
                                const QStringList &buttons)
{
    qWarning().noquote() << "Alert:" << title << "-" << message;
    return 0;
}

QStringList SilentAlerts::runOpenPanel(const OpenPanelOptions &)
{
    return {};
}

std::optional<QString> SilentAlerts::runSavePanel(const SavePanelOptions &)
{
    return std::nullopt;
}

int RecordingAlerts::runAlertPanel(const QString &title, const QString &message,
                                   const QStringList &buttons)
{
    m_alerts.append({title, message, buttons});
    if (m_alertResponses.empty())
        return 0;
    const int answer = m_alertResponses.front();
    m_alertResponses.pop_front();
    return answer;
}

QStringList RecordingAlerts::runOpenPanel(const OpenPanelOptions &options)
{
    m_openPanels.append(options);
    if (m_openResponses.empty())
        return {};
    QStringList answer = m_openResponses.front();
    m_openResponses.pop_front();
    return answer;
}

std::optional<QString> RecordingAlerts::runSavePanel(const SavePanelOptions &options)
{
    m_savePanels.append(options);
    if (m_saveResponses.empty())
        return std::nullopt;
    // Moved out in two steps: copying the optional whole makes GCC 12 warn at -O3.
    const bool answered = m_saveResponses.front().has_value();
    QString path = std::move(m_saveResponses.front()).value_or(QString());
    m_saveResponses.pop_front();
    if (!answered)
        return std::nullopt;
    return path;
}

void RecordingAlerts::clear()
{
    m_beeps = 0;
    m_alerts.clear();
    m_openPanels.clear();
    m_savePanels.clear();
    m_alertResponses.clear();
    m_openResponses.clear();
    m_saveResponses.clear();
}
