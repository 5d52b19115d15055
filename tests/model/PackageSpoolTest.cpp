#include "TWMapsDocTestSupport.h"
#include "graphics/TWGraphic.h"
#include "model/PackageEntry.h"
#include "model/PackageWriter.h"
#include "model/TWFileIO.h"
#include "model/TWMapBranch.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace MapsDocTest;

namespace {

// Bytes with runs of zeros (holes in the spool) between stripes of data
// that fall across the spool's pieces.
QByteArray stripedBytes(qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (qsizetype at = 7; at < size; at += 300000)
        for (qsizetype i = at; i < std::min(size, at + 70000 * (at < 1000000) + 3000); ++i)
            bytes[i] = char(0x41 + (i * 7) % 53);
    return bytes;
}

std::shared_ptr<PackageSpool> spoolOf(const QTemporaryDir &dir)
{
    return PackageSpool::create(dir.path());
}

std::optional<PackageEntry> append(PackageSpool &spool, const QByteArray &bytes, qint64 chunk)
{
    qint64 at = 0;
    return spool.append([&](char *data, qint64 max) {
        const qint64 n = std::min({max, chunk, qint64(bytes.size()) - at});
        std::memcpy(data, bytes.constData() + at, size_t(n));
        at += n;
        return n;
    });
}

TEST(PackageSpool, EntriesComeBackAsWrittenAndLeaveNoFile)
{
    QTemporaryDir dir;
    std::shared_ptr<PackageSpool> spool = spoolOf(dir);
    ASSERT_TRUE(spool);
    // The name goes at once: nothing is left beside the package.
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    const QByteArray striped = stripedBytes(3 << 20);
    const QList<QByteArray> contents{striped, QByteArray(), QByteArray(200000, '\0'), "tail"};
    QList<PackageEntry> entries;
    for (const QByteArray &bytes : contents) {
        const std::optional<PackageEntry> entry = append(*spool, bytes, 100000);
        ASSERT_TRUE(entry);
        entries.append(*entry);
    }
    for (int i = 0; i < contents.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(entries[i].isSpooled());
        EXPECT_EQ(entries[i].size(), contents[i].size());
        EXPECT_EQ(entries[i].bytes(), contents[i]);
        QByteArray copied;
        EXPECT_TRUE(entries[i].copyTo([&](const char *data, qint64 size) {
            copied.append(data, size);
            return true;
        }));
        EXPECT_EQ(copied, contents[i]);
        // Equal to the same bytes in memory, not to others of the same size.
        EXPECT_EQ(entries[i], PackageEntry(contents[i]));
        EXPECT_EQ(PackageEntry(contents[i]), entries[i]);
    }
    QByteArray changed = striped;
    changed[changed.size() - 1] = 'x';
    EXPECT_NE(entries[0], PackageEntry(changed));
    EXPECT_NE(entries[2], entries[0]);
    EXPECT_EQ(entries[0], *append(*spool, striped, 1 << 20));

    // A failing source gives no entry; a failing sink stops the copy.
    EXPECT_EQ(spool->append([](char *, qint64) { return qint64(-1); }), std::nullopt);
    EXPECT_FALSE(entries[0].copyTo([](const char *, qint64) { return false; }));
}

// A bomb of non-zero bytes is stopped once it would pass what the spool may
// write, before the disk fills; the room its bytes took is given back, runs
// of zeros cost nothing, and entries kept before it stay readable.
TEST(PackageSpool, WritesStopAtTheBudgetAndTheFailedEntryTakesNoRoom)
{
    QTemporaryDir dir;
    std::shared_ptr<PackageSpool> spool = spoolOf(dir);
    ASSERT_TRUE(spool);
    const QByteArray kept = stripedBytes(1 << 20);
    const std::optional<PackageEntry> first = append(*spool, kept, 1 << 16);
    ASSERT_TRUE(first);
    const qint64 budget = spool->bytesOnDisk() + (4 << 20);
    qint64 fed = 0;
    const auto ones = [&fed](char *data, qint64 max) {
        if (fed >= (qint64(64) << 20))
            return qint64(0);
        std::memset(data, 1, size_t(max));
        fed += max;
        return max;
    };
    EXPECT_EQ(spool->append(ones, budget), std::nullopt);
    EXPECT_LT(fed, qint64(8) << 20) << "stopped soon after the budget, not at the end";
    EXPECT_LE(spool->bytesOnDisk(), budget);
    const auto zeros = [n = qint64(0)](char *data, qint64 max) mutable {
        if (n >= (qint64(64) << 20))
            return qint64(0);
        std::memset(data, 0, size_t(max));
        n += max;
        return max;
    };
    const std::optional<PackageEntry> holes = spool->append(zeros, budget);
    ASSERT_TRUE(holes);
    EXPECT_EQ(holes->size(), qint64(64) << 20);
    EXPECT_EQ(first->bytes(), kept);
    EXPECT_GT(spool->freeSpace(), 0);
}

// The resident set of the process now, and at its peak since the last reset.
struct Memory
{
    qint64 rss = 0, peak = 0;
    static qint64 field(const QByteArray &status, const char *name)
    {
        for (const QByteArray &line : status.split('\n'))
            if (line.startsWith(name))
                return line.mid(qstrlen(name)).trimmed().split(' ').value(0).toLongLong() << 10;
        return -1;
    }
    static Memory now()
    {
        QFile file("/proc/self/status");
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray status = file.readAll();
        return {field(status, "VmRSS:"), field(status, "VmHWM:")};
    }
    // Lets the peak start again from the current size (Linux 4.0 on).
    static bool resetPeak()
    {
        QFile file("/proc/self/clear_refs");
        return file.open(QIODevice::WriteOnly) && file.write("5") == 1;
    }
};

// A picture entry that inflates to 2 GiB of zeros, packed as one small gzip
// member repeated, so that making it costs nothing either.
TEST(LargePackage, PictureInflatingToTwoGigabytesOpensInLittleMemory)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bomb.tweb");
    const qint64 size = qint64(2) << 30;
    const QString picture = "Images/Graphic1/bomb.tiff";
    {
        const QByteArray contents = "<TWMapsDoc/>";
        QByteArray head = PackageWriter::header(TWMapsDoc::ContentsPath, '0', contents.size(), 0) +
                          contents + QByteArray(512 - contents.size(), '\0');
        head += PackageWriter::header(picture, '0', size, 0);
        const QByteArray mebibyte(1 << 20, '\0');
        const QByteArray zeros = ParallelGzipWriter::compressMember(mebibyte, mebibyte.size(), 9);
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(ParallelGzipWriter::compressMember(head, head.size(), 6));
        for (qint64 i = 0; i < (size >> 20) + 1; ++i) // the last one holds the archive's end
            out.write(zeros);
        out.close();
        ASSERT_LT(QFileInfo(path).size(), 8 << 20);
    }

    const bool peakReset = Memory::resetPeak();
    const Memory before = Memory::now();
    int error = -1;
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::loadFromFile(path, false, &error);
    const Memory after = Memory::now();
    ASSERT_NE(document, nullptr) << error;
    const qint64 limit = qint64(100) << 20;
    EXPECT_LT(after.rss - before.rss, limit);
    if (peakReset) {
        EXPECT_LT(after.peak - before.rss, limit);
    }
    const PackageEntry entry = document->cachedData().value(picture);
    EXPECT_TRUE(entry.isSpooled());
    EXPECT_EQ(entry.size(), size);
    // Zeros are holes: the spool takes no disk for them.
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden) == QStringList{"bomb.tweb"});
}

class LargePackageSave : public MapsDocFixture
{};

// A picture of 280 MiB that the program saved opens and saves again byte
// for byte, without the picture ever being held whole by the load or save.
TEST_F(LargePackageSave, PictureOf280MebibytesRoundTrips)
{
    const QString picture = "Images/Graphic1/ExtractedImage.tiff";
    const QByteArray bytes = stripedBytes(qsizetype(280) << 20);
    const QString first = tempDir.filePath("first.tweb");
    {
        auto document = documentWithMaps(0);
        const XMLElement map = XMLElement::parse(
            "<TWMap><identifier>MAP-1</identifier><root>" +
            MapsDocTest::branchElement(
                1,
                "<enclosedImage><TWGraphic><class>TWImage</class><graphicNumber>13</graphicNumber>"
                "<imageFilename>" +
                    picture.toUtf8() + "</imageFilename></TWGraphic></enclosedImage>") +
            "</root></TWMap>");
        document->addMap(
            TWMap::createWithXMLElement(map, document.get(), TWMap::Identifier::KeepStored), true);
        document->setObjectInCachedData(bytes, picture);
        ASSERT_EQ(document->saveToFile(first), TWFileIO::SaveSucceeded);
    }
    int error = -1;
    auto opened = TWMapsDoc::loadFromFile(first, false, &error);
    ASSERT_NE(opened, nullptr) << error;
    EXPECT_TRUE(opened->cachedData().value(picture).isSpooled());
    const QString second = tempDir.filePath("second.tweb");
    ASSERT_EQ(opened->saveToFile(second), TWFileIO::SaveSucceeded);
    opened.reset();
    auto reopened = TWMapsDoc::loadFromFile(second, false, &error);
    ASSERT_NE(reopened, nullptr) << error;
    const std::optional<QByteArray> again = reopened->objectForKeyInCachedData(picture);
    ASSERT_TRUE(again);
    EXPECT_TRUE(*again == bytes); // not printed: 280 MiB
}

// The folders of the spools this process holds open (their names are gone).
QStringList spoolFolders()
{
    QStringList folders;
    for (const QFileInfo &fd : QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::Files)) {
        const QString target = fd.symLinkTarget();
        if (QFileInfo(target).fileName().startsWith(".tweb-"))
            folders.append(QFileInfo(target).absolutePath());
    }
    return folders;
}

// A document opens on a disk with no room to spare: its pictures wait in the
// temporary folder, else in memory; where they fit nowhere the refusal says
// that the disk is full, not that the document is too large.
TEST_F(LargePackageSave, PicturesOnASmallDiskAreKeptWhereverTheyFit)
{
    constexpr qint64 MiB = qint64(1) << 20;
    struct Case
    {
        const char *what;
        qint64 beside, temporary, memory;
        const char *keptIn; // "beside", "temporary", "memory", or null: refused
    };
    const Case cases[] = {
        {"room beside it", 300 * MiB, 0, 0, "beside"},
        {"room in the temporary folder only", 200 * MiB, 2048 * MiB, 0, "temporary"},
        {"room in memory only", 0, 100 * MiB, 300 * MiB, "memory"},
        {"room nowhere", 200 * MiB, 256 * MiB, 256 * MiB, nullptr},
    };
    // Beside the build, so that the package's folder is not the temporary one.
    QTemporaryDir beside(QDir::current().filePath("small-disk-XXXXXX"));
    ASSERT_TRUE(beside.isValid());
    const QString path = beside.filePath("pictures.tweb");
    const QString picture = "Images/Graphic1/picture.tiff";
    const QByteArray bytes = stripedBytes(2 << 20);
    {
        auto document = documentWithMaps(0);
        const XMLElement map = XMLElement::parse(
            "<TWMap><identifier>MAP-1</identifier><root>" +
            MapsDocTest::branchElement(1, "<enclosedImage><TWGraphic><class>TWImage</class>"
                                          "<graphicNumber>13</graphicNumber><imageFilename>" +
                                              picture.toUtf8() +
                                              "</imageFilename></TWGraphic></enclosedImage>") +
            "</root></TWMap>");
        document->addMap(
            TWMap::createWithXMLElement(map, document.get(), TWMap::Identifier::KeepStored), true);
        document->setObjectInCachedData(bytes, picture);
        ASSERT_EQ(document->saveToFile(path), TWFileIO::SaveSucceeded);
    }
    const QString folders[] = {QFileInfo(path).absolutePath(), QDir::tempPath()};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PackageSpool::setFreeBytes([&](const QString &folder) -> std::optional<qint64> {
            return folder.isEmpty()       ? c.memory
                   : folder == folders[0] ? c.beside
                   : folder == folders[1] ? c.temporary
                                          : std::optional<qint64>();
        });
        QString message;
        std::shared_ptr<TWMapsDoc> opened = TWFileIO::readDocumentFromFile(path, &message);
        PackageSpool::setFreeBytes({});
        if (!c.keptIn) {
            EXPECT_EQ(opened, nullptr);
            EXPECT_EQ(message, TWFileIO::loadErrorMessage(TWFileIO::LoadDiskFull));
            EXPECT_TRUE(message.contains("disk is full")) << message.toStdString();
            EXPECT_FALSE(message.contains("memory")) << message.toStdString();
            continue;
        }
        ASSERT_NE(opened, nullptr) << message.toStdString();
        const PackageEntry entry = opened->cachedData().value(picture);
        EXPECT_EQ(entry.bytes(), bytes);
        const QString keptIn = !entry.isSpooled()                          ? "memory"
                               : spoolFolders() == QStringList{folders[0]} ? "beside"
                               : spoolFolders() == QStringList{folders[1]}
                                   ? "temporary"
                                   : spoolFolders().join(' ');
        EXPECT_EQ(keptIn, c.keptIn);
    }
}

} // namespace

// A write cut short (the disk filled, a size limit reached) names no reason;
// the writer tries the rest again, which fails with the system's reason.
TEST(PackageWriterOutOfRoom, AWriteCutShortIsTriedAgainAndGivesTheSystemsReason)
{
    struct Case
    {
        const char *what;
        const char *device; // a file in the test's folder when null
        rlim_t limit;       // RLIM_INFINITY: none
        QFileDevice::FileError error;
        int reason; // errno, 0 when written
    };
    // Incompressible, so the package is as large as the picture.
    QByteArray picture(3 << 20, '\0');
    quint32 x = 1;
    for (char &c : picture)
        c = char((x = x * 1664525u + 1013904223u) >> 24);
    const Case cases[] = {
        {"a disk full from the start", "/dev/full", RLIM_INFINITY, QFileDevice::ResourceError,
         ENOSPC},
        {"a size limit reached in the middle of the picture", nullptr, 1 << 20,
         QFileDevice::WriteError, EFBIG},
        {"room enough", nullptr, RLIM_INFINITY, QFileDevice::NoError, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        QFile file(c.device ? QString::fromLatin1(c.device) : dir.filePath("out.tweb"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limit{std::min(c.limit, saved.rlim_max), saved.rlim_max};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
        PackageWriter writer(file);
        const bool written = writer.addFile("Images/picture.png", picture) && writer.finish();
        const bool flushed = file.flush();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);

        EXPECT_EQ(written && flushed, c.reason == 0);
        EXPECT_EQ(file.error(), c.error);
        if (c.reason == 0)
            continue;
        EXPECT_EQ(writer.status(), PackageArchive::WriteStatus::OutputFailed);
        // The device holds why, which the save's message gives.
        EXPECT_EQ(file.errorString(), qt_error_string(c.reason));
    }
}
