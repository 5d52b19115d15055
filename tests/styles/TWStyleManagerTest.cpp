#include "StyleTestSupport.h"

#include "support/Color.h"
#include "support/Font.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class StyleLibrary : public ::testing::Test
{
protected:
    StyleLibrary() : library(builtIn.path(), user.path())
    {
        QDir().mkpath(builtIn.filePath("Graphic"));
        QDir().mkpath(builtIn.filePath("Map"));
    }

    // A style written into the built-in folder of its type.
    std::shared_ptr<TWStyle> shipped(int type, const QString &name)
    {
        auto style = TWStyle::create(type);
        style->setName(name);
        const QString folder = builtIn.filePath(type == TWStyle::MapStyle ? "Map" : "Graphic");
        EXPECT_TRUE(style->writeToFile(folder + "/" + style->identifier() + ".TWStyle"));
        return style;
    }
    QStringList userFiles(const QString &folder = "Graphic") const
    {
        return QDir(user.filePath(folder)).entryList(QDir::Files, QDir::Name);
    }

    QTemporaryDir builtIn;
    QTemporaryDir user;
    TWStyleManager library;
};

TEST_F(StyleLibrary, UserFilesOverrideBuiltInStylesAfterAReload)
{
    const auto box = shipped(TWStyle::GraphicStyle, "Box");
    shipped(TWStyle::MapStyle, "Night");
    ASSERT_EQ(library.graphicStyles().size(), 1);
    EXPECT_FALSE(library.graphicStyleWithIdentifier(box->identifier())->custom());
    EXPECT_EQ(library.mapStyles().size(), 1);

    TWStyle mine(TWStyle::GraphicStyle);
    mine.setIdentifier(box->identifier());
    mine.setName("My Box");
    ASSERT_TRUE(mine.writeToFile(library.graphicFolder(true) + "/mine.TWStyle"));
    // A map style in the graphic folder is not a graphic style.
    TWStyle stray(TWStyle::MapStyle);
    ASSERT_TRUE(stray.writeToFile(library.graphicFolder(true) + "/stray.TWStyle"));
    QFile junk(library.graphicFolder(true) + "/notes.txt");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.close();

    library.reloadGraphicStyles();
    ASSERT_EQ(library.graphicStyles().size(), 1);
    const auto found = library.graphicStyleWithIdentifier(box->identifier());
    EXPECT_EQ(found->name(), "My Box");
    EXPECT_TRUE(found->custom());
    EXPECT_FALSE(library.graphicStyleWithIdentifier(stray.identifier()));
}

TEST_F(StyleLibrary, SavingAndDeleting)
{
    const auto builtInBox = shipped(TWStyle::GraphicStyle, "Box");
    library.reloadGraphicStyles();

    // Deleting a built-in style without a user copy keeps it.
    EXPECT_TRUE(library.deleteStyle(builtInBox));
    EXPECT_TRUE(library.graphicStyleWithIdentifier(builtInBox->identifier()));

    auto mine = TWStyle::create();
    mine->setName("Mine");
    ASSERT_TRUE(library.saveStyle(mine));
    EXPECT_TRUE(mine->custom());
    EXPECT_EQ(userFiles(), QStringList{mine->identifier() + ".TWStyle"});
    EXPECT_EQ(library.graphicStyleWithIdentifier(mine->identifier()), mine);
    EXPECT_TRUE(library.deleteStyle(mine));
    EXPECT_TRUE(userFiles().isEmpty());
    EXPECT_FALSE(library.graphicStyleWithIdentifier(mine->identifier()));

    auto nameless = TWStyle::create();
    nameless->setName(QString());
    EXPECT_FALSE(library.saveStyle(nameless));
    auto odd = TWStyle::create(5);
    odd->setName("Odd");
    EXPECT_FALSE(library.saveStyle(odd));
    EXPECT_FALSE(library.deleteStyle(odd));
    EXPECT_TRUE(userFiles().isEmpty());
}

TEST_F(StyleLibrary, OnlyIdentifiersOfTheUuidFormNameFiles)
{
    for (const QString &bad : {QStringLiteral("../../escape"), QStringLiteral(".hidden"),
                               QStringLiteral("a/b"), QString()}) {
        SCOPED_TRACE(qPrintable(bad));
        auto style = TWStyle::create();
        style->setName("Named");
        style->setIdentifier(bad);
        ASSERT_TRUE(library.saveStyle(style));
        EXPECT_TRUE(TWStyleManager::isFileIdentifier(style->identifier()));
        EXPECT_TRUE(QFileInfo::exists(library.graphicFolder(true) + "/" + style->identifier() +
                                      ".TWStyle"));
    }
    EXPECT_FALSE(QFileInfo::exists(QDir(user.path()).filePath("../escape.TWStyle")));
    EXPECT_TRUE(TWStyleManager::isFileIdentifier("0a1B2c3D-0000-4E0E-9C55-1D2B3A4C5D01"));
    EXPECT_FALSE(TWStyleManager::isFileIdentifier("00000000-THINK-WEB-DEFAULTTHEME"));
}

TEST_F(StyleLibrary, ReplacingTheLibraryWritesOnlyWhatChangedAndRemovesOnlyWhatLeft)
{
    const auto untouched = shipped(TWStyle::GraphicStyle, "Untouched");
    const auto edited = shipped(TWStyle::GraphicStyle, "Edited");
    library.reloadGraphicStyles();
    auto kept = TWStyle::create();
    kept->setName("Kept");
    auto dropped = TWStyle::create();
    dropped->setName("Dropped");
    ASSERT_TRUE(library.saveStyle(kept));
    ASSERT_TRUE(library.saveStyle(dropped));
    QFile other(library.graphicFolder(true) + "/README");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();

    TWStyleManager::StyleDictionary next = library.graphicStyles();
    next.remove(dropped->identifier());
    next.value(edited->identifier())->setValue(TWStyle::GraphicGroup, "strokeWidth", 3);
    EXPECT_TRUE(library.setGraphicStyles(next));

    QStringList expected{"README", kept->identifier() + ".TWStyle",
                         edited->identifier() + ".TWStyle"};
    expected.sort();
    EXPECT_EQ(userFiles(), expected);
    EXPECT_EQ(library.graphicStyles().size(), 3);

    library.reloadGraphicStyles();
    EXPECT_EQ(library.graphicStyleWithIdentifier(edited->identifier())
                  ->value(TWStyle::GraphicGroup, "strokeWidth")
                  .toInt(),
              3);
    EXPECT_FALSE(library.graphicStyleWithIdentifier(untouched->identifier())->custom());
}

TEST_F(StyleLibrary, WriteFailuresAreReported)
{
    // A file where the user's graphic folder should be: nothing can be written.
    QFile blocker(user.filePath("Graphic"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto style = TWStyle::create();
    style->setName("Blocked");
    EXPECT_FALSE(library.saveStyle(style));
    EXPECT_FALSE(library.setGraphicStyles({{style->identifier(), style}}));
}

TEST(TWStyleManagerCompare, ValuesCompareToThreeDecimals)
{
    struct Case
    {
        const char *name;
        QVariant a, b;
        bool equal;
    };
    const auto rgb = [](double r, double g, double b, double a = 1) {
        return QVariant::fromValue(Color::colorWithCalibratedRed(r, g, b, a));
    };
    const Case cases[] = {
        {"2 and 2.0004", 2, 2.0004, true},
        {"2 and 2.002", 2, 2.002, false},
        {"bool and int", true, 1, true},
        {"float noise", 0.8f, 0.8, true},
        {"negative truncates toward zero", -0.0004, 0.0004, true},
        {"grey and its RGB", QVariant::fromValue(Color::colorWithCalibratedWhite(0.5)),
         rgb(0.5, 0.5, 0.5), true},
        {"colour off in the fourth decimal", rgb(0.1, 0.2, 0.3), rgb(0.1004, 0.2, 0.3), true},
        {"colour alpha differs", rgb(0.1, 0.2, 0.3), rgb(0.1, 0.2, 0.3, 0.5), false},
        {"strings", QStringLiteral("a"), QStringLiteral("a"), true},
        {"string and number", QStringLiteral("2"), 2, false},
        {"nested dictionaries",
         QVariant::fromValue(OrderedDictionary{{"w", 2}, {"c", rgb(1, 0, 0)}}),
         QVariant::fromValue(OrderedDictionary{{"c", rgb(1, 0, 0)}, {"w", 2.0001}}), true},
        {"dictionary with a missing key", QVariant::fromValue(OrderedDictionary{{"w", 2}}),
         QVariant::fromValue(OrderedDictionary{{"v", 2}}), false},
        {"lists", QVariantList{1, 2}, QVariantList{1.0, 2.0}, true},
        {"a list and a longer one it begins", QVariantList{1, 2}, QVariantList{1, 2, 3}, false},
        {"a dictionary and a larger one", QVariant::fromValue(OrderedDictionary{{"w", 2}}),
         QVariant::fromValue(OrderedDictionary{{"w", 2}, {"v", 2}}), false},
        {"fonts", QVariant::fromValue(Font("Helvetica", 12)),
         QVariant::fromValue(Font("Helvetica", 14)), false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TWStyleManager::isEqualTo(c.a, c.b), c.equal) << c.name;
        EXPECT_EQ(TWStyleManager::isEqualTo(c.b, c.a), c.equal) << c.name;
    }
}

TEST(TWStyleManagerCompare, FindingStylesBySettings)
{
    auto first = TWStyle::create();
    auto second = TWStyle::create();
    second->setValue(TWStyle::GraphicGroup, "strokeWidth", 2);
    const TWStyleManager::StyleList graphics{first, second};

    OrderedDictionary wanted{{"graphic", QVariant::fromValue(second->group("graphic"))}};
    EXPECT_EQ(TWStyleManager::graphicStyleWithProperties(wanted, graphics), second);
    EXPECT_EQ(TWStyleManager::graphicStyleWithProperties({}, graphics), first);
    wanted.setValue("branch", 4);
    EXPECT_FALSE(TWStyleManager::graphicStyleWithProperties(wanted, graphics));

    auto map = TWStyle::create(TWStyle::MapStyle);
    auto empty = TWStyle::create(TWStyle::MapStyle);
    empty->setProperties({});
    OrderedDictionary settings = map->properties();
    settings.setValue("extra", 1);
    EXPECT_EQ(TWStyleManager::mapStyleWithProperties(settings, {map, empty}), map);
    EXPECT_EQ(TWStyleManager::mapStyleWithProperties({}, {map, empty}), empty);
}

TEST(TWStyleManagerFolders, StandardFolders)
{
    StyleTest::ScopedDataHome home;
    EXPECT_EQ(TWStyleManager::userGraphicStylesFolder(), home.path() + "/Thinkweb/Styles/Graphic");
    EXPECT_TRUE(QFileInfo(TWStyleManager::userMapStylesFolder()).isDir());
    // The shipped styles come with the program.
    TWStyleManager shared;
    EXPECT_FALSE(shared.graphicStyles().isEmpty());
    EXPECT_FALSE(shared.mapStyles().isEmpty());
    for (const auto &style : shared.graphicStyles())
        EXPECT_EQ(style->type(), TWStyle::GraphicStyle);
    EXPECT_TRUE(TWStyleManager::stylesInFolder(QString()).isEmpty());
}

} // namespace
