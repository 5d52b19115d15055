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

} // namespace
