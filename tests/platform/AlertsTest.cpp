#include "platform/Alerts.h"
#include "platform/RecordingAlerts.h"

#include <gtest/gtest.h>

TEST(Alerts, SilentByDefaultAndScopesNest)
{
    // Nothing may block a program without windows: panels are cancelled.
    Alerts &silent = Alerts::current();
    EXPECT_NE(dynamic_cast<SilentAlerts *>(&silent), nullptr);
    EXPECT_EQ(silent.runAlertPanel("Title", "Message", {"OK", "Cancel"}), 0);
    EXPECT_TRUE(silent.runOpenPanel({}).isEmpty());
    EXPECT_FALSE(silent.runSavePanel({}).has_value());

    RecordingAlerts outer, inner;
    {
        Alerts::Scope s1(&outer);
        Alerts::current().beep();
        {
            Alerts::Scope s2(&inner);
            Alerts::current().beep();
            Alerts::current().beep();
        }
        Alerts::current().beep();
    }
    EXPECT_EQ(outer.beepCount(), 2);
    EXPECT_EQ(inner.beepCount(), 2);
    EXPECT_EQ(&Alerts::current(), &silent);
}

TEST(RecordingAlerts, AnswersFromQueuesInOrderThenWithDefaults)
{
    RecordingAlerts r;
    r.queueAlertResponse(2);
    r.queueAlertResponse(1);
    r.queueOpenResponse({"/tmp/a.tweb"});
    r.queueSaveResponse(std::nullopt);
    r.queueSaveResponse(QString("/tmp/out.tweb"));
    EXPECT_EQ(r.runAlertPanel("T1", "M1", {"Save", "Cancel", "Don't Save"}), 2);
    EXPECT_EQ(r.runAlertPanel("T2", "M2", {"OK", "Cancel"}), 1);
    EXPECT_EQ(r.runAlertPanel("T3", "M3", {"OK"}), 0);
    EXPECT_EQ(r.runOpenPanel({}), QStringList({"/tmp/a.tweb"}));
    EXPECT_TRUE(r.runOpenPanel({}).isEmpty());
    EXPECT_FALSE(r.runSavePanel({}).has_value()); // a queued cancel
    EXPECT_EQ(r.runSavePanel({}), std::optional<QString>("/tmp/out.tweb"));
    EXPECT_FALSE(r.runSavePanel({}).has_value());
    EXPECT_EQ(r.openPanels().size() + r.savePanels().size(), 5);
}
