#pragma once

#include "palettes/TWSuggestionProvider.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <optional>

// The only code that talks to the suggestion plug-in: finds it, loads it once
// per process, checks its versions (telling the user when it is too old or
// speaks another interface) and hands on its words and definitions.
class TWSuggestionsController
{
public:
    // An installed plug-in before its code is loaded.
    struct Bundle
    {
        // Its "CFBundleVersion", read as a number.
        double version = 0;
        // Loads the code and makes the principal object; null when either fails.
        std::function<TWSuggestionProvider *()> principalObject;
    };
    using BundleOpener = std::function<std::optional<Bundle>(const QString &path)>;

    static inline const QString ErrorTitle = QStringLiteral("Ideaspinnor Error");
    static inline const QString DownloadAddress =
        QStringLiteral("https://thinkweb.example.org/ideaspinner");
    static constexpr double requiredBundleVersion = 4.0;
    static constexpr int requiredInterfaceVersion = 1;

    // The plug-in files, in the order they are tried.
    static QStringList bundlePaths();
    static std::optional<QString> suggestionsBundlePath();
    static bool suggestionPluginInstalled();
    // The plug-in object; null when there is no usable plug-in.
    static TWSuggestionProvider *bps();

    // Nothing without a usable plug-in or when no word is plain ASCII; words
    // that are not (such as "naïve") are left out of both lists.
    static std::optional<QStringList> suggestionsForWords(const QStringList &words,
                                                          const QStringList &excludingWords);
    static std::optional<QVariantList> definitionsForWord(const QString &word);
    // The words the plug-in may be given, in order.
    static QStringList asciiOnly(const QStringList &words);

    // Where the plug-ins are looked for (the program's plug-in folder unless
    // set), how they are opened, and a fresh start; for tests.
    static void setPluginFolder(const QString &folder);
    static QString pluginFolder();
    static void setBundleOpener(BundleOpener opener);
    static void reset();
};
