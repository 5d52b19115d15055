// Saves that cannot be made, and saves over a file another program changed.

#include "DocumentTestSupport.h"

#include "graphics/TWGraphic.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The immutable flag, which refuses writes and renames to the super-user too.
bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

// A small file system of its own in memory, where mounting is allowed.
bool mountSmallDisk(const QString &folder, const char *options)
{
    return ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, options) == 0;
}

void unmount(const QString &folder)
{
    ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
}

// Fills the disk holding folder until it refuses one more byte.
void fillDisk(const QString &folder)
{
    QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size()) {
    }
    while (filler.write("x", 1) == 1) {
    }
}

// The names in a folder but those the test put there itself.
QStringList leftBeside(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    names.removeAll(QStringLiteral("filler"));
    return names;
}

} // namespace

class DocumentSavingTest : public DocumentTest
{
protected:
    // An opened document in a folder of its own, with one unsaved change.
    TWDocument *openEdited(const QString &folder)
    {
        const QString saved = savedDocument(QStringLiteral("plan-source.tweb"));
        const QString path = QDir(folder).filePath(QStringLiteral("plan.tweb"));
        EXPECT_TRUE(QFile::copy(saved, path));
        TWDocument *document = open(path);
        if (!document)
            return nullptr;
        settle();
        document->mapsDocument()->currentMap()->publicCreateChildrenOfType(
            -1, QStringLiteral("unsaved work"), false);
        settle();
        return document;
    }
};

TEST_F(DocumentSavingTest, ARefusedSaveSaysWhyKeepsTheWorkAndLeavesTheFile)
{
    const bool superUser = ::geteuid() == 0;
    struct Case
    {
        const char *name;
        // Makes the save fail; false when this system cannot (the reason goes to the log).
        std::function<bool(const QString &folder, TWDocument *)> arrange;
        const char *says;
        // Refused before the document was stamped and its previews drawn.
        bool refusedBeforeWriting;
        // The old file is still there to compare.
        bool oldFileKept = true;
        // Made on a small disk of its own: never, for the super-user, always.
        enum { SharedDisk, OwnDiskForSuperUser, OwnDisk } disk = SharedDisk;
    };
    const Case cases[] = {
        {"branches too deep to open again",
         [](const QString &, TWDocument *document) {
             const std::shared_ptr<TWMap> map = document->mapsDocument()->currentMap();
             TWMapBranch *parent = map->root().get();
             for (int level = 1; level <= TWFileIO::MaximumBranchLevels + 40; ++level)
                 parent = TWMapBranch::createWithGraphic(
                              TWGraphic::createWithBounds(Rect(float(level), 0, 80, 30)), parent,
                              map.get())
                              .get();
             return true;
         },
         "deeper than a document file can hold", true},
        {"folder gone, a file in its place",
         [](const QString &folder, TWDocument *) {
             return QDir().rename(folder, folder + QStringLiteral(".moved")) &&
                    writeBytes(folder, "a file now");
         },
         "cannot be written in", true, false},
        {"folder read-only",
         [superUser](const QString &folder, TWDocument *) {
             if (!superUser)
                 return QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
             // The super-user writes anywhere but on a read-only file system.
             return ::mount(nullptr, QFile::encodeName(folder).constData(), nullptr,
                            MS_REMOUNT | MS_RDONLY, nullptr) == 0;
         },
         "cannot be written in", true, true, Case::OwnDiskForSuperUser},
        {"file locked",
         [superUser](const QString &folder, TWDocument *) {
             const QString file = QDir(folder).filePath(QStringLiteral("plan.tweb"));
             return superUser ? setImmutable(file, true)
                              : QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup);
         },
         "is locked", true},
        {"disk full",
         [](const QString &folder, TWDocument *) {
             fillDisk(folder);
             return true;
         },
         "not enough room on the disk", false, true, Case::OwnDisk},
        {"file larger than the system allows", nullptr, "File too large", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir place(dir.filePath(QStringLiteral("place-XXXXXX")));
        const QString folder = place.filePath(QStringLiteral("Maps"));
        ASSERT_TRUE(QDir().mkpath(folder));
        const bool needsOwnDisk =
            c.disk == Case::OwnDisk || (c.disk == Case::OwnDiskForSuperUser && superUser);
        if (needsOwnDisk && !mountSmallDisk(folder, "size=4m")) {
            std::fprintf(stderr, "[  SKIPPED ] %s: no file system of its own can be mounted here\n",
                         c.name);
            continue;
        }
        const auto cleanUp = qScopeGuard([&] {
            setImmutable(QDir(folder).filePath(QStringLiteral("plan.tweb")), false);
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            if (needsOwnDisk)
                unmount(folder);
        });
        TWDocument *document = openEdited(folder);
        ASSERT_NE(document, nullptr);
        const QString path = document->fileName();
        const QByteArray oldBytes = bytesOf(path);
        ASSERT_FALSE(oldBytes.isEmpty());
        const int revision = document->mapsDocument()->revisionNumber();
        alerts.clear();

        bool saved = true;
        if (c.arrange) {
            if (!c.arrange(folder, document)) {
                std::fprintf(stderr, "[  SKIPPED ] %s: this system cannot make it\n", c.name);
                document->close();
                settle();
                continue;
            }
            saved = document->save();
        } else {
            // A file size limit binds even the super-user: the write stops part-way.
            const auto handler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit before{};
            getrlimit(RLIMIT_FSIZE, &before);
            const rlimit limit{8 * 1024, before.rlim_max};
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
            saved = document->save();
            setrlimit(RLIMIT_FSIZE, &before);
            std::signal(SIGXFSZ, handler);
        }
        settle();

        EXPECT_FALSE(saved);
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_TRUE(alerts.alerts().first().message.contains(QLatin1String(c.says)))
            << alerts.alerts().first().message.toStdString();
        EXPECT_TRUE(alerts.alerts().first().message.contains(QLatin1String("not been changed")));
        EXPECT_TRUE(document->isDocumentEdited());
        EXPECT_EQ(document->fileName(), path);
        if (c.oldFileKept) {
            EXPECT_EQ(bytesOf(path), oldBytes);
            EXPECT_EQ(leftBeside(folder), QStringList{QStringLiteral("plan.tweb")});
        } else {
            EXPECT_FALSE(QFileInfo(path).exists());
        }
        if (c.refusedBeforeWriting)
            EXPECT_EQ(document->mapsDocument()->revisionNumber(), revision);
        document->close();
        settle();
    }
}

TEST_F(DocumentSavingTest, SavingOverAFileAnotherProgramChangedAsksFirst)
{
    struct Case
    {
        const char *name;
        int answer; // Save As…, Cancel, Save Anyway
        bool saved;
        bool overwritten;
    };
    const Case cases[] = {
        {"cancel", 1, false, false},
        {"save anyway", 2, true, true},
        {"save as", 0, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir place(dir.filePath(QStringLiteral("place-XXXXXX")));
        TWDocument *document = openEdited(place.path());
        ASSERT_NE(document, nullptr);
        const QString path = document->fileName();
        // Another program writes its own version over the file.
        auto other = BranchDocument::makeDocument(5);
        ASSERT_EQ(other->saveToFile(path), TWFileIO::SaveSucceeded);
        other->detach();
        const QByteArray theirs = bytesOf(path);
        EXPECT_TRUE(document->fileChangedOnDisk());

        alerts.clear();
        alerts.queueAlertResponse(c.answer);
        const QString copy = place.filePath(QStringLiteral("copy.tweb"));
        alerts.queueSaveResponse(copy);
        EXPECT_EQ(document->save(), c.saved);
        ASSERT_GE(alerts.alerts().size(), 1);
        EXPECT_EQ(alerts.alerts().first().title,
                  QStringLiteral("The file has been changed by another program."));
        EXPECT_EQ(alerts.alerts().first().buttons,
                  QStringList({"Save As…", "Cancel", "Save Anyway"}));
        EXPECT_EQ(bytesOf(path) == theirs, !c.overwritten);
        EXPECT_EQ(document->isDocumentEdited(), !c.saved);
        if (c.answer == 0)
            EXPECT_EQ(document->fileName(), copy);
        // Saved here, the file is this document's again: no second question.
        if (c.saved) {
            alerts.clear();
            document->mapsDocument()->currentMap()->publicCreateChildrenOfType(
                -1, QStringLiteral("more"), false);
            settle();
            EXPECT_TRUE(document->save());
            EXPECT_TRUE(alerts.alerts().isEmpty());
        }
        document->close();
        settle();
    }
}

TEST_F(DocumentSavingTest, AnUnchangedFileIsSavedWithoutAQuestion)
{
    QTemporaryDir place(dir.filePath(QStringLiteral("place-XXXXXX")));
    TWDocument *document = openEdited(place.path());
    ASSERT_NE(document, nullptr);
    // Touched but not rewritten: the same file still.
    QFile file(document->fileName());
    ASSERT_TRUE(file.setPermissions(file.permissions() | QFile::ExeUser));
    EXPECT_FALSE(document->fileChangedOnDisk());
    EXPECT_TRUE(document->save());
    EXPECT_TRUE(alerts.alerts().isEmpty());
    // Gone: saving puts it back, for there is nothing to overwrite.
    ASSERT_TRUE(QFile::remove(document->fileName()));
    document->mapsDocument()->currentMap()->publicCreateChildrenOfType(-1, QString(), false);
    settle();
    EXPECT_FALSE(document->fileChangedOnDisk());
    EXPECT_TRUE(document->save());
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_TRUE(QFile::exists(document->fileName()));
}

TEST_F(DocumentSavingTest, AutosaveLeavesAFileAnotherProgramChangedAndStaysEdited)
{
    QTemporaryDir place(dir.filePath(QStringLiteral("place-XXXXXX")));
    TWDocument *document = openEdited(place.path());
    ASSERT_NE(document, nullptr);
    const QString path = document->fileName();
    auto other = BranchDocument::makeDocument(5);
    ASSERT_EQ(other->saveToFile(path), TWFileIO::SaveSucceeded);
    other->detach();
    const QByteArray theirs = bytesOf(path);

    document->autosaveDocument();
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_EQ(bytesOf(path), theirs);
    EXPECT_TRUE(document->isDocumentEdited());
    // The Save the user chooses next asks.
    alerts.queueAlertResponse(1);
    EXPECT_FALSE(document->save());
    EXPECT_EQ(alerts.alerts().size(), 1);
}
