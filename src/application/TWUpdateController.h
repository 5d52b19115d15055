#pragma once

#include "application/ApplicationServices.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <functional>
#include <optional>

#include <QDialog>
class QLabel;
class QPushButton;
class QTreeWidget;
class TWHTTPFetch;

// Turns a change's type into the name of the picture shown beside it.
namespace TWUpdateIconTransformer {
// 1 new, 2 improved, 3 fixed; an empty name for any other value.
QString transformedValue(const QVariant &type);
} // namespace TWUpdateIconTransformer

// The program's own update checker: fetches the maker's list of released
// versions, compares it with the running version and shows the versions
// window. Checks run at start-up, at an interval of days, or on request.
class TWUpdateController : public QObject, public UpdateController
{
    Q_OBJECT

public:
    static inline const QString CheckOnStartupKey =
        QStringLiteral("TWDefaultCheckForUpdateOnStartupString");
    static inline const QString CheckIntervalKey =
        QStringLiteral("TWDefaultCheckForUpdateAtIntervalString");
    static inline const QString SeenNoticeKey = QStringLiteral("TWUserSeenUpdateCheckingNotice");
    static inline const QString LastCheckKey = QStringLiteral("LastUpdateCheck");
    static inline const QString VersionsPath =
        QStringLiteral("/Updates/Thinkweb4/Mac/ThinkwebDeluxe.plist");
    static inline const QString BetaPath = QStringLiteral("/ThinkwebBetaVersion.txt");
    static inline const QString WebSiteHost = QStringLiteral("thinkweb.example.org");
    // Where each version keeps its list of changes, and a change its text.
    static inline const QString ChangesKey = QStringLiteral("changes");
    static inline const QString ChangeTextKey = QStringLiteral("text");
    static constexpr int StartDelay = 1000;
    static constexpr int RetryDelay = 4 * 60 * 60 * 1000;

    // What the controller calls outside itself; tests replace each.
    struct Environment
    {
        std::function<QDateTime()> now;
        std::function<bool(const QUrl &)> openUrl;
        // The running version; the application's when empty.
        QString currentVersion;
        // Before the schedule starts; negative to start it only by hand.
        int startDelay = StartDelay;
    };

    static TWUpdateController &sharedUpdateController();

    // Registers its defaults and, a second later, starts the schedule.
    TWUpdateController();
    explicit TWUpdateController(Environment environment);
    ~TWUpdateController() override;

    // What runs a second after creation: the first-launch question or the
    // schedule of the chosen mode.
    void start();
    // Whether an update address (TWServerBaseURL) is set at all.
    static bool hasUpdateAddress();
    void firstLaunch();
    void manualUpdate() override;
    void automaticUpdate();
    void timedUpdateIfNeeded();
    void rescheduleTimerForFailedUpdate();
    void downloadUpdateData();
    void downloadLatestVersion();

    // Compares dotted versions by number ("4.10" after "4.9"); a build with
    // letters after a number ("4.1b2") comes before the release ("4.1").
    static int compareVersions(const QString &a, const QString &b);
    // Whether `url` may be offered as a download: https on the maker's host.
    bool isTrustedDownload(const QUrl &url) const;
    // The beta version text trimmed, or empty when it is not a version.
    static QString sanitizedBetaVersion(const QByteArray &text);

    // --- state, for the window and for tests ---
    bool isManualUpdate() const { return m_manualUpdate; }
    bool downloadActive() const { return m_downloadActive; }
    // The pending timer's delay in milliseconds, or nothing.
    std::optional<int> pendingTimerInterval() const;
    QVariantList versionsArray() const { return m_versionsArray; }
    void setVersionsArray(const std::optional<QVariantList> &versions);
    bool downloadEnabled() const { return m_downloadEnabled; }
    QString informationText() const { return m_informationText; }
    QString currentVersionString() const { return m_currentVersionString; }
    QVariantMap latestVersion() const { return m_latestVersion; }
    qint64 updateDataTotalLength() const { return m_totalLength; }
    qint64 updateDataCurrentLength() const { return m_currentLength; }
    QDialog *updatesWindow() const { return m_updatesWindow; }
    TWHTTPFetch *fetcher() const { return m_fetch; }
    // Checks that have run to their end (a beta check included).
    int completedChecks() const { return m_completedChecks; }

signals:
    void checkFinished();

private:
    QUrl serverURL(const QString &path) const;
    QString pleaseCheckSentence() const;
    void failed(const QString &error);
    void completed(const QByteArray &data);
    void downloadComplete();
    void findLatestBetaRelease();
    void betaReleaseFound(const QString &beta);
    void showProgressPanel(bool show);
    void showUpdatesWindow();
    void fillUpdatesWindow();
    void scheduleTimer(qint64 milliseconds, void (TWUpdateController::*action)());
    QDateTime now() const;
    void finishCheck();

    Environment m_environment;
    bool m_manualUpdate = false;
    bool m_downloadActive = false;
    bool m_betaActive = false;
    QTimer m_updateTimer;
    QMetaObject::Connection m_timerAction;
    TWHTTPFetch *m_fetch = nullptr;
    TWHTTPFetch *m_betaFetch = nullptr;
    qint64 m_totalLength = 1;
    qint64 m_currentLength = 0;
    QVariantList m_versionsArray;
    bool m_downloadEnabled = false;
    QString m_informationText;
    QString m_currentVersionString;
    std::optional<int> m_currentIndex;
    QVariantMap m_latestVersion;
    int m_completedChecks = 0;
    QPointer<QDialog> m_updatesWindow;
    QLabel *m_informationLabel = nullptr;
    QTreeWidget *m_versionsTable = nullptr;
    QTreeWidget *m_changesTable = nullptr;
    QPushButton *m_downloadButton = nullptr;
};
