#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Reads address cards (vCard 2.1, 3.0 and 4.0): the e-mail addresses of the
// first card, as an address book reading one person would, and the people
// and groups of all the cards of the data.
namespace VCardReader {

// Larger data is not taken for a card.
constexpr qsizetype MaximumCardSize = 1 << 20;
// Nor for the cards of a group and its people.
constexpr qsizetype MaximumDataSize = 16 << 20;

struct EmailAddress
{
    QString address;
    // Lower is more preferred; a plain PREF or TYPE=pref is 1, none is
    // unranked (101, after every rank vCard 4 allows).
    int preference = 101;
};

// The card's addresses in the order written; nothing when the data holds no
// card (no BEGIN:VCARD ... END:VCARD) or is too large.
std::optional<QList<EmailAddress>> emailAddresses(const QByteArray &data);
// The primary address: the most preferred one, else the first; nothing
// without a card or without an address.
std::optional<QString> primaryEmailAddress(const QByteArray &data);
// The same for a file; nothing when it cannot be read.
std::optional<QString> primaryEmailAddressOfFile(const QString &path);

// One card of a person or a group, as far as names and membership go.
struct Card
{
    // UID, without a "urn:uuid:" prefix; empty when the card has none.
    QString uid;
    // The family and given names of N; an empty component counts as none.
    std::optional<QString> lastName;
    std::optional<QString> firstName;
    QString formattedName; // FN
    // KIND:group, or the group kind of address-book exports.
    bool group = false;
    // UIDs of the members of a group, as written (prefix removed).
    QStringList members;
};

// Every complete card of the data in order; nothing when the data holds
// none or is too large.
std::optional<QList<Card>> cards(const QByteArray &data);

} // namespace VCardReader
