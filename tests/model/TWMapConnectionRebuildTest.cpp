#include "model/TWMapConnectionRebuild.h"
#include "TWMapTestSupport.h"
#include "support/BezierPath.h"

using namespace MapTest;

namespace {

// A connection that keeps everything the walks set on it, standing for the
// connection classes the factory will make.
class TestConnection : public TWConnectionGraphic
{
public:
    TWConnectionKind kind = TWConnectionKind::Child;
    TWConnectionGraphicNumbers numbers;
    Point position;
    TWConnectionSettings settings;
};

class TestFactory : public TWConnectionFactory
{
public:
    std::optional<TWConnectionKind> kindOf(const TWConnectionGraphic &c) const override
    {
        if (auto *t = dynamic_cast<const TestConnection *>(&c))
            return t->kind;
        return std::nullopt;
    }
    std::shared_ptr<TWConnectionGraphic> makeConnection(TWConnectionKind kind) override
    {
        auto c = TWGraphic::make<TestConnection>();
        c->kind = kind;
        // What the initializers leave, so that the walk's defaults show.
        c->settings.parentArrowLength = -1;
        c->setDrawsFill(kind == TWConnectionKind::Child);
        return c;
    }
    std::shared_ptr<TWConnectionGraphic> makeTitleConnection(const std::shared_ptr<TWGraphic> &g,
                                                             Point position) override
    {
        auto c = std::static_pointer_cast<TestConnection>(makeConnection(TWConnectionKind::Title));
        c->setPrimitiveBranch(g->branch());
        c->numbers.connected = g->graphicNumber();
        c->position = position;
        return c;
    }
    std::shared_ptr<TWConnectionGraphic>
    makeChildConnection(const std::shared_ptr<TWGraphic> &parent,
                        const std::shared_ptr<TWGraphic> &child) override
    {
        auto c = std::static_pointer_cast<TestConnection>(makeConnection(TWConnectionKind::Child));
        c->setPrimitiveBranch(child->branch());
        c->numbers.parent = parent->graphicNumber();
        c->numbers.child = child->graphicNumber();
        return c;
    }
    TWConnectionGraphicNumbers graphicNumbers(const TWConnectionGraphic &c) const override
    {
        return static_cast<const TestConnection &>(c).numbers;
    }
    void setConnectedGraphicNumber(TWConnectionGraphic &c, long number) override
    {
        static_cast<TestConnection &>(c).numbers.connected = number;
    }
    void setParentAndChildGraphicNumbers(TWConnectionGraphic &c, long parent, long child) override
    {
        static_cast<TestConnection &>(c).numbers.parent = parent;
        static_cast<TestConnection &>(c).numbers.child = child;
    }
    void setPosition(TWConnectionGraphic &c, Point position) override
    {
        static_cast<TestConnection &>(c).position = position;
    }
    TWConnectionSettings settings(const TWConnectionGraphic &c) const override
    {
        return static_cast<const TestConnection &>(c).settings;
    }
    void applySettings(TWConnectionGraphic &c, const TWConnectionSettings &s) override
    {
        static_cast<TestConnection &>(c).settings = s;
    }
};

class TWMapConnectionRebuildTest : public MapFixture
{
protected:
    TWMapConnectionRebuildTest()
    {
        TWConnectionFactory::install(factory);
        map = addMap();
        map->root()->mainGraphic()->setBounds(Rect(300, 200, 100, 40));
        a = branch(map, map->root(), "a", Rect(500, 100, 80, 30));
        aa = branch(map, a, "aa", Rect(650, 100, 60, 20));
        b = branch(map, map->root(), "b", Rect(100, 300, 80, 30));
        bb = branch(map, b, "bb", Rect(20, 350, 60, 20));
        TWMapConnectionRebuild::resetConnectionGraphicsRecursively(*map->root());
        settle();
    }
    ~TWMapConnectionRebuildTest() override { TWConnectionFactory::install(nullptr); }

    static TestConnection &connectionOf(const std::shared_ptr<TWMapBranch> &branch)
    {
        auto *c = dynamic_cast<TestConnection *>(branch->connectionGraphic().get());
        EXPECT_NE(c, nullptr);
        static TestConnection *none = new TestConnection;
        return c ? *c : *none;
    }
    static long number(const std::shared_ptr<TWMapBranch> &branch)
    {
        return branch->mainGraphic()->graphicNumber();
    }
    // Moves `branch` under `parent`, as a graft does.
    void move(const std::shared_ptr<TWMapBranch> &branch,
              const std::shared_ptr<TWMapBranch> &parent)
    {
        branch->parentPointer()->removeChild(branch);
        parent->insertObjectInChildrenAtIndex(branch, parent->countOfChildren());
        branch->setParent(parent.get());
    }

    std::shared_ptr<TestFactory> factory = std::make_shared<TestFactory>();
    std::shared_ptr<TWMap> map;
    std::shared_ptr<TWMapBranch> a, aa, b, bb;
};

TEST_F(TWMapConnectionRebuildTest, ResettingGivesEveryBranchTheRightKindWithDefaults)
{
    EXPECT_EQ(map->root()->connectionGraphic(), nullptr);
    const TWConnectionSettings defaults;
    for (const auto &[branch, kind] : {std::pair{a, TWConnectionKind::Title},
                                       {b, TWConnectionKind::Title},
                                       {aa, TWConnectionKind::Child},
                                       {bb, TWConnectionKind::Child}}) {
        SCOPED_TRACE(BranchTest::nameOf(*branch).toStdString());
        TestConnection &c = connectionOf(branch);
        EXPECT_EQ(c.kind, kind);
        EXPECT_EQ(c.branch(), branch.get());
        EXPECT_EQ(c.settings, defaults);
        EXPECT_EQ(c.settings.parentArrowLength, 20);
        EXPECT_EQ(c.settings.childArrowWidth, 10);
        EXPECT_TRUE(c.settings.parentFilled && c.settings.childFilled);
        EXPECT_FALSE(c.settings.label.has_value());
        EXPECT_EQ(c.drawsFill(), kind == TWConnectionKind::Title);
        EXPECT_TRUE(c.drawsStroke());
        if (kind == TWConnectionKind::Title) {
            EXPECT_EQ(c.numbers.connected, number(branch));
            EXPECT_EQ(c.position, Point(350, 220));
        } else {
            EXPECT_EQ(c.numbers.parent, number(branch == aa ? a : b));
            EXPECT_EQ(c.numbers.child, number(branch));
        }
    }

    // A connection of the right kind stays and is only renumbered.
    TestConnection *kept = &connectionOf(aa);
    kept->numbers = {};
    kept->settings.label = AttributedString("kept");
    TWMapConnectionRebuild::resetConnectionGraphicsRecursively(*a);
    EXPECT_EQ(&connectionOf(aa), kept);
    EXPECT_EQ(kept->numbers.child, number(aa));
    EXPECT_EQ(kept->settings.label, AttributedString("kept"));
}

TEST_F(TWMapConnectionRebuildTest, AFirstLevelBranchMovedDeeperGetsAChildConnectionWithItsSettings)
{
    TestConnection &old = connectionOf(b);
    old.setStrokeColor(Color::colorWithCalibratedRed(0, 0.5, 0));
    old.setStrokeWidth(3);
    old.setStrokeStyle(2);
    old.setDrawsShadow(true);
    old.setShapeName(QString("wave"));
    old.settings.connectionToParentSide = 2;
    old.settings.parentArrowLength = 12;
    old.settings.endAtChild = true;
    old.settings.label = AttributedString("because");
    old.settings.labelOffset = Point(4, 5);
    const TWConnectionSettings carried = old.settings;
    const auto oldConnection = b->connectionGraphic();
    TestConnection *childOfB = &connectionOf(bb);
    childOfB->setCachedBezierPath(std::make_shared<BezierPath>());
    settle();

    move(b, a);
    TWMapConnectionRebuild::resolveConnectionGraphicRecursively(*b, true);
    TestConnection &now = connectionOf(b);
    EXPECT_EQ(now.kind, TWConnectionKind::Child);
    EXPECT_EQ(now.numbers.parent, number(a));
    EXPECT_EQ(now.numbers.child, number(b));
    EXPECT_EQ(now.strokeColor(), Color::colorWithCalibratedRed(0, 0.5, 0));
    EXPECT_EQ(now.strokeWidth(), 3);
    EXPECT_EQ(now.strokeStyle(), 2);
    EXPECT_TRUE(now.drawsShadow());
    EXPECT_EQ(now.shapeName(), QString("wave"));
    EXPECT_EQ(now.settings, carried);
    EXPECT_FALSE(now.drawsFill());
    EXPECT_FALSE(now.isBeingDragged());
    EXPECT_NE(now.graphicNumber(), oldConnection->graphicNumber());
    // The children keep their connections, renumbered, their paths dropped.
    EXPECT_EQ(&connectionOf(bb), childOfB);
    EXPECT_EQ(childOfB->numbers.parent, number(b));
    EXPECT_EQ(childOfB->cachedBezierPath(), nullptr);

    // Undo puts the old connection back.
    settle();
    undo->undo();
    EXPECT_EQ(b->connectionGraphic(), oldConnection);
}

TEST_F(TWMapConnectionRebuildTest, ADeepBranchMovedUnderTheRootGetsATitleConnection)
{
    connectionOf(aa).settings.childArrowWidth = 4;
    move(aa, map->root());
    TWMapConnectionRebuild::resolveConnectionGraphicRecursively(*aa, false);
    TestConnection &now = connectionOf(aa);
    EXPECT_EQ(now.kind, TWConnectionKind::Title);
    EXPECT_EQ(now.position, Point(350, 220));
    EXPECT_EQ(now.numbers.connected, number(aa));
    EXPECT_TRUE(now.drawsFill());
    EXPECT_EQ(now.settings.childArrowWidth, 4);
}

TEST_F(TWMapConnectionRebuildTest, ResolvingTheRootAloneChangesNothing)
{
    const int steps = undo->undoStepCount();
    TWMapConnectionRebuild::resolveConnectionGraphicRecursively(*map->root(), false);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps);
    EXPECT_EQ(map->root()->connectionGraphic(), nullptr);
    EXPECT_TRUE(layout->calls.isEmpty());
}

TEST_F(TWMapConnectionRebuildTest, LoadedConnectionsAreResolvedToTheNewNumbers)
{
    // As read: connections hold the numbers the graphics were saved with.
    a->mainGraphic()->setOriginalGraphicNumber(101);
    aa->mainGraphic()->setOriginalGraphicNumber(102);
    connectionOf(a).numbers.connected = 101;
    connectionOf(aa).numbers = {0, 101, 102};
    connectionOf(aa).setPrimitiveBranch(nullptr);
    map->resolveLoadedGraphics();
    EXPECT_EQ(connectionOf(a).numbers.connected, number(a));
    EXPECT_EQ(connectionOf(aa).numbers.parent, number(a));
    EXPECT_EQ(connectionOf(aa).numbers.child, number(aa));
    EXPECT_EQ(connectionOf(aa).branch(), aa.get());
}

TEST_F(TWMapConnectionRebuildTest, TheKindsFactoryCarriesEverySetting)
{
    TWConnectionKindsFactory kinds;
    auto title = kinds.makeTitleConnection(a->mainGraphic(), Point(1, 2));
    auto child = kinds.makeChildConnection(a->mainGraphic(), aa->mainGraphic());
    EXPECT_EQ(kinds.kindOf(*title), TWConnectionKind::Title);
    EXPECT_EQ(kinds.kindOf(*child), TWConnectionKind::Child);
    EXPECT_EQ(kinds.graphicNumbers(*title).connected, number(a));
    EXPECT_EQ(kinds.graphicNumbers(*child).parent, number(a));
    EXPECT_EQ(kinds.graphicNumbers(*child).child, number(aa));
    const TWConnectionSettings all{.connectionToParentSide = 3,
                                   .connectionFromParentSide = 2,
                                   .parentConnectionLineStyle = 2,
                                   .endAtParent = 2,
                                   .endAtChild = 1,
                                   .parentArrowLength = 7,
                                   .parentArrowWidth = 3,
                                   .childArrowLength = 8,
                                   .childArrowWidth = 4,
                                   .parentFilled = false,
                                   .childFilled = false,
                                   .label = AttributedString("because"),
                                   .labelDirection = 1,
                                   .labelAngle = 0.5f,
                                   .labelOffset = Point(4, 5)};
    for (const auto &c : {title, child}) {
        kinds.applySettings(*c, all);
        EXPECT_EQ(kinds.settings(*c), all);
    }
}

// The same walks with the factory the program installs.
class TWMapConnectionKindsTest : public MapFixture
{
protected:
    TWMapConnectionKindsTest()
    {
        map = addMap();
        map->root()->mainGraphic()->setBounds(Rect(300, 200, 100, 40));
        a = branch(map, map->root(), "a", Rect(500, 100, 80, 30));
        aa = branch(map, a, "aa", Rect(650, 100, 60, 20));
        b = branch(map, map->root(), "b", Rect(100, 300, 80, 30));
        settle();
    }
    static long number(const std::shared_ptr<TWMapBranch> &branch)
    {
        return branch->mainGraphic()->graphicNumber();
    }
    std::shared_ptr<TWMap> map;
    std::shared_ptr<TWMapBranch> a, aa, b;
};

TEST_F(TWMapConnectionKindsTest, RebuiltConnectionsJoinTheirGraphicsWithDefaults)
{
    for (const auto &branch : {a, aa})
        branch->setConnectionGraphic(nullptr);
    TWMapConnectionRebuild::resetConnectionGraphicsRecursively(*map->root());

    auto *title = dynamic_cast<TWTitleConnection *>(a->connectionGraphic().get());
    auto *child = dynamic_cast<TWChildConnection *>(aa->connectionGraphic().get());
    ASSERT_TRUE(title && child);
    EXPECT_EQ(title->connectedGraphicNumber(), number(a));
    EXPECT_EQ(title->connectedGraphic(), a->mainGraphic());
    EXPECT_EQ(title->position(), Point(350, 220));
    EXPECT_EQ(child->parentGraphicNumber(), number(a));
    EXPECT_EQ(child->childGraphicNumber(), number(aa));
    EXPECT_EQ(child->parentGraphic(), a->mainGraphic());
    EXPECT_EQ(child->childGraphic(), aa->mainGraphic());
    for (TWConnectionGraphic *c :
         {static_cast<TWConnectionGraphic *>(title), static_cast<TWConnectionGraphic *>(child)}) {
        SCOPED_TRACE(c->className().toStdString());
        EXPECT_EQ(c->branch(), c == title ? a.get() : aa.get());
        EXPECT_EQ(c->parentArrowLength(), 20);
        EXPECT_EQ(c->parentArrowWidth(), 10);
        EXPECT_EQ(c->childArrowLength(), 20);
        EXPECT_EQ(c->childArrowWidth(), 10);
        EXPECT_TRUE(c->parentFilled() && c->childFilled());
        EXPECT_EQ(c->drawsFill(), c == title);
        EXPECT_EQ(map->findGraphicWithGraphicNumber(c->graphicNumber()).get(), c);
    }

    // A pasted subtree is reset before it hangs in the map: its connections
    // still join the shapes they were given.
    auto pasted = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 50, 20)),
                                                 nullptr, map.get());
    auto inner = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(90, 0, 50, 20)),
                                                pasted.get(), map.get());
    inner->setConnectionGraphic(nullptr);
    TWMapConnectionRebuild::resetConnectionGraphicsRecursively(*pasted);
    auto *pastedChild = dynamic_cast<TWChildConnection *>(inner->connectionGraphic().get());
    ASSERT_TRUE(pastedChild);
    EXPECT_EQ(pastedChild->parentGraphic(), pasted->mainGraphic());
    EXPECT_EQ(pastedChild->childGraphic(), inner->mainGraphic());
}

TEST_F(TWMapConnectionKindsTest, AClassChangeKeepsArrowsEndsAndLabel)
{
    TWConnectionKindsFactory kinds;
    TWConnectionSettings set = kinds.settings(*b->connectionGraphic());
    set.endAtParent = 2;
    set.endAtChild = 1;
    set.parentArrowLength = 7;
    set.childArrowWidth = 3;
    set.parentFilled = false;
    set.label = AttributedString("because");
    kinds.applySettings(*b->connectionGraphic(), set);

    // b moves under a and back under the root: a child connection, then a
    // title connection, each with the same settings.
    for (const auto &parent : {a, map->root()}) {
        SCOPED_TRACE(BranchTest::nameOf(*parent).toStdString());
        b->parentPointer()->removeChild(b);
        parent->insertObjectInChildrenAtIndex(b, parent->countOfChildren());
        b->setParent(parent.get());
        TWMapConnectionRebuild::resolveConnectionGraphicRecursively(*b, true);
        const auto &now = b->connectionGraphic();
        EXPECT_EQ(kinds.kindOf(*now),
                  parent == a ? TWConnectionKind::Child : TWConnectionKind::Title);
        EXPECT_EQ(kinds.settings(*now), set);
        EXPECT_EQ(now->branch(), b.get());
    }
    auto *title = dynamic_cast<TWTitleConnection *>(b->connectionGraphic().get());
    ASSERT_TRUE(title);
    EXPECT_EQ(title->connectedGraphic(), b->mainGraphic());
}

TEST_F(TWMapConnectionKindsTest, LoadedConnectionsFindTheirGraphicsAgain)
{
    // As read: fresh connections holding the numbers the graphics were saved
    // with, which no graphic has now. The other shapes were never saved (0).
    a->mainGraphic()->setOriginalGraphicNumber(101);
    aa->mainGraphic()->setOriginalGraphicNumber(102);
    auto title = TWGraphic::make<TWTitleConnection>();
    title->setBranch(a.get());
    title->setConnectedGraphicNumber(101);
    a->setConnectionGraphic(title);
    auto child = TWGraphic::make<TWChildConnection>();
    child->setBranch(aa.get());
    child->setParentGraphicNumber(101);
    child->setChildGraphicNumber(102);
    aa->setConnectionGraphic(child);
    child->setPrimitiveBranch(nullptr);
    ASSERT_EQ(child->parentGraphicNumber(), 101);
    // A connection whose numbers were lost matches no unsaved shape.
    auto lost = TWGraphic::make<TWChildConnection>();
    lost->setBranch(b.get());
    b->setConnectionGraphic(lost);

    map->resolveLoadedGraphics();
    EXPECT_EQ(title->connectedGraphicNumber(), number(a));
    EXPECT_EQ(title->connectedGraphic(), a->mainGraphic());
    EXPECT_EQ(child->parentGraphicNumber(), number(a));
    EXPECT_EQ(child->childGraphicNumber(), number(aa));
    EXPECT_EQ(child->parentGraphic(), a->mainGraphic());
    EXPECT_EQ(child->childGraphic(), aa->mainGraphic());
    EXPECT_EQ(child->branch(), aa.get());
    EXPECT_EQ(lost->parentGraphic(), nullptr);
    EXPECT_EQ(lost->childGraphic(), nullptr);
    EXPECT_EQ(lost->branch(), b.get());
}

} // namespace
