#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <memory>

// The keys of an image record, the dictionary a library node lists per picture.
namespace TWMediaRecord {
inline const QString ImagePath = QStringLiteral("ImagePath");
inline const QString Caption = QStringLiteral("Caption");
inline const QString Keywords = QStringLiteral("Keywords");
inline const QString ImageName = QStringLiteral("ImageName");
// Optional: a picture shown at once, and a smaller file to load instead.
inline const QString CachedThumb = QStringLiteral("CachedThumb");
inline const QString ThumbPath = QStringLiteral("ThumbPath");

// A record of the picture at `path` with the given keyword text.
QVariantMap recordForPicture(const QString &path, const QString &keywords);
// Each word translated in the "Graphics" table and followed by one space; a
// missing or empty list gives the empty string.
QString localizedKeywords(const QVariant &words);
// The records for which one of `keys` holds `search`, ignoring case, in order.
QList<QVariantMap> search(const QList<QVariantMap> &records, const QStringList &keys,
                          const QString &search);
} // namespace TWMediaRecord

// One node of a library tree: a folder or a category, its pictures and its
// sub-nodes, in the order shown.
struct TWMediaNode
{
    QString name;
    // "folder", or the name of the pane's own icon.
    QString iconName;
    QList<QVariantMap> images;
    QList<std::shared_ptr<TWMediaNode>> children;

    std::shared_ptr<TWMediaNode> addChild(const QString &name, const QString &iconName);
    // The node at `indexPath` (child positions from this node); null when
    // there is none. An empty path is this node.
    const TWMediaNode *nodeAtIndexPath(const QList<int> &indexPath) const;
};
