#include "application/ExchangeReaders.h"

#include "MindManagerImpExp/mmImpExpController.h"
#include "application/TWImportController.h"
#include "exchange/TWOPMLImportExport.h"

#include <memory>
#include <utility>

void installExchangeReaders(TWImportController &importer)
{
    TWImportController::Readers readers = importer.readers();
    auto leftOut = std::make_shared<MMLeftOut>();
    readers.mindManagerFile = [leftOut](TWMap &map, const QString &path) {
        *leftOut = {};
        return mmImpExpController::populateDadoZiz(map, path, leftOut.get());
    };
    readers.mindManagerLeftOut = [leftOut] { return std::exchange(*leftOut, {}).message(); };
    readers.mindManagerProblem = [](const QString &path) {
        QString error;
        if (mmImpExpController::sourceForFile(path, &error))
            return QString();
        return error.isNull() ? QStringLiteral("unreadable") : error;
    };
    auto opmlLeftOut = std::make_shared<QString>();
    readers.opml = [opmlLeftOut](TWMap &map, const QString &path, QString *reason) {
        TWOPMLImportExport reader;
        const bool read = reader.importFile(path, map, reason);
        *opmlLeftOut = reader.leftOut();
        return read;
    };
    readers.opmlLeftOut = [opmlLeftOut] { return std::exchange(*opmlLeftOut, {}); };
    importer.setReaders(readers);
}
