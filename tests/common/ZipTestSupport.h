#pragma once

// Zip archives written byte by byte, in every layout other programs use:
// for tests of the zip reader and of what reads archives through it.

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QString>
#include <archive.h>
#include <archive_entry.h>
#include <utility>
#include <zlib.h>

namespace ZipTest {

inline void put16(QByteArray &b, quint32 v)
{
    b.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
}
inline void put32(QByteArray &b, quint32 v)
{
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}
inline void put64(QByteArray &b, quint64 v)
{
    put32(b, quint32(v));
    put32(b, quint32(v >> 32));
}

inline QByteArray deflateRaw(const QByteArray &data)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(data.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

// A zip archive of the members written to `path` as common zip writers
// make them (libarchive's defaults); false when it could not be opened.
inline bool writeZip(const QString &path, const QList<std::pair<QString, QByteArray>> &members)
{
    archive *a = archive_write_new();
    archive_write_set_format_zip(a);
    if (archive_write_open_filename(a, QFile::encodeName(path).constData()) != ARCHIVE_OK) {
        archive_write_free(a);
        return false;
    }
    for (const auto &[name, data] : members) {
        archive_entry *e = archive_entry_new();
        archive_entry_set_pathname(e, name.toUtf8().constData());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, data.size());
        archive_write_header(a, e);
        archive_write_data(a, data.constData(), size_t(data.size()));
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    return true;
}

// How one archive of the table is written.
struct ZipForm
{
    quint16 method = 8;
    bool descriptor = false;
    int localExtra = 0; // bytes of an extra field in local headers only
    QByteArray comment;
    bool zip64 = false;
    QByteArray stub;   // bytes in front of the archive
    quint16 flags = 0; // more general-purpose bits
    bool wrongCRC = false;
    qint64 statedSizeChange = 0;
    // Unix modes by member name (a regular file's 0100644 for the rest):
    // 0120777 makes a symbolic link whose content is its target.
    QHash<QString, quint32> modes;
    quint16 disk = 0; // of the end record: not 0 for a split archive
};

// A zip archive written byte by byte, as other programs lay theirs out.
inline QByteArray zipOf(const QList<std::pair<QString, QByteArray>> &members, const ZipForm &form)
{
    QByteArray out = form.stub;
    QByteArray directory;
    for (const auto &[name, data] : members) {
        const QByteArray packed = form.method == 8 ? deflateRaw(data) : data;
        quint32 crc =
            quint32(crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
        if (form.wrongCRC)
            crc ^= 1;
        const quint64 size = quint64(data.size() + form.statedSizeChange);
        const quint16 flags = quint16(form.flags | (form.descriptor ? 0x08 : 0) | 0x0800);
        const QByteArray n = name.toUtf8();
        // A local extra field whose inner length overruns it, as some
        // writers leave it.
        QByteArray extra;
        if (form.localExtra > 0) {
            extra = "MJHI";
            extra.append(QByteArray(form.localExtra - 4, 'x'));
        }
        const qint64 offset = out.size() - form.stub.size();
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, flags);
        put16(out, form.method);
        put32(out, 0);
        put32(out, form.descriptor ? 0 : crc);
        put32(out, form.descriptor ? 0 : quint32(packed.size()));
        put32(out, form.descriptor ? 0 : quint32(size));
        put16(out, quint16(n.size()));
        put16(out, quint16(extra.size()));
        out += n + extra + packed;
        if (form.descriptor) {
            put32(out, 0x08074b50);
            put32(out, crc);
            put32(out, quint32(packed.size()));
            put32(out, quint32(size));
        }
        QByteArray zip64;
        if (form.zip64) {
            put16(zip64, 0x0001);
            put16(zip64, 24);
            put64(zip64, size);
            put64(zip64, quint64(packed.size()));
            put64(zip64, quint64(offset));
        }
        put32(directory, 0x02014b50);
        put16(directory, 0x031e);
        put16(directory, form.zip64 ? 45 : 20);
        put16(directory, flags);
        put16(directory, form.method);
        put32(directory, 0);
        put32(directory, crc);
        put32(directory, form.zip64 ? 0xffffffff : quint32(packed.size()));
        put32(directory, form.zip64 ? 0xffffffff : quint32(size));
        put16(directory, quint16(n.size()));
        put16(directory, quint16(zip64.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, form.modes.value(name, 0100644u) << 16);
        put32(directory, form.zip64 ? 0xffffffff : quint32(offset));
        directory += n + zip64;
    }
    const qint64 directoryAt = out.size() - form.stub.size();
    out += directory;
    if (form.zip64) {
        const qint64 recordAt = out.size() - form.stub.size();
        put32(out, 0x06064b50);
        put64(out, 44);
        put16(out, 45);
        put16(out, 45);
        put32(out, 0);
        put32(out, 0);
        put64(out, quint64(members.size()));
        put64(out, quint64(members.size()));
        put64(out, quint64(directory.size()));
        put64(out, quint64(directoryAt));
        put32(out, 0x07064b50);
        put32(out, 0);
        put64(out, quint64(recordAt));
        put32(out, 1);
    }
    put32(out, 0x06054b50);
    put16(out, form.disk);
    put16(out, form.disk);
    put16(out, form.zip64 ? 0xffff : quint16(members.size()));
    put16(out, form.zip64 ? 0xffff : quint16(members.size()));
    put32(out, form.zip64 ? 0xffffffff : quint32(directory.size()));
    put32(out, form.zip64 ? 0xffffffff : quint32(directoryAt));
    put16(out, quint16(form.comment.size()));
    out += form.comment;
    return out;
}


} // namespace ZipTest
