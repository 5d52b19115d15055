#pragma once

#include <QByteArray>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

class QIODevice;
class PackageSpool;

// The contents of one package entry: bytes in memory, or a stretch of a spool
// file that is read only when the bytes are asked for. Copies share the
// spool, which lives as long as an entry refers to it.
class PackageEntry
{
public:
    PackageEntry() = default;
    PackageEntry(const QByteArray &bytes) : m_bytes(bytes), m_size(bytes.size()) {}
    PackageEntry(std::shared_ptr<PackageSpool> spool, qint64 offset, qint64 size);

    qint64 size() const { return m_size; }
    bool isSpooled() const { return m_spool != nullptr; }
    // The bytes; nullopt when the spool cannot be read or they do not fit in
    // one QByteArray.
    std::optional<QByteArray> bytes() const;
    // At most `count` bytes from `offset` on, without reading the rest.
    std::optional<QByteArray> slice(qint64 offset, qint64 count) const;
    // Hands the bytes to sink in chunks; false when reading or the sink failed.
    bool copyTo(const std::function<bool(const char *data, qint64 size)> &sink) const;

    // Equal contents (a spooled entry is read in chunks to compare).
    bool operator==(const PackageEntry &other) const;
    bool operator!=(const PackageEntry &other) const { return !(*this == other); }

private:
    QByteArray m_bytes;
    std::shared_ptr<PackageSpool> m_spool;
    qint64 m_offset = 0;
    qint64 m_size = 0;
};

Q_DECLARE_METATYPE(PackageEntry)

// Package path to entry, for package data that is not all held in memory.
using PackageEntries = QMap<QString, PackageEntry>;

// An unnamed file that holds package entries written one after the other.
// Its name is removed as soon as it is open, so nothing is left behind
// whatever becomes of the program; runs of zeros become holes, which keeps
// a picture that inflates to gigabytes of nothing from costing disk.
class PackageSpool
{
public:
    // A spool in the folder; null when it cannot hold one.
    static std::shared_ptr<PackageSpool> create(const QString &folder);
    ~PackageSpool();
    PackageSpool(const PackageSpool &) = delete;
    PackageSpool &operator=(const PackageSpool &) = delete;

    // Appends what read gives until it answers 0 (or -1: failure); the new
    // entry, or nullopt when reading or writing failed or when the bytes
    // written to disk would pass `budget` (runs of zeros are holes and cost
    // nothing). Nothing of a failed entry stays on disk.
    std::optional<PackageEntry> append(const std::function<qint64(char *data, qint64 max)> &read,
                                       qint64 budget = std::numeric_limits<qint64>::max());
    // What has been written to disk so far, holes left out.
    qint64 bytesOnDisk() const { return m_onDisk; }
    // What may still be written in the spool's folder, keeping room for the
    // rest of the system.
    qint64 freeSpace() const;
    // What memory may still take, with the same margin.
    static qint64 freeMemory();
    // Tests stand in for the system's free bytes: of the disk holding a
    // folder, or of memory (an empty folder); nullopt asks the system. An
    // empty function ends the stand-in.
    using FreeBytes = std::function<std::optional<qint64>(const QString &folder)>;
    static void setFreeBytes(FreeBytes freeBytes);
    // Up to max bytes from offset.
    qint64 read(qint64 offset, char *data, qint64 max);

private:
    PackageSpool() = default;
    void discardFrom(qint64 start);
    int m_fd = -1;
    QString m_folder;
    qint64 m_end = 0;
    qint64 m_onDisk = 0;
    std::weak_ptr<PackageSpool> m_self;
};
