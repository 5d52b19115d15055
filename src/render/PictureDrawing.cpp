#include "render/PictureDrawing.h"

#include "render/DrawingContext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryFile>
#include <QtDebug>
#include <cmath>
#include <cstdlib>
#include <list>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <poppler-qt6.h>

namespace PictureDrawing {

namespace {

enum class Kind { PDF, EPS };

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
    // Copies of one picture share their bytes; other pictures are compared
    // by content only when they are as long.
    static bool sameBytes(const QByteArray &a, const QByteArray &b)
    {
        return a.size() == b.size() && (a.constData() == b.constData() || a == b);
    }

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

QImage cachedRaster(const QByteArray &data, Kind kind, QSize pixels)
{
    if (std::optional<QImage> hit = cache().find(data, kind, pixels))
        return *hit;
    const QImage raster = kind == Kind::PDF ? renderPDF(data, pixels) : renderEPS(data, pixels);
    cache().insert(data, kind, pixels, raster);
    return raster;
}

bool drawPage(const DrawingContext &context, const QByteArray &data, Kind kind, const Rect &rect)
{
    const QSize pixels = rasterSize(context, rect);
    if (pixels.isEmpty())
        return false;
    const QImage raster = cachedRaster(data, kind, pixels);
    if (raster.isNull())
        return false;
    QPainter &painter = context.painter();
    painter.save();
    painter.setClipRect(rect.toQt(), Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1.0);
    painter.drawImage(rect.toQt(), raster);
    painter.restore();
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

bool readFully(int fd, char *buffer, qint64 size, QElapsedTimer &clock, int timeout)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 left = timeout - clock.elapsed();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = read(fd, buffer + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
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

QImage renderEPS(const QByteArray &data, QSize pixels, int timeoutMilliseconds)
{
    if (pixels.isEmpty() || data.isEmpty())
        return {};
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/thinkweb-eps-XXXXXX.eps"));
    if (!file.open() || file.write(data) != data.size() || !file.flush()) {
        qWarning("EPS picture could not be handed to the PostScript interpreter");
        return {};
    }
    const QByteArray path = QFile::encodeName(file.fileName());

    const QByteArray renderer = epsRendererPath();
    if (renderer.isEmpty()) {
        qWarning("EPS picture left out: the renderer thinkweb-eps-render is not installed");
        return {};
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {};
    // A spawned program, not a forked copy: the forked copy of a program with
    // threads can block on a lock another thread held at the fork.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    const QByteArray width = QByteArray::number(pixels.width());
    const QByteArray height = QByteArray::number(pixels.height());
    char *const arguments[] = {
        const_cast<char *>(renderer.constData()), const_cast<char *>(path.constData()),
        const_cast<char *>(width.constData()), const_cast<char *>(height.constData()), nullptr};
    pid_t child = -1;
    const int spawned =
        posix_spawn(&child, renderer.constData(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        close(fds[0]);
        close(fds[1]);
        qWarning("EPS picture could not be handed to the PostScript interpreter");
        return {};
    }
    close(fds[1]);

    QImage result;
    QElapsedTimer clock;
    clock.start();
    qint32 header[3] = {0, 0, 0};
    if (readFully(fds[0], reinterpret_cast<char *>(header), sizeof header, clock,
                  timeoutMilliseconds)) {
        const qint32 width = header[0], height = header[1], stride = header[2];
        const bool plausible = width > 0 && height > 0 && stride >= width * 4 &&
                               qint64(stride) * height <= maxRasterPixels * 8;
        if (plausible) {
            QImage image(width, height, QImage::Format_RGB32);
            if (image.bytesPerLine() == stride &&
                readFully(fds[0], reinterpret_cast<char *>(image.bits()), qint64(stride) * height,
                          clock, timeoutMilliseconds))
                result = image;
        }
    } else if (clock.elapsed() >= timeoutMilliseconds) {
        qWarning("EPS picture took too long to render; left out");
    }
    close(fds[0]);
    kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (result.isNull()) {
        qWarning("EPS picture could not be rendered");
        return {};
    }
    if (result.size() != pixels)
        result = result.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return result.convertToFormat(QImage::Format_ARGB32_Premultiplied);
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
}

} // namespace PictureDrawing
