#include "interface/KeyPathObserver.h"

#include <QDebug>

namespace {

QHash<QString, KeyPathObserver::Link> &links()
{
    static QHash<QString, KeyPathObserver::Link> table;
    return table;
}

} // namespace

void KeyPathObserver::registerLink(const QString &key, Link link)
{
    links().insert(key, std::move(link));
}

bool KeyPathObserver::hasLink(const QString &key)
{
    return links().contains(key);
}

KeyPathObserver::KeyPathObserver(const void *root, const QString &keyPath, QObject *parent)
    : QObject(parent), m_keyPath(keyPath), m_keys(keyPath.split(QLatin1Char('.')))
{
    m_owners.assign(size_t(m_keys.size()), nullptr);
    m_tokens.resize(size_t(m_keys.size()));
    m_owners[0] = root;
    rebind(0);
}

void KeyPathObserver::scheduleRebind(int from)
{
    if (m_pendingFrom != -1) {
        m_pendingFrom = std::min(m_pendingFrom, from);
        return;
    }
    m_pendingFrom = from;
    QMetaObject::invokeMethod(
        this,
        [this] {
            const int pending = m_pendingFrom;
            m_pendingFrom = -1;
            if (pending >= 0)
                rebind(pending);
        },
        Qt::QueuedConnection);
}

void KeyPathObserver::rebind(int from)
{
    const QVariant old = m_value;
    QVariant current = objectVariant(m_owners[size_t(from)]);
    for (int i = from; i < m_keys.size(); ++i) {
        std::vector<ObserverToken> &tokens = m_tokens[size_t(i)];
        tokens.clear();
        const void *owner = i == from ? m_owners[size_t(i)] : objectOf(current);
        m_owners[size_t(i)] = owner;
        const auto link = links().constFind(m_keys[i]);
        if (!owner || link == links().cend()) {
            if (owner && link == links().cend())
                qWarning().noquote() << "KeyPathObserver: no link for" << m_keys[i];
            // The rest of the chain is unreachable until this link changes.
            for (int j = i + 1; j < m_keys.size(); ++j) {
                m_tokens[size_t(j)].clear();
                m_owners[size_t(j)] = nullptr;
            }
            current = QVariant();
            break;
        }
        for (const QString &name : link->changeNotifications)
            tokens.push_back(NotificationCenter::defaultCenter().observe(
                name, owner, [this, i](const Notification &) { scheduleRebind(i); }));
        current = link->read(owner);
    }
    m_value = current;
    if (m_value != old)
        emit valueChanged(m_value);
}
