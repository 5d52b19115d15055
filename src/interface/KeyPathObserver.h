#pragma once

#include "platform/NotificationCenter.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

// Follows a chain of keys such as "document.mapsDocument.currentMap.zoomAmount"
// from a root object: each link reads the next object (or, last, the value)
// from the one before and names the notifications its owner posts when that
// link changes. When a link changes, everything after it is read again and
// observed anew, so the observer follows whatever map becomes current.
class KeyPathObserver : public QObject
{
    Q_OBJECT

public:
    // Objects travel as untyped pointers in QVariant (`objectVariant`).
    struct Link
    {
        std::function<QVariant(const void *owner)> read;
        // Posted by the owner when this link's value changes.
        QStringList changeNotifications;
    };

    static QVariant objectVariant(const void *object)
    {
        return QVariant::fromValue(const_cast<void *>(object));
    }
    static const void *objectOf(const QVariant &value) { return value.value<void *>(); }

    // Links are known by key name; a key may be registered once per program.
    static void registerLink(const QString &key, Link link);
    static bool hasLink(const QString &key);

    // Keys without a registered link end the chain: the value is then none.
    KeyPathObserver(const void *root, const QString &keyPath, QObject *parent = nullptr);

    const QString &keyPath() const { return m_keyPath; }
    QVariant value() const { return m_value; }

signals:
    void valueChanged(const QVariant &value);

private:
    // Reads the chain from link `from` on and observes each owner.
    void rebind(int from);
    void scheduleRebind(int from);

    QString m_keyPath;
    QStringList m_keys;
    std::vector<const void *> m_owners; // the owner of each link, as last read
    std::vector<std::vector<ObserverToken>> m_tokens;
    QVariant m_value;
    int m_pendingFrom = -1;
};
