// Pictures of an opened package whose data does not come to its end.
#include "model/TWBranchReadDamage.h"
#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "support/Image.h"
#include "support/ImageRepSupport.h"

#include <QSet>
#include <QtDebug>

namespace {

// How much of each end a first look reads.
constexpr qint64 headSize = 16;
constexpr qint64 tailSize = 1024;

bool decodes(const QByteArray &bytes)
{
    const std::optional<Image> image = Image::initWithData(bytes);
    return image && !image->toQImage().isNull();
}

} // namespace

int TWFileIO::notePicturesCutShort(TWMapsDoc &document)
{
    QSet<QString> referenced;
    for (const std::shared_ptr<TWMap> &map : document.maps())
        for (const QString &path : map->referencedPackagePaths())
            referenced.insert(path);
    int damaged = 0;
    const PackageEntries &cached = document.cachedData();
    for (auto it = cached.cbegin(); it != cached.cend(); ++it) {
        if (!referenced.contains(it.key()) || it->size() == 0)
            continue;
        const std::optional<QByteArray> head = it->slice(0, headSize);
        const std::optional<QByteArray> tail = it->slice(it->size() - tailSize, tailSize);
        if (!head || !tail || !ImageRepSupport::mayBeCutShort(*head, *tail))
            continue;
        // Data after a picture's end is no damage: only one that does not
        // decode is.
        const std::optional<QByteArray> bytes = it->bytes();
        if (bytes && decodes(*bytes))
            continue;
        qWarning("Picture %s is cut short or damaged: kept as read, not shown",
                 qUtf8Printable(it.key()));
        TWBranchReadDamage::noteDamagedPicture();
        ++damaged;
    }
    return damaged;
}
