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
