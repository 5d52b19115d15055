#pragma once

#include "platform/Alerts.h"

#include <QList>
#include <deque>

// Test double: counts beeps, records every alert and panel and answers them
// from queues the test fills. An unanswered alert gets the default button
// (index 0), an unanswered panel is cancelled.
class RecordingAlerts : public Alerts
{
public:
    struct Alert
    {
        QString title;
        QString message;
        QStringList buttons;
    };

    void beep() override { ++m_beeps; }
    int runAlertPanel(const QString &title, const QString &message,
                      const QStringList &buttons) override;
    QStringList runOpenPanel(const OpenPanelOptions &options) override;
    std::optional<QString> runSavePanel(const SavePanelOptions &options) override;

    void queueAlertResponse(int buttonIndex) { m_alertResponses.push_back(buttonIndex); }
    void queueOpenResponse(const QStringList &paths) { m_openResponses.push_back(paths); }
    void queueSaveResponse(const std::optional<QString> &path) { m_saveResponses.push_back(path); }

    int beepCount() const { return m_beeps; }
    const QList<Alert> &alerts() const { return m_alerts; }
    const QList<OpenPanelOptions> &openPanels() const { return m_openPanels; }
    const QList<SavePanelOptions> &savePanels() const { return m_savePanels; }
    void clear();

private:
    int m_beeps = 0;
    QList<Alert> m_alerts;
    QList<OpenPanelOptions> m_openPanels;
    QList<SavePanelOptions> m_savePanels;
    std::deque<int> m_alertResponses;
    std::deque<QStringList> m_openResponses;
    std::deque<std::optional<QString>> m_saveResponses;
};
