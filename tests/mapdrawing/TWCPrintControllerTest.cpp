#include "GoldenImage.h"
#include "PrintTestSupport.h"
#include "graphics/TWRectangle.h"
#include "mapdrawing/TWCPrintController.h"
#include "platform/RecordingAlerts.h"

#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <poppler-qt6.h>

using namespace PrintTest;
using View = TWCPrintImageView;

namespace {

// Pixels that are clearly not white.
int inkIn(const QImage &image)
{
    int ink = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            ink += qGray(rgb.pixel(x, y)) < 200;
    return ink;
}

int redIn(const QImage &image)
{
    int red = 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = rgb.pixel(x, y);
            red += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
        }
    return red;
}

TEST(CompactPrintViewTest, PicturePlacedAtNinePositions)
{
    View view(Size(100, 50));
    view.setFrameSize(Size(200, 100));
    view.setPictureSize(Size(50, 20));
    const Rect expected[] = {{0, 80, 50, 20}, {75, 80, 50, 20}, {150, 80, 50, 20},
                             {0, 40, 50, 20}, {75, 40, 50, 20}, {150, 40, 50, 20},
                             {0, 0, 50, 20},  {75, 0, 50, 20},  {150, 0, 50, 20}};
    for (int index = 0; index <= 8; ++index) {
        view.setAlignment(View::Alignment(index));
        EXPECT_EQ(view.pictureRect(), expected[index]) << index;
    }
    // Larger than the area: scaled down with its proportions.
    view.setAlignment(View::Center);
    view.setPictureSize(Size(400, 100));
    EXPECT_EQ(view.pictureRect(), Rect(0, 25, 200, 50));
    view.setPictureSize(Size(0, 10));
    EXPECT_TRUE(view.pictureRect().isEmpty());
}

TEST(CompactPrintViewTest, PagesAreCountedToTheNearestWholePage)
{
    struct Case
    {
        Size frame, page;
        int wide, high;
    } const cases[] = {
        {{3 * 559.28f, 2 * 783.13f}, {559.28f, 783.13f}, 3, 2},
        {{1677.8399f, 783.12f}, {559.28f, 783.13f}, 3, 1},
        {{500, 700}, {500, 700}, 1, 1},
        {{0, 0}, {500, 700}, 0, 0},
        {{500, 700}, {0, 0}, 0, 0},
    };
    for (const Case &c : cases) {
        View view(c.page);
        view.setFrameSize(c.frame);
        EXPECT_EQ(view.pagesWide(), c.wide) << c.frame.toString().toStdString();
        EXPECT_EQ(view.pagesHigh(), c.high) << c.frame.toString().toStdString();
        EXPECT_EQ(view.numberOfPages(), c.wide * c.high);
    }
}

TEST(CompactPrintViewTest, PageOneIsTheLowerLeftPage)
{
    View view(Size(100, 200));
    view.setFrameSize(Size(300, 400));
    EXPECT_EQ(view.numberOfPages(), 6);
    EXPECT_EQ(view.rectForPage(1), Rect(0, 0, 100, 200));
    EXPECT_EQ(view.rectForPage(3), Rect(200, 0, 100, 200));
    EXPECT_EQ(view.rectForPage(4), Rect(0, 200, 100, 200));
    EXPECT_EQ(view.rectForPage(0), Rect(0, 0, 100, 200));
}

TEST(CompactPrintViewTest, DashedGridOnlyBetweenPagesOfAtLeast100Points)
{
    View view(Size(100, 200));
    view.setFrameSize(Size(300, 400));
    const QList<QLineF> expected{{100, 0, 100, 400}, {200, 0, 200, 400}, {0, 200, 300, 200}};
    EXPECT_EQ(view.gridLines(), expected);
    view.setPageSize(Size(99, 200));
    view.setFrameSize(Size(297, 400));
    EXPECT_TRUE(view.gridLines().isEmpty());
    view.setPageSize(Size(100, 99.5f));
    EXPECT_TRUE(view.gridLines().isEmpty());
}

class CompactPrintTest : public PrintFixture
{
protected:
    CompactPrintTest()
    {
        auto shape = TWGraphic::make<TWRectangle>(Rect(0, 0, 160, 60));
        auto newRoot = TWMapBranch::createWithGraphic(shape, nullptr, map.get());
        map->setRoot(newRoot);
        root = newRoot;
        placeDrawingAt(0, 0);
        settle();
        undo->removeAllActions();
        controller.setPDFOutputPath(tempDir.filePath("compact.pdf"));
    }
    ~CompactPrintTest() override { controller.cancel(); }

    // Stretches the drawing to the size (map units).
    void sizeDrawing(Size size)
    {
        const Rect d = drawing();
        const Rect b = root->mainGraphic()->bounds();
        root->mainGraphic()->setBounds(Rect(b.x(), b.y(), b.width() + size.width - d.width(),
                                            b.height() + size.height - d.height()));
        settle();
        undo->removeAllActions();
    }

    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
    TWCPrintController controller;
};

TEST_F(CompactPrintTest, LargestSizeFitsThePagesArea)
{
    sizeDrawing(Size(1000, 300)); // twice the 500-point page's width
    controller.printMap(map, nullptr);
    EXPECT_NEAR(controller.originalMapSize().width, 1000, 1);
    EXPECT_NEAR(controller.maxMapSize(), 0.5, 0.002);
    EXPECT_FLOAT_EQ(controller.mapSize(), controller.maxMapSize()) << "starts as large as fits";
    QSignalSpy maximum(&controller, &TWCPrintController::maxMapSizeChanged);
    controller.setPagesWide(2);
    EXPECT_NEAR(controller.maxMapSize(), 1.0, 0.002);
    EXPECT_EQ(maximum.size(), 1);
    EXPECT_EQ(controller.printImageView().frameSize(), Size(1000, 700));
}

TEST_F(CompactPrintTest, AlignmentOutsideTheGridChangesNothingButUpdates)
{
    controller.printMap(map, nullptr);
    EXPECT_EQ(controller.alignment(), 4);
    controller.setAlignment(2);
    EXPECT_EQ(controller.alignment(), 2);
    QSignalSpy previews(&controller, &TWCPrintController::previewChanged);
    controller.setAlignment(9);
    controller.setAlignment(-1);
    EXPECT_EQ(controller.alignment(), 2);
    EXPECT_EQ(previews.size(), 2);
}

TEST_F(CompactPrintTest, BackgroundFollowsTheSwitchAndTheMapIsLeftAlone)
{
    map->setBackgroundColor(Color::colorWithCalibratedRed(1, 0, 0));
    map->setDrawBackgroundOffScreen(true);
    map->setSelectedBranches({root});
    settle();
    undo->removeAllActions();
    controller.printMap(map, nullptr);
    EXPECT_EQ(redIn(controller.previewImage()), 0) << "off at first";
    controller.setPrintBackground(true);
    EXPECT_GT(redIn(controller.previewImage()), 100);
    controller.setPrintBackground(false);
    EXPECT_EQ(redIn(controller.previewImage()), 0);
    EXPECT_TRUE(map->drawBackgroundOffScreen());
    EXPECT_EQ(map->selectedGraphics().size(), 1);
    controller.cancel();
    settle();
    EXPECT_EQ(undo->undoStepCount(), 0);
}

TEST_F(CompactPrintTest, PrintsTheAreaPageByPageFromTheLowerLeft)
{
    sizeDrawing(Size(200, 100));
    struct Case
    {
        int alignment;
        int inkedPage; // counted from 0 in the PDF
    } const cases[] = {{6, 0}, {0, 3}, {8, 2}, {2, 5}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.alignment);
        controller.printMap(map, nullptr);
        controller.setPagesWide(3);
        controller.setPagesHigh(2);
        controller.setAlignment(c.alignment);
        controller.setMapSize(0.5);
        QSignalSpy ran(&controller, &TWCPrintController::printOperationDidRun);
        controller.print();
        ASSERT_EQ(ran.size(), 1);
        EXPECT_TRUE(ran.first().first().toBool());
        auto pdf = Poppler::Document::load(tempDir.filePath("compact.pdf"));
        ASSERT_TRUE(pdf);
        ASSERT_EQ(pdf->numPages(), 6);
        for (int page = 0; page < 6; ++page) {
            EXPECT_EQ(pdf->page(page)->pageSizeF(), QSizeF(500, 700));
            const int ink = inkIn(pdf->page(page)->renderToImage(36, 36));
            if (page == c.inkedPage)
                EXPECT_GT(ink, 20) << "page " << page + 1;
            else
                EXPECT_EQ(ink, 0) << "page " << page + 1;
        }
    }
}

TEST_F(CompactPrintTest, PreviewShowsThePagesDashed)
{
    sizeDrawing(Size(300, 200));
    setPaper(Size(240, 160));
    controller.printMap(map, nullptr);
    controller.setPagesWide(2);
    controller.setPagesHigh(2);
    controller.setAlignment(0);
    controller.setMapSize(1.0);
    EXPECT_EQ(controller.previewImage().size(), QSize(480, 320) * 0.75);
    EXPECT_TRUE(GoldenImage::matches(controller.previewImage(), "compact_print_preview", 24, 0.01));
}

TEST_F(CompactPrintTest, SheetControlsDriveTheController)
{
    controller.printMap(map, nullptr);
    QDialog *sheet = controller.sheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(sheet->isModal());
    sheet->findChild<QSpinBox *>("pagesWide")->setValue(3);
    EXPECT_EQ(controller.pagesWide(), 3);
    sheet->findChild<QToolButton *>("alignment6")->click();
    EXPECT_EQ(controller.alignment(), 6);
    EXPECT_TRUE(sheet->findChild<QToolButton *>("alignment6")->isChecked());
    sheet->findChild<QPushButton *>("cancel")->click();
    EXPECT_FALSE(controller.isOpen());
}

// Escape and the sheet's close button end it as Cancel does: the next Print
// opens the sheet again.
TEST_F(CompactPrintTest, ASheetGoneWithoutCancelLeavesPrintWorking)
{
    for (const bool escape : {true, false}) {
        SCOPED_TRACE(escape ? "Escape" : "close button");
        controller.printMap(map, nullptr);
        ASSERT_TRUE(controller.sheet());
        if (escape)
            QTest::keyClick(controller.sheet(), Qt::Key_Escape);
        else
            controller.sheet()->close();
        settle();
        EXPECT_FALSE(controller.isOpen());
        controller.printMap(map, nullptr);
        ASSERT_TRUE(controller.sheet()) << "Print does nothing after the sheet went away";
        EXPECT_TRUE(controller.sheet()->isVisible());
        controller.cancel();
        settle();
    }
}

TEST_F(CompactPrintTest, AFailedPrintIsReported)
{
    controller.setPDFOutputPath(tempDir.filePath("no/folder/out.pdf"));
    controller.printMap(map, nullptr);
    QSignalSpy ran(&controller, &TWCPrintController::printOperationDidRun);
    controller.print();
    ASSERT_EQ(ran.size(), 1);
    EXPECT_FALSE(ran.first().first().toBool());
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_FALSE(alerts.alerts().first().message.isEmpty());
}

} // namespace
