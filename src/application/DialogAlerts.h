#pragma once

#include "platform/Alerts.h"

// Alerts as the program shows them: message boxes over the active window,
// the desktop's file dialogs and the system beep.
class DialogAlerts : public Alerts
{
public:
    void beep() override;
    int runAlertPanel(const QString &title, const QString &message,
                      const QStringList &buttons) override;
    QStringList runOpenPanel(const OpenPanelOptions &options) override;
    std::optional<QString> runSavePanel(const SavePanelOptions &options) override;

protected:
    // Every modal dialog showing (its own boxes and panels, and the other
    // windows that ask) is rejected; a save's progress sheet stays.
    void endShownQuestions() override;
};
