#pragma once

#include <memory>
#include <set>
#include <vector>

class TWMap;
class TWMapBranch;

// Children grown (addChildOfType) while one lives are for a layout of the whole map to place
// once they all exist, as an import lays its map out: each is made where a
// new branch goes, with no layout assistance placing it or moving its
// siblings, and its siblings are not sorted for it, so that growing a
// parent's thousands of children costs each one the same. When the batch
// ends, each parent that grew children is sorted once. Batches of one map
// nest; the outermost sorts. Main thread only.
class TWGrowthBatch
{
public:
    explicit TWGrowthBatch(TWMap &map);
    ~TWGrowthBatch();
    TWGrowthBatch(const TWGrowthBatch &) = delete;
    TWGrowthBatch &operator=(const TWGrowthBatch &) = delete;

    // The outermost batch growing the map's branches, or null.
    static TWGrowthBatch *of(const TWMap &map);
    // The parent grew a child in the batch.
    void grew(TWMapBranch &parent);
    // The parent has all its children: sorted now, as the end of the batch
    // would, and not again then (its caller may order them otherwise).
    void settle(TWMapBranch &parent);

private:
    std::shared_ptr<TWMap> m_map;
    bool m_outermost = true;
    // In the order they first grew; one may come again after another.
    std::vector<std::weak_ptr<TWMapBranch>> m_parents;
    std::set<std::weak_ptr<TWMapBranch>, std::owner_less<std::weak_ptr<TWMapBranch>>> m_settled;
};
