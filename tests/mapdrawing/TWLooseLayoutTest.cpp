#include "LayoutTestSupport.h"

#include "mapdrawing/TWMapBranch_Layout.h"

using namespace LayoutTest;

namespace {

// F, a first-level branch, with X, Y and Z; X with G and H.
class TWLooseLayout : public LayoutFixture
{
protected:
    TWLooseLayout()
    {
        f = add(root, Rect(450, 200, 80, 30), "F");
        x = add(f, Rect(600, 100, 80, 30), "X");
        y = add(f, Rect(600, 250, 80, 30), "Y");
        z = add(f, Rect(600, 320, 80, 30), "Z");
        g = add(x, Rect(750, 100, 80, 30), "G");
        h = add(x, Rect(750, 160, 80, 30), "H");
        add(y, Rect(750, 250, 80, 30), "Y1");
        settle();
    }
    void moveBy(const std::shared_ptr<TWMapBranch> &b, float dy)
    {
        TWBranchLayout::moveBranchBy(*b, 0, dy, true);
    }
    std::shared_ptr<TWMapBranch> f, x, y, z, g, h;
};

TEST_F(TWLooseLayout, PushesTheSiblingsBelowByOneCommonAmount)
{
    moveBy(g, 50); // G now 150..180 overlaps H 160..190
    settle();
    // Outlines are whole branches (shape and label) grown by the repel distance.
    const float push = g->branchBounds().maxY() + 20 - h->branchBounds().y();
    ASSERT_GT(push, 40);
    const auto before = snapshot();
    TWMapLayout::performLooseAutoLayoutWithMovedBranches(*map, {g});
    // Y and Z do not overlap G horizontally and are pushed by the same
    // amount as H.
    EXPECT_EQ(boundsOf(h).y(), 160 + push);
    EXPECT_EQ(boundsOf(y).y(), 250 + push);
    EXPECT_EQ(boundsOf(z).y(), 320 + push);
    EXPECT_EQ(boundsOf(y->children().first()).y(), 250 + push) << "subtrees move along";
    EXPECT_EQ(boundsOf(g).y(), 150) << "the moved branch stays";
    EXPECT_EQ(boundsOf(x).y(), 100);
    EXPECT_EQ(boundsOf(f).y(), 200);
    EXPECT_EQ(undo->undoActionName(), QString()) << "the caller names the action";
    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(TWLooseLayout, PushesTheSiblingsAboveUp)
{
    moveBy(h, -50); // H now 110..140 overlaps G 100..130
    settle();
    const float push = g->branchBounds().maxY() + 20 - h->branchBounds().y();
    TWMapLayout::performLooseAutoLayoutWithMovedBranches(*map, {h});
    EXPECT_EQ(boundsOf(g).y(), 100 - push);
    EXPECT_EQ(boundsOf(h).y(), 110);
    EXPECT_EQ(boundsOf(y).y(), 250) << "nothing below overlaps";
}

TEST_F(TWLooseLayout, LeavesBranchesAloneWhenNothingOverlapsOrTheMoveIsAtTheTop)
{
    struct Case
    {
        const char *name;
        std::function<std::shared_ptr<TWMapBranch>()> movedBranch;
    };
    const Case cases[] = {
        {"no overlap", [&] { return g; }},
        {"a first-level branch", [&] { return f; }},
        {"the root", [&] { return root; }},
    };
    moveBy(h, 40); // room between G and H: nothing interpenetrates
    moveBy(z, 100);
    settle();
    for (const Case &c : cases) {
        const auto before = snapshot();
        TWMapLayout::performLooseAutoLayoutWithMovedBranches(*map, {c.movedBranch()});
        EXPECT_EQ(snapshot(), before) << c.name;
    }
    // Even an overlapping first-level branch pushes nothing.
    auto other = add(root, Rect(450, 210, 80, 30), "other");
    settle();
    const auto before = snapshot();
    TWMapLayout::performLooseAutoLayoutWithMovedBranches(*map, {other});
    EXPECT_EQ(snapshot(), before);
}

TEST_F(TWLooseLayout, RunsByTheMapsLayoutMode)
{
    moveBy(g, 50);
    settle();
    for (const int mode : {1, 2}) {
        map->branchDisplaySettingsForUpdate().layoutAssistanceMode = mode;
        map->autoArangeWithMovedBranches({g});
        EXPECT_EQ(boundsOf(h).y() > 160, mode == 2) << mode;
    }
}

} // namespace
