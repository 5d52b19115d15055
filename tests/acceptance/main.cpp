#include "TestHome.h"
#include "application/Startup.h"

#include <gtest/gtest.h>

// Each test starts its own application object of the edition it walks, so
// this program makes none. Without a display the tests run offscreen.
int main(int argc, char **argv)
{
    registerTypesAndResources();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const auto home = useTemporaryHome();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
