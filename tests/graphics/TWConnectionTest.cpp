#include "BranchTestSupport.h"
#include "KindXMLSupport.h"
#include "graphics/TWCircle.h"
#include "graphics/TWConnectionGeometry.h"
#include "graphics/TWConnectionRepair.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"
#include "platform/RecordingAlerts.h"
#include "support/BezierPath.h"

#include <cmath>
#include <optional>
#include <utility>

using namespace BranchTest;
using namespace KindXML;

namespace {

// The root is a 100 x 40 rectangle centred on (350, 220).
class TWConnectionTest : public BranchFixture
{
protected:
    std::shared_ptr<TWMapBranch> shapeBranch(TWMapBranch *parent, std::shared_ptr<TWGraphic> shape)
    {
        return TWMapBranch::createWithGraphic(shape, parent, map.get());
    }
    std::shared_ptr<TWChildConnection> childConnection(const std::shared_ptr<TWMapBranch> &b)
    {
        return std::dynamic_pointer_cast<TWChildConnection>(b->connectionGraphic());
    }
    std::shared_ptr<TWTitleConnection> titleConnection(const std::shared_ptr<TWMapBranch> &b)
    {
        return std::dynamic_pointer_cast<TWTitleConnection>(b->connectionGraphic());
    }
    QString numbers(long parent, long child)
    {
        return QStringLiteral("<parentGraphicNumber>%1</parentGraphicNumber>"
                              "<childGraphicNumber>%2</childGraphicNumber>")
            .arg(parent)
            .arg(child);
    }
};

TEST_F(TWConnectionTest, AnElementWithoutConnectionChildrenReadsTheDefaults)
{
    auto a = child(root, 100, "a");
    auto b = child(a, 150, "b", 650);
    auto c = std::dynamic_pointer_cast<TWChildConnection>(
        read(element("TWChildConnection",
                     numbers(a->mainGraphic()->graphicNumber(), b->mainGraphic()->graphicNumber())),
             b.get()));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->connectionToParentSide(), 1);
    EXPECT_EQ(c->connectionFromParentSide(), 0);
    EXPECT_EQ(c->parentConnectionLineStyle(), 0);
    EXPECT_EQ(c->endAtParent(), 0);
    EXPECT_EQ(c->endAtChild(), 0);
    EXPECT_EQ(c->parentArrowLength(), 20.0f);
    EXPECT_EQ(c->parentArrowWidth(), 10.0f);
    EXPECT_EQ(c->childArrowLength(), 20.0f);
    EXPECT_EQ(c->childArrowWidth(), 10.0f);
    EXPECT_TRUE(c->parentFilled());
    EXPECT_TRUE(c->childFilled());
    EXPECT_FALSE(c->label());
    EXPECT_EQ(c->labelDirection(), 0);
    EXPECT_EQ(c->labelAngle(), 0.0f);
    EXPECT_EQ(c->labelOffset(), Point());
    EXPECT_EQ(c->parentGraphic(), a->mainGraphic());
    EXPECT_EQ(c->childGraphic(), b->mainGraphic());
}

TEST_F(TWConnectionTest, UnusableArrowSizesAndPointsReadAsIfMissing)
{
    auto a = child(root, 100, "a");
    auto b = child(a, 150, "b", 650);
    auto c = std::dynamic_pointer_cast<TWChildConnection>(
        read(element("TWChildConnection",
                     numbers(a->mainGraphic()->graphicNumber(), b->mainGraphic()->graphicNumber()) +
                         "<parentArrowLength>inf</parentArrowLength>"
                         "<childArrowWidth>1e39</childArrowWidth><labelAngle>nan</labelAngle>"
                         "<labelOffset><x>-inf</x><y>4</y></labelOffset>"),
             b.get()));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->parentArrowLength(), 20.0f);
    EXPECT_EQ(c->childArrowWidth(), 10.0f);
    EXPECT_EQ(c->labelAngle(), 0.0f);
    EXPECT_EQ(c->labelOffset(), Point(0, 4));

    auto line = std::dynamic_pointer_cast<TWLinkLine>(
        read(element("TWLinkLine",
                     QStringLiteral("<startGraphicNumber>%1</startGraphicNumber>"
                                    "<endGraphicNumber>%2</endGraphicNumber>"
                                    "<startArrowLength>nan</startArrowLength>"
                                    "<intermediatePoint1><x>1e39</x><y>7</y></intermediatePoint1>")
                         .arg(a->mainGraphic()->graphicNumber())
                         .arg(b->mainGraphic()->graphicNumber())),
             a.get()));
    ASSERT_TRUE(line);
    EXPECT_TRUE(std::isfinite(line->startArrowLength()));
    EXPECT_TRUE(std::isfinite(line->intermediatePoint1().x));
    EXPECT_EQ(line->intermediatePoint1().y, 7);
}

TEST_F(TWConnectionTest, SettingsRoundTripWithIntegerEndsAndExactYes)
{
    auto a = child(root, 100, "a");
    auto b = child(a, 150, "b", 650);
    auto c = childConnection(b);
    c->setConnectionToParentSide(3);
    c->setConnectionFromParentSide(2);
    c->setParentConnectionLineStyle(5);
    c->setEndAtParent(3);
    c->setEndAtChild(1);
    c->setParentArrowLength(7.5f);
    c->setParentArrowWidth(4);
    c->setChildArrowLength(9);
    c->setChildArrowWidth(2.25f);
    c->setParentFilled(false);
    c->setChildFilled(true);
    c->setLabel(AttributedString(QStringLiteral("via")));
    c->setLabelDirection(2);
    c->setLabelAngle(0.5f);
    c->setLabelOffset(Point(3, -4));

    const QByteArray text = write(*c);
    EXPECT_TRUE(text.contains("<endAtParent>3</endAtParent><endAtChild>1</endAtChild>"));
    EXPECT_TRUE(text.contains("<parentArrowLength>7.500000</parentArrowLength>"));
    auto back = std::dynamic_pointer_cast<TWChildConnection>(read(text, b.get()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->connectionToParentSide(), 3);
    EXPECT_EQ(back->connectionFromParentSide(), 2);
    EXPECT_EQ(back->parentConnectionLineStyle(), 5);
    EXPECT_EQ(back->endAtParent(), 3);
    EXPECT_EQ(back->endAtChild(), 1);
    EXPECT_EQ(back->parentArrowLength(), 7.5f);
    EXPECT_EQ(back->parentArrowWidth(), 4.0f);
    EXPECT_EQ(back->childArrowLength(), 9.0f);
    EXPECT_EQ(back->childArrowWidth(), 2.25f);
    EXPECT_FALSE(back->parentFilled());
    EXPECT_TRUE(back->childFilled());
    ASSERT_TRUE(back->label());
    EXPECT_EQ(back->label()->string(), "via");
    EXPECT_EQ(back->labelDirection(), 2);
    EXPECT_EQ(back->labelAngle(), 0.5f);
    EXPECT_EQ(back->labelOffset(), Point(3, -4));

    // Only "YES" is true; an empty label is not written.
    QByteArray lower = text;
    lower.replace("<childFilled>YES</childFilled>", "<childFilled>yes</childFilled>");
    EXPECT_FALSE(std::dynamic_pointer_cast<TWChildConnection>(read(lower, b.get()))->childFilled());
    c->setLabel(AttributedString());
    EXPECT_FALSE(write(*c).contains("<label>"));
    // One character is a label.
    c->setLabel(AttributedString(QStringLiteral("x")));
    back = std::dynamic_pointer_cast<TWChildConnection>(read(write(*c), b.get()));
    ASSERT_TRUE(back && back->label());
    EXPECT_EQ(back->label()->string(), "x");
}

TEST_F(TWConnectionTest, SettersUndoAndIgnoreEqualValues)
{
    auto a = child(root, 100, "a");
    auto c = a->connectionGraphic();
    settle();
    undo->removeAllActions();
    c->setEndAtChild(0);
    c->setLabelOffset(Point());
    EXPECT_FALSE(undo->canUndo());
    c->setEndAtChild(4);
    c->setLabelAngle(1.5f);
    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(c->endAtChild(), 0);
    EXPECT_EQ(c->labelAngle(), 0.0f);
    undo->redo();
    EXPECT_EQ(c->endAtChild(), 4);
    EXPECT_EQ(c->labelAngle(), 1.5f);
}

TEST_F(TWConnectionTest, TestModeNumbersAndRefusals)
{
    auto a = child(root, 100, "a");
    auto b = child(a, 150, "b", 650);
    childConnection(b)->setTesting(true);
    const QByteArray child = write(*b->connectionGraphic());
    EXPECT_TRUE(child.contains("<testing>YES</testing><parentGraphicNumber>12</parentGraphicNumber>"
                               "<childGraphicNumber>24</childGraphicNumber>"));
    auto back = std::dynamic_pointer_cast<TWChildConnection>(read(child, b.get()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->parentGraphicNumber(), 12);
    EXPECT_EQ(back->childGraphicNumber(), 24);

    titleConnection(a)->setTesting(true);
    const QByteArray title = write(*a->connectionGraphic());
    EXPECT_TRUE(title.contains(
        "<connectedGraphicNumber>42</connectedGraphicNumber><testing>YES</testing>"));
    auto titleBack = std::dynamic_pointer_cast<TWTitleConnection>(read(title, a.get()));
    ASSERT_TRUE(titleBack);
    EXPECT_EQ(titleBack->connectedGraphicNumber(), 42);

    const QString testing = QStringLiteral("<testing>YES</testing>");
    for (const QByteArray &refused :
         {element("TWChildConnection", testing + numbers(13, 24)),
          element("TWChildConnection", testing + numbers(12, 25)),
          element("TWChildConnection", numbers(0, 24)),
          element("TWChildConnection", numbers(12, 0)),
          element("TWChildConnection", "<childGraphicNumber>3</childGraphicNumber>"),
          element("TWChildConnection", "<parentGraphicNumber>3</parentGraphicNumber>"),
          element("TWTitleConnection",
                  testing + "<connectedGraphicNumber>41</connectedGraphicNumber>"),
          element("TWTitleConnection", QString())})
        EXPECT_FALSE(read(refused, b.get())) << refused.constData();
}

TEST_F(TWConnectionTest, RefusedConnectionsAreRebuiltAndReportedOnce)
{
    RecordingAlerts alerts;
    Alerts::Scope scope(&alerts);
    auto a = child(root, 100, "a");
    auto b = child(a, 150, "b", 650);
    auto c = child(a, 250, "c", 650);
    a->setConnectionGraphic(nullptr);
    b->setConnectionGraphic(nullptr);
    c->setConnectionGraphic(TWTitleConnection::create(c->mainGraphic(), Point()));

    EXPECT_EQ(repairConnectionsAfterLoading(*map), 3);
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(alerts.alerts()[0].title, "Unable to load Child Connection.");
    ASSERT_TRUE(titleConnection(a));
    EXPECT_TRUE(titleConnection(a)->drawsFill());
    for (const auto &branch : {b, c}) {
        auto rebuilt = childConnection(branch);
        ASSERT_TRUE(rebuilt);
        EXPECT_EQ(rebuilt->parentGraphic(), a->mainGraphic());
        EXPECT_EQ(rebuilt->childGraphic(), branch->mainGraphic());
        EXPECT_EQ(rebuilt->parentArrowLength(), 20.0f);
        EXPECT_TRUE(rebuilt->childFilled());
        EXPECT_FALSE(rebuilt->drawsFill());
    }
    // A sound tree needs nothing and says nothing.
    EXPECT_EQ(repairConnectionsAfterLoading(*map), 0);
    EXPECT_EQ(alerts.alerts().size(), 1);
}

TEST_F(TWConnectionTest, ChildConnectionEndsAndSideRule)
{
    struct Case
    {
        const char *what;
        Rect parent, child;
        bool lineChild;
        Point childEnd, parentEnd;
        Rect base;
    };
    const Case cases[] = {
        {"grows right", Rect(500, 100, 80, 30), Rect(650, 150, 80, 30), false, Point(650, 165),
         Point(580, 115), Rect(580, 115, 70, 50)},
        {"grows left, ends close: widened", Rect(100, 100, 80, 30), Rect(150, 150, 60, 30), false,
         Point(210, 165), Point(100, 115), Rect(90, 115, 130, 50)},
        {"centred on the root grows right", Rect(310, 100, 80, 30), Rect(650, 150, 80, 30), false,
         Point(650, 165), Point(390, 115), Rect(390, 115, 260, 50)},
        {"line child meets at its underline", Rect(500, 100, 80, 30), Rect(650, 150, 80, 30), true,
         Point(650, 180), Point(580, 115), Rect(580, 115, 70, 65)},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        auto a = shapeBranch(root.get(), TWGraphic::createWithBounds(k.parent));
        auto shape = k.lineChild ? std::shared_ptr<TWGraphic>(TWGraphic::make<TWLine>(k.child))
                                 : TWGraphic::createWithBounds(k.child);
        auto c = childConnection(shapeBranch(a.get(), shape));
        ASSERT_TRUE(c);
        EXPECT_EQ(c->childEnd(), k.childEnd);
        EXPECT_EQ(c->parentEnd(), k.parentEnd);
        EXPECT_EQ(c->baseBounds(), k.base);
    }
}

// A new connection joins the same graphics under the same numbers whether or
// not its making is recorded for undo.
TEST_F(TWConnectionTest, ANewConnectionJoinsTheSameEndsRecordedOrNot)
{
    auto a = child(root, 100, "a");
    auto b = child(a, 150, "b", 650);
    auto unparented = TWMapBranch::createWithGraphic(
        TWGraphic::createWithBounds(Rect(800, 150, 80, 30)), nullptr, map.get());
    auto loose = TWGraphic::createWithBounds(Rect(700, 300, 80, 30));
    // Another graphic under a's number: the map's graphic of that number is joined.
    auto twin = TWGraphic::createWithBounds(Rect(50, 50, 80, 30));
    twin->setGraphicNumber(a->mainGraphic()->graphicNumber());
    settle();
    struct Case
    {
        const char *what;
        std::shared_ptr<TWGraphic> parent, child;
        std::shared_ptr<TWGraphic> joinedParent;
    };
    const Case cases[] = {
        {"both in the map", a->mainGraphic(), b->mainGraphic(), a->mainGraphic()},
        {"parent in no map", loose, b->mainGraphic(), loose},
        {"no parent", nullptr, b->mainGraphic(), nullptr},
        {"a twin number finds the map's graphic", twin, b->mainGraphic(), a->mainGraphic()},
        {"child not yet in the tree", a->mainGraphic(), unparented->mainGraphic(),
         a->mainGraphic()},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        undo->disableUndoRegistration();
        const auto quiet = TWChildConnection::create(k.parent, k.child);
        undo->enableUndoRegistration();
        const auto recorded = TWChildConnection::create(k.parent, k.child);
        settle();
        EXPECT_EQ(quiet->parentGraphic(), k.joinedParent);
        EXPECT_EQ(quiet->childGraphic(), k.child);
        for (const auto &c : {quiet, recorded}) {
            EXPECT_EQ(c->parentGraphic(), recorded->parentGraphic());
            EXPECT_EQ(c->childGraphic(), recorded->childGraphic());
            EXPECT_EQ(c->parentGraphicNumber(), recorded->parentGraphicNumber());
            EXPECT_EQ(c->childGraphicNumber(), recorded->childGraphicNumber());
            EXPECT_EQ(c->branch(), k.child->branch());
            EXPECT_EQ(c->bounds(), recorded->bounds());
            EXPECT_FALSE(c->drawsFill());
            EXPECT_TRUE(c->drawsStroke());
        }
    }
}

TEST_F(TWConnectionTest, ChildCurveRunsThroughTheMiddleWithHorizontalTangents)
{
    auto a = child(root, 100, "a");
    auto b = child(a, 150, "b", 650);
    auto c = childConnection(b);
    c->updateBounds();
    const auto path = c->bezierPath();
    ASSERT_TRUE(path);
    ASSERT_EQ(path->elementCount(), 3);
    EXPECT_EQ(path->elementAtIndex(0).points[0], Point(650, 165));
    const auto first = path->elementAtIndex(1), second = path->elementAtIndex(2);
    EXPECT_EQ(first.points[0], Point(638, 165));
    EXPECT_EQ(first.points[1], Point(638, 165));
    EXPECT_EQ(first.points[2], Point(615, 140));
    EXPECT_EQ(second.points[0], Point(592, 115));
    EXPECT_EQ(second.points[2], Point(580, 115));
    EXPECT_EQ(c->bounds(), path->bounds());

    // Width and colour follow the child's shape, from the next build on.
    b->mainGraphic()->setStrokeWidth(4);
    b->mainGraphic()->setInheritsStroke(false);
    b->mainGraphic()->setStrokeColor(Color::colorWithCalibratedRed(1, 0, 0, 1));
    EXPECT_EQ(c->strokeWidth(), 4.0f);
    EXPECT_EQ(c->inheritedStrokeColor(), Color::colorWithCalibratedRed(1, 0, 0, 1));
    EXPECT_EQ(c->bezierPath()->lineWidth(), 1.0f);
    c->updateBounds();
    EXPECT_EQ(c->bezierPath()->lineWidth(), 4.0f);
    // The curve drawn is the one placed, even when first asked for after
    // the child's shape changed.
    c->updateBounds();
    b->mainGraphic()->setStrokeWidth(2);
    EXPECT_EQ(c->bezierPath()->lineWidth(), 4.0f);
    EXPECT_EQ(c->bezierPath()->bounds(), c->bounds());
}

TEST_F(TWConnectionTest, TitleWedgeByQuadrant)
{
    const Point centre(350, 220);
    struct Case
    {
        const char *what;
        Rect shape;
        Point p1, handle;
    };
    const Case cases[] = {
        {"right, below", Rect(500, 300, 80, 30), Point(500, 315), Point(450, 315)},
        {"right, above", Rect(500, 100, 80, 30), Point(500, 115), Point(450, 115)},
        {"left, below", Rect(100, 300, 80, 30), Point(180, 315), Point(230, 315)},
        {"left, above", Rect(100, 100, 80, 30), Point(180, 115), Point(230, 115)},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        auto t = titleConnection(shapeBranch(root.get(), TWGraphic::createWithBounds(k.shape)));
        const auto p = t->calculatePoints();
        ASSERT_TRUE(p);
        EXPECT_EQ(t->position(), centre);
        EXPECT_EQ((*p)[0], k.p1);
        EXPECT_EQ((*p)[3], k.p1);
        EXPECT_EQ((*p)[4], k.handle);
        EXPECT_EQ((*p)[5], k.handle);
        // The wide end: 10 points either side of the centre, across the
        // line from the branch.
        for (const Point q : {(*p)[1], (*p)[2]}) {
            const float dx = q.x - centre.x, dy = q.y - centre.y;
            EXPECT_NEAR(std::hypot(dx, dy), 10, 1e-4);
            EXPECT_NEAR(dx * (k.p1.x - centre.x) + dy * (k.p1.y - centre.y), 0, 1e-2);
        }
        EXPECT_NEAR((*p)[1].x + (*p)[2].x, 2 * centre.x, 1e-4);
        const Rect base = t->baseBounds();
        EXPECT_FLOAT_EQ(base.height(), std::fabs(k.p1.y - centre.y));
        EXPECT_FALSE(t->hitTest(k.p1, true));
    }

    // Level with the centre: counts as below, a = 90 degrees, the wide end
    // spreads straight up and down.
    auto level = titleConnection(
        shapeBranch(root.get(), TWGraphic::createWithBounds(Rect(500, 205, 80, 30))));
    const auto p = level->calculatePoints();
    EXPECT_EQ(level->baseBounds(), Rect(350, 220, 150, 0));
    EXPECT_NEAR((*p)[1].x, 350, 1e-5);
    EXPECT_FLOAT_EQ((*p)[1].y, 230);
    EXPECT_FLOAT_EQ((*p)[2].y, 210);
    EXPECT_TRUE(level->drawsFill());

    // The wide end follows the root at the next build.
    root->mainGraphic()->setBounds(Rect(300, 160, 100, 40));
    level->updateBounds();
    EXPECT_EQ(level->position(), Point(350, 180));
    EXPECT_EQ(TWTitleConnection().baseBounds(), Rect(0, 0, 1, 1));
}

// Connections that log their reshapes and may ask for others as they are
// reshaped, once each.
class LoggedConnection : public TWConnectionGraphic
{
public:
    void updateBounds() override
    {
        log->append(id);
        for (const auto &other : std::exchange(asksWhenReshaped, {}))
            if (const auto o = other.lock())
                o->requestBoundsUpdate();
    }
    int id = 0;
    QList<int> *log = nullptr;
    std::vector<std::weak_ptr<LoggedConnection>> asksWhenReshaped;
};

TEST(TWConnectionBatch, EachAskedConnectionIsReshapedOnceInOrderFirstAsked)
{
    const struct
    {
        const char *name;
        QList<int> asks;                 // inside the batch
        QList<std::pair<int, int>> then; // (reshaped, asks)
        int dropped;                     // let go before the batch closes; -1 none
        bool nested;                     // asks inside an inner batch closed first
        QList<int> reshaped;
    } cases[] = {
        {"each once, first ask first", {2, 0, 2, 1, 0}, {}, -1, false, {2, 0, 1}},
        {"an ask still waiting", {0, 1}, {{0, 1}}, -1, false, {0, 1}},
        {"an ask after its reshape", {0, 1}, {{1, 0}}, -1, false, {0, 1, 0}},
        {"its own ask while reshaped", {0, 1}, {{0, 0}}, -1, false, {0, 1, 0}},
        {"a new ask while closing", {1}, {{1, 3}}, -1, false, {1, 3}},
        {"a chain of asks", {3}, {{3, 2}, {2, 3}, {1, 0}}, -1, false, {3, 2, 3}},
        {"one let go", {0, 1, 2}, {}, 1, false, {0, 2}},
        {"an inner batch waits for the outer", {1, 0}, {{0, 1}}, -1, true, {1, 0, 1}},
        {"none asked", {}, {}, -1, false, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QList<int> log;
        std::vector<std::shared_ptr<LoggedConnection>> connections;
        for (int i = 0; i < 4; ++i) {
            connections.push_back(TWGraphic::make<LoggedConnection>());
            connections.back()->id = i;
            connections.back()->log = &log;
        }
        for (const auto &[reshaped, asks] : c.then)
            connections[size_t(reshaped)]->asksWhenReshaped.push_back(connections[size_t(asks)]);
        {
            const TWConnectionGraphic::Batch outer;
            {
                std::optional<TWConnectionGraphic::Batch> inner;
                if (c.nested)
                    inner.emplace();
                for (int i : c.asks)
                    connections[size_t(i)]->requestBoundsUpdate();
            }
            if (c.dropped >= 0)
                connections[size_t(c.dropped)].reset();
            EXPECT_TRUE(log.isEmpty()) << "nothing before the batch closes";
        }
        EXPECT_EQ(log, c.reshaped);
        // Outside a batch a connection is reshaped at once, every time.
        log.clear();
        connections[0]->requestBoundsUpdate();
        connections[0]->requestBoundsUpdate();
        EXPECT_EQ(log, QList<int>({0, 0}));
    }
}

// The end height by kind, asked of kinds in turn: a curved branch's from its
// end point, a line's at its foot, any other at the middle of the rectangle.
TEST(TWConnectionEnds, EachKindTakesItsOwnEndHeightWhateverWasAskedBefore)
{
    const Rect r(0, 0, 10, 1000);
    const auto flexi = TWGraphic::make<TWFlexiBranch>(Rect(100, 100, 200, 30));
    const auto other = TWGraphic::make<TWFlexiBranch>(Rect(50, 300, 80, 40));
    const auto rectangle = TWGraphic::make<TWRectangle>(Rect(100, 100, 200, 30));
    const auto circle = TWGraphic::make<TWCircle>(Rect(100, 100, 30, 30));
    const auto line = TWGraphic::make<TWLine>(Rect(100, 100, 200, 30));
    const struct
    {
        const TWGraphic *graphic;
        bool leftEnd;
        float y;
    } asked[] = {
        {flexi.get(), true, flexi->leftPoint().y},
        {rectangle.get(), true, 500},
        {flexi.get(), false, flexi->rightPoint().y},
        {other.get(), true, other->leftPoint().y},
        {circle.get(), true, 500},
        {line.get(), false, 1000},
        {rectangle.get(), false, 500},
        {other.get(), false, other->rightPoint().y},
        {line.get(), true, 1000},
    };
    for (int round = 0; round < 2; ++round)
        for (const auto &a : asked) {
            SCOPED_TRACE(a.graphic->className().toStdString());
            EXPECT_EQ(TWConnectionGeometry::attachmentY(*a.graphic, r, a.leftEnd), a.y);
        }
}

} // namespace
