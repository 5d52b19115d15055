#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>

class TWHTTPFetch;

// Reads the update feed (an RSS appcast) on the schedule the preferences set
// and offers a newer release. Only when the user agrees is the release
// downloaded, checked against the size (and digest) the feed gives, and
// shown in the file manager; nothing is installed or run.
class TWAppcastUpdater : public QObject
{
    Q_OBJECT

public:
    static inline const QString FeedURLKey = QStringLiteral("SUFeedURLKey");
    static inline const QString CheckAtStartupKey = QStringLiteral("SUCheckAtStartup");
    static inline const QString IntervalKey = QStringLiteral("SUScheduledCheckInterval");
    static inline const QString LastCheckKey = QStringLiteral("SULastCheckTime");
    static constexpr int StartDelay = 1000;
    // Releases are large, but not this large.
    static constexpr qint64 MaximumDownload = 512LL * 1024 * 1024;

    struct Item
    {
        QString title;
        QString version;
        QUrl enclosure;
        qint64 length = -1;
        QByteArray sha256; // lower-case hexadecimal, empty when not given
    };

    struct Environment
    {
        std::function<QDateTime()> now;
        // Whether the user wants the item downloaded.
        std::function<bool(const Item &)> confirm;
        // Shows the downloaded file in the file manager.
        std::function<void(const QString &path)> reveal;
        QString downloadFolder; // the user's Downloads folder when empty
        QString currentVersion; // the application's when empty
        int startDelay = StartDelay;
    };

    static TWAppcastUpdater &sharedUpdater();
    TWAppcastUpdater();
    explicit TWAppcastUpdater(Environment environment);
    ~TWAppcastUpdater() override;

    // Checks at start-up or schedules the interval check, as the settings say.
    void start();
    void checkForUpdates();
    // The pending timer's delay in milliseconds, or nothing.
    std::optional<int> pendingTimerInterval() const;

    // The newest item of an appcast, or nothing when it holds none.
    static std::optional<Item> newestItem(const QByteArray &feed);
    // A file name for the download that cannot leave the folder.
    static QString safeFileName(const QUrl &url);

    // --- for tests ---
    TWHTTPFetch *fetcher() const { return m_fetch; }
    int finishedChecks() const { return m_finished; }
    // The file kept by the last download, or empty.
    QString downloadedFile() const { return m_downloadedFile; }

signals:
    void finished();

private:
    void schedule();
    void feedArrived(const QByteArray &feed);
    void download(const Item &item);
    void downloaded(const Item &item, const QByteArray &data);
    void reportDownloadError(const QString &reason);
    void done();
    QDateTime now() const;

    Environment m_environment;
    TWHTTPFetch *m_fetch = nullptr;
    TWHTTPFetch *m_download = nullptr;
    QTimer m_timer;
    int m_finished = 0;
    QString m_downloadedFile;
};
