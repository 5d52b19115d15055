#pragma once

#include "../tests/common/TestHome.h"
#include "application/Startup.h"
#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QGuiApplication>
#include <QtGlobal>

// What every fuzz target sets up once, after registerTypesAndResources(): logs
// are silenced (malformed input logs on every run), and targets that draw get
// an offscreen application.
namespace FuzzSupport {

// Settings and caches a run writes go into a home of its own, made before the
// fuzzer starts and removed when it exits.
inline const std::unique_ptr<QTemporaryDir> temporaryHome = useTemporaryHome();

inline void silenceLogs()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

inline void startGuiApplication(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: tearing Qt down at exit leaves its font caches to the
    // leak checker, which would end every run with a false leak report.
    static QGuiApplication *app = new QGuiApplication(*argc, *argv);
    (void)app;
}

// The program's types and resources, a GUI application and preferences of
// their own, for the importers; the folder returned outlives every input.
inline QTemporaryDir &startImporter(int *argc, char ***argv)
{
    registerTypesAndResources();
    silenceLogs();
    startGuiApplication(argc, argv);
    static QTemporaryDir *folder = new QTemporaryDir;
    static UserDefaults *defaults =
        new UserDefaults(folder->filePath(QStringLiteral("defaults.ini")));
    static UserDefaults::Scope scope(defaults);
    TWPreferences::registerDefaults(*defaults);
    return *folder;
}

} // namespace FuzzSupport
