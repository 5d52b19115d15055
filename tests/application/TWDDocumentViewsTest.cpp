#include "DocumentTestSupport.h"

#include "application/TWDDocument.h"
#include "canvas/TWToolPaletteController.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "interface/TWImageGrid.h"
#include "interface/TWTransitionView.h"
#include "model/TWMapPreviewImage.h"
#include "palettes/TWNavigatorView.h"
#include "support/AttributedString.h"

#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>

namespace {

QStringList childTexts(const TWMapBranch &branch)
{
    QStringList texts;
    for (const std::shared_ptr<TWMapBranch> &child : branch.children())
        texts << child->enclosedTextArea()->text().string();
    return texts;
}

QAction *itemTitled(QMenu *menu, const QString &path)
{
    QMenu *current = menu;
    const QStringList steps = path.split(u'/');
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

} // namespace

class DeluxeViewsTest : public DocumentTest
{
protected:
    TWDDocument *deluxe()
    {
        auto *document = dynamic_cast<TWDDocument *>(untitled());
        EXPECT_NE(document, nullptr);
        settle();
        if (TWGraphicView *view = document->graphicView())
            view->endEditingTextNotification();
        return document;
    }
    void addMaps(TWDDocument *document, int count)
    {
        for (int i = 0; i < count; ++i)
            document->mapsDocument()->publicCreateNewMapAtIndex(
                document->mapsDocument()->countOfMaps());
        settle();
    }
    bool send(TWDocument *document, const QString &selector, TWMenuItem *validated = nullptr)
    {
        TWMenuItem item;
        item.selector = selector;
        if (validated) {
            *validated = item;
            return document->menuDispatcher()->validateItem(*validated);
        }
        return document->menuDispatcher()->sendItem(item);
    }
    std::shared_ptr<TWMapBranch> addChild(TWMap &map, const std::shared_ptr<TWMapBranch> &parent,
                                          const QString &text)
    {
        map.setSelectedBranches({parent});
        const TWMap::BranchList made = map.publicCreateChildrenOfType(2, text, false);
        map.removeAllSelectedGraphics();
        return made.value(0);
    }
};

TEST_F(DeluxeViewsTest, ANewMapFromABranchTakesItsTextGraphicAndSubtrees)
{
    TWDDocument *document = deluxe();
    TWMap &source = *document->mapsDocument()->currentMap();
    const std::shared_ptr<TWMapBranch> topic = addChild(source, source.root(), "Topic");
    const std::shared_ptr<TWMapBranch> one = addChild(source, topic, "One");
    addChild(source, topic, "Two");
    addChild(source, topic, "Three");
    addChild(source, one, "One child");
    ASSERT_NE(topic->publicCreateLinkedGraphicOfType(2, Size(30, 20), std::nullopt, QVariant()),
              nullptr);
    settle();
    const int sourceBranches = int(source.allBranches().size());

    TWMenuItem item;
    source.removeAllSelectedGraphics();
    EXPECT_FALSE(send(document, "createNewMapFromSelectedBranch:", &item)) << "nothing selected";
    source.setSelectedBranches({topic});
    EXPECT_TRUE(send(document, "createNewMapFromSelectedBranch:", &item));
    ASSERT_TRUE(send(document, "createNewMapFromSelectedBranch:"));
    settle();

    TWMapsDoc *maps = document->mapsDocument();
    ASSERT_EQ(maps->countOfMaps(), 2);
    EXPECT_EQ(maps->currentMapNumber(), 1);
    const TWMap &made = *maps->currentMap();
    EXPECT_EQ(made.root()->enclosedTextArea()->text().string(), "Topic");
    EXPECT_EQ(made.root()->linkedGraphics().size(), 1);
    // The pasted branches take their places by position, in any order.
    QStringList firstLevel = childTexts(*made.root());
    firstLevel.sort();
    EXPECT_EQ(firstLevel, QStringList({"One", "Three", "Two"}));
    for (const std::shared_ptr<TWMapBranch> &child : made.root()->children())
        EXPECT_EQ(childTexts(*child), child->enclosedTextArea()->text().string() == "One"
                                          ? QStringList({"One child"})
                                          : QStringList());
    EXPECT_EQ(int(source.allBranches().size()), sourceBranches) << "the source is not changed";
    EXPECT_EQ(childTexts(*topic), QStringList({"One", "Two", "Three"}));
    EXPECT_EQ(document->mapTabView()->count(), 2);
}

TEST_F(DeluxeViewsTest, DuplicatingAppendsACurrentCopyAndPageFramesToggle)
{
    TWDDocument *document = deluxe();
    TWMap &original = *document->mapsDocument()->currentMap();
    original.setName(QString("Plan"));
    addChild(original, original.root(), "Step");
    settle();
    ASSERT_TRUE(send(document, "duplicateCurrentMap:"));
    settle();
    TWMapsDoc *maps = document->mapsDocument();
    ASSERT_EQ(maps->countOfMaps(), 2);
    EXPECT_EQ(maps->currentMapNumber(), 1);
    EXPECT_EQ(maps->currentMap()->mapName(), "Plan");
    EXPECT_EQ(childTexts(*maps->currentMap()->root()), QStringList({"Step"}));
    EXPECT_NE(maps->currentMap()->identifier(), original.identifier());

    for (bool expected : {true, false}) {
        ASSERT_TRUE(send(document, "togglePageFrames:"));
        EXPECT_EQ(maps->showPageFrames(), expected);
        TWMenuItem item;
        EXPECT_TRUE(send(document, "togglePageFrames:", &item));
        EXPECT_EQ(item.checked, std::optional<bool>(expected));
    }
}

TEST_F(DeluxeViewsTest, TheDocumentViewTogglesWithARippleOfOneOrFourSeconds)
{
    struct Case
    {
        Qt::KeyboardModifiers modifiers;
        float seconds;
    };
    const Case cases[] = {{Qt::NoModifier, 1.0f},
                          {Qt::ShiftModifier, 4.0f},
                          {Qt::ShiftModifier | Qt::ControlModifier, 4.0f},
                          {Qt::ControlModifier, 1.0f}};
    for (const Case &c : cases)
        EXPECT_EQ(TWDDocument::transitionDuration(c.modifiers), c.seconds) << int(c.modifiers);

    TWDDocument *document = deluxe();
    show(document);
    TWNavigatorView navigator;
    navigator.setDocument(document);
    TWMap &map = *document->mapsDocument()->currentMap();
    map.setSelectedBranches({map.root()});
    ASSERT_FALSE(document->documentViewActive());
    for (bool expected : {true, false}) {
        ASSERT_TRUE(send(document, "toggleDocumentView:"));
        EXPECT_EQ(document->documentViewActive(), expected);
        EXPECT_EQ(navigator.documentViewActive(), expected) << "the navigator follows";
        ASSERT_TRUE(document->mainView()->isAnimating());
        EXPECT_EQ(document->mainView()->animation()->duration(), 1000);
        document->mainView()->finishTransition();
        TWMenuItem item;
        EXPECT_TRUE(send(document, "toggleDocumentView:", &item));
        EXPECT_EQ(item.checked, std::optional<bool>(expected));
        if (expected) {
            EXPECT_TRUE(map.selectedGraphics().isEmpty()) << "the map's selection is cleared";
        }
    }
}

TEST_F(DeluxeViewsTest, ViewOptionsFlipOnEverySelectedMap)
{
    TWDDocument *document = deluxe();
    addMaps(document, 2);
    document->showDocumentViewUsingTransition(false);
    TWMapsDoc *maps = document->mapsDocument();
    const auto shadows = [maps] {
        QList<bool> list;
        for (const auto &map : maps->maps())
            list << map->showShadows();
        return list;
    };
    const QList<bool> start = shadows();
    ASSERT_EQ(start, QList<bool>({start[0], start[0], start[0]}));

    document->setSelectedGridRows({});
    EXPECT_EQ(document->imageGridMenuForEvent(nullptr), nullptr) << "no map, no menu";

    document->setSelectedGridRows({0, 2});
    QMenu *menu = document->imageGridMenuForEvent(nullptr);
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(itemTitled(menu, "Style"), nullptr);
    EXPECT_NE(itemTitled(menu, "Style")->menu(), nullptr) << "the map styles' menu";
    QAction *item = itemTitled(menu, "View Options/Show Shadows");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->isChecked(), start[0]);
    item->trigger();
    EXPECT_EQ(shadows(), QList<bool>({!start[0], start[0], !start[0]}));

    // Maps that disagree show the option off; choosing it turns it on everywhere.
    document->setSelectedGridRows({0, 1});
    item = itemTitled(document->imageGridMenuForEvent(nullptr), "View Options/Show Shadows");
    EXPECT_FALSE(item->isChecked());
    item->trigger();
    EXPECT_EQ(shadows().mid(0, 2), QList<bool>({true, true}));

    // A map added while the grid shows comes into it.
    maps->publicCreateNewMapAtIndex(maps->countOfMaps());
    settle();
    EXPECT_EQ(document->documentViewImageGrid()->model()->rowCount(), 4);
    // Each map shows as its own preview as it is now, an edited one too.
    maps->objectInMapsAtIndex(1)->setBackgroundColor(Color::colorWithCalibratedRed(1, 0, 0));
    settle();
    for (int row = 0; row < maps->countOfMaps(); ++row) {
        SCOPED_TRACE(row);
        const QImage shown = document->documentViewImageGrid()
                                 ->model()
                                 ->index(row, 0)
                                 .data(Qt::DecorationRole)
                                 .value<QImage>();
        ASSERT_FALSE(shown.isNull());
        const auto preview = maps->objectInMapsAtIndex(row)->cachedPreviewImage();
        ASSERT_TRUE(preview);
        EXPECT_EQ(shown, preview->toImage(shown.size()));
    }

    // OK takes the first picked map to the map view.
    document->setSelectedGridRows({2});
    document->ok();
    document->mainView()->finishTransition();
    EXPECT_EQ(maps->currentMapNumber(), 2);
    EXPECT_FALSE(document->documentViewActive());
}

TEST_F(DeluxeViewsTest, FullScreenHidesBarsAndRestoresThemAndTheFrame)
{
    for (bool toolbarShown : {true, false}) {
        SCOPED_TRACE(toolbarShown ? "toolbar shown" : "toolbar hidden");
        TWDDocument *document = deluxe();
        TWDocumentWindow *window = document->documentWindow();
        auto *toolbar = window->addToolBar(QStringLiteral("tools"));
        toolbar->addAction(QStringLiteral("x"));
        toolbar->setVisible(toolbarShown);
        show(document);
        window->setGeometry(QRect(40, 50, 700, 500));
        settle();
        const QRect frame = window->geometry();
        int posted = 0;
        const ObserverToken token = NotificationCenter::defaultCenter().observe(
            TWToolPaletteController::FullScreenChangedNotification, document,
            [&posted](const Notification &) { ++posted; });

        ASSERT_TRUE(send(document, "toggleFullScreen:"));
        settle();
        EXPECT_TRUE(document->isFullScreen());
        EXPECT_FALSE(toolbar->isVisible());
        EXPECT_FALSE(window->menuBar()->isVisible());
        EXPECT_TRUE(document->fullScreenControlWindow()->isVisible());
        EXPECT_EQ(window->geometry().size(), window->screen()->geometry().size());

        ASSERT_TRUE(send(document, "toggleFullScreen:"));
        settle();
        EXPECT_FALSE(document->isFullScreen());
        EXPECT_EQ(toolbar->isVisible(), toolbarShown);
        EXPECT_TRUE(window->menuBar()->isVisible());
        EXPECT_FALSE(document->fullScreenControlWindow()->isVisible());
        EXPECT_EQ(window->geometry(), frame);
        EXPECT_EQ(posted, 2);
    }
}

TEST_F(DeluxeViewsTest, SavingUnderANewNameLeavesFullScreenFirst)
{
    struct Case
    {
        const char *name;
        bool titled;
        bool saveAs;
        bool fullScreenAfter;
    };
    const Case cases[] = {{"save untitled", false, false, false},
                          {"save as", true, true, false},
                          {"save titled", true, false, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TWDDocument *document = deluxe();
        show(document);
        if (c.titled) {
            const QString path = dir.filePath(QString(c.name) + ".tweb");
            ASSERT_EQ(document->writeToFile(path), TWFileIO::SaveSucceeded);
            document->setFileName(path);
        }
        document->beginFullScreen();
        ASSERT_TRUE(document->isFullScreen());
        alerts.queueSaveResponse(std::nullopt);
        if (c.saveAs)
            document->saveAs();
        else
            document->save();
        EXPECT_EQ(document->isFullScreen(), c.fullScreenAfter);
        document->endFullScreen();
    }
}
