// Moving a branch among its siblings or under another parent by index.

#include "model/TWMapBranch_Utils.h"
#include "graphics/TWGraphic.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"
#include "model/TWMapsDoc.h"

#include <QtDebug>

namespace {

void swapWith(TWMapBranch &branch, bool below)
{
    TWMapBranch *parent = branch.parent();
    if (!parent || branch.isRoot())
        return;
    parent->reSortChildrenByPositionRecursively(true);
    const std::shared_ptr<TWMapBranch> sibling =
        below ? branch.siblingBranchBelow() : branch.siblingBranchAbove();
    if (!sibling || sibling->isRoot() || !sibling->mainGraphic() || !branch.mainGraphic())
        return;
    if (sibling->getThisBranchLevel() != branch.getThisBranchLevel()) {
        qWarning() << (below ? "Unexpected error moving branch down"
                             : "Unexpected error moving branch up");
        return;
    }
    const Point mine = branch.mainGraphic()->bounds().origin;
    const Point theirs = sibling->mainGraphic()->bounds().origin;
    const Point d(theirs.x - mine.x, theirs.y - mine.y);
    branch.mainGraphic()->publicMoveBy(d, true);
    sibling->mainGraphic()->publicMoveBy(Point(-d.x, -d.y), true);
    parent->reSortChildrenByPositionRecursively(true);
}

} // namespace

namespace TWBranchMoves {

void swapPositionWithSiblingBranchBelow(TWMapBranch &branch)
{
    swapWith(branch, true);
}

void swapPositionWithSiblingBranchAbove(TWMapBranch &branch)
{
    swapWith(branch, false);
}

void moveToIndex(TWMapBranch &branch, int index)
{
    const int current = branch.childIndex();
    if (index == current || !branch.parent())
        return;
    int d = index - current;
    if (d >= 1)
        d -= 1;
    for (int i = 0; i < -d; ++i)
        swapPositionWithSiblingBranchAbove(branch);
    for (int i = 0; i < d; ++i)
        swapPositionWithSiblingBranchBelow(branch);
}

void moveToNewParent(TWMapBranch &branch, const std::shared_ptr<TWMapBranch> &newParent)
{
    TWMap *m = newParent ? newParent->map() : nullptr;
    if (TWMapsDoc *doc = m ? m->document() : nullptr)
        doc->publicGraftBranches({branch.shared_from_this()}, newParent);
}

void moveToNewParent(TWMapBranch &branch, const std::shared_ptr<TWMapBranch> &newParent, int index)
{
    if (!newParent)
        return;
    if (newParent.get() != branch.parent())
        moveToNewParent(branch, newParent);
    if (index >= 0 && newParent.get() == branch.parent())
        moveToIndex(branch, index);
}

} // namespace TWBranchMoves
