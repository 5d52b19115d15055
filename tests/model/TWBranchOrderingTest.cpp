#include "model/TWBranchOrdering.h"
#include "BranchTestSupport.h"

#include <algorithm>

using namespace BranchTest;

namespace {

// First-level branches around the root (centred on (350, 220)) at the
// positions of a clock.
class TWBranchOrderingTest : public BranchFixture
{
protected:
    TWBranchOrderingTest()
    {
        for (auto [name, x, y] : {std::tuple{"12", 310, 100},
                                  {"2", 500, 130},
                                  {"4", 500, 280},
                                  {"6", 310, 300},
                                  {"9", 100, 205},
                                  {"11", 200, 100}})
            clock << child(root, float(y), name, float(x));
    }
    QStringList sorted(TWMapBranch::BranchList branches, int mode)
    {
        std::stable_sort(branches.begin(), branches.end(), [mode](const auto &a, const auto &b) {
            return orderChildrenByPositionWithOrderingMode(*a, *b, mode) < 0;
        });
        return names(branches);
    }
    TWMapBranch::BranchList clock;
};

TEST_F(TWBranchOrderingTest, FirstLevelByModes)
{
    EXPECT_EQ(angleOfBranchAroundBranch(*clock[0], *root), 0.0f);
    // Straight below: exactly the single-precision pi.
    EXPECT_EQ(angleOfBranchAroundBranch(*clock[3], *root), 3.1415925f);
    EXPECT_EQ(angleOfBranchAroundBranch(*clock[4], *root), 4.712389f);

    TWMapBranch::BranchList shuffled = {clock[4], clock[1], clock[5], clock[3], clock[0], clock[2]};
    EXPECT_EQ(sorted(shuffled, 1), QStringList({"12", "2", "4", "6", "9", "11"}));
    EXPECT_EQ(sorted(shuffled, 2), QStringList({"4", "6", "9", "11", "12", "2"}));
    // Straight below goes with the right half, at its bottom; each side runs
    // top to bottom whichever branch is compared first.
    EXPECT_EQ(sorted(shuffled, 3), QStringList({"11", "9", "12", "2", "4", "6"}));
    EXPECT_EQ(sorted(shuffled, 4), QStringList({"12", "2", "4", "6", "11", "9"}));
    for (int mode : {3, 4}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(orderChildrenByPositionWithOrderingMode(*clock[3], *clock[2], mode), 1);
        EXPECT_EQ(orderChildrenByPositionWithOrderingMode(*clock[2], *clock[3], mode), -1);
        EXPECT_EQ(orderChildrenByPositionWithOrderingMode(*clock[3], *clock[4], mode),
                  mode == 3 ? 1 : -1);
    }
    EXPECT_EQ(orderChildrenByPositionWithOrderingMode(*clock[0], *clock[3], 0), 0);

    map->branchDisplaySettingsForUpdate().orderingMode = 4;
    root->reSortChildrenByPositionRecursively(false);
    EXPECT_EQ(names(root->children()), QStringList({"12", "2", "4", "6", "11", "9"}));
}

TEST_F(TWBranchOrderingTest, DeeperBranchesByHeight)
{
    auto left = clock[4];
    auto low = child(left, 300, "low", 20), high = child(left, 100, "high", 20);
    auto right = clock[1];
    auto rightLow = child(right, 300, "low", 650), rightHigh = child(right, 100, "high", 650);
    for (int mode : {1, 2, 3, 4}) {
        SCOPED_TRACE(mode);
        // Numbered bottom to top on the left in the clockwise modes.
        const int expected = mode <= 2 ? -1 : 1;
        EXPECT_EQ(orderChildrenByPositionWithOrderingMode(*low, *high, mode), expected);
        EXPECT_EQ(orderChildrenByPositionWithOrderingMode(*rightLow, *rightHigh, mode), 1);
    }
    map->branchDisplaySettingsForUpdate().childOutlineNumberingTopDown = true;
    EXPECT_EQ(orderChildrenByPositionWithOrderingMode(*low, *high, 1), 1);
}

TEST_F(TWBranchOrderingTest, AroundACentreBranch)
{
    const TWMapBranch &c = *root;
    EXPECT_EQ(orderBranchesCWFromTop(*clock[5], *clock[1], c), 1);
    EXPECT_EQ(orderBranchesCCWFromTop(*clock[5], *clock[1], c), -1);
    EXPECT_EQ(orderBranchesCWFromTop(*clock[1], *clock[1], c), 0);
    // From 3 o'clock, 12 comes last.
    EXPECT_EQ(orderBranchesCWFromRight(*clock[0], *clock[4], c), 1);
    EXPECT_EQ(orderBranchesCWFromRight(*clock[2], *clock[1], c), -1);
}

} // namespace

TEST_F(TWBranchOrderingTest, SiblingOrderWorkedOutOnceAgreesWithEachComparison)
{
    // Children of the root, of main branches on either side and of a
    // deeper branch on the left, some at the same height, in every mode
    // and numbering.
    auto left = clock[4], right = clock[1];
    auto leftKid = child(left, 180, "left kid", 20);
    for (auto [parent, x] : {std::pair{left, 20.f}, {right, 650.f}, {leftKid, -90.f}})
        for (float y : {300.f, 100.f, 180.f, 100.f, 240.f})
            child(parent, y, "at " + QString::number(y), x);
    for (const int mode : {1, 2, 3, 4})
        for (const bool topDown : {false, true}) {
            SCOPED_TRACE(
                QStringLiteral("mode %1, top down %2").arg(mode).arg(topDown).toStdString());
            map->branchDisplaySettingsForUpdate().orderingMode = mode;
            map->branchDisplaySettingsForUpdate().childOutlineNumberingTopDown = topDown;
            // Worked out for the parent, or handed down from its parent.
            using Pair = std::pair<std::shared_ptr<TWMapBranch>, std::shared_ptr<TWMapBranch>>;
            for (const auto &[from, parent] :
                 {Pair{nullptr, root}, Pair{nullptr, left}, Pair{nullptr, right},
                  Pair{nullptr, leftKid}, Pair{root, right}, Pair{left, leftKid}}) {
                const TWSiblingOrder order =
                    from ? TWSiblingOrder(*from).forChildrenOf(*parent) : TWSiblingOrder(*parent);
                for (const auto &a : parent->children())
                    for (const auto &b : parent->children())
                        EXPECT_EQ(order.before(*a, *b), orderChildrenByPosition(*a, *b) < 0)
                            << nameOf(*parent).toStdString() << (from ? " handed down: " : ": ")
                            << nameOf(*a).toStdString() << " before " << nameOf(*b).toStdString();
            }
        }
}
