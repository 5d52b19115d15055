#include "platform/FileStamp.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

TEST(FileStamp, TellsAFileRewrittenOrReplacedFromOneMerelyTouched)
{
    struct Case
    {
        const char *what;
        std::function<void(const QString &path, const QString &folder)> change;
        bool changed;
    };
    const Case cases[] = {
        {"nothing done", [](const QString &, const QString &) {}, false},
        {"permissions changed",
         [](const QString &path, const QString &) {
             QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
         },
         false},
        {"rewritten longer",
         [](const QString &path, const QString &) { write(path, "their longer version"); }, true},
        {"replaced by a file of the same size",
         [](const QString &path, const QString &folder) {
             const QString other = folder + QStringLiteral("/other");
             write(other, "original");
             QFile::remove(path);
             QFile::rename(other, path);
         },
         true},
        {"removed", [](const QString &path, const QString &) { QFile::remove(path); }, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("plan.tweb"));
        ASSERT_TRUE(write(path, "original"));
        const FileStamp stamp = FileStamp::of(path);
        ASSERT_TRUE(stamp.exists);
        c.change(path, folder.path());
        EXPECT_EQ(stamp.changedAt(path), c.changed);
    }
}

TEST(FileStamp, AStampOfNoFileSeesNoChange)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("new.tweb"));
    const FileStamp none = FileStamp::of(path);
    EXPECT_FALSE(none.exists);
    ASSERT_TRUE(write(path, "written since"));
    EXPECT_FALSE(none.changedAt(path));
    EXPECT_FALSE(FileStamp::of(QString()).exists);
}
