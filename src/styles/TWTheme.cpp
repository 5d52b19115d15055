#include "styles/TWTheme.h"

std::shared_ptr<TWStyle> TWTheme::styleForLevel(int level, const QString &key) const
{
    if (branchLevelStyleIDs.isEmpty() || level < 0)
        return nullptr;
    const OrderedDictionary &entry = level < branchLevelStyleIDs.size()
                                         ? branchLevelStyleIDs[level]
                                         : branchLevelStyleIDs.last();
    const QVariant identifier = entry.value(key);
    if (identifier.typeId() != QMetaType::QString)
        return nullptr;
    return graphicStyles.value(identifier.toString());
}

std::shared_ptr<TWStyle> TWTheme::mainGraphicStyleForBranchLevel(int level, const TWTheme &theme)
{
    return theme.styleForLevel(level, MainGraphicStyleIDKey);
}

std::shared_ptr<TWStyle> TWTheme::attachedGraphicStyleForBranchLevel(int level,
                                                                     const TWTheme &theme)
{
    return theme.styleForLevel(level, AttachedGraphicStyleIDKey);
}

TWThemeManager &TWThemeManager::sharedThemeManager()
{
    static TWThemeManager shared;
    return shared;
}

std::shared_ptr<TWTheme> TWThemeManager::themeWithIdentifier(const QString &identifier) const
{
    return m_themes.value(identifier);
}

void TWThemeManager::addTheme(const std::shared_ptr<TWTheme> &theme)
{
    if (theme)
        m_themes.insert(theme->identifier, theme);
}

void TWThemeManager::removeTheme(const QString &identifier)
{
    m_themes.remove(identifier);
}
