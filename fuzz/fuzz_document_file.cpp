// Feeds arbitrary bytes as a document file, the way a user opens one: the
// package is written to disk and loaded through both passes of the streamed
// route (counting, then reading Contents.xml as it inflates), with its other
// entries kept beside it. Loading must never crash or hang, and a document
// that loads must save, and what it saved must load again.
#include "FuzzSupport.h"
#include "model/TWFileIO.h"
#include "model/TWMapsDoc.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {

QTemporaryDir *folder = nullptr;

bool writeFile(const QString &path, const char *data, qsizetype size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data, size) == size;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    FuzzSupport::startGuiApplication(argc, argv);
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString opened = folder->filePath(QStringLiteral("opened.tweb"));
    const QString saved = folder->filePath(QStringLiteral("saved.tweb"));
    if (!writeFile(opened, reinterpret_cast<const char *>(data), qsizetype(size)))
        __builtin_trap();
    int error = -1;
    std::shared_ptr<TWMapsDoc> document = TWMapsDoc::loadFromFile(opened, false, &error);
    if (!document) {
        if (error == TWFileIO::LoadSucceeded)
            __builtin_trap(); // a failure must say so
        return 0;
    }
    if (document->saveToFile(saved) != TWFileIO::SaveSucceeded)
        __builtin_trap(); // a loaded document saves
    std::shared_ptr<TWMapsDoc> again = TWMapsDoc::loadFromFile(saved, false, &error);
    if (!again || error != TWFileIO::LoadSucceeded ||
        again->countOfMaps() != document->countOfMaps())
        __builtin_trap(); // what we save must load, with its maps
    again->detach();
    document->detach();
    return 0;
}
