#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Files from outside are read whole only when their size, known before a byte
// is read, is one a real file of their kind can have.
namespace BoundedFile {

// What a user's outline, style or map description holds at most, with room
// for a hundred thousand items with notes.
constexpr qint64 MaximumTextFileSize = qint64(256) << 20;

// The file's bytes, or nothing with the reason in `error` (a missing file,
// an unreadable one, or one larger than `maximum` bytes).
std::optional<QByteArray> read(const QString &path, qint64 maximum = MaximumTextFileSize,
                               QString *error = nullptr);

} // namespace BoundedFile
