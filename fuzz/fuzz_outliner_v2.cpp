// Feeds arbitrary bytes to the version 2 outliner reader as the uncompressed
// property list of a file.
#include "FuzzOutliner.h"
#include "support/PropertyListReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzOutliner::initialise(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    OutlinerMemoryHost host;
    TWOmniOutlineImporter importer;
    importer.setHost(&host);
    // Through the file's identification and, for any dictionary at all,
    // straight into the builder.
    FuzzOutliner::check(importer, importer.documentFromData(bytes, true, QStringLiteral("/f/v2")));
    const std::optional<QVariant> list = PropertyListReader::propertyListFromData(bytes);
    if (list && list->typeId() == QMetaType::QVariantMap)
        FuzzOutliner::check(importer, importer.documentFromOO2Dictionary(list->toMap(), true,
                                                                         QStringLiteral("/f/v2")));
    return 0;
}
