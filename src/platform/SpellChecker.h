#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <thread>

class Hunspell;

// Checks the spelling of words in one language. Words a user chose to ignore
// are kept per document tag, so ignoring a word in one document leaves the
// others alone. Main thread only.
class SpellChecker
{
public:
    struct Range
    {
        qsizetype location = -1; // -1: none
        qsizetype length = 0;
        bool isNull() const { return location < 0; }
        friend bool operator==(const Range &, const Range &) = default;
    };

    virtual ~SpellChecker();

    // The language checked, "en_US" style; empty when there is no dictionary.
    virtual QString language() const = 0;
    // A word the dictionary knows (case as a dictionary allows it).
    virtual bool isKnownWord(const QString &word) const = 0;
    // Corrections offered for a misspelled word, best first.
    virtual QStringList guessesForWord(const QString &word) const = 0;

    // The first misspelled word that starts at or after `from`, searching to
    // the end and then, with `wrap`, from the start to `from`; a null range
    // when every word is known or ignored.
    Range checkSpellingOfString(const QString &text, qsizetype from, int documentTag = 0,
                                bool wrap = false) const;
    // Every misspelled word of the text, in order.
    QList<Range> misspelledRanges(const QString &text, int documentTag = 0) const;
    // Words of the text: runs holding at least one letter, apostrophes inside
    // a word kept with it.
    static QList<Range> wordRanges(const QString &text);

    // A tag for a new document's ignore list.
    int uniqueSpellDocumentTag();
    void ignoreWord(const QString &word, int documentTag);
    QStringList ignoredWords(int documentTag) const;
    void setIgnoredWords(const QStringList &words, int documentTag);
    void closeSpellDocumentWithTag(int documentTag);

    // The checker the program uses: Hunspell in the user's language, falling
    // back to en_US, made on first use.
    static SpellChecker &shared();
    // Reads the system's dictionary on a thread of its own, so that the
    // first label edited does not wait for it; the thread is joined when
    // the answer goes, which must be before the program ends.
    [[nodiscard]] static std::jthread loadInBackground();
    // Installs `checker` (not owned); nullptr restores the program's own.
    static void setShared(SpellChecker *checker);

    class Scope
    {
    public:
        explicit Scope(SpellChecker *checker);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        SpellChecker *m_previous;
    };

private:
    bool isMisspelled(const QString &word, int documentTag) const;

    QHash<int, QSet<QString>> m_ignored;
    int m_nextTag = 1;
};

// Hunspell over an .aff/.dic pair.
class HunspellSpellChecker : public SpellChecker
{
public:
    // Nothing loaded (every word known) when the files cannot be read.
    HunspellSpellChecker(const QString &affixPath, const QString &dictionaryPath,
                         const QString &language);
    ~HunspellSpellChecker() override;

    // The dictionary of `language` ("de_DE", "de"), else of en_US, from the
    // folders given (the system's dictionary folders when none); a checker
    // without a dictionary when neither is found.
    static std::unique_ptr<HunspellSpellChecker> forLanguage(const QString &language,
                                                             const QStringList &folders = {});
    static QStringList systemDictionaryFolders();

    bool isLoaded() const { return m_hunspell != nullptr; }
    QString language() const override { return m_hunspell ? m_language : QString(); }
    bool isKnownWord(const QString &word) const override;
    QStringList guessesForWord(const QString &word) const override;

private:
    std::string encode(const QString &word) const;
    QString decode(const std::string &bytes) const;

    std::unique_ptr<Hunspell> m_hunspell;
    QString m_language;
    bool m_latin1 = false;
};

// Test double: knows exactly the words it is given (compared without case),
// and guesses the known words of the same length.
class WordListSpellChecker : public SpellChecker
{
public:
    explicit WordListSpellChecker(const QStringList &words = {}, const QString &language = {})
        : m_language(language.isEmpty() ? QStringLiteral("en_US") : language)
    {
        for (const QString &w : words)
            m_words.insert(w.toLower());
    }
    QString language() const override { return m_language; }
    bool isKnownWord(const QString &word) const override
    {
        return m_words.contains(word.toLower());
    }
    QStringList guessesForWord(const QString &word) const override;

private:
    QSet<QString> m_words;
    QString m_language;
};
