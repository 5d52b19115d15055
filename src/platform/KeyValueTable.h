#pragma once

#include "platform/UndoManager.h"

#include <QDebug>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

// Access to an object's fields by key name over QVariant, for the places that
// dispatch on key names: the generic undoable setter of a class, editors that
// write a field by name and the binding controller. One table per class,
// usually a function-local static that is built once and never changes.
template <typename T> class KeyValueTable
{
public:
    using Getter = std::function<QVariant(const T &)>;
    // Answers whether the value was taken.
    using Setter = std::function<bool(T &, const QVariant &)>;

    // A key with its own getter, read-only.
    KeyValueTable &add(const QString &key, Getter getter)
    {
        return addEntry(key, std::move(getter), Setter());
    }

    // A key with its own getter and setter. A setter that returns nothing is
    // taken to accept every value; one that returns bool says whether it did.
    template <typename S> KeyValueTable &add(const QString &key, Getter getter, S setter)
    {
        if constexpr (std::is_void_v<std::invoke_result_t<S &, T &, const QVariant &>>) {
            return addEntry(key, std::move(getter),
                            [setter = std::move(setter)](T &o, const QVariant &v) mutable {
                                setter(o, v);
                                return true;
                            });
        } else {
            return addEntry(key, std::move(getter), Setter(std::move(setter)));
        }
    }

    // A key backed by a data member. A value that does not convert to the
    // member's type is refused with a warning.
    template <typename V> KeyValueTable &field(const QString &key, V T::*member)
    {
        return add(
            key, [member](const T &o) { return QVariant::fromValue(o.*member); },
            [member, key](T &o, const QVariant &v) {
                auto converted = convert<V>(v, key);
                if (converted)
                    o.*member = *converted;
                return converted.has_value();
            });
    }

    // A key backed by a getter and a setter member function.
    template <typename V, typename Arg>
    KeyValueTable &property(const QString &key, V (T::*getter)() const, void (T::*setter)(Arg))
    {
        using Stored = std::decay_t<Arg>;
        return add(
            key, [getter](const T &o) { return QVariant::fromValue((o.*getter)()); },
            [setter, key](T &o, const QVariant &v) {
                auto converted = convert<Stored>(v, key);
                if (converted)
                    (o.*setter)(*converted);
                return converted.has_value();
            });
    }

    bool contains(const QString &key) const { return find(key) != nullptr; }
    bool isWritable(const QString &key) const
    {
        const Entry *e = find(key);
        return e && e->setter;
    }
    QStringList keys() const
    {
        QStringList k;
        for (const Entry &e : m_entries)
            k << e.key;
        return k;
    }

    // An invalid QVariant, with a warning, for a key the class does not have.
    QVariant valueForKey(const T &object, const QString &key) const
    {
        const Entry *e = find(key);
        if (!e) {
            qWarning().noquote() << "KeyValueTable: no key" << key;
            return {};
        }
        return e->getter(object);
    }

    // False, with a warning, for an unknown or read-only key.
    bool setValueForKey(T &object, const QVariant &value, const QString &key) const
    {
        const Entry *e = find(key);
        if (!e || !e->setter) {
            qWarning().noquote() << "KeyValueTable: cannot set key" << key;
            return false;
        }
        return e->setter(object, value);
    }

    // Sets the value and registers the reverse setting with `undo` (may be
    // null). Unchanged values register nothing. The undo step keeps `object`
    // alive; the table must outlive it (tables are static).
    bool setValueForKey(const std::shared_ptr<T> &object, const QVariant &value, const QString &key,
                        UndoManager *undo) const
    {
        if (!object || !isWritable(key)) {
            qWarning().noquote() << "KeyValueTable: cannot set key" << key;
            return false;
        }
        const QVariant old = valueForKey(*object, key);
        if (old == value)
            return true;
        // A refused value changes nothing, so it leaves no undo step either.
        if (!setValueForKey(*object, value, key))
            return false;
        UndoManager::registerUndo(
            undo, [this, object, old, key, undo] { setValueForKey(object, old, key, undo); });
        return true;
    }

private:
    KeyValueTable &addEntry(const QString &key, Getter getter, Setter setter)
    {
        if (find(key)) {
            qWarning().noquote() << "KeyValueTable: key" << key << "added twice";
            return *this;
        }
        m_entries.push_back({key, std::move(getter), std::move(setter)});
        return *this;
    }

    struct Entry
    {
        QString key;
        Getter getter;
        Setter setter;
    };

    const Entry *find(const QString &key) const
    {
        for (const Entry &e : m_entries) {
            if (e.key == key)
                return &e;
        }
        return nullptr;
    }

    template <typename V> static std::optional<V> convert(const QVariant &v, const QString &key)
    {
        if (v.metaType() == QMetaType::fromType<V>())
            return v.value<V>();
        QVariant copy = v;
        if (v.isValid() && copy.convert(QMetaType::fromType<V>()))
            return copy.value<V>();
        qWarning().noquote() << "KeyValueTable: value of type" << v.typeName() << "refused for key"
                             << key;
        return std::nullopt;
    }

    std::vector<Entry> m_entries; // few keys per class: a scan beats hashing
};
