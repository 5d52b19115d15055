#include "media/TWAdornmentsFolder.h"
#include "media/TWGraphicsLibraryParser.h"
#include "media/TWMediaNode.h"
#include "platform/DataFolder.h"

#include <QDirIterator>
#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

namespace {

void collect(const TWMediaNode &node, const QString &path,
             QHash<QString, QString> &categoryOfPicture)
{
    for (const QVariantMap &record : node.images)
        categoryOfPicture.insert(record.value(TWMediaRecord::ImagePath).toString(), path);
    for (const auto &child : node.children)
        collect(*child, path.isEmpty() ? child->name : path + u'/' + child->name,
                categoryOfPicture);
}

QList<QVariantMap> allRecords(const TWMediaNode &node)
{
    QList<QVariantMap> records = node.images;
    for (const auto &child : node.children)
        records += allRecords(*child);
    return records;
}

} // namespace

// What ships is found where the program looks for it in the build tree, every
// picture loads, and the panes list each under its category.
TEST(ShippedPictures, AdornmentsAndGraphicsLibrariesAreFoundAndLoad)
{
    const QString support = DataFolder::path() + QStringLiteral("/Application Support/Thinkweb");
    const QString adornments = TWAdornmentsFolder::defaultDatabasePath(DataFolder::path());
    ASSERT_TRUE(QFileInfo(adornments).isDir()) << adornments.toStdString();

    // Every adornment file is listed, in the node of the folder it lies in.
    const std::shared_ptr<TWMediaNode> tree = TWAdornmentsFolder(adornments).parseDatabase();
    ASSERT_TRUE(tree);
    QHash<QString, QString> listed;
    collect(*tree, QString(), listed);
    int files = 0;
    for (QDirIterator it(adornments, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString file = it.next();
        ++files;
        EXPECT_FALSE(QImage(file).isNull()) << file.toStdString();
        const QString folder = QFileInfo(file).dir().dirName();
        EXPECT_EQ(listed.value(file), folder) << file.toStdString();
    }
    const QSet<QString> categories(listed.cbegin(), listed.cend());
    for (const char *everyday :
         {"Flags", "Priorities", "Arrows", "Faces", "Symbols", "Checkmarks", "People", "Time"})
        EXPECT_TRUE(categories.contains(everyday)) << everyday;
    EXPECT_GE(files, 60);

    // The clip-art library: every graphic of its description is listed and loads,
    // sub-categories included, and keywords find them.
    const std::shared_ptr<TWMediaNode> library =
        TWGraphicsLibraryParser(TWGraphicsLibraryParser::defaultFolders(DataFolder::path()))
            .parseDatabase();
    ASSERT_TRUE(library);
    const QList<QVariantMap> graphics = allRecords(*library);
    int described = 0;
    for (QDirIterator it(support + QStringLiteral("/Graphics"), {QStringLiteral("*.png")},
                         QDir::Files, QDirIterator::Subdirectories);
         it.hasNext(); it.next())
        ++described;
    EXPECT_EQ(graphics.size(), described);
    EXPECT_GE(graphics.size(), 40);
    for (const QVariantMap &record : graphics) {
        const QString path = record.value(TWMediaRecord::ImagePath).toString();
        EXPECT_FALSE(QImage(path).isNull()) << path.toStdString();
        EXPECT_FALSE(record.value(TWMediaRecord::Keywords).toString().isEmpty())
            << path.toStdString();
    }
    const QStringList keys{TWMediaRecord::Keywords, TWMediaRecord::ImageName};
    EXPECT_FALSE(TWMediaRecord::search(graphics, keys, QStringLiteral("sea")).isEmpty());
    QHash<QString, QString> categoryOf;
    collect(*library, QString(), categoryOf);
    EXPECT_TRUE(QSet<QString>(categoryOf.cbegin(), categoryOf.cend()).contains("Animals/Birds"));
}
