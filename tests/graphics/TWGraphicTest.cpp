#include "BranchTestSupport.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "platform/GraphicNumberSet.h"

#include <QSet>
#include <cmath>
#include <functional>
#include <limits>
#include <thread>

using namespace BranchTest;

namespace {

class TWGraphicTest : public BranchFixture
{};

TEST_F(TWGraphicTest, DefaultsOfANewGraphic)
{
    auto g = TWGraphic::create();
    EXPECT_EQ(g->branch(), nullptr);
    EXPECT_EQ(g->bounds(), Rect());
    EXPECT_TRUE(g->drawsStroke());
    EXPECT_EQ(g->strokeWidth(), 1.0f);
    EXPECT_EQ(g->strokeStyle(), 1);
    EXPECT_FALSE(g->strokeColor());
    EXPECT_TRUE(g->drawsFill());
    EXPECT_FALSE(g->fillColor());
    EXPECT_FALSE(g->isBeingDragged());
    EXPECT_TRUE(g->inheritsShadow());
    EXPECT_FALSE(g->drawsShadow());
    EXPECT_FALSE(g->shadow());
    EXPECT_TRUE(g->inheritsFill());
    EXPECT_TRUE(g->inheritsStroke());
    EXPECT_EQ(g->internalOrdering(), 0);
    EXPECT_TRUE(GraphicNumberSet::shared().isInUse(g->graphicNumber()));
    EXPECT_EQ(g->originalGraphicNumber(), 0);
    EXPECT_FALSE(g->imageFilename());
    EXPECT_FALSE(g->flippedHorizontally());
    EXPECT_FALSE(g->flippedVertically());
    EXPECT_EQ(g->cornerMode(), 0);
    EXPECT_EQ(g->cornerAmount(), 10.0f);
    EXPECT_EQ(g->drawnZoomAmount(), 0);
    EXPECT_FALSE(g->manipulatingBounds());
    EXPECT_FALSE(g->moviePath());
    EXPECT_EQ(g->movieReferenceStyle(), 0);
    EXPECT_FALSE(g->shapeName());
    EXPECT_FALSE(g->updateNotificationsDisabled());
    EXPECT_FALSE(g->drawingBoundsValid());
    EXPECT_FALSE(g->linkBackData().isValid());
    EXPECT_EQ(g->animationStep(), 0);
    EXPECT_FALSE(g->styleID());
    // The LinkBack key is made once, on first request.
    const QString key = g->linkBackItemKey();
    EXPECT_FALSE(key.isEmpty());
    EXPECT_EQ(g->linkBackItemKey(), key);
}

TEST_F(TWGraphicTest, OutOfRangeBoundsAreReplacedNotClamped)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case
    {
        Rect requested, expected;
    } cases[] = {
        {Rect(0, 0, -5, 10), Rect(0, 0, 100, 10)},
        // A big map's layout reaches far beyond the old ten thousand.
        {Rect(10000.5f, -25000, 40000, 20), Rect(10000.5f, -25000, 40000, 20)},
        {Rect(3.5e6f, -3.5e6f, 120, 40), Rect(3.5e6f, -3.5e6f, 120, 40)},
        {Rect(1e7f, -1e7f, 1e7f, 0), Rect(1e7f, -1e7f, 1e7f, 0)},
        {Rect(1.1e7f, -1.1e7f, 1.1e7f, 20), Rect(100, 100, 100, 20)},
        {Rect(1e30f, 5, 10, -1e30f), Rect(100, 5, 10, 100)},
        {Rect(nan, 5, 10, nan), Rect(100, 5, 10, 100)},
        {Rect(inf, -inf, inf, -inf), Rect(100, 100, 100, 100)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TWGraphic::createWithBounds(c.requested)->bounds(), c.expected)
            << c.requested.toString().toStdString();
    }
}

// A graphic made with bounds is a new graphic given those bounds: the same
// corrected bounds, drawing state and flexi ends, and the same posts for
// whoever listens, whatever kind it is.
TEST_F(TWGraphicTest, AGraphicMadeWithBoundsIsANewOneGivenThem)
{
    struct Kind
    {
        const char *name;
        std::function<std::shared_ptr<TWGraphic>(Rect)> made;
        std::function<std::shared_ptr<TWGraphic>()> plain;
    };
    const auto kind = [](const char *name, auto tag) {
        using T = typename decltype(tag)::type;
        return Kind{name,
                    [](Rect r) -> std::shared_ptr<TWGraphic> { return TWGraphic::make<T>(r); },
                    []() -> std::shared_ptr<TWGraphic> { return TWGraphic::make<T>(); }};
    };
    const Kind kinds[] = {
        kind("graphic", std::type_identity<TWGraphic>()),
        kind("text area", std::type_identity<TWTextArea>()),
        kind("image", std::type_identity<TWImage>()),
        kind("rectangle", std::type_identity<TWRectangle>()),
        kind("line", std::type_identity<TWLine>()),
        kind("flexi", std::type_identity<TWFlexiBranch>()),
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Rect rects[] = {Rect(10, 20, 80, 40), Rect(), Rect(3, 4, 0, 0), Rect(-20000, 5, nan, 30),
                          Rect(1, 2, 3e9f, -4)};
    const QStringList listened[] = {
        {},
        {TWGraphic::GraphicWillChangeBoundsNotification},
        {TWGraphic::GraphicDidChangeBoundsNotification},
        {TWGraphic::UpdateTextEditorFrameNotification},
    };
    const auto flexiEnds = [](const TWGraphic &g) {
        QList<Point> ends;
        if (const auto *f = dynamic_cast<const TWFlexiBranch *>(&g))
            ends = {f->leftPoint(),    f->rightPoint(),    f->intermediate1(), f->intermediate2(),
                    f->innerEndLeft(), f->innerEndRight(), f->straightLeft(),  f->straightRight()};
        return ends;
    };
    for (const Kind &k : kinds) {
        for (const Rect r : rects) {
            for (const QStringList &names : listened) {
                SCOPED_TRACE(QStringLiteral("%1 %2 %3 heard by %4")
                                 .arg(k.name)
                                 .arg(r.x())
                                 .arg(r.width())
                                 .arg(names.join(' '))
                                 .toStdString());
                Recorder heard(names.isEmpty() ? QStringList{QStringLiteral("-")} : names);
                const std::shared_ptr<TWGraphic> made = k.made(r);
                const QStringList madePosts = heard.names();
                heard.clear();
                const std::shared_ptr<TWGraphic> plain = k.plain();
                plain->setBounds(r);
                if (auto *f = dynamic_cast<TWFlexiBranch *>(plain.get()))
                    f->initializePoints();
                EXPECT_EQ(madePosts, heard.names());
                EXPECT_EQ(made->bounds(), plain->bounds());
                EXPECT_EQ(made->drawingBoundsValid(), plain->drawingBoundsValid());
                EXPECT_EQ(made->drawingBounds(), plain->drawingBounds());
                EXPECT_EQ(flexiEnds(*made), flexiEnds(*plain));
            }
        }
    }
}

TEST_F(TWGraphicTest, GraphicNumbersAreUniqueAcrossThreadsAndDocuments)
{
    constexpr int threads = 8, perThread = 2000;
    std::vector<std::vector<long>> drawn(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&drawn, t] {
            for (int i = 0; i < perThread; ++i)
                drawn[size_t(t)].push_back(GraphicNumberSet::shared().generate());
        });
    }
    for (std::thread &worker : workers)
        worker.join();
    QSet<long> all;
    for (const auto &numbers : drawn)
        for (long n : numbers)
            all.insert(n);
    EXPECT_EQ(all.size(), threads * perThread);

    // Graphics of two documents never share a number either.
    auto otherDocument = TWMapsDoc::create();
    QSet<long> graphics;
    for (int i = 0; i < 2000; ++i)
        graphics.insert(TWGraphic::create()->graphicNumber());
    EXPECT_EQ(graphics.size(), 2000);
    EXPECT_FALSE(graphics.intersects(all));
}

TEST_F(TWGraphicTest, RedrawNotificationsDependOnTheRole)
{
    auto branch = child(root, 100, "b");
    auto attached = TWGraphic::create();
    attached->setBranch(branch.get());
    branch->insertObjectInLinkedGraphicsAtIndex(attached, 0);
    settle();
    const auto &shape = branch->mainGraphic();
    const QString subtree = "SubtreeNeedsRedrawNotification";
    const QString graphic = "GraphicNeedsRedrawNotification";
    const QString branchRedraw = "BranchNeedsRedrawNotification";
    struct Case
    {
        const char *setter;
        std::function<void(TWGraphic &)> change;
        QStringList forShape, forAttached;
    } cases[] = {
        {"fill colour",
         [](TWGraphic &g) { g.setFillColor(Color::colorWithDeviceWhite(0.5)); },
         {subtree},
         {graphic}},
        {"stroke colour",
         [](TWGraphic &g) { g.setStrokeColor(Color::colorWithDeviceWhite(0.5)); },
         {subtree},
         {graphic}},
        {"stroke width",
         [](TWGraphic &g) { g.setStrokeWidth(3); },
         {branchRedraw, branchRedraw},
         {graphic, graphic}},
        {"draws fill", [](TWGraphic &g) { g.setDrawsFill(false); }, {branchRedraw}, {graphic}},
        {"stroke style",
         [](TWGraphic &g) { g.setStrokeStyle(2); },
         {graphic, graphic},
         {graphic, graphic}},
        {"draws shadow",
         [](TWGraphic &g) { g.setDrawsShadow(true); },
         {subtree, subtree},
         {graphic, graphic}},
        {"corner amount",
         [](TWGraphic &g) { g.setCornerAmount(4); },
         {graphic, graphic},
         {graphic, graphic}},
        {"internal ordering", [](TWGraphic &g) { g.setInternalOrdering(7); }, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.setter);
        for (const auto &[target, expected] :
             {std::pair{shape, c.forShape}, std::pair{attached, c.forAttached}}) {
            Recorder recorder({subtree, graphic, branchRedraw});
            c.change(*target);
            EXPECT_EQ(recorder.names(), expected);
            for (const Notification &n : recorder.notifications) {
                const void *expectedSender = n.name == graphic
                                                 ? static_cast<const void *>(target.get())
                                                 : static_cast<const void *>(branch.get());
                EXPECT_EQ(n.sender, expectedSender);
            }
            // The same value again: nothing.
            recorder.clear();
            c.change(*target);
            EXPECT_TRUE(recorder.notifications.isEmpty());
        }
    }
    // Each change was one undoable registration; undo restores the defaults.
    undo->closeEventGroup();
    undo->undo();
    EXPECT_FALSE(shape->fillColor());
    EXPECT_EQ(attached->strokeWidth(), 1.0f);
    EXPECT_EQ(attached->internalOrdering(), 0);
}

TEST_F(TWGraphicTest, AShadowOnAShapeLeavesTheRestOfTheTreesDrawingBounds)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1");
    auto sibling = child(root, 300, "sibling");
    for (const auto &b : {root, a, a1, sibling})
        b->mainGraphic()->drawingBounds();
    auto attached = TWGraphic::create();
    attached->setBranch(a.get());
    attached->setShadow(Shadow());
    EXPECT_TRUE(sibling->mainGraphic()->drawingBoundsValid());
    // Shadows are inherited down the tree only: the subtree is redrawn and
    // measured again (ShadowScope tests it), the rest of the map keeps its
    // areas, so a change over a large selection stays linear.
    a->mainGraphic()->setShadow(Shadow());
    for (const auto &b : {root, sibling})
        EXPECT_TRUE(b->mainGraphic()->drawingBoundsValid());
}

TEST_F(TWGraphicTest, BoundsOfAShapeCarryTheBranchAlong)
{
    auto b = child(root, 100, "b");
    settle();
    const auto &shape = b->mainGraphic();
    Recorder recorder({TWGraphic::BranchDidResizeNotification});
    map->setOutlineNumbersNeedUpdating(false);

    // Moving: the boundary moves by the same offset.
    shape->setBounds(Rect(510, 95, 80, 30));
    EXPECT_EQ(layout->calls,
              QStringList({"move picture b", "reposition b from 3", "move boundary b by 10 -5"}));
    // The wedge to the root follows to the shape's new left edge.
    EXPECT_FLOAT_EQ(b->connectionGraphic()->bounds().maxX(), 510);
    EXPECT_TRUE(map->outlineNumbersNeedUpdating());
    ASSERT_EQ(recorder.notifications.size(), 1);
    EXPECT_EQ(recorder.notifications[0].sender, b.get());

    // Resizing: the boundary is recomputed.
    layout->calls.clear();
    shape->setBounds(Rect(510, 95, 90, 30));
    EXPECT_EQ(layout->calls.last(), "update boundary b for b");
    EXPECT_EQ(recorder.notifications.size(), 2);

    // The same bounds again: nothing at all, and still two steps' worth of undo.
    layout->calls.clear();
    shape->setBounds(Rect(510, 95, 90, 30));
    EXPECT_TRUE(layout->calls.isEmpty());
    undo->closeEventGroup();

    // Undo recomputes the boundary but announces no resize.
    layout->calls.clear();
    undo->undo();
    EXPECT_EQ(shape->bounds(), Rect(500, 100, 80, 30));
    EXPECT_EQ(layout->calls, QStringList({"boundary b", "boundary b"}));
    EXPECT_EQ(recorder.notifications.size(), 2);
}

TEST_F(TWGraphicTest, TheTextOfALineBranchResizesIt)
{
    // A shape that carries its text on top, as a line does.
    class OnTheLine : public TWGraphic
    {
    public:
        int getTextAlignmentMode() const override { return 0; }
    };
    auto shape = TWGraphic::make<OnTheLine>(Rect(500, 100, 80, 2));
    auto b = TWMapBranch::createWithGraphic(shape, root.get(), map.get());
    b->enclosedTextArea()->setString("b");
    settle();
    Recorder recorder(
        {TWGraphic::BranchDidResizeNotification, TWGraphic::UpdateTextEditorFrameNotification});
    const Rect text = b->enclosedTextArea()->bounds();
    b->enclosedTextArea()->setBounds(text.offsetBy(0, -3));
    EXPECT_TRUE(layout->calls.isEmpty());
    b->enclosedTextArea()->setIsEditing(true);
    b->enclosedTextArea()->setBounds(Rect(text.x(), text.y(), 50, 18));
    EXPECT_EQ(layout->calls, QStringList({"update boundary b for b"}));
    // The text area announces its frame after every bounds change, and the
    // base once more while it is being edited.
    EXPECT_EQ(recorder.names(),
              QStringList({"BranchDidResizeNotification", "UpdateTextEditorFrameNotification",
                           "BranchDidResizeNotification", "UpdateTextEditorFrameNotification",
                           "UpdateTextEditorFrameNotification"}));
}

TEST_F(TWGraphicTest, LinkLinesHearOfTheirEndsMoving)
{
    auto a = child(root, 100, "a"), b = child(root, 300, "b");
    auto line = TWGraphic::make<TWLinkLine>();
    line->setPrimitiveBranch(a.get());
    line->connect(a->mainGraphic(), b->mainGraphic());
    map->insertObjectInLinkLinesAtIndex(line, 0);
    settle();
    Recorder recorder({TWGraphic::GraphicWillChangeBoundsNotification,
                       TWGraphic::GraphicDidChangeBoundsNotification});
    // The text area answers for its shape's link lines too.
    a->enclosedTextArea()->setBounds(Rect(0, 0, 30, 20));
    // The line then follows with bounds of its own.
    ASSERT_EQ(recorder.notifications.size(), 6);
    EXPECT_EQ(recorder.notifications[4].sender, line.get());
    EXPECT_EQ(recorder.notifications[0].sender, line.get());
    EXPECT_EQ(recorder.notifications[1].sender, a->enclosedTextArea().get());
    EXPECT_EQ(recorder.notifications[2].sender, a->enclosedTextArea().get());
    EXPECT_EQ(recorder.notifications[3].sender, line.get());
    EXPECT_EQ(
        recorder.names(),
        QStringList({"GraphicWillChangeBoundsNotification", "GraphicWillChangeBoundsNotification",
                     "GraphicDidChangeBoundsNotification", "GraphicDidChangeBoundsNotification",
                     "GraphicWillChangeBoundsNotification", "GraphicDidChangeBoundsNotification"}));
    EXPECT_FALSE(line->bounds().isEmpty());

    // Anyone who names a graphic in those notifications makes its drawing bounds stale.
    line->setBounds(Rect(10, 10, 50, 5));
    line->drawingBounds();
    ASSERT_TRUE(line->drawingBoundsValid());
    NotificationCenter::defaultCenter().post(TWGraphic::GraphicDrawingBoundsInvalidNotification,
                                             line.get());
    EXPECT_FALSE(line->drawingBoundsValid());
}

TEST_F(TWGraphicTest, SetBranchRegistersWithBothBranches)
{
    auto a = child(root, 100, "a"), b = child(root, 300, "b");
    auto g = TWGraphic::create();
    g->setBranch(a.get());
    settle();
    const int steps = undo->undoStepCount();
    g->setBranch(b.get());
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps + 1);
    undo->undo();
    EXPECT_EQ(g->branch(), a.get());
    // A graphic that outlives its branch is left without one.
    auto loose = TWGraphic::create();
    {
        auto temporary = TWMapBranch::create();
        loose->setPrimitiveBranch(temporary.get());
        EXPECT_EQ(loose->branch(), temporary.get());
    }
    EXPECT_EQ(loose->branch(), nullptr);
    EXPECT_EQ(loose->undoManager(), nullptr);
}

TEST_F(TWGraphicTest, FreeingAGraphicKeepsThePackageData)
{
    const QString path = QStringLiteral("Images/Graphic1/picture.png");
    document->setObjectInCachedData(QByteArray("bytes"), path);
    auto b = child(root, 100, "b");
    {
        auto picture = TWGraphic::create();
        picture->setBranch(b.get());
        picture->setImageFilename(path);
        b->setEnclosedImage(picture);
        b->setEnclosedImage(nullptr);
    }
    settle();
    undo->removeAllActions();
    EXPECT_TRUE(document->objectForKeyInCachedData(path).has_value());
}

TEST_F(TWGraphicTest, RolesAndTheRemoveOfAnAttachedGraphic)
{
    auto b = child(root, 100, "b");
    auto attached = TWGraphic::create();
    attached->setBranch(b.get());
    b->insertObjectInLinkedGraphicsAtIndex(attached, 0);
    map->insertObjectInSelectedGraphicsAtIndex(attached, 0);
    EXPECT_TRUE(b->mainGraphic()->isMainGraphic());
    EXPECT_TRUE(b->enclosedTextArea()->isEnclosedText());
    EXPECT_TRUE(b->connectionGraphic()->isConnectionGraphic());
    EXPECT_FALSE(b->connectionGraphic()->canBeSelected());
    EXPECT_TRUE(attached->isLinkedGraphic());
    EXPECT_TRUE(attached->isSelected());
    EXPECT_EQ(b->mainGraphic()->handleColor(),
              Color::colorWithCalibratedRed(0.6, 68.0 / 255.0, 149.0 / 255.0, 1));
    EXPECT_EQ(attached->handleColor(), Color::colorWithDeviceRed(0.34, 0.57, 0.11, 1));
    attached->remove();
    EXPECT_FALSE(attached->isSelected());
    EXPECT_TRUE(b->linkedGraphics().isEmpty());
}

} // namespace
