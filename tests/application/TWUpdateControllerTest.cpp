#include "application/TWUpdateController.h"
#include "ApplicationTestSupport.h"
#include "LoopbackHTTPServer.h"
#include "platform/RecordingAlerts.h"
#include "platform/TWHTTPFetch.h"

#include <QTest>
#include <QTimeZone>
#include <climits>

namespace {

const QByteArray ListHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";

// A versions list whose entries are "version|updateURL" ("|" alone: no URL).
QByteArray versionsList(const QStringList &entries)
{
    QByteArray out = ListHead + "<array>";
    for (const QString &entry : entries) {
        const QStringList parts = entry.split(u'|');
        out += "<dict><key>version</key><string>" + parts.at(0).toUtf8() + "</string>";
        if (parts.size() > 1 && !parts.at(1).isEmpty())
            out += "<key>updateURL</key><string>" + parts.at(1).toUtf8() + "</string>";
        out += "</dict>";
    }
    return out + "</array></plist>";
}

class UpdateControllerTest : public ApplicationTest
{
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        start();
        ASSERT_TRUE(server.listen());
        defaults.setBool(true, TWUpdateController::SeenNoticeKey);
        defaults.setString(server.baseURL(), TWPreferences::ServerBaseURLKey);
    }

    std::unique_ptr<TWUpdateController> make(const QString &running = "4.0")
    {
        TWUpdateController::Environment env;
        env.now = [this] { return clock; };
        env.openUrl = [this](const QUrl &url) {
            opened << url.toString();
            return true;
        };
        env.currentVersion = running;
        env.startDelay = -1;
        return std::make_unique<TWUpdateController>(env);
    }

    // Runs until the controller has finished `count` checks.
    static bool waitForChecks(TWUpdateController &c, int count = 1)
    {
        return QTest::qWaitFor([&] { return c.completedChecks() >= count; }, 60000);
    }

    QStringList alertTitles() const
    {
        QStringList titles;
        for (const RecordingAlerts::Alert &a : alerts.alerts())
            titles << a.title;
        return titles;
    }

    RecordingAlerts alerts;
    Alerts::Scope alertScope{&alerts};
    LoopbackHTTPServer server;
    QDateTime clock = QDateTime(QDate(2026, 3, 1), QTime(12, 0), QTimeZone::utc());
    QStringList opened;
};

} // namespace

TEST(UpdateHelpers, VersionsCompareByNumber)
{
    struct Case
    {
        const char *a;
        const char *b;
        int expected;
    };
    const Case cases[] = {
        {"4.0", "4.0", 0},    {"4.10", "4.9", 1},    {"4.0.1", "4.0", 1},    {"4", "4.0", 0},
        {"4.1b2", "4.1", -1}, {"4.1b3", "4.1b2", 1}, {"4.1a9", "4.1b1", -1}, {"3.9", "4.0b1", -1},
        {" 5.0 ", "5.0", 0},  {"", "0", 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TWUpdateController::compareVersions(c.a, c.b), c.expected) << c.a << " " << c.b;
        EXPECT_EQ(TWUpdateController::compareVersions(c.b, c.a), -c.expected) << c.b << " " << c.a;
    }
}

TEST(UpdateHelpers, BetaTextAndAddressesAndIcons)
{
    const std::pair<QByteArray, QString> betas[] = {
        {"4.1b3\n", "4.1b3"},
        {"  4.2b1\r\n", "4.2b1"},
        {"4.1b3/../x", ""},
        {"4.1 b3", ""},
        {"", ""},
        {QByteArray(40, '1'), ""},
    };
    for (const auto &[text, expected] : betas)
        EXPECT_EQ(TWUpdateController::sanitizedBetaVersion(text), expected) << text.constData();

    const std::pair<const char *, bool> urls[] = {
        {"https://updates.example.org/x", true},
        {"http://updates.example.org/x", false},
        {"http://127.0.0.1:8080/x", true},
        {"http://localhost/x", true},
        {"http://[::1]/x", true},
        {"ftp://127.0.0.1/x", false},
        {"file:///etc/passwd", false},
        {"https:///nohost", false},
    };
    for (const auto &[url, ok] : urls)
        EXPECT_EQ(TWHTTPFetch::isAcceptableURL(QUrl(url)), ok) << url;

    const std::pair<QVariant, QString> icons[] = {
        {1, "TWUpdateChangeNew"},
        {2, "TWUpdateChangeImproved"},
        {"3", "TWUpdateChangeFixed"},
        {0, ""},
        {4, ""},
        {QVariant(), ""},
    };
    for (const auto &[type, name] : icons)
        EXPECT_EQ(TWUpdateIconTransformer::transformedValue(type), name)
            << type.toString().toStdString();
}

TEST_F(UpdateControllerTest, StartAndTimersFollowModeIntervalAndLastCheck)
{
    struct Case
    {
        const char *name;
        bool seen;
        int mode;
        int interval;
        int daysSinceLastCheck; // -1: never checked
        std::optional<int> timer;
        int requests;
    };
    const int day = 86400 * 1000;
    const Case cases[] = {
        {"mode 1 checks at once", true, 1, 7, -1, std::nullopt, 1},
        {"mode 2 never checked is due now", true, 2, 7, -1, 0, 0},
        {"mode 2 overdue is due now", true, 2, 7, 9, 0, 0},
        {"mode 2 waits the rest", true, 2, 7, 2, 5 * day, 0},
        {"mode 2 long interval looks again later", true, 2, 100, 0, INT_MAX, 0},
        {"interval 0 never", true, 2, 0, -1, std::nullopt, 0},
        {"negative interval never", true, 2, -3, -1, std::nullopt, 0},
        {"other mode never", true, 5, 7, -1, std::nullopt, 0},
    };
    server.route(TWUpdateController::VersionsPath, {200, versionsList({"4.0|"})});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        defaults.setInteger(c.mode, TWUpdateController::CheckOnStartupKey);
        defaults.setInteger(c.interval, TWUpdateController::CheckIntervalKey);
        defaults.setObject(
            c.daysSinceLastCheck < 0 ? QVariant() : QVariant(clock.addDays(-c.daysSinceLastCheck)),
            TWUpdateController::LastCheckKey);
        const int before = server.requests(TWUpdateController::VersionsPath);
        auto controller = make();
        controller->start();
        if (c.requests) {
            ASSERT_TRUE(waitForChecks(*controller));
        }
        EXPECT_EQ(server.requests(TWUpdateController::VersionsPath) - before, c.requests);
        if (c.requests == 0) {
            EXPECT_EQ(controller->pendingTimerInterval(), c.timer);
        }
        EXPECT_TRUE(alerts.alerts().isEmpty());
    }
    // Changing the mode reschedules at once.
    auto controller = make();
    defaults.setObject(clock, TWUpdateController::LastCheckKey);
    defaults.setInteger(2, TWUpdateController::CheckOnStartupKey);
    defaults.setInteger(3, TWUpdateController::CheckIntervalKey);
    EXPECT_EQ(controller->pendingTimerInterval(), 3 * day);
    defaults.setInteger(1, TWUpdateController::CheckOnStartupKey);
    EXPECT_EQ(controller->pendingTimerInterval(), std::nullopt);
}

TEST_F(UpdateControllerTest, FirstLaunchAsksOnlyWithAnUpdateAddressAndYesChecksByHand)
{
    struct Case
    {
        const char *name;
        bool address;
        int answer;
        QStringList titles;
        bool seen;
        int requests;
    };
    const Case cases[] = {
        {"address, yes: asks and checks", true, 0, {"Update Checking"}, true, 1},
        {"address, no: asks only", true, 1, {"Update Checking"}, true, 0},
        {"no address: neither asks nor checks", false, 0, {}, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        defaults.removeObjectForKey(TWUpdateController::SeenNoticeKey);
        defaults.setInteger(0, TWUpdateController::CheckOnStartupKey);
        defaults.setString(c.address ? server.baseURL() : QString(),
                           TWPreferences::ServerBaseURLKey);
        alerts.queueAlertResponse(c.answer);
        const int before = server.requests(TWUpdateController::VersionsPath);
        auto controller = make();
        controller->start();
        if (c.requests) {
            ASSERT_TRUE(waitForChecks(*controller));
        }
        EXPECT_EQ(server.requests(TWUpdateController::VersionsPath) - before, c.requests);
        EXPECT_EQ(alertTitles().mid(0, 1), c.titles);
        EXPECT_EQ(defaults.boolForKey(TWUpdateController::SeenNoticeKey), c.seen);
        EXPECT_EQ(controller->pendingTimerInterval(), std::nullopt);
    }
}

TEST_F(UpdateControllerTest, WithoutAnUpdateAddressAutomaticChecksAreSilentAndByHandSaysSo)
{
    defaults.setString(QString(), TWPreferences::ServerBaseURLKey);
    for (const long long mode : {1, 2}) {
        SCOPED_TRACE(mode);
        alerts.clear();
        defaults.setInteger(mode, TWUpdateController::CheckOnStartupKey);
        defaults.setInteger(1, TWUpdateController::CheckIntervalKey);
        auto controller = make();
        controller->start();
        controller->automaticUpdate();
        EXPECT_TRUE(alerts.alerts().isEmpty());
        EXPECT_EQ(controller->pendingTimerInterval(), std::nullopt);
        controller->manualUpdate();
        ASSERT_EQ(alertTitles(), QStringList{"No update address is set."});
        EXPECT_TRUE(alerts.alerts().last().message.endsWith(
            "Please check thinkweb.example.org for version information."));
    }
    // A set but unusable address is a different fault, and said so.
    alerts.clear();
    defaults.setString("not a url", TWPreferences::ServerBaseURLKey);
    make()->manualUpdate();
    EXPECT_EQ(alertTitles(), QStringList{"Version information URL not correct."});
}

TEST_F(UpdateControllerTest, ListIsEvaluatedAgainstTheRunningVersion)
{
    struct Case
    {
        const char *name;
        QStringList list;
        const char *running;
        bool manual;
        bool window;
        const char *text; // start of the information text
        bool download;
        bool trusted; // the latest entry's address may be opened
    };
    const QString url = "https://127.0.0.1/Thinkweb41.dmg";
    const Case cases[] = {
        {"latest, automatic: silent", {"4.0|" + url, "3.0|"}, "4.0", false, false, "", false, true},
        {"latest, manual",
         {"4.0|" + url, "3.0|"},
         "4.0",
         true,
         true,
         "You have the latest",
         false,
         true},
        {"newer, automatic",
         {"4.1|" + url, "4.0|"},
         "4.0",
         false,
         true,
         "The latest version",
         true,
         true},
        {"newer, manual",
         {"4.1|" + url, "4.0|"},
         "4.0",
         true,
         true,
         "The latest version",
         true,
         true},
        {"newer elsewhere",
         {"4.1|https://evil.example.net/x.dmg"},
         "4.0",
         true,
         true,
         "The latest version",
         false,
         false},
        {"newer over http",
         {"4.1|http://127.0.0.1/x.dmg"},
         "4.0",
         true,
         true,
         "The latest version",
         false,
         false},
        {"running newer than the list, automatic",
         {"4.1|" + url},
         "4.2",
         false,
         false,
         "",
         false,
         true},
        {"running newer than the list, manual",
         {"4.1|" + url},
         "4.2",
         true,
         true,
         "You have the latest",
         false,
         true},
        {"unlisted older build",
         {"4.1|" + url},
         "3.5",
         false,
         true,
         "The latest version",
         true,
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        server.route(TWUpdateController::VersionsPath, {200, versionsList(c.list)});
        auto controller = make(c.running);
        c.manual ? controller->manualUpdate() : controller->automaticUpdate();
        ASSERT_TRUE(waitForChecks(*controller));
        EXPECT_TRUE(alerts.alerts().isEmpty());
        EXPECT_EQ(controller->updatesWindow() != nullptr, c.window);
        EXPECT_TRUE(controller->informationText().startsWith(QLatin1String(c.text)) ||
                    (!*c.text && controller->informationText().isEmpty()));
        EXPECT_EQ(controller->downloadEnabled(), c.download);
        EXPECT_EQ(controller->versionsArray().size(), c.list.size());
        // Downloading opens only a secure address on the maker's host.
        controller->downloadLatestVersion();
        EXPECT_EQ(opened.size(), c.trusted ? 1 : 0);
        EXPECT_EQ(alerts.beepCount(), c.trusted ? 0 : 1);
        opened.clear();
    }
}

TEST_F(UpdateControllerTest, AnythingButAListCountsAsACheckAndIsRefused)
{
    const QByteArray bodies[] = {
        "<html>moved</html>",
        ListHead + "<array/></plist>",
        ListHead + "<dict><key>version</key><string>9</string></dict></plist>",
        ListHead + "<array><string>9.0</string></array></plist>",
        "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
        "<plist><array><dict><key>version</key><string>&x;</string></dict></array></plist>",
    };
    defaults.setInteger(2, TWUpdateController::CheckOnStartupKey);
    for (const QByteArray &body : bodies) {
        SCOPED_TRACE(body.constData());
        alerts.clear();
        defaults.removeObjectForKey(TWUpdateController::LastCheckKey);
        server.route(TWUpdateController::VersionsPath, {200, versionsList({"4.1|"})});
        auto controller = make();
        controller->manualUpdate();
        ASSERT_TRUE(waitForChecks(*controller));
        ASSERT_EQ(controller->versionsArray().size(), 1);

        server.route(TWUpdateController::VersionsPath, {200, body});
        controller->manualUpdate();
        ASSERT_TRUE(waitForChecks(*controller, 2));
        EXPECT_TRUE(controller->versionsArray().isEmpty());
        ASSERT_EQ(alertTitles(), QStringList{"Unable to download version information."});
        EXPECT_TRUE(alerts.alerts().first().message.endsWith(": Can't convert string to plist"));
        EXPECT_EQ(defaults.objectForKey(TWUpdateController::LastCheckKey).toDateTime(), clock);
        // Done for the interval: the next check in a week, not a retry.
        EXPECT_EQ(controller->pendingTimerInterval(), 7 * 86400 * 1000);
    }
}

TEST_F(UpdateControllerTest, FailedDownloadsAreToldOnlyByHandAndRetriedInMode2)
{
    struct Case
    {
        const char *name;
        LoopbackHTTPServer::Reply reply;
        const char *error;
    };
    const Case cases[] = {
        {"redirect", {301, "", "Location: http://evil.example.net/list\r\n"}, "redirected"},
        {"too large", {200, QByteArray(4000, 'x')}, "more data"},
        {"too large, no length", {200, QByteArray(4000, 'x'), "", false}, "more data"},
        {"time-out", {200, "", "", true, true}, "timed out"},
        {"server error", {500, "oops"}, ""},
    };
    for (const Case &c : cases) {
        for (const int mode : {1, 2}) {
            for (const bool manual : {false, true}) {
                SCOPED_TRACE(QStringLiteral("%1 mode %2 manual %3")
                                 .arg(c.name)
                                 .arg(mode)
                                 .arg(manual)
                                 .toStdString());
                alerts.clear();
                defaults.setInteger(mode, TWUpdateController::CheckOnStartupKey);
                defaults.removeObjectForKey(TWUpdateController::LastCheckKey);
                server.route(TWUpdateController::VersionsPath, c.reply);
                auto controller = make();
                controller->fetcher()->setMaximumSize(1000);
                // Only the case about the time-out waits for it: on a busy
                // machine a short one would end the others first.
                const bool timesOut = QByteArray(c.error) == "timed out";
                controller->fetcher()->setTimeout(timesOut ? 150 : 120000);
                manual ? controller->manualUpdate() : controller->automaticUpdate();
                ASSERT_TRUE(waitForChecks(*controller));
                EXPECT_FALSE(controller->downloadActive());
                EXPECT_FALSE(defaults.objectForKey(TWUpdateController::LastCheckKey).isValid());
                EXPECT_EQ(controller->pendingTimerInterval(),
                          mode == 2 ? std::optional<int>(TWUpdateController::RetryDelay)
                                    : std::nullopt);
                if (!manual) {
                    EXPECT_TRUE(alerts.alerts().isEmpty());
                    continue;
                }
                ASSERT_EQ(alertTitles(), QStringList{"Unable to download version information."});
                EXPECT_TRUE(alerts.alerts().first().message.contains(c.error));
            }
        }
    }
}

TEST_F(UpdateControllerTest, ASecondRequestDuringADownloadIsIgnored)
{
    server.route(TWUpdateController::VersionsPath, {200, "", "", true, true});
    auto controller = make();
    // Long enough that the second request surely comes while the first waits.
    controller->fetcher()->setTimeout(3000);
    controller->automaticUpdate();
    EXPECT_TRUE(controller->downloadActive());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return server.requests(TWUpdateController::VersionsPath) == 1; }, 60000));
    controller->manualUpdate();
    controller->automaticUpdate();
    EXPECT_FALSE(controller->isManualUpdate());
    ASSERT_TRUE(waitForChecks(*controller));
    EXPECT_EQ(server.requests(TWUpdateController::VersionsPath), 1);
    EXPECT_TRUE(alerts.alerts().isEmpty()); // the automatic one failed quietly
}

TEST_F(UpdateControllerTest, UnlistedBetaBuildsAskForTheBetaFile)
{
    struct Case
    {
        const char *name;
        const char *running;
        LoopbackHTTPServer::Reply beta;
        QStringList titles;
        int answer;
        QStringList opened;
    };
    const QString production = "https://127.0.0.1/Thinkweb41.dmg";
    const QString base = server.baseURL();
    const Case cases[] = {
        {"newer beta, download it",
         "4.1b2",
         {200, "4.1b3\n"},
         {"Newer Beta Release Available"},
         0,
         {base + "/DownloadFiles/Thinkweb41b3.dmg"}},
        {"newer beta, production instead",
         "4.1b2",
         {200, "4.1b3"},
         {"Newer Beta Release Available"},
         1,
         {production}},
        {"newer beta, cancel", "4.1b2", {200, "4.1b3"}, {"Newer Beta Release Available"}, 2, {}},
        {"running the latest beta", "4.1b2", {200, "4.1b2"}, {"Beta Release"}, 0, {}},
        {"older beta on the server", "4.1b2", {200, "4.1b1"}, {"Beta Release"}, 0, {}},
        {"beta text injected", "4.1b2", {200, "4.1b3/../../x?y"}, {"Beta Release"}, 0, {}},
        {"no beta file",
         "4.1b2",
         {404, "gone"},
         {"Error downloading beta information", "Beta Release"},
         0,
         {}},
    };
    server.route(TWUpdateController::VersionsPath, {200, versionsList({"4.1|" + production})});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        opened.clear();
        server.route(TWUpdateController::BetaPath, c.beta);
        alerts.queueAlertResponse(c.answer);
        auto controller = make(c.running);
        controller->automaticUpdate();
        ASSERT_TRUE(waitForChecks(*controller));
        EXPECT_EQ(alertTitles(), c.titles);
        EXPECT_EQ(opened, c.opened);
        EXPECT_EQ(controller->updatesWindow(), nullptr);
    }
    // A listed beta build is an ordinary version: no beta file is asked for.
    const int before = server.requests(TWUpdateController::BetaPath);
    server.route(TWUpdateController::VersionsPath,
                 {200, versionsList({"4.1b2|" + production, "4.0|"})});
    auto controller = make("4.1b2");
    controller->automaticUpdate();
    ASSERT_TRUE(waitForChecks(*controller));
    EXPECT_EQ(server.requests(TWUpdateController::BetaPath), before);
    EXPECT_EQ(controller->updatesWindow(), nullptr);
}
