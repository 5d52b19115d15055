#include "BranchTestSupport.h"
#include "model/TWMapBranch_Utils.h"
#include "platform/RecordingAlerts.h"

using namespace BranchTest;

class TWBranchMovesTest : public BranchFixture
{
protected:
    TWBranchMovesTest()
    {
        for (int i = 0; i < 4; ++i)
            kids.append(child(root, 100 + 50 * i, QStringLiteral("k%1").arg(i)));
        settle();
    }
    QList<std::shared_ptr<TWMapBranch>> kids;
};

TEST_F(TWBranchMovesTest, MoveToIndexCountsPlacesInTheListThatHoldsTheBranch)
{
    struct Case
    {
        int branch;
        int index;
        QStringList order;
    };
    const Case cases[] = {
        {1, 2, {"k0", "k1", "k2", "k3"}}, // childIndex + 1: where it is
        {1, 1, {"k0", "k1", "k2", "k3"}}, {2, 0, {"k2", "k0", "k1", "k3"}}, // swapped up to the top
        {0, 4, {"k1", "k2", "k3", "k0"}},                                   // the end
        {3, 1, {"k0", "k3", "k1", "k2"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.index);
        for (int i = 0; i < 4; ++i)
            kids[i]->mainGraphic()->setBounds(Rect(500, 100 + 50 * i, 80, 30));
        root->reSortChildrenByPositionRecursively(true);
        settle();
        TWBranchMoves::moveToIndex(*kids[c.branch], c.index);
        EXPECT_EQ(names(root->children()), c.order);
        // The places are the siblings' own: every slot still holds a branch.
        QList<float> ys;
        for (const auto &k : root->children())
            ys.append(k->mainGraphic()->bounds().y());
        EXPECT_EQ(ys, QList<float>({100, 150, 200, 250}));
    }
}

TEST_F(TWBranchMovesTest, SwapsExchangePlacesAndStopAtTheEnds)
{
    TWBranchMoves::swapPositionWithSiblingBranchAbove(*kids[0]);
    TWBranchMoves::swapPositionWithSiblingBranchBelow(*kids[3]);
    TWBranchMoves::swapPositionWithSiblingBranchBelow(*root);
    EXPECT_EQ(names(root->children()), QStringList({"k0", "k1", "k2", "k3"}));
    TWBranchMoves::swapPositionWithSiblingBranchBelow(*kids[1]);
    EXPECT_EQ(names(root->children()), QStringList({"k0", "k2", "k1", "k3"}));
    EXPECT_EQ(kids[1]->mainGraphic()->bounds().y(), 200);
    EXPECT_EQ(kids[2]->mainGraphic()->bounds().y(), 150);
}

TEST_F(TWBranchMovesTest, MoveToNewParentGraftsThenPlaces)
{
    child(kids[0], 100, "g0", 700);
    child(kids[0], 150, "g1", 700);
    settle();
    TWBranchMoves::moveToNewParent(*kids[3], kids[0], 0);
    ASSERT_EQ(kids[3]->parent(), kids[0].get());
    EXPECT_EQ(kids[3]->childIndex(), 0);
    // A refused graft (onto itself) places nothing either.
    const QStringList before = names(root->children());
    TWBranchMoves::moveToNewParent(*kids[1], kids[1], 0);
    EXPECT_EQ(kids[1]->parent(), root.get());
    EXPECT_EQ(names(root->children()), before);
}
