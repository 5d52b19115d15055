#include "application/TWTutorController.h"
#include "ApplicationTestSupport.h"
#include "LoopbackHTTPServer.h"
#include "platform/RecordingAlerts.h"

#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>

namespace {

// A component list of "id|status|url" entries.
QByteArray componentList(const QStringList &entries)
{
    QByteArray out = "<?xml version=\"1.0\"?><plist version=\"1.0\"><array>";
    for (const QString &entry : entries) {
        const QStringList p = entry.split(u'|');
        out += "<dict><key>id</key><string>" + p.at(0).toUtf8() +
               "</string><key>status</key><integer>" + p.at(1).toUtf8() + "</integer>";
        if (!p.at(2).isEmpty())
            out += "<key>url</key><string>" + p.at(2).toUtf8() + "</string>";
        out += "</dict>";
    }
    return out + "<string>not a component</string></array></plist>";
}

class TutorControllerTest : public ApplicationTest
{
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        start();
        ASSERT_TRUE(server.listen());
        defaults.setString(server.baseURL(), TWPreferences::ServerBaseURLKey);
        server.route("/a.html", {200, "<h1>Page A</h1>"});
        server.route("/b.html", {200, "<h1>Page B</h1>"});
    }

    QString page(const char *name) const { return server.baseURL() + "/" + name; }

    // Asks for the window and waits until the list has come (or failed).
    void showAndWait(TWTutorController &c)
    {
        c.showTutorWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !c.isFetching(); }, 60000));
    }

    QVariantMap stored() const
    {
        return defaults.objectForKey(TWTutorController::PreferencesKey).toMap();
    }

    RecordingAlerts alerts;
    Alerts::Scope alertScope{&alerts};
    LoopbackHTTPServer server;
};

} // namespace

TEST_F(TutorControllerTest, StartUpQuestionAnswers)
{
    struct Case
    {
        int answer;
        bool window;
        bool promptAfter;
    };
    server.route(TWTutorController::ComponentsPath,
                 {200, componentList({"a|0|" + page("a.html")})});
    for (const Case &c : {Case{0, true, true}, Case{1, false, false}, Case{2, false, true}}) {
        defaults.removeObjectForKey(TWPreferences::PromptForTutorAtStartupKey);
        alerts.queueAlertResponse(c.answer);
        TWTutorController controller;
        controller.showTutorAlert();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller.isFetching(); }, 60000));
        EXPECT_EQ(controller.mainWindow() != nullptr, c.window) << c.answer;
        EXPECT_EQ(defaults.boolForKey(TWPreferences::PromptForTutorAtStartupKey), c.promptAfter);
    }
    EXPECT_EQ(alerts.alerts().size(), 3);
    EXPECT_EQ(alerts.alerts().first().buttons, QStringList({"Yes", "Don't ask again", "No"}));
}

TEST_F(TutorControllerTest, ListIsCachedAndStatusesSurviveARestart)
{
    server.route(TWTutorController::ComponentsPath,
                 {200, componentList({"a|0|" + page("a.html"), "b|2|" + page("b.html"), "c|0|"})});
    {
        TWTutorController controller;
        EXPECT_EQ(stored().value("firstRun"), QVariant(true));
        QSignalSpy loaded(&controller, &TWTutorController::pageLoaded);
        showAndWait(controller);
        ASSERT_NE(controller.mainWindow(), nullptr);
        ASSERT_EQ(controller.componentsArray().size(), 3); // the string is no component
        EXPECT_EQ(controller.currentComponentIndex(), 0);
        ASSERT_TRUE(loaded.wait(5000));
        EXPECT_TRUE(controller.webView()->toPlainText().contains("Page A"));
        controller.openComponent(1); // status 2 stays
        controller.openComponent(2); // no url: chosen, no page
        EXPECT_EQ(loaded.size(), 1);
        controller.applicationWillTerminate();
        EXPECT_EQ(stored().value("a"), QVariant(-1));
        EXPECT_EQ(stored().value("b").toInt(), 2);
        EXPECT_EQ(stored().value("c"), QVariant(-1));
        EXPECT_EQ(stored().value("lastOpenedComponentID"), QVariant("c"));
        EXPECT_EQ(stored().value("cachedComponents").toList().size(), 3);
    }
    // The server is gone: the cached list opens on the component shown last.
    server.route(TWTutorController::ComponentsPath, {500, "down"});
    TWTutorController controller;
    showAndWait(controller);
    ASSERT_NE(controller.mainWindow(), nullptr);
    EXPECT_TRUE(alerts.alerts().isEmpty());
    EXPECT_EQ(controller.currentComponentIndex(), 2);
    EXPECT_EQ(controller.componentsTable()->currentRow(), 2);
    EXPECT_EQ(controller.componentsArray().at(0).toMap().value("status"), QVariant(-1));
    // Choosing the row already shown loads nothing.
    QSignalSpy loaded(&controller, &TWTutorController::pageLoaded);
    controller.openComponent(2);
    controller.openComponent(0);
    ASSERT_TRUE(loaded.wait(5000));
    EXPECT_EQ(controller.requestedURL().toString(), page("a.html"));
}

TEST_F(TutorControllerTest, MissingLastComponentOpensTheFirstWithoutARow)
{
    defaults.setObject(QVariantMap{{"lastOpenedComponentID", "gone"}},
                       TWTutorController::PreferencesKey);
    server.route(TWTutorController::ComponentsPath,
                 {200, componentList({"a|0|" + page("a.html"), "b|0|" + page("b.html")})});
    TWTutorController controller;
    showAndWait(controller);
    EXPECT_EQ(controller.currentComponentIndex(), 0);
    EXPECT_EQ(controller.componentsTable()->selectedItems().size(), 0);
}

TEST_F(TutorControllerTest, NoListAndNoCacheTellsTheUser)
{
    for (const LoopbackHTTPServer::Reply &reply :
         {LoopbackHTTPServer::Reply{404, "gone"}, LoopbackHTTPServer::Reply{200, "<html/>"}}) {
        alerts.clear();
        server.route(TWTutorController::ComponentsPath, reply);
        TWTutorController controller;
        showAndWait(controller);
        EXPECT_EQ(controller.mainWindow(), nullptr);
        ASSERT_EQ(alerts.alerts().size(), 1);
        EXPECT_EQ(alerts.alerts().first().title, "Could not load tutorials");
    }
}

TEST_F(TutorControllerTest, PagesComeOnlyFromSafeAddresses)
{
    const std::pair<const char *, bool> urls[] = {
        {"https://tutorials.example.org/a.html", true},
        {"http://127.0.0.1:9/a.html", true},
        {"http://tutorials.example.org/a.html", false},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"qrc:/tutorials/styles.html", true},
        {"qrc:/images/zapMarker.png", false},
        {"data:text/html,<b>x</b>", false},
    };
    for (const auto &[url, allowed] : urls)
        EXPECT_EQ(TWTutorController::isAllowedPage(QUrl(url)), allowed) << url;

    server.route(TWTutorController::ComponentsPath,
                 {200, componentList({"evil|0|file:///etc/passwd"})});
    TWTutorController controller;
    showAndWait(controller);
    EXPECT_EQ(controller.currentComponentIndex(), 0);
    EXPECT_TRUE(controller.requestedURL().isEmpty());
    EXPECT_FALSE(controller.webView()->toPlainText().contains("root"));
}

TEST_F(TutorControllerTest, WithoutAServerTheShippedTutorialsShow)
{
    defaults.setString(QString(), TWPreferences::ServerBaseURLKey);
    TWTutorController controller;
    controller.showTutorWindow();
    ASSERT_NE(controller.mainWindow(), nullptr);
    EXPECT_EQ(controller.componentsArray().size(), 3);
    EXPECT_EQ(controller.requestedURL().toString(), "qrc:/tutorials/first-map.html");
    EXPECT_TRUE(controller.webView()->toPlainText().contains("Your first map"));
    EXPECT_EQ(controller.componentsTable()->item(1, 0)->text(), "Growing branches");
}
