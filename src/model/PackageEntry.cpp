#include "PackageEntry.h"

#include <QDir>
#include <QFile>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 chunkSize = qint64(1) << 20;
// Room left to the rest of the system on a disk, and in memory.
constexpr qint64 margin = qint64(256) << 20;
// Zeros are left as holes in pieces of this size.
constexpr qint64 holeSize = qint64(64) << 10;

bool allZero(const char *data, qint64 size)
{
    static const char zeros[holeSize] = {};
    return size <= holeSize && std::memcmp(data, zeros, size_t(size)) == 0;
}

PackageSpool::FreeBytes &freeBytesStandIn()
{
    static PackageSpool::FreeBytes standIn;
    return standIn;
}

std::optional<qint64> standInFreeBytes(const QString &folder)
{
    const PackageSpool::FreeBytes &standIn = freeBytesStandIn();
    return standIn ? standIn(folder) : std::nullopt;
}

} // namespace

PackageEntry::PackageEntry(std::shared_ptr<PackageSpool> spool, qint64 offset, qint64 size)
    : m_spool(std::move(spool)), m_offset(offset), m_size(size)
{}

std::optional<QByteArray> PackageEntry::bytes() const
{
    if (!m_spool)
        return m_bytes;
    if (m_size > std::numeric_limits<qsizetype>::max() - 64)
        return std::nullopt;
    QByteArray bytes(qsizetype(m_size), Qt::Uninitialized);
    qint64 done = 0;
    while (done < m_size) {
        const qint64 n = m_spool->read(m_offset + done, bytes.data() + done, m_size - done);
        if (n <= 0)
            return std::nullopt;
        done += n;
    }
    return bytes;
}

std::optional<QByteArray> PackageEntry::slice(qint64 offset, qint64 count) const
{
    offset = std::clamp<qint64>(offset, 0, m_size);
    count = std::clamp<qint64>(count, 0, std::min<qint64>(m_size - offset, qint64(1) << 20));
    if (!m_spool)
        return m_bytes.mid(offset, count);
    QByteArray bytes(qsizetype(count), Qt::Uninitialized);
    qint64 done = 0;
    while (done < count) {
        const qint64 n = m_spool->read(m_offset + offset + done, bytes.data() + done, count - done);
        if (n <= 0)
            return std::nullopt;
        done += n;
    }
    return bytes;
}

bool PackageEntry::copyTo(const std::function<bool(const char *, qint64)> &sink) const
{
    if (!m_spool)
        return m_bytes.isEmpty() || sink(m_bytes.constData(), m_bytes.size());
    std::vector<char> buffer(size_t(std::min(m_size, chunkSize)));
    for (qint64 done = 0; done < m_size;) {
        const qint64 n = m_spool->read(m_offset + done, buffer.data(),
                                       std::min<qint64>(m_size - done, qint64(buffer.size())));
        if (n <= 0 || !sink(buffer.data(), n))
            return false;
        done += n;
    }
    return true;
}

bool PackageEntry::operator==(const PackageEntry &other) const
{
    if (m_size != other.m_size)
        return false;
    if (!m_spool && !other.m_spool)
        return m_bytes == other.m_bytes;
    if (m_spool == other.m_spool && m_offset == other.m_offset)
        return true;
    // Compared chunk by chunk so that neither side is held whole.
    std::vector<char> mine(size_t(std::min(m_size, chunkSize)));
    qint64 at = 0;
    bool equal = other.copyTo([&](const char *data, qint64 size) {
        for (qint64 done = 0; done < size;) {
            qint64 n = std::min<qint64>(size - done, qint64(mine.size()));
            if (m_spool)
                n = m_spool->read(m_offset + at, mine.data(), n);
            else
                std::memcpy(mine.data(), m_bytes.constData() + at, size_t(n));
            if (n <= 0 || std::memcmp(mine.data(), data + done, size_t(n)) != 0)
                return false;
            done += n;
            at += n;
        }
        return true;
    });
    return equal && at == m_size;
}

std::shared_ptr<PackageSpool> PackageSpool::create(const QString &folder)
{
    if (folder.isEmpty())
        return nullptr;
    std::shared_ptr<PackageSpool> spool(new PackageSpool);
    QByteArray name = QFile::encodeName(QDir(folder).filePath(QStringLiteral(".tweb-XXXXXX")));
    spool->m_fd = mkostemp(name.data(), O_CLOEXEC);
    if (spool->m_fd < 0) {
        qWarning("Cannot keep package data in %s: %s", qUtf8Printable(folder),
                 std::strerror(errno));
        return nullptr;
    }
    ::unlink(name.constData());
    spool->m_folder = folder;
    spool->m_self = spool;
    return spool;
}

PackageSpool::~PackageSpool()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

qint64 PackageSpool::freeSpace() const
{
    std::optional<qint64> free = standInFreeBytes(m_folder);
    if (!free) {
        struct statvfs info;
        if (::fstatvfs(m_fd, &info) != 0)
            return std::numeric_limits<qint64>::max();
        free = qint64(info.f_bavail) * qint64(info.f_frsize);
    }
    // A margin is left so that a package never takes the disk's last bytes.
    return std::max<qint64>(0, *free - margin);
}

qint64 PackageSpool::freeMemory()
{
    std::optional<qint64> free = standInFreeBytes(QString());
    if (!free) {
        QFile info(QStringLiteral("/proc/meminfo"));
        if (!info.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray &line : info.readAll().split('\n'))
            if (line.startsWith("MemAvailable:"))
                free = line.mid(13).trimmed().split(' ').value(0).toLongLong() << 10;
    }
    return std::max<qint64>(0, free.value_or(0) - margin);
}

void PackageSpool::setFreeBytes(FreeBytes freeBytes)
{
    freeBytesStandIn() = std::move(freeBytes);
}

std::optional<PackageEntry>
PackageSpool::append(const std::function<qint64(char *data, qint64 max)> &read, qint64 budget)
{
    const qint64 start = m_end;
    std::vector<char> buffer(chunkSize);
    qint64 written = start; // end of what lies in the file
    for (;;) {
        const qint64 n = read(buffer.data(), chunkSize);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        for (qint64 at = 0; at < n; at += holeSize) {
            const qint64 piece = std::min(holeSize, n - at);
            if (allZero(buffer.data() + at, piece))
                continue;
            if (m_onDisk + piece > budget) {
                qWarning("Cannot keep package data: it would take more room than the package may");
                discardFrom(start);
                return std::nullopt;
            }
            m_onDisk += piece;
            const qint64 to = m_end + at;
            for (qint64 done = 0; done < piece;) {
                const ssize_t w = ::pwrite(m_fd, buffer.data() + at + done, size_t(piece - done),
                                           off_t(to + done));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0) {
                    qWarning("Cannot keep package data: %s", std::strerror(errno));
                    discardFrom(start);
                    return std::nullopt;
                }
                done += w;
            }
            written = to + piece;
        }
        m_end += n;
    }
    // Trailing zeros are a hole up to the end.
    if (written < m_end && ::ftruncate(m_fd, off_t(m_end)) != 0) {
        qWarning("Cannot keep package data: %s", std::strerror(errno));
        return std::nullopt;
    }
    return PackageEntry(m_self.lock(), start, m_end - start);
}

void PackageSpool::discardFrom(qint64 start)
{
    // The spool's name is gone already; cutting it back frees the room the
    // failed entry took.
    if (::ftruncate(m_fd, off_t(start)) != 0)
        qWarning("Cannot free package data: %s", std::strerror(errno));
    m_end = start;
}

qint64 PackageSpool::read(qint64 offset, char *data, qint64 max)
{
    for (;;) {
        const ssize_t n = ::pread(m_fd, data, size_t(std::min(max, chunkSize)), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            qWarning("Cannot read package data: %s", std::strerror(errno));
        return qint64(n);
    }
}
