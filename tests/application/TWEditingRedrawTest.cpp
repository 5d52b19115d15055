// What the document window redraws and moves while a branch is added and
// its label typed: what changed, not the whole canvas or the whole map.
#include "DocumentTestSupport.h"

#include "canvas/TWGraphicView.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapBranch.h"
#include "platform/NotificationCenter.h"

#include <QPaintEvent>
#include <QPointer>
#include <QScrollBar>

namespace {

// The region a widget paints while it is watched.
struct Paints : QObject
{
    explicit Paints(QWidget *watched) : watched(watched) { watched->installEventFilter(this); }
    ~Paints() override
    {
        if (watched)
            watched->removeEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            region |= static_cast<QPaintEvent *>(event)->region();
        return false;
    }
    QPointer<QWidget> watched;
    QRegion region;
};

class EditingRedrawTest : public DocumentTest
{
protected:
    TWDocument *shown()
    {
        TWDocument *document = open(savedDocument("redraw.tweb", 400));
        EXPECT_NE(document, nullptr);
        if (document)
            show(document, QSize(700, 500));
        return document;
    }
};

// A new child of the central branch shows itself and its label editor; the
// canvas around them stays as it was painted (the window's layers keep
// their size through the update).
TEST_F(EditingRedrawTest, AddingAChildRepaintsLessThanTheWholeCanvas)
{
    {
        TWDocument *document = shown();
        ASSERT_NE(document, nullptr);
        TWGraphicView *view = document->graphicView();
        TWMap &map = *document->mapsDocument()->currentMap();
        const std::shared_ptr<TWMapBranch> parent = map.root();
        map.removeAllSelectedGraphics();
        map.insertObjectInSelectedGraphicsAtIndex(parent->mainGraphic(), 0);
        view->centerSelection();
        settle();
        // The first edit makes the window's palettes: laid out once, the
        // window repaints whole. Then as a user goes on.
        map.publicCreateChildren();
        settle();
        view->endEditingTextArea();
        settle();
        document->undoManager()->closeEventGroup();
        view->undo();
        map.removeAllSelectedGraphics();
        map.insertObjectInSelectedGraphicsAtIndex(parent->mainGraphic(), 0);
        settle();
        const int children = parent->countOfChildren();

        Paints paints(view->viewport());
        const QPoint scrolled(view->horizontalScrollBar()->value(),
                              view->verticalScrollBar()->value());
        const TWMap::BranchList added = map.publicCreateChildren();
        settle();
        // What follows holds where the view did not have to scroll.
        ASSERT_EQ(QPoint(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value()),
                  scrolled);
        ASSERT_EQ(parent->countOfChildren(), children + 1);
        ASSERT_TRUE(view->editingTextArea());
        const QRect whole = view->viewport()->rect();
        EXPECT_FALSE(paints.region.isEmpty());
        EXPECT_NE(paints.region.boundingRect(), whole);
        // The new branch is among what was painted.
        ASSERT_EQ(added.size(), 1);
        const QRect shown = view->viewportRectFromMap(added.first()->mainGraphic()->bounds())
                                .toAlignedRect()
                                .intersected(whole);
        EXPECT_TRUE(paints.region.intersects(shown));
        view->endEditingTextArea();
        document->close();
        settle();
    }
}

// A label edited past the map's left edge leaves the map where it is until
// editing ends; then the map moves onto its canvas once.
TEST_F(EditingRedrawTest, TheMapMovesOntoItsCanvasWhenEditingEnds)
{
    TWDocument *document = shown();
    ASSERT_NE(document, nullptr);
    TWGraphicView *view = document->graphicView();
    TWMap &map = *document->mapsDocument()->currentMap();
    const std::shared_ptr<TWTextArea> label = map.root()->children().first()->enclosedTextArea();
    label->setIsEditing(true);
    settle();
    ASSERT_EQ(view->editingTextArea(), label.get());
    // The map reaches past the left edge, as a label grown leftwards does.
    const Rect before = map.getBoundingDrawingRectForAllGraphics();
    map.root()->moveBranchBy(-before.x() - 40, 0, true);
    NotificationCenter::defaultCenter().post(TWMap::PrintCanvasControllerNeedsUpdateNowNotification,
                                             document->mapsDocument());
    settle();
    EXPECT_NEAR(map.getBoundingDrawingRectForAllGraphics().x(), -40, 0.5);

    label->setIsEditing(false);
    settle();
    EXPECT_FALSE(view->editingTextArea());
    EXPECT_NEAR(map.getBoundingDrawingRectForAllGraphics().x(), 0, 0.5);
    document->close();
    settle();
}

} // namespace
