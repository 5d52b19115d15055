#pragma once

#include "palettes/TWSuggestionProvider.h"

#include <QObject>

// The branch-suggestion plug-in over the WordNet lexical database: related
// words (synonyms, then broader, narrower and similar terms) and the glosses
// of a word's senses with, for verbs, their sentence frames. The database is
// read from $WNSEARCHDIR, else the Debian package's folder; without it the
// plug-in answers nothing.
class TWWordNetSuggestions : public QObject, public TWSuggestionProvider
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TWSuggestionProvider_iid FILE "ideaspinner.json")
    Q_INTERFACES(TWSuggestionProvider)

public:
    static constexpr int maxSuggestions = 40;

    int version() const override { return 1; }
    QStringList getSuggestedWordsForWords(const QStringList &words,
                                          const QStringList &excludingWords) override;
    QVariantList getDefinitionsForWord(const QString &word) override;
};
