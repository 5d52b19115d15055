#include "model/PackageArchive.h"
#include "model/TWFileIO.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>

#include <memory>
#include <unistd.h>

namespace {

// Builds archives the way an attacker could: any names, any entry types.
class ArchiveBuilder
{
public:
    enum class Compression { Gzip, None };

    explicit ArchiveBuilder(Compression compression = Compression::Gzip)
        : m_archive(archive_write_new())
    {
        archive_write_set_format_pax(m_archive);
        if (compression == Compression::Gzip)
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
    // A file of zeros written in steps, so that no large buffer is needed.
    ArchiveBuilder &zeros(const char *name, qint64 size)
    {
        entry(name, AE_IFREG, size);
        const QByteArray chunk(1 << 20, '\0');
        for (qint64 left = size; left > 0; left -= chunk.size())
            archive_write_data(m_archive, chunk.constData(),
                               size_t(std::min<qint64>(left, chunk.size())));
        return *this;
    }
    ArchiveBuilder &symlink(const char *name, const char *target)
    {
        return entry(name, AE_IFLNK, 0,
                     [&](archive_entry *e) { archive_entry_set_symlink(e, target); });
    }
    ArchiveBuilder &hardlink(const char *name, const char *target)
    {
        return entry(name, AE_IFREG, 0,
                     [&](archive_entry *e) { archive_entry_set_hardlink(e, target); });
    }
    ArchiveBuilder &special(const char *name, mode_t type)
    {
        return entry(name, type, 0, [&](archive_entry *e) { archive_entry_set_rdev(e, 0x0103); });
    }
    ArchiveBuilder &folder(const char *name) { return entry(name, AE_IFDIR, 0); }

    QByteArray finish()
    {
        archive_write_close(m_archive);
        return m_bytes;
    }

private:
    template <class Extra = void (*)(archive_entry *)>
    ArchiveBuilder &entry(
        const char *name, mode_t type, qint64 size, Extra extra = [](archive_entry *) {})
    {
        archive_entry *e = archive_entry_new();
        archive_entry_set_pathname(e, name);
        archive_entry_set_filetype(e, type);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, size);
        extra(e);
        EXPECT_EQ(archive_write_header(m_archive, e), ARCHIVE_OK) << name;
        archive_entry_free(e);
        return *this;
    }
    static la_ssize_t append(archive *, void *context, const void *buffer, size_t length)
    {
        static_cast<QByteArray *>(context)->append(static_cast<const char *>(buffer),
                                                   qsizetype(length));
        return la_ssize_t(length);
    }

    archive *m_archive;
    QByteArray m_bytes;
};

// Everything below dir, folders included.
QStringList everythingBelow(const QString &dir)
{
    QStringList found;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(it.next());
    return found;
}

// Runs with the working directory in an empty folder and notes whether
// anything appeared there or in the folder above.
class WorkingDirectoryWatch
{
public:
    WorkingDirectoryWatch()
    {
        QDir().mkpath(m_root.filePath("work"));
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_root.filePath("work"));
    }
    ~WorkingDirectoryWatch() { QDir::setCurrent(m_previous); }
    QString root() const { return m_root.path(); }
    QStringList written() const
    {
        QStringList found = everythingBelow(m_root.path());
        found.removeAll(m_root.filePath("work"));
        found.removeAll(m_root.filePath("package.tweb"));
        return found;
    }

private:
    QTemporaryDir m_root;
    QString m_previous;
};

std::optional<PackageData> readBytes(const QByteArray &archive,
                                     const PackageArchive::Limits &limits = {})
{
    QBuffer buffer;
    buffer.setData(archive);
    buffer.open(QIODevice::ReadOnly);
    return PackageArchive::read(buffer, limits);
}

class LogRecorder
{
public:
    LogRecorder() : m_previous(qInstallMessageHandler(record)) { s_lines.clear(); }
    ~LogRecorder() { qInstallMessageHandler(m_previous); }
    int count(const QString &text) const
    {
        return int(std::count_if(s_lines.cbegin(), s_lines.cend(),
                                 [&](const QString &line) { return line.contains(text); }));
    }

private:
    static void record(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        s_lines.append(message);
    }
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

TEST(PackageArchive, NormalisedPaths)
{
    using PackageArchive::normalisedPath;
    EXPECT_EQ(normalisedPath("Thinkweb/Contents.xml"), "Thinkweb/Contents.xml");
    EXPECT_EQ(normalisedPath("./Images//Graphic1/./a.png"), "Images/Graphic1/a.png");
    EXPECT_EQ(normalisedPath("Images/"), "Images");
    EXPECT_EQ(normalisedPath("Images/...png"), "Images/...png");
    EXPECT_EQ(normalisedPath("Images/..hidden"), "Images/..hidden");
    for (const char *unsafe : {"", ".", "./", "/", "/etc/passwd", "//x", "..", "../x", "a/..",
                               "Images/../../x", "Images/../Thinkweb/Contents.xml"})
        EXPECT_EQ(normalisedPath(unsafe), QString()) << unsafe;
    EXPECT_EQ(normalisedPath(QStringLiteral("a") + QChar(0) + "b"), QString());
}

TEST(PackageArchive, HostileEntriesAreSkippedAndNothingIsWritten)
{
    WorkingDirectoryWatch watch;
    const QByteArray absolute = QDir(watch.root()).filePath("absolute.txt").toUtf8();
    const QByteArray archive = ArchiveBuilder()
                                   .file("Thinkweb/Contents.xml", "<TWMapsDoc/>")
                                   .file("../up.txt", "climb")
                                   .file("Images/../../up2.txt", "climb")
                                   .file(absolute.constData(), "absolute")
                                   .symlink("Images/key.png", "/etc/passwd")
                                   .symlink("Images/dir", watch.root().toUtf8().constData())
                                   .file("Images/dir/through.png", "through the link")
                                   .hardlink("Images/hard.png", "/etc/passwd")
                                   .hardlink("Images/hard2.png", "Thinkweb/Contents.xml")
                                   .special("Images/fifo", AE_IFIFO)
                                   .special("Images/tty", AE_IFCHR)
                                   .special("Images/disk", AE_IFBLK)
                                   .folder("Images/Graphic2/")
                                   .file("./Images/Graphic2/ok.png", "picture")
                                   .finish();
    const QString file = QDir(watch.root()).filePath("package.tweb");
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(archive);
    }

    LogRecorder log;
    const std::optional<PackageData> data = TWFileIO::documentDictionaryFromFile(file);
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
    EXPECT_EQ(watch.written(), QStringList());
}

TEST(PackageArchive, PlainTarWithHostileEntriesIsReadTheSameWay)
{
    const QByteArray archive = ArchiveBuilder(ArchiveBuilder::Compression::None)
                                   .file("Thinkweb/Contents.xml", "<TWMapsDoc/>")
                                   .symlink("Thinkweb/fileVersion.txt", "/etc/hostname")
                                   .file("/Thinkweb/other.xml", "absolute")
                                   .finish();
    const auto data = readBytes(archive);
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, PackageData({{"Thinkweb/Contents.xml", "<TWMapsDoc/>"}}));
}

TEST(PackageArchive, ZeroBombIsRefusedFromItsHeaders)
{
    WorkingDirectoryWatch watch;
    // 300 MB of zeros pack into well under a megabyte.
    const QByteArray bomb = ArchiveBuilder()
                                .file("Thinkweb/Contents.xml", "<TWMapsDoc/>")
                                .zeros("Images/Graphic1/bomb.tiff", qint64(300) << 20)
                                .finish();
    ASSERT_LT(bomb.size(), 1 << 20);
    const QString file = QDir(watch.root()).filePath("package.tweb");
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bomb);
    }
    LogRecorder log;
    EXPECT_EQ(TWFileIO::loadPackageFromFile(file, [](const PackageData &) { return true; }),
              TWFileIO::LoadNoEntries);
    EXPECT_EQ(log.count("Refusing document package"), 1);
    EXPECT_EQ(watch.written(), QStringList());
}

TEST(PackageArchive, ExpansionIsBoundedOverAllEntries)
{
    PackageArchive::Limits limits;
    limits.ratioAllowance = 1 << 20;
    limits.maxRatio = 100;
    // Many small entries that expand together, and one that is under the bound.
    ArchiveBuilder many;
    for (int i = 0; i < 40; ++i)
        many.zeros(qPrintable(QString("Images/Graphic%1/a.tiff").arg(i)), 64 << 10);
    EXPECT_EQ(readBytes(many.finish(), limits), std::nullopt);

    const auto fits =
        readBytes(ArchiveBuilder().zeros("Images/a.tiff", 512 << 10).finish(), limits);
    ASSERT_TRUE(fits);
    EXPECT_EQ(fits->value("Images/a.tiff"), QByteArray(512 << 10, '\0'));
}

TEST(PackageArchive, EntryAndTotalSizesAreCapped)
{
    PackageArchive::Limits limits;
    limits.maxEntrySize = 1000;
    limits.maxTotalSize = 2500;
    const QByteArray entry(1000, 'p');
    EXPECT_TRUE(readBytes(ArchiveBuilder().file("a", entry).file("b", entry).finish(), limits));
    EXPECT_EQ(readBytes(ArchiveBuilder().file("a", entry + "!").finish(), limits), std::nullopt);
    EXPECT_EQ(
        readBytes(ArchiveBuilder().file("a", entry).file("b", entry).file("c", entry).finish(),
                  limits),
        std::nullopt);
    // The same path twice: the later entry replaces the earlier and only it counts.
    const auto replaced = readBytes(
        ArchiveBuilder().file("a", entry).file("b", entry).file("a", "short").finish(), limits);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->value("a"), "short");
}

TEST(PackageArchive, GzipBombIsRefused)
{
    PackageArchive::Limits limits;
    limits.ratioAllowance = 1 << 20;
    limits.maxRatio = 100;
    QBuffer buffer;
    // A tar body of zeros is plain gzip data as well.
    QByteArray gz = ArchiveBuilder().zeros("zeros", 4 << 20).finish();
    buffer.setData(gz);
    buffer.open(QIODevice::ReadOnly);
    EXPECT_EQ(PackageArchive::gunzip(buffer, limits), std::nullopt);
    buffer.seek(0);
    const auto whole = PackageArchive::gunzip(buffer);
    ASSERT_TRUE(whole);
    EXPECT_GT(whole->size(), 4 << 20);
}

TEST(PackageArchive, PictureOfAGigabyteOpens)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("large.tweb");
    const qint64 size = (qint64(1) << 30) + 1;
    {
        // Stored rather than deflated to keep the test quick; the bounds do
        // not depend on how well the data compresses here.
        QByteArray picture(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; i += 4096)
            picture[i] = char(i >> 12);
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(PackageArchive::write(out,
                                        {{"Images/Graphic1/large.tiff", picture},
                                         {"Thinkweb/Contents.xml", "<TWMapsDoc/>"}},
                                        0),
                  PackageArchive::WriteStatus::Written);
    }
    const auto data = TWFileIO::documentDictionaryFromFile(file);
    ASSERT_TRUE(data);
    const QByteArray picture = data->value("Images/Graphic1/large.tiff");
    ASSERT_EQ(picture.size(), size);
    EXPECT_EQ(picture[4096 * 5], char(5));
    EXPECT_EQ(picture[size - 1], char((size - 1) >> 12));
}

} // namespace
