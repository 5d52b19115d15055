#include "support/ZipArchive.h"

#include "ZipTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ZipTest;

namespace {

class ZipArchives : public ::testing::Test
{
protected:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir dir;
};

// Letters that barely compress, so that a stored and a deflated member differ.
QByteArray noise(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 seed = 11;
    for (char &c : bytes)
        c = char('a' + ((seed = seed * 1103515245u + 12345u) >> 16) % 26);
    return bytes;
}

const QList<std::pair<QString, QByteArray>> Members = {
    {"Document.xml", "<ap:Map/>"}, {"xsd/", {}}, {"bin/p.bin", noise(100000)}, {"empty", {}}};

} // namespace

// Every layout common zip readers take reads back member by member.
TEST_F(ZipArchives, EveryFormReadsBackWhole)
{
    struct Case
    {
        const char *name;
        ZipForm form;
    };
    const Case cases[] = {
        {"deflated", {}},
        {"stored", {.method = 0}},
        {"data descriptors", {.descriptor = true}},
        {"overlong local extra field", {.localExtra = 1068}},
        {"comment", {.comment = "16.0.159"}},
        // An end record's signature inside the comment, stating a comment
        // longer than the file has left: not the end record.
        {"comment holding an end signature",
         {.comment = QByteArray("PK\x05\x06", 4) + QByteArray(16, 'c') + "\xff\xff" + "tail"}},
        // One whose stated comment would fit before the end of the file.
        {"comment holding an end record that fits",
         {.comment = QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0') + "tail"}},
        {"zip64 records", {.zip64 = true}},
        {"self-extracting stub", {.stub = QByteArray(300, 'S')}},
        {"everything at once",
         {.method = 8,
          .descriptor = true,
          .localExtra = 1333,
          .comment = "23.0.169",
          .zip64 = true,
          .stub = "MZ"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const auto archive =
            ZipArchive::open(write("form.zip", zipOf(Members, c.form)), &error, 100);
        ASSERT_TRUE(archive) << error.toStdString();
        ASSERT_EQ(archive->members().size(), size_t(Members.size()));
        EXPECT_EQ(archive->comment(), c.form.comment);
        for (const auto &[name, data] : Members) {
            const ZipArchive::Member *m = archive->find(name);
            ASSERT_TRUE(m) << name.toStdString();
            EXPECT_EQ(m->isDirectory, name.endsWith(u'/'));
            if (m->isDirectory)
                continue;
            const std::optional<QByteArray> bytes = archive->readMember(*m, 1 << 20, &error);
            ASSERT_TRUE(bytes) << name.toStdString() << ": " << error.toStdString();
            EXPECT_EQ(*bytes, data) << name.toStdString();
        }
    }
}

// Damage, links, devices and what is not read are refused with the reason,
// and nothing of the member comes out.
TEST_F(ZipArchives, MembersNotReadAsContentSayWhy)
{
    const QByteArray xml = "<ap:Map>" + noise(5000) + "</ap:Map>";
    struct Case
    {
        const char *name;
        ZipForm form;
        qint64 limit;
        const char *reason;
    };
    const Case cases[] = {
        {"within its limit", {}, 5100, nullptr},
        {"wrong checksum", {.wrongCRC = true}, 1 << 20, "checksum"},
        {"stated size too small", {.statedSizeChange = -1}, 1 << 20, "longer than stated"},
        {"stated size too large", {.statedSizeChange = 1}, 1 << 20, "checksum"},
        {"encrypted", {.flags = 0x0001}, 1 << 20, "encrypted"},
        {"unknown compression", {.method = 12}, 1 << 20, "method 12"},
        {"symbolic link", {.modes = {{"Document.xml", 0120777}}}, 1 << 20, "symbolic link"},
        {"named pipe", {.modes = {{"Document.xml", 0010644}}}, 1 << 20, "device or pipe"},
        {"device", {.modes = {{"Document.xml", 0020644}}}, 1 << 20, "device or pipe"},
        {"past its limit", {}, 4096, "more than"},
        {"past its limit, stored", {.method = 0}, 4096, "more than"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const auto archive =
            ZipArchive::open(write("member.zip", zipOf({{"Document.xml", xml}}, c.form)), &error, 10);
        ASSERT_TRUE(archive) << error.toStdString();
        const ZipArchive::Member *m = archive->find("Document.xml");
        ASSERT_TRUE(m);
        error.clear();
        const std::optional<QByteArray> bytes = archive->readMember(*m, c.limit, &error);
        EXPECT_EQ(bytes.has_value(), !c.reason) << error.toStdString();
        if (!c.reason) {
            EXPECT_EQ(bytes.value_or(QByteArray()), xml);
            continue;
        }
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        // Read piece by piece, the member ends in the same refusal.
        std::unique_ptr<ZipArchive::Reader> reader = archive->openMember(*m, c.limit, &error);
        if (!reader)
            continue;
        char buffer[1024];
        qint64 n = 0;
        while ((n = reader->read(buffer, sizeof buffer)) > 0) {
        }
        EXPECT_EQ(n, -1);
        EXPECT_TRUE(reader->error().contains(QLatin1String(c.reason)))
            << reader->error().toStdString();
    }
}

TEST_F(ZipArchives, DirectoryLimitsSplitsAndDamageAreRefused)
{
    const QByteArray good = zipOf({{"a", "1"}, {"b", "2"}, {"c", "3"}}, {});
    struct Case
    {
        const char *name;
        QByteArray bytes;
        int maximumMembers;
        const char *reason; // null: opens
    };
    const Case cases[] = {
        {"within the count", good, 3, nullptr},
        {"one member too many", good, 2, "too many members"},
        {"no end record", good.left(good.size() - 22), 10, "not a zip archive"},
        {"directory cut", good.left(40) + good.right(22), 10, "damaged"},
        {"empty file", QByteArray(), 10, "not a zip archive"},
        {"text", "just text, no archive", 10, "not a zip archive"},
        {"split", zipOf({{"a", "1"}}, {.disk = 1}), 10, "split"},
        {"split, zip64", zipOf({{"a", "1"}}, {.zip64 = true, .disk = 1}), 10, "split"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        const auto archive =
            ZipArchive::open(write("limits.zip", c.bytes), &error, c.maximumMembers);
        ASSERT_EQ(bool(archive), !c.reason) << error.toStdString();
        if (c.reason) {
            EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
            continue;
        }
        const ZipArchive::Member *b = archive->find("b");
        ASSERT_TRUE(b);
        EXPECT_EQ(archive->readMember(*b, 10), QByteArray("2"));
    }
    QString error;
    EXPECT_FALSE(ZipArchive::open(dir.filePath("missing.zip"), &error, 10));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(ZipArchive::open(dir.path(), &error, 10)) << "a folder is no archive";
}
