#include "mapdrawing/TWMapExpansionState.h"

#include "model/TWMapBranch.h"

#include <algorithm>

namespace {

// Each list has a set beside it, so that adding many branches and asking
// about every branch of a large map stay linear.
void removeAll(TWMapExpansionState::BranchList &list, QSet<const TWMapBranch *> &set,
               const TWMapBranch *branch)
{
    if (set.remove(branch))
        list.removeIf(
            [branch](const std::shared_ptr<TWMapBranch> &b) { return b.get() == branch; });
}

void appendOnce(TWMapExpansionState::BranchList &list, QSet<const TWMapBranch *> &set,
                const std::shared_ptr<TWMapBranch> &branch)
{
    if (!set.contains(branch.get())) {
        set.insert(branch.get());
        list.append(branch);
    }
}

} // namespace

void TWMapExpansionState::addExpandedBranch(const std::shared_ptr<TWMapBranch> &branch)
{
    removeAll(m_contractedBranches, m_contractedSet, branch.get());
    appendOnce(m_expandedBranches, m_expandedSet, branch);
}

void TWMapExpansionState::addContractedBranch(const std::shared_ptr<TWMapBranch> &branch)
{
    removeAll(m_expandedBranches, m_expandedSet, branch.get());
    appendOnce(m_contractedBranches, m_contractedSet, branch);
}

void TWMapExpansionState::addExpandedBranches(const BranchList &branches)
{
    for (const std::shared_ptr<TWMapBranch> &b : branches)
        addExpandedBranch(b);
}

void TWMapExpansionState::addContractedBranches(const BranchList &branches)
{
    for (const std::shared_ptr<TWMapBranch> &b : branches)
        addContractedBranch(b);
}

void TWMapExpansionState::removeExpandedBranch(const TWMapBranch *branch)
{
    removeAll(m_expandedBranches, m_expandedSet, branch);
}

void TWMapExpansionState::removeContractedBranch(const TWMapBranch *branch)
{
    removeAll(m_contractedBranches, m_contractedSet, branch);
}

bool TWMapExpansionState::shouldDrawBranch(const TWMapBranch &branch) const
{
    if (branch.isRoot())
        return true;
    switch (m_mode) {
    case NotHidden:
        return !branch.hidden();
    case RootOnly:
        return false;
    case ExpandedOnly:
        return m_expandedSet.contains(&branch);
    case ToLevel:
        return branch.getThisBranchLevel() < m_showBranchesToLevel;
    default:
        return true;
    }
}
