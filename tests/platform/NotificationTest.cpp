#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <optional>

namespace {
int mapA, mapB; // stand-ins for senders; only their addresses matter
}

TEST(NotificationCenter, DeliversByNameAndSenderInRegistrationOrder)
{
    NotificationCenter nc;
    QStringList got;
    auto t1 = nc.observe("Changed", &mapA, [&](const Notification &) { got << "1:A"; });
    auto t2 = nc.observe("Changed", nullptr, [&](const Notification &) { got << "2:any"; });
    auto t3 = nc.observe(QString(), nullptr, [&](const Notification &n) { got << "3:" + n.name; });
    auto t4 = nc.observe("Changed", &mapB, [&](const Notification &) { got << "4:B"; });
    auto t5 = nc.observe("Other", nullptr, [&](const Notification &) { got << "5:other"; });

    nc.post("Changed", &mapA, {{"affectedGraphics", 3}});
    EXPECT_EQ(got, QStringList({"1:A", "2:any", "3:Changed"}));
    got.clear();
    nc.post("Changed", &mapB);
    EXPECT_EQ(got, QStringList({"2:any", "3:Changed", "4:B"}));
    got.clear();
    nc.post("Changed"); // no sender: only observers of any sender
    EXPECT_EQ(got, QStringList({"2:any", "3:Changed"}));
    got.clear();
    nc.post("Unobserved", &mapA);
    EXPECT_EQ(got, QStringList({"3:Unobserved"}));
    EXPECT_EQ(nc.observerCount(), 5);
}

TEST(NotificationCenter, PassesNameSenderAndUserInfo)
{
    NotificationCenter nc;
    std::optional<Notification> seen;
    auto t =
        nc.observe("RedrawInRectNotification", nullptr, [&](const Notification &n) { seen = n; });
    nc.post("RedrawInRectNotification", &mapA, {{"map", QString("m1")}});
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->name, "RedrawInRectNotification");
    EXPECT_EQ(seen->sender, &mapA);
    EXPECT_EQ(seen->userInfo.value("map").toString(), "m1");
}

TEST(NotificationCenter, TokenRemovesObserverWhenItDiesOrIsReset)
{
    NotificationCenter nc;
    int calls = 0;
    {
        auto t = nc.observe("N", nullptr, [&](const Notification &) { ++calls; });
        EXPECT_TRUE(t.isActive());
        nc.post("N");
    }
    nc.post("N");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(nc.observerCount(), 0);

    auto t = nc.observe("N", nullptr, [&](const Notification &) { ++calls; });
    ObserverToken moved = std::move(t);
    EXPECT_FALSE(t.isActive());
    EXPECT_TRUE(moved.isActive());
    nc.post("N");
    EXPECT_EQ(calls, 2);
    // Move-assigning over a live token removes the observer it held.
    moved = nc.observe("M", nullptr, [&](const Notification &) { calls += 10; });
    nc.post("N");
    nc.post("M");
    EXPECT_EQ(calls, 12);
    moved.reset();
    nc.post("M");
    EXPECT_EQ(calls, 12);
    EXPECT_FALSE(moved.isActive());
}

TEST(NotificationCenter, TokenOutlivingItsCenterIsHarmless)
{
    ObserverToken t;
    {
        NotificationCenter nc;
        t = nc.observe("N", nullptr, [](const Notification &) {});
        EXPECT_TRUE(t.isActive());
    }
    EXPECT_FALSE(t.isActive());
    t.reset();
}

TEST(NotificationCenter, ObserversMayRemoveAndAddObserversDuringAPost)
{
    NotificationCenter nc;
    QStringList got;
    ObserverToken first, second, third, added;
    first = nc.observe("N", nullptr, [&](const Notification &) {
        got << "first";
        first.reset(); // itself
        third.reset(); // a later one: must not be called by this post
        added = nc.observe("N", nullptr, [&](const Notification &) { got << "added"; });
    });
    second = nc.observe("N", nullptr, [&](const Notification &) {
        got << "second";
        nc.post("Inner"); // nested post while the outer one runs
    });
    third = nc.observe("N", nullptr, [&](const Notification &) { got << "third"; });
    auto inner = nc.observe("Inner", nullptr, [&](const Notification &) { got << "inner"; });

    nc.post("N");
    EXPECT_EQ(got, QStringList({"first", "second", "inner"}));
    got.clear();
    nc.post("N");
    EXPECT_EQ(got, QStringList({"second", "inner", "added"}));
    EXPECT_EQ(nc.observerCount(), 3);
}

TEST(NotificationCenter, DefaultCenterIsOneInstance)
{
    EXPECT_EQ(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    int calls = 0;
    auto t = NotificationCenter::defaultCenter().observe("NotificationTest.Default", nullptr,
                                                         [&](const Notification &) { ++calls; });
    NotificationCenter::defaultCenter().post("NotificationTest.Default");
    EXPECT_EQ(calls, 1);
}

class NotificationQueueTest : public ::testing::Test
{
protected:
    NotificationCenter nc;
    NotificationQueue queue{nc};
    QStringList got;
    ObserverToken token = nc.observe(QString(), nullptr, [this](const Notification &n) {
        got << n.name + (n.sender == &mapA ? "@A" : n.sender == &mapB ? "@B" : "");
        lastInfo = n.userInfo;
    });
    QVariantMap lastInfo;
};

TEST_F(NotificationQueueTest, ThreePostsOfOneNameAndSenderArriveOnceAfterThePass)
{
    queue.enqueue("SelectedGraphicsChangedNotification", &mapA, {{"affectedGraphics", 1}});
    queue.enqueue("SelectedGraphicsChangedNotification", &mapA, {{"affectedGraphics", 2}});
    queue.enqueue("SelectedGraphicsChangedNotification", &mapA, {{"affectedGraphics", 3}});
    EXPECT_TRUE(got.isEmpty()); // nothing before the pass ends
    EXPECT_EQ(queue.pendingCount(), 1);
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got, QStringList({"SelectedGraphicsChangedNotification@A"}));
    EXPECT_EQ(lastInfo.value("affectedGraphics").toInt(), 1); // the first keeps its details
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got.size(), 1);
}

TEST_F(NotificationQueueTest, CoalescesOnlyEqualNameAndSenderAndKeepsFirstOrder)
{
    queue.enqueue("GraphicAddedToSelectedGraphicsNotification", &mapA);
    queue.enqueue("SelectedGraphicsChangedNotification", &mapA);
    queue.enqueue("GraphicAddedToSelectedGraphicsNotification", &mapB);
    queue.enqueue("GraphicAddedToSelectedGraphicsNotification", &mapA);
    queue.enqueue("SelectedGraphicsChangedNotification", &mapB);
    queue.enqueue("SelectedGraphicsChangedNotification", &mapA);
    queue.flush();
    EXPECT_EQ(got, QStringList({"GraphicAddedToSelectedGraphicsNotification@A",
                                "SelectedGraphicsChangedNotification@A",
                                "GraphicAddedToSelectedGraphicsNotification@B",
                                "SelectedGraphicsChangedNotification@B"}));
}

TEST_F(NotificationQueueTest, CoalescingMasks)
{
    queue.enqueue("Idle", &mapA, {}, NotificationQueue::CoalesceOnName);
    queue.enqueue("Idle", &mapB, {}, NotificationQueue::CoalesceOnName);
    queue.enqueue("Plain", &mapA, {}, NotificationQueue::NoCoalescing);
    queue.enqueue("Plain", &mapA, {}, NotificationQueue::NoCoalescing);
    // Idle@B was dropped, so nothing from B is pending yet.
    queue.enqueue("Other", &mapB, {}, NotificationQueue::CoalesceOnSender);
    queue.enqueue("Again", &mapB, {}, NotificationQueue::CoalesceOnSender);
    queue.flush();
    EXPECT_EQ(got, QStringList({"Idle@A", "Plain@A", "Plain@A", "Other@B"}));
}

TEST_F(NotificationQueueTest, WhatIsEnqueuedDuringAFlushWaitsForTheNextPass)
{
    int echoes = 0;
    auto echo = nc.observe("Ping", nullptr, [&](const Notification &) {
        ++echoes;
        queue.enqueue("Ping", &mapA); // the same name and sender as the one being posted
        queue.enqueue("Pong", &mapA);
    });
    queue.enqueue("Ping", &mapA);
    queue.flush();
    EXPECT_EQ(got, QStringList({"Ping@A"}));
    EXPECT_EQ(queue.pendingCount(), 2); // not coalesced into the batch being posted
    queue.flush();
    EXPECT_EQ(got, QStringList({"Ping@A", "Ping@A", "Pong@A"}));
    EXPECT_EQ(echoes, 2);

    // Through the event loop: one delivery per pass, never a live-lock.
    got.clear();
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got, QStringList({"Ping@A", "Pong@A"}));
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got.size(), 4);
    echo.reset();
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got.size(), 6);
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got.size(), 6);
    EXPECT_EQ(queue.pendingCount(), 0);
}

TEST_F(NotificationQueueTest, SuspendedQueueHoldsPostsUntilResumed)
{
    queue.suspend();
    queue.enqueue("TWOutlineNeedsReloadNotification", &mapA);
    TestSupport::runEventLoopPass();
    EXPECT_TRUE(got.isEmpty());
    queue.suspend();
    queue.resume();
    TestSupport::runEventLoopPass();
    EXPECT_TRUE(got.isEmpty());
    queue.resume();
    TestSupport::runEventLoopPass();
    EXPECT_EQ(got, QStringList({"TWOutlineNeedsReloadNotification@A"}));
}

TEST(NotificationQueueLifetime, DestroyedQueueDropsItsPendingPosts)
{
    NotificationCenter nc;
    int calls = 0;
    auto t = nc.observe("N", nullptr, [&](const Notification &) { ++calls; });
    {
        NotificationQueue q(nc);
        q.enqueue("N", nullptr);
    }
    TestSupport::runEventLoopPass();
    EXPECT_EQ(calls, 0);
}
