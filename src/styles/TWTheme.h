#pragma once

#include "styles/TWStyle.h"

#include <QList>
#include <QMap>
#include <QString>
#include <memory>
#include <optional>

// A complete look for a map: a map style and, per branch level (the root's
// first), the graphic styles of the main graphic and of the attached
// graphics. Only what applying styles needs; files, previews and the theme
// panels come with the theme library.
class TWTheme
{
public:
    static inline const QString MainGraphicStyleIDKey = QStringLiteral("mainGraphicStyleID");
    static inline const QString AttachedGraphicStyleIDKey =
        QStringLiteral("attachedGraphicStyleID");

    QString name;
    QString identifier;
    std::shared_ptr<TWStyle> mapStyle;
    std::optional<QString> defaultGraphicStyleID;
    QMap<QString, std::shared_ptr<TWStyle>> graphicStyles;
    // One dictionary per level; levels past the end use the last one.
    QList<OrderedDictionary> branchLevelStyleIDs;

    static std::shared_ptr<TWStyle> mainGraphicStyleForBranchLevel(int level, const TWTheme &theme);
    static std::shared_ptr<TWStyle> attachedGraphicStyleForBranchLevel(int level,
                                                                       const TWTheme &theme);

private:
    std::shared_ptr<TWStyle> styleForLevel(int level, const QString &key) const;
};

// The themes maps refer to by identifier.
class TWThemeManager
{
public:
    static TWThemeManager &sharedThemeManager();
    std::shared_ptr<TWTheme> themeWithIdentifier(const QString &identifier) const;
    // Makes the theme known under its identifier (replacing one there).
    void addTheme(const std::shared_ptr<TWTheme> &theme);
    void removeTheme(const QString &identifier);

private:
    QMap<QString, std::shared_ptr<TWTheme>> m_themes;
};
