#include "graphics/TWFlexiBranch.h"
#include "BranchTestSupport.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWFlexiBranchTransformedCharacter.h"
#include "support/BezierPath.h"

using namespace BranchTest;

namespace {

class TWFlexiBranchTest : public BranchFixture
{
protected:
    TWFlexiBranchTest()
    {
        flexiBranch = TWMapBranch::createWithGraphic(
            TWGraphic::make<TWFlexiBranch>(Rect(100, 100, 200, 30)), root.get(), map.get());
        flexi = std::static_pointer_cast<TWFlexiBranch>(flexiBranch->mainGraphic());
        flexiBranch->enclosedTextArea()->setBounds(Rect(103, 110, 190, 20));
        // The branch reserves 3 at each end (the icon margin).
        flexi->initializePoints();
        settle();
    }
    QList<Point> points() const
    {
        return {flexi->leftPoint(),     flexi->straightLeft(),  flexi->innerEndLeft(),
                flexi->intermediate1(), flexi->intermediate2(), flexi->innerEndRight(),
                flexi->straightRight(), flexi->rightPoint()};
    }

    std::shared_ptr<TWMapBranch> flexiBranch;
    std::shared_ptr<TWFlexiBranch> flexi;
};

TEST_F(TWFlexiBranchTest, DefaultPointsLieOnTheBottomEdge)
{
    EXPECT_EQ(points(), QList<Point>({{100, 130},
                                      {103, 130},
                                      {106, 130},
                                      {112, 130},
                                      {288, 130},
                                      {294, 130},
                                      {297, 130},
                                      {300, 130}}));

    // The curve: line, two curves meeting between the intermediates, line.
    const auto path = flexi->bezierPath();
    ASSERT_EQ(path->elementCount(), 5);
    EXPECT_EQ(path->elementAtIndex(2).points[2], Point(200, 130));
    EXPECT_EQ(path->elementAtIndex(2).points[0], Point(106, 130));
    EXPECT_EQ(path->currentPoint(), Point(300, 130));
}

// Main branches that are flexi lines are ordered by their end nearer the
// root: moving that end alone reorders them, on either side of the root.
TEST_F(TWFlexiBranchTest, MovingTheEndNearerTheRootReordersMainBranches)
{
    flexiBranch->remove();
    const struct
    {
        const char *what;
        float x;
        Point (TWFlexiBranch::*end)() const;
        void (TWFlexiBranch::*setEnd)(Point);
    } cases[] = {
        {"left of the root: the right end", 0, &TWFlexiBranch::rightPoint,
         &TWFlexiBranch::setRightPoint},
        {"right of the root: the left end", 500, &TWFlexiBranch::leftPoint,
         &TWFlexiBranch::setLeftPoint},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto line = [&](float y) {
            auto branch = TWMapBranch::createWithGraphic(
                TWGraphic::make<TWFlexiBranch>(Rect(c.x, y, 200, 30)), root.get(), map.get());
            std::static_pointer_cast<TWFlexiBranch>(branch->mainGraphic())->initializePoints();
            return branch;
        };
        const auto upper = line(100), lower = line(200);
        root->reSortChildrenByPositionRecursively(true);
        settle();
        const TWMapBranch::BranchList before = root->children();
        auto &shape = static_cast<TWFlexiBranch &>(*upper->mainGraphic());
        const Point end = (shape.*c.end)();
        (shape.*c.setEnd)(Point(end.x, end.y + 200));
        root->reSortChildrenByPositionRecursively(true);
        EXPECT_EQ(root->children(), (TWMapBranch::BranchList{before.at(1), before.at(0)}));
        upper->remove();
        lower->remove();
        settle();
    }
}

TEST_F(TWFlexiBranchTest, AMoveCarriesPointsAndCharacters)
{
    auto label = flexiBranch->enclosedTextArea();
    auto character = std::make_shared<TWFlexiBranchTransformedCharacter>();
    label->insertObjectInCachedFlexiCharactersAtIndex(character, 0);
    const QList<Point> before = points();

    flexi->setBounds(Rect(150, 90, 200, 30));
    QList<Point> moved;
    for (Point p : before)
        moved << Point(p.x + 50, p.y - 10);
    EXPECT_EQ(points(), moved);
    ASSERT_EQ(label->countOfCachedFlexiCharacters(), 1);
    EXPECT_EQ(character->transform().map(QPointF(0, 0)), QPointF(50, -10));

    // Undo puts the points back; a new size refits the ends and drops the characters.
    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(points(), before);
    flexi->setBounds(Rect(100, 100, 100, 30));
    EXPECT_EQ(label->countOfCachedFlexiCharacters(), 0);
    EXPECT_EQ(flexi->rightPoint(), Point(200, 130));
    EXPECT_EQ(flexi->straightRight(), Point(197, 130));
    EXPECT_EQ(flexi->innerEndRight(), Point(194, 130));
    EXPECT_EQ(flexi->intermediate2(), Point(288, 130)); // left as the user bent it
}

TEST_F(TWFlexiBranchTest, KnobsHitBandAndRubberBand)
{
    // Curve knobs come before the bounds knobs at the same place.
    struct Case
    {
        Point at;
        int knob;
    } knobs[] = {
        {{301, 131}, 11}, {{100, 130}, 10}, {{112, 127}, 12}, {{288, 130}, 13},
        {{106, 130}, 14}, {{294, 130}, 15}, {{100, 100}, 20}, {{200, 100}, 21},
        {{300, 115}, 24}, {{200, 129}, 26}, {{200, 120}, 0},
    };
    for (const Case &c : knobs)
        EXPECT_EQ(flexi->knobUnderPoint(c.at), c.knob) << c.at.toString().toStdString();

    // Bend the curve below the bounds: the band follows it and the text strip
    // above it.
    flexi->setIntermediate1(Point(150, 200));
    struct Hit
    {
        Point at;
        bool hit;
    } hits[] = {
        {{200, 97.5f}, true}, // the top edge is raised by half the line and 2
        {{219, 160}, true},   // just above the bent curve
        {{219, 175}, false},  // below it
        {{219, 137}, false},  // between the bounds and the strip
    };
    for (const Hit &h : hits)
        EXPECT_EQ(flexi->hitTest(h.at, false), h.hit) << h.at.toString().toStdString();
    EXPECT_TRUE(flexi->hitTest(Point(288, 130), true));

    EXPECT_TRUE(flexi->selectsInRect(Rect(90, 90, 300, 200)));
    EXPECT_TRUE(flexi->selectsInRect(Rect(95, 125, 10, 10))); // holds the left end
    EXPECT_TRUE(flexi->selectsInRect(Rect(210, 155, 20, 5))); // meets the band
    EXPECT_FALSE(flexi->selectsInRect(Rect(210, 175, 20, 20)));
}

TEST_F(TWFlexiBranchTest, ImageAreaAndEnds)
{
    EXPECT_EQ(flexi->imageBoundsAssertingMainGraphic(false), Rect());
    auto picture = TWGraphic::createWithBounds(Rect(0, 0, 40, 40));
    flexiBranch->setEnclosedImage(picture);
    flexiBranch->setEnclosedImageLayoutMode(0);
    flexiBranch->setTextRelativePosition(1);
    EXPECT_EQ(flexi->imageBoundsAssertingMainGraphic(false), Rect(100, 123, 200, 7));
    flexiBranch->setTextRelativePosition(3);
    EXPECT_EQ(flexi->imageBoundsAssertingMainGraphic(false), Rect(100, 100, 200, 4));
    flexiBranch->setEnclosedImageLayoutMode(1);
    EXPECT_EQ(flexi->imageBoundsAssertingMainGraphic(false), picture->bounds());

    // A wider left reserve pushes the straight piece and what lies on it.
    flexiBranch->insertObjectInOtherEnclosedGraphicsAtIndex(
        std::make_shared<TWEnclosedGraphic>("icon", std::nullopt, TWGraphic::create()), 0);
    flexi->recalculateLeftEnd();
    EXPECT_EQ(flexi->straightLeft(), Point(122, 130));
    EXPECT_EQ(flexi->innerEndLeft(), Point(125, 130));
    EXPECT_EQ(flexi->intermediate1(), Point(112, 130));
    flexi->recalculateLeftEnd();
    EXPECT_EQ(flexi->intermediate1(), Point(128, 130));
}

} // namespace
