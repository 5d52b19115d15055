#include "LayoutTestSupport.h"

#include "../../bench/GeneratedMap.h"

#include "graphics/TWConnectionGraphic.h"
#include "mapdrawing/TWBoundaryOutline.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "model/TWGrowthBatch.h"
#include "support/BezierPath.h"
#include "support/TWPointHolder.h"

#include <QCoreApplication>
#include <QThread>

using namespace LayoutTest;
using namespace TWBranchLayout;

namespace {

class TWMapBranchLayout : public LayoutFixture
{
protected:
    static Rect outlineBounds(const PointList &outline)
    {
        float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
        for (const auto &p : outline) {
            x0 = std::min(x0, p->point().x);
            y0 = std::min(y0, p->point().y);
            x1 = std::max(x1, p->point().x);
            y1 = std::max(y1, p->point().y);
        }
        return Rect(x0, y0, x1 - x0, y1 - y0);
    }
    static Rect grown(Rect r, float by) { return r.insetBy(-by, -by); }
};

TEST_F(TWMapBranchLayout, OutlinesHoldTheVisibleSubtreeGrownByRepelAndMargin)
{
    auto f = add(root, Rect(500, 100, 80, 30), "F");
    auto a = add(f, Rect(650, 60, 80, 30), "A");
    auto b = add(f, Rect(650, 160, 80, 30), "B");
    auto hidden = add(b, Rect(800, 300, 80, 30), "hidden");
    b->setChildrenHidden(true);
    settle();
    const Rect subtree = f->branchBounds().united(a->branchBounds()).united(b->branchBounds());
    EXPECT_EQ(outlineBounds(childrenBoundaryOutlinePoints(*f)), grown(subtree, 10))
        << "the collapsed child adds nothing";
    EXPECT_EQ(outlineBounds(childrenBoundaryOutlinePoints(*a)), grown(a->branchBounds(), 10));
    EXPECT_EQ(outlineBounds(childrenBoundaryOutlinePoints(*root)), grown(root->branchBounds(), 10))
        << "the root holds only itself";
    EXPECT_TRUE(childrenBoundaryOutlinePoints(*hidden).isEmpty());

    // A boundary grows its own set by margin and line width; the parent's
    // set stays at the repel distance.
    b->setChildrenHidden(false);
    b->setBoundaryMargin(5);
    b->setBoundaryLineWidth(2);
    b->setHasBoundary(true);
    const Rect bSubtree = b->branchBounds().united(hidden->branchBounds());
    EXPECT_EQ(outlineBounds(childrenBoundaryOutlinePoints(*b)), grown(bSubtree, 17));
    EXPECT_EQ(outlineBounds(childrenBoundaryOutlinePoints(*f)),
              grown(subtree.united(hidden->branchBounds()), 10));
    ASSERT_TRUE(boundaryPath(*b));
    EXPECT_EQ(boundaryPath(*b)->bounds(), grown(bSubtree, 17));

    // The clearance is the gap less each side's growth: the repel distance
    // above, repel distance, margin and line width below.
    EXPECT_FLOAT_EQ(TWBoundaryOutline::calcDistanceBetweenAboveBoundary(
                        childrenBoundaryOutlinePoints(*a), childrenBoundaryOutlinePoints(*b)),
                    b->branchBounds().y() - a->branchBounds().maxY() - 10 - 17);
}

TEST_F(TWMapBranchLayout, ShadowChildrenFollowTheirConnectionSide)
{
    auto p = add(root, Rect(600, 200, 80, 40), "P");
    BranchList kids;
    for (int side = 0; side <= 8; ++side) {
        auto k = add(p, Rect(750, 100 + 40 * side, 60, 30), "k");
        k->connectionGraphic()->setConnectionToParentSide(side);
        kids.append(k);
    }
    settle();
    cacheBranchBounds(*root);
    const Rect o = p->autolayoutBranchMovedBounds();
    QList<Rect> before;
    for (const auto &k : std::as_const(kids))
        before.append(k->autolayoutBranchMovedBounds());

    // Without crossing: a move by (10, 20) and 6 wider.
    const Rect n(o.x() + 10, o.y() + 20, o.width() + 6, o.height());
    setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(*p, n);
    struct Case
    {
        int side;
        float dx, dy;
    };
    // dLeft 10, dRight 16, dMidX 13; dTop 20, dBottom 20, dMidY 20.
    // Side 6 follows the bottom (the child is below its parent's centre
    // when it lies lower), side 7 the right (it is right of its parent).
    const Case cases[] = {{0, 0, 0},   {1, 16, 20}, {2, 10, 20}, {3, 16, 20}, {4, 13, 20},
                          {5, 13, 20}, {6, 13, 20}, {7, 16, 20}, {8, 0, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(kids.at(c.side)->autolayoutBranchMovedBounds(),
                  before.at(c.side).offsetBy(c.dx, c.dy))
            << "side " << c.side;
    for (int i = 0; i < kids.size(); ++i)
        before[i] = kids.at(i)->autolayoutBranchMovedBounds();

    // Crossing the root's centre line: sides 1, 6 and 7 are mirrored about
    // the parent's old centre, 2 and 3 keep their side, 0 stays.
    const Rect o2 = p->autolayoutBranchMovedBounds();
    const Rect left(100, o2.y(), o2.width(), o2.height());
    setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(*p, left);
    const float dLeft = left.x() - o2.x();
    auto mirrored = [&](Rect c) { return 2 * o2.x() + o2.width() - c.x() - c.maxX(); };
    EXPECT_EQ(kids.at(0)->autolayoutBranchMovedBounds(), before.at(0));
    EXPECT_EQ(kids.at(2)->autolayoutBranchMovedBounds(), before.at(2).offsetBy(dLeft, 0));
    EXPECT_EQ(kids.at(3)->autolayoutBranchMovedBounds(), before.at(3).offsetBy(dLeft, 0));
    // Side 1 was right of the root: it follows the right edge (equal to the left here).
    EXPECT_EQ(kids.at(1)->autolayoutBranchMovedBounds(),
              before.at(1).offsetBy(mirrored(before.at(1)) + dLeft, 0));
    const Rect k1 = kids.at(1)->autolayoutBranchMovedBounds();
    EXPECT_LT(k1.maxX(), left.x()) << "the mirrored child stands left of its parent";
}

TEST_F(TWMapBranchLayout, CollapsedBranchesStopCachingButCarryTheirSubtree)
{
    map->branchDisplaySettingsForUpdate().branchHideLevel = 999;
    auto p = add(root, Rect(600, 200, 80, 40), "P");
    auto k = add(p, Rect(750, 200, 60, 30), "K");
    p->setChildrenHidden(true);
    settle();
    const Rect stale(1, 2, 3, 4);
    k->setAutolayoutBranchMovedBounds(stale);
    k->setAutolayoutBranchOriginalBounds(stale);
    cacheBranchBounds(*root);
    EXPECT_EQ(k->autolayoutBranchMovedBounds(), stale) << "caching stops at the collapsed branch";
    setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(
        *p, p->autolayoutBranchMovedBounds().offsetBy(0, 50));
    EXPECT_EQ(k->autolayoutBranchMovedBounds(), stale.offsetBy(0, 50)) << "moving carries it";
    commitCachedRepelBounds(*root);
    EXPECT_EQ(boundsOf(p).y(), 250);
    EXPECT_EQ(boundsOf(k).y(), 250) << "committing carries what the collapsed branch hides";
}

TEST_F(TWMapBranchLayout, RealMovesCarryTheSubtree)
{
    auto p = add(root, Rect(600, 200, 80, 40), "P");
    auto k = add(p, Rect(750, 200, 60, 30), "K");
    settle();
    BranchTest::Recorder recorder({TWMapBranch::RedrawInRectNotification});
    const auto before = snapshot();
    moveBranchBy(*p, 0, 0, true);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(recorder.notifications.size(), 0) << "a move by nothing posts nothing";

    moveBranchBy(*p, 5, 7, true);
    EXPECT_EQ(boundsOf(p), Rect(605, 207, 80, 40));
    EXPECT_EQ(boundsOf(k), Rect(755, 207, 60, 30));
    EXPECT_EQ(p->enclosedTextArea()->bounds(),
              before.value(p->enclosedTextArea().get()).offsetBy(5, 7));

    moveBranchBy(*p, 5, 0, false);
    EXPECT_EQ(boundsOf(k).x(), 755) << "without its children";

    p->setChildrenHidden(true);
    recorder.clear();
    moveBranchBy(*root, -100, 10, true);
    EXPECT_EQ(boundsOf(root), Rect(200, 210, 100, 40));
    EXPECT_EQ(boundsOf(k), Rect(655, 217, 60, 30)) << "hidden branches move with the root";
    int wholeCanvas = 0;
    const QRectF canvas(0, 0, map->canvasSize().width, map->canvasSize().height);
    for (const Notification &n : std::as_const(recorder.notifications))
        wholeCanvas += n.userInfo.value(TWMapBranch::RectKey).toRectF() == canvas;
    EXPECT_EQ(wholeCanvas, 1);
}

// A whole-map move slides each outline point with the set it belongs to. An
// outline is only ever made of its own set's points (every change to a set
// drops the outline), so none of its points can miss the move: whatever is
// done to the map, every point of every outline is one of its set's.
TEST_F(TWMapBranchLayout, AnOutlineHoldsOnlyPointsOfItsOwnSet)
{
    auto p = add(root, Rect(600, 200, 80, 40), "P");
    auto k = add(p, Rect(750, 200, 60, 30), "K");
    auto l = add(k, Rect(900, 260, 60, 30), "L");
    auto m = add(k, Rect(900, 320, 60, 30), "M");
    p->setHasBoundary(true);
    k->setHasBoundary(true);
    settle();
    const std::vector<std::pair<const char *, std::function<void()>>> steps = {
        {"laid out", [] {}},
        {"a child moved", [&] { l->moveBranchBy(15, 40, true); }},
        {"the whole map moved", [&] { root->moveBranchBy(-37.5f, 12.25f, true); }},
        {"shared between threads",
         [&] {
             const size_t usual = TWMapBranch::setMoveSharedFromWidth(2);
             root->moveBranchBy(20, -8, true);
             TWMapBranch::setMoveSharedFromWidth(usual);
         }},
        {"undone", [&] { undo->undo(); }},
        {"collapsed", [&] { k->setChildrenHidden(true); }},
        {"expanded", [&] { k->setChildrenHidden(false); }},
        {"a child removed", [&] { m->remove(); }},
        {"crossed to the left", [&] { setMainGraphicBounds(*p, Rect(100, 200, 80, 40)); }},
    };
    for (const auto &[what, step] : steps) {
        SCOPED_TRACE(what);
        step();
        settle();
        for (const auto &b : map->allBranches()) {
            const PointList &outline = childrenBoundaryOutlinePoints(*b);
            QSet<const TWPointHolder *> own;
            const PointDictionary &sets = b->childrenBoundaryPoints();
            for (auto it = sets.cbegin(); it != sets.cend(); ++it)
                for (const auto &holder : it.value())
                    own.insert(holder.get());
            for (const auto &holder : outline)
                EXPECT_TRUE(own.contains(holder.get())) << BranchTest::nameOf(*b).toStdString();
        }
    }
}

// A whole map moved onto its canvas keeps every outline it made, moved with
// it, and undoing the move puts them back; none is a new hull.
TEST_F(TWMapBranchLayout, AWholeMapMoveCarriesTheOutlinesAndUndoBringsThemBack)
{
    auto p = add(root, Rect(600, 200, 80, 40), "P");
    auto k = add(p, Rect(750, 200, 60, 30), "K");
    add(k, Rect(900, 260, 60, 30), "L");
    p->setHasBoundary(true);
    settle();
    const auto outlines = [&] {
        QList<Rect> all;
        for (const auto &b : {p, k})
            all << outlineBounds(childrenBoundaryOutlinePoints(*b));
        all << boundaryPath(*p)->bounds();
        return all;
    };
    const QList<Rect> before = outlines();
    const auto near = [](const QList<Rect> &got, const QList<Rect> &want, Point by) {
        for (qsizetype i = 0; i < want.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(got[i].x(), want[i].x() + by.x, 1e-3);
            EXPECT_NEAR(got[i].y(), want[i].y() + by.y, 1e-3);
            EXPECT_NEAR(got[i].width(), want[i].width(), 1e-3);
            EXPECT_NEAR(got[i].height(), want[i].height(), 1e-3);
        }
    };
    const std::vector<std::pair<const char *, std::function<void()>>> steps = {
        {"moved", [&] { root->moveBranchBy(-37.5f, 12.25f, true); }},
        {"undone", [&] { undo->undo(); }},
        {"redone", [&] { undo->redo(); }},
    };
    const Point offsets[] = {{-37.5f, 12.25f}, {0, 0}, {-37.5f, 12.25f}};
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(steps[i].first);
        steps[i].second();
        settle();
        // Kept, not made again: the outlines are there before anyone asks.
        EXPECT_FALSE(k->childrenBoundaryOutlinePoints().isEmpty());
        near(outlines(), before, offsets[i]);
        // And what a fresh hull of the moved points gives.
        const QList<Rect> kept = outlines();
        for (const auto &b : {p, k})
            invalidateBoundary(*b);
        near(outlines(), kept, {0, 0});
    }
}

// A big map's move is shared between threads. It leaves every graphic,
// curve, boundary point and kept extent where one thread leaves them, with
// nested boundaries whose lists share points and a label being edited, and
// undo and redo bring back the same.
TEST_F(TWMapBranchLayout, AMoveSharedBetweenThreadsMovesAsOneThreadDoes)
{
    std::shared_ptr<TWMapBranch> edited;
    for (int i = 0; i < 6; ++i) {
        const float y = 100 + 220 * i;
        auto p = add(root, Rect(600, y, 80, 40), "P");
        for (int j = 0; j < 4; ++j) {
            auto k = add(p, Rect(750, y + 50 * j, 60, 30), "K");
            for (int l = 0; l < 3; ++l)
                edited = add(k, Rect(900, y + 50 * j + 14 * l, 50, 12), "L");
            k->setHasBoundary(j == 1);
        }
        p->setHasBoundary(i % 2 == 0);
    }
    settle();
    edited->enclosedTextArea()->setIsEditing(true);
    const auto state = [&] {
        QList<Rect> all;
        QList<Point> points;
        for (const auto &g : map->allGraphics())
            all << g->bounds() << g->drawingBounds();
        for (const auto &b : map->allBranches()) {
            if (const auto &connection = b->connectionGraphic())
                if (const auto path = connection->bezierPath())
                    all << path->bounds();
            const PointDictionary &sets = b->childrenBoundaryPoints();
            QStringList keys = sets.keys();
            keys.sort();
            for (const QString &key : std::as_const(keys))
                for (const auto &p : sets.value(key))
                    points << p->point();
            if (b->hasBoundary())
                all << outlineBounds(childrenBoundaryOutlinePoints(*b));
        }
        all << map->getBoundingDrawingRectForAllGraphics();
        return std::make_pair(all, points);
    };
    const auto before = state();
    ASSERT_FALSE(before.second.isEmpty());
    const size_t usual = TWMapBranch::setMoveSharedFromWidth(1000000);
    root->moveBranchBy(-37.5f, 12.25f, true);
    settle();
    const auto moved = state();
    ASSERT_NE(moved, before);
    undo->undo();
    ASSERT_EQ(state(), before);

    TWMapBranch::setMoveSharedFromWidth(4);
    root->moveBranchBy(-37.5f, 12.25f, true);
    settle();
    EXPECT_EQ(state(), moved);
    undo->undo();
    EXPECT_EQ(state(), before);
    undo->redo();
    EXPECT_EQ(state(), moved);
    TWMapBranch::setMoveSharedFromWidth(usual);
}

// Relationship lines bend with the graphics they join, which only the main
// thread may do: a map that has them moves on the main thread alone, even
// where its width would share the move, and each line moves with its ends.
TEST_F(TWMapBranchLayout, AMapWithRelationshipLinesMovesItsLinesWithTheirEnds)
{
    std::vector<std::shared_ptr<TWMapBranch>> leaves;
    for (int i = 0; i < 6; ++i) {
        const float y = 100 + 220 * i;
        auto p = add(root, Rect(600, y, 80, 40), "P");
        for (int j = 0; j < 3; ++j)
            leaves.push_back(add(p, Rect(750, y + 50 * j, 60, 30), "K"));
    }
    settle();
    const auto link = [&](const std::shared_ptr<TWMapBranch> &from,
                          const std::shared_ptr<TWMapBranch> &to) {
        auto line = TWGraphic::make<TWLinkLine>();
        line->connect(from->mainGraphic(), to->mainGraphic());
        line->setBranch(from.get());
        line->calculateDefaultIntermediatePoints();
        map->insertObjectInLinkLinesAtIndex(line, map->countOfLinkLines());
        line->updateBounds();
        return line;
    };
    // Across subtrees, from the root, and within one subtree.
    const std::shared_ptr<TWLinkLine> lines[] = {link(leaves[1], leaves[16]), link(root, leaves[9]),
                                                 link(leaves[6], leaves[8])};
    settle();
    const auto state = [&] {
        QList<Rect> all;
        for (const auto &line : lines)
            all << line->bounds() << line->bezierPath()->bounds();
        return all;
    };
    // Offsets are not exact in reverse.
    const auto near = [](const QList<Rect> &got, const QList<Rect> &want) {
        ASSERT_EQ(got.size(), want.size());
        for (qsizetype i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(got[i].x(), want[i].x(), 1e-2);
            EXPECT_NEAR(got[i].y(), want[i].y(), 1e-2);
            EXPECT_NEAR(got[i].width(), want[i].width(), 1e-2);
            EXPECT_NEAR(got[i].height(), want[i].height(), 1e-2);
        }
    };
    const QList<Rect> before = state();
    bool offMainThread = false;
    const ObserverToken watch =
        NotificationCenter::defaultCenter().observe(QString(), nullptr, [&](const Notification &) {
            if (QThread::currentThread() != QCoreApplication::instance()->thread())
                offMainThread = true;
        });
    const Point by(-37.5f, 12.25f);
    // What one thread leaves, the lines bent to their ends' new places; then
    // with a sharing width the six first-level subtrees would be shared at.
    std::optional<QList<Rect>> moved;
    for (const size_t sharedFromWidth : {size_t(1000000), size_t(2)}) {
        SCOPED_TRACE(sharedFromWidth);
        const size_t usual = TWMapBranch::setMoveSharedFromWidth(sharedFromWidth);
        root->moveBranchBy(by.x, by.y, true);
        TWMapBranch::setMoveSharedFromWidth(usual);
        settle();
        if (!moved) {
            moved = state();
            ASSERT_NE(*moved, before);
        }
        near(state(), *moved);
        // Each line still starts and ends at its graphics.
        for (const auto &line : lines) {
            const std::shared_ptr<BezierPath> path = line->bezierPath();
            ASSERT_TRUE(path);
            // A line stops a few points short of its graphics.
            const Rect reach = path->bounds().insetBy(-15, -15);
            for (const auto &end : {line->startGraphic(), line->endGraphic()}) {
                ASSERT_TRUE(end);
                EXPECT_TRUE(reach.intersects(end->bounds()));
            }
        }
        EXPECT_FALSE(offMainThread);
        undo->undo();
        settle();
        near(state(), before);
    }
}

TEST_F(TWMapBranchLayout, RealMovesMirrorSubtreesThatCrossTheRoot)
{
    auto p = add(root, Rect(600, 200, 80, 40), "P");
    auto mirroredKid = add(p, Rect(720, 200, 60, 30), "M");
    auto keptKid = add(p, Rect(720, 260, 60, 30), "S");
    keptKid->connectionGraphic()->setConnectionToParentSide(3);
    auto stayingKid = add(p, Rect(720, 320, 60, 30), "Z");
    stayingKid->connectionGraphic()->setConnectionToParentSide(0);
    settle();
    ASSERT_FALSE(childrenBoundaryOutlinePoints(*p).isEmpty());
    setMainGraphicBounds(*p, Rect(100, 200, 80, 40));
    // Side 1 mirrored about P's old centre (640), then moved with P's right edge.
    EXPECT_EQ(boundsOf(mirroredKid).x(), 720 + (2 * 600 + 80 - 720 - 780) + (180 - 680));
    EXPECT_LT(boundsOf(mirroredKid).maxX(), boundsOf(p).x());
    EXPECT_EQ(boundsOf(keptKid).x(), 720 + (180 - 680)) << "side 3 follows the right edge";
    EXPECT_EQ(boundsOf(stayingKid), Rect(720, 320, 60, 30)) << "side 0 follows no edge";
    // The sets the crossing emptied are made whole again: the child that
    // stayed behind is still inside its parent's outline.
    Rect subtree = p->branchBounds();
    for (const auto &kid : {mirroredKid, keptKid, stayingKid})
        subtree = subtree.united(kid->branchBounds());
    EXPECT_EQ(outlineBounds(childrenBoundaryOutlinePoints(*p)), grown(subtree, 10));
}

TEST_F(TWMapBranchLayout, CollapseSignSitsBySideAndShape)
{
    auto p = add(root, Rect(600, 200, 80, 40), "P");
    auto leaf = add(p, Rect(720, 200, 60, 30), "leaf");
    settle();
    const Rect m = boundsOf(p);
    EXPECT_EQ(boundsOfShowAndHideImage(*p), Rect()) << "no sign by default";
    EXPECT_EQ(boundsOfShowAndHideImage(*leaf), Rect());
    p->setChildrenHidden(true);
    struct Case
    {
        int side;
        Rect expected;
    };
    const Case cases[] = {
        {1, Rect(m.maxX(), m.midY() - 7, 13, 13)},
        {2, Rect(m.x() - 11, m.midY() - 7, 13, 13)},
        {3, Rect(m.maxX(), m.midY() - 7, 13, 13)},
        {4, Rect(m.midX() - 7, m.y() - 13, 13, 13)},
        {5, Rect(m.midX() - 7, m.maxY(), 13, 13)},
        {6, Rect(m.midX() - 7, m.maxY(), 13, 13)},
        {9, Rect()},
    };
    for (const Case &c : cases) {
        p->setChildrenConnectionSide(c.side);
        EXPECT_EQ(boundsOfShowAndHideImage(*p), c.expected) << c.side;
    }
    p->setChildrenHidden(false);
    p->setChildrenConnectionSide(1);
    map->setShowCollapseSign(true);
    EXPECT_EQ(boundsOfShowAndHideImage(*p), Rect(m.maxX(), m.midY() - 7, 13, 13));
    EXPECT_EQ(boundsOfShowAndHideImage(*root), Rect(400, 213, 13, 13)) << "the root's at its right";
}

TEST_F(TWMapBranchLayout, SiblingListsRunAwayFromTheBranch)
{
    auto f = add(root, Rect(500, 200, 80, 30), "F");
    auto x = add(f, Rect(650, 100, 80, 30), "X");
    add(f, Rect(650, 200, 80, 30), "Y");
    add(x, Rect(800, 50, 80, 30), "G");
    auto h = add(x, Rect(800, 100, 80, 30), "H");
    add(x, Rect(800, 150, 80, 30), "I");
    settle();
    BranchList above, below;
    allBranchesAboveMeIntoArray(*h, above);
    allBranchesBelowMeIntoArray(*h, below);
    EXPECT_EQ(names(above), QStringList({"G"}));
    EXPECT_EQ(names(below), QStringList({"I", "Y"}));
    // Left of the root, numbering not top-down: children run bottom up.
    moveBranchBy(*f, -400, 0, true);
    above.clear();
    below.clear();
    allBranchesAboveMeIntoArray(*h, above);
    allBranchesBelowMeIntoArray(*h, below);
    EXPECT_EQ(names(above), QStringList({"I", "Y"}));
    EXPECT_EQ(names(below), QStringList({"G"}));
}

// A new branch asks the map's layout once to invalidate its boundary for
// several changed values: asked again with nothing rebuilt in between, the
// layout changes nothing and redraws nothing.
TEST_F(TWMapBranchLayout, InvalidatingABoundaryAgainChangesNothing)
{
    const struct
    {
        const char *name;
        bool bounded;  // a boundary drawn
        bool outlined; // its outline made
        bool pathHeld; // its path kept
    } cases[] = {{"nothing made", false, false, false},
                 {"outline made", false, true, false},
                 {"path held", false, true, true},
                 {"boundary drawn", true, true, true}};
    EXPECT_TRUE(map->layoutServices().boundaryInvalidationIsIdempotent());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto f = add(root, Rect(500, 200, 80, 30), "F");
        add(f, Rect(650, 150, 80, 30), "A");
        settle();
        f->setHasBoundary(c.bounded);
        settle();
        if (c.outlined)
            childrenBoundaryOutlinePoints(*f);
        if (c.pathHeld)
            ASSERT_TRUE(boundaryPath(*f));
        BranchTest::Recorder redraws({TWMapBranch::RedrawInRectNotification});
        map->layoutServices().invalidateBoundary(*f);
        EXPECT_EQ(redraws.notifications.size(), c.pathHeld ? 1 : 0);
        EXPECT_FALSE(f->cachedBoundaryPath());
        EXPECT_TRUE(f->childrenBoundaryOutlinePoints().isEmpty());
        map->layoutServices().invalidateBoundary(*f);
        EXPECT_EQ(redraws.notifications.size(), c.pathHeld ? 1 : 0);
        EXPECT_FALSE(f->cachedBoundaryPath());
        EXPECT_TRUE(f->childrenBoundaryOutlinePoints().isEmpty());
        root->removeChild(f);
        settle();
    }
}

// A changed branch updates the made sets of the branch and its ancestors
// below the root, drops their outlines and paths (a redraw for each path
// held, from the bottom up) and draws again those with a boundary.
TEST_F(TWMapBranchLayout, AChangedBranchUpdatesTheSetsOfItsChainAlone)
{
    using Sets = QMap<QString, QMap<QString, QList<Point>>>;
    const struct
    {
        const char *name;
        QStringList bounded; // branches with a boundary
        QStringList made;    // sets made before the change
        QStringList drawn;   // paths held before the change without a boundary
        const char *branch;
        const char *changed;
        bool collapseB;
        QStringList redrawn; // in order
    } cases[] = {
        {"no set made", {}, {}, {}, "D", "D", false, {}},
        {"every set made", {}, {"F", "A", "B", "C", "D", "E"}, {}, "D", "D", false, {}},
        {"some sets made", {}, {"F", "B"}, {}, "D", "D", false, {}},
        {"boundaries above", {"F", "B"}, {"A"}, {}, "D", "D", false, {"B", "F", "F", "B"}},
        {"held paths", {}, {"F"}, {"C", "A"}, "D", "D", false, {"C", "A"}},
        {"held path and boundary", {"F"}, {"B"}, {"C"}, "D", "D", false, {"C", "F", "F"}},
        {"the changed one's own boundary", {"D"}, {}, {}, "D", "D", false, {"D", "D"}},
        {"another branch's set", {"A"}, {"A", "B", "C"}, {}, "C", "D", false, {"A", "A"}},
        {"the root's child", {"F"}, {"F", "E"}, {}, "F", "F", false, {"F", "F"}},
        {"hidden", {"F"}, {"F", "A", "B"}, {"A"}, "D", "D", true, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // F > A > B > C > D, and E beside A.
        QMap<QString, std::shared_ptr<TWMapBranch>> b;
        b["F"] = add(root, Rect(500, 200, 80, 30), "F");
        b["A"] = add(b["F"], Rect(650, 150, 80, 30), "A");
        b["E"] = add(b["F"], Rect(650, 250, 80, 30), "E");
        b["B"] = add(b["A"], Rect(800, 150, 80, 30), "B");
        b["C"] = add(b["B"], Rect(950, 150, 80, 30), "C");
        b["D"] = add(b["C"], Rect(1100, 150, 80, 30), "D");
        settle();
        for (const auto &[name, branch] : b.asKeyValueRange()) {
            branch->setBoundaryMargin(3);
            branch->setHasBoundary(c.bounded.contains(name));
            removeAllChildrenBoundaryPoints(*branch);
            invalidateBoundary(*branch);
        }
        b["B"]->setChildrenHidden(c.collapseB);
        settle();
        for (const QString &name : c.made)
            childrenBoundaryOutlinePoints(*b[name]);
        for (const QString &name : c.bounded + c.drawn)
            ASSERT_TRUE(boundaryPath(*b[name]));
        settle();
        // The changed branch's points, wherever held, out of date.
        TWMapBranch &changed = *b[c.changed];
        for (const auto &branch : std::as_const(b)) {
            TWMapBranch::PointDictionary &points = branch->childrenBoundaryPoints();
            if (const auto it = points.find(keyOf(changed)); it != points.end())
                for (auto &holder : *it)
                    holder = TWPointHolder::pointHolderForPoint({1, 2});
        }
        const auto sets = [&b] {
            Sets all;
            for (const auto &[name, branch] : b.asKeyValueRange())
                for (const auto &[key, points] : branch->childrenBoundaryPoints().asKeyValueRange())
                    for (const auto &p : points)
                        all[name][key].append(p->point());
            return all;
        };
        Sets expected = sets();
        QStringList chain;
        for (TWMapBranch *x = b[c.branch].get(); x != root.get(); x = x->parent())
            chain.append(BranchTest::nameOf(*x));
        if (!c.collapseB) {
            for (const QString &name : chain) {
                if (!expected.contains(name))
                    continue;
                const float grow = 10 + effectiveBoundaryMargin(*b[name]);
                const Rect g = changed.branchBounds().insetBy(-grow, -grow);
                expected[name][keyOf(changed)] = {
                    {g.x(), g.y()}, {g.x(), g.maxY()}, {g.maxX(), g.y()}, {g.maxX(), g.maxY()}};
            }
        }
        // What a redraw covers tells whose path it drops.
        QMap<QString, bool> heldBefore;
        QHash<QString, QString> byRect;
        for (const auto &[name, branch] : b.asKeyValueRange()) {
            heldBefore[name] = bool(branch->cachedBoundaryPath());
            if (const auto path = branch->cachedBoundaryPath()) {
                const float w = branch->boundaryLineWidth();
                byRect.insert(path->bounds().insetBy(-w, -w).toString(), name);
            }
        }
        BranchTest::Recorder redraws({TWMapBranch::RedrawInRectNotification});
        updateBoundaryForChangedChild(*b[c.branch], changed);
        EXPECT_EQ(sets(), expected);
        QStringList redrawn;
        for (const Notification &n : redraws.notifications)
            redrawn.append(byRect.value(
                Rect::fromQt(n.userInfo.value(TWMapBranch::RectKey).toRectF()).toString()));
        EXPECT_EQ(redrawn, c.redrawn);
        for (const auto &[name, branch] : b.asKeyValueRange()) {
            SCOPED_TRACE(name.toStdString());
            const bool inChain = !c.collapseB && chain.contains(name);
            EXPECT_EQ(bool(branch->cachedBoundaryPath()),
                      inChain ? c.bounded.contains(name) : heldBefore[name]);
            if (inChain)
                EXPECT_EQ(branch->childrenBoundaryOutlinePoints().isEmpty(),
                          !c.bounded.contains(name));
        }
        root->removeChild(b["F"]);
        settle();
    }
}

// A branch's outline is hulled from its sets in tree order, then the sets of
// branches gone from its subtree by key: where the outline starts must not
// depend on the hash.
TEST_F(TWMapBranchLayout, OutlinesHullTheSubtreeInTreeOrderThenStaleSetsByKey)
{
    const struct
    {
        const char *name;
        QStringList held;  // of F, A, B, C: their own sets
        QStringList stale; // keys of branches not in F's subtree
    } cases[] = {
        {"the whole subtree", {"F", "A", "B", "C"}, {}},
        {"part of it", {"B", "F"}, {}},
        {"stale sets by key", {"F", "C"}, {"999", "1000", "42"}},
        {"stale sets alone", {}, {"77", "7"}},
    };
    // F > A > C, and B beside A.
    auto f = add(root, Rect(500, 200, 80, 30), "F");
    auto a = add(f, Rect(650, 150, 80, 30), "A");
    auto b = add(f, Rect(650, 260, 80, 30), "B");
    auto c = add(a, Rect(800, 120, 80, 30), "C");
    settle();
    const QMap<QString, std::shared_ptr<TWMapBranch>> byName{
        {"F", f}, {"A", a}, {"B", b}, {"C", c}};
    const auto corners = [](Rect r) {
        PointList points;
        for (Point p : {Point(r.x(), r.y()), Point(r.x(), r.maxY()), Point(r.maxX(), r.y()),
                        Point(r.maxX(), r.maxY())})
            points.append(TWPointHolder::pointHolderForPoint(p));
        return points;
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TWMapBranch::PointDictionary &sets = f->childrenBoundaryPoints();
        sets.clear();
        // Stale sets far apart, so that each moves the hull.
        QMap<QString, PointList> stale;
        for (int i = 0; i < c.stale.size(); ++i)
            stale.insert(c.stale[i], corners(Rect(100 + 300 * i, 600 - 250 * i, 40, 40)));
        for (const auto &[key, points] : stale.asKeyValueRange())
            sets.insert(key, points);
        for (const QString &name : c.held)
            sets.insert(keyOf(*byName[name]), corners(byName[name]->branchBounds()));
        PointList expected;
        for (const char *name : {"F", "A", "C", "B"})
            if (c.held.contains(name))
                expected.append(sets.value(keyOf(*byName[name])));
        QStringList keys = stale.keys();
        std::sort(keys.begin(), keys.end());
        for (const QString &key : keys)
            expected.append(stale.value(key));
        PointList hull;
        TWBoundaryOutline::recalculateBoundaryFromAllPoints(expected, hull);
        recalculateBoundary(*f);
        QList<Point> want, got;
        for (const auto &p : hull)
            want.append(p->point());
        for (const auto &p : f->childrenBoundaryOutlinePoints())
            got.append(p->point());
        EXPECT_EQ(got, want);
        EXPECT_FALSE(got.isEmpty());
    }
}

TEST_F(TWMapBranchLayout, EndPositionsOrderLeftEndsAscendingAndRightEndsDescending)
{
    struct Case
    {
        Rect own, other;
        int left;  // compareLeftEndPositions(own, other)
        int right; // compareRightEndPositions(own, other)
    };
    const Case cases[] = {
        {{100, 0, 50, 10}, {200, 0, 50, 10}, -1, 1},
        {{200, 0, 50, 10}, {100, 0, 50, 10}, 1, -1},
        {{100, 0, 50, 10}, {100, 0, 50, 10}, 0, 0},
        // Same left end, right ends apart; and the other way round.
        {{100, 0, 80, 10}, {100, 0, 50, 10}, 0, -1},
        {{100, 0, 50, 10}, {70, 0, 80, 10}, 1, 0},
    };
    auto a = add(root, Rect(500, 100, 80, 30), "a");
    auto b = add(root, Rect(500, 200, 80, 30), "b");
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.own.x() << "+" << c.own.width() << " against "
                                        << c.other.x() << "+" << c.other.width());
        a->setAutolayoutBranchMovedBounds(c.own);
        b->setAutolayoutBranchMovedBounds(c.other);
        EXPECT_EQ(compareLeftEndPositions(*a, *b), c.left);
        EXPECT_EQ(compareRightEndPositions(*a, *b), c.right);
    }
}

} // namespace

namespace {

// What a branch holds of its boundary: points, outline and path.
bool holdsBoundary(TWMapBranch &b)
{
    return !b.childrenBoundaryPoints().isEmpty() || !b.childrenBoundaryOutlinePoints().isEmpty() ||
           b.cachedBoundaryPath();
}

void forgetBoundaries(TWMap &m)
{
    for (const std::shared_ptr<TWMapBranch> &b : m.allBranches()) {
        invalidateBoundary(*b);
        removeAllChildrenBoundaryPoints(*b);
    }
}

} // namespace

// The printing extent of a save measures every subtree's outline: measured
// under TransientBoundaries it is the same extent, branches that held no
// outline still hold none and nothing is announced for them, and a branch
// that held one keeps it.
TEST_F(TWMapBranchLayout, TransientBoundariesMeasureTheSameExtentAndKeepNothingNew)
{
    auto f = add(root, Rect(500, 100, 80, 30), "F");
    auto a = add(f, Rect(650, 60, 80, 30), "A");
    auto b = add(f, Rect(650, 160, 80, 30), "B");
    auto c = add(b, Rect(800, 200, 80, 30), "C");
    auto g = add(root, Rect(100, 300, 80, 30), "G");
    b->setBoundaryMargin(5);
    b->setHasBoundary(true);
    settle();
    const struct
    {
        const char *name;
        std::vector<TWMapBranch *> heldBefore; // measured before, as drawing does
    } cases[] = {
        {"nothing held", {}},
        {"the boundary drawn", {b.get()}},
        {"a subtree and the root held", {f.get(), root.get()}},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.name);
        forgetBoundaries(*map);
        for (TWMapBranch *held : k.heldBefore)
            ASSERT_TRUE(boundaryPath(*held));
        QMap<TWMapBranch *, std::shared_ptr<BezierPath>> paths;
        for (TWMapBranch *held : k.heldBefore)
            paths.insert(held, held->cachedBoundaryPath());
        Rect transient;
        {
            BranchTest::Recorder redraws({TWMapBranch::RedrawInRectNotification});
            const TransientBoundaries scope;
            transient = map->getBoundingPrintingRectForAllGraphics();
            EXPECT_EQ(redraws.notifications.size(), 0);
        }
        for (const std::shared_ptr<TWMapBranch> &branch : map->allBranches()) {
            const bool held = paths.contains(branch.get());
            EXPECT_EQ(holdsBoundary(*branch), held) << BranchTest::nameOf(*branch).toStdString();
            if (held)
                EXPECT_EQ(branch->cachedBoundaryPath(), paths.value(branch.get()));
        }
        // Measured the ordinary way, every outline is made and kept.
        const Rect kept = map->getBoundingPrintingRectForAllGraphics();
        EXPECT_EQ(transient, kept);
        for (const auto &branch : {root, f, a, b, c, g})
            EXPECT_TRUE(holdsBoundary(*branch)) << BranchTest::nameOf(*branch).toStdString();
    }
    // Outside the scope a path is kept and announced again.
    forgetBoundaries(*map);
    BranchTest::Recorder redraws({TWMapBranch::RedrawInRectNotification});
    ASSERT_TRUE(boundaryPath(*a));
    EXPECT_TRUE(a->cachedBoundaryPath());
    EXPECT_EQ(redraws.notifications.size(), 1);
}

// The outlines of a whole map measured at once, side by side, are those
// measured one by one, whatever varies from branch to branch, and the
// branches hold afterwards what they held before.
TEST_F(TWMapBranchLayout, OutlinesMeasuredAtOnceAreThoseMeasuredOneByOne)
{
    GeneratedMap::fill(*map, 700);
    // As a map just opened: no branch holds an outline.
    forgetBoundaries(*map);
    const QList<std::shared_ptr<TWMapBranch>> all = map->allBranches();
    std::vector<TWMapBranch *> branches;
    for (const std::shared_ptr<TWMapBranch> &b : all)
        branches.push_back(b.get());
    const struct
    {
        const char *name;
        std::function<void()> change;
    } cases[] = {
        {"as made", [] {}},
        {"margins and corners vary",
         [&] {
             for (size_t i = 0; i < branches.size(); ++i) {
                 if (i % 5 == 0)
                     branches[i]->setBoundaryMargin(3 + float(i % 4));
                 if (i % 9 == 0) {
                     branches[i]->setBoundaryCornerStyle(int(i % 3));
                     branches[i]->setBoundaryCurveRadius(12);
                 }
             }
         }},
        {"some outlines held",
         [&] {
             for (size_t i = 2; i < branches.size(); i += 50) {
                 branches[i]->setHasBoundary(true);
                 ASSERT_TRUE(boundaryPath(*branches[i]));
             }
         }},
        {"collapsed and below the hide level",
         [&] {
             branches[3]->setChildrenHidden(true);
             map->setBranchHideLevel(4);
         }},
        {"branches sharing a number",
         [&] {
             for (size_t i = 20; i < branches.size(); i += 37)
                 branches[i]->setBranchNumber(branches[i]->parent()->branchNumber());
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        std::vector<bool> heldBefore;
        for (TWMapBranch *b : branches)
            heldBefore.push_back(holdsBoundary(*b));
        const TransientBoundaries scope;
        const std::vector<std::optional<Rect>> atOnce = boundaryPathBounds(branches);
        ASSERT_EQ(atOnce.size(), branches.size());
        int drawn = 0;
        for (size_t i = 0; i < branches.size(); ++i) {
            const std::shared_ptr<BezierPath> path = boundaryPath(*branches[i]);
            const std::optional<Rect> one =
                path && !path->isEmpty() ? std::optional<Rect>(path->bounds()) : std::nullopt;
            EXPECT_EQ(atOnce[i], one) << BranchTest::nameOf(*branches[i]).toStdString();
            EXPECT_EQ(holdsBoundary(*branches[i]), heldBefore[i]);
            drawn += one.has_value();
        }
        EXPECT_GT(drawn, 100);
    }
}

// Branches grown for a layout of the whole map, as an import grows them (no
// step to undo, a growth batch of the map alive), hold no corners until an
// outline is asked for, as an opened map's do not: held by every branch
// and its ancestors, they were most of what an import of many held. Asked
// for, the outlines are those of branches grown one by one.
TEST_F(TWMapBranchLayout, BranchesGrownForAWholeLayoutMakeTheirOutlinesWhenAsked)
{
    undo->disableUndoRegistration();
    BranchList eager, grown;
    const auto subtree = [this](BranchList &out, float y, const QString &name) {
        auto top = add(root, Rect(500, y, 80, 30), name);
        out << top << add(top, Rect(650, y - 40, 80, 30), name + "1")
            << add(top, Rect(650, y + 60, 80, 30), name + "2");
        out << add(out.last(), Rect(800, y + 60, 80, 30), name + "21");
    };
    subtree(eager, 100, QStringLiteral("A"));
    {
        const TWGrowthBatch batch(*map);
        subtree(grown, 400, QStringLiteral("B"));
        for (const auto &b : std::as_const(grown))
            EXPECT_FALSE(holdsBoundary(*b)) << BranchTest::nameOf(*b).toStdString();
    }
    undo->enableUndoRegistration();
    settle();
    for (const auto &b : std::as_const(eager))
        EXPECT_TRUE(holdsBoundary(*b)) << BranchTest::nameOf(*b).toStdString();
    for (const auto &b : std::as_const(grown))
        EXPECT_FALSE(holdsBoundary(*b)) << BranchTest::nameOf(*b).toStdString();
    for (qsizetype i = 0; i < eager.size(); ++i)
        EXPECT_EQ(outlineBounds(childrenBoundaryOutlinePoints(*grown.at(i))),
                  outlineBounds(childrenBoundaryOutlinePoints(*eager.at(i))).offsetBy(0, 300))
            << BranchTest::nameOf(*grown.at(i)).toStdString();
}
