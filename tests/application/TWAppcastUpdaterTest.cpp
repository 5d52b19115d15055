#include "application/TWAppcastUpdater.h"
#include "ApplicationTestSupport.h"
#include "LoopbackHTTPServer.h"
#include "platform/RecordingAlerts.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QTimeZone>

namespace {

QByteArray appcast(const QList<QByteArray> &enclosures)
{
    QByteArray out = "<?xml version=\"1.0\"?><rss version=\"2.0\" "
                     "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
                     "<channel><title>Thinkweb</title>";
    for (const QByteArray &enclosure : enclosures)
        out += "<item><title>Thinkweb</title><enclosure " + enclosure + "/></item>";
    return out + "</channel></rss>";
}

class AppcastTest : public ApplicationTest
{
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        start();
        ASSERT_TRUE(server.listen());
        defaults.setString(server.baseURL() + "/appcast.xml", TWAppcastUpdater::FeedURLKey);
        server.route("/Thinkweb-5.0.tar.gz", {200, payload});
    }

    std::unique_ptr<TWAppcastUpdater> make(bool agree)
    {
        TWAppcastUpdater::Environment env;
        env.now = [this] { return clock; };
        env.confirm = [this, agree](const TWAppcastUpdater::Item &item) {
            offered << item.version;
            return agree;
        };
        env.reveal = [this](const QString &path) { revealed << path; };
        env.downloadFolder = dir.filePath("Downloads");
        env.currentVersion = "4.0";
        env.startDelay = -1;
        return std::make_unique<TWAppcastUpdater>(env);
    }
    static bool finish(TWAppcastUpdater &u, int count = 1)
    {
        return QTest::qWaitFor([&] { return u.finishedChecks() >= count; }, 60000);
    }
    QStringList downloads() const { return QDir(dir.filePath("Downloads")).entryList(QDir::Files); }

    RecordingAlerts alerts;
    Alerts::Scope alertScope{&alerts};
    LoopbackHTTPServer server;
    const QByteArray payload = QByteArray(3000, 'p');
    QDateTime clock = QDateTime(QDate(2026, 3, 1), QTime(12, 0), QTimeZone::utc());
    QStringList offered;
    QStringList revealed;
};

} // namespace

TEST_F(AppcastTest, NewestItemIsOfferedAndOnlyAConfirmedGoodFileIsKept)
{
    const QByteArray url = "url=\"" + server.baseURL().toUtf8() + "/Thinkweb-5.0.tar.gz\"";
    const QByteArray sha = QCryptographicHash::hash(payload, QCryptographicHash::Sha256).toHex();
    struct Case
    {
        const char *name;
        QList<QByteArray> enclosures;
        bool agree;
        QStringList offered;
        QStringList kept;
        QStringList alerts;
    };
    const Case cases[] = {
        {"declined downloads nothing",
         {url + " sparkle:version=\"5.0\" length=\"3000\""},
         false,
         {"5.0"},
         {},
         {}},
        {"right length is kept and shown",
         {url + " sparkle:version=\"3.0\" length=\"1\"",
          url + " sparkle:version=\"5.0\" length=\"3000\" sparkle:sha256=\"" + sha + "\""},
         true,
         {"5.0"},
         {"Thinkweb-5.0.tar.gz"},
         {}},
        {"wrong length is deleted and reported",
         {url + " sparkle:version=\"5.0\" length=\"2999\""},
         true,
         {"5.0"},
         {},
         {"The update could not be downloaded."}},
        {"more than announced is refused",
         {url + " sparkle:version=\"5.0\" length=\"3001\""},
         true,
         {"5.0"},
         {},
         {"The update could not be downloaded."}},
        {"wrong digest is deleted and reported",
         {url + " sparkle:version=\"5.0\" length=\"3000\" sparkle:sha256=\"00ff\""},
         true,
         {"5.0"},
         {},
         {"The update could not be downloaded."}},
        {"insecure address is refused",
         {"url=\"http://downloads.example.net/x.tgz\" sparkle:version=\"5.0\" length=\"3\""},
         true,
         {"5.0"},
         {},
         {"The update could not be downloaded."}},
        {"nothing newer offers nothing",
         {url + " sparkle:version=\"4.0\" length=\"3000\""},
         true,
         {},
         {},
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        offered.clear();
        revealed.clear();
        QDir(dir.filePath("Downloads")).removeRecursively();
        server.route("/appcast.xml", {200, appcast(c.enclosures)});
        auto updater = make(c.agree);
        updater->checkForUpdates();
        ASSERT_TRUE(finish(*updater));
        EXPECT_EQ(offered, c.offered);
        EXPECT_EQ(downloads(), c.kept);
        QStringList titles;
        for (const auto &a : alerts.alerts())
            titles << a.title;
        EXPECT_EQ(titles, c.alerts);
        EXPECT_EQ(revealed.size(), c.kept.size());
    }
    // A second download never replaces the first.
    server.route("/appcast.xml",
                 {200, appcast({url + " sparkle:version=\"5.0\" length=\"3000\""})});
    for (int i = 1; i <= 2; ++i) {
        auto updater = make(true);
        updater->checkForUpdates();
        ASSERT_TRUE(finish(*updater));
    }
    EXPECT_EQ(downloads(), QStringList({"Thinkweb-5.0 (2).tar.gz", "Thinkweb-5.0.tar.gz"}));
}

TEST_F(AppcastTest, ScheduleFollowsThePreferencesAndNoFeedIsQuiet)
{
    server.route("/appcast.xml", {200, appcast({})});
    struct Case
    {
        QVariant atStartup;
        QVariant interval;       // seconds
        int hoursSinceLastCheck; // -1: never
        int requests;
        std::optional<int> timer;
    };
    const Case cases[] = {
        {true, QVariant(), -1, 1, std::nullopt},
        {false, QVariant(), -1, 0, std::nullopt},
        {false, 7 * 86400, -1, 0, 0},
        {false, 86400, 6, 0, 18 * 3600 * 1000},
        {true, 0, -1, 1, std::nullopt},
    };
    for (const Case &c : cases) {
        defaults.setObject(c.atStartup, TWAppcastUpdater::CheckAtStartupKey);
        defaults.setObject(c.interval, TWAppcastUpdater::IntervalKey);
        defaults.setObject(c.hoursSinceLastCheck < 0
                               ? QVariant()
                               : QVariant(clock.addSecs(-3600LL * c.hoursSinceLastCheck)),
                           TWAppcastUpdater::LastCheckKey);
        const int before = server.requests("/appcast.xml");
        auto updater = make(false);
        updater->start();
        if (c.requests) {
            ASSERT_TRUE(finish(*updater));
        }
        EXPECT_EQ(server.requests("/appcast.xml") - before, c.requests);
        EXPECT_EQ(updater->pendingTimerInterval(), c.timer);
    }
    // The feed the program registers without a configured server goes nowhere.
    for (const char *feed : {"/Updates/update.php?x=1", "http://feeds.example.net/cast.xml", ""}) {
        defaults.setString(feed, TWAppcastUpdater::FeedURLKey);
        auto updater = make(true);
        updater->checkForUpdates();
        EXPECT_EQ(updater->finishedChecks(), 1) << feed;
        EXPECT_TRUE(offered.isEmpty());
        EXPECT_TRUE(alerts.alerts().isEmpty());
    }
}

TEST(AppcastHelpers, FileNamesStayInTheFolder)
{
    const std::pair<const char *, const char *> names[] = {
        {"https://h/a/Thinkweb-5.0.tar.gz", "Thinkweb-5.0.tar.gz"},
        {"https://h/a/..%2F..%2Fetc%2Fpasswd", "passwd"},
        {"https://h/a/..%5C..%5Cx.sh", "x.sh"},
        {"https://h/.hidden", "hidden"},
        {"https://h/", "Thinkweb update"},
        {"https://h/:x", "x"},
        {"https://h/%3A%2Fetc%2Fx", "x"},
        {"https://h/..", "Thinkweb update"},
        {"https://h/...%3A.%3A", "Thinkweb update"},
        {"https://h/a%0Ab%09c%00d%7F.tgz", "abcd.tgz"},
        {"https://h/%E2%80%AEgpj.exe", "gpj.exe"},
        {"https://h/%20%20", "Thinkweb update"},
    };
    const QDir folder(QStringLiteral("/tmp/Downloads"));
    for (const auto &[url, name] : names) {
        const QString safe = TWAppcastUpdater::safeFileName(QUrl(url));
        EXPECT_EQ(safe, name) << url;
        EXPECT_EQ(QFileInfo(folder.filePath(safe)).absoluteDir(), folder) << url;
    }
    // Long names are cut to what a file system takes, with room to number them.
    const QString longName = TWAppcastUpdater::safeFileName(
        QUrl(QStringLiteral("https://h/") + QString(300, u'\u00e9')));
    EXPECT_LE(longName.toUtf8().size(), 240);
    EXPECT_FALSE(longName.isEmpty());
    // Cut by whole characters: a character of two UTF-16 units astride the
    // bound goes whole, and no half of it is left to be written as "?".
    const struct
    {
        int ascii;            // "a"s before the tail
        const char16_t *tail; // repeated to well past the bound
        int bytes;            // what is kept
    } cuts[] = {
        {237, u"\U0001F600", 237}, // the emoji's four bytes would end at 241
        {236, u"\U0001F600", 240}, // it ends at 240: kept
        {0, u"\U0001F600", 240},   // emoji only
        {1, u"\U0001F600", 237},       {0, u"\u4E2D", 240}, // three bytes, one unit
        {1, u"\u00E9\U0001F600", 237},                      // ends with the last "é" that fits
    };
    for (const auto &c : cuts) {
        const QString tail = QString::fromUtf16(c.tail);
        const QString whole = QString(c.ascii, u'a') + tail.repeated(300 / int(tail.size()));
        const QString cut = TWAppcastUpdater::safeFileName(QUrl(
            QStringLiteral("https://h/") + QString::fromLatin1(QUrl::toPercentEncoding(whole))));
        SCOPED_TRACE(cut.toStdString());
        EXPECT_EQ(cut.toUtf8().size(), c.bytes);
        EXPECT_TRUE(whole.startsWith(cut));
        EXPECT_TRUE(cut.isValidUtf16());
        EXPECT_EQ(QString::fromUtf8(cut.toUtf8()), cut);
    }
    EXPECT_FALSE(TWAppcastUpdater::newestItem("<rss><channel/></rss>"));
    EXPECT_FALSE(TWAppcastUpdater::newestItem("not xml"));
}
