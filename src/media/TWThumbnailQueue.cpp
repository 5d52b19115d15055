#include "media/TWThumbnailQueue.h"

#include "media/TWMediaNode.h"

#include <QDebug>
#include <QMetaObject>
#include <QMutexLocker>
#include <QPointer>
#include <QThread>

TWThumbnailQueue::TWThumbnailQueue(QObject *parent)
    : QObject(parent), m_processorCount(std::max(1, QThread::idealThreadCount()))
{
    m_pool.setMaxThreadCount(std::max(1, m_processorCount));
}

TWThumbnailQueue::~TWThumbnailQueue()
{
    {
        QMutexLocker locker(&m_lock);
        m_stopping = true;
        m_queue.clear();
    }
    m_pool.waitForDone();
}

std::optional<QImage> TWThumbnailQueue::photo(const QVariantMap &record)
{
    const QString path = record.value(TWMediaRecord::ImagePath).toString();
    bool start = false;
    {
        QMutexLocker locker(&m_lock);
        if (const auto it = m_cache.constFind(path); it != m_cache.cend())
            return *it;
        const QVariant cached = record.value(TWMediaRecord::CachedThumb);
        if (cached.canConvert<QImage>() && !cached.value<QImage>().isNull())
            return cached.value<QImage>();
        if (m_queue.contains(path)) {
            // Asked again: the newest request is served first.
            m_queue.removeOne(path);
            m_queue.append(path);
            return std::nullopt;
        }
        // A picture being read now is not queued a second time.
        if (m_processing.contains(path) || m_stopping)
            return std::nullopt;
        m_queue.append(path);
        const QString thumb = record.value(TWMediaRecord::ThumbPath).toString();
        if (!thumb.isEmpty())
            m_thumbPaths.insert(path, thumb);
        if (m_threadCount >= m_processorCount)
            return std::nullopt;
        ++m_threadCount;
        ++m_workersStarted;
        start = true;
    }
    if (start) {
        auto worker = [this] { backgroundLoad(); };
        if (m_starter) {
            m_starter(worker);
        } else {
            m_pool.setMaxThreadCount(std::max(m_pool.maxThreadCount(), m_processorCount));
            m_pool.start(worker);
        }
    }
    return std::nullopt;
}

void TWThumbnailQueue::backgroundLoad()
{
    QMutexLocker locker(&m_lock);
    for (;;) {
        if (m_queue.isEmpty()) {
            --m_threadCount;
            return;
        }
        const QString path = m_queue.takeLast();
        const QString thumb = m_thumbPaths.take(path);
        m_processing.insert(path);
        locker.unlock();

        const QImage image = loadPicture(path, thumb);

        locker.relock();
        if (!image.isNull() && !m_cache.contains(path))
            m_cache.insert(path, image);
        m_processing.remove(path);
        // The grid redraws on the main thread; the worker does not wait.
        QMetaObject::invokeMethod(
            this, [this, path] { emit thumbnailLoaded(path); }, Qt::QueuedConnection);
    }
}

QImage TWThumbnailQueue::loadPicture(const QString &path, const QString &thumbPath) const
{
    QImage image;
    if (m_loader && !thumbPath.isEmpty())
        image = m_loader(thumbPath);
    if (image.isNull() && m_loader)
        image = m_loader(path);
    if (image.isNull()) {
        image = m_loadErrorImage;
        if (!thumbPath.isEmpty())
            qWarning().noquote() << ThumbLoadErrorMessage.arg(thumbPath);
        else
            qWarning().noquote() << LoadErrorMessage.arg(path);
    }
    return image;
}

void TWThumbnailQueue::clearCache()
{
    QMutexLocker locker(&m_lock);
    m_cache.clear();
}

int TWThumbnailQueue::threadCount() const
{
    QMutexLocker locker(&m_lock);
    return m_threadCount;
}

int TWThumbnailQueue::workersStarted() const
{
    QMutexLocker locker(&m_lock);
    return m_workersStarted;
}

QStringList TWThumbnailQueue::queuedPaths() const
{
    QMutexLocker locker(&m_lock);
    return m_queue;
}

QSet<QString> TWThumbnailQueue::processingPaths() const
{
    QMutexLocker locker(&m_lock);
    return m_processing;
}

bool TWThumbnailQueue::isCached(const QString &path) const
{
    QMutexLocker locker(&m_lock);
    return m_cache.contains(path);
}
