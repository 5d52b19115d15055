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
    // A hostile member anywhere refuses the file before anything is read.
    for (const ZipArchive::Member &m : archive->members()) {
        if (!isSafeMemberName(m.name)) {
            if (error)
                *error = QStringLiteral("unsafe member name: %1").arg(m.name);
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
    if (m->isDirectory || m->isLink) {
        if (error)
            *error = QStringLiteral("%1 is not a file").arg(member);
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
    if (!m || m->isDirectory || m->isLink)
        return std::nullopt;
    return archive.readMember(*m, limit);
}

std::optional<QByteArray> MMArchiveStream::readMember(const QString &path, const QString &member,
                                                      qint64 limit)
{
    const std::shared_ptr<const ZipArchive> archive = openArchive(path);
    return archive ? readMember(*archive, member, limit) : std::nullopt;
}
