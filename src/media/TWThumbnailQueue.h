#pragma once

#include <QHash>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QThreadPool>
#include <QVariantMap>
#include <functional>
#include <optional>

// Loads the thumbnails of a picture grid in the background. Requests come
// from the main thread as the grid draws; the most recent request is served
// first (a request repeated while it waits moves to the front), by at most
// one worker per processor, started on demand and ended when nothing is left
// to load. The queue, the set being loaded, the cache and the worker count
// share one lock; files are read outside it.
class TWThumbnailQueue : public QObject
{
    Q_OBJECT

public:
    // Reads one picture on a worker thread; a null image when it cannot.
    using Loader = std::function<QImage(const QString &path)>;
    // Runs a worker's loop; the default starts it on the queue's own threads.
    using WorkerStarter = std::function<void(std::function<void()> worker)>;

    explicit TWThumbnailQueue(QObject *parent = nullptr);
    // Drops the waiting requests and waits for the running loads.
    ~TWThumbnailQueue() override;

    void setProcessorCount(int count) { m_processorCount = std::max(1, count); }
    int processorCount() const { return m_processorCount; }
    void setLoader(Loader loader) { m_loader = std::move(loader); }
    void setWorkerStarter(WorkerStarter starter) { m_starter = std::move(starter); }
    // Shown for files that cannot be read.
    void setLoadErrorImage(const QImage &image) { m_loadErrorImage = image; }
    // What is logged for a file that cannot be read ("%1" is the path).
    static inline const QString LoadErrorMessage = QStringLiteral("Unable to load image at %1");
    static inline const QString ThumbLoadErrorMessage =
        QStringLiteral("Unable to load thumb image at %1");

    // The picture of an image record when it is at hand (cached, or the
    // record's "CachedThumb"); otherwise asks for it and answers nothing:
    // thumbnailLoaded() says when to ask again.
    std::optional<QImage> photo(const QVariantMap &record);
    void clearCache();

    // For the grid's owner and for tests.
    int threadCount() const;
    int workersStarted() const;
    QStringList queuedPaths() const; // oldest first
    QSet<QString> processingPaths() const;
    bool isCached(const QString &path) const;

signals:
    // A picture has been loaded (delivered on the main thread).
    void thumbnailLoaded(const QString &path);

private:
    void backgroundLoad();
    QImage loadPicture(const QString &path, const QString &thumbPath) const;

    mutable QMutex m_lock;
    QHash<QString, QImage> m_cache;
    QStringList m_queue;                  // newest last
    QHash<QString, QString> m_thumbPaths; // of queued paths that name one
    QSet<QString> m_processing;
    int m_threadCount = 0;
    int m_workersStarted = 0;
    bool m_stopping = false;

    int m_processorCount;
    Loader m_loader;
    WorkerStarter m_starter;
    QImage m_loadErrorImage;
    QThreadPool m_pool;
};
