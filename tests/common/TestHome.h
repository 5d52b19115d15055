#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

// Settings, styles, caches and crash reports of a test run go into a home of
// the run's own, never into the user's. Call before the application object
// exists; the folder, and every temporary folder made while it is the home,
// lives as long as the returned object.
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
    // Temporary folders of the run and of the programs it starts (the
    // presentation program's pipes and profiles among them) go with the home.
    if (QDir(home->path()).mkdir(QStringLiteral("tmp")))
        qputenv("TMPDIR", path + "/tmp");
    return home;
}
