#include "BranchTestSupport.h"
#include "graphics/TWEnclosedGraphic.h"

using namespace BranchTest;

namespace {

class TWMapBranchRulesTest : public BranchFixture
{
protected:
    int labelCount(const TWMapBranch &b) const
    {
        int n = 0;
        for (const auto &record : b.otherEnclosedGraphics())
            n += record->name() == TWMapBranch::OutlineNumberKey;
        return n;
    }
};

TEST_F(TWMapBranchRulesTest, TextWidthIsTheOwnLimitThenTheMapsThenUnlimited)
{
    struct Case
    {
        bool ownSet;
        bool mapSet;
        float expected;
    } cases[] = {
        {false, false, 999999},
        {false, true, 120},
        {true, false, 80},
        {true, true, 80},
    };
    auto b = child(root, 100, "b");
    // Both widths are stored throughout: only the switches decide.
    b->setTextMaxWidth(80);
    map->branchDisplaySettingsForUpdate().textMaxWidth = 120;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.ownSet << c.mapSet);
        b->setTextMaxWidthSet(c.ownSet);
        map->branchDisplaySettingsForUpdate().textMaxWidthSet = c.mapSet;
        EXPECT_EQ(b->textMaxWidth(), c.expected);
    }
}

TEST_F(TWMapBranchRulesTest, RedoingAnOutlineNumberKeepsOneLabel)
{
    map->branchDisplaySettingsForUpdate().showOutlineNumbers = true;
    auto b = child(root, 100, "b");
    settle();
    b->setOutlineNumber("1");
    settle();
    b->setOutlineNumber("2");
    settle();
    ASSERT_EQ(labelCount(*b), 1);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        undo->undo();
        undo->undo();
        EXPECT_EQ(b->outlineNumber(), QString());
        EXPECT_EQ(labelCount(*b), 0);
        undo->redo();
        EXPECT_EQ(b->outlineNumber(), "1");
        EXPECT_EQ(labelCount(*b), 1);
        undo->redo();
        EXPECT_EQ(b->outlineNumber(), "2");
        EXPECT_EQ(labelCount(*b), 1);
        const auto label = std::dynamic_pointer_cast<TWTextArea>(
            b->objectInOtherEnclosedGraphicsAtIndex(0)->graphic());
        ASSERT_TRUE(label);
        EXPECT_EQ(label->text().string(), "2");
    }
}

TEST_F(TWMapBranchRulesTest, APriorityRefitsOnlyWhenItsIconComesOrGoes)
{
    struct Case
    {
        int priority;
        bool refits;
    } cases[] = {{2, true}, {3, false}, {0, true}, {0, false}, {1, true}};
    auto b = child(root, 100, "b");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.priority);
        settle();
        b->setPriority(c.priority);
        EXPECT_EQ(layout->calls.contains("natural size b 1 1"), c.refits)
            << layout->calls.join("; ").toStdString();
    }
}

TEST_F(TWMapBranchRulesTest, RemovingAShapeRemovesItsBranch)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1");
    auto attached = TWGraphic::createWithBounds(Rect(0, 0, 10, 10));
    attached->setBranch(a.get());
    a->insertObjectInLinkedGraphicsAtIndex(attached, 0);
    settle();

    // Text area and attached graphic: only they go.
    map->insertObjectInSelectedGraphicsAtIndex(a->enclosedTextArea(), 0);
    a->enclosedTextArea()->remove();
    EXPECT_FALSE(a->enclosedTextArea()->isSelected());
    attached->remove();
    EXPECT_EQ(a->countOfLinkedGraphics(), 0);
    EXPECT_EQ(root->children(), TWMapBranch::BranchList({a}));

    // The shape takes its branch and subtree; undo brings them back.
    settle();
    map->insertObjectInSelectedGraphicsAtIndex(a1->mainGraphic(), 0);
    a->mainGraphic()->remove();
    EXPECT_TRUE(root->children().isEmpty());
    EXPECT_TRUE(a->children().isEmpty());
    EXPECT_EQ(map->countOfSelectedGraphics(), 0);
    settle();
    undo->undo();
    EXPECT_EQ(root->children(), TWMapBranch::BranchList({a}));
    EXPECT_EQ(a->children(), TWMapBranch::BranchList({a1}));

    // The root's shape cannot take the map with it.
    map->insertObjectInSelectedGraphicsAtIndex(root->mainGraphic(), 0);
    root->mainGraphic()->remove();
    EXPECT_EQ(root->children(), TWMapBranch::BranchList({a}));
    EXPECT_FALSE(root->mainGraphic()->isSelected());
}

} // namespace
