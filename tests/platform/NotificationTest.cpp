#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

// Stand-ins for senders, owned as model objects are.
const auto mapA = std::make_shared<int>(), mapB = std::make_shared<int>();

class NotificationTest : public ::testing::Test
{
protected:
    // An observer that notes "<label><name>@<sender>" for what it receives.
    ObserverToken note(const QString &name, const NotificationObject &sender,
                       const QString &label = {})
    {
        return nc.observe(name, sender.identity(), [this, label](const Notification &n) {
            got << label + n.name +
                       (n.sender == mapA.get()   ? "@A"
                        : n.sender == mapB.get() ? "@B"
                                                 : "");
            lastInfo = n.userInfo;
        });
    }
    NotificationCenter nc;
    NotificationQueue queue{nc};
    QStringList got;
    QVariantMap lastInfo;
};

} // namespace

TEST_F(NotificationTest, CenterDeliversByNameAndSenderInRegistrationOrder)
{
    auto t1 = note("Changed", mapA, "1:");
    auto t2 = note("Changed", nullptr, "2:");
    auto t3 = note(QString(), nullptr, "3:");
    auto t4 = note("Changed", mapB, "4:");
    auto t5 = note("Other", nullptr, "5:");
    nc.post("Changed", mapA, {{"affectedGraphics", 3}});
    EXPECT_EQ(lastInfo.value("affectedGraphics").toInt(), 3);
    nc.post("Changed", mapB);
    nc.post("Changed"); // no sender: only observers of any sender
    nc.post("Unobserved", mapA);
    EXPECT_EQ(
        got, QStringList({"1:Changed@A", "2:Changed@A", "3:Changed@A", "2:Changed@B", "3:Changed@B",
                          "4:Changed@B", "2:Changed", "3:Changed", "3:Unobserved@A"}));
}

TEST_F(NotificationTest, TokensRemoveTheirObserverWhenTheyDieMoveOrReset)
{
    note("N", nullptr, "dead:"); // the token dies at once
    auto t = note("N", nullptr, "t:");
    ObserverToken moved = std::move(t);
    EXPECT_FALSE(t.isActive());
    nc.post("N");
    // Move-assigning over a live token removes the observer it held.
    moved = note("M", nullptr, "m:");
    nc.post("N");
    nc.post("M");
    moved.reset();
    nc.post("M");
    EXPECT_EQ(got, QStringList({"t:N", "m:M"}));
    EXPECT_EQ(nc.observerCount(), 0);

    ObserverToken outliving;
    {
        NotificationCenter other;
        outliving = other.observe("N", nullptr, [](const Notification &) {});
    }
    EXPECT_FALSE(outliving.isActive()); // and resetting it is harmless
    outliving.reset();
}

TEST_F(NotificationTest, ObserversMayRemoveAndAddObserversDuringAPost)
{
    ObserverToken first, second, third, added;
    first = nc.observe("N", nullptr, [&](const Notification &) {
        got << "first";
        first.reset(); // itself
        third.reset(); // a later one: must not be called by this post
        added = note("N", nullptr, "added:");
    });
    second = nc.observe("N", nullptr, [&](const Notification &) {
        got << "second";
        nc.post("Inner"); // nested post while the outer one runs
    });
    third = note("N", nullptr, "third:");
    auto inner = note("Inner", nullptr);
    nc.post("N");
    nc.post("N");
    EXPECT_EQ(got, QStringList({"first", "second", "Inner", "second", "Inner", "added:N"}));
}

TEST_F(NotificationTest, ThreeQueuedPostsOfOneNameAndSenderArriveOnceAfterThePass)
{
    auto all = note(QString(), nullptr);
    for (int i = 1; i <= 3; ++i)
        queue.enqueue("SelectedGraphicsChangedNotification", mapA, {{"affectedGraphics", i}});
    EXPECT_TRUE(got.isEmpty()); // nothing before the pass ends
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got, QStringList({"SelectedGraphicsChangedNotification@A"}));
    EXPECT_EQ(lastInfo.value("affectedGraphics").toInt(), 1); // the first keeps its details
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got.size(), 1);
}

TEST_F(NotificationTest, QueueCoalescingMasksKeepTheFirstInItsPlace)
{
    auto all = note(QString(), nullptr);
    const struct
    {
        QString name;
        std::shared_ptr<int> sender;
        int coalescing;
    } posts[] = {
        {"Added", mapA, NotificationQueue::CoalesceOnNameAndSender},
        {"Changed", mapA, NotificationQueue::CoalesceOnNameAndSender},
        {"Added", mapB, NotificationQueue::CoalesceOnNameAndSender},
        {"Added", mapA, NotificationQueue::CoalesceOnNameAndSender}, // dropped
        {"Idle", mapA, NotificationQueue::CoalesceOnName},
        {"Idle", mapB, NotificationQueue::CoalesceOnName}, // dropped
        {"Plain", mapA, NotificationQueue::NoCoalescing},
        {"Plain", mapA, NotificationQueue::NoCoalescing},
        {"Other", mapB, NotificationQueue::CoalesceOnSender}, // dropped: Added@B is pending
        {"Alone", nullptr, NotificationQueue::CoalesceOnSender},
        {"Again", mapA, NotificationQueue::CoalesceOnNameAndSender},
    };
    for (const auto &p : posts)
        queue.enqueue(p.name, p.sender, {}, p.coalescing);
    queue.flush();
    EXPECT_EQ(got, QStringList({"Added@A", "Changed@A", "Added@B", "Idle@A", "Plain@A", "Plain@A",
                                "Alone", "Again@A"}));
}

TEST_F(NotificationTest, WhatIsEnqueuedDuringAFlushWaitsForTheNextPass)
{
    auto all = note(QString(), nullptr);
    auto echo = nc.observe("Ping", nullptr, [&](const Notification &) {
        queue.enqueue("Ping", mapA); // the same name and sender as the one being posted
        queue.enqueue("Pong", mapA);
    });
    queue.enqueue("Ping", mapA);
    queue.flush();
    EXPECT_EQ(got, QStringList({"Ping@A"}));
    EXPECT_EQ(queue.pendingCount(), 2); // not coalesced into the batch being posted

    // Through the event loop: one delivery per pass, never a live-lock.
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got, QStringList({"Ping@A", "Ping@A", "Pong@A"}));
    echo.reset();
    TestSupport::runEventLoopPass();
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got.size(), 5);
}

// A poster may ask first whether its post would only be coalesced away:
// pending means queued under that name and sender, whatever the style,
// until the queue posts it.
TEST_F(NotificationTest, APostIsPendingByNameAndSenderUntilItGoesOut)
{
    const struct
    {
        const char *what;
        QString name;
        const void *sender;
        bool pending;
    } cases[] = {
        {"as queued", "Reload", mapA.get(), true},
        {"when idle too", "Idle", mapB.get(), true},
        {"no sender", "Plain", nullptr, true},
        {"another sender", "Reload", mapB.get(), false},
        {"another name", "Other", mapA.get(), false},
        {"queued without a sender", "Plain", mapA.get(), false},
        {"among the last queued", "Filler3", mapB.get(), true},
        {"among the last, another sender", "Filler3", mapA.get(), false},
    };
    queue.enqueue("Reload", mapA);
    queue.enqueue("Idle", mapB, {}, NotificationQueue::CoalesceOnNameAndSender,
                  NotificationQueue::PostWhenIdle);
    queue.enqueue("Plain", nullptr);
    for (const char *filler : {"Filler1", "Filler2", "Filler3", "Filler4", "Filler5"})
        queue.enqueue(filler, mapB);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(queue.isPending(c.name, c.sender), c.pending);
    }
    queue.flush();
    for (const auto &c : cases)
        EXPECT_FALSE(queue.isPending(c.name, c.sender)) << c.what;
}

TEST_F(NotificationTest, SuspensionHoldsQueuedPostsAndDestructionDropsThem)
{
    auto all = note(QString(), nullptr);
    queue.enqueue("TWOutlineNeedsReloadNotification", mapA); // its pass is under way
    queue.suspend();
    queue.enqueue("TWOutlineNeedsReloadNotification", mapB);
    TestSupport::runEventLoopPass();
    queue.suspend();
    queue.resume();
    TestSupport::runEventLoopPass();
    EXPECT_TRUE(got.isEmpty());
    queue.resume();
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got, QStringList({"TWOutlineNeedsReloadNotification@A",
                                "TWOutlineNeedsReloadNotification@B"}));
    {
        NotificationQueue doomed(nc);
        doomed.enqueue("Dropped", nullptr);
    }
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got.size(), 2);

    // An observer that closes what owns the queue ends the flush there.
    auto *owned = new NotificationQueue(nc);
    auto closer = nc.observe("Close", nullptr, [&](const Notification &) { delete owned; });
    owned->enqueue("Close", nullptr);
    owned->enqueue("AfterClose", nullptr);
    owned->flush();
    EXPECT_EQ(got.size(), 3);
    EXPECT_EQ(got.last(), "Close");
}

TEST_F(NotificationTest, RemovingAnObserverWhoseCallbackOwnsOtherTokensIsSafe)
{
    // The callback keeps alive an object holding more tokens of this center:
    // removing the observer destroys the callback, which removes those too.
    struct Holder
    {
        std::vector<ObserverToken> tokens;
    };
    auto holder = std::make_shared<Holder>();
    for (int i = 0; i < 4; ++i)
        holder->tokens.push_back(note("Held", nullptr));
    ObserverToken owner, other;
    ObserverToken remover = nc.observe("N", nullptr, [&](const Notification &) {
        owner.reset(); // both go when the post ends
        other.reset();
    });
    owner = nc.observe("N", nullptr, [holder](const Notification &) {});
    other = note("N", nullptr);
    holder.reset();
    nc.post("N");
    EXPECT_EQ(nc.observerCount(), 1);
    remover.reset();
    nc.post("Held");
    nc.post("N");
    EXPECT_TRUE(got.isEmpty());
    EXPECT_EQ(nc.observerCount(), 0);
}

TEST_F(NotificationTest, QueuedNotificationsNeverNameFreedObjects)
{
    auto all = note(QString(), nullptr);
    auto graphic = std::make_shared<int>(7);
    auto map = std::make_shared<int>(8);
    queue.enqueue("SelectedGraphicsChangedNotification", graphic);
    queue.enqueue("DelayedRedrawInRectNotification", nullptr,
                  {{"map", QVariant::fromValue(NotificationObject(map))}});
    queue.enqueue("Kept", mapA, {{"map", QVariant::fromValue(NotificationObject(mapB))}});
    // A bare pointer tells nothing about its lifetime: refused, not queued.
    int bare = 0;
    queue.enqueue("Bare", &bare);
    queue.enqueue("BareInDetails", nullptr,
                  {{"map", QVariant::fromValue(NotificationObject(&bare))}});
    EXPECT_EQ(queue.pendingCount(), 3);

    graphic.reset();
    map.reset();
    queue.flush();
    EXPECT_EQ(got, QStringList({"Kept@A"}));
    EXPECT_EQ(lastInfo.value("map").value<NotificationObject>().lock<int>(), mapB);

    // An identity-only object can still be posted about synchronously, and
    // hands out nothing through lock().
    nc.post("Sync", &bare, {{"map", QVariant::fromValue(NotificationObject(&bare))}});
    EXPECT_EQ(got.last(), "Sync");
    EXPECT_EQ(lastInfo.value("map").value<NotificationObject>().lock<int>(), nullptr);
}

TEST_F(NotificationTest, IdleNotificationsFollowTheSoonOnes)
{
    auto all = note(QString(), nullptr);
    queue.enqueue("Idle", mapA, {}, NotificationQueue::CoalesceOnNameAndSender,
                  NotificationQueue::PostWhenIdle);
    queue.enqueue("Soon", mapA);
    // Coalescing spans both styles.
    queue.enqueue("Idle", mapA);
    queue.flush();
    EXPECT_EQ(got, QStringList({"Soon@A", "Idle@A"}));

    got.clear();
    queue.enqueue("Idle", mapB, {}, NotificationQueue::CoalesceOnNameAndSender,
                  NotificationQueue::PostWhenIdle);
    queue.enqueue("Soon", mapB);
    // Through the event loop: the idle one, enqueued first, waits for the
    // loop to run out of work.
    for (int i = 0; i < 5 && got.size() < 2; ++i)
        TestSupport::runEventLoopPass();
    EXPECT_EQ(got, QStringList({"Soon@B", "Idle@B"}));
}

// A name is observed while a live observer of it, of any sender, or of
// every name is registered; removed observers, also during a post, no longer
// count.
TEST_F(NotificationTest, ANameIsObservedWhileAnyoneCouldReceiveIt)
{
    EXPECT_FALSE(nc.isObserved("Redraw"));
    const struct
    {
        const char *observed; // a name, "" for every name
        const void *sender;
        bool redrawObserved;
    } cases[] = {{"Redraw", nullptr, true},
                 {"Redraw", mapA.get(), true},
                 {"Other", nullptr, false},
                 {"", nullptr, true},
                 {"", mapB.get(), true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.observed) + (c.sender ? " of a sender" : ""));
        ObserverToken token = nc.observe(c.observed, c.sender, [](const Notification &) {});
        EXPECT_EQ(nc.isObserved("Redraw"), c.redrawObserved);
        EXPECT_TRUE(c.observed[0] == 0 || nc.isObserved(c.observed));
        token.reset();
        EXPECT_FALSE(nc.isObserved("Redraw"));
    }
    // An observer that removes itself while the name is posted.
    ObserverToken once;
    bool observedInside = true;
    once = nc.observe("Redraw", nullptr, [&](const Notification &) {
        once.reset();
        observedInside = nc.isObserved("Redraw");
    });
    nc.post("Redraw");
    EXPECT_FALSE(observedInside);
    EXPECT_FALSE(nc.isObserved("Redraw"));
}

// Names are matched by their text however the string holding it was made:
// a literal, a heap copy, or raw data that is rewritten in place between
// posts. Observers added or removed after a name was first posted count at
// once.
TEST_F(NotificationTest, NamesMatchByTextWhereverTheTextLives)
{
    static const QString redraw = QStringLiteral("Redraw");
    static const QString resize = QStringLiteral("Resize");
    char16_t buffer[] = u"Redraw";
    const QString raw = QString::fromRawData(reinterpret_cast<const QChar *>(buffer), 6);
    const auto rewrite = [&](const char16_t *text) { std::copy(text, text + 6, buffer); };
    ObserverToken r, z;

    const struct
    {
        const char *what;
        std::function<void()> step;
        QStringList expected; // what the observers got, cleared after each step
    } steps[] = {
        {"literal, no observer", [&] { nc.post(redraw); }, {}},
        {"observer added after the first post",
         [&] {
             r = note("Redraw", nullptr, "r:");
             nc.post(redraw);
         },
         {"r:Redraw"}},
        {"heap copy of the text", [&] { nc.post(QString::fromUtf8("Redraw")); }, {"r:Redraw"}},
        {"raw text", [&] { nc.post(raw); }, {"r:Redraw"}},
        {"raw text rewritten in place",
         [&] {
             rewrite(u"Resize");
             nc.post(raw);
         },
         {}},
        {"second name observed later",
         [&] {
             z = note(resize, nullptr, "s:");
             nc.post(raw);
             nc.post(resize);
             rewrite(u"Redraw");
             nc.post(raw);
         },
         {"s:Resize", "s:Resize", "r:Redraw"}},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.what);
        s.step();
        EXPECT_EQ(got, s.expected);
        got.clear();
    }
    EXPECT_TRUE(nc.isObserved(raw));

    // The last observer of a name goes and another comes: only the new one hears.
    {
        ObserverToken first = note("Gone", nullptr, "1:");
        static const QString gone = QStringLiteral("Gone");
        nc.post(gone);
        first.reset();
        EXPECT_FALSE(nc.isObserved(gone));
        nc.post(gone);
        ObserverToken second = note("Gone", nullptr, "2:");
        EXPECT_TRUE(nc.isObserved(gone));
        nc.post(gone);
        EXPECT_EQ(got, QStringList({"1:Gone", "2:Gone"}));
    }
}

// A name is observed besides a given observer while someone else could
// receive it; a token of another center or an empty one leaves out nothing.
TEST_F(NotificationTest, ANameIsObservedBesidesAnObserverOnlyForOthers)
{
    static const QString redraw = QStringLiteral("Redraw");
    const auto nothing = [](const Notification &) {};
    const struct
    {
        const char *what;
        const char *own;   // the left-out observer's name, "" for every name
        const char *other; // another observer's name, nullptr for none
        bool observedBesides;
    } cases[] = {
        {"only the left-out observer", "Redraw", nullptr, false},
        {"another of the name", "Redraw", "Redraw", true},
        {"another of every name", "Redraw", "", true},
        {"another of another name", "Redraw", "Other", false},
        {"left out observes every name", "", nullptr, false},
        {"left out of every name, another of the name", "", "Redraw", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        ObserverToken own = nc.observe(c.own, nullptr, nothing);
        ObserverToken other = c.other ? nc.observe(c.other, nullptr, nothing) : ObserverToken();
        EXPECT_EQ(nc.isObservedBesides(redraw, own), c.observedBesides);
        EXPECT_EQ(nc.isObservedBesides("Redraw", own), c.observedBesides);
        EXPECT_TRUE(nc.isObservedBesides(redraw, ObserverToken()));
        own.reset();
        EXPECT_EQ(nc.isObservedBesides(redraw, own), nc.isObserved(redraw));
    }

    // Two fresh centers number their first observers alike.
    NotificationCenter first, second;
    ObserverToken inFirst = first.observe(redraw, nullptr, nothing);
    ObserverToken inSecond = second.observe(redraw, nullptr, nothing);
    EXPECT_TRUE(second.isObservedBesides(redraw, inFirst));
    EXPECT_FALSE(second.isObservedBesides(redraw, inSecond));
}

// A kept answer follows every observer that comes or goes, of the name, of
// every name, or the one left out, as asking afresh does.
TEST_F(NotificationTest, AKeptAnswerFollowsObserversComingAndGoing)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    const QString name = QStringLiteral("KeptAnswerProbe");
    ObserverToken own = center.observe(name, nullptr, [](const Notification &) {});
    const ObservedName heard(name);
    const ObservedName others(name, &own);
    std::vector<ObserverToken> tokens;
    const std::vector<std::function<void()>> steps = {
        [&] { tokens.push_back(center.observe(name, mapA.get(), [](const Notification &) {})); },
        [&] { tokens.back().reset(); },
        [&] { tokens.push_back(center.observe(QString(), nullptr, [](const Notification &) {})); },
        [&] { tokens.push_back(center.observe("Other", nullptr, [](const Notification &) {})); },
        [&] { tokens.clear(); },
        [&] { own.reset(); },
        [&] { own = center.observe(name, nullptr, [](const Notification &) {}); },
    };
    for (size_t i = 0; i <= steps.size(); ++i) {
        SCOPED_TRACE(i);
        // Asked twice: the kept answer and the fresh one agree each time.
        for (int twice = 0; twice < 2; ++twice) {
            EXPECT_EQ(heard(), center.isObserved(name));
            EXPECT_EQ(others(), center.isObservedBesides(name, own));
        }
        if (i < steps.size())
            steps[i]();
    }
    own.reset();
    EXPECT_FALSE(heard());
}
