#pragma once

#include "model/PackageArchive.h"
#include "model/PackageEntry.h"
#include "model/ParallelGzipWriter.h"

#include <QSet>
#include <QString>
#include <ctime>

class QIODevice;

// Writes a gzip-compressed tar package entry by entry: ustar headers, with
// pax records only where a name or size needs them, each folder before its
// first file. The gzip stream is made of independent members deflated on
// several threads, so an entry compressed beforehand (a spool of the
// document XML, whose size is only known once it is written) is copied in
// as it stands.
class PackageWriter
{
public:
    explicit PackageWriter(QIODevice &out, int level = PackageArchive::defaultCompressionLevel,
                           int threads = 0);

    // Names must be normalised (PackageArchive::normalisedPath).
    bool addFile(const QString &name, const QByteArray &bytes);
    // The same for an entry that may wait in a spool: copied in chunks.
    bool addEntry(const QString &name, const PackageEntry &entry);
    // An entry of `size` bytes whose data `members` holds as gzip members
    // (read to its end from the current position).
    bool addCompressedFile(const QString &name, qint64 size, QIODevice &members);
    // The end-of-archive blocks; everything is handed to the device.
    bool finish();

    // What failed: the device (OutputFailed) or an entry (EntryFailed).
    PackageArchive::WriteStatus status() const { return m_status; }

    // A tar header (with its pax header in front where needed), exposed for tests.
    static QByteArray header(const QString &name, char type, qint64 size, std::time_t mtime);

private:
    bool writeHeaders(const QString &name, qint64 size);
    bool padTo512(qint64 size);
    bool fail(PackageArchive::WriteStatus status);

    QIODevice &m_out;
    ParallelGzipWriter m_gzip;
    QSet<QString> m_folders;
    std::time_t m_now;
    PackageArchive::WriteStatus m_status = PackageArchive::WriteStatus::Written;
};
