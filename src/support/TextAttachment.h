#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <optional>

// A file embedded in rich text, the value of NSAttachmentAttributeName.
// A LinkBack attachment also carries the payload its source application
// handed over (a property list) and an item key naming the attachment there.
class TextAttachment
{
public:
    // What the attachment holds. A directory wrapper has no file contents.
    struct FileWrapper
    {
        std::optional<QByteArray> regularFileContents;
        QString filename;
        QString preferredFilename;

        static FileWrapper regularFile(const QByteArray &contents)
        {
            return FileWrapper{contents, {}, {}};
        }
        static FileWrapper directory() { return FileWrapper{}; }
        bool isRegularFile() const { return regularFileContents.has_value(); }
        friend bool operator==(const FileWrapper &, const FileWrapper &) = default;
    };

    TextAttachment() = default;
    explicit TextAttachment(std::optional<FileWrapper> fileWrapper)
        : m_fileWrapper(std::move(fileWrapper))
    {}
    // A LinkBack attachment. An empty item key is replaced by a unique one.
    static TextAttachment linkBackAttachment(std::optional<FileWrapper> fileWrapper,
                                             const QVariant &linkBackData,
                                             const QString &linkBackItemKey = {});

    const std::optional<FileWrapper> &fileWrapper() const { return m_fileWrapper; }
    void setFileWrapper(std::optional<FileWrapper> fileWrapper)
    {
        m_fileWrapper = std::move(fileWrapper);
    }

    bool isLinkBackAttachment() const { return m_isLinkBack; }
    // The payload as a property-list value; invalid when none was set.
    const QVariant &linkBackData() const { return m_linkBackData; }
    void setLinkBackData(const QVariant &data) { m_linkBackData = data; }
    // Never empty on a LinkBack attachment: the key is made when the
    // attachment is, so every copy of the value names the same item.
    const QString &linkBackItemKey() const { return m_linkBackItemKey; }
    void setLinkBackItemKey(const QString &key);

    static QString uniqueItemKey();

    friend bool operator==(const TextAttachment &, const TextAttachment &) = default;

private:
    std::optional<FileWrapper> m_fileWrapper;
    bool m_isLinkBack = false;
    QVariant m_linkBackData;
    QString m_linkBackItemKey;
};

Q_DECLARE_METATYPE(TextAttachment)
