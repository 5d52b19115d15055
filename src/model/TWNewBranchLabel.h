#pragma once

#include "support/AttributedString.h"

// While one lives, a branch made by TWMapBranch::createWithGraphic starts
// with this label instead of the default one: a caller that gives the branch
// its own label at once spares setting and sizing a label that goes again.
// For the thread that makes branches; scopes nest.
class TWNewBranchLabelScope
{
public:
    explicit TWNewBranchLabelScope(const AttributedString *label);
    ~TWNewBranchLabelScope();
    TWNewBranchLabelScope(const TWNewBranchLabelScope &) = delete;
    TWNewBranchLabelScope &operator=(const TWNewBranchLabelScope &) = delete;

    // The label of the innermost scope, or none.
    static const AttributedString *current();

private:
    const AttributedString *m_outer;
};

// While one lives, TWMapBranch::createWithGraphic leaves the new branch at
// its shape's bounds: a caller that sets the branch's label and settings at
// once sizes it itself, once they are all set. For the thread that makes
// branches; scopes nest.
class TWNewBranchSizingDeferred
{
public:
    explicit TWNewBranchSizingDeferred(bool defer = true) : m_outer(t_active) { t_active = defer; }
    ~TWNewBranchSizingDeferred() { t_active = m_outer; }
    TWNewBranchSizingDeferred(const TWNewBranchSizingDeferred &) = delete;
    TWNewBranchSizingDeferred &operator=(const TWNewBranchSizingDeferred &) = delete;

    static bool active() { return t_active; }

private:
    static inline thread_local bool t_active = false;
    bool m_outer;
};
