#pragma once

#include <memory>

class TWMapBranch;

// While one lives, its branch is not refitted each time an indicator comes
// or goes: the branch is refitted once when the hold ends, if any refit was
// asked for meanwhile. A refit keeps the edge facing the root and the label's
// anchor and sizes from the label's own width, so one refit for the final
// set of indicators lands where a refit after each change would.
// For the thread that changes the branch; holds nest.
class TWBranchRefitHold
{
public:
    // `placesIconsLater`: icons that join the branch meanwhile are not
    // placed either; the hold's maker sizes the branch itself (see dismiss).
    explicit TWBranchRefitHold(TWMapBranch &branch, bool placesIconsLater = false);
    ~TWBranchRefitHold();
    TWBranchRefitHold(const TWBranchRefitHold &) = delete;
    TWBranchRefitHold &operator=(const TWBranchRefitHold &) = delete;

    // True when a hold on `branch` lives: its refit is kept for the end.
    static bool defer(const TWMapBranch &branch);
    // True when a hold on `branch` that places icons later lives: the icon
    // that joins now is placed when the branch is sized.
    static bool deferIconPlacement(const TWMapBranch &branch);
    // The hold ends without a refit, for a maker that sizes the branch
    // next: whether icons joined meanwhile without being placed.
    bool dismiss();

private:
    std::shared_ptr<TWMapBranch> m_branch;
    TWBranchRefitHold *m_outer;
    bool m_pending = false;
    bool m_placesIconsLater = false;
    bool m_iconsPending = false;
};
