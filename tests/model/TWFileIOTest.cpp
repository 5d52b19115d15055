#include "model/TWFileIO.h"
#include "platform/RecordingAlerts.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <zlib.h>

namespace {

// Picture-like bytes: deterministic and as incompressible as PNG data.
QByteArray pictureBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed | 1;
    for (qsizetype i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x >> 24);
    }
    return bytes;
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

struct ToolRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun runTool(const QString &program, const QStringList &arguments, const QString &directory = {})
{
    QProcess process;
    if (!directory.isEmpty())
        process.setWorkingDirectory(directory);
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

QStringList tarListing(const QString &archive)
{
    const ToolRun run = runTool("tar", {"--quoting-style=literal", "-tzf", archive});
    EXPECT_EQ(run.status, 0) << run.err.constData();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
    return QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
}

// Files below dir, by relative path.
PackageData filesBelow(const QString &dir)
{
    PackageData files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), readAll(path));
    }
    return files;
}

// Records log lines while it lives.
class LogRecorder
{
public:
    LogRecorder() : m_previous(qInstallMessageHandler(record)) { s_lines.clear(); }
    ~LogRecorder() { qInstallMessageHandler(m_previous); }
    const QStringList &lines() const { return s_lines; }
    bool contains(const QString &text) const
    {
        return std::any_of(s_lines.cbegin(), s_lines.cend(),
                           [&](const QString &line) { return line.contains(text); });
    }

private:
    static void record(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        s_lines.append(message);
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
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
    for (auto it = saveDictionary.cbegin(); it != saveDictionary.cend(); ++it) {
        if (it.value().typeId() == QMetaType::QString)
            data.insert(it.key(), it.value().toString().toUtf8());
        else if (it.value().typeId() == QMetaType::QByteArray)
            data.insert(it.key(), it.value().toByteArray());
    }
    return data;
}

class TWFileIOTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

TEST_F(TWFileIOTest, SavedPackageIsAStandardTarGzWithEveryFolderThatHasEntries)
{
    QVariantMap saveDictionary = documentSaveDictionary();
    saveDictionary.insert("Images/Graphic9/odd.png", QVariant(42)); // neither data nor text
    const QString file = path("Doc.tweb");
    LogRecorder log;
    ASSERT_EQ(TWFileIO::savePackage(saveDictionary, file), TWFileIO::SaveSucceeded);
    EXPECT_TRUE(log.contains("Cannot save file data of class: int"));

    const QStringList expected{
        "Images/",
        "Images/Branch12/",
        "Images/Branch12/Graphic4/",
        "Images/Branch12/Graphic4/ExtractedImage.tiff",
        "Images/DocumentBackground2/",
        "Images/DocumentBackground2/ExtractedImage.pdf",
        "Images/Graphic3/",
        "Images/Graphic3/Müller photo.png",
        "Images/MapPreviews/",
        "Images/MapPreviews/5C3A5D2E-1F0B-4C7E-9A58-0D0C8E7B5A11.png",
        "Sounds/",
        "Sounds/Branch7/",
        "Sounds/Branch7/bell.aiff",
        "Thinkweb/",
        "Thinkweb/Contents.xml",
        "Thinkweb/fileVersion.txt",
    };
    EXPECT_EQ(tarListing(file), expected);

    // Another tar extracts the same bytes that were saved.
    const QString extracted = path("extracted");
    QDir().mkpath(extracted);
    const ToolRun untar = runTool("tar", {"-xzf", file}, extracted);
    ASSERT_EQ(untar.status, 0) << untar.err.constData();
    EXPECT_EQ(QDir(extracted).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"Images", "Sounds", "Thinkweb"}));
    EXPECT_EQ(filesBelow(extracted), asPackageData(documentSaveDictionary()));
}

TEST_F(TWFileIOTest, SavedPackageLoadsBackEqual)
{
    const QString file = path("Doc.tweb");
    ASSERT_EQ(TWFileIO::savePackage(documentSaveDictionary(), file), TWFileIO::SaveSucceeded);

    PackageData loaded;
    int builds = 0;
    const int code = TWFileIO::loadPackageFromFile(file, [&](const PackageData &data) {
        ++builds;
        loaded = data;
        return true;
    });
    EXPECT_EQ(code, TWFileIO::LoadSucceeded);
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(loaded, asPackageData(documentSaveDictionary()));
    EXPECT_EQ(QString::fromUtf8(loaded.value("Thinkweb/Contents.xml")), contentsXml);
}

TEST_F(TWFileIOTest, DocumentWithoutPicturesSavesOnlyItsOwnFolder)
{
    const QString file = path("Small.tweb");
    const QVariantMap saveDictionary{{"Thinkweb/Contents.xml", contentsXml},
                                     {"Thinkweb/fileVersion.txt", QStringLiteral("4.1")}};
    ASSERT_EQ(TWFileIO::savePackage(saveDictionary, file), TWFileIO::SaveSucceeded);
    EXPECT_EQ(tarListing(file),
              QStringList({"Thinkweb/", "Thinkweb/Contents.xml", "Thinkweb/fileVersion.txt"}));
}

TEST_F(TWFileIOTest, SaveReplacesTheWholeOldDocument)
{
    const QString file = path("Doc.tweb");
    ASSERT_EQ(TWFileIO::savePackage(documentSaveDictionary(), file), TWFileIO::SaveSucceeded);
    const QVariantMap smaller{{"Thinkweb/Contents.xml", QStringLiteral("<TWMapsDoc/>")}};
    ASSERT_EQ(TWFileIO::savePackage(smaller, file), TWFileIO::SaveSucceeded);
    EXPECT_EQ(TWFileIO::documentDictionaryFromFile(file), asPackageData(smaller));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList({"Doc.tweb"}));
}

TEST_F(TWFileIOTest, UnsafePackagePathsAreNotSaved)
{
    QVariantMap saveDictionary{{"Thinkweb/Contents.xml", contentsXml},
                               {"../outside.png", pictureBytes(10, 5)},
                               {"/tmp/absolute.png", pictureBytes(10, 6)},
                               {"Images/../../up.png", pictureBytes(10, 7)},
                               {"", pictureBytes(10, 8)},
                               {"./Images//Graphic1/pic.png", pictureBytes(10, 9)}};
    const QString file = path("Doc.tweb");
    LogRecorder log;
    ASSERT_EQ(TWFileIO::savePackage(saveDictionary, file), TWFileIO::SaveSucceeded);
    EXPECT_TRUE(log.contains("\"../outside.png\""));
    EXPECT_TRUE(log.contains("\"/tmp/absolute.png\""));
    EXPECT_EQ(tarListing(file),
              QStringList({"Images/", "Images/Graphic1/", "Images/Graphic1/pic.png", "Thinkweb/",
                           "Thinkweb/Contents.xml"}));
}

TEST_F(TWFileIOTest, NoSaveDictionaryGivesCodeOneAndTouchesNothing)
{
    const QString file = path("Doc.tweb");
    ASSERT_TRUE(writeFile(file, "old document"));
    EXPECT_EQ(TWFileIO::savePackage(std::nullopt, file), TWFileIO::SaveNoDictionary);
    EXPECT_EQ(readAll(file), "old document");
}

TEST_F(TWFileIOTest, SaveIntoAMissingFolderFailsWithoutCreatingIt)
{
    const QString file = path("missing/Doc.tweb");
    EXPECT_EQ(TWFileIO::savePackage(documentSaveDictionary(), file), TWFileIO::SavePackFailed);
    EXPECT_FALSE(QFileInfo::exists(path("missing")));
}

TEST_F(TWFileIOTest, SaveOverAFolderFailsAndLeavesIt)
{
    const QString target = path("Doc.tweb");
    ASSERT_TRUE(writeFile(target + "/inside.txt", "keep me"));
    EXPECT_EQ(TWFileIO::savePackage(documentSaveDictionary(), target), TWFileIO::SavePackFailed);
    EXPECT_EQ(readAll(target + "/inside.txt"), "keep me");
}

// Lowers the file size limit (which binds even the super-user) so that
// writing fails part-way, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
    bool m_active = false;
};

TEST_F(TWFileIOTest, FailedSaveLeavesTheOldDocumentIntact)
{
    const QString file = path("Doc.tweb");
    const QVariantMap oldDictionary{{"Thinkweb/Contents.xml", contentsXml}};
    ASSERT_EQ(TWFileIO::savePackage(oldDictionary, file), TWFileIO::SaveSucceeded);
    const QByteArray oldBytes = readAll(file);

    QVariantMap bigger = documentSaveDictionary();
    bigger.insert("Images/Graphic5/large.png", pictureBytes(4 << 20, 10));
    int code = -1;
    {
        FileSizeLimit limit(1 << 20);
        ASSERT_TRUE(limit.active());
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
    const QString source = path("source");
    const PackageData files = asPackageData(documentSaveDictionary());
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        ASSERT_TRUE(writeFile(source + "/" + it.key(), it.value()));

    // Plain tar, gzip-compressed tar, and names starting with "./".
    const QString plain = path("plain.tweb");
    const QString compressed = path("compressed.tweb");
    const QString dotted = path("dotted.tweb");
    ASSERT_EQ(runTool("tar", {"-cf", plain, "Images", "Sounds", "Thinkweb"}, source).status, 0);
    ASSERT_EQ(runTool("tar", {"-czf", compressed, "Images", "Sounds", "Thinkweb"}, source).status,
              0);
    ASSERT_EQ(runTool("tar", {"-czf", dotted, "."}, source).status, 0);
    for (const QString &archive : {plain, compressed, dotted}) {
        PackageData loaded;
        EXPECT_EQ(TWFileIO::loadPackageFromFile(archive,
                                                [&](const PackageData &data) {
                                                    loaded = data;
                                                    return true;
                                                }),
                  TWFileIO::LoadSucceeded)
            << qPrintable(archive);
        EXPECT_EQ(loaded, files) << qPrintable(archive);
    }
}

TEST_F(TWFileIOTest, FilesThatGiveNoEntriesAreCodeOne)
{
    const QString text = path("notes.txt");
    ASSERT_TRUE(
        writeFile(text, "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict/></plist>\n"));
    const QString empty = path("empty.tweb");
    ASSERT_TRUE(writeFile(empty, {}));
    const QString random = path("random.tweb");
    ASSERT_TRUE(writeFile(random, pictureBytes(100000, 11)));
    // A gzip file that is no tar archive.
    const QString gzipOnly = path("gzip.tweb");
    ASSERT_TRUE(writeFile(path("gzip"), pictureBytes(3000, 12)));
    ASSERT_EQ(runTool("gzip", {"-c", path("gzip")}).status, 0);
    ASSERT_TRUE(writeFile(gzipOnly, runTool("gzip", {"-c", path("gzip")}).out));
    // An archive of folders only.
    QDir().mkpath(path("folders/Images/MapPreviews"));
    const QString foldersOnly = path("folders.tweb");
    ASSERT_EQ(runTool("tar", {"-czf", foldersOnly, "Images"}, path("folders")).status, 0);
    // A document cut short.
    ASSERT_EQ(TWFileIO::savePackage(documentSaveDictionary(), path("full.tweb")), 0);
    const QString truncated = path("truncated.tweb");
    ASSERT_TRUE(writeFile(truncated, readAll(path("full.tweb")).left(60000)));

    for (const QString &file : {text, empty, random, gzipOnly, foldersOnly, truncated,
                                path("missing.tweb"), m_dir.path()}) {
        bool built = false;
        EXPECT_EQ(TWFileIO::loadPackageFromFile(file,
                                                [&](const PackageData &) {
                                                    built = true;
                                                    return true;
                                                }),
                  TWFileIO::LoadNoEntries)
            << qPrintable(file);
        EXPECT_FALSE(built) << qPrintable(file);
    }
    EXPECT_EQ(TWFileIO::documentDictionaryFromFile(text), std::nullopt);
    EXPECT_EQ(TWFileIO::documentDictionaryFromFile(foldersOnly), PackageData());
}

TEST_F(TWFileIOTest, RefusedPackageDataIsCodeTwo)
{
    const QString file = path("Doc.tweb");
    ASSERT_EQ(TWFileIO::savePackage(documentSaveDictionary(), file), TWFileIO::SaveSucceeded);
    EXPECT_EQ(TWFileIO::loadPackageFromFile(file, [](const PackageData &) { return false; }),
              TWFileIO::LoadRefused);
}

QByteArray gzipped(const QByteArray &bytes)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    QByteArray out(int(deflateBound(&stream, uLong(bytes.size()))) + 32, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

TEST_F(TWFileIOTest, GzDataFromFile)
{
    // Larger than one read and one output step, from the system's gzip.
    const QByteArray outline = pictureBytes(3 << 20, 13) + QByteArray(2 << 20, 'x');
    ASSERT_TRUE(writeFile(path("outline"), outline));
    const ToolRun gzip = runTool("gzip", {"-c", path("outline")});
    ASSERT_EQ(gzip.status, 0);
    ASSERT_TRUE(writeFile(path("outline.gz"), gzip.out));
    EXPECT_EQ(TWFileIO::gzDataFromFile(path("outline.gz")), outline);

    // Members are joined as gunzip joins them; an empty member is empty data.
    ASSERT_TRUE(writeFile(path("two.gz"), gzipped("first,") + gzipped("second")));
    EXPECT_EQ(TWFileIO::gzDataFromFile(path("two.gz")), QByteArray("first,second"));
    ASSERT_TRUE(writeFile(path("empty.gz"), gzipped({})));
    EXPECT_EQ(TWFileIO::gzDataFromFile(path("empty.gz")), QByteArray(""));

    LogRecorder log;
    ASSERT_TRUE(writeFile(path("plain.txt"), "not compressed"));
    ASSERT_TRUE(writeFile(path("cut.gz"), gzip.out.left(gzip.out.size() / 2)));
    ASSERT_TRUE(writeFile(path("garbage.gz"), gzipped("data") + "trailing"));
    ASSERT_TRUE(writeFile(path("zero.gz"), {}));
    for (const char *name : {"plain.txt", "cut.gz", "garbage.gz", "zero.gz", "missing.gz"})
        EXPECT_EQ(TWFileIO::gzDataFromFile(path(name)), std::nullopt) << name;
    EXPECT_FALSE(log.lines().isEmpty());
}

// Loads a package whose version entry reads `version` (nullopt: no entry),
// running the version check as the maps document does before reading.
int loadWithVersion(const QString &file, const std::optional<QByteArray> &version)
{
    QVariantMap saveDictionary{{"Thinkweb/Contents.xml", contentsXml}};
    if (version)
        saveDictionary.insert("Thinkweb/fileVersion.txt", *version);
    EXPECT_EQ(TWFileIO::savePackage(saveDictionary, file), TWFileIO::SaveSucceeded);
    return TWFileIO::loadPackageFromFile(file, [](const PackageData &data) {
        TWFileIO::checkFileVersion(data);
        return data.contains("Thinkweb/Contents.xml");
    });
}

TEST_F(TWFileIOTest, NewerFileVersionsAlertAndLoad)
{
    for (const char *version : {"4.2", "5.0", "4.10", "4.2\n", "12.0"}) {
        RecordingAlerts alerts;
        Alerts::Scope scope(&alerts);
        EXPECT_EQ(loadWithVersion(path("Doc.tweb"), QByteArray(version)), TWFileIO::LoadSucceeded)
            << version;
        ASSERT_EQ(alerts.alerts().size(), 1) << version;
        const RecordingAlerts::Alert &alert = alerts.alerts().first();
        EXPECT_EQ(alert.title, "This document has been created in a newer version of Thinkweb");
        EXPECT_EQ(alert.message,
                  "You might experience some errors opening this file because it has been "
                  "created in a newer version of Thinkweb. It is strongly recommended that you "
                  "update your copy of Thinkweb to the latest version.");
        EXPECT_EQ(alert.buttons, QStringList({"OK"}));
        EXPECT_EQ(alerts.beepCount(), 0);
    }
}

TEST_F(TWFileIOTest, OtherFileVersionsLoadSilently)
{
    const std::optional<QByteArray> versions[] = {"4.1",
                                                  "3.9",
                                                  "4",
                                                  "4.1.0",
                                                  "5",
                                                  "5.0.1",
                                                  "",
                                                  ".",
                                                  "x.y",
                                                  "4.01",
                                                  "\xff"
                                                  "5.0",
                                                  std::nullopt};
    for (const auto &version : versions) {
        RecordingAlerts alerts;
        Alerts::Scope scope(&alerts);
        EXPECT_EQ(loadWithVersion(path("Doc.tweb"), version), TWFileIO::LoadSucceeded)
            << version.value_or("(none)").constData();
        EXPECT_TRUE(alerts.alerts().isEmpty()) << version.value_or("(none)").constData();
    }
}

} // namespace
