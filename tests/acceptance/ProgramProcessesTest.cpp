// The program as the desktop runs it: real processes of `thinkweb` on one
// session bus and one X server. A second launch hands its files to the one
// running and ends; the program ends with its last window. The windows are
// looked at and closed through the X server, as a window manager does.

#include "../../bench/BranchDocumentGenerator.h"
#include "model/TWFileIO.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#ifdef THINKWEB_TEST_XCB
#include "X11Windows.h"
#endif

namespace {

#ifdef THINKWEB_TEST_XCB
// The shown windows of one process.
QList<X11::Window> windowsOf(X11::Connection &x, qint64 pid)
{
    QList<X11::Window> found;
    for (const X11::Window &window : x.shownWindows())
        if (window.pid == pid)
            found << window;
    return found;
}

QStringList titlesOf(const QList<X11::Window> &windows)
{
    QStringList titles;
    for (const X11::Window &window : windows)
        titles << window.title.section(QStringLiteral(" \u2014 "), 0, 0);
    return titles;
}

// Waits (the event loop of no one: the programs are elsewhere) until `done`.
template <class F> bool waitFor(F done, int milliseconds = 60000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}
#endif

} // namespace

TEST(ProgramProcesses, ASecondLaunchHandsItsFilesOverAndTheProgramEndsWithItsLastWindow)
{
#ifndef THINKWEB_TEST_XCB
    GTEST_SKIP() << "built without the X client library";
#else
    if (qEnvironmentVariable("QT_QPA_PLATFORM") != u"xcb" || qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X server: the acceptance_under_xvfb run";
    X11::Connection x;
    ASSERT_TRUE(x.isValid());
    // The processes are watched from here; no window of this one is needed,
    // but the documents it writes measure their labels.
    int argc = 1;
    char arg0[] = "test_acceptance";
    char *argv[] = {arg0, nullptr};
    QGuiApplication watcher(argc, argv);
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/thinkweb");
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();

    // A session bus of the test's own: a program the user runs is not asked.
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {"--session", "--nofork", "--nopidfile", "--print-address=1"});
    ASSERT_TRUE(bus.waitForStarted()) << "dbus-daemon is needed: scripts/install-deps";
    ASSERT_TRUE(bus.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    const auto stopBus = qScopeGuard([&] {
        bus.kill();
        bus.waitForFinished();
    });

    QTemporaryDir folder;
    const QString plan = folder.filePath(QStringLiteral("plan.tweb"));
    const QString other = folder.filePath(QStringLiteral("other.tweb"));
    for (const QString &path : {plan, other}) {
        auto document = BranchDocument::makeDocument(12);
        ASSERT_EQ(document->saveToFile(path), TWFileIO::SaveSucceeded);
        document->detach();
    }
    // A first start asks about the tutorials; this user has answered.
    {
        QSettings settings(folder.filePath(QStringLiteral("config/thinkweb/thinkweb-deluxe.ini")),
                           QSettings::IniFormat);
        settings.setValue(QStringLiteral("TWPromptForTutorAtStartup"), false);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")));
    environment.insert("XDG_STATE_HOME", folder.filePath(QStringLiteral("state")));
    // Their leaks are not what is tested here.
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    const auto launch = [&](QProcess &process, const QStringList &arguments) {
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder.path());
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, arguments);
        return process.waitForStarted(30000);
    };

    QProcess first;
    ASSERT_TRUE(launch(first, {QStringLiteral("plan.tweb")}));
    const auto stopFirst = qScopeGuard([&] {
        if (first.state() != QProcess::NotRunning) {
            first.kill();
            first.waitForFinished();
        }
    });
    ASSERT_TRUE(waitFor([&] { return titlesOf(windowsOf(x, first.processId())) == QStringList{"plan"}; }))
        << titlesOf(windowsOf(x, first.processId())).join(u',').toStdString();

    // Each later launch ends at once, without a window of its own, and its
    // file opens in the first program, or comes to the front there.
    // A file open here, opened from the other edition, comes to the front
    // here too rather than open a second time.
    struct Launch
    {
        const char *file;
        bool compact;
        QStringList shown; // the first program's windows, bottom to top
    };
    const Launch launches[] = {
        {"other.tweb", false, {"plan", "other"}},
        {"plan.tweb", true, {"other", "plan"}},
        {"other.tweb", true, {"plan", "other"}},
        {"plan.tweb", false, {"other", "plan"}},
    };
    for (const Launch &l : launches) {
        SCOPED_TRACE(std::string(l.file) + (l.compact ? " from Compact" : ""));
        QProcess later;
        QStringList arguments{QString::fromLatin1(l.file)};
        if (l.compact)
            arguments.prepend(QStringLiteral("--edition=compact"));
        ASSERT_TRUE(launch(later, arguments));
        const qint64 laterPid = later.processId();
        ASSERT_TRUE(later.waitForFinished(60000)) << "the second program stayed";
        EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(later.exitCode(), 0);
        EXPECT_TRUE(windowsOf(x, laterPid).isEmpty());
        EXPECT_TRUE(waitFor([&] { return titlesOf(windowsOf(x, first.processId())) == l.shown; }))
            << titlesOf(windowsOf(x, first.processId())).join(u',').toStdString();
    }

    // The close buttons of its windows, one after the other: with the last
    // one the program ends, as nothing of it is left to see.
    const QList<X11::Window> shown = windowsOf(x, first.processId());
    ASSERT_EQ(shown.size(), 2);
    x.requestClose(shown.at(1).id);
    ASSERT_TRUE(waitFor([&] { return windowsOf(x, first.processId()).size() == 1; }));
    EXPECT_EQ(first.state(), QProcess::Running);
    x.requestClose(shown.at(0).id);
    ASSERT_TRUE(first.waitForFinished(60000)) << "the program stayed without a window";
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);

    // Nothing runs under the name now: the next launch is a program of its own.
    QProcess next;
    ASSERT_TRUE(launch(next, {QStringLiteral("other.tweb")}));
    const auto stopNext = qScopeGuard([&] {
        if (next.state() != QProcess::NotRunning) {
            next.kill();
            next.waitForFinished();
        }
    });
    EXPECT_TRUE(waitFor([&] { return titlesOf(windowsOf(x, next.processId())) == QStringList{"other"}; }));
    const QList<X11::Window> own = windowsOf(x, next.processId());
    ASSERT_EQ(own.size(), 1);
    x.requestClose(own.first().id);
    EXPECT_TRUE(next.waitForFinished(60000));
#endif
}
