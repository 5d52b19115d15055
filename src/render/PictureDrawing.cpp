#include "render/PictureDrawing.h"

#include "platform/Alerts.h"
#include "platform/TWLocalizedString.h"
#include "render/DrawingContext.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QtDebug>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <poppler-qt6.h>

namespace PictureDrawing {

namespace {

enum class Kind { PDF, EPS };

// Copies of one picture share their bytes; other pictures are compared by
// content only when they are as long.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    return a.size() == b.size() && (a.constData() == b.constData() || a == b);
}

struct CacheEntry
{
    QByteArray data; // keeps the bytes, and so the key's address, alive
    Kind kind;
    QSize pixels;
    QImage raster; // null when the bytes did not render
};

class RasterCache
{
public:
    std::optional<QImage> find(const QByteArray &data, Kind kind, QSize pixels)
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->kind == kind && it->pixels == pixels && sameBytes(it->data, data)) {
                m_entries.splice(m_entries.begin(), m_entries, it);
                return m_entries.front().raster;
            }
        }
        return std::nullopt;
    }

    // A raster of the picture at another size, to stand in while its own renders.
    QImage findAnySize(const QByteArray &data, Kind kind)
    {
        std::lock_guard lock(m_mutex);
        for (const CacheEntry &entry : m_entries)
            if (entry.kind == kind && !entry.raster.isNull() && sameBytes(entry.data, data))
                return entry.raster;
        return {};
    }

    void insert(const QByteArray &data, Kind kind, QSize pixels, const QImage &raster)
    {
        std::lock_guard lock(m_mutex);
        m_entries.push_front({data, kind, pixels, raster});
        m_bytes += raster.sizeInBytes();
        while (m_bytes > cacheBudgetBytes && m_entries.size() > 1) {
            m_bytes -= m_entries.back().raster.sizeInBytes();
            m_entries.pop_back();
        }
    }

    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_entries.clear();
        m_bytes = 0;
    }

private:
    std::mutex m_mutex;
    std::list<CacheEntry> m_entries;
    qint64 m_bytes = 0;
};

RasterCache &cache()
{
    static RasterCache instance;
    return instance;
}

QSize rasterSize(const DrawingContext &context, const Rect &rect)
{
    const qreal scale = context.devicePixelsPerPoint();
    qreal w = std::ceil(rect.size.width * scale - 1e-6);
    qreal h = std::ceil(rect.size.height * scale - 1e-6);
    if (!std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1)
        return {};
    const qreal pixels = w * h;
    if (pixels > qreal(maxRasterPixels)) {
        const qreal shrink = std::sqrt(qreal(maxRasterPixels) / pixels);
        w = std::max<qreal>(1, std::floor(w * shrink));
        h = std::max<qreal>(1, std::floor(h * shrink));
    }
    return QSize(int(w), int(h));
}

// EPS pictures being rendered and those that failed. One render of a picture
// runs at a time, whatever sizes are asked for: a picture that loops costs
// its time limit once, not once per zoom level or view.
class EPSRenders
{
public:
    enum class State { Ready, Pending, Failed };

    // The raster at `pixels`. On the screen a picture not yet rendered starts
    // rendering on a thread and is Pending; elsewhere the caller waits for it.
    State raster(const QByteArray &data, QSize pixels, bool wait, QImage *raster)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (std::optional<QImage> hit = cache().find(data, Kind::EPS, pixels)) {
                *raster = *hit;
                return hit->isNull() ? State::Failed : State::Ready;
            }
            if (hasFailed(data))
                return State::Failed;
            if (!isRendering(data))
                break;
            if (!wait) {
                *raster = cache().findAnySize(data, Kind::EPS);
                m_placeholdersShown = true;
                return State::Pending;
            }
            m_changed.wait(lock);
        }
        m_rendering.append(data);
        if (!wait) {
            ++m_threadRenders;
            m_placeholdersShown = true;
            *raster = cache().findAnySize(data, Kind::EPS);
            lock.unlock();
            pool().start([this, data, pixels] { render(data, pixels, true); });
            return State::Pending;
        }
        lock.unlock();
        *raster = render(data, pixels, false);
        return raster->isNull() ? State::Failed : State::Ready;
    }

    bool waitForThreads(int milliseconds)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [this] { return m_threadRenders == 0; });
    }

    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_failed.clear();
        m_told.clear();
    }

private:
    QImage render(const QByteArray &data, QSize pixels, bool onThread)
    {
        Failure failure = Failure::None;
        const int limit = epsTimeLimit();
        const QImage image = renderEPS(data, pixels, limit, &failure);
        bool tell = false, announce = false;
        {
            std::lock_guard lock(m_mutex);
            // Views that drew placeholders repaint: those of a thread's render
            // always, those that drew one while this caller rendered too.
            announce = std::exchange(m_placeholdersShown, false) || onThread;
            for (qsizetype i = 0; i < m_rendering.size(); ++i)
                if (sameBytes(m_rendering[i], data)) {
                    m_rendering.removeAt(i);
                    break;
                }
            if (image.isNull()) {
                m_failed.append(data);
                tell = !contains(m_told, data);
                if (tell)
                    m_told.append(data);
            } else {
                cache().insert(data, Kind::EPS, pixels, image);
            }
            if (onThread)
                --m_threadRenders;
        }
        m_changed.notify_all();
        if (tell)
            tellUser(failure, limit);
        if (announce)
            announceReady();
        return image;
    }

    static bool contains(const QList<QByteArray> &list, const QByteArray &data)
    {
        for (const QByteArray &entry : list)
            if (sameBytes(entry, data))
                return true;
        return false;
    }
    bool hasFailed(const QByteArray &data) const { return contains(m_failed, data); }
    bool isRendering(const QByteArray &data) const { return contains(m_rendering, data); }

    // Views repaint once for all the pictures that became ready meanwhile.
    void announceReady()
    {
        if (!QCoreApplication::instance() || m_announcing.exchange(true))
            return;
        QMetaObject::invokeMethod(
            &PictureEvents::shared(),
            [this] {
                m_announcing = false;
                emit PictureEvents::shared().picturesReady();
            },
            Qt::QueuedConnection);
    }

    // Once a picture, from the event loop: never from inside a paint.
    static void tellUser(Failure failure, int limit)
    {
        if (!QCoreApplication::instance())
            return;
        QMetaObject::invokeMethod(
            &PictureEvents::shared(),
            [failure, limit] {
                QString message;
                if (failure == Failure::TimedOut)
                    message = TWLocalizedString(StringTable::General,
                                                "A PostScript picture in this document took longer "
                                                "than %1 seconds to draw. It is left out.")
                                  .arg(std::max(1, limit / 1000));
                else if (failure == Failure::FolderFull)
                    message = TWLocalizedString(StringTable::General,
                                                "A PostScript picture in this document could not be "
                                                "drawn: it writes more temporary files than a "
                                                "picture may. It is left out.");
                else
                    message = TWLocalizedString(StringTable::General,
                                                "A PostScript picture in this document could not be "
                                                "drawn: its PostScript has errors or needs more "
                                                "memory than a picture may have. It is left out.");
                Alerts::current().runAlertPanel(
                    TWLocalizedString(StringTable::General, "A picture could not be drawn"),
                    message, {TWLocalizedString(StringTable::General, "OK")});
            },
            Qt::QueuedConnection);
    }

    static QThreadPool &pool()
    {
        // Never destroyed: a render still running at exit must not hold it up.
        static QThreadPool *threads = [] {
            auto *p = new QThreadPool;
            p->setMaxThreadCount(4);
            return p;
        }();
        return *threads;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<QByteArray> m_rendering;
    QList<QByteArray> m_failed;
    QList<QByteArray> m_told;
    int m_threadRenders = 0;
    bool m_placeholdersShown = false;
    std::atomic<bool> m_announcing{false};
};

EPSRenders &epsRenders()
{
    static EPSRenders *instance = new EPSRenders;
    return *instance;
}

void drawRaster(const DrawingContext &context, const QImage &raster, const Rect &rect)
{
    QPainter &painter = context.painter();
    painter.save();
    painter.setClipRect(rect.toQt(), Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1.0);
    painter.drawImage(rect.toQt(), raster);
    painter.restore();
}

// What a picture still rendering shows: the page at another size when there
// is one, else a pale box.
void drawPlaceholder(const DrawingContext &context, const QImage &standIn, const Rect &rect)
{
    if (!standIn.isNull()) {
        drawRaster(context, standIn, rect);
        return;
    }
    QPainter &painter = context.painter();
    painter.save();
    painter.setClipRect(rect.toQt(), Qt::IntersectClip);
    painter.fillRect(rect.toQt(), QColor(128, 128, 128, 40));
    painter.restore();
}

bool drawPage(const DrawingContext &context, const QByteArray &data, Kind kind, const Rect &rect)
{
    const QSize pixels = rasterSize(context, rect);
    if (pixels.isEmpty())
        return false;
    if (kind == Kind::EPS) {
        QImage raster;
        switch (epsRenders().raster(data, pixels, !context.isDrawingToScreen(), &raster)) {
        case EPSRenders::State::Ready:
            drawRaster(context, raster, rect);
            return true;
        case EPSRenders::State::Pending:
            drawPlaceholder(context, raster, rect);
            return true;
        case EPSRenders::State::Failed:
            return false;
        }
        return false;
    }
    QImage raster;
    if (std::optional<QImage> hit = cache().find(data, kind, pixels)) {
        raster = *hit;
    } else {
        raster = renderPDF(data, pixels);
        cache().insert(data, kind, pixels, raster);
    }
    if (raster.isNull())
        return false;
    drawRaster(context, raster, rect);
    return true;
}

bool drawBitmap(const DrawingContext &context, const BitmapImageRep &bitmap, const Rect &rect)
{
    const QImage pixels = bitmap.image();
    if (pixels.isNull())
        return false;
    QPainter &painter = context.painter();
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1.0);
    painter.drawImage(rect.toQt(), pixels);
    painter.restore();
    return true;
}

// The renderer is a program of its own, found beside the running program (the
// build tree) or in the installed library folder.
QByteArray epsRendererPath()
{
    static const QByteArray path = [] {
        const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        const QDir here = QFileInfo(self).absoluteDir();
        for (const QString &candidate :
             {here.filePath(QStringLiteral("thinkweb-eps-render")),
              here.filePath(QStringLiteral("../lib/thinkweb/thinkweb-eps-render"))}) {
            if (QFileInfo(candidate).isExecutable())
                return QFile::encodeName(QFileInfo(candidate).absoluteFilePath());
        }
        return QByteArray();
    }();
    return path;
}

// Watches the renderer's folder: the interpreter may write files there, and
// neither the per-file cap nor the memory cap bounds how many. The folder is
// measured whenever the system says something in it was made or written
// (inotify), and at least every few milliseconds besides. The renderer is
// ended once it passes half the budget: the other half is room for what it
// writes before this thread gets to look and stop it.
class FolderWatch
{
public:
    FolderWatch(const QByteArray &folder, qint64 handedBytes)
        : m_folder(folder), m_bytes(epsFolderBudgetBytes / 2 + handedBytes),
          m_files(epsFolderBudgetFiles / 2 + 1)
    {
        m_notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_notify >= 0 &&
            inotify_add_watch(m_notify, folder.constData(),
                              IN_CREATE | IN_MODIFY | IN_MOVED_TO | IN_CLOSE_WRITE) < 0) {
            close(m_notify);
            m_notify = -1;
        }
    }
    ~FolderWatch()
    {
        if (m_notify >= 0)
            close(m_notify);
    }
    FolderWatch(const FolderWatch &) = delete;
    FolderWatch &operator=(const FolderWatch &) = delete;

    int notifier() const { return m_notify; }
    bool overBudget() const { return m_over; }

    // Measures the folder; false once it holds more than the budget.
    bool check()
    {
        if (m_notify >= 0) {
            alignas(inotify_event) char events[4096];
            while (read(m_notify, events, sizeof events) > 0) {
            }
        }
        if (m_over)
            return false;
        Use use;
        const int fd = open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0)
            add(fd, use, 0);
        m_over = use.bytes > m_bytes || use.files > m_files;
        return !m_over;
    }

private:
    struct Use
    {
        qint64 files = 0;
        qint64 bytes = 0;
    };

    // Adds what the folder open at `fd` holds (taking the descriptor).
    void add(int fd, Use &use, int depth) const
    {
        DIR *dir = fdopendir(fd);
        if (!dir) {
            close(fd);
            return;
        }
        while (const dirent *entry = readdir(dir)) {
            if (!strcmp(entry->d_name, ".") || !strcmp(entry->d_name, ".."))
                continue;
            struct stat st{};
            if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone meanwhile
            ++use.files;
            // A sparse file takes less room than it says, a preallocated one more.
            use.bytes += std::max<qint64>(st.st_size, qint64(st.st_blocks) * 512);
            if (use.bytes > m_bytes || use.files > m_files)
                break;
            if (S_ISDIR(st.st_mode) && depth < 8) {
                const int sub = openat(dirfd(dir), entry->d_name,
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (sub >= 0)
                    add(sub, use, depth + 1);
            }
        }
        closedir(dir);
    }

    QByteArray m_folder;
    qint64 m_bytes, m_files;
    int m_notify = -1;
    bool m_over = false;
};

// Between two looks at the folder when the system tells nothing.
constexpr int folderSampleMilliseconds = 5;

bool readFully(int fd, char *buffer, qint64 size, QElapsedTimer &clock, int timeout,
               FolderWatch &watch)
{
    qint64 done = 0;
    while (done < size) {
        if (!watch.check())
            return false;
        const qint64 left = timeout - clock.elapsed();
        if (left <= 0)
            return false;
        pollfd p[2] = {{fd, POLLIN, 0}, {watch.notifier(), POLLIN, 0}};
        const int ready = poll(p, watch.notifier() >= 0 ? 2 : 1,
                               int(std::min<qint64>(left, folderSampleMilliseconds)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return false;
        if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = read(fd, buffer + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return watch.check();
}

} // namespace

QImage renderPDF(const QByteArray &data, QSize pixels)
{
    if (pixels.isEmpty() || data.isEmpty())
        return {};
    std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(data);
    if (!document || document->isLocked() || document->numPages() < 1) {
        qWarning("PDF picture could not be read");
        return {};
    }
    document->setRenderHint(Poppler::Document::Antialiasing, true);
    document->setRenderHint(Poppler::Document::TextAntialiasing, true);
    document->setRenderHint(Poppler::Document::IgnorePaperColor, true);
    std::unique_ptr<Poppler::Page> page = document->page(0);
    if (!page)
        return {};
    const QSizeF size = page->pageSizeF();
    if (!(size.width() > 0) || !(size.height() > 0)) {
        qWarning("PDF picture has an empty page");
        return {};
    }
    QImage image = page->renderToImage(72.0 * pixels.width() / size.width(),
                                       72.0 * pixels.height() / size.height(), 0, 0, pixels.width(),
                                       pixels.height());
    if (image.isNull()) {
        qWarning("PDF picture could not be rendered");
        return {};
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage renderEPS(const QByteArray &data, QSize pixels, int timeoutMilliseconds, Failure *failure)
{
    Failure failed = Failure::Unreadable;
    const auto fail = [&] {
        if (failure)
            *failure = failed;
        return QImage();
    };
    if (failure)
        *failure = Failure::None;
    if (pixels.isEmpty() || data.isEmpty())
        return fail();
    const QByteArray renderer = epsRendererPath();
    if (renderer.isEmpty()) {
        qWarning("EPS picture left out: the renderer thinkweb-eps-render is not installed");
        return fail();
    }
    // The interpreter may use the temporary folder and nothing else; each
    // render gets an empty one of its own, made readable by this user only.
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/thinkweb-eps-XXXXXX"));
    QFile file(folder.filePath(QStringLiteral("picture.eps")));
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly) || file.write(data) != data.size() ||
        !file.flush()) {
        qWarning("EPS picture could not be handed to the PostScript interpreter");
        return fail();
    }
    file.close();
    const QByteArray place = QFile::encodeName(folder.path());
    const QByteArray path = QFile::encodeName(file.fileName());

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return fail();
    // A spawned program, not a forked copy: the forked copy of a program with
    // threads can block on a lock another thread held at the fork.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, place.constData());
    const QByteArray width = QByteArray::number(pixels.width());
    const QByteArray height = QByteArray::number(pixels.height());
    char *const arguments[] = {
        const_cast<char *>(renderer.constData()), const_cast<char *>(path.constData()),
        const_cast<char *>(width.constData()), const_cast<char *>(height.constData()), nullptr};
    // Nothing of the program's environment: the interpreter takes options
    // from it, and finds the temporary folder and home there.
    QList<QByteArray> variables;
    for (const char *name : {"TMPDIR", "TEMP", "TMP", "HOME"})
        variables.append(QByteArray(name) + '=' + place);
    variables.append(QByteArrayLiteral("LC_ALL=C"));
    std::vector<char *> environment;
    for (QByteArray &variable : variables)
        environment.push_back(variable.data());
    environment.push_back(nullptr);
    // Watched from before it starts: nothing it writes goes unseen.
    FolderWatch watch(place, data.size());
    pid_t child = -1;
    const int spawned =
        posix_spawn(&child, renderer.constData(), &actions, nullptr, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        close(fds[0]);
        close(fds[1]);
        qWarning("EPS picture could not be handed to the PostScript interpreter");
        return fail();
    }
    close(fds[1]);

    QImage result;
    QElapsedTimer clock;
    clock.start();
    qint32 header[3] = {0, 0, 0};
    if (readFully(fds[0], reinterpret_cast<char *>(header), sizeof header, clock,
                  timeoutMilliseconds, watch)) {
        const qint32 width = header[0], height = header[1], stride = header[2];
        const bool plausible = width > 0 && height > 0 && stride >= width * 4 &&
                               qint64(stride) * height <= maxRasterPixels * 8;
        if (plausible) {
            QImage image(width, height, QImage::Format_RGB32);
            if (image.bytesPerLine() == stride &&
                readFully(fds[0], reinterpret_cast<char *>(image.bits()), qint64(stride) * height,
                          clock, timeoutMilliseconds, watch))
                result = image;
        }
    }
    // Stopped first, at once when it wrote too much, and before its folder goes.
    kill(child, SIGKILL);
    close(fds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (result.isNull() && watch.overBudget()) {
        failed = Failure::FolderFull;
        qWarning("EPS picture wrote more temporary files than a picture may; left out");
    } else if (result.isNull() && clock.elapsed() >= timeoutMilliseconds) {
        failed = Failure::TimedOut;
        qWarning("EPS picture took too long to render; left out");
    } else if (result.isNull() && WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) {
        // A file of its own grew past the cap: as much too much as the folder.
        failed = Failure::FolderFull;
    }
    if (result.isNull()) {
        qWarning("EPS picture could not be rendered");
        return fail();
    }
    if (result.size() != pixels)
        result = result.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

namespace {
std::atomic<int> timeLimit{epsTimeoutMilliseconds};
}

int epsTimeLimit()
{
    return timeLimit;
}

void setEPSTimeLimit(int milliseconds)
{
    timeLimit = std::max(1, milliseconds);
}

bool waitForRenders(int milliseconds)
{
    return epsRenders().waitForThreads(milliseconds);
}

bool drawRepresentation(const DrawingContext &context, const ImageRepresentation &rep,
                        const Rect &rect)
{
    if (!(rect.size.width > 0) || !(rect.size.height > 0))
        return false;
    if (const auto *bitmap = std::get_if<BitmapImageRep>(&rep))
        return drawBitmap(context, *bitmap, rect);
    if (const auto *pdf = std::get_if<PDFImageRep>(&rep))
        return drawPage(context, pdf->PDFRepresentation(), Kind::PDF, rect);
    if (const auto *eps = std::get_if<EPSImageRep>(&rep)) {
        // Without a bounding box the interpreter would draw a whole paper page.
        if (!(eps->size().width > 0) || !(eps->size().height > 0))
            return false;
        return drawPage(context, eps->EPSRepresentation(), Kind::EPS, rect);
    }
    return false;
}

bool drawImage(const DrawingContext &context, const Image &image, const Rect &rect)
{
    for (const ImageRepresentation &rep : image.representations())
        if (drawRepresentation(context, rep, rect))
            return true;
    return false;
}

void clearCache()
{
    cache().clear();
    epsRenders().clear();
}

} // namespace PictureDrawing

PictureEvents &PictureEvents::shared()
{
    static PictureEvents *events = [] {
        auto *e = new PictureEvents;
        if (QCoreApplication *app = QCoreApplication::instance())
            e->moveToThread(app->thread());
        return e;
    }();
    return *events;
}
