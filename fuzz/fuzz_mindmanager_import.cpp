// Feeds arbitrary bytes as a MindManager map's Document.xml through the whole
// import, the way the Import command runs it: streamed into a new map with
// the automatic layout installed, then arranged. Nothing may crash or hang;
// refusals come as recorded alerts.
#include "FuzzSupport.h"
#include "ImportTarget.h"
#include "MindManagerImpExp/mmImpExpController.h"
#include "model/TWMap.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {

QTemporaryDir *folder = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    folder = &FuzzSupport::startImporter(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ImportTarget target;
    const RecordingAlerts &alerts = target.alerts;
    TWMap &map = target.map;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (mmImpExpController::populateDadoZiz(map, mmImpExpController::sourceForData(bytes)))
        TWMapLayout::autoArrange(map);
    else if (alerts.alerts().size() != 1)
        __builtin_trap();
    return 0;
}
