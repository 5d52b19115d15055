#include "BranchTestSupport.h"
#include "graphics/TWFlexiBranch.h"
#include "support/BezierPath.h"

using namespace BranchTest;

namespace {

// A flexi branch (100, 100, 200, 30) whose line lies at y 130, a label 20
// high and 3 points reserved at each end.
class FlexiResizeTest : public BranchFixture
{
protected:
    FlexiResizeTest()
    {
        branch = TWMapBranch::createWithGraphic(
            TWGraphic::make<TWFlexiBranch>(Rect(100, 100, 200, 30)), root.get(), map.get());
        flexi = std::static_pointer_cast<TWFlexiBranch>(branch->mainGraphic());
        branch->enclosedTextArea()->setBounds(Rect(103, 110, 190, 20));
        flexi->initializePoints();
        settle();
    }

    std::shared_ptr<TWMapBranch> branch;
    std::shared_ptr<TWFlexiBranch> flexi;
};

TEST_F(FlexiResizeTest, EachKnobKeepsCurveAndTextStrip)
{
    const struct
    {
        const char *name;
        int knob;
        Point to;
        bool withPicture;
        Rect bounds;
        Point left, right; // the ends afterwards
    } cases[] = {
        // clang-format off
        // At least 16 points of curve stay between the straight pieces.
        {"left end too far right", 10, {290, 130}, false, {278, 100, 22, 30}, {278, 130}, {300, 130}},
        {"right end too far left", 11, {105, 130}, false, {100, 100, 22, 30}, {100, 130}, {122, 130}},
        // The text strip stays above the raised end.
        {"right end up into the text", 11, {300, 105}, false, {100, 85, 200, 45}, {100, 130}, {300, 105}},
        {"the same with a picture", 11, {300, 105}, true, {100, 79, 200, 51}, {100, 130}, {300, 105}},
        {"left end down", 10, {100, 160}, false, {100, 100, 200, 60}, {100, 160}, {300, 130}},
        // An inner end pushes its straight piece and end outwards.
        {"inner left end past the straight piece", 14, {90, 130}, false, {84, 100, 216, 30}, {84, 130}, {300, 130}},
        {"inner right end past the straight piece", 15, {310, 130}, false, {100, 100, 216, 30}, {100, 130}, {316, 130}},
        // Control points go exactly to the pointer; the bounds stay.
        {"first control point", 12, {150, 60}, false, {100, 100, 200, 30}, {100, 130}, {300, 130}},
        {"second control point", 13, {250, 170}, false, {100, 100, 200, 30}, {100, 130}, {300, 130}},
        // Bounds knobs.
        {"top stops where the strip fits", 21, {200, 125}, false, {100, 110, 200, 20}, {100, 130}, {300, 130}},
        {"top up", 21, {200, 80}, false, {100, 80, 200, 50}, {100, 130}, {300, 130}},
        {"bottom above the line carries it", 26, {200, 125}, false, {100, 100, 200, 25}, {100, 125}, {300, 125}},
        {"bottom stops at the strip", 26, {200, 110}, false, {100, 100, 200, 20}, {100, 120}, {300, 120}},
        {"right edge clamped", 24, {110, 120}, false, {100, 100, 22, 30}, {100, 130}, {122, 130}},
        {"left edge", 23, {60, 120}, false, {60, 100, 240, 30}, {60, 130}, {300, 130}},
        {"bottom-right corner", 27, {350, 150}, false, {100, 100, 250, 50}, {100, 130}, {350, 130}},
        {"top-left corner", 20, {80, 90}, false, {80, 90, 220, 40}, {80, 130}, {300, 130}},
        // clang-format on
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        flexi->setImageFilename(
            c.withPicture ? std::optional<QString>(QStringLiteral("Images/p.png")) : std::nullopt);
        flexi->setBounds(Rect(100, 100, 200, 30));
        branch->enclosedTextArea()->setBounds(Rect(103, 110, 190, 20));
        flexi->initializePoints();
        const Point i1 = flexi->intermediate1(), i2 = flexi->intermediate2();
        settle();

        Recorder recorder({QStringLiteral("FlushPendingRedrawsNotification")});
        EXPECT_EQ(flexi->resizeByMovingKnob(c.knob, c.to, false), c.knob);
        EXPECT_EQ(flexi->bounds(), c.bounds);
        EXPECT_EQ(flexi->leftPoint(), c.left);
        EXPECT_EQ(flexi->rightPoint(), c.right);
        EXPECT_EQ(recorder.notifications.size(), 1);
        // The straight pieces keep their reserved lengths and the curve its 16 points.
        EXPECT_FLOAT_EQ(flexi->straightLeft().x - flexi->leftPoint().x, 3);
        EXPECT_FLOAT_EQ(flexi->rightPoint().x - flexi->straightRight().x, 3);
        EXPECT_GE(flexi->straightRight().x - flexi->straightLeft().x, 16);
        if (c.knob == 12 || c.knob == 13) {
            EXPECT_EQ(flexi->intermediate1(), c.knob == 12 ? c.to : i1);
            EXPECT_EQ(flexi->intermediate2(), c.knob == 13 ? c.to : i2);
        }
        // The curve is rebuilt from the moved points.
        EXPECT_EQ(flexi->bezierPath()->elementAtIndex(0).points[0], flexi->leftPoint());
    }
}

TEST_F(FlexiResizeTest, ClampedEndKeepsControlPointsOnTheCurve)
{
    flexi->resizeByMovingKnob(TWFlexiBranch::LeftPointKnob, {290, 130}, false);
    // Flat control points move out of the shortened left straight piece.
    EXPECT_EQ(flexi->straightLeft(), Point(281, 130));
    EXPECT_GE(flexi->intermediate1().x, 287);
    EXPECT_GE(flexi->intermediate2().x, 290);
    // The label spans the free length between the ends.
    const Rect label = branch->enclosedTextArea()->bounds();
    EXPECT_FLOAT_EQ(label.x(), 281);
    EXPECT_GE(label.width(), 16);
}

TEST_F(FlexiResizeTest, UndoPutsTheDraggedPointsBack)
{
    const Point i1 = flexi->intermediate1(), right = flexi->rightPoint();
    // A bend alone leaves the bounds as they are, and is still undone.
    flexi->resizeByMovingKnob(TWFlexiBranch::Intermediate1Knob, {150, 60}, false);
    flexi->resizeByMovingKnob(TWFlexiBranch::RightPointKnob, {320, 105}, false);
    settle();
    undo->undo();
    EXPECT_EQ(flexi->intermediate1(), i1);
    EXPECT_EQ(flexi->rightPoint(), right);
    EXPECT_EQ(flexi->bounds(), Rect(100, 100, 200, 30));
    undo->redo();
    EXPECT_EQ(flexi->intermediate1(), Point(150, 60));
    EXPECT_EQ(flexi->rightPoint(), Point(320, 105));
}

TEST_F(FlexiResizeTest, RoomForANewPicture)
{
    branch->setTextRelativePosition(0);
    Rect self;
    // Narrower than the shape: the width stays and the height scales.
    EXPECT_EQ(flexi->enclosedImageBoundsForNewImageOfSize(Size(100, 50), &self),
              Rect(100, 30, 200, 100));
    EXPECT_EQ(self, Rect(100, 30, 200, 100));
    // Label above the picture: the picture lies below the label band of
    // the new bounds, inside them.
    branch->setTextRelativePosition(1);
    EXPECT_EQ(flexi->enclosedImageBoundsForNewImageOfSize(Size(100, 50), &self),
              Rect(100, 30, 200, 100));
    EXPECT_EQ(self, Rect(100, 4, 200, 126));
    branch->setTextRelativePosition(3);
    EXPECT_EQ(flexi->enclosedImageBoundsForNewImageOfSize(Size(100, 50), &self),
              Rect(100, 4, 200, 100));
    // Taken away: back to the line with its label.
    EXPECT_EQ(flexi->enclosedImageBoundsForNewImageOfSize(Size(0, 0), &self), Rect());
    EXPECT_EQ(self, Rect(100, 110, 200, 20));
    // Wider: the shape widens to its expansion side (right of the root: rightwards).
    branch->setTextRelativePosition(0);
    flexi->enclosedImageBoundsForNewImageOfSize(Size(300, 60), &self);
    EXPECT_EQ(self.size, Size(300, 60));
    EXPECT_FLOAT_EQ(self.y(), 70);
    EXPECT_FLOAT_EQ(self.x(), flexi->leftPoint().x);
    EXPECT_FLOAT_EQ(flexi->rightPoint().x - flexi->leftPoint().x, 300);
}

} // namespace
