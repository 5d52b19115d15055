#include "model/TWContactsProvider.h"

#include "platform/VCardReader.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QSet>
#include <QUrl>

namespace {
std::shared_ptr<TWContactsProvider> &sharedSlot()
{
    static std::shared_ptr<TWContactsProvider> provider =
        std::make_shared<TWEmptyContactsProvider>();
    return provider;
}
} // namespace

TWContactsProvider &TWContactsProvider::shared()
{
    return *sharedSlot();
}

void TWContactsProvider::setShared(std::shared_ptr<TWContactsProvider> provider)
{
    sharedSlot() = provider ? std::move(provider) : std::make_shared<TWEmptyContactsProvider>();
}

namespace {
TWContactRecord personOfCard(const VCardReader::Card &card)
{
    TWContactRecord person;
    person.firstName = card.firstName;
    person.lastName = card.lastName;
    // A card may name its person only by the formatted name.
    if (!person.firstName && !person.lastName && !card.formattedName.isEmpty())
        person.firstName = card.formattedName;
    person.uniqueId = card.uid;
    if (person.uniqueId.isEmpty()) {
        const QString names = person.lastName.value_or(QString()) + u'\n' +
                              person.firstName.value_or(QString());
        person.uniqueId =
            QStringLiteral("vcard:") +
            QString::fromLatin1(
                QCryptographicHash::hash(names.toUtf8(), QCryptographicHash::Sha1).toHex());
    }
    return person;
}
} // namespace

QList<TWContactRecord> contactRecordsFromVCards(const QByteArray &data)
{
    const std::optional<QList<VCardReader::Card>> cards = VCardReader::cards(data);
    if (!cards)
        return {};
    QSet<QString> grouped;
    for (const VCardReader::Card &card : *cards) {
        if (card.group)
            grouped.unite(QSet<QString>(card.members.cbegin(), card.members.cend()));
    }
    QList<TWContactRecord> records;
    for (const VCardReader::Card &card : *cards) {
        if (!card.group) {
            if (card.uid.isEmpty() || !grouped.contains(card.uid))
                records.append(personOfCard(card));
            continue;
        }
        TWContactRecord group;
        group.kind = TWContactRecord::Kind::Group;
        group.uniqueId = card.uid;
        // Members are the people of the same data; others are not known here.
        for (const QString &member : card.members) {
            for (const VCardReader::Card &other : *cards) {
                if (!other.group && other.uid == member) {
                    group.members.append(personOfCard(other));
                    break;
                }
            }
        }
        records.append(group);
    }
    return records;
}

namespace {
QList<QString> vCardFiles(const QMimeData &pasteboard)
{
    QList<QString> files;
    for (const QUrl &url : pasteboard.urls()) {
        if (url.isLocalFile() &&
            QFileInfo(url.toLocalFile()).suffix().compare(u"vcf", Qt::CaseInsensitive) == 0)
            files.append(url.toLocalFile());
    }
    return files;
}
} // namespace

const QStringList &vCardPboardTypes()
{
    static const QStringList types{QStringLiteral("text/vcard"), QStringLiteral("text/x-vcard"),
                                   QStringLiteral("text/directory")};
    return types;
}

bool pasteboardHoldsVCards(const QMimeData *pasteboard)
{
    if (!pasteboard)
        return false;
    for (const QString &type : vCardPboardTypes()) {
        if (pasteboard->hasFormat(type))
            return true;
    }
    return !vCardFiles(*pasteboard).isEmpty();
}

QList<TWContactRecord> contactRecordsFromPasteboard(const QMimeData &pasteboard)
{
    for (const QString &type : vCardPboardTypes()) {
        if (pasteboard.hasFormat(type))
            return contactRecordsFromVCards(pasteboard.data(type));
    }
    QList<TWContactRecord> records;
    for (const QString &path : vCardFiles(pasteboard)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > VCardReader::MaximumDataSize) {
            qWarning().noquote() << "Address card" << path << "cannot be read";
            continue;
        }
        records += contactRecordsFromVCards(file.readAll());
    }
    return records;
}
