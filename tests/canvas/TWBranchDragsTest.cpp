#include "CanvasTestSupport.h"

#include "canvas/DragGraphicView.h"
#include "canvas/TWBranchDragTrackers.h"
#include "canvas/TWSnapLines.h"
#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWSnapLine.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "support/BezierPath.h"
#include "support/TWPreferences.h"

#include <QMouseEvent>
#include <cmath>

using namespace CanvasTest;

class BranchDrags : public CanvasFixture
{
protected:
    BranchDrags()
    {
        view.setGraphicDrags(drags);
        map->setFirstLevelSpacing(150);
        map->setInterChildSpacing(20);
        map->setRepelDistance(5);
        TWPreferences::setSnapLines(false);
        a = child(root, 100, "a");
        b = child(root, 300, "b");
        settle();
    }
    ~BranchDrags() override { view.setGraphicDrags(nullptr); }

    void setMode(int mode) { map->branchDisplaySettingsForUpdate().layoutAssistanceMode = mode; }
    void send(QEvent::Type type, Point at, Qt::KeyboardModifiers modifiers = {})
    {
        const Qt::MouseButton pressed = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at.toQt(), view.viewport()->mapToGlobal(at.toQt()), pressed, held,
                          modifiers);
        QCoreApplication::sendEvent(view.viewport(), &event);
    }
    // Presses, moves through the points, and releases at the last one.
    void drag(Point from, const QList<Point> &through, Qt::KeyboardModifiers modifiers = {})
    {
        send(QEvent::MouseButtonPress, from, modifiers);
        for (const Point &p : through)
            send(QEvent::MouseMove, p, modifiers);
        send(QEvent::MouseButtonRelease, through.isEmpty() ? from : through.last(), modifiers);
    }
    static Point centreOf(const TWMapBranch &b)
    {
        const Rect r = b.mainGraphic()->bounds();
        return Point(r.midX(), r.midY());
    }
    // The image of the drag in progress (not one still sliding back).
    void circleCase(Point to, bool leftHalf);
    DragGraphicView *image() const
    {
        for (DragGraphicView *v : view.viewport()->findChildren<DragGraphicView *>())
            if (!v->property("sliding").toBool())
                return v;
        return nullptr;
    }
    // Puts the branch, with its label, back at its start.
    void putBack(const std::shared_ptr<TWMapBranch> &branch, Point origin)
    {
        const Point now = branch->mainGraphic()->bounds().origin;
        branch->mainGraphic()->publicMoveBy(Point(origin.x - now.x, origin.y - now.y), false);
        settle();
    }

    std::shared_ptr<TWCanvasGraphicDrags> drags = std::make_shared<TWCanvasGraphicDrags>();
    std::shared_ptr<TWMapBranch> a, b;
};

TEST_F(BranchDrags, NothingMovesInsideTheDeadZoneAndTheSelectionComesBack)
{
    struct Case
    {
        int mode;
        float travel;
        bool moves;
    };
    for (const Case &c : {Case{1, 1.9f, false}, Case{1, 2.0f, true}, Case{2, 1.5f, false}}) {
        SCOPED_TRACE(c.mode * 100 + c.travel);
        setMode(c.mode);
        select({b});
        const Rect before = b->branchBounds();
        const Point from = centreOf(*b);
        drag(from, {Point(from.x + c.travel, from.y - c.travel)});
        EXPECT_EQ(b->branchBounds().x() != before.x(), c.moves);
        EXPECT_EQ(selectedNames(), QStringList({"b"}));
        // Only a drag that started asks for a layout pass.
        EXPECT_EQ(view.branchesThatHaveMoved().contains(b), c.moves);
        settle();
        putBack(b, Point(500, 300));
    }
}

TEST_F(BranchDrags, SeveralGraphicsMoveTogetherOnlyInFreeLayoutOrAfterTheAlert)
{
    struct Case
    {
        int mode;
        int answer;
        int modeAfter;
        bool moves;
    };
    for (const Case &c : {Case{1, -1, 1, true}, Case{2, 1, 2, false}, Case{3, 0, 1, false}}) {
        SCOPED_TRACE(c.mode);
        setMode(c.mode);
        if (c.answer >= 0)
            alerts.queueAlertResponse(c.answer);
        const int alertsBefore = int(alerts.alerts().size());
        select({a, b});
        const float ax = a->branchBounds().x(), bx = b->branchBounds().x();
        drag(centreOf(*b), {Point(centreOf(*b).x + 30, centreOf(*b).y + 10)});
        EXPECT_EQ(map->layoutAssistanceMode(), c.modeAfter);
        EXPECT_EQ(int(alerts.alerts().size()) - alertsBefore, c.answer >= 0 ? 1 : 0);
        if (c.answer >= 0) {
            EXPECT_EQ(alerts.alerts().last().title, QStringLiteral("Multiple Selection"));
        }
        EXPECT_FLOAT_EQ(a->branchBounds().x() - ax, c.moves ? 30 : 0);
        EXPECT_FLOAT_EQ(b->branchBounds().x() - bx, c.moves ? 30 : 0);
        if (c.answer != 0) { // switching the layout mode lays the map out
            EXPECT_EQ(view.branchesThatHaveMoved().isEmpty(), !c.moves);
        }
        settle();
    }
}

// Loose layout: a first-level branch dragged at the centre stops on the
// spacing circle, with its inner edge on it; out again, it follows the
// pointer at the offset it was taken at.
void BranchDrags::circleCase(Point to, bool leftHalf)
{
    setMode(2);
    const Point centre(root->branchBounds().midX(), root->branchBounds().midY());
    select({b});
    const Point from = centreOf(*b);
    send(QEvent::MouseButtonPress, from);
    send(QEvent::MouseMove, to);
    const Rect bb = b->branchBounds();
    const float edge = leftHalf ? bb.maxX() : bb.minX();
    EXPECT_NEAR(std::hypot(edge - centre.x, bb.midY() - centre.y), 150, 0.5);
    send(QEvent::MouseMove, Point(from.x + 300, from.y + 200));
    send(QEvent::MouseButtonRelease, Point(from.x + 300, from.y + 200));
    EXPECT_NEAR(centreOf(*b).x, from.x + 300, 0.01);
    EXPECT_NEAR(centreOf(*b).y, from.y + 200, 0.01);
}

TEST_F(BranchDrags, LooseFirstLevelBranchesStopOnTheCircleOnTheRight)
{
    circleCase(Point(390, 240), false);
}

TEST_F(BranchDrags, LooseFirstLevelBranchesStopOnTheCircleOnTheLeft)
{
    circleCase(Point(300, 230), true);
}

class SecondLevelDrags : public BranchDrags
{
protected:
    SecondLevelDrags()
    {
        p = child(root, 200, "p", 500);
        c0 = child(p, 100, "c0", 650);
        c1 = child(p, 150, "c1", 650);
        c2 = child(p, 200, "c2", 650);
        settle();
    }
    std::shared_ptr<TWMapBranch> p, c0, c1, c2;
};

TEST_F(SecondLevelDrags, SqueezedBetweenSiblingsPushesBothApartByTheOverlaps)
{
    setMode(2);
    select({c1});
    const Point from = centreOf(*c1);
    const Point d(0, 0);
    send(QEvent::MouseButtonPress, from);
    // A step that grows the branch into both neighbours: first measure it.
    c1->mainGraphic()->setBounds(Rect(650, 125, 80, 80));
    float minAbove = 0, minBelow = 0;
    branchOverlaps(*c1, Point(10, 0), minAbove, minBelow);
    ASSERT_LT(minAbove, 0);
    ASSERT_LT(minBelow, 0);
    const float y0 = c0->branchBounds().y(), y2 = c2->branchBounds().y();
    send(QEvent::MouseMove, Point(from.x + 10, from.y + d.y));
    EXPECT_FLOAT_EQ(c0->branchBounds().y() - y0, minAbove);
    EXPECT_FLOAT_EQ(c2->branchBounds().y() - y2, -minBelow);
    EXPECT_FLOAT_EQ(c1->branchBounds().x(), 660);
    send(QEvent::MouseButtonRelease, Point(from.x + 10, from.y));
}

TEST_F(SecondLevelDrags, CloseToTheParentItIsCarriedAndComesBackWhenClear)
{
    setMode(2);
    select({c2});
    const Point from = centreOf(*c2);
    send(QEvent::MouseButtonPress, from);
    // Within the inter-child spacing of the parent's right side.
    send(QEvent::MouseMove, Point(from.x - 70, from.y));
    ASSERT_NE(image(), nullptr);
    EXPECT_EQ(c2->branchBounds().x(), 650); // not moved by the move drag
    // Back out in the zone, clear of every sibling: moving again.
    send(QEvent::MouseMove, Point(from.x + 40, from.y + 60));
    EXPECT_EQ(image(), nullptr);
    EXPECT_FLOAT_EQ(c2->branchBounds().y(), 200 + 60);
    send(QEvent::MouseButtonRelease, Point(from.x + 40, from.y + 60));
    EXPECT_EQ(c2->parent(), p.get());
}

TEST_F(BranchDrags, TightModeCarriesTheBranchAtOnceAndDropsByStyle)
{
    setMode(3);
    struct Case
    {
        const char *name;
        Point to;
        TWMapBranch *parentAfter;
        QString undoName;
    };
    const QString before = undo->undoActionName();
    for (const Case &c : {Case{"empty", Point(1200, 1000), root.get(), before},
                          Case{"onto a", centreOf(*a), a.get(), QStringLiteral("Graft Branch")}}) {
        SCOPED_TRACE(c.name);
        select({b});
        const Rect start = b->branchBounds();
        const Point from = centreOf(*b);
        send(QEvent::MouseButtonPress, from);
        send(QEvent::MouseMove, Point(from.x + 5, from.y + 5));
        ASSERT_NE(image(), nullptr);
        send(QEvent::MouseMove, c.to);
        EXPECT_EQ(image()->style(), c.parentAfter == root.get() ? 0 : 1);
        send(QEvent::MouseButtonRelease, c.to);
        EXPECT_EQ(b->parent(), c.parentAfter);
        EXPECT_EQ(undo->undoActionName(), c.undoName);
        if (c.parentAfter == root.get()) {
            EXPECT_EQ(b->branchBounds(), start); // slid back, nothing changed
        }
        settle();
    }
    // The graft is one undo step.
    undo->undo();
    EXPECT_EQ(b->parent(), root.get());
}

TEST_F(BranchDrags, TheCentralBranchIsNeverCarried)
{
    const int beeps = alerts.beepCount();
    const Rect start = root->branchBounds();
    select({root});
    drag(centreOf(*root), {Point(700, 600)}, Qt::AltModifier);
    EXPECT_EQ(alerts.beepCount(), beeps + 1);
    EXPECT_EQ(image(), nullptr);
    EXPECT_EQ(root->branchBounds(), start);
}

TEST_F(BranchDrags, FirstLevelReorderResortsByPosition)
{
    map->setFirstLevelSpacing(40);
    ASSERT_EQ(names(root->children()), QStringList({"a", "b"}));
    select({b});
    const Point from = centreOf(*b);
    // Above a, inside the ring around the centre.
    drag(from, {Point(from.x - 20, 80), Point(from.x - 20, 70)}, Qt::AltModifier);
    EXPECT_EQ(names(root->children()), QStringList({"b", "a"}));
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Move"));
}

TEST_F(SecondLevelDrags, PassedSiblingsMoveUpByThePaddedHeight)
{
    select({c0});
    const Point from = centreOf(*c0);
    const float padded = c0->branchBounds().height() +
                         2 * (map->repelDistance() + TWBranchLayout::effectiveBoundaryMargin(*c0));
    const float y1 = c1->branchBounds().y();
    drag(from, {Point(from.x + 10, 190), Point(from.x + 10, 192)}, Qt::AltModifier);
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Move"));
    EXPECT_FLOAT_EQ(c1->branchBounds().y(), y1 - padded);
    EXPECT_EQ(names(p->children()).first(), QStringLiteral("c1"));
}

TEST_F(BranchDrags, SnapLinesAlignWithinSixPointsAndSnapOnRelease)
{
    TWPreferences::setSnapLines(true);
    struct Case
    {
        float dx; // b's left edge ends 500 + dx
        float leftAfter;
    };
    for (const Case &c : {Case{5, 500}, Case{-4, 500}, Case{7, 507}}) {
        SCOPED_TRACE(c.dx);
        select({b});
        const Point from = centreOf(*b);
        send(QEvent::MouseButtonPress, from);
        send(QEvent::MouseMove, Point(from.x + c.dx, from.y + 40));
        const bool shown = c.leftAfter == 500;
        ASSERT_EQ(!view.snapLines().isEmpty(), shown);
        if (shown) {
            EXPECT_EQ(view.snapLines().first()->color()->blueComponent(), 1.0);
            EXPECT_EQ(view.snapLines().first()->bezierPath()->bounds().x(), 500.5f);
        }
        send(QEvent::MouseButtonRelease, Point(from.x + c.dx, from.y + 40));
        EXPECT_TRUE(view.snapLines().isEmpty());
        EXPECT_FLOAT_EQ(b->branchBounds().x(), c.leftAfter);
        settle();
        putBack(b, Point(500, 300));
    }
}

TEST(SnapLines, EqualSpacingPlacements)
{
    const Rect root(0, 0, 100, 40);
    struct Case
    {
        const char *name;
        QList<Rect> others;
        Rect dragged;
        float targetY;
    };
    const Case cases[] = {
        // Gaps g = 20 above and h = 24 below: (g + h) / 2 each.
        {"centred", {Rect(500, 100, 80, 30), Rect(500, 204, 80, 30)}, Rect(500, 150, 80, 30), 152},
        {"below pair",
         {Rect(500, 200, 80, 30), Rect(500, 250, 80, 30)},
         Rect(500, 152, 80, 30),
         150},
        {"above pair",
         {Rect(500, 100, 80, 30), Rect(500, 150, 80, 30)},
         Rect(500, 197, 80, 30),
         200},
        {"too far", {Rect(500, 100, 80, 30), Rect(500, 150, 80, 30)}, Rect(500, 210, 80, 30), 210},
        {"one neighbour", {Rect(500, 100, 80, 30)}, Rect(500, 150, 80, 30), 150},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TWSnapLines::Result r = TWSnapLines::compute(c.dragged, root, c.others);
        EXPECT_FLOAT_EQ(r.targetY, c.targetY);
        const bool red = c.targetY != c.dragged.y();
        EXPECT_EQ(!r.lines.isEmpty() && r.lines.last()->color()->redComponent() == 1.0 &&
                      r.lines.last()->color()->blueComponent() == 0.0,
                  red);
    }
}

TEST_F(BranchDrags, AStepMarksOnlyWhereTheSubtreeWasAndIs)
{
    auto b1 = child(b, 320, "b1", 650);
    settle();
    auto extent = [&] {
        Rect r;
        for (const auto &branch : {b, b1}) {
            TWMapBranch::GraphicList graphics;
            branch->graphicsForThisBranchOnlyIntoArray(graphics, true, true, true);
            if (branch->connectionGraphic())
                graphics.append(branch->connectionGraphic());
            for (const auto &g : graphics)
                r = r.isEmpty() ? g->drawingBounds() : r.united(g->drawingBounds());
        }
        return r;
    };
    select({b});
    const Point from = centreOf(*b);
    send(QEvent::MouseButtonPress, from);
    send(QEvent::MouseMove, Point(from.x + 5, from.y + 5));
    view.displayIfNeeded();
    const Rect before = extent();
    QList<Rect> marked;
    QObject::connect(&view, &TWGraphicView::displayMarked, [&marked](Rect r) { marked << r; });
    send(QEvent::MouseMove, Point(from.x + 45, from.y + 25));
    NotificationQueue::defaultQueue().flush();
    view.displayIfNeeded();
    const Rect after = extent();
    send(QEvent::MouseButtonRelease, Point(from.x + 45, from.y + 25));
    ASSERT_FALSE(marked.isEmpty());
    // Whole points, and the selection glow around the shapes.
    const Rect allowed = before.united(after).insetBy(-6, -6).integral();
    for (const Rect &r : marked) {
        EXPECT_TRUE(allowed.contains(r))
            << r.x() << " " << r.y() << " " << r.width() << " " << r.height() << " allowed "
            << allowed.x() << " " << allowed.y() << " " << allowed.width() << " "
            << allowed.height();
        EXPECT_FALSE(r.intersects(a->branchBounds()));
    }
}

TEST_F(BranchDrags, AStepReachesTheViewportInAFewMarksCoveringAllThatMoved)
{
    struct Case
    {
        const char *what;
        int mode;
        int fan;   // children side by side under the dragged branch
        int chain; // then a chain of single children below the first
    } cases[] = {
        {"a leaf", 1, 0, 0},
        {"a fan of children", 1, 6, 0},
        {"a chain below a child", 1, 2, 5},
        {"a fan in loose layout", 2, 4, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        setMode(c.mode);
        const Point home = b->mainGraphic()->bounds().origin;
        QList<std::shared_ptr<TWMapBranch>> subtree{b};
        for (int i = 0; i < c.fan; ++i)
            subtree << child(b, 240 + 40 * float(i), "f" + QString::number(i), 650);
        for (int i = 0; i < c.chain; ++i)
            subtree << child(subtree.at(i == 0 ? 1 : subtree.size() - 1), 240,
                             "c" + QString::number(i), 800 + 110 * float(i));
        settle();
        auto drawn = [&] {
            QList<std::pair<TWGraphic *, Rect>> bounds;
            for (const auto &branch : std::as_const(subtree)) {
                TWMapBranch::GraphicList graphics;
                branch->graphicsForThisBranchOnlyIntoArray(graphics, true, true, true);
                if (branch->connectionGraphic())
                    graphics.append(branch->connectionGraphic());
                for (const auto &g : graphics)
                    bounds.append({g.get(), g->drawingBounds()});
            }
            return bounds;
        };
        select({b});
        const Point from = centreOf(*b);
        send(QEvent::MouseButtonPress, from);
        send(QEvent::MouseMove, Point(from.x + 5, from.y + 5));
        view.displayIfNeeded();
        const auto before = drawn();
        QList<Rect> marked;
        const auto connection = QObject::connect(&view, &TWGraphicView::displayMarked,
                                                 [&marked](Rect r) { marked << r; });
        send(QEvent::MouseMove, Point(from.x + 45, from.y + 25));
        QObject::disconnect(connection);
        const auto after = drawn();
        send(QEvent::MouseButtonRelease, Point(from.x + 45, from.y + 25));
        EXPECT_GE(marked.size(), 1);
        EXPECT_LE(marked.size(), 8);
        int moved = 0;
        for (qsizetype i = 0; i < before.size(); ++i) {
            if (before.at(i).second == after.at(i).second)
                continue;
            ++moved;
            for (const Rect &r : {before.at(i).second, after.at(i).second}) {
                const bool covered = std::any_of(marked.cbegin(), marked.cend(),
                                                 [&r](const Rect &m) { return m.contains(r); });
                EXPECT_TRUE(covered)
                    << i << ": " << r.x() << " " << r.y() << " " << r.width() << " " << r.height();
            }
        }
        EXPECT_GE(moved, subtree.size());
        putBack(b, home);
        while (b->countOfChildren() > 0)
            b->removeObjectFromChildrenAtIndex(0);
        settle();
    }
}

namespace {

bool hasPixel(const QImage &image, const std::function<bool(QColor)> &wanted)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (wanted(image.pixelColor(x, y)))
                return true;
    return false;
}

// Saved when TW_DRAG_SCREENSHOTS names a folder (to look at under Xvfb).
void keep(const QImage &image, const QString &name)
{
    const QString folder = qEnvironmentVariable("TW_DRAG_SCREENSHOTS");
    if (!folder.isEmpty())
        image.save(folder + QLatin1Char('/') + name);
}

} // namespace

TEST_F(BranchDrags, MidDragTheCanvasShowsSnapLinesAndTheGraftFrame)
{
    TWPreferences::setSnapLines(true);
    view.show();
    select({b});
    const Point from = centreOf(*b);
    send(QEvent::MouseButtonPress, from);
    send(QEvent::MouseMove, Point(from.x + 4, from.y + 40));
    ASSERT_FALSE(view.snapLines().isEmpty());
    const QImage snapping = view.viewport()->grab().toImage();
    keep(snapping, QStringLiteral("drag-snap-lines.png"));
    EXPECT_TRUE(hasPixel(snapping, [](QColor c) { return c.blue() > 200 && c.red() < 80; }));
    send(QEvent::MouseButtonRelease, Point(from.x + 4, from.y + 40));
    settle();

    send(QEvent::MouseButtonPress, centreOf(*b), Qt::AltModifier);
    send(QEvent::MouseMove, Point(from.x - 10, from.y - 100), Qt::AltModifier);
    send(QEvent::MouseMove, centreOf(*a), Qt::AltModifier);
    ASSERT_NE(image(), nullptr);
    ASSERT_EQ(image()->style(), DragGraphicView::Graft);
    const QImage carrying = view.viewport()->grab().toImage();
    keep(carrying, QStringLiteral("drag-graft-frame.png"));
    EXPECT_TRUE(hasPixel(
        carrying, [](QColor c) { return c.green() > 200 && c.red() < 120 && c.blue() < 120; }));
    send(QEvent::MouseButtonRelease, centreOf(*a), Qt::AltModifier);
    EXPECT_EQ(b->parent(), a.get());
}
