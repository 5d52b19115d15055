#include "platform/SpellChecker.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString dataDir()
{
    return QStringLiteral(THINKWEB_TEST_DATA "/spelling");
}

std::unique_ptr<HunspellSpellChecker> tiny()
{
    return std::make_unique<HunspellSpellChecker>(dataDir() + "/tiny.aff", dataDir() + "/tiny.dic",
                                                  QStringLiteral("en_TINY"));
}

QStringList words(const QString &text, const QList<SpellChecker::Range> &ranges)
{
    QStringList result;
    for (const auto &r : ranges)
        result << text.mid(r.location, r.length);
    return result;
}

} // namespace

TEST(SpellChecker, WordsAreLetterRunsWithInnerApostrophes)
{
    const struct
    {
        QString text;
        QStringList words;
    } cases[] = {
        {"", {}},
        {"  ", {}},
        {"the map", {"the", "map"}},
        {"don't stop.", {"don't", "stop"}},
        {"A4 - 42 x", {"A4", "x"}},
        {QString::fromUtf8("café, naïve"), {QString::fromUtf8("café"), QString::fromUtf8("naïve")}},
        {QStringLiteral("a\uFFFCb"), {"a", "b"}}, // an attachment separates words
    };
    for (const auto &c : cases)
        EXPECT_EQ(words(c.text, SpellChecker::wordRanges(c.text)), c.words) << c.text.toStdString();
}

TEST(SpellChecker, HunspellChecksWithTheDictionaryAndItsAffixes)
{
    const auto checker = tiny();
    ASSERT_TRUE(checker->isLoaded());
    EXPECT_EQ(checker->language(), "en_TINY");
    const struct
    {
        QString word;
        bool known;
    } cases[] = {
        {"map", true},
        {"maps", true},
        {"Map", true}, // capitalised at a sentence start
        {"brwn", false},
        {"branchs", false}, // no suffix rule on "branch"
        {QString::fromUtf8("café"), true},
        {QString::fromUtf8("caf\u00e9s"), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(checker->isKnownWord(c.word), c.known) << c.word.toStdString();
    EXPECT_TRUE(checker->guessesForWord("brwn").contains("brown"));
}

TEST(SpellChecker, FindsMisspellingsFromAnOffsetWrappingAndIgnoringPerDocument)
{
    const auto checker = tiny();
    const QString text = "the brwn fox an idea ideaz 2nd";
    EXPECT_EQ(words(text, checker->misspelledRanges(text)), QStringList({"brwn", "an", "ideaz"}));

    const struct
    {
        qsizetype from;
        bool wrap;
        QString expected; // empty: nothing found
    } cases[] = {
        {0, false, "brwn"}, {4, false, "brwn"}, {5, false, "an"},    {18, false, "ideaz"},
        {27, false, ""},    {27, true, "brwn"}, {-3, false, "brwn"}, {999, true, "brwn"},
    };
    for (const auto &c : cases) {
        const auto r = checker->checkSpellingOfString(text, c.from, 0, c.wrap);
        EXPECT_EQ(r.isNull() ? QString() : text.mid(r.location, r.length), c.expected)
            << c.from << " wrap " << c.wrap;
    }

    const int first = checker->uniqueSpellDocumentTag();
    const int second = checker->uniqueSpellDocumentTag();
    EXPECT_NE(first, second);
    checker->ignoreWord("brwn", first);
    EXPECT_EQ(words(text, checker->misspelledRanges(text, first)), QStringList({"an", "ideaz"}));
    EXPECT_EQ(words(text, checker->misspelledRanges(text, second)).first(), "brwn");
    EXPECT_EQ(checker->ignoredWords(first), QStringList{"brwn"});
    checker->closeSpellDocumentWithTag(first);
    EXPECT_TRUE(checker->ignoredWords(first).isEmpty());
}

TEST(SpellChecker, LanguageFallsBackToEnglishThenToNoDictionary)
{
    QTemporaryDir dir;
    for (const QString &name : {QStringLiteral("de_DE"), QStringLiteral("en_US")}) {
        QFile::copy(dataDir() + "/tiny.aff", dir.filePath(name + ".aff"));
        QFile::copy(dataDir() + "/tiny.dic", dir.filePath(name + ".dic"));
    }
    const struct
    {
        QString asked;
        QString language;
    } cases[] = {
        {"de_DE", "de_DE"}, {"de_AT", "de_DE"}, {"de", "de_DE"},
        {"fr_FR", "en_US"}, {"", "en_US"},      {"C", "en_US"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(HunspellSpellChecker::forLanguage(c.asked, {dir.path()})->language(), c.language)
            << c.asked.toStdString();

    QTemporaryDir empty;
    const auto none = HunspellSpellChecker::forLanguage("fr_FR", {empty.path()});
    EXPECT_FALSE(none->isLoaded());
    EXPECT_TRUE(none->language().isEmpty());
    // Without a dictionary nothing is underlined.
    EXPECT_TRUE(none->misspelledRanges("qwzx").isEmpty());
}

TEST(SpellChecker, SharedCheckerCanBeReplacedForAScope)
{
    WordListSpellChecker double_({"alpha"});
    {
        SpellChecker::Scope scope(&double_);
        EXPECT_EQ(&SpellChecker::shared(), &double_);
        EXPECT_EQ(words("alpha betta", SpellChecker::shared().misspelledRanges("alpha betta")),
                  QStringList{"betta"});
        EXPECT_EQ(double_.guessesForWord("ALPHX"), QStringList{"alpha"});
    }
    EXPECT_NE(&SpellChecker::shared(), &double_);
}
