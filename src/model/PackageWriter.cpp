#include "PackageWriter.h"

#include <QIODevice>
#include <QtDebug>

#include <cstring>
#include <vector>

namespace {

constexpr qint64 block = 512;
// The largest size an 11-digit octal field holds.
constexpr qint64 maxOctalSize = (qint64(1) << 33) - 1;

void putOctal(QByteArray &h, int at, int width, qint64 value)
{
    // width - 1 digits and a NUL, as tar writes them.
    const QByteArray digits = QByteArray::number(value, 8).rightJustified(width - 1, '0');
    std::memcpy(h.data() + at, digits.constData(), size_t(width - 1));
}

void putText(QByteArray &h, int at, int width, const QByteArray &text)
{
    std::memcpy(h.data() + at, text.constData(), size_t(std::min<qsizetype>(width, text.size())));
}

// One pax record: "<length> <key>=<value>\n", the length counting itself.
QByteArray paxRecord(const QByteArray &key, const QByteArray &value)
{
    const qsizetype body = 1 + key.size() + 1 + value.size() + 1;
    qsizetype length = body + 1;
    while (QByteArray::number(length).size() + body != length)
        length = QByteArray::number(length).size() + body;
    return QByteArray::number(length) + ' ' + key + '=' + value + '\n';
}

QByteArray ustar(const QByteArray &name, const QByteArray &prefix, char type, qint64 size,
                 std::time_t mtime)
{
    QByteArray h(block, '\0');
    putText(h, 0, 100, name);
    putOctal(h, 100, 8, type == '5' ? 0755 : 0644);
    putOctal(h, 108, 8, 0);
    putOctal(h, 116, 8, 0);
    putOctal(h, 124, 12, size);
    putOctal(h, 136, 12, qint64(mtime));
    std::memset(h.data() + 148, ' ', 8);
    h[156] = type;
    putText(h, 257, 6, QByteArray("ustar", 6));
    putText(h, 263, 2, "00");
    putText(h, 345, 155, prefix);
    unsigned sum = 0;
    for (const char c : h)
        sum += uchar(c);
    const QByteArray checksum = QByteArray::number(sum, 8).rightJustified(6, '0');
    std::memcpy(h.data() + 148, checksum.constData(), 6);
    h[154] = '\0';
    h[155] = ' ';
    return h;
}

// Writes all of `data`. A write cut short (the disk filled, a size limit was
// reached) names no reason; the rest, tried again, fails with the system's
// reason, which the device then holds for the message.
bool writeAll(QIODevice &out, const char *data, qint64 size)
{
    while (size > 0) {
        const qint64 written = out.write(data, size);
        if (written <= 0) {
            qWarning("Cannot write document package: %s", qUtf8Printable(out.errorString()));
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

PackageWriter::PackageWriter(QIODevice &out, int level, int threads)
    : m_out(out),
      m_gzip(
          [this](const char *data, qint64 size) { return writeAll(m_out, data, size); },
          level, ParallelGzipWriter::defaultBlockSize, threads),
      m_now(std::time(nullptr))
{}

QByteArray PackageWriter::header(const QString &name, char type, qint64 size, std::time_t mtime)
{
    const QByteArray utf8 = name.toUtf8();
    bool ascii = true;
    for (const char c : utf8)
        ascii = ascii && uchar(c) < 0x80;
    QByteArray shortName = utf8, prefix;
    if (utf8.size() > 100) {
        // ustar splits a long name at a slash into prefix and name.
        const qsizetype from = std::max<qsizetype>(0, utf8.size() - 101);
        const qsizetype slash = utf8.indexOf('/', from);
        if (slash > 0 && slash <= 155 && utf8.size() - slash - 1 <= 100) {
            prefix = utf8.left(slash);
            shortName = utf8.mid(slash + 1);
        } else {
            shortName.clear();
        }
    }
    const bool sizeFits = size <= maxOctalSize;
    QByteArray records;
    if (!ascii || shortName.isEmpty())
        records += paxRecord("path", utf8);
    if (!sizeFits)
        records += paxRecord("size", QByteArray::number(size));
    if (records.isEmpty())
        return ustar(shortName, prefix, type, size, mtime);

    QByteArray fallback = shortName.isEmpty() ? utf8.right(100) : shortName;
    if (!ascii)
        for (char &c : fallback)
            if (uchar(c) >= 0x80)
                c = '_';
    QByteArray out = ustar("PaxHeader/" + fallback.right(90), {}, 'x', records.size(), mtime);
    out += records;
    out += QByteArray((block - records.size() % block) % block, '\0');
    out += ustar(fallback, ascii ? prefix : QByteArray(), type, sizeFits ? size : 0, mtime);
    return out;
}

bool PackageWriter::fail(PackageArchive::WriteStatus status)
{
    if (m_status == PackageArchive::WriteStatus::Written)
        m_status = status;
    return false;
}

bool PackageWriter::writeHeaders(const QString &name, qint64 size)
{
    if (m_status != PackageArchive::WriteStatus::Written)
        return false;
    if (name.isEmpty() || size < 0) {
        qWarning("Cannot save package entry \"%s\"", qUtf8Printable(name));
        return fail(PackageArchive::WriteStatus::EntryFailed);
    }
    // Folder entries as tar itself makes them, each before its first file.
    for (qsizetype slash = name.indexOf(QLatin1Char('/')); slash > 0;
         slash = name.indexOf(QLatin1Char('/'), slash + 1)) {
        const QString folder = name.left(slash + 1);
        if (m_folders.contains(folder))
            continue;
        m_folders.insert(folder);
        if (!m_gzip.write(header(folder, '5', 0, m_now)))
            return fail(PackageArchive::WriteStatus::OutputFailed);
    }
    if (!m_gzip.write(header(name, '0', size, m_now)))
        return fail(PackageArchive::WriteStatus::OutputFailed);
    return true;
}

bool PackageWriter::padTo512(qint64 size)
{
    static const QByteArray zeros(block, '\0');
    if (!m_gzip.write(zeros.constData(), (block - size % block) % block))
        return fail(PackageArchive::WriteStatus::OutputFailed);
    return true;
}

bool PackageWriter::addFile(const QString &name, const QByteArray &bytes)
{
    if (!writeHeaders(name, bytes.size()))
        return false;
    if (!m_gzip.write(bytes))
        return fail(PackageArchive::WriteStatus::OutputFailed);
    return padTo512(bytes.size());
}

bool PackageWriter::addEntry(const QString &name, const PackageEntry &entry)
{
    if (!entry.isSpooled())
        return addFile(name, entry.bytes().value_or(QByteArray()));
    if (!writeHeaders(name, entry.size()))
        return false;
    bool written = true; // false once the output failed
    if (!entry.copyTo(
            [&](const char *data, qint64 size) { return written = m_gzip.write(data, size); })) {
        if (written)
            qWarning("Cannot save package entry \"%s\": its data cannot be read",
                     qUtf8Printable(name));
        return fail(written ? PackageArchive::WriteStatus::EntryFailed
                            : PackageArchive::WriteStatus::OutputFailed);
    }
    return padTo512(entry.size());
}

bool PackageWriter::addCompressedFile(const QString &name, qint64 size, QIODevice &members)
{
    if (!writeHeaders(name, size) || !m_gzip.flush())
        return fail(PackageArchive::WriteStatus::OutputFailed);
    std::vector<char> buffer(std::size_t(1) << 20);
    for (;;) {
        const qint64 n = members.read(buffer.data(), qint64(buffer.size()));
        if (n < 0) {
            qWarning("Cannot read spooled entry \"%s\": %s", qUtf8Printable(name),
                     qUtf8Printable(members.errorString()));
            return fail(PackageArchive::WriteStatus::EntryFailed);
        }
        if (n == 0)
            break;
        if (!writeAll(m_out, buffer.data(), n))
            return fail(PackageArchive::WriteStatus::OutputFailed);
    }
    return padTo512(size);
}

bool PackageWriter::finish()
{
    if (m_status != PackageArchive::WriteStatus::Written)
        return false;
    static const QByteArray end(2 * block, '\0');
    if (!m_gzip.write(end) || !m_gzip.finish())
        return fail(PackageArchive::WriteStatus::OutputFailed);
    return true;
}
