#pragma once

#include "platform/Geometry.h"
#include "support/Color.h"

#include <QList>
#include <memory>
#include <optional>

class TWGraphic;
class TWMap;
class TWMapBranch;

// What branches and graphics ask of the map's layout, boundary, sizing and
// text-layout code. Each map holds one set (TWMap::setLayoutServices()); the
// drawing and layout code installs the real one. The base class numbers
// the outline and sizes branches (see below), and otherwise does nothing and
// answers neutrally, so a map without layout still edits; none() does not
// even size.
class TWMapLayoutServices
{
public:
    using BranchList = QList<std::shared_ptr<TWMapBranch>>;

    virtual ~TWMapLayoutServices() = default;

    // The set that does nothing at all, sizing included.
    static TWMapLayoutServices &none();

    // --- branch sizing ---
    // Unlike the rest, these size the branch here already (the branch's own
    // sizing code), so that every map keeps shapes, labels and icons fitted.
    virtual void makeNaturalSize(TWMapBranch &branch, bool honoringTextWidth,
                                 bool honoringGraphicHeight);
    virtual void repositionOtherEnclosedGraphicsFromOldWidth(TWMapBranch &branch, float oldWidth);
    virtual void updateEnclosedImageBoundsForMainGraphicBoundsChange(TWMapBranch &branch, Rect from,
                                                                     Rect to);
    // Where a new picture of `size` goes inside the branch's shape; the
    // shape's bounds that make room for it are written to `shapeBounds`. A
    // zero size takes the picture out.
    virtual Rect enclosedImageBoundsForNewImageOfSize(TWMapBranch &branch, Size size,
                                                      Rect &shapeBounds);
    // A flexi branch lays its characters out along its curve.
    virtual void generateFlexiCharacters(TWMapBranch &branch);

    // --- boundaries ---
    virtual void updateBoundaryForChangedChild(TWMapBranch &branch, TWMapBranch &changed) {}
    virtual void removeChildFromBoundary(TWMapBranch &branch, TWMapBranch &removed) {}
    virtual void invalidateBoundary(TWMapBranch &branch) {}
    // Whether invalidateBoundary() asked again of a branch whose boundary
    // nothing rebuilt or changed since does nothing; a new branch then asks once.
    virtual bool boundaryInvalidationIsIdempotent() const { return false; }
    virtual void recalculateBoundary(TWMapBranch &branch) {}
    virtual void updateBoundary(TWMapBranch &branch) {}
    virtual void moveBoundaryBy(TWMapBranch &branch, float dx, float dy) {}
    // The same for a branch moving with its whole map as move number `move`:
    // the outline moves with the points instead of being made again.
    virtual void slideBoundaryBy(TWMapBranch &branch, float dx, float dy, unsigned move)
    {
        moveBoundaryBy(branch, dx, dy);
    }
    // Bounds of the boundary outline, or nothing when none is drawn.
    virtual std::optional<Rect> boundaryPathBounds(TWMapBranch &branch) { return std::nullopt; }
    // The same of many branches, in order: a layout may measure them side by side.
    virtual std::vector<std::optional<Rect>>
    boundaryPathBoundsOfBranches(const std::vector<TWMapBranch *> &branches)
    {
        std::vector<std::optional<Rect>> bounds;
        bounds.reserve(branches.size());
        for (TWMapBranch *branch : branches)
            bounds.push_back(boundaryPathBounds(*branch));
        return bounds;
    }

    // Whether the point lies inside the boundary outline.
    virtual bool boundaryPathContainsPoint(TWMapBranch &branch, Point point)
    {
        const std::optional<Rect> bounds = boundaryPathBounds(branch);
        return bounds && bounds->contains(point);
    }

    // --- what a click may hit besides the graphics ---
    // The collapse sign's rectangle; empty when none is drawn.
    virtual Rect boundsOfShowAndHideImage(TWMapBranch &branch) { return {}; }
    // The rectangle of the indicator icons at the shape's right end; empty when none.
    virtual Rect rectOfRightEndGraphics(TWMapBranch &branch);

    // --- colouring ---
    // The map's colours for a graphic that inherits them from the map.
    virtual Color defaultStrokeColorForGraphic(TWMap &map, const TWGraphic &graphic)
    {
        return Color::blackColor();
    }
    virtual Color defaultFillColorForGraphic(TWMap &map, const TWGraphic &graphic)
    {
        return Color::whiteColor();
    }

    // --- canvas upkeep ---
    virtual void removeTooltipRects(TWMapBranch &branch) {}

    // --- the map ---
    virtual void autoArrangeWithMovedBranches(TWMap &map, const BranchList &moved) {}
    // After the branch took more room (a picture came in): the branches
    // above and below it on its side move out of its way.
    virtual void makeRoomForBranch(TWMapBranch &branch) {}
    // Where a picture of `size` newly attached to the branch stands, as the
    // layout places it; nothing leaves the choice to the branch.
    virtual std::optional<Point> spotForAttachedPicture(TWMapBranch &branch, Size size)
    {
        return std::nullopt;
    }
    // Numbers the map's tree from its root with the map's formats; the
    // model's own pass, which every set runs unless it numbers otherwise.
    virtual void recalculateOutlineNumbers(TWMap &map);
};
