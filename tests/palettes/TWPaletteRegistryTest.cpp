#include "PaletteTestSupport.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWRectangle.h"
#include "graphics/TWTextArea.h"
#include "mapdrawing/TWMap_Drawing.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "palettes/TWDockedPalettesController.h"
#include "palettes/TWNavigatorView.h"
#include "palettes/TWPaletteBezel.h"
#include "palettes/TWPaletteMapping.h"
#include "palettes/TWPalettesController.h"

#include "render/DrawingContext.h"
#include "support/AttributedString.h"
#include "support/Font.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace TWPaletteIDs;

// The suggestion plug-in, present or not, for one test.
struct SuggestionPlugin
{
    explicit SuggestionPlugin(bool installed)
    {
        TWPaletteMapping::setSuggestionPluginProbe([installed] { return installed; });
    }
    ~SuggestionPlugin() { TWPaletteMapping::setSuggestionPluginProbe({}); }
};

TEST(TWPaletteMapping, ClassListsFollowThePlugIn)
{
    const QStringList general{GeneralStyle,  GeneralLine,   GeneralFill,
                              GeneralShadow, GeneralCorner, GeneralTerminator};
    struct Case
    {
        const char *className;
        bool plugin;
        QStringList expected;
    };
    const std::vector<Case> cases{
        {"TWGraphic", false, general},
        {"TWCloud", false, general}, // no list of its own: the base graphic's
        {"TWLine", false, {GeneralStyle, GeneralLine, GeneralShadow}},
        {"TWRectangle",
         false,
         {GeneralStyle, GeneralLine, GeneralFill, GeneralShadow, GeneralCorner}},
        {"TWCircle", false, {GeneralStyle, GeneralLine, GeneralFill, GeneralShadow}},
        {"TWTextArea", false, {GeneralStyle, GeneralText, GeneralLine, GeneralFill, GeneralShadow}},
        {"TWLinkLine", false, {GeneralStyle, GeneralLine, GeneralShadow, GeneralTerminator}},
        {"TWBoundaryProxy",
         false,
         {BranchMain, GeneralStyle, GeneralLine, GeneralFill, GeneralShadow, GeneralCorner}},
        {"TWBoundaryProxy",
         true,
         {BranchMain, BranchSuggestions, GeneralStyle, GeneralLine, GeneralFill, GeneralShadow,
          GeneralCorner}},
    };
    for (const Case &c : cases) {
        SuggestionPlugin plugin(c.plugin);
        EXPECT_EQ(TWPaletteMapping::supportedPaletteIDs(QString::fromLatin1(c.className)),
                  c.expected)
            << c.className << " plug-in " << c.plugin;
    }
    {
        SuggestionPlugin absent(false);
        EXPECT_EQ(TWPaletteMapping::branchPalettesIDs(),
                  (QStringList{BranchMain, BranchHyperlink, GeneralText}));
    }
    SuggestionPlugin present(true);
    EXPECT_EQ(TWPaletteMapping::branchPalettesIDs(),
              (QStringList{BranchMain, BranchSuggestions, BranchHyperlink, GeneralText}));
}

TEST(TWPaletteMapping, SupportedListIsOneListWithoutScaleAndZoom)
{
    SuggestionPlugin absent(false);
    const QStringList &first = TWPaletteMapping::applicationSupportedPaletteIDs();
    EXPECT_EQ(&first, &TWPaletteMapping::applicationSupportedPaletteIDs());
    EXPECT_EQ(first.size(), 20);
    EXPECT_TRUE(first.contains(BranchSuggestions));
    EXPECT_FALSE(first.contains(MapScaleAndZoom));
    EXPECT_FALSE(TWPaletteMapping::mapPaletteIDs().contains(MapScaleAndZoom));
    EXPECT_EQ(TWPaletteMapping::defaultDockOrder(),
              (QStringList{Add, MapNavigator, MapStyle, MapBackground, MapLayout, MapColoring,
                           MapOutlineNumbering, MapTasks, MapViewOptions, BranchMain,
                           BranchHyperlink, GeneralText, GeneralOrdering, GeneralStyle, GeneralLine,
                           GeneralFill, GeneralShadow, GeneralCorner, GeneralTerminator}));
}

TEST(TWDockedPalettesController, DockOrderPutsUnknownIDsLast)
{
    PaletteTest::Fixture fixture;
    struct Case
    {
        QStringList order;
        QStringList ids;
        QStringList expected;
    };
    const std::vector<Case> cases{
        {{"A", "B", "C"}, {"C", "A"}, {"A", "C"}},
        // An order saved before a palette existed: the new one follows.
        {{"A", "C"}, {"B", "C", "A", "D"}, {"A", "C", "B", "D"}},
        {{}, {"B", "A"}, {"B", "A"}},
        {{"A"}, {}, {}},
    };
    for (const Case &c : cases) {
        TWDockedPalettesController::setPaletteDockOrder(c.order);
        EXPECT_EQ(TWDockedPalettesController::paletteIDsOrderedForDock(c.ids), c.expected)
            << c.order.join(',').toStdString();
    }
}

TEST(TWPalettesController, EveryPaletteHasItsBezelTitleAndColours)
{
    PaletteTest::Fixture fixture;
    TWPalettesController registry;
    TWPalettesController other;
    struct Case
    {
        const QString &id;
        const char *title;
        double r, g, b;
    };
    const std::vector<Case> cases{
        {MapBackground, "Background", 0, 0, 0},
        {MapScaleAndZoom, "Zoom", 0.2, 0.4, 0.6},
        {MapNavigator, "Navigator", 0.2, 0.4, 0.6},
        {MapStyle, "Map Style", 0, 0, 0},
        {BranchMain, "Branch", 0.34, 0.57, 0.11},
        {BranchSuggestions, "Ideaspinner", 0.34, 0.57, 0.11},
        {GeneralStyle, "Graphic Style", 0.82, 0.63, 0.06},
        {GeneralTerminator, "Terminator", 0.82, 0.63, 0.06},
        {Add, "Add Branches & Graphics", 0.2, 0.4, 0.6},
    };
    EXPECT_EQ(registry.paletteIDs().size(), 21);
    for (const Case &c : cases) {
        TWPaletteBezel *bezel = registry.bezel(c.id);
        ASSERT_NE(bezel, nullptr) << c.id.toStdString();
        EXPECT_EQ(bezel->title(), QString::fromUtf8(c.title));
        EXPECT_EQ(bezel->paletteID(), c.id);
        EXPECT_EQ(bezel->width(), TWPalettesController::BezelWidth);
        EXPECT_EQ(bezel->palette(), registry.paletteView(c.id));
        const Color expected = Color::colorWithDeviceRed(c.r, c.g, c.b, 1.0);
        EXPECT_EQ(bezel->backgroundColor(), expected) << c.id.toStdString();
        EXPECT_EQ(bezel->borderColor(), expected);
        // Every controller has its own views of the same palette.
        EXPECT_NE(other.bezel(c.id), bezel);
        EXPECT_NE(other.paletteView(c.id), registry.paletteView(c.id));
    }
    for (const QString &id : registry.paletteIDs())
        EXPECT_EQ(registry.alternateBezel(id), nullptr) << id.toStdString();
    EXPECT_EQ(registry.bezel(QStringLiteral("TWPaletteUnknown")), nullptr);
}

TEST(TWPalettesController, BezelsStartCollapsedAsTheUserLeftThem)
{
    PaletteTest::Fixture fixture;
    UserDefaults::standard().setBool(true, TWPaletteBezel::collapsedKey(MapLayout));
    TWPalettesController registry;
    EXPECT_TRUE(registry.bezel(MapLayout)->isCollapsed());
    EXPECT_FALSE(registry.bezel(MapColoring)->isCollapsed());
    EXPECT_LT(registry.bezel(MapLayout)->height(), registry.bezel(MapColoring)->height());
}

TEST(TWPalettesController, AnAdvancedSideSharesTheCollapsedState)
{
    PaletteTest::Fixture fixture;
    QWidget advanced;
    advanced.resize(286, 120);
    TWPalettesController registry;
    EXPECT_FALSE(registry.setAlternatePalette(QStringLiteral("TWPaletteUnknown"), &advanced));
    ASSERT_TRUE(registry.setAlternatePalette(MapLayout, &advanced));
    EXPECT_FALSE(registry.setAlternatePalette(MapLayout, &advanced));
    TWPaletteBezel *main = registry.bezel(MapLayout);
    TWPaletteBezel *side = registry.alternateBezel(MapLayout);
    ASSERT_NE(side, nullptr);
    EXPECT_EQ(side->palette(), &advanced);
    EXPECT_EQ(main->alternateBezel(), side);
    EXPECT_EQ(side->mainBezel(), main);
    EXPECT_EQ(side->title(), main->title());
    EXPECT_EQ(side->paletteID(), MapLayout);

    const QString key = TWPaletteBezel::collapsedKey(MapLayout);
    main->collapse();
    EXPECT_TRUE(side->isCollapsed());
    EXPECT_TRUE(UserDefaults::standard().boolForKey(key));
    side->expand();
    EXPECT_FALSE(main->isCollapsed());
    EXPECT_FALSE(UserDefaults::standard().boolForKey(key));

    // A dock shows whichever side is up.
    TWPaletteBezelContainerView dockView;
    TWDockedPalettesController dock(nullptr, &dockView);
    ASSERT_TRUE(dock.setAlternatePalette(MapLayout, &advanced));
    TWPaletteBezel *docked = dock.bezel(MapLayout);
    EXPECT_EQ(dock.bezelsForIDs({MapLayout, MapColoring}),
              (QList<TWPaletteBezel *>{docked, dock.bezel(MapColoring)}));
    docked->setDisplayingAlternateBezel(true);
    EXPECT_EQ(dock.bezelsForIDs({MapLayout, MapLayout}),
              QList<TWPaletteBezel *>{dock.alternateBezel(MapLayout)});
}

// Starting collapsed, the advanced side starts collapsed as well.
TEST(TWPalettesController, AnAdvancedSideOfACollapsedPaletteStartsCollapsed)
{
    PaletteTest::Fixture fixture;
    QWidget advanced;
    advanced.resize(286, 120);
    UserDefaults::standard().setBool(true, TWPaletteBezel::collapsedKey(MapTasks));
    TWPalettesController registry;
    ASSERT_TRUE(registry.setAlternatePalette(MapTasks, &advanced));
    EXPECT_TRUE(registry.bezel(MapTasks)->isCollapsed());
    EXPECT_TRUE(registry.alternateBezel(MapTasks)->isCollapsed());
    EXPECT_TRUE(UserDefaults::standard().boolForKey(TWPaletteBezel::collapsedKey(MapTasks)));
}

// A map of the given canvas size and a canvas whose visible part the view
// reads and moves.
struct NavigatorRig
{
    explicit NavigatorRig(Size canvas, QSize viewSize = QSize(200, 200))
    {
        document = TWMapsDoc::create();
        map = TWMap::create(document.get());
        document->addMap(map, true);
        map->setCanvasSize(canvas);
        view.resize(viewSize);
        view.setSource({[this] { return map.get(); }, [this] { return visible; },
                        [this](Rect rect) { scrolledTo.push_back(rect); }});
    }
    ~NavigatorRig() { document->detach(); }

    void press(QPointF at, QEvent::Type type = QEvent::MouseButtonPress)
    {
        QMouseEvent event(type, at, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    }

    std::shared_ptr<TWMapsDoc> document;
    std::shared_ptr<TWMap> map;
    TWNavigatorView view;
    Rect visible{500, 200, 400, 300};
    std::vector<Rect> scrolledTo;
};

TEST(TWNavigatorView, ScalesCentresAndScrolls)
{
    struct Case
    {
        Size canvas;
        QSize view;
        float scale;
        Point offset;
    };
    const std::vector<Case> cases{
        {Size(2000, 1000), QSize(200, 200), 0.1f, Point(0, 50)},
        {Size(1000, 2000), QSize(200, 200), 0.1f, Point(50, 0)},
        {Size(400, 400), QSize(200, 100), 0.25f, Point(50, 0)},
    };
    for (const Case &c : cases) {
        NavigatorRig rig(c.canvas, c.view);
        rig.view.layoutThumbnail();
        EXPECT_FLOAT_EQ(rig.view.scalingFactor(), c.scale);
        EXPECT_FLOAT_EQ(rig.view.drawingOffset().x, c.offset.x);
        EXPECT_FLOAT_EQ(rig.view.drawingOffset().y, c.offset.y);
        const Rect outline = rig.view.mapVisibleRect();
        EXPECT_FLOAT_EQ(outline.x(), 500 * c.scale + c.offset.x);
        EXPECT_FLOAT_EQ(outline.height(), 300 * c.scale);

        // A click in the outline's centre scrolls by nothing; elsewhere by
        // the distance over the scale.
        rig.press(QPointF(outline.x() + outline.width() / 2, outline.y() + outline.height() / 2));
        ASSERT_EQ(rig.scrolledTo.size(), 1u);
        EXPECT_FLOAT_EQ(rig.scrolledTo[0].x(), 500);
        EXPECT_FLOAT_EQ(rig.scrolledTo[0].y(), 200);
        rig.press(
            QPointF(outline.x() + outline.width() / 2 + 10, outline.y() + outline.height() / 2),
            QEvent::MouseMove);
        ASSERT_EQ(rig.scrolledTo.size(), 2u);
        EXPECT_FLOAT_EQ(rig.scrolledTo[1].x(), 500 + 10 / c.scale);
        EXPECT_FLOAT_EQ(rig.scrolledTo[1].width(), 400);
    }
}

// Zoomed out, the canvas widens to fill the window at that zoom; the
// thumbnail fits only what the canvas holds at full size, so the map is
// not lost in a blank box.
TEST(TWNavigatorView, ZoomedOutFitsTheCanvasAtFullSize)
{
    struct Case
    {
        float zoom;
        Rect visible; // the window of 1000 x 700 at the zoom
        float scale;
    };
    const Case cases[] = {
        {100, Rect(0, 0, 1000, 700), 0.002f},
        {1, Rect(0, 0, 100000, 70000), 0.2f},
        {50, Rect(0, 0, 2000, 1400), 0.2f},
    };
    for (const Case &c : cases) {
        NavigatorRig rig(Size(100000, 50000));
        rig.map->setZoomAmount(c.zoom);
        rig.visible = c.visible;
        rig.view.layoutThumbnail();
        EXPECT_FLOAT_EQ(rig.view.scalingFactor(), c.scale) << c.zoom;
    }
}

TEST(TWNavigatorView, EmptyCanvasDrawsNothingAndIgnoresClicks)
{
    for (const Size canvas : {Size(0, 0), Size(0, 500), Size(500, 0)}) {
        NavigatorRig rig(canvas);
        rig.view.layoutThumbnail();
        EXPECT_EQ(rig.view.scalingFactor(), 0.f);
        EXPECT_TRUE(rig.view.thumbnail().isNull());
        rig.press(QPointF(100, 100));
        rig.press(QPointF(120, 100), QEvent::MouseMove);
        EXPECT_TRUE(rig.scrolledTo.empty());
    }
    // Before any drawing there is no scale either.
    NavigatorRig fresh(Size(2000, 1000));
    fresh.press(QPointF(100, 100));
    EXPECT_TRUE(fresh.scrolledTo.empty());
}

TEST(TWNavigatorView, KeepsItsThumbnailUntilAnUpdate)
{
    NavigatorRig rig(Size(2000, 1000));
    rig.view.layoutThumbnail();
    const qint64 first = rig.view.thumbnail().cacheKey();
    ASSERT_FALSE(rig.view.thumbnail().isNull());
    // Panning moves the outline over the same picture.
    rig.view.scrollMapBy(5, 5);
    EXPECT_EQ(rig.view.thumbnail().cacheKey(), first);
    rig.view.delayedUpdateDisplay();
    EXPECT_TRUE(rig.view.updatePending());
    EXPECT_TRUE(rig.view.hasThumbnail());
    rig.view.updateDisplay();
    EXPECT_FALSE(rig.view.hasThumbnail());
    EXPECT_FALSE(rig.view.updatePending());
    EXPECT_NE(rig.view.thumbnail().cacheKey(), first);
}

// Whether painting the view changed anything on a plain white ground.
bool drawsSomething(TWNavigatorView &view)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return true;
    return false;
}

TEST(TWNavigatorView, BlankWithoutAMapOrWhileTheMapsViewShows)
{
    struct Case
    {
        const char *what;
        Size canvas;
        bool documentViewActive;
        bool withSource;
        bool draws;
    };
    const std::vector<Case> cases{
        {"a map", Size(2000, 1000), false, true, true},
        {"the view of all maps", Size(2000, 1000), true, true, false},
        {"no map", Size(2000, 1000), false, false, false},
        {"an empty canvas", Size(0, 0), false, true, false},
    };
    for (const Case &c : cases) {
        NavigatorRig rig(c.canvas);
        if (!c.withSource)
            rig.view.setSource({});
        rig.view.setDocumentViewActive(c.documentViewActive);
        EXPECT_EQ(drawsSomething(rig.view), c.draws) << c.what;
    }
    // Hiding the view of all maps brings the thumbnail back, after the wait.
    NavigatorRig rig(Size(2000, 1000));
    rig.view.setDocumentViewActive(true);
    rig.view.updateDisplay();
    rig.view.setDocumentViewActive(false);
    EXPECT_TRUE(rig.view.updatePending());
    EXPECT_TRUE(drawsSomething(rig.view));
}

// Pixels of the thumbnail that differ between two pictures of it, as a
// bounding rectangle in view units.
QRect changedPixels(const QImage &before, const QImage &after)
{
    QRect changed;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            if (before.pixel(x, y) != after.pixel(x, y))
                changed |= QRect(x, y, 1, 1);
    return changed;
}

// A changed part of the map is drawn again into the kept thumbnail on the
// next pass; a scroll draws nothing; a new scale waits for the whole redraw.
TEST(TWNavigatorView, DrawsChangedPartsIntoItsThumbnail)
{
    struct Case
    {
        const char *what;
        bool addBranch;
        std::optional<Rect> changed; // told as changed
        bool scrolled;
        Size canvasAfter;
        bool partDrawn;
        bool wholeWaits;
    };
    // 2000 x 1000 in 200 x 200: a tenth, 50 down.
    Rect shape(300, 400, 400, 200);
    const std::vector<Case> cases{
        {"a branch added", true, shape, false, Size(2000, 1000), true, false},
        {"a scroll", false, std::nullopt, true, Size(2000, 1000), false, false},
        {"a change at a new scale", true, shape, false, Size(4000, 1000), false, true},
        // Half the scale, still 50 down.
        {"a change at a new scale, centred as before", true, shape, false, Size(4000, 2000),
         false, true},
        {"a change outside the canvas", false, Rect(5000, 5000, 10, 10), false,
         Size(2000, 1000), false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        NavigatorRig rig(Size(2000, 1000));
        rig.map->setRoot(TWMapBranch::createWithGraphic(
            TWGraphic::make<TWRectangle>(Rect(20, 20, 60, 30)), nullptr, rig.map.get()));
        // Drawn whole once, nothing waiting.
        rig.view.updateDisplay();
        rig.view.layoutThumbnail();
        const QImage before = rig.view.thumbnail().copy();
        if (c.addBranch) {
            const auto branch = rig.map->root()->addChildOfType(2);
            ASSERT_TRUE(branch);
            branch->moveBranchBy(shape.x() - branch->mainGraphic()->bounds().x(),
                                 shape.y() - branch->mainGraphic()->bounds().y(), true);
            branch->mainGraphic()->setDrawsFill(true);
            branch->mainGraphic()->setFillColor(Color::blackColor());
            shape = branch->mainGraphic()->bounds();
        }
        rig.map->setCanvasSize(c.canvasAfter);
        if (c.changed)
            rig.view.mapAreaDidChange(c.addBranch ? shape : *c.changed);
        if (c.scrolled)
            rig.view.visibleRectDidChange();
        EXPECT_EQ(rig.view.catchUpPending(), c.changed.has_value());
        rig.view.catchUp();
        EXPECT_EQ(rig.view.updatePending(), c.wholeWaits);
        ASSERT_TRUE(rig.view.hasThumbnail());
        const QRect changed = changedPixels(before, rig.view.thumbnail());
        if (c.partDrawn) {
            // Within the shape's pixels (a tenth of it, 50 down), grown by two.
            EXPECT_FALSE(changed.isEmpty());
            const QRect pixels = QRectF(shape.x() * 0.1, shape.y() * 0.1 + 50,
                                        shape.width() * 0.1, shape.height() * 0.1)
                                     .toAlignedRect()
                                     .adjusted(-2, -2, 2, 2);
            EXPECT_TRUE(pixels.contains(changed));
        } else {
            EXPECT_TRUE(changed.isEmpty());
        }
    }
}

// The thumbnail is centred on whole pixels: a canvas grown by less than
// half a pixel of it (a label typed into at its edge) is caught up in place;
// one that moves the centre by whole pixels is redrawn whole.
TEST(TWNavigatorView, ACanvasALittleWiderIsCaughtUpInPlace)
{
    struct Case
    {
        const char *what;
        float widthAfter;
        float offsetAfter;
        bool wholeWaits;
    };
    // 1000 x 2000 in 200 x 200: a tenth, 50 across.
    const std::vector<Case> cases{
        {"the same width", 1000, 50, false},
        {"three units wider, a third of a pixel", 1003, 50, false},
        {"forty units wider, four pixels", 1040, 48, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        NavigatorRig rig(Size(1000, 2000));
        rig.map->setRoot(TWMapBranch::createWithGraphic(
            TWGraphic::make<TWRectangle>(Rect(20, 20, 60, 30)), nullptr, rig.map.get()));
        rig.view.updateDisplay();
        rig.view.layoutThumbnail();
        ASSERT_FALSE(rig.view.thumbnail().isNull());
        rig.map->setCanvasSize(Size(c.widthAfter, 2000));
        rig.view.mapAreaDidChange(Rect(20, 20, 60, 30));
        rig.view.catchUp();
        EXPECT_EQ(rig.view.updatePending(), c.wholeWaits);
        EXPECT_FLOAT_EQ(rig.view.drawingOffset().x, c.offsetAfter);
        EXPECT_FLOAT_EQ(rig.view.drawingOffset().y, 0);
    }
}

// Changes are kept as a few rectangles; past them each joins the one it
// enlarges least: changes at both ends of a tall map stay two small parts.
TEST(TWNavigatorView, ChangedPartsFarApartStayApart)
{
    const Rect top(0, 0, 70, 50);
    const Rect foot(50, 90000, 200, 50);
    struct Case
    {
        const char *what;
        std::vector<Rect> changes;
        qsizetype parts;
        // No part may be taller than this.
        float tallest;
    };
    std::vector<Rect> typing; // a label grows at the foot, a graphic moves at the top
    for (int key = 0; key < 10; ++key) {
        typing.push_back(Rect(foot.x() - 6 * key, foot.y() + 19 * key, 200 + 6 * key, 50));
        typing.push_back(Rect(top.x() - 6 * key, top.y(), top.width(), top.height()));
    }
    const std::vector<Case> cases{
        {"one change", {foot}, 1, 50},
        {"a change inside one told before", {foot, Rect(60, 90010, 20, 20)}, 1, 50},
        {"typing at the foot while something moves at the top", typing, 8, 300},
        {"many changes at the foot", std::vector<Rect>(20, foot), 1, 50},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        NavigatorRig rig(Size(1000, 100000));
        for (const Rect &change : c.changes)
            rig.view.mapAreaDidChange(change);
        const QList<Rect> &parts = rig.view.changedAreas();
        EXPECT_LE(parts.size(), c.parts);
        for (const Rect &change : c.changes)
            EXPECT_TRUE(std::any_of(parts.begin(), parts.end(),
                                    [&](const Rect &part) { return part.contains(change); }))
                << "a change the catch-up would not draw";
        for (const Rect &part : parts)
            EXPECT_LE(part.height(), c.tallest);
        EXPECT_TRUE(rig.view.catchUpPending());
    }
}

// Pixels that differ between two pictures of the thumbnail by more than
// smoothing at the edge of a redrawn part can.
int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return std::max(a.width() * a.height(), b.width() * b.height());
    int differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            differing += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                             std::abs(p.blue() - q.blue()) + std::abs(p.alpha() - q.alpha()) >
                         24;
        }
    return differing;
}

// The thumbnail of the rig's map as a view of its own makes it at once.
QImage freshThumbnail(NavigatorRig &rig)
{
    TWNavigatorView view;
    view.resize(rig.view.size());
    view.setSource({[&rig] { return rig.map.get(); }, [&rig] { return rig.visible; }, {}});
    view.layoutThumbnail();
    return view.thumbnail().copy();
}

QImage rendered(TWNavigatorView &view)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// A branch filled black, its shape at `at`.
std::shared_ptr<TWMapBranch> blackChild(TWMapBranch &parent, Point at)
{
    const auto branch = parent.addChildOfType(2);
    if (!branch)
        return nullptr;
    branch->moveBranchBy(at.x - branch->mainGraphic()->bounds().x(),
                         at.y - branch->mainGraphic()->bounds().y(), true);
    branch->mainGraphic()->setDrawsFill(true);
    branch->mainGraphic()->setFillColor(Color::blackColor());
    return branch;
}

// What the canvas marks when a branch changes: its shape and its connection.
QList<Rect> markedAreas(TWMapBranch &branch)
{
    QList<Rect> areas{branch.mainGraphic()->drawingBounds()};
    if (branch.connectionGraphic())
        areas << branch.connectionGraphic()->drawingBounds();
    for (Rect &area : areas)
        area = Rect(area.x() - 4, area.y() - 4, area.width() + 8, area.height() + 8);
    return areas;
}

// The map shows from the view's first paint, without waiting for an update.
// A whole redraw is made a band at a time, the previous picture shown
// meanwhile, and comes out as a thumbnail made at once.
TEST(TWNavigatorView, ShowsTheMapAtOnceAndRedrawsItBandByBand)
{
    NavigatorRig rig(Size(2000, 2000));
    rig.map->setRoot(TWMapBranch::createWithGraphic(
        TWGraphic::make<TWRectangle>(Rect(900, 900, 200, 100)), nullptr, rig.map.get()));
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(blackChild(*rig.map->root(), Point(150 + 300 * i, 100 + 300 * i)));
    EXPECT_FALSE(rig.view.updatePending());
    EXPECT_TRUE(drawsSomething(rig.view)) << "the first paint shows nothing";
    const QImage whole = freshThumbnail(rig);
    EXPECT_EQ(differingPixels(rig.view.thumbnail(), whole), 0);

    const QImage shown = rendered(rig.view);
    rig.view.updateDisplay();
    int passes = 0;
    int rows = 0;
    while (!rig.view.buildFor(0)) {
        ASSERT_LT(++passes, 200);
        EXPECT_GT(rig.view.builtRows(), rows) << "a pass drew no band";
        rows = rig.view.builtRows();
        EXPECT_EQ(differingPixels(rendered(rig.view), shown), 0)
            << "the previous picture does not show while the new one is made";
    }
    EXPECT_GT(passes, 1) << "made at once";
    EXPECT_EQ(differingPixels(rig.view.thumbnail(), whole), 0) << "the bands show seams";
}

// Where a branch was before it moved or was deleted, the caught-up
// thumbnail shows what a fresh one shows: on any ground, and in the drawn
// rows of a thumbnail still being made.
TEST(TWNavigatorView, CatchUpLeavesNoGhostOfAMovedOrDeletedBranch)
{
    enum class Change { Move, Delete };
    struct Case
    {
        const char *what;
        std::optional<Color> ground;
        Change change;
        bool whileMaking;
    };
    const Color translucent = Color::colorWithDeviceRed(0.2, 0.6, 0.9, 0.3);
    const std::vector<Case> cases{
        {"moved, no ground", std::nullopt, Change::Move, false},
        {"deleted, no ground", std::nullopt, Change::Delete, false},
        {"moved, a translucent ground", translucent, Change::Move, false},
        {"deleted, a translucent ground", translucent, Change::Delete, false},
        {"moved, an opaque ground", Color::whiteColor(), Change::Move, false},
        {"moved while the thumbnail is made", std::nullopt, Change::Move, true},
        {"deleted while the thumbnail is made", std::nullopt, Change::Delete, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // A tenth, no offset: the branch lies in the top rows.
        NavigatorRig rig(Size(2000, 2000));
        rig.map->setBackgroundColor(c.ground);
        rig.map->setRoot(TWMapBranch::createWithGraphic(
            TWGraphic::make<TWRectangle>(Rect(100, 1800, 200, 100)), nullptr, rig.map.get()));
        const auto branch = blackChild(*rig.map->root(), Point(800, 40));
        ASSERT_TRUE(branch);
        const int bottomRow = int(std::ceil(branch->mainGraphic()->drawingBounds().maxY() / 10));
        if (c.whileMaking) {
            rig.view.updateDisplay();
            while (rig.view.builtRows() <= bottomRow + 2)
                ASSERT_FALSE(rig.view.buildFor(0));
        } else {
            ASSERT_FALSE(rig.view.thumbnail().isNull());
        }
        const QImage withBranch = freshThumbnail(rig);
        QList<Rect> areas = markedAreas(*branch);
        if (c.change == Change::Move) {
            branch->moveBranchBy(600, 1200, true);
            areas << markedAreas(*branch);
        } else {
            rig.map->root()->removeChild(branch);
        }
        for (const Rect &area : areas)
            rig.view.mapAreaDidChange(area);
        rig.view.catchUp();
        EXPECT_FALSE(rig.view.updatePending()) << "caught up by a whole redraw";
        const QImage expected = freshThumbnail(rig);
        ASSERT_GT(differingPixels(withBranch, expected), 20) << "the change does not show";
        EXPECT_EQ(differingPixels(rig.view.thumbnail(), expected), 0);
    }
}

// Red pixels: the label's colour, which nothing else in the map has.
int redPixels(const QImage &image)
{
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            red += c.alpha() > 0 && c.red() - std::max(c.green(), c.blue()) > 60;
        }
    return red;
}

// Labels are left out of the thumbnail, made whole or caught up after the
// label changed, at scales where a label of 12 points is under 2 pixels
// high; a large label shows where they could be read.
TEST(TWNavigatorView, DrawsNoLabelsWhereTheyCannotBeRead)
{
    struct Case
    {
        const char *what;
        Size canvas; // in a 200 x 200 view
        bool labels;
    };
    const std::vector<Case> cases{
        {"a tenth", Size(2000, 2000), false},
        {"a little under a sixth", Size(1300, 1300), false},
        {"a little over a sixth", Size(1150, 1150), true},
        {"a half", Size(400, 400), true},
    };
    const AttributedString label(
        QStringLiteral("Plan the work and the people"),
        {{NSFontAttributeName, QVariant::fromValue(Font(QStringLiteral("Helvetica"), 16))},
         {NSForegroundColorAttributeName,
          QVariant::fromValue(Color::colorWithDeviceRed(1, 0, 0, 1))}});
    for (const Case &c : cases) {
        for (const bool caughtUp : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (caughtUp ? ", caught up" : ", whole"));
            NavigatorRig rig(c.canvas);
            rig.map->setBackgroundColor(Color::whiteColor());
            const auto root = TWMapBranch::createWithGraphic(
                TWGraphic::make<TWRectangle>(Rect(20, 100, 360, 200)), nullptr, rig.map.get());
            root->mainGraphic()->setDrawsFill(false);
            root->mainGraphic()->setStrokeColor(Color::blackColor());
            rig.map->setRoot(root);
            if (!caughtUp)
                root->enclosedTextArea()->setText(label);
            ASSERT_FALSE(rig.view.thumbnail().isNull());
            if (caughtUp) {
                root->enclosedTextArea()->setText(label);
                for (const Rect &area : markedAreas(*root))
                    rig.view.mapAreaDidChange(area);
                rig.view.catchUp();
                ASSERT_FALSE(rig.view.updatePending());
            }
            EXPECT_EQ(redPixels(rig.view.thumbnail()) > 0, c.labels);
            // Drawn at that scale, the label would show.
            QImage withLabels(rig.view.size(), QImage::Format_ARGB32_Premultiplied);
            withLabels.fill(Qt::transparent);
            {
                QPainter painter(&withLabels);
                painter.translate(rig.view.drawingOffset().x, rig.view.drawingOffset().y);
                painter.scale(rig.view.scalingFactor(), rig.view.scalingFactor());
                TWMapDrawing::drawMapInRect(DrawingContext(painter, true), *rig.map,
                                            Rect(0, 0, c.canvas.width, c.canvas.height));
            }
            ASSERT_GT(redPixels(withLabels), 0);
        }
    }
}

} // namespace
