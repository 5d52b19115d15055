// The fallback of the document reader: files that are not packages may be
// documents of the old property-list format.
#include "model/TWFileIO.h"
#include "model/TWMapsDoc.h"
#include "platform/LoadingNotifications.h"
#include "platform/NotificationCenter.h"
#include "platform/TWLocalizedString.h"
#include "support/PropertyListReader.h"
#include "support/XMLDocument.h"

#include <QFile>
#include <QFileInfo>
#include <QtDebug>
#include <utility>

std::shared_ptr<TWMapsDoc>
TWFileIO::loadDocumentFromOldStyleDictionary(const QVariantMap &dictionary)
{
    return TWMapsDoc::createWithOldStyleDictionary(dictionary);
}

std::shared_ptr<TWMapsDoc> TWFileIO::loadOldStyleDocumentFromFile(const QString &path, int *error)
{
    if (error)
        *error = OldStyleNotPropertyList;
    const QFileInfo info(path);
    // Only regular files: a FIFO or device would block or never end.
    if (!info.isFile()) {
        qWarning("Cannot read %s: not a file", qUtf8Printable(path));
        return nullptr;
    }
    if (info.size() > maxOldStyleFileSize) {
        qWarning("Cannot read %s as an old document: larger than %lld bytes", qUtf8Printable(path),
                 static_cast<long long>(maxOldStyleFileSize));
        return nullptr;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Cannot read %s: %s", qUtf8Printable(path), qUtf8Printable(file.errorString()));
        return nullptr;
    }
    const QByteArray data = file.read(maxOldStyleFileSize + 1);
    if (data.size() > maxOldStyleFileSize) {
        qWarning("Cannot read %s as an old document: it grew while read", qUtf8Printable(path));
        return nullptr;
    }
    QString reason;
    const std::optional<QVariant> plist =
        PropertyListReader::propertyListFromData(data, nullptr, &reason);
    if (!plist || plist->typeId() != QMetaType::QVariantMap) {
        qWarning().noquote() << QStringLiteral("%1 is no old document:").arg(path)
                             << (plist ? QStringLiteral("not a dictionary") : reason);
        return nullptr;
    }
    std::shared_ptr<TWMapsDoc> document = loadDocumentFromOldStyleDictionary(plist->toMap());
    if (!document && error)
        *error = OldStyleRefused;
    return document;
}

namespace {
thread_local QString t_readFailure;
} // namespace

void TWFileIO::noteReadFailure(const QString &reason)
{
    if (t_readFailure.isEmpty())
        t_readFailure = reason;
}

QString TWFileIO::readFailureMessage(const QString &reason)
{
    if (reason.contains(QLatin1String("Excessive depth")))
        return TWLocalizedString(StringTable::DadoZiz,
                                 "The file cannot be opened: its branches nest deeper than "
                                 "Thinkweb can read (more than %1 levels of elements).")
            .arg(XMLDetail::maxElementDepth);
    QString why = reason.trimmed();
    if (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    return TWLocalizedString(StringTable::DadoZiz, "The file is damaged: %@.")
        .replace(QLatin1String("%@"), why);
}

std::shared_ptr<TWMapsDoc> TWFileIO::readDocumentFromFile(const QString &path,
                                                          QString *errorMessage)
{
    t_readFailure.clear();
    // A refused read ends the loading it started: its progress panel must
    // not stay over the alert that says why.
    bool started = false;
    const ObserverToken startObserver = NotificationCenter::defaultCenter().observe(
        LoadingNotifications::Start, nullptr, [&started](const Notification &) { started = true; });
    int error = LoadSucceeded;
    std::shared_ptr<TWMapsDoc> document = loadDocumentFromFile(path, false, &error);
    if (document) {
        notePicturesCutShort(*document);
        return document;
    }
    const QString found = std::exchange(t_readFailure, QString());
    if (started)
        NotificationCenter::defaultCenter().post(LoadingNotifications::Finish);
    if (errorMessage)
        *errorMessage = loadErrorMessage(error);
    if (error == LoadTooLarge || error == LoadDiskFull)
        return nullptr;
    // A package that gave no document is reported as one refused.
    int shown = OldStyleRefused;
    if (error == LoadNoEntries)
        document = loadOldStyleDocumentFromFile(path, &shown);
    if (!document && errorMessage) {
        // A number alone tells the user nothing: say what is wrong with the file.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            *errorMessage = TWLocalizedString(StringTable::DadoZiz, "The file cannot be read: %@.")
                                .replace(QLatin1String("%@"), file.errorString());
        else if (error == LoadRefused && !found.isEmpty())
            *errorMessage = readFailureMessage(found);
        else if (shown == OldStyleNotPropertyList)
            *errorMessage = TWLocalizedString(StringTable::DadoZiz,
                                              "The file is damaged or is not a Thinkweb document.");
        else
            *errorMessage =
                TWLocalizedString(StringTable::DadoZiz,
                                  "The file is damaged: Thinkweb cannot read a document from it.");
    }
    return document;
}
