// The program ended by a signal, as `kill` and a closed terminal end it: the
// real `thinkweb`, started offscreen on its own, ends whatever it is asking.

#include "../../bench/BranchDocumentGenerator.h"
#include "model/TWFileIO.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

namespace {

// Reads what the program says on its standard error until a line holds
// `wanted`; false when it ended or the deadline passed first.
bool waitForLine(QProcess &process, const QString &wanted, QString &said, int milliseconds = 60000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!said.contains(wanted)) {
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(100);
        said += QString::fromLocal8Bit(process.readAllStandardError());
    }
    return true;
}

void writeDocument(const QString &path)
{
    auto document = BranchDocument::makeDocument(12);
    ASSERT_EQ(document->saveToFile(path), TWFileIO::SaveSucceeded);
    document->detach();
}

} // namespace

TEST(ProgramEnd, ASignalEndsTheProgramWhateverItAsks)
{
    const QString program =
        QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath() + QStringLiteral("/thinkweb");
    if (!QFileInfo(program).isExecutable())
        GTEST_SKIP() << "the program is not built beside the tests: " << program.toStdString();
    // The documents written here measure their labels.
    int argc = 1;
    char arg0[] = "test_acceptance";
    char *argv[] = {arg0, nullptr};
    QGuiApplication application(argc, argv);

    struct Case
    {
        const char *what;
        int signal;
        bool freshSettings; // else the tutorial question was answered
        QStringList files;
        const char *asking;
    };
    const Case cases[] = {
        {"the tutorial question of a first launch, a file named", SIGTERM, true,
         {QStringLiteral("plan.tweb")}, "Open the tutorials?"},
        {"a refusal while the launch opens its files", SIGHUP, false,
         {QStringLiteral("damaged.tweb"), QStringLiteral("plan.tweb")}, "could not be opened"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        writeDocument(folder.filePath(QStringLiteral("plan.tweb")));
        {
            QFile damaged(folder.filePath(QStringLiteral("damaged.tweb")));
            ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
            damaged.write("not a document");
        }
        const QString settingsPath =
            folder.filePath(QStringLiteral("config/thinkweb/thinkweb-deluxe.ini"));
        if (!c.freshSettings) {
            QSettings settings(settingsPath, QSettings::IniFormat);
            settings.setValue(QStringLiteral("TWPromptForTutorAtStartup"), false);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")));
        environment.insert("XDG_STATE_HOME", folder.filePath(QStringLiteral("state")));
        // No session bus: the program runs on its own.
        environment.insert("DBUS_SESSION_BUS_ADDRESS",
                           "unix:path=" + folder.filePath(QStringLiteral("no-bus")));
        environment.insert("QT_LOGGING_RULES", "thinkweb.alerts.debug=true");
        environment.insert("ASAN_OPTIONS", "detect_leaks=0");
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder.path());
        process.start(program, c.files);
        ASSERT_TRUE(process.waitForStarted(30000));
        QString said;
        const bool asked = waitForLine(process, QString::fromUtf8(c.asking), said);
        if (!asked)
            process.kill();
        ASSERT_TRUE(asked) << said.toStdString();

        // Ended by the signal, not by someone answering: nobody will.
        ASSERT_EQ(::kill(pid_t(process.processId()), c.signal), 0);
        const bool ended = process.waitForFinished(60000);
        if (!ended)
            process.kill();
        ASSERT_TRUE(ended) << "the program stayed";
        said += QString::fromLocal8Bit(process.readAllStandardError());
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << said.toStdString();
        EXPECT_EQ(process.exitCode(), 0);

        // The question ended as Cancel: the tutorials are offered again.
        EXPECT_TRUE(QSettings(settingsPath, QSettings::IniFormat)
                        .value(QStringLiteral("TWPromptForTutorAtStartup"), true)
                        .toBool() ||
                    !c.freshSettings);
        // Nothing was edited: nothing is kept.
        EXPECT_TRUE(QDir(folder.filePath(QStringLiteral("state/thinkweb/kept/thinkweb-deluxe")))
                        .entryList(QDir::Files)
                        .isEmpty());
    }
}
