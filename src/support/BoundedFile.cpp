#include "support/BoundedFile.h"

#include <QFile>
#include <QFileInfo>

namespace BoundedFile {

std::optional<QByteArray> read(const QString &path, qint64 maximum, QString *error)
{
    const auto failed = [error](const QString &reason) -> std::optional<QByteArray> {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return failed(QStringLiteral("it is not a file"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return failed(file.errorString());
    const qint64 reported = file.size();
    if (reported > maximum)
        return failed(QStringLiteral("it is larger (%1 bytes) than a file of its kind can be "
                                     "(%2 bytes)")
                          .arg(reported)
                          .arg(maximum));
    // The reported size is only a hint: a file may grow while it is read,
    // and the system's own files report none. What is read counts.
    QByteArray bytes;
    bytes.reserve(qsizetype(reported));
    char chunk[64 * 1024];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n < 0)
            return failed(file.errorString());
        if (n == 0)
            return bytes;
        if (bytes.size() + n > maximum)
            return failed(QStringLiteral("it is larger than a file of its kind can be (%1 bytes)")
                              .arg(maximum));
        bytes.append(chunk, n);
    }
}

} // namespace BoundedFile
