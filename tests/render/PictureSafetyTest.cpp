#include "PictureTestData.h"
#include "platform/RecordingAlerts.h"
#include "render/DrawingContext.h"
#include "GuardedFolders.h"
#include "render/PictureDrawing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

using namespace PictureTestData;

QByteArray eps(const QByteArray &body)
{
    return "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 50 50\n%%EndComments\n" + body +
           "\nshowpage\n";
}

bool draw(QImage &canvas, const QByteArray &bytes, Rect rect, bool screen)
{
    const std::optional<Image> picture = Image::initWithData(bytes);
    EXPECT_TRUE(picture.has_value());
    QPainter painter(&canvas);
    DrawingContext context(painter, screen);
    return picture && PictureDrawing::drawImage(context, *picture, rect);
}

QImage whiteCanvas(int side = 60)
{
    return DrawingContext::makeImage(Size(side, side), 1.0, Qt::white);
}

int darkPixels(const QImage &image)
{
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    return dark;
}

// The program's temporary folder and home, each holding a file a picture
// must not reach; restored afterwards.
class PictureFolders : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folders.isReady());
        PictureDrawing::clearCache();
    }
    void TearDown() override
    {
        ASSERT_TRUE(PictureDrawing::waitForRenders(60000));
        QCoreApplication::processEvents();
        PictureDrawing::setEPSTimeLimit(PictureDrawing::epsTimeoutMilliseconds);
        PictureDrawing::clearCache();
    }
    QString folder(const char *name) const { return folders.folder(name); }
    QStringList listing(const char *name) const { return folders.listing(name); }

    GuardedFolders folders;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
};

TEST_F(PictureFolders, PostScriptReachesNoFileOutsideItsOwnFolder)
{
    // Each picture fills itself black when what it tries succeeds.
    const char *attempts[] = {
        "(%1/made.txt) (w) file dup (x) writestring closefile",
        "(%1/victim.txt) (w) file dup (changed) writestring closefile",
        "(%1/victim.txt) deletefile",
        "(%1/victim.txt) (%1/moved.txt) renamefile",
        "(%1/victim.txt) (r) file 6 string readstring pop (SECRET) eq not { stop } if",
        "/n 0 def (%1/*) { (victim) search { pop pop pop /n n 1 add def } { pop } ifelse } "
        "100 string filenameforall n 0 eq { stop } if",
    };
    for (const char *place : {"tmp", "home"}) {
        for (const char *attempt : attempts) {
            const QByteArray body =
                QByteArray(attempt).replace("%1", QFile::encodeName(folder(place)));
            SCOPED_TRACE(body.toStdString());
            const QByteArray picture =
                eps("{ " + body + " } stopped not { 0 0 50 50 rectfill } if");
            QImage canvas = whiteCanvas();
            draw(canvas, picture, Rect(5, 5, 50, 50), false);
            EXPECT_EQ(darkPixels(canvas), 0);
            EXPECT_EQ(listing("tmp"), QStringList{"victim.txt=SECRET"});
            EXPECT_EQ(listing("home"), QStringList{"victim.txt=SECRET"});
        }
    }
}

TEST_F(PictureFolders, PostScriptGetsBoundedMemoryAndTime)
{
    // A list that grows by 80 MB a step stops at the memory cap, not the clock.
    const QByteArray greedy = eps("/l null def { /l [ l 5000000 array ] def } loop");
    PictureDrawing::Failure failure = PictureDrawing::Failure::None;
    EXPECT_TRUE(PictureDrawing::renderEPS(greedy, QSize(50, 50), 60000, &failure).isNull());
    EXPECT_EQ(failure, PictureDrawing::Failure::Unreadable);

    const QByteArray endless = eps("{ } loop");
    EXPECT_TRUE(PictureDrawing::renderEPS(endless, QSize(50, 50), 1000, &failure).isNull());
    EXPECT_EQ(failure, PictureDrawing::Failure::TimedOut);

    // The largest page still fits under the cap.
    const QImage largest =
        PictureDrawing::renderEPS(epsPicture(), QSize(4096, 4096), 60000, &failure);
    EXPECT_EQ(largest.size(), QSize(4096, 4096));
    EXPECT_EQ(failure, PictureDrawing::Failure::None);
    EXPECT_EQ(listing("tmp"), QStringList{"victim.txt=SECRET"});
}

TEST_F(PictureFolders, TheScreenDrawsAPlaceholderWhilePostScriptRenders)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        bool renders;
        // Short for the endless one; ample for the rest on a busy machine.
        int timeLimit;
    };
    const Case cases[] = {
        {"sound", epsPicture(), true, 30000},
        {"endless", eps("{ } loop"), false, 1500},
        {"broken", eps("this is { not PostScript ]"), false, 30000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PictureDrawing::setEPSTimeLimit(c.timeLimit);
        // An alert an earlier test queued is not this case's.
        QCoreApplication::processEvents();
        alerts.clear();
        QSignalSpy ready(&PictureEvents::shared(), &PictureEvents::picturesReady);
        QImage canvas = whiteCanvas();
        // Drawn at once, as a pale box, while the renderer is still at work.
        EXPECT_TRUE(draw(canvas, c.bytes, Rect(5, 5, 50, 50), true));
        EXPECT_NE(canvas.pixel(30, 30), qRgb(255, 255, 255));
        ASSERT_TRUE(PictureDrawing::waitForRenders(60000));
        EXPECT_TRUE(ready.wait(5000));

        // Every size after: the picture, or nothing and no render, at once.
        for (int side : {50, 80, 17}) {
            QImage again = whiteCanvas(90);
            EXPECT_EQ(draw(again, c.bytes, Rect(0, 0, side, side), false), c.renders);
            EXPECT_EQ(draw(again, c.bytes, Rect(0, 0, side, side), true), c.renders);
            if (c.renders)
                EXPECT_TRUE(isNear(again.pixel(side / 20, side / 20), qRgb(30, 60, 220)));
            else
                EXPECT_EQ(again, whiteCanvas(90));
        }
        ASSERT_TRUE(PictureDrawing::waitForRenders(60000));
        QTest::qWait(50);
        // The user hears once of a picture that could not be drawn.
        EXPECT_EQ(alerts.alerts().size(), c.renders ? 0 : 1);
    }
}

QByteArray hostile(const char *name)
{
    QFile file(QStringLiteral(THINKWEB_TEST_DATA "/hostile/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Looks, over and over while it lives, at every renderer folder in `tmp` and
// keeps the most files and bytes any one of them held.
class FolderSampler
{
public:
    explicit FolderSampler(const QString &tmp)
        : m_tmp(QFile::encodeName(tmp)), m_thread([this] { run(); })
    {
    }
    ~FolderSampler() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    qint64 mostBytes() const { return m_bytes; }
    qint64 mostFiles() const { return m_files; }
    int folders() const { return m_seen; }

private:
    void run()
    {
        QSet<QByteArray> seen;
        while (!m_stop) {
            DIR *tmp = opendir(m_tmp.constData());
            while (const dirent *entry = tmp ? readdir(tmp) : nullptr) {
                const QByteArray folder = m_tmp + '/' + entry->d_name;
                if (!folder.contains("thinkweb-eps-"))
                    continue;
                seen.insert(folder);
                qint64 files = 0, bytes = 0;
                if (DIR *inside = opendir(folder.constData())) {
                    while (const dirent *file = readdir(inside)) {
                        struct stat st{};
                        if (file->d_name[0] == '.' ||
                            fstatat(dirfd(inside), file->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                            continue;
                        ++files;
                        bytes += std::max<qint64>(st.st_size, qint64(st.st_blocks) * 512);
                    }
                    closedir(inside);
                }
                m_files = std::max<qint64>(m_files, files);
                m_bytes = std::max(m_bytes.load(), bytes);
            }
            if (tmp)
                closedir(tmp);
            m_seen = int(seen.size());
        }
    }

    QByteArray m_tmp;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_bytes{0}, m_files{0};
    std::atomic<int> m_seen{0};
    std::thread m_thread;
};

TEST_F(PictureFolders, PostScriptThatFillsItsFolderIsEndedWithinTheBudget)
{
    // Each would write gigabytes or millions of files in the time it is given.
    for (const char *name : {"fills-its-folder.eps", "many-empty-files.eps", "grows-one-file.eps"}) {
        SCOPED_TRACE(name);
        const QByteArray picture = hostile(name);
        ASSERT_FALSE(picture.isEmpty());
        FolderSampler sampler(folder("tmp"));
        PictureDrawing::Failure failure = PictureDrawing::Failure::None;
        EXPECT_TRUE(PictureDrawing::renderEPS(picture, QSize(50, 50), 60000, &failure).isNull());
        sampler.stop();
        EXPECT_EQ(failure, PictureDrawing::Failure::FolderFull);
        EXPECT_EQ(sampler.folders(), 1);
        // The picture handed over takes a block of the disk at least.
        EXPECT_LE(sampler.mostBytes(), PictureDrawing::epsFolderBudgetBytes + picture.size() + 4096);
        EXPECT_LE(sampler.mostFiles(), PictureDrawing::epsFolderBudgetFiles + 1);
        EXPECT_EQ(listing("tmp"), QStringList{"victim.txt=SECRET"});
    }
}

TEST_F(PictureFolders, SeveralPicturesFillingTheirFoldersAtOnceEachStayWithinTheBudget)
{
    QCoreApplication::processEvents();
    alerts.clear();
    FolderSampler sampler(folder("tmp"));
    // Four different pictures: the screen renders them side by side.
    for (int i = 0; i < 4; ++i) {
        QImage canvas = whiteCanvas();
        draw(canvas, hostile("fills-its-folder.eps") + "% copy " + QByteArray::number(i) + '\n',
             Rect(5, 5, 50, 50), true);
    }
    ASSERT_TRUE(PictureDrawing::waitForRenders(60000));
    sampler.stop();
    EXPECT_EQ(sampler.folders(), 4);
    EXPECT_LE(sampler.mostBytes(),
              PictureDrawing::epsFolderBudgetBytes + hostile("fills-its-folder.eps").size() + 4096);
    EXPECT_EQ(listing("tmp"), QStringList{"victim.txt=SECRET"});
    // Told once a picture, as for one that takes too long.
    QTest::qWait(50);
    ASSERT_EQ(alerts.alerts().size(), 4);
    EXPECT_TRUE(alerts.alerts().front().message.contains("temporary files"));
}

TEST_F(PictureFolders, PrintingWaitsForTheRenderTheScreenStarted)
{
    QImage screen = whiteCanvas();
    EXPECT_TRUE(draw(screen, epsPicture(), Rect(0, 0, 50, 50), true));
    QImage printed = whiteCanvas();
    EXPECT_TRUE(draw(printed, epsPicture(), Rect(0, 0, 50, 50), false));
    EXPECT_TRUE(isNear(printed.pixel(2, 2), qRgb(30, 60, 220)));
}

} // namespace
