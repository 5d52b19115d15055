#include "platform/TWPreferences.h"
#include "platform/CFormat.h"
#include "platform/UserDefaults.h"

#include <QDebug>
#include <cmath>

namespace {
constexpr int DefaultBranchType = 1;          // a line
constexpr int DefaultAttachedGraphicType = 8; // a text attachment

// Falls back on the built-in value if start-up registration was skipped: 0 is
// no type code.
int typeCode(const char *key, int fallback)
{
    const UserDefaults &d = UserDefaults::standard();
    if (!d.objectForKey(key).isValid())
        return fallback;
    return int(d.integerForKey(key));
}

// Type codes reach the file at once.
void setTypeCode(const char *key, int type)
{
    UserDefaults &d = UserDefaults::standard();
    d.setInteger(type, key);
    d.synchronize();
}
} // namespace

void TWPreferences::registerDefaults()
{
    registerDefaults(UserDefaults::standard());
}

void TWPreferences::registerDefaults(UserDefaults &defaults)
{
    defaults.registerDefaults({
        {InitialBranchTypeKey, DefaultBranchType},
        {InitialAttachedGraphicTypeKey, DefaultAttachedGraphicType},
        {ShowPageFramesWhenCreatingDocumentsKey, false},
    });
}

int TWPreferences::branchType()
{
    return typeCode(InitialBranchTypeKey, DefaultBranchType);
}

void TWPreferences::setBranchType(int type)
{
    setTypeCode(InitialBranchTypeKey, type);
}

int TWPreferences::attachedGraphicType()
{
    return typeCode(InitialAttachedGraphicTypeKey, DefaultAttachedGraphicType);
}

void TWPreferences::setAttachedGraphicType(int type)
{
    setTypeCode(InitialAttachedGraphicTypeKey, type);
}

bool TWPreferences::showPageFramesWhenCreatingDocuments()
{
    return UserDefaults::standard().boolForKey(ShowPageFramesWhenCreatingDocumentsKey);
}

QString TWPreferences::fontString(const FontChoice &font)
{
    return font.postScriptName + u' ' + CFormat::shortFloat(float(font.size));
}

TWPreferences::FontChoice TWPreferences::fontFromString(const QString &text)
{
    // PostScript names have no blanks, so the size is what follows the last one.
    const QString t = text.trimmed();
    const qsizetype blank = t.lastIndexOf(u' ');
    if (blank <= 0)
        return {};
    const QString name = t.left(blank).trimmed();
    const QString sizeText = t.mid(blank + 1);
    const double size = CFormat::doubleValue(sizeText);
    if (name.isEmpty() || name.contains(u' ') || !(size > 0) || !std::isfinite(size))
        return {};
    return {name, size};
}

TWPreferences::FontChoice TWPreferences::readFont(const char *key, double fallbackSize)
{
    UserDefaults &d = UserDefaults::standard();
    const FontChoice stored = fontFromString(d.stringForKey(key));
    if (!stored.postScriptName.isEmpty())
        return stored;
    const FontChoice fallback{UserFontName, fallbackSize};
    writeFont(key, fallback);
    return fallback;
}

void TWPreferences::writeFont(const char *key, const FontChoice &font)
{
    if (font.postScriptName.isEmpty() || !(font.size > 0)) {
        qWarning().noquote() << "TWPreferences: refusing to store an empty font under" << key;
        return;
    }
    UserDefaults &d = UserDefaults::standard();
    d.setString(fontString(font), key);
    d.synchronize();
}

TWPreferences::FontChoice TWPreferences::centerFont()
{
    return readFont(CenterFontKey, 20);
}

void TWPreferences::setCenterFont(const FontChoice &font)
{
    writeFont(CenterFontKey, font);
}

TWPreferences::FontChoice TWPreferences::firstLevelFont()
{
    return readFont(FirstLevelFontKey, 16);
}

void TWPreferences::setFirstLevelFont(const FontChoice &font)
{
    writeFont(FirstLevelFontKey, font);
}

TWPreferences::FontChoice TWPreferences::branchFont()
{
    return readFont(BranchFontKey, UserFontDefaultSize);
}

void TWPreferences::setBranchFont(const FontChoice &font)
{
    writeFont(BranchFontKey, font);
}
