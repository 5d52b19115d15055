#include "drawing/TWMapExpansionState.h"

#include "model/TWMapBranch.h"

#include <algorithm>

namespace {

void removeAll(TWMapExpansionState::BranchList &list, const TWMapBranch *branch)
{
    list.removeIf([branch](const std::shared_ptr<TWMapBranch> &b) { return b.get() == branch; });
}

void appendOnce(TWMapExpansionState::BranchList &list, const std::shared_ptr<TWMapBranch> &branch)
{
    if (!list.contains(branch))
        list.append(branch);
}

} // namespace

void TWMapExpansionState::addExpandedBranch(const std::shared_ptr<TWMapBranch> &branch)
{
    removeAll(m_contractedBranches, branch.get());
    appendOnce(m_expandedBranches, branch);
}

void TWMapExpansionState::addContractedBranch(const std::shared_ptr<TWMapBranch> &branch)
{
    removeAll(m_expandedBranches, branch.get());
    appendOnce(m_contractedBranches, branch);
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
    removeAll(m_expandedBranches, branch);
}

void TWMapExpansionState::removeContractedBranch(const TWMapBranch *branch)
{
    removeAll(m_contractedBranches, branch);
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
        return std::any_of(m_expandedBranches.cbegin(), m_expandedBranches.cend(),
                           [&branch](const auto &b) { return b.get() == &branch; });
    case ToLevel:
        return branch.getThisBranchLevel() < m_showBranchesToLevel;
    default:
        return true;
    }
}
