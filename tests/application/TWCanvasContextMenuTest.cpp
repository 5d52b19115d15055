#include "DocumentTestSupport.h"

#include "application/TWCanvasContextMenu.h"
#include "canvas/SpellableTextView.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"

#include <QAction>
#include <QMenu>

namespace {

// The item titled `path` ("Add Branch/Oval Branch"), or null.
QAction *itemAt(QMenu *menu, const QString &path)
{
    const QStringList steps = path.split(u'/');
    QMenu *current = menu;
    for (int i = 0; current && i < steps.size(); ++i) {
        QAction *found = nullptr;
        for (QAction *action : current->actions())
            if (action->text() == steps.at(i))
                found = action;
        if (!found || i == steps.size() - 1)
            return found;
        current = found->menu();
    }
    return nullptr;
}

QStringList titles(QMenu *menu)
{
    QStringList list;
    for (QAction *action : menu->actions())
        list << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return list;
}

Point centreOf(const TWGraphic &graphic)
{
    const Rect b = graphic.bounds();
    return Point(b.midX(), b.midY());
}

} // namespace

class ContextMenuTest : public DocumentTest
{
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        document = untitled();
        show(document);
        map = document->mapsDocument()->currentMap().get();
        view = document->graphicView();
        view->endEditingTextNotification();
        settle();
        // The root with two children; the first has a child of its own.
        map->removeAllSelectedGraphics();
        const TWMap::BranchList made = map->publicCreateChildrenOfType(2, QString("A"), false);
        map->removeAllSelectedGraphics();
        map->publicCreateChildrenOfType(2, QString("B"), false);
        settle();
        first = made.first();
        map->setSelectedBranches({first});
        map->publicCreateChildrenOfType(2, QString("A1"), false);
        map->removeAllSelectedGraphics();
        settle();
    }
    QMenu *rightClick(Point point)
    {
        TWCContextMenuController::prepareForEvent(point, *view);
        menu.reset(TWCContextMenuController::menuForEvent(point, *view, nullptr));
        return menu.get();
    }
    QStringList selectedTexts() const
    {
        QStringList texts;
        for (TWMapBranch *branch : map->selectedBranches())
            texts << branch->enclosedTextArea()->text().string();
        texts.sort();
        return texts;
    }
    Point emptyPoint() const
    {
        const Rect all = map->getBoundingDrawingRectForAllGraphics();
        return Point(all.maxX() + 200, all.maxY() + 200);
    }

    TWDocument *document = nullptr;
    TWMap *map = nullptr;
    TWGraphicView *view = nullptr;
    std::shared_ptr<TWMapBranch> first;
    std::unique_ptr<QMenu> menu;
};

TEST_F(ContextMenuTest, EmptyCanvasClearsTheSelectionAndAddsABranchWhereClicked)
{
    map->setSelectedBranches({first});
    const Point point = emptyPoint();
    QMenu *m = rightClick(point);
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(map->selectedGraphics().isEmpty());
    EXPECT_EQ(titles(m), QStringList({"Add Branch", "Auto Arrange", "Style", "View Options"}));
    const TWMap::BranchList before = map->root()->children();
    itemAt(m, "Add Branch/Oval Branch")->trigger();
    settle();
    ASSERT_EQ(map->root()->countOfChildren(), before.size() + 1);
    std::shared_ptr<TWMapBranch> added;
    for (const std::shared_ptr<TWMapBranch> &child : map->root()->children())
        if (!before.contains(child))
            added = child;
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->branchType(), TWCContextMenuController::OvalType);
    // Beside the click, not where new branches go by default.
    const Rect placed = added->mainGraphic()->bounds();
    EXPECT_NEAR(placed.x(), point.x, placed.height());
    EXPECT_NEAR(placed.y(), point.y, placed.height());
}

TEST_F(ContextMenuTest, ViewOptionsShowAndFlipTheCurrentMapsSettings)
{
    struct Case
    {
        const char *title;
        const char *key;
    };
    const Case cases[] = {{"Show Shadows", "showShadows"},
                          {"Show Link Lines", "showLinkLines"},
                          {"Show Outline Numbers", "showOutlineNumbers"},
                          {"Show Collapse Symbol", "showCollapseSign"}};
    for (const Case &c : cases) {
        const bool before = map->valueForKey(c.key).toBool();
        QAction *item = itemAt(rightClick(emptyPoint()), QString("View Options/") + c.title);
        ASSERT_NE(item, nullptr) << c.title;
        EXPECT_EQ(item->isChecked(), before) << c.title;
        item->trigger();
        EXPECT_EQ(map->valueForKey(c.key).toBool(), !before) << c.title;
        EXPECT_EQ(itemAt(rightClick(emptyPoint()), QString("View Options/") + c.title)->isChecked(),
                  !before)
            << c.title;
    }
}

TEST_F(ContextMenuTest, BranchMenuDisablesSiblingsOfTheRootAndHidingWithoutChildren)
{
    struct Case
    {
        const char *name;
        std::function<std::shared_ptr<TWMapBranch>()> branch;
        bool collapse;
        bool siblingEnabled;
        bool hideEnabled;
        bool hideChecked;
    };
    const Case cases[] = {
        {"root", [&] { return map->root(); }, false, false, true, false},
        {"leaf", [&] { return map->root()->children().last(); }, false, true, false, false},
        {"expanded", [&] { return first; }, false, true, true, false},
        {"collapsed", [&] { return first; }, true, true, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::shared_ptr<TWMapBranch> branch = c.branch();
        if (c.collapse)
            branch->setValueForKey(true, "childrenHidden");
        settle();
        QMenu *m = rightClick(centreOf(*branch->mainGraphic()));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(titles(m).mid(0, 6), QStringList({"Shape", "Style", "-", "Add Sibling Branch",
                                                    "Add Child Branch", "Delete Branch"}));
        EXPECT_EQ(itemAt(m, "Add Sibling Branch")->isEnabled(), c.siblingEnabled);
        EXPECT_EQ(itemAt(m, "Hide Children")->isEnabled(), c.hideEnabled);
        EXPECT_EQ(itemAt(m, "Hide Children")->isChecked(), c.hideChecked);
        ASSERT_NE(itemAt(m, "Style")->menu(), nullptr) << "the graphic styles' menu";
        EXPECT_FALSE(itemAt(m, "Style")->menu()->actions().isEmpty());
    }
    // The check mark's item flips the branch back.
    itemAt(menu.get(), "Hide Children")->trigger();
    EXPECT_FALSE(first->childrenHidden());
}

TEST_F(ContextMenuTest, ARightClickSelectsAnUnselectedBranchAloneAndKeepsALargerSelection)
{
    const std::shared_ptr<TWMapBranch> second = map->root()->children().last();
    struct Case
    {
        const char *name;
        QList<std::shared_ptr<TWMapBranch>> selectedBefore;
        std::shared_ptr<TWMapBranch> clicked;
        QStringList selectedAfter;
    };
    const Case cases[] = {
        {"unselected", {first}, second, {"B"}},
        {"part of the selection", {first, second}, second, {"A", "B"}},
        {"nothing selected", {}, first, {"A"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        map->setSelectedBranches(c.selectedBefore);
        rightClick(centreOf(*c.clicked->mainGraphic()));
        EXPECT_EQ(selectedTexts(), c.selectedAfter);
    }
    // Its operations then act on every selected branch.
    map->setSelectedBranches({first, second});
    QMenu *m = rightClick(centreOf(*second->mainGraphic()));
    const int a = first->countOfChildren(), b = second->countOfChildren();
    itemAt(m, "Add Child Branch/Rectangle Branch")->trigger();
    EXPECT_EQ(first->countOfChildren(), a + 1);
    EXPECT_EQ(second->countOfChildren(), b + 1);
}

TEST_F(ContextMenuTest, AnAttachedGraphicOffersOrderingAndTheEditedTextItsEditorsMenu)
{
    const std::shared_ptr<TWGraphic> box =
        first->publicCreateLinkedGraphicOfType(2, Size(40, 30), std::nullopt, QVariant());
    ASSERT_NE(box, nullptr);
    settle();
    QMenu *m = rightClick(centreOf(*box));
    EXPECT_EQ(titles(m), QStringList({"Delete Branch", "-", "Bring To Front", "Bring Forward",
                                      "Send To Back", "Send Back", "-", "Style"}));
    EXPECT_TRUE(map->isGraphicSelected(box.get()));

    const std::shared_ptr<TWGraphic> note =
        first->publicCreateLinkedGraphicOfType(8, Size(80, 30), std::nullopt, QVariant());
    auto text = std::dynamic_pointer_cast<TWTextArea>(note);
    ASSERT_NE(text, nullptr);
    settle();
    view->startEditingTextArea(text);
    settle();
    ASSERT_EQ(view->editingTextArea(), text.get());
    map->setSelectedBranches({first});
    const QStringList before = selectedTexts();
    m = rightClick(centreOf(*text));
    ASSERT_NE(m, nullptr);
    EXPECT_FALSE(titles(m).contains("Add Sibling Branch"));
    EXPECT_FALSE(titles(m).contains("Bring To Front"));
    EXPECT_FALSE(m->actions().isEmpty()) << "the editor's own items";
    EXPECT_EQ(selectedTexts(), before);
}
