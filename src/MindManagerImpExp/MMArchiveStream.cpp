#include "MindManagerImpExp/MMArchiveStream.h"

#include <QFile>
#include <QStringList>
#include <archive.h>
#include <archive_entry.h>

MMArchiveStream::~MMArchiveStream()
{
    if (m_archive)
        archive_read_free(m_archive);
}

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

namespace {

archive *openArchive(const QString &path, QString *error)
{
    archive *a = archive_read_new();
    archive_read_support_format_zip(a);
    if (archive_read_open_filename(a, QFile::encodeName(path).constData(), 64 * 1024) !=
        ARCHIVE_OK) {
        if (error)
            *error = QString::fromUtf8(archive_error_string(a));
        archive_read_free(a);
        return nullptr;
    }
    return a;
}

QString entryName(archive_entry *entry)
{
    const char *raw = archive_entry_pathname_utf8(entry);
    if (!raw)
        raw = archive_entry_pathname(entry);
    return QString::fromUtf8(raw ? raw : "");
}

} // namespace

std::unique_ptr<MMArchiveStream> MMArchiveStream::open(const QString &path, const QString &member,
                                                       QString *error, qint64 limit)
{
    const auto fail = [error](const QString &reason) -> std::unique_ptr<MMArchiveStream> {
        if (error)
            *error = reason;
        return nullptr;
    };
    // A first walk over the headers checks every name, so a hostile member
    // anywhere refuses the file before anything is read.
    {
        archive *a = openArchive(path, error);
        if (!a)
            return nullptr;
        std::unique_ptr<archive, decltype(&archive_read_free)> guard(a, archive_read_free);
        archive_entry *entry = nullptr;
        int members = 0;
        bool found = false;
        for (;;) {
            const int status = archive_read_next_header(a, &entry);
            if (status == ARCHIVE_EOF)
                break;
            if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
                return fail(QString::fromUtf8(archive_error_string(a)));
            if (++members > MaximumMembers)
                return fail(QStringLiteral("too many members"));
            const QString name = entryName(entry);
            if (!isSafeMemberName(name))
                return fail(QStringLiteral("unsafe member name: %1").arg(name));
            if (name == member) {
                if (archive_entry_filetype(entry) != AE_IFREG)
                    return fail(QStringLiteral("%1 is not a file").arg(name));
                found = true;
            }
            archive_read_data_skip(a);
        }
        if (!found)
            return fail(QStringLiteral("no %1 in the archive").arg(member));
    }
    archive *a = openArchive(path, error);
    if (!a)
        return nullptr;
    std::unique_ptr<MMArchiveStream> stream(new MMArchiveStream);
    stream->m_archive = a;
    stream->m_limit = limit;
    archive_entry *entry = nullptr;
    for (;;) {
        const int status = archive_read_next_header(a, &entry);
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            return fail(status == ARCHIVE_EOF ? QStringLiteral("no %1 in the archive").arg(member)
                                              : QString::fromUtf8(archive_error_string(a)));
        if (entryName(entry) == member)
            return stream;
        archive_read_data_skip(a);
    }
}

qint64 MMArchiveStream::read(char *buffer, qint64 size)
{
    if (!m_error.isEmpty())
        return -1;
    const la_ssize_t n = archive_read_data(m_archive, buffer, size_t(size));
    if (n < 0) {
        m_error = QString::fromUtf8(archive_error_string(m_archive));
        return -1;
    }
    m_read += n;
    // The stated size may lie: the limit counts what actually comes out.
    if (m_read > m_limit) {
        m_error = QStringLiteral("the map inflates to more than %1 MB").arg(m_limit >> 20);
        return -1;
    }
    return n;
}

std::optional<QByteArray> MMArchiveStream::readMember(const QString &path, const QString &member,
                                                      qint64 limit)
{
    std::unique_ptr<MMArchiveStream> stream = open(path, member, nullptr, limit);
    if (!stream)
        return std::nullopt;
    QByteArray bytes;
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = stream->read(buffer, sizeof buffer);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return bytes;
        bytes.append(buffer, n);
    }
}
