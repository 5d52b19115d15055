#include "model/TWBranchOrdering.h"
#include "BranchTestSupport.h"
#include "graphics/TWFlexiBranch.h"

#include <QHash>
#include <algorithm>
#include <random>

using namespace BranchTest;

namespace {

using Branch = std::shared_ptr<TWMapBranch>;

// A re-sort looks only at the orders something touched since they were last
// found sorted; it must leave every order exactly as sorting them all would.
class TWBranchOrderMarksTest : public BranchFixture
{
protected:
    // What sorting every order of the subtree would make of it.
    QHash<const TWMapBranch *, TWMapBranch::BranchList> fullSort(const Branch &top) const
    {
        QHash<const TWMapBranch *, TWMapBranch::BranchList> expected;
        TWMapBranch::BranchList all;
        top->buildBranchArray(all);
        for (const Branch &b : all) {
            TWMapBranch::BranchList children = b->children();
            std::stable_sort(children.begin(), children.end(), [](const auto &x, const auto &y) {
                return orderChildrenByPosition(*x, *y) < 0;
            });
            expected.insert(b.get(), children);
        }
        return expected;
    }
    void expectOrders(const QHash<const TWMapBranch *, TWMapBranch::BranchList> &expected,
                      const QString &step) const
    {
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            EXPECT_EQ(names(it.key()->children()), names(it.value()))
                << step.toStdString() << ", children of " << nameOf(*it.key()).toStdString();
    }
    TWMapBranch::BranchList branches() const
    {
        TWMapBranch::BranchList all;
        root->buildBranchArray(all);
        return all;
    }
    int made = 0;
};

TEST_F(TWBranchOrderMarksTest, RandomEditsLeaveTheOrdersAFullSortWouldMake)
{
    for (const unsigned seed : {1u, 7u, 42u, 2024u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto pick = [&random](int n) {
            return int(std::uniform_int_distribution<int>(0, n - 1)(random));
        };
        const auto offset = [&random](float range) {
            return std::uniform_real_distribution<float>(-range, range)(random);
        };
        map->setOrderingMode(1);
        map->setChildOutlineNumberingTopDown(false);
        for (const Branch &c : TWMapBranch::BranchList(root->children()))
            root->removeChild(c);
        // Main branches on both sides, and a few levels below them.
        for (int i = 0; i < 40; ++i) {
            const TWMapBranch::BranchList all = branches();
            const Branch &parent = all[pick(int(all.size()))];
            const Rect at = parent->mainGraphic()->bounds();
            child(parent, at.y() + offset(200), "b" + QString::number(made++),
                  parent == root ? 350 + offset(300) : at.x() + (at.x() < 350 ? -100 : 100));
        }
        root->reSortChildrenByPositionRecursively(true);
        settle();
        for (int step = 0; step < 400; ++step) {
            const TWMapBranch::BranchList all = branches();
            const Branch b = all[pick(int(all.size()))];
            const QString what = QStringLiteral("step %1 on %2").arg(step).arg(nameOf(*b));
            // Edits of one branch come often, those of the whole map seldom.
            constexpr int kinds[20] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 4, 5, 6, 6, 7, 8, 9, 10, 10, 10, 11};
            switch (kinds[pick(20)]) {
            case 0: // a shape moves alone, sometimes across the root
                b->mainGraphic()->setBounds(b->mainGraphic()->bounds().offsetBy(
                    pick(2) ? offset(30) : offset(700), offset(120)));
                break;
            case 1: // a branch moves with its subtree; the root moves the map
                b->moveBranchBy(offset(pick(3) ? 40 : 400), offset(150), true);
                break;
            case 2: {
                const Rect at = b->mainGraphic()->bounds();
                child(b, at.y() + offset(150), "b" + QString::number(made++), at.x() + offset(250));
                break;
            }
            case 3:
                if (b->parent())
                    b->parent()->removeChild(b);
                break;
            case 4:
                map->setOrderingMode(1 + pick(4));
                break;
            case 5:
                map->setChildOutlineNumberingTopDown(!map->childOutlineNumberingTopDown());
                break;
            case 6: // another shape, here and there a flexi line
                if (pick(2)) {
                    constexpr int shapes[] = {1, 2, 3, 5, 6};
                    b->setBranchType(shapes[pick(5)]);
                } else if (auto *flexi = dynamic_cast<TWFlexiBranch *>(b->mainGraphic().get())) {
                    flexi->setLeftPoint({flexi->leftPoint().x, flexi->leftPoint().y + offset(80)});
                    flexi->setRightPoint(
                        {flexi->rightPoint().x, flexi->rightPoint().y + offset(80)});
                }
                break;
            case 7:
                settle();
                if (undo->canUndo())
                    undo->undo();
                break;
            case 8: // as after opening a file
                root->forgetOrdersFoundSorted();
                break;
            case 11: { // grafted elsewhere, maybe to the other side
                const Branch to = all[pick(int(all.size()))];
                TWMapBranch::BranchList below;
                b->buildBranchArray(below);
                if (!b->parent() || below.contains(to))
                    break;
                b->parent()->removeObjectFromChildrenAtIndex(b->childIndex());
                b->setParent(to.get());
                to->insertObjectInChildrenAtIndex(b, to->countOfChildren());
                break;
            }
            case 9: {
                const auto expected = fullSort(b);
                b->reSortChildrenByPositionRecursively(false);
                EXPECT_EQ(names(b->children()), names(expected.value(b.get()))) << what.toStdString();
                break;
            }
            default: {
                const auto expected = fullSort(b);
                b->reSortChildrenByPositionRecursively(true);
                expectOrders(expected, what);
                EXPECT_FALSE(b->subtreeOrderMayNeedSorting()) << what.toStdString();
                break;
            }
            }
            settle();
        }
        const auto expected = fullSort(root);
        root->reSortChildrenByPositionRecursively(true);
        expectOrders(expected, QStringLiteral("at the end"));
    }
}

TEST_F(TWBranchOrderMarksTest, OneMoveMarksOnlyTheWayUpFromIt)
{
    // Two main branches with children and grandchildren, all in order.
    const Branch right = child(root, 100, "right", 600), left = child(root, 100, "left", 0);
    Branch rightKid, deep;
    for (float y : {0.f, 100.f, 200.f}) {
        rightKid = child(right, y, "r" + QString::number(y), 750);
        deep = child(rightKid, y, "deep" + QString::number(y), 900);
        child(left, y, "l" + QString::number(y), -150);
    }
    root->reSortChildrenByPositionRecursively(true);
    settle();
    for (const Branch &b : branches())
        EXPECT_FALSE(b->subtreeOrderMayNeedSorting()) << nameOf(*b).toStdString();

    struct Case
    {
        const char *name;
        std::function<void()> change;
        QStringList marked;
    };
    const Rect deepAt = deep->mainGraphic()->bounds();
    QStringList everyBranch = names(branches()) << "new";
    everyBranch.sort();
    const std::vector<Case> cases = {
        {"a leaf moves down", [&] { deep->mainGraphic()->setBounds(deepAt.offsetBy(0, 30)); },
         {"r200"}},
        // The branches below a main branch are ordered by its side: crossing
        // the root marks its whole subtree.
        {"a main branch crosses",
         [&] { right->mainGraphic()->setBounds(right->mainGraphic()->bounds().offsetBy(-900, 0)); },
         {"deep0", "deep100", "deep200", "r0", "r100", "r200", "right", "root"}},
        {"a main branch moves on its side",
         [&] { left->mainGraphic()->setBounds(left->mainGraphic()->bounds().offsetBy(-20, 40)); },
         {"root"}},
        {"a child comes", [&] { child(rightKid, 50, "new", 900); }, {"new", "r200"}},
        // A grafted subtree may now hang on the other side.
        {"a subtree is grafted",
         [&] {
             right->removeObjectFromChildrenAtIndex(rightKid->childIndex());
             rightKid->setParent(left.get());
             left->insertObjectInChildrenAtIndex(rightKid, left->countOfChildren());
         },
         {"deep200", "left", "new", "r200"}},
        // (The setter renumbers, which sorts at once; this is the way round it.)
        {"the ordering changes", [&] { map->branchDisplaySettingsForUpdate().orderingMode = 3; },
         everyBranch},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        QStringList marked;
        for (const Branch &b : branches())
            if (b->childOrderMayNeedSorting())
                marked << nameOf(*b);
        marked.sort();
        EXPECT_EQ(marked, c.marked);
        root->reSortChildrenByPositionRecursively(true);
        settle();
        for (const Branch &b : branches())
            EXPECT_FALSE(b->childOrderMayNeedSorting()) << nameOf(*b).toStdString();
    }
}

} // namespace
