#pragma once

#include <QList>
#include <QStringList>
#include <QString>
#include <memory>
#include <optional>

// The people and groups a resource can be made from when contacts are dropped
// on a document. The desktop has no shared contacts store, so the program runs
// with an empty provider; tests install one of their own.
struct TWContactRecord
{
    enum class Kind { Person, Group };

    Kind kind = Kind::Person;
    QString uniqueId;
    // A missing name and an empty one differ: an empty first name still counts
    // as present when the resource name is put together.
    std::optional<QString> firstName;
    std::optional<QString> lastName;
    QList<TWContactRecord> members; // persons of a group
};

// The people and groups of address cards: each group with the people of the
// same data it names, and every person that no group of the data holds. A
// card without UID is known by its names, so that it gives the same record
// each time; one with neither names nor a formatted name gives a person
// without names.
QList<TWContactRecord> contactRecordsFromVCards(const QByteArray &data);

class QMimeData;

// Address cards come as data of these types or as ".vcf" files.
const QStringList &vCardPboardTypes();
// The pasteboard holds address cards (data or files).
bool pasteboardHoldsVCards(const QMimeData *pasteboard);
// The address cards of the pasteboard: the first type that holds any, else
// every card file, in order.
QList<TWContactRecord> contactRecordsFromPasteboard(const QMimeData &pasteboard);

class TWContactsProvider
{
public:
    virtual ~TWContactsProvider() = default;

    // The record with that unique identifier, if the store has one.
    virtual std::optional<TWContactRecord> recordWithUniqueId(const QString &uniqueId) const = 0;

    // The provider documents consult; never null.
    static TWContactsProvider &shared();
    // Replaces the shared provider (nullptr restores the empty one).
    static void setShared(std::shared_ptr<TWContactsProvider> provider);
};

class TWEmptyContactsProvider : public TWContactsProvider
{
public:
    std::optional<TWContactRecord> recordWithUniqueId(const QString &) const override
    {
        return std::nullopt;
    }
};
