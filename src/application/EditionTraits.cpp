#include "application/EditionTraits.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <optional>

namespace {
EditionTraits makeGeneric()
{
    EditionTraits t;
    t.edition = Edition::Generic;
    t.editionString = QStringLiteral("Thinkweb (Mac)");
    t.applicationIdentifier = QStringLiteral("unknown");
    t.applicationName = QStringLiteral("Thinkweb");
    t.programName = QStringLiteral("thinkweb");
    return t;
}

EditionTraits makeCompact()
{
    EditionTraits t;
    t.edition = Edition::Compact;
    t.productType = QStringLiteral("Compact");
    t.editionString = QStringLiteral("Thinkweb Compact (Mac)");
    t.applicationIdentifier = QStringLiteral("org.thinkweb.ThinkwebCompact");
    t.applicationName = QStringLiteral("Thinkweb Compact");
    t.programName = QStringLiteral("thinkweb-compact");
    return t;
}

EditionTraits makeDeluxe()
{
    EditionTraits t;
    t.edition = Edition::Deluxe;
    t.productType = QStringLiteral("Deluxe");
    t.editionString = QStringLiteral("Thinkweb Deluxe (Mac)");
    t.applicationIdentifier = QStringLiteral("org.thinkweb.ThinkwebDeluxe");
    t.applicationName = QStringLiteral("Thinkweb Deluxe");
    t.programName = QStringLiteral("thinkweb-deluxe");
    t.mapTabs = true;
    t.floatingPalettes = true;
    return t;
}

std::optional<Edition> editionNamed(const QString &name)
{
    if (name.compare(u"compact", Qt::CaseInsensitive) == 0)
        return Edition::Compact;
    if (name.compare(u"deluxe", Qt::CaseInsensitive) == 0)
        return Edition::Deluxe;
    return std::nullopt;
}
} // namespace

const EditionTraits &EditionTraits::generic()
{
    static const EditionTraits traits = makeGeneric();
    return traits;
}

const EditionTraits &EditionTraits::compact()
{
    static const EditionTraits traits = makeCompact();
    return traits;
}

const EditionTraits &EditionTraits::deluxe()
{
    static const EditionTraits traits = makeDeluxe();
    return traits;
}

const EditionTraits &EditionTraits::forEdition(Edition edition)
{
    switch (edition) {
    case Edition::Compact:
        return compact();
    case Edition::Deluxe:
        return deluxe();
    case Edition::Generic:
        break;
    }
    return generic();
}

QString EditionTraits::settingsPath() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/thinkweb/") + programName + QStringLiteral(".ini");
}

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine line;
    std::optional<Edition> chosen;
    const QString edition = QStringLiteral("--edition");
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (optionsEnded || !arg.startsWith(u'-') || arg == u"-") {
            line.files << arg;
        } else if (arg == u"--") {
            optionsEnded = true;
        } else if (arg == edition || arg.startsWith(edition + u'=')) {
            QString value;
            if (arg == edition) {
                if (i + 1 < arguments.size())
                    value = arguments[++i];
            } else {
                value = arg.mid(edition.size() + 1);
            }
            chosen = editionNamed(value);
            if (!chosen && line.error.isEmpty())
                line.error =
                    QStringLiteral("unknown edition \"%1\": use compact or deluxe").arg(value);
        } else {
            line.unknownOptions << arg;
        }
    }
    if (!chosen && !arguments.isEmpty()) {
        const QString program = QFileInfo(arguments.first()).fileName();
        if (program == EditionTraits::compact().programName)
            chosen = Edition::Compact;
    }
    line.edition = chosen.value_or(Edition::Deluxe);
    return line;
}
