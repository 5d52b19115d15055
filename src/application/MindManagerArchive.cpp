#include "application/MindManagerArchive.h"

#include <QFile>
#include <archive.h>
#include <archive_entry.h>
#include <memory>

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

std::optional<QByteArray> readDocumentXML(const QString &path, QString *error)
{
    const auto fail = [error](const QString &reason) -> std::optional<QByteArray> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    std::unique_ptr<archive, decltype(&archive_read_free)> reader(archive_read_new(),
                                                                  archive_read_free);
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_filename(reader.get(), QFile::encodeName(path).constData(), 64 * 1024) !=
        ARCHIVE_OK)
        return fail(QString::fromUtf8(archive_error_string(reader.get())));

    std::optional<QByteArray> document;
    archive_entry *entry = nullptr;
    int members = 0;
    // Every member is looked at, so a hostile one anywhere refuses the file.
    for (;;) {
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN)
            return fail(QString::fromUtf8(archive_error_string(reader.get())));
        if (++members > MaximumMembers)
            return fail(QStringLiteral("too many members"));
        const char *raw = archive_entry_pathname_utf8(entry);
        if (!raw)
            raw = archive_entry_pathname(entry);
        const QString name = QString::fromUtf8(raw ? raw : "");
        if (!isSafeMemberName(name))
            return fail(QStringLiteral("unsafe member name: %1").arg(name));
        if (name != QLatin1String(DocumentMember) || document) {
            archive_read_data_skip(reader.get());
            continue;
        }
        if (archive_entry_filetype(entry) != AE_IFREG)
            return fail(QStringLiteral("%1 is not a file").arg(name));
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > MaximumDocumentSize)
            return fail(QStringLiteral("%1 is too large").arg(name));
        QByteArray bytes;
        char buffer[64 * 1024];
        for (;;) {
            const la_ssize_t n = archive_read_data(reader.get(), buffer, sizeof buffer);
            if (n < 0)
                return fail(QString::fromUtf8(archive_error_string(reader.get())));
            if (n == 0)
                break;
            // The stated size may lie.
            if (bytes.size() + n > MaximumDocumentSize)
                return fail(QStringLiteral("%1 is too large").arg(name));
            bytes.append(buffer, n);
        }
        document = std::move(bytes);
    }
    if (!document)
        return fail(QStringLiteral("no %1 in the archive").arg(QLatin1String(DocumentMember)));
    return document;
}

} // namespace MindManagerArchive
