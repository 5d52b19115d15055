#include "../../bench/GeneratedMap.h"
#include "GoldenImage.h"
#include "MapDrawingFixture.h"
#include "PictureTestData.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWFlexiBranch.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "mapdrawing/TWMapBranch_Drawing.h"
#include "mapdrawing/TWMapImages.h"
#include "mapdrawing/TWMap_Drawing.h"
#include "model/PackageArchive.h"
#include "support/AttributedString.h"

#include <limits>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPaintEngine>
#include <QUrl>
#include <poppler-qt6.h>

using namespace MapDrawingTest;

namespace {

class MapDrawingTest : public MapFixture
{
protected:
    std::shared_ptr<Probe> probe(const QString &label, Rect bounds = Rect(500, 100, 80, 30))
    {
        auto p = TWGraphic::make<Probe>(bounds);
        p->label = label;
        p->log = &log;
        return p;
    }
    std::shared_ptr<TWMapBranch> probed(TWMapBranch *parent, const QString &label, Rect bounds)
    {
        auto branch = TWMapBranch::createWithGraphic(probe(label, bounds), parent, map.get());
        branch->enclosedTextArea()->setString(label);
        return branch;
    }
    void drawTree(Rect rect, const TWMapExpansionState &state = {},
                  const TWDrawingView *view = nullptr,
                  const TWMap::GraphicList *selection = nullptr)
    {
        render(Size(10, 10), [&](const DrawingContext &c) {
            TWBranchDrawing::drawSelf(*map->root(), {.context = c,
                                                     .view = view,
                                                     .rect = rect,
                                                     .selection = selection,
                                                     .expansionState = state});
        });
    }
    static int countNonWhite(const QImage &image)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += (image.pixel(x, y) & 0xffffff) != 0xffffff;
        return n;
    }

    QStringList log;
    const Rect everywhere{-10000, -10000, 30000, 30000};
};

TEST_F(MapDrawingTest, PaintOrderOfASubtree)
{
    auto b = probed(root.get(), "b", Rect(500, 100, 80, 30));
    probed(b.get(), "b1", Rect(700, 60, 80, 30));
    auto b2 = probed(b.get(), "b2", Rect(700, 100, 80, 30));
    probed(b.get(), "b3", Rect(700, 140, 80, 30));
    for (int ordering : {2, 5, -1, -3}) {
        auto attached = probe(QString::number(ordering));
        b->insertObjectInLinkedGraphicsAtIndex(attached, b->countOfLinkedGraphics());
        attached->setBranch(b.get());
        attached->setInternalOrdering(ordering);
    }
    // Children first, the last one first; higher orderings behind the branch.
    ASSERT_EQ(names(b->children()).join(' ').toStdString(), "b1 b2 b3");
    drawTree(everywhere);
    EXPECT_EQ(log.join(" ").toStdString(), "b3 b2 b1 5 2 b -1 -3");

    // A child holding the selection is painted last of its siblings.
    map->insertObjectInSelectedGraphicsAtIndex(b2->mainGraphic(), 0);
    EXPECT_EQ(names(TWBranchDrawing::childrenOrderedForDrawing(*b)).join(' ').toStdString(),
              "b2 b1 b3");
    log.clear();
    drawTree(everywhere);
    EXPECT_EQ(log.join(" ").toStdString(), "b3 b1 b2 5 2 b -1 -3");

    // Culling: only what meets the rectangle; attached graphics by their own bounds.
    log.clear();
    drawTree(Rect(700, 160, 5, 5));
    EXPECT_EQ(log.join(" ").toStdString(), "b3");
    // A refused branch hides its subtree.
    log.clear();
    TWMapExpansionState rootOnly;
    rootOnly.setMode(TWMapExpansionState::RootOnly);
    drawTree(everywhere, rootOnly);
    EXPECT_TRUE(log.isEmpty());
    // Attached graphics are left out when the map hides them.
    map->setShowAttachedGraphics(false);
    log.clear();
    drawTree(everywhere);
    EXPECT_EQ(log.join(" ").toStdString(), "b3 b1 b2 b");
}

// Drawing skips subtrees by their cached extents; every change that moves
// what a subtree paints must reach the cache, or a branch would vanish.
TEST_F(MapDrawingTest, SubtreeExtentsFollowEveryChangeOfTheSubtree)
{
    map->setBranchHideLevel(99);
    auto b = probed(root.get(), "b", Rect(500, 100, 80, 30));
    auto b1 = probed(b.get(), "b1", Rect(700, 60, 80, 30));
    std::shared_ptr<TWMapBranch> b2;
    struct Step
    {
        const char *change;
        std::function<void()> apply;
        Rect rect;
        const char *drawn;
    };
    const Step steps[] = {
        {"nothing there yet", [] {}, Rect(2000, 2000, 5, 5), ""},
        {"a deep shape moves in", [&] { b1->mainGraphic()->moveBy(1300, 1940); },
         Rect(2000, 2000, 5, 5), "b1"},
        {"its parent closes", [&] { b->setChildrenHidden(true); }, Rect(2000, 2000, 5, 5), ""},
        {"and opens", [&] { b->setChildrenHidden(false); }, Rect(2000, 2000, 5, 5), "b1"},
        {"the hide level hides it", [&] { map->setBranchHideLevel(1); }, Rect(2000, 2000, 5, 5),
         ""},
        {"and shows it again", [&] { map->setBranchHideLevel(99); }, Rect(2000, 2000, 5, 5), "b1"},
        {"a stroke widens the drawing", [&] { b1->mainGraphic()->setStrokeWidth(20); },
         Rect(1975, 2000, 2, 2), "b1"},
        {"a child is added", [&] { b2 = probed(b1.get(), "b2", Rect(3000, 3000, 80, 30)); },
         Rect(3000, 3000, 5, 5), "b2"},
        {"and taken away", [&] { b1->removeChild(b2); }, Rect(3000, 3000, 5, 5), ""},
        {"an attached graphic lies far out",
         [&] {
             auto attached = probe("attached", Rect(4000, 4000, 20, 20));
             b1->insertObjectInLinkedGraphicsAtIndex(attached, 0);
             attached->setBranch(b1.get());
         },
         Rect(4000, 4000, 5, 5), "attached"},
        {"the subtree moves back", [&] { b1->mainGraphic()->moveBy(-1300, -1940); },
         Rect(2000, 2000, 5, 5), ""},
    };
    for (const Step &step : steps) {
        step.apply();
        log.clear();
        drawTree(step.rect);
        EXPECT_EQ(log.join(' ').toStdString(), step.drawn) << step.change;
    }
    // The root's extent covers everything drawn and nothing beyond the margins.
    const Rect extent = TWBranchDrawing::subtreeDrawingExtent(*root, 99);
    EXPECT_TRUE(extent.contains(Point(4019, 4019)));
    EXPECT_FALSE(extent.contains(Point(4040, 4040)));
}

// A moved subtree works its drawn extents out again as it goes, each one
// the extent a fresh look at the moved graphics gives; an extent nobody drew
// with is left to be worked out when asked for.
TEST_F(MapDrawingTest, AMovedSubtreeHasTheExtentsAFreshLookGives)
{
    map->setBranchHideLevel(99);
    auto b = probed(root.get(), "b", Rect(500, 100, 80, 30));
    auto b1 = probed(b.get(), "b1", Rect(700, 60, 80, 30));
    auto b2 = probed(b.get(), "b2", Rect(700, 140, 80, 30));
    auto b11 = probed(b1.get(), "b11", Rect(900, 40, 80, 30));
    auto b21 = probed(b2.get(), "b21", Rect(900, 160, 80, 30));
    const QList<std::shared_ptr<TWMapBranch>> all{root, b, b1, b2, b11, b21};
    const struct
    {
        const char *name;
        std::shared_ptr<TWMapBranch> moved;
        Point delta;
        bool drawnBefore;
        std::function<void()> before;
    } cases[] = {
        {"a slide", b, Point(13.25f, -7.5f), true, [] {}},
        {"across the root", b, Point(-900, 20), true, [] {}},
        {"back across", b, Point(900, -20), true, [] {}},
        {"a second-level branch", b2, Point(40, 33), true, [] {}},
        {"with a collapsed child", b, Point(-6, 6), true, [&] { b1->setChildrenHidden(true); }},
        {"opened again", b, Point(6, -6), true, [&] { b1->setChildrenHidden(false); }},
        {"under a lower hide level", b, Point(3, 3), true, [&] { map->setBranchHideLevel(2); }},
        {"nothing drawn before", b, Point(5, 5), false, [] {}},
    };
    auto invalidateAll = [&] {
        for (const auto &branch : all)
            branch->invalidateSubtreeDrawingExtent();
    };
    auto levelsOf = [&](const TWMapBranch &branch) {
        return map->branchHideLevel() - branch.getThisBranchLevel();
    };
    for (const auto &c : cases) {
        c.before();
        invalidateAll();
        if (c.drawnBefore)
            drawTree(everywhere);
        c.moved->moveBranchBy(c.delta.x, c.delta.y, true);
        EXPECT_EQ(c.moved->subtreeDrawingExtent(levelsOf(*c.moved)).has_value(), c.drawnBefore)
            << c.name;
        QList<std::optional<Rect>> kept;
        for (const auto &branch : all)
            kept << branch->subtreeDrawingExtent(levelsOf(*branch));
        invalidateAll();
        for (qsizetype i = 0; i < all.size(); ++i) {
            if (kept.at(i))
                EXPECT_EQ(*kept.at(i),
                          TWBranchDrawing::subtreeDrawingExtent(*all.at(i), levelsOf(*all.at(i))))
                    << c.name << " " << nameOf(*all.at(i)).toStdString();
        }
    }
}

// Drawing leaves the extents it measured alone, also for a flexi branch
// whose empty label has nothing to lay out.
TEST_F(MapDrawingTest, DrawingKeepsTheSubtreeExtents)
{
    map->setBranchHideLevel(99);
    auto flexi = TWMapBranch::createWithGraphic(
        TWGraphic::make<TWFlexiBranch>(Rect(500, 100, 120, 40)), root.get(), map.get());
    flexi->enclosedTextArea()->setString(QString());
    for (int pass = 0; pass < 2; ++pass)
        drawTree(everywhere);
    EXPECT_TRUE(root->subtreeDrawingExtent(99).has_value());
    EXPECT_TRUE(flexi->subtreeDrawingExtent(98).has_value());
}

// A child connection is placed when made: one of empty bounds is culled
// from every drawing until the child first moves.
TEST_F(MapDrawingTest, ANewBranchIsJoinedToItsParentAtOnce)
{
    auto b = child(root, 100, "b");
    auto c = newBranch(b.get(), Rect(700, 200, 80, 30), "c");
    const Rect joint = c->connectionGraphic()->drawingBounds();
    EXPECT_TRUE(joint.contains(Point(640, 150))) << joint.toString().toStdString();
    const QImage image = render(Size(800, 300), [&](const DrawingContext &context) {
        TWBranchDrawing::drawSelf(
            *root, {.context = context, .rect = Rect(600, 0, 80, 300), .expansionState = {}});
    });
    EXPECT_GT(countNonWhite(image.copy(600, 0, 80, 300)), 20);
}

// A first-level branch's connection is a wedge from the centre of the
// central branch: a filled centre hides that end, and one that fills nothing
// keeps the wedge out of its label.
TEST_F(MapDrawingTest, FirstLevelWedgesKeepOutOfACentreThatFillsNothing)
{
    // Line branches around the centre, as imported maps have.
    for (const float y : {100.0f, 300.0f}) {
        auto line = TWMapBranch::createWithGraphic(
            TWMapBranch::makeMainGraphicOfType(1, Rect(500, y, 80, 30)), root.get(), map.get());
        line->mainGraphic()->setStrokeColor(Color::blackColor());
    }
    const struct
    {
        const char *what;
        int type;
        bool fills;
        Color fill;
    } cases[] = {
        {"a filled rectangle", 2, true, Color::whiteColor()},
        {"a rectangle without fill", 2, false, Color::whiteColor()},
        {"a rectangle filled with a clear colour", 2, true, Color::clearColor()},
        {"a line, which has no fill", 1, true, Color::whiteColor()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        root->publicChangeToBranchType(c.type);
        // A label that takes room and draws nothing.
        root->enclosedTextArea()->setString(QStringLiteral("          "));
        TWGraphic &centre = *root->mainGraphic();
        centre.setDrawsFill(c.fills);
        centre.setFillColor(c.fill);
        centre.setDrawsStroke(false);
        const Rect inside =
            centre.bounds().united(root->enclosedTextArea()->bounds()).insetBy(2, 2);
        const QImage image = render(Size(800, 500), [&](const DrawingContext &context) {
            TWBranchDrawing::drawSelf(*root, {.context = context,
                                              .rect = everywhere,
                                              .expansionState = {}});
        });
        EXPECT_EQ(countNonWhite(image.copy(inside.toQt().toRect())), 0);
        // The wedges themselves are still drawn between the centre and its children.
        EXPECT_GT(countNonWhite(image.copy(430, 100, 60, 300)), 100);
    }
}

TEST_F(MapDrawingTest, OutlineNumbersByLevel)
{
    auto b = probed(root.get(), "b", Rect(500, 100, 80, 30));
    auto c = probed(b.get(), "c", Rect(600, 100, 80, 30));
    auto d = probed(c.get(), "d", Rect(700, 100, 80, 30)); // level 3
    for (const auto &x : {root, d})
        x->insertObjectInOtherEnclosedGraphicsAtIndex(
            std::make_shared<TWEnclosedGraphic>(TWMapBranch::OutlineNumberKey, std::nullopt,
                                                probe("number " + nameOf(*x))),
            0);
    map->setShowOutlineNumbers(true);
    struct Case
    {
        int toLevel;
        bool shown;
    };
    for (const Case k : {Case{2, false}, {3, true}, {0, true}, {-1, true}}) {
        map->setOutlineNumbersToLevel(k.toLevel);
        log.clear();
        drawTree(everywhere);
        EXPECT_EQ(log.contains("number d"), k.shown) << k.toLevel;
        EXPECT_FALSE(log.contains("number root")); // never at the root
    }
    map->setShowOutlineNumbers(false);
    log.clear();
    drawTree(everywhere);
    EXPECT_FALSE(log.contains("number d"));
}

// An outline number counts in its subtree's extent only while it is shown:
// one left far away while hidden does not keep the subtree from being
// culled, and every change of what is shown renews the kept extents.
TEST_F(MapDrawingTest, OnlyShownOutlineNumbersWidenTheirSubtreesExtent)
{
    map->setBranchHideLevel(99);
    auto b = probed(root.get(), "b", Rect(500, 100, 80, 30));
    auto c = probed(b.get(), "c", Rect(600, 100, 80, 30));
    auto d = probed(c.get(), "d", Rect(700, 100, 80, 30)); // level 3
    const Rect farAway(5000, 5000, 30, 15);
    const auto number = probe("number d", farAway);
    number->setPrimitiveBranch(d.get());
    d->insertObjectInOtherEnclosedGraphicsAtIndex(
        std::make_shared<TWEnclosedGraphic>(TWMapBranch::OutlineNumberKey, std::nullopt, number),
        0);
    const QList<std::shared_ptr<TWMapBranch>> all{root, b, c, d};
    struct Step
    {
        bool show;
        int toLevel;
        bool shown;
    } const steps[] = {
        {false, 0, false}, {true, 0, true},   {true, 2, false},
        {true, 3, true},   {false, 3, false}, {true, 3, true},
    };
    const int levels = map->branchHideLevel() - b->getThisBranchLevel();
    for (const Step &step : steps) {
        SCOPED_TRACE(testing::Message() << "show " << step.show << " to level " << step.toLevel);
        // Left far away, and drawn so that every extent is kept.
        number->setBounds(farAway);
        drawTree(everywhere);
        map->setShowOutlineNumbers(step.show);
        map->setOutlineNumbersToLevel(step.toLevel);
        const std::optional<Rect> kept = b->subtreeDrawingExtent(levels);
        for (const auto &branch : all)
            branch->invalidateSubtreeDrawingExtent();
        const Rect fresh = TWBranchDrawing::subtreeDrawingExtent(*b, levels);
        if (kept)
            EXPECT_EQ(*kept, fresh) << "a kept extent is a fresh look's";
        // Wherever the number now is, the subtree reaches it exactly when shown.
        number->setBounds(farAway);
        EXPECT_EQ(TWBranchDrawing::subtreeDrawingExtent(*b, levels).intersects(farAway),
                  step.shown);
    }
}

TEST_F(MapDrawingTest, ToolTipsOfHyperlinksAndLinksInText)
{
    auto b = newBranch(root.get(), Rect(500, 100, 200, 40), "b");
    b->insertObjectInHyperlinksAtIndex(hyperlink(), 0);
    b->insertObjectInHyperlinksAtIndex(hyperlink(2), 1);
    AttributedString text(QStringLiteral("see the site"));
    text.addAttribute(NSLinkAttributeName, QUrl(QStringLiteral("https://example.org/a")), {4, 3});
    b->enclosedTextArea()->setBounds(Rect(505, 105, 150, 30));
    b->enclosedTextArea()->setText(text);

    // Off screen nothing is registered.
    drawTree(everywhere);
    EXPECT_TRUE(b->hyperlinkTooltipInfo().isEmpty());

    ToolTipView view;
    for (int pass = 0; pass < 2; ++pass) { // a redraw replaces the rectangles
        drawTree(everywhere, {}, &view);
        ASSERT_EQ(view.registry->tips.size(), 3) << pass;
        ASSERT_EQ(b->hyperlinkTooltipInfo().size(), 3);
    }
    QList<Rect> rects;
    QStringList texts;
    for (const auto &tip : std::as_const(view.registry->tips)) {
        rects << tip.rect;
        texts << tip.text().value_or(QString());
    }
    EXPECT_TRUE(rects.contains(TWBranchIndicators::boundsOfHyperlinkAtIndex(*b, 1)));
    EXPECT_TRUE(texts.contains("https://example.org/a (Alt+Click)"));
    const QVariantMap textRecord = b->hyperlinkTooltipInfo().last().toMap();
    const Rect linkRect = Rect::fromString(textRecord.value("rect").toString());
    EXPECT_TRUE(Rect(505, 105, 150, 30).contains(linkRect.origin));
    EXPECT_EQ(textRecord.value("nsurl").toUrl(), QUrl("https://example.org/a"));

    // A hidden branch shows no tip; removal empties the registry.
    root->setChildrenHidden(true);
    EXPECT_FALSE(TWBranchDrawing::toolTipString(*b, QUrl("https://example.org/")));
    root->setChildrenHidden(false);
    TWBranchDrawing::removeTooltipRects(*b);
    EXPECT_TRUE(view.registry->tips.isEmpty());
    EXPECT_TRUE(b->hyperlinkTooltipInfo().isEmpty());

    // Records of a registry that is gone are dropped without reaching it.
    drawTree(everywhere, {}, &view);
    view.registry.reset();
    TWBranchDrawing::removeTooltipRects(*b);
    EXPECT_TRUE(b->hyperlinkTooltipInfo().isEmpty());
}

TEST_F(MapDrawingTest, FittingScalesEvenlyAndCentres)
{
    const auto fit = TWMapDrawing::fittingTransform(Rect(0, 0, 100, 100), Rect(0, 0, 200, 100));
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->map(QPointF(0, 0)), QPointF(0, 25));
    EXPECT_EQ(fit->map(QPointF(200, 100)), QPointF(100, 75));
    const auto shifted =
        TWMapDrawing::fittingTransform(Rect(10, 10, 50, 100), Rect(100, 0, 100, 100));
    EXPECT_EQ(shifted->map(QPointF(100, 0)), QPointF(10, 35));
    for (const Rect source : {Rect(0, 0, 0, 100), Rect(0, 0, NAN, 10), Rect(0, 0, 10, -1)})
        EXPECT_FALSE(TWMapDrawing::fittingTransform(Rect(0, 0, 100, 100), source));

    // Nothing is drawn outside the target.
    map->setBackgroundColor(Color::colorWithDeviceRed(1, 0, 0));
    const QImage image = render(Size(200, 200), [&](const DrawingContext &c) {
        TWMapDrawing::drawMapInRect(c, *map, Rect(50, 50, 100, 100), Rect(0, 0, 800, 400), {},
                                    true);
    });
    EXPECT_EQ(image.pixel(60, 60), qRgb(255, 255, 255)); // above the fitted band
    EXPECT_EQ(image.pixel(100, 100), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(160, 100), qRgb(255, 255, 255));
}

TEST_F(MapDrawingTest, BackgroundFlagsAndPicturePlacement)
{
    map->setBackgroundColor(Color::colorWithDeviceRed(0, 0, 1));
    map->setDrawBackgroundOffScreen(false);
    struct Case
    {
        bool screen;
        std::optional<bool> offScreen;
        bool painted;
    };
    for (const Case c : {Case{true, false, true},
                         {false, std::nullopt, false},
                         {false, false, false},
                         {false, true, true}}) {
        const QImage image = render(
            Size(20, 20),
            [&](const DrawingContext &context) {
                TWMapDrawing::drawBackgroundInRect(context, *map, Rect(0, 0, 20, 20), c.offScreen);
            },
            c.screen);
        EXPECT_EQ(image.pixel(10, 10) == qRgb(0, 0, 255), c.painted) << c.screen;
    }
    EXPECT_FALSE(map->drawBackgroundOffScreen());

    // Placement around the root's centre (350, 220).
    map->setBackgroundImageSize(Size(40, 20));
    map->setBackgroundImageOffset(Point(5, -5));
    map->setBackgroundImageTileMode(2);
    EXPECT_EQ(TWMapDrawing::centredImageRect(*map), Rect(335, 205, 40, 20));
    map->setBackgroundImageTileMode(0);
    EXPECT_EQ(TWMapDrawing::tiledImageOffset(*map), Point(375, 225));
    map->setBackgroundImageTileMode(1);
    EXPECT_EQ(TWMapDrawing::tiledImageOffset(*map), Point(355, 215));

    // A picture of no size is drawn one point square.
    document->setObjectInCachedData(PictureTestData::pngPicture(), "Images/back.png");
    map->setBackgroundImageFilename(QStringLiteral("Images/back.png"));
    map->setBackgroundImageSize(Size(0, 0));
    map->setBackgroundImageOpacity(1);
    const QImage tile = TWMapDrawing::backgroundImageForDrawing(*map);
    EXPECT_EQ(tile.size(), QSize(1, 1));

    // The canvas's tile is made once and made again when the look changes.
    const qint64 first = TWMapDrawing::backgroundTileForDrawing(*map, 1).cacheKey();
    EXPECT_EQ(TWMapDrawing::backgroundTileForDrawing(*map, 1).cacheKey(), first);
    map->setBackgroundImageOpacity(0.5);
    const QImage faded = TWMapDrawing::backgroundTileForDrawing(*map, 1);
    EXPECT_NE(faded.cacheKey(), first);
    EXPECT_LT(qAlpha(faded.pixel(0, 0)), 200);
    EXPECT_NE(TWMapDrawing::backgroundTileForDrawing(*map, 2).cacheKey(), faded.cacheKey());
    map->setBackgroundImageOpacity(1);

    // One picture on the root, or tiles everywhere; into images and PDF alike.
    map->setBackgroundImageSize(Size(40, 30));
    map->setBackgroundImageOffset(Point(0, 0));
    for (const auto &[mode, corner] : {std::pair{2, false}, {0, true}, {1, true}}) {
        map->setBackgroundImageTileMode(mode);
        const QImage image = TWMapImages::imageOfMap(*map, Rect(0, 0, 500, 300), 1, true);
        EXPECT_NE(image.pixel(350, 220), qRgb(0, 0, 255)) << mode;
        EXPECT_EQ(image.pixel(3, 3) != qRgb(0, 0, 255), corner) << mode;
        EXPECT_TRUE(Poppler::Document::loadFromData(TWMapImages::pdfDataForMap(*map, true)));
    }
}

// A ground counts as dark below a quarter of white, and only when it shows:
// the labels on it are light, and white paper without it loses them.
TEST_F(MapDrawingTest, DarkBackgroundsAreTheOnesLightLabelsNeed)
{
    struct Case
    {
        const char *what;
        std::optional<Color> colour;
        bool dark;
    };
    const Case cases[] = {
        {"none", std::nullopt, false},
        {"white", Color::whiteColor(), false},
        {"black", Color::blackColor(), true},
        {"navy", Color::colorWithCalibratedRed(0.05, 0.1, 0.3), true},
        {"grey just below a quarter", Color::colorWithCalibratedWhite(0.24), true},
        {"grey at a quarter", Color::colorWithCalibratedWhite(0.25), false},
        {"pure red", Color::colorWithCalibratedRed(1, 0, 0), false},
        {"pure blue", Color::colorWithCalibratedRed(0, 0, 1), true},
        {"black, mostly clear", Color::colorWithCalibratedWhite(0, 0.4), false},
        {"black, half clear", Color::colorWithCalibratedWhite(0, 0.5), true},
    };
    for (const Case &c : cases) {
        map->setBackgroundColor(c.colour);
        EXPECT_EQ(TWMapImages::hasDarkBackground(*map), c.dark) << c.what;
    }
}

// The canvas's background tile is drawn at the zoom it is shown at, within
// a quarter and four pixels a point: a tile kept from another zoom inside
// those limits would be blurred or oversized.
TEST_F(MapDrawingTest, TheCanvasTileFollowsTheZoomWithinItsLimits)
{
    document->setObjectInCachedData(PictureTestData::pngPicture(), "Images/back.png");
    map->setBackgroundImageFilename(QStringLiteral("Images/back.png"));
    map->setBackgroundImageSize(Size(40, 20));
    map->setBackgroundImageOpacity(1);
    struct Step
    {
        qreal pixelsPerPoint;
        int width; // of the tile, in pixels
    };
    for (const Step step : {Step{1, 40}, {3, 120}, {4, 160}, {8, 160}, {2, 80}, {0.1, 10},
                            {0.25, 10}, {0.5, 20}}) {
        const QImage tile = TWMapDrawing::backgroundTileForDrawing(*map, step.pixelsPerPoint);
        EXPECT_EQ(tile.width(), step.width) << step.pixelsPerPoint;
    }
}

TEST_F(MapDrawingTest, PageGridOnScreenOnly)
{
    document->setShowPageFrames(true);
    map->setScaleAmount(100);
    const auto draw = [&](int wide, int high, bool screen) {
        return render(
            Size(220, 220),
            [&](const DrawingContext &c) {
                TWMapDrawing::drawPrintGridInRect(c, *map, {Size(100, 100), wide, high});
            },
            screen);
    };
    const QImage single = draw(1, 1, true);
    EXPECT_LT(qGray(single.pixel(100, 50)), 200); // the frame's right side
    EXPECT_EQ(single.pixel(50, 50), qRgb(255, 255, 255));
    const QImage grid = draw(2, 2, true);
    EXPECT_NE(grid.pixel(100, 2), qRgb(255, 255, 255)); // a dashed inner line
    EXPECT_EQ(countNonWhite(draw(2, 2, false)), 0);
    document->setShowPageFrames(false);
    EXPECT_EQ(countNonWhite(draw(2, 2, true)), 0);
}

TEST_F(MapDrawingTest, PdfCoversTheDrawingAndKeepsTheMapsSetting)
{
    newBranch(root.get(), Rect(600, 400, 100, 40), "far");
    map->setDrawBackgroundOffScreen(false);
    const QByteArray pdf = TWMapImages::pdfDataForMap(*map, true);
    EXPECT_FALSE(map->drawBackgroundOffScreen());
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::loadFromData(pdf);
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->numPages(), 1);
    const Rect extent = map->getBoundingDrawingRectForAllGraphics();
    EXPECT_NEAR(doc->page(0)->pageSizeF().width(), extent.size.width, 1);
    EXPECT_NEAR(doc->page(0)->pageSizeF().height(), extent.size.height, 1);
    EXPECT_TRUE(doc->page(0)->text(QRectF()).contains("far"));
}

// --- previews ---

class StrangeRep : public TWImageRepresentation
{
public:
    bool drawInRect(const DrawingContext &, const QRectF &) override { return true; }
};

TEST_F(MapDrawingTest, LivePreviewFollowsTheCanvas)
{
    map->setScaleAmount(100);
    map->setCanvasSize(Size(400, 300));
    auto image = TWMapPreviewServices::renewPreviewImage(*map);
    ASSERT_TRUE(image);
    image->addRepresentation(std::make_shared<StrangeRep>());
    map->setCanvasSize(Size(500, 300));
    Recorder recorder({TWMapPreviewServices::PreviewDidUpdateNotification});
    ASSERT_EQ(TWMapPreviewServices::renewPreviewImage(*map), image);
    ASSERT_EQ(image->representations().size(), 1);
    auto *rep = dynamic_cast<TWMapImageRep *>(image->representations()[0].get());
    ASSERT_TRUE(rep);
    EXPECT_EQ(rep->size(), Size(500, 300));
    EXPECT_EQ(image->size(), Size(500, 300));
    EXPECT_EQ(recorder.notifications.size(), 1);
    // Half the full height at full width: half the size.
    EXPECT_DOUBLE_EQ(*rep->scaleForRect(QRectF(0, 0, 500, 150)), 0.5);
    map->setScaleAmount(200);
    EXPECT_DOUBLE_EQ(*rep->scaleForRect(QRectF(0, 0, 500, 150)), 1.0);
    map->setScaleAmount(100);
    // The preview draws the map as it is now.
    newBranch(root.get(), Rect(100, 100, 100, 40), "added later");
    EXPECT_GT(countNonWhite(image->toImage(QSize(250, 150))), 100);

    map->setCanvasSize(Size(99, 500));
    EXPECT_FALSE(TWMapPreviewServices::renewPreviewImage(*map));
    EXPECT_FALSE(map->cachedPreviewImage());
    EXPECT_EQ(TWMapPreviewServices::writePreviewInFileCache(*map),
              TWMapPreviewServices::FileCacheResult::TooSmall);
    EXPECT_FALSE(document->objectForKeyInCachedData(map->previewPath()));
}

// The whole map is in the preview, at a point a pixel while it fits the
// largest preview and scaled down to fit it beyond.
TEST_F(MapDrawingTest, PackagePreviewIsCroppedBoundedAndNeverStale)
{
    map->setCanvasSize(Size(800, 600));
    struct Case
    {
        const char *what;
        std::optional<Rect> far; // a branch that stretches the map
        bool looked;             // whether its pixels are looked for
    } const cases[] = {
        {"small", std::nullopt, false},
        {"wide", Rect(5000, 300, 120, 40), true},
        {"tall and far out", Rect(400, 60000, 120, 40), true},
        // Fewer than a pixel an inch: whole dots per inch would round to none.
        {"a pixel for hundreds of points", Rect(400, 300000, 120, 40), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::shared_ptr<TWMapBranch> far;
        if (c.far)
            far = TWMapBranch::createWithGraphic(TWGraphic::make<TWRectangle>(*c.far), root.get(),
                                                 map.get());
        ASSERT_EQ(TWMapPreviewServices::writePreviewInFileCache(*map),
                  TWMapPreviewServices::FileCacheResult::Written);
        const QImage preview =
            QImage::fromData(*document->objectForKeyInCachedData(map->previewPath()));
        const Rect extent = map->getBoundingPrintingRectForAllGraphics();
        const double longer = std::max(extent.size.width, extent.size.height);
        const double scale = std::min(1.0, TWMapPreviewServices::MaximumPreviewSide / longer);
        EXPECT_EQ(preview.size(), QSize(int(std::ceil(extent.size.width * scale - 1e-6)),
                                        int(std::ceil(extent.size.height * scale - 1e-6))));
        EXPECT_LE(std::max(preview.width(), preview.height()),
                  TWMapPreviewServices::MaximumPreviewSide);
        if (far && c.looked) {
            // The far branch is drawn where it lies, scaled in with the rest.
            const Rect b = far->mainGraphic()->bounds();
            // Give or take the pixels a tiny shape is smeared over; nothing
            // else lies near it.
            const QRect at =
                QRect(int((b.x() - extent.x()) * scale), int((b.y() - extent.y()) * scale),
                      int(b.width() * scale) + 1, int(b.height() * scale) + 1)
                    .adjusted(-2, -2, 2, 2)
                    .intersected(preview.rect());
            int drawn = 0;
            for (int y = at.top(); y <= at.bottom(); ++y)
                for (int x = at.left(); x <= at.right(); ++x)
                    drawn += qAlpha(preview.pixel(x, y)) > 0;
            EXPECT_GT(drawn, 0);
        }
        if (far)
            root->removeChild(far);
    }

    // Nothing left to print: the old preview goes rather than being saved.
    map->setRoot(nullptr);
    EXPECT_EQ(TWMapPreviewServices::writePreviewInFileCache(*map),
              TWMapPreviewServices::FileCacheResult::NothingDrawn);
    EXPECT_FALSE(document->objectForKeyInCachedData(map->previewPath()));
    map->setRoot(root);
}

TEST_F(MapDrawingTest, SavedPackageHoldsAPreviewOfEveryMap)
{
    auto second = TWMap::create(document.get());
    document->addMap(second, false);
    for (const auto &m : {map, second})
        m->setCanvasSize(Size(600, 400));
    const QString path = tempDir.filePath("saved.twmap");
    ASSERT_EQ(document->saveToFile(path), 0);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<PackageData> package = PackageArchive::read(file);
    ASSERT_TRUE(package);
    for (const auto &m : {map, second}) {
        const QImage png = QImage::fromData(package->value(m->previewPath()), "png");
        EXPECT_FALSE(png.isNull()) << m->previewPath().toStdString();
    }
}

TEST_F(MapDrawingTest, SavedPreviewIsDrawnAgainOnlyWhenWhatItShowsChanged)
{
    map->setCanvasSize(Size(600, 400));
    auto b = newBranch(root.get(), Rect(500, 100, 100, 40), "first");
    int saves = 0;
    const auto save = [&](TWMapsDoc &doc) {
        const QString path = tempDir.filePath(QStringLiteral("saved%1.twmap").arg(saves++));
        EXPECT_EQ(doc.saveToFile(path), 0);
        return path;
    };
    const auto previewIn = [&](const QString &path) {
        QFile file(path);
        const std::optional<PackageData> package =
            file.open(QIODevice::ReadOnly) ? PackageArchive::read(file) : std::nullopt;
        return package ? package->value(map->previewPath()) : QByteArray();
    };
    // A stand-in that no drawing of the map looks like, claiming `source`.
    const auto planted = [](const QByteArray &source) {
        QImage red(3, 3, QImage::Format_ARGB32);
        red.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setText(TWMapPreviewServices::DrawnFromKey, QString::fromLatin1(source));
        EXPECT_TRUE(writer.write(red));
        return png;
    };

    const QString first = save(*document);
    const QByteArray drawn = previewIn(first);
    const QByteArray source = TWMapPreviewServices::drawnFromOfPreview(drawn);
    ASSERT_FALSE(QImage::fromData(drawn, "png").isNull());
    ASSERT_FALSE(source.isEmpty());

    // Unchanged: the stored preview is kept, whatever it holds.
    document->setObjectInCachedData(planted(source), map->previewPath());
    EXPECT_EQ(previewIn(save(*document)), planted(source));
    // Opened and saved, then opened again: the same source (the first
    // reading numbers the graphics afresh and fills in what was left out).
    {
        std::shared_ptr<TWMapsDoc> opened = TWMapsDoc::loadFromFile(first, false);
        ASSERT_TRUE(opened);
        const QString again = save(*opened);
        opened->detach();
        const QByteArray savedSource = TWMapPreviewServices::drawnFromOfPreview(previewIn(again));
        ASSERT_FALSE(savedSource.isEmpty());
        std::shared_ptr<TWMapsDoc> reopened = TWMapsDoc::loadFromFile(again, false);
        ASSERT_TRUE(reopened);
        reopened->setObjectInCachedData(planted(savedSource), map->previewPath());
        EXPECT_EQ(previewIn(save(*reopened)), planted(savedSource));
        reopened->detach();
    }

    struct Case
    {
        const char *change;
        std::function<void()> apply;
    };
    const Case cases[] = {
        {"branch text", [&] { b->enclosedTextArea()->setString("second"); }},
        {"branch moved", [&] { b->mainGraphic()->setBounds(Rect(520, 140, 100, 40)); }},
        {"branch added", [&] { newBranch(b.get(), Rect(700, 100, 80, 30), "third"); }},
        {"document setting", [&] { document->setComments(QStringLiteral("seen")); }},
        {"picture data",
         [&] { document->setObjectInCachedData(QByteArray("bytes"), "Images/P.png"); }},
    };
    QByteArray last = source;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.change);
        document->setObjectInCachedData(planted(last), map->previewPath());
        c.apply();
        const QByteArray preview = previewIn(save(*document));
        const QImage image = QImage::fromData(preview, "png");
        // Drawn afresh at the map's extent and marked with the new source.
        EXPECT_NE(preview, planted(last));
        EXPECT_GT(image.width(), 3);
        const QByteArray now = TWMapPreviewServices::drawnFromOfPreview(preview);
        EXPECT_FALSE(now.isEmpty());
        EXPECT_NE(now, last);
        last = now;
    }
}

// --- whole maps ---

TEST_F(MapDrawingTest, GeneratedMapsRenderToImageAndPdf)
{
    for (int count : {2, 40, 300}) {
        auto m = TWMap::create(document.get());
        document->addMap(m, false);
        GeneratedMap::fill(*m, count);
        const Rect extent = m->getBoundingDrawingRectForAllGraphics();
        const QImage image = TWMapImages::imageOfMap(*m, extent, 0.5, true);
        ASSERT_FALSE(image.isNull()) << count;
        EXPECT_GT(countNonWhite(image.convertToFormat(QImage::Format_RGB32)), count * 10) << count;
        std::unique_ptr<Poppler::Document> pdf =
            Poppler::Document::loadFromData(TWMapImages::pdfDataForMap(*m, false));
        ASSERT_TRUE(pdf) << count;
        EXPECT_EQ(pdf->numPages(), 1);
        EXPECT_TRUE(pdf->page(0)->text(QRectF()).contains("Branch"));
    }
}

// A preview shrunk to fit leaves out labels less than two pixels high: at
// reading sizes it is the full picture, pixel for pixel; smaller, labels go.
TEST_F(MapDrawingTest, AShrunkPreviewLeavesOutOnlyUnreadableLabels)
{
    auto m = TWMap::create(document.get());
    document->addMap(m, false);
    GeneratedMap::fill(*m, 40);
    const Rect extent = m->getBoundingDrawingRectForAllGraphics();
    float low = 1e9f, high = 0;
    for (const auto &graphic : m->allGraphics())
        if (dynamic_cast<const TWTextArea *>(graphic.get())) {
            low = std::min(low, graphic->bounds().height());
            high = std::max(high, graphic->bounds().height());
        }
    const auto draw = [&](qreal k, bool unreadable) {
        return TWMapImages::imageOfMap(*m, extent, k,
                                       {.drawBackground = true, .unreadableLabels = unreadable})
            .convertToFormat(QImage::Format_RGB32);
    };
    const struct
    {
        qreal pixelsPerPoint;
        bool asFull;
    } cases[] = {{1.0, true}, {2.1 / low, true}, {4.0 / (low + high), false}, {1.9 / high, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pixelsPerPoint);
        EXPECT_EQ(draw(c.pixelsPerPoint, false) == draw(c.pixelsPerPoint, true), c.asFull);
    }
}

// The preview kept in the document is that shrunk picture: a map beyond the
// largest preview is scaled down, its labels go once they are under two
// pixels high and its tiny graphics are drawn as the canvas draws them far
// out; one scaled less keeps every detail.
TEST_F(MapDrawingTest, TheSavedPreviewOfABigMapLeavesOutUnreadableLabels)
{
    auto m = TWMap::create(document.get());
    document->addMap(m, false);
    m->setCanvasSize(Size(800, 600));
    GeneratedMap::fill(*m, 40);
    const struct
    {
        float farX; // a branch that stretches the map
        bool labelsKept;
    } cases[] = {{2500, true}, {16000, false}};
    // As a PNG gives it back.
    const auto decoded = [](const QImage &image) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(QImageWriter(&buffer, "png").write(image));
        return QImage::fromData(png, "png").convertToFormat(QImage::Format_ARGB32);
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.farX);
        auto far = TWMapBranch::createWithGraphic(
            TWGraphic::make<TWRectangle>(Rect(c.farX, 300, 120, 40)), m->root().get(), m.get());
        ASSERT_EQ(TWMapPreviewServices::writePreviewInFileCache(*m),
                  TWMapPreviewServices::FileCacheResult::Written);
        const std::optional<QByteArray> stored =
            document->objectForKeyInCachedData(m->previewPath());
        ASSERT_TRUE(stored);
        const QImage saved =
            QImage::fromData(*stored, "png").convertToFormat(QImage::Format_ARGB32);
        const Rect extent = m->getBoundingPrintingRectForAllGraphics();
        const qreal scale = TWMapPreviewServices::MaximumPreviewSide /
                            std::max(double(extent.size.width), double(extent.size.height));
        ASSERT_LT(scale, 1);
        const auto draw = [&](bool unreadable, bool detail) {
            return decoded(TWMapImages::imageOfMap(*m, extent, scale,
                                                   {.drawBackground = false,
                                                    .backgroundOffScreen = false,
                                                    .levelOfDetail = detail,
                                                    .unreadableLabels = unreadable}));
        };
        const QImage withLabels = draw(true, false);
        EXPECT_EQ(saved, draw(false, true));
        // Where labels can be read, the preview keeps every detail.
        EXPECT_EQ(saved == draw(false, false), c.labelsKept);
        EXPECT_EQ(saved == withLabels, c.labelsKept);
        m->root()->removeChild(far);
    }
}

// On screen, graphics a few pixels across are drawn simplified only where
// labels cannot be read: at reading sizes the drawing is the full one, pixel
// for pixel; below them the map covers the same place with about as much
// ink (a subtree within a pixel as one figure), and a selected branch keeps
// its full drawing.
TEST_F(MapDrawingTest, LevelOfDetailOnlyBelowReadingSize)
{
    auto m = TWMap::create(document.get());
    document->addMap(m, false);
    GeneratedMap::fill(*m, 300);
    const std::shared_ptr<TWMapBranch> selected = m->allBranches().at(40);
    m->insertObjectInSelectedGraphicsAtIndex(selected->mainGraphic(), 0);
    const Rect extent = m->getBoundingDrawingRectForAllGraphics();
    const Rect whole(0, 0, extent.maxX() + 10, extent.maxY() + 10);
    const auto draw = [&](qreal k, bool detail) {
        // As the canvas and the navigator draw: a screen context, scaled.
        QImage image(QSizeF(whole.width() * k, whole.height() * k).toSize(),
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.scale(k, k);
            DrawingContext context(painter, true);
            TWMapDrawing::Options options;
            options.drawSelection = true;
            options.drawLabels = TWMapDrawing::labelsReadableAt(k);
            options.levelOfDetail = detail;
            TWMapDrawing::drawMapInRect(context, *m, whole, options);
        }
        return image.convertToFormat(QImage::Format_RGB32);
    };
    struct Ink
    {
        QRect box;
        double amount = 0;
    };
    const auto inkOf = [](const QImage &image, QRect within = QRect()) {
        Ink ink;
        const QRect area = within.isNull() ? image.rect() : within.intersected(image.rect());
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const int dark = 255 - qGray(image.pixel(x, y));
                if (dark > 0) {
                    ink.amount += dark;
                    ink.box |= QRect(x, y, 1, 1);
                }
            }
        return ink;
    };
    struct Case
    {
        qreal pixelsPerPoint;
        bool identical;
    };
    const Case cases[] = {{1.0, true},  {0.5, true},   {0.17, true},
                          {0.1, false}, {0.03, false}, {0.008, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pixelsPerPoint);
        const QImage full = draw(c.pixelsPerPoint, false);
        const QImage simplified = draw(c.pixelsPerPoint, true);
        if (c.identical) {
            EXPECT_EQ(full, simplified);
            continue;
        }
        EXPECT_NE(full, simplified);
        const Ink was = inkOf(full), is = inkOf(simplified);
        EXPECT_LE((was.box.topLeft() - is.box.topLeft()).manhattanLength(), 2);
        EXPECT_LE((was.box.bottomRight() - is.box.bottomRight()).manhattanLength(), 2);
        EXPECT_GT(is.amount, was.amount * 0.5);
        // Hairlines cover at least a pixel: a map of a few pixels gets a little darker.
        EXPECT_LT(is.amount, was.amount * 3);
        // The selected branch is drawn as it was, handles and all.
        const Rect mark = TWBranchIndicators::branchDrawingBounds(*selected).insetBy(-8, -8);
        const QRect pixels =
            QRectF(mark.x() * c.pixelsPerPoint, mark.y() * c.pixelsPerPoint,
                   mark.width() * c.pixelsPerPoint, mark.height() * c.pixelsPerPoint)
                .toAlignedRect();
        EXPECT_GT(inkOf(simplified, pixels).amount, inkOf(full, pixels).amount * 0.8);
    }
}

// A screen that keeps the figures filled on it, in device coordinates, so
// that what a drawing of a few pixels is made of can be looked at.
class FigureScreen : public QPaintDevice
{
public:
    struct Fill
    {
        QPainterPath path;
        QColor colour;
    };
    std::vector<Fill> fills;

    QPaintEngine *paintEngine() const override { return &m_engine; }
    // Whether a filled figure covers the point (device pixels).
    bool filledAt(QPointF at) const
    {
        return std::any_of(fills.cbegin(), fills.cend(), [&](const Fill &f) {
            return f.colour.alpha() > 0 && f.path.contains(at);
        });
    }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight:
            return 100;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        case PdmDepth:
            return 32;
        default:
            return 1000;
        }
    }

private:
    class Engine : public QPaintEngine
    {
    public:
        explicit Engine(FigureScreen &screen) : QPaintEngine(AllFeatures), m_screen(screen) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        // Drawn as the screen's raster is: no vector device.
        Type type() const override { return Raster; }
        void updateState(const QPaintEngineState &state) override
        {
            if (state.state() & DirtyTransform)
                m_transform = state.transform();
            if (state.state() & DirtyBrush)
                m_brush = state.brush();
        }
        void drawPath(const QPainterPath &path) override
        {
            if (m_brush.style() == Qt::SolidPattern)
                m_screen.fills.push_back({m_transform.map(path), m_brush.color()});
        }
        void drawRects(const QRectF *rects, int count) override
        {
            for (int i = 0; i < count; ++i) {
                QPainterPath path;
                path.addRect(rects[i]);
                drawPath(path);
            }
        }
        void drawPolygon(const QPointF *points, int count, PolygonDrawMode) override
        {
            QPainterPath path;
            path.addPolygon(QPolygonF(QList<QPointF>(points, points + count)));
            path.closeSubpath();
            drawPath(path);
        }
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}

    private:
        FigureScreen &m_screen;
        QTransform m_transform;
        QBrush m_brush;
    };
    mutable Engine m_engine{*this};
};

// Zoomed far out, a subtree that fits within a pixel is one block over its
// extent; from a pixel up its branches are drawn each in its place (as
// rectangles while they are a few pixels across). The connection to the
// subtree's parent is drawn as the line it is and does not count: a long
// one leaves the subtree at its end within a pixel.
TEST_F(MapDrawingTest, ZoomedFarOutOnlySubtreesWithinAPixelAreOneBlock)
{
    const auto box = [&](TWMapBranch *parent, Rect r) {
        auto b = TWMapBranch::createWithGraphic(TWGraphic::make<TWRectangle>(r), parent, map.get());
        b->mainGraphic()->setDrawsFill(true);
        b->mainGraphic()->setFillColor(Color::colorWithCalibratedRed(0, 0, 0.8));
        return b;
    };
    const auto p = box(root.get(), Rect(600, 100, 80, 40));
    for (float y : {60.f, 130.f, 200.f})
        box(p.get(), Rect(750, y, 60, 30));
    settle();
    Rect extent = TWBranchIndicators::branchDrawingBounds(*p);
    for (const auto &kid : p->children())
        extent = extent.united(TWBranchDrawing::subtreeDrawingExtent(*kid, 99));
    const float across = std::max(extent.width(), extent.height());
    // The connection from the root makes the whole subtree far wider.
    ASSERT_GT(TWBranchDrawing::subtreeDrawingExtent(*p, 100).width(), across * 1.5f);
    // Between the first two children, on no connection.
    const Point gap(780, 110), kid(780, 145);
    const struct
    {
        qreal pixels; // the subtree's longer side on screen
        bool oneBlock;
    } cases[] = {{0.4, true}, {0.9, true}, {1.2, false}, {1.8, false}, {3.0, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pixels);
        const qreal k = c.pixels / across;
        ASSERT_FALSE(TWMapDrawing::labelsReadableAt(k));
        FigureScreen screen;
        {
            QPainter painter(&screen);
            painter.scale(k, k);
            DrawingContext context(painter, true);
            TWMapDrawing::Options options;
            options.drawBackground = false;
            options.drawLabels = false;
            options.levelOfDetail = true;
            TWMapDrawing::drawMapInRect(context, *map, Rect(0, 0, 2000, 1000), options);
        }
        ASSERT_FALSE(screen.fills.empty());
        EXPECT_TRUE(screen.filledAt(QPointF(kid.x * k, kid.y * k)));
        EXPECT_EQ(screen.filledAt(QPointF(gap.x * k, gap.y * k)), c.oneBlock);
    }
}

// Zoomed out to see the whole map, what is drawn follows every edit and
// its undo: the kept extents decide what is one block and what is drawn
// branch by branch, so one left over from before an edit shows. Each edit's
// drawing is the one a map measured afresh gives, and its undo gives back
// the drawing from before it; both far out, where a cluster at the end of a
// long connection is one block, and nearer, where its branches are small
// rectangles each.
TEST_F(MapDrawingTest, TheFarOutDrawingFollowsEveryEditAndItsUndo)
{
    const Color blue = Color::colorWithCalibratedRed(0, 0, 0.8);
    const auto box = [&](TWMapBranch *parent, Rect r) {
        auto b = TWMapBranch::createWithGraphic(TWGraphic::make<TWRectangle>(r), parent, map.get());
        TWGraphic &shape = *b->mainGraphic();
        shape.setDrawsFill(true);
        shape.setInheritsFill(false);
        shape.setFillColor(blue);
        shape.setInheritsStroke(false);
        shape.setStrokeColor(Color::colorWithCalibratedRed(0.2f, 0.2f, 0.2f));
        return b;
    };
    // Two clusters far from the root, about 310 points across, of a hub,
    // four branches and their three children each.
    std::vector<std::shared_ptr<TWMapBranch>> hubs, leaves;
    for (float x : {20000.f, 40000.f}) {
        const auto hub = box(root.get(), Rect(x, 200, 80, 40));
        // Its line and its connection: far out thinner than a pixel, nearer not.
        hub->mainGraphic()->setStrokeWidth(20);
        hubs.push_back(hub);
        for (int i = 0; i < 4; ++i) {
            const float y = 100 + 70.f * i;
            const auto kid = box(hub.get(), Rect(x + 150, y, 60, 30));
            for (int j = 0; j < 3; ++j)
                leaves.push_back(box(kid.get(), Rect(x + 260, y + 20.f * j - 15, 50, 16)));
        }
    }
    settle();
    const Rect whole(0, -100, 40500, 4500);
    const auto draw = [&](qreal k) {
        QImage image(QSizeF(whole.width() * k, whole.height() * k).toSize(),
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.scale(k, k);
            painter.translate(-whole.x(), -whole.y());
            DrawingContext context(painter, true);
            TWMapDrawing::Options options;
            options.drawBackground = false;
            options.drawLabels = false;
            options.levelOfDetail = true;
            TWMapDrawing::drawMapInRect(context, *map, whole, options);
        }
        return image;
    };
    const auto measuredAfresh = [&](qreal k) {
        for (const auto &b : map->allBranches())
            b->invalidateSubtreeDrawingExtent();
        return draw(k);
    };
    const struct
    {
        const char *edit;
        std::function<void()> apply;
    } edits[] = {
        {"a hub's line colour",
         [&] {
             hubs[0]->mainGraphic()->publicSetStrokeColor(Color::colorWithCalibratedRed(1, 0, 0));
         }},
        {"a hub's fill colour",
         [&] {
             hubs[1]->mainGraphic()->publicSetFillColor(Color::colorWithCalibratedRed(0, 0.8, 0));
         }},
        {"a cluster collapsed", [&] { hubs[0]->setChildrenHidden(true); }},
        {"a leaf moved out of its cluster",
         [&] { leaves[4]->mainGraphic()->publicMoveBy(Point(0, 3500), true); }},
        {"a cluster moved", [&] { hubs[1]->mainGraphic()->publicMoveBy(Point(-300, 2000), true); }},
    };
    // The cluster's longer side on screen.
    for (qreal clusterPixels : {0.6, 23.0}) {
        const qreal k = clusterPixels / 310;
        ASSERT_FALSE(TWMapDrawing::labelsReadableAt(k));
        const QImage before = measuredAfresh(k);
        for (const auto &e : edits) {
            SCOPED_TRACE(testing::Message()
                         << e.edit << " with clusters " << clusterPixels << " pixels across");
            EXPECT_EQ(draw(k), before);
            e.apply();
            settle();
            const QImage after = draw(k);
            EXPECT_NE(after, before);
            EXPECT_EQ(measuredAfresh(k), after);
            undo->undo();
            settle();
            EXPECT_EQ(draw(k), before);
        }
    }
}

} // namespace

// Labels are left out only where a 12-point label would be under two pixels.
TEST(TWMapDrawingLabels, ReadableFromTwoPixelsAt12Points)
{
    struct Case
    {
        qreal pixelsPerPoint;
        bool readable;
    };
    const Case cases[] = {
        {1.0, true},
        {0.17, true},
        {0.16, false},
        {0.0762, false},
        {0.0, false},
        {-1.0, false},
        {std::numeric_limits<qreal>::quiet_NaN(), false},
        {std::numeric_limits<qreal>::infinity(), false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TWMapDrawing::labelsReadableAt(c.pixelsPerPoint), c.readable) << c.pixelsPerPoint;
}

// Far out, a line said to leave no trace is not traced at all: drawn, it
// would leave none either, and every line said to show does.
TEST(TWMapDrawingHairlines, OnlyLinesThatLeaveNoTraceAreLeftOut)
{
    struct Case
    {
        float width; // points
        qreal pixelsPerPoint;
        bool shows;
    };
    const Case cases[] = {
        {1, 0.1, true},       {1, 0.01, true},     {0.1, 0.01, false}, {1, 0.001, false},
        {20, 0.001, true},    {200, 0.001, true},  {1, 0.0, false},    {0, 0.1, false},
        {1.9f, 0.001, false}, {2.1f, 0.001, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " points at " << c.pixelsPerPoint);
        QImage image(100, 3, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        bool shows = false;
        {
            QPainter painter(&image);
            if (c.pixelsPerPoint > 0)
                painter.scale(c.pixelsPerPoint, c.pixelsPerPoint);
            DrawingContext context(painter, true);
            TWBranchDrawing::DetailBatch batch(context, c.pixelsPerPoint);
            shows = batch.hairlineShows(c.width);
            // Along the middle of the second row of pixels.
            const qreal point = c.pixelsPerPoint > 0 ? 1 / c.pixelsPerPoint : 1;
            QPainterPath line(QPointF(5 * point, 1.5 * point));
            line.lineTo(95 * point, 1.5 * point);
            batch.hairline(line, Qt::black, c.width);
        }
        EXPECT_EQ(shows, c.shows);
        bool inked = false;
        for (int x = 0; x < image.width(); ++x)
            inked = inked || qGray(image.pixel(x, 1)) < 255;
        EXPECT_EQ(inked, shows);
    }
}
