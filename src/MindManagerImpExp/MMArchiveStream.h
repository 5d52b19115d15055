#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

struct archive;

// One member of a MindManager "mmap" archive (a zip file), inflated on
// demand: nothing is unpacked to disk. Every member name is checked first;
// an archive holding a member that names an absolute path or "..", or more
// members than a map has, is refused whole.
class MMArchiveStream
{
public:
    // Most bytes a member may inflate to, and most members looked at.
    static constexpr qint64 MaximumMemberSize = qint64(512) * 1024 * 1024;
    static constexpr int MaximumMembers = 100000;

    ~MMArchiveStream();
    MMArchiveStream(const MMArchiveStream &) = delete;
    MMArchiveStream &operator=(const MMArchiveStream &) = delete;

    // The archive positioned at the member; null with the reason in `error`.
    static std::unique_ptr<MMArchiveStream> open(const QString &path, const QString &member,
                                                 QString *error = nullptr,
                                                 qint64 limit = MaximumMemberSize);
    // The whole member, for pictures the map keeps as members.
    static std::optional<QByteArray> readMember(const QString &path, const QString &member,
                                                qint64 limit = 64 * 1024 * 1024);
    // Whether the name stays inside the archive's own folder.
    static bool isSafeMemberName(const QString &name);

    // Up to `size` inflated bytes; 0 at the end, -1 on damage or past the
    // limit (the reason is in error()).
    qint64 read(char *buffer, qint64 size);
    const QString &error() const { return m_error; }

private:
    MMArchiveStream() = default;

    archive *m_archive = nullptr;
    qint64 m_read = 0;
    qint64 m_limit = 0;
    QString m_error;
};
