// Themes made from maps and applied to them.

#include "graphics/TWGraphic.h"
#include "mapdrawing/TWMapImages.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "styles/TWTheme.h"

#include <utility>
#include <vector>

std::shared_ptr<TWTheme> TWMap::newThemeFromCurrentSettings()
{
    auto theme = std::make_shared<TWTheme>();
    theme->mapStyle = mapStyle();
    theme->defaultGraphicStyleID = defaultGraphicStyleID();
    for (std::shared_ptr<TWMapBranch> branch = root(); branch;) {
        OrderedDictionary level;
        const auto take = [&theme, &level](const std::shared_ptr<TWGraphic> &graphic,
                                           const QString &key) {
            const std::shared_ptr<TWStyle> style = graphic ? graphic->style() : nullptr;
            if (!style)
                return;
            theme->graphicStyles.insert(style->identifier(), style);
            level.setValue(key, style->identifier());
        };
        take(branch->mainGraphic(), TWTheme::MainGraphicStyleIDKey);
        if (!branch->linkedGraphics().isEmpty())
            take(branch->linkedGraphics().first(), TWTheme::AttachedGraphicStyleIDKey);
        theme->branchLevelStyleIDs.append(level);
        branch = branch->children().isEmpty() ? nullptr : branch->children().first();
    }
    theme->previewPDFData = TWMapImages::pdfDataForMap(*this, true);
    return theme;
}

void TWMap::updateThemeIncludingGraphics(bool includeGraphics)
{
    std::shared_ptr<TWTheme> current = theme();
    // A theme that is not known restyles to nothing: no map style, no
    // graphic styles, settings as they are.
    const TWTheme none;
    const TWTheme &applied = current ? *current : none;
    setMapStyle(applied.mapStyle);
    setDefaultGraphicStyleID(std::nullopt);
    if (includeGraphics && root())
        root()->applyTheme(applied);
    setNeedsUpdatePreviewImage(true);
}

void TWMapBranch::applyTheme(const TWTheme &theme)
{
    // Depth first without recursion: maps may be deeper than the stack.
    std::vector<std::pair<std::shared_ptr<TWMapBranch>, int>> pending{
        {shared_from_this(), getThisBranchLevel()}};
    while (!pending.empty()) {
        auto [branch, level] = std::move(pending.back());
        pending.pop_back();
        if (const std::shared_ptr<TWGraphic> &main = branch->mainGraphic())
            main->setStyle(TWTheme::mainGraphicStyleForBranchLevel(level, theme));
        if (const std::shared_ptr<TWStyle> attached =
                TWTheme::attachedGraphicStyleForBranchLevel(level, theme)) {
            // A copy: restyling may re-sort the attached graphics.
            const auto linked = branch->linkedGraphics();
            for (const std::shared_ptr<TWGraphic> &graphic : linked)
                graphic->setStyle(attached);
        }
        const auto &children = branch->children();
        for (auto it = children.crbegin(); it != children.crend(); ++it)
            pending.emplace_back(*it, level + 1);
    }
}
