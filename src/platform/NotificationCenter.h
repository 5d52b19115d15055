#pragma once

#include "platform/Notification.h"

#include <functional>
#include <memory>

class NotificationCenter;

// Keeps an observer registered for as long as it lives; destroying or
// resetting it removes the observer, even in the middle of a post. Move-only.
class ObserverToken
{
public:
    ObserverToken() = default;
    ObserverToken(ObserverToken &&other) noexcept;
    ObserverToken &operator=(ObserverToken &&other) noexcept;
    ObserverToken(const ObserverToken &) = delete;
    ObserverToken &operator=(const ObserverToken &) = delete;
    ~ObserverToken();

    void reset();
    bool isActive() const;

private:
    friend class NotificationCenter;
    struct Registry;
    ObserverToken(std::weak_ptr<Registry> registry, quint64 id);

    std::weak_ptr<Registry> m_registry;
    quint64 m_id = 0;
};

// Synchronous delivery of notifications by name. Observers are called in the
// order they registered; one registered during a post is not called by that
// post, one removed during a post is not called after its removal. Main thread only.
class NotificationCenter
{
public:
    using Callback = std::function<void(const Notification &)>;

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    static NotificationCenter &defaultCenter();

    // An empty `name` observes every name, a null `sender` every sender.
    [[nodiscard]] ObserverToken observe(const QString &name, const void *sender, Callback callback);

    void post(const Notification &notification);
    void post(const QString &name, const NotificationObject &sender = {},
              const QVariantMap &userInfo = QVariantMap());

    int observerCount() const;
    // Whether a post of the name would reach anyone (of some sender): work
    // done only for a notification can be skipped when not.
    bool isObserved(const QString &name) const;
    // The same, leaving out the observer `token` holds: a poster whose only
    // listener would ignore its post may skip it.
    bool isObservedBesides(const QString &name, const ObserverToken &token) const;
    // Moves on whenever an observer comes or goes.
    quint64 generation() const;

private:
    std::shared_ptr<ObserverToken::Registry> m_registry;
};

// A question a poster asks very often of the default center: whether a post
// of `name` reaches anyone (besides the observer `besides` holds, if given).
// The answer is kept until observers come or go. Main thread only.
class ObservedName
{
public:
    explicit ObservedName(QString name, const ObserverToken *besides = nullptr)
        : m_name(std::move(name)), m_besides(besides)
    {}
    bool operator()() const
    {
        const NotificationCenter &center = NotificationCenter::defaultCenter();
        if (const quint64 now = center.generation(); now != m_generation) {
            m_observed = m_besides ? center.isObservedBesides(m_name, *m_besides)
                                   : center.isObserved(m_name);
            m_generation = now;
        }
        return m_observed;
    }

private:
    QString m_name;
    const ObserverToken *m_besides;
    mutable quint64 m_generation = 0;
    mutable bool m_observed = false;
};
