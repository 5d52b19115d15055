#include "model/TWFileIO.h"
#include "model/PackageArchive.h"
#include "platform/RecordingAlerts.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>
#include <clocale>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// Picture-like bytes: deterministic and as incompressible as PNG data.
QByteArray pictureBytes(qsizetype size, quint32 seed)
{
    QList<quint32> words((size + 3) / 4);
    QRandomGenerator(seed).fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char *>(words.constData()), size);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Builds archives the way an attacker could: any names, any entry types.
class ArchiveBuilder
{
public:
    enum Kind { TarGz, Tar, Gzip }; // Gzip: the data of one file, compressed
    explicit ArchiveBuilder(Kind kind = TarGz) : m_archive(archive_write_new())
    {
        if (kind == Gzip)
            archive_write_set_format_raw(m_archive);
        else
            archive_write_set_format_pax(m_archive);
        if (kind != Tar)
            archive_write_add_filter_gzip(m_archive);
        archive_write_set_bytes_in_last_block(m_archive, 1);
        archive_write_open(m_archive, &m_bytes, nullptr, append, nullptr);
    }
    ~ArchiveBuilder() { archive_write_free(m_archive); }

    ArchiveBuilder &file(const char *name, const QByteArray &bytes)
    {
        entry(name, AE_IFREG, bytes.size());
        EXPECT_EQ(archive_write_data(m_archive, bytes.constData(), size_t(bytes.size())),
                  bytes.size());
        return *this;
    }
    // Any entry, a link when a target is given; a header only, no data.
    ArchiveBuilder &entry(const char *name, mode_t type, qint64 size = 0,
                          const char *symlink = nullptr, const char *hardlink = nullptr)
    {
        archive_entry *e = archive_entry_new();
        archive_entry_set_pathname(e, name);
        archive_entry_set_filetype(e, type);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, size);
        archive_entry_set_symlink(e, symlink);
        archive_entry_set_hardlink(e, hardlink);
        if (type == AE_IFCHR || type == AE_IFBLK)
            archive_entry_set_rdev(e, 0x0103);
        EXPECT_EQ(archive_write_header(m_archive, e), ARCHIVE_OK) << name;
        archive_entry_free(e);
        return *this;
    }
    QByteArray finish()
    {
        archive_write_close(m_archive);
        return m_bytes;
    }

private:
    static la_ssize_t append(archive *, void *context, const void *buffer, size_t length)
    {
        static_cast<QByteArray *>(context)->append(static_cast<const char *>(buffer),
                                                   qsizetype(length));
        return la_ssize_t(length);
    }
    archive *m_archive;
    QByteArray m_bytes;
};

QByteArray gzipped(const QByteArray &bytes)
{
    return ArchiveBuilder(ArchiveBuilder::Gzip).file("data", bytes).finish();
}

// A ustar header for a regular file of `size` bytes whose data is not written.
QByteArray ustarHeader(const QByteArray &name, qint64 size)
{
    QByteArray h(512, '\0');
    const auto put = [&](int at, const QByteArray &field) { h.replace(at, field.size(), field); };
    put(0, name);
    put(100, "0000644");
    put(108, "0000000");
    put(116, "0000000");
    put(124, QByteArray::number(size, 8).rightJustified(11, '0'));
    put(136, "00000000000");
    put(148, "        ");
    put(156, "0");
    put(257, QByteArray("ustar", 6) + "00"); // magic "ustar\0", version "00"
    int sum = 0;
    for (char c : h)
        sum += uchar(c);
    put(148, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0');
    return h;
}

// Runs the system's tar; its output, or nullopt when it fails.
std::optional<QByteArray> tar(const QStringList &arguments, const QString &directory = {})
{
    QProcess tar;
    tar.setWorkingDirectory(directory);
    tar.start("tar", arguments);
    if (!tar.waitForFinished(60000) || tar.exitStatus() != QProcess::NormalExit ||
        tar.exitCode() != 0)
        return std::nullopt;
    return tar.readAllStandardOutput();
}

QStringList tarListing(const QString &archive)
{
    return QString::fromUtf8(tar({"--quoting-style=literal", "-tzf", archive}).value_or("failed"))
        .split('\n', Qt::SkipEmptyParts);
}

// Records log lines while it lives.
struct LogRecorder
{
    LogRecorder()
    {
        lines().clear();
        previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &line) { lines() << line; });
    }
    ~LogRecorder() { qInstallMessageHandler(previous); }
    static QStringList &lines()
    {
        static QStringList recorded;
        return recorded;
    }
    int count(const QString &text) const { return int(lines().filter(text).size()); }
    QtMessageHandler previous;
};

// Lowers the file size limit (which binds even the super-user) so that
// writing fails part-way, as on a full disk.
struct FileSizeLimit
{
    explicit FileSizeLimit(rlim_t bytes) : handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limit{bytes, saved.rlim_max};
        active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);
    }
    void (*handler)(int);
    rlimit saved{};
    bool active = false;
};

const QString contentsXml =
    QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TWMapsDoc>\n    "
                   "<title>Grüße</title>\n</TWMapsDoc>\n");

// A save dictionary as a maps document gives it: texts for the XML and the
// version, data for pictures, previews and sounds.
QVariantMap documentSaveDictionary()
{
    return {
        {"Thinkweb/Contents.xml", contentsXml},
        {"Thinkweb/fileVersion.txt", QStringLiteral("4.1")},
        {"Images/MapPreviews/5C3A5D2E-1F0B-4C7E-9A58-0D0C8E7B5A11.png", pictureBytes(40000, 1)},
        {"Images/Graphic3/Müller photo.png", pictureBytes(70000, 2)},
        {"Images/Branch12/Graphic4/ExtractedImage.tiff", QByteArray(5000, '\0')},
        {"Images/DocumentBackground2/ExtractedImage.pdf", pictureBytes(3000, 3)},
        {"Sounds/Branch7/bell.aiff", pictureBytes(9000, 4)},
    };
}

PackageData asPackageData(const QVariantMap &saveDictionary)
{
    PackageData data;
    for (auto it = saveDictionary.cbegin(); it != saveDictionary.cend(); ++it)
        data.insert(it.key(), it.value().typeId() == QMetaType::QString
                                  ? it.value().toString().toUtf8()
                                  : it.value().toByteArray());
    return data;
}

class TWFileIOTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // Loads through the document's callback; `loaded` keeps what it was given.
    int load(const QString &file, bool accept = true)
    {
        loaded.reset();
        return TWFileIO::loadPackageFromFile(file, [&](const PackageData &data) {
            EXPECT_FALSE(loaded) << "built twice";
            loaded = data;
            return accept;
        });
    }
    QTemporaryDir m_dir;
    std::optional<PackageData> loaded;
};

TEST_F(TWFileIOTest, SavedPackageIsAStandardTarGzThatLoadsBackEqual)
{
    QVariantMap saveDictionary = documentSaveDictionary();
    saveDictionary.insert("Images/Graphic9/odd.png", QVariant(42)); // neither data nor text
    const QString file = path("Doc.tweb");
    LogRecorder log;
    ASSERT_EQ(TWFileIO::savePackage(saveDictionary, file), TWFileIO::SaveSucceeded);
    EXPECT_EQ(log.count("Cannot save file data of class: int"), 1);

    EXPECT_EQ(
        tarListing(file),
        QStringList({"Images/", "Images/Branch12/", "Images/Branch12/Graphic4/",
                     "Images/Branch12/Graphic4/ExtractedImage.tiff", "Images/DocumentBackground2/",
                     "Images/DocumentBackground2/ExtractedImage.pdf", "Images/Graphic3/",
                     "Images/Graphic3/Müller photo.png", "Images/MapPreviews/",
                     "Images/MapPreviews/5C3A5D2E-1F0B-4C7E-9A58-0D0C8E7B5A11.png", "Sounds/",
                     "Sounds/Branch7/", "Sounds/Branch7/bell.aiff", "Thinkweb/",
                     "Thinkweb/Contents.xml", "Thinkweb/fileVersion.txt"}));
    // Another tar extracts the bytes that were saved.
    ASSERT_TRUE(tar({"-xzf", file, "Images/Graphic3/Müller photo.png"}, m_dir.path()));
    EXPECT_EQ(readAll(path("Images/Graphic3/Müller photo.png")), pictureBytes(70000, 2));

    EXPECT_EQ(load(file), TWFileIO::LoadSucceeded);
    EXPECT_EQ(loaded, asPackageData(documentSaveDictionary()));
    EXPECT_EQ(load(file, false), TWFileIO::LoadRefused);
}

TEST_F(TWFileIOTest, SaveReplacesTheOldDocumentAndSkipsUnsafePaths)
{
    const QString file = path("Doc.tweb");
    ASSERT_EQ(TWFileIO::savePackage(documentSaveDictionary(), file), TWFileIO::SaveSucceeded);
    const QVariantMap smaller{{"Thinkweb/Contents.xml", contentsXml},
                              {"../outside.png", pictureBytes(10, 5)},
                              {"/tmp/absolute.png", pictureBytes(10, 6)},
                              {"Images/../../up.png", pictureBytes(10, 7)},
                              {"", pictureBytes(10, 8)},
                              {"./Images//Graphic1/pic.png", pictureBytes(10, 9)}};
    LogRecorder log;
    ASSERT_EQ(TWFileIO::savePackage(smaller, file), TWFileIO::SaveSucceeded);
    EXPECT_EQ(log.count("\"../outside.png\""), 1);
    EXPECT_EQ(log.count("\"/tmp/absolute.png\""), 1);
    // Only folders that hold entries are written, and nothing of the old document is left.
    EXPECT_EQ(tarListing(file),
              QStringList({"Images/", "Images/Graphic1/", "Images/Graphic1/pic.png", "Thinkweb/",
                           "Thinkweb/Contents.xml"}));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"Doc.tweb"}));
}

TEST_F(TWFileIOTest, FailedSavesLeaveEverythingAsItWas)
{
    const QString file = path("Doc.tweb");
    ASSERT_TRUE(writeFile(file, "old document"));
    EXPECT_EQ(TWFileIO::savePackage(std::nullopt, file), TWFileIO::SaveNoDictionary);
    EXPECT_EQ(readAll(file), "old document");

    // Writing stops part-way, as on a full disk.
    const QVariantMap oldDictionary{{"Thinkweb/Contents.xml", contentsXml}};
    ASSERT_EQ(TWFileIO::savePackage(oldDictionary, file), TWFileIO::SaveSucceeded);
    const QByteArray oldBytes = readAll(file);
    QVariantMap bigger = documentSaveDictionary();
    bigger.insert("Images/Graphic5/large.png", pictureBytes(4 << 20, 10));
    int code = -1;
    {
        FileSizeLimit limit(1 << 20);
        ASSERT_TRUE(limit.active);
        code = TWFileIO::savePackage(bigger, file);
    }
    EXPECT_EQ(code, TWFileIO::SavePackFailed);
    EXPECT_EQ(readAll(file), oldBytes);
    EXPECT_EQ(TWFileIO::documentDictionaryFromFile(file), asPackageData(oldDictionary));
    // No half-written file is left beside it.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"Doc.tweb"}));
}

TEST_F(TWFileIOTest, ArchivesOfOtherToolsLoad)
{
    const PackageData files = asPackageData(documentSaveDictionary());
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        ASSERT_TRUE(writeFile(path("source/" + it.key()), it.value()));
    // Plain tar, gzip-compressed tar, and names starting with "./".
    const QStringList folders{"Images", "Sounds", "Thinkweb"};
    ASSERT_TRUE(tar(QStringList{"-cf", path("plain.tweb")} + folders, path("source")));
    ASSERT_TRUE(tar(QStringList{"-czf", path("compressed.tweb")} + folders, path("source")));
    ASSERT_TRUE(tar({"-czf", path("dotted.tweb"), "."}, path("source")));
    for (const char *archive : {"plain.tweb", "compressed.tweb", "dotted.tweb"}) {
        EXPECT_EQ(load(path(archive)), TWFileIO::LoadSucceeded) << archive;
        EXPECT_EQ(loaded, files) << archive;
    }
}

TEST_F(TWFileIOTest, FilesThatGiveNoEntriesAreCodeOne)
{
    ASSERT_EQ(TWFileIO::savePackage(documentSaveDictionary(), path("full.tweb")), 0);
    const QMap<QString, QByteArray> files{
        {"notes.txt", "<?xml version=\"1.0\"?>\n<plist><dict/></plist>\n"},
        {"empty.tweb", {}},
        {"random.tweb", pictureBytes(100000, 11)},
        {"gzip.tweb", gzipped(pictureBytes(3000, 12))}, // no tar inside
        {"truncated.tweb", readAll(path("full.tweb")).left(60000)}};
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        ASSERT_TRUE(writeFile(path(it.key()), it.value()));
    QDir().mkpath(path("folders/Images/MapPreviews"));
    ASSERT_TRUE(tar({"-czf", path("folders.tweb"), "Images"}, path("folders")));
    ASSERT_EQ(mkfifo(qPrintable(path("fifo.tweb")), 0600), 0); // must not block

    for (const QString &file :
         files.keys() + QStringList{"folders.tweb", "fifo.tweb", "missing.tweb", "."}) {
        EXPECT_EQ(load(path(file)), TWFileIO::LoadNoEntries) << qPrintable(file);
        EXPECT_FALSE(loaded) << qPrintable(file);
    }
    EXPECT_EQ(TWFileIO::documentDictionaryFromFile(path("notes.txt")), std::nullopt);
    EXPECT_EQ(TWFileIO::documentDictionaryFromFile(path("folders.tweb")), PackageData());
}

TEST_F(TWFileIOTest, GzDataFromFile)
{
    // Larger than one read and one output step.
    const QByteArray outline = pictureBytes(3 << 20, 13) + QByteArray(2 << 20, 'x');
    const QByteArray packed = gzipped(outline);
    ASSERT_TRUE(writeFile(path("outline.gz"), packed));
    EXPECT_EQ(TWFileIO::gzDataFromFile(path("outline.gz")), outline);
    // Members are joined as gunzip joins them; an empty member is empty data.
    ASSERT_TRUE(writeFile(path("two.gz"), gzipped("first,") + gzipped("second")));
    EXPECT_EQ(TWFileIO::gzDataFromFile(path("two.gz")), QByteArray("first,second"));
    ASSERT_TRUE(writeFile(path("empty.gz"), gzipped({})));
    EXPECT_EQ(TWFileIO::gzDataFromFile(path("empty.gz")), QByteArray(""));

    LogRecorder log;
    const QMap<QString, QByteArray> broken{
        {"plain.txt", "not compressed"},
        {"cut.gz", packed.left(packed.size() / 2)},
        {"cut2.gz", gzipped("first,") + gzipped("second").chopped(3)},
        {"garbage.gz", gzipped("data") + "trailing"},
        {"zero.gz", {}}};
    for (auto it = broken.cbegin(); it != broken.cend(); ++it) {
        ASSERT_TRUE(writeFile(path(it.key()), it.value()));
        EXPECT_EQ(TWFileIO::gzDataFromFile(path(it.key())), std::nullopt) << qPrintable(it.key());
    }
    EXPECT_EQ(TWFileIO::gzDataFromFile(path("missing.gz")), std::nullopt);
    EXPECT_FALSE(log.lines().isEmpty());
}

TEST(TWFileIO, OnlyNewerFileVersionsAlert)
{
    const QByteArrayList newer{"4.2", "5.0", "4.10", "4.2\n", "12.0"};
    const QByteArrayList silent{"4.1", "3.9", "4",   "4.1.0", "5",      "5.0.1",
                                "",    ".",   "x.y", "4.01",  "\3775.0"};
    for (const QByteArray &version : newer + silent) {
        RecordingAlerts recorder;
        Alerts::Scope scope(&recorder);
        const bool alerts = newer.contains(version);
        EXPECT_EQ(TWFileIO::checkFileVersion({{"Thinkweb/fileVersion.txt", version}}), alerts)
            << version.constData();
        ASSERT_EQ(recorder.alerts().size(), alerts ? 1 : 0) << version.constData();
        if (!alerts)
            continue;
        const RecordingAlerts::Alert &alert = recorder.alerts().first();
        EXPECT_EQ(alert.title, "This document has been created in a newer version of Thinkweb");
        EXPECT_EQ(alert.message,
                  "You might experience some errors opening this file because it has been "
                  "created in a newer version of Thinkweb. It is strongly recommended that you "
                  "update your copy of Thinkweb to the latest version.");
        EXPECT_EQ(alert.buttons, QStringList({"OK"}));
    }
    EXPECT_FALSE(TWFileIO::checkFileVersion({{"Thinkweb/Contents.xml", "<TWMapsDoc/>"}}));
}

// ---- hostile archives

std::optional<PackageData> readBytes(const QByteArray &archive,
                                     const PackageArchive::Limits &limits = {})
{
    QBuffer buffer;
    buffer.setData(archive);
    buffer.open(QIODevice::ReadOnly);
    return PackageArchive::read(buffer, limits);
}

TEST(PackageArchive, NormalisedPaths)
{
    using PackageArchive::normalisedPath;
    EXPECT_EQ(normalisedPath("./Images//Graphic1/./a.png"), "Images/Graphic1/a.png");
    EXPECT_EQ(normalisedPath("Images/"), "Images");
    EXPECT_EQ(normalisedPath("Images/..hidden"), "Images/..hidden");
    for (const char *unsafe : {"", ".", "./", "/", "/etc/passwd", "//x", "..", "../x", "a/..",
                               "Images/../../x", "Images/../Thinkweb/Contents.xml"})
        EXPECT_EQ(normalisedPath(unsafe), QString()) << unsafe;
    EXPECT_EQ(normalisedPath(QStringLiteral("a") + QChar(0) + "b"), QString());
}

// A program started without a locale (as from a bare service manager) still
// packs and unpacks names outside ASCII.
TEST(PackageArchive, UnicodeNamesSurviveTheCLocale)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    const PackageData entries{{QStringLiteral("Images/Graphic3/Müller photo.png"), "png"},
                              {QStringLiteral("Thinkweb/Contents.xml"), "<TWMapsDoc/>"}};
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    const PackageArchive::WriteStatus status = PackageArchive::write(out, entries);
    out.close();
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    const std::optional<PackageData> back = PackageArchive::read(in);
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(status, PackageArchive::WriteStatus::Written);
    EXPECT_EQ(back, entries);
}

TEST(PackageArchive, HostileEntriesAreSkippedAndNothingIsWritten)
{
    for (const auto kind : {ArchiveBuilder::TarGz, ArchiveBuilder::Tar}) {
        // Unpacked to disk, the entries would land in `work` or in the folder above it.
        QTemporaryDir root;
        QDir().mkpath(root.filePath("work"));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(root.filePath("work"));
        const QByteArray absolute = root.filePath("absolute.txt").toUtf8();
        const QByteArray up = root.path().toUtf8();
        ASSERT_TRUE(
            writeFile(root.filePath("package.tweb"),
                      ArchiveBuilder(kind)
                          .file("Thinkweb/Contents.xml", "<TWMapsDoc/>")
                          .file("../up.txt", "climb")
                          .file("Images/../../up2.txt", "climb")
                          .file(absolute.constData(), "absolute")
                          .entry("Images/key.png", AE_IFLNK, 0, "/etc/passwd")
                          .entry("Images/dir", AE_IFLNK, 0, up.constData())
                          .file("Images/dir/through.png", "through the link")
                          .entry("Images/hard.png", AE_IFREG, 0, nullptr, "/etc/passwd")
                          .entry("Images/hard2.png", AE_IFREG, 0, nullptr, "Thinkweb/Contents.xml")
                          .entry("Images/fifo", AE_IFIFO)
                          .entry("Images/tty", AE_IFCHR)
                          .entry("Images/disk", AE_IFBLK)
                          .entry("Images/Graphic2/", AE_IFDIR)
                          .file("./Images/Graphic2/ok.png", "picture")
                          .finish()));
        LogRecorder log;
        const auto everything =
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
        const std::optional<PackageData> data =
            TWFileIO::documentDictionaryFromFile(root.filePath("package.tweb"));
        QDir::setCurrent(previous);
        ASSERT_TRUE(data);
        // A link's name only ever names bytes in memory, so a file "through" it
        // stays an ordinary entry and nothing is written where the link points.
        EXPECT_EQ(*data, PackageData({{"Thinkweb/Contents.xml", "<TWMapsDoc/>"},
                                      {"Images/dir/through.png", "through the link"},
                                      {"Images/Graphic2/ok.png", "picture"}}));
        EXPECT_EQ(log.count("Skipping package entry"), 10);
        EXPECT_EQ(log.count("not a relative path"), 3);
        EXPECT_EQ(log.count("a symbolic link"), 2);
        EXPECT_EQ(log.count("a hard link"), 2);
        EXPECT_EQ(log.count("a FIFO"), 1);
        EXPECT_EQ(log.count("a device"), 2);
        EXPECT_EQ(QDir(root.path()).entryList(everything), QStringList({"package.tweb", "work"}));
        EXPECT_TRUE(QDir(root.filePath("work")).isEmpty(everything));
    }
}

TEST(PackageArchive, BombIsRefusedFromItsHeaders)
{
    // Headers that promise more than the caps: refused before anything is
    // inflated, with a code of its own rather than the old-format fallback.
    QTemporaryDir dir;
    const QString file = dir.filePath("bomb.tweb");
    for (const qint64 size : {qint64(3) << 30, qint64(5) << 30}) {
        ASSERT_TRUE(writeFile(file, gzipped(ustarHeader("Images/Graphic1/bomb.tiff", size))));
        LogRecorder log;
        EXPECT_EQ(TWFileIO::loadPackageFromFile(file, [](const PackageData &) { return true; }),
                  TWFileIO::LoadTooLarge);
        EXPECT_EQ(log.count("Refusing document package"), 1);
        EXPECT_EQ(log.count("Cannot open document " + file + ": " +
                            TWFileIO::loadErrorMessage(TWFileIO::LoadTooLarge)),
                  1);
    }
    EXPECT_FALSE(TWFileIO::loadErrorMessage(TWFileIO::LoadTooLarge).isEmpty());
    EXPECT_TRUE(TWFileIO::loadErrorMessage(TWFileIO::LoadNoEntries).isEmpty());
}

TEST(PackageArchive, LimitsBoundEntriesTotalsAndExpansion)
{
    PackageArchive::Limits limits;
    limits.maxEntrySize = 1000;
    limits.maxTotalSize = 2500;
    const QByteArray entry(1000, 'p');
    EXPECT_TRUE(readBytes(ArchiveBuilder().file("a", entry).file("b", entry).finish(), limits));
    EXPECT_FALSE(readBytes(ArchiveBuilder().file("a", entry + "!").finish(), limits));
    EXPECT_FALSE(readBytes(
        ArchiveBuilder().file("a", entry).file("b", entry).file("c", entry).finish(), limits));
    // The same path twice: the later entry replaces the earlier and only it counts.
    const auto replaced = readBytes(ArchiveBuilder()
                                        .file("a", entry)
                                        .file("b", entry)
                                        .file("a", QByteArray(1000, 'q'))
                                        .finish(),
                                    limits);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->value("a"), QByteArray(1000, 'q'));

    // Skipped entries and headers count towards the unpacked size, and
    // every entry towards the count; either bound refuses the archive.
    const QByteArray twoAndAFifo =
        ArchiveBuilder().file("a", entry).file("b", entry).entry("f", AE_IFIFO).finish();
    const auto status = [&](const QByteArray &archive) {
        QBuffer buffer;
        buffer.setData(archive);
        buffer.open(QIODevice::ReadOnly);
        PackageArchive::ReadStatus result = PackageArchive::ReadStatus::Read;
        PackageArchive::read(buffer, limits, &result);
        return result;
    };
    limits = {};
    EXPECT_EQ(status(twoAndAFifo), PackageArchive::ReadStatus::Read);
    limits.maxUnpackedSize = 3 * 512 + 2000 - 1;
    EXPECT_EQ(status(twoAndAFifo), PackageArchive::ReadStatus::Refused);
    limits = {};
    limits.maxEntries = 2;
    EXPECT_EQ(status(twoAndAFifo), PackageArchive::ReadStatus::Refused);
    EXPECT_EQ(status("no archive at all"), PackageArchive::ReadStatus::Unreadable);

    // Zeros expand a thousandfold and still open; plain gzip data is bounded
    // by the total size alone.
    limits = {};
    const auto zeros =
        readBytes(ArchiveBuilder().file("a.tiff", QByteArray(8 << 20, 0)).finish(), limits);
    ASSERT_TRUE(zeros);
    EXPECT_EQ(zeros->value("a.tiff"), QByteArray(8 << 20, '\0'));
    limits.maxTotalSize = 4 << 20;
    QBuffer gz;
    gz.setData(ArchiveBuilder().file("zeros", QByteArray(4 << 20, 0)).finish());
    gz.open(QIODevice::ReadOnly);
    EXPECT_EQ(PackageArchive::gunzip(gz, limits), std::nullopt);
    gz.seek(0);
    EXPECT_GT(PackageArchive::gunzip(gz).value_or(QByteArray()).size(), 4 << 20);
}

// A plain tar of one entry, made up while it is read: zeros but for a few
// marker bytes. Nothing is compressed or written to disk.
class LargeTarDevice : public QIODevice
{
public:
    LargeTarDevice(const QByteArray &name, qint64 size)
        : header(ustarHeader(name, size)), entrySize(size),
          total(512 + (size + 511) / 512 * 512 + 1024)
    {
        open(ReadOnly | Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return total; }
    QList<qint64> markers() const { return {0, entrySize / 2, entrySize - 1}; }
    static char marker(qint64 at) { return char(0x40 + at % 31); }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 start = pos(), n = std::min(max, total - start);
        std::memset(data, 0, size_t(n));
        for (qint64 i = start; i < std::min<qint64>(512, start + n); ++i)
            data[i - start] = header[i];
        for (const qint64 at : markers())
            if (512 + at >= start && 512 + at < start + n)
                data[512 + at - start] = marker(at);
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray header;
    qint64 entrySize, total;
};

// What the program saves opens again: a flat picture of 280 MiB packs to a
// thousandth of its size.
TEST(LargePackage, FlatPictureSavedOpens)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("flat.tweb");
    const QString name = "Images/Graphic1/ExtractedImage.tiff";
    {
        QVariantMap save{{"Thinkweb/Contents.xml", QString("<TWMapsDoc/>")},
                         {name, QByteArray(280 << 20, '\0')}};
        ASSERT_EQ(TWFileIO::savePackage(save, path), TWFileIO::SaveSucceeded);
    }
    EXPECT_LT(QFileInfo(path).size(), 1 << 20);
    qsizetype size = 0;
    EXPECT_EQ(TWFileIO::loadPackageFromFile(path,
                                            [&](const PackageData &data) {
                                                size = data.value(name).size();
                                                return true;
                                            }),
              TWFileIO::LoadSucceeded);
    EXPECT_EQ(size, 280 << 20);
}

TEST(LargePackage, PictureOfAGigabyteOpens)
{
    LargeTarDevice device("Images/Graphic1/large.tiff", (qint64(1) << 30) + 1);
    const auto data = PackageArchive::read(device);
    ASSERT_TRUE(data);
    const QByteArray picture = data->value("Images/Graphic1/large.tiff");
    ASSERT_EQ(picture.size(), (qint64(1) << 30) + 1);
    for (const qint64 at : device.markers())
        EXPECT_EQ(picture[at], LargeTarDevice::marker(at)) << at;
}

} // namespace
