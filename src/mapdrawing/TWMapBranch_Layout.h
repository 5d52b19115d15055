#pragma once

#include "model/TWMapBranch.h"
#include "platform/Geometry.h"

#include <QHash>
#include <QString>
#include <map>
#include <memory>
#include <vector>

class BezierPath;

// What layout and boundaries do with one branch: the shadow rectangles a
// layout run moves instead of the real graphics, the real moves that follow
// the same connection-side rules, and the two boundary outlines (the
// ordinary one from the real bounds, the autolayout one from the shadow
// rectangles) kept as corner points per contributing branch and their hull.
namespace TWBranchLayout {

using PointList = TWMapBranch::PointList;
using PointDictionary = TWMapBranch::PointDictionary;
using BranchList = TWMapBranch::BranchList;

// The key of a branch's points in a point dictionary.
QString keyOf(const TWMapBranch &branch);

// --- side tests and comparisons ---
bool isToLeftOfRoot(const TWMapBranch &branch);
bool isToLeftOfParent(const TWMapBranch &branch);
bool isAboveParent(const TWMapBranch &branch);
// -1, 0 or 1: right ends in descending order, left ends in ascending order.
int compareRightEndPositions(const TWMapBranch &a, const TWMapBranch &b);
int compareLeftEndPositions(const TWMapBranch &a, const TWMapBranch &b);
bool isTextMaxWidthInMainGraphic(const TWMapBranch &branch);
void widenToNaturalSize(TWMapBranch &branch);
// Collapsed with its level at or above the map's hide level: recursive
// caching, committing and placing stop here.
bool stopsDescent(const TWMapBranch &branch);

// The rectangle a branch takes on the map, which layouts keep clear of its
// neighbours: its shape (a line counts with its length) and label, the
// indicators it shows beside them and the pictures attached to it. The root
// counts with its shape and label alone, so that the first level stays
// centred on it.
Rect layoutRoom(const TWMapBranch &branch);
// The same without the attached pictures.
Rect layoutRoomWithoutPictures(const TWMapBranch &branch);

// --- shadow rectangles ---
// Stores the rectangle (shifting the outline's extremes by the change of y)
// and refreshes the branch's own points; children stay.
void setAutolayoutBranchMovedBounds(TWMapBranch &branch, Rect bounds);
// Moves the shadow rectangle and carries the children along by their
// connection sides, mirroring a subtree that crosses the root's centre line.
void setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(TWMapBranch &branch, Rect bounds);
// While one lives (the outermost of nested ones counts), a shadow moved
// straight up or down takes its children along only when they are next
// read: settleChildren() hands a branch's waiting move on to its children,
// settleSubtree() to the whole subtree, which is to be done before the
// shadows are committed or read from outside the layout.
class DeferredShadowMoves
{
public:
    DeferredShadowMoves();
    ~DeferredShadowMoves();
    DeferredShadowMoves(const DeferredShadowMoves &) = delete;
    DeferredShadowMoves &operator=(const DeferredShadowMoves &) = delete;

private:
    bool m_owner = false;
};
void settleChildren(TWMapBranch &branch);
void settleSubtree(TWMapBranch &branch);
// The same before the shadows are committed: the outlines are marked for
// making anew instead of being moved.
void settleSubtreeForCommit(TWMapBranch &branch);
void cacheBranchBounds(TWMapBranch &branch);
void cacheRepelBounds(TWMapBranch &branch);
// The same for the branch alone, without its children.
void cacheBranchBoundsOfBranchOnly(TWMapBranch &branch);
// Places the branch interChildSpacing beyond its parent's outer edge, then
// its children the same way.
void moveChildrenBack(TWMapBranch &branch);
// For a tight run of the whole map, in one walk: cacheBranchBounds() on the
// root, the first level moved to x = `firstLevelX`, then moveChildrenBack()
// on each, none carrying a subtree that is placed next anyway.
void cacheAndPlaceBesideParents(TWMapBranch &root, float firstLevelX);
// Sets the shadow of a branch whose children moveChildrenBack() places
// next, from its new edge and at their own heights: while moves are
// deferred the children are not carried first, which would be undone. A
// branch that stops the descent carries its subtree all the same.
void setAutolayoutBoundsBeforePlacingChildren(TWMapBranch &branch, Rect bounds);
void verticallyCenterChildren(TWMapBranch &branch);
// Moves every branch of the subtree by its shadow difference, children first.
void commitCachedRepelBounds(TWMapBranch &branch);
// Moves the branch alone by its shadow difference.
void commitCachedRepelBoundsOfBranchOnly(TWMapBranch &branch);
// The outline's extremes of y, brought up to date when a move left them stale.
float minAutolayoutY(TWMapBranch &branch);
float maxAutolayoutY(TWMapBranch &branch);

// --- real graphics ---
void moveBranchBy(TWMapBranch &branch, float dx, float dy, bool moveChildren);
void setMainGraphicBounds(TWMapBranch &branch, Rect bounds);
// The 13 x 13 collapse sign; the zero rectangle when none is shown.
Rect boundsOfShowAndHideImage(const TWMapBranch &branch);

// --- boundary outlines ---
float effectiveBoundaryMargin(const TWMapBranch &branch);
void updateBoundaryForChangedChild(TWMapBranch &branch, TWMapBranch &changed);
void updateAutolayoutBoundaryForChangedChild(TWMapBranch &branch, TWMapBranch &changed);
void updateBoundary(TWMapBranch &branch);
void removeChildFromBoundary(TWMapBranch &branch, TWMapBranch &removed);
void invalidateBoundary(TWMapBranch &branch);
void invalidateAutolayoutBoundary(TWMapBranch &branch);
void removeAllChildrenBoundaryPoints(TWMapBranch &branch);
void removeAllAutolayoutChildrenBoundaryPoints(TWMapBranch &branch);
void moveBoundaryBy(TWMapBranch &branch, float dx, float dy);
void slideBoundaryBy(TWMapBranch &branch, float dx, float dy, unsigned move);
void moveAutolayoutBoundaryBy(TWMapBranch &branch, float dx, float dy);
// The branch's own points in its own autolayout set, from its shadow rectangle.
void refreshOwnAutolayoutPoints(TWMapBranch &branch);
// The outlines, rebuilt first when empty (or, for the autolayout one,
// marked stale).
const PointList &childrenBoundaryOutlinePoints(TWMapBranch &branch);
const PointList &autolayoutChildrenBoundaryOutlinePoints(TWMapBranch &branch);
// An empty ordinary set is one not made yet: it is made here from the shown
// subtree (the root's from the root alone), and changes elsewhere add
// nothing to it until then.
void recalculateBoundary(TWMapBranch &branch);
void recalculateAutolayoutBoundary(TWMapBranch &branch);
// recalculateAutolayoutBoundary() when the outline or its extremes are next
// read: a subtree moved in steps is hulled once, not at every step.
void scheduleAutolayoutRecalculation(TWMapBranch &branch);
// Moves an up-to-date autolayout outline and its extremes; false (and
// nothing moved) when the outline is to be made anew anyway.
bool translateAutolayoutOutline(TWMapBranch &branch, float dx, float dy);
void populateAutolayoutBoundaryFromOrdinaryBoundary(TWMapBranch &branch);
// The commit of a run: the root's set holds its own points again, any other
// branch's set is left to be made from the committed subtree when read.
void populateOrdinaryBoundaryFromAutolayoutBoundary(TWMapBranch &branch);
// The ordinary points of `contributors` in the branch's set, from their
// shadow rectangles; `exactly` drops every other branch's points. A set not
// made yet stays so unless `exactly`.
void commitAutolayoutPoints(TWMapBranch &branch, const BranchList &contributors, bool exactly);
// Siblings on the upper (lower) side, then those of each ancestor below the
// first level.
void allBranchesAboveMeIntoArray(TWMapBranch &branch, BranchList &array);
void allBranchesBelowMeIntoArray(TWMapBranch &branch, BranchList &array);
BranchList ancestorsWithBoundaries(const TWMapBranch &branch);
// Outlines already placed, one per branch key (a key placed again replaces
// its outline), with the lowest point of each: a branch placed below the
// others clears only those that reach below its top, found without
// visiting the rest.
class PlacedOutlines
{
public:
    void insert(const QString &key, PointList outline)
    {
        const float reach = lowestY(outline);
        const auto found = m_index.constFind(key);
        if (found != m_index.cend()) {
            const size_t at = *found;
            const auto range = m_byReach.equal_range(m_reach[at]);
            for (auto it = range.first; it != range.second; ++it)
                if (it->second == at) {
                    m_byReach.erase(it);
                    break;
                }
            m_outlines[at] = std::move(outline);
            m_reach[at] = reach;
            m_byReach.emplace(reach, at);
            return;
        }
        m_index.insert(key, m_outlines.size());
        m_byReach.emplace(reach, m_outlines.size());
        m_outlines.push_back(std::move(outline));
        m_reach.push_back(reach);
    }
    qsizetype size() const { return qsizetype(m_outlines.size()); }
    auto begin() const { return m_outlines.cbegin(); }
    auto end() const { return m_outlines.cend(); }
    // The outlines, not empty, whose lowest point lies below `top`, the
    // lowest first, with that point's y, until `visit` answers false.
    template <typename F> void visitReachingBelow(float top, F &&visit) const
    {
        for (auto it = m_byReach.crbegin(); it != m_byReach.crend() && it->first > top; ++it)
            if (!visit(m_outlines[it->second], it->first))
                return;
    }
    // The lowest y of an outline; minus infinity for an empty one.
    static float lowestY(const PointList &outline);

private:
    QHash<QString, size_t> m_index;
    std::vector<PointList> m_outlines;
    std::vector<float> m_reach;
    std::multimap<float, size_t> m_byReach;
};

// Moves a first-level branch's shadow down until its outline clears every
// outline of `placed`; returns its outline.
PointList stackBelowOtherTopLevelBranches(TWMapBranch &branch, const PlacedOutlines &placed);
// Stacks a branch below its previous sibling and clear of the outlines of
// the siblings placed before it; returns its outline (empty when the branch
// is not among its parent's children).
// `reach`, kept by the caller across the siblings of one parent arranged in
// their list order, holds for each sibling the lowest point of its outline
// and those before it: the siblings that cannot reach the branch are then
// not visited. `index`, when given, is where the branch stands among them.
PointList tightArrangeSelfWithExistingBoundaries(TWMapBranch &branch, const PlacedOutlines &placed,
                                                 std::vector<float> *reach = nullptr,
                                                 qsizetype index = -1);
// The drawn boundary, built when missing; null without an outline.
std::shared_ptr<BezierPath> boundaryPath(TWMapBranch &branch);
// The bounds of boundaryPath() of each branch, in order. While a
// TransientBoundaries lives, the outlines of branches that hold none are
// made side by side on several threads (the printing extent of a save asks
// for every branch of the map); the result is the same as asking one by one.
std::vector<std::optional<Rect>> boundaryPathBounds(const std::vector<TWMapBranch *> &branches);
// While one lives, boundaryPath() of a branch that holds no outline yet
// gives a path it does not keep, and the branch is left as it was: measuring
// every branch of a large map (the printing extent of a save) would
// otherwise keep an outline of each subtree, and announce every path.
class TransientBoundaries
{
public:
    TransientBoundaries();
    ~TransientBoundaries();
    TransientBoundaries(const TransientBoundaries &) = delete;
    TransientBoundaries &operator=(const TransientBoundaries &) = delete;

private:
    bool m_outer;
};

} // namespace TWBranchLayout
