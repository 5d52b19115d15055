#pragma once

#include "platform/Geometry.h"

#include <QList>
#include <memory>
#include <optional>

class TWConnectionGraphic;
class TWLinkLine;
class TWMap;
class TWMapBranch;
class TWTextArea;

// What branches and graphics ask of the map's layout, boundary, sizing and
// text-layout code. Each map holds one set (TWMap::setLayoutServices()); the
// drawing and layout code installs the real one. The base class does
// nothing and answers neutrally, so a map without layout still edits.
class TWMapLayoutServices
{
public:
    using BranchList = QList<std::shared_ptr<TWMapBranch>>;

    virtual ~TWMapLayoutServices() = default;

    // The set that does nothing.
    static TWMapLayoutServices &none();

    // --- branch sizing ---
    virtual void makeNaturalSize(TWMapBranch &branch, bool honoringTextWidth,
                                 bool honoringGraphicHeight)
    {}
    virtual void repositionOtherEnclosedGraphicsFromOldWidth(TWMapBranch &branch, float oldWidth) {}
    virtual void updateEnclosedImageBoundsForMainGraphicBoundsChange(TWMapBranch &branch, Rect from,
                                                                     Rect to)
    {}
    // The size a text needs at that width.
    virtual Size requiredSizeForText(TWTextArea &textArea, float width);
    // A flexi branch lays its characters out along its curve.
    virtual void generateFlexiCharacters(TWMapBranch &branch) {}

    // --- boundaries ---
    virtual void updateBoundaryForChangedChild(TWMapBranch &branch, TWMapBranch &changed) {}
    virtual void removeChildFromBoundary(TWMapBranch &branch, TWMapBranch &removed) {}
    virtual void invalidateBoundary(TWMapBranch &branch) {}
    virtual void recalculateBoundary(TWMapBranch &branch) {}
    virtual void updateBoundary(TWMapBranch &branch) {}
    virtual void moveBoundaryBy(TWMapBranch &branch, float dx, float dy) {}
    // Bounds of the boundary outline, or nothing when none is drawn.
    virtual std::optional<Rect> boundaryPathBounds(TWMapBranch &branch) { return std::nullopt; }

    // --- canvas upkeep ---
    virtual void removeTooltipRects(TWMapBranch &branch) {}

    // --- geometry of connections and link lines ---
    virtual void updateConnectionBounds(TWConnectionGraphic &connection) {}
    virtual void updateLinkLineBounds(TWLinkLine &linkLine) {}

    // --- the map ---
    // Position order of two siblings: negative, 0 or positive.
    virtual int compareByPosition(const TWMapBranch &a, const TWMapBranch &b) { return 0; }
    virtual void autoArrangeWithMovedBranches(TWMap &map, const BranchList &moved) {}
    virtual void recalculateOutlineNumbers(TWMap &map) {}
};
