// Feeds arbitrary bytes as a ".mmap" file on disk through the whole import,
// the way the Import command reads one: the zip archive's directory, its
// Document.xml inflated into the parser, pictures read as members. Nothing
// may crash or hang; a refusal says why in one alert and leaves the map as
// it was.
#include "FuzzSupport.h"
#include "ImportTarget.h"
#include "MindManagerImpExp/mmImpExpController.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QFile>
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
    const QString path = folder->filePath(QStringLiteral("map.mmap"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
            return 0;
    }
    ImportTarget target;
    const RecordingAlerts &alerts = target.alerts;
    TWMap &map = target.map;
    if (mmImpExpController::populateDadoZiz(map, path)) {
        TWMapLayout::autoArrange(map);
    } else {
        // Refused: one alert with its reason, and nothing made.
        if (alerts.alerts().size() != 1 || alerts.alerts().first().message.isEmpty())
            __builtin_trap();
        if (!map.root() || !map.root()->children().empty() || map.countOfLinkLines() != 0)
            __builtin_trap();
    }
    return 0;
}
