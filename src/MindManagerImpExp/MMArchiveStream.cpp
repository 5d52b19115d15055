#include "MindManagerImpExp/MMArchiveStream.h"

#include <QStringList>

bool MMArchiveStream::isSafeMemberName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(u'/') || name.startsWith(u'\\'))
        return false;
    // "C:..." is a drive path to an unzip on another system.
    if (name.size() > 1 && name.at(1) == u':')
        return false;
    const QStringList parts = QString(name).replace(u'\\', u'/').split(u'/');
    return !parts.contains(QStringLiteral(".."));
}

std::shared_ptr<const ZipArchive> MMArchiveStream::openArchive(const QString &path, QString *error)
{
    std::shared_ptr<const ZipArchive> archive = ZipArchive::open(path, error, MaximumMembers);
    if (!archive)
        return nullptr;
    // A hostile member anywhere refuses the file before anything is read:
    // a name that leaves the archive's folder, or a link or device whose
    // target would be read as a picture or the map.
    for (const ZipArchive::Member &m : archive->members()) {
        QString reason;
        if (!isSafeMemberName(m.name))
            reason = QStringLiteral("unsafe member name: %1").arg(m.name);
        else if (m.isLink || m.isSpecial)
            reason = ZipArchive::unreadableReason(m);
        if (!reason.isEmpty()) {
            if (error)
                *error = reason;
            return nullptr;
        }
    }
    return archive;
}

std::unique_ptr<MMArchiveStream> MMArchiveStream::open(const ZipArchive &archive,
                                                       const QString &member, QString *error,
                                                       qint64 limit)
{
    const ZipArchive::Member *m = archive.find(member);
    if (!m) {
        if (error)
            *error = QStringLiteral("no %1 in the archive").arg(member);
        return nullptr;
    }
    // Refused before anything is read where its directory entry says it
    // is too large; a smaller stated size is held to as it inflates.
    if (m->size > limit) {
        if (error)
            *error = QStringLiteral("%1 inflates to more than %2 MB").arg(member).arg(limit >> 20);
        return nullptr;
    }
    std::unique_ptr<ZipArchive::Reader> reader = archive.openMember(*m, limit, error);
    if (!reader)
        return nullptr;
    return std::unique_ptr<MMArchiveStream>(new MMArchiveStream(std::move(reader)));
}

std::unique_ptr<MMArchiveStream> MMArchiveStream::open(const QString &path, const QString &member,
                                                       QString *error, qint64 limit)
{
    const std::shared_ptr<const ZipArchive> archive = openArchive(path, error);
    return archive ? open(*archive, member, error, limit) : nullptr;
}

qint64 MMArchiveStream::read(char *buffer, qint64 size)
{
    return m_reader->read(buffer, size);
}

std::optional<QByteArray> MMArchiveStream::readMember(const ZipArchive &archive,
                                                      const QString &member, qint64 limit)
{
    const ZipArchive::Member *m = archive.find(member);
    if (!m)
        return std::nullopt;
    return archive.readMember(*m, limit);
}

std::optional<QByteArray> MMArchiveStream::readMember(const QString &path, const QString &member,
                                                      qint64 limit)
{
    const std::shared_ptr<const ZipArchive> archive = openArchive(path);
    return archive ? readMember(*archive, member, limit) : std::nullopt;
}
