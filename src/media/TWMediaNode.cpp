#include "media/TWMediaNode.h"

#include "platform/TWLocalizedString.h"

#include <QFileInfo>

namespace TWMediaRecord {

QVariantMap recordForPicture(const QString &path, const QString &keywords)
{
    const QFileInfo file(path);
    return {{ImagePath, path},
            {Caption, file.fileName()},
            {Keywords, keywords},
            {ImageName, file.completeBaseName()}};
}

QString localizedKeywords(const QVariant &words)
{
    QString text;
    for (const QVariant &word : words.toList())
        text += TWLocalizedString("Graphics", word.toString()) + QLatin1Char(' ');
    return text;
}

QList<QVariantMap> search(const QList<QVariantMap> &records, const QStringList &keys,
                          const QString &search)
{
    QList<QVariantMap> found;
    for (const QVariantMap &record : records) {
        for (const QString &key : keys) {
            if (record.value(key).toString().contains(search, Qt::CaseInsensitive)) {
                found.append(record);
                break;
            }
        }
    }
    return found;
}

} // namespace TWMediaRecord

std::shared_ptr<TWMediaNode> TWMediaNode::addChild(const QString &childName,
                                                   const QString &childIcon)
{
    auto child = std::make_shared<TWMediaNode>();
    child->name = childName;
    child->iconName = childIcon;
    children.append(child);
    return child;
}

const TWMediaNode *TWMediaNode::nodeAtIndexPath(const QList<int> &indexPath) const
{
    const TWMediaNode *node = this;
    for (const int index : indexPath) {
        if (index < 0 || index >= node->children.size())
            return nullptr;
        node = node->children.at(index).get();
    }
    return node;
}
