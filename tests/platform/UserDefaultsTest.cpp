#include "platform/UserDefaults.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

namespace {

class UserDefaultsTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("defaults.ini"); }
};

} // namespace

TEST_F(UserDefaultsTest, StoredValuesOverlayRegisteredOnesAndReadBackTyped)
{
    ASSERT_TRUE(dir.isValid());
    {
        UserDefaults d(path());
        d.registerDefaults({{"TWAutoSaveTime", 30}, {"TWFindIgnoreCase", true}});
        EXPECT_EQ(d.integerForKey("TWAutoSaveTime"), 30);
        d.setInteger(5, "TWAutoSaveTime");
        d.registerDefaults({{"TWAutoSaveTime", 45}}); // the user's value still wins
        EXPECT_EQ(d.integerForKey("TWAutoSaveTime"), 5);
        d.setBool(false, "TWFindIgnoreCase");
        d.setDouble(0.25, "double");
        EXPECT_TRUE(d.boolForKey("double"));
        d.setString("YES", "yes");
        d.setString("  42 apples", "text");
        EXPECT_TRUE(d.synchronize());
    }
    // Registration lives in memory only; stored values come back from the file.
    UserDefaults d(path());
    EXPECT_EQ(d.integerForKey("TWAutoSaveTime"), 5);
    EXPECT_FALSE(d.boolForKey("TWFindIgnoreCase"));
    // The file gives the boolean back as text; every typed read must see it.
    EXPECT_EQ(d.integerForKey("TWFindIgnoreCase"), 0);
    d.setBool(true, "flag");
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(UserDefaults(path()).integerForKey("flag"), 1);
    EXPECT_EQ(UserDefaults(path()).doubleForKey("flag"), 1.0);
    d.setDouble(1e300, "huge");
    EXPECT_EQ(d.integerForKey("huge"), std::numeric_limits<long long>::max());
    EXPECT_DOUBLE_EQ(d.doubleForKey("double"), 0.25);
    EXPECT_TRUE(d.boolForKey("double")); // a real, though the file gives it back as text
    EXPECT_TRUE(d.boolForKey("yes"));
    EXPECT_EQ(d.integerForKey("text"), 42);
    EXPECT_EQ(d.stringForKey("text"), "  42 apples");
    // Absent keys read as zero values; registered numbers as text without locale.
    EXPECT_EQ(d.integerForKey("missing"), 0);
    EXPECT_TRUE(d.stringForKey("missing").isNull());
    d.registerDefaults({{"TWFindIgnoreCase", true}, {"TWAutoSaveTime", 30}, {"ratio", 0.25}});
    EXPECT_EQ(d.stringForKey("ratio"), "0.25");
    EXPECT_TRUE(d.boolForKey("ratio"));
    EXPECT_FALSE(d.boolForKey("TWFindIgnoreCase"));
    d.removeObjectForKey("TWFindIgnoreCase");
    EXPECT_TRUE(d.boolForKey("TWFindIgnoreCase"));
    d.setObject(QVariant(), "TWAutoSaveTime"); // an invalid value removes
    EXPECT_EQ(d.integerForKey("TWAutoSaveTime"), 30);
}

TEST_F(UserDefaultsTest, KeysWithSlashesBackslashesAndPercentsRoundTrip)
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
    QStringList stored = d.storedKeys(), expected = keys;
    expected << "Export";
    stored.sort();
    expected.sort();
    EXPECT_EQ(stored, expected);
    // Nothing became a settings group.
    EXPECT_TRUE(QSettings(path(), QSettings::IniFormat).childGroups().isEmpty());
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
    d.setInteger(1, QString()); // refused
    EXPECT_EQ(changes, QStringList({"a", "a", "a", "b/c"}));
    EXPECT_FALSE(d.objectForKey(QString()).isValid());
}
