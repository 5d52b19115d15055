#include "PrintTestSupport.h"
#include "graphics/TWFlexiBranch.h"

#include <cmath>
#include <limits>

using namespace PrintTest;

namespace {

// --- the print setup dictionary and the page layout ---

TEST(PrintSetupTest, PageLayoutFromTheDictionary)
{
    struct Case
    {
        const char *what;
        OrderedDictionary setup;
        Size paper;
        Rect imageable;
    };
    const Case cases[] = {
        {"letter by name", {{"NSPaperName", "na-letter"}}, {612, 792}, {0, 0, 612, 792}},
        {"A4 by Qt's key", {{"NSPaperName", "A4"}}, {595, 842}, {0, 0, 595, 842}},
        {"size wins over name",
         {{"NSPaperName", "A4"}, {"NSPaperSize", "{500, 700}"}},
         {500, 700},
         {0, 0, 500, 700}},
        {"landscape by orientation",
         {{"NSPaperSize", "{612, 792}"}, {"NSOrientation", 1}},
         {792, 612},
         {0, 0, 792, 612}},
        {"landscape by its size", {{"NSPaperSize", "{792, 612}"}}, {792, 612}, {0, 0, 792, 612}},
        {"imageable area inside the printer's margins",
         {{"NSPaperSize", "{612, 792}"},
          {"NSLeftMargin", 18},
          {"NSRightMargin", "18"},
          {"NSTopMargin", 18.0},
          {"NSBottomMargin", 36}},
         {612, 792},
         {18, 36, 576, 738}},
        {"margins the sheet cannot hold are dropped",
         {{"NSPaperSize", "{500, 700}"}, {"NSLeftMargin", 600}, {"NSTopMargin", "nan"}},
         {500, 700},
         {0, 0, 500, 700}},
        {"unreadable size falls back to the name",
         {{"NSPaperSize", "{inf, -3}"}, {"NSPaperName", "Letter"}},
         {612, 792},
         {0, 0, 612, 792}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QPageLayout layout = TWPrintSetup::pageLayout(c.setup);
        const Size paper = TWPrintSetup::paperSize(layout);
        EXPECT_NEAR(paper.width, c.paper.width, 0.01);
        EXPECT_NEAR(paper.height, c.paper.height, 0.01);
        const Rect i = TWPrintSetup::imageableBounds(layout);
        EXPECT_NEAR(i.x(), c.imageable.x(), 0.01);
        EXPECT_NEAR(i.y(), c.imageable.y(), 0.01);
        EXPECT_NEAR(i.width(), c.imageable.width(), 0.01);
        EXPECT_NEAR(i.height(), c.imageable.height(), 0.01);
    }
}

TEST(PrintSetupTest, PageLayoutWrittenBackReadsTheSame)
{
    QPageLayout layout(QPageSize(QPageSize::Legal), QPageLayout::Landscape,
                       QMarginsF(10, 20, 30, 40), QPageLayout::Point);
    OrderedDictionary setup{{"leftMargin", 5}, {"frameWidth", 1}};
    TWPrintSetup::setPageLayout(setup, layout);
    EXPECT_EQ(setup.value("leftMargin").toInt(), 5) << "the system's own keys stay";
    EXPECT_EQ(setup.value("NSPaperName").toString(), "Legal");
    const QPageLayout back = TWPrintSetup::pageLayout(setup);
    EXPECT_EQ(back.orientation(), QPageLayout::Landscape);
    EXPECT_EQ(back.fullRect(QPageLayout::Point), layout.fullRect(QPageLayout::Point));
    EXPECT_EQ(back.paintRect(QPageLayout::Point), layout.paintRect(QPageLayout::Point));
}

TEST(PrintSetupTest, ValuesReadLeniently)
{
    const OrderedDictionary setup{{"a", "YES"}, {"b", "0"}, {"c", true},    {"d", "2.75"},
                                  {"e", "inf"}, {"f", 3.9}, {"g", "bogus"}, {"h", 1e40}};
    using namespace TWPrintSetup;
    EXPECT_TRUE(boolValue(setup, "a"));
    EXPECT_FALSE(boolValue(setup, "b"));
    EXPECT_TRUE(boolValue(setup, "c"));
    EXPECT_FLOAT_EQ(floatValue(setup, "d"), 2.75f);
    EXPECT_EQ(floatValue(setup, "e"), 0.0f);
    EXPECT_EQ(intValue(setup, "f"), 3);
    EXPECT_EQ(floatValue(setup, "g"), 0.0f);
    EXPECT_EQ(floatValue(setup, "h"), 0.0f);
    EXPECT_EQ(intValue(setup, "h"), std::numeric_limits<int>::max());
    EXPECT_FALSE(boolValue(setup, "absent"));
    EXPECT_FALSE(attributedStringValue(setup, "a"));
    EXPECT_TRUE(dataValue(setup, "a").isEmpty());
}

// --- the arithmetic ---

TEST(PrintCanvasArithmeticTest, PrintablePageSize)
{
    struct Case
    {
        const char *what;
        OrderedDictionary setup;
        Size expected;
    };
    const Case cases[] = {
        {"whole sheet", {{"NSPaperSize", "{500, 700}"}}, {500, 700}},
        {"imageable area less the margins",
         {{"NSPaperSize", "{612, 792}"},
          {"NSLeftMargin", 18},
          {"NSRightMargin", 18},
          {"NSTopMargin", 18},
          {"NSBottomMargin", 36},
          {"leftMargin", 10},
          {"rightMargin", "20"},
          {"topMargin", 30},
          {"bottomMargin", 40}},
         {546, 668}},
        {"10 points wide or less becomes 400",
         {{"NSPaperSize", "{500, 700}"}, {"leftMargin", 245}, {"rightMargin", 245}},
         {400, 700}},
        {"10 points high or less becomes 600",
         {{"NSPaperSize", "{500, 700}"}, {"topMargin", 400}, {"bottomMargin", 295}},
         {500, 600}},
        {"margins beyond the sheet",
         {{"NSPaperSize", "{500, 700}"}, {"leftMargin", 9999}},
         {400, 700}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Size size =
            TWPrintCanvasController::printablePageSize(TWPrintSetup::pageLayout(c.setup), c.setup);
        EXPECT_FLOAT_EQ(size.width, c.expected.width);
        EXPECT_FLOAT_EQ(size.height, c.expected.height);
    }
}

TEST(PrintCanvasArithmeticTest, PagesForExtent)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        double extent, page;
        int pages;
    } const cases[] = {
        {0, 500, 1},
        {-30, 500, 1},
        {1, 500, 1},
        {500, 500, 1},
        {1000, 500, 2},
        {1000.5, 500, 3},
        {1499.9, 500, 3},
        {nan, 500, 1},
        {1000, 0, 1},
        {1000, nan, 1},
        {1e12, 500, TWPrintCanvasController::maximumPages},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TWPrintCanvasController::pagesForExtent(c.extent, c.page), c.pages)
            << c.extent << " over " << c.page;
}

TEST(PrintCanvasArithmeticTest, OffsetThatPutsTheDrawingOnTheFirstPage)
{
    struct Case
    {
        double edge;
        bool frames;
        double offset;
    } const cases[] = {
        // Whole pages with page frames.
        {-20, true, 500},
        {-500, true, 500}, // ends on the first page, not the second
        {-501, true, 1000},
        {0, true, 0},
        {499, true, 0},
        {500, true, -500}, // an edge on the boundary starts an empty column otherwise
        {1200, true, -1000},
        {std::numeric_limits<double>::infinity(), true, 0},
        // Only out of negative space without them.
        {-20, false, 20},
        {1200, false, 0},
        {0, false, 0},
        // An edge a rounding error before the corner stays where it is.
        {-1.2e-15, true, 0},
        {-0.0004, false, 0},
        {-0.02, false, 0.02},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(TWPrintCanvasController::offsetForEdge(c.edge, 500, c.frames), c.offset)
            << c.edge << (c.frames ? " with" : " without") << " frames";
}

TEST(PrintCanvasArithmeticTest, PageRectanglesRunRowByRowFromTheTop)
{
    const Size page(100, 200);
    struct Case
    {
        int page;
        Rect rect;
    } const cases[] = {
        {1, {0, 0, 100, 200}},   {2, {100, 0, 100, 200}},   {3, {200, 0, 100, 200}},
        {4, {0, 200, 100, 200}}, {6, {200, 200, 100, 200}}, {0, {0, 0, 100, 200}},
        {-7, {0, 0, 100, 200}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TWPrintCanvasController::rectForPage(c.page, 3, page), c.rect) << c.page;
}

// --- the controller on a map ---

class PrintCanvasControllerTest : public PrintFixture
{};

TEST_F(PrintCanvasControllerTest, MovesTheMapOutOfEmptyPages)
{
    struct Case
    {
        bool frames;
        float scale;
        float edge;         // the drawing's left and top edge, map units
        float expectedMove; // map units
    } const cases[] = {
        {true, 100, -20, 500},  {true, 100, 1200, -1000}, {true, 100, 500, -500},
        {true, 100, -500, 500}, {true, 100, 250, 0},      {false, 100, -20, 20},
        {false, 100, 1200, 0},  {true, 50, -20, 1000},    {true, 50, 2400, -2000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.edge << " at " << c.scale << "% frames " << c.frames);
        document->setShowPageFrames(c.frames);
        map->setScaleAmount(c.scale);
        placeDrawingAt(c.edge, c.edge);
        TWPrintCanvasController controller(&printDocument);
        ASSERT_EQ(controller.printablePageSize(), Size(500, 700));
        const float vertical =
            TWPrintCanvasController::offsetForEdge(c.scale / 100 * c.edge, 700, c.frames) /
            (c.scale / 100);
        const Point moved = controller.removeUnusedAreaFromMap(map.get());
        EXPECT_FLOAT_EQ(moved.x, c.expectedMove);
        EXPECT_FLOAT_EQ(moved.y, vertical);
        EXPECT_NEAR(drawing().x(), c.edge + c.expectedMove, 0.01);
        EXPECT_NEAR(drawing().y(), c.edge + vertical, 0.01);
        settle();
        if (c.expectedMove != 0 || vertical != 0) {
            ASSERT_EQ(undo->undoStepCount(), 1) << "the tree moves as one step";
            undo->undo();
            EXPECT_NEAR(drawing().x(), c.edge, 0.01);
        } else {
            EXPECT_EQ(undo->undoStepCount(), 0) << "nothing to move touches nothing";
        }
    }
}

// Flexi labels measured ahead on worker threads give the extent a map built
// alike measures alone; a map with few labels to measure, or none left,
// starts no workers.
TEST_F(PrintCanvasControllerTest, LabelsMeasuredAheadGiveTheExtentMeasuredAlone)
{
    auto grow = [](TWMap &in, TWMapBranch &under, int count, const QString &name) {
        for (int i = 0; i < count; ++i) {
            const Rect bounds(float(20 + i % 7 * 160), float(400 + i * 40), float(60 + i % 5 * 30),
                              30);
            auto b =
                TWMapBranch::createWithGraphic(TWGraphic::make<TWFlexiBranch>(bounds), &under, &in);
            b->enclosedTextArea()->setBounds(bounds.insetBy(2, 8));
            std::static_pointer_cast<TWFlexiBranch>(b->mainGraphic())->initializePoints();
            b->enclosedTextArea()->setString(
                QStringLiteral("%1 %2 ").arg(name).arg(i).repeated(1 + i % 6));
        }
    };
    const int many = int(TWPrintCanvasController::LabelsWorthMeasuringAhead) + 9;
    struct Case
    {
        const char *what;
        int flexis;
        bool measuredBefore;
        bool ahead;
    } const cases[] = {
        {"few labels", 5, false, false},
        {"many labels", many, false, true},
        {"many labels measured before", many, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto alone = TWMap::create(document.get());
        alone->setLayoutServices(layout);
        alone->branchDisplaySettingsForUpdate() = map->branchDisplaySettings();
        auto aloneRoot = TWMapBranch::createWithGraphic(
            TWGraphic::createWithBounds(root->mainGraphic()->bounds()), nullptr, alone.get());
        alone->setRoot(aloneRoot);
        for (const std::shared_ptr<TWMapBranch> &child : TWMapBranch::BranchList(root->children()))
            child->deparent();
        grow(*map, *root, c.flexis, c.what);
        grow(*alone, *aloneRoot, c.flexis, c.what);
        if (c.measuredBefore)
            map->getBoundingDrawingRectForAllGraphics();

        const std::unique_ptr<TWTextLayout::Prefetch> ahead =
            TWPrintCanvasController::measureLabelsAhead(map.get());
        ASSERT_EQ(ahead != nullptr, c.ahead);
        if (ahead)
            ahead->finish();
        const Rect extent = map->getBoundingDrawingRectForAllGraphics();
        if (ahead)
            EXPECT_EQ(ahead->answered(), c.flexis);
        EXPECT_EQ(extent, alone->getBoundingDrawingRectForAllGraphics());
        EXPECT_FALSE(TWPrintCanvasController::measureLabelsAhead(map.get())) << "none left";
        settle();
    }
}

TEST_F(PrintCanvasControllerTest, TheEditorFollowsItsBranchOnlyInThisMap)
{
    document->setShowPageFrames(true);
    placeDrawingAt(-20, 10);
    TWPrintCanvasController controller(&printDocument);

    auto other = TWMap::create(document.get());
    auto stranger = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds({0, 0, 10, 10}),
                                                   nullptr, other.get());
    printDocument.editing = stranger->enclosedTextArea().get();
    controller.removeUnusedAreaFromMap(map.get());
    EXPECT_TRUE(printDocument.editorMoves.isEmpty());

    placeDrawingAt(-20, 10);
    printDocument.editing = root->enclosedTextArea().get();
    controller.removeUnusedAreaFromMap(map.get());
    ASSERT_EQ(printDocument.editorMoves.size(), 1);
    EXPECT_EQ(printDocument.editorMoves.first(), Point(500, 0));
}

// Typing a label past the map's edge leaves the map where it is until the
// editing ends: moving every branch at every keystroke is what a big map
// cannot afford. A text edited on another map holds nothing back.
TEST_F(PrintCanvasControllerTest, AnUpdateWhileALabelIsEditedLeavesTheMapWhereItIs)
{
    auto other = TWMap::create(document.get());
    auto stranger = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds({0, 0, 10, 10}),
                                                   nullptr, other.get());
    struct Case
    {
        const char *what;
        const TWTextArea *editing;
        bool waits;
    } const cases[] = {
        {"nothing edited", nullptr, false},
        {"the root's label edited", root->enclosedTextArea().get(), true},
        {"a label of another map edited", stranger->enclosedTextArea().get(), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        document->setShowPageFrames(false);
        placeDrawingAt(-20, 10);
        TWPrintCanvasController controller(&printDocument);
        printDocument.editing = c.editing;
        controller.updateCanvasSizeForMap(map.get());
        EXPECT_EQ(controller.trimWaitsForEditing(), c.waits);
        EXPECT_FLOAT_EQ(drawing().x(), c.waits ? -20.0f : 0.0f);
        // The canvas still reaches the drawing's far edge.
        EXPECT_GE(map->canvasSize().width, drawing().maxX());
        // Once editing has ended, the next update moves it.
        printDocument.editing = nullptr;
        controller.updateCanvasSizeForMap(map.get());
        EXPECT_FALSE(controller.trimWaitsForEditing());
        EXPECT_FLOAT_EQ(drawing().x(), 0.0f);
    }
}

TEST_F(PrintCanvasControllerTest, CountsPagesAndSizesTheCanvasInWholePages)
{
    document->setShowPageFrames(true);
    struct Case
    {
        float scale;
        Size drawingSize; // placed at (0, 0)
        int wide, high;
    } const cases[] = {
        {100, {200, 80}, 1, 1},  {100, {1000, 80}, 2, 1},  {100, {1001, 1401}, 3, 3},
        {200, {300, 400}, 2, 2}, {50, {1000, 1400}, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.drawingSize.toString().toStdString() << " at " << c.scale);
        map->setScaleAmount(c.scale);
        // Stretch the root so that its drawing has the size asked for.
        placeDrawingAt(0, 0);
        const Rect d = drawing();
        const Rect b = root->mainGraphic()->bounds();
        root->mainGraphic()->setBounds(Rect(b.x(), b.y(),
                                            b.width() + c.drawingSize.width - d.width(),
                                            b.height() + c.drawingSize.height - d.height()));
        placeDrawingAt(0, 0);
        ASSERT_NEAR(drawing().width(), c.drawingSize.width, 0.01);

        TWPrintCanvasController controller(&printDocument);
        EXPECT_EQ(controller.pagesWide(), 0) << "before the first update";
        controller.updateCanvasSizeForMap(map.get());
        EXPECT_EQ(controller.pagesWide(), c.wide);
        EXPECT_EQ(controller.pagesHigh(), c.high);
        EXPECT_EQ(controller.numberOfPages(), c.wide * c.high);
        EXPECT_EQ(controller.printCanvasRect(), Rect(0, 0, c.wide * 500.0f, c.high * 700.0f));
        EXPECT_EQ(map->canvasSize(),
                  Size(c.wide * 500.0f / (c.scale / 100), c.high * 700.0f / (c.scale / 100)));
        EXPECT_EQ(controller.rectForPage(controller.numberOfPages()),
                  Rect((c.wide - 1) * 500.0f, (c.high - 1) * 700.0f, 500, 700));
    }
}

// Pages and canvas follow the drawing where it ends up: measured again after
// the map moved out of empty pages, as a controller finds them afterwards.
TEST_F(PrintCanvasControllerTest, PagesAndCanvasFollowTheDrawingWhereverItEndsUp)
{
    struct Case
    {
        bool frames;
        float edge; // the drawing's left and top edge before the update
    } const cases[] = {{true, -20}, {true, 1200}, {true, 250}, {false, -900}, {false, 30}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.edge << " frames " << c.frames);
        document->setShowPageFrames(c.frames);
        printDocument.visible = Size(300, 200);
        placeDrawingAt(c.edge, c.edge);
        TWPrintCanvasController controller(&printDocument);
        controller.updateCanvasSizeForMap(map.get());
        const Rect after = drawing();
        // Where the drawing now is, nothing is left to move.
        TWPrintCanvasController again(&printDocument);
        EXPECT_EQ(again.removeUnusedAreaFromMap(map.get()), Point());
        const int wide = TWPrintCanvasController::pagesForExtent(after.maxX(), 500);
        const int high = TWPrintCanvasController::pagesForExtent(after.maxY(), 700);
        EXPECT_EQ(controller.pagesWide(), wide);
        EXPECT_EQ(controller.pagesHigh(), high);
        const Rect expected =
            c.frames ? Rect(0, 0, wide * 500.0f, high * 700.0f)
                     : Rect(0, 0, std::max(300.0f, after.maxX()), std::max(200.0f, after.maxY()));
        EXPECT_EQ(controller.printCanvasRect(), expected);
        EXPECT_EQ(map->canvasSize(), expected.size);
    }
}

TEST_F(PrintCanvasControllerTest, WithoutPageFramesTheCanvasFillsTheViewAndReachesTheDrawing)
{
    document->setShowPageFrames(false);
    placeDrawingAt(30, 40);
    const Rect d = drawing();
    TWPrintCanvasController controller(&printDocument);
    printDocument.visible = Size(2000, 10);
    controller.updateCanvasSizeForMap(map.get());
    EXPECT_EQ(controller.printCanvasRect(), Rect(0, 0, 2000, d.maxY()));
    printDocument.scale = 200;
    EXPECT_EQ(controller.printCanvasRect(), Rect(0, 0, 2000, 2 * d.maxY()));
    controller.updateCanvasSizeForMap(map.get());
    EXPECT_EQ(map->canvasSize(), Size(1000, d.maxY()));
}

// Moving a map onto the canvas must never carry a branch past the model's
// coordinate range, where its place would be replaced and lost.
TEST_F(PrintCanvasControllerTest, MovingOntoTheCanvasKeepsEveryBranchWhereItWas)
{
    struct Case
    {
        const char *what;
        bool frames;
        float top;    // the far branch's top, left of the origin, in parts of the range
        float bottom; // the other far branch's top
        bool whole;   // whether the drawing can start at the canvas's corner
    } const cases[] = {
        {"fits", false, -0.3f, 0.5f, true},
        {"fits with page frames", true, -0.3f, 0.5f, true},
        {"taller than the range from the origin", false, -0.7f, 0.6f, false},
        {"taller, with page frames", true, -0.7f, 0.6f, false},
        {"already at the range's far edge", false, -0.05f, 0.99f, false},
    };
    // Places in parts of the range, so that the cases follow the limit.
    const float range = TWGraphic::MaximumCoordinate;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        document->setShowPageFrames(c.frames);
        root = newBranch(nullptr, Rect(300, 200, 100, 40), "root");
        map->setRoot(root);
        auto high = child(root, c.top * range, "high", c.top * range);
        auto low = child(root, c.bottom * range, "low", 700);
        settle();
        undo->removeAllActions();
        QList<Rect> before;
        for (const auto &b : map->allBranches())
            before << b->mainGraphic()->bounds();
        const auto bitsOfAll = [&] { return BranchTest::boundsBitsOfAll(*map); };
        const auto bitsBefore = bitsOfAll();
        TWPrintCanvasController controller(&printDocument);
        controller.updateCanvasSizeForMap(map.get());
        const Rect after = drawing();
        EXPECT_LE(after.maxX(), TWGraphic::MaximumCoordinate);
        EXPECT_LE(after.maxY(), TWGraphic::MaximumCoordinate);
        if (c.whole) {
            EXPECT_GE(after.x(), 0);
            EXPECT_GE(after.y(), 0);
        }
        // Every branch moved by the same offset: none was put elsewhere.
        const Point moved(root->mainGraphic()->bounds().x() - before[0].x(),
                          root->mainGraphic()->bounds().y() - before[0].y());
        const auto branches = map->allBranches();
        for (int i = 0; i < branches.size(); ++i)
            EXPECT_EQ(branches[i]->mainGraphic()->bounds(), before[i].offsetBy(moved.x, moved.y))
                << i;
        // Nothing is moved again.
        EXPECT_EQ(controller.removeUnusedAreaFromMap(map.get()), Point());
        // The move undone and redone puts every graphic back exactly, those
        // at the range's edge and those the offset back would miss included.
        settle();
        const auto bitsMoved = bitsOfAll();
        ASSERT_EQ(undo->undoStepCount(), 1);
        undo->undo();
        EXPECT_EQ(bitsOfAll(), bitsBefore);
        undo->redo();
        EXPECT_EQ(bitsOfAll(), bitsMoved);
    }
}

// An update reads the extent once; nothing stale is left once it ends.
TEST_F(PrintCanvasControllerTest, AHeldExtentLastsOnlyAsLongAsItsHold)
{
    struct Case
    {
        bool frames;
        float farOut; // where a branch then appears, past all before it
    } const cases[] = {{false, 2600}, {true, 6000}};
    for (const Case &c : cases) {
        const bool frames = c.frames;
        SCOPED_TRACE(frames ? "page frames" : "no page frames");
        document->setShowPageFrames(frames);
        printDocument.visible = Size(300, 200);
        placeDrawingAt(-40, 30);
        TWPrintCanvasController controller(&printDocument);
        Rect held;
        {
            const TWPrintCanvasController::ExtentHold outer(controller);
            {
                const TWPrintCanvasController::ExtentHold inner(controller);
                controller.updateCanvasSizeForMap(map.get());
            }
            held = controller.printCanvasRect();
            TWPrintCanvasController fresh(&printDocument);
            fresh.updateCanvasSizeForMap(map.get());
            EXPECT_EQ(held, fresh.printCanvasRect()) << "the same as measured afresh";
        }
        // Once released, a branch far out widens the canvas.
        child(root, 100, "far", c.farOut);
        settle();
        if (frames) // pages are counted by an update
            controller.updateCanvasSizeForMap(map.get());
        EXPECT_GT(controller.printCanvasRect().width(), held.width());
    }
}

TEST_F(PrintCanvasControllerTest, AMapWithNothingDrawnHasOnePage)
{
    map->setRoot(nullptr);
    settle();
    TWPrintCanvasController controller(&printDocument);
    controller.updateCanvasSizeForMap(map.get());
    EXPECT_EQ(controller.pagesWide(), 1);
    EXPECT_EQ(controller.pagesHigh(), 1);
    controller.updateCanvasSizeForMap(nullptr);
    EXPECT_EQ(controller.removeUnusedAreaFromMap(nullptr), Point());
}

TEST_F(PrintCanvasControllerTest, PrintablePageFollowsTheMapsMargins)
{
    TWPrintCanvasController controller(&printDocument);
    setPaper(Size(500, 700), {{"leftMargin", 50}, {"topMargin", 100}});
    EXPECT_EQ(controller.printablePageSize(), Size(500, 700)) << "until recalculated";
    controller.calculatePrintablePageSize();
    EXPECT_EQ(controller.printablePageSize(), Size(450, 600));
}

} // namespace
