#pragma once

#include "styles/TWStyle.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMap>
#include <QString>
#include <memory>
#include <optional>

class TWMap;
class TWThemeSavePanelController;
class TWThemeSelectorPanelController;
class QWidget;

// A complete look for a map: a map style and, per branch level (the root's
// first), the graphic styles of the main graphic and of the attached
// graphics, with a picture of the map it was made from.
class TWTheme
{
public:
    static inline const QString MainGraphicStyleIDKey = QStringLiteral("mainGraphicStyleID");
    static inline const QString AttachedGraphicStyleIDKey =
        QStringLiteral("attachedGraphicStyleID");
    static inline const QString DefaultThemeIdentifier =
        QStringLiteral("00000000-THINK-WEB-DEFAULTTHEME");
    static inline const QString FileExtension = QStringLiteral("TWTheme");

    // Keys of the theme file.
    static inline const QString NameKey = QStringLiteral("TWThemeName");
    static inline const QString IDKey = QStringLiteral("TWThemeID");
    static inline const QString VersionKey = QStringLiteral("TWThemeVersion");
    static inline const QString MapStyleKey = QStringLiteral("TWThemeMapStyle");
    static inline const QString DefaultGraphicStyleIDKey =
        QStringLiteral("TWThemeDefaultGraphicStyleID");
    static inline const QString GraphicStylesKey = QStringLiteral("TWThemeGraphicStyles");
    static inline const QString BranchLevelStyleIDsKey =
        QStringLiteral("TWThemeBranchLevelStyleIDs");
    static inline const QString PreviewPDFDataKey = QStringLiteral("TWThemePreviewPDFData");

    // Named "New Theme", with a fresh identifier.
    TWTheme();

    QString name;
    QString identifier;
    std::shared_ptr<TWStyle> mapStyle;
    std::optional<QString> defaultGraphicStyleID;
    QMap<QString, std::shared_ptr<TWStyle>> graphicStyles;
    // One dictionary per level; levels past the end use the last one.
    QList<OrderedDictionary> branchLevelStyleIDs;
    // A PDF picture of the map the theme was made from.
    QByteArray previewPDFData;

    // Null (logged) when the file cannot be read or holds no dictionary: a
    // nameless theme would restyle maps to nothing.
    static std::shared_ptr<TWTheme> createWithContentsOfFile(const QString &path);
    static std::shared_ptr<TWTheme> createWithDictionary(const OrderedDictionary &dictionary);
    // The file's dictionary; a missing field writes no key.
    OrderedDictionary dictionary() const;
    // Writes atomically; false when it could not be written.
    bool writeToFile(const QString &path) const;
    // The preview picture; null without data.
    QImage previewImage() const;

    // Identifiers that may name a file: the UUID form and the default theme's.
    static bool isFileIdentifier(const QString &identifier);

    static std::shared_ptr<TWStyle> mainGraphicStyleForBranchLevel(int level, const TWTheme &theme);
    static std::shared_ptr<TWStyle> attachedGraphicStyleForBranchLevel(int level,
                                                                       const TWTheme &theme);

private:
    std::shared_ptr<TWStyle> styleForLevel(int level, const QString &key) const;
};

// The library of themes: the built-in ones and the user's own, a user theme
// replacing a built-in one of the same identifier.
class TWThemeManager
{
public:
    using ThemeDictionary = QMap<QString, std::shared_ptr<TWTheme>>;
    using ThemeList = QList<std::shared_ptr<TWTheme>>;

    // Empty folders mean the standard ones; tests pass their own.
    explicit TWThemeManager(const QString &standardFolder = QString(),
                            const QString &customFolder = QString());
    ~TWThemeManager();
    TWThemeManager(const TWThemeManager &) = delete;
    TWThemeManager &operator=(const TWThemeManager &) = delete;

    static TWThemeManager &sharedThemeManager();
    static QString standardThemesFolder();
    // Made when missing.
    static QString customThemesFolder();
    QString standardFolder() const;
    QString customFolder() const;

    // The themes of the folder's "*.TWTheme" files by identifier (a later
    // file replaces an earlier one); unreadable files are skipped.
    static ThemeDictionary themesInFolder(const QString &path);

    void reloadStandardThemes();
    void reloadCustomThemes();
    // Loaded on first use.
    const ThemeDictionary &standardThemes();
    const ThemeDictionary &customThemes();
    ThemeDictionary allThemes();
    std::shared_ptr<TWTheme> defaultTheme();
    // The default theme first, then the others by name, case ignored.
    ThemeList orderedThemes();
    std::shared_ptr<TWTheme> themeWithIdentifier(const QString &identifier);

    // A new theme from the map, written to the custom folder and loaded.
    // Null (logged) when it could not be written.
    std::shared_ptr<TWTheme> createNewCustomThemeWithName(const QString &name, TWMap &map);
    // Takes the map's look into the theme (its name, identifier and default
    // graphic style stay) and writes it to the custom folder, where it
    // overrides a built-in theme of the same identifier.
    bool updateTheme(TWTheme &theme, TWMap &map);

    // Makes a theme known without a file (replacing one there), until the
    // custom themes are read again.
    void addTheme(const std::shared_ptr<TWTheme> &theme);
    void removeTheme(const QString &identifier);

    // The panels (made on first use).
    TWThemeSelectorPanelController &themeSelectorPanelController();
    TWThemeSavePanelController &themeSavePanelController();
    // Applies to the maps; nothing without a window to show the sheet on.
    void showThemeSelectorPanel(QWidget *window, const QList<std::shared_ptr<TWMap>> &maps);
    // Saves from the map; runs modally.
    void showThemeSavePanel(const std::shared_ptr<TWMap> &map);

private:
    bool writeCustomTheme(TWTheme &theme);

    QString m_standardFolder;
    QString m_customFolder;
    ThemeDictionary m_standard;
    ThemeDictionary m_custom;
    bool m_standardLoaded = false;
    bool m_customLoaded = false;
    // Made where the panels live (a floor above): shared pointers carry
    // their own deleters, so the themes need not know the panels.
    std::shared_ptr<TWThemeSelectorPanelController> m_selector;
    std::shared_ptr<TWThemeSavePanelController> m_save;
};
