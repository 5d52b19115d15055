// Feeds arbitrary bytes to the version 3 outliner reader as the uncompressed
// XML of a file: styles, colours, values, notes and nested items.
#include "FuzzOutliner.h"

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
    FuzzOutliner::check(importer, importer.documentFromData(bytes, true, QStringLiteral("/f/v3")));
    return 0;
}
