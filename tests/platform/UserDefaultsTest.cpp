#include "platform/UserDefaults.h"
#include "platform/TWPreferences.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class UserDefaultsTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("defaults.ini"); }
};

} // namespace

TEST_F(UserDefaultsTest, StoredValuesOverlayRegisteredOnes)
{
    ASSERT_TRUE(dir.isValid());
    {
        UserDefaults d(path());
        d.registerDefaults({{"TWAutoSaveTime", 30}, {"TWFindIgnoreCase", true}});
        EXPECT_EQ(d.integerForKey("TWAutoSaveTime"), 30);
        EXPECT_FALSE(d.hasStoredValue("TWAutoSaveTime"));
        d.setInteger(5, "TWAutoSaveTime");
        EXPECT_EQ(d.integerForKey("TWAutoSaveTime"), 5);
        d.registerDefaults({{"TWAutoSaveTime", 45}}); // the user's value still wins
        EXPECT_EQ(d.integerForKey("TWAutoSaveTime"), 5);
        d.setBool(false, "TWFindIgnoreCase");
        EXPECT_TRUE(d.synchronize());
    }
    UserDefaults d(path());
    // Registration lives in memory only; stored values come back from the file.
    EXPECT_FALSE(d.objectForKey("TWFindScope").isValid());
    EXPECT_EQ(d.integerForKey("TWAutoSaveTime"), 5);
    EXPECT_FALSE(d.boolForKey("TWFindIgnoreCase"));
    d.registerDefaults({{"TWFindIgnoreCase", true}, {"TWAutoSaveTime", 30}});
    EXPECT_FALSE(d.boolForKey("TWFindIgnoreCase"));
    d.removeObjectForKey("TWFindIgnoreCase");
    EXPECT_TRUE(d.boolForKey("TWFindIgnoreCase"));
    d.setObject(QVariant(), "TWAutoSaveTime"); // an invalid value removes
    EXPECT_EQ(d.integerForKey("TWAutoSaveTime"), 30);
}

TEST_F(UserDefaultsTest, TypedReadsAfterAReloadFromTheFile)
{
    {
        UserDefaults d(path());
        d.setBool(true, "flag");
        d.setInteger(-12, "int");
        d.setDouble(0.25, "double");
        d.setString("YES", "yes");
        d.setString("  42 apples", "text");
        d.setObject(QVariantList{1, "two"}, "list");
        d.synchronize();
    }
    UserDefaults d(path());
    EXPECT_TRUE(d.boolForKey("flag"));
    EXPECT_EQ(d.integerForKey("flag"), 1);
    EXPECT_EQ(d.integerForKey("int"), -12);
    EXPECT_DOUBLE_EQ(d.doubleForKey("double"), 0.25);
    EXPECT_TRUE(d.boolForKey("yes"));
    EXPECT_EQ(d.integerForKey("text"), 42);
    EXPECT_EQ(d.stringForKey("text"), "  42 apples");
    EXPECT_EQ(d.objectForKey("list").toList(), (QVariantList{1, "two"}));
    // Absent keys read as the platform's zero values.
    EXPECT_FALSE(d.boolForKey("missing"));
    EXPECT_EQ(d.integerForKey("missing"), 0);
    EXPECT_TRUE(d.stringForKey("missing").isNull());
    // Registered numbers read as text without locale.
    d.registerDefaults({{"ratio", 0.5}, {"off", 0}});
    EXPECT_EQ(d.stringForKey("ratio"), "0.5");
    EXPECT_FALSE(d.boolForKey("off"));
}

TEST_F(UserDefaultsTest, KeysWithSlashesBackslashesAndSpacesRoundTrip)
{
    const QStringList keys = {
        "Export/Path", "Export/Path/Deeper", "a\\b",      "with space",    "50% off/x",
        "a%2Fb",       "/leading",           "trailing/", "double//slash", "Export Path = yes;"};
    {
        UserDefaults d(path());
        for (int i = 0; i < keys.size(); ++i)
            d.setInteger(i + 1, keys[i]);
        d.setString("no group", "Export");
        d.synchronize();
    }
    UserDefaults d(path());
    for (int i = 0; i < keys.size(); ++i)
        EXPECT_EQ(d.integerForKey(keys[i]), i + 1) << keys[i].toStdString();
    EXPECT_EQ(d.stringForKey("Export"), "no group");
    QStringList stored = d.storedKeys();
    stored.sort();
    QStringList expected = keys;
    expected << "Export";
    expected.sort();
    EXPECT_EQ(stored, expected);
    // Nothing became a settings group.
    QSettings raw(path(), QSettings::IniFormat);
    EXPECT_TRUE(raw.childGroups().isEmpty());

    for (const QString &k : keys)
        EXPECT_EQ(UserDefaults::unescapeKey(UserDefaults::escapeKey(k)), k);
    EXPECT_EQ(UserDefaults::unescapeKey("100%"), "100%");
}

TEST_F(UserDefaultsTest, ChangeSignalNamesTheKeyOnlyWhenTheValueChanges)
{
    UserDefaults d(path());
    QStringList changes;
    QObject::connect(&d, &UserDefaults::changed, [&](const QString &key) { changes << key; });
    d.registerDefaults({{"a", 1}});
    d.setInteger(2, "a");
    d.setInteger(2, "a");
    d.registerDefaults({{"a", 3}}); // hidden by the stored value
    d.removeObjectForKey("a");      // back to the registered 3
    d.removeObjectForKey("a");
    d.setInteger(3, "a"); // stored, but the value stays 3
    d.setString("x", "b/c");
    EXPECT_EQ(changes, QStringList({"a", "a", "a", "b/c"}));

    d.setInteger(1, QString()); // refused
    EXPECT_EQ(changes.size(), 4);
    EXPECT_FALSE(d.objectForKey(QString()).isValid());
}

TEST_F(UserDefaultsTest, NestedScopesReplaceAndRestoreTheStandardInstance)
{
    // Never touches the user's own file: standard() is only asked inside scopes.
    UserDefaults outer(path()), inner(dir.filePath("inner.ini"));
    UserDefaults::Scope s1(&outer);
    EXPECT_EQ(&UserDefaults::standard(), &outer);
    {
        UserDefaults::Scope s2(&inner);
        EXPECT_EQ(&UserDefaults::standard(), &inner);
    }
    EXPECT_EQ(&UserDefaults::standard(), &outer);
}

namespace {

class TWPreferencesTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("prefs.ini")};
    UserDefaults::Scope scope{&defaults};
};

} // namespace

TEST_F(TWPreferencesTest, RegisteredDefaults)
{
    TWPreferences::registerDefaults();
    EXPECT_EQ(TWPreferences::branchType(), 1);
    EXPECT_EQ(TWPreferences::attachedGraphicType(), 8);
    EXPECT_FALSE(TWPreferences::showPageFramesWhenCreatingDocuments());
    EXPECT_EQ(defaults.registeredDefaults().value("TWShowPageFramesWhenCreatingDocuments").typeId(),
              QMetaType::Bool);
    defaults.setBool(true, TWPreferences::ShowPageFramesWhenCreatingDocumentsKey);
    EXPECT_TRUE(TWPreferences::showPageFramesWhenCreatingDocuments());
}

TEST_F(TWPreferencesTest, TypeCodesWithoutRegistrationStillValid)
{
    EXPECT_EQ(TWPreferences::branchType(), 1);
    EXPECT_EQ(TWPreferences::attachedGraphicType(), 8);
}

TEST_F(TWPreferencesTest, TypeSettersReachTheFileAtOnce)
{
    TWPreferences::registerDefaults();
    TWPreferences::setBranchType(6);
    TWPreferences::setAttachedGraphicType(2);
    EXPECT_EQ(TWPreferences::branchType(), 6);
    QSettings raw(dir.filePath("prefs.ini"), QSettings::IniFormat);
    EXPECT_EQ(raw.value("TWInitialBranchType").toInt(), 6);
    EXPECT_EQ(raw.value("TWInitialAttachedGraphicType").toInt(), 2);
}

TEST_F(TWPreferencesTest, FontsFallBackToTheUserFontAndStoreIt)
{
    using Font = TWPreferences::FontChoice;
    EXPECT_FALSE(defaults.hasStoredValue("TWCenterFont"));
    EXPECT_EQ(TWPreferences::centerFont(), (Font{"Helvetica", 20}));
    EXPECT_EQ(defaults.stringForKey("TWCenterFont"), "Helvetica 20");
    EXPECT_EQ(TWPreferences::centerFont(), (Font{"Helvetica", 20}));
    EXPECT_EQ(TWPreferences::firstLevelFont(), (Font{"Helvetica", 16}));
    EXPECT_EQ(TWPreferences::branchFont(), (Font{"Helvetica", 12}));
    EXPECT_EQ(defaults.stringForKey("TWBranchFont"), "Helvetica 12");

    TWPreferences::setFirstLevelFont({"Times-Roman", 18.5});
    EXPECT_EQ(TWPreferences::firstLevelFont(), (Font{"Times-Roman", 18.5}));
    EXPECT_EQ(defaults.stringForKey("TWFirstLevelFont"), "Times-Roman 18.5");
    TWPreferences::setBranchFont({"", 12}); // refused
    EXPECT_EQ(TWPreferences::branchFont(), (Font{"Helvetica", 12}));

    // Unreadable entries are replaced by the fallback.
    for (const char *bad : {"nonsense", "Helvetica -3", "Helvetica", " 12", "Two Words 12", ""}) {
        defaults.setString(bad, "TWCenterFont");
        EXPECT_EQ(TWPreferences::centerFont(), (Font{"Helvetica", 20})) << bad;
        EXPECT_EQ(defaults.stringForKey("TWCenterFont"), "Helvetica 20");
    }
    EXPECT_EQ(TWPreferences::fontFromString(" Courier-Bold 9 "), (Font{"Courier-Bold", 9}));
}
