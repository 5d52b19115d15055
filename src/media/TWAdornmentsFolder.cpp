#include "media/TWAdornmentsFolder.h"

#include "platform/TWLocalizedString.h"
#include "support/TWImageLoader.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool skippedName(const QString &name)
{
    return name.contains(QLatin1String("iPhoto Library")) ||
           name.contains(QLatin1String("Aperture Library")) || name.startsWith(QLatin1Char('.'));
}

} // namespace

TWAdornmentsFolder::TWAdornmentsFolder(const QString &databasePath) : m_databasePath(databasePath)
{}

QString TWAdornmentsFolder::defaultDatabasePath(const QString &resourceFolder)
{
    return resourceFolder + QStringLiteral("/Application Support/Thinkweb/Adornments");
}

std::shared_ptr<TWMediaNode> TWAdornmentsFolder::parseDatabase() const
{
    if (!QFileInfo(m_databasePath).isDir())
        return nullptr;
    auto root = std::make_shared<TWMediaNode>();
    root->name = TWLocalizedString(StringTable::DadoZiz, QStringLiteral("Adornments Library"));
    root->iconName = ToolbarIconName;
    recursivelyParse(m_databasePath, *root, 0);
    return root;
}

void TWAdornmentsFolder::recursivelyParse(const QString &folder, TWMediaNode &node, int depth) const
{
    const QString base = QDir(m_databasePath).absolutePath();
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name | QDir::LocaleAware);
    for (const QFileInfo &entry : entries) {
        if (skippedName(entry.fileName()))
            continue;
        if (entry.isDir()) {
            // A linked folder could lead back into the tree and never end.
            if (entry.isSymLink() || depth >= m_maxDepth)
                continue;
            auto child = node.addChild(TWLocalizedString("GraphicCategories", entry.fileName()),
                                       QStringLiteral("folder"));
            recursivelyParse(entry.absoluteFilePath(), *child, depth + 1);
        } else if (TWImageLoader::isImageFile(entry.fileName())) {
            QString relative = entry.absoluteFilePath();
            if (relative.startsWith(base))
                relative = relative.mid(base.size());
            if (relative.startsWith(QLatin1Char('/')))
                relative = relative.mid(1);
            relative.chop(entry.suffix().size() + 1);
            const QStringList words = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
            node.images.append(TWMediaRecord::recordForPicture(
                entry.absoluteFilePath(), TWMediaRecord::localizedKeywords(words)));
        }
    }
}
