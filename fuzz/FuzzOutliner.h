#pragma once

// What both outliner fuzz targets check of an import: a document that comes
// out has its central branch, lists each problem once, and saves and loads
// back with its map.
#include "../tests/exchange/OutlinerMemoryHost.h"
#include "FuzzSupport.h"
#include "exchange/TWOmniOutlineImporter.h"
#include "model/TWFileIO.h"
#include "model/TWMapBranch.h"

#include <QSet>
#include <QTemporaryDir>

namespace FuzzOutliner {

inline QTemporaryDir *folder = nullptr;

inline void initialise(int *argc, char ***argv)
{
    registerTypesAndResources();
    FuzzSupport::silenceLogs();
    FuzzSupport::startGuiApplication(argc, argv);
    folder = new QTemporaryDir;
}

inline void check(const TWOmniOutlineImporter &importer, TWMapsDoc *document)
{
    const QStringList &errors = importer.errors();
    if (QSet<QString>(errors.begin(), errors.end()).size() != errors.size())
        __builtin_trap(); // a problem listed twice
    if (!document)
        return;
    if (document->countOfMaps() != 1 || !document->currentMap()->root())
        __builtin_trap();
    const QString saved = folder->filePath(QStringLiteral("imported.tweb"));
    if (document->saveToFile(saved) != TWFileIO::SaveSucceeded)
        __builtin_trap(); // what was imported saves
    int error = -1;
    std::shared_ptr<TWMapsDoc> again = TWMapsDoc::loadFromFile(saved, false, &error);
    if (!again || again->countOfMaps() != 1)
        __builtin_trap(); // and loads again
    again->detach();
}

} // namespace FuzzOutliner
