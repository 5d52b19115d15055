#include "application/ApplicationMenus.h"
#include "application/EditionTraits.h"
#include "application/TWApplication.h"
#include "platform/TWPreferences.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>
#include <cstdio>

#ifndef THINKWEB_VERSION
#define THINKWEB_VERSION "0"
#endif

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString program = QFileInfo(arguments.value(0, QStringLiteral("thinkweb"))).fileName();

    // The edition decides the settings, which must be in place before the
    // application object starts.
    const CommandLine early = CommandLine::parse(arguments);
    if (!early.error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(early.error));
        return 2;
    }
    const EditionTraits &traits = EditionTraits::forEdition(early.edition);
    UserDefaults defaults(traits.settingsPath());
    UserDefaults::Scope scope(&defaults);
    TWPreferences::registerDefaults();

    QCoreApplication::setApplicationVersion(QStringLiteral(THINKWEB_VERSION));
    const std::unique_ptr<TWApplication> app =
        TWApplication::create(traits.edition, argc, argv, ApplicationServices::standard());

    // The toolkit has taken its own options out by now.
    const CommandLine line = CommandLine::parse(app->arguments());
    if (!line.unknownOptions.isEmpty()) {
        std::fprintf(stderr, "%s: unknown option %s\n", qPrintable(program),
                     qPrintable(line.unknownOptions.first()));
        return 2;
    }

    ApplicationMenuWindow window(*app);
    window.show();
    app->finishLaunching(line.files);
    return app->exec();
}
