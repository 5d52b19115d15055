#include "application/CrashReporter.h"
#include "application/Startup.h"

#include <QStandardPaths>
#include <gtest/gtest.h>

#include <cstdlib>

// Each test makes its own application object, so this suite runs without one.
// Started with THINKWEB_CRASH_FOLDER set, the program crashes on purpose
// instead, for the crash report test.
int main(int argc, char **argv)
{
    registerTypesAndResources();
    if (qEnvironmentVariableIsSet("THINKWEB_CRASH_FOLDER")) {
        if (!CrashReporter::launch("Thinkweb", "defects@thinkweb.example.org",
                                   qEnvironmentVariable("THINKWEB_CRASH_FOLDER")))
            return 3;
        std::abort();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
