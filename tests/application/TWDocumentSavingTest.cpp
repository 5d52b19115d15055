// Saves that cannot be made, and saves over a file another program changed.

#include "DocumentTestSupport.h"

#include "graphics/TWGraphic.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
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

// Fills the disk holding folder until at most `room` bytes are free.
void fillDiskLeaving(const QString &folder, qint64 room)
{
    QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(4096, 'x');
    struct statvfs disk{};
    while (::statvfs(QFile::encodeName(folder).constData(), &disk) == 0 &&
           qint64(disk.f_bavail) * qint64(disk.f_frsize) > room && filler.write(block) == 4096) {
    }
}

// A PNG of noise, which no compression makes smaller.
QByteArray noisePNG(int side)
{
    QImage noise(side, side, QImage::Format_RGB32);
    quint32 x = 7;
    for (int y = 0; y < side; ++y)
        for (int i = 0; i < side; ++i)
            noise.setPixel(i, y, (x = x * 1664525u + 1013904223u) >> 8);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    noise.save(&buffer, "PNG");
    return png;
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
        {"disk filling while the package is written",
         [this](const QString &folder, TWDocument *document) {
             // A picture the compressed text only names: the text's spool
             // fits on the disk, the package with the picture does not.
             if (!document->mapsDocument()->currentMap()->root()->setEnclosedImageData(
                     noisePNG(600)))
                 return false;
             const QString scratch = dir.filePath(QStringLiteral("measure.tweb"));
             if (document->mapsDocument()->saveToFile(scratch) != TWFileIO::SaveSucceeded)
                 return false;
             fillDiskLeaving(folder, QFileInfo(scratch).size() / 2);
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

// A failing periodic save says so once, after every other document was
// saved, and again only once the document changed or was saved.
TEST_F(DocumentSavingTest, AFailingAutosaveIsToldOncePerFailure)
{
    QTemporaryDir place(dir.filePath(QStringLiteral("place-XXXXXX")));
    const QString failing = place.filePath(QStringLiteral("Failing"));
    const QString other = place.filePath(QStringLiteral("Other"));
    ASSERT_TRUE(QDir().mkpath(failing) && QDir().mkpath(other));
    TWDocument *broken = openEdited(failing);
    ASSERT_NE(broken, nullptr);
    TWDocument *fine = openEdited(other);
    ASSERT_NE(fine, nullptr);
    controller.docs = {broken, fine};
    const auto breakFolder = [&] {
        ASSERT_TRUE(QDir().rename(failing, failing + QStringLiteral(".moved")));
        ASSERT_TRUE(writeBytes(failing, "a file now"));
    };
    const auto mendFolder = [&] {
        ASSERT_TRUE(QFile::remove(failing));
        ASSERT_TRUE(QDir().rename(failing + QStringLiteral(".moved"), failing));
    };
    const auto edit = [](TWDocument *document) {
        document->mapsDocument()->currentMap()->publicCreateChildrenOfType(-1, QString(), false);
    };
    breakFolder();

    struct Step
    {
        const char *what;
        std::function<void()> before;
        int alerts; // told so far
        bool brokenEdited;
    };
    const Step steps[] = {
        {"first failure", [] {}, 1, true},
        {"the same failure again", [] {}, 1, true},
        {"and again, the other document changed", [&] { edit(fine); }, 1, true},
        {"changed again", [&] { edit(broken); }, 2, true},
        {"saved at last", [&] { mendFolder(); }, 2, false},
        {"failing after a save", [&] {
             breakFolder();
             edit(broken);
         }, 3, true},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.before();
        settle();
        const int told = alerts.alerts().size();
        edit(fine);
        settle();
        app->autoSaveDocuments();
        // Nothing waits for the user: the other document is saved already.
        EXPECT_EQ(alerts.alerts().size(), told);
        EXPECT_FALSE(fine->isDocumentEdited());
        settle();
        ASSERT_EQ(alerts.alerts().size(), step.alerts);
        // Only the broken one fails, and says why.
        EXPECT_TRUE(alerts.alerts().last().message.contains(QLatin1String("cannot be written in")))
            << alerts.alerts().last().message.toStdString();
        EXPECT_EQ(broken->isDocumentEdited(), step.brokenEdited);
    }
    QFile::remove(failing);
    QDir().rename(failing + QStringLiteral(".moved"), failing);
}

// Save As has a key of its own on every desktop, and it works after a
// save that failed.
TEST_F(DocumentSavingTest, SaveAsHasAKeyThatWorksAfterAFailedSave)
{
    QTemporaryDir place(dir.filePath(QStringLiteral("place-XXXXXX")));
    TWDocument *document = openEdited(place.path());
    ASSERT_NE(document, nullptr);
    TWDocumentWindow *window = document->documentWindow();
    QAction *saveAs = nullptr;
    for (QAction *action : window->menuBar()->actions().first()->menu()->actions())
        if (action->text() == QStringLiteral("Save As..."))
            saveAs = action;
    ASSERT_NE(saveAs, nullptr);
    const QKeySequence key =
        QKeySequence::keyBindings(QKeySequence::SaveAs).value(0, QKeySequence("Ctrl+Shift+S"));
    EXPECT_TRUE(saveAs->shortcuts().contains(key));

    show(document);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    // Ctrl+S fails: the folder became a file.
    ASSERT_TRUE(QDir().rename(place.path(), place.path() + QStringLiteral(".moved")));
    ASSERT_TRUE(writeBytes(place.path(), "a file now"));
    QTest::keySequence(window, QKeySequence::Save);
    settle();
    ASSERT_EQ(alerts.alerts().size(), 1);
    alerts.queueSaveResponse(dir.filePath(QStringLiteral("kept")));
    QTest::keySequence(window, key);
    settle();
    EXPECT_EQ(document->fileName(), dir.filePath(QStringLiteral("kept.tweb")));
    EXPECT_FALSE(document->isDocumentEdited());
    QFile::remove(place.path());
    QDir().rename(place.path() + QStringLiteral(".moved"), place.path());
}

// Run in a process of its own under a file-size limit (see the next test).
TEST_F(DocumentSavingTest, SaveUnderAFileSizeLimitInAProcessOfItsOwn)
{
    if (!qEnvironmentVariableIsSet("THINKWEB_FILE_SIZE_CHILD"))
        GTEST_SKIP() << "run by SaveUnderAFileSizeLimitFailsLikeAnyWrite";
    QTemporaryDir place(dir.filePath(QStringLiteral("place-XXXXXX")));
    // Made before the limit binds: the document is larger than it.
    TWDocument *document = openEdited(place.path());
    ASSERT_NE(document, nullptr);
    const QByteArray before = bytesOf(document->fileName());
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    ASSERT_GT(before.size(), 4096);

    // The menu's Save, as Ctrl+S gives it.
    QAction *save = nullptr;
    for (QAction *action :
         document->documentWindow()->menuBar()->actions().first()->menu()->actions())
        if (action->text() == QStringLiteral("Save"))
            save = action;
    ASSERT_NE(save, nullptr);
    save->trigger();
    settle();
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_TRUE(alerts.alerts().first().message.contains(QLatin1String("File too large")))
        << alerts.alerts().first().message.toStdString();
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_EQ(bytesOf(document->fileName()), before);
    // Still at work: another edit takes.
    document->mapsDocument()->currentMap()->publicCreateChildrenOfType(-1, QString(), false);
    settle();
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST(DocumentSavingInAProcess, SaveUnderAFileSizeLimitFailsLikeAnyWrite)
{
    QProcess child;
    child.setProgram(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
    child.setArguments({QStringLiteral("--gtest_filter=DocumentSavingTest."
                                       "SaveUnderAFileSizeLimitInAProcessOfItsOwn")});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("THINKWEB_FILE_SIZE_CHILD"), QStringLiteral("1"));
    // The one test runs whichever shard this one is.
    for (const char *name : {"GTEST_TOTAL_SHARDS", "GTEST_SHARD_INDEX", "GTEST_OUTPUT"})
        environment.remove(QString::fromLatin1(name));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start();
    ASSERT_TRUE(child.waitForFinished(300000));
    const QByteArray output = child.readAll();
    // Not ended by SIGXFSZ: the test in it ran to its end and passed.
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}
