#include "palettes/TWPaletteMapping.h"

#include "graphics/TWGraphic.h"

#include <QHash>

using namespace TWPaletteIDs;

namespace {

std::function<bool()> &suggestionProbe()
{
    static std::function<bool()> probe;
    return probe;
}

void appendMissing(QStringList &list, const QStringList &more)
{
    for (const QString &id : more)
        if (!list.contains(id))
            list.append(id);
}

} // namespace

QStringList TWPaletteMapping::mapPaletteIDs()
{
    return {MapStyle, MapBackground,  MapLayout,   MapColoring, MapOutlineNumbering,
            MapTasks, MapViewOptions, MapNavigator};
}

QStringList TWPaletteMapping::branchPalettesIDs()
{
    QStringList ids{BranchMain};
    if (suggestionPluginInstalled())
        ids.append(BranchSuggestions);
    ids << BranchHyperlink << GeneralText;
    return ids;
}

QStringList TWPaletteMapping::attachedGraphicPalettesIDs()
{
    return {GeneralOrdering};
}

const QStringList &TWPaletteMapping::applicationSupportedPaletteIDs()
{
    static const QStringList ids{Add,           MapStyle,          MapBackground,
                                 MapLayout,     MapColoring,       MapOutlineNumbering,
                                 MapTasks,      MapViewOptions,    MapNavigator,
                                 BranchMain,    BranchSuggestions, BranchHyperlink,
                                 GeneralText,   GeneralOrdering,   GeneralStyle,
                                 GeneralLine,   GeneralFill,       GeneralShadow,
                                 GeneralCorner, GeneralTerminator};
    return ids;
}

QStringList TWPaletteMapping::supportedPaletteIDs(const QString &className)
{
    if (className == u"TWLine" || className == u"TWImage" || className == u"TWFlexiBranch")
        return {GeneralStyle, GeneralLine, GeneralShadow};
    if (className == u"TWRectangle")
        return {GeneralStyle, GeneralLine, GeneralFill, GeneralShadow, GeneralCorner};
    if (className == u"TWCircle")
        return {GeneralStyle, GeneralLine, GeneralFill, GeneralShadow};
    if (className == u"TWTextArea")
        return {GeneralStyle, GeneralText, GeneralLine, GeneralFill, GeneralShadow};
    if (className == u"TWLinkLine")
        return {GeneralStyle, GeneralLine, GeneralShadow, GeneralTerminator};
    if (className == u"TWBoundaryProxy") {
        QStringList ids{BranchMain};
        if (suggestionPluginInstalled())
            ids.append(BranchSuggestions);
        ids << GeneralStyle << GeneralLine << GeneralFill << GeneralShadow << GeneralCorner;
        return ids;
    }
    return {GeneralStyle,  GeneralLine,   GeneralFill,
            GeneralShadow, GeneralCorner, GeneralTerminator};
}

QStringList TWPaletteMapping::supportedPaletteIDs(const TWGraphic &graphic)
{
    return supportedPaletteIDs(graphic.className());
}

QStringList TWPaletteMapping::defaultDockOrder()
{
    QStringList order{Add, MapNavigator};
    appendMissing(order, mapPaletteIDs());
    appendMissing(order, branchPalettesIDs());
    appendMissing(order, attachedGraphicPalettesIDs());
    appendMissing(order, supportedPaletteIDs(QStringLiteral("TWGraphic")));
    return order;
}

bool TWPaletteMapping::suggestionPluginInstalled()
{
    const auto &probe = suggestionProbe();
    return probe && probe();
}

void TWPaletteMapping::setSuggestionPluginProbe(std::function<bool()> probe)
{
    suggestionProbe() = std::move(probe);
}
