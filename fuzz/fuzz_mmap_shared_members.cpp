// Builds a ".mmap" archive from the input, whose topics name a few picture
// members many times each, and imports it as the Import command does under a
// small picture budget. The input is a recipe:
//   byte 0       members (1 to 4); bit 4 stores them, bit 5 makes the last
//                one a symbolic link, bit 6 gives each a PNG header
//   bytes 1, 2   topics (1 to 512), little-endian
//   then         one byte per topic: which member it names (0 to 3), how
//                (bits 2-3: "mmarch://", "/", bare, or Base64 in the map)
//   the rest     the members' bytes, split evenly
// The import either makes every topic, each member's topics sharing one
// stored picture, or is refused with one alert and nothing made.
#include "FuzzSupport.h"
#include "ImportTarget.h"
#include "MindManagerImpExp/mmImpExpController.h"
#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <zip.h>

namespace {

QTemporaryDir *folder = nullptr;

const char PngHeader[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0\x1f\x15\xc4\x89";

bool writeArchive(const QString &path, const QByteArray &xml, const QList<QByteArray> &members,
                  bool stored, bool lastIsLink)
{
    int error = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    const auto add = [zip, stored](const QByteArray &name, const QByteArray &data) -> zip_int64_t {
        zip_source_t *source = zip_source_buffer(zip, data.constData(), zip_uint64_t(data.size()), 0);
        if (!source)
            return -1;
        const zip_int64_t index = zip_file_add(zip, name.constData(), source, ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(source);
            return -1;
        }
        zip_set_file_compression(zip, zip_uint64_t(index), stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 0);
        return index;
    };
    bool ok = add("Document.xml", xml) >= 0;
    for (int i = 0; ok && i < members.size(); ++i) {
        const zip_int64_t index = add("bin/p" + QByteArray::number(i) + ".png", members[i]);
        ok = index >= 0;
        if (ok && lastIsLink && i == members.size() - 1)
            zip_file_set_external_attributes(zip, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             0120777u << 16);
    }
    // The buffers must live until the archive is written.
    if (!ok || zip_close(zip) != 0) {
        zip_discard(zip);
        return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    folder = &FuzzSupport::startImporter(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const int memberCount = 1 + (data[0] & 3);
    const bool stored = data[0] & 0x10;
    const bool lastIsLink = data[0] & 0x20;
    const bool pngHeader = data[0] & 0x40;
    const int topics = 1 + ((data[1] | data[2] << 8) & 0x1ff);
    size_t at = 3;
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ap:Map "
                     "xmlns:ap=\"http://schemas.mindjet.com/MindManager/Application/2003\" "
                     "xmlns:cor=\"http://schemas.mindjet.com/MindManager/Core/2003\">"
                     "<ap:OneTopic><ap:Topic OId=\"root\"><ap:SubTopics>";
    QList<int> named; // by topic: the member, or -1
    for (int t = 0; t < topics; ++t) {
        const uint8_t choice = at < size ? data[at++] : uint8_t(t);
        const int member = (choice & 3) % memberCount;
        const int how = (choice >> 2) & 3;
        static const char *const prefixes[] = {"mmarch://", "/", ""};
        xml += "<ap:Topic OId=\"t" + QByteArray::number(t) +
               "\"><ap:OneImage><ap:Image><ap:ImageData ImageType=\"urn:mindjet:PngImage\">";
        if (how < 3)
            xml += "<cor:Uri>" + QByteArray(prefixes[how]) + "bin/p" + QByteArray::number(member) +
                   ".png</cor:Uri>";
        else
            xml += "<cor:Base64>" + QByteArray(PngHeader, sizeof PngHeader - 1).toBase64() +
                   "</cor:Base64>";
        xml += "</ap:ImageData></ap:Image></ap:OneImage></ap:Topic>";
        named << (how < 3 ? member : -1);
    }
    xml += "</ap:SubTopics></ap:Topic></ap:OneTopic></ap:Map>";
    QList<QByteArray> members;
    const size_t rest = size - at;
    for (int i = 0; i < memberCount; ++i) {
        const size_t from = at + rest * size_t(i) / size_t(memberCount);
        const size_t to = at + rest * size_t(i + 1) / size_t(memberCount);
        QByteArray bytes(reinterpret_cast<const char *>(data + from), qsizetype(to - from));
        if (pngHeader)
            bytes.prepend(PngHeader, sizeof PngHeader - 1);
        members << bytes;
    }
    const QString path = folder->filePath(QStringLiteral("shared.mmap"));
    if (!writeArchive(path, xml, members, stored, lastIsLink))
        return 0;

    ImportTarget target;
    const RecordingAlerts &alerts = target.alerts;
    TWMap &map = target.map;
    std::optional<MMMapSource> source = mmImpExpController::sourceForFile(path);
    if (!source) {
        if (!lastIsLink)
            __builtin_trap(); // an archive written whole opens
        return 0;
    }
    source->pictureBudget = {.inflatedBytes = 256 * 1024, .pictures = 3};
    if (mmImpExpController::populateDadoZiz(map, *source)) {
        if (!alerts.alerts().isEmpty() || map.root()->children().size() != qsizetype(topics))
            __builtin_trap();
        // The topics naming one member store one picture.
        QHash<int, QSet<const char *>> stored;
        for (const auto &child : map.root()->children()) {
            const int topic = child->mmOid().value_or(QString()).mid(1).toInt();
            const auto picture = child->enclosedImage();
            if (!picture || !picture->imageFilename() || named.value(topic, -1) < 0)
                continue;
            const std::optional<QByteArray> bytes =
                target.document->cachedData().value(*picture->imageFilename()).bytes();
            if (bytes)
                stored[named[topic]].insert(bytes->constData());
        }
        for (const QSet<const char *> &pointers : std::as_const(stored))
            if (pointers.size() > 1)
                __builtin_trap();
    } else if (alerts.alerts().size() != 1 || !map.root()->children().empty()) {
        __builtin_trap();
    }
    return 0;
}
