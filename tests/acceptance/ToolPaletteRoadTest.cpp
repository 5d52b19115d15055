// The tool palette through the real window: each tool, picked with a click
// on its button, does what its tip says to the map the window shows.
#include "AcceptanceSupport.h"

#include "application/TWToolPaletteService.h"
#include "canvas/TWToolPaletteController.h"
#include "graphics/TWLinkLine.h"

#include <QScrollBar>
#include <QToolButton>
#include <QToolTip>

namespace {

class ToolPaletteRoad : public AcceptanceTest
{
protected:
    static TWMapBranch *childNamed(const TWMapBranch &parent, const QString &name)
    {
        for (const auto &child : parent.children())
            if (label(*child) == name)
                return child.get();
        return nullptr;
    }
};

// What one gesture with a tool did to the map and the view.
struct Seen
{
    TWMap *map;
    TWGraphicView *view;
    TWMapBranch *from;
    TWMapBranch *to;
    int childrenOfFrom;
    int childrenOfFromParent;
    int childrenOfTo;
    int linkLines;
    float zoom;
    QPoint scroll;
};

} // namespace

TEST_P(ToolPaletteRoad, EveryToolDoesWhatItsTipSays)
{
    // Shown at start-up, before any document, as the preference asks.
    TWToolPaletteController &palette = TWToolPaletteController::sharedToolPaletteController();
    TWToolPaletteService service(palette, app.get());
    service.showPanel();
    settle();

    TWDocument *document = newDocument(QSize(900, 600));
    ASSERT_TRUE(document);
    TWMap *map = currentMap(document);
    ASSERT_TRUE(map && map->root());
    grow(document, *map->root(), {"Alpha", "Beta", "Gamma"});
    wait(300);
    TWGraphicView *view = document->graphicView();
    const auto scrollOf = [view] {
        return QPoint(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    };

    enum Gesture { Click, Drag, DragAcrossCanvas, TypeTwoTexts };
    struct Case
    {
        int mode;
        const char *tipStart;
        Gesture gesture;
        const char *from;
        const char *to;
        std::function<void(const Seen &)> check;
    };
    const Case cases[] = {
        {TWGraphicView::AddChildMode, "Add child branches", Click, "Beta", nullptr,
         [](const Seen &s) { EXPECT_EQ(s.from->countOfChildren(), s.childrenOfFrom + 1); }},
        {TWGraphicView::AddSiblingMode, "Add sibling branch", Click, "Beta", nullptr,
         [](const Seen &s) {
             EXPECT_EQ(s.from->parent()->countOfChildren(), s.childrenOfFromParent + 1);
         }},
        {TWGraphicView::GraftMode, "Graft mode", Drag, "Gamma", "Alpha",
         [](const Seen &s) {
             EXPECT_EQ(s.from->parent(), s.to) << "the branch was not grafted";
             EXPECT_EQ(s.map->countOfLinkLines(), s.linkLines);
         }},
        {TWGraphicView::LinkLineMode, "Link lines", Drag, "Beta", "Alpha",
         [](const Seen &s) {
             ASSERT_EQ(s.map->countOfLinkLines(), s.linkLines + 1) << "no link line was made";
             const std::shared_ptr<TWLinkLine> line = s.map->linkLines().last();
             EXPECT_EQ(line->startGraphic().get(), s.from->mainGraphic().get());
             EXPECT_EQ(line->endGraphic().get(), s.to->mainGraphic().get());
             EXPECT_NE(s.from->parent(), s.to) << "the branch was grafted";
             EXPECT_EQ(s.to->countOfChildren(), s.childrenOfTo);
         }},
        {TWGraphicView::RapidEntryMode, "DirivOzaz mode", TypeTwoTexts, "Beta", nullptr,
         [](const Seen &s) {
             EXPECT_EQ(label(*s.from), QStringLiteral("x"));
             EXPECT_EQ(childLabels(*s.from).value(s.childrenOfFrom), QStringLiteral("y"));
         }},
        {TWGraphicView::ZoomMode, "Zoom", Click, "Alpha", nullptr,
         [](const Seen &s) { EXPECT_GT(s.map->zoomAmount(), s.zoom); }},
        {TWGraphicView::PanMode, "Scroll canvas", DragAcrossCanvas, "Alpha", nullptr,
         [&](const Seen &s) { EXPECT_NE(scrollOf(), s.scroll) << "the canvas did not move"; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tipStart);
        TWToolPaletteButton *button = palette.button(c.mode);
        ASSERT_TRUE(button);
        // The tip shows under the pointer, though the palette never takes
        // the focus.
        QTest::mouseMove(palette.panel()->windowHandle(),
                         button->mapTo(palette.panel(), button->rect().center()));
        wait(1200);
        EXPECT_TRUE(QToolTip::isVisible()) << "no tip shows over the button";
        EXPECT_TRUE(QToolTip::text().startsWith(QString::fromLatin1(c.tipStart)))
            << QToolTip::text().toStdString();
        QToolTip::hideText();
        if (c.mode == TWGraphicView::PanMode) {
            // A canvas larger than the window, so that there is room to pan.
            map->setZoomAmount(300);
            view->mapGeometryDidChange();
            settle();
        }
        // Picked as a user picks it: a click on its button in the palette.
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
        ASSERT_EQ(view->drawingMode(), c.mode);

        TWMapBranch *from = childNamed(*map->root(), QString::fromLatin1(c.from));
        TWMapBranch *to = c.to ? childNamed(*map->root(), QString::fromLatin1(c.to)) : nullptr;
        ASSERT_TRUE(from && (to || !c.to));
        const Seen seen{map,
                        view,
                        from,
                        to,
                        from->countOfChildren(),
                        from->parent()->countOfChildren(),
                        to ? to->countOfChildren() : 0,
                        map->countOfLinkLines(),
                        map->zoomAmount(),
                        scrollOf()};
        const QPoint start = windowPoint(document, *from->enclosedTextArea());
        if (c.gesture == Click) {
            click(document, start);
        } else if (c.gesture == Drag) {
            drag(document, start, windowPoint(document, *to->enclosedTextArea()));
        } else if (c.gesture == DragAcrossCanvas) {
            const QPoint middle =
                view->viewport()->mapTo(document->mainWindow(), view->viewport()->rect().center());
            drag(document, middle, middle + QPoint(-150, -100));
        } else {
            // Return edits the label; Return again in the label starts the
            // next branch's text.
            click(document, start);
            key(document, Qt::Key_Return);
            type(document, QStringLiteral("x"));
            key(document, Qt::Key_Return);
            type(document, QStringLiteral("y"));
            key(document, Qt::Key_Escape);
        }
        wait(200);
        c.check(seen);
        EXPECT_EQ(view->drawingMode(), TWGraphicView::SelectMode) << "a one-shot tool stays";
        key(document, Qt::Key_Escape);
    }
    service.closePanel();
}

ACCEPTANCE_EDITIONS(ToolPaletteRoad);
