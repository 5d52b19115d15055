// Feeds arbitrary bytes to the readers of old documents: the property-list
// reader in all its forms, the archive decoder, both on the bytes themselves
// and on every data value the property list holds, and the whole old-document
// reader on a dictionary. A document that loads must save and load again.
#include "FuzzDocuments.h"
#include "FuzzSupport.h"
#include "model/TWFileIO.h"
#include "model/TWMapsDoc.h"
#include "support/AttributedString.h"
#include "support/Image.h"
#include "support/PropertyListReader.h"
#include "support/TypedStreamDecoder.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <cstddef>
#include <cstdint>

namespace {

QGuiApplication *application = nullptr;

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

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    // Labels are measured. The application is never destroyed: tearing it
    // down at exit drops Qt's font caches unfreed, which reads as a leak.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QGuiApplication(*argc, *argv);
    return 0;
}

namespace {

void loadDocument(const QVariantMap &dictionary)
{
    std::shared_ptr<TWMapsDoc> document = TWFileIO::loadDocumentFromOldStyleDictionary(dictionary);
    if (!document)
        return;
    FuzzSupport::requireSavedDocumentLoads(document);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // Fewer values than a file may hold, so that each run stays short.
    PropertyListReader::Limits limits;
    limits.maxValues = 20000;
    if (std::optional<QVariant> plist =
            PropertyListReader::propertyListFromData(bytes, nullptr, nullptr, limits)) {
        int budget = 16;
        unarchiveData(*plist, budget);
        if (plist->typeId() == QMetaType::QVariantMap)
            loadDocument(plist->toMap());
    }
    if (std::optional<QVariant> object = TypedStreamDecoder::unarchiveObjectWithData(bytes))
        use(*object);
    return 0;
}
