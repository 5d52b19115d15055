#include "TestHome.h"
#include "application/Startup.h"

#include <QApplication>
#include <gtest/gtest.h>

// Every suite runs inside an application object: fonts, images, painting and
// the widget kit need the GUI side of Qt, and the undo and notification tests need the event loop.
int main(int argc, char **argv)
{
    registerTypesAndResources();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const auto home = useTemporaryHome();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
