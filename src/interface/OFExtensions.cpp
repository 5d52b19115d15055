#include "interface/OFExtensions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace OFExtensions {

const QString &horizontalEllipsisString()
{
    static const QString ellipsis(QChar(0x2026));
    return ellipsis;
}

QString stringWithCharacter(char32_t c)
{
    if (c > 0xFFFF) {
        const QChar pair[2] = {QChar(ushort(0xD800 | ((c - 0x10000) >> 10))),
                               QChar(ushort(0xDC00 | (c & 0x3FF)))};
        return QString(pair, 2);
    }
    return QString(QChar(ushort(c)));
}

QString stringByRemovingPrefix(const QString &string, const QString &prefix)
{
    return string.startsWith(prefix) ? string.mid(prefix.size()) : string;
}

QString stringByRemovingSuffix(const QString &string, const QString &suffix)
{
    return string.endsWith(suffix) ? string.left(string.size() - suffix.size()) : string;
}

void appendString(AttributedString &text, const QString &string, const TextAttributes &attributes)
{
    text.appendAttributedString(AttributedString(string, attributes));
}

void appendString(AttributedString &text, const QString &string)
{
    const TextAttributes attributes =
        text.isEmpty() ? TextAttributes() : text.attributesAtIndex(text.length() - 1);
    appendString(text, string, attributes);
}

bool directoryExistsAtPath(const QString &path, bool traverseLink)
{
    const QFileInfo info(path);
    if (!traverseLink && info.isSymLink())
        return false;
    return info.exists() && info.isDir();
}

namespace {

// The leading parts of a path: "/a/b" gives "/", "/a", "/a/b".
QStringList leadingParts(const QString &path)
{
    QStringList parts;
    QString prefix;
    const QStringList components = path.split(u'/');
    for (qsizetype i = 0; i < components.size(); ++i) {
        const QString &component = components[i];
        if (i == 0 && component.isEmpty()) {
            prefix = QStringLiteral("/");
            parts << prefix;
            continue;
        }
        if (component.isEmpty())
            continue; // doubled or trailing slash
        if (!prefix.isEmpty() && !prefix.endsWith(u'/'))
            prefix += u'/';
        prefix += component;
        parts << prefix;
    }
    return parts;
}

} // namespace

void createPath(const QString &path, const Permissions &attributes)
{
    if (directoryExistsAtPath(path, true))
        return;
    for (const QString &part : leadingParts(path)) {
        const QFileInfo info(part);
        if (!info.exists() && !info.isSymLink()) {
            const bool made = attributes ? QDir().mkdir(part, *attributes) : QDir().mkdir(part);
            if (!made)
                throw NSGenericException(
                    QStringLiteral("Unable to create a directory at path: %1").arg(part));
        } else if (!info.isDir()) {
            throw NSGenericException(
                QStringLiteral("Unable to write to path \"%1\" because \"%2\" is not a directory")
                    .arg(path, part));
        }
    }
}

void createPathToFile(const QString &path, const Permissions &attributes)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return; // a bare name lives in the current folder
    createPath(slash == 0 ? QStringLiteral("/") : path.left(slash), attributes);
}

QString existingPortionOfPath(const QString &path)
{
    const QStringList parts = leadingParts(path);
    qsizetype existing = 0;
    while (existing < parts.size() && QFileInfo::exists(parts[existing]))
        ++existing;
    if (existing == 0)
        return QString();
    if (existing == parts.size())
        return path;
    const QString &part = parts[existing - 1];
    if (existing == 1 || part.endsWith(u'/'))
        return part;
    return part + u'/';
}

bool writeToFile(const QByteArray &data, const QString &path, bool atomically,
                 bool createDirectories)
{
    if (createDirectories)
        createPathToFile(path);
    if (atomically) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        if (file.write(data) != data.size()) {
            file.cancelWriting();
            return false;
        }
        return file.commit();
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(data) == data.size();
}

} // namespace OFExtensions
