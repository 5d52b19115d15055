#include "media/TWAdornmentsFolder.h"
#include "media/TWGraphicsLibraryParser.h"
#include "platform/UserDefaults.h"
#include "support/PropertyList.h"
#include "support/TWImageLoader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class MediaLibraries : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        TWImageLoader::registerImageTypes();
    }
    void TearDown() override
    {
        defaults.removeObjectForKey(TWImageLoader::DisableEPSImageLoadingKey);
        TWImageLoader::registerImageTypes();
    }
    QString touch(const QString &relative, const QByteArray &bytes = "x")
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    void library(const QString &relative, const QVariantList &categories)
    {
        const std::optional<QByteArray> plist =
            PropertyList::dataWithPropertyList(QVariantMap{{"Categories", categories}});
        ASSERT_TRUE(plist);
        touch(relative + QStringLiteral("/metaData.plist"), *plist);
    }
    void disableEPS()
    {
        defaults.setBool(true, TWImageLoader::DisableEPSImageLoadingKey);
        TWImageLoader::registerImageTypes();
    }
    // One line per node: its depth-indented name, then each record's
    // "ImageName[Keywords]" and where the picture lies below the fixture.
    QStringList outline(const TWMediaNode &node, int depth = 0) const
    {
        QStringList lines{QString(depth * 2, QLatin1Char(' ')) + node.name};
        for (const QVariantMap &r : node.images) {
            QString where = r.value(TWMediaRecord::ImagePath).toString();
            where.remove(0, dir.path().size() + 1);
            lines.last() += QStringLiteral(" %1[%2]@%3")
                                .arg(r.value(TWMediaRecord::ImageName).toString(),
                                     r.value(TWMediaRecord::Keywords).toString(), where);
        }
        for (const auto &child : node.children)
            lines += outline(*child, depth + 1);
        return lines;
    }
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath(QStringLiteral("defaults.ini"))};
    UserDefaults::Scope scope{&defaults};
};

QVariantMap category(const QString &name, const QVariantList &graphics,
                     const QVariantList &sub = {})
{
    QVariantMap c{{"CategoryName", name}, {"Graphics", graphics}};
    if (!sub.isEmpty())
        c.insert("SubCategories", sub);
    return c;
}

QVariantMap graphic(const QString &path, const QStringList &keywords = {"k"})
{
    return {{"ImageFilePath", path}, {"Keywords", keywords}, {"Author", "kept"}};
}

} // namespace

TEST_F(MediaLibraries, LibrariesMergeSameNamedCategoriesAtEachDepth)
{
    library("app/One.twglib",
            {category("Animals", {graphic("cat.twpng", {"cat", "pet"})},
                      {category("Birds", {graphic("owl.twpng")})}),
             category("Food", {graphic("pear.png")}, {category("Birds", {graphic("hen.png")})})});
    library("system/Two.twglib", {category("Animals", {graphic("dog.twjpg")},
                                           {category("Birds", {graphic("tit.twpng")}),
                                            category("Fish", {graphic("cod.twpng")})}),
                                  category("Tools", {graphic("saw.tweps")})});
    // Not a library: the wrong extension.
    library("system/Three.folder", {category("Animals", {graphic("rat.twpng")})});

    const auto root =
        TWGraphicsLibraryParser({dir.filePath("app"), dir.filePath("system")}).parseDatabase();
    ASSERT_TRUE(root);
    const QStringList expected{
        "Graphics Library",
        "  Animals cat[cat pet ]@app/One.twglib/cat.twpng dog[k ]@system/Two.twglib/dog.twjpg",
        "    Birds owl[k ]@app/One.twglib/owl.twpng tit[k ]@system/Two.twglib/tit.twpng",
        "    Fish cod[k ]@system/Two.twglib/cod.twpng",
        "  Food pear[k ]@app/One.twglib/pear.png",
        "    Birds hen[k ]@app/One.twglib/hen.png",
        "  Tools saw[k ]@system/Two.twglib/saw.tweps",
    };
    EXPECT_EQ(outline(*root), expected);
    const QVariantMap cat = root->children.at(0)->images.at(0);
    EXPECT_EQ(cat.value(TWMediaRecord::Caption).toString(), QStringLiteral("cat.twpng"));
    EXPECT_EQ(cat.size(), 4);
}

TEST_F(MediaLibraries, FaultyLibraryEntriesContributeNothing)
{
    QVariantMap noPath = graphic("x.png");
    noPath.remove("ImageFilePath");
    QVariantMap noKeywords = graphic("plain.png");
    noKeywords.remove("Keywords");
    library("app/A.twglib", {category("Mixed", {noPath, noKeywords, graphic("notes.txt"),
                                                QVariant("junk"), graphic("Sub/deep.twpng")}),
                             QVariantMap{{"CategoryName", "Empty"}}, QVariant(42)});
    touch("app/Broken.twglib/metaData.plist", "<plist><dict><key>Categ");
    QDir().mkpath(dir.filePath("app/NoMeta.twglib"));

    auto root =
        TWGraphicsLibraryParser({dir.filePath("app"), dir.filePath("missing")}).parseDatabase();
    ASSERT_TRUE(root);
    EXPECT_EQ(outline(*root), QStringList({"Graphics Library",
                                           "  Mixed plain[]@app/A.twglib/plain.png "
                                           "deep[k ]@app/A.twglib/Sub/deep.twpng",
                                           "  Empty"}));

    disableEPS();
    library("app/A.twglib", {category("Shapes", {graphic("a.tweps"), graphic("b.twpng")})});
    root = TWGraphicsLibraryParser({dir.filePath("app")}).parseDatabase();
    EXPECT_EQ(outline(*root),
              QStringList({"Graphics Library", "  Shapes b[k ]@app/A.twglib/b.twpng"}));

    root = TWGraphicsLibraryParser({dir.filePath("none")}).parseDatabase();
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->children.isEmpty());
}

TEST_F(MediaLibraries, AdornmentsFolderListsPicturesWithPathKeywords)
{
    touch("Adornments/Star.twpng");
    touch("Adornments/Flags/Red Flag.twpng");
    touch("Adornments/Flags/Green.png");
    touch("Adornments/Flags/readme.txt");
    touch("Adornments/Flags/Old/Torn.tweps");
    touch("Adornments/.hidden/Secret.png");
    touch("Adornments/.Dot.png");
    touch("Adornments/My iPhoto Library/Photo.png");
    QDir().mkpath(dir.filePath("Adornments/Empty"));
    // A link back up the tree would make the scan endless.
    ASSERT_TRUE(QFile::link(dir.filePath("Adornments"), dir.filePath("Adornments/Flags/Loop")));

    const TWAdornmentsFolder folder(dir.filePath("Adornments"));
    auto root = folder.parseDatabase();
    ASSERT_TRUE(root);
    const QStringList expected{
        "Adornments Library Star[Star ]@Adornments/Star.twpng",
        "  Empty",
        "  Flags Green[Flags Green ]@Adornments/Flags/Green.png "
        "Red Flag[Flags Red Flag ]@Adornments/Flags/Red Flag.twpng",
        "    Old Torn[Flags Old Torn ]@Adornments/Flags/Old/Torn.tweps",
    };
    EXPECT_EQ(outline(*root), expected);

    TWAdornmentsFolder shallow(dir.filePath("Adornments"));
    shallow.setMaxDepth(1);
    root = shallow.parseDatabase();
    ASSERT_TRUE(root);
    EXPECT_EQ(outline(*root), expected.mid(0, 3));

    disableEPS();
    root = folder.parseDatabase();
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->nodeAtIndexPath({1, 0})->images.isEmpty());
    EXPECT_EQ(root->nodeAtIndexPath({1, 0, 0}), nullptr);

    EXPECT_EQ(TWAdornmentsFolder(dir.filePath("nothing")).parseDatabase(), nullptr);
}

TEST(MediaRecords, SearchMatchesAnyKeyIgnoringCase)
{
    const QList<QVariantMap> records{
        TWMediaRecord::recordForPicture("/lib/Flags/Red.twpng", "Flags Red "),
        TWMediaRecord::recordForPicture("/lib/Star.png", "Star "),
        TWMediaRecord::recordForPicture("/lib/red/Blue.png", "Blue "),
    };
    const QStringList adornmentKeys{TWMediaRecord::Caption, TWMediaRecord::ImagePath,
                                    TWMediaRecord::Keywords};
    const QStringList graphicsKeys{TWMediaRecord::Keywords, TWMediaRecord::ImageName};
    const struct
    {
        QStringList keys;
        QString search;
        QStringList names;
    } cases[] = {
        {adornmentKeys, "RED", {"Red", "Blue"}},
        {graphicsKeys, "red", {"Red"}},
        {graphicsKeys, "png", {}},
        {adornmentKeys, "png", {"Red", "Star", "Blue"}},
        {graphicsKeys, "", {"Red", "Star", "Blue"}},
    };
    for (const auto &c : cases) {
        QStringList names;
        for (const QVariantMap &r : TWMediaRecord::search(records, c.keys, c.search))
            names.append(r.value(TWMediaRecord::ImageName).toString());
        EXPECT_EQ(names, c.names) << c.search.toStdString();
    }
}
