#include "graphics/TWMapUtilities.h"
#include "mapdrawing/TWBoundaryOutline.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "mapdrawing/TWMapLayout.h"

#include "graphics/TWConnectionGraphic.h"
#include "model/TWMap.h"

#include <algorithm>

namespace {

// A branch pushed out of the way moves with its subtree, as a move of its
// shape does, without naming an undo action: the caller's action covers it.
void pushBranch(TWMapBranch &branch, float dy)
{
    TWBranchLayout::moveBranchBy(branch, 0, dy, true);
    TWBranchLayout::invalidateBoundary(branch);
    if (branch.connectionGraphic())
        branch.connectionGraphic()->updateBounds();
    for (const std::shared_ptr<TWMapBranch> &child : branch.children()) {
        TWBranchLayout::invalidateBoundary(*child);
        if (child->connectionGraphic())
            child->connectionGraphic()->updateBounds();
    }
}

} // namespace

void TWMapLayout::performLooseAutoLayoutWithMovedBranches(TWMap &map, const BranchList &moved)
{
    const std::shared_ptr<TWMapBranch> root = map.root();
    if (!root || root->children().isEmpty())
        return;
    const BranchList cover = TWMapUtilities::minimumBranchCoverFromBranchesInArray(moved);
    for (const std::shared_ptr<TWMapBranch> &b : cover) {
        TWMapBranch *parent = b->parent();
        if (b->map() != &map || b->isRoot() || !parent || parent->isRoot())
            continue;
        BranchList above, below;
        TWBranchLayout::allBranchesAboveMeIntoArray(*b, above);
        TWBranchLayout::allBranchesBelowMeIntoArray(*b, below);
        const TWBranchLayout::PointList own = TWBranchLayout::childrenBoundaryOutlinePoints(*b);
        float up = 0;
        for (const std::shared_ptr<TWMapBranch> &a : std::as_const(above)) {
            const TWBranchLayout::PointList outline =
                TWBranchLayout::childrenBoundaryOutlinePoints(*a);
            up = std::min(up, TWBoundaryOutline::calcDistanceBetweenAboveBoundary(outline, own));
        }
        float down = 0;
        for (const std::shared_ptr<TWMapBranch> &c : std::as_const(below)) {
            const TWBranchLayout::PointList outline =
                TWBranchLayout::childrenBoundaryOutlinePoints(*c);
            down =
                std::min(down, TWBoundaryOutline::calcDistanceBetweenAboveBoundary(own, outline));
        }
        if (down < 0) {
            for (const std::shared_ptr<TWMapBranch> &c : std::as_const(below))
                pushBranch(*c, -down);
        }
        if (up < 0) {
            for (const std::shared_ptr<TWMapBranch> &a : std::as_const(above))
                pushBranch(*a, up);
        }
    }
}
