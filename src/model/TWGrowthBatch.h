#pragma once

#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TWMap;
class TWMapBranch;

// Children grown (addChildOfType) while one lives cost each the same,
// however many siblings they have. Batches of one map nest; the outermost
// does the work. Main thread only.
//
// Together: the children are for a layout of the whole map to place once
// they all exist, as an import lays its map out: each is made where a new
// branch goes, with no layout assistance placing it or moving its
// siblings, and its siblings are not sorted for it. When the batch ends,
// each parent that grew children is sorted once.
//
// EachAsItGrows: each child is placed as it grows, by the map's layout
// assistance, exactly where growing it alone would put it. The batch keeps
// each parent's sorted order of children instead of sorting them all again
// for every child: the branches that moved since are sorted into it. The
// parent's list takes that order when the batch ends (or settles it).
class TWGrowthBatch
{
public:
    enum class Placement { Together, EachAsItGrows };

    explicit TWGrowthBatch(TWMap &map, Placement placement = Placement::Together);
    ~TWGrowthBatch();
    TWGrowthBatch(const TWGrowthBatch &) = delete;
    TWGrowthBatch &operator=(const TWGrowthBatch &) = delete;

    // The outermost batch growing the map's branches, or null.
    static TWGrowthBatch *of(const TWMap &map);
    Placement placement() const { return m_placement; }
    // The parent grew a child in the batch.
    void grew(TWMapBranch &parent);
    // The parent has all its children: sorted now, as the end of the batch
    // would, and not again then (its caller may order them otherwise).
    void settle(TWMapBranch &parent);

    // --- EachAsItGrows ---
    // A parent's children in the order the growth of its last child sorted
    // them into (the child growing now, the list's last, is not among them).
    // Each child's angle round the root's centre is kept for main branches.
    class Order
    {
    public:
        size_t size() const { return m_branches.size(); }
        TWMapBranch &at(size_t i) const { return *m_branches[i]; }
        // `angle(branch)` measured again only for branches that moved.
        template <typename F> float angleAt(size_t i, F &&angle)
        {
            if (!m_angleKnown[i]) {
                m_angles[i] = angle(*m_branches[i]);
                m_angleKnown[i] = true;
            }
            return m_angles[i];
        }

    private:
        friend class TWGrowthBatch;
        std::vector<TWMapBranch *> m_branches;
        // Increasing along the order: which of two equal places came first.
        std::vector<double> m_ranks;
        std::vector<float> m_angles;
        std::vector<bool> m_angleKnown;
        std::unordered_map<const TWMapBranch *, double> m_rankOf;
        std::unordered_set<TWMapBranch *> m_moved;
        bool m_allMoved = false;
    };
    // The order of the parent's children other than `growing`.
    Order &orderOf(TWMapBranch &parent, const TWMapBranch *growing);
    // `grown` is placed: sorted among its siblings as a sort of them all
    // would sort it (stable: of two in the same place, the earlier first).
    void sortGrown(TWMapBranch &parent, TWMapBranch &grown);
    // A branch's shape moved or changed size while the batch grows.
    void shapeMoved(TWMapBranch &branch);

private:
    static std::optional<size_t> indexOf(const Order &order, const TWMapBranch *branch);
    static void forget(Order &order, size_t index);
    static void place(Order &order, TWMapBranch *branch, double rank, size_t index);
    static void rerank(Order &order, const std::vector<size_t> &at);
    static void renumber(Order &order);
    void apply(TWMapBranch &parent, const Order &order);

    std::shared_ptr<TWMap> m_map;
    Placement m_placement;
    bool m_outermost = true;
    // In the order they first grew; one may come again after another.
    std::vector<std::weak_ptr<TWMapBranch>> m_parents;
    std::set<std::weak_ptr<TWMapBranch>, std::owner_less<std::weak_ptr<TWMapBranch>>> m_settled;
    std::unordered_map<const TWMapBranch *, Order> m_orders;
};
