#include "TWMapTestSupport.h"
#include "graphics/TWEnclosedGraphic.h"
#include "model/TWMapPreviewImage.h"
#include "platform/TWLocalizedString.h"
#include "support/Image.h"

#include <QRectF>
#include <functional>

using namespace MapTest;
using BranchTest::Recorder;
using MapsDocTest::WarningCapture;

namespace {

class TWMapTest : public MapFixture
{};

TEST_F(TWMapTest, ANewMapHasTheDefaultsAndRegistersNothing)
{
    const int steps = undo->undoStepCount();
    auto map = TWMap::create(document.get());
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps);

    const QList<std::pair<const char *, QVariant>> expected = {
        {"isSwDialogueBOPage", true},
        {"swDialogueBOPageText", "(MORE)"},
        {"isSwDialogueTONPage", true},
        {"swDialogueTONPageText", "(cont'd)"},
        {"isSwDialogueAutoChar", true},
        {"isSwSceneBOPage", true},
        {"swSceneBOPageText", "(CONTINUED)"},
        {"isSwSceneTONPage", true},
        {"swSceneTONPageText", "CONTINUED:"},
        {"isSceneContNoSwitch", true},
        {"outlineNumbersToLevel", 0},
        {"outlineFont", QVariant()},
        {"childOutlineNumberingTopDown", true},
        {"textMaxWidth", 50.0f},
        {"textMaxWidthSet", false},
        {"firstLevelSpacing", 100},
        {"interChildSpacing", 30},
        {"repelDistance", 10},
        {"continuousSpellCheck", true},
        {"branchHideLevel", 0},
        {"defaultGraphicColor", QVariant::fromValue(Color::whiteColor())},
        {"defaultStrokeColor", QVariant::fromValue(Color::blackColor())},
        {"graphicColoringMode", 1},
        {"rainbowSaturation", 1.0f},
        {"rainbowAngle", 0.0f},
        {"backgroundColor", QVariant::fromValue(Color::whiteColor())},
        {"backgroundImageFilename", QVariant()},
        {"backgroundImageOpacity", 1.0f},
        {"backgroundImageSize", QVariant::fromValue(Size())},
        {"backgroundImageTileMode", 0},
        {"backgroundImageOffset", QVariant::fromValue(Point())},
        {"layoutAssistanceMode", 2},
        {"orderingMode", 1},
        {"automaticCheckBoxes", true},
        {"mapName", QVariant()},
        {"scaleAmount", 100.0f},
        {"showAttachedGraphics", true},
        {"showBoundaries", true},
        {"showCheckboxes", true},
        {"showCollapseSign", false},
        {"showLinkLines", true},
        {"showOutlineNumbers", false},
        {"showPercentComplete", true},
        {"showPriorities", true},
        {"showShadows", true},
        {"showSWTextIndicators", true},
        {"showTextIndicators", true},
        {"showResourcesAllocated", true},
        {"outlineFormatSettings", QStringList()},
    };
    for (const auto &[key, value] : expected)
        EXPECT_EQ(map->valueForKey(key), value) << key;

    EXPECT_EQ(map->canvasSize(), Size(617, 458));
    EXPECT_EQ(map->zoomAmount(), 100);
    EXPECT_EQ(map->cachedVisibleRect(), Rect());
    EXPECT_FALSE(map->backgroundSettingsEnabled());
    EXPECT_TRUE(map->outlineNumbersNeedUpdating());
    EXPECT_TRUE(map->drawBackgroundOffScreen());
    EXPECT_FALSE(map->needsAutoLayout());
    EXPECT_FALSE(map->themeID().has_value());
    EXPECT_EQ(map->printSetupDictionary(), (OrderedDictionary{{"leftMargin", 0},
                                                              {"rightMargin", 0},
                                                              {"topMargin", 0},
                                                              {"bottomMargin", 0},
                                                              {"frameWidth", 1}}));
    EXPECT_FALSE(map->showSWTextIndicators());
    EXPECT_FALSE(map->showResourcesAllocated());
    EXPECT_FALSE(map->storedIdentifier().value_or("").isEmpty());
    EXPECT_NE(TWMap::create(document.get())->identifier(), map->identifier());

    // The root: a 120 x 40 rectangle centred on the canvas, in the map's colours.
    ASSERT_NE(map->root(), nullptr);
    const auto shape = map->root()->mainGraphic();
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->className(), "TWRectangle");
    // A real rectangle, as the same map read back from its file has.
    EXPECT_EQ(map->root()->branchType(), 2);
    EXPECT_EQ(shape->bounds(), Rect(248.5f, 209, 120, 40));
    EXPECT_EQ(shape->strokeColor(), Color::blackColor());
    EXPECT_EQ(shape->fillColor(), Color::whiteColor());
    EXPECT_TRUE(shape->drawsFill());
    EXPECT_TRUE(shape->drawsStroke());
    EXPECT_EQ(map->root()->map(), map.get());
    EXPECT_EQ(map->root()->parent(), nullptr);

    // Unnamed, the map is called by its root's text.
    map->root()->enclosedTextArea()->setString("Garden");
    EXPECT_EQ(map->mapName(), "Garden");
    map->setName(QString("Plan"));
    EXPECT_EQ(map->mapName(), "Plan");
}

TEST_F(TWMapTest, ANewMapTakesTheCurrentMapsSettingsAndPageFramesGiveThePage)
{
    auto current = addMap();
    current->setShowBoundaries(false);
    current->setOutlineNumbersToLevel(3);
    current->setOutlineFont(Font("Times-Roman", 9));
    current->setTextMaxWidth(80);
    current->setTextMaxWidthSet(true);
    current->setFirstLevelSpacing(7);
    current->setRepelDistance(4);
    current->setShowShadows(false);
    current->setDefaultGraphicColor(Color::colorWithCalibratedRed(1, 0, 0));
    current->setRainbowAngle(45);
    current->setGraphicColoringMode(3);
    // Not copied.
    current->setLayoutAssistanceMode(1);
    current->setBranchHideLevel(5);
    current->setBackgroundImageOpacity(0.5f);
    settle();

    auto map = TWMap::create(document.get());
    EXPECT_FALSE(map->showBoundaries());
    EXPECT_EQ(map->outlineNumbersToLevel(), 3);
    EXPECT_EQ(map->outlineFont(), Font("Times-Roman", 9));
    EXPECT_EQ(map->textMaxWidth(), 80);
    EXPECT_TRUE(map->textMaxWidthSet());
    EXPECT_EQ(map->firstLevelSpacing(), 7);
    EXPECT_EQ(map->repelDistance(), 4);
    EXPECT_FALSE(map->showShadows());
    EXPECT_EQ(map->defaultGraphicColor(), Color::colorWithCalibratedRed(1, 0, 0));
    EXPECT_EQ(map->root()->mainGraphic()->fillColor(), Color::colorWithCalibratedRed(1, 0, 0));
    EXPECT_EQ(map->rainbowAngle(), 45);
    EXPECT_EQ(map->graphicColoringMode(), 3);
    EXPECT_EQ(map->layoutAssistanceMode(), 2);
    EXPECT_EQ(map->branchHideLevel(), 0);
    EXPECT_EQ(map->backgroundImageOpacity(), 1);
    // The indicators never drawn come over as off.
    EXPECT_FALSE(map->storedShowSWTextIndicators());
    EXPECT_FALSE(map->storedShowResourcesAllocated());

    document->setShowPageFrames(true);
    auto paged = TWMap::create(document.get());
    const Size page = TWMapDrawingStandIn::shared().imageablePageSize();
    EXPECT_EQ(paged->canvasSize(), page);
    EXPECT_EQ(paged->root()->mainGraphic()->bounds(),
              Rect(page.width * 0.5f - 60, page.height * 0.5f - 20, 120, 40));
}

TEST_F(TWMapTest, ManySelectionChangesGiveOneNotificationPerMapAndPass)
{
    auto map = addMap();
    auto other = addMap();
    auto a = branch(map, map->root(), "a");
    auto b = branch(map, map->root(), "b");
    auto c = branch(other, other->root(), "c");
    settle();

    Recorder recorder({TWMap::SelectedGraphicsChangedNotification});
    map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 0);
    map->insertObjectInSelectedGraphicsAtIndex(b->mainGraphic(), 1);
    map->insertObjectInSelectedGraphicsAtIndex(b->enclosedTextArea(), 2);
    map->removeObjectFromSelectedGraphicsAtIndex(0);
    map->replaceObjectInSelectedGraphicsAtIndex(0, a->enclosedTextArea());
    other->insertObjectInSelectedGraphicsAtIndex(c->mainGraphic(), 0);
    EXPECT_TRUE(recorder.notifications.isEmpty()) << "announced at the end of the pass";
    settle();
    ASSERT_EQ(recorder.notifications.size(), 2);
    EXPECT_EQ(recorder.notifications.at(0).sender, map.get());
    EXPECT_EQ(recorder.notifications.at(1).sender, other.get());
    const QVariantList affected =
        recorder.notifications.at(0).userInfo.value(TWMap::AffectedGraphicsKey).toList();
    ASSERT_EQ(affected.size(), 1);
    EXPECT_EQ(affected.at(0).value<NotificationObject>().lock<TWGraphic>(), a->mainGraphic());

    // The branch every selected graphic shares, and the branches whose
    // shape or text is selected.
    EXPECT_EQ(map->selectedGraphics(),
              (TWMap::GraphicList{a->enclosedTextArea(), b->enclosedTextArea()}));
    EXPECT_EQ(map->selectedBranch(), nullptr);
    EXPECT_EQ(map->selectedBranchesForBindings(), (TWMap::BranchList{a, b}));
    map->removeObjectFromSelectedGraphicsAtIndex(0);
    EXPECT_EQ(map->selectedBranch(), b);
    auto icon = TWGraphic::createWithBounds(Rect(0, 0, 5, 5));
    icon->setPrimitiveBranch(b.get());
    b->insertObjectInOtherEnclosedGraphicsAtIndex(
        std::make_shared<TWEnclosedGraphic>("icon", std::nullopt, icon), 0);
    map->insertObjectInSelectedGraphicsAtIndex(icon, 0); // refused
    EXPECT_EQ(map->countOfSelectedGraphics(), 1);
    settle();

    // Emptied: no branch, nothing for bindings, one notification.
    recorder.clear();
    map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 0);
    map->removeAllSelectedGraphics();
    EXPECT_EQ(map->selectedBranch(), nullptr);
    EXPECT_TRUE(map->selectedBranchesForBindings().isEmpty());
    settle();
    EXPECT_EQ(recorder.names(), QStringList{TWMap::SelectedGraphicsChangedNotification});

    // A graphic deselected after its branch left the tree is still announced.
    map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 0);
    settle();
    recorder.clear();
    a->remove();
    map->removeSelectedGraphic(a->mainGraphic().get());
    settle();
    EXPECT_EQ(recorder.names(), QStringList{TWMap::SelectedGraphicsChangedNotification});
}

// One setter: a value to set, the stored value it gives, its action name
// (none: the step keeps no name) and table (none: "DadoZiz"), and what it
// announces or asks of the drawing services.
struct SetterCase
{
    const char *key;
    QVariant value;
    const char *actionName;
    const char *table = nullptr;
    QStringList notifications = {};
    QStringList drawing = {};
    QVariant stored = {};
};

TEST_F(TWMapTest, EverySetterUndoesAndRedoesUnderItsActionName)
{
    const QString subtree = TWMap::SubtreeNeedsRedrawNotification;
    const QString redraw = TWMap::RedrawInRectNotification;
    const QString screen = TWMap::ScreenwriterLayoutChangedNotification;
    const QStringList preview{"preview"};
    const char *sw = StringTable::ScreenWriter;
    const SetterCase cases[] = {
        {"automaticCheckBoxes", false, "Set automatic checkboxes", nullptr, {subtree}},
        {"backgroundColor",
         QVariant::fromValue(Color::colorWithCalibratedRed(0, 0, 1)),
         "Set Background Color",
         nullptr,
         {redraw},
         preview},
        {"backgroundImageFilename", "Images/B1/back.tiff", nullptr, nullptr, {redraw}, preview},
        {"backgroundImageOffset",
         QVariant::fromValue(Point(3, 4)),
         "Set background image offset",
         nullptr,
         {redraw},
         preview},
        {"backgroundImageOpacity",
         0.25f,
         "Set background image opacity",
         nullptr,
         {redraw},
         preview},
        {"backgroundImageSize",
         QVariant::fromValue(Size(30, 40)),
         "Set background image size",
         nullptr,
         {redraw},
         preview},
        {"backgroundImageTileMode",
         2,
         "Set background image tiling mode",
         nullptr,
         {redraw},
         preview},
        {"branchHideLevel",
         3,
         "Set Branch Hide Level",
         nullptr,
         {subtree, TWMap::BranchHideLevelChangedNotification}},
        {"childOutlineNumberingTopDown",
         false,
         "Change top down outline numbering for children setting",
         nullptr,
         {subtree}},
        {"continuousSpellCheck",
         false,
         "Continuous spell check setting change",
         nullptr,
         {TWMap::ContinuousSpellCheckChangedNotification}},
        {"defaultGraphicColor",
         QVariant::fromValue(Color::blackColor()),
         "Set default fill color",
         nullptr,
         {subtree}},
        {"defaultStrokeColor",
         QVariant::fromValue(Color::whiteColor()),
         "Set default line color",
         nullptr,
         {subtree}},
        {"firstLevelSpacing", 140, "Set first level spacing"},
        {"graphicColoringMode",
         4,
         "Set graphic coloring mode",
         nullptr,
         {TWMap::DelayedRedrawInRectNotification},
         preview},
        {"interChildSpacing", 12, "Set inter-child spacing"},
        {"isSceneContNoSwitch",
         false,
         "Change screenwriter scene continued numbering setting",
         sw,
         {screen}},
        {"isSwDialogueAutoChar",
         false,
         "Change screenwriter dialogue automatic character continued setting",
         sw,
         {screen}},
        {"isSwDialogueBOPage",
         false,
         "Change screenwriter dialogue bottom of page setting",
         sw,
         {screen}},
        {"isSwDialogueTONPage",
         false,
         "Change screenwriter dialogue top of next page setting",
         sw,
         {screen}},
        {"isSwSceneBOPage",
         false,
         "Change screenwriter scene bottom of page setting",
         sw,
         {screen}},
        {"isSwSceneTONPage",
         false,
         "Change screenwriter scene top of next page setting",
         sw,
         {screen}},
        {"swDialogueBOPageText",
         "(mehr)",
         "Change screenwriter dialogue bottom of page text",
         sw,
         {screen}},
        {"swDialogueTONPageText",
         "(weiter)",
         "Change screenwriter dialogue top of next page text",
         sw,
         {screen}},
        {"swSceneBOPageText",
         "(WEITER)",
         "Change screenwriter scene bottom of page text",
         sw,
         {screen}},
        {"swSceneTONPageText",
         "WEITER:",
         "Change screenwriter scene top of next page text",
         sw,
         {screen}},
        {"layoutAssistanceMode",
         3,
         "Set layout assistance mode",
         nullptr,
         {TWMap::BranchDidResizeNotification},
         {"arrange map", "preview"}},
        {"mapName", "Plans", nullptr, nullptr, {TWMap::MapNameChangedNotification}},
        {"orderingMode", 2, "Set branch ordering mode", nullptr, {}, preview},
        {"outlineFont",
         QVariant::fromValue(Font("Helvetica", 9)),
         "Outline font change",
         nullptr,
         {TWMap::OutlineFontChangedNotification, subtree}},
        {"outlineFormatSettings",
         QStringList{"Numeric", "Upper case alpha"},
         "Outline format setting change",
         nullptr,
         {subtree, TWMap::OutlineFormatSettingChangedNotification,
          TWMap::OutlineFormatSettingChangedNotification}},
        {"outlineNumbersToLevel",
         2,
         "Change number of levels of outline numbering",
         nullptr,
         {subtree}},
        {"rainbowAngle", 90.0f, "Set Rainbow Angle", nullptr, {subtree}, preview},
        {"rainbowSaturation", 0.5f, "Set Rainbow Saturation", nullptr, {subtree}, preview},
        {"repelDistance", 25, "Set repel distance", nullptr, {subtree}},
        {"scaleAmount", 150.9f, "Set Scale Amount", nullptr, {}, {}, 150.0f},
        {"showAttachedGraphics",
         false,
         "Show/hide attached graphics",
         nullptr,
         {subtree, subtree},
         preview},
        {"showBoundaries",
         false,
         "Add boundary",
         nullptr,
         {TWMap::PrintCanvasControllerNeedsUpdateNowNotification},
         preview},
        {"showCheckboxes", false, "Show/hide checkboxes", nullptr, {}, preview},
        {"showCollapseSign", true, "Show/hide collapse sign", nullptr, {subtree}},
        {"showLinkLines", false, "Show/hide link lines", nullptr, {subtree, subtree}, preview},
        {"showOutlineNumbers",
         true,
         "Change displaying outline numbering setting",
         nullptr,
         {subtree},
         preview},
        {"showPercentComplete", false, "Show/hide percentage complete", nullptr, {}, preview},
        {"showPriorities", false, "Show/hide priorities", nullptr, {}, preview},
        {"showResourcesAllocated", false, "Show/hide resources allocated", nullptr, {}, preview},
        {"showShadows", false, "Show/hide shadows", nullptr, {subtree}, preview},
        {"showSWTextIndicators",
         false,
         "Show/hide screenwriter text indicators",
         nullptr,
         {},
         preview},
        {"showTextIndicators", false, "Show/hide text indicators", nullptr, {}, preview},
        {"textMaxWidth",
         70.0f,
         "Constrain text maximum width",
         nullptr,
         {TWMap::ConstrainTextMaxWidthChangedNotification},
         preview},
        {"textMaxWidthSet",
         true,
         "Constrain text maximum width",
         nullptr,
         {TWMap::ConstrainTextMaxWidthChangedNotification},
         {"fit Main Idea to 50", "preview"}},
        {"printSetupDictionary", QVariant::fromValue(OrderedDictionary{{"leftMargin", 36}}),
         "Update print setup information"},
    };

    QStringList covered;
    for (const SetterCase &c : cases) {
        SCOPED_TRACE(c.key);
        covered << c.key;
        // No current map: the new map has the defaults, not the last case's values.
        document->setCurrentMapNumber(-1);
        auto map = addMap();
        const QVariant before = map->valueForKey(c.key);
        const QVariant after = c.stored.isValid() ? c.stored : c.value;
        ASSERT_NE(before, after);
        const int steps = undo->undoStepCount();
        QStringList watched = {TWMap::SubtreeNeedsRedrawNotification,
                               TWMap::RedrawInRectNotification,
                               TWMap::DelayedRedrawInRectNotification,
                               TWMap::BranchDidResizeNotification,
                               TWMap::ContinuousSpellCheckChangedNotification,
                               TWMap::ScreenwriterLayoutChangedNotification,
                               TWMap::MapNameChangedNotification,
                               TWMap::OutlineFontChangedNotification,
                               TWMap::OutlineFormatSettingChangedNotification,
                               TWMap::ConstrainTextMaxWidthChangedNotification,
                               TWMap::BranchHideLevelChangedNotification,
                               TWMap::PrintCanvasControllerNeedsUpdateNowNotification};
        Recorder recorder(watched);
        ASSERT_TRUE(map->setMapValue(c.value, c.key));
        // Redraws of rectangles: only those of the whole canvas are the map's.
        const QRectF canvas(0, 0, map->canvasSize().width, map->canvasSize().height);
        QStringList names;
        for (const Notification &n : recorder.notifications) {
            if (!n.userInfo.contains(TWMap::RectKey) ||
                n.userInfo.value(TWMap::RectKey).toRectF() == canvas)
                names << n.name;
        }
        EXPECT_EQ(names, c.notifications);
        EXPECT_EQ(drawing->calls, c.drawing);
        undo->closeEventGroup();
        ASSERT_EQ(undo->undoStepCount(), steps + 1);
        const QString name = c.actionName
                                 ? TWLocalizedString(c.table ? c.table : StringTable::DadoZiz,
                                                     QString::fromUtf8(c.actionName))
                                 : QString();
        EXPECT_EQ(undo->undoActionName(), name);
        EXPECT_EQ(map->valueForKey(c.key), after);

        // The same value again: no step, nothing announced.
        recorder.clear();
        map->setMapValue(map->valueForKey(c.key), c.key);
        undo->closeEventGroup();
        EXPECT_EQ(undo->undoStepCount(), steps + 1);
        EXPECT_TRUE(recorder.notifications.isEmpty());

        undo->undo();
        EXPECT_EQ(map->valueForKey(c.key), before);
        EXPECT_EQ(undo->redoActionName(), name);
        undo->redo();
        EXPECT_EQ(map->valueForKey(c.key), after);
        EXPECT_EQ(undo->undoActionName(), name);
        settle();
    }
    covered.sort();
    EXPECT_EQ(covered, TWMap::settingKeys());
}

TEST_F(TWMapTest, ValuesOfTheWrongKindAreRefused)
{
    auto map = addMap();
    const int steps = undo->undoStepCount();
    WarningCapture warnings;
    EXPECT_FALSE(map->setMapValue("red", "backgroundColor"));
    EXPECT_FALSE(map->setMapValue(QVariant::fromValue(Size(1, 1)), "backgroundImageOffset"));
    EXPECT_FALSE(map->setMapValue("x", "showShadows"));
    EXPECT_FALSE(map->setMapValue(1, "noSuchSetting"));
    EXPECT_EQ(warnings.lines().size(), 4);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps);
}

TEST_F(TWMapTest, TheScaleStoresWholeNumbers)
{
    auto map = addMap();
    const std::pair<float, float> cases[] = {{99.99f, 99}, {-0.5f, 0}, {150.5f, 150}};
    for (const auto &[value, stored] : cases) {
        map->setScaleAmount(value);
        EXPECT_EQ(map->scaleAmount(), stored) << value;
    }
    // Compared before truncating: 150.5 over a stored 150 is one more step.
    settle();
    const int steps = undo->undoStepCount();
    map->setScaleAmount(150.5f);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps + 1);
    EXPECT_EQ(map->scaleAmount(), 150);
}

TEST_F(TWMapTest, HidingLevelsDeselectsHiddenBranchesAndUpdatesBoundaries)
{
    auto map = addMap();
    map->setBranchHideLevel(3);
    auto a = branch(map, map->root(), "a");
    auto aa = branch(map, a, "aa");
    auto aaa = branch(map, aa, "aaa");
    map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 0);
    map->insertObjectInSelectedGraphicsAtIndex(aa->mainGraphic(), 1);
    map->insertObjectInSelectedGraphicsAtIndex(aaa->enclosedTextArea(), 2);
    map->insertObjectInGraphicOrderCacheAtIndex(a->mainGraphic(), 0);
    settle();

    map->setBranchHideLevel(1);
    EXPECT_EQ(map->selectedGraphics(), TWMap::GraphicList{a->mainGraphic()});
    EXPECT_EQ(map->countOfGraphicOrderCache(), 0);
    EXPECT_EQ(layout->calls, (QStringList{"remove from boundary aa: aa",
                                          "remove from boundary aaa: aaa", "arrange a"}));
    settle();

    // Raising it deselects nothing.
    map->setBranchHideLevel(5);
    EXPECT_EQ(map->selectedGraphics(), TWMap::GraphicList{a->mainGraphic()});
}

// Each branch the new level hides or shows tells its boundaries, in tree
// order, as hidden() answers branch by branch; collapsed branches hide
// theirs, and a branch the level leaves as it was is not measured again.
TEST_F(TWMapTest, AHideLevelTellsEachBoundaryWhatHiddenAnswers)
{
    auto map = addMap();
    auto a = branch(map, map->root(), "a");
    auto a1 = branch(map, a, "a1");
    branch(map, a1, "a11");
    auto b = branch(map, map->root(), "b");
    auto b1 = branch(map, b, "b1");
    auto b11 = branch(map, b1, "b11");
    branch(map, b11, "b111");
    branch(map, b1, "b12");
    branch(map, map->root(), "c");
    a->setChildrenHidden(true);
    b11->setChildrenHidden(true);
    settle();
    // Once with no extents kept, once with the map's kept from a measure
    // before each change, which spare the walk subtrees no level reaches.
    for (const bool kept : {false, true})
        for (const int level : {3, 0, 1, 2, 999, -1, 4}) {
            SCOPED_TRACE(QStringLiteral("level %1, extents %2")
                             .arg(level)
                             .arg(kept ? "kept" : "none")
                             .toStdString());
            if (kept)
                map->getBoundingDrawingRectForAllGraphics();
            layout->calls.clear();
            const TWMap::BranchList all = map->allBranches();
            QList<bool> wasHidden;
            for (const auto &each : all)
                wasHidden << each->hidden();
            map->setBranchHideLevel(level);
            QStringList expected;
            for (qsizetype i = 0; i < all.size(); ++i) {
                const auto &each = all.at(i);
                if (each->hidden() == wasHidden.at(i))
                    continue;
                const QString name = BranchTest::nameOf(*each);
                expected << (each->hidden()
                                 ? QStringLiteral("remove from boundary %1: %1").arg(name)
                                 : QStringLiteral("update boundary %1 for %1").arg(name));
            }
            QStringList told = layout->calls;
            told.removeIf([](const QString &call) { return call.startsWith("arrange"); });
            EXPECT_EQ(told, expected);
            settle();
        }
}

TEST_F(TWMapTest, TheTextWidthRefitsEveryBranchOnlyWhileConstrained)
{
    auto map = addMap();
    branch(map, map->root(), "a");
    settle();
    map->setTextMaxWidth(200);
    EXPECT_EQ(drawing->calls, QStringList{"preview"});
    map->setTextMaxWidthSet(true);
    settle();
    map->setTextMaxWidth(120);
    EXPECT_EQ(drawing->calls, (QStringList{"fit Main Idea to 120", "fit a to 120", "preview"}));
    settle();
    undo->undo();
    EXPECT_EQ(drawing->calls, (QStringList{"fit Main Idea to 200", "fit a to 200", "preview"}));
    drawing->calls.clear();
    map->setTextMaxWidthSet(false);
    EXPECT_EQ(drawing->calls, QStringList{"preview"});
}

// Views that show the whole map follow "canvasSize"; the preview is renewed
// with it.
TEST_F(TWMapTest, TheCanvasSizeIsAnnouncedAndRenewsThePreview)
{
    auto map = addMap();
    const Size start = map->canvasSize();
    struct Step
    {
        const char *what;
        std::function<void()> edit;
        QStringList announced; // "key phase" of the map's value changes
        QStringList drawing;
    } const steps[] = {
        {"a new canvas size",
         [&] { map->setCanvasSize(Size(start.width + 50, start.height)); },
         {"canvasSize will", "canvasSize did"},
         {"preview"}},
        {"the same size again",
         [&] { map->setCanvasSize(Size(start.width + 50, start.height)); },
         {},
         {}},
        {"no longer stale", [&] { map->setNeedsUpdatePreviewImage(false); }, {}, {}},
        {"stale", [&] { map->setNeedsUpdatePreviewImage(true); }, {}, {"preview"}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        settle();
        Recorder changes({TWMap::ValueChangeNotification});
        step.edit();
        QStringList announced;
        for (const Notification &n : changes.notifications)
            if (n.sender == map.get())
                announced << n.userInfo.value(TWMap::KeyKey).toString() + " " +
                                 n.userInfo.value(TWMap::PhaseKey).toString();
        EXPECT_EQ(announced, step.announced);
        EXPECT_EQ(drawing->calls, step.drawing);
    }
}

TEST_F(TWMapTest, OutlineNumberChangesMoveEnclosedGraphicsFromTheOldWidth)
{
    auto map = addMap();
    auto a = branch(map, map->root(), "a");
    settle();
    map->setShowOutlineNumbers(true);
    EXPECT_EQ(layout->calls, (QStringList{"reposition Main Idea from 3", "reposition a from 3"}));
    EXPECT_TRUE(map->outlineNumbersNeedUpdating());
}

TEST_F(TWMapTest, UndoingThePrintSetupRestoresThePreviousOne)
{
    auto map = addMap();
    const OrderedDictionary before = map->printSetupDictionary();
    map->setPrintSetupDictionary(OrderedDictionary{{"frameWidth", 3}});
    settle();
    EXPECT_EQ(undo->undoActionName(), "Update print setup information");
    undo->undo();
    EXPECT_EQ(map->printSetupDictionary(), before);
}

TEST_F(TWMapTest, TheIndexedListsRegisterTheirInverses)
{
    auto map = addMap();
    map->insertObjectInOutlineFormatSettingsAtIndex("Numeric", 0);
    map->insertObjectInOutlineFormatSettingsAtIndex("Lower case roman", 1);
    map->replaceObjectInOutlineFormatSettingsAtIndex(0, "Upper case alpha");
    settle();
    EXPECT_EQ(undo->undoActionName(), "Outline format setting change");
    EXPECT_EQ(map->outlineFormatSettings(), (QStringList{"Upper case alpha", "Lower case roman"}));
    map->removeAllOutlineFormatSettings();
    settle();
    EXPECT_TRUE(map->outlineFormatSettings().isEmpty());
    undo->undo();
    EXPECT_EQ(map->outlineFormatSettings(), (QStringList{"Upper case alpha", "Lower case roman"}));
    undo->undo();
    EXPECT_TRUE(map->outlineFormatSettings().isEmpty());

    // An equal list is no change.
    map->setOutlineFormatSettings({"Numeric"});
    settle();
    const int steps = undo->undoStepCount();
    map->setOutlineFormatSettings(QStringList{QString("Num") + "eric"});
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps);

    // Link lines: removal redraws the line first; undo brings it back.
    auto a = branch(map, map->root(), "a");
    auto line = TWGraphic::make<TWLinkLine>();
    line->connect(map->root()->mainGraphic(), a->mainGraphic());
    map->insertObjectInLinkLinesAtIndex(line, 0);
    settle();
    Recorder recorder({TWMap::GraphicNeedsRedrawNotification});
    map->removeAllLinkLines();
    EXPECT_EQ(recorder.notifications.size(), 1);
    EXPECT_EQ(recorder.notifications.at(0).sender, line.get());
    EXPECT_EQ(map->countOfLinkLines(), 0);
    settle();
    undo->undo();
    EXPECT_EQ(map->linkLines(), TWMap::LinkLineList{line});
    EXPECT_EQ(map->linkLinesStartingWithGraphic(map->root()->mainGraphic().get()),
              TWMap::LinkLineList{line});
    EXPECT_EQ(map->linkLinesEndingWithGraphic(a->mainGraphic().get()), TWMap::LinkLineList{line});

    // Refused indexes change nothing.
    WarningCapture warnings;
    map->removeObjectFromLinkLinesAtIndex(4);
    map->insertObjectInOutlineFormatSettingsAtIndex("x", 9);
    map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 3);
    EXPECT_EQ(warnings.lines().size(), 3);
}

TEST_F(TWMapTest, ACopyHasItsOwnIdentifierAndAnEmptyCache)
{
    auto map = addMap();
    auto a = branch(map, map->root(), "a");
    map->setName(QString("Mine"));
    map->setShowShadows(false);
    map->setBackgroundImageFilename(QString("Images/B/back.pdf"));
    map->setThemeID(QString("theme"));
    map->insertObjectInOutlineFormatSettingsAtIndex("Numeric", 0);
    EXPECT_FALSE(map->graphics().isEmpty());
    settle();

    auto copy = map->copy();
    EXPECT_EQ(copy->document(), nullptr);
    EXPECT_FALSE(copy->storedIdentifier().has_value());
    EXPECT_NE(copy->identifier(), map->identifier());
    EXPECT_FALSE(copy->showShadows());
    EXPECT_EQ(copy->backgroundImageFilename(), map->backgroundImageFilename());
    EXPECT_EQ(copy->outlineFormatSettings(), QStringList{"Numeric"});
    EXPECT_EQ(copy->canvasSize(), map->canvasSize());
    // Not copied.
    EXPECT_FALSE(copy->storedMapName().has_value());
    EXPECT_FALSE(copy->themeID().has_value());
    EXPECT_FALSE(copy->hasPrintSetupDictionary());
    // No stray graphics of the source: the cache is rebuilt from the copy's own tree.
    EXPECT_GT(map->countOfGraphicOrderCache(), 0);
    EXPECT_EQ(copy->countOfGraphicOrderCache(), 0);
}

TEST_F(TWMapTest, LoadedGraphicNumbersAreResolvedToTheNewNumbers)
{
    auto map = addMap();
    auto a = branch(map, map->root(), "a");
    auto b = branch(map, a, "b");
    // As read: each graphic remembers the number it was saved with.
    const long savedRoot = 11, savedA = 22, savedB = 33;
    map->root()->mainGraphic()->setOriginalGraphicNumber(savedRoot);
    a->mainGraphic()->setOriginalGraphicNumber(savedA);
    b->mainGraphic()->setOriginalGraphicNumber(savedB);
    auto stand = [](long number) {
        auto g = TWGraphic::create();
        g->setGraphicNumber(number);
        return g;
    };
    auto line = TWGraphic::make<TWLinkLine>();
    line->connect(stand(savedA), stand(savedB));
    auto lost = TWGraphic::make<TWLinkLine>();
    lost->connect(stand(savedA), stand(99));
    // Its curve as stored, away from the origin (as the ends are).
    a->mainGraphic()->setBounds(Rect(300, 200, 80, 30));
    b->mainGraphic()->setBounds(Rect(500, 420, 80, 30));
    line->setIntermediatePoint1(Point(410, 150));
    line->setIntermediatePoint2(Point(560, 300));
    map->insertObjectInLinkLinesAtIndex(line, 0);
    map->insertObjectInLinkLinesAtIndex(lost, 1);

    WarningCapture warnings;
    map->resolveLoadedGraphics();
    EXPECT_EQ(line->startGraphicNumber(), a->mainGraphic()->graphicNumber());
    EXPECT_EQ(line->endGraphicNumber(), b->mainGraphic()->graphicNumber());
    EXPECT_EQ(line->branch(), a.get());
    // Measuring the line where its ends were saved leaves the curve alone.
    line->updateBounds();
    EXPECT_EQ(line->intermediatePoint1(), Point(410, 150));
    EXPECT_EQ(line->intermediatePoint2(), Point(560, 300));
    // A line whose ends are not all found keeps its numbers, with a warning.
    EXPECT_EQ(lost->endGraphicNumber(), 99);
    EXPECT_EQ(map->countOfLinkLines(), 2);
    EXPECT_EQ(warnings.lines().size(), 1);
}

TEST_F(TWMapTest, ProcessingFlagsLaysOutOnceThenSortsAndNumbers)
{
    auto map = addMap();
    map->setNeedsAutoLayout(true);
    map->processFlags();
    EXPECT_EQ(drawing->calls, QStringList{"arrange map"});
    EXPECT_EQ(layout->calls, QStringList{"renumber"});
    EXPECT_FALSE(map->needsAutoLayout());
    EXPECT_FALSE(map->outlineNumbersNeedUpdating());
    drawing->calls.clear();
    map->processFlags();
    EXPECT_TRUE(drawing->calls.isEmpty());

    // A preview is made when first asked for, and only then.
    map->previewImage();
    EXPECT_EQ(drawing->calls, QStringList{"preview"});
    map->setPreviewImage(std::make_shared<TWMapPreviewImage>());
    map->previewImage();
    EXPECT_EQ(drawing->calls, QStringList{"preview"});
}

TEST_F(TWMapTest, DeparentCutsTheTreeAndReparentRestoresIt)
{
    auto map = addMap();
    auto a = branch(map, map->root(), "a");
    map->deparent();
    EXPECT_EQ(map->root()->map(), nullptr);
    EXPECT_EQ(a->map(), nullptr);
    EXPECT_EQ(a->parent(), nullptr);
    map->reparent();
    EXPECT_EQ(map->root()->map(), map.get());
    EXPECT_EQ(a->map(), map.get());
    EXPECT_EQ(a->parent(), map->root().get());
}

} // namespace
