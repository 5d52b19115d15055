#include "PaletteTestSupport.h"

#include "palettes/TWPaletteWindow.h"

#include <QDrag>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <gtest/gtest.h>

using namespace PaletteTest;

namespace {

QStringList idsOf(const TWPaletteBezelContainerView &container)
{
    QStringList ids;
    for (TWPaletteBezel *bezel : container.bezels())
        ids.append(bezel->paletteID());
    return ids;
}

// A drag of the bezel with that palette ID moved to `at`, then dropped there.
void dropBezel(QWidget *target, const QString &id, QPointF at)
{
    QMimeData data;
    data.setData(TWPaletteBezel::PasteboardType, id.toUtf8());
    QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at.toPoint(), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

struct Dock
{
    explicit Dock(const QStringList &ids, QSize palette = QSize(286, 100))
    {
        window.resize(300, 600);
        container = new TWPaletteBezelContainerView(&window);
        container->resize(300, 10);
        QList<TWPaletteBezel *> list;
        for (const QString &id : ids)
            list.append(makeBezel(id, palette));
        container->setBezels(list);
    }
    QWidget window;
    TWPaletteBezelContainerView *container;
};

TEST(TWPaletteBezelContainer, StackHeightsInDocksAndFloatingWindows)
{
    Fixture fixture;
    // Bezels of 125 and 65 points.
    TWPaletteBezelContainerView dock;
    dock.resize(300, 10);
    dock.setBezels({makeBezel(QStringLiteral("A"), QSize(286, 100)),
                    makeBezel(QStringLiteral("B"), QSize(286, 40))});
    EXPECT_EQ(dock.height(), 125 + 65 + 3);
    EXPECT_EQ(dock.bezels()[1]->y(), 125);

    TWPaletteWindow window(QRect(200, 150, 300, 50));
    window.bezelContainer()->setBezels({makeBezel(QStringLiteral("A"), QSize(286, 100)),
                                        makeBezel(QStringLiteral("B"), QSize(286, 40))});
    EXPECT_EQ(window.bezelContainer()->bezels()[1]->y(), 125 - 4);
    EXPECT_EQ(window.bezelContainer()->height(), 125 + 65 - 5);
    EXPECT_EQ(window.geometry(), QRect(200, 150, 300, 125 + 65 - 5));
    // Collapsing keeps the window's top-left corner.
    window.bezelContainer()->bezels()[0]->collapse();
    EXPECT_EQ(window.geometry(), QRect(200, 150, 300, 23 + 65 - 5));
}

TEST(TWPaletteBezelContainer, DropPointOpensAGapBelowTheBezelUnderThePointer)
{
    Fixture fixture;
    struct Case
    {
        QPointF at;
        int index;
        float zoneTop;
        QList<int> tops; // the bezels while the gap shows
    };
    // Three bezels of 125 points.
    const Case cases[] = {
        {{150, 0}, 0, 0, {20, 145, 270}},    // the very top edge: before the first
        {{150, 1}, 1, 125, {0, 145, 270}},   // just inside the first: after it
        {{150, 300}, 3, 375, {0, 125, 250}}, // after the last: no gap to open
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.index);
        Dock dock({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        dock.container->prepareDropPoint(c.at);
        EXPECT_TRUE(dock.container->showDropZone());
        EXPECT_EQ(dock.container->dropIndex(), c.index);
        EXPECT_EQ(dock.container->dropZoneRect(), Rect(0, c.zoneTop, 300, 20));
        QList<int> tops;
        for (TWPaletteBezel *bezel : dock.container->bezels())
            tops.append(bezel->y());
        EXPECT_EQ(tops, c.tops);
        // A point in the gap keeps the drop point.
        if (c.index == 1) {
            dock.container->prepareDropPoint(QPointF(150, 135));
            EXPECT_EQ(dock.container->dropIndex(), 1);
        }
        dock.container->hideDropPoint();
        EXPECT_FALSE(dock.container->showDropZone());
        EXPECT_EQ(dock.container->bezels()[1]->y(), 125);
    }
}

TEST(TWPaletteBezelContainer, DockDropsReorderAndRewriteTheStoredOrder)
{
    Fixture fixture;
    struct Case
    {
        const char *name;
        QString dragged;
        QPointF at;
        QStringList stored, shown, order;
    };
    const QStringList abc = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    const Case cases[] = {
        {"A over C", "A", {150, 300}, {"X", "A", "B", "C"}, {"B", "C", "A"}, {"X", "B", "C", "A"}},
        {"C on the top edge",
         "C",
         {150, 0},
         {"X", "A", "B", "C"},
         {"C", "A", "B"},
         {"C", "X", "A", "B"}},
        {"C over A", "C", {150, 60}, {"A", "B", "C"}, {"A", "C", "B"}, {"A", "C", "B"}},
        {"after one not stored", "A", {150, 300}, {"B"}, {"B", "C", "A"}, {"B", "A"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Dock dock(abc);
        for (TWPaletteBezel *bezel : dock.container->bezels())
            fixture.services.docked[{&dock.window, bezel->paletteID()}] = bezel;
        TWPaletteServices::setPaletteDockOrder(c.stored);
        dropBezel(dock.container, c.dragged, c.at);
        EXPECT_EQ(idsOf(*dock.container), c.shown);
        EXPECT_EQ(TWPaletteServices::paletteDockOrder(), c.order);
        EXPECT_FALSE(dock.container->showDropZone());
        fixture.services.docked.clear();
    }
}

TEST(TWPaletteBezelContainer, RefusesOtherDragsAndUnknownPalettes)
{
    Fixture fixture;
    Dock dock({QStringLiteral("A"), QStringLiteral("B")});
    QMimeData text;
    text.setText(QStringLiteral("A"));
    QDragMoveEvent move(QPoint(150, 60), Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dock.container, &move);
    EXPECT_FALSE(move.isAccepted());
    EXPECT_FALSE(dock.container->showDropZone());

    // A palette the dock's controller does not know changes nothing.
    TWPaletteServices::setPaletteDockOrder({QStringLiteral("A"), QStringLiteral("B")});
    dropBezel(dock.container, QStringLiteral("Nope"), QPointF(150, 60));
    EXPECT_EQ(idsOf(*dock.container), (QStringList{"A", "B"}));
    EXPECT_EQ(TWPaletteServices::paletteDockOrder(), (QStringList{"A", "B"}));
}

TEST(TWPaletteBezelContainer, FloatingToDockAndBack)
{
    Fixture fixture;
    Dock dock({QStringLiteral("A"), QStringLiteral("B")});
    TWPaletteBezel *dockedS = makeBezel(QStringLiteral("S"));
    fixture.services.docked[{&dock.window, QStringLiteral("S")}] = dockedS;
    for (TWPaletteBezel *bezel : dock.container->bezels())
        fixture.services.docked[{&dock.window, bezel->paletteID()}] = bezel;
    std::unique_ptr<TWPaletteBezel> floatingS(makeBezel(QStringLiteral("S")));
    fixture.services.floating[QStringLiteral("S")] = floatingS.get();

    // A floating window holding only S: dropped onto the dock it empties and closes.
    TWPaletteWindow window(QRect(400, 100, 300, 50));
    window.show();
    window.bezelContainer()->setBezels({floatingS.get()});
    ASSERT_TRUE(window.isVisible());
    TWPaletteServices::setPaletteDockOrder({QStringLiteral("A"), QStringLiteral("B")});
    dropBezel(dock.container, QStringLiteral("S"), QPointF(150, 60));
    EXPECT_EQ(idsOf(*dock.container), (QStringList{"A", "S", "B"}));
    EXPECT_EQ(TWPaletteServices::paletteDockOrder(), (QStringList{"A", "S", "B"}));
    EXPECT_TRUE(window.bezelContainer()->bezels().isEmpty());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(floatingS->bezelContainer(), nullptr);

    // And back: the floating controller's S joins another window where dropped,
    // and every dock hears that S floats now.
    TWPaletteWindow other(QRect(400, 300, 300, 50));
    std::unique_ptr<TWPaletteBezel> floatingT(makeBezel(QStringLiteral("T")));
    other.bezelContainer()->setBezels({floatingT.get()});
    QStringList opened;
    ObserverToken token = NotificationCenter::defaultCenter().observe(
        TWPaletteServices::FloatingPaletteOpenedNotification, nullptr, [&](const Notification &n) {
            opened.append(n.userInfo.value(TWPaletteServices::PaletteIDKey).toString());
        });
    dropBezel(other.bezelContainer(), QStringLiteral("S"), QPointF(150, 0));
    EXPECT_EQ(idsOf(*other.bezelContainer()), (QStringList{"S", "T"}));
    EXPECT_EQ(opened, QStringList{"S"});
    // Dropped again just below where it stands: nothing moves, nothing is announced.
    dropBezel(other.bezelContainer(), QStringLiteral("T"), QPointF(150, 10));
    EXPECT_EQ(idsOf(*other.bezelContainer()), (QStringList{"S", "T"}));
    EXPECT_EQ(opened.size(), 1);
    other.bezelContainer()->setBezels({});

    // A window showing only S keeps it when S is dropped on it again.
    other.show();
    other.bezelContainer()->setBezels({floatingS.get()});
    dropBezel(other.bezelContainer(), QStringLiteral("S"), QPointF(150, 10));
    EXPECT_EQ(idsOf(*other.bezelContainer()), QStringList{"S"});
    EXPECT_TRUE(other.isVisible());
    other.bezelContainer()->setBezels({});
}

TEST(TWPaletteBezelContainer, FlipSwapsInThePartnerAfterTheTransition)
{
    Fixture fixture;
    struct Case
    {
        bool slow, fromAlternate;
        double seconds;
        bool reverse, displaying;
    };
    const Case cases[] = {
        {false, false, 0.37, false, true},
        {true, false, 4.0, false, true},
        {false, true, 0.37, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.seconds * 10 + c.fromAlternate);
        EXPECT_DOUBLE_EQ(TWPaletteBezelContainerView::flipDuration(c.slow), c.seconds);
        Dock dock({QStringLiteral("A")});
        TWPaletteBezel *main = dock.container->bezels()[0];
        std::unique_ptr<TWPaletteBezel> alternate(makeBezel(QStringLiteral("A"), {286, 60}));
        main->setAlternateBezel(alternate.get());
        alternate->setMainBezel(main);
        TWPaletteBezel *shown = main;
        TWPaletteBezel *partner = alternate.get();
        if (c.fromAlternate) {
            dock.container->flipBezel(main, false);
            fixture.runScheduled();
            std::swap(shown, partner);
        }
        dock.container->flipBezel(shown, c.slow);
        TWPaletteFlipView *view = dock.container->flipView();
        ASSERT_NE(view, nullptr);
        EXPECT_DOUBLE_EQ(view->transitionTime(), c.seconds);
        EXPECT_EQ(view->reverse(), c.reverse);
        EXPECT_EQ(view->startImage().size(), shown->size());
        EXPECT_FALSE(view->endImage().isNull());
        EXPECT_EQ(main->displayingAlternateBezel(), c.displaying);
        EXPECT_EQ(alternate->displayingAlternateBezel(), c.displaying);
        // The list holds the partner at once; it shows only when the time is up.
        EXPECT_EQ(dock.container->bezels(), QList<TWPaletteBezel *>{partner});
        EXPECT_NE(partner->parentWidget(), dock.container);
        ASSERT_EQ(fixture.scheduled.size(), 2u);
        for (const Fixture::Scheduled &s : fixture.scheduled)
            EXPECT_DOUBLE_EQ(s.seconds, c.seconds);
        fixture.runScheduled();
        EXPECT_EQ(partner->parentWidget(), dock.container);
        // Each side keeps the height of its own palette.
        EXPECT_EQ(partner->height(), int(partner->minimumSize().height));
        EXPECT_EQ(dock.container->height(), partner->height() + 3);
        EXPECT_EQ(dock.container->flipView(), nullptr);
        EXPECT_EQ(shown->parentWidget(), nullptr);
        if (!c.fromAlternate)
            delete shown;
        else
            alternate.release();
    }
}

TEST(TWPaletteWindow, MovesByItsFirstBezelWithinTheScreenTop)
{
    Fixture fixture;
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case
    {
        QPoint origin, clamped;
    };
    const Case cases[] = {
        {available.topLeft() + QPoint(50, 40), available.topLeft() + QPoint(50, 40)},
        {available.topLeft() + QPoint(50, -30), available.topLeft() + QPoint(50, 0)},
        {available.topLeft() + QPoint(-20, 60), available.topLeft() + QPoint(-20, 60)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TWPaletteWindow::clampedOrigin(c.origin, available), c.clamped);

    TWPaletteWindow window(QRect(available.left() + 100, available.top() + 100, 300, 50));
    TWPaletteBezel *first = makeBezel(QStringLiteral("A"));
    TWPaletteBezel *second = makeBezel(QStringLiteral("B"));
    window.bezelContainer()->setBezels({first, second});
    window.show();
    int drags = 0;
    TWPaletteBezel::setDragRunner([&](QDrag *) {
        ++drags;
        return Qt::MoveAction;
    });
    // Dragged upwards by its first bezel: it stops at the top, never drags the bezel.
    sendMouse(first, QEvent::MouseButtonPress, QPointF(150, 10));
    const QPoint start = window.pos();
    sendMouse(first, QEvent::MouseMove, QPointF(180, 10 - 300));
    EXPECT_EQ(window.pos(), QPoint(start.x() + 30, available.top()));
    EXPECT_EQ(drags, 0);
    TWPaletteBezel::setDragRunner([](QDrag *drag) { return drag->exec(Qt::MoveAction); });
    window.bezelContainer()->setBezels({});
    delete first;
    delete second;
}

TEST(TWPaletteWindow, MergesIntoThePaletteWindowItIsDroppedOn)
{
    Fixture fixture;
    TWPaletteWindow target(QRect(100, 100, 300, 50));
    TWPaletteWindow moving(QRect(500, 100, 300, 50));
    std::unique_ptr<TWPaletteBezel> a(makeBezel(QStringLiteral("A")));
    std::unique_ptr<TWPaletteBezel> b(makeBezel(QStringLiteral("B")));
    std::unique_ptr<TWPaletteBezel> c(makeBezel(QStringLiteral("C")));
    target.bezelContainer()->setBezels({a.get()});
    moving.bezelContainer()->setBezels({b.get(), c.get()});
    target.show();
    moving.show();
    EXPECT_EQ(moving.saveDictionary().value(TWPaletteWindow::PaletteIDsKey).toStringList(),
              (QStringList{"B", "C"}));
    EXPECT_EQ(moving.saveDictionary().value(TWPaletteWindow::WindowFrameKey).toString(),
              Rect::fromQt(QRectF(moving.geometry())).toString());

    moving.endMove(QPoint(900, 900)); // over no palette window
    EXPECT_TRUE(moving.isVisible());
    moving.endMove(QPoint(150, 120));
    EXPECT_EQ(idsOf(*target.bezelContainer()), (QStringList{"A", "B", "C"}));
    EXPECT_FALSE(moving.isVisible());
    EXPECT_TRUE(moving.saveDictionary().isEmpty());
    target.bezelContainer()->setBezels({});
}

} // namespace
