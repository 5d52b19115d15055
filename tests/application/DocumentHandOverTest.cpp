#include "application/DocumentHandOver.h"
#include "ApplicationTestSupport.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>

namespace {

// A session bus of the test's own.
class PrivateBus
{
public:
    PrivateBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {"--session", "--nofork", "--nopidfile", "--print-address=1"});
        if (m_daemon.waitForStarted() && m_daemon.waitForReadyRead(10000))
            address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    QString address;

private:
    QProcess m_daemon;
};

const QString Service = QStringLiteral("org.thinkweb.ThinkwebTest");

// Holds a program's name and never answers, as a program that hangs does.
class SilentProgram : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.thinkweb.Documents")

public slots:
    Q_SCRIPTABLE bool OpenFiles(const QStringList &)
    {
        setDelayedReply(true);
        ++calls;
        return false;
    }
    Q_SCRIPTABLE QStringList TakeOpenFiles(const QStringList &)
    {
        setDelayedReply(true);
        ++calls;
        return {};
    }

public:
    int calls = 0;
};

} // namespace

TEST(DocumentHandOverTest, BusNamesComeFromTheEditionsIdentifier)
{
    const struct
    {
        const char *identifier;
        const char *service;
    } cases[] = {
        {"org.thinkweb.ThinkwebDeluxe", "org.thinkweb.ThinkwebDeluxe"},
        {"org.thinkweb.ThinkwebCompact", "org.thinkweb.ThinkwebCompact"},
        {"unknown", "org.thinkweb.Thinkweb"},
        {"org.9thinkweb.x", "org.thinkweb.Thinkweb"},
        {"org..x", "org.thinkweb.Thinkweb"},
        {"org.think web.x", "org.thinkweb.Thinkweb"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DocumentHandOver::serviceNameFor(QString::fromLatin1(c.identifier)),
                  QString::fromLatin1(c.service))
            << c.identifier;
}

class DocumentHandOverBusTest : public ApplicationTest
{};

TEST_F(DocumentHandOverBusTest, TheFirstLaunchRunsAndLaterOnesHandTheirFilesToIt)
{
    start();
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon is needed: scripts/install-deps";

    DocumentHandOver running;
    QList<QStringList> received;
    running.setReceiver([&received](const QStringList &files) { received << files; });
    ASSERT_EQ(running.startOnBus(bus.address, Service, {}), DocumentHandOver::Outcome::Running);
    EXPECT_TRUE(running.isRunning());

    // Relative names are made absolute where the launch stood.
    const QString here = QDir::currentPath();
    struct Case
    {
        QStringList given;
        QStringList arrives;
    };
    const Case cases[] = {
        {{"plan.tweb"}, {here + "/plan.tweb"}},
        {{"/maps/a.tweb", "/maps/b.opml"}, {"/maps/a.tweb", "/maps/b.opml"}},
        {{}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.given.join(u' ').toStdString());
        received.clear();
        DocumentHandOver later;
        EXPECT_EQ(later.startOnBus(bus.address, Service, c.given),
                  DocumentHandOver::Outcome::HandedOver);
        EXPECT_FALSE(later.isRunning());
        QDeadlineTimer deadline(10000);
        while (received.isEmpty() && !deadline.hasExpired())
            TestSupport::runEventLoopPass();
        ASSERT_EQ(received.size(), 1);
        EXPECT_EQ(received.first(), c.arrives);
    }

    // Only absolute names are taken from whoever calls.
    EXPECT_FALSE(running.OpenFiles({QStringLiteral("relative.tweb")}));

    // A program that is ending lets the next launch run on its own.
    running.stop();
    DocumentHandOver next;
    EXPECT_EQ(next.startOnBus(bus.address, Service, {QStringLiteral("/maps/a.tweb")}),
              DocumentHandOver::Outcome::Running);
}

TEST_F(DocumentHandOverBusTest, FilesOpenInTheOtherEditionAreShownThere)
{
    start();
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon is needed: scripts/install-deps";
    const QString other = QStringLiteral("org.thinkweb.ThinkwebOther");
    const QString open = QStringLiteral("/maps/open.tweb");

    DocumentHandOver running;
    QList<QStringList> received;
    running.setReceiver([&received](const QStringList &files) { received << files; });
    running.setOpenQuery([&open](const QString &file) { return file == open; });
    ASSERT_EQ(running.startOnBus(bus.address, other, {}), DocumentHandOver::Outcome::Running);

    struct Case
    {
        const char *what;
        QString service;
        QStringList given;
        QStringList taken;
    };
    const Case cases[] = {
        {"one open, one not", other, {"/maps/closed.tweb", open}, {open}},
        {"none open", other, {"/maps/closed.tweb"}, {}},
        {"no program of that edition", QStringLiteral("org.thinkweb.Nobody"), {open}, {}},
        {"no files", other, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        received.clear();
        EXPECT_EQ(DocumentHandOver::handOverOpenFilesOnBus(bus.address, c.service, c.given),
                  c.taken);
        // The program shows what it took, and only that.
        QDeadlineTimer deadline(c.taken.isEmpty() ? 200 : 10000);
        while (received.isEmpty() && !deadline.hasExpired())
            TestSupport::runEventLoopPass();
        EXPECT_EQ(received, c.taken.isEmpty() ? QList<QStringList>() : QList<QStringList>{c.taken});
    }
    // An ending program takes nothing.
    running.stop();
    EXPECT_TRUE(DocumentHandOver::handOverOpenFilesOnBus(bus.address, other, {open}).isEmpty());
}

TEST_F(DocumentHandOverBusTest, WithoutABusALaunchRunsAlone)
{
    start();
    DocumentHandOver alone;
    EXPECT_EQ(alone.startOnBus(QStringLiteral("unix:path=/nonexistent/bus"), Service, {}),
              DocumentHandOver::Outcome::Alone);
    EXPECT_FALSE(alone.isRunning());
}

TEST_F(DocumentHandOverBusTest, ALaunchRunsAloneWhenTheProgramHoldingTheNameNeverAnswers)
{
    start();
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon is needed: scripts/install-deps";
    DocumentHandOver::setCallTimeoutMs(300);
    const auto restore =
        qScopeGuard([] { DocumentHandOver::setCallTimeoutMs(DocumentHandOver::CallTimeoutMs); });
    SilentProgram silent;
    QDBusConnection held = QDBusConnection::connectToBus(bus.address, QStringLiteral("silent"));
    const auto disconnect =
        qScopeGuard([] { QDBusConnection::disconnectFromBus(QStringLiteral("silent")); });
    ASSERT_TRUE(held.registerService(Service));
    ASSERT_TRUE(held.registerObject(DocumentHandOver::ObjectPath, &silent,
                                    QDBusConnection::ExportScriptableSlots));

    DocumentHandOver later;
    EXPECT_EQ(later.startOnBus(bus.address, Service, {QStringLiteral("/maps/a.tweb")}),
              DocumentHandOver::Outcome::Alone);
    EXPECT_FALSE(later.isRunning());
    EXPECT_TRUE(DocumentHandOver::handOverOpenFilesOnBus(bus.address, Service,
                                                         {QStringLiteral("/maps/a.tweb")})
                    .isEmpty());
    // Both tries of the launch and the question reached the silent program.
    EXPECT_EQ(silent.calls, 3);
}

#include "DocumentHandOverTest.moc"
