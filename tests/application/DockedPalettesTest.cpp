#include "DocumentTestSupport.h"
#include "TWMenuTestSupport.h"
#include "application/TWDDocument.h"
#include "application/TWToolbarController.h"
#include "graphics/TWCircle.h"
#include "graphics/TWLine.h"
#include "graphics/TWTextArea.h"
#include "interface/FontPanel.h"
#include "interface/TWRainbowAngleControl.h"
#include "palettes/MapsSelection.h"
#include "palettes/TWDockedPalettesController.h"
#include "palettes/TWFloatingPalettesController.h"
#include "palettes/TWGraphicBindingController.h"
#include "palettes/TWNavigatorView.h"
#include "palettes/TWPaletteBezel.h"
#include "palettes/TWPaletteBezelContainerView.h"
#include "palettes/TWPaletteGroup.h"
#include "palettes/TWPaletteMapping.h"
#include "palettes/TWPaletteWindow.h"
#include "palettes/TWPalettesController.h"
#include "palettes/TWStyleViewDocument.h"
#include "platform/UndoManager.h"
#include "support/Image.h"

#include <QCheckBox>
#include <QFontDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTest>

// Lists of palette IDs read as text in failures.
inline void PrintTo(const QStringList &list, std::ostream *out)
{
    *out << list.join(QLatin1Char(',')).toStdString();
}

namespace {

using namespace TWPaletteIDs;

class DockedPalettesTest : public DocumentTest
{
protected:
    void TearDown() override
    {
        floating.reset();
        DocumentTest::TearDown();
    }
    // The palettes a dock shows, top to bottom.
    static QStringList shown(TWDocument *document)
    {
        QStringList ids;
        for (TWPaletteBezel *bezel : document->paletteDock()->bezels())
            ids.append(bezel->paletteID());
        return ids;
    }
    void startFloating()
    {
        floating = std::make_unique<TWFloatingPalettesController>();
        TWFloatingPalettesController::setSharedFloatingPalettesController(floating.get());
    }

    std::unique_ptr<TWFloatingPalettesController> floating;
};

TEST_F(DockedPalettesTest, SelectionChoosesThePalettesInDockOrder)
{
    TWDocument *document = untitled();
    TWDockedPalettesController *dock = document->dockedPalettesController();
    ASSERT_NE(dock, nullptr);
    TWMap &map = *document->mapsDocument()->currentMap();
    auto lineBranch = TWMapBranch::createWithGraphic(TWGraphic::make<TWLine>(Rect(10, 10, 80, 20)),
                                                     map.root().get(), &map);
    auto ovalBranch = TWMapBranch::createWithGraphic(
        TWGraphic::make<TWCircle>(Rect(10, 60, 80, 40)), map.root().get(), &map);
    const auto freeLine = TWGraphic::make<TWLine>(Rect(200, 200, 50, 0));

    const QStringList branch{Add, MapNavigator, BranchMain, BranchHyperlink, GeneralText};
    struct Case
    {
        const char *what;
        TWDockedPalettesController::GraphicList selection;
        QStringList expected;
    };
    const std::vector<Case> cases{
        {"nothing",
         {},
         {Add, MapNavigator, MapStyle, MapBackground, MapLayout, MapColoring, MapOutlineNumbering,
          MapTasks, MapViewOptions}},
        {"a line branch",
         {lineBranch->mainGraphic()},
         branch + QStringList{GeneralStyle, GeneralLine, GeneralShadow}},
        // The text adds its own palettes and its branch's shape's.
        {"an enclosed text only",
         {lineBranch->enclosedTextArea()},
         branch + QStringList{GeneralStyle, GeneralLine, GeneralFill, GeneralShadow}},
        {"an oval branch and a free line",
         {ovalBranch->mainGraphic(), freeLine},
         branch +
             QStringList{GeneralOrdering, GeneralStyle, GeneralLine, GeneralFill, GeneralShadow}},
        {"a free line only",
         {freeLine},
         {Add, MapNavigator, GeneralOrdering, GeneralStyle, GeneralLine, GeneralShadow}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(dock->paletteIDsForSelection(c.selection), c.expected) << c.what;

    // The user's order rules; palettes it does not name come last.
    TWDockedPalettesController::setPaletteDockOrder({MapNavigator, MapLayout, Add});
    EXPECT_EQ(dock->paletteIDsForSelection({}),
              (QStringList{MapNavigator, MapLayout, Add, MapStyle, MapBackground, MapColoring,
                           MapOutlineNumbering, MapTasks, MapViewOptions}));
    UserDefaults::standard().removeObjectForKey(TWPaletteServices::DockOrderKey);

    // The real road: a selection change re-chooses the dock once it is still.
    map.removeAllSelectedGraphics();
    dock->selectionChanged();
    EXPECT_EQ(shown(document), cases[0].expected);
    map.publicAddGraphicToSelection(lineBranch->mainGraphic());
    NotificationQueue::defaultQueue().flush();
    EXPECT_TRUE(dock->updatePending());
    const QList<TWPaletteBezel *> before = dock->bezelsForIDs(cases[1].expected);
    dock->selectionChanged();
    EXPECT_EQ(shown(document), cases[1].expected);
    EXPECT_EQ(document->paletteDock()->bezels(), before); // the same bezels, none made anew
    for (TWPaletteBezel *bezel : document->paletteDock()->bezels())
        EXPECT_EQ(bezel->parentWidget(), document->paletteDock());
}

TEST_F(DockedPalettesTest, ThePaneOpensWithItsBezelsWhole)
{
    TWDocument *document = untitled();
    show(document, QSize(1000, 650));
    const auto paneWidth = [document] { return document->mainSplitView()->sizes().value(1); };
    const auto bezelsWhole = [document] {
        const QList<TWPaletteBezel *> bezels = document->paletteDock()->bezels();
        if (bezels.isEmpty() || !document->paletteViewVisible())
            return false;
        for (TWPaletteBezel *bezel : bezels)
            if (bezel->width() < TWPalettesController::BezelWidth)
                return false;
        return true;
    };
    EXPECT_TRUE(bezelsWhole()) << "pane " << paneWidth();

    // Narrowed by hand, hidden and shown again: whole once more.
    document->mainSplitView()->setSizes({850, 150});
    settle();
    for (const bool visible : {false, true}) {
        document->setPaletteViewVisible(visible);
        QTest::qWait(400);
        settle();
        EXPECT_EQ(document->paletteViewVisible(), visible);
    }
    EXPECT_TRUE(bezelsWhole()) << "pane " << paneWidth();
}

TEST_F(DockedPalettesTest, TwoDocumentsEditIndependently)
{
    TWDocument *first = untitled();
    TWDocument *second = untitled();
    TWMapPalettes *firstMap = first->dockedPalettesController()->mapPalettes();
    TWMapPalettes *secondMap = second->dockedPalettesController()->mapPalettes();
    ASSERT_NE(firstMap->rainbowControl(), secondMap->rainbowControl());
    EXPECT_NE(first->dockedPalettesController()->bezel(MapColoring),
              second->dockedPalettesController()->bezel(MapColoring));
    EXPECT_EQ(firstMap->navigatorView()->document(), first);
    EXPECT_EQ(secondMap->navigatorView()->document(), second);

    firstMap->rainbowControl()->setAngle(1.25f);
    EXPECT_FLOAT_EQ(first->mapsDocument()->currentMap()->rainbowAngle(), 1.25f);
    EXPECT_FLOAT_EQ(second->mapsDocument()->currentMap()->rainbowAngle(), 0.f);
    EXPECT_TRUE(first->undoManager()->canUndo());
    EXPECT_FALSE(second->undoManager()->canUndo());

    // A view option of the map palettes reaches that map only.
    const bool initial = second->mapsDocument()->currentMap()->showBoundaries();
    firstMap->mapSettings()->setValueForKey(!initial, QStringLiteral("showBoundaries"));
    EXPECT_EQ(first->mapsDocument()->currentMap()->showBoundaries(), !initial);
    EXPECT_EQ(second->mapsDocument()->currentMap()->showBoundaries(), initial);
}

TEST_F(DockedPalettesTest, PaletteControlsEditTheSelectionInOneStep)
{
    TWDocument *document = untitled();
    TWMap &map = *document->mapsDocument()->currentMap();
    auto oval = TWMapBranch::createWithGraphic(TWGraphic::make<TWCircle>(Rect(10, 60, 80, 40)),
                                               map.root().get(), &map);
    map.removeAllSelectedGraphics();
    map.publicAddGraphicToSelection(oval->mainGraphic());
    document->graphicBindingController()->update();
    UndoManager &undo = *document->undoManager();
    settle();
    const int steps = undo.undoStepCount();

    QWidget *fill = document->dockedPalettesController()->paletteView(GeneralFill);
    ASSERT_NE(fill, nullptr);
    QCheckBox *drawsFill = nullptr;
    for (QCheckBox *box : fill->findChildren<QCheckBox *>())
        if (box->text() == u"Fill")
            drawsFill = box;
    ASSERT_NE(drawsFill, nullptr);
    const bool before = oval->mainGraphic()->drawsFill();
    EXPECT_EQ(drawsFill->checkState() == Qt::Checked, before);
    drawsFill->click();
    settle();
    EXPECT_EQ(oval->mainGraphic()->drawsFill(), !before);
    EXPECT_EQ(undo.undoStepCount(), steps + 1);
    undo.undo();
    EXPECT_EQ(oval->mainGraphic()->drawsFill(), before);

    // The other document's palette is not bound to this selection.
    TWDocument *other = untitled();
    QWidget *otherFill = other->dockedPalettesController()->paletteView(GeneralFill);
    EXPECT_NE(otherFill, fill);
}

TEST_F(DockedPalettesTest, BackgroundPictureCommands)
{
    TWDocument *document = untitled();
    TWMapPalettes *palettes = document->dockedPalettesController()->mapPalettes();
    TWMap &map = *document->mapsDocument()->currentMap();
    const QString picture = dir.filePath("picture.png");
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(picture));
    const QString notPicture = dir.filePath("notes.png");
    {
        QFile file(notPicture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("plain text, not a picture");
    }

    struct Step
    {
        const char *what;
        QStringList chosen; // the open panel's answer; empty: cancelled
        bool hasPicture;
        int alerts;
    };
    const std::vector<Step> steps{
        {"cancelled", {}, false, 0},
        {"a picture", {picture}, true, 0},
        // An unreadable file keeps the picture there is and says why.
        {"not a picture", {notPicture}, true, 1},
        {"a missing file", {dir.filePath("gone.png")}, true, 2},
    };
    for (const Step &step : steps) {
        alerts.queueOpenResponse(step.chosen);
        palettes->setBackgroundImage();
        EXPECT_EQ(map.backgroundImage() != nullptr, step.hasPicture) << step.what;
        EXPECT_EQ(alerts.alerts().size(), step.alerts) << step.what;
    }
    ASSERT_NE(map.backgroundImage(), nullptr);
    // The picture's size in points: 40 x 30 pixels at the file's resolution.
    const Size natural = map.backgroundImage()->size();
    EXPECT_FLOAT_EQ(natural.width / natural.height, 40.f / 30.f);

    map.setBackgroundImageWidth(10);
    map.setBackgroundImageHeight(5);
    palettes->makeImageOriginalSize();
    EXPECT_FLOAT_EQ(map.backgroundImageWidth(), natural.width);
    EXPECT_FLOAT_EQ(map.backgroundImageHeight(), natural.height);
    palettes->clearBackgroundImage();
    EXPECT_EQ(map.backgroundImage(), nullptr);
    palettes->makeImageOriginalSize(); // nothing to measure: nothing happens
    EXPECT_FLOAT_EQ(map.backgroundImageWidth(), natural.width);
}

TEST_F(DockedPalettesTest, TornOffPalettesLeaveEveryDockAndComeBack)
{
    startFloating();
    TWDocument *first = untitled();
    TWDocument *second = untitled();
    for (TWDocument *document : {first, second}) {
        document->mapsDocument()->currentMap()->removeAllSelectedGraphics();
        document->dockedPalettesController()->selectionChanged();
    }
    ASSERT_TRUE(shown(first).contains(MapStyle));

    floating->detachPaletteWithID(MapStyle, QPoint(40, 50));
    EXPECT_EQ(floating->floatingPaletteIDs(), QStringList{MapStyle});
    for (TWDocument *document : {first, second}) {
        TWDockedPalettesController *dock = document->dockedPalettesController();
        EXPECT_TRUE(dock->updatePending());
        EXPECT_EQ(TWDockedPalettesController::UpdateDelayMilliseconds, 100);
        dock->selectionChanged();
        EXPECT_FALSE(shown(document).contains(MapStyle));
        EXPECT_TRUE(shown(document).contains(MapBackground));
    }
    ASSERT_EQ(floating->paletteWindows().size(), 1);
    TWPaletteWindow *window = floating->paletteWindows().first();
    EXPECT_EQ(window->geometry().topLeft(), QPoint(40, 50));

    // Closing the floating bezel returns the palette to the docks.
    floating->bezel(MapStyle)->close();
    EXPECT_TRUE(floating->floatingPaletteIDs().isEmpty());
    first->dockedPalettesController()->selectionChanged();
    EXPECT_TRUE(shown(first).contains(MapStyle));
}

TEST_F(DockedPalettesTest, FloatingWindowsComeBackAfterARelaunch)
{
    startFloating();
    floating->detachPaletteWithID(MapTasks, QPoint(30, 40));
    floating->detachPaletteWithID(MapLayout, QPoint(400, 40));
    TWPaletteWindow *tasks = floating->paletteWindows().first();
    tasks->bezelContainer()->addBezel(floating->bezel(GeneralFill));
    const QRect frame = tasks->geometry();
    // The second window is emptied: it leaves no saved state.
    floating->bezel(MapLayout)->close();
    settle();
    floating->appWillClose();
    const QVariantList saved =
        UserDefaults::standard().objectForKey(TWFloatingPalettesController::SaveStatesKey).toList();
    ASSERT_EQ(saved.size(), 1);

    floating.reset();
    startFloating();
    ASSERT_EQ(floating->paletteWindows().size(), 1);
    TWPaletteWindow *restored = floating->paletteWindows().first();
    EXPECT_EQ(restored->geometry().topLeft(), frame.topLeft());
    EXPECT_EQ(floating->floatingPaletteIDs(), (QStringList{MapTasks, GeneralFill}));

    // Saved IDs without a palette are skipped; an empty list opens nothing.
    UserDefaults::standard().setObject(
        QVariantList{QVariantMap{{TWPaletteWindow::PaletteIDsKey, QStringList{"TWPaletteGone"}},
                                 {TWPaletteWindow::WindowFrameKey, "{{0, 0}, {300, 100}}"}},
                     QVariantMap{{TWPaletteWindow::PaletteIDsKey, QStringList{}}}},
        TWFloatingPalettesController::SaveStatesKey);
    floating.reset();
    startFloating();
    EXPECT_TRUE(floating->paletteWindows().isEmpty());
}

// A new document's map shows in the navigator's first paint, without waiting
// for an update; a redraw request, and the redraw until its picture is
// made, keep the picture there.
TEST_F(DockedPalettesTest, ANewDocumentsMapShowsInTheNavigatorsFirstPaint)
{
    TWDocument *document = untitled();
    show(document);
    TWNavigatorView *navigator =
        document->dockedPalettesController()->mapPalettes()->navigatorView();
    navigator->resize(200, 200);
    const auto drawn = [navigator] {
        QImage image(navigator->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        navigator->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != qRgb(255, 255, 255))
                    return true;
        return false;
    };
    struct Step
    {
        const char *what;
        std::function<void()> act;
        bool pending;
    } const steps[] = {
        {"shown", [] {}, false},
        {"a redraw request", [navigator] { navigator->delayedUpdateDisplay(); }, true},
        {"the update is due", [navigator] { navigator->updateDisplay(); }, false},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(navigator->updatePending(), step.pending);
        EXPECT_TRUE(drawn());
        // What the first paint left undrawn the event loop draws.
        for (int i = 0; i < 100 && navigator->building(); ++i)
            settle();
        EXPECT_TRUE(navigator->hasThumbnail());
    }
}

TEST_F(DockedPalettesTest, NavigatorGoesBlankWhenItsDocumentCloses)
{
    TWDocument *first = untitled();
    TWDocument *second = untitled();
    TWNavigatorView *navigator = first->dockedPalettesController()->mapPalettes()->navigatorView();
    QPointer<TWNavigatorView> guard(navigator);
    // The navigator of a floating palette follows documents; it lets go of
    // the one that closes, also after it was shown others before.
    startFloating();
    TWNavigatorView *shared = floating->mapPalettes()->navigatorView();
    floating->activeDocumentChanged(second);
    floating->activeDocumentChanged(first);
    EXPECT_EQ(shared->document(), first);
    first->documentWindow()->close();
    settle();
    EXPECT_EQ(shared->document(), nullptr);
    EXPECT_FALSE(shared->hasSource());
    EXPECT_EQ(floating->document(), nullptr);
    EXPECT_EQ(second->dockedPalettesController()->document(), second);
}

} // namespace

namespace {

Font labelFont(const TWMapBranch &branch)
{
    return branch.enclosedTextArea()->text().attribute(NSFontAttributeName, 0).value<Font>();
}

} // namespace

TEST_F(DockedPalettesTest, FontPanelStartsFromTheSelectionAndEachPickIsOneStep)
{
    const struct {
        const char *entrance;
        std::function<void(TWDocument *)> open;
    } cases[] = {
        {"toolbar item",
         [](TWDocument *document) {
             auto *toolbar = document->documentWindow()->findChild<TWToolbarController *>();
             ASSERT_NE(toolbar, nullptr);
             toolbar->itemWithIdentifier(TWToolbarController::ShowFontsItem)->trigger();
         }},
        {"Text palette button",
         [](TWDocument *document) {
             QWidget *text = document->dockedPalettesController()->paletteView(GeneralText);
             ASSERT_NE(text, nullptr);
             QPushButton *font = nullptr;
             for (QPushButton *button : text->findChildren<QPushButton *>())
                 if (button->text() == u"Font...")
                     font = button;
             ASSERT_NE(font, nullptr);
             font->click();
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.entrance);
        TWDocument *document = untitled();
        document->graphicView()->endEditingTextArea();
        TWMap &map = *document->mapsDocument()->currentMap();
        const std::shared_ptr<TWMapBranch> root = map.root();
        const std::shared_ptr<TWMapBranch> child =
            map.publicCreateChildrenOfType(-1, QStringLiteral("child"), false).front();
        map.setSelectedBranches({root, child});
        settle();
        const Font rootBefore = labelFont(*root), childBefore = labelFont(*child);
        ASSERT_NE(rootBefore, childBefore) << "the test needs two different fonts";
        // The panel shows the first selected label's font.
        const Font firstBefore = labelFont(*map.selectedGraphics().first()->branch());

        FontPanel &panel = FontPanel::shared();
        panel.setSelectedFont(Font(QStringLiteral("Courier"), 9)); // unrelated, as left before
        c.open(document);
        ASSERT_TRUE(panel.selectedFont());
        EXPECT_EQ(*panel.selectedFont(), firstBefore);
        EXPECT_TRUE(panel.dialog()->isVisible());

        UndoManager &undo = *document->undoManager();
        const int steps = undo.undoStepCount();
        const Font chosen(QStringLiteral("DejaVuSerif-Bold"), 27);
        panel.chooseFont(chosen);
        settle();
        EXPECT_EQ(labelFont(*root), chosen);
        EXPECT_EQ(labelFont(*child), chosen);
        EXPECT_EQ(undo.undoStepCount(), steps + 1);
        undo.undo();
        EXPECT_EQ(labelFont(*root), rootBefore);
        EXPECT_EQ(labelFont(*child), childBefore);
        panel.dialog()->close();
    }
    // The shared panel's dialog must go before the application object.
    delete &FontPanel::shared();
}

TEST_F(DockedPalettesTest, MapPalettesActOnTheMapsPickedInTheDocumentView)
{
    auto *document = static_cast<TWDDocument *>(untitled());
    document->addMapUsingTemplate(false);
    document->addMapUsingTemplate(false);
    TWMapsDoc &maps = *document->mapsDocument();
    ASSERT_EQ(maps.countOfMaps(), 3);
    TWCurrentMapSettings *settings = document->dockedPalettesController()->mapPalettes()->mapSettings();
    const auto rainbow = [&](int i) { return maps.objectInMapsAtIndex(i)->rainbowAngle(); };
    const auto boundaries = [&](int i) { return maps.objectInMapsAtIndex(i)->showBoundaries(); };
    const bool initial = boundaries(0);

    struct Case
    {
        const char *name;
        bool documentView;
        QList<int> picked;
        QList<int> changed;
    };
    const Case cases[] = {
        {"map view: the current map", false, {0, 2}, {maps.indexOfMap(maps.currentMap().get())}},
        {"document view, two picked", true, {0, 2}, {0, 2}},
        {"document view, none picked: the current map", true, {}, {maps.indexOfMap(maps.currentMap().get())}},
    };
    float angle = 0.5f;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.documentView != document->documentViewActive())
            document->toggleDocumentView();
        settle();
        document->setSelectedGridRows(c.picked);
        QList<int> selected;
        for (const auto &map : document->selectedMaps())
            selected << maps.indexOfMap(map.get());
        EXPECT_EQ(selected, c.changed);

        angle += 0.25f;
        QList<float> before;
        for (int i = 0; i < 3; ++i)
            before << rainbow(i);
        settings->setValueForKey(angle, QStringLiteral("rainbowAngle"));
        settings->setValueForKey(!initial, QStringLiteral("showBoundaries"));
        for (int i = 0; i < 3; ++i) {
            const bool changed = c.changed.contains(i);
            EXPECT_FLOAT_EQ(rainbow(i), changed ? angle : before[i]) << i;
            if (changed)
                EXPECT_EQ(boundaries(i), !initial) << i;
        }
        settings->setValueForKey(initial, QStringLiteral("showBoundaries"));
    }
    // Picked maps that disagree show as mixed.
    if (!document->documentViewActive())
        document->toggleDocumentView();
    settle();
    ASSERT_TRUE(document->documentViewActive());
    maps.objectInMapsAtIndex(0)->setShowBoundaries(true);
    maps.objectInMapsAtIndex(1)->setShowBoundaries(false);
    document->setSelectedGridRows({0, 1});
    EXPECT_TRUE(MapsSelection::isMixed(settings->valueForKey(QStringLiteral("showBoundaries"))));
}

// The application tells the palettes which document the user works in: the
// floating palettes once they are made and at each change, the style editors
// whenever they ask.
TEST_F(MenuTest, ThePalettesEditTheDocumentTheUserWorksIn)
{
    TWDocument *first = untitled();
    TWDocument *second = untitled();
    app->setCurrentlyActiveDocument(first);
    TWFloatingPalettesController floating;
    TWFloatingPalettesController::setSharedFloatingPalettesController(&floating);
    struct Step
    {
        const char *what;
        std::function<void()> act;
        TWDocument *expected;
    };
    const std::vector<Step> steps{
        {"the launch brings up the floating palettes", [&] { app->awakeFromNib(); }, first},
        {"another document becomes active", [&] { app->setCurrentlyActiveDocument(second); },
         second},
        {"the active document closes",
         [&] {
             second->documentWindow()->close();
             settle();
         },
         nullptr},
        {"a document becomes active again", [&] { app->setCurrentlyActiveDocument(first); }, first},
        {"none is active", [&] { app->setCurrentlyActiveDocument(nullptr); }, nullptr},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(floating.document(), step.expected);
        const TWStyleViewDocument active = TWStyleViewDocument::active();
        EXPECT_EQ(active.identity, static_cast<const QObject *>(step.expected));
        EXPECT_EQ(active.maps(), step.expected ? step.expected->mapsDocument() : nullptr);
    }
    TWFloatingPalettesController::setSharedFloatingPalettesController(nullptr);
}
