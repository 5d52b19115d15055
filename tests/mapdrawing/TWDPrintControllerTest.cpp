#include "PrintTestSupport.h"
#include "graphics/TWRectangle.h"
#include "mapdrawing/TWDPrintController.h"
#include "mapdrawing/TWDPrintSetupPanel.h"
#include "mapdrawing/TWPrintPageBorder.h"
#include "platform/RecordingAlerts.h"
#include "support/Font.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <poppler-qt6.h>
#include <functional>

using namespace PrintTest;
using Margins = TWDPrintController::Margins;

namespace {

QByteArray pngOfHeight(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    // 72 dpi: a pixel is a point.
    image.setDotsPerMeterX(2835);
    image.setDotsPerMeterY(2835);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

QVariant text14(const QString &text)
{
    return QVariant::fromValue(AttributedString(
        text, {{NSFontAttributeName, QVariant::fromValue(Font("Helvetica", 14))}}));
}

TEST(DeluxeMarginsTest, AutomaticMargins)
{
    const int header = int(TWPrintPageBorder::textHeight(text14("Head").value<AttributedString>()));
    ASSERT_GT(header, 10);
    struct Case
    {
        const char *what;
        OrderedDictionary setup;
        std::optional<Margins> margins;
    };
    const Case cases[] = {
        {"nothing", {}, Margins{0, 0, 0, 0}},
        {"frame and header",
         {{"printFrame", true}, {"frameWidth", 2}, {"headerAttributedString", text14("Head")}},
         Margins{2, 2, 2 + header, 2}},
        {"frame narrower than a point counts as none",
         {{"printFrame", true}, {"frameWidth", 0.5}},
         Margins{0, 0, 0, 0}},
        {"header picture capped at 200, plus the frame width without a frame",
         {{"frameWidth", 2}, {"headerImage", pngOfHeight(20, 300)}},
         Margins{0, 0, 202, 0}},
        {"footer picture not capped",
         {{"frameWidth", 2}, {"footerImage", pngOfHeight(20, 300)}},
         Margins{0, 0, 0, 302}},
        {"pictures scaled to the text take no room of their own",
         {{"headerImage", pngOfHeight(20, 300)},
          {"resizeHeaderImageToTextSize", true},
          {"footerImage", pngOfHeight(20, 300)},
          {"resizeFooterImageToTextSize", "YES"}},
         Margins{0, 0, 0, 0}},
        {"a picture lower than the text",
         {{"headerAttributedString", text14("Head")}, {"headerImage", pngOfHeight(5, 5)}},
         Margins{0, 0, header, 0}},
        {"empty texts and unreadable pictures take no room",
         {{"headerAttributedString", text14("")}, {"footerImage", QByteArray("not a picture")}},
         Margins{0, 0, 0, 0}},
        {"crop marks alone", {{"printCropMarks", true}}, Margins{10, 10, 10, 10}},
        {"crop marks only raise small margins",
         {{"printCropMarks", true}, {"footerImage", pngOfHeight(20, 30)}, {"frameWidth", 1}},
         Margins{10, 10, 10, 31}},
        {"manual margins", {{"manualMargins", true}, {"printCropMarks", true}}, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<Margins> m = TWDPrintController::automaticMargins(c.setup);
        ASSERT_EQ(m.has_value(), c.margins.has_value());
        if (m) {
            EXPECT_EQ(m->left, c.margins->left);
            EXPECT_EQ(m->right, c.margins->right);
            EXPECT_EQ(m->top, c.margins->top);
            EXPECT_EQ(m->bottom, c.margins->bottom);
        }
    }
}

TEST(DeluxeFieldsTest, FieldsAreTypedAtTheInsertionPoint)
{
    QPlainTextEdit view;
    view.setPlainText("Page  of");
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(5);
    view.setTextCursor(cursor);
    TWDPrintController::insertFieldWithTag(3, &view);
    EXPECT_EQ(view.toPlainText(), "Page %page% of");
    TWDPrintController::insertFieldWithTag(16, &view);
    TWDPrintController::insertFieldWithTag(-1, &view);
    EXPECT_EQ(view.toPlainText(), "Page %page% of");

    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &m) { messages << m; });
    TWDPrintController::insertFieldWithTag(0, &view);
    qInstallMessageHandler(previous);
    EXPECT_EQ(view.toPlainText(), "Page %page% of");
    EXPECT_EQ(messages, QStringList{"Field tag 0 is unknown"});
}

TEST(DeluxeFieldsTest, EditedTextKeepsTheStylingOfWhatWasNotRetyped)
{
    const TextAttributes bold{
        {NSFontAttributeName, QVariant::fromValue(Font("Helvetica-Bold", 9))}};
    AttributedString old("Plan ");
    old.appendAttributedString(AttributedString("%title%", bold));
    const AttributedString edited = TWDPrintSetupPanel::editedText(old, "My plan %title%");
    EXPECT_EQ(edited.string(), "My plan %title%");
    EXPECT_EQ(edited.attributesAtIndex(9), bold);
    const AttributedString fresh = TWDPrintSetupPanel::editedText(AttributedString(), "Hi");
    EXPECT_EQ(fresh.string(), "Hi");
    EXPECT_TRUE(fresh.attributesAtIndex(0).contains(NSFontAttributeName));
}

class DeluxePrintTest : public PrintFixture
{
protected:
    DeluxePrintTest()
    {
        auto shape = TWGraphic::make<TWRectangle>(Rect(0, 0, 160, 60));
        auto newRoot = TWMapBranch::createWithGraphic(shape, nullptr, map.get());
        map->setRoot(newRoot);
        root = newRoot;
        document->setShowPageFrames(true);
        placeDrawingAt(10, 10);
        const Rect b = root->mainGraphic()->bounds();
        // Two pages wide on the 500 x 700 sheet.
        root->mainGraphic()->setBounds(Rect(b.x(), b.y(), 800, b.height()));
        settle();
        undo->removeAllActions();
        controller.setPDFOutputPath(tempDir.filePath("printed.pdf"));
    }
    ~DeluxePrintTest() override
    {
        if (controller.isOpen())
            controller.cancel();
    }
    int printedPages()
    {
        auto pdf = Poppler::Document::load(tempDir.filePath("printed.pdf"));
        return pdf ? pdf->numPages() : -1;
    }

    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
    TWDPrintController controller;
};

TEST_F(DeluxePrintTest, TheSheetEditsACopyThatCancelForgets)
{
    const OrderedDictionary before = map->printSetupDictionary();
    controller.open(&printDocument);
    ASSERT_TRUE(controller.isOpen());
    ASSERT_TRUE(controller.sheet());
    EXPECT_TRUE(controller.sheet()->isVisible());
    controller.setValueForKey(true, "printFrame");
    controller.setValueForKey(true, "printCropMarks");
    EXPECT_TRUE(TWPrintSetup::boolValue(controller.printSetupDictionary(), "printFrame"));
    EXPECT_EQ(map->printSetupDictionary(), before) << "the map is untouched while editing";
    controller.cancel();
    settle();
    EXPECT_FALSE(controller.isOpen());
    EXPECT_EQ(map->printSetupDictionary(), before);
    EXPECT_EQ(undo->undoStepCount(), 0);
    EXPECT_TRUE(controller.printSetupDictionary().isEmpty());
}

TEST_F(DeluxePrintTest, KeysAreNotedAndMarginsFollow)
{
    controller.open(&printDocument);
    QSignalSpy changes(&controller, &TWDPrintController::valueChanged);
    controller.valueForKey("printFrame");
    controller.setValueForKey(true, "printCropMarks");
    EXPECT_EQ(controller.keys().mid(controller.keys().indexOf("printFrame"), 1),
              QStringList{"printFrame"});
    EXPECT_TRUE(controller.keys().contains("printCropMarks"));
    EXPECT_EQ(controller.valueForKey("leftMargin").toInt(), 10);
    EXPECT_EQ(controller.valueForKey("bottomMargin").toInt(), 10);
    QStringList changed;
    for (const auto &args : changes)
        changed << args.first().toString();
    EXPECT_TRUE(changed.contains("printCropMarks"));
    EXPECT_TRUE(changed.contains("topMargin"));

    controller.setValueForKey(true, "manualMargins");
    controller.setValueForKey(40, "leftMargin");
    controller.setValueForKey(false, "printCropMarks");
    EXPECT_EQ(controller.valueForKey("leftMargin").toInt(), 40) << "manual margins stay";
    controller.setValueForKey(QVariant(), "manualMargins");
    EXPECT_FALSE(controller.printSetupDictionary().contains("manualMargins"));
    EXPECT_EQ(controller.valueForKey("leftMargin").toInt(), 0);
}

TEST_F(DeluxePrintTest, PageCountsFollowTheSheetAndScalingToOnePage)
{
    controller.open(&printDocument);
    EXPECT_EQ(controller.pagesWide(), 2);
    EXPECT_EQ(controller.pagesHigh(), 1);
    controller.setValueForKey(true, "scaleToFitSinglePage");
    EXPECT_EQ(controller.valueForKey("pagesWide").toInt(), 1);
    EXPECT_EQ(controller.valueForKey("pagesHigh").toInt(), 1);
    controller.setValueForKey(false, "scaleToFitSinglePage");
    EXPECT_EQ(controller.pagesWide(), 2);
    // A wider margin on the sheet needs more pages before anything is stored.
    controller.setValueForKey(true, "manualMargins");
    controller.setValueForKey(200, "rightMargin");
    EXPECT_EQ(controller.pagesWide(), 3);
}

TEST_F(DeluxePrintTest, PrintStoresTheSettingsAsOneUndoStepAndPrints)
{
    const OrderedDictionary before = map->printSetupDictionary();
    QSignalSpy ran(&controller, &TWDPrintController::printOperationDidRun);
    controller.open(&printDocument);
    controller.setValueForKey(true, "printFrame");
    controller.sheet()->printButton()->click();
    EXPECT_FALSE(controller.isOpen());
    ASSERT_EQ(ran.size(), 1);
    EXPECT_TRUE(ran.first().first().toBool());
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_EQ(printedPages(), 2);
    EXPECT_TRUE(TWPrintSetup::boolValue(map->printSetupDictionary(), "printFrame"));
    EXPECT_EQ(TWPrintSetup::intValue(map->printSetupDictionary(), "leftMargin"), 1);
    settle();
    ASSERT_EQ(undo->undoStepCount(), 1);
    EXPECT_EQ(undo->undoActionName(), "Update print setup information");
    undo->undo();
    EXPECT_EQ(map->printSetupDictionary(), before);
}

TEST_F(DeluxePrintTest, ScalingToOnePagePrintsOnePage)
{
    controller.open(&printDocument);
    controller.setValueForKey(true, "scaleToFitSinglePage");
    controller.print();
    EXPECT_EQ(printedPages(), 1);
    EXPECT_LT(map->scaleAmount(), 100);
    const Rect d = drawing();
    const float s = map->scaleAmount() / 100;
    EXPECT_LE(s * d.maxX(), 500);
    EXPECT_NEAR(s * d.midX(), 250, 1) << "centred on the page";
    settle();
    EXPECT_EQ(undo->undoStepCount(), 1);
    undo->undo();
    EXPECT_EQ(map->scaleAmount(), 100);
}

TEST_F(DeluxePrintTest, TheBackgroundPrintsAsAskedAndTheMapIsLeftAlone)
{
    map->setBackgroundColor(Color::colorWithCalibratedRed(1, 0, 0));
    map->setDrawBackgroundOffScreen(false);
    map->setSelectedBranches({root});
    settle();
    undo->removeAllActions();
    for (const bool background : {true, false}) {
        SCOPED_TRACE(background);
        controller.open(&printDocument);
        controller.setValueForKey(background, "printBackground");
        controller.print();
        auto pdf = Poppler::Document::load(tempDir.filePath("printed.pdf"));
        ASSERT_TRUE(pdf);
        const QImage page = pdf->page(0)->renderToImage(18, 18);
        const QRgb middle = page.pixel(page.width() / 2, page.height() / 2);
        EXPECT_EQ(qRed(middle) > 200 && qGreen(middle) < 60, background);
        EXPECT_FALSE(map->drawBackgroundOffScreen());
        EXPECT_EQ(map->selectedGraphics().size(), 1);
    }
}

// However the sheet goes away, the next Print opens it again: Escape, its
// close button and its window closing under it end it as Cancel does.
TEST_F(DeluxePrintTest, ASheetGoneWithoutCancelLeavesPrintWorking)
{
    struct WindowedDocument : FakePrintDocument
    {
        QWidget *window = nullptr;
        QWidget *mainWindow() const override { return window; }
    };
    struct Case
    {
        const char *what;
        std::function<void(TWDPrintSetupPanel *, std::unique_ptr<QWidget> &)> end;
    };
    const Case cases[] = {
        {"Escape", [](TWDPrintSetupPanel *sheet, auto &) { QTest::keyClick(sheet, Qt::Key_Escape); }},
        {"close button", [](TWDPrintSetupPanel *sheet, auto &) { sheet->close(); }},
        {"window closed", [](TWDPrintSetupPanel *, auto &window) { window.reset(); }},
    };
    const OrderedDictionary before = map->printSetupDictionary();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto window = std::make_unique<QWidget>();
        window->show();
        WindowedDocument windowed;
        windowed.doc = document.get();
        windowed.window = window.get();
        controller.open(&windowed);
        ASSERT_TRUE(controller.sheet());
        controller.setValueForKey(true, "printFrame");
        c.end(controller.sheet(), window);
        settle();
        EXPECT_FALSE(controller.isOpen());
        EXPECT_EQ(map->printSetupDictionary(), before);
        controller.open(&printDocument);
        ASSERT_TRUE(controller.sheet()) << "Print does nothing after the sheet went away";
        EXPECT_TRUE(controller.sheet()->isVisible());
        controller.cancel();
        settle();
    }
}

TEST_F(DeluxePrintTest, AFailedPrintIsReported)
{
    QSignalSpy ran(&controller, &TWDPrintController::printOperationDidRun);
    controller.setPDFOutputPath(tempDir.filePath("no/such/folder/out.pdf"));
    controller.open(&printDocument);
    controller.print();
    ASSERT_EQ(ran.size(), 1);
    EXPECT_FALSE(ran.first().first().toBool());
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts().first().title, "The map could not be printed.");
    EXPECT_FALSE(alerts.alerts().first().message.isEmpty());
}

TEST_F(DeluxePrintTest, TheSheetsControlsWriteTheCopy)
{
    controller.open(&printDocument);
    TWDPrintSetupPanel *sheet = controller.sheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isModal());
    auto *frame = qobject_cast<QCheckBox *>(sheet->control("printFrame"));
    ASSERT_TRUE(frame);
    frame->click();
    EXPECT_TRUE(TWPrintSetup::boolValue(controller.printSetupDictionary(), "printFrame"));
    EXPECT_FALSE(sheet->control("leftMargin")->isEnabled()) << "automatic margins";

    sheet->headerTextView()->setPlainText("Page ");
    sheet->headerTextView()->moveCursor(QTextCursor::End);
    QComboBox *fields = sheet->headerFieldMenu();
    fields->setCurrentIndex(3);
    emit fields->activated(3);
    const std::optional<AttributedString> header = TWPrintSetup::attributedStringValue(
        controller.printSetupDictionary(), "headerAttributedString");
    ASSERT_TRUE(header);
    EXPECT_EQ(header->string(), "Page %page%");
    EXPECT_EQ(fields->currentIndex(), 0);
    EXPECT_GT(TWPrintSetup::intValue(controller.printSetupDictionary(), "topMargin"), 1);

    // The sheet reloads what the controller changes.
    controller.setValueForKey(false, "printFrame");
    EXPECT_FALSE(frame->isChecked());
    auto *wide = qobject_cast<QLabel *>(sheet->control("pagesWide"));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->text(), "2");
    sheet->cancelButton()->click();
    EXPECT_FALSE(controller.isOpen());
}

} // namespace
