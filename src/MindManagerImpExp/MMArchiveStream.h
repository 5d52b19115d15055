#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

#include "support/ZipArchive.h"

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
    static constexpr qint64 MaximumPictureSize = qint64(64) * 1024 * 1024;

    MMArchiveStream(const MMArchiveStream &) = delete;
    MMArchiveStream &operator=(const MMArchiveStream &) = delete;

    // The archive's directory, every name checked; null with the reason in
    // `error`.
    static std::shared_ptr<const ZipArchive> openArchive(const QString &path,
                                                         QString *error = nullptr);
    // The archive positioned at the member; null with the reason in `error`.
    static std::unique_ptr<MMArchiveStream> open(const QString &path, const QString &member,
                                                 QString *error = nullptr,
                                                 qint64 limit = MaximumMemberSize);
    static std::unique_ptr<MMArchiveStream> open(const ZipArchive &archive, const QString &member,
                                                 QString *error = nullptr,
                                                 qint64 limit = MaximumMemberSize);
    // The whole member, for pictures the map keeps as members.
    static std::optional<QByteArray> readMember(const QString &path, const QString &member,
                                                qint64 limit = MaximumPictureSize);
    static std::optional<QByteArray> readMember(const ZipArchive &archive, const QString &member,
                                                qint64 limit = MaximumPictureSize);
    // Whether the name stays inside the archive's own folder.
    static bool isSafeMemberName(const QString &name);

    // Up to `size` inflated bytes; 0 at the end, -1 on damage or past the
    // limit (the reason is in error()).
    qint64 read(char *buffer, qint64 size);
    const QString &error() const { return m_reader->error(); }

private:
    explicit MMArchiveStream(std::unique_ptr<ZipArchive::Reader> reader)
        : m_reader(std::move(reader))
    {}

    std::unique_ptr<ZipArchive::Reader> m_reader;
};
