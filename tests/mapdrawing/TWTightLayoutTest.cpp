#include "LayoutTestSupport.h"

#include "mapdrawing/TWMapBranch_Layout.h"
#include "model/TWMapsDoc.h"

using namespace LayoutTest;

namespace {

class TWTightLayout : public LayoutFixture
{
protected:
    // Four first-level leaves of height 40, all right of the root.
    void addFour()
    {
        for (int i = 0; i < 4; ++i)
            first.append(add(root, Rect(500, 100 + 100 * i, 80, 40), QString("F%1").arg(i + 1)));
        settle();
    }
    void arrange() { TWMapLayout::autoArrange(*map); }
    // Moves the branch's shape, text and children.
    static void moveTo(const std::shared_ptr<TWMapBranch> &b, Point to)
    {
        TWBranchLayout::moveBranchBy(*b, to.x - boundsOf(b).x(), to.y - boundsOf(b).y(), true);
    }
    BranchList first;
};

TEST_F(TWTightLayout, FourLeavesAreDealtAndCentredByOrderingMode)
{
    addFour();
    struct Case
    {
        int mode;
        QList<Rect> expected; // F1 to F4
    };
    // The root's centre is at (350, 220); sides stand 50 from it.
    const Rect r1(400, 170, 80, 40), r2(400, 230, 80, 40);
    const Rect l1(220, 170, 80, 40), l2(220, 230, 80, 40);
    const Case cases[] = {
        {1, {r1, r2, l2, l1}}, // clockwise: the fourth on top at the left
        {2, {r1, l2, l1, r2}},
        {3, {l1, l2, r1, r2}},
        {4, {r1, r2, l1, l2}},
    };
    for (const Case &c : cases) {
        map->branchDisplaySettingsForUpdate().orderingMode = c.mode;
        for (int i = 0; i < 4; ++i)
            moveTo(first.at(i), Point(500, 100 + 100 * i));
        arrange();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(boundsOf(first.at(i)), c.expected.at(i))
                << "mode " << c.mode << " F" << i + 1;
    }
}

TEST_F(TWTightLayout, UnknownOrderingModeLeavesOneColumnOnTheRight)
{
    addFour();
    map->branchDisplaySettingsForUpdate().orderingMode = 0;
    arrange();
    // The arrangement's stacking from y = 500, 20 apart, not centred.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(boundsOf(first.at(i)), Rect(400, 500 + 60 * i, 80, 40)) << i;
}

TEST_F(TWTightLayout, SingleFirstLevelBranchAlignsItsTopWithTheRootsCentre)
{
    auto only = add(root, Rect(100, 600, 80, 40), "only");
    struct Case
    {
        int mode;
        Rect expected;
    };
    const Case cases[] = {{1, Rect(400, 220, 80, 40)}, {3, Rect(220, 220, 80, 40)}};
    for (const Case &c : cases) {
        map->branchDisplaySettingsForUpdate().orderingMode = c.mode;
        arrange();
        EXPECT_EQ(boundsOf(only), c.expected) << c.mode;
    }
}

TEST_F(TWTightLayout, ChildrenStandBesideTheirParentInOrder)
{
    map->branchDisplaySettingsForUpdate().orderingMode = 1;
    auto right = add(root, Rect(500, 100, 80, 40), "right");
    auto left = add(root, Rect(100, 300, 80, 40), "left");
    BranchList rightKids, leftKids;
    for (int i = 0; i < 3; ++i) {
        rightKids.append(add(right, Rect(700, 50 + 70 * i, 60, 30), "r"));
        leftKids.append(add(left, Rect(0, 250 + 70 * i, 60, 30), "l"));
    }
    arrange();
    const Rect r = boundsOf(right), l = boundsOf(left);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(boundsOf(rightKids.at(i)).x(), r.maxX() + 30);
        EXPECT_EQ(boundsOf(leftKids.at(i)).maxX(), l.x() - 30);
    }
    // Leaves without boundaries end twice the repel distance apart; the
    // right side runs top down, the left bottom up (numbering not top-down;
    // there a sibling is first set below its not yet placed neighbour, so
    // gaps may be wider). Layout places whole branches: shape and label.
    auto bb = [](const std::shared_ptr<TWMapBranch> &b) { return b->branchBounds(); };
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(bb(rightKids.at(i + 1)).y(), bb(rightKids.at(i)).maxY() + 20);
        EXPECT_GE(bb(leftKids.at(i)).y(), bb(leftKids.at(i + 1)).maxY() + 20);
    }
    // Each parent is centred on its children.
    EXPECT_EQ(bb(right).midY(), (bb(rightKids.first()).y() + bb(rightKids.last()).maxY()) / 2);
    EXPECT_EQ(bb(left).midY(), (bb(leftKids.last()).y() + bb(leftKids.first()).maxY()) / 2);

    map->branchDisplaySettingsForUpdate().childOutlineNumberingTopDown = true;
    arrange();
    EXPECT_LT(boundsOf(leftKids.first()).y(), boundsOf(leftKids.last()).y());
}

TEST_F(TWTightLayout, UndoRestoresEveryPosition)
{
    addFour();
    map->branchDisplaySettingsForUpdate().orderingMode = 1;
    for (const auto &f : std::as_const(first))
        add(f, Rect(boundsOf(f).maxX() + 10, boundsOf(f).y() + 5, 60, 30), "kid");
    settle();
    const auto before = snapshot();
    arrange();
    undo->closeEventGroup();
    const auto after = snapshot();
    EXPECT_NE(after, before);
    undo->undo();
    EXPECT_EQ(snapshot(), before);
    undo->redo();
    EXPECT_EQ(snapshot(), after);
}

TEST_F(TWTightLayout, NotifiesSelectedBranchesThatChangeSides)
{
    addFour();
    map->branchDisplaySettingsForUpdate().orderingMode = 1;
    map->insertObjectInSelectedGraphicsAtIndex(first.at(3)->mainGraphic(), 0);
    map->insertObjectInSelectedGraphicsAtIndex(first.at(0)->mainGraphic(), 1);
    settle();
    BranchTest::Recorder recorder({TWMapLayout::ResizedGraphicFlippedNotification,
                                   TWMapsDoc::PrintCanvasControllerNeedsUpdateNotification});
    arrange();
    ASSERT_EQ(recorder.names(),
              QStringList({TWMapLayout::ResizedGraphicFlippedNotification,
                           TWMapsDoc::PrintCanvasControllerNeedsUpdateNotification}));
    EXPECT_EQ(recorder.notifications.first().sender.identity(), first.at(3)->mainGraphic().get());
}

// Whichever way a selected branch crosses the root, it is announced; one
// that stays on its side is not.
TEST_F(TWTightLayout, EverySelectedBranchThatChangesSidesIsAnnounced)
{
    const float rootMid = boundsOf(root).midX();
    for (const float x : {500.f, 100.f}) {
        SCOPED_TRACE(x);
        for (const auto &b : std::as_const(first))
            b->remove();
        first.clear();
        map->removeAllSelectedGraphics();
        for (int i = 0; i < 4; ++i)
            first.append(add(root, Rect(x, 100 + 100 * i, 80, 40), QString("F%1").arg(i + 1)));
        map->branchDisplaySettingsForUpdate().orderingMode = 1;
        for (const auto &b : std::as_const(first))
            map->insertObjectInSelectedGraphicsAtIndex(b->mainGraphic(), 0);
        settle();
        BranchTest::Recorder recorder({TWMapLayout::ResizedGraphicFlippedNotification});
        arrange();
        QSet<const void *> crossed, announced;
        for (const auto &b : std::as_const(first))
            if ((boundsOf(b).midX() < rootMid) != (x < rootMid))
                crossed.insert(b->mainGraphic().get());
        for (const Notification &n : recorder.notifications)
            announced.insert(n.sender.identity());
        EXPECT_FALSE(crossed.isEmpty());
        EXPECT_EQ(announced, crossed);
    }
}

TEST_F(TWTightLayout, RootWithoutVisibleChildrenIsLeftAlone)
{
    BranchTest::Recorder recorder;
    const Rect rootBefore = boundsOf(root);
    arrange();
    EXPECT_EQ(boundsOf(root), rootBefore);
    EXPECT_EQ(recorder.count(TWMapsDoc::PrintCanvasControllerNeedsUpdateNotification), 0);
}

TEST_F(TWTightLayout, BranchesBelowTheHideLevelMoveWithTheirParent)
{
    // Hidden branches are not arranged; a hidden parent must not be centred
    // on children that have no outline.
    map->branchDisplaySettingsForUpdate().orderingMode = 1;
    map->branchDisplaySettingsForUpdate().branchHideLevel = 1;
    auto f = add(root, Rect(500, 400, 80, 40), "F");
    auto p = add(f, Rect(620, 405, 60, 30), "P");
    add(p, Rect(720, 405, 60, 30), "Q");
    settle();
    const float dy = boundsOf(p).y() - boundsOf(f).y();
    arrange();
    EXPECT_EQ(boundsOf(f), Rect(400, 220, 80, 40));
    EXPECT_FLOAT_EQ(boundsOf(p).y() - boundsOf(f).y(), dy);
}

TEST_F(TWTightLayout, CollapsedBranchesCarryTheirHiddenChildren)
{
    // The collapsed branches are placed as leaves; what they hide is not
    // arranged and must keep its place beside them, or expanding shows it
    // where the branch used to be.
    map->branchDisplaySettingsForUpdate().orderingMode = 1;
    struct Case
    {
        const char *name;
        int layout;
    };
    for (const Case c : {Case{"free", 1}, Case{"loose", 2}, Case{"tight", 3}}) {
        SCOPED_TRACE(c.name);
        // Built in free layout, so that nothing is arranged before the run.
        map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 1;
        while (!root->children().isEmpty())
            root->removeChild(root->children().last());
        // F2 collapsed at the first level, P under F1 at the second; both
        // start far from where the arrangement puts them.
        auto f1 = add(root, Rect(900, 1200, 80, 40), "F1");
        auto p = add(f1, Rect(1010, 1300, 60, 30), "P");
        auto q1 = add(p, Rect(1100, 1250, 60, 30), "Q1");
        auto q2 = add(q1, Rect(1190, 1350, 60, 30), "Q2");
        auto f2 = add(root, Rect(700, -500, 80, 40), "F2");
        auto r1 = add(f2, Rect(820, -560, 60, 30), "R1");
        auto r2 = add(f2, Rect(820, -420, 60, 30), "R2");
        // F3 crosses to the root's left: what it hides is mirrored with it.
        auto f3 = add(root, Rect(600, 900, 80, 40), "F3");
        auto s1 = add(f3, Rect(710, 880, 60, 30), "S1");
        settle();
        p->setChildrenHidden(true);
        f2->setChildrenHidden(true);
        f3->setChildrenHidden(true);
        map->branchDisplaySettingsForUpdate().layoutAssistanceMode = c.layout;
        const QList<std::pair<std::shared_ptr<TWMapBranch>, std::shared_ptr<TWMapBranch>>> hidden{
            {p, q1}, {p, q2}, {f2, r1}, {f2, r2}};
        QList<Point> offsets;
        for (const auto &[owner, h] : hidden)
            offsets << Point(boundsOf(h).x() - boundsOf(owner).x(),
                             boundsOf(h).y() - boundsOf(owner).y());
        const Rect f2Before = boundsOf(f2), pBefore = boundsOf(p);
        arrange();
        ASSERT_NE(boundsOf(f2), f2Before);
        ASSERT_NE(boundsOf(p), pBefore);
        for (qsizetype i = 0; i < hidden.size(); ++i) {
            const auto &[owner, h] = hidden.at(i);
            EXPECT_NEAR(boundsOf(h).x() - boundsOf(owner).x(), offsets.at(i).x, 0.5) << i;
            EXPECT_NEAR(boundsOf(h).y() - boundsOf(owner).y(), offsets.at(i).y, 0.5) << i;
        }
        ASSERT_LT(boundsOf(f3).maxX(), boundsOf(root).midX());
        EXPECT_NEAR(boundsOf(f3).x() - boundsOf(s1).maxX(), 30, 0.5);
        EXPECT_NEAR(boundsOf(s1).y() - boundsOf(f3).y(), -20, 0.5);
    }
}

TEST_F(TWTightLayout, SubtreeArrangementKeepsOrRecentresTheChosenBranch)
{
    map->branchDisplaySettingsForUpdate().orderingMode = 1;
    auto f = add(root, Rect(500, 200, 80, 40), "F");
    BranchList kids;
    for (int i = 0; i < 3; ++i)
        kids.append(add(f, Rect(650, 100 + 150 * i, 60, 30), "k"));
    settle();
    struct Case
    {
        int mode;
        bool keepsPlace;
    };
    for (const Case c : {Case{2, true}, Case{3, false}}) {
        map->branchDisplaySettingsForUpdate().layoutAssistanceMode = c.mode;
        TWBranchLayout::moveBranchBy(*f, 500 - boundsOf(f).x(), 200 - boundsOf(f).y(), true);
        const Rect before = boundsOf(f);
        TWMapLayout::performTightAutoLayoutWithMovedBranches(*map, {f}, true);
        const Rect top = kids.first()->branchBounds(), bottom = kids.last()->branchBounds();
        EXPECT_EQ(top.x(), f->branchBounds().maxX() + 30) << c.mode;
        EXPECT_EQ(bottom.y() - top.y(), 2 * (top.height() + 20)) << c.mode;
        if (c.keepsPlace)
            EXPECT_EQ(boundsOf(f), before);
        else
            EXPECT_EQ(f->branchBounds().midY(), (top.y() + bottom.maxY()) / 2);
    }
}

} // namespace

namespace {

TEST_F(TWTightLayout, EntryPointsFollowTheLayoutMode)
{
    addFour();
    map->branchDisplaySettingsForUpdate().orderingMode = 1;
    struct Case
    {
        int mode;
        bool arranges;
    };
    for (const Case c : {Case{1, false}, Case{3, true}}) {
        map->branchDisplaySettingsForUpdate().layoutAssistanceMode = c.mode;
        for (int i = 0; i < 4; ++i)
            moveTo(first.at(i), Point(500, 100 + 100 * i));
        // The whole map is arranged whichever branches moved.
        map->autoArangeWithMovedBranches({first.at(2)});
        EXPECT_EQ(boundsOf(first.at(0)) == Rect(400, 170, 80, 40), c.arranges) << c.mode;
    }
    map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 1;
    moveTo(first.at(0), Point(500, 100));
    arrange();
    EXPECT_EQ(boundsOf(first.at(0)), Rect(400, 170, 80, 40)) << "auto-arrange ignores the mode";
}

} // namespace
