#include "model/TWFileIO.h"
#include "model/TWMap.h"
#include "model/TWMapLayoutServices.h"
#include "model/TWMapsDoc_Private.h"
#include "support/XMLStreamWriter.h"

void TWMapsDoc::stampForSave()
{
    stampSaveDateAndRevision();
    updatePreviewImagesInFileCache();
}

void TWMapsDoc::stampSaveDateAndRevision()
{
    UndoManager *undo = undoManager();
    if (undo)
        undo->disableUndoRegistration();
    setLastSaveDate(CalendarDate::now());
    setRevisionNumber(m_revisionNumber + 1);
    if (undo)
        undo->enableUndoRegistration();
}

QByteArray TWMapsDoc::packageDataDigest() const
{
    // Pictures are drawn from package data, which the text only names; the
    // previews themselves are what is being decided.
    const QString previews = QStringLiteral("Images/MapPreviews/");
    XMLStreamWriter::Digest digest;
    for (auto it = m_cachedData.cbegin(); it != m_cachedData.cend(); ++it) {
        if (it.key().startsWith(previews) || it.key() == ContentsPath ||
            it.key() == QLatin1String(TWFileIO::fileVersionPath))
            continue;
        const QByteArray name = it.key().toUtf8() + '\0' + QByteArray::number(it->size()) + '\0';
        digest.add(name.constData(), name.size());
        it->copyTo([&digest](const char *data, qint64 size) {
            digest.add(data, size);
            return true;
        });
    }
    return digest.toHex();
}

void TWMapsDoc::updatePreviewImagesInFileCache(const QList<QByteArray> &drawnFrom)
{
    UndoManager *undo = undoManager();
    if (undo)
        undo->disableUndoRegistration();
    const QByteArray pictures =
        drawnFrom.size() == m_maps.size() ? packageDataDigest() : QByteArray();
    for (qsizetype i = 0; i < m_maps.size(); ++i) {
        QByteArray source;
        if (!pictures.isEmpty()) {
            const QByteArray text = drawnFrom.at(i) + ' ' + pictures;
            XMLStreamWriter::Digest digest;
            digest.add(text.constData(), text.size());
            source = digest.toHex();
        }
        m_maps.at(i)->updatePreviewInFileCache(source);
    }
    if (undo)
        undo->enableUndoRegistration();
}

int TWMapsDoc::saveRefusal(const QString &path) const
{
    for (const std::shared_ptr<TWMap> &map : m_maps)
        if (TWFileIO::nestsTooDeep(*map))
            return TWFileIO::SaveTooDeep;
    return TWFileIO::checkSaveTarget(path);
}

int TWMapsDoc::saveToFile(const QString &path)
{
    // Before the previews are measured and drawn, which a tree this deep
    // makes slow, and before the document is stamped.
    if (const int refused = saveRefusal(path); refused != TWFileIO::SaveSucceeded)
        return refused;
    stampSaveDateAndRevision();
    {
        UndoManager *undo = undoManager();
        if (undo)
            undo->disableUndoRegistration();
        for (const std::shared_ptr<TWMap> &map : std::as_const(m_maps)) {
            // A map not yet numbered (made or imported before any window
            // showed it) gets the numbers opening it will give; one showing
            // its numbers is numbered whatever branches came without one, as
            // the labels written are those of the numbers shown. A second
            // save then writes what the first wrote. The branches keep their
            // order: the window re-sorts them when it shows the map.
            if (map->outlineNumbersNeedUpdating() || map->showOutlineNumbers())
                map->layoutServices().recalculateOutlineNumbers(*map);
            map->preparePreviewInFileCache();
        }
        if (undo)
            undo->enableUndoRegistration();
    }
    // Contents.xml goes from the model straight into the package; the other
    // entries are gathered once it is written, as the dictionary route does.
    // The previews are brought up to date in between: the text written
    // tells which of them still show their map.
    QList<QByteArray> drawnFrom;
    return TWFileIO::saveStreamedPackage(
        [this, &drawnFrom] {
            updatePreviewImagesInFileCache(drawnFrom);
            return packageEntriesBesideContents();
        },
        ContentsPath,
        [this, &drawnFrom](XMLStreamWriter &writer) {
            return writeContentsXML(writer, &drawnFrom);
        },
        path);
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
