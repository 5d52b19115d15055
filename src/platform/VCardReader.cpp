#include "platform/VCardReader.h"

#include <QFile>

namespace {

// Continuation lines (starting with a space or a tab) join the line before.
QList<QByteArray> unfoldedLines(const QByteArray &data)
{
    QList<QByteArray> lines;
    for (QByteArray line : data.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if ((line.startsWith(' ') || line.startsWith('\t')) && !lines.isEmpty())
            lines.last().append(line.mid(1));
        else
            lines.append(line);
    }
    return lines;
}

QString unescapedValue(const QByteArray &raw)
{
    const QString value = QString::fromUtf8(raw);
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar next = value.at(++i);
            text.append(next == u'n' || next == u'N' ? QChar(u'\n') : next);
        } else {
            text.append(c);
        }
    }
    return text.trimmed();
}

// The rank a parameter list gives: PREF, TYPE=pref (alone or in a list) or
// PREF=n of vCard 4.
int preferenceOf(const QList<QByteArray> &parameters)
{
    int rank = 101;
    for (const QByteArray &parameter : parameters) {
        const qsizetype equals = parameter.indexOf('=');
        const QByteArray name =
            (equals < 0 ? parameter : parameter.left(equals)).trimmed().toUpper();
        const QByteArray value = equals < 0 ? QByteArray() : parameter.mid(equals + 1).trimmed();
        if (equals < 0 && name == "PREF") {
            rank = std::min(rank, 1);
        } else if (name == "TYPE") {
            for (QByteArray type : value.split(',')) {
                type = type.trimmed();
                if (type.startsWith('"') && type.endsWith('"') && type.size() >= 2)
                    type = type.mid(1, type.size() - 2);
                if (type.toUpper() == "PREF")
                    rank = std::min(rank, 1);
            }
        } else if (name == "PREF") {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (ok && n >= 1 && n <= 100)
                rank = std::min(rank, n);
        }
    }
    return rank;
}

QString withoutUuidPrefix(const QString &value)
{
    static const QString prefix = QStringLiteral("urn:uuid:");
    return value.startsWith(prefix, Qt::CaseInsensitive) ? value.mid(prefix.size()) : value;
}

// The components of a structured value (N), split at the semicolons that no
// backslash escapes.
QList<QByteArray> components(const QByteArray &raw)
{
    QList<QByteArray> parts{QByteArray()};
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (c == '\\' && i + 1 < raw.size()) {
            parts.last().append(c).append(raw.at(++i));
        } else if (c == ';') {
            parts.append(QByteArray());
        } else {
            parts.last().append(c);
        }
    }
    return parts;
}

std::optional<QString> nameComponent(const QList<QByteArray> &parts, qsizetype index)
{
    if (index >= parts.size())
        return std::nullopt;
    const QString value = unescapedValue(parts.at(index));
    if (value.isEmpty())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<QList<VCardReader::Card>> VCardReader::cards(const QByteArray &data)
{
    if (data.size() > MaximumDataSize)
        return std::nullopt;
    QList<Card> found;
    std::optional<Card> card;
    for (const QByteArray &line : unfoldedLines(data)) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        QByteArray name = line.left(colon).split(';').first().trimmed().toUpper();
        if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
            name = name.mid(dot + 1);
        const QByteArray value = line.mid(colon + 1);
        if (name == "BEGIN" && value.trimmed().toUpper() == "VCARD") {
            card = Card();
        } else if (!card) {
            continue;
        } else if (name == "END" && value.trimmed().toUpper() == "VCARD") {
            found.append(*card);
            card.reset();
        } else if (name == "UID") {
            card->uid = withoutUuidPrefix(unescapedValue(value));
        } else if (name == "N") {
            const QList<QByteArray> parts = components(value);
            card->lastName = nameComponent(parts, 0);
            card->firstName = nameComponent(parts, 1);
        } else if (name == "FN") {
            card->formattedName = unescapedValue(value);
        } else if (name == "KIND" || name == "X-ADDRESSBOOKSERVER-KIND") {
            card->group = value.trimmed().toLower() == "group";
        } else if (name == "MEMBER" || name == "X-ADDRESSBOOKSERVER-MEMBER") {
            const QString member = withoutUuidPrefix(unescapedValue(value));
            if (!member.isEmpty())
                card->members.append(member);
        }
    }
    if (found.isEmpty())
        return std::nullopt;
    return found;
}

std::optional<QList<VCardReader::EmailAddress>> VCardReader::emailAddresses(const QByteArray &data)
{
    if (data.size() > MaximumCardSize)
        return std::nullopt;
    bool inCard = false;
    QList<EmailAddress> addresses;
    for (const QByteArray &line : unfoldedLines(data)) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        QList<QByteArray> parameters = line.left(colon).split(';');
        QByteArray name = parameters.takeFirst().trimmed().toUpper();
        // A group prefix ("item1.EMAIL") names no other property.
        if (const qsizetype dot = name.lastIndexOf('.'); dot >= 0)
            name = name.mid(dot + 1);
        const QByteArray value = line.mid(colon + 1);
        if (name == "BEGIN" && value.trimmed().toUpper() == "VCARD") {
            inCard = true;
            addresses.clear();
        } else if (name == "END" && value.trimmed().toUpper() == "VCARD" && inCard) {
            return addresses;
        } else if (inCard && name == "EMAIL") {
            QString address = unescapedValue(value);
            if (address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
                address = address.mid(7);
            if (!address.isEmpty())
                addresses.append({address, preferenceOf(parameters)});
        }
    }
    // A card that never ends is not a card.
    return std::nullopt;
}

std::optional<QString> VCardReader::primaryEmailAddress(const QByteArray &data)
{
    const std::optional<QList<EmailAddress>> addresses = emailAddresses(data);
    if (!addresses || addresses->isEmpty())
        return std::nullopt;
    const EmailAddress *best = &addresses->first();
    for (const EmailAddress &address : *addresses)
        if (address.preference < best->preference)
            best = &address;
    return best->address;
}

std::optional<QString> VCardReader::primaryEmailAddressOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaximumCardSize)
        return std::nullopt;
    return primaryEmailAddress(file.read(MaximumCardSize + 1));
}
