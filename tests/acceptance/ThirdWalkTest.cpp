// A third walk along the main road: ways out of full screen, every map of
// a document within reach, map names shown as they stand.

#include "AcceptanceSupport.h"

#include "application/TWCDocument.h"
#include "canvas/TWFindController.h"
#include "canvas/TWFindPanel.h"
#include "application/TWDDocument.h"
#include "application/TWExportMenu.h"
#include "application/TWOutlineModel.h"
#include "application/TWOutlineViewController.h"
#include "application/TWMapSelector.h"
#include "application/TWMapTabBar.h"
#include "application/TWTemplateSelectorPanelController.h"
#include "graphics/TWLinkLine.h"
#include "exchange/TWExportPanel.h"
#include "mapdrawing/TWCPrintController.h"
#include "mapdrawing/TWDPrintController.h"
#include "mapdrawing/TWDPrintSetupPanel.h"
#include "media/TWMediaBrowserWindow.h"
#include "media/TWMediaBrowserController.h"
#include "styles/TWTheme.h"

#include "application/TWMenuDispatcher.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDropEvent>
#include <QRegularExpression>
#include <QMimeData>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QSignalSpy>
#include <poppler-qt6.h>
#include <QPushButton>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeWidgetItemIterator>
#include <QTreeWidget>
#include <functional>
#include <random>

class ThirdWalk : public AcceptanceTest
{
protected:
    // The program runs as it does for a user; the window's close button is
    // pressed, and the program must end by itself: 0, else it is ended
    // after a while with 7.
    int closeAndRun(TWDocument *document)
    {
        document->clearChangeCount();
        QWindow *window = document->mainWindow()->windowHandle();
        QTimer press, giveUp;
        press.setSingleShot(true);
        giveUp.setSingleShot(true);
        QObject::connect(&press, &QTimer::timeout, [window] { window->close(); });
        QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(7); });
        press.start(50);
        giveUp.start(5000);
        const int ended = QCoreApplication::exec();
        giveUp.stop();
        settle();
        return ended;
    }
    // The File menu's Export items, as the program has them.
    void beforeLaunch() override
    {
        exportMenu = std::make_unique<TWExportMenu>(*documentController);
        services.exporters = exportMenu.get();
    }
    // A document of three maps, the second current; the first in the Night
    // theme, navy behind light labels, when `night`.
    TWDocument *threeMaps(bool night)
    {
        UserDefaults::standard().setBool(false, QStringLiteral("TWShowTemplatesPanelWhenCreatingMaps"));
        TWDocument *document = newDocument();
        if (!document)
            return nullptr;
        key(document, Qt::Key_Escape);
        grow(document, *currentMap(document)->root(), {"Plans", "People"});
        for (int i = 0; i < 2; ++i) {
            EXPECT_TRUE(choose(document, {"Map", "Add Map"}));
            key(document, Qt::Key_Escape);
            grow(document, *currentMap(document)->root(), {QStringLiteral("Map %1").arg(i + 2)});
        }
        TWMapsDoc *maps = document->mapsDocument();
        if (night) {
            for (const auto &theme : TWThemeManager::sharedThemeManager().orderedThemes())
                if (theme->name == u"Night") {
                    maps->objectInMapsAtIndex(0)->setTheme(theme);
                    maps->objectInMapsAtIndex(0)->updateThemeIncludingGraphics(true);
                }
            EXPECT_TRUE(maps->objectInMapsAtIndex(0)->themeID()) << "no Night theme";
        }
        key(document, Qt::Key_PageUp, Qt::ControlModifier);
        EXPECT_EQ(maps->currentMapNumber(), 1);
        return document;
    }
    // The share of an image's pixels that are dark.
    static double darkShare(const QImage &image)
    {
        if (image.isNull())
            return 0;
        qint64 dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                // What is not drawn shows the paper.
                const QColor c = QColor::fromRgba(image.pixel(x, y));
                dark += c.alpha() >= 128 && c.valueF() < 0.4;
            }
        return double(dark) / (double(image.width()) * image.height());
    }
    static QImage firstPageOf(const QString &pdf)
    {
        std::unique_ptr<Poppler::Document> document = Poppler::Document::load(pdf);
        if (!document || document->numPages() < 1)
            return QImage();
        return document->page(0)->renderToImage(36, 36);
    }

    std::unique_ptr<TWExportMenu> exportMenu;
    // A seeded walk of `steps` random edits, undos and redos.
    void randomWalk(unsigned seed, int steps);
    // Whether a window point lies on the canvas, away from its scroll bars.
    static bool onCanvas(TWDocument *document, QPoint at)
    {
        QWidget *viewport = document->graphicView()->viewport();
        const QRect shown(viewport->mapTo(document->mainWindow(), QPoint(0, 0)), viewport->size());
        return shown.adjusted(4, 4, -4, -4).contains(at);
    }
    // Keys go to the window that has the focus now: the full-screen panel,
    // the grid of maps or the canvas.
    void keyToFocus(Qt::Key code, Qt::KeyboardModifiers modifiers = {})
    {
        QWidget *target = QApplication::focusWidget();
        if (!target)
            target = QApplication::activeWindow();
        ASSERT_TRUE(target);
        QTest::keyClick(target, code, modifiers);
        settle();
    }
    static bool toolbarsShown(TWDocument *document)
    {
        const auto toolbars =
            document->mainWindow()->findChildren<QToolBar *>(Qt::FindDirectChildrenOnly);
        for (QToolBar *toolbar : toolbars)
            if (!toolbar->isVisibleTo(document->mainWindow()))
                return false;
        return !toolbars.isEmpty();
    }
    // Map > Add Map, with the template chooser cancelled when it shows.
    void addMapCancellingTheChooser(TWDocument *document)
    {
        TWTemplateSelectorPanelController &chooser =
            TWTemplateSelectorPanelController::sharedTemplateSelectorPanelController();
        std::function<void()> cancel = [&] {
            QDialog *panel = chooser.templateSelectorPanel();
            if (!panel->isVisible()) {
                QTimer::singleShot(20, cancel);
                return;
            }
            panel->reject();
        };
        QTimer::singleShot(20, cancel);
        ASSERT_TRUE(choose(document, {"Map", "Add Map"}));
        wait(100);
    }
};

TEST_P(ThirdWalk, EveryWayIntoFullScreenHasAWayOut)
{
    if (edition() == Edition::Compact)
        GTEST_SKIP() << "the Compact window has no full screen";
    struct Case
    {
        const char *what;
        bool documentView;
        std::function<void(TWDDocument *)> leave;
    };
    const Case cases[] = {
        {"the panel's close button", false,
         [](TWDDocument *d) { d->fullScreenControlWindow()->windowHandle()->close(); }},
        {"the panel's close button over the grid", true,
         [](TWDDocument *d) { d->fullScreenControlWindow()->windowHandle()->close(); }},
        {"Exit Full Screen on the panel", true,
         [this](TWDDocument *d) {
             for (QPushButton *button : d->fullScreenControlWindow()->findChildren<QPushButton *>())
                 if (button->text() == u"Exit Full Screen")
                     QTest::mouseClick(button, Qt::LeftButton);
             settle();
         }},
        {"Escape on the map", false,
         [this](TWDDocument *d) { key(d, Qt::Key_Escape); }},
        {"Escape over the grid", true,
         [this](TWDDocument *d) { key(d, Qt::Key_Escape); }},
        {"Escape on the panel", false,
         [this](TWDDocument *d) {
             QTest::keyClick(d->fullScreenControlWindow(), Qt::Key_Escape);
             settle();
         }},
        {"Ctrl+Alt+F over the grid", true,
         [this](TWDDocument *d) {
             key(d, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
         }},
    };
    auto *document = static_cast<TWDDocument *>(newDocument());
    ASSERT_TRUE(document);
    auto *window = qobject_cast<QMainWindow *>(document->mainWindow());
    ASSERT_TRUE(window);
    const QRect before = window->geometry();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        key(document, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
        ASSERT_TRUE(document->isFullScreen()) << "Ctrl+Alt+F did not enter full screen";
        EXPECT_FALSE(window->menuBar()->isVisible());
        // The window is in front again, as a user clicks into it.
        QApplication::setActiveWindow(window);
        settle();
        if (c.documentView) {
            key(document, Qt::Key_V, Qt::ControlModifier | Qt::AltModifier);
            ASSERT_TRUE(document->documentViewActive());
            document->documentViewImageGrid()->setFocus();
        } else {
            document->graphicView()->setFocus();
        }
        wait(50);
        grab(document, QStringLiteral("full-%1").arg(QString::fromLatin1(c.what)));
        c.leave(document);
        wait(50);
        EXPECT_FALSE(document->isFullScreen());
        EXPECT_FALSE(window->isFullScreen());
        EXPECT_TRUE(window->menuBar()->isVisible());
        EXPECT_TRUE(toolbarsShown(document));
        EXPECT_FALSE(document->fullScreenControlWindow()->isVisible());
        EXPECT_EQ(window->geometry().size(), before.size());
        grab(document, QStringLiteral("left-%1").arg(QString::fromLatin1(c.what)));
        if (document->documentViewActive())
            document->toggleDocumentView();
        wait(50);
        // The menu keys work again once the bar is back.
        EXPECT_TRUE(window->actions().isEmpty() ||
                    !window->actions().contains(menuItem(document, {"View", "Full Screen"})));
    }
}

TEST_P(ThirdWalk, EveryMapOfTheDocumentIsWithinReach)
{
    // The map keys are the window's shortcuts, which reach it only where the
    // window system makes it active (the run under Xvfb).
    if (QGuiApplication::platformName() == u"offscreen")
        GTEST_SKIP() << "needs a window system that activates windows";
    struct Case
    {
        const char *what;
        bool chooser; // Add Map shows the template chooser, which is cancelled
    };
    const Case cases[] = {{"chooser cancelled", true}, {"blank map", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        UserDefaults::standard().setBool(c.chooser,
                                         QStringLiteral("TWShowTemplatesPanelWhenCreatingMaps"));
        TWDocument *document = newDocument();
        ASSERT_TRUE(document);
        TWMapsDoc *maps = document->mapsDocument();
        key(document, Qt::Key_Escape);
        grow(document, *currentMap(document)->root(), {"Old branch"});
        const TWMap *first = currentMap(document);
        if (c.chooser)
            addMapCancellingTheChooser(document);
        else
            ASSERT_TRUE(choose(document, {"Map", "Add Map"}));
        ASSERT_EQ(maps->countOfMaps(), 2);
        ASSERT_EQ(maps->currentMapNumber(), 1);
        key(document, Qt::Key_Escape);

        // The keys step through the maps, round the end.
        key(document, Qt::Key_PageUp, Qt::ControlModifier);
        EXPECT_EQ(currentMap(document), first) << "Ctrl+PageUp";
        EXPECT_EQ(childLabels(*currentMap(document)->root()), QStringList{"Old branch"});
        grab(document, QStringLiteral("%1-back").arg(QString::fromLatin1(c.what)));
        key(document, Qt::Key_PageDown, Qt::ControlModifier);
        EXPECT_EQ(maps->currentMapNumber(), 1) << "Ctrl+PageDown";
        key(document, Qt::Key_PageDown, Qt::ControlModifier);
        EXPECT_EQ(maps->currentMapNumber(), 0) << "Ctrl+PageDown after the last map";

        if (edition() == Edition::Compact) {
            // The map selector from the Map menu, a row double-clicked.
            auto *compact = static_cast<TWCDocument *>(document);
            bool shown = false;
            QTimer::singleShot(50, [&] {
                TWMapSelector *selector = compact->mapSelector();
                if (!selector)
                    return;
                shown = true;
                QTableWidget *table = selector->tableView();
                const QRect cell = table->visualRect(table->model()->index(1, 0));
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
                QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
            });
            ASSERT_TRUE(choose(document, {"Map", "Choose Map..."}));
            EXPECT_TRUE(shown) << "no map selector";
            EXPECT_EQ(maps->currentMapNumber(), 1);
            EXPECT_FALSE(compact->mapSelector());
        }
        document->clearChangeCount();
        document->mainWindow()->close();
        settle();
    }
}

TEST_P(ThirdWalk, MapTabsShowAmpersandsAsTheyStand)
{
    if (edition() == Edition::Compact)
        GTEST_SKIP() << "the Compact window has no map tabs";
    auto *document = static_cast<TWDDocument *>(newDocument());
    ASSERT_TRUE(document);
    TWMapsDoc *maps = document->mapsDocument();
    key(document, Qt::Key_Escape);
    UserDefaults::standard().setBool(false, QStringLiteral("TWShowTemplatesPanelWhenCreatingMaps"));
    ASSERT_TRUE(choose(document, {"Map", "Add Map"}));
    ASSERT_EQ(maps->countOfMaps(), 2);
    maps->objectInMapsAtIndex(1)->setName(QStringLiteral("R&D"));
    maps->objectInMapsAtIndex(0)->setName(QStringLiteral("A && B&"));
    document->updateMapTabs();
    key(document, Qt::Key_PageUp, Qt::ControlModifier);
    ASSERT_EQ(maps->currentMapNumber(), 0);
    settle();
    grab(document, QStringLiteral("tabs"));

    // What the tab bar shows, as it tells assistive tools.
    TWMapTabBar *tabs = document->mapTabView();
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(tabs);
    ASSERT_TRUE(bar);
    QStringList shown;
    for (int i = 0; i < bar->childCount(); ++i)
        if (QAccessibleInterface *tab = bar->child(i); tab && tab->role() == QAccessible::PageTab)
            shown << tab->text(QAccessible::Name);
    EXPECT_EQ(shown, QStringList({"A && B&", "R&D"}));
    EXPECT_EQ(tabs->labels(), QStringList({"A && B&", "R&D"}));
    // No letter of a name is a key to its tab.
    key(document, Qt::Key_D, Qt::AltModifier);
    EXPECT_EQ(maps->currentMapNumber(), 0) << "Alt+D jumped to a tab";
    key(document, Qt::Key_B, Qt::AltModifier);
    EXPECT_EQ(maps->currentMapNumber(), 0) << "Alt+B jumped to a tab";
}

// Export panels and the print sheet start with the background of a dark
// map on, and the user can still turn it off; exporting every map comes
// back to the map that was current.
TEST_P(ThirdWalk, DarkMapsExportWithTheirBackgroundAndTheWindowStaysOnItsMap)
{
    struct Case
    {
        const char *what;
        QStringList item;
        const char *suffix;
        bool night;
        bool turnedOff; // the user unticks "Include map background"
        bool backgroundStartsOn;
    };
    const Case cases[] = {
        {"PDF of a night map", {"File", "Export", "PDF..."}, "pdf", true, false, true},
        {"GIF of a night map", {"File", "Export", "GIF..."}, "gif", true, false, true},
        {"GIF of a night map, background off", {"File", "Export", "GIF..."}, "gif", true, true, true},
        {"PNG of light maps", {"File", "Export", "PNG..."}, "png", false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TWDocument *document = threeMaps(c.night);
        ASSERT_TRUE(document);
        TWMapsDoc *maps = document->mapsDocument();
        const QString path = dir.filePath(QStringLiteral("export-%1.%2")
                                              .arg(QString::fromLatin1(c.what).replace(u' ', u'-'))
                                              .arg(QLatin1String(c.suffix)));
        bool shown = false, startedOn = false;
        int tries = 0;
        std::function<void()> answer = [&] {
            auto *panel = qobject_cast<TWExportPanel *>(QApplication::activeModalWidget());
            if (!panel || !panel->isVisible()) {
                if (++tries < 200)
                    QTimer::singleShot(20, answer);
                return;
            }
            shown = true;
            EXPECT_EQ(panel->mapList()->selectedItems().size(), 3);
            QCheckBox *background = panel->backgroundBox();
            if (!background)
                return panel->reject();
            startedOn = background->isChecked();
            if (c.turnedOff)
                QTest::mouseClick(background, Qt::LeftButton, {},
                                  QPoint(6, background->height() / 2));
            panel->grab().save(QDir(Acceptance::grabFolder())
                                   .filePath(QStringLiteral("ThirdWalk-export-%1.png")
                                                 .arg(QLatin1String(c.suffix))));
            // The whole path typed into the name field, as a user may: the
            // dialog opens in the folder it remembers, and a name chosen
            // while the field has the focus is not put into it.
            auto *name = panel->fileDialog()->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (!name)
                return panel->reject();
            name->setText(path);
            QMetaObject::invokeMethod(panel->fileDialog(), "accept");
            // Still up (the name was not taken): cancelled, so the test goes on.
            if (panel->isVisible())
                panel->reject();
        };
        QTimer::singleShot(20, answer);
        ASSERT_TRUE(choose(document, c.item));
        wait(100);
        ASSERT_TRUE(shown) << "no export panel";
        EXPECT_EQ(startedOn, c.backgroundStartsOn);
        // The window is back on the map it showed.
        EXPECT_EQ(maps->currentMapNumber(), 1);
        if (auto *deluxe = qobject_cast<TWDDocument *>(document))
            EXPECT_EQ(deluxe->mapTabView()->currentIndex(), 1);
        grab(document, QStringLiteral("after-%1").arg(QLatin1String(c.suffix)));
        // One file a map, the current map's first: the night map's is the
        // second, and shows its navy ground when kept.
        const QString first = QFileInfo(path).path() + u'/' + QFileInfo(path).completeBaseName() +
                              QStringLiteral(" 2.") + QLatin1String(c.suffix);
        ASSERT_TRUE(QFileInfo::exists(first))
            << first.toStdString() << " among "
            << QDir(dir.path()).entryList(QDir::Files).join(u", ").toStdString() << "; "
            << (alerts.alerts().isEmpty() ? QString()
                                          : alerts.alerts().last().title + QStringLiteral(": ") +
                                                alerts.alerts().last().message)
                   .toStdString();
        const QImage picture = c.suffix == QLatin1String("pdf") ? firstPageOf(first) : QImage(first);
        ASSERT_FALSE(picture.isNull());
        if (c.night && !c.turnedOff)
            EXPECT_GT(darkShare(picture), 0.5) << "the navy ground is missing";
        else
            EXPECT_LT(darkShare(picture), 0.2) << "a ground was drawn";
        // The setting the user keeps is theirs: a dark map does not change it.
        EXPECT_FALSE(UserDefaults::standard().boolForKey(QStringLiteral("ExportMapBackground")));
        document->clearChangeCount();
        document->mainWindow()->close();
        settle();
    }
}

// The print sheet starts with a dark map's background on, and prints what
// the user leaves ticked.
TEST_P(ThirdWalk, DarkMapsPrintWithTheirBackgroundUnlessTurnedOff)
{
    struct Case
    {
        const char *what;
        bool night;
        bool turnedOff;
        bool startsOn;
    };
    const Case cases[] = {
        {"night map", true, false, true},
        {"night map, background off", true, true, true},
        {"light map", false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TWDocument *document = threeMaps(c.night);
        ASSERT_TRUE(document);
        key(document, Qt::Key_PageUp, Qt::ControlModifier);
        ASSERT_EQ(document->mapsDocument()->currentMapNumber(), 0);
        const QString pdf = dir.filePath(QStringLiteral("printed-%1.pdf").arg(int(&c - cases)));
        QDialog *sheet = nullptr;
        if (edition() == Edition::Compact)
            TWCPrintController::sharedPrintController().setPDFOutputPath(pdf);
        else
            TWDPrintController::shared().setPDFOutputPath(pdf);
        ASSERT_TRUE(choose(document, {"File", "Print..."}));
        // The sheet is up once the window system has shown it.
        for (int waited = 0; waited < 3000; waited += 50) {
            sheet = edition() == Edition::Compact
                        ? TWCPrintController::sharedPrintController().sheet()
                        : static_cast<QDialog *>(TWDPrintController::shared().sheet());
            if (sheet && sheet->isVisible())
                break;
            wait(50);
        }
        ASSERT_TRUE(sheet && sheet->isVisible()) << "no print sheet";
        QCheckBox *background = nullptr;
        for (QCheckBox *box : sheet->findChildren<QCheckBox *>())
            if (box->text() == u"Print the background")
                background = box;
        ASSERT_TRUE(background);
        EXPECT_EQ(background->isChecked(), c.startsOn);
        if (c.turnedOff)
            QTest::mouseClick(background, Qt::LeftButton, {}, QPoint(6, background->height() / 2));
        sheet->grab().save(QDir(Acceptance::grabFolder())
                               .filePath(QStringLiteral("ThirdWalk-print-%1-%2.png")
                                             .arg(Acceptance::editionName(edition()))
                                             .arg(int(&c - cases))));
        QPushButton *print = nullptr;
        for (QPushButton *button : sheet->findChildren<QPushButton *>())
            if (button->text() == u"Print")
                print = button;
        ASSERT_TRUE(print);
        QTest::mouseClick(print, Qt::LeftButton);
        wait(200);
        const QImage page = firstPageOf(pdf);
        ASSERT_FALSE(page.isNull()) << "nothing printed";
        page.save(QDir(Acceptance::grabFolder())
                      .filePath(QStringLiteral("ThirdWalk-printed-%1-%2.png")
                                    .arg(Acceptance::editionName(edition()))
                                    .arg(int(&c - cases))));
        if (c.night && !c.turnedOff)
            EXPECT_GT(darkShare(page), 0.3) << "the navy ground is missing";
        else
            EXPECT_LT(darkShare(page), 0.1) << "a ground was printed";
        if (edition() == Edition::Compact)
            TWCPrintController::sharedPrintController().setPDFOutputPath(QString());
        else
            TWDPrintController::shared().setPDFOutputPath(QString());
        document->clearChangeCount();
        document->mainWindow()->close();
        settle();
    }
}

// A picture of the Graphics Library dragged from the media browser into the
// window and dropped: on a branch it becomes the branch's picture, on the
// empty canvas it is attached to the selected branch, also where it sticks
// out past the map's corner and the map moves back onto the canvas. Each
// drop is one undo step named for what it did, and one undo takes it back.
TEST_P(ThirdWalk, ALibraryPictureDroppedIsOneUndoStep)
{
    TWMediaBrowserController browser;
    browser.showGraphicsLibrary();
    TWMediaBrowserWindow *library = browser.browserWindow();
    ASSERT_TRUE(library);
    QTRY_COMPARE(library->activePaneName(), QString("TWGraphicsBrowser"));
    // The first category that holds pictures.
    QTreeWidget *tree = library->treeView();
    for (QTreeWidgetItemIterator it(tree); *it && library->gridModel()->rowCount() == 0; ++it) {
        tree->setCurrentItem(*it);
        wait(50);
    }
    ASSERT_GT(library->gridModel()->rowCount(), 0) << "the Graphics Library shows no picture";
    const std::unique_ptr<QMimeData> data(
        library->gridModel()->mimeData({library->gridModel()->index(0)}));
    ASSERT_TRUE(data && data->hasUrls());
    library->close();

    enum Where { OnTheBranch, BesideTheBranch, PastTheCorner };
    struct Case
    {
        const char *what;
        Where where;
        const char *action;
    };
    const Case cases[] = {
        {"on the branch", OnTheBranch, "Set branch image"},
        {"beside the selected branch", BesideTheBranch, "Add linked graphic"},
        {"past the map's corner", PastTheCorner, "Add linked graphic"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TWDocument *document = newDocument();
        ASSERT_TRUE(document);
        key(document, Qt::Key_Escape);
        TWMap *map = currentMap(document);
        grow(document, *map->root(), {"Pictured"});
        wait(150);
        TWMapBranch &branch = *map->root()->children().first();
        click(document, windowPoint(document, *branch.enclosedTextArea()));
        ASSERT_EQ(map->selectedBranches().size(), 1);
        UndoManager *undo = document->undoManager();
        const int before = undo->undoStepCount();
        const QByteArray xml = map->freshXMLElementEmbeddingBinaryData(false).xmlString();

        TWGraphicView *view = document->graphicView();
        const Rect shape = branch.mainGraphic()->bounds();
        const Rect all = map->getBoundingDrawingRectForAllGraphics();
        Point target(shape.midX(), shape.midY());
        if (c.where == BesideTheBranch)
            target = Point(all.maxX() + 80, all.midY());
        else if (c.where == PastTheCorner) // below the map, at the canvas's left edge
            target = Point(10, all.maxY() + 40);
        // The place is shown, so that the drop lands where it is meant.
        view->scrollRectToVisible(Rect(target.x - 40, target.y - 40, 80, 80));
        settle();
        const QPoint at = view->viewportRectFromMap(Rect(target.x, target.y, 0, 0)).topLeft().toPoint();
        ASSERT_TRUE(view->viewport()->rect().contains(at));
        // As the window system delivers a drag from another window: in at the
        // canvas's edge, across it, and let go.
        QWidget *viewport = view->viewport();
        const QPoint in(2, viewport->height() / 2);
        QDragEnterEvent enter(in, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &enter);
        for (int i = 1; i <= 6; ++i) {
            const QPoint p = in + (at - in) * i / 6;
            QDragMoveEvent move(p, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(viewport, &move);
            settle(1);
        }
        QDropEvent drop(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &drop);
        wait(300);
        grab(document, QStringLiteral("dropped-%1").arg(int(&c - cases)));
        if (c.where == OnTheBranch)
            EXPECT_TRUE(branch.enclosedImage()) << "the drop put no picture into the branch";
        else
            EXPECT_EQ(branch.linkedGraphics().size(), 1) << "no picture was attached";
        EXPECT_EQ(undo->undoStepCount(), before + 1);
        EXPECT_EQ(undo->undoActionName(), QLatin1String(c.action));
        key(document, Qt::Key_Z, Qt::ControlModifier);
        wait(150);
        EXPECT_FALSE(branch.enclosedImage());
        EXPECT_TRUE(branch.linkedGraphics().isEmpty());
        EXPECT_TRUE(map->freshXMLElementEmbeddingBinaryData(false).xmlString() == xml)
            << "one undo does not take the drop back";
        document->clearChangeCount();
        document->close();
        settle();
    }
}

// Menu items that would change the selection are off without one.
TEST_P(ThirdWalk, SizeAndBranchTypeItemsWaitForASelection)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    key(document, Qt::Key_Escape);
    TWMap *map = currentMap(document);
    grow(document, *map->root(), {"Plans"});
    const QList<QStringList> items = {{"Format", "Bigger"},
                                      {"Format", "Smaller"},
                                      {"Map", "Branch Type", "Circle"},
                                      {"Map", "Branch Type", "Flexi"}};
    // A click away from the map selects nothing.
    QWidget *viewport = document->graphicView()->viewport();
    click(document, viewport->mapTo(document->mainWindow(), QPoint(8, 8)));
    ASSERT_EQ(map->countOfSelectedGraphics(), 0);
    for (const QStringList &item : items) {
        QAction *action = menuItem(document, item);
        ASSERT_TRUE(action) << item.join(u'>').toStdString();
        EXPECT_FALSE(action->isEnabled()) << item.join(u'>').toStdString();
    }
    // With the branch selected they are on and do their work.
    click(document, windowPoint(document, *map->root()->children().first()->enclosedTextArea()));
    for (const QStringList &item : items)
        EXPECT_TRUE(menuItem(document, item)->isEnabled()) << item.join(u'>').toStdString();
}

// The real outline window beside the documents.
// A panel, put away or left open, does not outlive the last document
// window, nor keep the program running.
TEST_P(ThirdWalk, APanelEndsWithTheLastDocument)
{
    TWFindController &find = TWFindController::shared();
    const struct
    {
        QStringList item;
        std::function<QWidget *()> panel;
        bool putAway;
    } cases[] = {
        {{"Edit", "Find", "Find..."}, [&] { return find.findPanel(); }, true},
        {{"Edit", "Find", "Find..."}, [&] { return find.findPanel(); }, false},
        {{"Edit", "Spelling", "Show Spelling..."}, [&] { return find.spellingPanel(); }, true},
        {{"Edit", "Spelling", "Show Spelling..."}, [&] { return find.spellingPanel(); }, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.item.last().toStdString() + (c.putAway ? ", put away" : ", left open"));
        TWDocument *document = newDocument();
        ASSERT_TRUE(document);
        key(document, Qt::Key_Escape);
        ASSERT_TRUE(choose(document, c.item));
        QWidget *panel = c.panel();
        ASSERT_TRUE(panel);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
        if (c.putAway) {
            QTest::keyClick(panel->focusWidget() ? panel->focusWidget() : panel, Qt::Key_Escape);
            settle();
            ASSERT_FALSE(panel->isVisible());
        }
        document->mainWindow()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(document->mainWindow()));

        EXPECT_EQ(closeAndRun(document), 0) << "the panel keeps the program running";
        EXPECT_TRUE(documentController->documents().isEmpty());
        // Left open, it goes with the program; put away, it does not come
        // back on its own.
        QStringList shown;
        for (QWidget *window : QApplication::topLevelWidgets())
            if (window->isVisible())
                shown << QString::fromLatin1(window->metaObject()->className());
        EXPECT_EQ(shown.join(u',').toStdString(), "");
    }
}

class ThirdWalkWithOutline : public ThirdWalk
{
protected:
    void SetUp() override
    {
        services.outlineWindow = [this]() -> OutlineWindow * {
            if (!outline)
                outline = std::make_unique<TWOutlineViewController>(true);
            return outline.get();
        };
        ThirdWalk::SetUp();
    }
    void TearDown() override
    {
        outline.reset();
        ThirdWalk::TearDown();
    }
    std::unique_ptr<TWOutlineViewController> outline;
};

// Closing the only document empties the outline window, and that window
// does not keep the program running on its own.
TEST_P(ThirdWalkWithOutline, ClosingTheOnlyDocumentEmptiesTheOutlineAndEndsTheProgram)
{
    TWDocument *document = newDocument();
    ASSERT_TRUE(document);
    key(document, Qt::Key_Escape);
    grow(document, *currentMap(document)->root(), {"Closed branch"});
    ASSERT_TRUE(choose(document, {"Window", "Outline"}));
    ASSERT_TRUE(outline);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(outline->window()));
    wait(150);
    ASSERT_GT(outline->model()->rowCount(), 0) << "the outline shows nothing";
    QApplication::setActiveWindow(document->mainWindow());
    settle();

    const int ended = closeAndRun(document);
    const int rowsAfterClose = outline->model()->rowCount();
    outline->window()->grab().save(
        QDir(Acceptance::grabFolder())
            .filePath(QStringLiteral("ThirdWalk-outline-%1.png")
                          .arg(Acceptance::editionName(edition()))));
    EXPECT_TRUE(documentController->documents().isEmpty());
    EXPECT_EQ(rowsAfterClose, 0) << "the outline still shows the closed map";
    EXPECT_EQ(ended, 0) << "the outline window keeps the program running";
}

ACCEPTANCE_EDITIONS(ThirdWalkWithOutline);

namespace {

// Where two snapshots part, with a little of each, for a failure's message.
std::string whereTheyDiffer(const QByteArray &a, const QByteArray &b)
{
    qsizetype at = 0;
    while (at < a.size() && at < b.size() && a.at(at) == b.at(at))
        ++at;
    const qsizetype from = std::max<qsizetype>(0, at - 700);
    return QStringLiteral("at byte %1:\n  got      ...%2\n  expected ...%3")
        .arg(at)
        .arg(QString::fromUtf8(a.mid(from, 760)), QString::fromUtf8(b.mid(at - 60, 160)))
        .toStdString();
}

} // namespace

// A relationship line bent, a branch moved, both undone and redone, then a
// branch deleted: Undo brings that branch back and leaves nothing to redo
// but the delete.
TEST_P(ThirdWalk, UndoAfterRedosAndADeleteBringsTheBranchBack)
{
    TWDocument *document = newDocument(QSize(1200, 900));
    ASSERT_TRUE(document);
    key(document, Qt::Key_Escape);
    TWMap *map = currentMap(document);
    grow(document, *map->root(), {"one", "two", "three"});
    wait(100);
    const auto branchNamed = [&](const QString &name) -> TWMapBranch * {
        for (const auto &branch : map->allBranches())
            if (label(*branch) == name)
                return branch.get();
        return nullptr;
    };
    // Ctrl-drag from one label to another makes the line.
    const QPoint from = windowPoint(document, *branchNamed("one")->enclosedTextArea());
    const QPoint to = windowPoint(document, *branchNamed("three")->enclosedTextArea());
    drag(document, from, to, 8, Qt::ControlModifier);
    wait(100);
    ASSERT_EQ(map->countOfLinkLines(), 1) << "no relationship line was made";
    const std::shared_ptr<TWLinkLine> line = map->linkLines().first();
    // Clicked on its curve, then its first control point dragged aside.
    const Point p0 = line->getStartPoint(), p1 = line->intermediatePoint1(),
                p2 = line->intermediatePoint2(), p3 = line->getEndPoint();
    const Point middle((p0.x + 3 * p1.x + 3 * p2.x + p3.x) / 8,
                       (p0.y + 3 * p1.y + 3 * p2.y + p3.y) / 8);
    click(document, windowPoint(document, middle));
    ASSERT_EQ(map->countOfSelectedGraphics(), 1);
    ASSERT_EQ(map->selectedGraphics().first(), line) << "the click did not select the line";
    const QPoint knob = windowPoint(document, p1);
    drag(document, knob, knob + QPoint(0, 90));
    ASSERT_NE(line->intermediatePoint1(), p1) << "the line was not bent";
    // A branch moved by its shape.
    TWMapBranch *two = branchNamed("two");
    const QPoint shape = windowPoint(document, *two->mainGraphic());
    drag(document, shape, shape + QPoint(40, 30));
    UndoManager *undo = document->undoManager();
    const int edits = undo->undoStepCount();
    for (int i = 0; i < 2; ++i)
        key(document, Qt::Key_Z, Qt::ControlModifier);
    for (int i = 0; i < 2; ++i)
        key(document, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(undo->undoStepCount(), edits);
    EXPECT_EQ(undo->redoStepCount(), 0);

    const QByteArray before = map->freshXMLElementEmbeddingBinaryData(false).xmlString();
    click(document, windowPoint(document, *branchNamed("three")->enclosedTextArea()));
    key(document, Qt::Key_Delete);
    wait(150);
    ASSERT_FALSE(branchNamed("three")) << "Delete left the branch";
    TWMenuDispatcher *menus = document->menuDispatcher();
    QAction *undoItem = menus->actionFor("undo:");
    EXPECT_TRUE(menus->validate(undoItem));
    EXPECT_EQ(Acceptance::plainMenuText(undoItem->text()), "Undo Delete");
    EXPECT_FALSE(menus->validate(menus->actionFor("redo:")));
    key(document, Qt::Key_Z, Qt::ControlModifier);
    wait(150);
    EXPECT_TRUE(branchNamed("three")) << "Undo did not bring the branch back";
    EXPECT_TRUE(map->freshXMLElementEmbeddingBinaryData(false).xmlString() == before);
    QAction *redoItem = menus->actionFor("redo:");
    EXPECT_TRUE(menus->validate(redoItem));
    EXPECT_EQ(Acceptance::plainMenuText(redoItem->text()), "Redo Delete");
}

// Edits, undos and redos in a seeded random mix, all through the window:
// every state the map reaches is kept by the depth of the undo stack, an
// undo must bring back the state kept one step below and a redo the one
// above, and an edit must be one step and leave nothing to redo.
TEST_P(ThirdWalk, RandomEditsUndosAndRedosComeBackToEveryState)
{
    for (const unsigned seed : {20261209u, 7u, 4242u}) {
        SCOPED_TRACE(QStringLiteral("seed %1").arg(seed).toStdString());
        randomWalk(seed, 300);
        if (HasFailure())
            return;
    }
}

void ThirdWalk::randomWalk(unsigned seed, int steps)
{
    TWDocument *document = newDocument(QSize(1200, 900));
    ASSERT_TRUE(document);
    key(document, Qt::Key_Escape);
    grow(document, *currentMap(document)->root(), {"North", "South", "East", "West"});
    UndoManager *undo = document->undoManager();
    TWMenuDispatcher *menus = document->menuDispatcher();
    ASSERT_TRUE(undo && menus);
    // Graphic numbers are named by their first appearance: a redo may give
    // a remade graphic a fresh number, and what refers to it follows.
    const auto snapshot = [&] {
        QString xml = QString::fromUtf8(
            currentMap(document)->freshXMLElementEmbeddingBinaryData(false).xmlString());
        // Outline numbers and the lines to a parent are placed afresh
        // whenever they are drawn; the canvas grows with the map and is
        // not made smaller again.
        xml.remove(QRegularExpression(QStringLiteral("<canvasSize>.*?</canvasSize>"),
                                      QRegularExpression::DotMatchesEverythingOption));
        xml.remove(QRegularExpression(
            QStringLiteral("<otherEnclosedGraphic>\\s*<TWEnclosedGraphic>\\s*<name>outlineNumberKey</name>"
                           ".*?</otherEnclosedGraphic>"),
            QRegularExpression::DotMatchesEverythingOption));
        xml.replace(QRegularExpression(QStringLiteral("(<connectionGraphic>\\s*<TWGraphic>\\s*<class>\\w*</class>\\s*)"
                                                      "<bounds>.*?</bounds>"),
                                       QRegularExpression::DotMatchesEverythingOption),
                    QStringLiteral("\\1"));
        QHash<QString, int> names;
        const QRegularExpression number(QStringLiteral("(GraphicNumber>|graphicNumber>)(-?\\d+)<"));
        QString renamed;
        qsizetype last = 0;
        for (auto it = number.globalMatch(xml); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const QString value = m.captured(2);
            const int name = value == u"0" ? 0 : int(names.size()) + 1;
            renamed += xml.mid(last, m.capturedStart(2) - last);
            renamed += QString::number(value == u"0" ? 0 : names.value(value, name));
            if (value != u"0" && !names.contains(value))
                names.insert(value, name);
            last = m.capturedEnd(2);
        }
        renamed += xml.mid(last);
        return renamed.toUtf8();
    };
    const auto redoOffered = [&] { return menus->validate(menus->actionFor("redo:")); };

    std::mt19937 random(seed);
    const auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(random)); };
    // A branch clicked on its label; the central one only when `root` allows.
    const auto selectBranch = [&](bool root) -> TWMapBranch * {
        const TWMap::BranchList all = currentMap(document)->allBranches();
        QList<TWMapBranch *> candidates;
        for (const auto &branch : all)
            if (root || branch->parent())
                candidates << branch.get();
        if (candidates.isEmpty())
            return nullptr;
        TWMapBranch *branch = candidates.at(pick(int(candidates.size())));
        // Scrolled to first, as a user does: a point off the canvas would
        // click, or start a drag, in another part of the window.
        TWGraphicView *view = document->graphicView();
        view->scrollRectToVisible(branch->mainGraphic()->bounds());
        settle();
        const QPoint at = windowPoint(document, *branch->enclosedTextArea());
        if (!onCanvas(document, at))
            return nullptr;
        click(document, at);
        return branch;
    };

    enum Kind { Child, Delete, Nudge, Drag, Bigger, Undo, Redo };
    const char *const names[] = {"child", "delete", "nudge", "drag", "bigger", "undo", "redo"};
    QMap<int, QByteArray> states; // the map at each depth of the undo stack
    QStringList history;
    int edits = 0, undone = 0, redone = 0;
    int depth = undo->undoStepCount();
    states[depth] = snapshot();
    for (int step = 0; step < steps && !HasFailure(); ++step) {
        const int branches = int(currentMap(document)->allBranches().size());
        Kind kind = Kind(pick(7));
        if (depth >= 90 || (kind == Redo && !undo->canRedo()))
            kind = Undo;
        if (kind == Undo && !undo->canUndo())
            kind = Child;
        if ((kind == Child && branches > 14) || (kind == Delete && branches < 4))
            kind = Nudge;
        history << QLatin1String(names[kind]);
        SCOPED_TRACE(QStringLiteral("step %1: %2 (%3)")
                         .arg(step)
                         .arg(QLatin1String(names[kind]))
                         .arg(history.join(u' '))
                         .toStdString());

        if (kind == Undo || kind == Redo) {
            const int redos = undo->redoStepCount();
            if (kind == Undo)
                key(document, Qt::Key_Z, Qt::ControlModifier);
            else
                key(document, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            const int expected = kind == Undo ? depth - 1 : depth + 1;
            ASSERT_EQ(undo->undoStepCount(), expected);
            ASSERT_EQ(undo->redoStepCount(), kind == Undo ? redos + 1 : redos - 1);
            depth = expected;
            ++(kind == Undo ? undone : redone);
            const QByteArray now = snapshot();
            if (states.contains(depth))
                ASSERT_TRUE(now == states.value(depth)) << whereTheyDiffer(now, states.value(depth));
            else
                states[depth] = now;
            continue;
        }

        switch (kind) {
        case Child:
            selectBranch(true);
            key(document, Qt::Key_Tab);
            key(document, Qt::Key_Escape);
            break;
        case Delete:
            if (selectBranch(false))
                key(document, Qt::Key_Delete);
            break;
        case Nudge:
            if (selectBranch(false)) {
                const Qt::Key arrows[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
                key(document, arrows[pick(4)], Qt::ControlModifier);
            }
            break;
        case Drag:
            if (TWMapBranch *branch = selectBranch(false)) {
                const QPoint from = windowPoint(document, *branch->mainGraphic());
                const QPoint to = from + QPoint(pick(61) - 30, pick(61) - 30);
                // A drag that leaves the canvas becomes the system's drag,
                // which waits for a real pointer.
                if (onCanvas(document, from) && onCanvas(document, to))
                    drag(document, from, to);
            }
            break;
        case Bigger:
            if (selectBranch(true))
                choose(document, {"Format", pick(2) ? "Bigger" : "Smaller"});
            break;
        default:
            break;
        }
        key(document, Qt::Key_Escape);
        const QByteArray now = snapshot();
        const int reached = undo->undoStepCount();
        if (reached == depth) {
            // Nothing was registered: nothing may have changed.
            ASSERT_TRUE(now == states.value(depth)) << "a change no undo takes back "
                                                    << whereTheyDiffer(now, states.value(depth));
            continue;
        }
        // One thing done, one step: what follows from it (the map moved
        // back onto the canvas) is part of it.
        ASSERT_EQ(reached, depth + 1) << "the edit took more than one undo step, the last "
                                      << undo->undoActionName().toStdString();
        EXPECT_EQ(undo->redoStepCount(), 0);
        EXPECT_FALSE(redoOffered()) << "Redo is offered after an edit";
        // What lay above is gone with the redo stack; steps in between are
        // only known once an undo reaches them.
        while (!states.isEmpty() && states.lastKey() > depth)
            states.remove(states.lastKey());
        depth = reached;
        states[depth] = now;
        ++edits;
    }
    // The walk went somewhere: most of its edits reached the map.
    EXPECT_GE(edits, steps / 4);
    EXPECT_GE(undone, steps / 10);
    EXPECT_GE(redone, steps / 30);
    document->clearChangeCount();
    document->close();
    settle();
}

ACCEPTANCE_EDITIONS(ThirdWalk);
