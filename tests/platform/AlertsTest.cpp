#include "platform/Alerts.h"
#include "platform/RecordingAlerts.h"
#include "platform/TWLocalizedString.h"

#include <gtest/gtest.h>

TEST(TWLocalizedString, AnswersTheEnglishKeyInEveryTable)
{
    EXPECT_EQ(TWLocalizedString(StringTable::DadoZiz, "Add Branch"), "Add Branch");
    EXPECT_EQ(TWLocalizedString(StringTable::General, "OK"), "OK");
    EXPECT_EQ(TWLocalizedString(StringTable::ScreenWriter, QString::fromUtf8("Szène «1»")),
              QString::fromUtf8("Szène «1»"));
    EXPECT_EQ(TWLocalizedString(StringTable::PowerPoint, QString()), QString());
    EXPECT_STREQ(StringTable::DadoZiz, "DadoZiz");
    EXPECT_STREQ(StringTable::ScreenWriter, "ScreenWriter");
}

TEST(Alerts, DefaultInstanceNeverBlocksAndCancelsPanels)
{
    Alerts &a = Alerts::current();
    EXPECT_NE(dynamic_cast<SilentAlerts *>(&a), nullptr);
    a.beep();
    EXPECT_EQ(a.runAlertPanel("Title", "Message", {"OK", "Cancel"}), 0);
    EXPECT_TRUE(a.runOpenPanel({}).isEmpty());
    EXPECT_FALSE(a.runSavePanel({}).has_value());
}

TEST(Alerts, ScopeInstallsAndRestoresNestedInstances)
{
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
    EXPECT_NE(dynamic_cast<SilentAlerts *>(&Alerts::current()), nullptr);
}

TEST(RecordingAlerts, AnswersFromQueuesInOrderThenWithDefaults)
{
    RecordingAlerts r;
    r.queueAlertResponse(2);
    r.queueAlertResponse(1);
    r.queueOpenResponse({"/tmp/a.tweb", "/tmp/b.tweb"});
    r.queueSaveResponse(QString("/tmp/out.tweb"));

    EXPECT_EQ(r.runAlertPanel("T1", "M1", {"Save", "Cancel", "Don't Save"}), 2);
    EXPECT_EQ(r.runAlertPanel("T2", "M2", {"OK", "Cancel"}), 1);
    EXPECT_EQ(r.runAlertPanel("T3", "M3", {"OK"}), 0);
    ASSERT_EQ(r.alerts().size(), 3);
    EXPECT_EQ(r.alerts()[1].title, "T2");
    EXPECT_EQ(r.alerts()[1].message, "M2");
    EXPECT_EQ(r.alerts()[0].buttons, QStringList({"Save", "Cancel", "Don't Save"}));

    Alerts::OpenPanelOptions open;
    open.fileTypes = {"opml"};
    EXPECT_EQ(r.runOpenPanel(open), QStringList({"/tmp/a.tweb", "/tmp/b.tweb"}));
    EXPECT_TRUE(r.runOpenPanel(open).isEmpty());
    ASSERT_EQ(r.openPanels().size(), 2);
    EXPECT_EQ(r.openPanels()[0].fileTypes, QStringList({"opml"}));

    EXPECT_EQ(r.runSavePanel({}), std::optional<QString>("/tmp/out.tweb"));
    EXPECT_FALSE(r.runSavePanel({}).has_value());
    EXPECT_EQ(r.savePanels().size(), 2);

    r.clear();
    EXPECT_EQ(r.alerts().size(), 0);
    EXPECT_EQ(r.beepCount(), 0);
}
