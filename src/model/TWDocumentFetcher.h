#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QUrl>
#include <functional>

// Fetches the data of a map document at a web address without blocking the
// interface. The answer always comes later, from the event loop: the data,
// or an empty array when the fetch failed, was refused or timed out.
class TWDocumentFetcher
{
public:
    using Callback = std::function<void(const QByteArray &data)>;

    virtual ~TWDocumentFetcher() = default;
    virtual void fetch(const QUrl &url, Callback done) = 0;
};

// Over http and https only, past any cache, refusing redirects to a less safe
// scheme, within a time limit and a size limit. Pending fetches end unanswered
// when the fetcher goes.
class NetworkDocumentFetcher : public QObject, public TWDocumentFetcher
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMs = 30000;
    static constexpr qint64 DefaultMaxSize = qint64(1) << 30;

    explicit NetworkDocumentFetcher(QObject *parent = nullptr);

    void fetch(const QUrl &url, Callback done) override;

    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int timeoutMs) { m_timeoutMs = timeoutMs; }
    qint64 maxSize() const { return m_maxSize; }
    void setMaxSize(qint64 maxSize) { m_maxSize = maxSize; }

private:
    QNetworkAccessManager m_manager;
    int m_timeoutMs = DefaultTimeoutMs;
    qint64 m_maxSize = DefaultMaxSize;
};
