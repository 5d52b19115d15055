#pragma once

#include <QList>
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
