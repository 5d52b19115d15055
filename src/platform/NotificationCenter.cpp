#include "platform/NotificationCenter.h"

#include <QHash>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>
#include <vector>

struct ObserverToken::Registry
{
    struct Entry
    {
        quint64 id;
        QString name;
        const void *sender;
        NotificationCenter::Callback callback;
        bool alive = true;
    };

    // Entries stay in memory while a post runs, so the posting loop can keep
    // raw pointers; removal only marks them and the sweep happens afterwards.
    std::unordered_map<quint64, std::unique_ptr<Entry>> entries;
    QHash<QString, std::vector<Entry *>> byName; // each list in registration order
    std::vector<Entry *> anyName;
    quint64 nextId = 1;
    // Moves on whenever an entry is added or dies; never 0.
    quint64 generation = 1;
    int postDepth = 0;
    bool sweeping = false;
    std::vector<quint64> dead;

    // Live observers of every name: most posts need not look at that list.
    int liveAnyName = 0;

    // Names posted by the hundred thousand are literals whose text never
    // moves: their lists are remembered by the text's address, so a post
    // hashes no string. A slot holds its own copy of the text and answers
    // only while the text at the address still reads the same.
    struct NameSlot
    {
        const QChar *data = nullptr;
        qsizetype size = 0;
        const std::vector<Entry *> *list = nullptr;
        QString text;
    };
    std::array<NameSlot, 64> nameSlots;

    // Lists move or go whenever a name is added or removed.
    void forgetNameSlots()
    {
        for (NameSlot &slot : nameSlots)
            slot.data = nullptr;
    }

    static NameSlot &slotOf(std::array<NameSlot, 64> &table, const QChar *data)
    {
        return table[(quintptr(data) >> 4) % table.size()];
    }

    const std::vector<Entry *> *observersNamed(const QString &name)
    {
        const QChar *data = name.constData();
        const qsizetype size = name.size();
        const NameSlot &slot = slotOf(nameSlots, data);
        if (slot.data == data && slot.size == size && !name.data_ptr().isMutable() &&
            std::memcmp(data, slot.text.constData(), size_t(size) * sizeof(QChar)) == 0)
            return slot.list;
        return lookUpName(name);
    }

    // Kept out of line: the remembered names above answer nearly every call.
    [[gnu::noinline]] const std::vector<Entry *> *lookUpName(const QString &name)
    {
        const auto it = byName.constFind(name);
        const std::vector<Entry *> *list = it == byName.cend() ? nullptr : &*it;
        // Heap text may be freed and its address reused: looked up each time.
        if (!name.data_ptr().isMutable()) {
            NameSlot &slot = slotOf(nameSlots, name.constData());
            slot.data = name.constData();
            slot.size = name.size();
            slot.text = QString(name.constData(), name.size());
            slot.list = list;
        }
        return list;
    }

    // Whether a post of `name` reaches a live observer other than entry `own` (0: none left out).
    bool observedBesides(const QString &name, quint64 own)
    {
        const auto other = [own](const Entry *e) { return e->alive && e->id != own; };
        if (liveAnyName > 0 && (own == 0 || std::any_of(anyName.begin(), anyName.end(), other)))
            return true;
        const std::vector<Entry *> *named = observersNamed(name);
        return named && std::any_of(named->begin(), named->end(), other);
    }

    void remove(quint64 id)
    {
        auto it = entries.find(id);
        if (it == entries.end() || !it->second->alive)
            return;
        it->second->alive = false;
        ++generation;
        if (it->second->name.isEmpty())
            --liveAnyName;
        dead.push_back(id);
        if (postDepth == 0 && !sweeping)
            sweep();
    }

    void sweep()
    {
        // Destroying a callback may drop the last reference to something that
        // holds more tokens, which then land in `dead` again: take the list
        // first, and destroy each entry only once the lists no longer name it.
        auto isDead = [](const Entry *e) { return !e->alive; };
        sweeping = true;
        while (!dead.empty()) {
            std::vector<quint64> batch;
            batch.swap(dead);
            for (quint64 id : batch) {
                auto it = entries.find(id);
                if (it == entries.end())
                    continue;
                std::unique_ptr<Entry> doomed = std::move(it->second);
                entries.erase(it);
                std::vector<Entry *> *list = nullptr;
                if (doomed->name.isEmpty()) {
                    list = &anyName;
                } else {
                    auto l = byName.find(doomed->name);
                    if (l != byName.end())
                        list = &*l;
                }
                if (list) {
                    list->erase(std::remove_if(list->begin(), list->end(), isDead), list->end());
                    if (list->empty() && list != &anyName) {
                        byName.remove(doomed->name);
                        forgetNameSlots();
                    }
                }
            }
        }
        sweeping = false;
    }
};

ObserverToken::ObserverToken(std::weak_ptr<Registry> registry, quint64 id)
    : m_registry(std::move(registry)), m_id(id)
{}

ObserverToken::ObserverToken(ObserverToken &&other) noexcept
    : m_registry(std::move(other.m_registry)), m_id(other.m_id)
{
    other.m_id = 0;
}

ObserverToken &ObserverToken::operator=(ObserverToken &&other) noexcept
{
    if (this != &other) {
        reset();
        m_registry = std::move(other.m_registry);
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

ObserverToken::~ObserverToken()
{
    reset();
}

void ObserverToken::reset()
{
    if (m_id == 0)
        return;
    if (auto registry = m_registry.lock())
        registry->remove(m_id);
    m_registry.reset();
    m_id = 0;
}

bool ObserverToken::isActive() const
{
    if (m_id == 0)
        return false;
    auto registry = m_registry.lock();
    if (!registry)
        return false;
    auto it = registry->entries.find(m_id);
    return it != registry->entries.end() && it->second->alive;
}

NotificationCenter::NotificationCenter() : m_registry(std::make_shared<ObserverToken::Registry>())
{}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

ObserverToken NotificationCenter::observe(const QString &name, const void *sender,
                                          Callback callback)
{
    using Entry = ObserverToken::Registry::Entry;
    if (!callback)
        return {};
    auto &r = *m_registry;
    const quint64 id = r.nextId++;
    ++r.generation;
    auto entry = std::make_unique<Entry>(Entry{id, name, sender, std::move(callback)});
    Entry *e = entry.get();
    r.entries.emplace(id, std::move(entry));
    if (name.isEmpty()) {
        r.anyName.push_back(e);
        ++r.liveAnyName;
    } else if (auto named = r.byName.find(name); named != r.byName.end()) {
        named->push_back(e);
    } else {
        r.byName.insert(name, {e});
        r.forgetNameSlots();
    }
    return ObserverToken(m_registry, id);
}

void NotificationCenter::post(const QString &name, const NotificationObject &sender,
                              const QVariantMap &userInfo)
{
    // No notification is built for a name nobody observes.
    if (!isObserved(name))
        return;
    post(Notification{name, sender, userInfo});
}

void NotificationCenter::post(const Notification &n)
{
    using Entry = ObserverToken::Registry::Entry;
    // Holding the registry keeps it alive even if a callback destroys this center.
    std::shared_ptr<ObserverToken::Registry> keep = m_registry;
    auto &r = *keep;

    // Snapshot of the matching observers in registration order: the named
    // list and the any-name list are each ordered by id, so merge them.
    QVarLengthArray<Entry *, 32> targets;
    auto matches = [&](const Entry *e) {
        return e->alive && (!e->sender || e->sender == n.sender.identity());
    };
    static const std::vector<Entry *> none;
    const std::vector<Entry *> *named = r.observersNamed(n.name);
    if (!named && r.anyName.empty())
        return;
    const std::vector<Entry *> &a = named ? *named : none;
    const std::vector<Entry *> &b = r.anyName;
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        Entry *e;
        if (j == b.size() || (i < a.size() && a[i]->id < b[j]->id))
            e = a[i++];
        else
            e = b[j++];
        if (matches(e))
            targets.append(e);
    }
    if (targets.isEmpty())
        return;

    struct DepthGuard
    {
        ObserverToken::Registry &r;
        explicit DepthGuard(ObserverToken::Registry &reg) : r(reg) { ++r.postDepth; }
        ~DepthGuard()
        {
            if (--r.postDepth == 0 && !r.dead.empty() && !r.sweeping)
                r.sweep();
        }
    } guard(r);

    for (Entry *e : targets) {
        if (e->alive)
            e->callback(n);
    }
}

int NotificationCenter::observerCount() const
{
    int count = 0;
    for (const auto &[id, e] : m_registry->entries)
        count += e->alive ? 1 : 0;
    return count;
}

quint64 NotificationCenter::generation() const
{
    return m_registry->generation;
}

bool NotificationCenter::isObserved(const QString &name) const
{
    return m_registry->observedBesides(name, 0);
}

bool NotificationCenter::isObservedBesides(const QString &name, const ObserverToken &token) const
{
    // A token of another center leaves out nothing here.
    const bool ours = token.m_id != 0 && !token.m_registry.owner_before(m_registry) &&
                      !m_registry.owner_before(token.m_registry);
    return m_registry->observedBesides(name, ours ? token.m_id : 0);
}
