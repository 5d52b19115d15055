#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Reads the e-mail addresses of an address card (vCard 2.1, 3.0 and 4.0).
// Only the first card of the data counts, as an address book reading one
// person would.
namespace VCardReader {

// Larger data is not taken for a card.
constexpr qsizetype MaximumCardSize = 1 << 20;

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

} // namespace VCardReader
