#include "application/CrashReporter.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The suite's own program crashes on purpose when told to (see main.cpp).
TEST(CrashReporter, AFatalSignalLeavesAReportWithABacktrace)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath("state/thinkweb");
    QProcess crashing;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("THINKWEB_CRASH_FOLDER", folder);
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    crashing.setProcessEnvironment(env);
    crashing.start(QFile::symLinkTarget("/proc/self/exe"), {});
    ASSERT_TRUE(crashing.waitForStarted(30000));
    const qint64 pid = crashing.processId();
    ASSERT_TRUE(crashing.waitForFinished(30000));
    EXPECT_EQ(crashing.exitStatus(), QProcess::CrashExit);

    QFile report(QStringLiteral("%1/crash-%2.txt").arg(folder).arg(pid));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly)) << report.fileName().toStdString();
    const QString text = QString::fromUtf8(report.readAll());
    EXPECT_TRUE(text.startsWith("Thinkweb crash report\nPlease send this file to "
                                "defects@thinkweb.example.org.\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("Signal: SIGABRT (6)\n"));
    const QString trace = text.section("Backtrace:\n", 1);
    EXPECT_GE(trace.count('\n'), 2) << text.toStdString();
}
