// The themes and templates shipped in the resources, and the code that
// makes them: THINKWEB_REGENERATE_SHIPPED=1 writes them anew into
// resources/themes and resources/templates (look at them in the chooser
// before committing).

#include "DocumentTestSupport.h"
#include "application/TWTemplate.h"
#include "application/TWTemplateSelectorPanelController.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWMapDrawingServices.h"
#include "palettes/TWThemePanels.h"
#include "styles/TWStyleManager.h"
#include "styles/TWTheme.h"
#include "support/AttributedString.h"
#include "support/Color.h"

#include <QDialog>
#include <QDir>
#include <QTest>
#include <cmath>

namespace {

const QString ResourcesFolder = QStringLiteral(THINKWEB_TEST_DATA "/../../resources");

struct ThemeRecipe
{
    QString name;
    QString identifier;
    QString mapStyle;
    QStringList levels; // graphic styles, root first
};

const QList<ThemeRecipe> &themeRecipes()
{
    static const QList<ThemeRecipe> recipes{
        {"Classic",
         TWTheme::DefaultThemeIdentifier,
         "6E1F6B0C-3F0A-4E0E-9C55-1D2B3A4C5E01",
         {"6E1F6B0C-3F0A-4E0E-9C55-1D2B3A4C5D02", "6E1F6B0C-3F0A-4E0E-9C55-1D2B3A4C5D01",
          "6E1F6B0C-3F0A-4E0E-9C55-1D2B3A4C5D04"}},
        {"Paper Notes",
         "5B0D3C2A-7E41-4F6B-8A19-2C4E6F8A0B11",
         "6E1F6B0C-3F0A-4E0E-9C55-1D2B3A4C5E03",
         {"6E1F6B0C-3F0A-4E0E-9C55-1D2B3A4C5D01", "6E1F6B0C-3F0A-4E0E-9C55-1D2B3A4C5D03"}},
        {"Night",
         "5B0D3C2A-7E41-4F6B-8A19-2C4E6F8A0B12",
         "6E1F6B0C-3F0A-4E0E-9C55-1D2B3A4C5E02",
         // Light text: lines draw their labels on the dark background.
         {"6E1F6B0C-3F0A-4E0E-9C55-1D2B3A4C5D05", "6E1F6B0C-3F0A-4E0E-9C55-1D2B3A4C5D06"}},
    };
    return recipes;
}

struct TemplateRecipe
{
    QString mapName;
    QString root;
    QStringList children;
};

const QList<TemplateRecipe> &templateRecipes()
{
    static const QList<TemplateRecipe> recipes{
        {"Blank", "Central Topic", {}},
        {"Project Plan", "Project", {"Goals", "Tasks", "People", "Dates", "Risks"}},
        {"Meeting", "Meeting", {"Agenda", "Decisions", "Action Items"}},
        {"Weekly Plan", "This Week", {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday"}},
    };
    return recipes;
}

class Shipped : public DocumentTest
{
protected:
    // Every label at its natural size, the tree arranged.
    void tidy(TWMap &map)
    {
        QList<std::shared_ptr<TWMapBranch>> pending{map.root()};
        while (!pending.isEmpty()) {
            auto branch = pending.takeLast();
            branch->makeNaturalSize();
            pending += branch->children();
        }
        map.drawingServices().autoArrange(map);
        settle();
    }
    // A map with the recipe's children (or a chain one deep per level).
    std::shared_ptr<TWMap> addMap(TWMapsDoc &document, const QString &root,
                                  const QStringList &children)
    {
        auto map = TWMap::create(&document);
        document.addMap(map, true);
        map->root()->enclosedTextArea()->setString(root);
        for (const QString &name : children) {
            map->removeAllSelectedGraphics();
            map->insertObjectInSelectedGraphicsAtIndex(map->root()->enclosedTextArea(), 0);
            map->publicCreateChildrenOfType(-1, name, false);
        }
        map->removeAllSelectedGraphics();
        tidy(*map);
        return map;
    }

    void regenerate()
    {
        TWStyleManager &styles = TWStyleManager::sharedStyleManager();
        const QString themes = ResourcesFolder + "/themes";
        QDir().mkpath(themes);
        for (const ThemeRecipe &recipe : themeRecipes()) {
            auto document = TWMapsDoc::create();
            auto map = addMap(*document, recipe.name, {"Idea", "Plan", "Next"});
            // Deeper levels along the first children.
            auto branch = map->root()->children().first();
            for (int level = 2; level < recipe.levels.size(); ++level) {
                map->removeAllSelectedGraphics();
                map->insertObjectInSelectedGraphicsAtIndex(branch->enclosedTextArea(), 0);
                branch = map->publicCreateChildrenOfType(-1, "Detail", false).first();
            }
            map->removeAllSelectedGraphics();
            map->setMapStyle(styles.mapStyleWithIdentifier(recipe.mapStyle));
            QList<std::shared_ptr<TWMapBranch>> level{map->root()};
            for (int depth = 0; !level.isEmpty(); ++depth) {
                const auto style = styles.graphicStyleWithIdentifier(
                    recipe.levels[std::min<int>(depth, recipe.levels.size() - 1)]);
                QList<std::shared_ptr<TWMapBranch>> next;
                for (const auto &b : level) {
                    b->mainGraphic()->setStyle(style);
                    next += b->children();
                }
                level = next;
            }
            tidy(*map);
            auto theme = map->newThemeFromCurrentSettings();
            theme->name = recipe.name;
            theme->identifier = recipe.identifier;
            ASSERT_TRUE(theme->writeToFile(themes + "/" + recipe.identifier + ".TWTheme"));
            document->detach();
        }
        const QString templates = ResourcesFolder + "/templates";
        QDir().mkpath(templates);
        auto document = TWMapsDoc::create();
        for (const TemplateRecipe &recipe : templateRecipes())
            addMap(*document, recipe.root, recipe.children)->setName(recipe.mapName);
        ASSERT_EQ(TWFileIO::saveDocument(*document, templates + "/Basic.twtemplate"),
                  TWFileIO::SaveSucceeded);
        document->detach();
    }
};

TEST_F(Shipped, ThemesAndTemplatesLoadFromTheResources)
{
    if (qEnvironmentVariableIntValue("THINKWEB_REGENERATE_SHIPPED") == 1)
        regenerate();

    TWThemeManager themes(QString(), dir.filePath("custom"));
    QStringList names;
    for (const auto &theme : themes.orderedThemes()) {
        names << theme->name;
        EXPECT_FALSE(theme->previewImage().isNull()) << theme->name.toStdString();
        EXPECT_FALSE(theme->branchLevelStyleIDs.isEmpty());
        EXPECT_TRUE(theme->mapStyle);
    }
    EXPECT_EQ(names, (QStringList{"Classic", "Night", "Paper Notes"}));

    TWTemplateController templates(QString(), dir.filePath("customTemplates"));
    const auto groups = templates.allTemplateGroups();
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups[0]->name, "Basic");
    QStringList templateNames;
    for (const auto &entry : groups[0]->templates)
        templateNames << entry->name;
    EXPECT_EQ(templateNames, (QStringList{"Blank", "Project Plan", "Meeting", "Weekly Plan"}));
}

// Every level of every shipped theme writes its labels in a colour that
// stands out from the map's background (where a line branch puts them) and
// from its own fill: black on the default, and the style's colour when it
// applies its font.
TEST_F(Shipped, EveryThemesLabelsStandOutFromWhatIsBehindThem)
{
    const auto luminance = [](const Color &c) {
        return 0.299 * c.redComponent() + 0.587 * c.greenComponent() + 0.114 * c.blueComponent();
    };
    const auto colour = [](const QVariant &v, const Color &fallback) {
        return v.canConvert<Color>() ? v.value<Color>() : fallback;
    };
    TWThemeManager themes(QString(), dir.filePath("custom"));
    for (const auto &theme : themes.orderedThemes()) {
        SCOPED_TRACE(theme->name.toStdString());
        ASSERT_TRUE(theme->mapStyle);
        const bool painted = theme->mapStyle->value(TWStyle::MapGroup, "applyBackground").toBool();
        const Color background =
            painted ? colour(theme->mapStyle->value(TWStyle::MapGroup, "backgroundColor"),
                             Color::whiteColor())
                    : Color::whiteColor();
        for (int level = 0; level < theme->branchLevelStyleIDs.size(); ++level) {
            const auto style = TWTheme::mainGraphicStyleForBranchLevel(level, *theme);
            ASSERT_TRUE(style) << level;
            SCOPED_TRACE(style->name().toStdString());
            Color text = Color::blackColor();
            if (style->value(TWStyle::GraphicGroup, "applyFont").toBool())
                text = colour(style->value(TWStyle::GraphicGroup, "stringAttributes")
                                  .value<OrderedDictionary>()
                                  .value(NSForegroundColorAttributeName),
                              text);
            EXPECT_GT(std::abs(luminance(text) - luminance(background)), 0.45) << "background";
            const bool line = style->value(TWStyle::BranchGroup, "applyBranchType").toBool() &&
                              style->value(TWStyle::BranchGroup, "branchType").toInt() == 1;
            if (!line && style->value(TWStyle::GraphicGroup, "applyFill").toBool() &&
                style->value(TWStyle::GraphicGroup, "drawsFill").toBool())
                EXPECT_GT(std::abs(luminance(text) -
                                   luminance(colour(
                                       style->value(TWStyle::GraphicGroup, "fillColor"), text))),
                          0.45)
                    << "fill";
        }
    }
}

} // namespace

namespace {

// THINKWEB_SCREENSHOT_DIR=<folder> (under xvfb-run with the xcb platform)
// writes the chooser's two pages and the theme selector as a user sees them.
TEST_F(Shipped, ScreenshotsOfTheChooserAndTheThemeSelector)
{
    const QString folder = qEnvironmentVariable("THINKWEB_SCREENSHOT_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "THINKWEB_SCREENSHOT_DIR not set";
    TWTemplateController templates(QString(), dir.filePath("customTemplates"));
    TWThemeManager themes(QString(), dir.filePath("custom"));
    TWTemplateSelectorPanelController chooser(&templates, &themes);
    QDialog *panel = chooser.templateSelectorPanel();
    const auto shoot = [&](QWidget *window, const QString &name) {
        window->show();
        window->raise();
        settle();
        QTest::qWait(300);
        EXPECT_TRUE(window->grab().save(folder + "/" + name));
    };
    chooser.reloadContent();
    shoot(panel, "chooser-templates.png");
    chooser.showThemeView();
    shoot(panel, "chooser-themes.png");
    panel->hide();

    TWThemeSelectorPanelController selector;
    QDialog *sheet = selector.themeSelectorPanel();
    selector.themesArrayController()->setThemes(themes.orderedThemes());
    selector.themesArrayController()->selectTheme(0);
    sheet->resize(520, 420);
    shoot(sheet, "theme-selector.png");
    sheet->hide();
}

} // namespace
