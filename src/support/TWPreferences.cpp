#include "support/TWPreferences.h"
#include "platform/UserDefaults.h"
#include "support/TWXMLUtils.h"
#include "support/XMLDocument.h"

#include <QDebug>
#include <QLocale>
#include <cmath>
#include <type_traits>
#include <utility>
#include <vector>

#include <libxml/xpath.h>

namespace {
constexpr int DefaultBranchType = 1;          // a line
constexpr int DefaultAttachedGraphicType = 8; // a text attachment
constexpr double FallbackCenterSize = 20;
constexpr double FallbackFirstLevelSize = 16;

// Falls back on the built-in value if start-up registration was skipped: 0 is
// no type code.
int typeCode(const char *key, int fallback)
{
    const UserDefaults &d = UserDefaults::standard();
    if (!d.objectForKey(key).isValid())
        return fallback;
    return int(d.integerForKey(key));
}

void store(const char *key, const QVariant &value, bool synchronize)
{
    UserDefaults &d = UserDefaults::standard();
    d.setObject(value, key);
    if (synchronize)
        d.synchronize();
}

// Earlier builds stored a font as "<PostScript name> <size>". PostScript
// names have no blanks, so the size is what follows the last one.
std::optional<Font> legacyFont(const QString &text)
{
    const QString t = text.trimmed();
    const qsizetype blank = t.lastIndexOf(u' ');
    if (blank <= 0)
        return std::nullopt;
    const QString name = t.left(blank).trimmed();
    bool ok = false;
    const double size = QLocale::c().toDouble(t.mid(blank + 1), &ok);
    if (!ok || name.isEmpty() || name.contains(u' ') || !(size > 0) || !std::isfinite(size))
        return std::nullopt;
    return Font(name, size);
}

// Every new branch asks for its font and corner mode: the values read from
// one defaults instance are kept until that preference changes or the
// instance goes.
class PreferenceCache
{
public:
    static PreferenceCache &shared()
    {
        static PreferenceCache *cache = new PreferenceCache; // main thread only, as the defaults
        return *cache;
    }

    template <typename Value>
    std::optional<Value> find(const UserDefaults &defaults, const char *key) const
    {
        if (&defaults != m_owner)
            return std::nullopt;
        for (const auto &[k, value] : entries<Value>()) {
            if (qstrcmp(k, key) == 0)
                return value;
        }
        return std::nullopt;
    }

    template <typename Value> void add(UserDefaults &defaults, const char *key, const Value &value)
    {
        if (&defaults != m_owner)
            follow(&defaults);
        entries<Value>().emplace_back(key, value);
    }

private:
    void follow(UserDefaults *defaults)
    {
        QObject::disconnect(m_changed);
        QObject::disconnect(m_destroyed);
        m_fonts.clear();
        m_integers.clear();
        m_owner = defaults;
        m_changed = QObject::connect(defaults, &UserDefaults::changed, [this](const QString &key) {
            const auto named = [&key](const auto &entry) {
                return key == QLatin1String(entry.first);
            };
            std::erase_if(m_fonts, named);
            std::erase_if(m_integers, named);
        });
        m_destroyed = QObject::connect(defaults, &QObject::destroyed, [this] {
            m_fonts.clear();
            m_integers.clear();
            m_owner = nullptr;
        });
    }

    template <typename Value> auto &entries()
    {
        if constexpr (std::is_same_v<Value, Font>)
            return m_fonts;
        else
            return m_integers;
    }
    template <typename Value> const auto &entries() const
    {
        return const_cast<PreferenceCache *>(this)->entries<Value>();
    }

    const UserDefaults *m_owner = nullptr;
    std::vector<std::pair<const char *, Font>> m_fonts;
    std::vector<std::pair<const char *, qint64>> m_integers;
    QMetaObject::Connection m_changed;
    QMetaObject::Connection m_destroyed;
};

enum class Parse { Unreadable, Read };

// The font of an "XMLObj" document: Unreadable when the text is no XML with a
// root element; Read with no font when the root holds none.
Parse fontFromDocument(const QString &text, std::optional<Font> &font)
{
    xmlDocPtr doc = XMLDetail::parseToXmlDoc(text.toUtf8());
    if (!doc)
        return Parse::Unreadable;
    if (!xmlDocGetRootElement(doc)) {
        xmlFreeDoc(doc);
        return Parse::Unreadable;
    }
    if (xmlXPathObjectPtr result = TWXMLUtils::getNodeSetForXPath("/XMLObj", doc, nullptr)) {
        font = Font::fontWithXMLNode(result->nodesetval->nodeTab[0], doc);
        xmlXPathFreeObject(result);
    }
    xmlFreeDoc(doc);
    return Parse::Read;
}
} // namespace

struct TWPreferences::FontSlot
{
    const char *key;
    double fallbackSize;
    const char *warning;
};

void TWPreferences::registerDefaults()
{
    registerDefaults(UserDefaults::standard());
}

void TWPreferences::registerDefaults(UserDefaults &defaults)
{
    defaults.registerDefaults({
        {FindIgnoreCaseKey, true},
        {FindScopeKey, 1},
        {DebugBindingsKey, false},
        {BranchNotesZoomKey, 100},
        {DisplayAPEAlertKey, true},
        {ShowTemplatesPanelWhenCreatingMapsKey, true},
        {PromptForTutorAtStartupKey, true},
        {ShowToolPaletteKey, false},
        {ShowOutlineWindowKey, false},
        {AutoSaveSwitchKey, false},
        {AutoSaveTimeKey, 30},
        {SaveBackupSwitchKey, 0},
        {PaletteAutoFlipBackKey, false},
        {PaletteAutoFlipBackDurationKey, 15},
        {ShowPageFramesWhenCreatingDocumentsKey, false},
        {SnapLinesModeKey, false},
        {CheckSpellingSwitchKey, true},
        {InitialBranchTypeKey, DefaultBranchType},
        {InitialAttachedGraphicTypeKey, DefaultAttachedGraphicType},
        {RectCornerModeKey, 1},
        {ServerBaseURLKey, QString()},
    });
}

bool TWPreferences::snapLines()
{
    return UserDefaults::standard().boolForKey(SnapLinesModeKey);
}

void TWPreferences::setSnapLines(bool snap)
{
    store(SnapLinesModeKey, snap, false);
}

bool TWPreferences::continuousSpellCheck()
{
    return UserDefaults::standard().boolForKey(CheckSpellingSwitchKey);
}

void TWPreferences::setContinuousSpellCheck(bool check)
{
    store(CheckSpellingSwitchKey, check, true);
}

int TWPreferences::branchType()
{
    return typeCode(InitialBranchTypeKey, DefaultBranchType);
}

void TWPreferences::setBranchType(int type)
{
    store(InitialBranchTypeKey, type, true);
}

int TWPreferences::attachedGraphicType()
{
    return typeCode(InitialAttachedGraphicTypeKey, DefaultAttachedGraphicType);
}

void TWPreferences::setAttachedGraphicType(int type)
{
    store(InitialAttachedGraphicTypeKey, type, true);
}

int TWPreferences::rectCornerMode()
{
    UserDefaults &d = UserDefaults::standard();
    PreferenceCache &cache = PreferenceCache::shared();
    if (const std::optional<qint64> known = cache.find<qint64>(d, RectCornerModeKey))
        return int(*known);
    const qint64 mode = d.integerForKey(RectCornerModeKey);
    cache.add<qint64>(d, RectCornerModeKey, mode);
    return int(mode);
}

void TWPreferences::setRectCornerMode(int mode)
{
    store(RectCornerModeKey, mode, false);
}

bool TWPreferences::showPageFramesWhenCreatingDocuments()
{
    return UserDefaults::standard().boolForKey(ShowPageFramesWhenCreatingDocumentsKey);
}

Font TWPreferences::readFont(const FontSlot &slot)
{
    UserDefaults &d = UserDefaults::standard();
    PreferenceCache &cache = PreferenceCache::shared();
    if (const std::optional<Font> known = cache.find<Font>(d, slot.key))
        return *known;
    const Font font = readStoredFont(slot);
    cache.add(d, slot.key, font);
    return font;
}

Font TWPreferences::readStoredFont(const FontSlot &slot)
{
    const UserDefaults &d = UserDefaults::standard();
    if (d.objectForKey(slot.key).isValid()) {
        const QString text = d.stringForKey(slot.key);
        std::optional<Font> font;
        if (fontFromDocument(text, font) == Parse::Read) {
            if (font)
                return *font;
            qWarning("%s", slot.warning);
        } else if (const std::optional<Font> old = legacyFont(text)) {
            // Read once in the old form, kept from now on in the new one.
            writeFont(slot.key, *old);
            return *old;
        }
    }
    const Font fallback(UserFontName, slot.fallbackSize);
    writeFont(slot.key, fallback);
    return fallback;
}

void TWPreferences::writeFont(const char *key, const Font &font)
{
    if (font.isNull() || !(font.pointSize() > 0)) {
        qWarning("TWPreferences: refusing to store an empty font under %s", key);
        return;
    }
    store(key, font.xmlRepresentation(), true);
}

Font TWPreferences::centerFont()
{
    return readFont({CenterFontKey, FallbackCenterSize,
                     "Warning: center font not found - defaulting to user font"});
}

void TWPreferences::setCenterFont(const Font &font)
{
    writeFont(CenterFontKey, font);
}

Font TWPreferences::firstLevelFont()
{
    return readFont({FirstLevelFontKey, FallbackFirstLevelSize,
                     "Warning: first level font not found - defaulting to user font"});
}

void TWPreferences::setFirstLevelFont(const Font &font)
{
    writeFont(FirstLevelFontKey, font);
}

Font TWPreferences::branchFont()
{
    return readFont({BranchFontKey, UserFontDefaultSize,
                     "Warning: branch font not found - defaulting to user font"});
}

void TWPreferences::setBranchFont(const Font &font)
{
    writeFont(BranchFontKey, font);
}

Font TWPreferences::attachedGraphicFont()
{
    return readFont({AttachedGraphicTextFontKey, UserFontDefaultSize,
                     "Warning: attached graphic font not found - defaulting to user font"});
}

void TWPreferences::setAttachedGraphicFont(const Font &font)
{
    writeFont(AttachedGraphicTextFontKey, font);
}

Font TWPreferences::branchNotesFont()
{
    return readFont({BranchNotesFontKey, UserFontDefaultSize,
                     "Warning: branch notes font not found - defaulting to user font"});
}

void TWPreferences::setBranchNotesFont(const Font &font)
{
    writeFont(BranchNotesFontKey, font);
}

Font TWPreferences::outlineNumberFont()
{
    return readFont({OutlineNumberFontKey, UserFontDefaultSize,
                     "Warning: outline number font not found - defaulting to user font"});
}

void TWPreferences::setOutlineNumberFont(const Font &font)
{
    writeFont(OutlineNumberFontKey, font);
}

Shadow TWPreferences::shadow()
{
    return Shadow(Size(0, -4), 10, Color::colorWithDeviceWhite(0, 0.75));
}
