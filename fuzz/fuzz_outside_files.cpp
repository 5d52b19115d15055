// Feeds arbitrary bytes to the small readers of files that come from outside:
// pictures of every kind the program draws, vCards, update feeds (and the
// download names taken from them), and graphics-library descriptions. The
// first byte picks the reader.
#include "FuzzSupport.h"
#include "application/TWAppcastUpdater.h"
#include "media/TWGraphicsLibraryParser.h"
#include "media/TWMediaNode.h"
#include "platform/VCardReader.h"
#include "render/DrawingContext.h"
#include "render/PictureDrawing.h"
#include "support/TWImageLoader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {

const char *const pictureKinds[] = {"png", "jpg",   "gif",   "tiff",  "bmp",  "pdf",
                                    "eps", "twpng", "twjpg", "tweps", "pict", "icns"};

void picture(uint8_t kind, const QByteArray &bytes)
{
    const std::optional<Image> image = TWImageLoader::imageWithData(
        bytes, QString::fromLatin1(pictureKinds[kind % std::size(pictureKinds)]));
    if (!image)
        return;
    QImage canvas(64, 48, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    const DrawingContext context(painter, false);
    PictureDrawing::drawImage(context, *image, Rect(Point(2, 2), Size(60, 44)));
}

void feed(const QByteArray &bytes)
{
    const std::optional<TWAppcastUpdater::Item> item = TWAppcastUpdater::newestItem(bytes);
    if (!item)
        return;
    // Whatever the feed names, the download stays in its folder.
    const QDir folder(QStringLiteral("/tmp/Downloads"));
    const QString name = TWAppcastUpdater::safeFileName(item->enclosure);
    if (name.isEmpty() || QFileInfo(folder.filePath(name)).absoluteDir() != folder)
        __builtin_trap();
}

void library(const QByteArray &bytes)
{
    QTemporaryDir folder;
    const QString package = QDir(folder.path()).filePath(QStringLiteral("Fuzz.twglib"));
    QDir().mkpath(package);
    QFile description(package + QStringLiteral("/metaData.plist"));
    if (!description.open(QIODevice::WriteOnly) || description.write(bytes) != bytes.size())
        return;
    description.close();
    const std::shared_ptr<TWMediaNode> root =
        TWGraphicsLibraryParser({folder.path()}).parseDatabase();
    if (!root)
        __builtin_trap(); // a library tree is made whatever the libraries hold
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    FuzzSupport::startGuiApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    switch (data[0] % 4) {
    case 0:
        picture(data[0] / 4, bytes);
        break;
    case 1:
        VCardReader::emailAddresses(bytes);
        break;
    case 2:
        feed(bytes);
        break;
    case 3:
        library(bytes);
        break;
    }
    return 0;
}
