#include "GoldenImage.h"
#include "PrintTestSupport.h"
#include "graphics/TWRectangle.h"
#include "mapdrawing/TWPrintView.h"
#include "render/DrawingContext.h"
#include "support/Font.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QPainter>
#include <QTranslator>
#include <poppler-qt6.h>

using namespace PrintTest;
using TWPrintPageBorder::FieldValues;

namespace {

// The "DadoZiz" table in another language.
class FrenchTable : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "DadoZiz") != 0)
            return {};
        const QHash<QString, QString> words{
            {"Mar", "mars."}, {"March", "mars"}, {"PM", "après-midi"}};
        return words.value(QString::fromUtf8(source));
    }
};

FieldValues sampleValues()
{
    FieldValues v;
    v.fileName = "/home/ann/Plans %dd%.tweb";
    v.page = 3;
    v.pageCount = 6;
    v.title = "Q%dd% goals";
    v.date = QDateTime(QDate(2026, 3, 7), QTime(14, 5));
    return v;
}

TEST(PrintFieldsTest, CodesAreReplacedInOnePassOverTheTypedText)
{
    FieldValues midnight = sampleValues();
    midnight.date = QDateTime(QDate(1999, 12, 31), QTime(0, 9));
    FieldValues unsaved = sampleValues();
    unsaved.fileName.clear();
    FieldValues atRoot = sampleValues();
    atRoot.fileName = "/x.tweb";
    struct Case
    {
        const char *text;
        FieldValues values;
        const char *printed;
    } const cases[] = {
        {"Page %page% of %pagecount%", sampleValues(), "Page 3 of 6"},
        {"%filename%", sampleValues(), "Plans %dd%.tweb"},
        {"%path%", sampleValues(), "/home/ann"},
        {"%title%", sampleValues(), "Q%dd% goals"},
        {"%dd%.%mm%.%yy% %yyyy%", sampleValues(), "07.03.26 2026"},
        {"%mmm% %M% %mm%", sampleValues(), "Mar March 03"},
        {"%hh%:%min% %ampm% (%HH%)", sampleValues(), "02:05 PM (14)"},
        {"%hh%:%min% %ampm% (%HH%)", midnight, "12:09 AM (00)"},
        {"%yy%", midnight, "99"},
        {"%Page% %PAGE% %page", sampleValues(), "%Page% %PAGE% %page"},
        {"%%dd%%", sampleValues(), "%07%"},
        {"[%filename%|%path%]", unsaved, "[|]"},
        {"%path%", atRoot, "/"},
        {"", sampleValues(), ""},
        {"no codes", sampleValues(), "no codes"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TWPrintPageBorder::stringPreparedForPrinting(AttributedString(c.text), c.values)
                      .string(),
                  c.printed)
            << c.text;
}

TEST(PrintFieldsTest, InsertedTextTakesTheCodesAttributes)
{
    const TextAttributes bold{
        {NSFontAttributeName, QVariant::fromValue(Font("Helvetica-Bold", 14))}};
    AttributedString text("Page ");
    text.appendAttributedString(AttributedString("%page%", bold));
    text.appendAttributedString(AttributedString("!"));
    const AttributedString printed =
        TWPrintPageBorder::stringPreparedForPrinting(text, sampleValues());
    ASSERT_EQ(printed.string(), "Page 3!");
    EXPECT_EQ(printed.attributesAtIndex(5), bold);
    EXPECT_TRUE(printed.attributesAtIndex(6).isEmpty());
}

TEST(PrintFieldsTest, NamesComeFromTheStringTable)
{
    FrenchTable table;
    QCoreApplication::installTranslator(&table);
    const QString printed = TWPrintPageBorder::stringPreparedForPrinting(
                                AttributedString("%mmm%|%M%|%ampm%"), sampleValues())
                                .string();
    QCoreApplication::removeTranslator(&table);
    EXPECT_EQ(printed, "mars.|mars|après-midi");
}

TEST(PrintFieldsTest, FieldTags)
{
    EXPECT_EQ(TWPrintPageBorder::fieldCodeForTag(0), "");
    EXPECT_EQ(TWPrintPageBorder::fieldCodeForTag(16), "");
    EXPECT_EQ(TWPrintPageBorder::fieldCodeForTag(1), "%filename%");
    EXPECT_EQ(TWPrintPageBorder::fieldCodeForTag(4), "%pagecount%");
    EXPECT_EQ(TWPrintPageBorder::fieldCodeForTag(15), "%ampm%");
    QSet<QString> codes;
    for (int tag = 1; tag <= 15; ++tag)
        codes.insert(TWPrintPageBorder::fieldCodeForTag(tag));
    EXPECT_EQ(codes.size(), 15);
}

TEST(PrintFieldsTest, ReplaceStringSearchesOnAfterWhatItInserted)
{
    struct Case
    {
        const char *text, *code, *replacement, *result;
    } const cases[] = {
        {"a%x%b%x%", "%x%", "1", "a1b1"}, {"%x%", "%x%", "[%x%]", "[%x%]"},
        {"%x%%x%", "%x%", "", ""},        {"", "%x%", "1", ""},
        {"%X%", "%x%", "1", "%X%"},       {"abc", "", "1", "abc"},
    };
    for (const Case &c : cases) {
        AttributedString text(c.text);
        TWPrintPageBorder::replaceString(text, c.code, c.replacement);
        EXPECT_EQ(text.string(), c.result) << c.text;
    }
}

// --- the border's geometry ---

TEST(PageBorderTest, CropMarksStartTwoPointsOffEachCorner)
{
    const QList<QLineF> marks = TWPrintPageBorder::cropMarks(Rect(36, 36, 540, 720));
    const QList<QLineF> expected{
        {34, 36, 26, 36},     {36, 34, 36, 26},     {34, 756, 26, 756}, {36, 758, 36, 766},
        {578, 756, 586, 756}, {576, 758, 576, 766}, {578, 36, 586, 36}, {576, 34, 576, 26},
    };
    EXPECT_EQ(marks, expected);
}

TEST(PageBorderTest, FrameLineWidth)
{
    const struct
    {
        QVariant width;
        float line;
    } cases[] = {{QVariant(), 2}, {0, 2}, {0.5, 2}, {1, 2}, {3, 6}, {"2.5", 5}};
    for (const auto &c : cases) {
        OrderedDictionary setup;
        if (c.width.isValid())
            setup.setValue("frameWidth", c.width);
        EXPECT_FLOAT_EQ(TWPrintPageBorder::frameLineWidth(setup), c.line)
            << c.width.toString().toStdString();
    }
}

TEST(PageBorderTest, HeaderAndFooterBands)
{
    const Rect page(36, 36, 540, 720);
    struct Case
    {
        const char *what;
        bool header;
        OrderedDictionary setup;
        float textHeight;
        std::optional<Size> image;
        Rect text;
        std::optional<Rect> picture;
    };
    const Case cases[] = {
        {"header on the page", true, {}, 14, {}, {36, 756, 540, 14}, {}},
        {"crop marks narrow it", true, {{"printCropMarks", true}}, 14, {}, {40, 756, 528, 14}, {}},
        {"a frame narrows it further and raises it",
         true,
         {{"printCropMarks", true}, {"printFrame", true}, {"frameWidth", 2}},
         14,
         {},
         {40, 758, 524, 14},
         {}},
        {"tall picture capped at 200, band as tall as the picture",
         true,
         {},
         14,
         Size(150, 300),
         {36, 756, 540, 300},
         Rect(36, 756, 100, 200)},
        {"centred picture",
         true,
         {{"headerImageAlignment", 1}},
         14,
         Size(100, 50),
         {36, 756, 540, 50},
         Rect(256, 756, 100, 50)},
        {"right-aligned picture",
         true,
         {{"headerImageAlignment", 2}},
         14,
         Size(100, 50),
         {36, 756, 540, 50},
         Rect(476, 756, 100, 50)},
        {"picture resized to the text",
         true,
         {{"resizeHeaderImageToTextSize", true}},
         14,
         Size(100, 50),
         {36, 756, 540, 14},
         Rect(36, 756, 28, 14)},
        {"footer below the page in the bottom margin",
         false,
         {{"bottomMargin", 20}},
         12,
         {},
         {36, 16, 540, 12},
         {}},
        {"footer lowered by the frame; its picture is not capped",
         false,
         {{"bottomMargin", 20}, {"printFrame", true}, {"frameWidth", 2}},
         12,
         Size(150, 300),
         {36, 14, 536, 300},
         Rect(36, 14, 150, 300)},
        {"picture without height resized to the text",
         false,
         {{"resizeFooterImageToTextSize", true}},
         12,
         Size(10, 0),
         {36, 36, 540, 12},
         Rect(36, 36, 0, 0)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const TWPrintPageBorder::BandLayout band =
            c.header ? TWPrintPageBorder::headerLayout(c.setup, page, c.textHeight, c.image)
                     : TWPrintPageBorder::footerLayout(c.setup, page, c.textHeight, c.image);
        EXPECT_EQ(band.textRect, c.text) << band.textRect.toString().toStdString();
        ASSERT_EQ(band.imageRect.has_value(), c.picture.has_value());
        if (c.picture) {
            EXPECT_EQ(*band.imageRect, *c.picture) << band.imageRect->toString().toStdString();
        }
    }
}

TEST(PageBorderTest, EmptyTextStillDrawsItsPicture)
{
    QImage square(20, 10, QImage::Format_ARGB32);
    square.fill(Qt::red);
    square.setDotsPerMeterX(2835);
    square.setDotsPerMeterY(2835);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    square.save(&buffer, "PNG");
    const OrderedDictionary setup{
        {"headerAttributedString", QVariant::fromValue(AttributedString("%filename%"))},
        {"headerImage", png}};
    QImage sheet = DrawingContext::makeImage(Size(100, 100), 1.0, Qt::white);
    {
        QPainter painter(&sheet);
        DrawingContext context(painter, false);
        TWPrintPageBorder::drawPageBorder(context, setup, Rect(10, 10, 80, 60), Size(100, 100),
                                          FieldValues());
    }
    // The picture stands on the page's top edge (y 70 up, 30 down), at the left.
    EXPECT_EQ(sheet.pixel(15, 25), qRgb(255, 0, 0));
    EXPECT_EQ(sheet.pixel(35, 25), qRgb(255, 255, 255));
    int dark = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            dark += qGray(sheet.pixel(x, y)) < 60;
    EXPECT_EQ(dark, 0) << "no text";
}

// --- printing a map into PDF ---

struct PrintedPDF
{
    std::unique_ptr<Poppler::Document> document;
    int pages() const { return document ? document->numPages() : 0; }
    QSizeF pageSize(int page) const { return document->page(page)->pageSizeF(); }
    QString text(int page) const { return document->page(page)->text(QRectF()); }
    QImage image(int page) const
    {
        document->setRenderHint(Poppler::Document::Antialiasing, true);
        document->setRenderHint(Poppler::Document::TextAntialiasing, true);
        return document->page(page)->renderToImage(72, 72);
    }
    // Where a word was printed, in points from the top left of the sheet.
    std::optional<QRectF> boxOf(int page, const QString &word) const
    {
        for (const auto &box : document->page(page)->textList())
            if (box->text() == word)
                return box->boundingBox();
        return std::nullopt;
    }
};

class PrintViewTest : public PrintFixture
{
protected:
    PrintViewTest()
    {
        auto shape = TWGraphic::make<TWRectangle>(Rect(0, 0, 160, 60));
        auto newRoot = TWMapBranch::createWithGraphic(shape, nullptr, map.get());
        newRoot->enclosedTextArea()->setString("Plans");
        map->setRoot(newRoot);
        root = newRoot;
        document->setShowPageFrames(true);
        settle();
    }

    PrintedPDF print(const TWPrintView::PrintOptions &options = {})
    {
        view.updatePrintCanvas();
        const QString path = tempDir.filePath("printed.pdf");
        QString error;
        EXPECT_TRUE(view.printToPDF(path, options, &error)) << error.toStdString();
        return {Poppler::Document::load(path)};
    }
    void setHeader(const QString &key, const QString &text)
    {
        OrderedDictionary setup = map->printSetupDictionary();
        setup.setValue(
            key, QVariant::fromValue(AttributedString(
                     text, {{NSFontAttributeName, QVariant::fromValue(Font("Helvetica", 12))}})));
        map->setPrintSetupDictionary(setup);
        controller.calculatePrintablePageSize();
    }

    TWPrintCanvasController controller{&printDocument};
    TWPrintView view{&controller};
};

TEST_F(PrintViewTest, PageCountsAndSizesForPapersAndMaps)
{
    struct Case
    {
        const char *what;
        OrderedDictionary paper;
        float drawingRight, drawingBottom; // where the drawing must reach, map units
        float scale;
        int pages;
        QSizeF sheet;
    };
    const Case cases[] = {
        {"one letter page", {{"NSPaperName", "na-letter"}}, 300, 300, 100, 1, {612, 792}},
        {"two letter pages wide", {{"NSPaperName", "na-letter"}}, 900, 300, 100, 2, {612, 792}},
        {"landscape letter, 2 x 2",
         {{"NSPaperName", "na-letter"}, {"NSOrientation", 1}},
         1000,
         700,
         100,
         4,
         {792, 612}},
        {"A4 with margins, 3 pages wide",
         {{"NSPaperName", "A4"},
          {"NSLeftMargin", 18},
          {"NSRightMargin", 18},
          {"leftMargin", 100},
          {"rightMargin", 100}},
         1000,
         300,
         100,
         3,
         {595, 842}},
        {"half scale fits one page", {{"NSPaperName", "na-letter"}}, 900, 1200, 50, 1, {612, 792}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        OrderedDictionary setup{{"leftMargin", 0},
                                {"rightMargin", 0},
                                {"topMargin", 0},
                                {"bottomMargin", 0},
                                {"frameWidth", 1}};
        for (const auto &[key, value] : c.paper)
            setup.setValue(key, value);
        map->setPrintSetupDictionary(setup);
        map->setScaleAmount(c.scale);
        placeDrawingAt(10, 10);
        const Rect d = drawing();
        const Rect b = root->mainGraphic()->bounds();
        root->mainGraphic()->setBounds(Rect(b.x(), b.y(), b.width() + c.drawingRight - d.maxX(),
                                            b.height() + c.drawingBottom - d.maxY()));
        settle();
        controller.calculatePrintablePageSize();
        const PrintedPDF pdf = print();
        ASSERT_EQ(pdf.pages(), c.pages);
        for (int page = 0; page < pdf.pages(); ++page) {
            EXPECT_NEAR(pdf.pageSize(page).width(), c.sheet.width(), 0.5);
            EXPECT_NEAR(pdf.pageSize(page).height(), c.sheet.height(), 0.5);
        }
    }
}

TEST_F(PrintViewTest, HeaderAndFooterFieldsAreFilledOnEachPage)
{
    setPaper(Size(500, 700), {{"topMargin", 30}, {"bottomMargin", 30}});
    setHeader("headerAttributedString", "%title% page %page% of %pagecount%");
    setHeader("footerAttributedString", "%filename% %dd%.%mm%.%yyyy%");
    printDocument.file = "/tmp/Work plans.tweb";
    // Three pages wide.
    placeDrawingAt(10, 10);
    const Rect b = root->mainGraphic()->bounds();
    root->mainGraphic()->setBounds(Rect(b.x(), b.y(), 1200, b.height()));
    settle();
    const PrintedPDF pdf = print(
        {.printBackground = std::nullopt, .date = QDateTime(QDate(2026, 12, 7), QTime(9, 30))});
    ASSERT_EQ(pdf.pages(), 3);
    for (int page = 0; page < 3; ++page) {
        const QString text = pdf.text(page);
        EXPECT_TRUE(text.contains(QStringLiteral("Plans page %1 of 3").arg(page + 1)))
            << text.toStdString();
        EXPECT_TRUE(text.contains("Work plans.tweb 07.12.2026")) << text.toStdString();
    }
    // The header stands on the page rectangle's top edge (30 points below
    // the sheet's top), the footer rises from the sheet's bottom edge.
    const std::optional<QRectF> header = pdf.boxOf(0, "page");
    const std::optional<QRectF> footer = pdf.boxOf(0, "07.12.2026");
    ASSERT_TRUE(header && footer);
    EXPECT_GT(header->top(), 30 - 14 - 1);
    EXPECT_LT(header->bottom(), 30 + 1);
    EXPECT_GT(footer->top(), 700 - 14 - 1);
    EXPECT_LT(footer->bottom(), 700 + 1);
}

TEST_F(PrintViewTest, EveryPageLandsAtTheSamePlaceOnTheSheet)
{
    setPaper(
        Size(500, 700),
        {{"NSLeftMargin", 20}, {"NSBottomMargin", 10}, {"leftMargin", 30}, {"bottomMargin", 40}});
    controller.calculatePrintablePageSize();
    view.updatePrintCanvas();
    EXPECT_EQ(view.locationOfPrintRect(Rect(1, 2, 3, 4)), Point(50, 50));
    EXPECT_EQ(view.locationOfPrintRect(Rect(900, 0, 3, 4)), Point(50, 50));
    EXPECT_EQ(view.rectForPage(1), Rect(0, 0, 450, 690 - 40));
    EXPECT_EQ(view.currentPage(), 1);
}

TEST_F(PrintViewTest, PrintedPageLooksRight)
{
    setPaper(Size(300, 260),
             {{"leftMargin", 24},
              {"rightMargin", 24},
              {"topMargin", 40},
              {"bottomMargin", 40},
              {"printFrame", true},
              {"frameWidth", 1.5},
              {"frameColor", QVariant::fromValue(Color::colorWithCalibratedRed(0.1, 0.3, 0.8))},
              {"printCropMarks", true},
              {"footerImageAlignment", 2}});
    setHeader("headerAttributedString", "%title% — %page%/%pagecount%");
    setHeader("footerAttributedString", "Footer");
    // A small red square as the footer picture, at the right.
    QImage square(16, 16, QImage::Format_ARGB32);
    square.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    square.save(&buffer, "PNG");
    OrderedDictionary setup = map->printSetupDictionary();
    setup.setValue("footerImage", png);
    map->setPrintSetupDictionary(setup);
    controller.calculatePrintablePageSize();
    placeDrawingAt(20, 30);
    const PrintedPDF pdf = print();
    ASSERT_EQ(pdf.pages(), 1);
    EXPECT_TRUE(GoldenImage::matches(pdf.image(0), "print_page_border", 24, 0.01));
}

TEST_F(PrintViewTest, AFailedPrintSaysWhy)
{
    view.updatePrintCanvas();
    QString error;
    EXPECT_FALSE(view.printToPDF(tempDir.filePath("missing/folder/out.pdf"), {}, &error));
    EXPECT_FALSE(error.isEmpty());

    TWPrintCanvasController idle(&printDocument);
    TWPrintView neverLaidOut(&idle);
    error.clear();
    EXPECT_FALSE(neverLaidOut.printToPDF(tempDir.filePath("out.pdf"), {}, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(PrintViewTest, FollowsUpdateNotifications)
{
    placeDrawingAt(10, 10);
    BranchTest::Recorder recorder({TWPrintCanvasController::DidUpdateNotification});
    QList<QRectF> sizes;
    QObject::connect(&view, &TWPrintView::printCanvasRectChanged,
                     [&sizes](const QRectF &r) { sizes.append(r); });
    NotificationCenter::defaultCenter().post(TWMap::PrintCanvasControllerNeedsUpdateNowNotification,
                                             document.get());
    ASSERT_EQ(sizes.size(), 1);
    EXPECT_EQ(sizes.first(), QRectF(0, 0, 500, 700));
    EXPECT_EQ(view.size(), QSize(500, 700));
    EXPECT_EQ(recorder.notifications.size(), 1);

    // Edits in a row ask for one update when idle.
    for (int i = 0; i < 3; ++i)
        NotificationCenter::defaultCenter().post(
            TWMap::PrintCanvasControllerNeedsUpdateWhenIdleNotification, document.get());
    EXPECT_EQ(sizes.size(), 1);
    NotificationQueue::defaultQueue().flush();
    EXPECT_EQ(sizes.size(), 2);

    // A new print setup (and its undo) lays the pages out again.
    setPaper(Size(500, 700), {{"leftMargin", 250}});
    ASSERT_GE(sizes.size(), 3);
    EXPECT_EQ(sizes.last(), QRectF(0, 0, 250, 700));
    EXPECT_EQ(controller.printablePageSize(), Size(250, 700));

    const qsizetype updates = sizes.size();
    view.setFollowsUpdateNotifications(false);
    NotificationCenter::defaultCenter().post(TWMap::PrintCanvasControllerNeedsUpdateNowNotification,
                                             document.get());
    EXPECT_EQ(sizes.size(), updates);

    EXPECT_TRUE(view.showsPageFrames());
    view.setShowsPageFrames(false);
    EXPECT_FALSE(document->showPageFrames());
}

} // namespace
