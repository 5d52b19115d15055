#pragma once

#include "model/PackageArchive.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

class QIODevice;
struct archive;

// Reads a gzip-compressed or plain tar package entry by entry, under the
// limits of PackageArchive. An entry is either read whole into memory
// (readEntry: the entry and total bounds apply) or streamed in chunks
// (readData: only maxStreamedEntrySize applies, since nothing is kept), or
// passed over. Only regular files with safe names are offered: folders are
// implied by paths, and links, devices, FIFOs and unsafe names are skipped
// with a log line.
class PackageReader
{
public:
    explicit PackageReader(QIODevice &in, const PackageArchive::Limits &limits = {});
    ~PackageReader();
    PackageReader(const PackageReader &) = delete;
    PackageReader &operator=(const PackageReader &) = delete;

    // Starts reading; false when the device holds no archive.
    bool open();
    // Moves to the next file entry; false at the end of the archive (status()
    // Read) or on failure.
    bool nextEntry();
    const QString &entryName() const { return m_name; }
    qint64 entrySize() const { return m_size; }

    // The whole current entry; nullopt when it breaks the limits or cannot
    // be read.
    std::optional<QByteArray> readEntry();
    // Counts the current entry as kept (the entry and total bounds apply,
    // as for readEntry) before it is read with readData into a store of the
    // caller's; false when it breaks them.
    bool keepEntry();
    // Up to `max` further bytes of the current entry: the count, 0 at its
    // end, -1 on failure.
    qint64 readData(char *data, qint64 max);
    // An earlier entry of `size` bytes that a later one of the same name
    // replaces no longer counts towards the total.
    void forgetKept(qint64 size);

    // Read while nothing failed; Unreadable for a damaged archive, Refused
    // for one that breaks the limits.
    PackageArchive::ReadStatus status() const { return m_status; }
    bool failed() const { return m_failed; }
    // Refused for holding more entries than the limit allows.
    bool refusedForEntries() const { return m_tooManyEntries; }

private:
    bool refuse(const char *format, qint64 value, const QString &name = {});
    bool fail(const QString &message);
    bool account(qint64 size);
    void drain();

    struct Source;
    QIODevice &m_in;
    PackageArchive::Limits m_limits;
    std::unique_ptr<Source> m_source;
    archive *m_archive = nullptr;
    QString m_name;
    qint64 m_size = 0;
    qint64 m_done = 0;        // bytes of the current entry read
    bool m_accounted = false; // the current entry's size counted towards the unpacked size
    qint64 m_expanded = 0;
    qint64 m_entries = 0;
    qint64 m_kept = 0;
    bool m_failed = false;
    bool m_tooManyEntries = false;
    PackageArchive::ReadStatus m_status = PackageArchive::ReadStatus::Read;
};

// One entry of a package file opened as a stream of its own.
class PackageEntryStream
{
public:
    // The entry `name` of the package at path, or null when it has none or
    // cannot be read.
    static std::unique_ptr<PackageEntryStream> open(const QString &path, const QString &name,
                                                    const PackageArchive::Limits &limits = {});
    ~PackageEntryStream();
    qint64 size() const;
    // As PackageReader::readData.
    qint64 read(char *data, qint64 max);

private:
    PackageEntryStream();
    struct Private;
    std::unique_ptr<Private> d;
};
