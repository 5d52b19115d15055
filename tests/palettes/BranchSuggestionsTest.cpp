#include "BranchTestSupport.h"

#include "palettes/TWBranchSuggestionPaletteController.h"
#include "palettes/TWSuggestionsController.h"
#include "platform/RecordingAlerts.h"
#include "support/AttributedString.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

struct FakeProvider : TWSuggestionProvider
{
    int interfaceVersion = 1;
    QStringList answer{"canine", "hound"};
    QVariantList definitions;
    QList<std::pair<QStringList, QStringList>> calls;

    int version() const override { return interfaceVersion; }
    QStringList getSuggestedWordsForWords(const QStringList &words,
                                          const QStringList &excluding) override
    {
        calls.append({words, excluding});
        return answer;
    }
    QVariantList getDefinitionsForWord(const QString &) override { return definitions; }
};

// A plug-in folder with the given files and an opener that hands out the fake.
class PluginScope
{
public:
    PluginScope(const QStringList &files, double bundleVersion, FakeProvider *provider)
    {
        for (const QString &name : files) {
            QFile file(dir.filePath(name));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        }
        TWSuggestionsController::reset();
        TWSuggestionsController::setPluginFolder(dir.path());
        TWSuggestionsController::setBundleOpener([this, bundleVersion, provider](const QString &p) {
            opened.append(QFileInfo(p).fileName());
            TWSuggestionsController::Bundle bundle;
            bundle.version = bundleVersion;
            bundle.principalObject = [provider]() -> TWSuggestionProvider * { return provider; };
            return std::optional(bundle);
        });
    }
    ~PluginScope()
    {
        TWSuggestionsController::reset();
        TWSuggestionsController::setBundleOpener(nullptr);
        TWSuggestionsController::setPluginFolder(QString());
    }
    QTemporaryDir dir;
    QStringList opened;
    RecordingAlerts alerts;
    Alerts::Scope alertsScope{&alerts};
};

const QString first = QStringLiteral("libIdeaspinner.so");
const QString second = QStringLiteral("libBranchProposalSystem.so");

} // namespace

TEST(SuggestionPlugin, FoundLoadedOnceAndVersionChecked)
{
    const struct
    {
        const char *name;
        QStringList files;
        double bundleVersion;
        int interfaceVersion;
        bool installed;
        QString opened;
        bool usable;
        QString alert;
    } cases[] = {
        {"none installed", {}, 4.0, 1, false, {}, false, {}},
        {"the first name", {first, second}, 4.0, 1, true, first, true, {}},
        {"the second name", {second}, 4.2, 1, true, second, true, {}},
        {"too old",
         {first},
         3.9,
         1,
         true,
         first,
         false,
         "This version of Thinkweb works with Ideaspinnor version 4.0 - you have version 3.9 "
         "installed. Please download and install the latest version from " +
             TWSuggestionsController::DownloadAddress + "."},
        {"another interface",
         {first},
         5.0,
         2,
         true,
         first,
         false,
         "This version of Thinkweb works with Ideaspinnor version 1 - you have version 2 "
         "installed. Please install the correct version."},
    };
    for (const auto &c : cases) {
        FakeProvider provider;
        provider.interfaceVersion = c.interfaceVersion;
        PluginScope scope(c.files, c.bundleVersion, &provider);
        EXPECT_EQ(TWSuggestionsController::suggestionPluginInstalled(), c.installed) << c.name;
        // Asked twice: loaded and checked once, and at most one alert.
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(TWSuggestionsController::bps() != nullptr, c.usable) << c.name;
        EXPECT_EQ(scope.opened, c.opened.isEmpty() ? QStringList() : QStringList{c.opened})
            << c.name;
        if (c.alert.isEmpty()) {
            EXPECT_TRUE(scope.alerts.alerts().isEmpty()) << c.name;
        } else {
            ASSERT_EQ(scope.alerts.alerts().size(), 1) << c.name;
            EXPECT_EQ(scope.alerts.alerts().first().title, "Ideaspinnor Error");
            EXPECT_EQ(scope.alerts.alerts().first().message, c.alert) << c.name;
            EXPECT_EQ(scope.alerts.alerts().first().buttons, QStringList{"OK"});
        }
        EXPECT_EQ(TWSuggestionsController::suggestionsForWords({"dog"}, {}).has_value(), c.usable);
    }
}

TEST(SuggestionPlugin, OnlyASCIIWordsReachThePlugin)
{
    FakeProvider provider;
    PluginScope scope({first}, 4.0, &provider);
    const struct
    {
        QStringList words, excluded;
        bool asked;
        QStringList passedWords, passedExcluded;
    } cases[] = {
        {{"naïve", "well-known"}, {"café", "cat"}, true, {"well-known"}, {"cat"}},
        {{"naïve"}, {"cat"}, false, {}, {}},
        {{}, {}, false, {}, {}},
        {{"a", "b"}, {}, true, {"a", "b"}, {}},
    };
    for (const auto &c : cases) {
        provider.calls.clear();
        const auto answer = TWSuggestionsController::suggestionsForWords(c.words, c.excluded);
        EXPECT_EQ(answer.has_value(), c.asked);
        ASSERT_EQ(provider.calls.size(), c.asked ? 1 : 0);
        if (c.asked) {
            EXPECT_EQ(provider.calls.first().first, c.passedWords);
            EXPECT_EQ(provider.calls.first().second, c.passedExcluded);
            EXPECT_EQ(*answer, provider.answer);
        }
    }
}

namespace {

class SuggestionPalette : public BranchTest::BranchFixture
{
protected:
    SuggestionPalette()
    {
        dog = child(root, 100, "dog well-known naïve dog");
        cat = child(root, 200, "cat");
        kitten = child(cat, 250, "kitten");
        puppy = child(dog, 150, "puppy");
        settle();
        palette.resize(200, 200);
        palette.show();
        controller.setRefreshDelay(40);
        controller.awakeFromNib();
    }
    void select(const std::shared_ptr<TWMapBranch> &branch)
    {
        map->removeAllSelectedGraphics();
        map->insertObjectInSelectedGraphicsAtIndex(branch->mainGraphic(), 0);
        settle();
    }
    void waitForRefresh()
    {
        for (int i = 0; i < 100 && controller.refreshPending(); ++i)
            QTest::qWait(10);
    }
    QStringList childNames(const TWMapBranch &branch) const
    {
        QStringList names;
        for (const auto &c : branch.children())
            names.append(c->enclosedTextArea()->text().string());
        return names;
    }

    FakeProvider provider;
    PluginScope plugin{{first}, 4.0, &provider};
    QWidget palette;
    TWBranchSuggestionPaletteController controller{&palette, [this] { return document.get(); }};
    std::shared_ptr<TWMapBranch> dog, cat, kitten, puppy;
};

} // namespace

TEST_F(SuggestionPalette, WordsComeFromTheBranchAndExclusionsFromItsContext)
{
    EXPECT_EQ(TWBranchSuggestionPaletteController::wordsOnBranch(*dog),
              QStringList({"dog", "well-known", "naïve"}));
    const struct
    {
        std::shared_ptr<TWMapBranch> branch;
        QStringList words, excluded;
    } cases[] = {
        {dog, {"dog", "well-known"}, {"root", "dog", "well-known", "puppy", "cat", "kitten"}},
        {kitten, {"kitten"}, {"cat", "kitten"}},
        {root, {"root"}, {"root", "dog", "well-known", "puppy", "cat", "kitten"}},
    };
    for (const auto &c : cases) {
        provider.calls.clear();
        EXPECT_EQ(TWBranchSuggestionPaletteController::suggestionsForBranch(*c.branch),
                  provider.answer);
        ASSERT_EQ(provider.calls.size(), 1);
        EXPECT_EQ(provider.calls.first().first, c.words);
        QStringList excluded = provider.calls.first().second;
        excluded.sort();
        QStringList expected = c.excluded;
        expected.sort();
        EXPECT_EQ(excluded, expected);
    }
}

TEST_F(SuggestionPalette, ExclusionsAreTheContextsDistinctWordsInTreeOrder)
{
    // Words met again further on, in a deeper branch, after an empty label;
    // letters beyond ASCII keep their word together (and out of the plug-in).
    const auto known = child(dog, 300, "well-known puppy Zebra-crossing \U0001D49Clpha");
    child(dog, 310, "");
    child(known, 320, "zebra puppy dog x-ray- na\u00efve");
    for (const auto &[branch, words, excluded] :
         {std::tuple{
              puppy, QStringList{"puppy"},
              QStringList{"dog", "well-known", "puppy", "Zebra-crossing", "zebra", "x-ray-"}},
          {known, QStringList{"well-known", "puppy", "Zebra-crossing"},
           QStringList{"dog", "well-known", "puppy", "Zebra-crossing", "zebra", "x-ray-"}},
          {cat, QStringList{"cat"},
           QStringList{"root", "dog", "well-known", "puppy", "Zebra-crossing", "zebra", "x-ray-",
                       "cat", "kitten"}}}) {
        SCOPED_TRACE(BranchTest::nameOf(*branch).toStdString());
        provider.calls.clear();
        TWBranchSuggestionPaletteController::suggestionsForBranch(*branch);
        ASSERT_EQ(provider.calls.size(), 1);
        EXPECT_EQ(provider.calls.first().first, words);
        EXPECT_EQ(provider.calls.first().second, excluded);
    }
}

TEST_F(SuggestionPalette, RefreshFollowsPlainTextChangesAfterTheDelay)
{
    EXPECT_EQ(TWBranchSuggestionPaletteController(nullptr, {}).refreshDelay(), 1500);
    select(cat);
    waitForRefresh();
    provider.calls.clear();
    for (const char *typed : {"cats", "catsu", "catsup"}) {
        cat->enclosedTextArea()->setString(QString::fromLatin1(typed));
        settle();
        QTest::qWait(5);
    }
    EXPECT_TRUE(controller.refreshPending());
    EXPECT_TRUE(provider.calls.isEmpty());
    waitForRefresh();
    ASSERT_EQ(provider.calls.size(), 1);
    EXPECT_EQ(provider.calls.first().first, QStringList{"catsup"});
    EXPECT_EQ(controller.suggestions(), provider.answer);
    EXPECT_TRUE(controller.canAddBranches());
    EXPECT_TRUE(controller.addButton()->isEnabled());

    // Only the attributes change: the plain text is the same.
    TextAttributes bold;
    bold.insert(NSFontAttributeName,
                QVariant::fromValue(Font(QStringLiteral("Helvetica-Bold"), 14)));
    cat->enclosedTextArea()->setText(AttributedString(QStringLiteral("catsup"), bold));
    settle();
    EXPECT_FALSE(controller.refreshPending());

    // Collapsed: the list keeps what it shows.
    defaults.setBool(true, TWBranchSuggestionPaletteController::CollapsedKey);
    provider.answer = QStringList{"other"};
    controller.updateSuggestions();
    EXPECT_EQ(controller.suggestions(), QStringList({"canine", "hound"}));
    defaults.setBool(false, TWBranchSuggestionPaletteController::CollapsedKey);
    EXPECT_EQ(controller.suggestions(), QStringList{"other"});

    // A branch without plain words empties the list.
    provider.calls.clear();
    kitten->enclosedTextArea()->setString(QStringLiteral("ñandú"));
    select(kitten);
    waitForRefresh();
    EXPECT_TRUE(provider.calls.isEmpty());
    EXPECT_TRUE(controller.suggestions().isEmpty());
    EXPECT_FALSE(controller.addButton()->isEnabled());
}

// Whatever way the user moves on, the list ends up asking about the branch
// selected now.
TEST_F(SuggestionPalette, TheListFollowsTheBranchSelectedNow)
{
    // Another "cat", under the dog: same words, other context.
    const std::shared_ptr<TWMapBranch> dogCat = child(dog, 160, "cat");
    settle();
    select(cat);
    waitForRefresh();
    const struct
    {
        const char *what;
        bool hiddenMeanwhile;
        std::shared_ptr<TWMapBranch> next;
        QStringList excluded; // the context the plug-in is asked with
    } cases[] = {
        {"another branch with the same words",
         false,
         dogCat,
         {"cat", "dog", "puppy", "well-known"}},
        {"a branch chosen while the palette was put away", true, kitten, {"cat", "kitten"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.hiddenMeanwhile)
            controller.tableView()->hide();
        provider.calls.clear();
        select(c.next);
        waitForRefresh();
        if (c.hiddenMeanwhile) {
            EXPECT_TRUE(provider.calls.isEmpty());
            controller.tableView()->show();
            for (int i = 0; i < 50 && provider.calls.isEmpty(); ++i)
                QTest::qWait(10);
        }
        ASSERT_EQ(provider.calls.size(), 1);
        QStringList excluded = provider.calls.first().second;
        excluded.sort();
        QStringList expected = c.excluded;
        expected.sort();
        EXPECT_EQ(excluded, expected);
    }
}

// A large context's words are gathered on another thread: the plug-in is
// asked what it would be asked at once, and only about the latest refresh.
TEST_F(SuggestionPalette, ALargeContextIsGatheredApartAndOnlyTheLatestRefreshShows)
{
    controller.setRefreshDelay(600000); // refreshes come only from here
    const QStringList names{"alpha", "beta gamma", "delta-epsilon", "beta"};
    for (std::size_t i = 0; i < TWBranchSuggestionPaletteController::TextsGatheredApart; ++i)
        child(root, 400 + float(i), names.at(qsizetype(i % 4)));
    settle();
    const auto waitForWords = [] {
        for (int i = 0; i < 200 && TWBranchSuggestionPaletteController::gatheringAnywhere(); ++i)
            QTest::qWait(10);
    };
    select(cat);
    provider.calls.clear();
    controller.updateSuggestions();
    EXPECT_TRUE(TWBranchSuggestionPaletteController::gatheringAnywhere());
    EXPECT_TRUE(provider.calls.isEmpty());
    waitForWords();
    ASSERT_EQ(provider.calls.size(), 1);
    const auto gathered = provider.calls.first();
    provider.calls.clear();
    TWBranchSuggestionPaletteController::suggestionsForBranch(*cat);
    ASSERT_EQ(provider.calls.size(), 1);
    EXPECT_EQ(gathered.first, provider.calls.first().first);
    EXPECT_EQ(gathered.second, provider.calls.first().second);

    // Another branch chosen while the words are gathered: its list stays.
    provider.calls.clear();
    controller.updateSuggestions();
    select(kitten);
    provider.answer = QStringList{"fresh"};
    controller.updateSuggestions();
    EXPECT_EQ(controller.suggestions(), QStringList{"fresh"});
    waitForWords();
    EXPECT_FALSE(TWBranchSuggestionPaletteController::gatheringAnywhere());
    EXPECT_EQ(controller.suggestions(), QStringList{"fresh"});
    ASSERT_EQ(provider.calls.size(), 1);
    EXPECT_EQ(provider.calls.first().first, QStringList{"kitten"});

    // A branch with no word for the plug-in (a number, letters beyond
    // ASCII) leaves the large context's words ungathered.
    for (const char *label : {"2026", "na\u00efve", ""}) {
        SCOPED_TRACE(label);
        kitten->enclosedTextArea()->setString(QString::fromUtf8(label));
        provider.calls.clear();
        controller.updateSuggestions();
        EXPECT_FALSE(TWBranchSuggestionPaletteController::gatheringAnywhere());
        EXPECT_TRUE(provider.calls.isEmpty());
        EXPECT_TRUE(controller.suggestions().isEmpty());
        EXPECT_FALSE(controller.canAddBranches());
    }
}

// Thousands of distinct words, some differing only in case or by a hyphen,
// come once each in the order first met, as a plain list finds them.
TEST_F(SuggestionPalette, ManyDistinctWordsKeepTheirFirstPlace)
{
    // Three letters for each number below 26 cubed.
    const auto numbered = [](int n) {
        return QString(QChar(u'a' + n % 26)) + QChar(u'a' + n / 26 % 26) + QChar(u'a' + n / 676);
    };
    QStringList expected{"cat", "kitten"};
    for (int i = 0; i < 3000; ++i) {
        const QString label = numbered(i) + u' ' + numbered(i / 3).toUpper() + u' ' +
                              numbered(i / 3) + u'-' + numbered(i % 700) + QStringLiteral(" cat");
        child(cat, 400 + float(i), label);
        for (const QString &word : label.split(u' '))
            if (!expected.contains(word))
                expected.append(word);
    }
    EXPECT_EQ(TWBranchSuggestionPaletteController::contextWords(*kitten), expected);
}

TEST_F(SuggestionPalette, DoubleClickAddsSelectedWordsAsChildrenWithNotes)
{
    provider.definitions = {
        QVariantMap{{"definition", "a domesticated carnivore"},
                    {"avatar", "dog"},
                    {"verbFrames", QStringList()}},
        QVariantMap{{"definition", "go after with the intent to catch"},
                    {"avatar", "hound"},
                    {"verbFrames", QStringList{"Somebody ----s somebody", "Somebody ----s"}}},
    };
    select(cat);
    controller.updateSuggestions();
    ASSERT_EQ(controller.tableView()->count(), 2);
    const struct
    {
        const char *name;
        bool fromList;
        int clicks;
        QList<int> rows;
        bool definitions;
        QStringList added;
    } cases[] = {
        {"single click", true, 1, {0}, false, {}},
        {"nothing selected", true, 2, {}, false, {}},
        {"double click", true, 2, {1, 0}, false, {"hound", "canine"}},
        {"add button with notes", false, 0, {0}, true, {"canine"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        defaults.setBool(c.definitions, TWBranchSuggestionPaletteController::AddDefinitionsKey);
        controller.tableView()->clearSelection();
        for (const int row : c.rows)
            controller.tableView()->item(row)->setSelected(true);
        select(cat);
        const QStringList before = childNames(*cat);
        controller.addBranches(c.fromList, c.clicks);
        settle();
        QStringList added = childNames(*cat).mid(before.size());
        QStringList expected = c.added;
        added.sort();
        expected.sort();
        EXPECT_EQ(added, expected);
        if (c.definitions) {
            const auto notes = cat->children().last()->primaryAttachedText();
            ASSERT_TRUE(notes);
            EXPECT_EQ(notes->string(), "As in dog\n a domesticated carnivore\n\n"
                                       "As in hound\n go after with the intent to catch\nUsage:\n"
                                       "Somebody ----s somebody\nSomebody ----s\n\n\n");
        } else if (!added.isEmpty()) {
            EXPECT_FALSE(cat->children().last()->primaryAttachedText());
        }
    }
}
