#include "model/TWLinkBackPackage.h"

#include "model/PackageEntry.h"
#include "model/TWMapsDoc.h"
#include "support/LinkBackData.h"

namespace TWLinkBackPackage {

std::optional<QVariantMap> packageOfMapsDocument(TWMapsDoc &maps)
{
    QVariantMap package;
    const QVariantMap entries = maps.generateSaveDictionary();
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const QVariant &v = it.value();
        if (v.typeId() == QMetaType::QByteArray) {
            package.insert(it.key(), v.toByteArray());
        } else if (v.typeId() == QMetaType::QString) {
            package.insert(it.key(), v.toString().toUtf8());
        } else if (v.canConvert<PackageEntry>()) {
            const std::optional<QByteArray> bytes = v.value<PackageEntry>().bytes();
            if (!bytes)
                return std::nullopt;
            package.insert(it.key(), *bytes);
        } else {
            return std::nullopt;
        }
    }
    return package;
}

std::optional<QVariantMap> linkBackDataOfMapsDocument(TWMapsDoc &maps)
{
    const std::optional<QVariantMap> package = packageOfMapsDocument(maps);
    if (!package)
        return std::nullopt;
    return LinkBackData::linkBackDataWithServerName(LinkBackData::thinkwebServerName(), *package);
}

} // namespace TWLinkBackPackage
