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
// Where each new child moves all its earlier siblings alike, the moves are
// owed rather than made (see owe): a parent's children stand where growing
// them one by one puts them once their moves are paid, which is when
// something reads where they stand and at the latest when the batch ends.
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
    // them into (the child growing now, the list's last, is not among them),
    // with each one's angle round the root's centre for main branches. Kept
    // in blocks, so that putting one in or taking one out costs the same
    // however many there are, and each block keeps its widest gap between
    // neighbouring angles.
    class Order
    {
    public:
        size_t size() const { return m_size; }
        TWMapBranch &at(size_t i) const;
        // `angle(branch)` is measured again only for branches that moved.
        using AngleFunction = float (*)(const TWMapBranch &, const void *context);
        float angleAt(size_t i, AngleFunction angle, const void *context);
        // As a walk from the first to the last would: for each neighbour in
        // turn, its angle (0 read as a full turn) less the one before it;
        // the first that exceeds `gap` becomes the gap and `target` the
        // angle before it plus half the gap.
        void widenGap(float &gap, float &target, AngleFunction angle, const void *context);

    private:
        friend class TWGrowthBatch;
        struct Block
        {
            std::vector<TWMapBranch *> branches;
            std::vector<float> angles; // NaN until measured
            // The widest gap between neighbours inside the block, the first
            // of them, and the angle before it.
            bool gapKnown = false;
            bool hasGap = false;
            float widest = 0;
            float before = 0;
        };
        std::pair<size_t, size_t> locate(size_t i) const;
        void insert(size_t i, TWMapBranch *branch);
        void erase(size_t i);
        std::optional<size_t> find(const TWMapBranch *branch) const;
        std::vector<TWMapBranch *> flattened() const;
        void assign(const std::vector<TWMapBranch *> &branches);
        void startsChanged();
        float value(size_t block, size_t k, AngleFunction angle, const void *context);

        std::vector<Block> m_blocks;
        std::vector<size_t> m_starts; // of each block
        size_t m_size = 0;
        // Where the last sort put the branches it placed: the ones likely to
        // move next (a grown child takes its size once its text is set).
        std::vector<std::pair<TWMapBranch *, size_t>> m_placed;
        std::unordered_set<TWMapBranch *> m_moved;
        // The child growing now, not yet among them.
        const TWMapBranch *m_growing = nullptr;
        bool m_allMoved = false;
    };
    // The order of the parent's children other than `growing`.
    Order &orderOf(TWMapBranch &parent, const TWMapBranch *growing);
    // `grown` is placed: sorted among its siblings as a sort of them all
    // would sort it (stable: of two in the same place, the earlier first).
    void sortGrown(TWMapBranch &parent, TWMapBranch &grown);
    // A branch's shape moved or changed size while the batch grows.
    void shapeMoved(TWMapBranch &branch);

    // Every child of `parent` but `grown`, its newest, is to move down by
    // `dy` (0: `grown` only joins the parent's sum, if it has one). The move
    // is added to a sum kept for the parent; each child pays what the sum
    // grew by since it grew (or last paid) when placed. Moving them all
    // alike keeps their order among themselves. The sum is kept in double
    // precision: where the moves and places are sums of a few binary
    // fractions (text measures in 64ths of a point), one payment lands
    // exactly where the moves made one by one do.
    void owe(TWMapBranch &parent, const TWMapBranch &grown, float dy);
    // The branch and each of its ancestors stand where their paid moves put
    // them: called before reading where the branch or its subtree stands.
    void place(TWMapBranch &branch);
    // Every child of `parent` pays what it owes.
    void placeChildren(TWMapBranch &parent);

private:
    void apply(TWMapBranch &parent, const Order &order);
    void pay(TWMapBranch &child);
    void placeAll();

    // The moves owed to one parent's children: `sum` less the sum each child
    // last paid at; one with no entry was there before the first move.
    struct Owed
    {
        std::weak_ptr<TWMapBranch> parent;
        double sum = 0;
        std::unordered_map<const TWMapBranch *, double> paid;
    };

    std::shared_ptr<TWMap> m_map;
    Placement m_placement;
    bool m_outermost = true;
    // In the order they first grew; one may come again after another.
    std::vector<std::weak_ptr<TWMapBranch>> m_parents;
    std::set<std::weak_ptr<TWMapBranch>, std::owner_less<std::weak_ptr<TWMapBranch>>> m_settled;
    std::unordered_map<const TWMapBranch *, Order> m_orders;
    std::unordered_map<const TWMapBranch *, Owed> m_owed;
    // Paying moves a branch without changing its place among its siblings.
    bool m_paying = false;
};
