#include "application/MindManagerArchive.h"

#include "support/ZipArchive.h"

#include <QFile>
#include <QStringList>

namespace MindManagerArchive {

bool isSafeMemberName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(u'/') || name.startsWith(u'\\'))
        return false;
    // "C:..." is a drive path to an unzip on another system.
    if (name.size() > 1 && name.at(1) == u':')
        return false;
    const QStringList parts = QString(name).replace(u'\\', u'/').split(u'/');
    return !parts.contains(QStringLiteral(".."));
}

bool isZipArchive(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Plain XML begins with "<" past a byte order mark and blanks; an
    // archive may follow a self-extracting stub.
    const QByteArray start = file.peek(256);
    if (start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF"))
        return false;
    qsizetype i = start.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < start.size() && QByteArrayView(" \t\r\n").contains(start[i]))
        ++i;
    return i < start.size() && start[i] != '<';
}

std::optional<QByteArray> readDocumentXML(const QString &path, QString *error)
{
    const auto fail = [error](const QString &reason) -> std::optional<QByteArray> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    QString reason;
    const std::unique_ptr<ZipArchive> archive = ZipArchive::open(path, &reason, MaximumMembers);
    if (!archive)
        return fail(reason);
    // Every member is looked at, so a hostile one anywhere refuses the file.
    for (const ZipArchive::Member &m : archive->members()) {
        if (!isSafeMemberName(m.name))
            return fail(QStringLiteral("unsafe member name: %1").arg(m.name));
    }
    const QString name = QLatin1String(DocumentMember);
    const ZipArchive::Member *document = archive->find(name);
    if (!document)
        return fail(QStringLiteral("no %1 in the archive").arg(name));
    if (document->isDirectory || document->isLink)
        return fail(QStringLiteral("%1 is not a file").arg(name));
    if (document->size > MaximumDocumentSize)
        return fail(QStringLiteral("%1 is too large").arg(name));
    std::optional<QByteArray> bytes = archive->readMember(*document, MaximumDocumentSize, &reason);
    if (!bytes)
        return fail(reason);
    return bytes;
}

} // namespace MindManagerArchive
