#include "TWFileIO.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtDebug>

namespace {

// Only regular files are opened: a FIFO or device would block or never end.
bool openForReading(QFile &file)
{
    const QFileInfo info(file.fileName());
    if (!info.isFile()) {
        qWarning("Cannot read %s: not a file", qUtf8Printable(file.fileName()));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Cannot read %s: %s", qUtf8Printable(file.fileName()),
                 qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int TWFileIO::savePackage(const std::optional<QVariantMap> &saveDictionary, const QString &path)
{
    if (!saveDictionary)
        return SaveNoDictionary;

    PackageData entries;
    for (auto it = saveDictionary->cbegin(); it != saveDictionary->cend(); ++it) {
        const QVariant &value = it.value();
        switch (value.typeId()) {
        case QMetaType::QByteArray:
            entries.insert(it.key(), value.toByteArray());
            break;
        case QMetaType::QString:
            entries.insert(it.key(), value.toString().toUtf8());
            break;
        default:
            qWarning("Cannot save file data of class: %s",
                     value.typeName() ? value.typeName() : "(none)");
            break;
        }
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning("Cannot save document %s: %s", qUtf8Printable(path),
                 qUtf8Printable(file.errorString()));
        return SavePackFailed;
    }
    switch (PackageArchive::write(file, entries)) {
    case PackageArchive::WriteStatus::Written:
        break;
    case PackageArchive::WriteStatus::EntryFailed:
        file.cancelWriting();
        return SaveEntryFailed;
    case PackageArchive::WriteStatus::OutputFailed:
        file.cancelWriting();
        return SavePackFailed;
    }
    if (!file.commit()) {
        qWarning("Cannot save document %s: %s", qUtf8Printable(path),
                 qUtf8Printable(file.errorString()));
        return SavePackFailed;
    }
    return SaveSucceeded;
}

std::optional<PackageData> TWFileIO::documentDictionaryFromFile(const QString &path)
{
    QFile file(path);
    if (!openForReading(file))
        return std::nullopt;
    return PackageArchive::read(file);
}

int TWFileIO::loadPackageFromFile(const QString &path,
                                  const std::function<bool(const PackageData &)> &build)
{
    const std::optional<PackageData> data = documentDictionaryFromFile(path);
    if (!data || data->isEmpty())
        return LoadNoEntries;
    return build(*data) ? LoadSucceeded : LoadRefused;
}

std::optional<QByteArray> TWFileIO::gzDataFromFile(const QString &path)
{
    QFile file(path);
    if (!openForReading(file))
        return std::nullopt;
    return PackageArchive::gunzip(file);
}
