#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <optional>

class QIODevice;

// Package data: package-relative path ("Thinkweb/Contents.xml",
// "Images/Graphic3/photo.png") to the entry's bytes.
using PackageData = QMap<QString, QByteArray>;

// The tar container of documents and templates, made and read in memory with
// libarchive: nothing is extracted to disk, so archive paths are never followed.
namespace PackageArchive {

// Bounds that keep a hostile archive from exhausting memory while leaving
// room for real documents (a picture of a gigabyte opens). There is no bound
// on how far the data expands: a flat picture packs 1000:1, and whatever the
// program saves must open again; what pictures may take on disk is bounded
// where they are spooled.
struct Limits
{
    qint64 maxEntrySize = qint64(2) << 30;
    qint64 maxTotalSize = qint64(4) << 30;
    // All that is inflated, skipped entries and headers included.
    qint64 maxUnpackedSize = (qint64(4) << 30) + (qint64(256) << 20);
    qint64 maxEntries = qint64(1) << 20;
    // An entry read as a stream (the document XML) is never held in memory,
    // so only this bound applies to it.
    qint64 maxStreamedEntrySize = qint64(64) << 30;
};

enum class ReadStatus {
    Read,
    Unreadable, // no archive, or a damaged one
    Refused,    // an archive that breaks the limits
};

// The level `gzip` and `tar czf` use by default.
constexpr int defaultCompressionLevel = 6;

enum class WriteStatus {
    Written,
    EntryFailed,  // an entry could not be added to the archive
    OutputFailed, // the archive could not be written to the device
};

// The relative, normalised form of an archive or package path ("." and empty
// components dropped), or an empty string when the path is absolute, climbs
// with "..", or names nothing.
QString normalisedPath(const QString &path);

// Writes a gzip-compressed tar (ustar, with pax records only where a name
// needs them) holding every entry, preceded by the folders that contain it.
// Entries whose names cannot be normalised are logged and skipped.
WriteStatus write(QIODevice &out, const PackageData &entries,
                  int compressionLevel = defaultCompressionLevel);

// Reads a gzip-compressed or plain tar archive into package data. Only regular
// files with safe names are taken; links, devices, FIFOs and unsafe names are
// skipped with a log line, folders are implied by the paths. nullopt when the
// device holds no readable archive or the archive breaks the limits; *status
// (when given) tells which.
std::optional<PackageData> read(QIODevice &in, const Limits &limits = {},
                                ReadStatus *status = nullptr);

// The uncompressed contents of a gzip stream (members concatenated), or
// nullopt when it is not gzip, is damaged or breaks the limits.
std::optional<QByteArray> gunzip(QIODevice &in, const Limits &limits = {});

} // namespace PackageArchive
