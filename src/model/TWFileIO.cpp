#include "TWFileIO.h"

#include "model/TWMapsDoc.h"
#include "platform/Alerts.h"
#include "platform/CFormat.h"
#include "platform/TWLocalizedString.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
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

int TWFileIO::saveDocument(TWMapsDoc &document, const QString &path)
{
    return document.saveToFile(path);
}

std::shared_ptr<TWMapsDoc> TWFileIO::loadDocumentFromFile(const QString &path,
                                                          bool tryToLoadOtherVersion, int *error)
{
    return TWMapsDoc::loadFromFile(path, tryToLoadOtherVersion, error);
}

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

std::optional<PackageData> TWFileIO::documentDictionaryFromFile(const QString &path,
                                                                PackageArchive::ReadStatus *status)
{
    if (status)
        *status = PackageArchive::ReadStatus::Unreadable;
    QFile file(path);
    if (!openForReading(file))
        return std::nullopt;
    return PackageArchive::read(file, {}, status);
}

int TWFileIO::loadPackageFromFile(const QString &path,
                                  const std::function<bool(const PackageData &)> &build)
{
    PackageArchive::ReadStatus status;
    const std::optional<PackageData> data = documentDictionaryFromFile(path, &status);
    if (status == PackageArchive::ReadStatus::Refused) {
        qWarning("Cannot open document %s: %s", qUtf8Printable(path),
                 qUtf8Printable(loadErrorMessage(LoadTooLarge)));
        return LoadTooLarge;
    }
    if (!data || data->isEmpty())
        return LoadNoEntries;
    return build(*data) ? LoadSucceeded : LoadRefused;
}

QString TWFileIO::loadErrorMessage(int error)
{
    if (error != LoadTooLarge)
        return QString();
    return TWLocalizedString(StringTable::DadoZiz,
                             "The document is too large to open: it unpacks to more than "
                             "Thinkweb can hold in memory.");
}

std::optional<QByteArray> TWFileIO::gzDataFromFile(const QString &path)
{
    QFile file(path);
    if (!openForReading(file))
        return std::nullopt;
    return PackageArchive::gunzip(file);
}

bool TWFileIO::checkFileVersion(const PackageData &packageData)
{
    const auto entry = packageData.constFind(QString::fromLatin1(fileVersionPath));
    if (entry == packageData.cend())
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(*entry);
    if (decoder.hasError())
        return false;
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 2)
        return false;
    const int major = CFormat::intValue(parts[0]);
    const int minor = CFormat::intValue(parts[1]);
    if (major < fileVersionMajor || (major == fileVersionMajor && minor <= fileVersionMinor))
        return false;
    Alerts::current().runAlertPanel(
        TWLocalizedString(StringTable::DadoZiz,
                          "This document has been created in a newer version of Thinkweb"),
        TWLocalizedString(StringTable::DadoZiz,
                          "You might experience some errors opening this file because it has "
                          "been created in a newer version of Thinkweb. It is strongly "
                          "recommended that you update your copy of Thinkweb to the latest "
                          "version."),
        {TWLocalizedString(StringTable::General, "OK")});
    return true;
}
