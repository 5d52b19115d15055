#include "BranchTestSupport.h"
#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWLinkLine.h"

#include <functional>

using namespace BranchTest;

namespace {

class TWGraphicPublicInterfaceTest : public BranchFixture
{
protected:
    std::shared_ptr<TWGraphic> attach(const std::shared_ptr<TWMapBranch> &branch, Rect bounds)
    {
        auto graphic = TWGraphic::createWithBounds(bounds);
        branch->insertObjectInLinkedGraphicsAtIndex(graphic, 0);
        graphic->setBranch(branch.get());
        return graphic;
    }

    // The bounds of every graphic of the subtree, in a fixed order, offset
    // by (dx, dy); connections (which follow their ends) apart.
    static QList<Rect> geometry(const std::shared_ptr<TWMapBranch> &top, float dx = 0, float dy = 0,
                                QList<Rect> *connections = nullptr)
    {
        TWMapBranch::BranchList tree;
        top->buildBranchArray(tree);
        QList<Rect> result;
        for (const auto &b : tree) {
            result << b->mainGraphic()->bounds().offsetBy(dx, dy)
                   << b->enclosedTextArea()->bounds().offsetBy(dx, dy);
            for (const auto &g : b->linkedGraphics())
                result << g->bounds().offsetBy(dx, dy);
            if (connections && b->connectionGraphic())
                *connections << b->connectionGraphic()->bounds();
        }
        return result;
    }
};

TEST_F(TWGraphicPublicInterfaceTest, StyleOperationsNameTheStepByRoleAndAnnounce)
{
    using Op = std::function<void(TWGraphic &)>;
    const Color red = Color::colorWithCalibratedRed(1, 0, 0, 1);
    const Color blue = Color::colorWithCalibratedRed(0, 0, 1, 1);
    struct Case
    {
        Op op;
        QString mainName, otherName, notification;
    } cases[] = {
        {[](TWGraphic &g) { g.publicSetInheritsFill(false); }, "Set Inherits Fill Color",
         "Set Graphic Inherits Fill Color", TWGraphic::GraphicInheritsFillChangedNotification},
        {[](TWGraphic &g) { g.publicSetDrawsFill(false); }, "Set Draws Fill",
         "Set Graphic Draws Fill", TWGraphic::GraphicDrawsFillChangedNotification},
        {[red](TWGraphic &g) { g.publicSetFillColor(red); }, "Set Fill Color",
         "Set Graphic Fill Color", TWGraphic::GraphicFillColorChangedNotification},
        {[](TWGraphic &g) { g.publicSetInheritsStroke(false); }, "Set Inherits Line Color",
         "Set Graphic Inherits Line Color", TWGraphic::GraphicInheritsStrokeChangedNotification},
        {[](TWGraphic &g) { g.publicSetDrawsStroke(false); }, "Set Draws Line",
         "Set Graphic Draws Line", TWGraphic::GraphicDrawsStrokeChangedNotification},
        {[red](TWGraphic &g) { g.publicSetStrokeColor(red); }, "Set Line Color",
         "Set Graphic Line Color", TWGraphic::GraphicStrokeColorChangedNotification},
        {[](TWGraphic &g) { g.publicSetStrokeStyle(3); }, "Set Line Style",
         "Set Graphic Line Style", TWGraphic::GraphicStrokeColorChangedNotification},
        {[](TWGraphic &g) { g.publicSetStrokeWidth(4); }, "Set Line Width",
         "Set Graphic Line Width", TWGraphic::GraphicStrokeWidthChangedNotification},
        {[](TWGraphic &g) { g.publicSetCornerMode(1); }, "Set Rounded Rectangle Corners",
         "Set Rounded Rectangle Corners", TWGraphic::GraphicRectangleCornersChangedNotification},
        {[](TWGraphic &g) { g.publicSetCornerAmount(20); }, "Set Rectangle Corner Radius",
         "Set Rectangle Corner Radius", TWGraphic::GraphicRectangleCornersChangedNotification},
        {[](TWGraphic &g) { g.publicSetInheritsShadow(false); }, "Set Inherits Shadow",
         "Set Graphic Inherits Shadow", TWGraphic::GraphicInheritsShadowChangedNotification},
        {[](TWGraphic &g) { g.publicSetDrawsShadow(true); }, "Set Draws Shadow",
         "Set Graphic Draws Shadow", TWGraphic::GraphicDrawsShadowChangedNotification},
        {[](TWGraphic &g) { g.publicSetShadowBlurRadius(7); }, "Set Shadow Blur",
         "Set Graphic Shadow Blur", TWGraphic::GraphicShadowBlurRadiusChangedNotification},
        {[](TWGraphic &g) { g.publicSetShadowOffset(Size(2, 3)); }, "Set Shadow Offset",
         "Set Graphic Shadow Offset", TWGraphic::GraphicShadowOffsetChangedNotification},
        {[blue](TWGraphic &g) { g.publicSetShadowColor(blue); }, "Set Shadow Color",
         "Set Graphic Shadow Color", TWGraphic::GraphicShadowColorChangedNotification},
    };
    for (const Case &c : cases) {
        auto a = child(root, 100, "a");
        auto note = attach(a, Rect(600, 100, 30, 30));
        settle();
        for (const auto &[graphic, name] :
             {std::pair{a->mainGraphic(), c.mainName}, std::pair{note, c.otherName}}) {
            Recorder recorder({c.notification});
            c.op(*graphic);
            undo->closeEventGroup();
            EXPECT_EQ(undo->undoActionName(), name);
            ASSERT_EQ(recorder.notifications.size(), 1) << name.toStdString();
            EXPECT_EQ(recorder.notifications[0].sender, graphic.get()) << name.toStdString();
        }
        a->remove();
        settle();
    }
}

TEST_F(TWGraphicPublicInterfaceTest, WhenOperationsActAndWhatInheritanceKeeps)
{
    auto a = child(root, 100, "a");
    auto b = newBranch(a.get(), Rect(650, 100, 60, 20), "b");
    const Color green = Color::colorWithCalibratedRed(0, 1, 0, 1);
    a->mainGraphic()->setInheritsFill(false);
    a->mainGraphic()->setFillColor(green);
    const std::optional<Shadow> parentShadow = Shadow(Size(5, -5), 4, std::nullopt);
    root->mainGraphic()->setShadow(parentShadow);
    settle();
    const auto &shape = b->mainGraphic();
    Recorder recorder;

    // The same fill colour: announced, but nothing to undo.
    shape->publicSetFillColor(shape->inheritedFillColor());
    shape->setFillColor(std::nullopt);
    undo->closeEventGroup();
    EXPECT_EQ(recorder.count(TWGraphic::GraphicFillColorChangedNotification), 1);
    // The same width: nothing at all.
    shape->publicSetStrokeWidth(shape->strokeWidth());
    EXPECT_EQ(recorder.count(TWGraphic::GraphicStrokeWidthChangedNotification), 0);
    undo->removeAllActions();

    // Switching inheritance off keeps the colour shown; back on keeps it stored.
    shape->publicSetInheritsFill(false);
    EXPECT_EQ(shape->fillColor(), green);
    EXPECT_EQ(shape->inheritedFillColor(), green);
    shape->publicSetInheritsFill(true);
    EXPECT_EQ(shape->fillColor(), green);

    // A shadow part on an inheriting graphic makes a changed copy its own.
    shape->publicSetShadowBlurRadius(9);
    ASSERT_TRUE(shape->shadow());
    EXPECT_EQ(shape->shadow()->shadowBlurRadius(), 9);
    EXPECT_EQ(shape->shadow()->shadowOffset(), Size(5, -5));
    EXPECT_EQ(root->mainGraphic()->shadow(), parentShadow);
    EXPECT_FALSE(a->mainGraphic()->shadow());
    undo->closeEventGroup();
    undo->undo();
    EXPECT_FALSE(shape->shadow());

    // The inherited radius again: an own shadow, but no step and no announcement.
    recorder.clear();
    undo->removeAllActions();
    shape->publicSetShadowBlurRadius(4);
    undo->closeEventGroup();
    EXPECT_EQ(shape->shadow(), parentShadow);
    EXPECT_EQ(undo->undoActionName(), QString());
    EXPECT_EQ(recorder.count(TWGraphic::GraphicShadowBlurRadiusChangedNotification), 0);
}

TEST_F(TWGraphicPublicInterfaceTest, AMoveCarriesTheSubtreeAndOneUndoRestoresIt)
{
    auto a = child(root, 100, "a");
    auto c1 = newBranch(a.get(), Rect(650, 80, 60, 20), "c1");
    auto c2 = newBranch(a.get(), Rect(650, 140, 60, 20), "c2");
    auto g = newBranch(c1.get(), Rect(750, 80, 60, 20), "g");
    auto note = attach(a, Rect(520, 60, 20, 20));
    a->setHasBoundary(true);
    settle();
    QList<Rect> connectionsBefore;
    const QList<Rect> before = geometry(a, 0, 0, &connectionsBefore);
    const QList<Rect> rootBefore = geometry(root);

    // Moving the label moves the branch with all its descendants, in steps
    // that make one named step at the end.
    a->enclosedTextArea()->publicMoveBy(Point(5, -4), false);
    a->enclosedTextArea()->publicMoveBy(Point(10, -6), true);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoActionName(), "Move Graphic");
    EXPECT_EQ(geometry(a, -15, 10), before);
    EXPECT_EQ(g->mainGraphic()->bounds(), Rect(765, 70, 60, 20));
    EXPECT_EQ(note->bounds(), Rect(535, 50, 20, 20));
    // The boundaries of the branch and of its children are refreshed.
    for (const char *call : {"invalidate boundary a", "invalidate boundary c1",
                             "invalidate boundary c2", "update boundary a for a"})
        EXPECT_TRUE(layout->calls.contains(call)) << call;
    // The connections followed their ends.
    QList<Rect> connectionsAfter;
    geometry(a, 0, 0, &connectionsAfter);
    ASSERT_EQ(connectionsAfter.size(), connectionsBefore.size());
    for (qsizetype i = 0; i < connectionsAfter.size(); ++i)
        EXPECT_NE(connectionsAfter[i], connectionsBefore[i]) << i;

    undo->undo();
    QList<Rect> connectionsUndone;
    EXPECT_EQ(geometry(a, 0, 0, &connectionsUndone), before);
    EXPECT_EQ(connectionsUndone, connectionsBefore);
    EXPECT_EQ(geometry(root), rootBefore);

    // An attached graphic moves alone; a boundary proxy does not move at all.
    settle();
    note->publicMoveBy(Point(0, 30), true);
    EXPECT_EQ(note->bounds(), Rect(520, 90, 20, 20));
    EXPECT_EQ(a->mainGraphic()->bounds(), before[0]);
    const auto &proxy = a->boundaryProxy();
    undo->closeEventGroup();
    const int steps = undo->undoStepCount();
    layout->calls.clear();
    proxy->publicMoveBy(Point(10, 10), true);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps);
    EXPECT_TRUE(layout->calls.isEmpty());
}

TEST_F(TWGraphicPublicInterfaceTest, MovingTheRootMovesTheWholeTreeAndRedrawsOnce)
{
    auto a = child(root, 100, "a");
    auto b = newBranch(a.get(), Rect(650, 100, 60, 20), "b");
    a->setChildrenHidden(true);
    // Attached graphics not shown still belong to their branch and go along.
    map->branchDisplaySettingsForUpdate().showAttachedGraphics = false;
    auto note = attach(b, Rect(700, 60, 20, 20));
    settle();
    const QList<Rect> before = geometry(root);
    Recorder recorder({TWMapBranch::RedrawInRectNotification});
    root->mainGraphic()->publicMoveBy(Point(-20, 25), true);
    EXPECT_EQ(geometry(root, 20, -25), before);
    EXPECT_EQ(note->bounds(), Rect(680, 85, 20, 20));
    EXPECT_EQ(recorder.notifications.size(), 1);
    // The hidden branch's boundary goes along.
    EXPECT_TRUE(layout->calls.contains("move boundary b by -20 25"));
}

TEST_F(TWGraphicPublicInterfaceTest, MovingTheRootCarriesLinkLinesAsMovingEachGraphicDoes)
{
    // Each line's ends, by branch and part: m the shape, t the label, n an
    // attached graphic.
    struct Case
    {
        const char *what;
        const char *from, *to;
    } cases[] = {
        {"shape to shape", "a m", "b m"},
        {"label to shape: the label answers for its shape's lines", "a t", "c m"},
        {"a branch to itself", "b m", "b m"},
        {"shape to an attached graphic", "c m", "b n"},
        {"an end below a collapsed branch", "a m", "d m"},
    };
    auto a = child(root, 100, "a"), b = child(root, 300, "b"), c = child(a, 150, "c", 650);
    auto d = child(b, 320, "d", 650);
    b->setChildrenHidden(true);
    const std::map<QString, std::shared_ptr<TWMapBranch>> branches{
        {"a", a}, {"b", b}, {"c", c}, {"d", d}};
    const auto note = attach(b, Rect(620, 260, 20, 20));
    auto end = [&](const char *name) -> std::shared_ptr<TWGraphic> {
        const QString n = QString::fromLatin1(name);
        const auto &branch = branches.at(n.section(' ', 0, 0));
        const QString part = n.section(' ', 1);
        return part == "m"   ? branch->mainGraphic()
               : part == "t" ? std::shared_ptr<TWGraphic>(branch->enclosedTextArea())
                             : note;
    };
    QList<std::shared_ptr<TWLinkLine>> lines;
    for (const Case &c : cases) {
        auto line = TWGraphic::make<TWLinkLine>();
        line->setBranch(end(c.from)->branch());
        line->setStartGraphicNumber(end(c.from)->graphicNumber());
        line->setEndGraphicNumber(end(c.to)->graphicNumber());
        line->calculateDefaultIntermediatePoints();
        map->insertObjectInLinkLinesAtIndex(line, map->countOfLinkLines());
        line->updateBounds();
        lines << line;
    }
    settle();
    struct State
    {
        QList<Rect> shapes, connections;
        QList<Point> controls;
        QList<int> notices; // bounds notifications naming each line
    };
    auto state = [&](const Recorder &recorder) {
        State s;
        s.shapes = geometry(root, 0, 0, &s.connections);
        for (const auto &line : std::as_const(lines)) {
            s.controls << line->intermediatePoint1() << line->intermediatePoint2();
            s.notices << int(
                std::count_if(recorder.notifications.cbegin(), recorder.notifications.cend(),
                              [&](const Notification &n) { return n.sender == line.get(); }));
        }
        return s;
    };
    const State before = state(Recorder());
    // The answer of moving every graphic alone, then every connection.
    State alone;
    {
        Recorder recorder({TWGraphic::GraphicWillChangeBoundsNotification,
                           TWGraphic::GraphicDidChangeBoundsNotification});
        TWMapBranch::BranchList tree;
        root->buildBranchArray(tree);
        for (const auto &branch : std::as_const(tree)) {
            for (const auto &g : branch->linkedGraphics())
                g->moveBy(40, -30);
            if (branch->enclosedTextArea())
                branch->enclosedTextArea()->moveBy(40, -30);
            branch->mainGraphic()->moveBy(40, -30);
        }
        for (const auto &branch : std::as_const(tree)) {
            if (branch->connectionGraphic())
                branch->connectionGraphic()->updateBounds();
        }
        alone = state(recorder);
    }
    settle();
    Recorder recorder({TWGraphic::GraphicWillChangeBoundsNotification,
                       TWGraphic::GraphicDidChangeBoundsNotification});
    root->mainGraphic()->publicMoveBy(Point(-40, 30), true);
    const State back = state(recorder);

    EXPECT_EQ(alone.shapes, geometry(root, 40, -30));
    EXPECT_EQ(back.shapes, before.shapes);
    EXPECT_EQ(back.connections, before.connections);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_GT(alone.notices[i], 0);
        EXPECT_EQ(back.notices[i], alone.notices[i]);
        for (int k : {0, 1}) {
            const Point moved = alone.controls[2 * i + k];
            const Point home = back.controls[2 * i + k], was = before.controls[2 * i + k];
            EXPECT_NEAR(moved.x, was.x + 40, 1e-3);
            EXPECT_NEAR(moved.y, was.y - 30, 1e-3);
            EXPECT_NEAR(home.x, was.x, 1e-3);
            EXPECT_NEAR(home.y, was.y, 1e-3);
        }
    }
}

TEST_F(TWGraphicPublicInterfaceTest, AKnobDragIsOneResizeStep)
{
    auto a = child(root, 100, "a");
    auto note = attach(a, Rect(0, 0, 100, 50));
    settle();
    const int steps = undo->undoStepCount();
    for (int x = 101; x < 120; ++x)
        EXPECT_EQ(note->publicResizeByMovingKnob(8, Point(float(x), 60), false, false), 8);
    EXPECT_EQ(note->publicResizeByMovingKnob(8, Point(120, 60), false, true), 8);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps + 1);
    EXPECT_EQ(undo->undoActionName(), "Resize");
    undo->undo();
    EXPECT_EQ(note->bounds(), Rect(0, 0, 100, 50));

    note->publicSetBounds(Rect(10, 10, 40, 40), true);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoActionName(), "Move Graphic");
}

} // namespace
