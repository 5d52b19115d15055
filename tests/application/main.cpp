#include "TestHome.h"
#include "application/CrashReporter.h"
#include "application/Startup.h"

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
    // The program's settings, styles and caches, and those of the programs
    // the tests start, go into a home of the run's own.
    const auto home = useTemporaryHome();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
