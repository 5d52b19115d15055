#include "model/TWFileIO.h"
#include "model/TWMapsDoc_Private.h"

void TWMapsDoc::stampForSave()
{
    UndoManager *undo = undoManager();
    if (undo)
        undo->disableUndoRegistration();
    setLastSaveDate(CalendarDate::now());
    setRevisionNumber(m_revisionNumber + 1);
    updatePreviewImagesInFileCache();
    if (undo)
        undo->enableUndoRegistration();
}

int TWMapsDoc::saveToFile(const QString &path)
{
    stampForSave();
    return TWFileIO::savePackage(generateSaveDictionary(), path);
}

std::shared_ptr<TWMapsDoc> TWMapsDoc::loadFromFile(const QString &path, bool tryToLoadOtherVersion,
                                                   int *error)
{
    std::shared_ptr<TWMapsDoc> document;
    const int code = TWFileIO::loadPackageFromFile(path, [&](const PackageData &data) {
        document = createWithDictionary(data, tryToLoadOtherVersion);
        return document != nullptr;
    });
    if (error)
        *error = code;
    return code == TWFileIO::LoadSucceeded ? document : nullptr;
}
