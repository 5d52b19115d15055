#pragma once

#include <memory>

class TWMapBranch;

// Moving a branch among its siblings or under another parent by index, as
// the outline window's drops do.
namespace TWBranchMoves {

// `index` counts places in the list that still holds the branch, as a drop
// index does: childIndex() + 1 leaves it where it is.
void moveToIndex(TWMapBranch &branch, int index);
// Grafts the branch onto `parent` (one undo step) unless it is there already,
// then moves it to `index` when that is not negative.
void moveToNewParent(TWMapBranch &branch, const std::shared_ptr<TWMapBranch> &parent, int index);
void moveToNewParent(TWMapBranch &branch, const std::shared_ptr<TWMapBranch> &parent);
// Exchange places with the next sibling down (up), each move undoable.
void swapPositionWithSiblingBranchBelow(TWMapBranch &branch);
void swapPositionWithSiblingBranchAbove(TWMapBranch &branch);

} // namespace TWBranchMoves
