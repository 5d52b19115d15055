#include "BranchTestSupport.h"
#include "StyleTestSupport.h"

#include "graphics/TWRectangle.h"
#include "mapdrawing/TWMapImages.h"
#include "model/PackageArchive.h"
#include "palettes/TWThemePanels.h"
#include "styles/TWTheme.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using StyleTest::graphicStyleApplying;

const Color Red = Color::colorWithCalibratedRed(1, 0, 0);
const Color Green = Color::colorWithCalibratedRed(0, 1, 0);
const Color Blue = Color::colorWithCalibratedRed(0, 0, 1);

std::shared_ptr<TWTheme> namedTheme(const QString &name, const QString &identifier = QString())
{
    auto theme = std::make_shared<TWTheme>();
    theme->name = name;
    if (!identifier.isEmpty())
        theme->identifier = identifier;
    return theme;
}

QString themePath(const QString &folder, const QString &identifier)
{
    return folder + "/" + identifier + ".TWTheme";
}

class Themes : public BranchTest::BranchFixture
{
protected:
    Themes()
    {
        library().reloadGraphicStyles();
        library().reloadMapStyles();
    }
    ~Themes() override
    {
        for (const QString &id : added)
            TWThemeManager::sharedThemeManager().removeTheme(id);
    }

    static TWStyleManager &library() { return TWStyleManager::sharedStyleManager(); }
    // A library style that fills with the colour.
    std::shared_ptr<TWStyle> fillStyle(const Color &fill)
    {
        auto style = graphicStyleApplying({"applyFill"});
        style->setName("Fill");
        style->setValue(TWStyle::GraphicGroup, "fillColor", QVariant::fromValue(fill));
        EXPECT_TRUE(library().saveStyle(style));
        return style;
    }
    std::shared_ptr<TWMapBranch> child(TWMapBranch *parent, const QString &name)
    {
        auto branch = TWMapBranch::createWithGraphic(
            TWGraphic::make<TWRectangle>(Rect(500, 100, 80, 30)), parent, map.get());
        branch->enclosedTextArea()->setString(name);
        settle();
        return branch;
    }
    // A chain root - 1 - 2 - ... of `depth` children below the root.
    QList<std::shared_ptr<TWMapBranch>> chain(int depth)
    {
        QList<std::shared_ptr<TWMapBranch>> branches{root};
        for (int level = 1; level <= depth; ++level)
            branches.append(child(branches.last().get(), QString::number(level)));
        return branches;
    }
    std::shared_ptr<TWGraphic> attach(TWMapBranch &branch)
    {
        auto graphic = branch.publicCreateLinkedGraphicOfType(TWMapBranch::LinkedRectangle,
                                                              Size(30, 20), std::nullopt, {});
        settle();
        return graphic;
    }
    void share(const std::shared_ptr<TWTheme> &theme)
    {
        TWThemeManager::sharedThemeManager().addTheme(theme);
        added << theme->identifier;
    }
    // A shared theme of the map style and one level whose main graphics
    // take `level`.
    std::shared_ptr<TWTheme>
    oneLevelTheme(const QString &name, const std::shared_ptr<TWStyle> &level,
                  std::shared_ptr<TWStyle> mapStyle = TWStyle::create(TWStyle::MapStyle))
    {
        auto theme = namedTheme(name);
        theme->mapStyle = std::move(mapStyle);
        theme->graphicStyles.insert(level->identifier(), level);
        theme->branchLevelStyleIDs = {
            OrderedDictionary{{TWTheme::MainGraphicStyleIDKey, level->identifier()}}};
        share(theme);
        return theme;
    }
    // The map's preview in the file a save writes now.
    QImage savedPreview()
    {
        const QString path = saved.filePath(QStringLiteral("saved%1.tweb").arg(saves++));
        EXPECT_EQ(document->saveToFile(path), 0);
        QFile file(path);
        const std::optional<PackageData> package =
            file.open(QIODevice::ReadOnly) ? PackageArchive::read(file) : std::nullopt;
        return package ? QImage::fromData(package->value(map->previewPath()), "png") : QImage();
    }

    StyleTest::ScopedDataHome home;
    QStringList added;
    QTemporaryDir saved;
    int saves = 0;
};

TEST(ThemeFiles, ReadBackWhatWasWrittenAndRefuseWhatCannotNameAFile)
{
    QTemporaryDir dir;
    auto style = graphicStyleApplying({"applyFill"});
    auto theme = namedTheme("Ocean");
    theme->mapStyle = TWStyle::create(TWStyle::MapStyle);
    theme->defaultGraphicStyleID = style->identifier();
    theme->graphicStyles.insert(style->identifier(), style);
    theme->branchLevelStyleIDs = {
        OrderedDictionary{{TWTheme::MainGraphicStyleIDKey, style->identifier()}},
        OrderedDictionary()};
    theme->previewPDFData = QByteArray("%PDF-1.4 stand-in");
    ASSERT_TRUE(theme->writeToFile(themePath(dir.path(), theme->identifier)));
    auto read = TWTheme::createWithContentsOfFile(themePath(dir.path(), theme->identifier));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->name, "Ocean");
    EXPECT_EQ(read->identifier, theme->identifier);
    ASSERT_TRUE(read->mapStyle);
    EXPECT_EQ(read->mapStyle->type(), TWStyle::MapStyle);
    EXPECT_EQ(read->defaultGraphicStyleID, style->identifier());
    ASSERT_EQ(read->graphicStyles.keys(), QStringList{style->identifier()});
    EXPECT_EQ(read->graphicStyles.first()->identifier(), style->identifier());
    EXPECT_TRUE(read->graphicStyles.first()->flag(TWStyle::GraphicGroup, "applyFill"));
    EXPECT_FALSE(read->graphicStyles.first()->flag(TWStyle::GraphicGroup, "applyStroke"));
    EXPECT_EQ(read->branchLevelStyleIDs, theme->branchLevelStyleIDs);
    EXPECT_EQ(read->previewPDFData, theme->previewPDFData);

    // Identifiers become file names: only the UUID form (and the default
    // theme's) is kept; a missing one is made.
    const struct
    {
        QString stored;
        bool kept;
    } cases[] = {
        {TWTheme::DefaultThemeIdentifier, true},
        {"6E1F6B0C-3F0A-4E0E-9C55-1D2B3A4C5D01", true},
        {"../../escape", false},
        {"a/b", false},
        {"", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        OrderedDictionary d{{TWTheme::NameKey, "x"}};
        if (!c.stored.isEmpty())
            d.setValue(TWTheme::IDKey, c.stored);
        auto made = TWTheme::createWithDictionary(d);
        EXPECT_EQ(made->identifier == c.stored, c.kept);
        EXPECT_TRUE(TWTheme::isFileIdentifier(made->identifier));
    }
}

TEST(ThemeLibrary, OrdersDefaultFirstThenByNameAndLetsCustomFilesOverride)
{
    QTemporaryDir standard, custom;
    const QString alpha = "11111111-1111-1111-1111-111111111111";
    for (const auto &theme : {namedTheme("Zed", TWTheme::DefaultThemeIdentifier),
                              namedTheme("beta"), namedTheme("Alpha", alpha)})
        ASSERT_TRUE(theme->writeToFile(themePath(standard.path(), theme->identifier)));
    // Unreadable files are skipped, not listed as nameless themes.
    QFile garbage(standard.path() + "/garbage.TWTheme");
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("not a theme <");
    garbage.close();

    TWThemeManager manager(standard.path(), custom.path());
    QStringList names;
    for (const auto &theme : manager.orderedThemes())
        names << theme->name;
    EXPECT_EQ(names, (QStringList{"Zed", "Alpha", "beta"}));
    ASSERT_TRUE(manager.defaultTheme());
    EXPECT_EQ(manager.defaultTheme()->name, "Zed");

    ASSERT_TRUE(namedTheme("Aardvark", alpha)->writeToFile(themePath(custom.path(), alpha)));
    manager.reloadCustomThemes();
    EXPECT_EQ(manager.allThemes().size(), 3);
    EXPECT_EQ(manager.themeWithIdentifier(alpha)->name, "Aardvark");
    names.clear();
    for (const auto &theme : manager.orderedThemes())
        names << theme->name;
    EXPECT_EQ(names, (QStringList{"Zed", "Aardvark", "beta"}));
}

TEST_F(Themes, AThemeTakesOneLevelPerFirstChildAndAppliesLevelByLevel)
{
    const auto levels = chain(4);
    const Color fills[] = {Red, Green, Blue, Red, Green};
    for (int i = 0; i < levels.size(); ++i)
        levels[i]->mainGraphic()->setStyle(fillStyle(fills[i]));
    auto attachedStyle = fillStyle(Blue);
    attach(*levels[1])->setStyle(attachedStyle);
    // A second child does not count: only the first-child chain does.
    child(root.get(), "second")->mainGraphic()->setStyle(fillStyle(Blue));

    const std::shared_ptr<TWTheme> theme = map->newThemeFromCurrentSettings();
    ASSERT_EQ(theme->branchLevelStyleIDs.size(), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(theme->branchLevelStyleIDs[i].value(TWTheme::MainGraphicStyleIDKey),
                  levels[i]->mainGraphic()->styleID().value());
        EXPECT_EQ(theme->branchLevelStyleIDs[i].contains(TWTheme::AttachedGraphicStyleIDKey),
                  i == 1);
    }
    EXPECT_EQ(theme->graphicStyles.size(), 6);

    // Applied to a deeper tree: levels past the list take the last entry;
    // attached graphics change only where the level names a style for them.
    for (const auto &branch : levels)
        branch->mainGraphic()->setStyle(nullptr);
    auto deeper = chain(7);
    auto keptAttached = attach(*deeper[3]);
    keptAttached->setFillColor(Red);
    auto restyledAttached = attach(*deeper[1]);
    share(theme);
    map->setTheme(theme);
    map->updateThemeIncludingGraphics(true);
    settle();
    const struct
    {
        int level;
        Color fill;
    } expected[] = {{0, Red}, {1, Green}, {2, Blue}, {4, Green}, {7, Green}};
    for (const auto &e : expected) {
        SCOPED_TRACE(e.level);
        EXPECT_EQ(deeper[e.level]->mainGraphic()->fillColor(), e.fill);
    }
    EXPECT_EQ(deeper[7]->mainGraphic()->styleID(), levels[4]->mainGraphic()->styleID());
    EXPECT_EQ(restyledAttached->styleID(), attachedStyle->identifier());
    EXPECT_EQ(restyledAttached->fillColor(), Blue);
    EXPECT_FALSE(keptAttached->styleID());
    EXPECT_EQ(keptAttached->fillColor(), Red);

    // One undo step takes it all back.
    undo->undo();
    settle();
    EXPECT_FALSE(deeper[7]->mainGraphic()->styleID());
    EXPECT_FALSE(restyledAttached->styleID());
}

TEST_F(Themes, RestylingIsOptionalAndAnUnknownThemeClearsTheIdentifiers)
{
    auto leaf = child(root.get(), "leaf");
    auto own = fillStyle(Red);
    leaf->mainGraphic()->setStyle(own);
    auto mapStyle = TWStyle::create(TWStyle::MapStyle);
    auto theme = oneLevelTheme("Plain", fillStyle(Blue), mapStyle);
    map->setDefaultGraphicStyleID(own->identifier());

    map->setTheme(theme);
    map->updateThemeIncludingGraphics(false);
    settle();
    EXPECT_EQ(map->mapStyleID(), mapStyle->identifier());
    EXPECT_FALSE(map->defaultGraphicStyleID());
    EXPECT_EQ(leaf->mainGraphic()->styleID(), own->identifier());
    EXPECT_EQ(leaf->mainGraphic()->fillColor(), Red);

    map->setThemeID(QStringLiteral("22222222-2222-2222-2222-222222222222"));
    map->updateThemeIncludingGraphics(true);
    settle();
    EXPECT_FALSE(map->mapStyleID());
    EXPECT_FALSE(leaf->mainGraphic()->styleID());
    EXPECT_EQ(leaf->mainGraphic()->fillColor(), Red);
}

TEST_F(Themes, SavingMakesCustomThemesAndUpdatingAStandardOneOverridesIt)
{
    QTemporaryDir standard, custom;
    auto shipped = namedTheme("Shipped", TWTheme::DefaultThemeIdentifier);
    ASSERT_TRUE(shipped->writeToFile(themePath(standard.path(), shipped->identifier)));
    TWThemeManager manager(standard.path(), custom.path());
    root->mainGraphic()->setStyle(fillStyle(Green));

    auto made = manager.createNewCustomThemeWithName("Mine", *map);
    ASSERT_TRUE(made);
    EXPECT_TRUE(QFile::exists(themePath(custom.path(), made->identifier)));
    EXPECT_EQ(manager.customThemes().size(), 1);
    EXPECT_EQ(made->name, "Mine");

    auto standardTheme = manager.themeWithIdentifier(TWTheme::DefaultThemeIdentifier);
    ASSERT_TRUE(manager.updateTheme(*standardTheme, *map));
    EXPECT_TRUE(QFile::exists(themePath(custom.path(), TWTheme::DefaultThemeIdentifier)));
    auto overriding = manager.themeWithIdentifier(TWTheme::DefaultThemeIdentifier);
    EXPECT_EQ(overriding->name, "Shipped");
    ASSERT_EQ(overriding->branchLevelStyleIDs.size(), 1);
    EXPECT_EQ(overriding->branchLevelStyleIDs[0].value(TWTheme::MainGraphicStyleIDKey),
              root->mainGraphic()->styleID().value());
}

TEST_F(Themes, TheSelectorAppliesToEverySelectedMapWithOrWithoutRestyling)
{
    auto level = fillStyle(Blue);
    auto mapStyle = TWStyle::create(TWStyle::MapStyle);
    auto theme = oneLevelTheme("Blue", level, mapStyle);

    for (const bool restyle : {true, false}) {
        SCOPED_TRACE(restyle);
        auto second = TWMap::create(document.get());
        document->addMap(second, false);
        second->setRoot(TWMapBranch::createWithGraphic(
            TWGraphic::createWithBounds(Rect(0, 0, 80, 30)), nullptr, second.get()));
        root->mainGraphic()->setStyle(nullptr);
        map->setMapStyleID(std::nullopt);

        TWThemeSelectorPanelController selector;
        selector.themeSelectorPanel();
        selector.themesArrayController()->setThemes({namedTheme("Other"), theme});
        selector.setMaps({map, second});
        selector.setUpdateAllGraphicsToDefaultStyle(restyle);
        selector.ok(); // nothing selected: nothing happens
        EXPECT_FALSE(map->themeID());
        selector.themesArrayController()->selectTheme(1);
        selector.ok();
        settle();
        for (const auto &m : {map, second}) {
            EXPECT_EQ(m->themeID(), theme->identifier);
            EXPECT_EQ(m->mapStyleID(), mapStyle->identifier());
            EXPECT_EQ(m->root()->mainGraphic()->styleID() == level->identifier(), restyle);
        }
        map->setThemeID(std::nullopt);
    }
}

// Applying a theme renews the map's preview, restyled or not, and the
// preview saved next shows the new look: also when the theme is the map's
// already and only its graphics are restyled.
TEST_F(Themes, ApplyingAThemeRenewsThePreviewThatIsSaved)
{
    map->setCanvasSize(Size(800, 600));
    const auto levels = chain(2);
    for (const auto &branch : levels)
        branch->mainGraphic()->setStyle(fillStyle(Red));
    auto theme = oneLevelTheme("Blue", fillStyle(Blue));
    for (const bool restyle : {false, true}) {
        SCOPED_TRACE(restyle);
        const QImage before = savedPreview();
        ASSERT_FALSE(before.isNull());
        BranchTest::Recorder renewed({TWMapPreviewServices::PreviewDidUpdateNotification});
        map->setTheme(theme);
        map->updateThemeIncludingGraphics(restyle);
        settle();
        EXPECT_GE(renewed.notifications.size(), 1);
        const QImage after = savedPreview();
        ASSERT_FALSE(after.isNull());
        if (restyle)
            EXPECT_NE(after, before);
    }
}

// Undo and redo of a theme chosen in the selector renew the preview too,
// once the maps look as the step leaves them: the one shown and the one
// saved show that look.
TEST_F(Themes, UndoAndRedoOfAChosenThemeRenewThePreview)
{
    map->setCanvasSize(Size(800, 600));
    for (const auto &branch : chain(2))
        branch->mainGraphic()->setStyle(fillStyle(Red));
    auto theme = oneLevelTheme("Blue", fillStyle(Blue));
    settle();
    const QImage before = savedPreview();
    TWThemeSelectorPanelController selector;
    selector.themeSelectorPanel();
    selector.themesArrayController()->setThemes({theme});
    selector.setMaps({map});
    selector.setUpdateAllGraphicsToDefaultStyle(true);
    selector.themesArrayController()->selectTheme(0);
    selector.ok();
    settle();
    const QImage after = savedPreview();
    ASSERT_FALSE(before.isNull() || after.isNull());
    ASSERT_NE(after, before);
    const struct
    {
        const char *what;
        void (UndoManager::*replay)();
        const QImage &shows;
    } steps[] = {{"undo", &UndoManager::undo, before}, {"redo", &UndoManager::redo, after}};
    for (const auto &step : steps) {
        SCOPED_TRACE(step.what);
        BranchTest::Recorder told;
        (undo.get()->*step.replay)();
        // The preview is renewed after the last graphic that changed.
        const QStringList names = told.names();
        const qsizetype renewed =
            names.lastIndexOf(TWMapPreviewServices::PreviewDidUpdateNotification);
        ASSERT_GE(renewed, 0);
        EXPECT_TRUE(names.mid(renewed).filter("NeedsRedraw").isEmpty())
            << names.mid(renewed).join(' ').toStdString();
        settle();
        EXPECT_EQ(savedPreview(), step.shows);
    }
}

TEST_F(Themes, ThePreviewSizeDefaultResizesTheSelectorAtOnce)
{
    TWThemeSelectorPanelController selector;
    selector.themeSelectorPanel();
    for (const double side : {100.0, 200.0, 64.0}) {
        UserDefaults::standard().setDouble(side, TWThemeSelectorPanelController::PreviewSizeKey);
        EXPECT_FLOAT_EQ(selector.previewGrid()->previewWidth(), side);
        EXPECT_FLOAT_EQ(selector.previewGrid()->previewHeight(), side);
    }
}

TEST_F(Themes, TheSavePanelNeedsANameOrASelection)
{
    QTemporaryDir standard, custom;
    TWThemeManager manager(standard.path(), custom.path());
    auto existing = namedTheme("Existing");
    ASSERT_TRUE(existing->writeToFile(themePath(custom.path(), existing->identifier)));
    manager.reloadCustomThemes();
    TWThemeSavePanelController panel(manager);
    panel.themeSavePanel();
    panel.themesArrayController()->setThemes(manager.orderedThemes());

    const struct
    {
        bool update;
        QString name;
        int select;
        int themesAfter;
    } cases[] = {
        {false, "", -1, 1},       // empty name: stays open
        {true, "ignored", -1, 1}, // update without a selection: the same
        {false, "Fresh", -1, 2},
        {true, "", 0, 2}, // updates the selected theme's file
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        panel.setMap(map);
        panel.setUpdateExistingTheme(c.update);
        panel.setNewThemeName(c.name);
        panel.themesArrayController()->selectTheme(c.select);
        panel.save();
        EXPECT_EQ(manager.customThemes().size(), c.themesAfter);
    }
}

} // namespace
