#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class TWGraphic;

// The palette IDs and which of them fit the map, a branch, an attached
// graphic and each graphic class.
namespace TWPaletteIDs {
inline const QString Add = QStringLiteral("TWPaletteAdd");
inline const QString MapBackground = QStringLiteral("TWPaletteMapBackground");
inline const QString MapLayout = QStringLiteral("TWPaletteMapLayout");
inline const QString MapColoring = QStringLiteral("TWPaletteMapColoring");
inline const QString MapScaleAndZoom = QStringLiteral("TWPaletteMapScaleAndZoom");
inline const QString MapViewOptions = QStringLiteral("TWPaletteMapViewOptions");
inline const QString MapOutlineNumbering = QStringLiteral("TWPaletteMapOutlineNumbering");
inline const QString MapStyle = QStringLiteral("TWPaletteMapStyle");
inline const QString MapTasks = QStringLiteral("TWPaletteMapTasks");
inline const QString MapNavigator = QStringLiteral("TWPaletteMapNavigator");
inline const QString BranchMain = QStringLiteral("TWPaletteBranchMain");
inline const QString BranchSuggestions = QStringLiteral("TWPaletteBranchSuggestions");
inline const QString BranchHyperlink = QStringLiteral("TWPaletteBranchHyperlink");
inline const QString GeneralFill = QStringLiteral("TWPaletteGeneralFill");
inline const QString GeneralLine = QStringLiteral("TWPaletteGeneralLine");
inline const QString GeneralShadow = QStringLiteral("TWPaletteGeneralShadow");
inline const QString GeneralCorner = QStringLiteral("TWPaletteGeneralCorner");
inline const QString GeneralTerminator = QStringLiteral("TWPaletteGeneralTerminator");
inline const QString GeneralOrdering = QStringLiteral("TWPaletteGeneralOrdering");
inline const QString GeneralStyle = QStringLiteral("TWPaletteGeneralStyle");
inline const QString GeneralText = QStringLiteral("TWPaletteGeneralText");
} // namespace TWPaletteIDs

class TWPaletteMapping
{
public:
    static QStringList mapPaletteIDs();
    // The suggestions palette only while the suggestion plug-in is there,
    // asked on every call.
    static QStringList branchPalettesIDs();
    static QStringList attachedGraphicPalettesIDs();
    // Every palette that may dock; the same list for the life of the process.
    static const QStringList &applicationSupportedPaletteIDs();

    // The palettes of a graphic class by its class name; a class without a
    // list of its own has the base graphic's.
    static QStringList supportedPaletteIDs(const QString &className);
    static QStringList supportedPaletteIDs(const TWGraphic &graphic);

    // The dock order before the user changes it.
    static QStringList defaultDockOrder();

    // The suggestion plug-in answers here once it is installed.
    static bool suggestionPluginInstalled();
    static void setSuggestionPluginProbe(std::function<bool()> probe);
};
