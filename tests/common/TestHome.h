#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

// Settings, styles, caches and crash reports of a test run go into a home of
// the run's own, never into the user's. Call before the application object
// exists; the folder lives as long as the returned object.
inline std::unique_ptr<QTemporaryDir> useTemporaryHome()
{
    auto home = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                QStringLiteral("/thinkweb-test-home-XXXXXX"));
    if (!home->isValid())
        return home;
    const QByteArray path = QFile::encodeName(home->path());
    qputenv("HOME", path);
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    qputenv("XDG_STATE_HOME", path + "/.local/state");
    return home;
}
