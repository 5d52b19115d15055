#include "PackageReader.h"

#include "model/PackageArchive_Private.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QtDebug>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <vector>

using PackageArchive::ReadStatus;

namespace {

constexpr qint64 ioChunk = qint64(1) << 20;
// A tar header block; counted per entry so that a flood of empty entries also
// weighs on the unpacked size.
constexpr qint64 headerSize = 512;

QString printable(const char *text)
{
    return text ? QString::fromUtf8(text) : QStringLiteral("unknown error");
}

QString archiveEntryName(archive_entry *entry)
{
    // The UTF-8 form exists for pax names and names in the locale's charset;
    // plain ustar names from other systems are taken as UTF-8 bytes.
    if (const char *utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    if (const char *raw = archive_entry_pathname(entry))
        return QString::fromUtf8(raw);
    return {};
}

const char *refusedTypeName(archive_entry *entry)
{
    if (archive_entry_hardlink(entry))
        return "a hard link";
    switch (archive_entry_filetype(entry)) {
    case AE_IFLNK:
        return "a symbolic link";
    case AE_IFIFO:
        return "a FIFO";
    case AE_IFCHR:
    case AE_IFBLK:
        return "a device";
    case AE_IFSOCK:
        return "a socket";
    case AE_IFREG:
        return archive_entry_symlink(entry) ? "a symbolic link" : nullptr;
    default:
        return "not a regular file";
    }
}

} // namespace

struct PackageReader::Source
{
    QIODevice *device = nullptr;
    std::vector<char> buffer = std::vector<char>(ioChunk);

    static la_ssize_t read(archive *a, void *context, const void **block)
    {
        auto *source = static_cast<Source *>(context);
        const qint64 n = source->device->read(source->buffer.data(), qint64(source->buffer.size()));
        if (n < 0) {
            archive_set_error(a, EIO, "%s", qUtf8Printable(source->device->errorString()));
            return -1;
        }
        *block = source->buffer.data();
        return la_ssize_t(n);
    }
};

PackageReader::PackageReader(QIODevice &in, const PackageArchive::Limits &limits)
    : m_in(in), m_limits(limits), m_source(std::make_unique<Source>())
{
    m_source->device = &in;
}

PackageReader::~PackageReader()
{
    if (m_archive)
        archive_read_free(m_archive);
}

bool PackageReader::fail(const QString &message)
{
    qWarning().noquote() << message;
    if (!m_failed)
        m_status = ReadStatus::Unreadable;
    m_failed = true;
    return false;
}

bool PackageReader::refuse(const char *format, qint64 value, const QString &name)
{
    if (name.isEmpty())
        qWarning(format, static_cast<long long>(value));
    else
        qWarning(format, qUtf8Printable(name), static_cast<long long>(value));
    m_failed = true;
    m_status = ReadStatus::Refused;
    return false;
}

bool PackageReader::open()
{
    const PackageArchive::Utf8NamesScope utf8Names;
    m_archive = archive_read_new();
    archive_read_support_filter_gzip(m_archive);
    archive_read_support_format_tar(m_archive);
    archive_read_support_format_empty(m_archive);
    if (archive_read_open(m_archive, m_source.get(), nullptr, Source::read, nullptr) != ARCHIVE_OK)
        return fail(QStringLiteral("Cannot unpack document package: %1")
                        .arg(printable(archive_error_string(m_archive))));
    return true;
}

bool PackageReader::account(qint64 size)
{
    // Sizes are known from the headers, so a bomb is refused before it is
    // inflated; passed-over entries count too, since skipping inflates them.
    m_expanded += size;
    if (m_expanded > m_limits.maxUnpackedSize)
        return refuse("Refusing document package: it unpacks to more than %lld bytes",
                      m_limits.maxUnpackedSize);
    return true;
}

bool PackageReader::nextEntry()
{
    if (m_failed || !m_archive)
        return false;
    if (!m_name.isEmpty() && !m_accounted && !account(m_size))
        return false;
    m_name.clear();
    const PackageArchive::Utf8NamesScope utf8Names;
    for (;;) {
        archive_entry *entry = nullptr;
        const int status = archive_read_next_header(m_archive, &entry);
        if (status == ARCHIVE_EOF)
            return false;
        if (status < ARCHIVE_WARN)
            return fail(QStringLiteral("Cannot unpack document package: %1")
                            .arg(printable(archive_error_string(m_archive))));
        const QString rawName = archiveEntryName(entry);
        const qint64 size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
        if (!account(headerSize))
            return false;
        if (++m_entries > m_limits.maxEntries)
            return refuse("Refusing document package: it has more than %lld entries",
                          m_limits.maxEntries);
        if (archive_entry_filetype(entry) == AE_IFDIR) {
            if (!account(std::max<qint64>(size, 0)))
                return false;
            continue; // folders are implied by the paths of their files
        }
        if (const char *refused = refusedTypeName(entry)) {
            qWarning("Skipping package entry \"%s\": %s", qUtf8Printable(rawName), refused);
            if (!account(std::max<qint64>(size, 0)))
                return false;
            continue;
        }
        const QString name = PackageArchive::normalisedPath(rawName);
        if (name.isEmpty()) {
            qWarning("Skipping package entry \"%s\": not a relative path", qUtf8Printable(rawName));
            if (!account(std::max<qint64>(size, 0)))
                return false;
            continue;
        }
        m_name = name;
        m_size = std::max<qint64>(size, 0);
        m_done = 0;
        m_accounted = false;
        return true;
    }
}

std::optional<QByteArray> PackageReader::readEntry()
{
    if (m_failed || m_name.isEmpty() || m_done > 0)
        return std::nullopt;
    m_accounted = true;
    if (!account(m_size))
        return std::nullopt;
    if (m_size > m_limits.maxEntrySize) {
        refuse("Refusing document package: entry \"%s\" has %lld bytes", m_size, m_name);
        return std::nullopt;
    }
    m_kept += m_size;
    if (m_kept > m_limits.maxTotalSize) {
        refuse("Refusing document package: it holds more than %lld bytes", m_limits.maxTotalSize);
        return std::nullopt;
    }
    QByteArray bytes(m_size, Qt::Uninitialized);
    while (m_done < m_size) {
        const qint64 n = readData(bytes.data() + m_done, m_size - m_done);
        if (n <= 0)
            return std::nullopt;
    }
    return bytes;
}

qint64 PackageReader::readData(char *data, qint64 max)
{
    if (m_failed || m_name.isEmpty())
        return -1;
    if (!m_accounted) {
        // A stream of its own: nothing of it is kept.
        m_accounted = true;
        if (m_size > m_limits.maxStreamedEntrySize) {
            refuse("Refusing document package: entry \"%s\" has %lld bytes", m_size, m_name);
            return -1;
        }
    }
    if (m_done >= m_size || max <= 0)
        return 0;
    const la_ssize_t n =
        archive_read_data(m_archive, data, size_t(std::min({max, m_size - m_done, ioChunk})));
    if (n <= 0) {
        fail(QStringLiteral("Cannot unpack package entry \"%1\": %2")
                 .arg(m_name, n < 0 ? printable(archive_error_string(m_archive))
                                    : QStringLiteral("archive ends early")));
        return -1;
    }
    m_done += n;
    return n;
}

void PackageReader::forgetKept(qint64 size)
{
    m_kept -= size;
}

struct PackageEntryStream::Private
{
    QFile file;
    std::unique_ptr<PackageReader> reader;
};

PackageEntryStream::PackageEntryStream() : d(std::make_unique<Private>()) {}

PackageEntryStream::~PackageEntryStream() = default;

std::unique_ptr<PackageEntryStream> PackageEntryStream::open(const QString &path,
                                                             const QString &name,
                                                             const PackageArchive::Limits &limits)
{
    std::unique_ptr<PackageEntryStream> stream(new PackageEntryStream);
    stream->d->file.setFileName(path);
    if (!QFileInfo(path).isFile() || !stream->d->file.open(QIODevice::ReadOnly))
        return nullptr;
    stream->d->reader = std::make_unique<PackageReader>(stream->d->file, limits);
    if (!stream->d->reader->open())
        return nullptr;
    while (stream->d->reader->nextEntry())
        if (stream->d->reader->entryName() == name)
            return stream;
    return nullptr;
}

qint64 PackageEntryStream::size() const
{
    return d->reader->entrySize();
}

qint64 PackageEntryStream::read(char *data, qint64 max)
{
    return d->reader->readData(data, max);
}
