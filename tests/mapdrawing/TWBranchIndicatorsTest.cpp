#include "../model/TWMapsDocTestSupport.h"
#include "MapDrawingFixture.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "mapdrawing/TWMapDefaultColors.h"
#include "mapdrawing/TWMapExpansionState.h"

#include <cmath>

using namespace MapDrawingTest;
namespace BI = TWBranchIndicators;

namespace {

class IndicatorsTest : public MapFixture
{
protected:
    // b: a 100 x 40 shape at (500, 100) under the root.
    std::shared_ptr<TWMapBranch> b = newBranch(root.get(), Rect(500, 100, 100, 40), "b");
    float left() const { return 600 - b->totalWidthForSuffixImages() + 3; }
};

TEST_F(IndicatorsTest, SlotsFollowTheIconsThatAreShown)
{
    b->setTextRelativePosition(1);
    b->insertObjectInHyperlinksAtIndex(hyperlink(), 0);
    b->insertObjectInHyperlinksAtIndex(hyperlink(), 1);
    b->insertObjectInAttachedTextArrayAtIndex(attachedText(), 0);
    b->setShowCheckBox(true);
    b->setPriority(3);
    EXPECT_EQ(BI::boundsOfPriorityIcon(*b), Rect(left() + 19 * 4, 103, 16, 16));
    EXPECT_EQ(BI::boundsOfHyperlinkAtIndex(*b, 1), Rect(left() + 19, 103, 16, 16));
    EXPECT_EQ(BI::boundsOfAttachedTextIndicatorAtIndex(*b, 0), Rect(left() + 19 * 2, 103, 16, 16));
    EXPECT_EQ(BI::boundsOfCheckbox(*b), Rect(left() + 19 * 3, 103, 16, 16));
    // The last icon ends 3 inside the shape's right edge.
    EXPECT_EQ(BI::boundsOfPriorityIcon(*b).maxX(), 600 - 3);
    EXPECT_EQ(BI::boundsOfPercentageCompleteIndicator(*b), Rect());

    // Hidden text indicators take no slot and have no rectangle.
    map->branchDisplaySettingsForUpdate().showTextIndicators = false;
    EXPECT_EQ(BI::boundsOfAttachedTextIndicatorAtIndex(*b, 0), Rect());
    EXPECT_EQ(BI::boundsOfPriorityIcon(*b), Rect(left() + 19 * 3, 103, 16, 16));

    // A percentage that is not drawn (-1 unset, -0.5) has no slot; 0 has one.
    for (const auto &[percentage, shown] :
         {std::pair{-1.0f, false}, {-0.5f, false}, {0.0f, true}}) {
        b->setPercentageComplete(percentage);
        EXPECT_EQ(BI::boundsOfPercentageCompleteIndicator(*b).isEmpty(), !shown) << percentage;
    }
    // Resources are never shown, whatever the stored setting.
    b->setResourcesAllocated({"r1"});
    EXPECT_EQ(BI::boundsOfResourcesAllocatedIndicator(*b), Rect());
}

TEST_F(IndicatorsTest, RowHeightFollowsTextPositionLinesAndFlexiBranches)
{
    b->insertObjectInHyperlinksAtIndex(hyperlink(), 0);
    struct Case
    {
        int position;
        float y;
    };
    for (const Case c : {Case{1, 103}, {2, 112}, {3, 121}, {0, 0}, {7, 0}}) {
        b->setTextRelativePosition(c.position);
        EXPECT_EQ(BI::boundsOfHyperlinkAtIndex(*b, 0).origin.y, c.y) << c.position;
    }
    // On a line the icons stand on it, unless it holds a picture.
    auto line = newBranch(root.get(), Rect(500, 300, 100, 20), "line");
    line->setMainGraphic(TWGraphic::make<TWLine>(Rect(500, 300, 100, 20)));
    line->mainGraphic()->setBranch(line.get());
    line->setTextRelativePosition(3);
    line->insertObjectInHyperlinksAtIndex(hyperlink(), 0);
    EXPECT_EQ(BI::boundsOfHyperlinkAtIndex(*line, 0).origin.y, 300 - 19);
    auto picture = TWGraphic::make<TWImage>(Rect(500, 300, 20, 20));
    line->setEnclosedImage(picture);
    EXPECT_EQ(BI::boundsOfHyperlinkAtIndex(*line, 0).origin.y, 320 - 19);
}

// The check box, between the label's right handle and the shape's right
// edge, steps clear of whichever handles a selection shows, and stays in
// the room the branch keeps for it.
TEST_F(IndicatorsTest, TheCheckBoxStepsClearOfTheSelectionHandles)
{
    b->setShowCheckBox(true);
    auto line = newBranch(root.get(), Rect(500, 300, 100, 0), "line");
    line->setMainGraphic(TWGraphic::make<TWLine>(Rect(500, 300, 100, 0)));
    line->mainGraphic()->setBranch(line.get());
    line->setShowCheckBox(true);
    struct Case
    {
        const char *name;
        TWMapBranch *branch;
        int position;
        const char *pick; // "", "label" or "shape"
    };
    std::vector<Case> cases;
    for (const char *pick : {"", "label", "shape"}) {
        for (int position : {1, 2, 3})
            cases.push_back({"shape", b.get(), position, pick});
        cases.push_back({"line", line.get(), 3, pick});
    }
    const auto overlap = [](Rect a, Rect c) {
        return a.minX() < c.maxX() && c.minX() < a.maxX() && a.minY() < c.maxY() &&
               c.minY() < a.maxY();
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(c.position) + ", picked " +
                     c.pick);
        TWMapBranch &branch = *c.branch;
        branch.setTextRelativePosition(c.position);
        const Rect shape = branch.mainGraphic()->bounds();
        // The label fills the room between the shape's left edge and the
        // icons: inside a shape, above a line.
        const float top = c.branch == line.get() ? shape.y() - 20 : shape.y() + 10;
        branch.enclosedTextArea()->setBounds(
            Rect(shape.x(), top, shape.width() - branch.totalWidthForSuffixImages(), 20));
        map->removeAllSelectedGraphics();
        const std::string pick = c.pick;
        std::shared_ptr<TWGraphic> picked;
        if (pick == "label")
            picked = branch.enclosedTextArea();
        else if (pick == "shape")
            picked = branch.mainGraphic();
        if (picked)
            map->insertObjectInSelectedGraphicsAtIndex(picked, 0);

        const Rect room = BI::boundsOfCheckbox(branch);
        const Rect shown = BI::clearOfHandles(branch, room);
        EXPECT_EQ(shown.size, room.size);
        EXPECT_EQ(shown.y(), room.y());
        EXPECT_GE(shown.minX(), shape.minX());
        EXPECT_LE(shown.maxX(), shape.maxX());
        if (!picked) {
            EXPECT_EQ(shown, room);
            continue;
        }
        const unsigned mask = unsigned(picked->knobMask());
        int handles = 0;
        for (int knob = 1; knob <= 8; ++knob) {
            if (!(mask & (1u << knob)))
                continue;
            ++handles;
            const Rect handle = TWGraphic::knobRect(picked->knobPoint(knob));
            EXPECT_FALSE(overlap(shown, handle)) << "knob " << knob;
        }
        EXPECT_GT(handles, 0);
    }
    map->removeAllSelectedGraphics();
}

TEST_F(IndicatorsTest, BranchBoundsCoverShapeLabelAndSign)
{
    b->enclosedTextArea()->setBounds(Rect(490, 110, 130, 20));
    EXPECT_EQ(BI::branchBounds(*b), Rect(490, 100, 130, 40));
    // The sign is only in the drawing bounds, and only with children.
    b->enclosedTextArea()->setBounds(Rect(510, 110, 80, 20));
    const Rect without = BI::branchDrawingBounds(*b);
    child(b, 100, "c");
    const Rect with = BI::branchDrawingBounds(*b);
    EXPECT_GT(with.maxX(), without.maxX());
    EXPECT_TRUE(with.contains(Point(614, 120)));
}

// --- painters ---

QRgb at(const QImage &image, float x, float y)
{
    return image.pixel(int(x), int(y));
}

TEST_F(IndicatorsTest, PercentagePiesAndPriorityOvals)
{
    const QImage image = render(Size(120, 30), [](const DrawingContext &c) {
        BI::drawPercentageComplete(c, 0, Rect(2, 2, 16, 16));
        BI::drawPercentageComplete(c, 100, Rect(22, 2, 16, 16));
        BI::drawPercentageComplete(c, 25, Rect(42, 2, 16, 16));
        BI::drawPriority(c, 1, Rect(62, 2, 16, 16));
        BI::drawPriority(c, 12, Rect(82, 2, 16, 16));
        BI::drawImage(c, QImage(), Rect(100, 2, 16, 16));
    });
    const auto reddish = [](QRgb p) { return qRed(p) > 200 && qGreen(p) < 160; };
    const auto greenish = [](QRgb p) { return qGreen(p) > 200 && qRed(p) < 160; };
    EXPECT_TRUE(reddish(at(image, 10, 10)));
    EXPECT_TRUE(greenish(at(image, 30, 10)));
    // 25 %: green from twelve to three o'clock, red elsewhere.
    EXPECT_TRUE(greenish(at(image, 54, 6)));
    EXPECT_TRUE(reddish(at(image, 46, 14)));
    EXPECT_TRUE(reddish(at(image, 54, 14)));
    // Priority 1 is red at half alpha; 12 is white.
    EXPECT_TRUE(reddish(at(image, 65, 10)));
    EXPECT_EQ(BI::priorityColor(12), Color::colorWithDeviceWhite(1.0));
    EXPECT_EQ(BI::priorityDigitColor(6), Color::whiteColor());
    // A missing picture shows a dark question mark.
    int dark = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 100; x < 120; ++x)
            dark += qGray(image.pixel(x, y)) < 100;
    EXPECT_GT(dark, 5);
}

// Nine priorities, each its own colour; anything else shows white.
TEST_F(IndicatorsTest, EachOfTheNinePrioritiesHasItsOwnColour)
{
    const Color white = Color::colorWithDeviceWhite(1.0);
    QList<Color> seen;
    for (int priority = -1; priority <= 10; ++priority) {
        SCOPED_TRACE(priority);
        const Color colour = BI::priorityColor(priority);
        const bool shown = priority >= 1 && priority <= 9;
        EXPECT_EQ(colour == white, !shown);
        if (shown) {
            EXPECT_FALSE(seen.contains(colour));
            seen << colour;
        }
    }
}

// The pie is green from twelve o'clock clockwise as far as is done, red
// beyond: a few per cent done already shows a green sliver.
TEST_F(IndicatorsTest, ThePieShowsWhatIsDoneFromTwelveOClock)
{
    const struct
    {
        int percentage;
        qreal degrees; // clockwise from twelve o'clock, where it is looked at
        bool green;
    } cases[] = {{5, 9, true},    {5, 40, false},   {50, 170, true}, {50, 190, false},
                 {90, 300, true}, {90, 342, false}, {0, 10, false},  {100, 350, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %% at %2").arg(c.percentage).arg(c.degrees).toStdString());
        // Eight times magnified: a pie 128 pixels across.
        const QImage image = render(Size(140, 140), [&](const DrawingContext &context) {
            context.painter().scale(8, 8);
            BI::drawPercentageComplete(context, c.percentage, Rect(0, 0, 16, 16));
        });
        const qreal r = qDegreesToRadians(c.degrees);
        const QRgb p = at(image, float(64 + 40 * std::sin(r)), float(64 - 40 * std::cos(r)));
        EXPECT_EQ(qGreen(p) > qRed(p), c.green) << qRed(p) << " " << qGreen(p);
    }
}

// --- expansion state ---

TEST_F(IndicatorsTest, ExpansionStateModes)
{
    auto c = child(b, 200, "c");
    child(b, 250, "d");
    auto grandchild = child(c, 260, "g");
    map->setBranchHideLevel(2); // the grandchild, at level 3, is hidden
    ASSERT_TRUE(grandchild->hidden());
    TWMapExpansionState state;
    state.addExpandedBranch(c);
    struct Case
    {
        int mode;
        int level;
        QString drawn;
    };
    for (const Case &k : {Case{0, 0, "root b c d"},
                          {1, 0, "root"},
                          {3, 0, "root c"},
                          {4, 0, "root"},
                          {4, 3, "root b c d"},
                          {9, 0, "root b c g d"}}) {
        state.setMode(k.mode);
        state.setShowBranchesToLevel(k.level);
        QStringList drawn;
        for (const auto &x : map->allBranches())
            if (state.shouldDrawBranch(*x))
                drawn << nameOf(*x);
        EXPECT_EQ(drawn.join(" ").toStdString(), k.drawn.toStdString()) << k.mode << " " << k.level;
    }
    // Contracting takes a branch out of the expanded list, and back.
    state.addContractedBranch(c);
    EXPECT_TRUE(state.expandedBranches().isEmpty());
    state.setMode(TWMapExpansionState::ExpandedOnly);
    EXPECT_FALSE(state.shouldDrawBranch(*c));
    state.addExpandedBranches({c, c});
    EXPECT_EQ(state.expandedBranches().size(), 1);
    EXPECT_TRUE(state.contractedBranches().isEmpty());
    EXPECT_TRUE(state.shouldDrawBranch(*c));
    state.removeExpandedBranch(c.get());
    EXPECT_TRUE(state.expandedBranches().isEmpty());
    EXPECT_FALSE(state.shouldDrawBranch(*c));
}

// --- default colours ---

TEST_F(IndicatorsTest, RainbowHuesByDirectionOfTheFirstLevelBranch)
{
    map->setGraphicColoringMode(1);
    map->setRainbowSaturation(1);
    map->setRainbowAngle(0);
    // The root's centre is (350, 220).
    struct Case
    {
        Rect bounds;
        float hue;
    };
    for (const Case c : {Case{{330, 50, 40, 20}, 0.0f},
                         {{600, 210, 40, 20}, 0.25f},
                         {{330, 400, 40, 20}, 0.5f},
                         {{100, 210, 40, 20}, 0.75f}}) {
        auto first = newBranch(root.get(), c.bounds, "first");
        auto deep = child(first, c.bounds.origin.y, "deep", 900);
        const auto hue = TWMapDefaultColors::rainbowHue(*map, *deep->mainGraphic());
        ASSERT_TRUE(hue);
        EXPECT_NEAR(*hue, c.hue, 1e-4) << c.bounds.toString().toStdString();
        EXPECT_EQ(TWMapDefaultColors::defaultFillColorForGraphic(*map, *deep->mainGraphic()),
                  TWMapDefaultColors::defaultStrokeColorForGraphic(*map, *first->mainGraphic()));
        first->remove();
    }
    // Straight right at saturation 1 is pure yellow-green: hue 0.25.
    auto right = newBranch(root.get(), Rect(600, 210, 40, 20), "right");
    const Color colour =
        *TWMapDefaultColors::defaultFillColorForGraphic(*map, *right->mainGraphic());
    EXPECT_NEAR(colour.toQColor().redF(), 0.5, 0.01);
    EXPECT_NEAR(colour.toQColor().greenF(), 1.0, 0.01);
    // The root takes the map's colour as stored, none included.
    map->setDefaultGraphicColor(std::nullopt);
    EXPECT_FALSE(TWMapDefaultColors::defaultFillColorForGraphic(*map, *root->mainGraphic()));
    // Other modes fall back to white fill and black lines; the interpolated
    // mode is reported once a kind, however often graphics are drawn.
    map->setGraphicColoringMode(3);
    MapsDocTest::WarningCapture warnings;
    for (int drawing = 0; drawing < 3; ++drawing) {
        EXPECT_EQ(TWMapDefaultColors::defaultFillColorForGraphic(*map, *right->mainGraphic()),
                  Color::whiteColor());
        EXPECT_EQ(TWMapDefaultColors::defaultStrokeColorForGraphic(*map, *right->mainGraphic()),
                  Color::blackColor());
    }
    for (const char *kind : {"Warning: don't know how to do interpolated fill color",
                             "Warning: don't know how to do interpolated stroke color"})
        EXPECT_LE(warnings.lines().count(kind), 1) << kind;
}

} // namespace
