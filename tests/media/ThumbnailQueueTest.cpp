#include "media/TWMediaImages.h"
#include "media/TWMediaNode.h"
#include "media/TWThumbnailQueue.h"
#include "support/TWImageEncryption.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QSignalSpy>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

namespace {

QVariantMap record(int i, const QString &thumb = {})
{
    QVariantMap r = TWMediaRecord::recordForPicture(QStringLiteral("/p/%1.png").arg(i), {});
    if (!thumb.isEmpty())
        r.insert(TWMediaRecord::ThumbPath, thumb);
    return r;
}

QString path(int i)
{
    return QStringLiteral("/p/%1.png").arg(i);
}

QImage picture()
{
    QImage image(2, 2, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    return image;
}

// Keeps the workers a queue starts, to run them when the test says.
struct HeldWorkers
{
    QList<std::function<void()>> workers;
    TWThumbnailQueue::WorkerStarter starter()
    {
        return [this](std::function<void()> w) { workers.append(std::move(w)); };
    }
};

} // namespace

TEST(ThumbnailQueue, WorkersPerProcessorServeTheNewestRequestFirst)
{
    const struct
    {
        int processors;
        int requests;
        QList<int> askedAgain;
        int workers;
        QList<int> loadOrder;
    } cases[] = {
        {2, 10, {}, 2, {9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
        {2, 10, {3}, 2, {3, 9, 8, 7, 6, 5, 4, 2, 1, 0}},
        {1, 5, {0, 2}, 1, {2, 0, 4, 3, 1}},
        {4, 3, {2}, 3, {2, 1, 0}},
    };
    for (const auto &c : cases) {
        HeldWorkers held;
        QStringList loaded;
        TWThumbnailQueue queue;
        queue.setProcessorCount(c.processors);
        queue.setWorkerStarter(held.starter());
        queue.setLoader([&](const QString &p) {
            loaded.append(p);
            return picture();
        });
        for (int i = 0; i < c.requests; ++i)
            EXPECT_FALSE(queue.photo(record(i)));
        for (const int i : c.askedAgain)
            EXPECT_FALSE(queue.photo(record(i)));
        EXPECT_EQ(held.workers.size(), c.workers) << c.processors << " processors";
        EXPECT_EQ(queue.threadCount(), c.workers);
        EXPECT_EQ(queue.queuedPaths().size(), c.requests);

        // The first worker takes everything; the others find the queue empty.
        for (const auto &worker : held.workers)
            worker();
        QStringList expected;
        for (const int i : c.loadOrder)
            expected.append(path(i));
        EXPECT_EQ(loaded, expected) << c.processors << " processors";
        EXPECT_EQ(queue.threadCount(), 0);
        EXPECT_TRUE(queue.queuedPaths().isEmpty());
        for (int i = 0; i < c.requests; ++i)
            EXPECT_TRUE(queue.photo(record(i)).has_value());
        EXPECT_EQ(queue.workersStarted(), c.workers);
    }
}

TEST(ThumbnailQueue, UnreadableFilesShowTheLoadErrorPicture)
{
    const QImage error = picture().scaled(3, 3);
    const struct
    {
        QString thumb;
        QStringList readable;
        QStringList tried;
        QString shown; // "error", or the file that gave the picture
        QString logged;
    } cases[] = {
        {{}, {path(1)}, {path(1)}, path(1), {}},
        {"/t/1.png", {"/t/1.png", path(1)}, {"/t/1.png"}, "/t/1.png", {}},
        {"/t/1.png", {path(1)}, {"/t/1.png", path(1)}, path(1), {}},
        {{}, {}, {path(1)}, "error", "Unable to load image at /p/1.png"},
        {"/t/1.png", {}, {"/t/1.png", path(1)}, "error", "Unable to load thumb image at /t/1.png"},
    };
    for (const auto &c : cases) {
        HeldWorkers held;
        QStringList tried;
        TWThumbnailQueue queue;
        queue.setWorkerStarter(held.starter());
        queue.setLoadErrorImage(error);
        queue.setLoader([&](const QString &p) {
            tried.append(p);
            QImage image = picture();
            image.setText(QStringLiteral("from"), p);
            return c.readable.contains(p) ? image : QImage();
        });
        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &m) { warnings.append(m); });
        queue.photo(record(1, c.thumb));
        ASSERT_EQ(held.workers.size(), 1);
        held.workers.first()();
        qInstallMessageHandler(previous);

        EXPECT_EQ(tried, c.tried) << c.shown.toStdString();
        const std::optional<QImage> shown = queue.photo(record(1, c.thumb));
        ASSERT_TRUE(shown);
        if (c.shown == QLatin1String("error"))
            EXPECT_EQ(*shown, error);
        else
            EXPECT_EQ(shown->text(QStringLiteral("from")), c.shown);
        EXPECT_EQ(warnings, c.logged.isEmpty() ? QStringList() : QStringList{c.logged});
    }
}

TEST(ThumbnailQueue, HeldPicturesAndPicturesBeingReadStartNoWork)
{
    HeldWorkers held;
    TWThumbnailQueue queue;
    queue.setProcessorCount(1);
    queue.setWorkerStarter(held.starter());

    QVariantMap withThumb = record(0);
    withThumb.insert(TWMediaRecord::CachedThumb, picture());
    ASSERT_TRUE(queue.photo(withThumb));
    EXPECT_TRUE(held.workers.isEmpty());

    // Asked for again while a worker reads it: not queued a second time.
    int loads = 0;
    QStringList queuedDuringLoad;
    queue.setLoader([&](const QString &p) {
        ++loads;
        EXPECT_FALSE(queue.photo(record(1)));
        queuedDuringLoad = queue.queuedPaths();
        EXPECT_TRUE(queue.processingPaths().contains(p));
        return picture();
    });
    queue.photo(record(1));
    ASSERT_EQ(held.workers.size(), 1);
    held.workers.first()();
    EXPECT_EQ(loads, 1);
    EXPECT_TRUE(queuedDuringLoad.isEmpty());
    EXPECT_TRUE(queue.isCached(path(1)));

    queue.clearCache();
    EXPECT_FALSE(queue.isCached(path(1)));
    EXPECT_FALSE(queue.photo(record(1)));
    EXPECT_EQ(held.workers.size(), 2);
}

TEST(ThumbnailQueue, ThreadsLoadEverythingAndEnd)
{
    constexpr int processors = 3, requests = 24;
    std::atomic<int> running{0}, most{0};
    TWThumbnailQueue queue;
    queue.setProcessorCount(processors);
    queue.setLoader([&](const QString &) {
        const int now = ++running;
        int seen = most;
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        QThread::usleep(500);
        --running;
        return picture();
    });
    QSignalSpy loaded(&queue, &TWThumbnailQueue::thumbnailLoaded);
    for (int i = 0; i < requests; ++i)
        queue.photo(record(i));
    QElapsedTimer clock;
    clock.start();
    while (loaded.size() < requests && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(loaded.size(), requests);
    EXPECT_LE(most.load(), processors);
    EXPECT_LE(queue.workersStarted(), requests);
    while (queue.threadCount() > 0 && clock.elapsed() < 10000)
        QThread::msleep(1);
    EXPECT_EQ(queue.threadCount(), 0);
    for (int i = 0; i < requests; ++i)
        EXPECT_TRUE(queue.isCached(path(i)));
}

TEST(MediaThumbnails, EachPictureTypeGivesAThumbnailWithinItsSize)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage wide(400, 100, QImage::Format_ARGB32);
    wide.fill(Qt::green);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    wide.save(&buffer, "PNG");
    const QByteArray eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 40 20\n"
                           "0 0 1 setrgbcolor 0 0 40 20 rectfill showpage\n%%EOF\n";
    const struct
    {
        const char *name;
        QByteArray bytes;
        QSize size; // empty: no thumbnail
    } cases[] = {
        {"wide.png", png, QSize(64, 16)},
        {"wide.twpng", TWImageEncryption::encryptedData(png), QSize(64, 16)},
        {"plain.twpng", png, QSize()},
        {"box.tweps", TWImageEncryption::encryptedData(QByteArray(30, '\x01') + eps),
         QSize(64, 32)},
        {"notes.txt", "hello", QSize()},
    };
    for (const auto &c : cases) {
        QFile file(dir.filePath(QString::fromLatin1(c.name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        const QImage thumb = TWMediaImages::thumbnailForFile(file.fileName(), 64);
        EXPECT_EQ(thumb.isNull() ? QSize() : thumb.size(), c.size) << c.name;
        if (!thumb.isNull()) {
            const QColor centre = thumb.pixelColor(thumb.width() / 2, thumb.height() / 2);
            EXPECT_EQ(centre,
                      QString(c.name).endsWith("eps") ? QColor(Qt::blue) : QColor(Qt::green))
                << c.name;
        }
    }
}
