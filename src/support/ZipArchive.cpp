#include "support/ZipArchive.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <zip.h>

namespace {

constexpr quint32 EndSignature = 0x06054b50;
constexpr quint32 Zip64EndSignature = 0x06064b50;
constexpr quint32 Zip64LocatorSignature = 0x07064b50;
constexpr int EndSize = 22;
constexpr int Zip64LocatorSize = 20;
constexpr int Zip64EndSize = 56;
constexpr int CentralHeaderSize = 46;
// A directory larger than this is no archive a map is kept in.
constexpr quint64 MaximumDirectorySize = quint64(64) * 1024 * 1024;

quint16 u16(const char *p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}

quint32 u32(const char *p)
{
    return quint32(u16(p)) | quint32(u16(p + 2)) << 16;
}

quint64 u64(const char *p)
{
    return quint64(u32(p)) | quint64(u32(p + 4)) << 32;
}

bool readAt(FILE *file, qint64 offset, qint64 size, QByteArray &into)
{
    into.resize(size);
    return fseeko(file, off_t(offset), SEEK_SET) == 0 &&
           fread(into.data(), 1, size_t(size), file) == size_t(size);
}

std::nullptr_t fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return nullptr;
}

QString splitReason()
{
    return QStringLiteral("archives split over several files are not read");
}

// Where the archive starts in the file and how many members it says it
// holds, from its end records: libzip takes neither data in front of the
// archive nor a limit on the members it allocates for.
struct Extent
{
    qint64 start = 0;
    quint64 entries = 0;
};

std::optional<Extent> locate(FILE *file, qint64 fileSize, int maximumMembers, QString *error)
{
    const auto refuse = [error](const QString &reason) -> std::optional<Extent> {
        fail(error, reason);
        return std::nullopt;
    };
    if (fileSize < EndSize)
        return refuse(QStringLiteral("not a zip archive"));
    // The end record is the last of its signature whose comment of the
    // stated length ends the file; failing that (data after the archive),
    // the last that a comment of its stated length fits behind. A comment
    // may hold the signature itself.
    const qint64 tailSize = std::min<qint64>(fileSize, EndSize + 0xffff);
    QByteArray tail;
    if (!readAt(file, fileSize - tailSize, tailSize, tail))
        return refuse(QStringLiteral("the file cannot be read"));
    qint64 endAt = -1;
    qint64 fitting = -1;
    for (qint64 i = tailSize - EndSize; i >= 0; --i) {
        const char *p = tail.constData() + i;
        if (u32(p) != EndSignature)
            continue;
        const qint64 reach = i + EndSize + u16(p + 20);
        if (reach == tailSize) {
            endAt = i;
            break;
        }
        if (reach < tailSize && fitting < 0)
            fitting = i;
    }
    if (endAt < 0)
        endAt = fitting;
    if (endAt < 0)
        return refuse(QStringLiteral("not a zip archive"));
    const char *end = tail.constData() + endAt;
    const qint64 endOffset = fileSize - tailSize + endAt;
    if (u16(end + 4) != 0 || u16(end + 6) != 0)
        return refuse(splitReason());
    quint64 entries = u16(end + 10);
    quint64 directorySize = u32(end + 12);
    quint64 directoryOffset = u32(end + 16);
    qint64 directoryEnd = endOffset;
    if (entries == 0xffff || directorySize == 0xffffffff || directoryOffset == 0xffffffff) {
        QByteArray locator;
        if (endOffset < Zip64LocatorSize ||
            !readAt(file, endOffset - Zip64LocatorSize, Zip64LocatorSize, locator) ||
            u32(locator.constData()) != Zip64LocatorSignature)
            return refuse(QStringLiteral("damaged zip archive: no Zip64 end record"));
        if (u32(locator.constData() + 4) != 0 || u32(locator.constData() + 16) > 1)
            return refuse(splitReason());
        // The record stands where the locator says or, with data in front
        // of the archive, right before the locator.
        quint64 at = u64(locator.constData() + 8);
        QByteArray record;
        const auto recordAt = [&](quint64 offset) {
            return offset + Zip64EndSize <= quint64(fileSize) &&
                   readAt(file, qint64(offset), Zip64EndSize, record) &&
                   u32(record.constData()) == Zip64EndSignature;
        };
        if (!recordAt(at)) {
            at = quint64(std::max<qint64>(0, endOffset - Zip64LocatorSize - Zip64EndSize));
            if (!recordAt(at))
                return refuse(QStringLiteral("damaged zip archive: no Zip64 end record"));
        }
        if (u32(record.constData() + 16) != 0 || u32(record.constData() + 20) != 0)
            return refuse(splitReason());
        entries = u64(record.constData() + 32);
        directorySize = u64(record.constData() + 40);
        directoryOffset = u64(record.constData() + 48);
        directoryEnd = qint64(at);
    }
    if (entries > quint64(maximumMembers))
        return refuse(QStringLiteral("too many members"));
    if (directorySize > MaximumDirectorySize || directorySize > quint64(directoryEnd) ||
        directorySize < entries * CentralHeaderSize)
        return refuse(QStringLiteral("damaged zip archive: bad directory size"));
    // Data in front of the archive moves every offset by the same amount;
    // the directory ends where the end record starts.
    const qint64 directoryStart = directoryEnd - qint64(directorySize);
    if (directoryOffset > quint64(directoryStart))
        return refuse(QStringLiteral("damaged zip archive: bad directory offset"));
    return Extent{directoryStart - qint64(directoryOffset), entries};
}

QString libzipReason(int code, const QString &name = QString())
{
    const QString member = name.isEmpty() ? QString() : name + QLatin1Char(' ');
    switch (code) {
    case ZIP_ER_NOZIP:
        return QStringLiteral("not a zip archive");
    case ZIP_ER_MULTIDISK:
        return splitReason();
    case ZIP_ER_CRC:
    case ZIP_ER_INCONS:
        return name.isEmpty() ? QStringLiteral("damaged zip archive: inconsistent directory")
                              : QStringLiteral("damaged zip archive: %1does not match its checksum")
                                    .arg(member);
    case ZIP_ER_ZLIB:
    case ZIP_ER_COMPRESSED_DATA:
        return QStringLiteral("damaged zip archive: %1does not inflate").arg(member);
    case ZIP_ER_EOF:
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
        return QStringLiteral("damaged zip archive: %1is cut short").arg(member);
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_ENCRNOTSUPP:
        return QStringLiteral("%1is encrypted").arg(member);
    case ZIP_ER_MEMORY:
        return QStringLiteral("out of memory");
    default: {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
        zip_error_fini(&error);
        return QStringLiteral("damaged zip archive: %1%2").arg(member, text);
    }
    }
}

} // namespace

// The open archive. libzip's archive is not for several threads at once:
// every call into it holds the lock.
struct ZipArchive::Shared
{
    zip_t *zip = nullptr;
    std::mutex mutex;
    ~Shared()
    {
        if (zip)
            zip_discard(zip);
    }
};

struct ZipArchive::Reader::File
{
    zip_file_t *file = nullptr;
};

ZipArchive::~ZipArchive() = default;

std::unique_ptr<ZipArchive> ZipArchive::open(const QString &path, QString *error,
                                             int maximumMembers)
{
    FILE *file = fopen(QFile::encodeName(path).constData(), "rbe");
    if (!file)
        return fail(error, QString::fromLocal8Bit(strerror(errno)));
    // The file is handed to libzip once the end records are checked; until
    // then it is closed here.
    std::unique_ptr<FILE, int (*)(FILE *)> owned(file, fclose);
    struct stat info;
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode))
        return fail(error, QStringLiteral("it is not a file"));
    const std::optional<Extent> extent = locate(file, qint64(info.st_size), maximumMembers, error);
    if (!extent)
        return nullptr;

    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t *source = zip_source_filep_create(file, zip_uint64_t(extent->start), -1, &zipError);
    if (!source) {
        const QString reason = libzipReason(zip_error_code_zip(&zipError));
        zip_error_fini(&zipError);
        return fail(error, reason);
    }
    owned.release(); // the source closes it
    zip_t *zip = zip_open_from_source(source, ZIP_RDONLY, &zipError);
    if (!zip) {
        zip_source_free(source);
        const QString reason = libzipReason(zip_error_code_zip(&zipError));
        zip_error_fini(&zipError);
        return fail(error, reason);
    }
    zip_error_fini(&zipError);
    std::unique_ptr<ZipArchive> archive(new ZipArchive);
    archive->m_shared = std::make_shared<Shared>();
    archive->m_shared->zip = zip;

    const zip_int64_t count = zip_get_num_entries(zip, 0);
    if (count < 0 || quint64(count) > quint64(maximumMembers))
        return fail(error, QStringLiteral("too many members"));
    int commentLength = 0;
    if (const char *comment = zip_get_archive_comment(zip, &commentLength, ZIP_FL_ENC_RAW))
        archive->m_comment = QByteArray(comment, commentLength);
    archive->m_members.reserve(size_t(count));
    for (zip_uint64_t i = 0; i < zip_uint64_t(count); ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(zip, i, ZIP_FL_ENC_GUESS, &stat) != 0 || !stat.name)
            return fail(error, libzipReason(zip_error_code_zip(zip_get_error(zip))));
        Member m;
        m.index = i;
        // Names are UTF-8 as stored or as guessed from the old code page.
        m.name = QString::fromUtf8(stat.name);
        m.method = quint16(stat.comp_method);
        m.crc = stat.crc;
        if (stat.size > quint64(std::numeric_limits<qint64>::max()) ||
            stat.comp_size > quint64(info.st_size))
            return fail(error, QStringLiteral("damaged zip archive: bad size of %1").arg(m.name));
        m.size = qint64(stat.size);
        m.compressedSize = qint64(stat.comp_size);
        m.isEncrypted = stat.encryption_method != ZIP_EM_NONE;
        m.isDirectory = m.name.endsWith(u'/') || m.name.endsWith(u'\\');
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(zip, i, 0, &system, &attributes) == 0 &&
            system == ZIP_OPSYS_UNIX) {
            // Unix writers keep the file's mode in the high half.
            const quint32 type = (attributes >> 16) & 0170000;
            m.isLink = type == 0120000;
            m.isSpecial = type != 0 && type != 0100000 && type != 0040000 && !m.isLink;
        }
        archive->m_members.push_back(std::move(m));
    }
    return archive;
}

const ZipArchive::Member *ZipArchive::find(const QString &name) const
{
    for (const Member &m : m_members) {
        if (m.name == name)
            return &m;
    }
    return nullptr;
}

QString ZipArchive::unreadableReason(const Member &member)
{
    if (member.isLink)
        return QStringLiteral("%1 is a symbolic link, not a file").arg(member.name);
    if (member.isSpecial)
        return QStringLiteral("%1 is a device or pipe, not a file").arg(member.name);
    if (member.isDirectory)
        return QStringLiteral("%1 is a folder, not a file").arg(member.name);
    if (member.isEncrypted)
        return QStringLiteral("%1 is encrypted").arg(member.name);
    if (member.method != ZIP_CM_STORE && member.method != ZIP_CM_DEFLATE)
        return QStringLiteral("%1 is compressed by method %2, which is not read")
            .arg(member.name)
            .arg(member.method);
    return QString();
}

ZipArchive::Reader::~Reader()
{
    if (m_file && m_file->file) {
        const std::lock_guard lock(m_shared->mutex);
        zip_fclose(m_file->file);
    }
}

qint64 ZipArchive::Reader::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason;
    return -1;
}

std::unique_ptr<ZipArchive::Reader> ZipArchive::openMember(const Member &member, qint64 limit,
                                                           QString *error) const
{
    if (const QString reason = unreadableReason(member); !reason.isEmpty())
        return fail(error, reason);
    std::unique_ptr<Reader> reader(new Reader);
    reader->m_shared = m_shared;
    reader->m_member = member;
    reader->m_limit = limit;
    reader->m_file = std::make_unique<Reader::File>();
    const std::lock_guard lock(m_shared->mutex);
    reader->m_file->file = zip_fopen_index(m_shared->zip, member.index, 0);
    if (!reader->m_file->file)
        return fail(error,
                    libzipReason(zip_error_code_zip(zip_get_error(m_shared->zip)), member.name));
    return reader;
}

qint64 ZipArchive::Reader::read(char *buffer, qint64 size)
{
    if (!m_error.isEmpty())
        return -1;
    if (m_ended || size <= 0)
        return 0;
    zip_int64_t n = 0;
    {
        const std::lock_guard lock(m_shared->mutex);
        n = zip_fread(m_file->file, buffer, zip_uint64_t(size));
        if (n < 0)
            return fail(libzipReason(zip_error_code_zip(zip_file_get_error(m_file->file)),
                                     m_member.name));
    }
    if (n == 0) {
        // libzip has checked the checksum and the stated size by now.
        m_ended = true;
        if (m_out != m_member.size)
            return fail(QStringLiteral("damaged zip archive: %1 does not match its checksum")
                            .arg(m_member.name));
        return 0;
    }
    m_out += n;
    // The stated size may lie: the limit counts what actually comes out.
    if (m_out > m_limit)
        return fail(
            QStringLiteral("%1 inflates to more than %2 MB").arg(m_member.name).arg(m_limit >> 20));
    if (m_out > m_member.size)
        return fail(
            QStringLiteral("damaged zip archive: %1 is longer than stated").arg(m_member.name));
    return n;
}

std::optional<QByteArray> ZipArchive::readMember(const Member &member, qint64 limit,
                                                 QString *error) const
{
    if (member.size > limit) {
        fail(error,
             QStringLiteral("%1 inflates to more than %2 MB").arg(member.name).arg(limit >> 20));
        return std::nullopt;
    }
    std::unique_ptr<Reader> reader = openMember(member, limit, error);
    if (!reader)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(qsizetype(member.size));
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = reader->read(buffer, sizeof buffer);
        if (n < 0) {
            fail(error, reader->error());
            return std::nullopt;
        }
        if (n == 0)
            return bytes;
        bytes.append(buffer, n);
    }
}
