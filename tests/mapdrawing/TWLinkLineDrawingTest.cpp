#include "BranchTestSupport.h"
#include "GoldenImage.h"
#include "graphics/TWRectangle.h"
#include "mapdrawing/TWMap_Drawing.h"
#include "render/DrawingContext.h"
#include "render/TWDrawingView.h"
#include "support/BezierPath.h"

#include <QPainter>
#include <cmath>

using namespace BranchTest;

namespace {

class LinkLineDrawingTest : public BranchFixture
{
protected:
    LinkLineDrawingTest() { map->setShowLinkLines(true); }

    // A rectangle branch whose label lies inside it, so that the line meets
    // the rectangle itself.
    std::shared_ptr<TWMapBranch> box(Rect r, TWMapBranch *parent = nullptr)
    {
        auto branch = TWMapBranch::createWithGraphic(TWGraphic::make<TWRectangle>(r),
                                                     parent ? parent : root.get(), map.get());
        branch->enclosedTextArea()->setBounds(r.insetBy(5, 10));
        return branch;
    }
    std::shared_ptr<TWLinkLine> link(const std::shared_ptr<TWMapBranch> &from,
                                     const std::shared_ptr<TWMapBranch> &to)
    {
        auto line = TWGraphic::make<TWLinkLine>();
        line->setBranch(from.get());
        line->setStartGraphicNumber(from->mainGraphic()->graphicNumber());
        line->setEndGraphicNumber(to->mainGraphic()->graphicNumber());
        line->calculateDefaultIntermediatePoints();
        map->insertObjectInLinkLinesAtIndex(line, map->countOfLinkLines());
        line->updateBounds();
        return line;
    }
    static QImage render(Size size, const std::function<void(const DrawingContext &)> &draw)
    {
        QImage image = DrawingContext::makeImage(size, 1.0, Qt::white);
        QPainter painter(&image);
        DrawingContext context(painter, false);
        draw(context);
        return image;
    }

    TWDrawingView view;
};

TEST_F(LinkLineDrawingTest, ArrowStylesDashesAndSelection)
{
    const auto a = box(Rect(20, 20, 80, 30)), b = box(Rect(260, 20, 80, 30));
    const auto c = box(Rect(20, 150, 80, 30)), d = box(Rect(260, 150, 80, 30));
    const auto e = box(Rect(400, 90, 60, 30));

    const auto plain = link(a, b);
    const auto arrows = link(a, d);
    arrows->setStartArrowStyle(TWLinkLine::ArrowHead);
    arrows->setStartFilled(false);
    arrows->setStartArrowWidth(16);
    arrows->setEndArrowStyle(TWLinkLine::ArrowHead);
    arrows->setEndArrowWidth(16);
    arrows->setStrokeWidth(2);
    arrows->setStrokeStyle(3);
    const auto red = link(c, d);
    red->setStartArrowStyle(TWLinkLine::ArrowHead);
    red->setEndArrowStyle(TWLinkLine::ArrowHead);
    red->setEndArrowWidth(16);
    red->setStrokeColor(Color::colorWithCalibratedRed(0.8, 0.1, 0.1));
    red->setStrokeStyle(5);
    red->setIntermediatePoint1({120, 230});
    red->setIntermediatePoint2({240, 120});
    // Oval and rectangle ends are not drawn.
    const auto unknownEnds = link(c, b);
    unknownEnds->setStartArrowStyle(TWLinkLine::OvalEnd);
    unknownEnds->setEndArrowStyle(TWLinkLine::RectangleEnd);
    const auto loop = link(e, e);
    settle();

    const QImage image = render(Size(520, 250), [&](const DrawingContext &ctx) {
        for (const auto &branch : {a, b, c, d, e})
            branch->mainGraphic()->drawInView(ctx, nullptr, false, std::nullopt, false);
        for (const auto &line : {plain, arrows, red, unknownEnds})
            line->drawInView(ctx, &view, false, std::nullopt, false);
        loop->drawInView(ctx, &view, true, std::nullopt, false);
    });
    EXPECT_TRUE(GoldenImage::matches(image, "link-lines"));
}

TEST_F(LinkLineDrawingTest, HiddenAndUnresolvedLinesAreNotDrawn)
{
    const auto a = box(Rect(20, 20, 80, 30));
    const auto parent = box(Rect(20, 120, 80, 30));
    const auto b = box(Rect(200, 120, 80, 30), parent.get());
    const auto line = link(a, b);
    settle();
    const QImage blank = render(Size(300, 180), [](const DrawingContext &) {});
    const auto drawn = [&] {
        return render(Size(300, 180), [&](const DrawingContext &ctx) {
            line->drawInView(ctx, &view, true, std::nullopt, true);
        });
    };
    EXPECT_NE(drawn(), blank);
    const struct
    {
        const char *name;
        std::function<void()> hide, show;
    } cases[] = {
        {"link lines switched off", [&] { map->setShowLinkLines(false); },
         [&] { map->setShowLinkLines(true); }},
        {"end branch collapsed away", [&] { parent->setChildrenHidden(true); },
         [&] { parent->setChildrenHidden(false); }},
        {"end unresolved", [&] { line->setEndGraphic(nullptr); },
         [&] { line->setEndGraphic(b->mainGraphic()); }},
    };
    for (const auto &c : cases) {
        c.hide();
        EXPECT_EQ(drawn(), blank) << c.name;
        c.show();
        EXPECT_NE(drawn(), blank) << c.name;
    }
}

// A line picked on the map, alone or by the rubber band, shows its control
// polygon. The glow around the curve comes with a selected line either way,
// so the polygon, well inside the curve, is what tells.
TEST_F(LinkLineDrawingTest, APickedLineShowsItsControlPolygonWhereTheMapIsDrawn)
{
    const auto a = box(Rect(20, 300, 80, 30)), b = box(Rect(320, 300, 80, 30));
    const auto line = link(a, b);
    line->setIntermediatePoint1({120, 20});
    line->setIntermediatePoint2({300, 20});
    line->updateBounds();
    settle();
    // The polygon's first leg runs from the start to the first control
    // point, well inside the curve and clear of any glow around it.
    const Point from = line->getStartPoint(), control = line->intermediatePoint1();
    const auto markPixels = [&](bool drawSelection) {
        const QImage image = render(Size(420, 340), [&](const DrawingContext &ctx) {
            TWMapDrawing::drawMapInRect(ctx, *map, Rect(0, 0, 420, 340),
                                        {.view = &view,
                                         .drawBackground = false,
                                         .drawSelection = drawSelection});
        });
        int marked = 0;
        for (int y = 60; y <= 200; ++y) {
            const float t = (y - from.y) / (control.y - from.y);
            const int x = int(std::lround(from.x + t * (control.x - from.x)));
            for (int dx = -2; dx <= 2; ++dx)
                marked += (image.pixel(x + dx, y) & 0xffffff) != 0xffffff;
        }
        return marked;
    };
    const struct
    {
        const char *name;
        TWMap::GraphicList selection, rubberBand;
        bool drawSelection, marked;
    } cases[] = {
        {"nothing picked", {}, {}, true, false},
        {"selected", {line}, {}, true, true},
        {"in the rubber band", {}, {line}, true, true},
        {"selected, drawn for a picture", {line}, {}, false, false},
        {"the other end's shape selected", {b->mainGraphic()}, {}, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        map->removeAllSelectedGraphics();
        for (const auto &g : c.selection)
            map->insertObjectInSelectedGraphicsAtIndex(g, 0);
        map->setRubberbandGraphics(c.rubberBand);
        const int marked = markPixels(c.drawSelection);
        if (c.marked)
            EXPECT_GT(marked, 20);
        else
            EXPECT_EQ(marked, 0);
    }
    map->setRubberbandGraphics({});
}

TEST_F(LinkLineDrawingTest, TemporaryLineWhileDragging)
{
    const auto a = box(Rect(100, 100, 100, 40));
    const auto overlapping = box(Rect(180, 110, 100, 40));
    const auto apart = box(Rect(400, 100, 100, 40));
    const TWGraphic &from = *a->mainGraphic();
    const struct
    {
        const char *name;
        const TWGraphic *to;
        Point pointer, start, end;
    } cases[] = {
        {"over empty canvas", nullptr, {400, 120}, {203, 120}, {400, 120}},
        {"straight up", nullptr, {150, 20}, {150.02f, 97}, {150.1f, 20}},
        {"inside the start graphic", nullptr, {160, 110}, {150, 120}, {160, 110}},
        {"back over the start graphic", &from, {400, 120}, {203, 120}, {400, 120}},
        {"over an overlapping graphic",
         overlapping->mainGraphic().get(),
         {0, 0},
         {150, 120},
         {230, 130}},
        {"over a graphic apart", apart->mainGraphic().get(), {0, 0}, {203, 120}, {397, 120}},
    };
    for (const auto &c : cases) {
        const BezierPath path =
            TWLinkLine::generateBezierPathForDrawingFromGraphic(from, c.to, c.pointer);
        ASSERT_EQ(path.elementCount(), 2) << c.name;
        EXPECT_NEAR(path.elementAtIndex(0).points[0].x, c.start.x, 0.05) << c.name;
        EXPECT_NEAR(path.elementAtIndex(0).points[0].y, c.start.y, 0.05) << c.name;
        EXPECT_NEAR(path.elementAtIndex(1).points[0].x, c.end.x, 0.05) << c.name;
        EXPECT_NEAR(path.elementAtIndex(1).points[0].y, c.end.y, 0.05) << c.name;
    }
}

TEST_F(LinkLineDrawingTest, DrawingBoundsFollowTheMapsZoom)
{
    const auto line = link(box(Rect(20, 20, 80, 30)), box(Rect(260, 20, 80, 30)));
    const Rect atFull = line->drawingBounds();
    map->setZoomAmount(50);
    const Rect atHalf = line->drawingBounds();
    // Lines stay as thick on screen, so they take more of the map zoomed out.
    EXPECT_LT(atHalf.x(), atFull.x());
    map->setZoomAmount(0);
    EXPECT_EQ(line->drawingBounds(), atFull) << "an unusable zoom counts as 100";
}

} // namespace
