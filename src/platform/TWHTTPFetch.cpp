#include "platform/TWHTTPFetch.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

TWHTTPFetch::TWHTTPFetch(QObject *parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{}

TWHTTPFetch::~TWHTTPFetch()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

bool TWHTTPFetch::isAcceptableURL(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https")
        return true;
    if (scheme != u"http")
        return false;
    const QString host = url.host().toLower();
    if (host == u"localhost")
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QUrl TWHTTPFetch::urlWithBase(const QString &base, const QString &path)
{
    QString text = base.trimmed();
    while (text.endsWith(u'/'))
        text.chop(1);
    if (text.isEmpty())
        return QUrl();
    const QUrl url(text + path, QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

bool TWHTTPFetch::get(const QUrl &url, Completion done)
{
    if (m_reply)
        return false;
    m_done = std::move(done);
    m_tooLarge = false;
    if (!isAcceptableURL(url)) {
        // Reported like any other failure, after the caller has returned.
        QMetaObject::invokeMethod(
            this,
            [this] {
                finish({false, {}, tr("The address is not a secure web address.")});
            },
            Qt::QueuedConnection);
        return true;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_timeout);
    QNetworkReply *reply = m_manager->get(request);
    m_reply = reply;
    const auto tooLarge = [this, reply](qint64 size) {
        if (size <= m_maximumSize || m_tooLarge)
            return false;
        m_tooLarge = true;
        reply->abort();
        return true;
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, tooLarge] {
        tooLarge(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    });
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, tooLarge](qint64 received, qint64 expected) {
                if (!tooLarge(received))
                    emit progress(received, expected);
            });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        m_reply = nullptr;
        if (m_tooLarge) {
            finish({false, {}, tr("The server sent more data than expected.")});
            return;
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::OperationCanceledError)
            finish({false, {}, tr("The request timed out.")});
        else if (status >= 300 && status < 400)
            finish({false, {}, tr("The server redirected the request elsewhere.")});
        else if (reply->error() != QNetworkReply::NoError)
            finish({false, {}, reply->errorString()});
        else
            finish({true, reply->readAll(), {}});
    });
    return true;
}

void TWHTTPFetch::abort()
{
    if (m_reply)
        m_reply->abort();
}

void TWHTTPFetch::finish(const Result &result)
{
    // The callback may start the next fetch.
    Completion done = std::exchange(m_done, nullptr);
    if (done)
        done(result);
}
