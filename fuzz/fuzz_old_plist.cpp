// Feeds arbitrary bytes to the readers of old documents: the property-list
// reader in all its forms, and the archive decoder, both on the bytes
// themselves and on every data value the property list holds, as the
// document reader unarchives colours and texts from them.
#include "FuzzSupport.h"
#include "support/AttributedString.h"
#include "support/Image.h"
#include "support/PropertyListReader.h"
#include "support/TypedStreamDecoder.h"

#include <QByteArray>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <cstddef>
#include <cstdint>

namespace {

void use(const QVariant &value)
{
    // Touch what callers touch, so that a value built wrongly shows here.
    if (value.metaType() == QMetaType::fromType<AttributedString>()) {
        const AttributedString text = value.value<AttributedString>();
        for (qsizetype run = 0; run < text.runCount(); ++run)
            text.runAttributes(run).size();
    } else if (value.metaType() == QMetaType::fromType<Image>()) {
        value.value<Image>().size();
    }
}

void unarchiveData(const QVariant &value, int &budget)
{
    if (budget <= 0)
        return;
    switch (value.metaType().id()) {
    case QMetaType::QByteArray:
        --budget;
        if (std::optional<QVariant> object =
                TypedStreamDecoder::unarchiveObjectWithData(value.toByteArray()))
            use(*object);
        break;
    case QMetaType::QVariantList:
        for (const QVariant &item : value.toList())
            unarchiveData(item, budget);
        break;
    case QMetaType::QVariantMap:
        for (const QVariant &item : value.toMap())
            unarchiveData(item, budget);
        break;
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::silenceLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    if (std::optional<QVariant> plist = PropertyListReader::propertyListFromData(bytes)) {
        int budget = 16;
        unarchiveData(*plist, budget);
    }
    if (std::optional<QVariant> object = TypedStreamDecoder::unarchiveObjectWithData(bytes))
        use(*object);
    return 0;
}
