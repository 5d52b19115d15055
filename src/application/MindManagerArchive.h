#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Reads a MindManager "mmap" file, a zip archive, for its "Document.xml".
// Nothing is unpacked to disk; an archive with a member that names an
// absolute path or "..", or one beyond the size limits, is refused whole.
namespace MindManagerArchive {

inline constexpr const char *DocumentMember = "Document.xml";
// Largest "Document.xml" taken, and most members looked at.
inline constexpr qint64 MaximumDocumentSize = 64 * 1024 * 1024;
inline constexpr int MaximumMembers = 10000;

// The member's bytes, or nothing with the reason in `error`.
std::optional<QByteArray> readDocumentXML(const QString &path, QString *error = nullptr);

// Whether the file is a zip archive by its first bytes, whatever its name.
bool isZipArchive(const QString &path);

// Whether a member name stays inside the archive's own folder.
bool isSafeMemberName(const QString &name);

} // namespace MindManagerArchive
