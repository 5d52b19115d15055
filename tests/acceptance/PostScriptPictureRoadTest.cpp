#include "AcceptanceSupport.h"
#include "GuardedFolders.h"

#include "render/PictureDrawing.h"

#include <QFile>
#include <optional>
#include <QFileInfo>

// A document from someone else whose PostScript pictures try to reach the
// user's files and never finish.
class PostScriptRoad : public AcceptanceTest
{
protected:
    void SetUp() override
    {
        AcceptanceTest::SetUp();
        // After the program's own start, whose runtime folder is not the picture's business.
        guarded.emplace();
        ASSERT_TRUE(guarded->isReady());
        PictureDrawing::clearCache();
    }
    void TearDown() override
    {
        EXPECT_TRUE(PictureDrawing::waitForRenders(60000));
        AcceptanceTest::TearDown();
        guarded.reset();
        PictureDrawing::setEPSTimeLimit(PictureDrawing::epsTimeoutMilliseconds);
        PictureDrawing::clearCache();
    }
    QString folder(const char *name) const { return guarded->folder(name); }
    QStringList listing(const char *name) const { return guarded->listing(name); }

    // Red when anything it tries on the user's files works, green otherwise.
    QByteArray fileToucher() const
    {
        const QByteArray attempts =
            "{ (%1/victim.txt) (r) file 6 string readstring pop pop /hit true def } stopped pop\n"
            "{ (%1/made.txt) (w) file closefile /hit true def } stopped pop\n"
            "{ (%1/victim.txt) (%1/moved.txt) renamefile /hit true def } stopped pop\n"
            "{ (%1/victim.txt) deletefile /hit true def } stopped pop\n";
        QByteArray body = "/hit false def\n";
        for (const char *name : {"tmp", "home"})
            body += QByteArray(attempts).replace("%1", QFile::encodeName(folder(name)));
        return "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 60 60\n%%EndComments\n" + body +
               "hit { 1 0 0 } { 0 0.6 0 } ifelse setrgbcolor 0 0 60 60 rectfill\nshowpage\n";
    }
    static QByteArray looping()
    {
        return "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 60 60\n%%EndComments\n"
               "{ } loop\nshowpage\n";
    }
    // The picture shown in the branch's shape, as a picture set on a branch is.
    static void enclose(TWMapBranch &branch, const QByteArray &bytes)
    {
        branch.publicSetEnclosedImageFromData(bytes, QStringLiteral("eps"), Size(60, 60));
    }
    static int pixelsLike(const QImage &image, QRgb colour)
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                count += std::abs(qRed(p) - qRed(colour)) + std::abs(qGreen(p) - qGreen(colour)) +
                             std::abs(qBlue(p) - qBlue(colour)) <
                         60;
            }
        return count;
    }

    std::optional<GuardedFolders> guarded;
};

// The pictures render in the background: the window answers clicks while the
// endless one runs, the user hears once that it could not be drawn, and the
// temporary folder and home keep only what they held.
TEST_P(PostScriptRoad, HostilePicturesTouchNoFileAndLeaveTheWindowAnswering)
{
    const QString path = QDir(guarded->path()).filePath("hostile.tweb");
    {
        TWDocument *document = newDocument();
        ASSERT_TRUE(document);
        TWMap *map = currentMap(document);
        click(document, windowPoint(document, *map->root()->mainGraphic()));
        key(document, Qt::Key_Tab);
        type(document, "files");
        key(document, Qt::Key_Backtab, Qt::ShiftModifier);
        type(document, "loop");
        key(document, Qt::Key_Escape);
        ASSERT_EQ(childLabels(*map->root()), (QStringList{"files", "loop"}));
        enclose(*map->root()->children().at(0), fileToucher());
        enclose(*map->root()->children().at(1), looping());
        // The save's preview waits for the pictures, the endless one for the
        // whole limit: long enough for the other on a busy machine.
        PictureDrawing::setEPSTimeLimit(30000);
        alerts.queueSaveResponse(path);
        ASSERT_TRUE(choose(document, {"File", "Save As..."}));
        wait(50);
        ASSERT_TRUE(QFileInfo::exists(path));
        ASSERT_TRUE(choose(document, {"File", "Close"}));
        wait(50);
    }
    // Opened afresh, as the document arrives from elsewhere.
    PictureDrawing::clearCache();
    PictureDrawing::setEPSTimeLimit(30000);
    alerts.clear();
    TWDocument *document = openDocument(path);
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    ASSERT_EQ(map->root()->children().size(), 2);

    // Painted, with the endless picture still rendering.
    EXPECT_FALSE(PictureDrawing::waitForRenders(0));
    TWMapBranch *files = map->root()->children().at(0).get();
    ASSERT_FALSE(map->selectedBranches().contains(files));
    QElapsedTimer clock;
    clock.start();
    click(document, windowPoint(document, *files->mainGraphic()));
    const qint64 answered = clock.elapsed();
    EXPECT_TRUE(map->selectedBranches().contains(files)) << "the click was not handled";
    EXPECT_FALSE(PictureDrawing::waitForRenders(0)) << "the window waited for the picture";
    RecordProperty("click_answered_ms", int(answered));
    grab(document, "rendering");

    ASSERT_TRUE(PictureDrawing::waitForRenders(60000));
    wait(300);
    const QImage shown = canvasPart(document, grab(document, "settled"));
    EXPECT_GT(pixelsLike(shown, qRgb(0, 153, 0)), 100) << "the file picture is not shown";
    EXPECT_EQ(pixelsLike(shown, qRgb(255, 0, 0)), 0) << "a file was reached";
    int told = 0;
    for (const RecordingAlerts::Alert &alert : alerts.alerts())
        told += alert.title == QStringLiteral("A picture could not be drawn");
    EXPECT_EQ(told, 1);

    // Zoom and Navigator bring no second render and no second message.
    ASSERT_TRUE(choose(document, {"View", "Zoom In"}));
    wait(100);
    EXPECT_TRUE(PictureDrawing::waitForRenders(60000));
    wait(100);
    told = 0;
    for (const RecordingAlerts::Alert &alert : alerts.alerts())
        told += alert.title == QStringLiteral("A picture could not be drawn");
    EXPECT_EQ(told, 1);

    // The preview saved with the document shows the picture as drawn.
    const auto entry = document->mapsDocument()->cachedData().find(map->previewPath());
    ASSERT_NE(entry, document->mapsDocument()->cachedData().end());
    const QImage preview = QImage::fromData(entry->bytes().value_or(QByteArray()));
    ASSERT_FALSE(preview.isNull());
    EXPECT_GT(pixelsLike(preview, qRgb(0, 153, 0)), 0);
    EXPECT_EQ(pixelsLike(preview, qRgb(255, 0, 0)), 0);

    // A render's own folder goes as its worker finishes, just after the
    // picture is handed over.
    QTest::qWaitFor([&] { return listing("tmp") == QStringList{"victim.txt=SECRET"}; }, 10000);
    EXPECT_EQ(listing("tmp"), QStringList{"victim.txt=SECRET"});
    EXPECT_EQ(listing("home"), QStringList{"victim.txt=SECRET"});
}

ACCEPTANCE_EDITIONS(PostScriptRoad);
