#include "platform/UserDefaults.h"
#include "support/TWPreferences.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

QStringList g_warnings;

void recordWarning(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
}

class TWPreferencesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TWPreferences::registerDefaults();
        g_warnings.clear();
        m_previousHandler = qInstallMessageHandler(recordWarning);
    }
    void TearDown() override { qInstallMessageHandler(m_previousHandler); }

    // Whether the key has reached the file. Read as text: another QSettings
    // in this process would share the unwritten values.
    static bool onDisk(const QString &path, const char *key)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.readAll().contains(QByteArray(key) + '=');
    }
    bool onDisk(const char *key) const { return onDisk(dir.filePath("prefs.ini"), key); }

    QTemporaryDir dir;
    UserDefaults defaults{dir.filePath("prefs.ini")};
    UserDefaults::Scope scope{&defaults};
    QtMessageHandler m_previousHandler = nullptr;
};

struct FontSlot
{
    const char *key;
    std::function<Font()> get;
    std::function<void(const Font &)> set;
    double fallbackSize;
    const char *warning;
};

const std::vector<FontSlot> &fontSlots()
{
    static const std::vector<FontSlot> table = {
        {"TWCenterFont", TWPreferences::centerFont, TWPreferences::setCenterFont, 20,
         "Warning: center font not found - defaulting to user font"},
        {"TWFirstLevelFont", TWPreferences::firstLevelFont, TWPreferences::setFirstLevelFont, 16,
         "Warning: first level font not found - defaulting to user font"},
        {"TWBranchFont", TWPreferences::branchFont, TWPreferences::setBranchFont, 12,
         "Warning: branch font not found - defaulting to user font"},
        {"TWAttachedGraphicTextFont", TWPreferences::attachedGraphicFont,
         TWPreferences::setAttachedGraphicFont, 12,
         "Warning: attached graphic font not found - defaulting to user font"},
        {"TWBranchNotesFont", TWPreferences::branchNotesFont, TWPreferences::setBranchNotesFont, 12,
         "Warning: branch notes font not found - defaulting to user font"},
        {"TWOutlilneNumberFont", TWPreferences::outlineNumberFont,
         TWPreferences::setOutlineNumberFont, 12,
         "Warning: outline number font not found - defaulting to user font"},
    };
    return table;
}

} // namespace

TEST_F(TWPreferencesTest, RegistersEveryDefaultWithItsValueAndType)
{
    const QVariantMap expected = {
        {"TWFindIgnoreCase", true},
        {"TWFindScope", 1},
        {"TWDebugBindings", false},
        {"TWBranchNotesZoom", 100},
        {"TWDisplayAPEAlert", true},
        {"TWShowTemplatesPanelWhenCreatingMaps", true},
        {"TWPromptForTutorAtStartup", true},
        {"TWShowToolPalette", false},
        {"TWShowOutlineWindow", false},
        {"TWAutoSaveSwitch", false},
        {"TWAutoSaveTime", 30},
        {"TWSaveBackupSwitch", 0},
        {"TWPaletteAutoFlipBack", false},
        {"TWPaletteAutoFlipBackDuration", 15},
        {"TWShowPageFramesWhenCreatingDocuments", false},
        {"TWSnapLinesMode", false},
        {"TWCheckSpellingSwitch", true},
        {"TWInitialBranchType", 1},
        {"TWInitialAttachedGraphicType", 8},
        {"TWRectCornerModeString", 1},
        {"TWServerBaseURL", QString()},
    };
    const QVariantMap registered = defaults.registeredDefaults();
    EXPECT_EQ(registered.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        EXPECT_EQ(registered.value(it.key()), it.value());
        // Booleans are registered as booleans, numbers as integers.
        EXPECT_EQ(registered.value(it.key()).typeId(), it.value().typeId());
    }
    // Registration never reaches the file.
    EXPECT_TRUE(defaults.storedKeys().isEmpty());
    EXPECT_FALSE(defaults.boolForKey("TWSaveBackupSwitch"));
}

TEST_F(TWPreferencesTest, TypedSettingsReadBackAndOnlySomeSettersSynchronize)
{
    struct Case
    {
        const char *key;
        std::function<void()> set;
        std::function<QVariant()> get;
        QVariant value;
        bool synchronizes;
    };
    const std::vector<Case> cases = {
        {"TWSnapLinesMode", [] { TWPreferences::setSnapLines(true); },
         [] { return QVariant(TWPreferences::snapLines()); }, true, false},
        {"TWCheckSpellingSwitch", [] { TWPreferences::setContinuousSpellCheck(false); },
         [] { return QVariant(TWPreferences::continuousSpellCheck()); }, false, true},
        {"TWInitialBranchType", [] { TWPreferences::setBranchType(6); },
         [] { return QVariant(TWPreferences::branchType()); }, 6, true},
        {"TWInitialAttachedGraphicType", [] { TWPreferences::setAttachedGraphicType(2); },
         [] { return QVariant(TWPreferences::attachedGraphicType()); }, 2, true},
        {"TWRectCornerModeString", [] { TWPreferences::setRectCornerMode(3); },
         [] { return QVariant(TWPreferences::rectCornerMode()); }, 3, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        // A file of its own, so that no other setter's synchronize writes it.
        const QString path = dir.filePath(QString(c.key) + ".ini");
        UserDefaults own(path);
        UserDefaults::Scope inner(&own);
        TWPreferences::registerDefaults();
        EXPECT_NE(c.get(), c.value); // the registered value differs
        c.set();
        EXPECT_EQ(c.get(), c.value);
        // Nothing lets the event loop run here, so only an explicit
        // synchronize can have written the file.
        EXPECT_EQ(onDisk(path, c.key), c.synchronizes);
    }
    EXPECT_FALSE(TWPreferences::showPageFramesWhenCreatingDocuments());
    defaults.setBool(true, TWPreferences::ShowPageFramesWhenCreatingDocumentsKey);
    EXPECT_TRUE(TWPreferences::showPageFramesWhenCreatingDocuments());
}

TEST_F(TWPreferencesTest, TypeCodesAreValidWithoutRegistration)
{
    UserDefaults bare(dir.filePath("bare.ini"));
    UserDefaults::Scope inner(&bare);
    EXPECT_EQ(TWPreferences::branchType(), 1);
    EXPECT_EQ(TWPreferences::attachedGraphicType(), 8);
}

TEST_F(TWPreferencesTest, FontsFallBackToTheUserFontWhichIsStoredAsXML)
{
    for (const FontSlot &slot : fontSlots()) {
        SCOPED_TRACE(slot.key);
        g_warnings.clear();
        EXPECT_FALSE(defaults.hasStoredValue(slot.key));
        const Font fallback(TWPreferences::UserFontName, slot.fallbackSize);
        EXPECT_EQ(slot.get(), fallback);
        // Written back at once, as an "XMLObj" document.
        EXPECT_TRUE(onDisk(slot.key));
        const QString stored = defaults.stringForKey(slot.key);
        EXPECT_TRUE(stored.contains("<XMLObj>")) << stored.toStdString();
        EXPECT_EQ(Font::fontFromXMLRepresentation(stored), fallback);
        // The second read finds it and says nothing.
        EXPECT_EQ(slot.get(), fallback);
        EXPECT_TRUE(g_warnings.isEmpty());

        const Font chosen("Times-Roman", 18.5);
        slot.set(chosen);
        EXPECT_EQ(slot.get(), chosen);
        EXPECT_EQ(Font::fontFromXMLRepresentation(defaults.stringForKey(slot.key)), chosen);
        slot.set(Font()); // refused: no name
        EXPECT_EQ(slot.get(), chosen);
    }
    // The correctly spelled key is never used.
    EXPECT_FALSE(defaults.hasStoredValue("TWOutlineNumberFont"));
}

TEST_F(TWPreferencesTest, UnreadableFontEntriesAreReplacedByTheFallback)
{
    const Font fallback(TWPreferences::UserFontName, 20);
    const char *warning = "Warning: center font not found - defaulting to user font";
    struct Case
    {
        const char *stored;
        Font expected;
        bool warns;
    };
    const std::vector<Case> cases = {
        {"nonsense", fallback, false},
        {"", fallback, false},
        {"<XMLObj>", fallback, false}, // not well formed
        {"Helvetica -3", fallback, false},
        {"Two Words 12", fallback, false},
        {"<XMLObj/>", fallback, true},
        {"<Other><NSFont><fontName>Courier</fontName><size>9</size></NSFont></Other>", fallback,
         true},
        {"<XMLObj><NSFont><size>9</size></NSFont></XMLObj>", fallback, true},
        // The earlier "name size" form is read once and rewritten as XML.
        {" Courier-Bold 9 ", Font("Courier-Bold", 9), false},
        {"Times-Roman 18.5", Font("Times-Roman", 18.5), false},
        // A missing size reads as 10 points.
        {"<XMLObj><NSFont><fontName>Courier</fontName></NSFont></XMLObj>", Font("Courier", 10),
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        g_warnings.clear();
        defaults.setString(c.stored, "TWCenterFont");
        EXPECT_EQ(TWPreferences::centerFont(), c.expected);
        EXPECT_EQ(g_warnings, c.warns ? QStringList{warning} : QStringList{});
        // What is stored now is an "XMLObj" document of that font.
        const QString now = defaults.stringForKey("TWCenterFont");
        EXPECT_EQ(Font::fontFromXMLRepresentation(now), c.expected) << now.toStdString();
    }
}

// Fonts read once are kept, so every change must reach the next read: a
// setter, a value stored or removed behind the preferences' back, new
// registered values, and another defaults instance taking over.
TEST_F(TWPreferencesTest, FontsReadAgainAfterEveryChange)
{
    const Font fallback(TWPreferences::UserFontName, 12);
    const Font times("Times-Roman", 18.5);
    const Font courier("Courier", 9);
    QTemporaryDir otherDir;
    auto other = std::make_unique<UserDefaults>(otherDir.filePath("other.ini"));
    other->setString(courier.xmlRepresentation(), "TWBranchFont");
    std::optional<UserDefaults::Scope> otherScope;
    const struct
    {
        const char *step;
        std::function<void()> change;
        Font expected;
    } steps[] = {
        {"first read", [] {}, fallback},
        {"setter", [&] { TWPreferences::setBranchFont(times); }, times},
        {"stored directly", [&] { defaults.setString("Courier 9", "TWBranchFont"); }, courier},
        {"another key", [&] { TWPreferences::setCenterFont(times); }, courier},
        {"removed", [&] { defaults.removeObjectForKey("TWBranchFont"); }, fallback},
        {"registered",
         [&] {
             defaults.removeObjectForKey("TWBranchFont");
             defaults.registerDefaults({{"TWBranchFont", times.xmlRepresentation()}});
         },
         times},
        {"other defaults", [&] { otherScope.emplace(other.get()); }, courier},
        {"back again", [&] { otherScope.reset(); }, times},
        {"other changed meanwhile",
         [&] {
             other->setString(fallback.xmlRepresentation(), "TWBranchFont");
             otherScope.emplace(other.get());
         },
         fallback},
        {"other destroyed, a new one in its place",
         [&] {
             otherScope.reset();
             other.reset();
             other = std::make_unique<UserDefaults>(otherDir.filePath("third.ini"));
             other->setString(courier.xmlRepresentation(), "TWBranchFont");
             otherScope.emplace(other.get());
         },
         courier},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.step);
        s.change();
        EXPECT_EQ(TWPreferences::branchFont(), s.expected);
        EXPECT_EQ(TWPreferences::branchFont(), s.expected);
    }
    otherScope.reset();
}

// The corner mode every new rectangle asks for is kept the same way.
TEST_F(TWPreferencesTest, TheCornerModeIsReadAgainAfterEveryChange)
{
    QTemporaryDir otherDir;
    auto other = std::make_unique<UserDefaults>(otherDir.filePath("other.ini"));
    other->setInteger(0, TWPreferences::RectCornerModeKey);
    std::optional<UserDefaults::Scope> otherScope;
    const struct
    {
        const char *step;
        std::function<void()> change;
        int expected;
    } steps[] = {
        {"first read", [] {}, 1},
        {"setter", [] { TWPreferences::setRectCornerMode(2); }, 2},
        {"stored directly", [&] { defaults.setInteger(3, TWPreferences::RectCornerModeKey); }, 3},
        {"another key", [] { TWPreferences::setBranchType(1); }, 3},
        {"removed", [&] { defaults.removeObjectForKey(TWPreferences::RectCornerModeKey); }, 1},
        {"registered",
         [&] {
             defaults.registerDefaults({{TWPreferences::RectCornerModeKey, 4}});
         },
         4},
        {"other defaults", [&] { otherScope.emplace(other.get()); }, 0},
        {"back again", [&] { otherScope.reset(); }, 4},
        {"other destroyed, a new one in its place",
         [&] {
             other.reset();
             other = std::make_unique<UserDefaults>(otherDir.filePath("third.ini"));
             other->setInteger(5, TWPreferences::RectCornerModeKey);
             otherScope.emplace(other.get());
         },
         5},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.step);
        s.change();
        EXPECT_EQ(TWPreferences::rectCornerMode(), s.expected);
        EXPECT_EQ(TWPreferences::rectCornerMode(), s.expected);
    }
    otherScope.reset();
}

TEST_F(TWPreferencesTest, StandardShadow)
{
    const Shadow shadow = TWPreferences::shadow();
    EXPECT_EQ(shadow.shadowBlurRadius(), 10);
    EXPECT_EQ(shadow.shadowOffset(), Size(0, -4));
    EXPECT_EQ(shadow.shadowColor(), Color::colorWithDeviceWhite(0, 0.75));
}
