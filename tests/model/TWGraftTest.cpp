#include "BranchTestSupport.h"
#include "graphics/TWConnectionGraphic.h"
#include "platform/RecordingAlerts.h"

#include <cmath>
#include <functional>

using namespace BranchTest;

namespace {

class TWGraftTest : public BranchFixture
{
protected:
    TWGraftTest()
    {
        other = TWMap::create(document.get());
        document->addMap(other, false);
        other->setLayoutServices(layout);
        map->setFirstLevelSpacing(100);
        map->setInterChildSpacing(20);
        map->setRepelDistance(10);
        settle();
    }

    // Every branch of both maps: name, map, parent, index and shape origin.
    QString snapshot() const
    {
        QStringList lines;
        for (const auto &m : {map, other}) {
            for (const auto &b : m->allBranches()) {
                const Rect r = b->mainGraphic()->bounds();
                lines << QStringLiteral("%1 in %2 under %3 #%4 at %5,%6")
                             .arg(nameOf(*b), b->map() == map.get() ? "map" : "other",
                                  b->parent() ? nameOf(*b->parent()) : "-")
                             .arg(b->childIndex())
                             .arg(r.x())
                             .arg(r.y());
            }
        }
        return lines.join('\n');
    }
    // A branch of the other map.
    std::shared_ptr<TWMapBranch> otherChild(const std::shared_ptr<TWMapBranch> &parent, float y,
                                            const QString &name, float x = 500)
    {
        auto b = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(x, y, 80, 30)),
                                                parent.get(), other.get());
        b->enclosedTextArea()->setString(name);
        return b;
    }
    static Point centre(const std::shared_ptr<TWMapBranch> &b)
    {
        const Rect r = b->mainGraphic()->bounds();
        return {r.midX(), r.midY()};
    }
    std::shared_ptr<TWLinkLine> link(const std::shared_ptr<TWMapBranch> &from,
                                     const std::shared_ptr<TWMapBranch> &to, TWMap &in)
    {
        auto line = TWGraphic::make<TWLinkLine>();
        line->setPrimitiveBranch(from.get());
        line->connect(from->mainGraphic(), to->mainGraphic());
        in.insertObjectInLinkLinesAtIndex(line, in.countOfLinkLines());
        return line;
    }

    std::shared_ptr<TWMap> other;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
};

TEST_F(TWGraftTest, MovingABranchCarriesWhatRidesOnItAndWithChildrenItsSubtree)
{
    struct Case
    {
        const char *what;
        bool whole; // the root moves rather than a
        float dx, dy;
        bool children;
        float rootX, shapeX, labelX, attachedX, kidX;
        int redraws;
    };
    // clang-format off
    const Case cases[] = {
        {"with the subtree", false, 10, 5, true, 300, 510, 515, 610, 710, 0},
        {"without it", false, 10, 5, false, 300, 510, 515, 610, 700, 0},
        {"the root takes everything", true, 10, 5, false, 310, 510, 515, 610, 710, 1},
        {"no offset", false, 0, 0, true, 300, 500, 505, 600, 700, 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto a = child(root, 100, "a", 500);
        auto kid = child(a, 100, "kid", 700);
        auto attached = TWGraphic::createWithBounds(Rect(600, 50, 10, 10));
        a->insertObjectInLinkedGraphicsAtIndex(attached, 0);
        attached->setBranch(a.get());
        settle();
        const QString before = snapshot();
        Recorder redraws({TWMapBranch::RedrawInRectNotification});

        (c.whole ? root : a)->moveBranchBy(c.dx, c.dy, c.children);
        undo->closeEventGroup();
        EXPECT_EQ(root->mainGraphic()->bounds().x(), c.rootX);
        EXPECT_EQ(a->mainGraphic()->bounds(), Rect(c.shapeX, 100 + c.dy, 80, 30));
        EXPECT_EQ(a->enclosedTextArea()->bounds().x(), c.labelX);
        EXPECT_EQ(attached->bounds().origin, Point(c.attachedX, 50 + c.dy));
        EXPECT_EQ(kid->mainGraphic()->bounds().x(), c.kidX);
        EXPECT_EQ(redraws.count(TWMapBranch::RedrawInRectNotification), c.redraws);
        if (c.dx != 0)
            undo->undo();
        EXPECT_EQ(snapshot(), before);
        root->removeChild(a);
        settle();
    }
}

TEST_F(TWGraftTest, RefusalsBeepAndChangeNothing)
{
    auto a = child(root, 100, "a");
    auto b = child(root, 200, "b");
    auto elsewhere = otherChild(other->root(), 100, "elsewhere");
    settle();
    const QString before = snapshot();
    // clang-format off
    struct Case { const char *what; TWMapBranch::BranchList branches; std::shared_ptr<TWMapBranch> parent; } cases[] = {
        {"no branches", {}, b},
        {"no new parent", {a}, nullptr},
        {"only the central branch", {root}, b},
        {"onto itself", {a}, a},
        {"branches of two maps", {a, elsewhere}, b},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const int beeps = alerts.beepCount();
        const int steps = undo->undoStepCount();
        document->publicGraftBranches(c.branches, c.parent);
        undo->closeEventGroup();
        EXPECT_EQ(alerts.beepCount(), beeps + 1);
        EXPECT_EQ(undo->undoStepCount(), steps);
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(TWGraftTest, OntoItsOwnGrandchildTheChildrenMoveUpAndOneUndoRestoresAll)
{
    auto a = child(root, 100, "a", 500);
    auto a1 = child(a, 80, "a1", 600);
    auto a2 = child(a, 140, "a2", 600);
    auto g = child(a1, 80, "g", 700);
    auto b = child(root, 300, "b", 500);
    settle();
    const QString before = snapshot();

    // Listing the grandchild too moves it only with its ancestor.
    document->publicGraftBranches({a, a1}, g);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoActionName(), "Graft");
    EXPECT_EQ(names(root->children()), (QStringList{"b", "a1", "a2"}));
    EXPECT_EQ(a1->children(), TWMapBranch::BranchList{g});
    EXPECT_EQ(g->children(), TWMapBranch::BranchList{a});
    EXPECT_TRUE(a->children().isEmpty());
    // The children keep their place relative to the right edges.
    EXPECT_EQ(a1->mainGraphic()->bounds().x(), 600 + (root->branchBounds().maxX() - 580));
    const QString after = snapshot();

    undo->undo();
    EXPECT_EQ(snapshot(), before);
    undo->redo();
    EXPECT_EQ(snapshot(), after);
}

TEST_F(TWGraftTest, PlacementFollowsTheDestinationsLayoutSettings)
{
    // Root shape (300, 200, 100, 40): centre (350, 220). FLS 100, ICS 20, RD 10.
    const float pi = 3.14159265f;
    struct Case
    {
        const char *what;
        int mode, ordering;
        // Builds the destination's branches and returns the new parent.
        std::function<std::shared_ptr<TWMapBranch>()> setup;
        Point expected; // centre of the grafted shape
    };
    // clang-format off
    const Case cases[] = {
        {"free mode under the centre keeps the drop position", 0, 1, [&] { return root; }, {40, 515}},
        {"the first child goes below the centre", 2, 1, [&] { return root; }, {350, 320}},
        {"without ordering flag it goes to the left", 2, 2, [&] { return root; }, {250, 220}},
        {"a second child goes above the first", 2, 1,
         [&] { child(root, 305, "below", 310); return root; }, {350, 120}},
        {"three spread evenly", 2, 1,
         [&] { child(root, 105, "above", 310); child(root, 305, "below", 310); return root; },
         {350 + 100 * std::sin(5 * pi / 3), 220 - 100 * std::cos(5 * pi / 3)}},
        {"the widest gap between children", 1, 1,
         [&] { child(root, 105, "up", 310); child(root, 205, "right", 410); return root; },
         {350 + 100 * std::sin(5 * pi / 4), 220 - 100 * std::cos(5 * pi / 4)}},
        {"general placement without children, ordered: below", 1, 1, [&] { return root; },
         {350, 240 + 100 + 15}},
        {"two in place, but an ordering that does not spread leaves it", 2, 3,
         [&] { child(root, 105, "above", 310); child(root, 305, "below", 310); return root; },
         {40, 515}},
        {"under a childless branch on the right", 1, 1,
         [&] { return child(root, 100, "p", 500); }, {500 + 80 + 20 + 40, 115}},
        {"under a branch on the left, below its last child", 1, 1,
         [&] {
             auto p = child(root, 100, "p", 100);
             child(p, 150, "last", 20);
             return p;
         },
         // The last child's label reaches 5 below its shape.
         {20 + 80 - 40, 150 + 35 + 10 + 15}},
        {"stacked in one column with the children", 2, 1,
         [&] {
             auto p = child(root, 100, "p", 500);
             child(p, 300, "c", 700);
             return p;
         },
         // Column 35 + 10 + 35 high centred on 115; top edges at the slot middles.
         {500 + 80 + 20 + 40, 75 + 35 + 10 + 17.5f + 15}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        map->setLayoutAssistanceMode(c.mode);
        map->setOrderingMode(c.ordering);
        const std::shared_ptr<TWMapBranch> parent = c.setup();
        auto moved = otherChild(other->root(), 500, "moved", 0);
        settle();
        document->publicGraftBranches({moved}, parent);
        const Point at = centre(moved);
        EXPECT_NEAR(at.x, c.expected.x, 0.01);
        EXPECT_NEAR(at.y, c.expected.y, 0.01);
        while (root->countOfChildren() > 0)
            root->removeObjectFromChildrenAtIndex(0);
        settle();
    }
}

TEST_F(TWGraftTest, AcrossMapsTheSubtreeItsConnectionsAndLinkLinesMoveAndUndoBack)
{
    auto keep = otherChild(other->root(), 100, "keep");
    auto top = otherChild(other->root(), 200, "top");
    auto leaf = otherChild(top, 200, "leaf", 600);
    auto deep = otherChild(leaf, 200, "deep", 700);
    auto inside = link(top, deep, *other);
    auto across = link(keep, leaf, *other);
    auto target = child(root, 100, "target");
    // Every level of both maps is shown.
    map->setBranchHideLevel(root->getMaximumBranchLevel());
    other->setBranchHideLevel(other->root()->getMaximumBranchLevel());
    settle();
    const QString before = snapshot();
    Recorder changes({TWMap::ValueChangeNotification});

    document->publicGraftBranches({top}, root);
    document->publicGraftBranches({leaf}, target);
    undo->closeEventGroup();

    for (const auto &b : {top, leaf, deep})
        EXPECT_EQ(b->map(), map.get()) << nameOf(*b).toStdString();
    EXPECT_EQ(top->connectionGraphic()->className(), "TWTitleConnection");
    EXPECT_EQ(leaf->connectionGraphic()->className(), "TWChildConnection");
    EXPECT_EQ(deep->connectionGraphic()->className(), "TWChildConnection");
    EXPECT_EQ(map->linkLines(), TWMap::LinkLineList{inside});
    EXPECT_TRUE(other->linkLines().isEmpty());
    // The hide levels still show every level (the source's at least as many
    // as the grafted subtree has).
    EXPECT_EQ(map->branchHideLevel(), 3);
    EXPECT_EQ(other->branchHideLevel(), 3);
    ASSERT_EQ(changes.notifications.size(), 8);
    EXPECT_EQ(changes.notifications[0].sender.identity(), other.get());
    EXPECT_EQ(changes.notifications[3].sender.identity(), map.get());
    EXPECT_EQ(changes.notifications[3].userInfo.value(TWMap::KeyKey), "maximumBranchHideLevel");

    undo->undo();
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(other->linkLines(), (TWMap::LinkLineList{inside, across}));
    EXPECT_TRUE(map->linkLines().isEmpty());
    EXPECT_EQ(top->connectionGraphic()->className(), "TWTitleConnection");
    EXPECT_EQ(map->branchHideLevel(), 1);
}

TEST_F(TWGraftTest, AGraftLeavesNoSelectionOfGraphicsThatLeftTheMap)
{
    struct Case
    {
        const char *what;
        bool toOtherMap;
    };
    const Case cases[] = {{"into the other map", true}, {"within the map", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto keep = otherChild(other->root(), 100, "keep");
        auto top = otherChild(other->root(), 200, "top");
        auto leaf = otherChild(top, 200, "leaf", 600);
        auto inside = link(top, leaf, *other);
        auto across = link(keep, leaf, *other);
        auto stays = link(keep, keep, *other);
        auto target = c.toOtherMap ? child(root, 100, "target") : otherChild(keep, 300, "target");
        const TWMap::GraphicList selection = {
            keep->mainGraphic(), top->mainGraphic(), leaf->enclosedTextArea(), inside, across,
            stays,               keep->enclosedTextArea()};
        for (const auto &graphic : selection)
            other->insertObjectInSelectedGraphicsAtIndex(graphic, other->countOfSelectedGraphics());
        settle();

        document->publicGraftBranches({top}, target);
        settle();

        // What is still in the map stays selected, in its order.
        const TWMap::GraphicList left =
            c.toOtherMap ? TWMap::GraphicList{keep->mainGraphic(), stays, keep->enclosedTextArea()}
                         : selection;
        EXPECT_EQ(other->selectedGraphics(), left);
        EXPECT_TRUE(map->selectedGraphics().isEmpty());
        other->removeAllSelectedGraphics();
        settle();
    }
}

} // namespace
