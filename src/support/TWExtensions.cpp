#include "support/TWExtensions.h"

#include <QChar>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QStringView>
#include <QUrl>
#include <vector>

namespace Replace {

QString replaceAll(const QString &text, const QString &target, const QString &with)
{
    // Splitting at an empty separator yields the whole text, so nothing changes;
    // QString::replace would instead insert between every character.
    if (target.isEmpty())
        return text;
    QString out = text;
    out.replace(target, with, Qt::CaseSensitive);
    return out;
}

} // namespace Replace

namespace Paths {

std::optional<QString> carbonFromPOSIXPath(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QUrl url = QUrl::fromLocalFile(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
    if (!url.isValid() || !url.isLocalFile())
        return std::nullopt;
    const QString absolute = url.toLocalFile();
    // The volume is the mounted file system holding the file (or the folder
    // it would be in); its label names it, else its mount point or device.
    QString existing = absolute;
    while (!QFileInfo::exists(existing) && existing != QLatin1String("/"))
        existing = QFileInfo(existing).absolutePath();
    const QStorageInfo volume(existing);
    const QString mount = volume.isValid() ? volume.rootPath() : QStringLiteral("/");
    QString name = volume.name();
    if (name.isEmpty())
        name = QFileInfo(mount).fileName();
    if (name.isEmpty())
        name = QFileInfo(QString::fromLocal8Bit(volume.device())).fileName();
    if (name.isEmpty())
        name = QStringLiteral("Root");
    QStringList parts{name};
    const QString inside =
        mount == QLatin1String("/") ? absolute.mid(1) : absolute.mid(mount.size() + 1);
    for (const QString &component : inside.split(u'/', Qt::SkipEmptyParts))
        parts << QString(component).replace(u':', u'/');
    // A name alone would be a relative path: the volume itself ends in ":".
    return parts.size() == 1 ? name + u':' : parts.join(u':');
}

} // namespace Paths

namespace Tokenizing {

bool isLetter(char32_t c)
{
    // The letters of ASCII are A to Z either way; it has no marks.
    if (c < 0x80)
        return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
    switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

bool isWhitespaceOrNewline(char32_t c)
{
    if ((c >= 0x09 && c <= 0x0D) || c == 0x85)
        return true;
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

CharacterPredicate lettersPlus(const QString &extra)
{
    std::vector<char32_t> more;
    for (char32_t c : extra.toUcs4())
        more.push_back(c);
    return [more](char32_t c) {
        return isLetter(c) || std::find(more.begin(), more.end(), c) != more.end();
    };
}

QStringList tokensSeparatedByCharactersFromSet(const QString &text, const CharacterPredicate &inSet)
{
    QStringList tokens;
    if (!inSet)
        return tokens;
    // Positions are UTF-16 offsets, but each test is on a whole code point so
    // letters outside the basic plane count as letters.
    const qsizetype n = text.size();
    auto codePointAt = [&](qsizetype p, qsizetype *width) -> char32_t {
        const QChar c = text.at(p);
        if (c.isHighSurrogate() && p + 1 < n && text.at(p + 1).isLowSurrogate()) {
            *width = 2;
            return QChar::surrogateToUcs4(c, text.at(p + 1));
        }
        *width = 1;
        return c.unicode();
    };
    auto skipWhile = [&](qsizetype p, auto &&pred) {
        qsizetype w = 1;
        while (p < n && pred(codePointAt(p, &w)))
            p += w;
        return p;
    };
    auto blank = [](char32_t c) { return isWhitespaceOrNewline(c); };
    auto outside = [&](char32_t c) { return !inSet(c); };
    qsizetype pos = 0;
    while (skipWhile(pos, blank) < n) {
        pos = skipWhile(skipWhile(pos, blank), outside);
        const qsizetype start = skipWhile(pos, blank);
        pos = skipWhile(start, inSet);
        if (pos > start)
            tokens << text.mid(start, pos - start);
    }
    return tokens;
}

} // namespace Tokenizing
