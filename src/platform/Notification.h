#pragma once

#include <QMetaType>
#include <QString>
#include <QVariantMap>

#include <cstddef>
#include <memory>

// The object a notification is about, or an object named in its details.
// Compared by identity. One given as a shared or weak pointer is also watched:
// a queued notification whose object has gone is dropped, and `lock()` hands
// out the object only while it lives. One given as a bare pointer is identity
// only; such objects may be posted about synchronously but never queued.
class NotificationObject
{
public:
    NotificationObject() = default;
    NotificationObject(std::nullptr_t) {}
    NotificationObject(const void *identity) : m_identity(identity) {}
    template <class T>
    NotificationObject(const std::shared_ptr<T> &object)
        : m_identity(object.get()),
          m_watched(std::const_pointer_cast<std::remove_const_t<T>>(object)),
          m_isWatched(object != nullptr)
    {}
    template <class T>
    NotificationObject(const std::weak_ptr<T> &object) : NotificationObject(object.lock())
    {}

    const void *identity() const { return m_identity; }
    bool isNull() const { return m_identity == nullptr; }
    bool isWatched() const { return m_isWatched; }
    // A watched object that has been freed since.
    bool isGone() const { return m_isWatched && m_watched.expired(); }

    // The watched object while it lives; null for identity-only objects.
    template <class T> std::shared_ptr<T> lock() const
    {
        return std::static_pointer_cast<T>(m_watched.lock());
    }

    friend bool operator==(const NotificationObject &a, const NotificationObject &b)
    {
        return a.m_identity == b.m_identity;
    }
    friend bool operator==(const NotificationObject &a, const void *b) { return a.m_identity == b; }

private:
    const void *m_identity = nullptr;
    std::weak_ptr<void> m_watched;
    bool m_isWatched = false;
};

Q_DECLARE_METATYPE(NotificationObject)

// One announcement: a name from the system's own vocabulary, the object it is
// about and optional details. Details that name model objects hold them as
// `NotificationObject` values (`QVariant::fromValue(NotificationObject(ptr))`).
struct Notification
{
    QString name;
    NotificationObject sender;
    QVariantMap userInfo;
};
