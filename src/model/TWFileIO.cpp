#include "TWFileIO.h"

#include "model/PackageReader.h"
#include "model/PackageWriter.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/CFormat.h"
#include "platform/TWLocalizedString.h"
#include "support/ContentsXMLReader.h"
#include "support/ReadAheadStream.h"
#include "support/XMLStreamWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <QtDebug>

#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// What the system said when this thread's last save failed while writing.
thread_local QString g_lastSaveError;
// Who hears how this thread's saves get on.
thread_local TWFileIO::SaveProgressScope *g_saveProgress = nullptr;

// The result of a save that failed on `device`, whose error is kept to be
// shown: no room left is a refusal of its own, anything else a failed write.
// A buffered write cut short leaves the device without the system's reason
// ("Unknown error"): one more byte at the end asks the system for it.
QString reasonOfShortWrite(const QFileDevice &device)
{
    const int fd = device.handle();
    if (fd < 0)
        return {};
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0)
        return {};
    const char byte = 0;
    if (::pwrite(fd, &byte, 1, end) < 0)
        return qt_error_string(errno);
    if (::ftruncate(fd, end) != 0)
        return qt_error_string(errno);
    return {};
}

int writeFailure(const QFileDevice &device, const QString &path)
{
    // A write cut short names no reason of its own.
    g_lastSaveError = device.error() == QFileDevice::NoError ? QString() : device.errorString();
    if (device.error() != QFileDevice::NoError &&
        (g_lastSaveError.isEmpty() || g_lastSaveError == QLatin1String("Unknown error"))) {
        if (const QString reason = reasonOfShortWrite(device); !reason.isEmpty())
            g_lastSaveError = reason;
    }
    qWarning("Cannot save document %s: %s", qUtf8Printable(path), qUtf8Printable(g_lastSaveError));
    // Qt tells a full disk apart; a full quota only by the system's words.
    if (device.error() == QFileDevice::ResourceError ||
        g_lastSaveError == qt_error_string(ENOSPC) || g_lastSaveError == qt_error_string(EDQUOT))
        return TWFileIO::SaveDiskFull;
    return TWFileIO::SavePackFailed;
}

// Only regular files are opened: a FIFO or device would block or never end.
bool openForReading(QFile &file)
{
    const QFileInfo info(file.fileName());
    if (!info.isFile()) {
        qWarning("Cannot read %s: not a file", qUtf8Printable(file.fileName()));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Cannot read %s: %s", qUtf8Printable(file.fileName()),
                 qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}

// The entry a save dictionary's value stands for, or nullopt (logged).
std::optional<PackageEntry> entryOfValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QByteArray)
        return PackageEntry(value.toByteArray());
    if (value.typeId() == QMetaType::QString)
        return PackageEntry(value.toString().toUtf8());
    if (value.typeId() == qMetaTypeId<PackageEntry>())
        return value.value<PackageEntry>();
    qWarning("Cannot save file data of class: %s", value.typeName() ? value.typeName() : "(none)");
    return std::nullopt;
}

// Package entries of a save dictionary, by normalised name.
PackageEntries entriesOfSaveDictionary(const QVariantMap &saveDictionary)
{
    PackageEntries entries;
    for (auto it = saveDictionary.cbegin(); it != saveDictionary.cend(); ++it) {
        std::optional<PackageEntry> bytes = entryOfValue(it.value());
        if (!bytes)
            continue;
        const QString name = PackageArchive::normalisedPath(it.key());
        if (name.isEmpty()) {
            qWarning("Cannot save package entry \"%s\": not a relative path",
                     qUtf8Printable(it.key()));
            continue;
        }
        entries.insert(name, *bytes);
    }
    return entries;
}

// Where the pictures of a package being opened wait: a spool beside it while
// its disk has room, else one in the temporary folder, else memory. What they
// write to disk stays within a bounded multiple of the package's size beyond
// a floor no real document reaches, and never takes a disk's last free space:
// a bomb is stopped before the disk fills.
class PicturePlaces
{
public:
    explicit PicturePlaces(const QString &path)
        : m_allowed(std::max(TWFileIO::spoolFloor, std::max<qint64>(QFileInfo(path).size(), 1) *
                                                       TWFileIO::maxSpoolExpansion))
    {
        m_folders[0] = QFileInfo(path).absolutePath();
        const QString temporary = QDir::tempPath();
        if (QFileInfo(temporary).canonicalFilePath() != QFileInfo(m_folders[0]).canonicalFilePath())
            m_folders[1] = temporary;
    }

    // The entry the reader is at, kept in the first place it fits; nullopt
    // when it fits nowhere or cannot be read.
    std::optional<PackageEntry> keep(PackageReader &reader)
    {
        const qint64 size = reader.entrySize();
        PackageSpool *roomiest = nullptr;
        qint64 mostRoom = -1;
        for (int i = 0; i < 2; ++i) {
            PackageSpool *spool = spoolAt(i);
            if (!spool)
                continue;
            const qint64 room = std::min(spool->freeSpace(), allowed());
            if (room >= size)
                return append(*spool, room, reader);
            if (room > mostRoom) {
                roomiest = spool;
                mostRoom = room;
            }
        }
        // Within the same bound as on disk, which a bomb of zeros passes.
        if (size <= std::min(PackageSpool::freeMemory(), allowed())) {
            QByteArray bytes(qsizetype(size), Qt::Uninitialized);
            for (qint64 done = 0; done < size;) {
                const qint64 n = reader.readData(bytes.data() + done, size - done);
                if (n <= 0)
                    return std::nullopt;
                done += n;
            }
            m_inMemory += size;
            return PackageEntry(bytes);
        }
        // Runs of zeros take no room: the roomiest disk may still hold it.
        if (roomiest)
            return append(*roomiest, mostRoom, reader);
        m_diskFull = true;
        return std::nullopt;
    }

    // Whether the last entry that could not be kept was stopped by a full
    // disk, not by the bound on what pictures may take.
    bool diskFull() const { return m_diskFull; }

private:
    qint64 allowed() const
    {
        qint64 written = m_inMemory;
        for (const auto &spool : m_spools)
            written += spool ? spool->bytesOnDisk() : 0;
        return std::max<qint64>(0, m_allowed - written);
    }

    PackageSpool *spoolAt(int i)
    {
        if (!m_tried[i] && !m_folders[i].isEmpty())
            m_spools[i] = PackageSpool::create(m_folders[i]);
        m_tried[i] = true;
        return m_spools[i].get();
    }

    std::optional<PackageEntry> append(PackageSpool &spool, qint64 room, PackageReader &reader)
    {
        m_diskFull = room < allowed();
        return spool.append([&reader](char *to, qint64 max) { return reader.readData(to, max); },
                            spool.bytesOnDisk() + room);
    }

    const qint64 m_allowed;
    QString m_folders[2];
    std::shared_ptr<PackageSpool> m_spools[2];
    bool m_tried[2] = {};
    qint64 m_inMemory = 0;
    bool m_diskFull = false;
};

} // namespace

TWFileIO::SaveProgressScope::SaveProgressScope(SaveProgress progress)
    : m_progress(std::move(progress)), m_outer(std::exchange(g_saveProgress, this))
{}

TWFileIO::SaveProgressScope::~SaveProgressScope()
{
    g_saveProgress = m_outer;
}

bool TWFileIO::nestsTooDeep(const TWMap &map)
{
    return map.root() && map.root()->getMaximumBranchLevel() > MaximumBranchLevels;
}

int TWFileIO::saveDocument(TWMapsDoc &document, const QString &path)
{
    return document.saveToFile(path);
}

int TWFileIO::checkSaveTarget(const QString &path)
{
    g_lastSaveError.clear();
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    // Asked of the system (access()), which knows read-only and immutable
    // files, read-only file systems and the super-user's rights. The new
    // file is made beside the old one and renamed over it: a folder that is
    // gone, is a file, or cannot be written in has nowhere to put it.
    if (!folder.isDir() || !folder.isWritable() || !folder.isExecutable())
        return SaveFolderUnwritable;
    if (target.exists() && !target.isDir() && !target.isWritable())
        return SaveFileLocked;
    // A folder cannot be replaced by a file; said as the system says it.
    if (target.isDir()) {
        g_lastSaveError = qt_error_string(EISDIR);
        return SavePackFailed;
    }
    return SaveSucceeded;
}

QString TWFileIO::lastSaveError()
{
    return g_lastSaveError;
}

std::shared_ptr<TWMapsDoc> TWFileIO::loadDocumentFromFile(const QString &path,
                                                          bool tryToLoadOtherVersion, int *error)
{
    return TWMapsDoc::loadFromFile(path, tryToLoadOtherVersion, error);
}

int TWFileIO::savePackage(const std::optional<QVariantMap> &saveDictionary, const QString &path)
{
    if (!saveDictionary)
        return SaveNoDictionary;
    if (const int refused = checkSaveTarget(path); refused != SaveSucceeded)
        return refused;

    PackageData entries;
    for (auto it = saveDictionary->cbegin(); it != saveDictionary->cend(); ++it) {
        const std::optional<PackageEntry> entry = entryOfValue(it.value());
        if (!entry)
            continue;
        const std::optional<QByteArray> bytes = entry->bytes();
        if (!bytes) {
            qWarning("Cannot save package entry \"%s\": its data cannot be read",
                     qUtf8Printable(it.key()));
            return SaveEntryFailed;
        }
        entries.insert(it.key(), *bytes);
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return writeFailure(file, path);
    switch (PackageArchive::write(file, entries)) {
    case PackageArchive::WriteStatus::Written:
        break;
    case PackageArchive::WriteStatus::EntryFailed:
        file.cancelWriting();
        return SaveEntryFailed;
    case PackageArchive::WriteStatus::OutputFailed: {
        const int result = writeFailure(file, path);
        file.cancelWriting();
        return result;
    }
    }
    if (!file.commit())
        return writeFailure(file, path);
    return SaveSucceeded;
}

std::optional<PackageData> TWFileIO::documentDictionaryFromFile(const QString &path,
                                                                PackageArchive::ReadStatus *status)
{
    if (status)
        *status = PackageArchive::ReadStatus::Unreadable;
    QFile file(path);
    if (!openForReading(file))
        return std::nullopt;
    return PackageArchive::read(file, {}, status);
}

int TWFileIO::loadPackageFromFile(const QString &path,
                                  const std::function<bool(const PackageData &)> &build)
{
    PackageArchive::ReadStatus status;
    const std::optional<PackageData> data = documentDictionaryFromFile(path, &status);
    if (status == PackageArchive::ReadStatus::Refused) {
        qWarning("Cannot open document %s: %s", qUtf8Printable(path),
                 qUtf8Printable(loadErrorMessage(LoadTooLarge)));
        return LoadTooLarge;
    }
    if (!data || data->isEmpty())
        return LoadNoEntries;
    return build(*data) ? LoadSucceeded : LoadRefused;
}

QString TWFileIO::loadErrorMessage(int error)
{
    if (error == LoadTooManyEntries)
        return TWLocalizedString(StringTable::DadoZiz,
                                 "The document cannot be opened: it holds more than 1,048,576 "
                                 "files.");
    if (error == LoadDiskFull)
        return TWLocalizedString(StringTable::DadoZiz,
                                 "The document cannot be opened: the disk is full. Its pictures "
                                 "need room beside it or in the temporary folder, and neither "
                                 "has enough left.");
    if (error != LoadTooLarge)
        return QString();
    return TWLocalizedString(StringTable::DadoZiz,
                             "The document is too large to open: it unpacks to more than "
                             "Thinkweb can hold in memory.");
}

std::optional<QByteArray> TWFileIO::gzDataFromFile(const QString &path)
{
    QFile file(path);
    if (!openForReading(file))
        return std::nullopt;
    return PackageArchive::gunzip(file);
}

bool TWFileIO::checkFileVersion(const PackageData &packageData)
{
    const auto entry = packageData.constFind(QString::fromLatin1(fileVersionPath));
    if (entry == packageData.cend())
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(*entry);
    if (decoder.hasError())
        return false;
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 2)
        return false;
    const int major = CFormat::intValue(parts[0]);
    const int minor = CFormat::intValue(parts[1]);
    if (major < fileVersionMajor || (major == fileVersionMajor && minor <= fileVersionMinor))
        return false;
    Alerts::current().runAlertPanel(
        TWLocalizedString(StringTable::DadoZiz,
                          "This document has been created in a newer version of Thinkweb"),
        TWLocalizedString(StringTable::DadoZiz,
                          "You might experience some errors opening this file because it has "
                          "been created in a newer version of Thinkweb. It is strongly "
                          "recommended that you update your copy of Thinkweb to the latest "
                          "version."),
        {TWLocalizedString(StringTable::General, "OK")});
    return true;
}

int TWFileIO::loadStreamedPackage(
    const QString &path, const QString &streamedPath, const QByteArray &countedElement,
    const std::function<bool(const PackageEntries &, const StreamedPackageEntry &)> &build)
{
    QFile file(path);
    if (!openForReading(file))
        return LoadNoEntries;
    PackageReader reader(file);
    PackageEntries data;
    PicturePlaces places(path);
    bool spoolFailed = false;
    StreamedPackageEntry streamed;
    if (reader.open()) {
        std::vector<char> buffer(std::size_t(1) << 20);
        while (reader.nextEntry()) {
            const QString &name = reader.entryName();
            if (name == streamedPath && !streamed.present) {
                // Later entries of the name are passed over, as the second pass does.
                StartTagCounter counter(countedElement);
                qint64 n;
                {
                    // Inflating and counting overlap.
                    ReadAheadStream ahead(
                        [&reader](char *to, qint64 max) { return reader.readData(to, max); });
                    while ((n = ahead.read(buffer.data(), qint64(buffer.size()))) > 0)
                        counter.feed(buffer.data(), n);
                }
                if (n < 0)
                    break;
                counter.finish();
                streamed.present = true;
                streamed.size = counter.size();
                streamed.startTagCount = counter.count();
                streamed.validUtf8 = counter.isValidUtf8();
                streamed.firstInvalidByte = counter.firstInvalidByte();
                streamed.utf16 = counter.isUtf16();
                continue;
            }
            if (name == streamedPath)
                continue;
            reader.forgetKept(data.value(name).size()); // a later entry replaces an earlier one
            if (reader.entrySize() <= maxEntryHeldInMemory) {
                std::optional<QByteArray> bytes = reader.readEntry();
                if (!bytes)
                    break;
                data.insert(name, *bytes);
                continue;
            }
            // Larger entries wait in a spool until someone asks for them.
            if (!reader.keepEntry())
                break;
            std::optional<PackageEntry> entry = places.keep(reader);
            if (!entry) {
                spoolFailed = !reader.failed();
                break;
            }
            data.insert(name, *entry);
        }
    }
    if (reader.status() == PackageArchive::ReadStatus::Refused) {
        const int error = reader.refusedForEntries() ? LoadTooManyEntries : LoadTooLarge;
        qWarning("Cannot open document %s: %s", qUtf8Printable(path),
                 qUtf8Printable(loadErrorMessage(error)));
        return error;
    }
    if (spoolFailed) {
        const bool full = places.diskFull();
        qWarning("Cannot open document %s: %s", qUtf8Printable(path),
                 full ? "there is no room to keep its pictures"
                      : "its pictures would take more room than the package may");
        return full ? LoadDiskFull : LoadTooLarge;
    }
    if (reader.failed() || (data.isEmpty() && !streamed.present))
        return LoadNoEntries;
    if (streamed.present)
        streamed.open = [path, streamedPath] {
            return PackageEntryStream::open(path, streamedPath);
        };
    return build(data, streamed) ? LoadSucceeded : LoadRefused;
}

int TWFileIO::saveStreamedPackage(const std::function<QVariantMap()> &entries,
                                  const QString &streamedPath,
                                  const std::function<bool(XMLStreamWriter &)> &writeStreamed,
                                  const QString &path)
{
    if (const int refused = checkSaveTarget(path); refused != SaveSucceeded)
        return refused;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return writeFailure(file, path);
    // Beside the target: the spool can be as large as the package, and the
    // user's temporary folder may be a small one in memory.
    QTemporaryFile spool(QFileInfo(path).absoluteDir().filePath(QStringLiteral(".tweb-XXXXXX")));
    if (!spool.open()) {
        const int result = writeFailure(spool, path);
        file.cancelWriting();
        return result;
    }
    qint64 streamedSize = 0;
    QVariantMap others;
    {
        ParallelGzipWriter gzip([&spool](const char *data, qint64 size) {
            qint64 written = spool.write(data, size);
            // A write cut short says nothing; the rest, tried again, fails
            // with the system's reason (or goes through).
            if (written >= 0 && written < size)
                written += std::max<qint64>(0, spool.write(data + written, size - written));
            return written == size;
        });
        // Taken once: a listener that comes or goes meanwhile hears nothing.
        const SaveProgress progress = g_saveProgress ? g_saveProgress->m_progress : SaveProgress();
        const auto tell = [&progress](SaveStep step) {
            if (progress)
                progress(step, QByteArrayView());
        };
        XMLStreamWriter xml([&gzip, &progress](const char *data, qint64 size) {
            if (!gzip.write(data, size))
                return false;
            if (progress)
                progress(SaveStep::Text, QByteArrayView(data, qsizetype(size)));
            return true;
        });
        xml.setPieceSink([&gzip, &progress](const QByteArray &piece) {
            if (!gzip.writeShared(piece))
                return false;
            if (progress)
                progress(SaveStep::Text, QByteArrayView(piece));
            return true;
        });
        bool written = writeStreamed(xml) && xml.writeEndDocument();
        if (written) {
            // The other entries (previews are drawn for them) are gathered
            // while the last of the text is compressed.
            gzip.endMember();
            tell(SaveStep::OtherEntries);
            if (entries)
                others = entries();
        }
        written = written && gzip.flush();
        if (xml.tooDeep()) {
            // Written, the file would not open again: the old one is kept.
            qWarning("Cannot save document %s: its elements nest too deep to be read back",
                     qUtf8Printable(path));
            file.cancelWriting();
            return SaveTooDeep;
        }
        if (!written || !spool.flush() || !spool.seek(0)) {
            qWarning("Cannot save package entry \"%s\": %s", qUtf8Printable(streamedPath),
                     gzip.failed() ? qUtf8Printable(spool.errorString()) : "not written");
            const int result = gzip.failed() || spool.error() != QFileDevice::NoError
                                   ? writeFailure(spool, path)
                                   : int(SaveEntryFailed);
            file.cancelWriting();
            return result;
        }
        streamedSize = gzip.bytesIn();
        tell(SaveStep::Package);
    }

    PackageEntries files = entriesOfSaveDictionary(others);
    const QString streamedName = PackageArchive::normalisedPath(streamedPath);
    files.insert(streamedName, QByteArray()); // its place in the order; the spool is its data
    PackageWriter writer(file);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const bool added = it.key() == streamedName
                               ? writer.addCompressedFile(it.key(), streamedSize, spool)
                               : writer.addEntry(it.key(), it.value());
        if (!added)
            break;
    }
    if (!writer.finish()) {
        const int result = writer.status() == PackageArchive::WriteStatus::EntryFailed
                               ? int(SaveEntryFailed)
                               : writeFailure(file, path);
        file.cancelWriting();
        return result;
    }
    if (!file.commit())
        return writeFailure(file, path);
    return SaveSucceeded;
}
