#include "graphics/TWMapUtilities.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "mapdrawing/TWMapLayout.h"

#include "graphics/TWConnectionGraphic.h"
#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "model/TWMapsDoc.h"
#include "platform/NotificationCenter.h"

#include <QSet>
#include <algorithm>
#include <optional>

using namespace TWBranchLayout;

namespace {

using Outlines = TWBranchLayout::PlacedOutlines;

struct Side
{
    BranchList list;
    TWMapBranch *upper = nullptr; // last branch of the part above the root's centre
    TWMapBranch *lower = nullptr; // first branch of the part below it
};

BranchList reversed(const BranchList &list)
{
    return BranchList(list.crbegin(), list.crend());
}

TWMapBranch *firstOf(const BranchList &list)
{
    return list.isEmpty() ? nullptr : list.first().get();
}

TWMapBranch *lastOf(const BranchList &list)
{
    return list.isEmpty() ? nullptr : list.last().get();
}

// Deals the quarters to the right and left sides by the ordering mode.
void dealSides(int orderingMode, const BranchList q[4], Side &right, Side &left)
{
    switch (orderingMode) {
    case 1:
        right = {q[0] + q[1], lastOf(q[0]), firstOf(q[1])};
        left = {reversed(q[3]) + reversed(q[2]), firstOf(q[3]), lastOf(q[2])};
        break;
    case 2:
        right = {q[0] + q[3], lastOf(q[0]), firstOf(q[3])};
        left = {reversed(q[2]) + reversed(q[1]), firstOf(q[2]), lastOf(q[1])};
        break;
    case 3:
        right = {q[2] + q[3], lastOf(q[2]), firstOf(q[3])};
        left = {q[0] + q[1], lastOf(q[0]), firstOf(q[1])};
        break;
    case 4:
        right = {q[0] + q[1], lastOf(q[0]), firstOf(q[1])};
        left = {q[2] + q[3], lastOf(q[2]), firstOf(q[3])};
        break;
    default:
        break;
    }
}

void refreshOwnOutline(TWMapBranch &branch)
{
    updateAutolayoutBoundaryForChangedChild(branch, branch);
    scheduleAutolayoutRecalculation(branch);
}

// Shifts a side so that the gap between its upper and lower part lies on
// the root's centre.
void centreOnRoot(Side &side, float centre)
{
    float offset;
    if (side.upper && side.lower)
        offset = centre - (maxAutolayoutY(*side.upper) + minAutolayoutY(*side.lower)) * 0.5f;
    else if (side.upper)
        offset = centre - side.upper->autolayoutBranchMovedBounds().maxY();
    else if (side.lower)
        offset = centre - side.lower->autolayoutBranchMovedBounds().y();
    else
        return;
    if (offset == 0)
        return;
    for (const std::shared_ptr<TWMapBranch> &f : std::as_const(side.list)) {
        setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(
            *f, f->autolayoutBranchMovedBounds().offsetBy(0, offset));
        refreshOwnOutline(*f);
    }
}

void pack(const BranchList &list)
{
    Outlines placed;
    for (const std::shared_ptr<TWMapBranch> &f : list) {
        if (!f->hidden())
            placed.insert(keyOf(*f), stackBelowOtherTopLevelBranches(*f, placed));
    }
}

bool hasVisibleChild(const TWMapBranch &branch)
{
    const BranchList &children = branch.children();
    return std::any_of(children.cbegin(), children.cend(),
                       [](const auto &c) { return !c->hidden(); });
}

} // namespace

void TWMapLayout::tightLayoutFromBranch(TWMap &map, TWMapBranch &branch)
{
    if (branch.children().isEmpty())
        return; // most branches: nothing to stack or centre on
    Outlines placed;
    const BranchList kids = branch.childrenArrangedForDrawing();
    // Each child clears the siblings before it in the list and those placed
    // before it: in list order these are the same ones, measured once.
    const bool inListOrder = kids.isEmpty() || kids.first() == branch.children().first();
    // In exactly the list's order every sibling before a child is placed
    // when it is: how low each reaches is known once, for all that follow.
    std::vector<float> reach;
    const bool reachKept = kids == branch.children();
    for (qsizetype index = 0; index < kids.size(); ++index) {
        const std::shared_ptr<TWMapBranch> &k = kids.at(index);
        tightLayoutFromBranch(map, *k);
        if (k->hidden())
            continue;
        PointList outline = tightArrangeSelfWithExistingBoundaries(
            *k, placed, reachKept ? &reach : nullptr, reachKept ? index : -1);
        if (!inListOrder)
            placed.insert(keyOf(*k), std::move(outline));
    }
    // Hidden children were not arranged and have no outline to centre on:
    // a collapsed branch keeps its place.
    if (branch.isRoot() || kids.isEmpty() || kids.first()->hidden() || kids.last()->hidden())
        return;
    const float top = minAutolayoutY(*kids.first());
    const float bottom = maxAutolayoutY(*kids.last());
    const Rect moved = branch.autolayoutBranchMovedBounds();
    const float h = moved.height();
    if (moved.y() - top == ((bottom - top) - h) * 0.5f)
        return;
    setAutolayoutBranchMovedBounds(
        branch, Rect(moved.x(), top + (bottom - top) * 0.5f - h * 0.5f, moved.width(), h));
}

void TWMapLayout::performTightAutoLayoutWithMovedBranches(TWMap &map, const BranchList &moved,
                                                          bool subtreeOnly)
{
    const std::shared_ptr<TWMapBranch> root = map.root();
    // With every first-level branch collapsed away nothing is shown to arrange.
    if (!root || !hasVisibleChild(*root))
        return;
    BranchList work;
    std::optional<DeferredShadowMoves> deferred;
    // Ancestors of the chosen subtrees, nearest first: a subtree run caches
    // and commits only these and the subtrees, which is all it moves.
    BranchList ancestors;
    if (!subtreeOnly) {
        deferred.emplace();
        work = {root};
        // Every first-level branch is shown here (they are hidden together),
        // so every branch below one is placed beside its parent.
        cacheAndPlaceBesideParents(*root, root->branchBounds().midX() + map.firstLevelSpacing());
    } else {
        work = TWMapUtilities::minimumBranchCoverFromBranchesInArray(moved);
        if (work.isEmpty())
            return;
        QSet<const TWMapBranch *> seen;
        for (const std::shared_ptr<TWMapBranch> &b : std::as_const(work)) {
            for (TWMapBranch *a = b->parent(); a && !seen.contains(a); a = a->parent()) {
                seen.insert(a);
                ancestors.append(a->shared_from_this());
            }
        }
        for (const std::shared_ptr<TWMapBranch> &a : std::as_const(ancestors))
            cacheBranchBoundsOfBranchOnly(*a);
        for (const std::shared_ptr<TWMapBranch> &b : std::as_const(work))
            cacheBranchBounds(*b);
        deferred.emplace();
    }

    for (const std::shared_ptr<TWMapBranch> &b : std::as_const(work)) {
        const BranchList children = b->children();
        for (const std::shared_ptr<TWMapBranch> &child : children) {
            if (subtreeOnly && child->map() == &map && !child->hidden())
                moveChildrenBack(*child);
        }
        tightLayoutFromBranch(map, *b);
        if (map.layoutAssistanceMode() != 3 && subtreeOnly)
            setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(
                *b, b->autolayoutBranchOriginalBounds());
    }

    if (subtreeOnly) {
        for (const std::shared_ptr<TWMapBranch> &b : std::as_const(work))
            settleSubtreeForCommit(*b);
        deferred.reset();
        const TWConnectionGraphic::Batch connections;
        for (const std::shared_ptr<TWMapBranch> &b : std::as_const(work))
            commitCachedRepelBounds(*b);
        // Deeper ancestors before shallower ones, as a whole-tree commit goes.
        std::stable_sort(ancestors.begin(), ancestors.end(), [](const auto &a, const auto &b) {
            return a->getThisBranchLevel() > b->getThisBranchLevel();
        });
        // The ancestors did not move; their points of the re-arranged
        // subtrees did (the root holds only its own).
        BranchList rearranged;
        for (const std::shared_ptr<TWMapBranch> &b : std::as_const(work))
            b->allDescendantsIntoArray(rearranged, false);
        for (const std::shared_ptr<TWMapBranch> &a : std::as_const(ancestors)) {
            commitCachedRepelBoundsOfBranchOnly(*a);
            if (!a->isRoot())
                commitAutolayoutPoints(*a, rearranged, false);
        }
        return;
    }

    // Quarters of the column the first-level branches now stand in.
    const BranchList firstLevel = root->children();
    TWMapBranch &first = *firstLevel.first();
    TWMapBranch &last = *firstLevel.last();
    const float base = minAutolayoutY(first);
    const float total = maxAutolayoutY(last) - base;
    BranchList quarters[4];
    float run = 0;
    for (const std::shared_ptr<TWMapBranch> &f : firstLevel) {
        const float pos = (maxAutolayoutY(*f) - minAutolayoutY(*f)) * 0.5f + run;
        const int q = pos <= total * 0.25f   ? 0
                      : pos <= total * 0.5f  ? 1
                      : pos <= total * 0.75f ? 2
                                             : 3;
        quarters[q].append(f);
        run = maxAutolayoutY(*f) - base;
    }

    Side right, left;
    dealSides(map.orderingMode(), quarters, right, left);

    // Rough stacking on either side of the root, then packing.
    const float m = root->autolayoutBranchMovedBounds().midX();
    const float s = float(map.firstLevelSpacing());
    float y = StackStart;
    for (const std::shared_ptr<TWMapBranch> &f : std::as_const(right.list)) {
        const Rect r = f->autolayoutBranchMovedBounds();
        setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(
            *f, Rect(m + s, y, r.width(), r.height()));
        y += r.height();
    }
    y = StackStart;
    for (const std::shared_ptr<TWMapBranch> &f : std::as_const(left.list)) {
        const Rect r = f->autolayoutBranchMovedBounds();
        setAutolayoutBranchMovedBoundsAndAdjustChildrenPositions(
            *f, Rect(m - s - r.width(), y, r.width(), r.height()));
        refreshOwnOutline(*f);
        y += r.height();
    }
    pack(left.list);
    pack(right.list);

    const float centre = root->autolayoutBranchOriginalBounds().midY();
    centreOnRoot(left, centre);
    centreOnRoot(right, centre);

    settleSubtreeForCommit(*root);
    deferred.reset();

    // Selected branches that changed sides are told, so their shapes can flip.
    const float r = root->autolayoutBranchOriginalBounds().midX();
    const TWMap::GraphicList selected = map.selectedGraphics();
    for (const std::shared_ptr<TWGraphic> &g : selected) {
        const TWMapBranch *b = g->branch();
        if (!b)
            continue;
        const float o = b->autolayoutBranchOriginalBounds().midX();
        const float n = b->autolayoutBranchMovedBounds().midX();
        if ((o > r && n < r) || (o < r && n > r))
            NotificationCenter::defaultCenter().post(ResizedGraphicFlippedNotification,
                                                     g->notificationObject());
    }

    {
        const TWConnectionGraphic::Batch connections;
        commitCachedRepelBounds(*root);
    }
    if (TWMapsDoc *document = map.document())
        NotificationCenter::defaultCenter().post(
            TWMapsDoc::PrintCanvasControllerNeedsUpdateNotification,
            NotificationObject(document->shared_from_this()));
}
