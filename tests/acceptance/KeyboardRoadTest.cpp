#include "AcceptanceSupport.h"

#include "palettes/TWPaletteBezelContainerView.h"

#include <QLabel>
#include <QScrollArea>
#include <functional>

namespace {

bool insideCanvas(TWDocument *document)
{
    QWidget *focus = QApplication::focusWidget();
    TWGraphicView *view = document->graphicView();
    return focus && view && (focus == view || view->isAncestorOf(focus));
}

} // namespace

class KeyboardRoad : public AcceptanceTest
{
protected:
    // Click the central branch, Tab and type a child, Shift-Tab and type two
    // siblings, Escape: what a user does first.
    TWMapBranch *growThreeChildren(TWDocument *document)
    {
        TWMap *map = currentMap(document);
        click(document, windowPoint(document, *map->root()->mainGraphic()));
        key(document, Qt::Key_Tab);
        type(document, QStringLiteral("one"));
        key(document, Qt::Key_Backtab, Qt::ShiftModifier);
        type(document, QStringLiteral("two"));
        key(document, Qt::Key_Backtab, Qt::ShiftModifier);
        type(document, QStringLiteral("three"));
        key(document, Qt::Key_Escape);
        return map->root().get();
    }
    void selectBranch(TWDocument *document, const TWMapBranch &branch)
    {
        click(document, windowPoint(document, *branch.enclosedTextArea()));
    }
};

TEST_P(KeyboardRoad, TabAndShiftTabGrowTheMapFromTheKeyboard)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    TWMapBranch *root = growThreeChildren(document);
    EXPECT_EQ(childLabels(*root), (QStringList{"one", "two", "three"}));
    EXPECT_TRUE(insideCanvas(document)) << "focus left the canvas";
    EXPECT_FALSE(document->editingTextArea());
    grab(document, QStringLiteral("three-children"));
}

TEST_P(KeyboardRoad, EveryKeyOfTheCanvasReachesItInTheWindow)
{
    using Check = std::function<void(TWDocument *, TWMapBranch &root, TWMapBranch &two)>;
    struct Case
    {
        const char *what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        Check check;
    };
    const Case cases[] = {
        {"Tab adds a child of the selected branch", Qt::Key_Tab, {},
         [](TWDocument *, TWMapBranch &, TWMapBranch &two) {
             EXPECT_EQ(two.countOfChildren(), 1);
         }},
        {"Shift-Tab adds a sibling", Qt::Key_Backtab, Qt::ShiftModifier,
         [](TWDocument *, TWMapBranch &root, TWMapBranch &) {
             EXPECT_EQ(root.countOfChildren(), 4);
         }},
        {"Return edits the selected label", Qt::Key_Return, {},
         [](TWDocument *document, TWMapBranch &, TWMapBranch &two) {
             EXPECT_EQ(document->editingTextArea(), two.enclosedTextArea().get());
         }},
        {"Down selects the next sibling", Qt::Key_Down, {},
         [](TWDocument *document, TWMapBranch &root, TWMapBranch &) {
             const TWMap *map = currentMap(document);
             ASSERT_EQ(map->countOfSelectedGraphics(), 1);
             EXPECT_EQ(map->selectedGraphics().first()->branch(), root.children().at(2).get());
         }},
        {"Up selects the previous sibling", Qt::Key_Up, {},
         [](TWDocument *document, TWMapBranch &root, TWMapBranch &) {
             const TWMap *map = currentMap(document);
             ASSERT_EQ(map->countOfSelectedGraphics(), 1);
             EXPECT_EQ(map->selectedGraphics().first()->branch(), root.children().at(0).get());
         }},
        {"Control-Right nudges", Qt::Key_Right, Qt::MetaModifier,
         [](TWDocument *document, TWMapBranch &, TWMapBranch &two) {
             EXPECT_EQ(document->undoManager()->undoActionName(), QStringLiteral("Nudge"));
         }},
        {"Delete removes the selected branch", Qt::Key_Delete, {},
         [](TWDocument *, TWMapBranch &root, TWMapBranch &) {
             EXPECT_EQ(childLabels(root), (QStringList{"one", "three"}));
         }},
        {"Home selects the central branch", Qt::Key_Home, {},
         [](TWDocument *document, TWMapBranch &root, TWMapBranch &) {
             const TWMap *map = currentMap(document);
             ASSERT_EQ(map->countOfSelectedGraphics(), 1);
             EXPECT_EQ(map->selectedGraphics().first()->branch(), &root);
         }},
        {"space shows the hand", Qt::Key_Space, {},
         [](TWDocument *document, TWMapBranch &, TWMapBranch &) {
             EXPECT_EQ(document->graphicView()->viewport()->cursor().shape(),
                       Qt::OpenHandCursor);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TWDocument *document = newDocument();
        ASSERT_TRUE(document);
        TWMapBranch *root = growThreeChildren(document);
        ASSERT_EQ(root->countOfChildren(), 3);
        TWMapBranch *two = root->children().at(1).get();
        selectBranch(document, *two);
        ASSERT_EQ(currentMap(document)->countOfSelectedGraphics(), 1);
        const QPointF before = two->mainGraphic()->bounds().origin.toQt();
        QTest::keyPress(windowHandle(document), c.key, c.modifiers);
        settle();
        if (c.key == Qt::Key_Right)
            EXPECT_EQ(two->mainGraphic()->bounds().origin.toQt(), before + QPointF(1, 0));
        c.check(document, *root, *two);
        EXPECT_TRUE(insideCanvas(document)) << "focus left the canvas";
        QTest::keyRelease(windowHandle(document), c.key, c.modifiers);
        settle();
        document->clearChangeCount();
        document->mainWindow()->close();
        settle();
    }
}

TEST_P(KeyboardRoad, LettersAndEscapeStayWithTheCanvas)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    TWMapBranch *root = growThreeChildren(document);
    selectBranch(document, *root->children().at(0));
    // Typing on a selected branch edits nothing and is refused with a beep.
    const int beeps = alerts.beepCount();
    type(document, QStringLiteral("q"));
    EXPECT_EQ(alerts.beepCount(), beeps + 1);
    EXPECT_EQ(childLabels(*root), (QStringList{"one", "two", "three"}));
    // Return edits, Escape ends the edit and leaves the canvas with the keys.
    key(document, Qt::Key_Return);
    ASSERT_TRUE(document->editingTextArea());
    key(document, Qt::Key_Escape);
    EXPECT_FALSE(document->editingTextArea());
    EXPECT_TRUE(insideCanvas(document));
    key(document, Qt::Key_Tab);
    EXPECT_EQ(root->children().at(0)->countOfChildren(), 1);
}

TEST_P(KeyboardRoad, ClickingThePalettesLeavesTheKeysWithTheCanvas)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    TWMapBranch *root = growThreeChildren(document);
    selectBranch(document, *root->children().at(0));
    wait(300);
    // The palettes beside the map: their background and their titles.
    QList<QWidget *> targets;
    if (TWPaletteBezelContainerView *dock = document->paletteDock(); dock && dock->isVisible()) {
        targets << dock;
        for (QLabel *label : dock->findChildren<QLabel *>())
            if (label->isVisible())
                targets << label;
    }
    if (edition() == Edition::Deluxe)
        EXPECT_FALSE(targets.isEmpty()) << "the Deluxe window docks its palettes";
    int children = root->children().at(0)->countOfChildren();
    for (QWidget *target : targets.mid(0, 6)) {
        SCOPED_TRACE(target->metaObject()->className());
        if (!target->isVisible())
            continue;
        // The click may change the selection; keys still go to the map.
        clickWidget(document, target);
        selectBranch(document, *root->children().at(0));
        key(document, Qt::Key_Tab);
        key(document, Qt::Key_Escape);
        EXPECT_EQ(root->children().at(0)->countOfChildren(), ++children);
        EXPECT_TRUE(insideCanvas(document));
    }
}

ACCEPTANCE_EDITIONS(KeyboardRoad);
