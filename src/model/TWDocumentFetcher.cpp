#include "model/TWDocumentFetcher.h"

#include <QDebug>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <memory>

NetworkDocumentFetcher::NetworkDocumentFetcher(QObject *parent) : QObject(parent)
{
    // Documents are fetched afresh every time and leave nothing behind.
    m_manager.setCache(nullptr);
}

void NetworkDocumentFetcher::fetch(const QUrl &url, Callback done)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        QTimer::singleShot(0, this, [done = std::move(done)] { done({}); });
        return;
    }

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = m_manager.get(request);

    // One limit for the whole fetch: a server that sends a byte now and then
    // must not hold the document back for ever.
    QTimer::singleShot(m_timeoutMs, reply, [reply] { reply->abort(); });
    const qint64 maxSize = m_maxSize;
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [reply, maxSize](qint64 received, qint64 total) {
                if (received > maxSize || total > maxSize)
                    reply->abort();
            });
    connect(reply, &QNetworkReply::finished, this, [reply, maxSize, done = std::move(done)] {
        reply->deleteLater();
        // A small reply can arrive whole before its progress is reported.
        const bool tooLarge = reply->bytesAvailable() > maxSize;
        if (reply->error() != QNetworkReply::NoError || tooLarge) {
            qWarning().noquote() << "Fetching" << reply->url().toString() << "failed:"
                                 << (tooLarge ? QStringLiteral("too large") : reply->errorString());
            done({});
            return;
        }
        done(reply->readAll());
    });
}
