#include "TWMenuTestSupport.h"
#include "application/TWTemplateSelectorPanelController.h"

#include "canvas/TWFindController.h"
#include "canvas/TWFindPanel.h"
#include "graphics/TWTextArea.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QTest>
#include <QTimer>

namespace {

enum class Selection { None, Root, Child };

struct ValidationCase
{
    const char *selector;
    int tag;
    int defaultType;
    Selection selection;
    bool enabled;
    const char *title; // null: the title is left alone
    int checked;       // -1: no check mark given
};

} // namespace

TEST_F(MenuTest, ValidationGivesEnablingTitlesAndCheckMarks)
{
    const ValidationCase cases[] = {
        {"branchOperations:", 0, 1, Selection::Root, true, "New Line Branch", -1},
        {"branchOperations:", 0, 2, Selection::Root, true, "New Rectangle Branch", -1},
        {"branchOperations:", 0, 3, Selection::Root, true, "New Oval Branch", -1},
        {"branchOperations:", 0, 4, Selection::Root, true, "New Image Branch", -1},
        {"branchOperations:", 0, 5, Selection::Root, true, "New FlexiBranch", -1},
        {"branchOperations:", 0, 6, Selection::Root, false, "New Branch", -1},
        {"branchOperations:", 0, 7, Selection::Root, false, "New Branch", -1},
        {"branchOperations:", 0, 0, Selection::None, false, "New Branch", -1},
        // Only the root's text selected.
        {"selectSiblings:", 0, 1, Selection::Root, false, nullptr, -1},
        {"deleteSelectedBranches:", 0, 1, Selection::Root, false, nullptr, -1},
        {"branchOperations:", 1, 1, Selection::Root, false, nullptr, -1},
        {"branchOperations:", 2, 1, Selection::Root, false, "New Sibling Branch", -1},
        {"selectDescendants:", 0, 1, Selection::Root, true, nullptr, -1},
        // A branch below the root.
        {"selectSiblings:", 0, 1, Selection::Child, true, nullptr, -1},
        {"deleteSelectedBranches:", 0, 1, Selection::Child, true, nullptr, -1},
        {"branchOperations:", 1, 1, Selection::Child, true, nullptr, -1},
        {"branchOperations:", 2, 1, Selection::Child, true, "New Sibling Branch", -1},
        // Nothing selected.
        {"selectDescendants:", 0, 1, Selection::None, false, nullptr, -1},
        {"selectSiblings:", 0, 1, Selection::None, false, nullptr, -1},
        {"branchOperations:", 1, 1, Selection::None, false, nullptr, -1},
        // The default type's item carries the check mark.
        {"setDefaultGraphicType:", 3, 3, Selection::None, true, nullptr, 1},
        {"setDefaultGraphicType:", 2, 3, Selection::None, true, nullptr, 0},
        {"toggleContinuousSpellCheck:", 0, 1, Selection::None, true, nullptr, 0},
        {"spellingType:", 0, 1, Selection::None, true, nullptr, 1},
        {"spellingType:", 1, 1, Selection::None, true, nullptr, 0},
        // Withdrawn operations are disabled items, whatever is selected.
        {"attachGraphic:", 0, 1, Selection::Child, false, nullptr, -1},
        {"attachGraphic:", 3, 1, Selection::Child, false, nullptr, -1},
        {"attachGraphic:", 2, 1, Selection::None, false, nullptr, -1},
        {"sendGraphic:", 1, 1, Selection::Child, false, nullptr, -1},
        // Find and spelling work whatever is selected.
        {"search:", 0, 1, Selection::Child, true, nullptr, -1},
        {"checkSpelling:", 0, 1, Selection::None, true, nullptr, -1},
        {"performFindPanelAction:", 2, 1, Selection::None, true, nullptr, -1},
        // The theme panels follow the standard rule.
        {"chooseTheme:", 0, 1, Selection::Child, true, nullptr, -1},
        {"saveTheme:", 0, 1, Selection::None, true, nullptr, -1},
        // The standard rules: an untitled document has nothing to revert to.
        {"revertDocumentToSaved:", 0, 1, Selection::None, false, nullptr, -1},
        {"zoomIn:", 0, 1, Selection::None, true, nullptr, -1},
        {"noSuchCommand:", 0, 1, Selection::None, false, nullptr, -1},
    };
    TWDocument *document = untitled();
    TWMap &map = mapOf(document);
    const auto child = addChild(map, QStringLiteral("child"));
    ASSERT_TRUE(child);
    map.setContinuousSpellCheck(false);
    for (const ValidationCase &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 tag %2 type %3 selection %4")
                         .arg(QLatin1String(c.selector))
                         .arg(c.tag)
                         .arg(c.defaultType)
                         .arg(int(c.selection))
                         .toStdString());
        document->mapsDocument()->setGraphicClassIdentifier(c.defaultType);
        selectOnly(map, c.selection == Selection::Root    ? map.root()
                        : c.selection == Selection::Child ? child
                                                          : nullptr);
        TWMenuItem item;
        item.selector = QString::fromLatin1(c.selector);
        item.tag = c.tag;
        EXPECT_EQ(document->menuDispatcher()->validateItem(item), c.enabled);
        if (c.title)
            EXPECT_EQ(item.title.value_or(QString()), QString::fromUtf8(c.title));
        else
            EXPECT_FALSE(item.title.has_value());
        if (c.checked >= 0)
            EXPECT_EQ(item.checked, std::optional<bool>(c.checked == 1));
        else
            EXPECT_FALSE(item.checked.has_value());
    }
}

TEST_F(MenuTest, AMenuIsValidatedWhenItOpens)
{
    TWDocument *document = untitled();
    document->mapsDocument()->setGraphicClassIdentifier(3);
    selectOnly(mapOf(document), mapOf(document).root());
    TWMenuDispatcher *dispatcher = document->menuDispatcher();
    QAction *newBranch = dispatcher->actionFor(QStringLiteral("branchOperations:"), 0);
    QAction *sibling = dispatcher->actionFor(QStringLiteral("branchOperations:"), 2);
    QAction *oval = dispatcher->actionFor(QStringLiteral("setDefaultGraphicType:"), 3);
    QAction *line = dispatcher->actionFor(QStringLiteral("setDefaultGraphicType:"), 1);
    ASSERT_TRUE(newBranch && sibling && oval && line);
    emit menuHolding(document, newBranch)->aboutToShow();
    EXPECT_EQ(newBranch->text(), QStringLiteral("New Oval Branch"));
    EXPECT_TRUE(newBranch->isEnabled());
    EXPECT_FALSE(sibling->isEnabled());
    emit menuHolding(document, oval)->aboutToShow();
    EXPECT_TRUE(oval->isChecked());
    EXPECT_FALSE(line->isChecked());

    // Choosing an item runs its command with the item's tag.
    line->trigger();
    EXPECT_EQ(document->mapsDocument()->graphicClassIdentifier(), 1);
    emit menuHolding(document, oval)->aboutToShow();
    EXPECT_TRUE(line->isChecked());
    EXPECT_FALSE(oval->isChecked());
    emit menuHolding(document, newBranch)->aboutToShow();
    EXPECT_EQ(newBranch->text(), QStringLiteral("New Line Branch"));
}

TEST_F(MenuTest, ZoomStepsGoToTheNextStepOrTheEnds)
{
    struct Case
    {
        float zoom, in, out;
    };
    const Case cases[] = {
        {100, 110, 90}, {37, 50, 25}, {400, 400, 300}, {500, 400, 400},
        {12, 25, 25},   {25, 50, 25}, {110, 125, 100},
    };
    TWDocument *document = untitled();
    TWMap &map = mapOf(document);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.zoom);
        EXPECT_EQ(TWDocument::nextZoomStep(c.zoom, true), c.in);
        EXPECT_EQ(TWDocument::nextZoomStep(c.zoom, false), c.out);
        // The commands change the current map's zoom.
        map.setZoomAmount(c.zoom);
        ASSERT_TRUE(send(document, QStringLiteral("zoomIn:")));
        EXPECT_EQ(map.zoomAmount(), c.in);
        map.setZoomAmount(c.zoom);
        ASSERT_TRUE(send(document, QStringLiteral("zoomOut:")));
        EXPECT_EQ(map.zoomAmount(), c.out);
    }
}

TEST_F(MenuTest, TheZoomMenuSetsItsTagOrFits)
{
    TWDocument *document = untitled();
    show(document);
    TWMap &map = mapOf(document);
    ASSERT_TRUE(send(document, QStringLiteral("zoomMenuItemClicked:"), 150));
    EXPECT_EQ(map.zoomAmount(), 150);
    document->zoomToFit();
    const float fitted = map.zoomAmount();
    ASSERT_NE(fitted, 150);
    map.setZoomAmount(150);
    ASSERT_TRUE(send(document, QStringLiteral("zoomMenuItemClicked:"), 0));
    EXPECT_EQ(map.zoomAmount(), fitted);
    // The pop-up's items are the same steps.
    QStringList titles;
    for (QAction *a : document->zoomMenu()->actions())
        if (!a->isSeparator())
            titles << a->text();
    EXPECT_EQ(titles.size(), TWDocument::zoomSteps().size() + 1);
    EXPECT_EQ(titles.last(), QStringLiteral("400 %"));
}

TEST_F(MenuTest, BranchCommandsWorkOnTheCurrentMap)
{
    TWDocument *document = untitled();
    TWMap &map = mapOf(document);
    const auto child = addChild(map, QStringLiteral("child"));
    const auto count = [&map] { return map.root()->children().size(); };
    ASSERT_EQ(count(), 1);

    selectOnly(map, child);
    ASSERT_TRUE(send(document, QStringLiteral("branchOperations:"), 2));
    EXPECT_EQ(count(), 2);
    selectOnly(map, child);
    ASSERT_TRUE(send(document, QStringLiteral("branchOperations:"), 1));
    EXPECT_EQ(count(), 1);
    // First-level: the new branch hangs from the root whatever was selected.
    selectOnly(map, map.root()->children().first());
    ASSERT_TRUE(send(document, QStringLiteral("addNewDefaultFirstLevelGraphic:")));
    EXPECT_EQ(count(), 2);
    // The root cannot be deleted: the command is refused, the map unchanged.
    selectOnly(map, map.root());
    EXPECT_FALSE(send(document, QStringLiteral("deleteSelectedBranches:")));
    EXPECT_EQ(count(), 2);
    // A withdrawn command is refused, never thrown.
    selectOnly(map, child);
    EXPECT_FALSE(send(document, QStringLiteral("attachGraphic:"), 2));

    ASSERT_TRUE(send(document, QStringLiteral("setDefaultGraphicType:"), 5));
    EXPECT_EQ(document->mapsDocument()->graphicClassIdentifier(), 5);
    ASSERT_TRUE(send(document, QStringLiteral("setPageLayoutViewMode:"), 1));
    EXPECT_TRUE(document->mapsDocument()->showPageFrames());
    ASSERT_TRUE(send(document, QStringLiteral("setPageLayoutViewMode:"), 7));
    EXPECT_TRUE(document->mapsDocument()->showPageFrames());
    ASSERT_TRUE(send(document, QStringLiteral("setPageLayoutViewMode:"), 0));
    EXPECT_FALSE(document->mapsDocument()->showPageFrames());

    selectOnly(map, child);
    ASSERT_TRUE(send(document, QStringLiteral("selectSiblings:")));
    EXPECT_GT(map.countOfSelectedGraphics(), 1);
    selectOnly(map, map.root());
    ASSERT_TRUE(send(document, QStringLiteral("selectDescendants:")));
    EXPECT_GT(map.countOfSelectedGraphics(), 1);
}

TEST_F(MenuTest, UndoAndRedoItemsNameTheStep)
{
    TWDocument *document = untitled();
    TWMap &map = mapOf(document);
    settle();
    // The document's own answer, for when the canvas does not take undo.
    TWMenuItem undoItem;
    undoItem.selector = QStringLiteral("undo:");
    EXPECT_FALSE(document->validateMenuItem(undoItem));
    EXPECT_EQ(undoItem.title, std::optional<QString>(QStringLiteral("Undo")));
    addChild(map, QStringLiteral("kept"));
    settle();
    const QString name = document->undoManager()->undoActionName();
    ASSERT_FALSE(name.isEmpty());
    EXPECT_TRUE(document->validateMenuItem(undoItem));
    EXPECT_EQ(undoItem.title, std::optional<QString>(QStringLiteral("Undo ") + name));

    TWMenuDispatcher *dispatcher = document->menuDispatcher();
    QAction *undo = dispatcher->actionFor(QStringLiteral("undo:"));
    QAction *redo = dispatcher->actionFor(QStringLiteral("redo:"));
    ASSERT_TRUE(undo && redo);
    EXPECT_FALSE(dispatcher->validate(redo));
    ASSERT_TRUE(dispatcher->validate(undo));
    undo->trigger();
    settle();
    EXPECT_TRUE(map.root()->children().isEmpty());
    EXPECT_TRUE(dispatcher->validate(redo));
    EXPECT_EQ(redo->text(), QStringLiteral("Redo ") + name);
    redo->trigger();
    settle();
    EXPECT_EQ(map.root()->children().size(), 1);
}

TEST_F(MenuTest, AddingAMapAppendsABlankMapAndMakesItCurrent)
{
    defaults.setBool(false, TWPreferences::ShowTemplatesPanelWhenCreatingMapsKey);
    TWDocument *document = untitled();
    TWMapsDoc *maps = document->mapsDocument();
    const auto first = maps->currentMap();
    for (const char *selector : {"addMap:", "addMapFromTemplate:"}) {
        SCOPED_TRACE(selector);
        const int before = maps->countOfMaps();
        // The chooser, cancelled, still ends in a blank map.
        QTimer::singleShot(0, [] {
            TWTemplateSelectorPanelController::sharedTemplateSelectorPanelController().cancel();
        });
        ASSERT_TRUE(send(document, QString::fromLatin1(selector)));
        ASSERT_EQ(maps->countOfMaps(), before + 1);
        EXPECT_EQ(maps->currentMapNumber(), before);
        EXPECT_NE(maps->currentMap(), first);
        EXPECT_EQ(maps->currentMap()->root()->children().size(), 0);
    }
}

TEST_F(MenuTest, RevertEmptiesUndoAndLeavesTheWindowClean)
{
    const QString path = savedDocument("menu-revert.tweb");
    TWDocument *document = open(path);
    ASSERT_NE(document, nullptr);
    show(document);
    TWMap &map = mapOf(document);
    addChild(map, QStringLiteral("gone"));
    settle();
    ASSERT_TRUE(document->isDocumentEdited());
    ASSERT_TRUE(document->documentWindow()->isWindowModified());
    map.setNeedsUpdatePreviewImage(true);
    QAction *revert =
        document->menuDispatcher()->actionFor(QStringLiteral("revertDocumentToSaved:"));
    ASSERT_TRUE(revert);
    ASSERT_TRUE(document->menuDispatcher()->validate(revert));
    alerts.queueAlertResponse(0); // Revert
    revert->trigger();
    settle();
    EXPECT_FALSE(document->undoManager()->canUndo());
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_FALSE(document->documentWindow()->isWindowModified());
    // A clean document has nothing to revert to.
    EXPECT_FALSE(document->menuDispatcher()->validate(revert));

    // clearChangeCount: marks an edited document clean.
    addChild(mapOf(document), QStringLiteral("again"));
    settle();
    ASSERT_TRUE(document->isDocumentEdited());
    ASSERT_TRUE(send(document, QStringLiteral("clearChangeCount:")));
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(MenuTest, AShortcutOfADisabledCommandDoesNothing)
{
    TWDocument *document = untitled();
    show(document);
    QWidget *window = document->documentWindow();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    TWMap &map = mapOf(document);
    map.root()->enclosedTextArea()->setIsEditing(false);
    const auto child = addChild(map, QStringLiteral("one"));
    addChild(map, QStringLiteral("two"));
    QAction *siblings = document->menuDispatcher()->actionFor(QStringLiteral("selectSiblings:"));
    ASSERT_TRUE(siblings);
    ASSERT_EQ(siblings->shortcut(), QKeySequence(QStringLiteral("Ctrl+Alt+A")));

    // The item was enabled when last shown; the root alone is selected now.
    selectOnly(map, child);
    ASSERT_TRUE(document->menuDispatcher()->validate(siblings));
    selectOnly(map, map.root());
    QTest::keyClick(document->graphicView(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    settle();
    EXPECT_EQ(map.countOfSelectedGraphics(), 1);
    EXPECT_FALSE(siblings->isEnabled());
    // A stale item triggered directly does nothing either.
    siblings->setEnabled(true);
    siblings->trigger();
    EXPECT_EQ(map.countOfSelectedGraphics(), 1);

    // Enabled, the same shortcut runs the command.
    selectOnly(map, child);
    QTest::keyClick(document->graphicView(), Qt::Key_A, Qt::ControlModifier | Qt::AltModifier);
    settle();
    EXPECT_GT(map.countOfSelectedGraphics(), 1);
}

TEST_F(MenuTest, TheMenuBarRoutesCanvasCommandsToTheCanvas)
{
    TWDocument *document = untitled();
    TWMenuDispatcher *dispatcher = document->menuDispatcher();
    // Every item of the bar names a command somebody on the chain may take;
    // the canvas's own items reach its router.
    QAction *del = dispatcher->actionFor(QStringLiteral("delete:"));
    ASSERT_TRUE(del);
    TWMap &map = mapOf(document);
    const auto child = addChild(map, QStringLiteral("doomed"));
    selectOnly(map, child);
    ASSERT_TRUE(dispatcher->validate(del));
    del->trigger();
    settle();
    EXPECT_TRUE(map.root()->children().isEmpty());
    // Tagged canvas items get their check marks and run with their tag.
    const int mode = map.layoutAssistanceMode();
    QAction *current = dispatcher->actionFor(QStringLiteral("doLayoutAssistanceMode:"), mode);
    QAction *other =
        dispatcher->actionFor(QStringLiteral("doLayoutAssistanceMode:"), mode == 1 ? 2 : 1);
    ASSERT_TRUE(current && other);
    emit menuHolding(document, current)->aboutToShow();
    EXPECT_TRUE(current->isChecked());
    EXPECT_FALSE(other->isChecked());
    const auto shaped = addChild(map, QStringLiteral("shaped"));
    selectOnly(map, shaped);
    QAction *rectangle = dispatcher->actionFor(QStringLiteral("doChangeBranchType:"), 2);
    ASSERT_TRUE(rectangle && dispatcher->validate(rectangle));
    rectangle->trigger();
    settle();
    EXPECT_EQ(shaped->branchType(), 2);
    // The window's bar: File, the document's menus, then the application's.
    QStringList titles;
    for (QAction *menu : document->documentWindow()->menuBar()->actions())
        titles << menu->text();
    EXPECT_EQ(titles.mid(0, 5), (QStringList{"File", "Edit", "Map", "Format", "View"}));
}

TEST_F(MenuTest, OpeningAMenuFromTheBarShowsValidatedItems)
{
    TWDocument *document = untitled();
    show(document, QSize(900, 600));
    QWidget *window = document->documentWindow();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    TWMap &map = mapOf(document);
    map.root()->enclosedTextArea()->setIsEditing(false);
    addChild(map, QStringLiteral("First idea"));
    addChild(map, QStringLiteral("Second idea"));
    document->mapsDocument()->setGraphicClassIdentifier(3);
    selectOnly(map, map.root());
    settle();

    QMenuBar *bar = document->documentWindow()->menuBar();
    QAction *mapMenu = nullptr;
    for (QAction *a : bar->actions())
        if (a->text() == QLatin1String("Map"))
            mapMenu = a;
    ASSERT_TRUE(mapMenu && mapMenu->menu());
    bar->setActiveAction(mapMenu);
    QTRY_VERIFY(mapMenu->menu()->isVisible());
    settle();
    TWMenuDispatcher *dispatcher = document->menuDispatcher();
    EXPECT_EQ(dispatcher->actionFor(QStringLiteral("branchOperations:"), 0)->text(),
              QStringLiteral("New Oval Branch"));
    EXPECT_FALSE(dispatcher->actionFor(QStringLiteral("branchOperations:"), 1)->isEnabled());
    EXPECT_FALSE(dispatcher->actionFor(QStringLiteral("branchOperations:"), 2)->isEnabled());
    // Under a real X server the whole screen can be kept for a look.
    const QString shot = qEnvironmentVariable("THINKWEB_MENU_SCREENSHOT");
    if (!shot.isEmpty() && QGuiApplication::platformName() == QLatin1String("xcb"))
        EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(shot));
    mapMenu->menu()->close();
}

TEST_F(MenuTest, FindCommandsSearchEveryOpenDocumentFromTheActiveOne)
{
    TWFindController controller;
    TWFindController::setShared(&controller);
    TWDocument *first = untitled();
    TWDocument *second = untitled();
    ASSERT_TRUE(addChild(mapOf(first), QStringLiteral("needle one")));
    ASSERT_TRUE(addChild(mapOf(second), QStringLiteral("needle two")));
    app->setCurrentlyActiveDocument(first);
    UserDefaults::standard().setInteger(3, QLatin1String(TWPreferences::FindScopeKey));

    EXPECT_TRUE(send(first, QStringLiteral("search:")));
    ASSERT_NE(controller.findPanel(), nullptr);
    EXPECT_TRUE(controller.findPanel()->isVisible());
    controller.setFindString(QStringLiteral("needle"));
    ASSERT_EQ(controller.findResults().size(), 2);
    EXPECT_EQ(controller.findResults().at(0).foundString(), "needle");
    EXPECT_EQ(controller.findResults().at(0).branch()->map(), &mapOf(first));
    EXPECT_EQ(controller.findResults().at(1).branch()->map(), &mapOf(second));

    // Find Next reaches the other document: its window comes forward and its
    // canvas edits the label.
    controller.setSelectionIndex(0);
    EXPECT_TRUE(send(first, QStringLiteral("performFindPanelAction:"), 2));
    EXPECT_EQ(controller.selectionIndex(), 1);
    EXPECT_EQ(app->currentlyActiveDocument(), second);
    EXPECT_EQ(second->graphicView()->editingTextArea(),
              controller.findResults().at(1).textArea().get());
    controller.findPanel()->close();
    TWFindController::setShared(nullptr);
}
