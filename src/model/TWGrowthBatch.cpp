#include "model/TWGrowthBatch.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"

#include <algorithm>

namespace {

// The outermost batch of each map growing now: hardly ever more than one.
std::vector<TWGrowthBatch *> &growing()
{
    static std::vector<TWGrowthBatch *> batches;
    return batches;
}

} // namespace

TWGrowthBatch::TWGrowthBatch(TWMap &map) : m_map(map.shared_from_this())
{
    m_outermost = !of(map);
    if (m_outermost)
        growing().push_back(this);
}

TWGrowthBatch::~TWGrowthBatch()
{
    if (!m_outermost)
        return;
    std::erase(growing(), this);
    for (const std::weak_ptr<TWMapBranch> &entry : m_parents)
        if (const std::shared_ptr<TWMapBranch> parent = entry.lock())
            settle(*parent);
    m_map->removeAllGraphicOrderCache();
}

void TWGrowthBatch::settle(TWMapBranch &parent)
{
    // Each parent once, as the growth of its last child would have left it
    // (the tight layout keeps the order children are stored in).
    if (parent.map() != m_map.get() || !m_settled.insert(parent.weak_from_this()).second)
        return;
    if (m_map->layoutAssistanceMode() != 3)
        parent.reSortChildrenByPositionRecursively(false);
}

TWGrowthBatch *TWGrowthBatch::of(const TWMap &map)
{
    for (TWGrowthBatch *batch : growing())
        if (batch->m_map.get() == &map)
            return batch;
    return nullptr;
}

void TWGrowthBatch::grew(TWMapBranch &parent)
{
    if (m_parents.empty() || m_parents.back().lock().get() != &parent)
        m_parents.push_back(parent.weak_from_this());
}
