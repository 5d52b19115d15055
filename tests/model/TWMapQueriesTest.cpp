#include "BranchTestSupport.h"
#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWChildConnection.h"
#include "graphics/TWMapUtilities.h"
#include "model/TWMapDrawingServices.h"

#include <functional>
#include <vector>

using namespace BranchTest;

namespace {

// Answers the collapse signs, icon rectangles and boundary outlines of
// named branches.
struct ClickLayout : RecordingLayout
{
    QHash<QString, Rect> signs, icons, boundaries;
    Rect boundsOfShowAndHideImage(TWMapBranch &b) override { return signs.value(nameOf(b)); }
    Rect rectOfRightEndGraphics(TWMapBranch &b) override { return icons.value(nameOf(b)); }
    std::optional<Rect> boundaryPathBounds(TWMapBranch &b) override
    {
        if (!boundaries.contains(nameOf(b)))
            return std::nullopt;
        return boundaries.value(nameOf(b));
    }
};

class TWMapQueriesTest : public BranchFixture
{
protected:
    TWMapQueriesTest() { map->setLayoutServices(clicks); }
    std::shared_ptr<ClickLayout> clicks = std::make_shared<ClickLayout>();
};

TEST_F(TWMapQueriesTest, LookupByNumberFollowsTheTree)
{
    auto a = child(root, 100, "a");
    const long number = a->mainGraphic()->graphicNumber();
    EXPECT_EQ(map->findGraphicWithGraphicNumber(number), a->mainGraphic());
    EXPECT_EQ(map->findGraphicWithGraphicNumber(-5), nullptr);

    // Graphics added later, renumbered or removed are found as they are now.
    auto b = child(a, 200, "b");
    EXPECT_EQ(map->findGraphicWithGraphicNumber(b->enclosedTextArea()->graphicNumber()),
              b->enclosedTextArea());
    b->mainGraphic()->setGraphicNumber(12345);
    EXPECT_EQ(map->findGraphicWithGraphicNumber(12345), b->mainGraphic());
    a->removeChild(b);
    EXPECT_EQ(map->findGraphicWithGraphicNumber(12345), nullptr);
    auto line = TWGraphic::make<TWLinkLine>();
    line->setPrimitiveBranch(a.get());
    map->insertObjectInLinkLinesAtIndex(line, 0);
    EXPECT_EQ(map->findGraphicWithGraphicNumber(line->graphicNumber()), line);
}

TEST_F(TWMapQueriesTest, ClicksGoToLinkLinesSignsGraphicsThenBoundaries)
{
    auto a = child(root, 100, "a", 500);
    a->mainGraphic()->setBounds(Rect(500, 100, 80, 30));
    // A link line between two shapes either side of a, crossing it diagonally.
    auto left = child(root, 60, "left", 300), right = child(root, 160, "right", 700);
    auto line = TWGraphic::make<TWLinkLine>();
    line->setPrimitiveBranch(left.get());
    line->connect(left->mainGraphic(), right->mainGraphic());
    line->updateBounds(); // notes where the ends are
    line->calculateDefaultIntermediatePoints();
    line->updateBounds();
    map->insertObjectInLinkLinesAtIndex(line, 0);

    // A link line where it crosses a shape: the curve passes through the
    // middle of its two control points.
    EXPECT_EQ(map->graphicUnderPoint({540, 127.5f}, nullptr), line);
    // Elsewhere on the shape: the text area (front) or the shape.
    EXPECT_EQ(map->graphicUnderPoint({570, 125}, nullptr)->branch(), a.get());
    EXPECT_EQ(map->graphicUnderPoint({570, 125}, a.get()), nullptr);

    // A collapse sign answers for its branch's shape...
    clicks->signs.insert("a", Rect(600, 110, 10, 10));
    a->invalidateSubtreeDrawingExtent(); // the layout moved it behind the map's back
    EXPECT_EQ(map->graphicUnderPoint({603, 113}, nullptr), a->mainGraphic());
    // ... unless a selected graphic of it has a knob there.
    a->enclosedTextArea()->setBounds(Rect(505, 105, 98, 16));
    map->insertObjectInSelectedGraphicsAtIndex(a->enclosedTextArea(), 0);
    EXPECT_EQ(map->graphicUnderPoint({603, 113}, nullptr), a->enclosedTextArea());
    clicks->signs.clear();

    // Nothing hit: the innermost boundary containing the point, when shown.
    clicks->boundaries.insert("root", Rect(0, 0, 1000, 1000));
    clicks->boundaries.insert("a", Rect(400, 50, 300, 300));
    root->setHasBoundary(true);
    a->setHasBoundary(true);
    map->setShowBoundaries(false);
    EXPECT_EQ(map->graphicUnderPoint({450, 300}, nullptr), nullptr);
    map->setShowBoundaries(true);
    EXPECT_EQ(map->graphicUnderPoint({450, 300}, nullptr), a->boundaryProxy());
    EXPECT_EQ(map->graphicUnderPoint({50, 50}, nullptr), root->boundaryProxy());
}

TEST_F(TWMapQueriesTest, DrawingOrderPutsSelectedSubtreesFirst)
{
    auto a = child(root, 100, "a"), b = child(root, 300, "b");
    auto line = TWGraphic::make<TWLinkLine>();
    line->setPrimitiveBranch(a.get());
    map->insertObjectInLinkLinesAtIndex(line, 0);
    const auto printing = map->graphicsOrderedForPrinting(false);
    EXPECT_EQ(printing.first(), line);
    EXPECT_EQ(printing.indexOf(root->mainGraphic()), printing.indexOf(a->mainGraphic()) - 2);

    map->insertObjectInSelectedGraphicsAtIndex(b->mainGraphic(), 0);
    const auto drawing = map->graphicsOrderedForDrawing(false);
    EXPECT_EQ(drawing.first(), b->enclosedTextArea());
    // b's title connection moves right behind the root's shape.
    EXPECT_EQ(drawing.indexOf(b->connectionGraphic()), drawing.indexOf(root->mainGraphic()) + 1);
    EXPECT_EQ(map->graphics(), drawing);
}

// The graphics a whole-map pass visits are those of the printing list, in
// its order, whatever is hidden, attached or shown.
TEST_F(TWMapQueriesTest, EachGraphicForPrintingFollowsThePrintingList)
{
    auto a = child(root, 100, "a"), b = child(root, 300, "b");
    auto a1 = child(a, 120, "a1"), a2 = child(a, 140, "a2");
    auto b1 = child(b, 320, "b1");
    for (const int ordering : {-1, 1, 0}) {
        auto attached = TWGraphic::make<TWGraphic>();
        attached->setInternalOrdering(ordering);
        b->insertObjectInLinkedGraphicsAtIndex(attached, 0);
    }
    root->insertObjectInLinkedGraphicsAtIndex(TWGraphic::make<TWGraphic>(), 0);
    auto line = TWGraphic::make<TWLinkLine>();
    line->setPrimitiveBranch(a1.get());
    map->insertObjectInLinkLinesAtIndex(line, 0);
    auto b11 = child(b1, 340, "b11");
    a->setChildrenHidden(true);
    // Levels hidden from the map: none, below the second, below the first,
    // every one; children hidden by their parent whatever the level.
    for (const int hideLevel : {9, 2, 1, 0}) {
        map->setBranchHideLevel(hideLevel);
        for (const bool attachedShown : {true, false}) {
            map->setShowAttachedGraphics(attachedShown);
            for (const bool all : {false, true}) {
                SCOPED_TRACE(testing::Message() << "hide level " << hideLevel << ", attached shown "
                                                << attachedShown << ", all " << all);
                QList<TWGraphic *> visited, listed;
                map->forEachGraphicForPrinting(all,
                                               [&visited](TWGraphic &g) { visited.append(&g); });
                for (const std::shared_ptr<TWGraphic> &g : map->graphicsOrderedForPrinting(all))
                    listed.append(g.get());
                EXPECT_EQ(visited, listed);
                EXPECT_EQ(listed.contains(a1->mainGraphic().get()), all);
                EXPECT_EQ(listed.contains(b->mainGraphic().get()), all || hideLevel >= 1);
                EXPECT_EQ(listed.contains(b11->mainGraphic().get()), all || hideLevel >= 3);
                EXPECT_EQ(listed.contains(b->linkedGraphics().first().get()),
                          attachedShown && (all || hideLevel >= 1));
            }
        }
    }
}

TEST_F(TWMapQueriesTest, ExtentsSkipEmptyRectangles)
{
    map->removeAllGraphicOrderCache();
    root->mainGraphic()->setBounds(Rect(300, 200, 100, 40));
    root->enclosedTextArea()->setBounds(Rect(305, 210, 0, 0));
    const Rect drawing = map->getBoundingDrawingRectForAllGraphics();
    EXPECT_EQ(drawing, Rect(288, 188, 124, 64));

    // Printing bounds uniting to (0.5, 0.5, 10, 10) print as (-10, -15, 31, 41).
    root->mainGraphic()->setDrawsStroke(false);
    root->mainGraphic()->setBounds(Rect(0.5f, 0.5f, 10, 10));
    EXPECT_EQ(map->getBoundingPrintingRectForAllGraphics(), Rect(-10, -15, 31, 41));
}

// The extent as the drawing list gives it, measured from nothing.
Rect extentMeasuredAnew(TWMap &map, ClickLayout &layout)
{
    Rect extent;
    for (const std::shared_ptr<TWGraphic> &g : map.graphicsOrderedForDrawing(false)) {
        extent = extent.united(g->drawingBounds());
        if (TWMapBranch *b = g->branch(); b && b->hasBoundary())
            if (const std::optional<Rect> outline = layout.boundaryPathBounds(*b))
                extent = extent.united(*outline);
    }
    return extent;
}

TEST_F(TWMapQueriesTest, KeptExtentFollowsEveryKindOfEdit)
{
    auto a = child(root, 100, "a"), b = child(a, 150, "b", 700), c = child(b, 200, "c", 900);
    std::shared_ptr<TWMapBranch> d;
    const std::vector<std::pair<const char *, std::function<void()>>> edits = {
        {"a shape moves past the edge", [&] { c->mainGraphic()->setBounds(Rect(1200, 900, 80, 30)); }},
        {"it moves back inside", [&] { c->mainGraphic()->setBounds(Rect(900, 200, 80, 30)); }},
        {"a label grows", [&] { b->enclosedTextArea()->setBounds(Rect(690, 140, 400, 60)); }},
        {"a child is added deep", [&] { d = child(c, 1000, "d", 1500); }},
        {"it is removed", [&] { c->removeChild(d); }},
        {"a branch collapses", [&] { a->setChildrenHidden(true); }},
        {"it expands", [&] { a->setChildrenHidden(false); }},
        {"the hide level hides the deeper levels", [&] { map->setBranchHideLevel(1); }},
        {"every level is shown again", [&] { map->setBranchHideLevel(999); }},
        {"a boundary is drawn",
         [&] {
             clicks->boundaries.insert("b", Rect(-80, -60, 20, 20));
             b->setHasBoundary(true);
         }},
        {"the boundary goes", [&] { b->setHasBoundary(false); }},
        {"a relationship line joins two branches",
         [&] {
             auto line = TWGraphic::make<TWLinkLine>();
             line->connect(a->mainGraphic(), c->mainGraphic());
             map->insertObjectInLinkLinesAtIndex(line, 0);
         }},
        {"the whole tree moves", [&] { root->moveBranchBy(-700, 35, true); }},
        {"the move is undone",
         [&] {
             settle();
             undo->undo();
         }},
        {"and redone", [&] { undo->redo(); }},
    };
    for (const auto &[what, edit] : edits) {
        // Kept before each edit, so that a stale answer would show.
        map->getBoundingDrawingRectForAllGraphics();
        edit();
        const Rect kept = map->getBoundingDrawingRectForAllGraphics();
        const Rect anew = extentMeasuredAnew(*map, *clicks);
        SCOPED_TRACE(what);
        EXPECT_NEAR(kept.minX(), anew.minX(), 0.01);
        EXPECT_NEAR(kept.minY(), anew.minY(), 0.01);
        EXPECT_NEAR(kept.maxX(), anew.maxX(), 0.01);
        EXPECT_NEAR(kept.maxY(), anew.maxY(), 0.01);
    }
}

TEST_F(TWMapQueriesTest, WholeTreeMoveIsUndoneAndRedoneExactly)
{
    auto a = child(root, 100.3f, "a"), b = child(a, 150.7f, "b", 700.1f);
    auto d = child(b, 120.2f, "d", 900.3f), e = child(b, 190.6f, "e", 900.3f);
    auto c = child(root, 300.9f, "c", 500.2f);
    settle();
    auto boundsOfAll = [&] {
        QList<Rect> all;
        for (const std::shared_ptr<TWGraphic> &g : map->allGraphics())
            all.append(g->bounds());
        return all;
    };
    // The extents each branch keeps, for the map's extent and for drawing.
    const auto keptOf = [](const std::shared_ptr<TWMapBranch> &branch) {
        const TWTreeTranslation::KeptExtents kept = branch->keptExtents();
        return QPair<Rect, Rect>(kept.drawingKept ? kept.drawing : Rect(-1, -1, -1, -1),
                                 kept.graphicsKept ? kept.graphics : Rect(-1, -1, -1, -1));
    };
    const auto measureAll = [&] {
        map->getBoundingDrawingRectForAllGraphics();
        for (const std::shared_ptr<TWMapBranch> &branch : map->allBranches())
            map->drawingServices().subtreeDrawingExtent(*branch, 999);
    };
    const std::vector<std::shared_ptr<TWMapBranch>> below = {b, d, e};
    // Connections never drawn keep no curve: they are fitted to their moved
    // ends, and a fit that is the old bounds moved keeps what was measured.
    measureAll();
    root->moveBranchBy(-700, 35, true);
    for (const auto &branch : below)
        EXPECT_TRUE(branch->keptExtents().drawingKept && branch->keptExtents().graphicsKept);
    const Rect keptAfterFit = map->getBoundingDrawingRectForAllGraphics();
    EXPECT_NEAR(keptAfterFit.minX(), extentMeasuredAnew(*map, *clicks).minX(), 0.01);
    EXPECT_NEAR(keptAfterFit.maxY(), extentMeasuredAnew(*map, *clicks).maxY(), 0.01);
    settle();
    undo->undo();

    // Drawn connections have placed curves, which move with their ends.
    for (const std::shared_ptr<TWMapBranch> &branch : map->allBranches())
        if (branch->connectionGraphic())
            branch->connectionGraphic()->updateBounds();
    measureAll();
    const QList<Rect> before = boundsOfAll();
    std::vector<QPair<Rect, Rect>> keptBefore, keptMoved;
    for (const auto &branch : below)
        keptBefore.push_back(keptOf(branch));
    root->moveBranchBy(0.1f, -1234.567f, true);
    const QList<Rect> moved = boundsOfAll();
    ASSERT_NE(moved, before);
    // Placed curves move with their ends: the extents below stay kept.
    for (const auto &branch : below)
        ASSERT_TRUE(branch->keptExtents().drawingKept && branch->keptExtents().graphicsKept);
    measureAll();
    for (const auto &branch : below)
        keptMoved.push_back(keptOf(branch));
    settle();
    undo->undo();
    EXPECT_EQ(boundsOfAll(), before);
    // Kept extents come back as they were measured, not shifted back.
    for (size_t i = 0; i < below.size(); ++i)
        EXPECT_EQ(keptOf(below[i]), keptBefore[i]) << i;
    undo->redo();
    EXPECT_EQ(boundsOfAll(), moved);
    for (size_t i = 0; i < below.size(); ++i)
        EXPECT_EQ(keptOf(below[i]), keptMoved[i]) << i;

    // An extent something else changed since the move is measured again,
    // and so are those above it.
    settle();
    d->setSubtreeDrawingExtent(Rect(1, 2, 3, 4), 999);
    undo->undo();
    EXPECT_EQ(boundsOfAll(), before);
    EXPECT_FALSE(d->keptExtents().drawingKept);
    EXPECT_FALSE(b->keptExtents().drawingKept || b->keptExtents().graphicsKept);
    EXPECT_EQ(keptOf(e), keptBefore[2]);
    // United in another order, the last bit may differ.
    const Rect kept = map->getBoundingDrawingRectForAllGraphics();
    const Rect anew = extentMeasuredAnew(*map, *clicks);
    EXPECT_NEAR(kept.minX(), anew.minX(), 0.01);
    EXPECT_NEAR(kept.maxX(), anew.maxX(), 0.01);
    EXPECT_NEAR(kept.minY(), anew.minY(), 0.01);
    EXPECT_NEAR(kept.maxY(), anew.maxY(), 0.01);
}

// Undo and redo of a whole-tree move put every graphic back bit for bit:
// those an offset in floating point takes back exactly, those it does not
// (a tenth is not exact; at 2^22 a quarter is lost going up but not going
// down, and -0 comes back as +0; a connection with nothing to fit to does
// not move), one move or two.
TEST_F(TWMapQueriesTest, WholeTreeMovesComeBackBitForBit)
{
    auto a = child(root, 100.3f, "a"), b = child(a, 150.7f, "b", 700.1f);
    child(b, 120.2f, "d", 900.3f);
    child(root, 4194304.0f, "far", 4194304.0f);
    auto c = child(root, 300.9f, "c", -4194304.0f);
    auto e = child(c, 0.1f, "e", -0.0f);
    // A connection with no parent to fit to stays where it is.
    auto loose = TWChildConnection::create(nullptr, e->mainGraphic());
    loose->setBounds(Rect(10.1f, 20.3f, 30, 40));
    e->setConnectionGraphic(loose);
    settle();
    using Bits = BranchTest::BoundsBits;
    const auto bitsOfAll = [&] { return BranchTest::boundsBitsOfAll(*map); };
    // The offsets taken back do not give every coordinate back.
    const auto inexactUnder = [&](Point by) {
        int inexact = 0;
        for (const std::shared_ptr<TWGraphic> &g : map->allGraphics()) {
            const Rect r = g->bounds();
            inexact += r.offsetBy(by.x, by.y).offsetBy(-by.x, -by.y) != r;
        }
        return inexact;
    };
    const Point offsets[] = {{0.1f, -1234.567f}, {0.25f, -0.25f}, {-700, 35}};
    for (const Point by : offsets) {
        SCOPED_TRACE(testing::Message() << by.x << "," << by.y);
        ASSERT_GT(inexactUnder(by), 0);
        const std::vector<Bits> before = bitsOfAll();
        root->moveBranchBy(by.x, by.y, true);
        settle();
        const std::vector<Bits> moved = bitsOfAll();
        ASSERT_NE(moved, before);
        undo->undo();
        EXPECT_EQ(bitsOfAll(), before);
        undo->redo();
        EXPECT_EQ(bitsOfAll(), moved);
        // A second move on top of the first, each undone in turn.
        settle();
        root->moveBranchBy(by.y, by.x, true);
        settle();
        const std::vector<Bits> twice = bitsOfAll();
        undo->undo();
        EXPECT_EQ(bitsOfAll(), moved);
        undo->undo();
        EXPECT_EQ(bitsOfAll(), before);
        undo->redo();
        undo->redo();
        EXPECT_EQ(bitsOfAll(), twice);
        undo->undo();
        undo->undo();
        EXPECT_EQ(bitsOfAll(), before);
    }
}

// A step whose replay sets off its slide again before replaying it (a window
// moves the map onto its canvas as the level raised again shows a branch
// past the edge) leaves the tree where the slide left it, not slid twice,
// and the slide set off is undone in turn.
TEST_F(TWMapQueriesTest, ASlideSetOffAgainByItsStepsReplayIsNotMadeTwice)
{
    auto a = child(root, 100.3f, "a");
    auto b = child(a, 150.7f, "b", -400.3f);
    map->setBranchHideLevel(b->getThisBranchLevel() - 1);
    settle();
    ASSERT_TRUE(b->hidden());
    const ObserverToken canvas = NotificationCenter::defaultCenter().observe(
        TWMap::BranchHideLevelChangedNotification, map.get(), [&](const Notification &) {
            float left = 0;
            for (const std::shared_ptr<TWMapBranch> &branch : map->allBranches())
                if (!branch->hidden())
                    left = std::min(left, branch->mainGraphic()->bounds().minX());
            if (left < 0)
                root->moveBranchBy(0.1f - left, 0, true);
        });
    const auto bitsOfAll = [&] { return BranchTest::boundsBitsOfAll(*map); };
    const auto before = bitsOfAll();
    map->setBranchHideLevel(b->getThisBranchLevel());
    settle();
    const auto after = bitsOfAll();
    ASSERT_GT(b->mainGraphic()->bounds().minX(), 0) << "the map did not slide";
    // Twice: the second time the slide set off by the redo is undone.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        undo->undo();
        EXPECT_EQ(bitsOfAll(), before);
        undo->redo();
        EXPECT_EQ(bitsOfAll(), after);
    }
}

TEST_F(TWMapQueriesTest, SelectionAncestorsAndDeadLinkLines)
{
    auto a = child(root, 100, "a"), b = child(a, 100, "b"), c = child(b, 100, "c");
    map->setSelectedBranches({a, b, c});
    EXPECT_EQ(map->selectedGraphics(),
              TWMap::GraphicList({c->mainGraphic(), b->mainGraphic(), a->mainGraphic()}));
    map->removeAllSelectedGraphics();

    QList<TWMapBranch *> one, two;
    EXPECT_EQ(TWMap::commonAncestorOfBranches(one, two, c.get(), a.get()), a.get());
    EXPECT_EQ(one, QList<TWMapBranch *>({c.get(), b.get()}));
    EXPECT_TRUE(two.isEmpty());

    // A line to a hidden branch stays; one to a removed branch goes.
    auto toC = TWGraphic::make<TWLinkLine>(), toB = TWGraphic::make<TWLinkLine>();
    toC->connect(root->mainGraphic(), c->mainGraphic());
    toB->connect(root->mainGraphic(), b->mainGraphic());
    map->insertObjectInLinkLinesAtIndex(toC, 0);
    map->insertObjectInLinkLinesAtIndex(toB, 1);
    a->setChildrenHidden(true);
    map->removeDeadLinkLines();
    EXPECT_EQ(map->countOfLinkLines(), 2);
    b->removeChild(c);
    map->removeDeadLinkLines();
    EXPECT_EQ(map->linkLines(), TWMap::LinkLineList({toB}));
}

TEST_F(TWMapQueriesTest, CoversDropDescendantsWhateverTheOrder)
{
    auto a = child(root, 100, "a"), b = child(a, 100, "b"), c = child(b, 100, "c");
    auto s = child(root, 300, "s");
    using List = TWMapUtilities::BranchList;
    EXPECT_EQ(TWMapUtilities::minimumBranchCoverFromBranchesInArray({c, a}), List({a}));
    EXPECT_EQ(TWMapUtilities::minimumBranchCoverFromBranchesInArray({a, c}), List({a}));
    EXPECT_EQ(TWMapUtilities::minimumBranchCoverFromBranchesInArray({c, s, b}), List({b, s}));

    auto attached = TWGraphic::create();
    attached->setBranch(s.get());
    s->insertObjectInLinkedGraphicsAtIndex(attached, 0);
    auto line = TWGraphic::make<TWLinkLine>();
    line->setPrimitiveBranch(root.get());
    const TWMapUtilities::GraphicList selection = {c->enclosedTextArea(), line, attached,
                                                   a->mainGraphic(), a->enclosedTextArea()};
    EXPECT_EQ(TWMapUtilities::minimumGraphicCoverFromGraphics(selection, false),
              TWMapUtilities::GraphicList({attached, a->mainGraphic()}));
    EXPECT_EQ(TWMapUtilities::minimumGraphicCoverFromGraphics(selection, true),
              TWMapUtilities::GraphicList({line, attached, a->mainGraphic()}));
}

} // namespace
