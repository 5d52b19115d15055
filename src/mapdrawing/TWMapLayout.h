#pragma once

#include "model/TWMapLayoutServices.h"

#include <QString>

// The map's automatic layout and the boundary outlines its branches keep,
// installed on a map with TWMap::setLayoutServices(). The loose layout
// pushes the siblings of moved branches out of their way; the tight layout
// arranges the whole map, or the subtrees of chosen branches, into compact
// columns on shadow rectangles and commits the result to the graphics once,
// so that a run is one undo group of plain bounds changes.
class TWMapLayout : public TWMapLayoutServices
{
public:
    static inline const QString ResizedGraphicFlippedNotification =
        QStringLiteral("ResizedGraphicFlippedNotification");
    // Where the tight layout starts stacking siblings and first-level branches.
    static constexpr float StackStart = 500;

    // The colours graphics inherit from the map, rainbow mode included.
    Color defaultStrokeColorForGraphic(TWMap &map, const TWGraphic &graphic) override;
    Color defaultFillColorForGraphic(TWMap &map, const TWGraphic &graphic) override;

    // --- the map's entry points ---
    // By the map's layout assistance mode: 2 loose, 3 tight, others nothing.
    static void autoArangeWithMovedBranches(TWMap &map, const BranchList &moved);
    // The whole map, tightly, whatever the mode; then the preview is renewed.
    static void autoArrange(TWMap &map);

    static void performLooseAutoLayoutWithMovedBranches(TWMap &map, const BranchList &moved);
    static void performTightAutoLayoutWithMovedBranches(TWMap &map, const BranchList &moved,
                                                        bool subtreeOnly);
    // Arranges the subtree below `branch`, deepest first, and centres each
    // parent on its children.
    static void tightLayoutFromBranch(TWMap &map, TWMapBranch &branch);

    // --- services ---
    void updateBoundaryForChangedChild(TWMapBranch &branch, TWMapBranch &changed) override;
    void removeChildFromBoundary(TWMapBranch &branch, TWMapBranch &removed) override;
    void invalidateBoundary(TWMapBranch &branch) override;
    bool boundaryInvalidationIsIdempotent() const override { return true; }
    void recalculateBoundary(TWMapBranch &branch) override;
    void updateBoundary(TWMapBranch &branch) override;
    void moveBoundaryBy(TWMapBranch &branch, float dx, float dy) override;
    void slideBoundaryBy(TWMapBranch &branch, float dx, float dy, unsigned move) override;
    std::optional<Rect> boundaryPathBounds(TWMapBranch &branch) override;
    std::vector<std::optional<Rect>>
    boundaryPathBoundsOfBranches(const std::vector<TWMapBranch *> &branches) override;
    bool boundaryPathContainsPoint(TWMapBranch &branch, Point point) override;
    Rect boundsOfShowAndHideImage(TWMapBranch &branch) override;
    void autoArrangeWithMovedBranches(TWMap &map, const BranchList &moved) override;
    // Unless the layout is free: the neighbours the branch's room now
    // reaches are pushed up or down, the first level included, each side by
    // one amount, so that their rooms keep twice the repel distance from it.
    void makeRoomForBranch(TWMapBranch &branch) override;
    // Unless the layout is free (or the branch is the root): 6 pt above the
    // branch, below it or on its outer side, on the first spot that comes
    // near nothing else, else on one whose only neighbours in the way are
    // those makeRoomForBranch() pushes aside; nothing when none is.
    std::optional<Point> spotForAttachedPicture(TWMapBranch &branch, Size size) override;
};
