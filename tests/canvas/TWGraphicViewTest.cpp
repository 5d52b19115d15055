#include "CanvasTestSupport.h"
#include "TestSupport.h"

#include "canvas/TWDragTracker.h"
#include "canvas/TWPoofWindow.h"
#include "graphics/TWLinkLine.h"
#include "graphics/TWRectHolder.h"

#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

using namespace CanvasTest;

namespace {

Rect markedRect(const QSignalSpy &spy, int index)
{
    return spy.at(index).at(0).value<Rect>();
}

void postRedraw(const QString &name, const std::shared_ptr<TWMap> &map, Rect rect)
{
    NotificationCenter::defaultCenter().post(
        name, nullptr,
        {{TWMap::RectKey, rect.toQt()},
         {TWMap::MapKey, QVariant::fromValue(NotificationObject(map))}});
}

} // namespace

class CanvasRedraw : public CanvasFixture
{
protected:
    CanvasRedraw() : spy(&view, &TWGraphicView::displayMarked) {}
    QSignalSpy spy;
};

TEST_F(CanvasRedraw, MarkedRectanglesAreTruncatedTowardZeroAndGrownByFour)
{
    struct Case
    {
        Rect given;
        Rect marked;
    };
    const Case cases[] = {
        {Rect(10.7f, 20.2f, 5.5f, 5.9f), Rect(6, 16, 13, 13)},
        {Rect(-3.5f, -0.5f, 1.9f, 2.1f), Rect(-7, -4, 9, 10)},
        {Rect(0, 0, 0, 0), Rect(-4, -4, 8, 8)},
    };
    Recorder navigator({TWGraphicView::NavigatorNeedsUpdateNotification});
    for (const Case &c : cases) {
        spy.clear();
        view.setNeedsDisplayInRect(c.given);
        ASSERT_EQ(spy.size(), 1);
        EXPECT_EQ(markedRect(spy, 0), c.marked);
    }
    EXPECT_EQ(navigator.count(TWGraphicView::NavigatorNeedsUpdateNotification), 3);
    EXPECT_EQ(navigator.notifications.first().sender, NotificationObject(&host));
}

TEST_F(CanvasRedraw, DisplayIfNeededPaintsWhatWasMarkedAndNothingElse)
{
    struct PaintRecorder : QObject
    {
        QList<QRect> painted;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                painted << static_cast<QPaintEvent *>(event)->rect();
            return false;
        }
    };
    struct Case
    {
        const char *what;
        QList<Rect> marks;
        bool batched;
        QRect expected; // the paint's extent, empty for no paint
    } cases[] = {
        {"nothing marked", {}, false, QRect()},
        {"one mark, grown by four", {Rect(10, 10, 20, 20)}, false, QRect(6, 6, 28, 28)},
        {"two marks", {Rect(10, 10, 20, 20), Rect(100, 60, 10, 10)}, false, QRect(6, 6, 108, 68)},
        {"a batch", {Rect(10, 10, 20, 20), Rect(100, 60, 10, 10)}, true, QRect(6, 6, 108, 68)},
        {"off the view", {Rect(5000, 5000, 10, 10)}, false, QRect()},
    };
    view.show();
    while (!view.windowHandle() || !view.windowHandle()->isExposed())
        QCoreApplication::processEvents();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // Whatever showing or an earlier case left is painted first.
        QCoreApplication::processEvents();
        PaintRecorder recorder;
        view.viewport()->installEventFilter(&recorder);
        if (c.batched)
            view.beginMarkBatch();
        for (const Rect &mark : c.marks)
            view.setNeedsDisplayInRect(mark);
        if (c.batched)
            view.endMarkBatch();
        view.displayIfNeeded();
        view.viewport()->removeEventFilter(&recorder);
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(recorder.painted.isEmpty());
        } else {
            ASSERT_EQ(recorder.painted.size(), 1);
            EXPECT_EQ(recorder.painted.first(), c.expected);
        }
    }
}

TEST_F(CanvasRedraw, DelayedDisplayOfNothingMarksNothing)
{
    view.setNeedsDelayedDisplayInRect(Rect());
    EXPECT_EQ(spy.size(), 0);
    view.setNeedsDelayedDisplayInRect(Rect(10, 10, 10, 10));
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(markedRect(spy, 0), Rect(6, 6, 18, 18));
    EXPECT_EQ(view.pendingDisplayRect(), Rect());
}

TEST_F(CanvasRedraw, RedrawNotificationsConcernTheShownMapExceptGraphicRedraws)
{
    auto otherMap = TWMap::create(document.get());
    auto otherDocument = TWMapsDoc::create();
    auto foreignMap = TWMap::create(otherDocument.get());
    otherDocument->addMap(foreignMap, true);
    auto foreign = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 50, 20)),
                                                  nullptr, foreignMap.get());
    foreignMap->setRoot(foreign);

    struct Case
    {
        const char *what;
        std::function<void()> post;
        bool marks;
    };
    const Case cases[] = {
        {"shown map", [&] { postRedraw(TWMap::RedrawInRectNotification, map, Rect(1, 1, 1, 1)); },
         true},
        {"another map",
         [&] { postRedraw(TWMap::RedrawInRectNotification, otherMap, Rect(1, 1, 1, 1)); }, false},
        {"another document's map",
         [&] { postRedraw(TWMap::RedrawInRectNotification, foreignMap, Rect(1, 1, 1, 1)); }, false},
        {"delayed, shown map",
         [&] { postRedraw(TWMap::DelayedRedrawInRectNotification, map, Rect(1, 1, 1, 1)); }, true},
        {"delayed, another map",
         [&] { postRedraw(TWMap::DelayedRedrawInRectNotification, otherMap, Rect(1, 1, 1, 1)); },
         false},
        {"graphic of another document",
         [&] {
             NotificationCenter::defaultCenter().post(TWGraphic::GraphicNeedsRedrawNotification,
                                                      NotificationObject(foreign->mainGraphic()));
         },
         true},
    };
    for (const Case &c : cases) {
        spy.clear();
        c.post();
        EXPECT_EQ(spy.size(), c.marks ? 1 : 0) << c.what;
    }
    otherDocument->detach();
}

TEST_F(CanvasRedraw, RedrawsWaitWhileTypingUntilTheCommitOrAFlush)
{
    int commits = 0;
    view.setStoredTextCommitter([&] { ++commits; });
    view.setEditingTextArea(root->enclosedTextArea());
    view.setRedrawTime(0.1);
    postRedraw(TWMap::RedrawInRectNotification, map, Rect(10, 10, 10, 10));
    postRedraw(TWMap::RedrawInRectNotification, map, Rect(50, 10, 10, 10));
    postRedraw(TWMap::RedrawInRectNotification, map, Rect(10, 40, 10, 10));
    EXPECT_EQ(spy.size(), 0);
    EXPECT_EQ(view.extraRedrawRect(), Rect(10, 10, 50, 40));

    NotificationCenter::defaultCenter().post(TWGraphicView::FlushPendingRedrawsNotification);
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(markedRect(spy, 0), Rect(6, 6, 58, 48));
    EXPECT_EQ(view.extraRedrawRect(), Rect());

    // The one scheduled commit runs; it was quick, so typing stops batching.
    EXPECT_TRUE(waitUntil([&] { return commits == 1; }));
    QTest::qWait(150);
    EXPECT_EQ(commits, 1);
    EXPECT_EQ(view.redrawTime(), 0);
}

TEST_F(CanvasRedraw, BoundsChangesOfTheShownMapMarkOldAndNewBounds)
{
    auto a = child(root, 100, "a");
    settle();
    spy.clear();
    a->mainGraphic()->setBounds(Rect(500, 400, 80, 30));
    ASSERT_GE(spy.size(), 2);
    bool old = false, now = false;
    for (int i = 0; i < spy.size(); ++i) {
        old |= markedRect(spy, i).contains(Rect(500, 100, 80, 30));
        now |= markedRect(spy, i).contains(Rect(500, 400, 80, 30));
    }
    EXPECT_TRUE(old);
    EXPECT_TRUE(now);
}

TEST_F(CanvasRedraw, ANewlySelectedBranchIsRedrawn)
{
    auto a = child(root, 100, "a");
    settle();
    spy.clear();
    map->insertObjectInSelectedGraphicsAtIndex(a->enclosedTextArea(), 0);
    EXPECT_EQ(spy.size(), 0);
    NotificationQueue::defaultQueue().flush();
    bool shape = false;
    for (int i = 0; i < spy.size(); ++i)
        shape |= markedRect(spy, i).contains(a->mainGraphic()->bounds());
    EXPECT_TRUE(shape);
}

// --- layout after edits ---

class CanvasLayout : public CanvasFixture
{};

TEST_F(CanvasLayout, MovesOfOneEventAreLaidOutOnceInThePassAfterInsideTheEditsUndoStep)
{
    map->setLayoutAssistanceMode(2);
    auto a = child(root, 100, "a");
    auto b = child(root, 300, "b");
    settle();
    const int stepsBefore = undo->undoStepCount();
    a->moveBranchBy(0, 400, true);
    b->moveBranchBy(0, 10, true);
    EXPECT_EQ(view.branchesThatHaveMoved().size(), 2);

    // Painting does not lay out.
    (void)view.renderVisibleImage();
    EXPECT_EQ(view.branchesThatHaveMoved().size(), 2);
    EXPECT_FALSE(layout->calls.contains(QStringLiteral("arrange a b")));

    undo->closeEventGroup();
    TestSupport::runEventLoopPass();
    TestSupport::runEventLoopPass();
    EXPECT_TRUE(view.branchesThatHaveMoved().isEmpty());
    EXPECT_EQ(layout->calls.count(QStringLiteral("arrange a b")), 1);
    // Re-sorted by position: a went below b.
    EXPECT_EQ(names(root->children()), QStringList({"b", "a"}));
    EXPECT_EQ(undo->undoStepCount(), stepsBefore + 1);
}

TEST_F(CanvasLayout, EachBranchIsListedOnceUntilThePassAndAgainAfterIt)
{
    map->setLayoutAssistanceMode(2);
    auto a = child(root, 100, "a");
    auto b = child(root, 300, "b");
    settle();
    struct Case
    {
        QList<std::shared_ptr<TWMapBranch>> moved;
        QStringList listed;
    };
    // Every round is laid out before the next, which must list its branches afresh.
    const QList<Case> rounds = {
        {{a, a, a}, {"a"}},
        {{a, b, a, b}, {"a", "b"}},
        {{b, a}, {"b", "a"}},
    };
    for (const Case &c : rounds) {
        for (const auto &branch : c.moved)
            view.addMovedBranch(branch);
        EXPECT_EQ(names(view.branchesThatHaveMoved()), c.listed);
        view.performPendingLayout();
        EXPECT_TRUE(view.branchesThatHaveMoved().isEmpty());
    }
    settle();
}

TEST_F(CanvasLayout, TheTightModeDoesNotReSortBeforeLayingOut)
{
    map->setLayoutAssistanceMode(3);
    auto a = child(root, 100, "a");
    auto b = child(root, 300, "b");
    settle();
    a->moveBranchBy(0, 400, true);
    // Renumbering would re-sort on its own.
    map->setOutlineNumbersNeedUpdating(false);
    view.performPendingLayout();
    EXPECT_EQ(names(root->children()), QStringList({"a", "b"}));
    EXPECT_EQ(layout->calls.count(QStringLiteral("arrange a")), 1);
    EXPECT_TRUE(view.branchesThatHaveMoved().isEmpty());
    settle();
}

TEST_F(CanvasLayout, UndoingAMoveAsksForNoLayout)
{
    auto a = child(root, 100, "a");
    settle();
    a->moveBranchBy(0, 50, true);
    finishEdit();
    undo->undo();
    EXPECT_TRUE(view.branchesThatHaveMoved().isEmpty());
}

// --- the wheel ---

class CanvasWheel : public CanvasFixture
{
protected:
    void wheel(double delta, Qt::KeyboardModifiers modifiers)
    {
        const QPointF at(100, 100);
        QWheelEvent event(at, view.viewport()->mapToGlobal(at), QPoint(),
                          QPoint(0, int(std::lround(delta * 120))), Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view.viewport(), &event);
    }
};

TEST_F(CanvasWheel, CommandZoomsAndOptionScalesWithinTheirLimits)
{
    struct Case
    {
        const char *what;
        Qt::KeyboardModifiers modifiers;
        bool pageFrames;
        float zoom, scale;
        double delta;
        float zoomAfter, scaleAfter;
    };
    const Case cases[] = {
        {"zoom clamps low", Qt::ControlModifier, false, 30, 100, -15, 20, 100},
        {"zoom clamps high", Qt::ControlModifier, false, 390, 100, 15, 400, 100},
        {"zoom by delta", Qt::ControlModifier, false, 100, 100, 2, 102, 100},
        {"small scale step up", Qt::AltModifier, true, 100, 100, 0.3, 100, 101},
        {"small scale step down", Qt::AltModifier, true, 100, 100, -0.3, 100, 99},
        {"scale clamps", Qt::AltModifier, true, 100, 395, 10, 100, 400},
        {"scale without page frames scrolls", Qt::AltModifier, false, 100, 100, 2, 100, 100},
    };
    for (const Case &c : cases) {
        map->setZoomAmount(c.zoom);
        map->setScaleAmount(c.scale);
        document->setShowPageFrames(c.pageFrames);
        settle();
        wheel(c.delta, c.modifiers);
        EXPECT_EQ(map->zoomAmount(), c.zoomAfter) << c.what;
        EXPECT_EQ(map->scaleAmount(), c.scaleAfter) << c.what;
    }
}

TEST_F(CanvasWheel, APlainWheelScrolls)
{
    wheel(-3, Qt::NoModifier);
    EXPECT_GT(view.verticalScrollBar()->value(), 0);
}

// --- centring and scrolling ---

class CanvasScrolling : public CanvasFixture
{
protected:
    void mouse(QEvent::Type type, QPoint at)
    {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, view.viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &event);
    }
};

TEST_F(CanvasScrolling, CentringAndShowingTheSelection)
{
    EXPECT_EQ(view.selectedRect(), Rect());
    view.centerSelection();
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
    EXPECT_EQ(view.horizontalScrollBar()->value(), 0);

    // Already visible: nothing scrolls.
    select({root});
    EXPECT_TRUE(view.scrollSelectionToVisible());
    EXPECT_EQ(view.visibleRect().origin, Point(0, 0));

    auto far = child(root, 1200, "far", 1500);
    select({far});
    EXPECT_TRUE(view.scrollSelectionToVisible());
    EXPECT_TRUE(view.visibleRect().contains(view.selectedRect()));

    // Centred across; the top of the canvas stops it going further up.
    view.centerRoot();
    EXPECT_NEAR(view.visibleRect().midX(), 350, 1);
    EXPECT_EQ(view.verticalScrollBar()->value(), 0);
}

TEST_F(CanvasScrolling, ZoomScalesTheScrollableArea)
{
    map->setZoomAmount(200);
    view.mapGeometryDidChange();
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 4000 - view.viewport()->width());
    EXPECT_EQ(view.mapPointFromViewport(QPointF(100, 50)), Point(50, 25));
    EXPECT_EQ(view.viewportRectFromMap(Rect(10, 10, 5, 5)), QRectF(20, 20, 10, 10));
}

// Undo can put back any setting of the map, the print scale among them:
// the canvas hears each undo and redo itself and sizes its scrollable area
// anew, whoever else listens.
TEST_F(CanvasScrolling, UndoAndRedoResizeTheScrollableArea)
{
    // A window that draws at the print scale, as with page frames.
    struct ScaledHost : FakeHost
    {
        using FakeHost::FakeHost;
        qreal drawingScale() const override
        {
            return document->currentMap()->scaleAmount() / 100.0;
        }
    } scaled(document);
    view.setDocument(&scaled);
    map->setScaleAmount(150);
    settle();
    view.mapGeometryDidChange();
    const int width = view.viewport()->width();
    ASSERT_EQ(view.horizontalScrollBar()->maximum(), 3000 - width);
    const struct
    {
        const char *what;
        std::function<void()> step;
        int maximum;
    } cases[] = {
        {"undone", [&] { undo->undo(); }, 2000 - width},
        {"redone", [&] { undo->redo(); }, 3000 - width},
        {"undone again", [&] { undo->undo(); }, 2000 - width},
    };
    for (const auto &c : cases) {
        c.step();
        EXPECT_EQ(view.horizontalScrollBar()->maximum(), c.maximum) << c.what;
    }
    view.setDocument(&host);
}

TEST_F(CanvasScrolling, PanningKeepsTheGrabbedPointUnderThePointer)
{
    struct Case
    {
        bool locked;
        int modeAfter;
    };
    for (const Case c :
         {Case{true, TWGraphicView::PanMode}, Case{false, TWGraphicView::SelectMode}}) {
        view.horizontalScrollBar()->setValue(200);
        view.verticalScrollBar()->setValue(200);
        view.setDrawingMode(TWGraphicView::PanMode);
        view.setModeLockedIn(c.locked);
        mouse(QEvent::MouseButtonPress, QPoint(300, 300));
        EXPECT_TRUE(view.isTracking());
        mouse(QEvent::MouseMove, QPoint(250, 280));
        mouse(QEvent::MouseButtonRelease, QPoint(250, 280));
        EXPECT_EQ(view.horizontalScrollBar()->value(), 250);
        EXPECT_EQ(view.verticalScrollBar()->value(), 220);
        EXPECT_FALSE(view.isTracking());
        EXPECT_EQ(view.drawingMode(), c.modeAfter);
    }
}

// --- the temporary link line and the poof ---

class CanvasLinkLine : public CanvasFixture
{
protected:
    QRgb probe(const QImage &image, QPoint at) { return image.pixel(at); }
};

TEST_F(CanvasLinkLine, TheTemporaryLineIsRedToAFreePointAndBlackToAGraphic)
{
    auto target = child(root, 210, "target", 600);
    settle();
    struct Case
    {
        std::shared_ptr<TWGraphic> end;
        QColor colour;
    };
    const QImage before = render(Rect(0, 0, 800, 400));
    const Case cases[] = {{nullptr, Qt::red}, {target->mainGraphic(), Qt::black}};
    for (const Case &c : cases) {
        map->publicCreateLinkLineFromGraphic(root->mainGraphic(), c.end, Point(640, 220), false);
        // The line runs from the root's centre (350, 220) to the end's centre or the point.
        const Rect end = c.end ? TWLinkLine::endRectangleOf(*c.end) : Rect(640, 220, 0, 0);
        const QPoint middle(int((350 + end.midX()) / 2), int((220 + end.midY()) / 2));
        const QImage image = render(Rect(0, 0, 800, 400));
        const QColor seen = QColor::fromRgba(probe(image, middle));
        EXPECT_EQ(seen.rgb(), c.colour.rgb()) << seen.name().toStdString();
    }
    map->publicCreateLinkLineFromGraphic(root->mainGraphic(), nullptr, Point(), true);
    const QImage cleared = render(Rect(0, 0, 800, 400));
    EXPECT_EQ(probe(cleared, QPoint(495, 220)), probe(before, QPoint(495, 220)));
}

TEST_F(CanvasLinkLine, AnotherDocumentsRemovalLeavesThisLineAlone)
{
    map->publicCreateLinkLineFromGraphic(root->mainGraphic(), nullptr, Point(640, 220), false);
    auto otherDocument = TWMapsDoc::create();
    NotificationCenter::defaultCenter().post(TWMap::TemporaryLinkLineRemovedNotification,
                                             NotificationObject(otherDocument));
    EXPECT_EQ(document->tempLinkLineStartGraphic(), root->mainGraphic());
    NotificationCenter::defaultCenter().post(TWMap::TemporaryLinkLineRemovedNotification,
                                             NotificationObject(document));
    EXPECT_EQ(document->tempLinkLineStartGraphic(), nullptr);
}

TEST_F(CanvasLinkLine, ThePoofStepsThroughItsFramesOnATimerAndGoes)
{
    EXPECT_EQ(view.runPoofAtLocation(QPoint(100, 100)), nullptr);

    QImage strip(50, 10, QImage::Format_ARGB32);
    strip.fill(Qt::gray);
    view.setPoofImage(strip);
    view.setPoofFrameInterval(5);
    QPointer<QWidget> poof = view.runPoofAtLocation(QPoint(100, 100));
    ASSERT_TRUE(poof);
    EXPECT_EQ(poof->size(), QSize(10, 10));
    EXPECT_EQ(poof->pos(), QPoint(95, 95));
    EXPECT_EQ(static_cast<TWPoofWindow *>(poof.data())->frame(), 0);
    EXPECT_TRUE(waitUntil([&] { return poof.isNull(); }));
}

// --- drags ---

namespace {
// Moves a branch one point right at every move it is told of.
class StepTracker : public TWDragTracker
{
public:
    explicit StepTracker(std::shared_ptr<TWMapBranch> branch, int *moves, bool *ended)
        : m_branch(std::move(branch)), m_moves(moves), m_ended(ended)
    {}
    void move(TWGraphicView &, QPointF) override
    {
        m_branch->moveBranchBy(1, 0, true);
        ++*m_moves;
    }
    void end(TWGraphicView &, QPointF) override { *m_ended = true; }

private:
    std::shared_ptr<TWMapBranch> m_branch;
    int *m_moves;
    bool *m_ended;
};
} // namespace

TEST_F(CanvasScrolling, ADragOutsideTheViewAutoscrollsAndIsOneUndoStep)
{
    auto a = child(root, 100, "a");
    settle();
    const Rect before = a->mainGraphic()->bounds();
    const int steps = undo->undoStepCount();
    int moves = 0;
    bool ended = false;
    view.setAutoscrollInterval(5);
    view.beginTracking(std::make_unique<StepTracker>(a, &moves, &ended), QPointF(100, 100));
    mouse(QEvent::MouseMove, QPoint(view.viewport()->width() + 40, 100));
    EXPECT_EQ(moves, 1);
    EXPECT_TRUE(waitUntil([&] { return moves >= 4; }));
    EXPECT_GT(view.horizontalScrollBar()->value(), 0);

    mouse(QEvent::MouseButtonRelease, QPoint(view.viewport()->width() + 40, 100));
    EXPECT_TRUE(ended);
    const int after = moves;
    QTest::qWait(30);
    EXPECT_EQ(moves, after);

    settle();
    EXPECT_EQ(undo->undoStepCount(), steps + 1);
    undo->undo();
    EXPECT_EQ(a->mainGraphic()->bounds(), before);
}

TEST_F(CanvasScrolling, LinkLineModeAndTheFlippedResizeAreNoted)
{
    Recorder modes({TWGraphicView::DrawingModeDidChangeNotification});
    view.setModeLockedIn(true);
    view.setCreatingNewLinkLine(true);
    EXPECT_EQ(view.drawingMode(), TWGraphicView::LinkLineMode);
    EXPECT_FALSE(view.modeLockedIn());
    view.setCreatingNewLinkLine(false);
    EXPECT_EQ(view.drawingMode(), TWGraphicView::SelectMode);
    EXPECT_EQ(modes.notifications.size(), 2);

    auto a = child(root, 100, "a");
    view.setResizingGraphic(a->mainGraphic());
    NotificationCenter::defaultCenter().post(TWGraphicView::ResizedGraphicFlippedNotification,
                                             NotificationObject(root->mainGraphic()));
    EXPECT_FALSE(view.resizedGraphicFlipped());
    NotificationCenter::defaultCenter().post(TWGraphicView::ResizedGraphicFlippedNotification,
                                             NotificationObject(a->mainGraphic()));
    EXPECT_TRUE(view.resizedGraphicFlipped());
}

namespace {

// The rectangles the viewport paints while it is watched.
struct ViewportPaints : QObject
{
    explicit ViewportPaints(QWidget *viewport) : viewport(viewport)
    {
        viewport->installEventFilter(this);
    }
    ~ViewportPaints() override { viewport->removeEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            region |= static_cast<QPaintEvent *>(event)->region();
        return false;
    }
    QWidget *viewport;
    QRegion region;
};

void showAndSettle(TWGraphicView &view)
{
    view.show();
    while (!view.windowHandle() || !view.windowHandle()->isExposed())
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace

// A scroll moves what is on screen and draws only what came into view.
TEST_F(CanvasRedraw, ScrollingDrawsOnlyWhatComesIntoView)
{
    struct Case
    {
        const char *what;
        int dx, dy;
        QRegion expected; // in viewport coordinates of the 640 x 480 view
    };
    showAndSettle(view);
    const QRect all = view.viewport()->rect();
    const Case cases[] = {
        {"down", 0, 30, QRect(0, all.height() - 30, all.width(), 30)},
        {"up", 0, -30, QRect(0, 0, all.width(), 30)},
        {"right", 40, 0, QRect(all.width() - 40, 0, 40, all.height())},
        {"left and down",
         -40,
         30,
         QRegion(QRect(0, 0, 40, all.height())) |
             QRegion(QRect(0, all.height() - 30, all.width(), 30))},
        {"more than a page", 0, all.height() + 10, all},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        view.horizontalScrollBar()->setValue(300);
        view.verticalScrollBar()->setValue(400);
        QCoreApplication::processEvents();
        ViewportPaints paints(view.viewport());
        view.horizontalScrollBar()->setValue(300 + c.dx);
        view.verticalScrollBar()->setValue(400 + c.dy);
        QCoreApplication::processEvents();
        EXPECT_TRUE(paints.region == c.expected)
            << "painted within " << paints.region.boundingRect().x() << ","
            << paints.region.boundingRect().y() << " "
            << paints.region.boundingRect().width() << "x"
            << paints.region.boundingRect().height();
    }
}

// Only another map, zoom or scale draws the whole view again; a canvas that
// grows keeps what is shown where it is.
TEST_F(CanvasRedraw, OnlyANewZoomOrMapRedrawsTheWholeView)
{
    struct Case
    {
        const char *what;
        std::function<void()> change;
        bool wholeView;
    };
    auto other = TWMap::create(document.get());
    other->setRoot(TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 50, 20)),
                                                  nullptr, other.get()));
    other->setCanvasSize(Size(2000, 1500));
    other->setZoomAmount(100);
    document->addMap(other, false);
    const Case cases[] = {
        {"nothing changed", [] {}, false},
        {"the canvas grew", [&] { map->setCanvasSize(Size(3000, 2500)); }, false},
        {"the canvas shrank", [&] { map->setCanvasSize(Size(2000, 1500)); }, false},
        {"the zoom", [&] { map->setZoomAmount(150); }, true},
        {"the zoom back", [&] { map->setZoomAmount(100); }, true},
        {"another map", [&] { document->setCurrentMap(other); }, true},
    };
    showAndSettle(view);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QCoreApplication::processEvents();
        ViewportPaints paints(view.viewport());
        c.change();
        view.mapGeometryDidChange();
        QCoreApplication::processEvents();
        EXPECT_EQ(paints.region.boundingRect() == view.viewport()->rect(), c.wholeView);
        if (!c.wholeView)
            EXPECT_TRUE(paints.region.isEmpty());
    }
}

// The whole map moved on its canvas: the view follows, at the zoom, once
// the canvas has its new size, so the part of the map shown stays.
TEST_F(CanvasRedraw, TheViewFollowsTheMapMovedOnItsCanvas)
{
    struct Case
    {
        float zoom;
        Point offset;
        QPoint scrolled;
    };
    const Case cases[] = {
        {100, Point(25, 0), QPoint(25, 0)},
        {200, Point(25, 10), QPoint(50, 20)},
        {50, Point(0, 40), QPoint(0, 20)},
        {100, Point(std::nanf(""), 5), QPoint(0, 0)},
    };
    for (const Case &c : cases) {
        map->setZoomAmount(c.zoom);
        map->setCanvasSize(Size(2000, 1500));
        view.mapGeometryDidChange();
        view.horizontalScrollBar()->setValue(100);
        view.verticalScrollBar()->setValue(100);
        view.followMapMovedBy(c.offset);
        // Nothing moves before the canvas is sized for the moved map.
        EXPECT_EQ(view.horizontalScrollBar()->value(), 100);
        map->setCanvasSize(Size(2100, 1600));
        view.mapGeometryDidChange();
        EXPECT_EQ(QPoint(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value()),
                  QPoint(100, 100) + c.scrolled)
            << "zoom " << c.zoom;
        // Once only.
        view.mapGeometryDidChange();
        EXPECT_EQ(view.horizontalScrollBar()->value(), 100 + c.scrolled.x());
    }
}
