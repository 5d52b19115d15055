#pragma once

#include "support/Font.h"
#include "support/Shadow.h"

#include <QString>

class UserDefaults;

// Application-wide settings kept in the user defaults, read by the model, the
// canvas and the windows. registerDefaults() runs once at start-up, before the
// application object exists; everything else reads and writes
// UserDefaults::standard(). Per-document settings live in the document.
class TWPreferences
{
public:
    // Registered keys.
    static constexpr const char *FindIgnoreCaseKey = "TWFindIgnoreCase";
    static constexpr const char *FindScopeKey = "TWFindScope";
    static constexpr const char *DebugBindingsKey = "TWDebugBindings";
    static constexpr const char *BranchNotesZoomKey = "TWBranchNotesZoom";
    static constexpr const char *DisplayAPEAlertKey = "TWDisplayAPEAlert";
    static constexpr const char *ShowTemplatesPanelWhenCreatingMapsKey =
        "TWShowTemplatesPanelWhenCreatingMaps";
    static constexpr const char *PromptForTutorAtStartupKey = "TWPromptForTutorAtStartup";
    static constexpr const char *ShowToolPaletteKey = "TWShowToolPalette";
    static constexpr const char *ShowOutlineWindowKey = "TWShowOutlineWindow";
    static constexpr const char *AutoSaveSwitchKey = "TWAutoSaveSwitch";
    static constexpr const char *AutoSaveTimeKey = "TWAutoSaveTime";
    static constexpr const char *SaveBackupSwitchKey = "TWSaveBackupSwitch";
    static constexpr const char *PaletteAutoFlipBackKey = "TWPaletteAutoFlipBack";
    static constexpr const char *PaletteAutoFlipBackDurationKey = "TWPaletteAutoFlipBackDuration";
    static constexpr const char *ShowPageFramesWhenCreatingDocumentsKey =
        "TWShowPageFramesWhenCreatingDocuments";
    static constexpr const char *SnapLinesModeKey = "TWSnapLinesMode";
    static constexpr const char *CheckSpellingSwitchKey = "TWCheckSpellingSwitch";
    static constexpr const char *InitialBranchTypeKey = "TWInitialBranchType";
    static constexpr const char *InitialAttachedGraphicTypeKey = "TWInitialAttachedGraphicType";
    static constexpr const char *RectCornerModeKey = "TWRectCornerModeString";
    // Base address of the maker's server (update checks, tutorials); empty
    // until configured.
    static constexpr const char *ServerBaseURLKey = "TWServerBaseURL";

    // Font keys: not registered; each holds an "XMLObj" document once read or set.
    static constexpr const char *CenterFontKey = "TWCenterFont";
    static constexpr const char *FirstLevelFontKey = "TWFirstLevelFont";
    static constexpr const char *BranchFontKey = "TWBranchFont";
    static constexpr const char *AttachedGraphicTextFontKey = "TWAttachedGraphicTextFont";
    static constexpr const char *BranchNotesFontKey = "TWBranchNotesFont";
    // Spelled so since the first release; stored preferences depend on it.
    static constexpr const char *OutlineNumberFontKey = "TWOutlilneNumberFont";

    // The user font: what text gets when nothing else is chosen.
    static constexpr const char *UserFontName = "Helvetica";
    static constexpr double UserFontDefaultSize = 12;

    static void registerDefaults();
    static void registerDefaults(UserDefaults &defaults);

    static bool snapLines();
    static void setSnapLines(bool snap);
    static bool continuousSpellCheck();
    static void setContinuousSpellCheck(bool check);
    // Branch type code of new branches (1 line ... 7 custom shape).
    static int branchType();
    static void setBranchType(int type);
    // Type code of new attached graphics.
    static int attachedGraphicType();
    static void setAttachedGraphicType(int type);
    static int rectCornerMode();
    static void setRectCornerMode(int mode);
    static bool showPageFramesWhenCreatingDocuments();

    // The default fonts. A missing or unreadable entry gives the user font (20
    // points for the centre, 16 for the first level, its default size for the
    // rest), which is then stored so the next read finds it.
    static Font centerFont();
    static void setCenterFont(const Font &font);
    static Font firstLevelFont();
    static void setFirstLevelFont(const Font &font);
    static Font branchFont();
    static void setBranchFont(const Font &font);
    static Font attachedGraphicFont();
    static void setAttachedGraphicFont(const Font &font);
    static Font branchNotesFont();
    static void setBranchNotesFont(const Font &font);
    static Font outlineNumberFont();
    static void setOutlineNumberFont(const Font &font);

    // The standard drop shadow, a new value each call.
    static Shadow shadow();

private:
    struct FontSlot;
    static Font readFont(const FontSlot &slot);
    static Font readStoredFont(const FontSlot &slot);
    static void writeFont(const char *key, const Font &font);
};
