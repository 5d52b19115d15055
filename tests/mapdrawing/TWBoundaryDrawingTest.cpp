#include "GoldenImage.h"
#include "LayoutTestSupport.h"

#include "graphics/TWBoundaryProxy.h"
#include "mapdrawing/TWBoundaryDrawing.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "render/DrawingContext.h"

#include <QPainter>
#include <functional>

using namespace LayoutTest;

namespace {

// Three first-level branches, each with two children and a boundary: plain,
// rounded and bevelled.
class TWBoundaryDrawing : public LayoutFixture
{
protected:
    TWBoundaryDrawing()
    {
        map->setShowBoundaries(true);
        const int styles[] = {0, 1, 2};
        for (int i = 0; i < 3; ++i) {
            auto f = add(root, Rect(40 + 150 * i, 60, 60, 24), "F");
            add(f, Rect(40 + 150 * i, 110, 50, 20), "a");
            add(f, Rect(90 + 150 * i, 150, 40, 20), "b");
            f->setBoundaryCornerStyle(styles[i]);
            f->setBoundaryCurveRadius(12);
            f->setBoundaryMargin(4);
            f->setBoundaryLineWidth(2);
            f->setBoundaryDrawsLine(true);
            f->setBoundaryDrawsFill(true);
            f->setBoundaryFillColor(Color::colorWithCalibratedRed(0.8, 0.9, 1.0));
            f->setBoundaryLineColor(Color::colorWithCalibratedRed(0.1, 0.3, 0.7));
            f->setBoundaryLineStyle(i == 2 ? 2 : 1);
            f->setHasBoundary(true);
            f->boundaryProxy(); // made on first use, which registers its branch
            boundaries.append(f);
        }
        settle();
    }
    QImage draw(const TWMap::GraphicList *selection, std::optional<Rect> clip = std::nullopt,
                std::optional<Rect> culling = std::nullopt)
    {
        QImage image = DrawingContext::makeImage(Size(480, 220), 1.0, Qt::white);
        QPainter painter(&image);
        if (clip)
            painter.setClipRect(clip->toQt());
        DrawingContext context(painter, false);
        ::TWBoundaryDrawing::drawBoundaryInView(context, *root, selection, culling);
        return image;
    }
    BranchList boundaries;
};

TEST_F(TWBoundaryDrawing, DrawsPlainRoundedAndBevelledBoundaries)
{
    const TWMap::GraphicList selection{boundaries.at(1)->boundaryProxy()};
    EXPECT_TRUE(GoldenImage::matches(draw(&selection), "boundaries"));
    map->setShowBoundaries(false);
    const QImage blank = draw(nullptr);
    EXPECT_EQ(blank.pixel(70, 100), qRgb(255, 255, 255)) << "hidden boundaries draw nothing";
}

// Drawing only the boundaries that may reach a rectangle leaves its pixels
// as drawing them all does: strokes, glows and corners that stick out of
// an outline's path are drawn where they reach.
TEST_F(TWBoundaryDrawing, BoundariesDrawnForARectangleLeaveItsPixelsAsAll)
{
    boundaries.at(0)->setBoundaryLineWidth(6);
    settle();
    const TWMap::GraphicList selection{boundaries.at(1)->boundaryProxy()};
    const Rect glowing = TWBranchLayout::boundaryPath(*boundaries.at(1))->bounds();
    const Rect thick = TWBranchLayout::boundaryPath(*boundaries.at(0))->bounds();
    const struct
    {
        const char *what;
        Rect rect;
        bool inked; // whether drawing everything leaves ink there
    } cases[] = {
        {"the glow right of a path", Rect(glowing.maxX() + 0.5f, glowing.y(), 3, glowing.height()),
         true},
        {"the glow above a path", Rect(glowing.x(), glowing.y() - 4, glowing.width(), 3.5f), true},
        {"a thick line's corner", Rect(thick.x() - 3, thick.y() - 3, 3, 3), true},
        {"between two boundaries", Rect(thick.maxX() + 6, 0, glowing.x() - thick.maxX() - 12, 220),
         false},
        {"nothing near", Rect(470, 210, 10, 10), false},
        {"everything", Rect(0, 0, 480, 220), true},
    };
    auto inked = [](const QImage &image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixel(x, y) != qRgb(255, 255, 255);
        return n;
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QImage all = draw(&selection, c.rect);
        EXPECT_EQ(draw(&selection, c.rect, c.rect), all);
        EXPECT_EQ(inked(all) > 0, c.inked);
    }
}

// Subtrees the map's kept extents found without boundaries are passed over;
// what is drawn stays what a walk through every branch draws, after the
// edits that can put a boundary where none was.
TEST_F(TWBoundaryDrawing, KeptExtentsLeaveTheDrawnBoundariesAsTheyWere)
{
    const std::shared_ptr<TWMapBranch> leaf = boundaries.at(1)->children().at(0);
    const std::shared_ptr<TWMapBranch> collapsed = boundaries.at(2);
    const struct
    {
        const char *what;
        std::function<void()> edit;
    } cases[] = {
        {"nothing changed", [] {}},
        {"a boundary given to a leaf",
         [&] {
             leaf->setBoundaryDrawsLine(true);
             leaf->setBoundaryLineWidth(3);
             leaf->setHasBoundary(true);
         }},
        {"a branch with a boundary collapsed", [&] { collapsed->setChildrenHidden(true); }},
        {"and shown again", [&] { collapsed->setChildrenHidden(false); }},
        {"a boundary below a collapsed branch without one",
         [&] {
             const auto below = add(leaf, Rect(60 + 150, 190, 30, 16), "c");
             below->setBoundaryDrawsLine(true);
             below->setHasBoundary(true);
             leaf->setHasBoundary(false);
             leaf->setChildrenHidden(true);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        map->getBoundingDrawingRectForAllGraphics();
        c.edit();
        settle();
        map->getBoundingDrawingRectForAllGraphics();
        const QImage kept = draw(nullptr, std::nullopt, Rect(0, 0, 480, 220));
        for (const auto &branch : map->allBranches())
            branch->invalidateSubtreeDrawingExtent();
        EXPECT_EQ(kept, draw(nullptr, std::nullopt, Rect(0, 0, 480, 220)));
    }
}

TEST_F(TWBoundaryDrawing, ClicksInsideABoundaryHitItsProxy)
{
    const TWMapBranch &f = *boundaries.at(0);
    // Right of the children and below the shape, inside the outline only.
    const Point inside(boundsOf(boundaries.at(0)).x() + 5, 140);
    const auto hit = map->graphicUnderPoint(inside, nullptr);
    EXPECT_EQ(hit, boundaries.at(0)->boundaryProxy());
    EXPECT_EQ(map->graphicUnderPoint(Point(20, 200), nullptr), nullptr);
    EXPECT_EQ(boundaries.at(0)->boundaryProxy()->bounds(),
              TWBranchLayout::boundaryPath(*boundaries.at(0))->bounds());
    // The outline holds the subtree grown by repel distance, margin and line width.
    const Rect subtree = f.branchBounds()
                             .united(f.children().at(0)->branchBounds())
                             .united(f.children().at(1)->branchBounds());
    EXPECT_EQ(boundaries.at(0)->boundaryProxy()->bounds(), subtree.insetBy(-16, -16));
    map->setShowBoundaries(false);
    EXPECT_EQ(map->graphicUnderPoint(inside, nullptr), nullptr);
}

TEST_F(TWBoundaryDrawing, BoundaryFollowsItsBranch)
{
    const std::shared_ptr<TWMapBranch> &f = boundaries.at(2);
    const Rect before = f->boundaryProxy()->bounds();
    TWBranchLayout::moveBranchBy(*f, 10, 20, true);
    EXPECT_EQ(f->boundaryProxy()->bounds(), before.offsetBy(10, 20));
    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(f->boundaryProxy()->bounds(), before);
}

} // namespace
