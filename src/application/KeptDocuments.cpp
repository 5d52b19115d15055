#include "application/KeptDocuments.h"

#include "application/CrashReporter.h"
#include "application/DocumentController.h"
#include "application/TWDocument.h"
#include "model/TWFileIO.h"
#include "platform/TWLocalizedString.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <memory>

#include <unistd.h>

namespace {
QString dadoZiz(const char *key)
{
    return TWLocalizedString(StringTable::DadoZiz, key);
}

const char *reasonName(KeptDocuments::Reason reason)
{
    switch (reason) {
    case KeptDocuments::Reason::ChangedOnDisk:
        return "changedOnDisk";
    case KeptDocuments::Reason::NotSaved:
        return "notSaved";
    case KeptDocuments::Reason::Untitled:
        break;
    }
    return "untitled";
}

QString descriptionPath(const QString &copy)
{
    const QFileInfo info(copy);
    return info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".json");
}

// What the notice says of one kept document.
QString described(const QJsonObject &description)
{
    const QString reason = description.value(QStringLiteral("reason")).toString();
    const QString file = QFileInfo(description.value(QStringLiteral("file")).toString()).fileName();
    if (reason == u"changedOnDisk")
        return dadoZiz("your changes to “%1”, whose file another program had changed; that file "
                       "is as the other program left it")
            .arg(file);
    if (reason == u"notSaved")
        return dadoZiz("your changes to “%1”, which could not be saved to its file").arg(file);
    return dadoZiz("a new document that had never been saved");
}
} // namespace

QString KeptDocuments::defaultFolder(const QString &programName)
{
    return CrashReporter::defaultFolder() + QStringLiteral("/kept/") + programName;
}

bool KeptDocuments::keep(TWDocument &document, Reason reason)
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return false;
    // Only the user reads what was in the documents.
    QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
    QString copy = document.keptCopy();
    // A copy opened again keeps what it said the first time.
    const bool hasDescription = !copy.isEmpty() && QFileInfo::exists(descriptionPath(copy));
    if (copy.isEmpty()) {
        static int kept = 0;
        copy = QDir(m_folder).filePath(QStringLiteral("%1-%2-%3.tweb")
                                           .arg(QDateTime::currentMSecsSinceEpoch())
                                           .arg(qint64(getpid()))
                                           .arg(++kept));
    }
    if (document.writeKeptCopy(copy) != TWFileIO::SaveSucceeded)
        return false;
    if (!hasDescription) {
        QJsonObject description{{QStringLiteral("reason"), QString::fromLatin1(reasonName(reason))}};
        if (!document.fileName().isEmpty())
            description.insert(QStringLiteral("file"), document.fileName());
        QSaveFile file(descriptionPath(copy));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(QJsonDocument(description).toJson()) < 0 || !file.commit()) {
            QFile::remove(copy);
            return false;
        }
    }
    document.setKeptCopy(copy);
    return true;
}

QString KeptDocuments::reopen(TWDocumentController &controller)
{
    if (m_folder.isEmpty())
        return {};
    QStringList said;
    // The oldest first: their names begin with the time they were kept.
    const QStringList copies =
        QDir(m_folder).entryList({QStringLiteral("*.tweb")}, QDir::Files, QDir::Name);
    for (const QString &name : copies) {
        const QString copy = QDir(m_folder).filePath(name);
        QFile descriptionFile(descriptionPath(copy));
        // A copy whose description was never written was never wholly kept.
        if (!descriptionFile.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject description = QJsonDocument::fromJson(descriptionFile.readAll()).object();
        std::unique_ptr<TWDocument> document = TWDocument::makeForEdition();
        TWDocument::LoadError error;
        if (!document->readKeptCopy(copy, &error)) {
            qWarning("The kept copy %s could not be opened again: %s", qPrintable(copy),
                     qPrintable(error.reason));
            continue;
        }
        if (controller.addUntitledDocument(std::move(document), true))
            said << QStringLiteral("• ") + described(description);
    }
    if (said.isEmpty())
        return {};
    return dadoZiz("Thinkweb was ended before it could ask what to do with unsaved work, and "
                   "kept it. It is open again, each as an untitled document:\n\n%1\n\nSave a "
                   "document to keep it; closing it without saving throws it away.")
        .arg(said.join(u'\n'));
}

void KeptDocuments::discard(const QString &copy)
{
    if (copy.isEmpty())
        return;
    QFile::remove(copy);
    QFile::remove(descriptionPath(copy));
}
