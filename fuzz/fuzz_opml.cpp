// Feeds arbitrary bytes to the outline file reader. Whatever it reads must
// write out again and read back into the same number of branches.
#include "../tests/exchange/OutlinerMemoryHost.h"
#include "FuzzSupport.h"
#include "exchange/TWOPMLExport.h"
#include "exchange/TWOPMLImportExport.h"
#include "model/TWMapBranch.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    FuzzSupport::startGuiApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    OutlinerMemoryHost host;
    TWMapsDoc *first = host.newDocument(QStringLiteral("first"), false);
    TWMap &map = *first->currentMap();
    if (!TWOPMLImportExport().importData(bytes, QStringLiteral("f"), map))
        return 0;
    const QByteArray written = TWOPMLExport().opmlDataForMap(map, {true, true, true});
    TWMapsDoc *second = host.newDocument(QStringLiteral("second"), false);
    TWMap &again = *second->currentMap();
    if (!TWOPMLImportExport().importData(written, QStringLiteral("f"), again))
        __builtin_trap(); // its own file must read
    if (again.allBranches().size() != map.allBranches().size())
        __builtin_trap();
    return 0;
}
