#pragma once

#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QProgressBar>

class QLabel;
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

    // Made at start-up so that it hears the first document load.
    static ProgressPanelController &sharedProgressPanel();

    ProgressPanelController();
    ~ProgressPanelController() override;

    void runIndeterminate(bool indeterminate, double maximum);
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
    void startLoading(const Notification &notification);
    void loadIncrement(const Notification &notification);
    void finishLoading(const Notification &notification);

    std::unique_ptr<QWidget> m_progressPanel;
    QLabel *m_info = nullptr;
    QProgressBar *m_progressBar = nullptr;
    bool m_indeterminate = false;
    double m_value = 0;
    double m_maximum = 0;
    std::vector<ObserverToken> m_observers;
};
