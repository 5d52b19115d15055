#include "BranchTestSupport.h"
#include "graphics/TWCircle.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"

using namespace BranchTest;

namespace {

const char *typeName(int type)
{
    static const char *const names[] = {"?",     "line",  "rectangle", "circle",
                                        "image", "flexi", "cloud",     "custom"};
    return type >= 0 && type <= 7 ? names[type] : "?";
}

class TWBranchTypeChangeTest : public BranchFixture
{
protected:
    // root -> first -> b (of the type) -> leaf; a link line from b to the
    // root, b's shape selected.
    struct Tree
    {
        std::shared_ptr<TWMapBranch> first, b, leaf;
        std::shared_ptr<TWLinkLine> line;
    };
    Tree build(int type, int textPosition = 0)
    {
        Tree t;
        t.first = child(root, 100, "first");
        t.b = TWMapBranch::createWithGraphic(
            TWMapBranch::makeMainGraphicOfType(type, Rect(600, 120, 90, 40)), t.first.get(),
            map.get());
        t.b->enclosedTextArea()->setString("b");
        t.b->enclosedTextArea()->setBounds(Rect(605, 125, 50, 20));
        t.b->setTextRelativePosition(textPosition);
        t.leaf = child(t.b, 150, "leaf", 750);
        t.line = TWGraphic::make<TWLinkLine>();
        t.line->connect(t.b->mainGraphic(), root->mainGraphic());
        t.line->setBranch(t.b.get());
        map->insertObjectInLinkLinesAtIndex(t.line, 0);
        map->removeAllSelectedGraphics();
        map->insertObjectInSelectedGraphicsAtIndex(t.b->mainGraphic(), 0);
        settle();
        return t;
    }
};

TEST_F(TWBranchTypeChangeTest, EveryPairOfTypesCarriesNumberConnectionsLinksAndSelection)
{
    const int types[] = {1, 2, 3, 5};
    for (int from : types) {
        for (int to : types) {
            if (from == to)
                continue;
            SCOPED_TRACE(std::string(typeName(from)) + " -> " + typeName(to));
            Tree t = build(from);
            const std::shared_ptr<TWGraphic> old = t.b->mainGraphic();
            old->setStyleID(QStringLiteral("style-7"));
            old->setInternalOrdering(4);
            settle();
            const Rect o = old->bounds();
            const Rect text = t.b->enclosedTextArea()->bounds();
            const long number = old->graphicNumber();
            const int stepsBefore = undo->undoStepCount();
            t.b->enclosedTextArea()->setIsEditing(true);
            Recorder recorder({TWMapBranch::BranchTypeChangedNotification,
                               TWGraphic::BranchDidResizeNotification});

            t.b->publicChangeToBranchType(to);
            const std::shared_ptr<TWGraphic> now = t.b->mainGraphic();
            EXPECT_EQ(t.b->branchType(), to);
            EXPECT_EQ(now->graphicNumber(), number);
            EXPECT_EQ(now->styleID(), QStringLiteral("style-7"));
            EXPECT_EQ(now->internalOrdering(), 4);
            EXPECT_EQ(now->branch(), t.b.get());
            EXPECT_TRUE(t.b->enclosedTextArea()->isEditing());
            ASSERT_FALSE(recorder.names().isEmpty());
            EXPECT_TRUE(recorder.names().contains(TWGraphic::BranchDidResizeNotification));
            EXPECT_EQ(recorder.names().last(), TWMapBranch::BranchTypeChangedNotification);
            EXPECT_EQ(recorder.count(TWMapBranch::BranchTypeChangedNotification), 1);

            // Fitted to the text when a line becomes a shape or a shape a line.
            const Rect b = now->bounds();
            if (from == 1) {
                EXPECT_EQ(b,
                          Rect(o.x(), o.y() - (text.height() + 6), o.width(), text.height() + 6));
            } else if (to == 1) {
                EXPECT_EQ(b, Rect(o.x(), text.maxY() + 3, o.width(), 0));
                EXPECT_TRUE(now->drawsStroke());
            } else if (to != 5) {
                EXPECT_EQ(b, o);
            }

            // Everything that pointed at the old shape points at the new one.
            auto *connection = dynamic_cast<TWChildConnection *>(t.b->connectionGraphic().get());
            ASSERT_NE(connection, nullptr);
            EXPECT_EQ(connection->childGraphic(), now);
            auto *below = dynamic_cast<TWChildConnection *>(t.leaf->connectionGraphic().get());
            ASSERT_NE(below, nullptr);
            EXPECT_EQ(below->parentGraphic(), now);
            EXPECT_EQ(t.line->startGraphic(), now);
            EXPECT_TRUE(map->isGraphicSelected(now.get()));
            EXPECT_FALSE(map->isGraphicSelected(old.get()));
            EXPECT_EQ(map->findGraphicWithGraphicNumber(number), now);

            settle();
            EXPECT_EQ(undo->undoStepCount(), stepsBefore + 1);
            EXPECT_EQ(undo->undoActionName(), QStringLiteral("Change branch type"));
            t.b->enclosedTextArea()->setIsEditing(false);
            settle();

            // One undo puts the old shape back everywhere; redo the new one.
            undo->undo();
            EXPECT_EQ(t.b->mainGraphic(), old);
            EXPECT_EQ(old->bounds(), o);
            EXPECT_EQ(connection->childGraphic(), old);
            EXPECT_EQ(below->parentGraphic(), old);
            EXPECT_EQ(t.line->startGraphic(), old);
            EXPECT_TRUE(map->isGraphicSelected(old.get()));
            EXPECT_EQ(map->findGraphicWithGraphicNumber(number), old);
            undo->redo();
            EXPECT_EQ(t.b->mainGraphic(), now);
            EXPECT_EQ(t.line->startGraphic(), now);
            EXPECT_EQ(connection->childGraphic(), now);

            t.first->removeChild(t.leaf);
            root->removeChild(t.first);
            map->removeAllLinkLines();
            settle();
        }
    }
}

TEST_F(TWBranchTypeChangeTest, TheSameTypeLeavesEverythingAlone)
{
    for (int type : {1, 2, 3, 5}) {
        SCOPED_TRACE(typeName(type));
        Tree t = build(type);
        const std::shared_ptr<TWGraphic> shape = t.b->mainGraphic();
        const int steps = undo->undoStepCount();
        Recorder recorder({TWMapBranch::BranchTypeChangedNotification});
        t.b->publicChangeToBranchType(type);
        settle();
        EXPECT_EQ(t.b->mainGraphic(), shape);
        EXPECT_EQ(undo->undoStepCount(), steps);
        EXPECT_TRUE(recorder.names().isEmpty());
        root->removeChild(t.first);
        settle();
    }
}

TEST_F(TWBranchTypeChangeTest, CirclesLeaveRoomForTextAboveOrBelow)
{
    struct Case
    {
        const char *what;
        int from;
        int position;
        float shapeHeight; // of the old shape
        bool grows;
    };
    // The text is 20 high: a circle with text at the top or bottom needs 32.
    const Case cases[] = {
        {"rectangle, text at the top, too low", 2, 1, 25, true},
        {"rectangle, text at the bottom, too low", 2, 3, 30, true},
        {"rectangle, text at the top, high enough", 2, 1, 40, false},
        {"rectangle, text in the middle", 2, 2, 25, false},
        {"line, text at the top", 1, 1, 0, true},
        {"line, text in the middle", 1, 0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Tree t = build(c.from, c.position);
        const Rect before(600, 120, 90, c.shapeHeight);
        t.b->mainGraphic()->setBounds(before);
        settle();
        const Rect text = t.b->enclosedTextArea()->bounds();
        ASSERT_EQ(text.height(), 20);
        t.b->publicChangeToBranchType(3);
        const Rect b = t.b->mainGraphic()->bounds();
        EXPECT_EQ(b.x(), before.x());
        EXPECT_EQ(b.width(), before.width());
        if (c.from == 1) {
            // A shape standing on the line's place.
            const float h = c.grows ? text.height() + 12 : text.height() + 6;
            EXPECT_EQ(b, Rect(before.x(), before.y() - h, before.width(), h));
        } else if (c.grows) {
            EXPECT_EQ(b.height(), text.height() + 12);
            EXPECT_EQ(b.maxY(), before.maxY());
        } else {
            EXPECT_EQ(b, before);
        }
        root->removeChild(t.first);
        settle();
    }
}

TEST_F(TWBranchTypeChangeTest, RectanglesTakeThePreferredCornersOthersKeepTheirs)
{
    TWPreferences::setRectCornerMode(2);
    Tree t = build(3);
    t.b->mainGraphic()->setCornerMode(0);
    t.b->mainGraphic()->setCornerAmount(4);
    t.b->changeToBranchType(2);
    EXPECT_EQ(t.b->mainGraphic()->cornerMode(), 2);
    EXPECT_EQ(t.b->mainGraphic()->cornerAmount(), 15.0f);
    t.b->mainGraphic()->setCornerAmount(7);
    t.b->setBranchType(3);
    EXPECT_EQ(t.b->mainGraphic()->cornerAmount(), 7.0f);
    // Neither names an undo action: the caller does.
    settle();
    EXPECT_EQ(undo->undoActionName(), QString());
}

TEST_F(TWBranchTypeChangeTest, FlexiShapesTakeOverTheSelectedText)
{
    Tree t = build(2);
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(t.b->enclosedTextArea(), 0);
    settle();
    t.b->publicChangeToBranchType(5);
    EXPECT_FALSE(map->isGraphicSelected(t.b->enclosedTextArea().get()));
    EXPECT_TRUE(map->isGraphicSelected(t.b->mainGraphic().get()));
    // Undo leaves the branch selected by its old shape, never by a shape
    // that is no longer in the map.
    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(t.b->branchType(), 2);
    EXPECT_EQ(map->selectedGraphics(), TWMap::GraphicList{t.b->mainGraphic()});
}

TEST_F(TWBranchTypeChangeTest, FirstLevelBranchesAndTheRootRepointTheirConnections)
{
    auto first = child(root, 100, "first");
    auto below = child(first, 150, "below", 700);
    settle();
    first->publicChangeToBranchType(3);
    auto *title = dynamic_cast<TWTitleConnection *>(first->connectionGraphic().get());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->connectedGraphic(), first->mainGraphic());
    auto *connection = dynamic_cast<TWChildConnection *>(below->connectionGraphic().get());
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->parentGraphic(), first->mainGraphic());

    // The root's first-level connections end at the children, not at it.
    root->publicChangeToBranchType(3);
    EXPECT_EQ(title->connectedGraphic(), first->mainGraphic());
    EXPECT_EQ(root->branchType(), 3);
}

} // namespace
