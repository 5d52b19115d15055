#pragma once

// Orders of branches by where they stand on the canvas, as comparison
// functions of two branches: -1 (a first), 0 (same) or 1 (b first).
// First-level branches go by their angle around the root, deeper ones by
// height; angles are clockwise from 12 o'clock (calculateAngleFromVertical).

class TWMapBranch;

// The ordering modes of a map.
namespace TWOrderingMode {
inline constexpr int ClockwiseFromTop = 1;
inline constexpr int ClockwiseFromRight = 2;
inline constexpr int LeftSideFirst = 3;
inline constexpr int RightSideFirst = 4;
// A mode read from a file, a style or an old document: one the comparators
// do not know orders nothing, so it is taken as the default.
inline constexpr int known(int mode)
{
    return mode >= ClockwiseFromTop && mode <= RightSideFirst ? mode : ClockwiseFromTop;
}
} // namespace TWOrderingMode

// The angle of a branch's shape around the centre branch's shape (a curved
// branch is taken at the height of its end nearer the centre).
float angleOfBranchAroundBranch(const TWMapBranch &branch, const TWMapBranch &centre);

// Siblings in the given mode. In the side-first modes (3 and 4) an angle of
// exactly pi, straight below the root, counts to the right half.
int orderChildrenByPositionWithOrderingMode(const TWMapBranch &a, const TWMapBranch &b, int mode);
// The same with the ordering mode of a's map.
int orderChildrenByPosition(const TWMapBranch &a, const TWMapBranch &b);

// The order of one parent's children, worked out once for them all: below
// a main branch it is by height alone, the same way round for every child,
// so a walk over a big tree compares heights and nothing more.
class TWSiblingOrder
{
public:
    explicit TWSiblingOrder(const TWMapBranch &parent);
    // orderChildrenByPosition(a, b) < 0 for two children of the parent.
    bool before(const TWMapBranch &a, const TWMapBranch &b) const;
    // The order of the children of one of the parent's children: the same
    // below a main branch.
    TWSiblingOrder forChildrenOf(const TWMapBranch &child) const;

private:
    TWSiblingOrder() = default;
    bool m_aroundRoot = true;
    bool m_reversed = false;
};

// Around a centre branch: clockwise from 12 o'clock, the reverse, and
// clockwise from 3 o'clock.
int orderBranchesCWFromTop(const TWMapBranch &a, const TWMapBranch &b, const TWMapBranch &centre);
int orderBranchesCCWFromTop(const TWMapBranch &a, const TWMapBranch &b, const TWMapBranch &centre);
int orderBranchesCWFromRight(const TWMapBranch &a, const TWMapBranch &b, const TWMapBranch &centre);
