#include "platform/NotificationQueue.h"
#include "platform/NotificationCenter.h"

#include <QAbstractEventDispatcher>
#include <QDebug>
#include <QMetaObject>
#include <QPointer>

NotificationQueue::NotificationQueue(NotificationCenter &center, QObject *parent)
    : QObject(parent), m_center(center)
{}

NotificationQueue::~NotificationQueue() = default;

NotificationQueue &NotificationQueue::defaultQueue()
{
    static NotificationQueue queue(NotificationCenter::defaultCenter());
    return queue;
}

namespace {

// Every object the notification names, so that none can be read after it is freed.
template <class F> bool allObjects(const Notification &n, F &&pred)
{
    if (!pred(n.sender))
        return false;
    for (auto it = n.userInfo.cbegin(); it != n.userInfo.cend(); ++it) {
        if (it.value().metaType() == QMetaType::fromType<NotificationObject>() &&
            !pred(it.value().value<NotificationObject>()))
            return false;
    }
    return true;
}

} // namespace

void NotificationQueue::enqueue(const QString &name, const NotificationObject &sender,
                                const QVariantMap &userInfo, int coalescing, PostingStyle style)
{
    enqueue(Notification{name, sender, userInfo}, coalescing, style);
}

void NotificationQueue::enqueue(const Notification &n, int coalescing, PostingStyle style)
{
    const bool kept =
        allObjects(n, [](const NotificationObject &o) { return o.isNull() || o.isWatched(); });
    if (!kept) {
        qWarning("NotificationQueue: \"%s\" names an object that is not watched; not queued",
                 qPrintable(n.name));
        return;
    }
    // Coalescing looks at everything pending, whatever its posting style.
    const bool onName = coalescing & CoalesceOnName;
    const bool onSender = coalescing & CoalesceOnSender;
    if (onName && onSender) {
        if (m_pendingKeys.contains({n.name, n.sender.identity()}))
            return;
    } else if (onName) {
        if (m_pendingNames.contains(n.name))
            return;
    } else if (onSender) {
        if (m_pendingSenders.contains(n.sender.identity()))
            return;
    }
    m_pendingKeys.insert({n.name, n.sender.identity()});
    m_pendingNames.insert(n.name);
    m_pendingSenders.insert(n.sender.identity());
    if (style == PostWhenIdle) {
        m_idle.push_back(n);
        scheduleIdleFlush();
    } else {
        m_pending.push_back(n);
        scheduleFlush();
    }
}

bool NotificationQueue::isPending(const QString &name, const void *sender) const
{
    // A poster asking again usually finds its post among the last queued:
    // no hash of the name then.
    const auto last = m_pending.size() < 4 ? m_pending.begin() : m_pending.end() - 4;
    for (auto it = m_pending.end(); it != last;) {
        --it;
        if (it->sender.identity() == sender && it->name == name)
            return true;
    }
    return m_pendingKeys.contains({name, sender});
}

void NotificationQueue::scheduleFlush()
{
    if (m_flushScheduled || m_suspended > 0)
        return;
    m_flushScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_flushScheduled = false;
            if (m_suspended > 0 || m_pending.empty())
                return;
            std::vector<Notification> batch;
            batch.swap(m_pending);
            rebuildPendingKeys();
            post(std::move(batch));
        },
        Qt::QueuedConnection);
}

void NotificationQueue::scheduleIdleFlush()
{
    if (m_idleWatch || m_suspended > 0)
        return;
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(thread());
    if (!dispatcher)
        return; // no event loop: only an explicit flush posts them
    // The dispatcher is about to wait for events: the loop is idle. Post from
    // a queued call rather than from inside the dispatcher, which wakes the
    // loop for one more pass.
    m_idleWatch = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
        disconnect(m_idleWatch);
        m_idleWatch = {};
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_suspended > 0 || m_idle.empty())
                    return;
                if (!m_pending.empty()) { // not idle after all: wait for the next quiet moment
                    scheduleIdleFlush();
                    return;
                }
                std::vector<Notification> batch;
                batch.swap(m_idle);
                rebuildPendingKeys();
                post(std::move(batch));
            },
            Qt::QueuedConnection);
    });
}

void NotificationQueue::rebuildPendingKeys()
{
    m_pendingKeys.clear();
    m_pendingNames.clear();
    m_pendingSenders.clear();
    for (const std::vector<Notification> *list : {&m_pending, &m_idle}) {
        for (const Notification &n : *list) {
            m_pendingKeys.insert({n.name, n.sender.identity()});
            m_pendingNames.insert(n.name);
            m_pendingSenders.insert(n.sender.identity());
        }
    }
}

void NotificationQueue::flush()
{
    if (m_pending.empty() && m_idle.empty())
        return;
    // Take the batch first: observers may enqueue again, and those go to the
    // next pass rather than extending this one (no live-lock).
    std::vector<Notification> batch;
    batch.swap(m_pending);
    batch.insert(batch.end(), std::make_move_iterator(m_idle.begin()),
                 std::make_move_iterator(m_idle.end()));
    m_idle.clear();
    rebuildPendingKeys();
    post(std::move(batch));
}

void NotificationQueue::post(std::vector<Notification> batch)
{
    // An observer may destroy the queue (closing its document): the rest of
    // the batch goes with it.
    QPointer<NotificationQueue> alive(this);
    for (const Notification &n : batch) {
        if (!alive)
            return;
        // What the notification is about was freed after it was queued.
        if (!allObjects(n, [](const NotificationObject &o) { return !o.isGone(); }))
            continue;
        m_center.post(n);
    }
}

void NotificationQueue::suspend()
{
    ++m_suspended;
}

void NotificationQueue::resume()
{
    if (m_suspended == 0) {
        qWarning("NotificationQueue: resume without a matching suspend");
        return;
    }
    if (--m_suspended == 0) {
        if (!m_pending.empty())
            scheduleFlush();
        if (!m_idle.empty())
            scheduleIdleFlush();
    }
}
