#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

// A zip archive read through its central directory, as the common unzip
// tools read one: any extra field in a local header, data descriptors,
// members stored or deflated, an archive comment and Zip64 records.
// Nothing is unpacked to disk; members inflate as they are read, and each
// is checked against the size and CRC its directory entry states.
class ZipArchive
{
public:
    struct Member
    {
        QString name;
        quint16 method = 0;
        quint16 flags = 0;
        quint32 crc = 0;
        qint64 compressedSize = 0;
        qint64 size = 0;
        qint64 localHeaderOffset = 0;
        bool isDirectory = false;
        bool isLink = false;
    };

    // Reads the directory; null with the reason in `error` where the file
    // is no zip archive, is damaged or has more than `maximumMembers`.
    static std::unique_ptr<ZipArchive> open(const QString &path, QString *error,
                                            int maximumMembers);

    const std::vector<Member> &members() const { return m_members; }
    // The first member of that name; null for none.
    const Member *find(const QString &name) const;
    const QByteArray &comment() const { return m_comment; }

    // One member's inflated bytes, in pieces.
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
        qint64 finish();

        QFile m_file;
        Member m_member;
        qint64 m_limit = 0;
        qint64 m_left = 0; // compressed bytes not yet read from the file
        qint64 m_out = 0;
        quint32 m_crc = 0;
        struct Inflater;
        std::unique_ptr<Inflater> m_inflater;
        QByteArray m_input;
        bool m_inflated = false; // the deflate stream has ended
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

    QString m_path;
    std::vector<Member> m_members;
    QByteArray m_comment;
};
