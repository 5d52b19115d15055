#include "BranchTestSupport.h"
#include "graphics/TWCircle.h"
#include "graphics/TWImage.h"
#include "graphics/TWLine.h"
#include "graphics/TWRectangle.h"

using namespace BranchTest;

namespace {

const QString longLabel = QStringLiteral("A label long enough to wrap in a narrow shape");

class TWGraphicResizeTest : public BranchFixture
{
protected:
    // A branch right of the root whose shape of that kind has `shape` as its
    // bounds and the label at `label`, placed by `position`.
    template <class Kind>
    std::shared_ptr<TWMapBranch> branchWith(Rect shape, Rect label, int position,
                                            const QString &text = QStringLiteral("label"))
    {
        auto b =
            TWMapBranch::createWithGraphic(TWGraphic::make<Kind>(shape), root.get(), map.get());
        b->enclosedTextArea()->setString(text);
        b->setTextRelativePosition(position);
        b->mainGraphic()->setBounds(shape);
        b->enclosedTextArea()->setBounds(label);
        settle();
        return b;
    }
};

TEST_F(TWGraphicResizeTest, KnobDragsMirrorAcrossTheOppositeEdge)
{
    struct Case
    {
        int knob;
        Point to;
        bool aspect;
        Rect bounds;
        int held;
        bool flippedH, flippedV;
    } cases[] = {
        {3, {120, -10}, false, {0, -10, 120, 60}, 3, false, false},
        {5, {-30, 20}, false, {-30, 0, 30, 50}, 4, true, false},
        {7, {50, -20}, false, {0, -20, 100, 20}, 2, false, true},
        {1, {-10, -10}, false, {-10, -10, 110, 60}, 1, false, false},
        // The aspect flag means nothing to a plain graphic.
        {3, {120, -10}, true, {0, -10, 120, 60}, 3, false, false},
    };
    auto a = child(root, 100, "a");
    for (const Case &c : cases) {
        auto note = TWGraphic::createWithBounds(Rect(0, 0, 100, 50));
        a->insertObjectInLinkedGraphicsAtIndex(note, 0);
        note->setBranch(a.get());
        EXPECT_EQ(note->resizeByMovingKnob(c.knob, c.to, c.aspect), c.held) << c.knob;
        EXPECT_EQ(note->bounds(), c.bounds) << c.knob;
        EXPECT_EQ(note->flippedHorizontally(), c.flippedH) << c.knob;
        EXPECT_EQ(note->flippedVertically(), c.flippedV) << c.knob;
    }
}

TEST_F(TWGraphicResizeTest, AShapeKeepsItsLabelBetweenItsEdges)
{
    const Rect shape(500, 100, 200, 30);
    const Rect spanning(503, 103, 194, 24);
    struct Case
    {
        const char *what;
        std::shared_ptr<TWMapBranch> branch;
        float extra; // what the shape holds beyond the label's height and 6
    } cases[] = {
        {"rectangle", branchWith<TWRectangle>(shape, spanning, 2, longLabel), 0},
        {"oval", branchWith<TWCircle>(shape, spanning, 2, longLabel), 6},
    };
    for (const Case &c : cases) {
        const auto &label = c.branch->enclosedTextArea();
        const float th = label->requiredSizeForWidth(94).height;
        ASSERT_GT(th + 6 + c.extra, 30.0f) << "the label must wrap";
        // Narrowed: re-wrapped to the inner width, the shape grown upward.
        EXPECT_EQ(c.branch->mainGraphic()->resizeByMovingKnob(5, Point(600, 115), false), 5);
        const float h = th + 6 + c.extra;
        EXPECT_EQ(c.branch->mainGraphic()->bounds(), Rect(500, 130 - h, 100, h)) << c.what;
        EXPECT_EQ(label->bounds(), Rect(503, 130 - h / 2 - th / 2, 94, th)) << c.what;
    }

    // A label touching neither edge stays where it is when the shape widens.
    auto free = branchWith<TWRectangle>(shape, Rect(530, 105, 100, 20), 2);
    free->mainGraphic()->resizeByMovingKnob(5, Point(800, 115), false);
    EXPECT_EQ(free->mainGraphic()->bounds(), Rect(500, 100, 300, 30));
    EXPECT_EQ(free->enclosedTextArea()->bounds(), Rect(530, 105, 100, 20));

    // A line's re-wrapped label sits 3 above it; the line keeps its height.
    auto line = branchWith<TWLine>(Rect(500, 130, 200, 0), Rect(503, 100, 194, 27), 2, longLabel);
    line->mainGraphic()->resizeByMovingKnob(5, Point(600, 130), false);
    const float th = line->enclosedTextArea()->requiredSizeForWidth(94).height;
    EXPECT_EQ(line->mainGraphic()->bounds(), Rect(500, 130, 100, 0));
    EXPECT_EQ(line->enclosedTextArea()->bounds(), Rect(503, 127 - th, 94, th));
}

TEST_F(TWGraphicResizeTest, TheLabelsHeightFollowsItsText)
{
    auto b =
        branchWith<TWRectangle>(Rect(500, 100, 200, 60), Rect(503, 120, 194, 20), 2, longLabel);
    const auto &label = b->enclosedTextArea();
    const Size needed = label->requiredSizeForWidth(120);
    // The bottom knob's height is overruled; the bottom edge stays.
    EXPECT_EQ(label->resizeByMovingKnob(5, Point(623, 400), false), 5);
    EXPECT_EQ(label->bounds(), Rect(503, 140 - needed.height, 120, needed.height));
}

TEST_F(TWGraphicResizeTest, PlacingAndRemovingAPicture)
{
    const Rect band(500, 100, 200, 30);
    const Rect tall(500, 100, 200, 60);
    const Rect label(503, 103, 194, 24);
    enum Kind { Rectangle, Oval, Line };
    struct Case
    {
        const char *what;
        Kind kind;
        int position;
        Rect shape;
        int connectionSide; // 1 grows right, 3 left, 4 both ways
        bool hasPicture;
        Size picture;
        Rect newShape;
        Rect place;
    } cases[] = {
        // clang-format off
        {"wider, growing left", Rectangle, 2, band, 3, false, {300, 150}, {400, 40, 300, 150},
         {400, 40, 300, 150}},
        {"wider, both ways", Rectangle, 2, band, 4, false, {300, 150}, {450, 40, 300, 150},
         {450, 40, 300, 150}},
        {"wider, growing right", Rectangle, 2, band, 1, false, {300, 150}, {500, 40, 300, 150},
         {500, 40, 300, 150}},
        {"narrower, scaled", Rectangle, 2, band, 1, true, {100, 40}, {500, 75, 200, 80},
         {500, 75, 200, 80}},
        // Below the label band and inside the shape, however tall it was.
        {"label on top", Rectangle, 1, tall, 1, false, {100, 40}, {500, 100, 200, 110},
         {500, 130, 200, 80}},
        {"label at the bottom", Rectangle, 3, tall, 1, false, {100, 40}, {500, 50, 200, 110},
         {500, 50, 200, 80}},
        {"removed from a rectangle", Rectangle, 1, tall, 1, true, {0, 0}, {500, 100, 200, 30}, {}},
        {"removed from an oval", Oval, 1, tall, 1, true, {0, 0}, {500, 100, 200, 36}, {}},
        {"removed from a line", Line, 3, tall, 1, true, {0, 0}, {500, 130, 200, 0}, {}},
        // clang-format on
    };
    for (const Case &c : cases) {
        const Rect text = c.kind == Line ? Rect(503, 103, 194, 24) : label;
        std::shared_ptr<TWMapBranch> b =
            c.kind == Oval   ? branchWith<TWCircle>(c.shape, text, c.position)
            : c.kind == Line ? branchWith<TWLine>(c.shape, text, c.position)
                             : branchWith<TWRectangle>(c.shape, text, c.position);
        b->connectionGraphic()->setConnectionToParentSide(c.connectionSide);
        if (c.hasPicture)
            b->setEnclosedImage(TWGraphic::make<TWImage>(c.shape));
        Rect shape;
        EXPECT_EQ(b->mainGraphic()->enclosedImageBoundsForNewImageOfSize(c.picture, &shape),
                  c.place)
            << c.what;
        EXPECT_EQ(shape, c.newShape) << c.what;
        b->remove();
    }
}

} // namespace
