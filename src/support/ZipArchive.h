#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// A zip archive read through its central directory by libzip: any extra
// field in a local header, data descriptors, members stored or deflated, an
// archive comment, Zip64 records and data in front of the archive (a
// self-extracting stub). Nothing is unpacked to disk; members inflate as
// they are read, and each is checked against the size and CRC its directory
// entry states. Encrypted members, methods other than store and deflate,
// and links or special files are never read as content.
class ZipArchive
{
public:
    struct Member
    {
        QString name;
        quint16 method = 0;
        quint32 crc = 0;
        qint64 compressedSize = 0;
        qint64 size = 0;
        bool isEncrypted = false;
        bool isDirectory = false;
        bool isLink = false;
        // A device, pipe or socket as a Unix writer records it.
        bool isSpecial = false;
        quint64 index = 0; // in the directory
    };

    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // Reads the directory; null with the reason in `error` where the file
    // is no zip archive, is damaged, is split over several files or has
    // more than `maximumMembers`.
    static std::unique_ptr<ZipArchive> open(const QString &path, QString *error,
                                            int maximumMembers);

    const std::vector<Member> &members() const { return m_members; }
    // The first member of that name; null for none.
    const Member *find(const QString &name) const;
    const QByteArray &comment() const { return m_comment; }
    // Why the member is never read as content (a link, a folder, encrypted,
    // an unknown method); empty when it can be read.
    static QString unreadableReason(const Member &member);

    struct Shared;

    // One member's inflated bytes, in pieces. Readers of one archive may be
    // used on different threads.
    class Reader
    {
    public:
        ~Reader();
        Reader(const Reader &) = delete;
        Reader &operator=(const Reader &) = delete;
        // Up to `size` bytes; 0 at the end, -1 on damage or past the limit
        // (the reason is in error()).
        qint64 read(char *buffer, qint64 size);
        const QString &error() const { return m_error; }

    private:
        friend class ZipArchive;
        Reader() = default;
        qint64 fail(const QString &reason);

        std::shared_ptr<Shared> m_shared;
        struct File;
        std::unique_ptr<File> m_file;
        Member m_member;
        qint64 m_limit = 0;
        qint64 m_out = 0;
        bool m_ended = false;
        QString m_error;
    };

    // A reader at the member's data; null with the reason in `error`. A
    // member that inflates to more than `limit` bytes fails as it is read.
    std::unique_ptr<Reader> openMember(const Member &member, qint64 limit,
                                       QString *error = nullptr) const;
    // The whole member, or nothing with the reason in `error`.
    std::optional<QByteArray> readMember(const Member &member, qint64 limit,
                                         QString *error = nullptr) const;

private:
    ZipArchive() = default;

    std::shared_ptr<Shared> m_shared;
    std::vector<Member> m_members;
    QByteArray m_comment;
};
