#pragma once

#include <QString>

class UserDefaults;

// Application-wide settings kept in the user defaults, read by the model and
// the canvas. registerDefaults() runs once at start-up, before any document
// exists; everything else reads and writes UserDefaults::standard().
class TWPreferences
{
public:
    // A font as the preferences keep it until the font value type takes over:
    // its PostScript name and point size.
    struct FontChoice
    {
        QString postScriptName;
        double size = 0;
        friend bool operator==(const FontChoice &, const FontChoice &) = default;
    };

    static constexpr const char *InitialBranchTypeKey = "TWInitialBranchType";
    static constexpr const char *InitialAttachedGraphicTypeKey = "TWInitialAttachedGraphicType";
    static constexpr const char *ShowPageFramesWhenCreatingDocumentsKey =
        "TWShowPageFramesWhenCreatingDocuments";
    static constexpr const char *CenterFontKey = "TWCenterFont";
    static constexpr const char *FirstLevelFontKey = "TWFirstLevelFont";
    static constexpr const char *BranchFontKey = "TWBranchFont";

    // The user font: what text gets when nothing else is chosen.
    static constexpr const char *UserFontName = "Helvetica";
    static constexpr double UserFontDefaultSize = 12;

    static void registerDefaults();
    static void registerDefaults(UserDefaults &defaults);

    // Branch type code of new branches (1 line ... 7 custom shape).
    static int branchType();
    static void setBranchType(int type);
    // Type code of new attached graphics.
    static int attachedGraphicType();
    static void setAttachedGraphicType(int type);
    static bool showPageFramesWhenCreatingDocuments();

    // Fonts of the root, first-level and deeper branches. A missing or
    // unreadable entry gives the user font at 20, 16 and its default size,
    // which is then stored so the next read finds it.
    static FontChoice centerFont();
    static void setCenterFont(const FontChoice &font);
    static FontChoice firstLevelFont();
    static void setFirstLevelFont(const FontChoice &font);
    static FontChoice branchFont();
    static void setBranchFont(const FontChoice &font);

    // The stored text of a font: "<PostScript name> <size>", e.g. "Helvetica 20".
    static QString fontString(const FontChoice &font);
    // A choice with an empty name when the text does not describe a font.
    static FontChoice fontFromString(const QString &text);

private:
    static FontChoice readFont(const char *key, double fallbackSize);
    static void writeFont(const char *key, const FontChoice &font);
};
