#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
#include <QNetworkReply>

// One bounded GET of a small file from the maker's server: asynchronous, no
// redirects followed, a transfer time-out and a size cap, so that a slow or
// hostile server can neither block the program nor fill its memory.
class TWHTTPFetch : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeout = 60000;
    static constexpr qint64 DefaultMaximumSize = 1024 * 1024;

    struct Result
    {
        bool ok = false;
        QByteArray data;
        // Why the fetch failed, for the user; empty on success.
        QString error;
    };
    using Completion = std::function<void(const Result &)>;

    explicit TWHTTPFetch(QObject *parent = nullptr);
    ~TWHTTPFetch() override;

    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    int timeout() const { return m_timeout; }
    void setMaximumSize(qint64 bytes) { m_maximumSize = bytes; }

    // Starts the fetch; `done` runs once, later, on this thread. False (and
    // no call) while a fetch is running.
    bool get(const QUrl &url, Completion done);
    bool isRunning() const { return m_reply != nullptr; }
    void abort();

    // https anywhere; plain http only to this machine (tests and local mirrors).
    static bool isAcceptableURL(const QUrl &url);
    // A base address ("https://host/path/") joined with a path of our own.
    static QUrl urlWithBase(const QString &base, const QString &path);

signals:
    // The expected size (-1 when unknown) and the bytes received so far.
    void progress(qint64 received, qint64 expected);

private:
    void finish(const Result &result);

    QNetworkAccessManager *m_manager = nullptr;
    QPointer<QNetworkReply> m_reply;
    Completion m_done;
    int m_timeout = DefaultTimeout;
    qint64 m_maximumSize = DefaultMaximumSize;
    bool m_tooLarge = false;
};
