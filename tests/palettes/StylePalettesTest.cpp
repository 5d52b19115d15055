#include "StyleEditingTestSupport.h"

#include "palettes/TWGraphicStyleController.h"
#include "palettes/TWGraphicStyleEditor.h"
#include "palettes/TWMapStyleController.h"
#include "palettes/TWPaletteMapping.h"
#include "palettes/TWPalettesController.h"
#include "palettes/TWStylePalettes.h"
#include "palettes/TWStyleView.h"
#include "styles/TWDefaultMapStyle.h"

#include <QMenu>
#include <QTest>
#include <functional>

namespace {

using StyleEditingTest::Fixture;

// The style items of a menu: their styles' names in order, and which is checked.
struct MenuContents
{
    QStringList names;
    QStringList checked;
    QStringList tail; // the texts after the style items
};

MenuContents contentsOf(const QMenu *menu)
{
    MenuContents contents;
    for (QAction *action : menu->actions()) {
        if (const auto style = TWStyleView::styleOfAction(action)) {
            contents.names << style->name();
            if (action->isChecked())
                contents.checked << style->name();
        } else {
            contents.tail << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
    }
    return contents;
}

class StylePalettes : public Fixture
{
protected:
    StylePalettes()
    {
        preview.resize(150, 50);
        graphicController.setPreview(&preview);
        graphicController.setDocument(link);
        mapPreview.resize(150, 50);
        mapController.setPreview(&mapPreview);
        mapController.setDocument(link);
    }

    TWStyleView preview;
    TWStyleView mapPreview;
    TWGraphicStyleController graphicController;
    TWMapStyleController mapController;
};

TEST_F(StylePalettes, GraphicPaletteShowsTheSelectionsStyleAfterTheDelayAndMarksItInTheMenu)
{
    a->mainGraphic()->setStyleID(bold->identifier());
    b->mainGraphic()->setStyleID(plain->identifier());
    const struct
    {
        const char *name;
        std::vector<std::shared_ptr<TWGraphic>> selection;
        QStringList checked;
        bool isNew;
    } cases[] = {
        {"one styled graphic", {b->mainGraphic()}, {"Plain"}, false},
        {"differing styles", {a->mainGraphic(), b->mainGraphic()}, {"Bold"}, false},
        {"no style at all", {c->mainGraphic()}, {}, true},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.name);
        select(k.selection);
        const std::shared_ptr<TWStyle> before = graphicController.selectedStyle();
        ASSERT_TRUE(graphicController.updatePending());
        EXPECT_EQ(graphicController.updateInterval(), 100);
        if (before != binding.currentStyle())
            EXPECT_NE(preview.style(), binding.currentStyle()) << "shown before the delay";
        QTest::qWait(160);
        EXPECT_FALSE(graphicController.updatePending());
        EXPECT_EQ(graphicController.selectedStyle(), binding.currentStyle());
        EXPECT_EQ(preview.style(), binding.currentStyle());
        EXPECT_EQ(binding.currentStyleIsNew(), k.isNew);
        EXPECT_EQ(contentsOf(graphicController.styleMenu()).checked, k.checked);
        EXPECT_EQ(preview.styleMenu(), graphicController.styleMenu());
    }
}

TEST_F(StylePalettes, TheStyleMenuListsPicturesByNameThenEditStylesAndFollowsTheLibrary)
{
    saved(graphicStyle("apple", Color::blackColor(), 1));
    graphicController.setSelectedStyle(plain);
    const MenuContents menu = contentsOf(graphicController.styleMenu());
    // Ignoring case: "apple" comes before "Bold".
    EXPECT_EQ(menu.names, withShipped({"apple", "Bold", "Plain"}));
    EXPECT_EQ(menu.names.first(), "apple");
    EXPECT_EQ(menu.checked, QStringList({"Plain"}));
    EXPECT_EQ(menu.tail, QStringList({"-", "Edit Styles"}));
    for (QAction *action : graphicController.styleMenu()->actions()) {
        if (!TWStyleView::styleOfAction(action))
            continue;
        EXPECT_TRUE(action->text().isEmpty());
        EXPECT_TRUE(action->icon().availableSizes().contains(QSize(150, 50)))
            << action->toolTip().toStdString();
    }

    // A new library style shows at once, in the menu of its kind only.
    saved(graphicStyle("Zest", Color::blackColor(), 1));
    EXPECT_EQ(contentsOf(graphicController.styleMenu()).names,
              withShipped({"apple", "Bold", "Plain", "Zest"}));
    const QStringList mapNames = libraryNames(library().mapStyles());
    auto mapStyle = TWStyle::create(TWStyle::MapStyle);
    mapStyle->setName("Evening");
    saved(mapStyle);
    QStringList expected = mapNames + QStringList{"Evening"};
    expected.sort(Qt::CaseInsensitive);
    EXPECT_EQ(contentsOf(mapController.styleMenu()).names, expected);
    EXPECT_EQ(contentsOf(graphicController.styleMenu()).names.size(),
              shippedGraphicNames.size() + 4);
}

TEST_F(StylePalettes, AClickOnThePreviewDropsItsMenuDown)
{
    graphicController.setSelectedStyle(bold);
    const struct
    {
        Qt::MouseButton button;
        bool withMenu;
    } cases[] = {{Qt::LeftButton, true}, {Qt::RightButton, true}, {Qt::LeftButton, false}};
    for (const auto &k : cases) {
        preview.setStyleMenu(k.withMenu ? graphicController.styleMenu() : nullptr);
        QTest::mouseClick(&preview, k.button, {}, QPoint(20, 20));
        EXPECT_EQ(graphicController.styleMenu()->isVisible(), k.withMenu) << k.button;
        graphicController.styleMenu()->close();
    }
    EXPECT_EQ(TWStyleView::accentColor(TWStyle::GraphicStyle),
              QColor::fromRgbF(0.82f, 0.63f, 0.06f));
    EXPECT_EQ(TWStyleView::accentColor(TWStyle::MapStyle), QColor(Qt::black));
}

TEST_F(StylePalettes, SetAsDefaultFromTheMenuTogglesTheMapsDefaultGraphicStyle)
{
    const struct
    {
        std::shared_ptr<TWStyle> before;
        std::shared_ptr<TWStyle> chosen;
        std::optional<QString> after;
    } cases[] = {
        {nullptr, bold, bold->identifier()},
        {bold, bold, std::nullopt},
        {plain, bold, bold->identifier()},
    };
    for (const auto &k : cases) {
        map->setDefaultGraphicStyle(k.before);
        graphicController.setSelectedStyle(k.chosen);
        std::unique_ptr<QMenu> menu(graphicController.selectedStyleSubMenu());
        QAction *setDefault = menu->actions().value(0);
        ASSERT_TRUE(setDefault);
        EXPECT_EQ(setDefault->isChecked(), k.before == k.chosen);
        setDefault->trigger();
        EXPECT_EQ(map->defaultGraphicStyleID(), k.after);
    }
}

TEST_F(StylePalettes, TheSelectedStyleMenuOffersRevertSaveAndDeleteOnlyForCustomStyles)
{
    for (bool custom : {true, false}) {
        auto style = graphicStyle("S", Color::blackColor(), 1);
        style->setCustom(custom);
        graphicController.setSelectedStyle(style);
        std::unique_ptr<QMenu> menu(graphicController.selectedStyleSubMenu());
        QStringList enabled;
        for (QAction *action : menu->actions())
            if (!action->isSeparator() && action->isEnabled())
                enabled << action->text();
        EXPECT_EQ(enabled,
                  custom ? QStringList({"Set as default", "Revert", "Save", "Save As...", "Delete"})
                         : QStringList({"Set as default", "Save As..."}))
            << custom;
    }
}

TEST_F(StylePalettes, SaveAsOfAMixedSelectionStoresNoMixedValue)
{
    a->mainGraphic()->setDrawsFill(true);
    b->mainGraphic()->setDrawsFill(false);
    a->mainGraphic()->setDrawsStroke(false);
    b->mainGraphic()->setDrawsStroke(true);
    select({a->mainGraphic(), b->mainGraphic()});
    ASSERT_EQ(binding.drawsFill(), -1);
    ASSERT_EQ(binding.drawsStroke(), -1);
    const qsizetype before = library().graphicStyles().size();

    EXPECT_FALSE(graphicController.savePanelSave("  "));
    EXPECT_EQ(library().graphicStyles().size(), before);

    ASSERT_TRUE(graphicController.savePanelSave("Mixed"));
    const std::shared_ptr<TWStyle> style = graphicController.selectedStyle();
    ASSERT_TRUE(style);
    EXPECT_EQ(style->name(), "Mixed");
    EXPECT_EQ(library().graphicStyleWithIdentifier(style->identifier()), style);
    // Read back from its file: no key holds the mixed marker.
    const auto stored = TWStyle::createWithContentsOfFile(userFile(*style));
    ASSERT_TRUE(stored);
    for (const QString &group : {TWStyle::GraphicGroup, TWStyle::BranchGroup}) {
        const OrderedDictionary values = stored->group(group);
        for (const QString &key : values.keys()) {
            bool number = false;
            const int value = values.value(key).toInt(&number);
            EXPECT_FALSE(number && value == -1) << group.toStdString() << "." << key.toStdString();
        }
    }
    for (const char *key : {"drawsFill", "drawsStroke"})
        EXPECT_FALSE(stored->value(TWStyle::GraphicGroup, key).isValid()) << key;
    for (const auto &graphic : {a->mainGraphic(), b->mainGraphic()})
        EXPECT_EQ(graphic->styleID(), style->identifier());
    EXPECT_EQ(binding.currentStyle(), style);
}

TEST_F(StylePalettes, SavingCopiesTheShownSettingsIntoCustomStylesOnly)
{
    a->mainGraphic()->setStyleID(bold->identifier());
    a->mainGraphic()->setDrawsFill(false);
    b->mainGraphic()->setDrawsFill(true);
    bold->setValue(TWStyle::GraphicGroup, "drawsFill", true);
    const struct
    {
        bool custom;
        std::vector<std::shared_ptr<TWGraphic>> selection;
        bool drawsFill; // in the saved file afterwards
    } cases[] = {
        {false, {a->mainGraphic()}, true},                  // standard styles are never saved
        {true, {a->mainGraphic(), b->mainGraphic()}, true}, // mixed: kept as it was
        {true, {a->mainGraphic()}, false},
    };
    for (const auto &k : cases) {
        select(k.selection);
        bold->setCustom(k.custom);
        graphicController.setSelectedStyle(bold);
        graphicController.saveSelectedStyle();
        const auto stored = TWStyle::createWithContentsOfFile(userFile(*bold));
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->value(TWStyle::GraphicGroup, "drawsFill").toBool(), k.drawsFill)
            << k.custom << k.selection.size();
    }
}

TEST_F(StylePalettes, UpdatingTheStyleAsksTwiceAndRestylesTheMapsGraphicsOnYes)
{
    a->mainGraphic()->setStyleID(bold->identifier());
    c->mainGraphic()->setStyleID(bold->identifier());
    const struct
    {
        int first, second;
        bool styleChanged, othersRestyled;
    } cases[] = {{1, 0, false, false}, {0, 1, true, false}, {0, 0, true, true}};
    for (const auto &k : cases) {
        c->mainGraphic()->setStrokeStyle(3);
        a->mainGraphic()->setStrokeStyle(7);
        bold->setValue(TWStyle::GraphicGroup, "strokeStyle", 3);
        select({a->mainGraphic()});
        alerts.clear();
        alerts.queueAlertResponse(k.first);
        alerts.queueAlertResponse(k.second);
        graphicController.updateSelectedStyle();
        EXPECT_EQ(alerts.alerts().size(), k.first == 0 ? 2 : 1);
        EXPECT_EQ(bold->value(TWStyle::GraphicGroup, "strokeStyle").toInt(),
                  k.styleChanged ? 7 : 3);
        if (k.styleChanged) // written at once, whatever the editor is left with
            EXPECT_EQ(TWStyle::createWithContentsOfFile(userFile(*bold))
                          ->value(TWStyle::GraphicGroup, "strokeStyle")
                          .toInt(),
                      7);
        EXPECT_EQ(c->mainGraphic()->strokeStyle(), k.othersRestyled ? 7 : 3);
        TWGraphicStyleEditor::sharedGraphicStyleEditor().cancel();
    }
}

// --- the map style palette ---

TEST_F(StylePalettes, MapPaletteFollowsSettingsAfterTwoSecondsAndAMapSwitchAtOnce)
{
    map->setBackgroundImageOpacity(1.0f);
    settle();
    mapController.updateSelectedStyle();
    const auto opacity = [this] {
        return mapController.selectedStyle()
            ->value(TWStyle::MapGroup, "backgroundImageOpacity")
            .toFloat();
    };
    EXPECT_TRUE(mapController.selectedStyleIsNew());
    EXPECT_FLOAT_EQ(opacity(), 1.0f);

    // A drag: each step restarts the wait.
    for (float step : {0.8f, 0.6f, 0.4f}) {
        map->setBackgroundImageOpacity(step);
        undo->closeEventGroup();
        EXPECT_TRUE(mapController.updatePending());
        EXPECT_EQ(mapController.updateInterval(), 2000);
        EXPECT_FLOAT_EQ(opacity(), 1.0f);
    }
    // Nothing else happened: no new wait.
    mapController.updateSelectedStyle();
    undo->closeEventGroup();
    EXPECT_FALSE(mapController.updatePending());
    EXPECT_FLOAT_EQ(opacity(), 0.4f);

    auto second = TWMap::create(document.get());
    second->setBackgroundImageOpacity(0.25f);
    document->addMap(second, false);
    map->setBackgroundImageOpacity(0.3f);
    undo->closeEventGroup();
    ASSERT_TRUE(mapController.updatePending());
    document->setCurrentMapNumber(1);
    EXPECT_FALSE(mapController.updatePending());
    EXPECT_FLOAT_EQ(opacity(), 0.25f);
    EXPECT_EQ(mapPreview.style(), mapController.selectedStyle());
}

TEST_F(StylePalettes, SavingAFreshMapStyleNamesItInTheMapAndMakesItKnown)
{
    ASSERT_FALSE(map->mapStyleID());
    EXPECT_TRUE(mapController.selectedStyleIsNew());
    EXPECT_FALSE(mapController.savePanelSave(""));
    EXPECT_TRUE(mapController.selectedStyleIsNew());

    map->setRainbowAngle(1.25f);
    ASSERT_TRUE(mapController.savePanelSave("Sunny"));
    ASSERT_TRUE(map->mapStyleID());
    const std::shared_ptr<TWStyle> style = library().mapStyleWithIdentifier(*map->mapStyleID());
    ASSERT_TRUE(style);
    EXPECT_EQ(style->name(), "Sunny");
    EXPECT_FLOAT_EQ(style->value(TWStyle::MapGroup, "rainbowAngle").toFloat(), 1.25f);
    EXPECT_EQ(mapController.selectedStyle(), style);
    EXPECT_FALSE(mapController.selectedStyleIsNew());
    EXPECT_EQ(contentsOf(mapController.styleMenu()).checked, QStringList({"Sunny"}));

    mapController.setSelectedStyleAsDefault();
    EXPECT_EQ(TWDefaultMapStyle::identifier(), style->identifier());

    // Deleting it leaves the map a fresh style of its settings.
    mapController.deleteSelectedStyle();
    EXPECT_FALSE(library().mapStyleWithIdentifier(style->identifier()));
    EXPECT_TRUE(mapController.selectedStyleIsNew());
}

TEST_F(StylePalettes, ChoosingAMapStyleAppliesItAndSavingKeepsItsApplyFlags)
{
    auto night = TWStyle::create(TWStyle::MapStyle);
    night->setName("Midnight");
    night->setValue(TWStyle::MapGroup, "rainbowAngle", 2.0f);
    night->setValue(TWStyle::MapGroup, "applyOutlineNumbering", true);
    night->setValue(TWStyle::MapGroup, "applyBackground", false);
    saved(night);
    // Chosen from the menu: applied once the menu is done, which rebuilds it.
    QAction *item = nullptr;
    for (QAction *action : mapController.styleMenu()->actions())
        if (TWStyleView::styleOfAction(action) == night)
            item = action;
    ASSERT_TRUE(item);
    item->trigger();
    EXPECT_FALSE(map->mapStyleID());
    QCoreApplication::processEvents();
    EXPECT_EQ(map->mapStyleID(), night->identifier());
    EXPECT_FLOAT_EQ(map->rainbowAngle(), 2.0f);
    EXPECT_EQ(mapController.selectedStyle(), night);

    map->setRainbowAngle(0.5f);
    mapController.saveSelectedStyle();
    EXPECT_FLOAT_EQ(night->value(TWStyle::MapGroup, "rainbowAngle").toFloat(), 0.5f);
    EXPECT_TRUE(night->flag(TWStyle::MapGroup, "applyOutlineNumbering"));
    EXPECT_FALSE(night->flag(TWStyle::MapGroup, "applyBackground"));
    EXPECT_TRUE(night->flag(TWStyle::MapGroup, "applyColoring"));
}

TEST_F(StylePalettes, AClosingDocumentLeavesThePalettesWithoutOne)
{
    NotificationCenter::defaultCenter().post(
        TWGraphicBindingController::DocumentWillCloseNotification, &documentIdentity);
    EXPECT_TRUE(graphicController.document().isNull());
    EXPECT_TRUE(mapController.document().isNull());
    // Nothing to act on, nothing done.
    EXPECT_FALSE(mapController.savePanelSave("Late"));
    EXPECT_FALSE(graphicController.savePanelSave("Late"));
}

TEST_F(StylePalettes, TheRegistryFillsBothStylePalettesWithAPreviewAndItsMenu)
{
    TWPalettesController registry;
    TWStylePalettes *palettes = registry.stylePalettes();
    ASSERT_TRUE(palettes);
    const struct
    {
        QString id;
        TWStyleView *preview;
        QMenu *menu;
    } cases[] = {
        {TWPaletteIDs::GeneralStyle, palettes->graphicPreview(),
         palettes->graphicController()->styleMenu()},
        {TWPaletteIDs::MapStyle, palettes->mapPreview(), palettes->mapController()->styleMenu()},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.id.toStdString());
        ASSERT_TRUE(k.preview);
        QWidget *palette = registry.paletteView(k.id);
        ASSERT_TRUE(palette);
        EXPECT_TRUE(palette->isAncestorOf(k.preview));
        EXPECT_GE(palette->height(), k.preview->height());
        ASSERT_TRUE(k.menu);
        EXPECT_EQ(k.preview->styleMenu(), k.menu);
    }
    // The map menu lists the library even before a document comes.
    EXPECT_EQ(contentsOf(palettes->mapController()->styleMenu()).names,
              libraryNames(library().mapStyles()));
    registry.setDocument(nullptr);
    EXPECT_TRUE(palettes->graphicController()->document().isNull());
}

TEST_F(StylePalettes, AStylesMenuPictureIsTheStylesPreviewAfterEveryChangeToIt)
{
    // The menu keeps the pictures it drew: what one shows must still be
    // what the style looks like now.
    const QSize size(150, 50);
    const auto style = graphicStyle("Kept", Color::whiteColor(), 1);
    const struct
    {
        const char *name;
        std::function<void()> change;
        QSize size;
        bool looksDifferent;
    } cases[] = {
        {"unchanged", [] {}, size, false},
        {"fill changed in place",
         [&] {
             style->setValue(TWStyle::GraphicGroup, "fillColor",
                             QVariant::fromValue(Color::colorWithCalibratedRed(0, 0, 1)));
         },
         size, true},
        {"stroke width changed in place",
         [&] { style->setValue(TWStyle::GraphicGroup, "strokeWidth", 6.0f); }, size, true},
        {"renamed", [&] { style->setName("Renamed at last"); }, size, true},
        {"another size", [] {}, QSize(120, 40), false},
        {"back to the first size", [] {}, size, false},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.name);
        const QImage before = TWStyleView::previewOf(style, k.size);
        k.change();
        const QImage shown = TWStyleView::previewOf(style, k.size);
        const QImage drawn = style->previewOfSize(Size(float(k.size.width()), float(k.size.height())));
        ASSERT_EQ(shown.size(), drawn.size());
        EXPECT_TRUE(shown == drawn) << "a picture of the style as it was";
        EXPECT_EQ(before != shown, k.looksDifferent);
    }
    // Another style object under the same identifier draws its own picture.
    const auto twin = style->copy();
    twin->setValue(TWStyle::GraphicGroup, "strokeWidth", 1.0f);
    EXPECT_TRUE(TWStyleView::previewOf(twin, size) == twin->previewOfSize(Size(150, 50)));
    EXPECT_FALSE(TWStyleView::previewOf(twin, size) == TWStyleView::previewOf(style, size));
    // A nameless style is named as it is drawn, picture or not.
    const auto nameless = graphicStyle("", Color::whiteColor(), 1);
    TWStyleView::previewOf(nameless, size);
    EXPECT_EQ(nameless->name(), "Untitled");
}

} // namespace
