#include "application/TWPreferencesInterface.h"
#include "ApplicationTestSupport.h"
#include "TestSupport.h"
#include "interface/FontPanel.h"

#include <QAction>
#include <QDir>
#include <QFontDialog>
#include <QMainWindow>
#include <QToolBar>
#include <optional>

namespace {

const QString StartupKey = TWPreferencesInterface::CheckAtStartupKey;
const QString IntervalKey = TWPreferencesInterface::ScheduledCheckIntervalKey;

const char *const FontKeys[] = {
    TWPreferences::CenterFontKey,      TWPreferences::FirstLevelFontKey,
    TWPreferences::BranchFontKey,      TWPreferences::AttachedGraphicTextFontKey,
    TWPreferences::BranchNotesFontKey, TWPreferences::OutlineNumberFontKey,
};

Font (*const FontGetters[])() = {
    &TWPreferences::centerFont,      &TWPreferences::firstLevelFont,
    &TWPreferences::branchFont,      &TWPreferences::attachedGraphicFont,
    &TWPreferences::branchNotesFont, &TWPreferences::outlineNumberFont,
};

struct RecordingUpdates : UpdateController
{
    int checks = 0;
    void manualUpdate() override { ++checks; }
};

class PreferencesWindowTest : public ApplicationTest
{
protected:
    void SetUp() override
    {
        ApplicationTest::SetUp();
        start();
        prefs = std::make_unique<TWPreferencesInterface>();
        prefs->setUpdateController(&updates);
    }
    void TearDown() override
    {
        prefs.reset();
        // Windows go before the application object.
        delete &FontPanel::shared();
    }

    std::optional<long long> storedInterval() const
    {
        if (!defaults.hasStoredValue(IntervalKey))
            return std::nullopt;
        return defaults.integerForKey(IntervalKey);
    }

    RecordingUpdates updates;
    std::unique_ptr<TWPreferencesInterface> prefs;
};

TEST_F(PreferencesWindowTest, UpdateModeWritesStartupFlagAndInterval)
{
    struct Case
    {
        std::optional<long long> storedBefore;
        int mode;
        bool checkAtStartup;
        std::optional<long long> interval;
        int modeAfter;
    };
    const Case cases[] = {
        {std::nullopt, 1, false, 7 * 86400LL, 1},
        {14 * 86400LL, 0, true, std::nullopt, 0},
        {7 * 86400LL, 1, false, 7 * 86400LL, 1},
        // Any mode but the interval one checks at start-up.
        {3 * 86400LL, 2, true, std::nullopt, 0},
        {std::nullopt, -1, true, std::nullopt, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        if (c.storedBefore)
            defaults.setInteger(*c.storedBefore, IntervalKey);
        else
            defaults.removeObjectForKey(IntervalKey);
        int notices = 0;
        const auto connection = QObject::connect(
            prefs.get(), &TWPreferencesInterface::updateSettingsChanged, [&notices] { ++notices; });
        prefs->setProperty("updateCheckMode", c.mode);
        QObject::disconnect(connection);
        EXPECT_TRUE(defaults.hasStoredValue(StartupKey));
        EXPECT_EQ(defaults.boolForKey(StartupKey), c.checkAtStartup);
        EXPECT_EQ(storedInterval(), c.interval);
        EXPECT_EQ(prefs->updateCheckMode(), c.modeAfter);
        EXPECT_GE(notices, 1) << "the controls hear the change";
    }
}

TEST_F(PreferencesWindowTest, IntervalInDaysIsStoredInSecondsAndReadInWholeDays)
{
    struct Case
    {
        int days;
        std::optional<long long> stored;
        int daysRead;
        int mode;
    };
    const Case cases[] = {
        {1, 86400LL, 1, 1},
        {7, 604800LL, 7, 1},
        {0, std::nullopt, 0, 0},
        {-2, std::nullopt, 0, 0},
        // Past what 32 bits hold in seconds: never wraps to a negative interval.
        {30000, 30000LL * 86400, 30000, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.days);
        defaults.setInteger(5 * 86400, IntervalKey);
        prefs->setUpdateCheckInterval(c.days);
        EXPECT_EQ(storedInterval(), c.stored);
        EXPECT_EQ(prefs->updateCheckInterval(), c.daysRead);
        EXPECT_EQ(prefs->updateCheckMode(), c.mode);
    }

    struct Stored
    {
        long long seconds;
        int days;
        int mode;
    };
    const Stored stored[] = {{129600, 1, 1}, {86399, 0, 1}, {172799, 1, 1}, {-86400, -1, 0}};
    for (const Stored &s : stored) {
        SCOPED_TRACE(s.seconds);
        defaults.setInteger(s.seconds, IntervalKey);
        EXPECT_EQ(prefs->updateCheckInterval(), s.days);
        EXPECT_EQ(prefs->updateCheckMode(), s.mode);
    }
}

TEST_F(PreferencesWindowTest, ToolbarOffersGeneralAndFontOnly)
{
    const QStringList expected{TWPreferencesInterface::GeneralItem,
                               TWPreferencesInterface::FontItem};
    EXPECT_EQ(TWPreferencesInterface::allToolbarIdentifiers(), expected);
    QStringList shown;
    for (QAction *item : prefs->toolbar()->actions())
        shown << item->objectName();
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(prefs->toolbar()->objectName(), TWPreferencesInterface::ToolbarIdentifier);

    struct Case
    {
        QString identifier;
        QString label;
    };
    const Case cases[] = {
        {TWPreferencesInterface::GeneralItem, "General"},
        {TWPreferencesInterface::FontItem, "Font"},
        {TWPreferencesInterface::AppearanceItem, "Apperance"},
        {TWPreferencesInterface::ScreenWriterItem, "ScreenWriter"},
        {QStringLiteral("TWPreferencesOtherToolbarItem"), QString()},
        {QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.identifier.toStdString());
        std::unique_ptr<QAction> item(prefs->itemForItemIdentifier(c.identifier));
        if (c.label.isEmpty()) {
            EXPECT_EQ(item, nullptr);
            continue;
        }
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(), c.label);
        EXPECT_EQ(item->icon().availableSizes(), QList<QSize>{QSize(32, 32)});
    }
}

TEST_F(PreferencesWindowTest, PaneActionsShowTheirPaneAndSelectTheirItem)
{
    using P = TWPreferencesInterface;
    EXPECT_EQ(prefs->currentView(), prefs->generalView()) << "General comes first";
    struct Case
    {
        void (P::*show)();
        QWidget *(P::*pane)() const;
        QString identifier;
        QString checkedItem;
    };
    const Case cases[] = {
        {&P::showFontPreferences, &P::fontView, P::FontItem, P::FontItem},
        {&P::showApperancePreferences, &P::appearanceView, P::AppearanceItem, QString()},
        {&P::showGeneralPreferences, &P::generalView, P::GeneralItem, P::GeneralItem},
        {&P::showScreenWriterPreferences, &P::screenWriterView, P::ScreenWriterItem, QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.identifier.toStdString());
        ((*prefs).*c.show)();
        EXPECT_EQ(prefs->currentView(), ((*prefs).*c.pane)());
        EXPECT_EQ(prefs->selectedItemIdentifier(), c.identifier);
        QString checked;
        for (QAction *item : prefs->toolbar()->actions())
            if (item->isChecked())
                checked = item->objectName();
        EXPECT_EQ(checked, c.checkedItem);
        // Every other pane is still there to come back to.
        for (QWidget *pane : {prefs->generalView(), prefs->fontView(), prefs->appearanceView(),
                              prefs->screenWriterView()})
            ASSERT_NE(pane, nullptr);
    }
}

TEST_F(PreferencesWindowTest, SwitchingPanesKeepsTheTopEdge)
{
    QMainWindow *window = prefs->preferencesWindow();
    prefs->showPreferencesWindow();
    window->move(120, 90);
    TestSupport::runEventLoopPass();
    const QRect general = window->geometry();
    const QSize generalPane = prefs->generalView()->size();
    const QSize shortPane = prefs->screenWriterView()->size();
    ASSERT_LT(shortPane.height(), generalPane.height()) << "the test needs a shorter pane";

    prefs->showScreenWriterPreferences();
    const QRect shorter = window->geometry();
    EXPECT_EQ(shorter.top(), general.top());
    EXPECT_EQ(shorter.left(), general.left());
    EXPECT_EQ(general.height() - shorter.height(), generalPane.height() - shortPane.height());
    EXPECT_EQ(general.width() - shorter.width(), generalPane.width() - shortPane.width());

    prefs->showGeneralPreferences();
    EXPECT_EQ(window->geometry(), general) << "coming back restores the frame";
    // Kept for a person to look at when asked for.
    if (const QString folder = qEnvironmentVariable("THINKWEB_SCREENSHOTS"); !folder.isEmpty()) {
        using P = TWPreferencesInterface;
        const std::pair<void (P::*)(), const char *> panes[] = {
            {&P::showGeneralPreferences, "general"},
            {&P::showFontPreferences, "font"},
            {&P::showApperancePreferences, "appearance"},
            {&P::showScreenWriterPreferences, "screenwriter"}};
        for (const auto &[show, name] : panes) {
            ((*prefs).*show)();
            TestSupport::runEventLoopPass();
            window->grab().save(
                QDir(folder).filePath(QStringLiteral("preferences-%1.png").arg(name)));
        }
    }
    window->close();
}

TEST_F(PreferencesWindowTest, FontButtonsChooseWhichDefaultFontThePanelChanges)
{
    FontPanel &panel = FontPanel::shared();
    const Font chosen(QStringLiteral("DejaVuSans-Bold"), 17);
    for (int tag = 1; tag <= 6; ++tag) {
        SCOPED_TRACE(tag);
        QList<Font> before;
        for (auto get : FontGetters)
            before << get();
        prefs->setFont(tag);
        EXPECT_EQ(prefs->currentFontSelection(), tag);
        ASSERT_TRUE(panel.selectedFont());
        EXPECT_EQ(*panel.selectedFont(), before.at(tag - 1));
        EXPECT_FALSE(panel.isMultiple());
        EXPECT_EQ(panel.currentWindow(), prefs->preferencesWindow());

        int notices = 0;
        const auto connection = QObject::connect(
            prefs.get(), &TWPreferencesInterface::fontStringsChanged, [&notices] { ++notices; });
        panel.chooseFont(chosen);
        QObject::disconnect(connection);
        EXPECT_EQ(notices, 1);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(FontGetters[i](), i == tag - 1 ? chosen : before.at(i)) << "font " << i + 1;
    }
    EXPECT_EQ(prefs->outlineNumberFontString(), QStringLiteral("DejaVuSans-Bold 17"));
    panel.dialog()->close();
}

TEST_F(PreferencesWindowTest, FontChangeWithoutAChosenFontStoresNothing)
{
    FontPanel &panel = FontPanel::shared();
    panel.orderFront(prefs->preferencesWindow());
    for (const int tag : {0, 7, -1}) {
        SCOPED_TRACE(tag);
        if (tag != 0)
            prefs->setFont(tag);
        const QStringList keysBefore = defaults.storedKeys();
        QStringList fontsBefore;
        for (const char *key : FontKeys)
            fontsBefore << defaults.stringForKey(QString::fromLatin1(key));
        panel.chooseFont(Font(QStringLiteral("DejaVuSerif"), 31));
        EXPECT_EQ(defaults.storedKeys(), keysBefore);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(defaults.stringForKey(QString::fromLatin1(FontKeys[i])), fontsBefore.at(i));
    }
    panel.dialog()->close();
}

TEST_F(PreferencesWindowTest, FontDescriptionsNameTheFontInWholePoints)
{
    struct Case
    {
        Font font;
        QString text;
    };
    const Case cases[] = {
        {Font(QStringLiteral("Helvetica"), 12), QStringLiteral("Helvetica 12")},
        {Font(QStringLiteral("Helvetica-Bold"), 12.4), QStringLiteral("Helvetica-Bold 12")},
        {Font(QStringLiteral("Times-Roman"), 12.6), QStringLiteral("Times-Roman 13")},
        {Font(QStringLiteral("Courier"), 9), QStringLiteral("Courier 9")},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TWPreferencesInterface::fontString(c.font), c.text);

    TWPreferences::setBranchNotesFont(Font(QStringLiteral("Courier"), 11));
    EXPECT_EQ(prefs->branchNotesFontString(), QStringLiteral("Courier 11"));
}

TEST_F(PreferencesWindowTest, CheckNowAsksTheUpdateController)
{
    prefs->checkForUpdateNow();
    prefs->checkForUpdateNow();
    EXPECT_EQ(updates.checks, 2);
}

} // namespace
