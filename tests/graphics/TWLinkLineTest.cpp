#include "../model/TWMapsDocTestSupport.h"
#include "BranchTestSupport.h"
#include "graphics/TWMapUtilities.h"
#include "support/BezierPath.h"

#include <cmath>

using namespace BranchTest;

namespace {

void expectNear(Point actual, Point expected, const char *what)
{
    EXPECT_NEAR(actual.x, expected.x, 0.01) << what;
    EXPECT_NEAR(actual.y, expected.y, 0.01) << what;
}

void expectNear(Rect actual, Rect expected)
{
    expectNear(actual.origin, expected.origin, "origin");
    expectNear(Point(actual.width(), actual.height()), Point(expected.width(), expected.height()),
               "size");
}

class TWLinkLineTest : public BranchFixture
{
protected:
    TWLinkLineTest()
    {
        a = shaped(Rect(100, 100, 100, 40), "a");
        b = shaped(Rect(400, 300, 100, 40), "b");
        settle();
    }
    // A branch whose label lies inside its shape, so its bounds are the shape's.
    std::shared_ptr<TWMapBranch> shaped(Rect r, const QString &name)
    {
        auto branch = newBranch(root.get(), r, name);
        branch->enclosedTextArea()->setBounds(r.insetBy(5, 10));
        return branch;
    }
    // A line made as the canvas makes one.
    std::shared_ptr<TWLinkLine> link(const std::shared_ptr<TWGraphic> &from,
                                     const std::shared_ptr<TWGraphic> &to)
    {
        auto line = TWGraphic::make<TWLinkLine>();
        line->setBranch(from->branch());
        line->setStartGraphicNumber(from->graphicNumber());
        line->setEndGraphicNumber(to->graphicNumber());
        line->calculateDefaultIntermediatePoints();
        map->insertObjectInLinkLinesAtIndex(line, map->countOfLinkLines());
        line->updateBounds();
        return line;
    }

    std::shared_ptr<TWMapBranch> a, b;
};

TEST_F(TWLinkLineTest, EndsDefaultsAndCurve)
{
    auto line = link(a->mainGraphic(), b->mainGraphic());
    EXPECT_EQ(line->startGraphic(), a->mainGraphic());
    EXPECT_EQ(line->endGraphic(), b->mainGraphic());
    EXPECT_EQ(line->previouslyDrawnStartPoint(), Point(150, 120));
    // The thirds between the branch centres.
    expectNear(line->intermediatePoint1(), {250, 186.6667f}, "c1");
    expectNear(line->intermediatePoint2(), {350, 253.3333f}, "c2");
    // The ends lie on the rectangles grown by 3 + the whole line width.
    expectNear(line->getStartPoint(), {186, 144}, "start");
    expectNear(line->getEndPoint(), {414, 296}, "end");
    line->setStrokeWidth(1.5f);
    expectNear(line->getStartPoint(), {186, 144}, "start, 1.5 wide");
    // A control point inside the grown rectangle: the line leaves the centre.
    line->setIntermediatePoint1(Point(160, 141));
    EXPECT_EQ(line->getStartPoint(), Point(150, 120));

    // Two curves through the middle of the control points, 20-point tangents.
    line->setIntermediatePoint1(Point(250, 100));
    const auto path = line->bezierPath();
    ASSERT_EQ(path->elementCount(), 3);
    const Point s = line->getStartPoint();
    const float dx = 250 - s.x, dy = 100 - s.y, length = std::hypot(dx, dy);
    expectNear(path->elementAtIndex(1).points[0], {s.x + 20 * dx / length, s.y + 20 * dy / length},
               "tangent");
    expectNear(path->elementAtIndex(1).points[2], {300, 176.6667f}, "middle");
    EXPECT_EQ(path->lineWidth(), 1.5f);

    // An arrow head: a closed triangle with its tip at the end.
    line->setEndArrowStyle(TWLinkLine::ArrowHead);
    const auto arrowed = line->bezierPath();
    ASSERT_EQ(arrowed->elementCount(), 7);
    EXPECT_EQ(arrowed->elementAtIndex(3).points[0], line->getEndPoint());
    const Point side = arrowed->elementAtIndex(4).points[0];
    EXPECT_NEAR(std::hypot(side.x - line->getEndPoint().x, side.y - line->getEndPoint().y), 15,
                0.01);

    // An end number no graphic has: no path.
    line->setEndGraphicNumber(12345);
    EXPECT_FALSE(line->endGraphic());
    EXPECT_FALSE(line->bezierPath());
    EXPECT_FALSE(line->hitTest(Point(300, 176), false));
}

TEST_F(TWLinkLineTest, EndsThatCannotBeDrawnAreReportedOncePerKind)
{
    struct Case
    {
        int start;
        int end;
        QStringList reported; // at most, over many drawings
    };
    const QString oval = "Don't know how to draw oval ends";
    const QString rectangle = "Don't know how to draw rectangle ends";
    const Case cases[] = {
        {TWLinkLine::OvalEnd, TWLinkLine::NoArrow, {oval}},
        {TWLinkLine::RectangleEnd, TWLinkLine::RectangleEnd, {rectangle}},
        {TWLinkLine::OvalEnd, TWLinkLine::RectangleEnd, {oval, rectangle}},
        {TWLinkLine::ArrowHead, TWLinkLine::NoArrow, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " " << c.end);
        auto line = link(a->mainGraphic(), b->mainGraphic());
        line->setStartArrowStyle(c.start);
        line->setEndArrowStyle(c.end);
        MapsDocTest::WarningCapture warnings;
        for (int drawing = 0; drawing < 5; ++drawing)
            ASSERT_TRUE(line->bezierPath());
        // Said once in the run, which an earlier drawing may have done.
        for (const QString &said : warnings.lines())
            EXPECT_TRUE(c.reported.contains(said)) << said.toStdString();
        for (const QString &kind : {oval, rectangle})
            EXPECT_LE(warnings.lines().count(kind), 1);
    }
}

TEST_F(TWLinkLineTest, ALoopGoesOutAwayFromTheRoot)
{
    auto right = shaped(Rect(600, 100, 100, 40), "right");
    struct Case
    {
        std::shared_ptr<TWMapBranch> branch;
        Point c1, c2;
    } cases[] = {
        {a, {70, 70}, {70, 170}},
        {right, {730, 70}, {730, 170}},
    };
    for (const Case &c : cases) {
        auto loop = link(c.branch->mainGraphic(), c.branch->mainGraphic());
        EXPECT_EQ(loop->intermediatePoint1(), c.c1);
        EXPECT_EQ(loop->intermediatePoint2(), c.c2);
        // Moving the branch carries the loop along.
        c.branch->mainGraphic()->moveBy(10, 5);
        c.branch->enclosedTextArea()->moveBy(10, 5);
        EXPECT_EQ(loop->intermediatePoint1(), Point(c.c1.x + 10, c.c1.y + 5));
        EXPECT_EQ(loop->intermediatePoint2(), Point(c.c2.x + 10, c.c2.y + 5));
    }
}

TEST_F(TWLinkLineTest, ControlPointsFollowAMovedEnd)
{
    auto line = link(a->mainGraphic(), b->mainGraphic());
    // The start's centre moves halfway to the end's: the control points shrink
    // towards the end's centre by half.
    a->enclosedTextArea()->setBounds(Rect(255, 210, 90, 20));
    a->mainGraphic()->setBounds(Rect(250, 200, 100, 40));
    expectNear(line->intermediatePoint1(), {350, 253.3333f}, "c1");
    expectNear(line->intermediatePoint2(), {400, 286.6667f}, "c2");
    EXPECT_EQ(line->previouslyDrawnStartPoint(), Point(300, 220));

    // The end turns a quarter about the start: so do the control points.
    const Point s = line->previouslyDrawnStartPoint(); // (300, 220)
    const Point q = line->intermediatePoint2();
    b->enclosedTextArea()->setBounds(Rect(155, 360, 90, 20));
    b->mainGraphic()->setBounds(Rect(150, 350, 100, 40)); // centre (200, 370) = s + (-100, 150)
    expectNear(line->intermediatePoint2(), {s.x - (q.y - s.y), s.y + (q.x - s.x)}, "turned");
}

TEST_F(TWLinkLineTest, HitTestKnobsAndRubberBand)
{
    auto line = link(a->mainGraphic(), b->mainGraphic());
    line->setIntermediatePoint1(Point(250, 60));
    const Point c1 = line->intermediatePoint1();
    const Point onCurve = line->bezierPath()->elementAtIndex(1).points[2];
    struct Case
    {
        Point at;
        bool selected, hit;
    } cases[] = {
        {onCurve, false, true},
        {{onCurve.x + 5, onCurve.y}, false, true}, // within the width + 5
        {{onCurve.x + 12, onCurve.y}, false, false},
        {{c1.x + 3.5f, c1.y}, false, false},
        {{c1.x + 3.5f, c1.y}, true, true}, // a selected line is hit on its knobs
    };
    for (const Case &c : cases)
        EXPECT_EQ(line->hitTest(c.at, c.selected), c.hit) << c.at.toString().toStdString();
    EXPECT_EQ(line->knobUnderPoint(Point(c1.x - 4, c1.y + 3)), 1);
    EXPECT_EQ(line->knobUnderPoint(line->intermediatePoint2()), 2);
    EXPECT_EQ(line->knobUnderPoint(Point(c1.x + 4.5f, c1.y)), 0);

    settle();
    EXPECT_EQ(line->resizeByMovingKnob(2, Point(380, 260), false), 2);
    EXPECT_EQ(line->intermediatePoint2(), Point(380, 260));
    EXPECT_EQ(line->resizeByMovingKnob(5, Point(0, 0), false), 5);
    undo->closeEventGroup();
    undo->undo();
    EXPECT_NE(line->intermediatePoint2(), Point(380, 260));

    EXPECT_TRUE(line->selectsInRect(Rect(0, 0, 600, 400)));
    EXPECT_TRUE(line->selectsInRect(Rect(onCurve.x - 3, onCurve.y - 3, 6, 6)));
    EXPECT_FALSE(line->selectsInRect(Rect(400, 50, 50, 50)));
}

TEST_F(TWLinkLineTest, SettersPostByTheTable)
{
    auto line = link(a->mainGraphic(), b->mainGraphic());
    settle();
    Recorder recorder({TWGraphic::GraphicNeedsRedrawNotification,
                       TWLinkLine::LinkLineSettingsChangedNotification});
    struct Case
    {
        std::function<void()> set;
        int redraws, settings;
    } cases[] = {
        {[&] { line->setStartArrowLength(20); }, 2, 0},
        {[&] { line->setEndArrowLength(20); }, 2, 1},
        {[&] { line->setColorMode(0); }, 1, 1},
        {[&] { line->setStartArrowStyle(1); }, 2, 1},
        {[&] { line->setEndFilled(false); }, 1, 1},
        {[&] { line->setLabel(AttributedString("l")); }, 2, 0},
        {[&] { line->setLabelOffset(Point(1, 2)); }, 2, 1},
        {[&] { line->setEndFilled(false); }, 0, 0}, // unchanged
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        recorder.clear();
        cases[i].set();
        EXPECT_EQ(recorder.count(TWGraphic::GraphicNeedsRedrawNotification), cases[i].redraws) << i;
        EXPECT_EQ(recorder.count(TWLinkLine::LinkLineSettingsChangedNotification),
                  cases[i].settings)
            << i;
    }
    // The colour mode reads 2 whatever is stored; undo restores the stored 2.
    EXPECT_EQ(line->colorMode(), 2);
    EXPECT_EQ(line->storedColorMode(), 0);
    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(line->storedColorMode(), 2);

    line->remove();
    EXPECT_EQ(map->countOfLinkLines(), 0);
}

TEST_F(TWLinkLineTest, DrawingBoundsStayFinite)
{
    auto line = link(a->mainGraphic(), b->mainGraphic());
    // A straight line 1 wide at full zoom: half of (10 + 1) and 1 + 10 + 1 around it.
    const Rect span(186, 144, 228, 152);
    expectNear(line->drawingBounds(), span.insetBy(-17.5f, -17.5f));

    // Arrow heads of no width and a zoom of 0 would give infinite bounds.
    line->setEndArrowStyle(TWLinkLine::ArrowHead);
    line->setEndArrowWidth(0);
    for (float zoom : {100.0f, 0.0f, -5.0f, std::nanf("")}) {
        const Rect r = line->drawingBoundsAtZoom(zoom);
        EXPECT_TRUE(std::isfinite(r.x()) && std::isfinite(r.width())) << zoom;
        EXPECT_LT(r.width(), 2000.0f) << zoom;
    }
}

} // namespace

// A map's link line glows with the branch it starts on selected and casts a
// shadow like the branches' shapes, however many lines the map holds; the
// branch's label, a graphic of another kind, follows its own rule.
TEST_F(TWLinkLineTest, ALinkLineGlowsAndCastsShadowsAsItsMapsLine)
{
    std::vector<std::shared_ptr<TWLinkLine>> lines;
    for (int i = 0; i < 50; ++i)
        lines.push_back(link(i % 2 ? b->mainGraphic() : a->mainGraphic(),
                             i % 2 ? a->mainGraphic() : b->mainGraphic()));
    map->setShowShadows(true);
    const Shadow shadow(Size(3, -3), 2, std::nullopt);
    for (const auto &line : lines) {
        line->setDrawsShadow(true);
        line->setShadow(shadow);
        line->setInheritsShadow(false);
    }
    a->mainGraphic()->setDrawsShadow(true);
    a->mainGraphic()->setShadow(shadow);
    a->mainGraphic()->setInheritsShadow(false);
    map->insertObjectInSelectedGraphicsAtIndex(a->enclosedTextArea(), 0);
    struct Case
    {
        const char *name;
        std::shared_ptr<TWGraphic> graphic;
        bool glows;
    };
    const Case cases[] = {
        {"line from the selected branch", lines.front(), true},
        {"line from the other branch", lines.at(1), false},
        {"the selected branch's shape", a->mainGraphic(), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.graphic->inheritedShadow().has_value());
        EXPECT_EQ(TWMapUtilities::shouldGraphicDrawSelectionShadow(*c.graphic), c.glows);
        EXPECT_TRUE(TWMapUtilities::shouldGraphicDrawShadows(*c.graphic));
    }
    // The label casts none: it is neither a shape nor a line.
    a->enclosedTextArea()->setDrawsShadow(true);
    a->enclosedTextArea()->setShadow(shadow);
    a->enclosedTextArea()->setInheritsShadow(false);
    EXPECT_FALSE(TWMapUtilities::shouldGraphicDrawShadows(*a->enclosedTextArea()));
}
