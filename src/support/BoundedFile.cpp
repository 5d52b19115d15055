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
    if (!file.open(QIODevice::ReadOnly))
        return failed(file.errorString());
    if (file.size() > maximum)
        return failed(QStringLiteral("it is larger (%1 bytes) than a file of its kind can be "
                                     "(%2 bytes)")
                          .arg(file.size())
                          .arg(maximum));
    // A file that grows while it is read is read only as far as the bound.
    QByteArray bytes = file.read(maximum + 1);
    if (bytes.size() > maximum)
        return failed(
            QStringLiteral("it is larger than a file of its kind can be (%1 bytes)").arg(maximum));
    if (file.error() != QFileDevice::NoError)
        return failed(file.errorString());
    return bytes;
}

} // namespace BoundedFile
