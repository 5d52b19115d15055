#pragma once

#include "model/TWGrowthBatch.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"

#include <QSet>

// Each branch an import adds is placed where a new branch goes and its
// siblings are re-sorted by where they stand, which is not the file's order.
// Once a parent's children all exist they are put back in the file's order,
// so that the layout lays them out in that order; children the parent had
// before stay first.
inline void keepImportOrder(TWMapBranch &parent, const TWMapBranch::BranchList &made)
{
    if (made.isEmpty())
        return;
    // Grown in a batch, they are sorted once here rather than one by one.
    if (TWMap *map = parent.map())
        if (TWGrowthBatch *batch = TWGrowthBatch::of(*map))
            batch->settle(parent);
    QSet<const TWMapBranch *> ours;
    for (const std::shared_ptr<TWMapBranch> &child : made)
        ours.insert(child.get());
    TWMapBranch::BranchList children;
    for (const std::shared_ptr<TWMapBranch> &child : parent.children())
        if (!ours.contains(child.get()))
            children << child;
    children += made;
    if (children != parent.children())
        parent.setChildren(children);
}
