#include "PaletteTestSupport.h"

#include "palettes/TWPaletteWindow.h"

#include <QDrag>
#include <QMimeData>
#include <gtest/gtest.h>

using namespace PaletteTest;

namespace {

TEST(TWPaletteBezel, GeometryFollowsFrameAndPalette)
{
    Fixture fixture;
    struct Case
    {
        QSize palette;
        int width, height, type;
        Size minimum;
        Point origin;
        Rect border, title, collapse, flip;
    };
    const Case cases[] = {
        {{286, 200},
         300,
         225,
         0,
         {293, 225},
         {5.5f, 5},
         {0, 3, 297, 222},
         {2, 201, 290, 0},
         {22, 209, 13, 13},
         {279, 209, 13, 13}},
        {{200, 100},
         300,
         125,
         0,
         {207, 125},
         {48.5f, 5},
         {0, 3, 297, 122},
         {2, 101, 290, 0},
         {22, 109, 13, 13},
         {279, 109, 13, 13}},
        {{150, 40},
         180,
         65,
         0,
         {157, 65},
         {13.5f, 5},
         {0, 3, 177, 62},
         {2, 41, 170, 0},
         {22, 49, 13, 13},
         {159, 49, 13, 13}},
        // Any other bezel type has no frame at all.
        {{286, 200}, 300, 225, 1, {}, {}, {}, {}, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.width * 1000 + c.palette.width());
        std::unique_ptr<TWPaletteBezel> bezel(makeBezel(QStringLiteral("P"), c.palette, c.width));
        bezel->setBezelType(c.type);
        bezel->resize(c.width, c.height);
        EXPECT_EQ(bezel->minimumSize(), c.minimum);
        EXPECT_EQ(bezel->paletteOrigin(), c.origin);
        EXPECT_EQ(bezel->borderRect(), c.border);
        EXPECT_EQ(bezel->titleRect(), c.title);
        EXPECT_EQ(bezel->collapseButtonRect(), c.collapse);
        EXPECT_EQ(bezel->flipButtonRect(), c.flip);
        if (c.type == 0) {
            // The palette view sits at the origin, counted from the bottom.
            EXPECT_EQ(bezel->palette()->y(), c.height - 5 - c.palette.height());
            EXPECT_EQ(bezel->palette()->x(), int(c.origin.x));
        }
    }
}

TEST(TWPaletteBezel, CollapsedIs23HighWithCornerTwo)
{
    Fixture fixture;
    std::unique_ptr<TWPaletteBezel> bezel(makeBezel(QStringLiteral("P")));
    bezel->collapse();
    EXPECT_EQ(bezel->height(), 23);
    EXPECT_FALSE(bezel->palette()->isVisibleTo(bezel.get()));
    EXPECT_FLOAT_EQ((bezel->borderRect().height() - 16) / 2, 2.0f);
    bezel->expand();
    EXPECT_EQ(bezel->height(), 225);
    EXPECT_TRUE(bezel->palette()->isVisibleTo(bezel.get()));
}

TEST(TWPaletteBezel, CollapseIsSharedByEveryBezelOfThePaletteAndKept)
{
    Fixture fixture;
    const QString id = QStringLiteral("TWPaletteMapStyle");
    std::unique_ptr<TWPaletteBezel> main(makeBezel(id));
    std::unique_ptr<TWPaletteBezel> alternate(makeBezel(id, QSize(286, 120)));
    main->setAlternateBezel(alternate.get());
    alternate->setMainBezel(main.get());
    std::unique_ptr<TWPaletteBezel> otherWindow(makeBezel(id));
    std::unique_ptr<TWPaletteBezel> otherPalette(makeBezel(QStringLiteral("Other")));

    struct Step
    {
        TWPaletteBezel *acting;
        bool collapse;
    };
    for (const Step &step :
         {Step{main.get(), true}, Step{otherWindow.get(), false}, Step{alternate.get(), true}}) {
        step.collapse ? step.acting->collapse() : step.acting->expand();
        for (TWPaletteBezel *bezel : {main.get(), alternate.get(), otherWindow.get()})
            EXPECT_EQ(bezel->isCollapsed(), step.collapse);
        EXPECT_FALSE(otherPalette->isCollapsed());
        EXPECT_EQ(UserDefaults::standard().boolForKey(id + QStringLiteral("Collapsed")),
                  step.collapse);
    }
    // A new launch shows the palette as it was left.
    fixture.restartDefaults();
    std::unique_ptr<TWPaletteBezel> relaunched(makeBezel(id));
    EXPECT_TRUE(relaunched->isCollapsed());
    EXPECT_EQ(relaunched->height(), 23);
}

TEST(TWPaletteBezel, ClicksOnTheTitleBar)
{
    Fixture fixture;
    // Widget y of the buttons' middle: 16 - 6.5 points below the top.
    const qreal buttonY = 9.5;
    struct Case
    {
        const char *name;
        bool withPartner, floating;
        qreal x;
        bool collapsed, flipped, closed;
    };
    const Case cases[] = {
        {"collapse", false, false, 28.5, true, false, false},
        {"flip", true, false, 285.5, false, true, false},
        {"flip without a partner", false, false, 285.5, false, false, false},
        {"close docked", false, false, 11.5, false, false, false},
        {"close floating", false, true, 11.5, false, false, true},
        {"title", true, false, 150, false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults::standard().removeObjectForKey(QStringLiteral("PCollapsed"));
        std::unique_ptr<TWPaletteWindow> window;
        std::unique_ptr<TWPaletteBezelContainerView> dock;
        TWPaletteBezelContainerView *container;
        if (c.floating) {
            window = std::make_unique<TWPaletteWindow>(QRect(100, 100, 300, 100));
            container = window->bezelContainer();
        } else {
            dock = std::make_unique<TWPaletteBezelContainerView>();
            dock->resize(300, 10);
            container = dock.get();
        }
        TWPaletteBezel *first = makeBezel(QStringLiteral("First"));
        TWPaletteBezel *bezel = makeBezel(QStringLiteral("P"));
        std::unique_ptr<TWPaletteBezel> alternate(makeBezel(QStringLiteral("P")));
        if (c.withPartner) {
            bezel->setAlternateBezel(alternate.get());
            alternate->setMainBezel(bezel);
        }
        container->setBezels({first, bezel});
        int notices = 0;
        ObserverToken token = NotificationCenter::defaultCenter().observe(
            TWPaletteServices::FloatingPaletteClosedNotification, nullptr,
            [&](const Notification &n) {
                EXPECT_EQ(n.userInfo.value(TWPaletteServices::PaletteIDKey).toString(),
                          QStringLiteral("P"));
                ++notices;
            });
        click(bezel, QPointF(c.x, buttonY));
        EXPECT_EQ(bezel->isCollapsed(), c.collapsed);
        EXPECT_EQ(container->bezels().contains(alternate.get()), c.flipped);
        EXPECT_EQ(bezel->displayingAlternateBezel(), c.flipped);
        EXPECT_EQ(!container->bezels().contains(bezel) && !c.flipped, c.closed);
        EXPECT_EQ(notices, c.closed ? 1 : 0);
        fixture.runScheduled();
        delete first;
        delete bezel;
    }
}

TEST(TWPaletteBezel, DragsAfterTenPointsAndTearsOffWhenNobodyTakesIt)
{
    Fixture fixture;
    std::vector<std::pair<QStringList, QByteArray>> drags;
    Qt::DropAction answer = Qt::IgnoreAction;
    TWPaletteBezel::setDragRunner([&](QDrag *drag) {
        const QMimeData *data = drag->mimeData();
        drags.emplace_back(data->formats(), data->data(TWPaletteBezel::PasteboardType));
        EXPECT_FALSE(drag->pixmap().isNull());
        return answer;
    });
    struct Case
    {
        QPointF move;
        Qt::DropAction answer;
        bool drags, detaches;
    };
    const Case cases[] = {
        {{6, 7}, Qt::IgnoreAction, false, false}, // 9.2 points: still a click
        {{6, 8}, Qt::IgnoreAction, true, true},   // 10 points
        {{0, 30}, Qt::MoveAction, true, false},   // taken by a dock
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.move.y());
        drags.clear();
        fixture.services.detached.clear();
        answer = c.answer;
        TWPaletteBezelContainerView dock;
        dock.resize(300, 10);
        TWPaletteBezel *bezel = makeBezel(QStringLiteral("TWPaletteMapStyle"));
        dock.setBezels({bezel});
        const QPointF down(150, 100);
        sendMouse(bezel, QEvent::MouseButtonPress, down);
        sendMouse(bezel, QEvent::MouseMove, down + c.move);
        EXPECT_EQ(bezel->didDrag(), c.drags);
        ASSERT_EQ(drags.size(), c.drags ? 1u : 0u);
        if (c.drags) {
            EXPECT_EQ(drags[0].first, QStringList{TWPaletteBezel::PasteboardType});
            EXPECT_EQ(drags[0].second, QByteArray("TWPaletteMapStyle"));
        }
        ASSERT_EQ(fixture.services.detached.size(), c.detaches ? 1u : 0u);
        if (c.detaches)
            EXPECT_EQ(fixture.services.detached[0].first, QStringLiteral("TWPaletteMapStyle"));
        sendMouse(bezel, QEvent::MouseButtonRelease, down + c.move, Qt::NoButton);
        EXPECT_FALSE(bezel->isCollapsed());
        delete bezel;
    }
    TWPaletteBezel::setDragRunner([](QDrag *drag) { return drag->exec(Qt::MoveAction); });
}

TEST(TWPaletteBezel, HoverFollowsThePointerOverTheButtons)
{
    Fixture fixture;
    std::unique_ptr<TWPaletteBezel> bezel(makeBezel(QStringLiteral("P")));
    struct Case
    {
        QPointF at;
        bool over, flip, collapse, close;
    };
    const Case cases[] = {
        {{150, 100}, true, false, false, false}, {{285, 9}, true, true, false, false},
        {{28, 9}, true, false, true, false},     {{11, 9}, true, false, false, true},
        {{-5, -5}, false, false, false, false},
    };
    for (const Case &c : cases) {
        sendMouse(bezel.get(), QEvent::MouseMove, c.at, Qt::NoButton);
        EXPECT_EQ(bezel->mouseOver(), c.over);
        EXPECT_EQ(bezel->mouseOverFlipButton(), c.flip);
        EXPECT_EQ(bezel->mouseOverCollapseButton(), c.collapse);
        EXPECT_EQ(bezel->mouseOverCloseButton(), c.close);
    }
}

TEST(TWPaletteBezel, PreviewIsTransparentWhereNothingIsDrawn)
{
    Fixture fixture;
    std::unique_ptr<TWPaletteBezel> bezel(makeBezel(QStringLiteral("P")));
    const QImage preview = bezel->previewImage();
    ASSERT_EQ(preview.size(), bezel->size());
    // The shadow strip at the right is left clear; the body is painted.
    EXPECT_EQ(qAlpha(preview.pixel(299, 100)), 0);
    EXPECT_GT(qAlpha(preview.pixel(150, 10)), 0);
}

} // namespace
