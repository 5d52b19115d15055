#pragma once

#include "model/PackageArchive.h"
#include "model/PackageEntry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class PackageEntryStream;
class TWMap;
class TWMapsDoc;
class XMLStreamWriter;

// The entry of a package that is read as a stream (the document XML): what a
// first pass over it found, and a way to read it again from its start.
struct StreamedPackageEntry
{
    bool present = false;
    qint64 size = 0;
    // Start tags of the counted element name.
    qint64 startTagCount = 0;
    bool validUtf8 = false;
    // Where text that is not UTF-8 stops being so, and whether it is UTF-16.
    qint64 firstInvalidByte = -1;
    bool utf16 = false;
    // Null when the entry cannot be read again.
    std::function<std::unique_ptr<PackageEntryStream>()> open;
};

// The document container: package data to a `.tweb` file (a gzip-compressed
// tar) and back. Templates use the same container.
//
// The maps document wires itself on top of these: saving stamps the document,
// refreshes its previews and hands its save dictionary to savePackage();
// loading builds the document in the callback of loadPackageFromFile().
class TWFileIO
{
public:
    TWFileIO() = delete;

    // Results of saving; callers and their users know these numbers.
    enum SaveResult : int {
        SaveSucceeded = 0,
        SaveNoDictionary = 1, // the document gave nothing to save
        SaveEntryFailed = 6,  // an entry could not be added to the package
        SavePackFailed = 7,   // the package could not be written to the target
        SaveTooDeep = 8,      // branches nest deeper than a document can be read back
        SaveFolderUnwritable = 9, // the target's folder is missing or cannot be written in
        SaveFileLocked = 10,      // the target exists and may not be written
        SaveDiskFull = 11,        // the disk (or the user's share of it) has no room left
    };

    // Error codes of loading.
    enum LoadError : int {
        LoadSucceeded = 0,
        LoadNoEntries = 1, // not a tar archive, or one without files
        LoadRefused = 2,   // the document refused the package data
        LoadTooLarge = 3,  // a package beyond the unpacking limits: no old-format file either
        LoadTooManyEntries = 4, // a package of more entries than the limit: no old-format file either
        LoadDiskFull = 5, // no room for its pictures on disk (beside it, temporary folder) or in memory
    };

    // The format version written into documents and the newest one read
    // without a warning.
    static constexpr int fileVersionMajor = 4;
    static constexpr int fileVersionMinor = 1;
    static constexpr const char *fileVersionPath = "Thinkweb/fileVersion.txt";

    // How many branch levels below the root a document file can hold: each
    // level costs two elements, and the readers accept 2048 of them nested.
    static constexpr int MaximumBranchLevels = 1000;
    // Whether the map's branches nest deeper than a document file can hold.
    static bool nestsTooDeep(const TWMap &map);

    // Saves the maps document to path (see TWMapsDoc::saveToFile); a SaveResult.
    static int saveDocument(TWMapsDoc &document, const QString &path);
    // What refuses a save to path before anything is written: a folder that
    // is missing or cannot be written in, a file that may not be written
    // (read-only, or immutable, which binds the super-user too). SaveSucceeded
    // when nothing does; the write itself may still fail.
    static int checkSaveTarget(const QString &path);
    // What the system said about the last save of this thread that failed
    // while writing ("No space left on device"); empty after one that
    // succeeded or was refused for a reason of its own.
    static QString lastSaveError();
    // The maps document of the package at path, or null; *error (when given)
    // always gets a LoadError. tryToLoadOtherVersion goes to the document
    // unchanged.
    static std::shared_ptr<TWMapsDoc>
    loadDocumentFromFile(const QString &path, bool tryToLoadOtherVersion, int *error = nullptr);

    // Writes a save dictionary (package path to QByteArray, written as is,
    // PackageEntry, or QString, written as UTF-8; other values are logged and
    // skipped) to path.
    // The target is replaced only once the whole package is written, so a
    // failed save leaves an existing file as it was. nullopt: SaveNoDictionary.
    static int savePackage(const std::optional<QVariantMap> &saveDictionary, const QString &path);

    // The package data of the archive at path; nullopt when it cannot be
    // unpacked (*status, when given, tells whether it was refused).
    static std::optional<PackageData>
    documentDictionaryFromFile(const QString &path, PackageArchive::ReadStatus *status = nullptr);

    // Unpacks path and hands the package data to build, which makes the
    // document and answers whether it accepted the data. Returns a LoadError;
    // a refused package is logged with loadErrorMessage().
    static int loadPackageFromFile(const QString &path,
                                   const std::function<bool(const PackageData &)> &build);

    // As loadPackageFromFile, except that the entry at streamedPath is not
    // held in memory: a first pass counts the start tags of countedElement
    // in it and checks its UTF-8, and build reads it again as a stream. The
    // package entries hold every other entry: small ones in memory, the
    // others in a spool beside the package (else in the temporary folder,
    // else in memory: wherever they fit), read when asked for.
    static int loadStreamedPackage(
        const QString &path, const QString &streamedPath, const QByteArray &countedElement,
        const std::function<bool(const PackageEntries &, const StreamedPackageEntry &)> &build);
    // Entries up to this size are kept in memory when a package is opened.
    static constexpr qint64 maxEntryHeldInMemory = qint64(64) << 10;
    // What spooled pictures may write to disk: beyond the floor, at most this
    // many times the package's size. Runs of zeros cost nothing, and a flat
    // picture the program saves (1000:1) stays under the floor up to a gigabyte.
    static constexpr qint64 spoolFloor = qint64(1) << 30;
    static constexpr qint64 maxSpoolExpansion = 250;

    // As savePackage, except that the entry at streamedPath is written by
    // writeStreamed straight into the compressed package (spooled, already
    // compressed, to a temporary file beside the target until its size is
    // known); entries() is asked for the other entries once it is written,
    // while its end is still being compressed.
    static int saveStreamedPackage(const std::function<QVariantMap()> &entries,
                                   const QString &streamedPath,
                                   const std::function<bool(XMLStreamWriter &)> &writeStreamed,
                                   const QString &path);

    // How far a save of this thread has got, told between the pieces it
    // writes: each piece of the streamed entry's text once written, then
    // each later step once (with no text). The listener may run the event
    // loop; it must leave the document being written alone.
    enum class SaveStep { Text, OtherEntries, Package };
    using SaveProgress = std::function<void(SaveStep step, QByteArrayView text)>;
    // Listens to the saves of this thread while it lives; scopes nest, the
    // innermost one hears.
    class SaveProgressScope
    {
    public:
        explicit SaveProgressScope(SaveProgress progress);
        ~SaveProgressScope();
        SaveProgressScope(const SaveProgressScope &) = delete;
        SaveProgressScope &operator=(const SaveProgressScope &) = delete;

    private:
        friend class TWFileIO;
        SaveProgress m_progress;
        SaveProgressScope *m_outer;
    };

    // The reason to show for a load error that has one of its own (a package
    // too large to open, a disk full); empty for the others, which the document reader
    // reports itself.
    static QString loadErrorMessage(int error);

    // --- old property-list documents (TWFileIO_OldFormat.cpp) ---
    // A new maps document from an old document's top-level dictionary, or null.
    static std::shared_ptr<TWMapsDoc>
    loadDocumentFromOldStyleDictionary(const QVariantMap &dictionary);
    // Why a file read as an old document gave none; the document reader
    // turns it into a sentence on what is wrong with the file.
    enum OldStyleError : int {
        OldStyleNotPropertyList = 0, // unreadable, too large, or no dictionary
        OldStyleRefused = 1,         // the dictionary gave no maps document
    };
    // Files beyond this size are not read as old documents.
    static constexpr qint64 maxOldStyleFileSize = qint64(256) << 20;
    static std::shared_ptr<TWMapsDoc> loadOldStyleDocumentFromFile(const QString &path,
                                                                   int *error = nullptr);
    // What the document reader opens: the package at path, or, when the file
    // is no package, the old property-list document it holds. Null with the
    // message to show on failure.
    static std::shared_ptr<TWMapsDoc> readDocumentFromFile(const QString &path,
                                                           QString *errorMessage = nullptr);
    // The pictures of an opened document whose data is cut short or damaged
    // so that they cannot be shown; each is noted as read damage. Their
    // bytes stay as read and are saved again: what remains may be all there
    // is of the picture.
    static int notePicturesCutShort(TWMapsDoc &document);
    // Why the package being read on this thread was refused, as the reader
    // found it (libxml2's words or the reader's); readDocumentFromFile puts
    // it into the message it shows.
    static void noteReadFailure(const QString &reason);
    // That reason in words a user can act on.
    static QString readFailureMessage(const QString &reason);

    // The uncompressed contents of a gzip file; nullopt on failure.
    static std::optional<QByteArray> gzDataFromFile(const QString &path);

    // Warns the user (through Alerts) when the package was written in a newer
    // format than this one reads; loading goes on either way. A missing,
    // undecodable or malformed version passes silently. Returns whether it warned.
    static bool checkFileVersion(const PackageData &packageData);
};
