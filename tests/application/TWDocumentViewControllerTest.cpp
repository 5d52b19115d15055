#include "DocumentTestSupport.h"

#include "application/TWScaleView.h"
#include "application/TWZoomView.h"
#include "graphics/TWGraphic.h"
#include "interface/TWCSliderCell.h"
#include "mapdrawing/TWDPrintController.h"
#include "mapdrawing/TWPrintCanvasController.h"
#include "mapdrawing/TWPrintView.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QWheelEvent>
#include <poppler-qt6.h>

namespace {

// The map point at the centre of the canvas's window.
Point centreOf(TWGraphicView &view)
{
    const Rect v = view.visibleRect();
    return Point(v.midX(), v.midY());
}

} // namespace

class DocumentViewTest : public DocumentTest
{
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        document = untitled();
        show(document);
        controller = document->documentViewController();
        map = document->mapsDocument()->currentMap().get();
        map->root()->mainGraphic()->setBounds(Rect(100, 100, 120, 40));
    }
    // A child far out, so that the canvas scrolls.
    void growFarBranch(Rect bounds)
    {
        map->removeAllSelectedGraphics();
        map->insertObjectInSelectedGraphicsAtIndex(map->root()->enclosedTextArea(), 0);
        const auto added = map->publicCreateChildrenOfType(2, QStringLiteral("far"), false);
        added.first()->mainGraphic()->setBounds(bounds);
        map->removeAllSelectedGraphics();
        controller->update();
        settle();
    }
    // Widens the root until the drawing is exactly `factor` printable pages wide.
    void makeDrawingPagesWide(float factor)
    {
        const float page = controller->printCanvasController().printablePageSize().width;
        for (int i = 0; i < 3; ++i) {
            const Rect b = map->getBoundingDrawingRectForAllGraphics();
            Rect r = map->root()->mainGraphic()->bounds();
            r.size.width += page * factor - b.width();
            map->root()->mainGraphic()->setBounds(r);
            settle();
        }
    }

    TWDocument *document = nullptr;
    TWDocumentViewController *controller = nullptr;
    TWMap *map = nullptr;
};

TEST_F(DocumentViewTest, TheViewsAreStackedInsideOneScrollArea)
{
    EXPECT_EQ(controller->scrollView()->widget(), controller->zoomView());
    EXPECT_EQ(controller->graphicView(), document->graphicView());
    EXPECT_EQ(controller->zoomAmount(), 100);
    EXPECT_EQ(controller->scaleAmount(), 100);
    // The canvas fills the window and reaches the drawing.
    const QSize shown = controller->graphicView()->viewport()->size();
    EXPECT_GE(map->canvasSize().width, float(shown.width()));
    EXPECT_GE(map->canvasSize().height, float(shown.height()));
    EXPECT_EQ(controller->graphicView()->size(), controller->contentSize());
    EXPECT_GE(map->canvasSize().width, map->getBoundingDrawingRectForAllGraphics().maxX());

    // The document's print view goes in between, holding the scale view.
    TWPrintView *printView = controller->printView();
    ASSERT_NE(printView, nullptr);
    EXPECT_EQ(document->printView(), printView);
    EXPECT_EQ(printView->printCanvasController(), &controller->printCanvasController());
    EXPECT_EQ(controller->printLayer(), printView);
    EXPECT_EQ(printView->parentWidget(), controller->zoomView());
    EXPECT_EQ(controller->scaleView()->parentWidget(), printView);
    EXPECT_EQ(controller->graphicView()->parentWidget(), controller->scaleView());
}

TEST_F(DocumentViewTest, ZoomingThereAndBackRestoresTheScalingAndKeepsTheCentre)
{
    growFarBranch(Rect(3000, 2400, 100, 40));
    document->undoManager()->removeAllActions();
    TWGraphicView &view = *controller->graphicView();
    view.scrollRectToVisible(Rect(1000, 800, 10, 10));
    settle();
    const Point before = centreOf(view);
    const double scaling = controller->zoomView()->unitScale();

    controller->setMapZoomAmount(200);
    settle();
    EXPECT_EQ(map->zoomAmount(), 200);
    EXPECT_EQ(controller->zoomView()->unitScale(), scaling * 2);
    const Point zoomed = centreOf(view);
    EXPECT_NEAR(zoomed.x, before.x, 1.0);
    EXPECT_NEAR(zoomed.y, before.y, 1.0);

    controller->setMapZoomAmount(100);
    settle();
    EXPECT_EQ(controller->zoomView()->unitScale(), scaling);
    const Point after = centreOf(view);
    EXPECT_NEAR(after.x, before.x, 1.0);
    EXPECT_NEAR(after.y, before.y, 1.0);
    // The zoom is not an edit.
    EXPECT_FALSE(document->undoManager()->canUndo());
}

TEST_F(DocumentViewTest, ZeroAmountsAndEmptyExtentsLeaveZoomAndScaleAlone)
{
    struct Case
    {
        const char *name;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"zoom of 0", [&] { controller->setZoomAmount(0); }},
        {"scale of 0", [&] { controller->setScaleAmount(0); }},
        {"window without size",
         [&] {
             // The map pane pushed shut by the palettes.
             document->mainSplitView()->setSizes({0, 800});
             settle();
             ASSERT_EQ(controller->contentSize().width(), 0);
             controller->zoomToFitMapInWindow();
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Rect bounds = map->root()->mainGraphic()->bounds();
        c.act();
        settle();
        EXPECT_EQ(controller->zoomAmount(), 100);
        EXPECT_EQ(controller->scaleAmount(), 100);
        EXPECT_EQ(map->zoomAmount(), 100);
        EXPECT_EQ(map->scaleAmount(), 100);
        EXPECT_EQ(map->root()->mainGraphic()->bounds(), bounds);
        EXPECT_TRUE(std::isfinite(controller->zoomView()->unitScale()));
    }
}

TEST_F(DocumentViewTest, FittingOnOnePageStoresTheWholeScaleAndCentresTheMap)
{
    // The drawing is twice as wide as the page of the map's print setup, and less high.
    makeDrawingPagesWide(2);
    const Rect b = map->getBoundingDrawingRectForAllGraphics();
    const Size page = controller->printCanvasController().printablePageSize();
    ASSERT_NEAR(b.width(), page.width * 2, 0.01);
    ASSERT_LT(b.height() * 2, page.height);
    controller->scaleToFitMapOnSinglePage();
    settle();
    EXPECT_EQ(map->scaleAmount(), 49);
    EXPECT_EQ(controller->scaleAmount(), 49);
    const double f = 0.495;
    const Rect moved = map->getBoundingDrawingRectForAllGraphics();
    EXPECT_NEAR(moved.x(), (page.width / f - b.width()) * 0.5, 0.5);
    EXPECT_NEAR(moved.y(), (page.height / f - b.height()) * 0.5, 0.5);
    EXPECT_EQ(document->undoManager()->undoActionName(), QStringLiteral("Set Scale Amount"));
    // The canvas draws at zoom times scale: it fills the window in map units
    // at that scale, and holds the drawing.
    TWGraphicView &view = *controller->graphicView();
    const Size visible = controller->visibleAreaSize();
    EXPECT_NEAR(map->canvasSize().width, std::max<float>(visible.width / 0.49f, moved.maxX()), 1);
    EXPECT_NEAR(map->canvasSize().height, std::max<float>(visible.height / 0.49f, moved.maxY()), 1);
    EXPECT_NEAR(view.zoomFactor(), 0.49, 1e-6);
    EXPECT_EQ(controller->printLayer()->geometry(), QRect(QPoint(), controller->contentSize()));

    // With page frames the whole drawing is on the first page alone.
    document->mapsDocument()->setShowPageFrames(true);
    settle();
    TWPrintCanvasController &pages = controller->printCanvasController();
    EXPECT_EQ(pages.pagesWide(), 1);
    EXPECT_EQ(pages.pagesHigh(), 1);
    EXPECT_NEAR(map->canvasSize().width, page.width / 0.49f, 0.5);
}

TEST_F(DocumentViewTest, FittingToTheWindowZoomsSoTheWholeMapShows)
{
    growFarBranch(Rect(1400, 900, 100, 40));
    controller->zoomToFitMapInWindow();
    settle();
    const Rect b = map->getBoundingDrawingRectForAllGraphics();
    // The window's room beside the canvas's scroll bars.
    TWGraphicView &view = *controller->graphicView();
    const QSize c = controller->contentSize() - QSize(view.verticalScrollBar()->sizeHint().width(),
                                                      view.horizontalScrollBar()->sizeHint().height());
    const double expected = std::min(c.width() / b.width(), c.height() / b.height()) * 100;
    EXPECT_NEAR(map->zoomAmount(), expected, 0.01);
    EXPECT_EQ(controller->zoomAmount(), map->zoomAmount());
    // All of it shows in the canvas at that zoom.
    const QRectF shown = view.viewportRectFromMap(b);
    EXPECT_TRUE(QRectF(QPointF(0, 0), QSizeF(view.viewport()->size()))
                    .adjusted(-1, -1, 1, 1)
                    .contains(shown))
        << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height();
}

// Fitting is a way of looking: on a saved document it leaves the file
// clean and every branch where it was, and shows the whole map in the middle
// of the window by scrolling alone, even where the canvas has little room
// on one side of the drawing.
TEST_F(DocumentViewTest, FittingASavedMapScrollsItToTheMiddleAndEditsNothing)
{
    struct Case
    {
        const char *name;
        Rect root, far;
    };
    const Case cases[] = {
        {"wide, hard against the top", Rect(10, 10, 120, 40), Rect(1900, 40, 100, 40)},
        {"tall, hard against the left", Rect(10, 200, 120, 40), Rect(40, 2400, 100, 40)},
        {"far from the origin", Rect(900, 700, 120, 40), Rect(2600, 1500, 100, 40)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        document = untitled();
        show(document);
        controller = document->documentViewController();
        map = document->mapsDocument()->currentMap().get();
        map->root()->mainGraphic()->setBounds(c.root);
        growFarBranch(c.far);
        const QString path = dir.filePath(QStringLiteral("fit-%1.tweb").arg(&c - cases));
        ASSERT_EQ(document->writeToFile(path), TWFileIO::SaveSucceeded);
        TWDocument *opened = open(path);
        ASSERT_NE(opened, nullptr);
        show(opened);
        TWMap *shownMap = opened->mapsDocument()->currentMap().get();
        const auto places = [shownMap] {
            QList<Rect> all;
            for (const auto &branch : shownMap->allBranches())
                all << branch->mainGraphic()->bounds();
            return all;
        };
        const QList<Rect> before = places();
        ASSERT_FALSE(opened->isDocumentEdited());

        TWDocumentViewController *fitter = opened->documentViewController();
        fitter->zoomToFitMapInWindow();
        settle();
        EXPECT_FALSE(opened->isDocumentEdited());
        EXPECT_FALSE(opened->undoManager()->canUndo());
        EXPECT_EQ(places(), before);

        const Rect b = shownMap->getBoundingDrawingRectForAllGraphics();
        TWGraphicView &view = *fitter->graphicView();
        const QSize room = fitter->contentSize() -
                         QSize(view.verticalScrollBar()->sizeHint().width(),
                               view.horizontalScrollBar()->sizeHint().height());
        EXPECT_NEAR(shownMap->zoomAmount(),
                    std::min(room.width() / b.width(), room.height() / b.height()) * 100, 0.01);
        const QRectF port(QPointF(0, 0), QSizeF(view.viewport()->size()));
        const QRectF shown = view.viewportRectFromMap(b);
        EXPECT_TRUE(port.adjusted(-1, -1, 1, 1).contains(shown))
            << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height();
        EXPECT_NEAR(shown.center().x(), port.center().x(), 1);
        EXPECT_NEAR(shown.center().y(), port.center().y(), 1);
        // The room the centring took stays while the user only looks.
        fitter->update();
        settle();
        EXPECT_NEAR(view.viewportRectFromMap(b).center().y(), port.center().y(), 1);
        opened->close();
        settle();
    }
}

TEST_F(DocumentViewTest, ASmallDrawingIsCentredInTheWindow)
{
    // A large window and a drawing that, at 20 %, fills little of it.
    controller->setMapZoomAmount(20);
    settle();
    const QRect layer = controller->printLayer()->geometry();
    const QSize c = controller->contentSize();
    const Rect r = controller->printCanvasController().printCanvasRect();
    // The canvas's frame: the drawing and its scroll bars.
    TWGraphicView &view = *controller->graphicView();
    const double w = r.width() * 0.2 + view.verticalScrollBar()->sizeHint().width();
    const double h = r.height() * 0.2 + view.horizontalScrollBar()->sizeHint().height();
    EXPECT_NEAR(layer.width(), w, 1);
    EXPECT_NEAR(layer.x(), (c.width() - w) / 2, 1);
    EXPECT_NEAR(layer.y(), (c.height() - h) / 2, 1);
    EXPECT_EQ(view.size(), layer.size());
    // At full size the canvas fills the window and scrolls the rest.
    controller->setMapZoomAmount(100);
    settle();
    EXPECT_EQ(controller->printLayer()->geometry(), QRect(QPoint(), c));
}

TEST_F(DocumentViewTest, IdleUpdatesCoalescePerDocument)
{
    TWDocument *other = untitled();
    show(other);
    settle();
    QList<const void *> updated;
    ObserverToken token = NotificationCenter::defaultCenter().observe(
        TWDocumentViewController::DidUpdateNotification, nullptr,
        [&](const Notification &n) { updated << n.sender.identity(); });
    for (int i = 0; i < 3; ++i) {
        controller->updateWhenIdle();
        other->documentViewController()->updateWhenIdle();
    }
    EXPECT_TRUE(updated.isEmpty());
    NotificationQueue::defaultQueue().flush();
    EXPECT_EQ(updated.count(document->mapsDocument()), 1);
    EXPECT_EQ(updated.count(other->mapsDocument()), 1);
}

TEST_F(DocumentViewTest, TheViewFollowsTheCurrentMapsZoom)
{
    TWMapsDoc *maps = document->mapsDocument();
    maps->publicCreateNewMapAtIndex(1);
    settle();
    TWMap *second = maps->currentMap().get();
    ASSERT_NE(second, map);
    controller->setMapZoomAmount(150);
    settle();
    EXPECT_EQ(controller->zoomAmount(), 150);
    document->undoManager()->removeAllActions();
    maps->setCurrentMapNumber(0);
    settle();
    EXPECT_EQ(controller->zoomAmount(), map->zoomAmount());
    EXPECT_EQ(document->zoomSlider()->value(), int(map->zoomAmount()));
    maps->setCurrentMapNumber(1);
    settle();
    EXPECT_EQ(controller->zoomAmount(), 150);
    EXPECT_EQ(document->zoomSlider()->value(), 150);
}

TEST_F(DocumentViewTest, TheCanvasWheelZoomIsFollowed)
{
    TWGraphicView &view = *controller->graphicView();
    const QPointF at(view.viewport()->width() / 2.0, view.viewport()->height() / 2.0);
    QWheelEvent wheel(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120 * 5),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    settle();
    ASSERT_NE(map->zoomAmount(), 100);
    EXPECT_EQ(controller->zoomAmount(), map->zoomAmount());
    EXPECT_EQ(document->zoomSlider()->value(), int(std::lround(map->zoomAmount())));
}

TEST_F(DocumentViewTest, AMapLeftOfTheOriginIsMovedOntoTheCanvasOnce)
{
    // No label is edited (a new document edits its central label).
    controller->graphicView()->endEditingTextArea();
    settle();
    growFarBranch(Rect(-400, -250, 100, 40));
    settle();
    float left = 1e9f, top = 1e9f;
    for (const auto &branch : map->allBranches()) {
        left = std::min(left, branch->branchBounds().x());
        top = std::min(top, branch->branchBounds().y());
    }
    // The drawing, margins and all, starts at the canvas's corner.
    const Rect drawing = map->getBoundingDrawingRectForAllGraphics();
    EXPECT_NEAR(drawing.x(), 0, 0.01);
    EXPECT_NEAR(drawing.y(), 0, 0.01);
    EXPECT_GT(left, 0);
    EXPECT_GT(top, 0);
    const Rect root = map->root()->mainGraphic()->bounds();
    EXPECT_EQ(root.x() - left, 500);
    EXPECT_EQ(root.y() - top, 350);
    // Further updates leave it there.
    controller->update();
    controller->update();
    settle();
    EXPECT_EQ(map->root()->mainGraphic()->bounds(), root);
}

// Moving the map onto the canvas keeps the view over the same part of it.
// While a label is edited the map stays where it is, so typing at the map's
// left edge neither jumps the view nor moves the whole map at every key: it
// moves once editing ends.
TEST_F(DocumentViewTest, AMapMovedOntoTheCanvasKeepsTheViewAndTheEditorOverIt)
{
    for (const bool editing : {false, true}) {
        SCOPED_TRACE(editing ? "while a label is edited" : "no edit");
        // A fresh document each time.
        document = untitled();
        show(document);
        controller = document->documentViewController();
        map = document->mapsDocument()->currentMap().get();
        map->root()->mainGraphic()->setBounds(Rect(100, 100, 120, 40));
        growFarBranch(Rect(3000, 2000, 100, 40));
        growFarBranch(Rect(300, 300, 100, 40));
        const std::shared_ptr<TWMapBranch> left = map->root()->children().last();
        TWGraphicView *view = document->graphicView();
        // A new document edits its central label.
        view->endEditingTextArea();
        settle();
        if (editing) {
            left->enclosedTextArea()->setIsEditing(true);
            settle();
            ASSERT_EQ(view->editingTextArea(), left->enclosedTextArea().get());
        }
        view->horizontalScrollBar()->setValue(200);
        view->verticalScrollBar()->setValue(150);
        const Rect rootBefore = map->root()->mainGraphic()->bounds();
        const Point seenBefore(centreOf(*view).x - rootBefore.x(),
                               centreOf(*view).y - rootBefore.y());
        left->mainGraphic()->setBounds(Rect(-400, 300, 100, 40));
        controller->update();
        settle();
        if (editing) {
            EXPECT_EQ(map->root()->mainGraphic()->bounds(), rootBefore) << "moved while editing";
            left->enclosedTextArea()->setIsEditing(false);
            settle();
        }
        const Rect rootAfter = map->root()->mainGraphic()->bounds();
        ASSERT_GT(rootAfter.x(), rootBefore.x()) << "the map was not moved";
        const Point seenAfter(centreOf(*view).x - rootAfter.x(),
                              centreOf(*view).y - rootAfter.y());
        EXPECT_NEAR(seenAfter.x, seenBefore.x, 1);
        EXPECT_NEAR(seenAfter.y, seenBefore.y, 1);
        settle();
    }
}

// A file whose map lies left of and above the origin opens moved onto the
// canvas with nothing to undo, and what the user does next is undoable.
TEST_F(DocumentTest, AMapOpenedLeftOfTheOriginIsMovedWithNothingToUndo)
{
    const QString path = dir.filePath(QStringLiteral("left.tweb"));
    QList<Rect> saved;
    {
        auto made = BranchDocument::makeDocument(12);
        made->currentMap()->root()->moveBranchBy(-900, -700, true);
        ASSERT_LT(made->currentMap()->getBoundingDrawingRectForAllGraphics().x(), 0);
        ASSERT_EQ(made->saveToFile(path), TWFileIO::SaveSucceeded);
        made->detach();
        // As the file reads without a window.
        TWDocument alone;
        ASSERT_TRUE(alone.readFromFile(path));
        EXPECT_FALSE(alone.undoManager()->canUndo()) << "reading is no edit";
        for (const auto &b : alone.mapsDocument()->currentMap()->allBranches())
            saved << b->mainGraphic()->bounds();
    }
    documents->setShowsWindows(true);
    TWDocument *document = open(path);
    ASSERT_NE(document, nullptr);
    show(document);
    TWMap *map = document->mapsDocument()->currentMap().get();
    UndoManager &undo = *document->undoManager();
    // Moved as a whole: nothing was laid out anew.
    const auto branches = map->allBranches();
    ASSERT_EQ(branches.size(), saved.size());
    const Rect root = branches[0]->mainGraphic()->bounds();
    for (int i = 0; i < branches.size(); ++i)
        EXPECT_EQ(branches[i]->mainGraphic()->bounds(),
                  saved[i].offsetBy(root.x() - saved[0].x(), root.y() - saved[0].y()))
            << i;
    struct Step
    {
        const char *what;
        std::function<void()> act;
        bool canUndo;
    } const steps[] = {
        {"opened", [] {}, false},
        {"a move by the user",
         [map] { map->root()->mainGraphic()->publicMoveBy(Point(5, 5), true); }, true},
        {"undone", [&undo] { undo.undo(); }, false},
    };
    const Rect opened = map->root()->mainGraphic()->bounds();
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        settle();
        EXPECT_TRUE(undo.isUndoRegistrationEnabled());
        EXPECT_EQ(undo.canUndo(), step.canUndo);
        EXPECT_GE(map->getBoundingDrawingRectForAllGraphics().x(), -0.01);
        EXPECT_GE(map->getBoundingDrawingRectForAllGraphics().y(), -0.01);
        EXPECT_EQ(map->root()->mainGraphic()->bounds() == opened, !step.canUndo);
    }
}

namespace {

// The actions of the window's File menu, by text.
QAction *fileAction(TWDocument *document, const QString &text)
{
    for (QAction *menu : document->documentWindow()->menuBar()->actions())
        if (menu->menu())
            for (QAction *action : menu->menu()->actions())
                if (action->text() == text)
                    return action;
    return nullptr;
}

// Whether the two pictures differ in the column at x (viewport pixels),
// away from the top and bottom, where the frame runs across.
bool columnsDiffer(const QImage &a, const QImage &b, int x)
{
    for (int y = 10; y < std::min(a.height(), b.height()) - 10; ++y)
        if (a.pixel(x, y) != b.pixel(x, y))
            return true;
    return false;
}

} // namespace

TEST_F(DocumentViewTest, PageFramesComeAndGoAndScrollWithTheMap)
{
    // Wide enough that the canvas beside the palettes shows a whole page.
    show(document, QSize(1100, 600));
    TWGraphicView &view = *controller->graphicView();
    const float page = controller->printCanvasController().printablePageSize().width;
    // A branch on the second page, and nothing drawn near the first page's edge.
    growFarBranch(Rect(page * 1.5f, 60, 100, 40));
    EXPECT_EQ(document->pageGrid(), std::nullopt);

    document->mapsDocument()->setShowPageFrames(true);
    settle();
    const std::optional<TWMapDrawing::PageGrid> grid = document->pageGrid();
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->pagesWide, 2);
    EXPECT_EQ(grid->printablePageSize, controller->printCanvasController().printablePageSize());
    EXPECT_NEAR(map->canvasSize().width, page * 2, 0.01);

    // The line between the pages, where the canvas has scrolled it: the
    // pictures with and without frames differ there and nowhere near.
    const int edge = int(std::lround(page));
    ASSERT_LT(edge, view.viewport()->width());
    view.horizontalScrollBar()->setValue(0);
    const QImage framed = view.renderVisibleImage();
    view.horizontalScrollBar()->setValue(50);
    const QImage framedScrolled = view.renderVisibleImage();

    document->mapsDocument()->setShowPageFrames(false);
    settle();
    EXPECT_EQ(document->pageGrid(), std::nullopt);
    view.horizontalScrollBar()->setValue(0);
    const QImage plain = view.renderVisibleImage();
    view.horizontalScrollBar()->setValue(50);
    const QImage plainScrolled = view.renderVisibleImage();
    EXPECT_TRUE(columnsDiffer(framed, plain, edge));
    EXPECT_FALSE(columnsDiffer(framed, plain, edge - 20));
    EXPECT_TRUE(columnsDiffer(framedScrolled, plainScrolled, edge - 50));
    EXPECT_FALSE(columnsDiffer(framedScrolled, plainScrolled, edge));
    EXPECT_FALSE(columnsDiffer(framedScrolled, plainScrolled, edge - 70));
}

TEST_F(DocumentViewTest, PrintingFromTheFileMenuPrintsTheWindowsPages)
{
    document->mapsDocument()->setShowPageFrames(true);
    const float page = controller->printCanvasController().printablePageSize().width;
    growFarBranch(Rect(page * 1.5f, 60, 100, 40));
    ASSERT_NE(fileAction(document, QStringLiteral("Page Setup...")), nullptr);
    QAction *print = fileAction(document, QStringLiteral("Print..."));
    ASSERT_NE(print, nullptr);

    TWDPrintController &sheet = TWDPrintController::shared();
    const QString path = QDir(QDir::tempPath()).filePath(QStringLiteral("docwin-print.pdf"));
    QFile::remove(path);
    sheet.setPDFOutputPath(path);
    print->trigger();
    ASSERT_TRUE(sheet.isOpen());
    EXPECT_EQ(sheet.document(), static_cast<TWPrintDocument *>(document));
    sheet.print();
    settle();
    sheet.setPDFOutputPath(QString());

    auto pdf = Poppler::Document::load(path);
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->numPages(), controller->printCanvasController().numberOfPages());
    EXPECT_EQ(pdf->numPages(), 2);
    QString text;
    for (int i = 0; i < pdf->numPages(); ++i)
        text += pdf->page(i)->text(QRectF());
    EXPECT_TRUE(text.contains(QStringLiteral("far")));
    QFile::remove(path);
}
