#pragma once

#include "platform/UndoManager.h"

#include <QDebug>
#include <QString>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// What an IndexedList reports around each change: the list's key, the kind
// of change and the indexes concerned, once before (Will) and once after (Did).
struct ListChange
{
    enum class Kind { Insertion, Removal, Replacement, Setting };
    enum class Phase { Will, Did };

    QString key;
    Kind kind;
    Phase phase;
    std::vector<int> indexes; // empty for Setting
};

// An ordered to-many value whose every insert, remove, replace and wholesale
// setting registers its inverse with the undo manager (when there is one) and
// is announced to the change handler. Out-of-range indexes are refused with a
// warning and change nothing. Elements are compared with == (for shared_ptr
// that is identity).
template <typename T> class IndexedList
{
public:
    using ChangeHandler = std::function<void(const ListChange &)>;

    explicit IndexedList(QString key) : m_key(std::move(key)) {}
    IndexedList(const IndexedList &) = delete;
    IndexedList &operator=(const IndexedList &) = delete;

    const QString &key() const { return m_key; }

    void setUndoManager(UndoManager *undo) { m_undo = undo; }
    UndoManager *undoManager() const { return m_undo; }
    // The object that owns this list: undo steps keep it (and so the list)
    // alive. Without one the list must outlive the undo steps it registers.
    void setOwner(std::weak_ptr<void> owner) { m_owner = std::move(owner); }
    void setChangeHandler(ChangeHandler handler) { m_handler = std::move(handler); }

    int count() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }
    const T &at(int index) const { return m_items.at(size_t(index)); }
    const std::vector<T> &items() const { return m_items; }
    std::vector<T> range(int location, int length) const
    {
        if (location < 0 || length < 0 || location + length > count()) {
            qWarning().noquote() << "IndexedList" << m_key << ": range out of bounds";
            return {};
        }
        return {m_items.begin() + location, m_items.begin() + location + length};
    }
    int indexOf(const T &value) const
    {
        for (int i = 0; i < count(); ++i) {
            if (m_items[size_t(i)] == value)
                return i;
        }
        return -1;
    }
    bool contains(const T &value) const { return indexOf(value) >= 0; }

    void insert(const T &value, int index)
    {
        if (index < 0 || index > count())
            return outOfRange("insert", index);
        registerInverse([this, index] { removeAt(index); });
        announce(ListChange::Kind::Insertion, ListChange::Phase::Will, {index});
        m_items.insert(m_items.begin() + index, value);
        announce(ListChange::Kind::Insertion, ListChange::Phase::Did, {index});
    }
    void append(const T &value) { insert(value, count()); }

    void removeAt(int index)
    {
        if (index < 0 || index >= count())
            return outOfRange("remove", index);
        T old = m_items[size_t(index)];
        registerInverse([this, old, index] { insert(old, index); });
        announce(ListChange::Kind::Removal, ListChange::Phase::Will, {index});
        m_items.erase(m_items.begin() + index);
        announce(ListChange::Kind::Removal, ListChange::Phase::Did, {index});
    }

    void replace(int index, const T &value)
    {
        if (index < 0 || index >= count())
            return outOfRange("replace", index);
        T old = m_items[size_t(index)];
        registerInverse([this, old, index] { replace(index, old); });
        announce(ListChange::Kind::Replacement, ListChange::Phase::Will, {index});
        m_items[size_t(index)] = value;
        announce(ListChange::Kind::Replacement, ListChange::Phase::Did, {index});
    }

    void removeAll()
    {
        if (m_items.empty())
            return;
        std::vector<int> all(m_items.size());
        for (size_t i = 0; i < all.size(); ++i)
            all[i] = int(i);
        std::vector<T> old = m_items;
        registerInverse([this, old] { setAll(old); });
        announce(ListChange::Kind::Removal, ListChange::Phase::Will, all);
        m_items.clear();
        announce(ListChange::Kind::Removal, ListChange::Phase::Did, all);
    }

    // Replaces the whole content (re-sorting, restoring); its inverse sets the old content.
    void setAll(std::vector<T> values)
    {
        std::vector<T> old = m_items;
        registerInverse([this, old] { setAll(old); });
        announce(ListChange::Kind::Setting, ListChange::Phase::Will, {});
        m_items = std::move(values);
        announce(ListChange::Kind::Setting, ListChange::Phase::Did, {});
    }

private:
    void registerInverse(std::function<void()> inverse)
    {
        if (!m_undo)
            return;
        std::shared_ptr<void> owner = m_owner.lock();
        if (owner) {
            m_undo->registerUndo([owner, inverse = std::move(inverse)] { inverse(); });
        } else {
            m_undo->registerUndo(std::move(inverse));
        }
    }

    void announce(ListChange::Kind kind, ListChange::Phase phase, std::vector<int> indexes)
    {
        if (m_handler)
            m_handler(ListChange{m_key, kind, phase, std::move(indexes)});
    }

    void outOfRange(const char *what, int index) const
    {
        qWarning().noquote() << "IndexedList" << m_key << ":" << what << "at index" << index
                             << "out of range (count" << count() << ")";
    }

    QString m_key;
    std::vector<T> m_items;
    UndoManager *m_undo = nullptr;
    std::weak_ptr<void> m_owner;
    ChangeHandler m_handler;
};
