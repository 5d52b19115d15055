#pragma once

#include "platform/Notification.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <utility>
#include <vector>

class NotificationCenter;

// Notifications posted once the current event-loop pass ends, so that many
// changes in one pass are announced once. An enqueued notification that
// matches a pending one (by name and sender, by default) is dropped; the
// first one keeps its place and details. What observers enqueue while the
// queue is being flushed waits for the next pass. A notification whose
// watched object (or a watched object of its details) has been freed by the
// time it would be posted is dropped; objects that are not watched cannot be
// queued, since nothing would tell that they are gone. Main thread only.
class NotificationQueue : public QObject
{
    Q_OBJECT

public:
    enum Coalescing {
        NoCoalescing = 0,
        CoalesceOnName = 1,
        CoalesceOnSender = 2,
        CoalesceOnNameAndSender = CoalesceOnName | CoalesceOnSender,
    };

    // As soon as possible: once the current event-loop pass ends. When idle:
    // after that, once the event loop has nothing else to do.
    enum PostingStyle { PostASAP, PostWhenIdle };

    // Posts through `center`, which must outlive the queue.
    explicit NotificationQueue(NotificationCenter &center, QObject *parent = nullptr);
    ~NotificationQueue() override;

    // The queue of the default notification center.
    static NotificationQueue &defaultQueue();

    void enqueue(const Notification &notification, int coalescing = CoalesceOnNameAndSender,
                 PostingStyle style = PostASAP);
    void enqueue(const QString &name, const NotificationObject &sender,
                 const QVariantMap &userInfo = QVariantMap(),
                 int coalescing = CoalesceOnNameAndSender, PostingStyle style = PostASAP);

    // Posts what is pending now, in the order it was enqueued, the
    // as-soon-as-possible ones before those waiting for idle time. Runs by
    // itself; tests call it directly.
    void flush();

    // While suspended (a drag or a modal loop runs) the end of a pass posts
    // nothing; resuming lets the next pass post what piled up. A counter.
    void suspend();
    void resume();

    int pendingCount() const { return int(m_pending.size() + m_idle.size()); }
    // Whether a notification of `name` from `sender` waits to be posted: one
    // coalescing on both would be dropped.
    bool isPending(const QString &name, const void *sender) const;

private:
    void scheduleFlush();
    void scheduleIdleFlush();
    void post(std::vector<Notification> batch);
    void rebuildPendingKeys();

    NotificationCenter &m_center;
    std::vector<Notification> m_pending;
    std::vector<Notification> m_idle;
    // What is pending, for coalescing without a scan (a large selection
    // enqueues one notification per graphic).
    QSet<std::pair<QString, const void *>> m_pendingKeys;
    QSet<QString> m_pendingNames;
    QSet<const void *> m_pendingSenders;
    bool m_flushScheduled = false;
    bool m_idleFlushScheduled = false;
    QMetaObject::Connection m_idleWatch;
    int m_suspended = 0;
};
