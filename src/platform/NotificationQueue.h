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
// queue is being flushed waits for the next pass. Main thread only.
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

    // Posts through `center`, which must outlive the queue.
    explicit NotificationQueue(NotificationCenter &center, QObject *parent = nullptr);
    ~NotificationQueue() override;

    // The queue of the default notification center.
    static NotificationQueue &defaultQueue();

    void enqueue(const Notification &notification, int coalescing = CoalesceOnNameAndSender);
    void enqueue(const QString &name, const void *sender,
                 const QVariantMap &userInfo = QVariantMap(),
                 int coalescing = CoalesceOnNameAndSender);

    // Posts what is pending now, in the order it was enqueued. Runs by itself
    // at the end of the pass; tests call it directly.
    void flush();

    // While suspended (a drag or a modal loop runs) the end of a pass posts
    // nothing; resuming lets the next pass post what piled up. A counter.
    void suspend();
    void resume();

    int pendingCount() const { return int(m_pending.size()); }

private:
    void scheduleFlush();

    NotificationCenter &m_center;
    std::vector<Notification> m_pending;
    // What is pending, for coalescing without a scan (a large selection
    // enqueues one notification per graphic).
    QSet<std::pair<QString, const void *>> m_pendingKeys;
    QSet<QString> m_pendingNames;
    QSet<const void *> m_pendingSenders;
    bool m_flushScheduled = false;
    int m_suspended = 0;
};
