#include "support/ZipArchive.h"

#include <QStringDecoder>
#include <limits>
#include <zlib.h>

namespace {

constexpr quint32 LocalHeaderSignature = 0x04034b50;
constexpr quint32 CentralHeaderSignature = 0x02014b50;
constexpr quint32 EndSignature = 0x06054b50;
constexpr quint32 Zip64EndSignature = 0x06064b50;
constexpr quint32 Zip64LocatorSignature = 0x07064b50;
constexpr int EndSize = 22;
constexpr int Zip64LocatorSize = 20;
constexpr int Zip64EndSize = 56;
constexpr int CentralHeaderSize = 46;
constexpr int LocalHeaderSize = 30;
// A directory larger than this is no archive a map is kept in.
constexpr qint64 MaximumDirectorySize = qint64(64) * 1024 * 1024;
constexpr qint64 InputBlock = 64 * 1024;

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

bool readAt(QFile &file, qint64 offset, qint64 size, QByteArray &into)
{
    into.resize(size);
    return file.seek(offset) && file.read(into.data(), size) == size;
}

QString memberName(const QByteArray &raw, quint16 flags)
{
    // Bit 11 says UTF-8; older writers use the system's code page, which
    // for the names a map holds is ASCII or valid UTF-8 as well.
    if (flags & 0x0800)
        return QString::fromUtf8(raw);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(raw);
    return utf8.hasError() ? QString::fromLatin1(raw) : decoded;
}

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

std::unique_ptr<ZipArchive> ZipArchive::open(const QString &path, QString *error,
                                             int maximumMembers)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, file.errorString());
        return nullptr;
    }
    const qint64 fileSize = file.size();
    const auto refuse = [error](const QString &reason) -> std::unique_ptr<ZipArchive> {
        fail(error, reason);
        return nullptr;
    };
    if (fileSize < EndSize)
        return refuse(QStringLiteral("not a zip archive"));
    // The end record is the last of its signature that a comment of its
    // stated length fits behind.
    const qint64 tailSize = std::min<qint64>(fileSize, EndSize + 0xffff);
    QByteArray tail;
    if (!readAt(file, fileSize - tailSize, tailSize, tail))
        return refuse(file.errorString());
    qint64 endAt = -1;
    for (qint64 i = tailSize - EndSize; i >= 0; --i) {
        const char *p = tail.constData() + i;
        if (u32(p) == EndSignature && i + EndSize + u16(p + 20) <= tailSize) {
            endAt = i;
            break;
        }
    }
    if (endAt < 0)
        return refuse(QStringLiteral("not a zip archive"));
    const char *end = tail.constData() + endAt;
    const qint64 endOffset = fileSize - tailSize + endAt;
    std::unique_ptr<ZipArchive> archive(new ZipArchive);
    archive->m_path = path;
    archive->m_comment = QByteArray(end + EndSize, u16(end + 20));
    if (u16(end + 4) != 0 || u16(end + 6) != 0)
        return refuse(QStringLiteral("archives split over several files are not read"));
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
        // The record stands where the locator says or, with data in front
        // of the archive, right before the locator.
        quint64 at = u64(locator.constData() + 8);
        QByteArray record;
        const auto recordAt = [&](quint64 offset) {
            return offset <= quint64(fileSize) &&
                   readAt(file, qint64(offset), Zip64EndSize, record) &&
                   u32(record.constData()) == Zip64EndSignature;
        };
        if (!recordAt(at)) {
            at = quint64(std::max<qint64>(0, endOffset - Zip64LocatorSize - Zip64EndSize));
            if (!recordAt(at))
                return refuse(QStringLiteral("damaged zip archive: no Zip64 end record"));
        }
        entries = u64(record.constData() + 32);
        directorySize = u64(record.constData() + 40);
        directoryOffset = u64(record.constData() + 48);
        directoryEnd = qint64(at);
    }
    if (entries > quint64(maximumMembers))
        return refuse(QStringLiteral("too many members"));
    if (directorySize > quint64(MaximumDirectorySize) || directorySize > quint64(directoryEnd))
        return refuse(QStringLiteral("damaged zip archive: bad directory size"));
    // Data in front of the archive (a self-extracting stub) moves every
    // offset by the same amount; the directory ends where the end record
    // starts.
    const qint64 directoryStart = directoryEnd - qint64(directorySize);
    if (directoryOffset > quint64(directoryStart))
        return refuse(QStringLiteral("damaged zip archive: bad directory offset"));
    const qint64 bias = directoryStart - qint64(directoryOffset);
    QByteArray directory;
    if (!readAt(file, directoryStart, qint64(directorySize), directory))
        return refuse(QStringLiteral("damaged zip archive: cut short"));

    const char *p = directory.constData();
    const char *const last = p + directory.size();
    archive->m_members.reserve(size_t(entries));
    while (archive->m_members.size() < entries) {
        if (last - p < CentralHeaderSize || u32(p) != CentralHeaderSignature)
            return refuse(QStringLiteral("damaged zip archive: bad directory entry"));
        Member m;
        const quint16 madeBy = u16(p + 4);
        m.flags = u16(p + 8);
        m.method = u16(p + 10);
        m.crc = u32(p + 16);
        quint64 compressed = u32(p + 20);
        quint64 size = u32(p + 24);
        const int nameLength = u16(p + 28);
        const int extraLength = u16(p + 30);
        const int commentLength = u16(p + 32);
        quint32 disk = u16(p + 34);
        const quint32 external = u32(p + 38);
        quint64 offset = u32(p + 42);
        if (last - p < CentralHeaderSize + nameLength + extraLength + commentLength)
            return refuse(QStringLiteral("damaged zip archive: bad directory entry"));
        const char *name = p + CentralHeaderSize;
        const char *extra = name + nameLength;
        // Zip64 sizes stand in the extra field, in this order, for the
        // fields that hold all ones.
        for (const char *e = extra; e + 4 <= extra + extraLength;) {
            const quint16 id = u16(e);
            const quint16 length = u16(e + 2);
            const char *data = e + 4;
            if (data + length > extra + extraLength)
                break;
            if (id == 0x0001) {
                const char *f = data;
                const auto take = [&f, data, length](quint64 &field) {
                    if (f + 8 > data + length)
                        return false;
                    field = u64(f);
                    f += 8;
                    return true;
                };
                bool ok = true;
                if (size == 0xffffffff)
                    ok = ok && take(size);
                if (compressed == 0xffffffff)
                    ok = ok && take(compressed);
                if (offset == 0xffffffff)
                    ok = ok && take(offset);
                if (disk == 0xffff && f + 4 <= data + length)
                    disk = u32(f);
                if (!ok)
                    return refuse(QStringLiteral("damaged zip archive: bad Zip64 field"));
            }
            e = data + length;
        }
        if (disk != 0)
            return refuse(QStringLiteral("archives split over several files are not read"));
        if (offset > quint64(directoryStart) || compressed > quint64(fileSize) ||
            size > quint64(std::numeric_limits<qint64>::max()))
            return refuse(QStringLiteral("damaged zip archive: bad member offset"));
        m.name = memberName(QByteArray(name, nameLength), m.flags);
        m.compressedSize = qint64(compressed);
        m.size = qint64(size);
        m.localHeaderOffset = qint64(offset) + bias;
        m.isDirectory = m.name.endsWith(u'/') || m.name.endsWith(u'\\');
        // Unix writers keep the file's mode in the high half.
        m.isLink = (madeBy >> 8) == 3 && ((external >> 16) & 0xf000) == 0xa000;
        archive->m_members.push_back(std::move(m));
        p += CentralHeaderSize + nameLength + extraLength + commentLength;
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

struct ZipArchive::Reader::Inflater
{
    z_stream stream{};
    bool ready = false;
    ~Inflater()
    {
        if (ready)
            inflateEnd(&stream);
    }
};

ZipArchive::Reader::~Reader() = default;

qint64 ZipArchive::Reader::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason;
    return -1;
}

std::unique_ptr<ZipArchive::Reader> ZipArchive::openMember(const Member &member, qint64 limit,
                                                           QString *error) const
{
    const auto refuse = [error](const QString &reason) -> std::unique_ptr<Reader> {
        fail(error, reason);
        return nullptr;
    };
    if (member.flags & 0x0001)
        return refuse(QStringLiteral("%1 is encrypted").arg(member.name));
    if (member.method != 0 && member.method != 8)
        return refuse(QStringLiteral("%1 is compressed by method %2, which is not read")
                          .arg(member.name)
                          .arg(member.method));
    std::unique_ptr<Reader> reader(new Reader);
    reader->m_file.setFileName(m_path);
    if (!reader->m_file.open(QIODevice::ReadOnly))
        return refuse(reader->m_file.errorString());
    QByteArray header;
    if (!readAt(reader->m_file, member.localHeaderOffset, LocalHeaderSize, header) ||
        u32(header.constData()) != LocalHeaderSignature)
        return refuse(
            QStringLiteral("damaged zip archive: no local header for %1").arg(member.name));
    // The local header's own extra field may be of any length: only its
    // length counts here, the directory says the rest.
    const qint64 dataAt = member.localHeaderOffset + LocalHeaderSize +
                          u16(header.constData() + 26) + u16(header.constData() + 28);
    if (dataAt + member.compressedSize > reader->m_file.size() || !reader->m_file.seek(dataAt))
        return refuse(QStringLiteral("damaged zip archive: %1 is cut short").arg(member.name));
    reader->m_member = member;
    reader->m_limit = limit;
    reader->m_left = member.compressedSize;
    reader->m_crc = quint32(crc32(0, nullptr, 0));
    if (member.method == 8) {
        reader->m_inflater = std::make_unique<Reader::Inflater>();
        if (inflateInit2(&reader->m_inflater->stream, -MAX_WBITS) != Z_OK)
            return refuse(QStringLiteral("out of memory"));
        reader->m_inflater->ready = true;
    }
    return reader;
}

qint64 ZipArchive::Reader::finish()
{
    m_ended = true;
    if (m_out != m_member.size || m_crc != m_member.crc)
        return fail(QStringLiteral("damaged zip archive: %1 does not match its checksum")
                        .arg(m_member.name));
    return 0;
}

qint64 ZipArchive::Reader::read(char *buffer, qint64 size)
{
    if (!m_error.isEmpty())
        return -1;
    if (m_ended || size <= 0)
        return 0;
    qint64 n = 0;
    if (!m_inflater) {
        if (m_left == 0)
            return finish();
        n = m_file.read(buffer, std::min(size, m_left));
        if (n <= 0)
            return fail(QStringLiteral("damaged zip archive: %1 is cut short").arg(m_member.name));
        m_left -= n;
    } else {
        if (m_inflated)
            return finish();
        z_stream &z = m_inflater->stream;
        const qint64 want = std::min<qint64>(size, std::numeric_limits<uInt>::max());
        while (n == 0) {
            if (z.avail_in == 0 && m_left > 0) {
                m_input.resize(std::min(m_left, InputBlock));
                if (m_file.read(m_input.data(), m_input.size()) != m_input.size())
                    return fail(
                        QStringLiteral("damaged zip archive: %1 is cut short").arg(m_member.name));
                m_left -= m_input.size();
                z.next_in = reinterpret_cast<Bytef *>(m_input.data());
                z.avail_in = uInt(m_input.size());
            }
            z.next_out = reinterpret_cast<Bytef *>(buffer);
            z.avail_out = uInt(want);
            const int status = inflate(&z, Z_NO_FLUSH);
            n = want - qint64(z.avail_out);
            if (status == Z_STREAM_END) {
                m_inflated = true;
                if (n == 0)
                    return finish();
                break;
            }
            if (status != Z_OK && !(status == Z_BUF_ERROR && z.avail_in == 0 && m_left > 0))
                return fail(QStringLiteral("damaged zip archive: %1 does not inflate (%2)")
                                .arg(m_member.name, QString::fromLatin1(z.msg ? z.msg : "")));
            if (n == 0 && z.avail_in == 0 && m_left == 0)
                return fail(
                    QStringLiteral("damaged zip archive: %1 is cut short").arg(m_member.name));
        }
    }
    m_crc = quint32(crc32(m_crc, reinterpret_cast<const Bytef *>(buffer), uInt(n)));
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
    std::unique_ptr<Reader> reader = openMember(member, limit, error);
    if (!reader)
        return std::nullopt;
    if (member.size > limit) {
        fail(error,
             QStringLiteral("%1 inflates to more than %2 MB").arg(member.name).arg(limit >> 20));
        return std::nullopt;
    }
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
