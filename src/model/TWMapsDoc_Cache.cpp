#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc_Private.h"
#include "platform/CFormat.h"

#include <QSet>

void TWMapsDoc::setObjectInCachedData(const std::optional<QByteArray> &data, const QString &path)
{
    if (path.isEmpty())
        return;
    if (!data) {
        removeObjectForKeyInCachedData(path);
        return;
    }
    setObjectInCachedData(PackageEntry(*data), path);
}

void TWMapsDoc::setObjectInCachedData(const PackageEntry &data, const QString &path)
{
    if (path.isEmpty())
        return;
    const auto existing = m_cachedData.constFind(path);
    if (existing != m_cachedData.cend()) {
        if (*existing == data)
            return;
        registerUndo([old = *existing, path](TWMapsDoc &d) { d.setObjectInCachedData(old, path); });
    } else {
        registerUndo([path](TWMapsDoc &d) { d.removeObjectForKeyInCachedData(path); });
    }
    m_cachedData.insert(path, data);
}

void TWMapsDoc::removeObjectForKeyInCachedData(const QString &path)
{
    const auto existing = m_cachedData.constFind(path);
    if (existing == m_cachedData.cend())
        return;
    registerUndo([old = *existing, path](TWMapsDoc &d) { d.setObjectInCachedData(old, path); });
    m_cachedData.remove(path);
}

void TWMapsDoc::removeAllObjectsInCachedData()
{
    m_cachedData.clear();
}

std::optional<QByteArray> TWMapsDoc::objectForKeyInCachedData(const QString &path) const
{
    const auto existing = m_cachedData.constFind(path);
    if (existing == m_cachedData.cend())
        return std::nullopt;
    std::optional<QByteArray> bytes = existing->bytes();
    if (!bytes)
        qWarning("Cannot read package data %s", qUtf8Printable(path));
    return bytes;
}

void TWMapsDoc::removeFromCachedData(const Notification &notification)
{
    const QString path = notification.userInfo.value(PathKey).toString();
    if (!path.isEmpty())
        removeObjectForKeyInCachedData(path);
}

namespace {
// Every package path the document's maps refer to, gathered once per save
// rather than once per entry.
QSet<QString> referencedPaths(const TWMapsDoc::MapList &maps)
{
    QSet<QString> paths;
    for (const std::shared_ptr<TWMap> &map : maps) {
        for (const QString &path : map->referencedPackagePaths())
            paths.insert(path);
    }
    return paths;
}
} // namespace

bool TWMapsDoc::hasIdentifier(const QString &path)
{
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps)) {
        if (map->refersToPackagePath(path))
            return true;
    }
    return false;
}

PackageEntries TWMapsDoc::stripUnusedDataFromCache(const PackageEntries &data)
{
    // Every map names its preview; what else is named takes a walk through
    // every graphic of every map, which only other entries need.
    QSet<QString> previews;
    for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps))
        previews.insert(map->previewPath());
    std::optional<QSet<QString>> used;
    PackageEntries stripped;
    for (auto it = data.cbegin(); it != data.cend(); ++it) {
        if (!previews.contains(it.key())) {
            if (!used)
                used = referencedPaths(m_maps);
            if (!used->contains(it.key()))
                continue;
        }
        stripped.insert(it.key(), it.value());
    }
    return stripped;
}

QVariantMap TWMapsDoc::generateSaveDictionary()
{
    const QByteArray contents = xmlDocumentData();
    QVariantMap dictionary = packageEntriesBesideContents();
    dictionary.insert(ContentsPath, contents);
    return dictionary;
}

QVariantMap TWMapsDoc::packageEntriesBesideContents()
{
    QVariantMap dictionary;
    dictionary.insert(
        QString::fromLatin1(TWFileIO::fileVersionPath),
        CFormat::format("%d.%d", TWFileIO::fileVersionMajor, TWFileIO::fileVersionMinor));
    const PackageEntries used = stripUnusedDataFromCache(m_cachedData);
    for (auto it = used.cbegin(); it != used.cend(); ++it) {
        // What waits in a spool is copied from there when the package is written.
        if (it->isSpooled())
            dictionary.insert(it.key(), QVariant::fromValue(*it));
        else
            dictionary.insert(it.key(), it->bytes().value_or(QByteArray()));
    }
    // No cached entry may stand in for the contents written now.
    dictionary.remove(ContentsPath);
    return dictionary;
}
