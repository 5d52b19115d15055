// Feeds arbitrary PostScript, under an EPS header, to the picture drawing of
// a printed map: the call waits for the renderer, which runs in an empty
// folder of its own. Nothing may crash, and whatever the PostScript does to
// files, the temporary folder and home the program sees keep what they held.
#include "FuzzSupport.h"
#include "render/DrawingContext.h"
#include "render/PictureDrawing.h"
#include "support/Image.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QTemporaryDir *watched;
QStringList before;

// Every path under the watched folders.
QStringList contents()
{
    QStringList paths;
    QDirIterator it(watched->path(),
                    QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    return paths;
}

void draw(const QByteArray &body)
{
    QByteArray eps("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 48 32\n");
    eps.append(body);
    const std::optional<Image> picture = Image::initWithData(eps);
    if (!picture)
        return;
    QImage page(96, 64, QImage::Format_ARGB32_Premultiplied);
    page.fill(Qt::transparent);
    QPainter painter(&page);
    DrawingContext context(painter, false);
    PictureDrawing::drawImage(context, *picture, Rect(0, 0, 48, 32));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // A temporary folder and home of the run's own, so that anything the
    // PostScript leaves behind is seen.
    watched = new QTemporaryDir;
    for (const QString name : {QStringLiteral("tmp"), QStringLiteral("home")}) {
        QDir(watched->path()).mkpath(name);
        QFile victim(watched->filePath(name + QStringLiteral("/victim.txt")));
        if (victim.open(QIODevice::WriteOnly))
            victim.write("SECRET");
    }
    setenv("TMPDIR", QFile::encodeName(watched->filePath(QStringLiteral("tmp"))).constData(), 1);
    setenv("HOME", QFile::encodeName(watched->filePath(QStringLiteral("home"))).constData(), 1);
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    FuzzSupport::startGuiApplication(argc, argv);
    // Loops end sooner than libFuzzer's own limit calls them hung.
    PictureDrawing::setEPSTimeLimit(2000);
    // What the program itself keeps there (caches) is there from the start.
    draw("0 0 10 10 rectfill showpage\n");
    before = contents();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    draw(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    PictureDrawing::clearCache();
    if (contents() != before)
        __builtin_trap(); // the PostScript reached a file outside its folder
    return 0;
}
