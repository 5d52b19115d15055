#include "model/TWGrowthBatch.h"
#include "model/TWBranchOrdering.h"
#include "model/TWMap.h"
#include "model/TWMapBranch.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
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
    placeAll();
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
    placeChildren(parent);
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

// --- the kept order ---

namespace {
// Branches a block holds before it is split: a few hundred make putting one
// in and walking the blocks cost about the same.
constexpr size_t BlockSize = 256;
constexpr float TwoPi = float(2 * M_PI);
} // namespace

std::pair<size_t, size_t> TWGrowthBatch::Order::locate(size_t i) const
{
    const size_t block = size_t(std::upper_bound(m_starts.begin(), m_starts.end(), i) -
                                m_starts.begin()) -
                         1;
    return {block, i - m_starts[block]};
}

TWMapBranch &TWGrowthBatch::Order::at(size_t i) const
{
    const auto [block, k] = locate(i);
    return *m_blocks[block].branches[k];
}

void TWGrowthBatch::Order::startsChanged()
{
    m_starts.resize(m_blocks.size());
    size_t start = 0;
    for (size_t b = 0; b < m_blocks.size(); ++b) {
        m_starts[b] = start;
        start += m_blocks[b].branches.size();
    }
    m_size = start;
}

void TWGrowthBatch::Order::insert(size_t i, TWMapBranch *branch)
{
    if (m_blocks.empty())
        m_blocks.emplace_back();
    size_t block = m_blocks.size() - 1, k = m_blocks.back().branches.size();
    if (i < m_size)
        std::tie(block, k) = locate(i);
    Block &b = m_blocks[block];
    b.branches.insert(b.branches.begin() + qsizetype(k), branch);
    b.angles.insert(b.angles.begin() + qsizetype(k), std::numeric_limits<float>::quiet_NaN());
    b.gapKnown = false;
    if (b.branches.size() > 2 * BlockSize) {
        Block second;
        second.branches.assign(b.branches.begin() + BlockSize, b.branches.end());
        second.angles.assign(b.angles.begin() + BlockSize, b.angles.end());
        b.branches.resize(BlockSize);
        b.angles.resize(BlockSize);
        m_blocks.insert(m_blocks.begin() + qsizetype(block) + 1, std::move(second));
    }
    // The first block's first angle is read as it is, the others' 0 as a
    // full turn: a change of the first changes the first block's gaps.
    if (i == 0 && !m_blocks.empty())
        m_blocks.front().gapKnown = false;
    startsChanged();
}

void TWGrowthBatch::Order::erase(size_t i)
{
    const auto [block, k] = locate(i);
    Block &b = m_blocks[block];
    b.branches.erase(b.branches.begin() + qsizetype(k));
    b.angles.erase(b.angles.begin() + qsizetype(k));
    b.gapKnown = false;
    if (b.branches.empty())
        m_blocks.erase(m_blocks.begin() + qsizetype(block));
    if (!m_blocks.empty())
        m_blocks.front().gapKnown = false;
    startsChanged();
}

std::optional<size_t> TWGrowthBatch::Order::find(const TWMapBranch *branch) const
{
    for (const auto &[placed, index] : m_placed)
        if (placed == branch && index < m_size && &at(index) == branch)
            return index;
    for (size_t b = 0; b < m_blocks.size(); ++b) {
        const std::vector<TWMapBranch *> &branches = m_blocks[b].branches;
        const auto it = std::find(branches.begin(), branches.end(), branch);
        if (it != branches.end())
            return m_starts[b] + size_t(it - branches.begin());
    }
    return std::nullopt;
}

std::vector<TWMapBranch *> TWGrowthBatch::Order::flattened() const
{
    std::vector<TWMapBranch *> all;
    all.reserve(m_size);
    for (const Block &b : m_blocks)
        all.insert(all.end(), b.branches.begin(), b.branches.end());
    return all;
}

void TWGrowthBatch::Order::assign(const std::vector<TWMapBranch *> &branches)
{
    m_blocks.clear();
    for (size_t i = 0; i < branches.size(); i += BlockSize) {
        Block b;
        b.branches.assign(branches.begin() + qsizetype(i),
                          branches.begin() + qsizetype(std::min(i + BlockSize, branches.size())));
        b.angles.assign(b.branches.size(), std::numeric_limits<float>::quiet_NaN());
        m_blocks.push_back(std::move(b));
    }
    m_placed.clear();
    startsChanged();
}

// The angle as the walk reads it: the very first as it is, any other 0 as
// a full turn.
float TWGrowthBatch::Order::value(size_t block, size_t k, AngleFunction angle,
                                  const void *context)
{
    Block &b = m_blocks[block];
    if (std::isnan(b.angles[k]))
        b.angles[k] = angle(*b.branches[k], context);
    const float a = b.angles[k];
    return (block == 0 && k == 0) || a != 0 ? a : TwoPi;
}

float TWGrowthBatch::Order::angleAt(size_t i, AngleFunction angle, const void *context)
{
    const auto [block, k] = locate(i);
    Block &b = m_blocks[block];
    if (std::isnan(b.angles[k]))
        b.angles[k] = angle(*b.branches[k], context);
    return b.angles[k];
}

void TWGrowthBatch::Order::widenGap(float &gap, float &target, AngleFunction angle,
                                    const void *context)
{
    for (size_t block = 0; block < m_blocks.size(); ++block) {
        Block &b = m_blocks[block];
        if (block > 0) {
            // Between this block and the one before.
            const Block &p = m_blocks[block - 1];
            const float previous = value(block - 1, p.branches.size() - 1, angle, context);
            const float d = value(block, 0, angle, context) - previous;
            if (d > gap) {
                gap = d;
                target = previous + gap / 2;
            }
        }
        if (!b.gapKnown) {
            b.hasGap = false;
            float previous = value(block, 0, angle, context);
            for (size_t k = 1; k < b.branches.size(); ++k) {
                const float a = value(block, k, angle, context);
                const float d = a - previous;
                if (!b.hasGap || d > b.widest) {
                    b.hasGap = true;
                    b.widest = d;
                    b.before = previous;
                }
                previous = a;
            }
            b.gapKnown = true;
        }
        // The first of the block's widest gaps is where a walk would stop.
        if (b.hasGap && b.widest > gap) {
            gap = b.widest;
            target = b.before + gap / 2;
        }
    }
}

TWGrowthBatch::Order &TWGrowthBatch::orderOf(TWMapBranch &parent, const TWMapBranch *growing)
{
    const auto [it, made] = m_orders.try_emplace(&parent);
    Order &order = it->second;
    if (made) {
        m_settled.erase(parent.weak_from_this());
        std::vector<TWMapBranch *> branches;
        for (const std::shared_ptr<TWMapBranch> &child : parent.children())
            if (child.get() != growing)
                branches.push_back(child.get());
        order.assign(branches);
        // Whatever order they had, the first growth sorts them all.
        order.m_allMoved = true;
    }
    order.m_growing = growing;
    return order;
}

void TWGrowthBatch::shapeMoved(TWMapBranch &branch)
{
    if (m_paying || m_placement != Placement::EachAsItGrows || m_orders.empty())
        return;
    if (m_map->root().get() == &branch) {
        // Main branches are ordered round its centre.
        for (auto &[parent, order] : m_orders) {
            order.m_allMoved = true;
            order.m_moved.clear();
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
        return;
    }
    // The newest child, just made, is not among them until it is sorted in.
    const bool newest = &branch == order.m_growing ||
                        (!branch.parent()->children().isEmpty() &&
                         branch.parent()->children().last().get() == &branch &&
                         std::none_of(order.m_placed.begin(), order.m_placed.end(),
                                      [&](const auto &placed) { return placed.first == &branch; }));
    if (order.m_moved.insert(&branch).second && !newest)
        if (const std::optional<size_t> index = order.find(&branch)) {
            const auto [block, k] = order.locate(*index);
            Order::Block &b = order.m_blocks[block];
            b.angles[k] = std::numeric_limits<float>::quiet_NaN();
            b.gapKnown = false;
            if (k + 1 == b.branches.size() && block + 1 < order.m_blocks.size())
                order.m_blocks[block + 1].gapKnown = false;
        }
}

void TWGrowthBatch::sortGrown(TWMapBranch &parent, TWMapBranch &grown)
{
    Order &order = orderOf(parent, &grown);
    order.m_moved.erase(&grown);
    order.m_growing = nullptr;
    const TWSiblingOrder sibling(parent);
    const auto before = [&sibling](const TWMapBranch *a, const TWMapBranch *b) {
        return sibling.before(*a, *b);
    };

    if (order.m_allMoved) {
        // As the sort of them all: kept as they stand when in order.
        placeChildren(parent);
        std::vector<TWMapBranch *> all = order.flattened();
        all.push_back(&grown);
        if (!std::is_sorted(all.begin(), all.end(), before))
            std::stable_sort(all.begin(), all.end(), before);
        order.assign(all);
        order.m_moved.clear();
        order.m_allMoved = false;
        return;
    }

    // The siblings that did not move keep their order; those that moved and
    // the grown one are sorted in. A stable sort puts each where its place
    // and, of equal places, its position before the sort say.
    struct Moving
    {
        TWMapBranch *branch;
        size_t was; // its position before the sort
    };
    std::vector<Moving> moving;
    for (TWMapBranch *branch : order.m_moved)
        if (const std::optional<size_t> index = order.find(branch)) {
            moving.push_back({branch, *index});
            pay(*branch);
        }
    pay(grown);
    order.m_moved.clear();
    std::sort(moving.begin(), moving.end(),
              [](const Moving &a, const Moving &b) { return a.was < b.was; });
    std::vector<size_t> gone;
    for (size_t k = moving.size(); k-- > 0;) {
        order.erase(moving[k].was);
        gone.insert(gone.begin(), moving[k].was);
    }
    moving.push_back({&grown, order.size() + gone.size()});
    // Where one that stayed stood before the sort.
    const auto was = [&gone](size_t index) {
        for (const size_t g : gone)
            if (g <= index)
                ++index;
        return index;
    };
    const auto comesBefore = [&](const TWMapBranch *a, size_t wasA, const TWMapBranch *b,
                                 size_t wasB) {
        return before(a, b) || (!before(b, a) && wasA < wasB);
    };
    std::sort(moving.begin(), moving.end(), [&](const Moving &a, const Moving &b) {
        return comesBefore(a.branch, a.was, b.branch, b.was);
    });
    // Where each goes among the ones that stay; put in from the last, so
    // that the places found stand.
    std::vector<size_t> places(moving.size());
    for (size_t k = 0; k < moving.size(); ++k) {
        size_t low = 0, high = order.size();
        while (low < high) {
            const size_t mid = (low + high) / 2;
            pay(order.at(mid));
            if (comesBefore(moving[k].branch, moving[k].was, &order.at(mid), was(mid)))
                high = mid;
            else
                low = mid + 1;
        }
        places[k] = low;
    }
    for (size_t k = moving.size(); k-- > 0;)
        order.insert(places[k], moving[k].branch);
    order.m_placed.clear();
    for (size_t k = 0; k < moving.size(); ++k)
        order.m_placed.push_back({moving[k].branch, places[k] + k});
}

void TWGrowthBatch::apply(TWMapBranch &parent, const Order &order)
{
    TWMapBranch::BranchList sorted;
    sorted.reserve(qsizetype(order.size()));
    for (TWMapBranch *branch : order.flattened())
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

// --- owed moves ---

void TWGrowthBatch::owe(TWMapBranch &parent, const TWMapBranch &grown, float dy)
{
    auto it = m_owed.find(&parent);
    if (it == m_owed.end()) {
        if (dy == 0)
            return;
        it = m_owed.try_emplace(&parent).first;
        it->second.parent = parent.weak_from_this();
    }
    Owed &owed = it->second;
    owed.sum += double(dy);
    owed.paid[&grown] = owed.sum;
}

void TWGrowthBatch::pay(TWMapBranch &child)
{
    TWMapBranch *parent = child.parent();
    const auto it = parent ? m_owed.find(parent) : m_owed.end();
    if (it == m_owed.end())
        return;
    Owed &owed = it->second;
    const auto [paid, made] = owed.paid.try_emplace(&child, 0.0);
    const float dy = float(owed.sum - paid->second);
    paid->second = owed.sum;
    if (dy == 0)
        return;
    const bool paying = m_paying;
    m_paying = true;
    child.moveBranchBy(0, dy, true);
    m_paying = paying;
}

void TWGrowthBatch::place(TWMapBranch &branch)
{
    if (m_owed.empty())
        return;
    // From the top down: each pays with its subtree.
    std::vector<TWMapBranch *> chain;
    for (TWMapBranch *b = &branch; b && b->parent(); b = b->parent())
        chain.push_back(b);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        pay(**it);
}

void TWGrowthBatch::placeChildren(TWMapBranch &parent)
{
    const auto it = m_owed.find(&parent);
    if (it == m_owed.end())
        return;
    place(parent);
    for (const std::shared_ptr<TWMapBranch> &child : TWMapBranch::BranchList(parent.children()))
        pay(*child);
    m_owed.erase(&parent);
}

void TWGrowthBatch::placeAll()
{
    while (!m_owed.empty()) {
        const std::shared_ptr<TWMapBranch> parent = m_owed.begin()->second.parent.lock();
        if (parent && parent->map() == m_map.get())
            placeChildren(*parent);
        else
            m_owed.erase(m_owed.begin());
    }
}
