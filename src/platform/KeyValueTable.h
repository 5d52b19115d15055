#pragma once

#include "platform/UndoManager.h"

#include <QDebug>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Access to an object's fields by key name over QVariant, for the places that
// dispatch on key names: the generic undoable setter of a class, editors that
// write a field by name and the binding controller. One table per class,
// usually a function-local static that is built once and never changes.
template <typename T> class KeyValueTable
{
public:
    using Getter = std::function<QVariant(const T &)>;
    using Setter = std::function<void(T &, const QVariant &)>;

    // A key with its own getter and setter; no setter makes it read-only.
    KeyValueTable &add(const QString &key, Getter getter, Setter setter = {})
    {
        if (find(key)) {
            qWarning().noquote() << "KeyValueTable: key" << key << "added twice";
            return *this;
        }
        m_entries.push_back({key, std::move(getter), std::move(setter)});
        return *this;
    }

    // A key backed by a data member. A value that does not convert to the
    // member's type is refused with a warning.
    template <typename V> KeyValueTable &field(const QString &key, V T::*member)
    {
        return add(
            key, [member](const T &o) { return QVariant::fromValue(o.*member); },
            [member, key](T &o, const QVariant &v) {
                if (auto converted = convert<V>(v, key))
                    o.*member = *converted;
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
                if (auto converted = convert<Stored>(v, key))
                    (o.*setter)(*converted);
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
        e->setter(object, value);
        return true;
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
        UndoManager::registerUndo(
            undo, [this, object, old, key, undo] { setValueForKey(object, old, key, undo); });
        return setValueForKey(*object, value, key);
    }

private:
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
