#include "CanvasTestSupport.h"

#include <QAction>

using namespace CanvasTest;

// Branch creators and the map's operations on the selection. The root's
// centre is (350, 220).
class BranchCreation : public CanvasFixture
{
protected:
    BranchCreation()
    {
        map->setFirstLevelSpacing(100);
        map->setInterChildSpacing(30);
        map->setRepelDistance(20);
        settle();
        alerts.clear();
    }
    Point originOf(const std::shared_ptr<TWMapBranch> &branch) const
    {
        return branch->mainGraphic()->bounds().origin;
    }
};

TEST_F(BranchCreation, TheRootsOnlyChildGoesWhereTheOrderingModePoints)
{
    struct Case
    {
        int layoutMode, orderingMode;
        Point origin;
    };
    const Case cases[] = {
        {1, 1, Point(350, 320)},                          // straight below the centre
        {2, 1, Point(350, 320)}, {1, 3, Point(450, 220)}, // right of it
        {1, 2, Point(170, 220)},                          // its top-right corner left of it
        {1, 4, Point(170, 220)}, {3, 1, Point(450, 240)}, // tight: left where it was made
    };
    for (const Case &c : cases) {
        map->setLayoutAssistanceMode(c.layoutMode);
        map->setOrderingMode(c.orderingMode);
        const auto added = root->addChildOfType(2);
        ASSERT_TRUE(added);
        const Point at = originOf(added);
        EXPECT_NEAR(at.x, c.origin.x, 0.01) << c.layoutMode << "/" << c.orderingMode;
        EXPECT_NEAR(at.y, c.origin.y, 0.01) << c.layoutMode << "/" << c.orderingMode;
        settle();
        undo->undo();
        ASSERT_EQ(root->countOfChildren(), 0);
    }
}

TEST_F(BranchCreation, FirstLevelBranchesFillTheLargestAngularGap)
{
    const auto first = root->addChildOfType(2);
    const auto second = root->addChildOfType(2);
    // Opposite the first one: its top-right corner straight above the centre.
    EXPECT_NEAR(originOf(second).x, 270, 0.01);
    EXPECT_NEAR(originOf(second).y, 120, 0.01);

    // Below and above: of the two equal gaps the wrap-around one, from the
    // last listed branch round to the first, is considered first.
    ASSERT_EQ(root->children(), TWMapBranch::BranchList({first, second}));
    const auto third = root->addChildOfType(2);
    EXPECT_NEAR(originOf(third).x, 450, 0.5);
    EXPECT_NEAR(originOf(third).y, 220, 0.5);
}

TEST_F(BranchCreation, DeeperChildrenByLayoutMode)
{
    const auto right = child(root, 300, "right", 500);
    const auto left = child(root, 300, "left", 100);
    settle();
    struct Case
    {
        const char *what;
        std::shared_ptr<TWMapBranch> parent;
        int layoutMode;
        std::optional<Rect> earlierChild;
        Point origin;
        float earlierChildY; // where the earlier child ends up
    };
    const Rect rightChild(640, 300, 80, 100), leftChild(-100, 300, 80, 100);
    const Case cases[] = {
        {"first child, right", right, 1, {}, Point(610, 295), 0},
        {"first child, left", left, 1, {}, Point(-10, 295), 0},
        {"first child, tight", right, 3, {}, Point(610, 295), 0},
        {"free, right: below the last child, left-aligned", right, 1, rightChild, Point(640, 420),
         300},
        {"free, left: above the last child, right-aligned", left, 1, leftChild, Point(-100, 240),
         300},
        {"loose, right: earlier children up by half", right, 2, rightChild, Point(610, 390), 270},
        {"loose, left: earlier children down by half", left, 2, leftChild, Point(-10, 270), 330},
        {"tight: left where it was made", right, 3, rightChild, Point(630, 335), 300},
    };
    const Point rightAt = originOf(right), leftAt = originOf(left);
    for (const Case &c : cases) {
        // The tight mode arranges the whole map as it is chosen: the places
        // below are relative to where the parent then stands.
        map->setLayoutAssistanceMode(c.layoutMode);
        const Point was = c.parent == right ? rightAt : leftAt;
        const Point shift(originOf(c.parent).x - was.x, originOf(c.parent).y - was.y);
        std::shared_ptr<TWMapBranch> earlier;
        if (c.earlierChild)
            earlier = newBranch(c.parent.get(), c.earlierChild->offsetBy(shift.x, shift.y),
                                "earlier");
        settle();
        const auto added = c.parent->addChildOfType(2);
        ASSERT_TRUE(added) << c.what;
        EXPECT_NEAR(originOf(added).x, c.origin.x + shift.x, 0.01) << c.what;
        EXPECT_NEAR(originOf(added).y, c.origin.y + shift.y, 0.01) << c.what;
        if (earlier) {
            EXPECT_NEAR(originOf(earlier).y, c.earlierChildY + shift.y, 0.01) << c.what;
        }
        settle();
        undo->undo();
        if (earlier)
            c.parent->removeChild(earlier);
        settle();
    }
}

TEST_F(BranchCreation, ALineBranchGoesOneBranchHeightLower)
{
    const auto parent = child(root, 300, "parent", 500);
    newBranch(parent.get(), Rect(640, 300, 80, 30), "earlier");
    settle();
    const auto rectangle = parent->addChildOfType(2);
    const float rectangleY = originOf(rectangle).y;
    settle();
    undo->undo();
    const auto line = parent->addChildOfType(1);
    EXPECT_NEAR(originOf(line).y - rectangleY, line->branchBounds().height(), 0.01);
}

TEST_F(BranchCreation, TightSiblingsAreStoredAfterTheirBranchAndNotMoved)
{
    const auto a = child(root, 100, "a");
    const auto b = child(root, 300, "b");
    map->setLayoutAssistanceMode(3);
    settle();
    const auto added = a->addSiblingOfType(2);
    ASSERT_TRUE(added);
    EXPECT_EQ(root->children().indexOf(added), 1);
    EXPECT_EQ(originOf(added), Point(450, 240));
}

TEST_F(BranchCreation, SiblingsPushTheOthersApart)
{
    struct Case
    {
        int layoutMode;
        float s0, s1, added;
    };
    // Free: the later ones down by repel + height (60); loose: half of it
    // each way, the new one below its branch.
    for (const Case c : {Case{1, 200, 360, 260}, Case{2, 170, 330, 230}}) {
        map->setLayoutAssistanceMode(c.layoutMode);
        const auto parent = child(root, 300, "parent", 500);
        const auto s0 = newBranch(parent.get(), Rect(640, 200, 80, 40), "s0");
        const auto s1 = newBranch(parent.get(), Rect(640, 300, 80, 40), "s1");
        settle();
        const auto added = s0->addSiblingOfType(2);
        EXPECT_NEAR(originOf(s0).y, c.s0, 0.01);
        EXPECT_NEAR(originOf(s1).y, c.s1, 0.01);
        EXPECT_NEAR(originOf(added).y, c.added, 0.01);
        EXPECT_NEAR(originOf(added).x, 610, 0.01);
        EXPECT_EQ(names(parent->children()), QStringList({"s0", "New Branch", "s1"}));
        root->removeChild(parent);
        settle();
    }
}

TEST_F(BranchCreation, RefusalsAndTheHideLevel)
{
    EXPECT_EQ(root->addSiblingOfType(2), nullptr);
    EXPECT_EQ(alerts.beepCount(), 0);
    for (int type : {0, 4, 8}) {
        root->setChildrenHidden(true);
        EXPECT_EQ(root->addChildOfType(type), nullptr) << type;
        EXPECT_FALSE(root->childrenHidden());
    }
    EXPECT_EQ(alerts.beepCount(), 3);
    EXPECT_EQ(root->countOfChildren(), 0);

    // Every level shown: a deeper level stays shown.
    map->setBranchHideLevel(0);
    const auto first = root->addChildOfType(2);
    EXPECT_EQ(map->branchHideLevel(), 1);
    first->addChildOfType(2);
    EXPECT_EQ(map->branchHideLevel(), 2);
}

// The hide level after adding a branch, as the rule reads over the whole
// tree: levels all shown before stay all shown, and the new level is shown.
TEST_F(BranchCreation, AnAddedBranchSetsTheHideLevelAsAWalkOfTheWholeTreeWould)
{
    // root - a - aa - aaa, and b beside a.
    const auto a = child(root, 300, "a", 500);
    const auto aa = child(a, 300, "aa", 650);
    const auto aaa = child(aa, 300, "aaa", 800);
    const auto b = child(root, 300, "b", 100);
    settle();
    const std::shared_ptr<TWMapBranch> parents[] = {root, a, aa, aaa, b};
    for (const bool sibling : {false, true}) {
        for (const auto &parent : parents) {
            if (sibling && parent == root)
                continue;
            for (int hide = 0; hide <= 5; ++hide) {
                map->setBranchHideLevel(hide);
                settle();
                const int deepestBefore = root->getMaximumBranchLevel();
                const auto added =
                    sibling ? parent->addSiblingOfType(2) : parent->addChildOfType(2);
                ASSERT_TRUE(added);
                int expected = hide;
                if (deepestBefore == expected)
                    expected = root->getMaximumBranchLevel();
                expected = std::max(expected, added->getMaximumBranchLevel());
                EXPECT_EQ(map->branchHideLevel(), expected)
                    << BranchTest::nameOf(*parent).toStdString()
                    << (sibling ? " sibling" : " child") << " hide " << hide;
                settle();
                undo->undo();
                EXPECT_EQ(map->branchHideLevel(), hide);
                ASSERT_EQ(added->parent(), nullptr);
            }
        }
    }
}

// --- the map's operations ---

class MapOperations : public BranchCreation
{};

TEST_F(MapOperations, CreatingChildrenSelectsTheirTexts)
{
    auto created = map->publicCreateChildren();
    ASSERT_EQ(created.size(), 1);
    EXPECT_EQ(created.first()->parent(), root.get());
    EXPECT_EQ(map->selectedGraphics(), TWMap::GraphicList({created.first()->enclosedTextArea()}));
    EXPECT_TRUE(created.first()->enclosedTextArea()->isEditing());
    created.first()->enclosedTextArea()->setIsEditing(false);
    settle();
    EXPECT_EQ(undo->undoActionName(), "New Branch");

    const auto a = child(root, 100, "a"), b = child(root, 300, "b"), c = child(root, 500, "c");
    select({c, a, b});
    settle();
    created = map->publicCreateChildrenOfType(-1, QStringLiteral("kid"), true);
    ASSERT_EQ(created.size(), 3);
    EXPECT_EQ(selectedNames(), QStringList({"kid", "kid", "kid"}));
    EXPECT_EQ(created.at(0)->parent(), c.get());
    EXPECT_EQ(created.at(1)->parent(), a.get());
    for (const auto &made : created)
        EXPECT_FALSE(made->enclosedTextArea()->isEditing());
}

TEST_F(MapOperations, NamesAndLocationsOfNewChildren)
{
    struct Case
    {
        QVariantMap options;
        QString text;
        std::optional<Point> origin;
    };
    const Case cases[] = {
        {{{"name", ""}}, "New Branch", std::nullopt},
        {{{"name", "x"}, {"location", QPointF(0, 0)}}, "x", std::nullopt},
        {{{"location", QPointF(600, 50)}}, "New Branch", Point(600, 70)},
        {{{"location", QPointF(100, 50)}}, "New Branch", Point(20, 70)}, // left of the root
    };
    for (const Case &c : cases) {
        map->removeAllSelectedGraphics();
        const auto plain = root->addChildOfType(2);
        const Point unmoved = originOf(plain);
        settle();
        undo->undo();
        const auto created = map->publicCreateChildrenWithOptions(c.options);
        ASSERT_EQ(created.size(), 1);
        EXPECT_EQ(BranchTest::nameOf(*created.first()), c.text);
        EXPECT_EQ(originOf(created.first()), c.origin.value_or(unmoved));
        settle();
        undo->undo();
    }
    map->removeAllSelectedGraphics();
    QAction item;
    item.setData(QVariantMap{{"type", 3}, {"name", "from menu"}});
    const auto fromMenu = map->publicCreateChildrenFromMenuItem(&item);
    ASSERT_EQ(fromMenu.size(), 1);
    EXPECT_EQ(fromMenu.first()->branchType(), 3);
    EXPECT_EQ(BranchTest::nameOf(*fromMenu.first()), "from menu");
}

TEST_F(MapOperations, SiblingsNeedASelectionAndSkipTheRoot)
{
    EXPECT_EQ(map->publicCreateSiblings(), std::nullopt);
    EXPECT_EQ(alerts.beepCount(), 1);
    select({root});
    const auto none = map->publicCreateSiblings();
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->isEmpty());
    EXPECT_EQ(map->countOfSelectedGraphics(), 0);
}

TEST_F(MapOperations, DeletingKeepsTheRootAndDropsLinkLinesToWhatGoes)
{
    const auto a = child(root, 100, "a"), b = child(root, 300, "b");
    map->publicCreateLinkLineFromGraphic(a->mainGraphic(), b->mainGraphic(), Point(), true);
    settle();
    EXPECT_EQ(undo->undoActionName(), "Add link line");
    ASSERT_EQ(map->countOfLinkLines(), 1);

    struct Case
    {
        const char *name;
        QList<std::shared_ptr<TWMapBranch>> selection;
        std::function<void()> run;
    };
    // A selected root covers its whole tree for Delete; Delete Branches
    // removes the others and keeps it.
    const Case cases[] = {
        {"Delete", {b}, [&] { map->publicDeleteSelectedGraphics(); }},
        {"Delete Branches", {root, b}, [&] { map->publicDeleteSelectedBranches(); }}};
    for (const Case &c : cases) {
        select(c.selection);
        c.run();
        settle();
        EXPECT_EQ(names(root->children()), QStringList({"a"})) << c.name;
        EXPECT_EQ(map->countOfLinkLines(), 0) << c.name;
        EXPECT_EQ(undo->undoActionName(), c.name);
        undo->undo();
        EXPECT_EQ(names(root->children()), QStringList({"a", "b"})) << c.name;
        EXPECT_EQ(map->countOfLinkLines(), 1) << c.name;
    }
}

TEST_F(MapOperations, DeletingUnhidesLevelsOnlyWhenAllWereShown)
{
    const auto a = child(root, 100, "a");
    const auto deep = child(a, 100, "deep", 700);
    const auto b = child(root, 300, "b");
    struct Case
    {
        int hideLevel, after;
    };
    // Two levels deep: shown at 2; level 2 hidden at 1 stays hidden.
    for (const Case c : {Case{2, 2}, Case{1, 1}}) {
        map->setBranchHideLevel(c.hideLevel);
        settle();
        select({b});
        map->publicDeleteSelectedGraphics();
        EXPECT_EQ(map->branchHideLevel(), c.after);
        settle();
        undo->undo();
        EXPECT_EQ(map->branchHideLevel(), c.hideLevel);
    }
    // Deleting the deepest level while everything is shown follows the new depth.
    map->setBranchHideLevel(2);
    select({deep});
    map->publicDeleteSelectedGraphics();
    EXPECT_EQ(map->branchHideLevel(), 1);
}

TEST_F(MapOperations, LinkLineDragAndCommit)
{
    const auto a = child(root, 100, "a");
    Recorder temp({TWMap::TemporaryLinkLineUpdatedNotification,
                   TWMap::TemporaryLinkLineRemovedNotification, TWMap::LinkLineAddedNotification});
    map->publicCreateLinkLineFromGraphic(a->mainGraphic(), nullptr, Point(5, 6), false);
    EXPECT_EQ(document->tempLinkLineDragPoint(), Point(5, 6));
    map->publicCreateLinkLineFromGraphic(a->mainGraphic(), nullptr, Point(5, 6), true);
    EXPECT_EQ(map->countOfLinkLines(), 0);
    EXPECT_EQ(document->tempLinkLineStartGraphic(), nullptr);
    map->publicCreateLinkLineFromGraphic(a->mainGraphic(), root->mainGraphic(), Point(), true);
    ASSERT_EQ(map->countOfLinkLines(), 1);
    EXPECT_EQ(map->selectedGraphics(),
              TWMap::GraphicList({std::static_pointer_cast<TWGraphic>(map->linkLines().first())}));
    EXPECT_EQ(temp.names(), QStringList({TWMap::TemporaryLinkLineUpdatedNotification,
                                         TWMap::TemporaryLinkLineRemovedNotification,
                                         TWMap::TemporaryLinkLineRemovedNotification,
                                         TWMap::LinkLineAddedNotification}));
    map->publicSetSelectedLinkLineWidth(3);
    settle();
    EXPECT_EQ(map->linkLines().first()->strokeWidth(), 3);
    EXPECT_EQ(undo->undoActionName(), "Set Link Line Width");

    // Named also without a link line in the selection (here in a step a move opened).
    select({a});
    a->moveBranchBy(1, 0, true);
    map->publicSetSelectedLinkLinesHaveEndArrow(true);
    settle();
    EXPECT_EQ(undo->undoActionName(), "Set End Link Arrow");
    map->publicDeleteLinkLineAtIndex(5);
    EXPECT_EQ(alerts.beepCount(), 1);
    map->publicDeleteLinkLineAtIndex(0);
    settle();
    EXPECT_EQ(undo->undoActionName(), "Delete Link Line");
}

TEST_F(MapOperations, SelectingSiblingsAndDescendantsExtendsTheSelection)
{
    const auto a = child(root, 100, "a"), b = child(root, 300, "b");
    const auto a1 = child(a, 100, "a1", 700);
    const auto b1 = child(b, 300, "b1", 700);
    const auto b11 = child(b1, 300, "b11", 800);
    b1->setChildrenHidden(true);
    settle();

    select({root});
    map->publicSelectSiblings();
    EXPECT_EQ(map->countOfSelectedGraphics(), 1);

    auto selectedSet = [this] {
        const QStringList list = selectedNames();
        return QSet<QString>(list.begin(), list.end());
    };
    select({a});
    map->publicSelectSiblings();
    EXPECT_EQ(selectedSet(), QSet<QString>({"a", "b"}));

    select({b});
    map->publicSelectDescendants();
    EXPECT_EQ(selectedSet(), QSet<QString>({"b", "b1"}));
}
