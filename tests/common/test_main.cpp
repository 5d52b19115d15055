#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every suite runs inside an application object: fonts, images, painting and
// the widget kit need the GUI side of Qt, and the undo and notification tests need the event loop.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Settings, styles, caches and crash reports go into a home of the run's
    // own, never into the user's.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/thinkweb-test-home-XXXXXX"));
    if (home.isValid()) {
        const QByteArray path = QFile::encodeName(home.path());
        qputenv("HOME", path);
        qputenv("XDG_CONFIG_HOME", path + "/.config");
        qputenv("XDG_DATA_HOME", path + "/.local/share");
        qputenv("XDG_CACHE_HOME", path + "/.cache");
        qputenv("XDG_STATE_HOME", path + "/.local/state");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
