#include "BranchTestSupport.h"
#include "support/BezierPath.h"

#include <functional>

using namespace BranchTest;

namespace {

// A shape whose outline is its bounds rectangle.
struct BoxShape : TWGraphic
{
    std::shared_ptr<BezierPath> bezierPath() override
    {
        auto path = std::make_shared<BezierPath>();
        const Rect b = bounds();
        path->moveToPoint({b.minX(), b.minY()});
        path->lineToPoint({b.maxX(), b.minY()});
        path->lineToPoint({b.maxX(), b.maxY()});
        path->lineToPoint({b.minX(), b.maxY()});
        path->closePath();
        return path;
    }
};

// Map colours that tell which rule answered.
struct MapColours : RecordingLayout
{
    Color defaultStrokeColorForGraphic(TWMap &, const TWGraphic &) override
    {
        return Color::colorWithCalibratedRed(0, 0, 0.5);
    }
    Color defaultFillColorForGraphic(TWMap &, const TWGraphic &) override
    {
        return Color::colorWithCalibratedRed(0, 0.5, 0);
    }
};

class TWGraphicUtilsTest : public BranchFixture
{
protected:
    std::shared_ptr<TWGraphic> attach(const std::shared_ptr<TWMapBranch> &b, int ordering)
    {
        auto g = TWGraphic::createWithBounds(Rect(0, 0, 10, 10));
        g->setBranch(b.get());
        g->setInternalOrdering(ordering);
        b->insertObjectInLinkedGraphicsAtIndex(g, b->countOfLinkedGraphics());
        return g;
    }
    static QList<int> orderings(const TWMapBranch &b)
    {
        QList<int> values;
        for (const auto &g : b.linkedGraphics())
            values << g->internalOrdering();
        return values;
    }
};

TEST_F(TWGraphicUtilsTest, ZOrderStepsAroundTheShape)
{
    auto b = child(root, 100, "b");
    auto g2 = attach(b, 2), g1 = attach(b, 1), gm1 = attach(b, -1);
    settle();
    undo->removeAllActions();

    // The frontmost cannot move forward: nothing changes, nothing to undo.
    gm1->reorderGraphic(0);
    EXPECT_EQ(orderings(*b), QList<int>({2, 1, -1}));
    EXPECT_FALSE(undo->canUndo());

    // Just behind the shape, forward means the shape steps back.
    g1->reorderGraphic(0);
    EXPECT_EQ(orderings(*b), QList<int>({1, -1, -2}));
    settle();
    undo->undo();
    EXPECT_EQ(orderings(*b), QList<int>({2, 1, -1}));

    // An exchange with the neighbour one step away.
    g2->reorderGraphic(0);
    EXPECT_EQ(g2->internalOrdering(), 1);
    EXPECT_EQ(g1->internalOrdering(), 2);
    EXPECT_EQ(b->linkedGraphics().first(), g1);
    settle();
    undo->undo();
    EXPECT_EQ(orderings(*b), QList<int>({2, 1, -1}));

    // To the front tries n steps and stops once frontmost.
    g2->reorderGraphic(2);
    EXPECT_EQ(orderings(*b), QList<int>({1, -1, -2}));
    EXPECT_EQ(b->linkedGraphics().last(), g2);
    // Sent to the back, the shape lies behind every attached graphic.
    b->mainGraphic()->reorderGraphic(3);
    EXPECT_EQ(orderings(*b), QList<int>({-1, -2, -3}));
}

TEST_F(TWGraphicUtilsTest, InheritedColoursAndShadow)
{
    auto colours = std::make_shared<MapColours>();
    map->setLayoutServices(colours);
    map->setGraphicColoringMode(0);
    const Color rootFill = Color::colorWithCalibratedRed(1, 0, 0);
    root->mainGraphic()->setInheritsFill(false);
    root->mainGraphic()->setFillColor(rootFill);
    auto first = child(root, 100, "first");
    auto second = child(first, 100, "second");
    auto attached = TWGraphic::create();
    attached->setBranch(second.get());
    second->insertObjectInLinkedGraphicsAtIndex(attached, 0);

    // Mode 0: a first-level branch shows the root's colours; mode 1 the map's.
    EXPECT_EQ(first->mainGraphic()->inheritedFillColor(), rootFill);
    map->setGraphicColoringMode(1);
    EXPECT_EQ(first->mainGraphic()->inheritedFillColor(), Color::colorWithCalibratedRed(0, 0.5, 0));
    EXPECT_EQ(attached->inheritedStrokeColor(), Color::colorWithCalibratedRed(0, 0, 0.5));

    // Inheritance off without a colour (or with the fill off) still inherits.
    const Color own = Color::colorWithCalibratedRed(0.2, 0.2, 0.2);
    second->mainGraphic()->setInheritsFill(false);
    EXPECT_EQ(second->mainGraphic()->inheritedFillColor(),
              Color::colorWithCalibratedRed(0, 0.5, 0));
    second->mainGraphic()->setFillColor(own);
    EXPECT_EQ(attached->inheritedFillColor(), own);
    second->mainGraphic()->setDrawsFill(false);
    EXPECT_NE(second->mainGraphic()->inheritedFillColor(), own);

    // Shadows: the root's own, down the tree, unless a branch has its own.
    EXPECT_FALSE(second->mainGraphic()->inheritedShadow());
    const Shadow rootShadow(Size(3, -3), 2, std::nullopt);
    root->mainGraphic()->setShadow(rootShadow);
    EXPECT_EQ(attached->inheritedShadow(), rootShadow);
    const Shadow ownShadow(Size(1, 1), 1, std::nullopt);
    first->mainGraphic()->setShadow(ownShadow);
    EXPECT_EQ(second->mainGraphic()->inheritedShadow(), rootShadow);
    first->mainGraphic()->setInheritsShadow(false);
    EXPECT_EQ(second->mainGraphic()->inheritedShadow(), ownShadow);
}

TEST_F(TWGraphicUtilsTest, AShadowIsInheritedFromTheNearestShapeUpTheTreeThatKeepsItsOwn)
{
    auto first = child(root, 100, "first");
    auto second = child(first, 100, "second");
    auto third = child(second, 100, "third");
    const Shadow rootShadow(Size(3, -3), 2, std::nullopt);
    const Shadow firstShadow(Size(1, 1), 1, std::nullopt);
    const Shadow textShadow(Size(2, 2), 4, std::nullopt);
    root->mainGraphic()->setShadow(rootShadow);
    first->mainGraphic()->setShadow(firstShadow);
    third->enclosedTextArea()->setShadow(textShadow);
    struct Case
    {
        const char *what;
        std::function<TWGraphic *()> graphic;
        bool firstKeepsItsOwn;
        std::optional<Shadow> expected;
    } cases[] = {
        {"a deep shape, all inheriting", [&] { return third->mainGraphic().get(); }, false,
         rootShadow},
        {"a deep shape below one keeping its own", [&] { return third->mainGraphic().get(); }, true,
         firstShadow},
        {"a connection goes by its own branch's shape",
         [&] { return third->connectionGraphic().get(); }, true, firstShadow},
        {"a text inheriting its shadow", [&] { return second->enclosedTextArea().get(); }, false,
         rootShadow},
        {"the root's text takes the root shape's", [&] { return root->enclosedTextArea().get(); },
         true, rootShadow},
        {"the first-level shape keeping its own", [&] { return first->mainGraphic().get(); }, true,
         firstShadow},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        first->mainGraphic()->setInheritsShadow(!c.firstKeepsItsOwn);
        EXPECT_EQ(c.graphic()->inheritedShadow(), c.expected);
    }
    // A text keeping its own shadow is not asked further up.
    third->enclosedTextArea()->setInheritsShadow(false);
    EXPECT_EQ(third->enclosedTextArea()->inheritedShadow(), textShadow);
}

TEST_F(TWGraphicUtilsTest, DrawingAndPrintingBounds)
{
    auto b = child(root, 100, "b");
    const auto &g = b->mainGraphic();
    g->setBounds(Rect(0, 0, 100, 50));
    g->setStrokeWidth(2);
    EXPECT_EQ(g->drawingBounds(), Rect(-13, -13, 126, 76));

    root->mainGraphic()->setShadow(Shadow(Size(2.7f, -4.2f), 3, std::nullopt));
    EXPECT_EQ(g->drawingBounds().size, Size(100 + 2 * (13 + 3 + 2), 50 + 2 * (13 + 3 + 4)));

    // Zero-size graphics and, with a shadow, oversized ones paint nothing.
    auto loose = TWGraphic::create();
    loose->setBranch(b.get());
    EXPECT_EQ(loose->drawingBounds(), Rect());
    EXPECT_FALSE(loose->drawingBoundsValid());
    EXPECT_EQ(TWGraphic::create()->drawingBounds(), Rect());

    // The shape prints its boundary outline; other graphics their bounds and half the line.
    layout->boundaryPath = Rect(10, 10, 50, 20);
    b->setBoundaryLineWidth(3);
    EXPECT_EQ(g->boundsForPrinting(), Rect(7, 7, 56, 26));
    b->enclosedTextArea()->setBounds(Rect(5, 5, 20, 10));
    b->enclosedTextArea()->setDrawsStroke(true);
    EXPECT_EQ(b->enclosedTextArea()->boundsForPrinting(), Rect(4.5f, 4.5f, 21, 11));
}

TEST_F(TWGraphicUtilsTest, HitTestsAndKnobs)
{
    auto flat = std::make_shared<BoxShape>();
    flat->initWithBounds(Rect(0, 100, 50, 2));
    // A flat outline gets a band of 2.5 on its upper side only.
    EXPECT_TRUE(flat->hitTest({10, 101}, false));
    EXPECT_TRUE(flat->hitTest({10, 98}, false));
    EXPECT_FALSE(flat->hitTest({10, 104}, false));
    EXPECT_FALSE(flat->hitTest({10, 96}, false));

    auto box = std::make_shared<BoxShape>();
    box->initWithBounds(Rect(0, 0, 50, 50));
    EXPECT_FALSE(box->hitTest({10, -2}, false));
    // Selected, the knobs count too: 8 x 8 squares around the knob points.
    EXPECT_TRUE(box->hitTest({53.5f, 25}, true));
    EXPECT_FALSE(box->hitTest({53.5f, 25}, false));
    EXPECT_EQ(box->knobUnderPoint({3.5f, -3.5f}), 1);
    EXPECT_EQ(box->knobUnderPoint({4.5f, 0}), 0);
    EXPECT_EQ(box->knobUnderPoint({25, 53}), 7);
    EXPECT_EQ(box->knobUnderPoint({50, 50}), 8);

    struct Case
    {
        int knob;
        bool horizontal;
        int mirrored;
    } cases[] = {{1, true, 3},  {7, true, 7},  {4, true, 5}, {1, false, 6},
                 {4, false, 4}, {8, false, 3}, {0, true, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(TWGraphic::flipKnob(c.knob, c.horizontal), c.mirrored) << c.knob;
}

} // namespace
