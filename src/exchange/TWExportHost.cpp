#include "exchange/TWExportHost.h"

#include "mapdrawing/TWMapBranch_Outline.h"
#include "model/TWMap.h"

std::optional<AttributedString> TWExportHost::outlineText(TWMap &map,
                                                          const OutlineTextRequest &request)
{
    return mapOutlineText(map, request);
}

std::optional<AttributedString> TWExportHost::mapOutlineText(const TWMap &map,
                                                             const OutlineTextRequest &request)
{
    if (!map.root())
        return std::nullopt;
    TWBranchOutline::Settings settings;
    settings.options = request.options;
    settings.type = request.type;
    settings.indentSelection = request.indentSelection;
    settings.indentNoOfSpaces = request.indentNoOfSpaces;
    settings.includeAttachedText = request.includeAttachedText;
    settings.includeGraphicText = request.includeGraphicText;
    return TWBranchOutline::createTextOfType(map, settings);
}
