#include "media/TWGraphicsLibraryParser.h"

#include "platform/TWLocalizedString.h"
#include "support/PropertyListReader.h"
#include "support/TWImageLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// A metaData.plist beyond this is no catalogue.
constexpr qint64 maxMetaDataSize = 64LL * 1024 * 1024;

} // namespace

TWGraphicsLibraryParser::TWGraphicsLibraryParser(const QStringList &folders) : m_folders(folders) {}

QStringList TWGraphicsLibraryParser::defaultFolders(const QString &resourceFolder)
{
    QStringList folders{resourceFolder + QStringLiteral("/Application Support/Thinkweb/Graphics")};
    // For all users: the first system data folder (not the user's own).
    const QString own = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QStringList data = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const QString &folder : data) {
        if (folder != own) {
            folders.append(folder + QStringLiteral("/Thinkweb/Graphics"));
            break;
        }
    }
    return folders;
}

std::shared_ptr<TWMediaNode> TWGraphicsLibraryParser::parseDatabase() const
{
    auto root = std::make_shared<TWMediaNode>();
    root->name = TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Graphics Library"));
    root->iconName = ToolbarIconName;
    QList<Category> catalogue;
    for (const QString &folder : m_folders)
        parseGraphicsLibrariesInFolder(folder, catalogue);
    for (const Category &category : catalogue)
        parseGraphicsLibraryCategory(category, *root);
    return root;
}

void TWGraphicsLibraryParser::parseGraphicsLibrariesInFolder(const QString &folder,
                                                             QList<Category> &catalogue)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name | QDir::LocaleAware);
    for (const QFileInfo &entry : entries) {
        if (entry.suffix() == LibraryExtension)
            parseGraphicsLibrary(entry.absoluteFilePath(), catalogue);
    }
}

void TWGraphicsLibraryParser::parseGraphicsLibrary(const QString &library,
                                                   QList<Category> &catalogue)
{
    QFile file(library + QStringLiteral("/metaData.plist"));
    if (file.size() > maxMetaDataSize || !file.open(QIODevice::ReadOnly))
        return;
    const std::optional<QVariant> plist = PropertyListReader::propertyListFromData(file.readAll());
    if (!plist || plist->typeId() != QMetaType::QVariantMap)
        return;
    createSearchDataEntries(plist->toMap().value(QStringLiteral("Categories")).toList(), catalogue,
                            library);
}

void TWGraphicsLibraryParser::createSearchDataEntries(const QVariantList &source,
                                                      QList<Category> &target,
                                                      const QString &libraryPath)
{
    const QDir library(libraryPath);
    for (const QVariant &value : source) {
        if (value.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap category = value.toMap();
        const QString name = category.value(QStringLiteral("CategoryName")).toString();
        auto found = std::find_if(target.begin(), target.end(),
                                  [&](const Category &c) { return c.name == name; });
        if (found == target.end()) {
            target.append(Category{name, {}, {}});
            found = target.end() - 1;
        }
        for (const QVariant &g : category.value(QStringLiteral("Graphics")).toList()) {
            if (g.typeId() != QMetaType::QVariantMap)
                continue;
            QVariantMap graphic = g.toMap();
            const QString relative = graphic.value(QStringLiteral("ImageFilePath")).toString();
            if (!relative.isEmpty())
                graphic.insert(QStringLiteral("ImageFilePath"),
                               QDir::cleanPath(library.filePath(relative)));
            found->graphics.append(graphic);
        }
        createSearchDataEntries(category.value(QStringLiteral("SubCategories")).toList(),
                                found->subCategories, libraryPath);
    }
}

void TWGraphicsLibraryParser::parseGraphicsLibraryCategory(const Category &category,
                                                           TWMediaNode &node)
{
    auto child = node.addChild(TWLocalizedString("GraphicCategories", category.name),
                               QStringLiteral("folder"));
    for (const QVariantMap &graphic : category.graphics) {
        const QString path = graphic.value(QStringLiteral("ImageFilePath")).toString();
        if (path.isEmpty() || !TWImageLoader::isImageFile(path))
            continue;
        child->images.append(TWMediaRecord::recordForPicture(
            path, TWMediaRecord::localizedKeywords(graphic.value(QStringLiteral("Keywords")))));
    }
    for (const Category &sub : category.subCategories)
        parseGraphicsLibraryCategory(sub, *child);
}
