#include "palettes/TWSuggestionsController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QPluginLoader>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef THINKWEB_SUGGESTION_PLUGIN_DIR

namespace {

// A small database in the files' own form: synset lines begin with their
// byte offset, which pointers and the index refer to.
class WordNetFixture : public ::testing::Test
{
protected:
    struct Synset
    {
        QString id;
        QString body; // with {id} placeholders for offsets
    };

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writeData("noun", {{"S1", "05 n 02 dog 0 domestic_dog 0 002 @ {S2} n 0000 ~ {S3} n 0000 | "
                                  "a member of the genus Canis; \"the dog barked all night\""},
                           {"S2", "05 n 02 canine 0 canid 0 000 | any of various fissiped mammals"},
                           {"S3", "05 n 01 puppy 0 001 @ {S1} n 0000 | a young dog"}});
        writeData("verb", {{"V1", "38 v 01 run 0 000 02 + 01 00 + 22 01 | move fast by using "
                                  "one's feet; \"Don't run\""},
                           {"V2", "38 v 02 chase 0 dog 0 000 02 + 08 01 + 09 02 | go after with "
                                  "the intent to catch"}});
        writeIndex("noun",
                   {"canine n 1 0 1 0 {S2}", "dog n 1 2 @ ~ 1 0 {S1}", "puppy n 1 1 @ 1 0 {S3}"});
        writeIndex("verb", {"dog v 1 0 1 0 {V2}", "run v 1 0 1 0 {V1}"});
        qputenv("WNSEARCHDIR", dir.path().toUtf8());
        loader.setFileName(QStringLiteral(THINKWEB_SUGGESTION_PLUGIN_DIR "/libIdeaspinner.so"));
        ASSERT_TRUE(loader.load()) << loader.errorString().toStdString();
        provider = qobject_cast<TWSuggestionProvider *>(loader.instance());
        ASSERT_TRUE(provider);
    }
    void TearDown() override { qunsetenv("WNSEARCHDIR"); }

    QString substituted(QString text) const
    {
        for (auto it = offsets.cbegin(); it != offsets.cend(); ++it)
            text.replace("{" + it.key() + "}",
                         QStringLiteral("%1").arg(it.value(), 8, 10, QChar('0')));
        return text;
    }
    void writeData(const QString &pos, const QList<Synset> &synsets)
    {
        const QByteArray header = "  1 This database is a fixture.\n  2 Lines of the licence.\n";
        // Offsets are eight digits wide, so each line's length is known first.
        static const QRegularExpression placeholder(QStringLiteral("\\{[A-Z0-9]+\\}"));
        qint64 size = header.size();
        for (const Synset &s : synsets) {
            offsets.insert(s.id, size);
            size += 9 + QString(s.body).replace(placeholder, QString(8, '0')).toUtf8().size() + 3;
        }
        QByteArray text = header;
        for (const Synset &s : synsets)
            text += substituted("{" + s.id + "} " + s.body).toUtf8() + "  \n";
        write("data." + pos, text);
    }
    void writeIndex(const QString &pos, const QStringList &lines)
    {
        QByteArray text = "  1 This database is a fixture.\n";
        for (const QString &line : lines)
            text += substituted(line).toUtf8() + "  \n";
        write("index." + pos, text);
    }
    void write(const QString &name, const QByteArray &bytes)
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir dir;
    QMap<QString, qint64> offsets;
    QPluginLoader loader;
    TWSuggestionProvider *provider = nullptr;
};

} // namespace

TEST_F(WordNetFixture, RelatedWordsLeaveOutTheWordsAndTheExcluded)
{
    EXPECT_EQ(provider->version(), 1);
    const struct
    {
        QStringList words, excluded, expected;
    } cases[] = {
        {{"dog"}, {"puppy"}, {"domestic dog", "chase", "canine", "canid"}},
        {{"Dog"}, {}, {"domestic dog", "chase", "canine", "canid", "puppy"}},
        {{"canine"}, {}, {"canid"}},
        {{"puppy"}, {"Domestic Dog"}, {"dog"}},
        {{"aardvark", "zebra"}, {}, {}},
        {{"run"}, {}, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(provider->getSuggestedWordsForWords(c.words, c.excluded), c.expected)
            << c.words.join(' ').toStdString();
}

TEST_F(WordNetFixture, DefinitionsCarryTheirFormAndTheVerbFramesOfTheWord)
{
    const auto definition = [](const char *text, const char *avatar, QStringList frames) {
        return QVariant(
            QVariantMap{{"definition", text}, {"avatar", avatar}, {"verbFrames", frames}});
    };
    const struct
    {
        QString word;
        QVariantList expected;
    } cases[] = {
        {"dog",
         {definition("a member of the genus Canis", "dog", {}),
          definition("go after with the intent to catch", "dog", {"Somebody ----s somebody"})}},
        {"chase", {}},
        {"run",
         {definition("move fast by using one's feet", "run",
                     {"Something ----s", "Somebody ----s PP"})}},
        {"puppy", {definition("a young dog", "puppy", {})}},
        {"", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(provider->getDefinitionsForWord(c.word), c.expected) << c.word.toStdString();

    // Without the database there is nothing to say.
    qputenv("WNSEARCHDIR", dir.filePath("missing").toUtf8());
    EXPECT_TRUE(provider->getDefinitionsForWord("dog").isEmpty());
    EXPECT_TRUE(provider->getSuggestedWordsForWords({"dog"}, {}).isEmpty());
}

TEST_F(WordNetFixture, TheControllerLoadsThePluginFromItsFolder)
{
    const QJsonObject meta = loader.metaData().value("MetaData").toObject();
    EXPECT_EQ(meta.value("CFBundleVersion").toString(), "4.0");
    TWSuggestionsController::reset();
    TWSuggestionsController::setPluginFolder(QStringLiteral(THINKWEB_SUGGESTION_PLUGIN_DIR));
    EXPECT_TRUE(TWSuggestionsController::suggestionPluginInstalled());
    EXPECT_EQ(TWSuggestionsController::bps(), provider);
    EXPECT_EQ(TWSuggestionsController::suggestionsForWords({"canine", "naïve"}, {}),
              QStringList{"canid"});
    TWSuggestionsController::reset();
    TWSuggestionsController::setPluginFolder(QString());
}

// Where WordNet's database is installed, the build puts the plug-in where the
// program looks for it, and the real database answers.
TEST(WordNetInstalled, TheProgramFindsThePluginAndItsDatabase)
{
    if (!QFileInfo::exists(QStringLiteral("/usr/share/wordnet/index.noun")))
        GTEST_SKIP() << "WordNet's database is not installed";
    TWSuggestionsController::reset();
    TWSuggestionsController::setPluginFolder(QString());
    const std::optional<QString> bundle = TWSuggestionsController::suggestionsBundlePath();
    ASSERT_TRUE(bundle) << TWSuggestionsController::pluginFolder().toStdString();
    EXPECT_TRUE(TWSuggestionsController::suggestionPluginInstalled());
    const std::optional<QStringList> words =
        TWSuggestionsController::suggestionsForWords({"dog"}, {});
    ASSERT_TRUE(words);
    EXPECT_FALSE(words->isEmpty());
    TWSuggestionsController::reset();
}

#endif
