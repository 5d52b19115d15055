#include "CanvasTestSupport.h"

#include "canvas/TWBranchIndicatorClicks.h"
#include "canvas/TWGraphicDrags.h"
#include "canvas/TWMouseTrackers.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWRectangle.h"
#include "mapdrawing/TWBranchIndicators.h"
#include "model/TWHyperlink.h"
#include "model/TWLinkServices.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>

using namespace CanvasTest;

namespace {

// The document window as the mouse needs it: a branch added at a point
// goes there, menus and notes are counted.
class MouseHost : public FakeHost
{
public:
    using FakeHost::FakeHost;
    void addNewDefaultGraphicAtSavedLocation(Point location) override
    {
        locations.append(location);
        document->currentMap()->publicCreateChildrenOfType(-1, std::nullopt, true, location);
    }
    void prepareContextMenu(Point) override { ++menusPrepared; }
    QMenu *contextMenu(Point) override
    {
        ++menusOpened;
        return nullptr;
    }
    void showBranchNotes() override { ++notesShown; }
    bool editLinkBackInGraphic(const std::shared_ptr<TWGraphic> &) override
    {
        ++linkBackEdits;
        return true;
    }
    QList<Point> locations;
    int menusPrepared = 0;
    int menusOpened = 0;
    int notesShown = 0;
    int linkBackEdits = 0;
};

// A collapse sign right of every shape that has children.
class SignLayout : public BranchTest::RecordingLayout
{
public:
    Rect boundsOfShowAndHideImage(TWMapBranch &branch) override
    {
        if (branch.countOfChildren() == 0 || !branch.mainGraphic())
            return {};
        const Rect shape = branch.mainGraphic()->bounds();
        return Rect(shape.maxX() + 2, shape.midY() - 6.5f, 13, 13);
    }
};

// A rectangle that notes whether each resize step kept the aspect ratio.
class RecordingRectangle : public TWRectangle
{
public:
    using TWRectangle::TWRectangle;
    int resizeByMovingKnob(int knob, Point point, bool naturalAspectRatio) override
    {
        natural.append(naturalAspectRatio);
        return TWRectangle::resizeByMovingKnob(knob, point, naturalAspectRatio);
    }
    QList<bool> natural;
};

class RecordingOpener : public TWLinkOpener
{
public:
    bool openURL(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    bool revealFile(const QString &) override { return true; }
    QList<QUrl> opened;
};

} // namespace

class CanvasMouse : public CanvasFixture
{
protected:
    CanvasMouse() : mouseHost(document)
    {
        map->setLayoutServices(signs);
        view.setDocument(&mouseHost);
        a = child(root, 100, "a");
        b = child(root, 300, "b");
        settle();
    }
    ~CanvasMouse() override { view.setDocument(nullptr); }

    void send(QEvent::Type type, QPointF at, Qt::KeyboardModifiers modifiers = {},
              Qt::MouseButton button = Qt::LeftButton)
    {
        const Qt::MouseButton pressed = type == QEvent::MouseMove ? Qt::NoButton : button;
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent event(type, at, view.viewport()->mapToGlobal(at), pressed, held, modifiers);
        QCoreApplication::sendEvent(view.viewport(), &event);
    }
    // Map points (zoom 100, not scrolled) are viewport points.
    void click(Point at, Qt::KeyboardModifiers modifiers = {})
    {
        send(QEvent::MouseButtonPress, at.toQt(), modifiers);
        send(QEvent::MouseButtonRelease, at.toQt(), modifiers);
    }
    void drag(Point from, Point to, Qt::KeyboardModifiers modifiers = {})
    {
        send(QEvent::MouseButtonPress, from.toQt(), modifiers);
        send(QEvent::MouseMove, to.toQt(), modifiers);
        send(QEvent::MouseButtonRelease, to.toQt(), modifiers);
    }
    // A new branch of that shape under the root, the shape alone selected.
    template <class Shape> std::shared_ptr<Shape> selectedShape(Rect bounds)
    {
        auto shape = TWGraphic::make<Shape>(bounds);
        TWMapBranch::createWithGraphic(shape, root.get(), map.get());
        map->removeAllSelectedGraphics();
        map->insertObjectInSelectedGraphicsAtIndex(shape, 0);
        settle();
        return shape;
    }
    static Point centreOf(const TWGraphic &g)
    {
        return Point(g.bounds().midX(), g.bounds().midY());
    }
    void hover(Point at)
    {
        QMouseEvent event(QEvent::MouseMove, at.toQt(), view.viewport()->mapToGlobal(at.toQt()),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &event);
    }

    std::shared_ptr<SignLayout> signs = std::make_shared<SignLayout>();
    MouseHost mouseHost;
    std::shared_ptr<TWMapBranch> a, b;
};

TEST_F(CanvasMouse, ControlClickNeverSelectsAndOpensTheMenuOnTheNextPass)
{
    const std::shared_ptr<TWTextArea> editing = a->enclosedTextArea();
    for (const Point at : {centreOf(*root->mainGraphic()), Point(40, 40)}) {
        mouseHost.menusPrepared = mouseHost.menusOpened = 0;
        map->removeAllSelectedGraphics();
        editing->setIsEditing(true);
        view.setEditingTextArea(editing);
        click(at, Qt::MetaModifier);
        EXPECT_EQ(map->countOfSelectedGraphics(), 0);
        EXPECT_TRUE(editing->isEditing());
        EXPECT_EQ(mouseHost.menusPrepared, 1);
        EXPECT_EQ(mouseHost.menusOpened, 0);
        EXPECT_TRUE(waitUntil([&] { return mouseHost.menusOpened == 1; }));
        EXPECT_FALSE(view.isTracking());
    }
    // The right button takes the same way.
    mouseHost.menusPrepared = mouseHost.menusOpened = 0;
    QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(40, 40));
    QCoreApplication::sendEvent(view.viewport(), &right);
    EXPECT_EQ(mouseHost.menusPrepared, 1);
    EXPECT_TRUE(waitUntil([&] { return mouseHost.menusOpened == 1; }));
    view.setEditingTextArea(nullptr);
    editing->setIsEditing(false);
}

TEST_F(CanvasMouse, OptionClicksOpenTheLinksOfALabelsHyperlinkAreas)
{
    RecordingOpener opener;
    TWLinkServices::Scope scope({&opener, nullptr, nullptr});
    const Rect text = a->enclosedTextArea()->bounds();
    a->hyperlinkTooltipInfoForUpdate().append(QVariantMap{
        {QStringLiteral("rect"), Rect(text.x(), text.y(), text.width(), text.height()).toString()},
        {QStringLiteral("nsurl"), QUrl(QStringLiteral("http://example.org/in-label"))}});
    a->hyperlinkTooltipInfoForUpdate().append(QVariantMap{{QStringLiteral("ttid"), 3}});
    const Point inside = centreOf(*a->enclosedTextArea());
    ASSERT_EQ(map->graphicUnderPoint(inside, nullptr), a->enclosedTextArea());
    click(inside);
    EXPECT_TRUE(opener.opened.isEmpty());
    click(inside, Qt::AltModifier);
    EXPECT_EQ(opener.opened, QList<QUrl>({QUrl(QStringLiteral("http://example.org/in-label"))}));
    // The click goes on: without a reparenting drag it selects the label.
    EXPECT_TRUE(map->isGraphicSelected(a->enclosedTextArea().get()));
}

TEST_F(CanvasMouse, CommandClickOnEmptyCanvasAddsABranchAtThePoint)
{
    struct Case
    {
        Qt::KeyboardModifiers modifiers;
        bool namedAddBranch;
    };
    for (const Case c :
         {Case{Qt::ControlModifier, false}, Case{Qt::ControlModifier | Qt::AltModifier, true}}) {
        // Editing the branch added last scrolled it into view.
        view.scrollRectToVisible(Rect(0, 0, 1, 1));
        select({a});
        settle();
        const int children = a->countOfChildren();
        click(Point(150, 400), c.modifiers);
        ASSERT_EQ(a->countOfChildren(), children + 1);
        const auto added = a->children().last();
        EXPECT_EQ(mouseHost.locations.last(), Point(150, 400));
        EXPECT_EQ(view.savedLocation(), Point(150, 400));
        EXPECT_TRUE(added->enclosedTextArea()->isEditing());
        EXPECT_EQ(undo->undoActionName() == QStringLiteral("Add Branch"), c.namedAddBranch)
            << undo->undoActionName().toStdString();
        added->enclosedTextArea()->setIsEditing(false);
        settle();
    }
    // Nothing selected: the root takes the child.
    map->removeAllSelectedGraphics();
    const int rootChildren = root->countOfChildren();
    click(Point(40, 40), Qt::ControlModifier);
    EXPECT_EQ(root->countOfChildren(), rootChildren + 1);
    root->children().last()->enclosedTextArea()->setIsEditing(false);
}

TEST_F(CanvasMouse, TheZoomToolZoomsByClickOptionClickAndBox)
{
    const QSize port = view.viewport()->size();
    struct Case
    {
        const char *what;
        float before;
        Qt::KeyboardModifiers modifiers;
        QSize box; // empty: a click
        bool locked;
        float after;
    };
    const Case cases[] = {
        {"option-click at 25 stops at 20", 25, Qt::AltModifier, QSize(), false, 20},
        {"option-click at 100", 100, Qt::AltModifier, QSize(), true, 66.6f},
        {"click at 400 stops at 500", 400, {}, QSize(), false, 500},
        {"click at 100", 100, {}, QSize(), true, 150},
        {"a 20 x 10 box is a click", 100, {}, QSize(20, 10), false, 150},
        {"a box the view's size", 100, {}, port, false, 98},
        {"a box twice the view's width zooms out",
         100,
         {},
         QSize(port.width() * 2, port.height()),
         false,
         49},
    };
    for (const Case &c : cases) {
        map->setZoomAmount(c.before);
        view.mapGeometryDidChange();
        view.horizontalScrollBar()->setValue(0);
        view.verticalScrollBar()->setValue(0);
        view.setDrawingMode(TWGraphicView::ZoomMode);
        view.setModeLockedIn(c.locked);
        const qreal z = c.before / 100.0;
        const QPointF from(0, 0);
        const QPointF to = c.box.isEmpty() ? from : QPointF(c.box.width() * z, c.box.height() * z);
        send(QEvent::MouseButtonPress, from, c.modifiers);
        EXPECT_TRUE(view.isTracking()) << c.what;
        if (to != from)
            send(QEvent::MouseMove, to, c.modifiers);
        EXPECT_EQ(map->zoomAmount(), c.before) << c.what; // nothing before the release
        send(QEvent::MouseButtonRelease, to, c.modifiers);
        EXPECT_FLOAT_EQ(map->zoomAmount(), c.after) << c.what;
        EXPECT_EQ(view.rubberbandRect(), Rect()) << c.what;
        EXPECT_EQ(view.drawingMode(),
                  c.locked ? TWGraphicView::ZoomMode : TWGraphicView::SelectMode)
            << c.what;
    }
}

TEST_F(CanvasMouse, RubberBandSelectsWhatItTouchesAndShiftInvertsIt)
{
    const Point start(450, 50);
    // Plain: a and b are touched, the old selection goes.
    select({root});
    drag(start, Point(600, 340));
    QStringList names = selectedNames();
    names.removeDuplicates();
    names.sort();
    EXPECT_EQ(names, QStringList({"a", "b"}));
    EXPECT_EQ(view.rubberbandRect(), Rect());
    EXPECT_TRUE(map->rubberbandGraphics().isEmpty());

    // Shift: a's graphics stay selected only where they were not.
    select({a});
    map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 0);
    drag(start, Point(600, 340), Qt::ShiftModifier);
    EXPECT_FALSE(map->isGraphicSelected(a->mainGraphic().get()));
    EXPECT_FALSE(map->isGraphicSelected(a->enclosedTextArea().get()));
    EXPECT_TRUE(map->isGraphicSelected(b->mainGraphic().get()));

    // Back to the start: the band and its set go before the release.
    map->removeAllSelectedGraphics();
    send(QEvent::MouseButtonPress, start.toQt());
    send(QEvent::MouseMove, QPointF(600, 150));
    EXPECT_EQ(view.rubberbandRect(), Rect(450, 50, 150, 100));
    EXPECT_FALSE(map->rubberbandGraphics().isEmpty());
    // With THINKWEB_CANVAS_SHOTS naming a folder, the band is kept to be looked at.
    if (const QString folder = qEnvironmentVariable("THINKWEB_CANVAS_SHOTS");
        !folder.isEmpty() && QDir().mkpath(folder))
        view.grab().save(QDir(folder).filePath(QStringLiteral("rubberband.png")));
    send(QEvent::MouseMove, start.toQt());
    EXPECT_EQ(view.rubberbandRect(), Rect());
    EXPECT_TRUE(map->rubberbandGraphics().isEmpty());
    send(QEvent::MouseButtonRelease, start.toQt());
    EXPECT_EQ(map->countOfSelectedGraphics(), 0);
}

TEST_F(CanvasMouse, TheRubberBandRectangleCoversWholePoints)
{
    EXPECT_EQ(dragRectangle(Point(10.5f, 20.7f), Point(5.2f, 30.1f)), Rect(5, 20, 6, 10));
    EXPECT_EQ(dragRectangle(Point(3, 3), Point(3, 3)), Rect(3, 3, 0, 0));
}

TEST_F(CanvasMouse, AdornmentIconsAreNeverSelectedByARubberBand)
{
    auto icon = TWGraphic::createWithBounds(Rect(520, 110, 10, 10));
    icon->setBranch(a.get());
    a->insertObjectInOtherEnclosedGraphicsAtIndex(
        std::make_shared<TWEnclosedGraphic>(QStringLiteral("star"), QStringLiteral("a/star.png"),
                                            icon),
        0);
    settle();
    drag(Point(450, 50), Point(600, 150));
    EXPECT_FALSE(map->isGraphicSelected(icon.get()));
    EXPECT_TRUE(map->isGraphicSelected(a->mainGraphic().get()));
}

TEST_F(CanvasMouse, TheCollapseSignActsOnAReleaseInsideAndYieldsToAKnob)
{
    auto grandchild = child(a, 100, "a1", 700);
    map->setShowCollapseSign(true);
    settle();
    const Rect sign = signs->boundsOfShowAndHideImage(*a);
    const Point inside(sign.midX(), sign.midY());
    struct Case
    {
        const char *what;
        Point release;
        int hideLevel;
        bool hiddenAfter;
        int hideLevelAfter;
    };
    const Case cases[] = {
        {"released outside", Point(sign.maxX() + 30, sign.midY()), 999, false, 999},
        {"released inside collapses", inside, 999, true, 999},
        {"at the hide level the level rises", inside, 1, false, 2},
    };
    for (const Case &c : cases) {
        a->setChildrenHidden(false);
        map->setBranchHideLevel(c.hideLevel);
        map->removeAllSelectedGraphics();
        settle();
        drag(inside, c.release);
        EXPECT_EQ(a->childrenHidden(), c.hiddenAfter) << c.what;
        EXPECT_EQ(map->branchHideLevel(), c.hideLevelAfter) << c.what;
        EXPECT_EQ(map->countOfSelectedGraphics(), 0) << c.what;
    }
    map->setBranchHideLevel(999);

    // A selected shape whose knob reaches over the sign: the knob is dragged.
    a->setChildrenHidden(false);
    select({});
    map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 0);
    settle();
    const Point press(sign.x() + 1, sign.midY());
    ASSERT_EQ(a->mainGraphic()->knobUnderPoint(press), 5);
    drag(press, Point(press.x + 40, press.y));
    EXPECT_FALSE(a->childrenHidden());
    EXPECT_FLOAT_EQ(a->mainGraphic()->bounds().maxX(), press.x + 40);
}

TEST_F(CanvasMouse, KnobTrackingReadsShiftAtEveryStepAndIsOneResize)
{
    auto shape = selectedShape<RecordingRectangle>(Rect(100, 300, 80, 40));
    const Rect before = shape->bounds();
    const int steps = undo->undoStepCount();
    const Point knob = shape->knobPoint(8);
    send(QEvent::MouseButtonPress, knob.toQt());
    send(QEvent::MouseMove, QPointF(200, 350), Qt::ShiftModifier);
    send(QEvent::MouseMove, QPointF(210, 360));
    send(QEvent::MouseMove, QPointF(220, 370), Qt::ShiftModifier);
    send(QEvent::MouseButtonRelease, QPointF(220, 370));
    EXPECT_EQ(shape->natural, QList<bool>({false, true, false, true}));
    EXPECT_EQ(shape->bounds().maxX(), 220);
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Resize"));
    settle();
    EXPECT_EQ(undo->undoStepCount(), steps + 1);
    undo->undo();
    EXPECT_EQ(shape->bounds(), before);
}

TEST_F(CanvasMouse, AKnobDraggedAcrossTheGraphicBecomesItsOpposite)
{
    auto shape = selectedShape<TWRectangle>(Rect(100, 300, 80, 40));
    send(QEvent::MouseButtonPress, shape->knobPoint(5).toQt());
    // (The shape's height follows its label, which wraps as it narrows.)
    send(QEvent::MouseMove, QPointF(60, 320));
    EXPECT_EQ(shape->bounds().minX(), 60);
    EXPECT_EQ(shape->bounds().maxX(), 100);
    // The left edge is held now.
    send(QEvent::MouseMove, QPointF(50, 320));
    send(QEvent::MouseButtonRelease, QPointF(50, 320));
    EXPECT_EQ(shape->bounds().minX(), 50);
    EXPECT_EQ(shape->bounds().maxX(), 100);
}

TEST_F(CanvasMouse, AKnobDraggedOutsideAutoscrollsUntilItComesBack)
{
    auto shape = selectedShape<TWRectangle>(Rect(500, 380, 60, 40));
    view.setAutoscrollInterval(5);
    const int w = view.viewport()->width();
    send(QEvent::MouseButtonPress, shape->knobPoint(8).toQt());
    send(QEvent::MouseMove, QPointF(w + 30, 400));
    EXPECT_TRUE(waitUntil([&] { return view.horizontalScrollBar()->value() >= 30; }));
    const float grown = shape->bounds().maxX();
    EXPECT_GT(grown, float(w + 30)); // the knob follows the pointer into the scrolled map
    send(QEvent::MouseMove, QPointF(w - 100, 400));
    const int stopped = view.horizontalScrollBar()->value();
    QTest::qWait(30);
    EXPECT_EQ(view.horizontalScrollBar()->value(), stopped);
    send(QEvent::MouseButtonRelease, QPointF(w - 100, 400));
    EXPECT_FALSE(view.isTracking());
}

TEST_F(CanvasMouse, ALayoutFlipEndsTheResizeWhereItStands)
{
    auto shape = selectedShape<TWRectangle>(Rect(100, 300, 80, 40));
    send(QEvent::MouseButtonPress, shape->knobPoint(8).toQt());
    send(QEvent::MouseMove, QPointF(200, 350));
    const Rect flipped = shape->bounds();
    NotificationCenter::defaultCenter().post(TWGraphicView::ResizedGraphicFlippedNotification,
                                             NotificationObject(shape));
    send(QEvent::MouseMove, QPointF(250, 380));
    send(QEvent::MouseButtonRelease, QPointF(250, 380));
    EXPECT_EQ(shape->bounds(), flipped);
    EXPECT_NE(undo->undoActionName(), QStringLiteral("Resize"));
}

TEST_F(CanvasMouse, LinkLinesGoFromGraphicToGraphicOnly)
{
    struct Case
    {
        const char *what;
        Qt::KeyboardModifiers modifiers;
        int mode;
        Point release;
        int lines;
    };
    const Point toB = centreOf(*b->mainGraphic());
    const Case cases[] = {
        {"command-drag onto a branch", Qt::ControlModifier, TWGraphicView::SelectMode, toB, 1},
        {"link tool onto a branch", {}, TWGraphicView::LinkLineMode, toB, 1},
        {"onto empty canvas", Qt::ControlModifier, TWGraphicView::SelectMode, Point(40, 460), 0},
    };
    for (const Case &c : cases) {
        while (map->countOfLinkLines() > 0)
            map->publicDeleteLinkLineAtIndex(0);
        settle();
        view.setDrawingMode(c.mode);
        send(QEvent::MouseButtonPress, centreOf(*a->mainGraphic()).toQt(), c.modifiers);
        EXPECT_EQ(view.drawingMode(), TWGraphicView::LinkLineMode) << c.what;
        send(QEvent::MouseMove, c.release.toQt(), c.modifiers);
        EXPECT_EQ(document->tempLinkLineStartGraphic(), a->mainGraphic()) << c.what;
        EXPECT_EQ(view.animatingGraphic(), c.lines ? b->mainGraphic() : nullptr) << c.what;
        send(QEvent::MouseButtonRelease, c.release.toQt(), c.modifiers);
        EXPECT_EQ(map->countOfLinkLines(), c.lines) << c.what;
        EXPECT_EQ(document->tempLinkLineStartGraphic(), nullptr) << c.what;
        EXPECT_EQ(view.animatingGraphic(), nullptr) << c.what;
        EXPECT_EQ(view.drawingMode(), TWGraphicView::SelectMode) << c.what;
    }
}

TEST_F(CanvasMouse, TheLinkTargetOfAGraphic)
{
    auto attached = TWGraphic::createWithBounds(Rect(600, 110, 20, 20));
    attached->setBranch(a.get());
    a->insertObjectInLinkedGraphicsAtIndex(attached, 0);
    map->publicCreateLinkLineFromGraphic(a->mainGraphic(), b->mainGraphic(), Point(), true);
    settle();
    ASSERT_EQ(map->countOfLinkLines(), 1);
    struct Case
    {
        const char *what;
        std::shared_ptr<TWGraphic> graphic;
        std::shared_ptr<TWGraphic> target;
    };
    const Case cases[] = {
        {"nothing", nullptr, nullptr},
        {"a label", a->enclosedTextArea(), a->mainGraphic()},
        {"an attached graphic", attached, attached},
        {"a connection", a->connectionGraphic(), nullptr},
        {"a link line", map->linkLines().first(), nullptr},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TWGraphicView::graphicForLinkingToFromGraphic(c.graphic), c.target) << c.what;
}

TEST_F(CanvasMouse, TheLinkDragHighlightStepsEveryFifthTick)
{
    send(QEvent::MouseButtonPress, centreOf(*a->mainGraphic()).toQt(), Qt::ControlModifier);
    send(QEvent::MouseMove, centreOf(*b->mainGraphic()).toQt(), Qt::ControlModifier);
    EXPECT_EQ(view.animationStep(), 0);
    QTest::qWait(TWLinkLineTracker::TickInterval * 4 + 50);
    EXPECT_LE(view.animationStep(), 1);
    EXPECT_TRUE(waitUntil([&] { return view.animationStep() >= 1; }));
    EXPECT_EQ(b->mainGraphic()->animationStep(), view.animationStep());
    send(QEvent::MouseButtonRelease, centreOf(*b->mainGraphic()).toQt(), Qt::ControlModifier);
    EXPECT_EQ(b->mainGraphic()->animationStep(), 0);
}

TEST_F(CanvasMouse, ThePointerHighlightFollowsInTheAddGraftAndLinkTools)
{
    for (int mode = 0; mode < 8; ++mode) {
        if (mode == TWGraphicView::PanMode || mode == TWGraphicView::ZoomMode)
            continue;
        view.setDrawingMode(mode);
        const bool follows = mode == 1 || mode == 2 || mode == 4 || mode == 5;
        hover(centreOf(*a->enclosedTextArea()));
        EXPECT_EQ(view.animatingGraphic(), follows ? a->mainGraphic() : nullptr) << mode;
        view.stepAnimation();
        EXPECT_EQ(a->mainGraphic()->animationStep(), follows ? 1 : 0) << mode;
        hover(Point(40, 460));
        EXPECT_EQ(view.animatingGraphic(), nullptr) << mode;
        EXPECT_EQ(a->mainGraphic()->animationStep(), 0) << mode;
    }
}

TEST_F(CanvasMouse, AddToolsGrowTheClickedBranchOrFallBackToSelecting)
{
    struct Case
    {
        int mode;
        bool locked;
        bool onBranch;
        int aChildren, rootChildren;
        int modeAfter;
    };
    const Case cases[] = {
        {TWGraphicView::AddChildMode, false, true, 1, 2, TWGraphicView::SelectMode},
        {TWGraphicView::AddChildMode, true, true, 1, 2, TWGraphicView::AddChildMode},
        {TWGraphicView::AddSiblingMode, false, true, 0, 3, TWGraphicView::SelectMode},
        {TWGraphicView::AddChildMode, false, false, 0, 2, TWGraphicView::SelectMode},
        {TWGraphicView::AddChildMode, true, false, 0, 2, TWGraphicView::AddChildMode},
    };
    for (const Case &c : cases) {
        while (a->countOfChildren() > 0) {
            select({a->children().first()});
            map->publicDeleteSelectedBranches();
        }
        while (root->countOfChildren() > 2) {
            select({root->children().last()});
            map->publicDeleteSelectedBranches();
        }
        settle();
        // Editing the branch added last scrolled it into view.
        view.scrollRectToVisible(Rect(0, 0, 1, 1));
        view.setDrawingMode(c.mode);
        view.setModeLockedIn(c.locked);
        const Point at = c.onBranch ? centreOf(*a->mainGraphic()) : Point(40, 460);
        send(QEvent::MouseButtonPress, at.toQt());
        // Empty canvas: handled as in the select tool, so a rubber band starts.
        EXPECT_EQ(view.isTracking(), !c.onBranch);
        send(QEvent::MouseButtonRelease, at.toQt());
        EXPECT_EQ(a->countOfChildren(), c.aChildren) << c.mode << c.onBranch;
        EXPECT_EQ(root->countOfChildren(), c.rootChildren) << c.mode << c.onBranch;
        EXPECT_EQ(view.drawingMode(), c.modeAfter) << c.mode << c.locked << c.onBranch;
        for (const auto &g : map->selectedGraphics())
            if (auto text = std::dynamic_pointer_cast<TWTextArea>(g))
                text->setIsEditing(false);
    }
}

TEST_F(CanvasMouse, ShiftClicksToggleAndDoubleClicksEdit)
{
    select({a});
    click(centreOf(*b->mainGraphic()), Qt::ShiftModifier);
    EXPECT_EQ(selectedNames(), QStringList({"a", "b"}));
    click(centreOf(*b->mainGraphic()), Qt::ShiftModifier);
    EXPECT_EQ(selectedNames(), QStringList({"a"}));
    // On a knob of a selected graphic, Shift drags the knob.
    map->insertObjectInSelectedGraphicsAtIndex(b->mainGraphic(), 0);
    const Point corner = b->mainGraphic()->knobPoint(8);
    drag(corner, Point(corner.x + 20, corner.y + 10), Qt::ShiftModifier);
    EXPECT_EQ(b->mainGraphic()->bounds().maxX(), corner.x + 20);
    EXPECT_TRUE(map->isGraphicSelected(b->mainGraphic().get()));
    select({a});

    // A plain click selects alone, without moving anything.
    const Rect before = b->mainGraphic()->bounds();
    drag(centreOf(*b->mainGraphic()), Point(500, 500));
    QStringList names = selectedNames();
    names.removeDuplicates();
    EXPECT_EQ(names, QStringList({"b"}));
    EXPECT_EQ(b->mainGraphic()->bounds(), before);

    // Double clicks: the shape edits its label, LinkBack content opens its editor.
    const Point shapePoint(b->mainGraphic()->bounds().x() + 2, b->mainGraphic()->bounds().y() + 2);
    send(QEvent::MouseButtonDblClick, shapePoint.toQt());
    send(QEvent::MouseButtonRelease, shapePoint.toQt());
    EXPECT_TRUE(b->enclosedTextArea()->isEditing());
    EXPECT_EQ(map->countOfSelectedGraphics(), 1);
    b->enclosedTextArea()->setIsEditing(false);

    b->mainGraphic()->setLinkBackData(QVariantMap{{QStringLiteral("server"), 1}});
    send(QEvent::MouseButtonDblClick, shapePoint.toQt());
    send(QEvent::MouseButtonRelease, shapePoint.toQt());
    EXPECT_EQ(mouseHost.linkBackEdits, 1);
    EXPECT_FALSE(b->enclosedTextArea()->isEditing());
}

namespace {

// A stand-in for the move and reparent drags, reporting what it was asked.
class FakeDrags : public TWGraphicDrags
{
public:
    struct Move : TWDragTracker
    {
        explicit Move(FakeDrags *d) : drags(d) {}
        void move(TWGraphicView &, QPointF) override { ++drags->moves; }
        FakeDrags *drags;
    };
    struct Reparent : TWReparentTracker
    {
        Reparent(Result r, std::shared_ptr<TWMapBranch> branch) : r(r), branch(std::move(branch)) {}
        // Something to undo, so that the drag's step is kept and named.
        void end(TWGraphicView &, QPointF) override { branch->moveBranchBy(1, 0, true); }
        void move(TWGraphicView &, QPointF) override {}
        Result result() const override { return r; }
        Result r;
        std::shared_ptr<TWMapBranch> branch;
    };
    std::unique_ptr<TWDragTracker> moveSelectedGraphic(TWGraphicView &, QPointF) override
    {
        ++movesStarted;
        return std::make_unique<Move>(this);
    }
    std::unique_ptr<TWReparentTracker> reparentSelectedGraphic(TWGraphicView &view, QPointF,
                                                               bool forced, Point) override
    {
        forcedReparents += forced;
        const auto selected = view.map()->selectedGraphics().first();
        return std::make_unique<Reparent>(result, selected->branch()->shared_from_this());
    }
    void forgetCoordinates() override { ++forgotten; }
    int movesStarted = 0, moves = 0, forcedReparents = 0, forgotten = 0;
    TWReparentTracker::Result result = TWReparentTracker::Grafted;
};

} // namespace

TEST_F(CanvasMouse, InstalledDragsMoveAndReparentFromTheirPresses)
{
    auto drags = std::make_shared<FakeDrags>();
    view.setGraphicDrags(drags);
    select({a});
    drag(centreOf(*b->mainGraphic()), Point(500, 500));
    EXPECT_EQ(drags->movesStarted, 1);
    EXPECT_EQ(drags->moves, 1);
    EXPECT_GE(drags->forgotten, 1);

    struct Case
    {
        TWReparentTracker::Result result;
        QString name;
    };
    for (const Case &c : {Case{TWReparentTracker::Grafted, QStringLiteral("Graft Branch")},
                          Case{TWReparentTracker::Reordered, QStringLiteral("Move")}}) {
        drags->result = c.result;
        map->removeAllSelectedGraphics();
        drag(centreOf(*b->mainGraphic()), Point(500, 500), Qt::AltModifier);
        EXPECT_EQ(undo->undoActionName(), c.name);
        EXPECT_EQ(selectedNames(), QStringList({"b"}));
        settle();
    }
    // The graft tool reparents without Option and is one-shot.
    view.setDrawingMode(TWGraphicView::GraftMode);
    drag(centreOf(*a->mainGraphic()), Point(500, 500));
    EXPECT_EQ(drags->forcedReparents, 3);
    EXPECT_EQ(view.drawingMode(), TWGraphicView::SelectMode);
    view.setGraphicDrags(nullptr);
}

TEST_F(CanvasMouse, AnAdornmentDragCarriesItsPathAndForgetsItWhenItEnds)
{
    auto icon = TWGraphic::createWithBounds(Rect(590, 110, 10, 10));
    icon->setBranch(a.get());
    auto record = std::make_shared<TWEnclosedGraphic>(QStringLiteral("star"),
                                                      QStringLiteral("Adornments/star.png"), icon);
    a->insertObjectInOtherEnclosedGraphicsAtIndex(record, 0);
    settle();
    int drags = 0;
    std::shared_ptr<TWEnclosedGraphic> during;
    QByteArray carried;
    view.setDragExecutor([&](QDrag &drag) {
        ++drags;
        during = view.draggingEnclosedGraphic();
        carried = drag.mimeData()->data(TWGraphicView::AdornmentPasteboardType);
    });
    ASSERT_EQ(map->graphicUnderPoint(Point(595, 115), nullptr), icon);
    send(QEvent::MouseButtonPress, QPointF(595, 115));
    send(QEvent::MouseButtonRelease, QPointF(595, 115));
    EXPECT_EQ(drags, 1);
    EXPECT_EQ(during, record);
    EXPECT_EQ(carried, QByteArray("Adornments/star.png"));
    EXPECT_EQ(view.draggingEnclosedGraphic(), nullptr);
    view.setDragExecutor(nullptr);
}

TEST_F(CanvasMouse, ToolModesEndRapidEntryAndShowTheirCursors)
{
    Recorder modes({TWGraphicView::DrawingModeDidChangeNotification});
    const std::shared_ptr<TWTextArea> text = a->enclosedTextArea();
    struct Case
    {
        int from, to;
        bool editingAfter;
        QString cursor;
    };
    const Case cases[] = {
        {TWGraphicView::RapidEntryMode, TWGraphicView::SelectMode, false, QString()},
        {TWGraphicView::RapidEntryMode, TWGraphicView::RapidEntryMode, true,
         QStringLiteral("cursorZap")},
        {TWGraphicView::SelectMode, TWGraphicView::AddChildMode, true,
         QStringLiteral("cursorAddChild")},
        {TWGraphicView::SelectMode, TWGraphicView::GraftMode, true, QStringLiteral("cursorGraft")},
        {TWGraphicView::SelectMode, TWGraphicView::PanMode, true, QStringLiteral("HandCursor")},
    };
    for (const Case &c : cases) {
        view.setDrawingMode(c.from);
        text->setIsEditing(true);
        view.setEditingTextArea(text);
        modes.clear();
        view.setDrawingMode(c.to);
        EXPECT_EQ(text->isEditing(), c.editingAfter) << c.from << c.to;
        EXPECT_EQ(view.modeCursorName(), c.cursor) << c.to;
        EXPECT_EQ(modes.notifications.size(), 1);
        text->setIsEditing(false);
        view.setEditingTextArea(nullptr);
    }
    // Setting the mode again keeps its lock.
    view.lockDrawingMode();
    view.setDrawingMode(TWGraphicView::PanMode);
    EXPECT_TRUE(view.modeLockedIn());
    view.setDrawingMode(TWGraphicView::SelectMode);
    EXPECT_FALSE(view.modeLockedIn());

    // Option swaps the zoom cursors, in the zoom tool only.
    for (const int mode : {int(TWGraphicView::ZoomMode), int(TWGraphicView::LinkLineMode)}) {
        view.setDrawingMode(mode);
        const QString plain = view.modeCursorName();
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
        QCoreApplication::sendEvent(&view, &down);
        EXPECT_EQ(view.modeCursorName(),
                  mode == TWGraphicView::ZoomMode ? QStringLiteral("zoomOutCursor") : plain);
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &up);
        EXPECT_EQ(view.modeCursorName(), plain);
    }
}

// --- indicator clicks, without a canvas ---

class IndicatorClicks : public BranchTest::BranchFixture
{
protected:
    void clickBox(const std::shared_ptr<TWMapBranch> &branch, Qt::KeyboardModifiers mods = {})
    {
        const Rect box = TWBranchIndicators::boundsOfCheckbox(*branch);
        ASSERT_NE(box, Rect());
        TWBranchIndicatorClicks::handleClickAtPoint(*branch, Point(box.midX(), box.midY()), mods,
                                                    nullptr);
    }
};

TEST_F(IndicatorClicks, CheckBoxesStepRoundOrFollowTheirDescendants)
{
    auto top = child(root, 100, "top");
    auto kid1 = child(top, 100, "kid1", 700);
    auto kid2 = child(top, 150, "kid2", 700);
    auto other = child(root, 300, "other");
    for (const auto &b : {top, kid1, kid2, other})
        b->setShowCheckBox(true);
    settle();

    // The user's own boxes: 0, 1, -1, 0; other values stay.
    const int manual[][2] = {{0, 1}, {1, -1}, {-1, 0}, {7, 7}};
    for (const auto &step : manual) {
        top->setCheckBoxState(step[0]);
        clickBox(top);
        EXPECT_EQ(top->checkBoxState(), step[1]) << step[0];
    }
    EXPECT_EQ(TWBranchIndicatorClicks::nextAutomaticCheckBoxState(0), 1);
    EXPECT_EQ(TWBranchIndicatorClicks::nextAutomaticCheckBoxState(1), -1);
    EXPECT_EQ(TWBranchIndicatorClicks::nextAutomaticCheckBoxState(-1), 0);

    // Automatic: the shown state decides, the subtree and the selection follow.
    map->branchDisplaySettingsForUpdate().automaticCheckBoxes = true;
    top->setChildrenHidden(true);
    kid1->setCheckBoxState(1);
    kid2->setCheckBoxState(1);
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(other->mainGraphic(), 0);
    const int rounds[] = {-1, 0, 1};
    for (const int expected : rounds) {
        top->setChildrenHidden(false);
        clickBox(top);
        for (const auto &b : {top, kid1, kid2, other})
            EXPECT_EQ(b->checkBoxState(), expected) << BranchTest::nameOf(*b).toStdString();
    }
    EXPECT_EQ(root->checkBoxState(), 0);
}

TEST_F(IndicatorClicks, HyperlinkIconsFollowUnlessOptionIsHeld)
{
    RecordingOpener opener;
    TWLinkServices::Scope scope({&opener, nullptr, nullptr});
    auto linked = child(root, 100, "linked");
    linked->insertObjectInHyperlinksAtIndex(
        std::make_shared<TWHyperlink>(TWHyperlink::URL, QStringLiteral("http://example.org/a"),
                                      std::nullopt, std::nullopt, std::nullopt),
        0);
    settle();
    const Rect icon = TWBranchIndicators::boundsOfHyperlinkAtIndex(*linked, 0);
    ASSERT_NE(icon, Rect());
    const Point at(icon.midX(), icon.midY());
    TWBranchIndicatorClicks::handleClickAtPoint(*linked, at, Qt::AltModifier, nullptr);
    EXPECT_TRUE(opener.opened.isEmpty());
    TWBranchIndicatorClicks::handleClickAtPoint(*linked, at, {}, nullptr);
    EXPECT_EQ(opener.opened, QList<QUrl>({QUrl(QStringLiteral("http://example.org/a"))}));
}
