#include "ApplicationTestSupport.h"
#include "TestSupport.h"
#include "application/DocumentController.h"
#include "application/TWCToolbarController.h"
#include "application/TWDToolbarController.h"
#include "application/TWDocument.h"
#include "application/TWDocumentWindow.h"
#include "application/TWMenuDispatcher.h"
#include "application/TWToolbarImages.h"
#include "canvas/TWGraphicView.h"
#include "graphics/TWTextArea.h"
#include "interface/FontPanel.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationQueue.h"
#include "platform/RecordingAlerts.h"
#include "support/Image.h"

#include <QAction>
#include <QColorDialog>
#include <QDir>
#include <QFontDialog>
#include <QListWidget>
#include <QToolBar>
#include <QToolButton>

namespace {

using T = TWToolbarController;
using D = TWDToolbarController;

const QStringList CompactDefault{T::FlexibleSpaceItem, T::ThemeSelectorItem, T::SpaceItem,
                                 T::OutlineViewItem,   T::BranchNotesItem,   T::SpaceItem,
                                 T::MediaBrowserItem,  T::ShowColorsItem,    T::ShowFontsItem,
                                 T::SpaceItem,         T::PrintItem};

class ToolbarTest : public ApplicationTest
{
protected:
    void TearDown() override
    {
        documents.reset();
        NotificationQueue::defaultQueue().flush();
        // Windows go before the application object.
        delete &FontPanel::shared();
        delete &ColorPanel::shared();
        TestSupport::runEventLoopPass();
    }
    // A closed document is freed on the next pass of the event loop.
    static void close(TWDocument *document)
    {
        document->close();
        for (int i = 0; i < 3; ++i)
            TestSupport::runEventLoopPass();
        NotificationQueue::defaultQueue().flush();
        QCoreApplication::processEvents();
    }

    TWDocument *openDocument(Edition edition)
    {
        if (!app) {
            start(edition);
            documents = std::make_unique<TWDocumentController>();
            documents->setShowsWindows(false);
        }
        return static_cast<TWDocument *>(documents->newDocument());
    }
    static TWToolbarController *controllerOf(TWDocument *document)
    {
        return document->documentWindow()->findChild<TWToolbarController *>();
    }
    static QStringList labels(const TWToolbarController &controller)
    {
        QStringList texts;
        for (const QAction *item : controller.toolbar()->actions())
            if (!T::isRepeatable(item->objectName()))
                texts << item->text();
        return texts;
    }

    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
    std::unique_ptr<TWDocumentController> documents;
};

TEST_F(ToolbarTest, NewWindowsShowTheEditionsDefaultItems)
{
    struct Case
    {
        Edition edition;
        QStringList identifiers;
        QStringList labels;
    };
    const QStringList compactLabels{"Theme Selector", "Outline Panel", "Branch Notes Panel",
                                    "Media Browser",  "Colors",        "Fonts",
                                    "Print"};
    const Case cases[] = {
        {Edition::Compact, CompactDefault, compactLabels},
        {Edition::Deluxe, QStringList{D::DocumentViewItem, D::FullScreenItem} + CompactDefault,
         QStringList{"Document View", "Full Screen"} + compactLabels},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.edition));
        documents.reset();
        app.reset();
        TWDocument *document = openDocument(c.edition);
        TWToolbarController *controller = controllerOf(document);
        ASSERT_NE(controller, nullptr);
        EXPECT_EQ(controller->itemIdentifiers(), c.identifiers);
        EXPECT_EQ(labels(*controller), c.labels);
        EXPECT_EQ(controller->defaultItemIdentifiers(), c.identifiers);
        QToolBar *bar = controller->toolbar();
        EXPECT_EQ(bar->objectName(), T::ToolbarIdentifier);
        EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonIconOnly);
        EXPECT_EQ(bar->iconSize(), QSize(32, 32));
        EXPECT_EQ(bar->parentWidget(), document->documentWindow());
        EXPECT_EQ(document->documentWindow()->findChildren<QToolBar *>().size(), 1);
        close(document);
    }
    // A build of neither edition puts no toolbar up.
    TWDocument *document = openDocument(Edition::Compact);
    EXPECT_EQ(T::installToolbar(document, Edition::Generic), nullptr);
}

TEST_F(ToolbarTest, ItemsByIdentifier)
{
    TWDocument *document = openDocument(Edition::Deluxe);
    TWDocumentWindow *window = document->documentWindow();
    TWCToolbarController compact(window);
    TWDToolbarController deluxe(window);
    TWToolbarController shared(window);
    struct Case
    {
        QString identifier;
        QString label;
        QString paletteLabel;
        QString toolTip;
        bool compact;
    };
    const Case cases[] = {
        {T::MediaBrowserItem, "Media Browser", "Media Browser",
         "Add media from your photo, graphics or adornments libraries", true},
        {T::OutlineViewItem, "Outline Panel", "Outline Panel",
         "Edit your branches in the Outline Panel", true},
        {T::BranchNotesItem, "Branch Notes Panel", "Branch Notes Panel", "Edit your branch notes",
         true},
        {T::OutlineComboItem, "Outline & Branch Notes Combo Panel", "Branch Outline and Notes",
         "Edit your outline and branch notes", true},
        {T::ThemeSelectorItem, "Theme Selector", "Theme Selector", "Select a theme for your map",
         true},
        {D::DocumentViewItem, "Document View", "Document View", "Show all maps in the document",
         false},
        {D::FullScreenItem, "Full Screen", "Full Screen", "Show the map in full screen", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.identifier.toStdString());
        std::unique_ptr<QAction> item(deluxe.itemForItemIdentifier(c.identifier, true));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), c.label);
        EXPECT_EQ(item->property("paletteLabel").toString(), c.paletteLabel);
        EXPECT_EQ(item->toolTip(), c.toolTip);
        EXPECT_EQ(item->icon().availableSizes(), QList<QSize>{QSize(32, 32)});
        std::unique_ptr<QAction> compactItem(compact.itemForItemIdentifier(c.identifier, true));
        EXPECT_EQ(compactItem != nullptr, c.compact);
        EXPECT_TRUE(deluxe.allowedItemIdentifiers().contains(c.identifier));
        EXPECT_EQ(compact.allowedItemIdentifiers().contains(c.identifier), c.compact);
    }
    // The combo is offered, not shown; the shared controller has no lists.
    EXPECT_FALSE(compact.defaultItemIdentifiers().contains(T::OutlineComboItem));
    EXPECT_FALSE(deluxe.defaultItemIdentifiers().contains(T::OutlineComboItem));
    EXPECT_TRUE(shared.defaultItemIdentifiers().isEmpty());
    EXPECT_TRUE(shared.allowedItemIdentifiers().isEmpty());
    for (const QString &unknown : {QStringLiteral("TWToolbarOtherIdentifier"), QString()})
        EXPECT_EQ(deluxe.itemForItemIdentifier(unknown, true), nullptr);
    // The theme picture is drawn larger than the item shows it.
    EXPECT_GT(TWToolbarImages::named("TWToolbarTheme").width(), 32);
}

TEST_F(ToolbarTest, CustomisationSurvivesReopeningPerEdition)
{
    struct Case
    {
        Edition edition;
        QStringList chosen;
        QStringList kept;
    };
    const Case cases[] = {
        {Edition::Compact,
         {T::OutlineComboItem, T::SeparatorItem, T::SeparatorItem, T::PrintItem},
         {T::OutlineComboItem, T::SeparatorItem, T::SeparatorItem, T::PrintItem}},
        // Items of the other edition, unknown ones and repeats of single items go.
        {Edition::Compact,
         {D::FullScreenItem, T::PrintItem, "TWToolbarOtherIdentifier", T::PrintItem,
          T::OutlineComboItem},
         {T::PrintItem, T::OutlineComboItem}},
        {Edition::Deluxe,
         {T::OutlineComboItem, D::FullScreenItem, T::FlexibleSpaceItem, D::DocumentViewItem},
         {T::OutlineComboItem, D::FullScreenItem, T::FlexibleSpaceItem, D::DocumentViewItem}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.edition));
        documents.reset();
        app.reset();
        TWDocument *first = openDocument(c.edition);
        controllerOf(first)->setItemIdentifiers(c.chosen);
        EXPECT_EQ(controllerOf(first)->itemIdentifiers(), c.kept);
        close(first);
        TWDocument *reopened = openDocument(c.edition);
        EXPECT_EQ(controllerOf(reopened)->itemIdentifiers(), c.kept);
        EXPECT_EQ(controllerOf(reopened)->savedItemIdentifiers(), c.kept);
        close(reopened);
    }
}

TEST_F(ToolbarTest, CustomizeDialogArrangesItems)
{
    TWDocument *document = openDocument(Edition::Compact);
    TWToolbarController *controller = controllerOf(document);
    controller->setItemIdentifiers({T::ThemeSelectorItem, T::SpaceItem, T::PrintItem});
    TWToolbarCustomizeDialog dialog(*controller);
    EXPECT_EQ(dialog.allowedList()->count(), controller->allowedItemIdentifiers().size());
    EXPECT_EQ(dialog.currentList()->count(), 3);
    struct Step
    {
        std::function<void()> run;
        QStringList after;
    };
    const QString theme = T::ThemeSelectorItem, space = T::SpaceItem, print = T::PrintItem,
                  combo = T::OutlineComboItem;
    const Step steps[] = {
        {[&] { dialog.insertItem(combo, 1); }, {theme, combo, space, print}},
        // A single item moves; a space is added again.
        {[&] { dialog.insertItem(theme, 3); }, {combo, space, theme, print}},
        {[&] { dialog.insertItem(space); }, {combo, space, theme, print, space}},
        {[&] { dialog.insertItem(D::FullScreenItem); }, {combo, space, theme, print, space}},
        {[&] { dialog.moveRow(0, 4); }, {space, theme, print, space, combo}},
        {[&] { dialog.moveRow(0, 9); }, {space, theme, print, space, combo}},
        {[&] { dialog.removeRow(2); }, {space, theme, space, combo}},
        {[&] { dialog.removeRow(-1); }, {space, theme, space, combo}},
        {[&] { dialog.useDefaultSet(); }, CompactDefault},
    };
    for (const Step &step : steps) {
        step.run();
        EXPECT_EQ(dialog.identifiers(), step.after);
        EXPECT_EQ(dialog.currentList()->count(), step.after.size());
    }
    EXPECT_EQ(controller->itemIdentifiers(), (QStringList{theme, space, print}))
        << "nothing changes before OK";
}

TEST_F(ToolbarTest, ItemsSendTheirCommands)
{
    TWDocument *document = openDocument(Edition::Deluxe);
    TWToolbarController *controller = controllerOf(document);
    controller->setItemIdentifiers(controller->allowedItemIdentifiers());
    struct Case
    {
        QString identifier;
        QStringList calls;
    };
    const Case cases[] = {
        {T::MediaBrowserItem, {"media browser"}},
        {T::OutlineViewItem, {"outline front", "outline only"}},
        {T::BranchNotesItem, {"outline front", "notes only"}},
        {T::OutlineComboItem, {"outline front", "split view"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.identifier.toStdString());
        callLog().clear();
        QAction *item = controller->itemWithIdentifier(c.identifier);
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(item->isEnabled());
        item->trigger();
        EXPECT_EQ(callLog(), c.calls);
    }

    TWDocumentWindow *window = document->documentWindow();
    controller->itemWithIdentifier(T::ShowFontsItem)->trigger();
    EXPECT_TRUE(FontPanel::shared().dialog()->isVisible());
    EXPECT_EQ(FontPanel::shared().currentWindow(), window);
    FontPanel::shared().dialog()->close();
    controller->itemWithIdentifier(T::ShowColorsItem)->trigger();
    QColorDialog *colors = ColorPanel::shared().dialog();
    EXPECT_TRUE(colors->isVisible());
    EXPECT_TRUE(colors->testOption(QColorDialog::ShowAlphaChannel));
    EXPECT_EQ(ColorPanel::shared().currentWindow(), window);
    colors->close();
}

TEST_F(ToolbarTest, FontsItemMakesTheWindowsSelectionTheFontPanelsTarget)
{
    TWDocument *first = openDocument(Edition::Deluxe);
    TWDocument *second = openDocument(Edition::Deluxe);
    for (TWDocument *document : {first, second}) {
        document->graphicView()->endEditingTextArea();
        TWMap *map = document->mapsDocument()->currentMap().get();
        map->setSelectedBranches({map->root()});
    }
    const auto rootFont = [](TWDocument *document) {
        const TWTextArea *label =
            document->mapsDocument()->currentMap()->root()->enclosedTextArea().get();
        return label->text().attribute(NSFontAttributeName, 0).value<Font>();
    };
    const Font before = rootFont(first);
    const Font chosen(QStringLiteral("DejaVuSerif-Bold"), 27);
    ASSERT_NE(before, chosen);
    controllerOf(second)->itemWithIdentifier(T::ShowFontsItem)->trigger();
    FontPanel::shared().chooseFont(chosen);
    EXPECT_EQ(rootFont(second), chosen);
    EXPECT_EQ(rootFont(first), before) << "only the window the panel was opened for";
    FontPanel::shared().dialog()->close();
}

TEST_F(ToolbarTest, FullScreenTwiceEntersAndLeaves)
{
    TWDocument *document = openDocument(Edition::Deluxe);
    TWToolbarController *controller = controllerOf(document);
    TWDocumentWindow *window = document->documentWindow();
    QAction *fullScreen = controller->itemWithIdentifier(D::FullScreenItem);
    ASSERT_NE(fullScreen, nullptr);
    window->show();
    TestSupport::runEventLoopPass();

    // The Deluxe document takes the command by its name.
    controller->validateVisibleItems();
    ASSERT_TRUE(fullScreen->isEnabled());
    const bool states[] = {true, false};
    for (const bool full : states) {
        fullScreen->trigger();
        TestSupport::runEventLoopPass();
        EXPECT_EQ(window->windowState().testFlag(Qt::WindowFullScreen), full);
        EXPECT_EQ(controller->toolbar()->isVisible(), !full);
    }
    window->close();
}

TEST_F(ToolbarTest, ToolbarIsDrawn)
{
    TWDocument *document = openDocument(Edition::Deluxe);
    TWToolbarController *controller = controllerOf(document);
    TWDocumentWindow *window = document->documentWindow();
    window->resize(900, 500);
    window->show();
    TestSupport::runEventLoopPass();
    const QImage bar = controller->toolbar()->grab().toImage();
    ASSERT_FALSE(bar.isNull());
    EXPECT_GE(bar.height(), 32);
    // Icons draw more than the bar's background.
    QSet<QRgb> colours;
    for (int x = 0; x < bar.width(); x += 2)
        colours.insert(bar.pixel(x, bar.height() / 2));
    EXPECT_GT(colours.size(), 8);
    // Kept for a person to look at when asked for.
    if (const QString folder = qEnvironmentVariable("THINKWEB_SCREENSHOTS"); !folder.isEmpty())
        window->grab().save(QDir(folder).filePath("toolbar-deluxe.png"));
    window->close();
}

} // namespace

// Every button the toolbar shows, on both editions, names what it does in a
// tool tip, also while another window has the focus.
TEST_F(ToolbarTest, EveryShownButtonHasAToolTip)
{
    for (Edition edition : {Edition::Compact, Edition::Deluxe}) {
        SCOPED_TRACE(int(edition));
        documents.reset();
        app.reset();
        TWDocument *document = openDocument(edition);
        TWToolbarController *controller = controllerOf(document);
        ASSERT_NE(controller, nullptr);
        int buttons = 0;
        for (QAction *item : controller->toolbar()->actions()) {
            if (T::isRepeatable(item->objectName()))
                continue;
            auto *button = qobject_cast<QToolButton *>(controller->toolbar()->widgetForAction(item));
            ASSERT_TRUE(button) << item->objectName().toStdString();
            EXPECT_FALSE(button->toolTip().isEmpty()) << item->objectName().toStdString();
            ++buttons;
        }
        EXPECT_EQ(buttons, edition == Edition::Deluxe ? 9 : 7);
        EXPECT_TRUE(document->documentWindow()->testAttribute(Qt::WA_AlwaysShowToolTips));
        close(document);
    }
}
