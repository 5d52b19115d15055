#include "BranchTestSupport.h"

#include <gtest/gtest.h>

namespace {

class ShadowScope : public BranchTest::BranchFixture
{};

// A shape's shadow reaches its own subtree: the drawing areas there grow
// with it, while the rest of the map keeps the area it had.
TEST_F(ShadowScope, AShadowChangeReachesTheBranchSubtree)
{
    auto a = child(root, 100, "a");
    auto grandchild = child(a, 100, "a1", 700);
    auto b = child(root, 200, "b");
    for (const auto &branch : {root, a, grandchild, b}) {
        branch->mainGraphic()->setInheritsShadow(true);
        branch->mainGraphic()->setDrawsShadow(true);
    }
    settle();
    const struct
    {
        const char *name;
        std::function<void(TWGraphic &)> change;
        bool grows;
    } cases[] = {
        {"own large shadow",
         [](TWGraphic &g) {
             g.setInheritsShadow(false);
             g.setShadow(Shadow(Size(40, -40), 30, std::nullopt));
         },
         true},
        {"back to the inherited one", [](TWGraphic &g) { g.setInheritsShadow(true); }, false},
    };
    for (const auto &c : cases) {
        const Rect before = grandchild->mainGraphic()->drawingBounds();
        const Rect sibling = b->mainGraphic()->drawingBounds();
        c.change(*a->mainGraphic());
        settle();
        const Rect after = grandchild->mainGraphic()->drawingBounds();
        EXPECT_EQ(after.size.width > before.size.width, c.grows) << c.name;
        EXPECT_EQ(after.size.width < before.size.width, !c.grows) << c.name;
        EXPECT_EQ(b->mainGraphic()->drawingBounds(), sibling) << c.name;
    }
}

// A move keeps the margin its drawing area had, which the inherited shadow
// decides: whatever changed what it inherits from must still be seen.
TEST_F(ShadowScope, DrawingAreasAfterAMoveAreThoseWorkedOutAfresh)
{
    const Shadow large(Size(30, -30), 20, std::nullopt);
    const struct
    {
        const char *name;
        // Done between the first look at the drawing area and the move.
        bool underShadow; // the moved branch starts under the shadowed one
        std::function<void(TWMapBranch &moved, TWMapBranch &shadowed)> before;
        Point delta;
        bool resize;
    } cases[] = {
        {"plain shape", false, [](TWMapBranch &, TWMapBranch &) {}, Point(37.5f, -12.25f), false},
        {"shadow from the parent", true, [](TWMapBranch &, TWMapBranch &) {}, Point(-3, 8), false},
        {"grafted under a shadowed branch", false,
         [](TWMapBranch &moved, TWMapBranch &shadowed) {
             moved.parent()->removeChild(moved.shared_from_this());
             shadowed.insertObjectInChildrenAtIndex(moved.shared_from_this(), 0);
         },
         Point(4, 4), false},
        {"given a shadowed parent alone", false,
         [](TWMapBranch &moved, TWMapBranch &shadowed) { moved.setParent(&shadowed); }, Point(4, 4),
         false},
        {"taken out from under a shadowed branch", true,
         [](TWMapBranch &moved, TWMapBranch &) {
             TWMapBranch *up = moved.parent();
             up->removeChild(moved.shared_from_this());
             up->parent()->insertObjectInChildrenAtIndex(moved.shared_from_this(), 0);
         },
         Point(4, 4), false},
        {"the parent's shadow grows", true,
         [](TWMapBranch &moved, TWMapBranch &) {
             moved.parent()->mainGraphic()->setShadow(Shadow(Size(60, -60), 40, std::nullopt));
         },
         Point(0, 9), false},
        {"resized rather than moved", true, [](TWMapBranch &, TWMapBranch &) {}, Point(5, 5), true},
    };
    int index = 0;
    for (const auto &c : cases) {
        const QString tag = QString::number(index++);
        auto shadowed = child(root, 100, "shadowed" + tag);
        shadowed->mainGraphic()->setInheritsShadow(false);
        shadowed->mainGraphic()->setShadow(large);
        auto plain = child(root, 300, "plain" + tag);
        auto moved = child(c.underShadow ? shadowed : plain, 200, "moved" + tag, 700);
        settle();
        TWMapBranch::GraphicList graphics{moved->mainGraphic(), moved->enclosedTextArea()};
        for (const auto &g : graphics)
            g->drawingBounds();
        c.before(*moved, *shadowed);
        for (const auto &g : graphics) {
            const Rect b = g->bounds().offsetBy(c.delta.x, c.delta.y);
            g->setBounds(c.resize ? Rect(b.x(), b.y(), b.width() + 10, b.height()) : b);
        }
        for (const auto &g : graphics) {
            const Rect slid = g->drawingBounds();
            g->setDrawingBoundsValid(false);
            EXPECT_EQ(slid, g->drawingBounds()) << c.name << " " << g->className().toStdString();
        }
    }
}

} // namespace
