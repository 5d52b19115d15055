#include "model/TWGrowthBatch.h"
#include "model/TWBranchOrdering.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"

#include <algorithm>
#include <optional>

namespace {

// The outermost batch of each map growing now: hardly ever more than one.
std::vector<TWGrowthBatch *> &growing()
{
    static std::vector<TWGrowthBatch *> batches;
    return batches;
}

// More moved siblings than this are sorted with the rest, as a sort of them
// all would (a layout assistance that moves every sibling for each child).
constexpr size_t MovedFew = 16;

} // namespace

TWGrowthBatch::TWGrowthBatch(TWMap &map, Placement placement)
    : m_map(map.shared_from_this()), m_placement(placement)
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
    if (m_placement == Placement::EachAsItGrows) {
        const auto it = m_orders.find(&parent);
        if (it != m_orders.end()) {
            apply(parent, it->second);
            m_orders.erase(it);
        }
        return;
    }
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

TWGrowthBatch::Order &TWGrowthBatch::orderOf(TWMapBranch &parent, const TWMapBranch *growing)
{
    const auto [it, made] = m_orders.try_emplace(&parent);
    Order &order = it->second;
    if (made) {
        m_settled.erase(parent.weak_from_this());
        for (const std::shared_ptr<TWMapBranch> &child : parent.children())
            if (child.get() != growing)
                order.m_branches.push_back(child.get());
        renumber(order);
        order.m_angles.assign(order.m_branches.size(), 0);
        order.m_angleKnown.assign(order.m_branches.size(), false);
        // Whatever order they had, the first growth sorts them all.
        order.m_allMoved = true;
    }
    return order;
}

void TWGrowthBatch::shapeMoved(TWMapBranch &branch)
{
    if (m_placement != Placement::EachAsItGrows || m_orders.empty())
        return;
    if (m_map->root().get() == &branch) {
        // Main branches are ordered round its centre.
        for (auto &[parent, order] : m_orders) {
            order.m_allMoved = true;
            order.m_moved.clear();
            order.m_angleKnown.assign(order.m_branches.size(), false);
        }
        return;
    }
    const auto it = m_orders.find(branch.parent());
    if (it == m_orders.end() || it->second.m_allMoved)
        return;
    Order &order = it->second;
    if (order.m_moved.size() >= MovedFew) {
        order.m_allMoved = true;
        order.m_moved.clear();
        order.m_angleKnown.assign(order.m_branches.size(), false);
        return;
    }
    if (order.m_moved.insert(&branch).second)
        if (const std::optional<size_t> index = indexOf(order, &branch))
            order.m_angleKnown[*index] = false;
}

void TWGrowthBatch::sortGrown(TWMapBranch &parent, TWMapBranch &grown)
{
    Order &order = orderOf(parent, &grown);
    order.m_moved.erase(&grown);
    const TWSiblingOrder sibling(parent);
    const auto before = [&sibling](const TWMapBranch *a, const TWMapBranch *b) {
        return sibling.before(*a, *b);
    };
    const double lastRank = order.m_ranks.empty() ? 0 : order.m_ranks.back() + 1;

    if (order.m_allMoved) {
        // As the sort of them all: kept as they stand when in order.
        std::vector<TWMapBranch *> all = order.m_branches;
        all.push_back(&grown);
        if (!std::is_sorted(all.begin(), all.end(), before))
            std::stable_sort(all.begin(), all.end(), before);
        order.m_branches = std::move(all);
        order.m_angles.assign(order.m_branches.size(), 0);
        order.m_angleKnown.assign(order.m_branches.size(), false);
        renumber(order);
        order.m_moved.clear();
        order.m_allMoved = false;
        return;
    }

    // The siblings that did not move keep their order; those that moved and
    // the grown one are sorted in. A stable sort puts each where its place
    // and, among equal places, its position before the sort say.
    struct Moving
    {
        TWMapBranch *branch;
        double rank;
    };
    std::vector<Moving> moving;
    for (TWMapBranch *branch : order.m_moved) {
        const std::optional<size_t> index = indexOf(order, branch);
        if (!index)
            continue;
        moving.push_back({branch, order.m_ranks[*index]});
        forget(order, *index);
    }
    order.m_moved.clear();
    moving.push_back({&grown, lastRank});
    const auto comesBefore = [&](const Moving &a, const TWMapBranch *b, double rankB) {
        return before(a.branch, b) || (!before(b, a.branch) && a.rank < rankB);
    };
    std::sort(moving.begin(), moving.end(), [&](const Moving &a, const Moving &b) {
        return comesBefore(a, b.branch, b.rank);
    });
    // Where each goes among the ones that stay; put in from the last, so
    // that the places found stand.
    std::vector<size_t> places(moving.size());
    for (size_t k = 0; k < moving.size(); ++k) {
        size_t low = 0, high = order.m_branches.size();
        while (low < high) {
            const size_t mid = (low + high) / 2;
            if (comesBefore(moving[k], order.m_branches[mid], order.m_ranks[mid]))
                high = mid;
            else
                low = mid + 1;
        }
        places[k] = low;
    }
    for (size_t k = moving.size(); k-- > 0;)
        place(order, moving[k].branch, moving[k].rank, places[k]);
    std::vector<size_t> at(moving.size());
    for (size_t k = 0; k < moving.size(); ++k)
        at[k] = places[k] + k;
    rerank(order, at);
}

std::optional<size_t> TWGrowthBatch::indexOf(const Order &order, const TWMapBranch *branch)
{
    const auto it = order.m_rankOf.find(branch);
    if (it == order.m_rankOf.end())
        return std::nullopt;
    const auto at = std::lower_bound(order.m_ranks.begin(), order.m_ranks.end(), it->second);
    if (at == order.m_ranks.end() || *at != it->second)
        return std::nullopt;
    return size_t(at - order.m_ranks.begin());
}

void TWGrowthBatch::forget(Order &order, size_t index)
{
    order.m_rankOf.erase(order.m_branches[index]);
    order.m_branches.erase(order.m_branches.begin() + qsizetype(index));
    order.m_ranks.erase(order.m_ranks.begin() + qsizetype(index));
    order.m_angles.erase(order.m_angles.begin() + qsizetype(index));
    order.m_angleKnown.erase(order.m_angleKnown.begin() + qsizetype(index));
}

void TWGrowthBatch::place(Order &order, TWMapBranch *branch, double rank, size_t index)
{
    order.m_branches.insert(order.m_branches.begin() + qsizetype(index), branch);
    order.m_ranks.insert(order.m_ranks.begin() + qsizetype(index), rank);
    order.m_angles.insert(order.m_angles.begin() + qsizetype(index), 0.0f);
    order.m_angleKnown.insert(order.m_angleKnown.begin() + qsizetype(index), false);
    order.m_rankOf[branch] = rank;
}

// The branches at `at` (ascending) took new places: each run of them gets
// ranks between those of its neighbours that stayed.
void TWGrowthBatch::rerank(Order &order, const std::vector<size_t> &at)
{
    std::vector<double> &ranks = order.m_ranks;
    const size_t n = ranks.size();
    for (size_t k = 0; k < at.size();) {
        size_t m = 1;
        while (k + m < at.size() && at[k + m] == at[k] + m)
            ++m;
        const size_t first = at[k], after = first + m;
        double low = 0, high = 0;
        if (first > 0 && after < n) {
            low = ranks[first - 1];
            high = ranks[after];
        } else if (first > 0) {
            low = ranks[first - 1];
            high = low + double(m + 1);
        } else if (after < n) {
            high = ranks[after];
            low = high - double(m + 1);
        } else {
            renumber(order);
            return;
        }
        for (size_t i = 0; i < m; ++i) {
            const double rank = low + (high - low) * double(i + 1) / double(m + 1);
            const double previous = i == 0 ? low : ranks[first + i - 1];
            if (!(rank > previous && rank < high)) {
                renumber(order);
                return;
            }
            ranks[first + i] = rank;
            order.m_rankOf[order.m_branches[first + i]] = rank;
        }
        k += m;
    }
}

void TWGrowthBatch::renumber(Order &order)
{
    order.m_ranks.resize(order.m_branches.size());
    order.m_rankOf.clear();
    for (size_t i = 0; i < order.m_branches.size(); ++i) {
        order.m_ranks[i] = double(i);
        order.m_rankOf[order.m_branches[i]] = double(i);
    }
}

void TWGrowthBatch::apply(TWMapBranch &parent, const Order &order)
{
    TWMapBranch::BranchList sorted;
    sorted.reserve(qsizetype(order.size()));
    for (TWMapBranch *branch : order.m_branches)
        if (branch->parent() == &parent)
            sorted << branch->shared_from_this();
    if (sorted.size() != parent.children().size()) {
        // Children came or went past the batch: sorted whole.
        if (m_map->layoutAssistanceMode() != 3)
            parent.reSortChildrenByPositionRecursively(false);
        return;
    }
    if (sorted != parent.children())
        parent.setChildren(sorted);
}
