#pragma once

#include <QStringList>
#include <QVariantList>
#include <QtPlugin>

// What the branch-suggestion plug-in offers. A plug-in is a Qt plug-in whose
// root object implements this interface; its metadata's "CFBundleVersion"
// gives its release (at least 4.0 is required).
class TWSuggestionProvider
{
public:
    virtual ~TWSuggestionProvider() = default;
    // The interface version; 1 is the one this program speaks.
    virtual int version() const = 0;
    // Words related to `words`, none of `excludingWords`, in the order to show.
    virtual QStringList getSuggestedWordsForWords(const QStringList &words,
                                                  const QStringList &excludingWords) = 0;
    // One map per sense: "definition" (string), "avatar" (the form of the
    // word defined) and "verbFrames" (list of strings, possibly empty).
    virtual QVariantList getDefinitionsForWord(const QString &word) = 0;
};

#define TWSuggestionProvider_iid "org.thinkweb.TWSuggestionProvider"
Q_DECLARE_INTERFACE(TWSuggestionProvider, TWSuggestionProvider_iid)
