#include "platform/NotificationQueue.h"
#include "platform/NotificationCenter.h"

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

void NotificationQueue::enqueue(const QString &name, const void *sender,
                                const QVariantMap &userInfo, int coalescing)
{
    enqueue(Notification{name, sender, userInfo}, coalescing);
}

void NotificationQueue::enqueue(const Notification &n, int coalescing)
{
    const bool onName = coalescing & CoalesceOnName;
    const bool onSender = coalescing & CoalesceOnSender;
    if (onName && onSender) {
        if (m_pendingKeys.contains({n.name, n.sender}))
            return;
    } else if (onName) {
        if (m_pendingNames.contains(n.name))
            return;
    } else if (onSender) {
        if (m_pendingSenders.contains(n.sender))
            return;
    }
    m_pending.push_back(n);
    m_pendingKeys.insert({n.name, n.sender});
    m_pendingNames.insert(n.name);
    m_pendingSenders.insert(n.sender);
    scheduleFlush();
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
            if (m_suspended == 0)
                flush();
        },
        Qt::QueuedConnection);
}

void NotificationQueue::flush()
{
    if (m_pending.empty())
        return;
    // Take the batch first: observers may enqueue again, and those go to the
    // next pass rather than extending this one (no live-lock).
    std::vector<Notification> batch;
    batch.swap(m_pending);
    m_pendingKeys.clear();
    m_pendingNames.clear();
    m_pendingSenders.clear();
    // An observer may destroy the queue (closing its document): the rest of
    // the batch goes with it.
    QPointer<NotificationQueue> alive(this);
    for (const Notification &n : batch) {
        if (!alive)
            return;
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
    if (--m_suspended == 0 && !m_pending.empty())
        scheduleFlush();
}
