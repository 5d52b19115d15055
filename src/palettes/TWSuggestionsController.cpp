#include "palettes/TWSuggestionsController.h"

#include "platform/Alerts.h"
#include "platform/CFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QPluginLoader>

namespace {

struct State
{
    TWSuggestionProvider *provider = nullptr;
    bool wrongVersion = false;
    QString folder;
    TWSuggestionsController::BundleOpener opener;
};

State &state()
{
    static State s;
    return s;
}

std::optional<TWSuggestionsController::Bundle> openPlugin(const QString &path)
{
    // Kept loaded for the life of the process, as the object it makes is.
    auto *loader = new QPluginLoader(path, QCoreApplication::instance());
    const QJsonObject meta = loader->metaData().value(QStringLiteral("MetaData")).toObject();
    TWSuggestionsController::Bundle bundle;
    const QJsonValue version = meta.value(QStringLiteral("CFBundleVersion"));
    bundle.version =
        version.isDouble() ? version.toDouble() : CFormat::floatValue(version.toString());
    bundle.principalObject = [loader]() -> TWSuggestionProvider * {
        if (!loader->load()) {
            qWarning("Suggestion plug-in not loaded: %s", qPrintable(loader->errorString()));
            return nullptr;
        }
        return qobject_cast<TWSuggestionProvider *>(loader->instance());
    };
    return bundle;
}

} // namespace

QStringList TWSuggestionsController::asciiOnly(const QStringList &words)
{
    QStringList result;
    for (const QString &word : words) {
        const bool ascii =
            std::all_of(word.begin(), word.end(), [](QChar c) { return c.unicode() < 0x80; });
        if (ascii)
            result.append(word);
    }
    return result;
}

QString TWSuggestionsController::pluginFolder()
{
    if (!state().folder.isEmpty())
        return state().folder;
    // Beside the program in a build, in lib/ once installed.
    const QString built = QCoreApplication::applicationDirPath() + QStringLiteral("/plugins");
    if (QFileInfo(built).isDir())
        return built;
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../lib/thinkweb/plugins"));
}

void TWSuggestionsController::setPluginFolder(const QString &folder)
{
    state().folder = folder;
}

void TWSuggestionsController::setBundleOpener(BundleOpener opener)
{
    state().opener = std::move(opener);
}

void TWSuggestionsController::reset()
{
    state().provider = nullptr;
    state().wrongVersion = false;
}

QStringList TWSuggestionsController::bundlePaths()
{
    const QString folder = pluginFolder();
    return {folder + QStringLiteral("/libIdeaspinner.so"),
            folder + QStringLiteral("/libBranchProposalSystem.so")};
}

std::optional<QString> TWSuggestionsController::suggestionsBundlePath()
{
    for (const QString &path : bundlePaths()) {
        if (QFileInfo::exists(path))
            return path;
    }
    return std::nullopt;
}

bool TWSuggestionsController::suggestionPluginInstalled()
{
    return state().provider || suggestionsBundlePath();
}

TWSuggestionProvider *TWSuggestionsController::bps()
{
    State &s = state();
    if (s.wrongVersion)
        return nullptr;
    if (s.provider)
        return s.provider;
    const std::optional<QString> path = suggestionsBundlePath();
    if (!path)
        return nullptr;
    const std::optional<Bundle> bundle = s.opener ? s.opener(*path) : openPlugin(*path);
    if (!bundle)
        return nullptr;
    if (bundle->version < requiredBundleVersion) {
        const QString message =
            CFormat::format("This version of Thinkweb works with Ideaspinnor version %0.1f - you "
                            "have version %0.1f installed. Please download and install the latest "
                            "version from ",
                            requiredBundleVersion, bundle->version) +
            DownloadAddress + QLatin1Char('.');
        Alerts::current().runAlertPanel(ErrorTitle, message, {QStringLiteral("OK")});
        s.wrongVersion = true;
        return nullptr;
    }
    TWSuggestionProvider *provider = bundle->principalObject ? bundle->principalObject() : nullptr;
    if (!provider)
        return nullptr;
    if (const int version = provider->version(); version != requiredInterfaceVersion) {
        const QString message =
            CFormat::format("This version of Thinkweb works with Ideaspinnor version %d - you have "
                            "version %d installed. Please install the correct version.",
                            requiredInterfaceVersion, version);
        Alerts::current().runAlertPanel(ErrorTitle, message, {QStringLiteral("OK")});
        // Never asked again: one alert, not one per refresh of the palette.
        s.wrongVersion = true;
        return nullptr;
    }
    s.provider = provider;
    return provider;
}

std::optional<QStringList>
TWSuggestionsController::suggestionsForWords(const QStringList &words,
                                             const QStringList &excludingWords)
{
    const QStringList ascii = asciiOnly(words);
    if (ascii.isEmpty())
        return std::nullopt;
    TWSuggestionProvider *provider = bps();
    if (!provider)
        return std::nullopt;
    return provider->getSuggestedWordsForWords(ascii, asciiOnly(excludingWords));
}

std::optional<QVariantList> TWSuggestionsController::definitionsForWord(const QString &word)
{
    TWSuggestionProvider *provider = bps();
    if (!provider)
        return std::nullopt;
    return provider->getDefinitionsForWord(word);
}
