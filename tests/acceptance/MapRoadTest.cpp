#include "AcceptanceSupport.h"

#include "application/TWDocumentViewController.h"
#include "canvas/SpellableTextView.h"
#include "graphics/TWConnectionGraphic.h"
#include "interface/TWCSliderCell.h"
#include "mapdrawing/TWDPrintController.h"
#include "support/AttributedString.h"

#include <QFileInfo>
#include <QHash>
#include <functional>

class MapRoad : public AcceptanceTest
{
protected:
    // The central branch clicked, then Tab-typed children.
    TWMapBranch *grow(TWDocument *document, const QStringList &labels)
    {
        TWMap *map = currentMap(document);
        typeChildren(document, windowPoint(document, *map->root()->mainGraphic()), labels);
        return map->root().get();
    }
    Rect boundsOf(const TWMapBranch &branch) const { return branch.mainGraphic()->bounds(); }
    // Every connection line's bounds, in the order of the tree.
    static QList<QRectF> connectionBounds(const TWMapBranch &branch)
    {
        QList<QRectF> bounds;
        for (const auto &child : branch.children()) {
            if (const TWConnectionGraphic *line = child->connectionGraphic().get())
                bounds << line->bounds().toQt();
            bounds += connectionBounds(*child);
        }
        return bounds;
    }
};

// A new map's central branch shows its title from the start: in the editor
// that is open on it, which sits over the label although the map was
// scrolled to centre it and at every zoom, and drawn by the canvas once
// editing ends.
TEST_P(MapRoad, NewMapShowsItsCentralText)
{
    using Step = std::function<void(TWDocument *)>;
    struct Case
    {
        const char *what;
        Step step;
        bool editing;
    };
    const Case cases[] = {
        {"a new document", [](TWDocument *) {}, true},
        {"zoomed in while editing",
         [this](TWDocument *document) { key(document, Qt::Key_Equal, Qt::ControlModifier); },
         true},
        {"zoomed out while editing",
         [this](TWDocument *document) {
             key(document, Qt::Key_Minus, Qt::ControlModifier);
             key(document, Qt::Key_Minus, Qt::ControlModifier);
         },
         true},
        {"editing ended", [this](TWDocument *document) { key(document, Qt::Key_Escape); },
         false},
    };
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        c.step(document);
        const TWMapBranch &root = *currentMap(document)->root();
        ASSERT_FALSE(label(root).isEmpty());
        TWTextArea *text = root.enclosedTextArea().get();
        EXPECT_EQ(document->editingTextArea() == text, c.editing);
        if (c.editing) {
            // The editor stays over the label at every zoom.
            const TWGraphicView *view = document->graphicView();
            const QRectF over = view->viewportRectFromMap(text->bounds());
            const QRectF editor(view->editorView()->geometry());
            EXPECT_LE((editor.center() - over.center()).manhattanLength(), 3.0)
                << "editor at " << editor.x() << "," << editor.y() << ", label at " << over.x()
                << "," << over.y();
            EXPECT_NEAR(editor.height(), over.height(), 3.0);
        }
        // The box holds its label, not the label's lower half outside it.
        const Rect box = root.mainGraphic()->bounds();
        EXPECT_TRUE(box.contains(text->bounds())) << "the central branch was never sized";
        // Letters on the screen: pixels inside the label that stand out from
        // its background (white on the selection, black on the box).
        const QImage shown = grabMapArea(document, text->bounds().insetBy(3, 3),
                                         QString::fromLatin1(c.what).replace(' ', '-'));
        QHash<QRgb, int> counts;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                ++counts[shown.pixel(x, y)];
        QRgb background = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (it.value() > counts.value(background))
                background = it.key();
        int letters = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb p = shown.pixel(x, y);
                letters += std::abs(qRed(p) - qRed(background)) +
                               std::abs(qGreen(p) - qGreen(background)) +
                               std::abs(qBlue(p) - qBlue(background)) >
                           300;
            }
        EXPECT_GT(letters, 40);
    }
}

TEST_P(MapRoad, UndoAndRedoLeaveNoStaleCanvas)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    TWMapBranch *root = grow(document, {"one", "two", "three"});
    ASSERT_EQ(root->countOfChildren(), 3);
    TWMapBranch *two = root->children().at(1).get();
    ASSERT_EQ(staleCanvasPixels(document, QStringLiteral("grown")), 0);

    const Rect before = boundsOf(*two);
    const QList<QRectF> linesBefore = connectionBounds(*root);
    const QPoint from = windowPoint(document, *two->enclosedTextArea());
    drag(document, from, from + QPoint(120, 90));
    wait(150);
    ASSERT_NE(boundsOf(*two), before) << "the drag moved nothing";
    const QList<QRectF> linesMoved = connectionBounds(*root);
    ASSERT_NE(linesMoved, linesBefore);
    EXPECT_EQ(staleCanvasPixels(document, QStringLiteral("dragged")), 0);

    struct Step
    {
        const char *what;
        Qt::KeyboardModifiers modifiers;
        bool movedBack;
    };
    const Step steps[] = {
        {"undo of the move", Qt::ControlModifier, true},
        {"redo of the move", Qt::ControlModifier | Qt::ShiftModifier, false},
        {"undo again", Qt::ControlModifier, true},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        key(document, Qt::Key_Z, step.modifiers);
        wait(150);
        EXPECT_EQ(boundsOf(*two) == before, step.movedBack);
        EXPECT_EQ(connectionBounds(*root), step.movedBack ? linesBefore : linesMoved);
        EXPECT_EQ(staleCanvasPixels(document, QString::fromLatin1(step.what).replace(' ', '-')),
                  0);
    }

    // A new branch, undone and redone.
    const QList<QRectF> linesWithout = connectionBounds(*root);
    click(document, windowPoint(document, *two->enclosedTextArea()));
    key(document, Qt::Key_Tab);
    key(document, Qt::Key_Escape);
    wait(100);
    ASSERT_EQ(two->countOfChildren(), 1);
    const QList<QRectF> linesWith = connectionBounds(*root);
    for (int i = 0; i < 2; ++i) {
        key(document, Qt::Key_Z, Qt::ControlModifier);
        wait(150);
        EXPECT_EQ(two->countOfChildren(), 0);
        EXPECT_EQ(connectionBounds(*root), linesWithout);
        EXPECT_EQ(staleCanvasPixels(document, QStringLiteral("undo-new-%1").arg(i)), 0);
        key(document, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        wait(150);
        EXPECT_EQ(two->countOfChildren(), 1);
        EXPECT_EQ(connectionBounds(*root), linesWith);
        EXPECT_EQ(staleCanvasPixels(document, QStringLiteral("redo-new-%1").arg(i)), 0);
    }

    // Printed through the Deluxe print panel (into a file here): the canvas
    // is drawn whole afterwards.
    if (edition() == Edition::Deluxe) {
        ASSERT_TRUE(choose(document, {"File", "Print..."}));
        TWDPrintController &printing = TWDPrintController::shared();
        ASSERT_TRUE(printing.isOpen());
        printing.setPDFOutputPath(dir.filePath("printed.pdf"));
        printing.print();
        printing.setPDFOutputPath(QString());
        wait(150);
        EXPECT_TRUE(QFileInfo::exists(dir.filePath("printed.pdf")));
        EXPECT_EQ(staleCanvasPixels(document, QStringLiteral("printed")), 0);
    }
}

TEST_P(MapRoad, RapidEntryKeepsOnlyTheTextInTheLabel)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    TWMapBranch *root = grow(document, {"first"});
    TWMapBranch *first = root->children().first().get();
    TWGraphicView *view = document->graphicView();
    // The rapid-entry tool, then a click on the branch to type into.
    view->setDrawingMode(TWGraphicView::RapidEntryMode);
    view->setDirivOzazDelay(400);
    click(document, windowPoint(document, *first->enclosedTextArea()));
    if (!document->editingTextArea())
        key(document, Qt::Key_Return);
    ASSERT_EQ(document->editingTextArea(), first->enclosedTextArea().get());
    key(document, Qt::Key_A, Qt::ControlModifier); // select the old label, typed over
    type(document, QStringLiteral("a"));
    key(document, Qt::Key_Return);
    type(document, QStringLiteral("b"));
    key(document, Qt::Key_Return);
    wait(900);
    ASSERT_EQ(childLabels(*first), QStringList{"b"}) << "the pause made no child";
    key(document, Qt::Key_Escape);
    wait(100);
    EXPECT_FALSE(document->editingTextArea());
    EXPECT_EQ(label(*first), QStringLiteral("a"));
    EXPECT_EQ(childLabels(*first), QStringList{"b"});
}

TEST_P(MapRoad, SaveAsLeavesTheDocumentCleanAndClosesWithoutAQuestion)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    grow(document, {"kept"});
    wait(50);
    ASSERT_TRUE(document->isDocumentEdited());
    const QString undoBefore = document->undoManager()->undoActionName();
    const QString path = dir.filePath("walked.tweb");
    alerts.queueSaveResponse(path);
    ASSERT_TRUE(choose(document, {"File", "Save As..."}));
    wait(50);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_FALSE(document->mainWindow()->isWindowModified());
    EXPECT_EQ(document->undoManager()->undoActionName(), undoBefore) << "the save left a step";

    const int asked = int(alerts.alerts().size());
    ASSERT_TRUE(choose(document, {"File", "Close"}));
    wait(50);
    EXPECT_EQ(alerts.alerts().size(), asked) << "closing a saved document asked a question";
    EXPECT_TRUE(documentController->documents().isEmpty());

    TWDocument *reopened = openDocument(path);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(childLabels(*currentMap(reopened)->root()), QStringList{"kept"});
    EXPECT_FALSE(reopened->isDocumentEdited());
}

TEST_P(MapRoad, AutoArrangeTreeLaysOutTightlyInEveryMode)
{
    struct Case
    {
        const char *mode;
        int layout;
        bool scatters; // the tight mode packs the children back after each drag
    };
    const Case cases[] = {
        {"Free Layout", 1, true}, {"Loose Layout", 2, true}, {"Tight Layout", 3, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        TWDocument *document = newDocument();
        ASSERT_TRUE(document);
        TWMapBranch *root = grow(document, {"one", "two", "three"});
        ASSERT_TRUE(choose(document, {"Map", "Layout", c.mode}));
        ASSERT_EQ(currentMap(document)->layoutAssistanceMode(), c.layout);
        // The children dragged about by hand.
        const QPoint offsets[] = {QPoint(140, -110), QPoint(-60, 160), QPoint(210, 40)};
        for (int i = 0; i < 3; ++i) {
            const QPoint from = windowPoint(document, *root->children().at(i)->enclosedTextArea());
            drag(document, from, from + offsets[i]);
        }
        wait(100);
        QList<Rect> scattered;
        for (const auto &child : root->children())
            scattered << boundsOf(*child);
        const QString undoBefore = document->undoManager()->undoActionName();

        ASSERT_TRUE(choose(document, {"Map", "Arrange", "Auto-arrange Tree"}));
        wait(100);
        QList<Rect> arranged;
        for (const auto &child : root->children())
            arranged << boundsOf(*child);
        ASSERT_EQ(arranged.size(), 3);
        EXPECT_EQ(arranged != scattered, c.scatters);
        EXPECT_EQ(document->undoManager()->undoActionName(),
                  c.scatters ? QStringLiteral("Auto-arrange Tree") : undoBefore);
        // Tight: a column on each side of the centre, close together.
        const Rect centre = boundsOf(*root);
        QList<float> rightEdges, leftEdges;
        float top = arranged.first().minY(), bottom = arranged.first().maxY(), heights = 0;
        for (const Rect &r : arranged) {
            EXPECT_TRUE(r.minX() > centre.maxX() || r.maxX() < centre.minX());
            (r.minX() > centre.maxX() ? rightEdges : leftEdges)
                << (r.minX() > centre.maxX() ? r.minX() : r.maxX());
            top = std::min(top, r.minY());
            bottom = std::max(bottom, r.maxY());
            heights += r.height();
        }
        for (const QList<float> &edges : {rightEdges, leftEdges})
            for (float edge : edges)
                EXPECT_NEAR(edge, edges.first(), 1.0);
        EXPECT_LT(bottom - top, heights + 3 * 30);
        EXPECT_EQ(staleCanvasPixels(document, QStringLiteral("arranged-%1").arg(c.layout)), 0);

        if (c.scatters) {
            key(document, Qt::Key_Z, Qt::ControlModifier);
            wait(100);
            QList<Rect> undone;
            for (const auto &child : root->children())
                undone << boundsOf(*child);
            EXPECT_EQ(undone, scattered);
        }
        document->clearChangeCount();
        document->mainWindow()->close();
        settle();
    }
}

TEST_P(MapRoad, ZoomToFitShowsTheWholeMapAndTheControlReadsIt)
{
    TWDocument *document = newDocument(QSize(900, 650));
    ASSERT_TRUE(document);
    TWMapBranch *root = grow(document, {"north", "east", "south", "west"});
    ASSERT_TRUE(choose(document, {"Map", "Layout", "Free Layout"}));
    // Spread far beyond one screen, in every direction.
    const Point moves[] = {Point(0, -1400), Point(1800, 200), Point(300, 1500), Point(-2200, 100)};
    for (int i = 0; i < 4; ++i)
        root->children().at(i)->moveBranchBy(moves[i].x, moves[i].y, true);
    wait(100);

    const auto wholeMapIsInside = [&](const QString &step) {
        TWGraphicView *view = document->graphicView();
        const QRectF viewport(QPointF(0, 0), QSizeF(view->viewport()->size()));
        const Rect all = currentMap(document)->getBoundingDrawingRectForAllGraphics();
        const QRectF shown = view->viewportRectFromMap(all);
        EXPECT_TRUE(viewport.adjusted(-1, -1, 1, 1).contains(shown))
            << step.toStdString() << ": map at " << shown.x() << "," << shown.y() << " "
            << shown.width() << "x" << shown.height() << " in " << viewport.width() << "x"
            << viewport.height();
        grab(document, step);
    };
    struct Zoom
    {
        const char *from;
        float percent;
    };
    for (const Zoom &z : {Zoom{"at 180", 180}, Zoom{"at 47", 47}, Zoom{"at 22", 22}}) {
        SCOPED_TRACE(z.from);
        document->documentViewController()->setMapZoomAmount(z.percent);
        settle();
        ASSERT_TRUE(choose(document, {"View", "Zoom to Fit"}));
        wait(100);
        wholeMapIsInside(QStringLiteral("fit-%1").arg(int(z.percent)));
        EXPECT_EQ(document->zoomSlider()->value(),
                  int(std::lround(currentMap(document)->zoomAmount())));
    }

    // Saved at the fitting zoom and reopened: the control reads the map's zoom.
    const QString path = dir.filePath("fitted.tweb");
    alerts.queueSaveResponse(path);
    ASSERT_TRUE(choose(document, {"File", "Save As..."}));
    const float fitted = currentMap(document)->zoomAmount();
    ASSERT_TRUE(choose(document, {"File", "Close"}));
    TWDocument *reopened = openDocument(path, QSize(900, 650));
    ASSERT_TRUE(reopened);
    EXPECT_NEAR(currentMap(reopened)->zoomAmount(), fitted, 0.5);
    EXPECT_EQ(reopened->zoomSlider()->value(), int(std::lround(fitted)));
    EXPECT_NEAR(reopened->graphicView()->zoomFactor(), fitted / 100.0, 0.01);
}

ACCEPTANCE_EDITIONS(MapRoad);
