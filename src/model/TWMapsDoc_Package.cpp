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
    // Contents.xml goes from the model straight into the package; the other
    // entries are gathered once it is written, as the dictionary route does.
    return TWFileIO::saveStreamedPackage(
        [this] { return packageEntriesBesideContents(); }, ContentsPath,
        [this](XMLStreamWriter &writer) { return writeContentsXML(writer); }, path);
}

std::shared_ptr<TWMapsDoc> TWMapsDoc::loadFromFile(const QString &path, bool tryToLoadOtherVersion,
                                                   int *error)
{
    std::shared_ptr<TWMapsDoc> document;
    const int code = TWFileIO::loadStreamedPackage(
        path, ContentsPath, "TWMapBranch",
        [&](const PackageEntries &data, const StreamedPackageEntry &contents) {
            document = createWithStreamedContents(data, contents, tryToLoadOtherVersion);
            return document != nullptr;
        });
    if (error)
        *error = code;
    return code == TWFileIO::LoadSucceeded ? document : nullptr;
}
