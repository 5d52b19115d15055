#include "PackageReader.h"

#include "model/PackageArchive_Private.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QtDebug>

#include <archive.h>
#include <archive_entry.h>

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
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

// The package as libarchive sees it: a plain tar passes through; a gzip
// stream is inflated here, member after member, because libarchive's own
// gzip reader does not check the members' CRCs and lengths, and damaged
// data must not load as if it were whole.
struct PackageReader::Source
{
    QIODevice *device = nullptr;
    std::vector<char> input = std::vector<char>(ioChunk);
    std::vector<char> output = std::vector<char>(ioChunk);
    z_stream stream{};
    bool started = false;
    bool gzip = false;
    bool inMember = false; // a member was begun and its trailer not yet read
    bool inputEnded = false;
    QString error;

    ~Source()
    {
        if (gzip)
            inflateEnd(&stream);
    }

    // Refills the input; false at its end or on failure (error set).
    bool fill()
    {
        if (stream.avail_in > 0)
            return true;
        if (inputEnded)
            return false;
        const qint64 n = device->read(input.data(), qint64(input.size()));
        if (n < 0) {
            error = device->errorString();
            inputEnded = true;
            return false;
        }
        if (n == 0) {
            inputEnded = true;
            return false;
        }
        stream.next_in = reinterpret_cast<Bytef *>(input.data());
        stream.avail_in = uInt(n);
        return true;
    }

    bool start()
    {
        started = true;
        if (!fill())
            return error.isEmpty();
        gzip = stream.avail_in >= 2 && uchar(input[0]) == 0x1f && uchar(input[1]) == 0x8b;
        if (gzip && inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
            gzip = false;
            error = QStringLiteral("out of memory");
            return false;
        }
        return true;
    }

    // Inflated bytes into data: the count, 0 at the end of the stream, -1 on
    // damage (error set).
    qint64 inflateInto(char *data, qint64 max)
    {
        stream.next_out = reinterpret_cast<Bytef *>(data);
        stream.avail_out = uInt(std::min<qint64>(max, std::numeric_limits<uInt>::max()));
        const uInt room = stream.avail_out;
        while (stream.avail_out == room) {
            if (!fill()) {
                if (!error.isEmpty())
                    return -1;
                if (inMember) {
                    error = QStringLiteral("the compressed data ends early");
                    return -1;
                }
                return 0;
            }
            if (!inMember) {
                // Zeros after a member are padding that some tools add.
                while (stream.avail_in > 0 && *stream.next_in == 0) {
                    ++stream.next_in;
                    --stream.avail_in;
                }
                if (stream.avail_in == 0)
                    continue;
                inflateReset(&stream);
                inMember = true;
            }
            const int status = inflate(&stream, Z_NO_FLUSH);
            if (status == Z_STREAM_END) {
                inMember = false; // its CRC and length matched
            } else if (status != Z_OK && status != Z_BUF_ERROR) {
                error = stream.msg ? QString::fromUtf8(stream.msg)
                                   : QStringLiteral("damaged compressed data");
                return -1;
            }
        }
        return qint64(room - stream.avail_out);
    }

    qint64 next(char *data, qint64 max)
    {
        if (!started && !start())
            return -1;
        if (gzip)
            return inflateInto(data, max);
        if (!fill())
            return error.isEmpty() ? 0 : -1;
        const qint64 n = std::min<qint64>(max, stream.avail_in);
        std::memcpy(data, stream.next_in, size_t(n));
        stream.next_in += n;
        stream.avail_in -= uInt(n);
        return n;
    }

    static la_ssize_t read(archive *a, void *context, const void **block)
    {
        auto *source = static_cast<Source *>(context);
        const qint64 n = source->next(source->output.data(), qint64(source->output.size()));
        if (n < 0) {
            archive_set_error(a, EIO, "%s", qUtf8Printable(source->error));
            return -1;
        }
        *block = source->output.data();
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
        if (status == ARCHIVE_EOF) {
            drain();
            return false;
        }
        if (status < ARCHIVE_WARN)
            return fail(QStringLiteral("Cannot unpack document package: %1")
                            .arg(printable(archive_error_string(m_archive))));
        const QString rawName = archiveEntryName(entry);
        const qint64 size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
        if (!account(headerSize))
            return false;
        if (++m_entries > m_limits.maxEntries) {
            m_tooManyEntries = true;
            return refuse("Refusing document package: it has more than %lld entries",
                          m_limits.maxEntries);
        }
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

void PackageReader::drain()
{
    // What follows the end of the archive is read too, so that every
    // member's CRC and length are checked, within the bound on inflating.
    std::vector<char> rest(ioChunk);
    for (;;) {
        const qint64 n = m_source->next(rest.data(), qint64(rest.size()));
        if (n < 0) {
            fail(QStringLiteral("Cannot unpack document package: %1").arg(m_source->error));
            return;
        }
        if (n == 0 || !account(n))
            return;
    }
}

bool PackageReader::keepEntry()
{
    if (m_failed || m_name.isEmpty() || m_done > 0 || m_accounted)
        return false;
    m_accounted = true;
    if (!account(m_size))
        return false;
    if (m_size > m_limits.maxEntrySize)
        return refuse("Refusing document package: entry \"%s\" has %lld bytes", m_size, m_name);
    m_kept += m_size;
    if (m_kept > m_limits.maxTotalSize)
        return refuse("Refusing document package: it holds more than %lld bytes",
                      m_limits.maxTotalSize);
    return true;
}

std::optional<QByteArray> PackageReader::readEntry()
{
    if (!keepEntry())
        return std::nullopt;
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
