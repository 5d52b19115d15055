#include "platform/TWLocalizedString.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace StringTable {
namespace {

// Reads a quoted string at `pos` (on its opening quote); false on a missing
// closing quote or an unknown escape.
bool readQuoted(const QString &text, qsizetype &pos, QString &out)
{
    out.clear();
    for (++pos; pos < text.size(); ++pos) {
        const QChar c = text.at(pos);
        if (c == QLatin1Char('"')) {
            ++pos;
            return true;
        }
        if (c == QLatin1Char('\n'))
            return false;
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++pos >= text.size())
            return false;
        switch (text.at(pos).unicode()) {
        case '"': out += QLatin1Char('"'); break;
        case '\\': out += QLatin1Char('\\'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        default: return false;
        }
    }
    return false;
}

void skipSpaceAndComments(const QString &text, qsizetype &pos)
{
    while (pos < text.size()) {
        if (text.at(pos).isSpace()) {
            ++pos;
        } else if (text.mid(pos, 2) == QLatin1String("//")) {
            while (pos < text.size() && text.at(pos) != QLatin1Char('\n'))
                ++pos;
        } else if (text.mid(pos, 2) == QLatin1String("/*")) {
            const qsizetype end = text.indexOf(QLatin1String("*/"), pos + 2);
            pos = end < 0 ? text.size() : end + 2;
        } else {
            return;
        }
    }
}

struct Tables {
    QHash<QString, QHash<QString, QString>> byName;
    Tables()
    {
        const QDir folder(QStringLiteral(":/strings"));
        for (const QString &file : folder.entryList({QStringLiteral("*.strings")}, QDir::Files)) {
            QFile in(folder.filePath(file));
            if (!in.open(QIODevice::ReadOnly))
                continue;
            QString error;
            byName.insert(file.chopped(8), parse(QString::fromUtf8(in.readAll()), &error));
            if (!error.isEmpty())
                qWarning("String table %s: %s", qPrintable(file), qPrintable(error));
        }
    }
};

const Tables &tables()
{
    static const Tables loaded; // thread-safe: lookups happen on worker threads too
    return loaded;
}

} // namespace

QHash<QString, QString> parse(const QString &text, QString *error)
{
    QHash<QString, QString> entries;
    qsizetype pos = 0;
    const auto fail = [&](const char *what) {
        if (error)
            *error = QStringLiteral("line %1: %2")
                         .arg(text.left(pos).count(QLatin1Char('\n')) + 1)
                         .arg(QLatin1String(what));
        return entries;
    };
    for (;;) {
        skipSpaceAndComments(text, pos);
        if (pos >= text.size())
            return entries;
        QString key, value;
        if (text.at(pos) != QLatin1Char('"') || !readQuoted(text, pos, key))
            return fail("expected a quoted key");
        skipSpaceAndComments(text, pos);
        if (pos >= text.size() || text.at(pos) != QLatin1Char('='))
            return fail("expected '='");
        ++pos;
        skipSpaceAndComments(text, pos);
        if (pos >= text.size() || text.at(pos) != QLatin1Char('"') ||
            !readQuoted(text, pos, value))
            return fail("expected a quoted text");
        skipSpaceAndComments(text, pos);
        if (pos >= text.size() || text.at(pos) != QLatin1Char(';'))
            return fail("expected ';'");
        ++pos;
        entries.insert(key, value);
    }
}

const QHash<QString, QString> &shipped(const QString &name)
{
    static const QHash<QString, QString> none;
    const auto &all = tables().byName;
    const auto found = all.constFind(name);
    return found == all.constEnd() ? none : *found;
}

QStringList shippedNames()
{
    QStringList names = tables().byName.keys();
    names.sort();
    return names;
}

} // namespace StringTable

QString TWLocalizedString(const char *table, const QString &key)
{
    if (key.isEmpty())
        return key;
    // Without an installed translator Qt hands back the source text.
    const QByteArray utf8 = key.toUtf8();
    const QString translated = QCoreApplication::translate(table, utf8.constData());
    if (translated != key)
        return translated;
    return StringTable::shipped(QString::fromLatin1(table)).value(key, key);
}
