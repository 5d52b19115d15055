#include "LayoutTestSupport.h"

#include "mapdrawing/TWBoundaryOutline.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "support/TWPointHolder.h"

#include <functional>

using namespace LayoutTest;
using BranchTest::nameOf;

namespace {

using Branch = std::shared_ptr<TWMapBranch>;

// A tree made, checked, changed and checked again.
struct Shape
{
    const char *name;
    std::function<QList<Branch>(TWMap &, const Branch &root)> build;
    std::function<void(TWMap &, const QList<Branch> &)> change;
};

class DeepBoundary : public LayoutFixture, public ::testing::WithParamInterface<Shape>
{
protected:
    void shownInTreeOrder(TWMapBranch &b, int level, QList<TWMapBranch *> &out) const
    {
        out.append(&b);
        if (b.childrenHidden() || level + 1 > map->branchHideLevel())
            return;
        for (const Branch &child : b.children())
            shownInTreeOrder(*child, level + 1, out);
    }

    // The hull of every shown rectangle of the subtree, grown by the
    // branch's repel and margin, in tree order: what the outline is.
    QList<Point> expectedOutline(TWMapBranch &b) const
    {
        if (b.hidden())
            return {};
        QList<TWMapBranch *> shown;
        shownInTreeOrder(b, b.getThisBranchLevel(), shown);
        const float grow =
            float(map->repelDistance()) + TWBranchLayout::effectiveBoundaryMargin(b);
        std::vector<Point> points;
        for (TWMapBranch *d : std::as_const(shown)) {
            const Rect g = TWBranchLayout::layoutRoom(*d).insetBy(-grow, -grow);
            points.insert(points.end(), {{g.x(), g.y()},
                                         {g.x(), g.maxY()},
                                         {g.maxX(), g.y()},
                                         {g.maxX(), g.maxY()}});
        }
        QList<Point> outline;
        for (const int i : TWBoundaryOutline::hullOfPoints(points))
            outline.append(points[size_t(i)]);
        return outline;
    }

    // The branches whose outline is not that hull, deepest first, so that
    // the outlines are read in an order other than the tree's.
    QStringList wrongOutlines()
    {
        QStringList wrong;
        const TWMap::BranchList all = map->allBranches();
        for (auto it = all.crbegin(); it != all.crend(); ++it) {
            TWMapBranch &b = **it;
            if (b.isRoot())
                continue;
            QList<Point> got;
            for (const auto &holder : TWBranchLayout::childrenBoundaryOutlinePoints(b))
                got.append(holder->point());
            if (got != expectedOutline(b))
                wrong << nameOf(b);
        }
        return wrong;
    }
};

Branch grown(TWMap &map, const Branch &parent, Rect bounds, const QString &name)
{
    const Branch b =
        TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(bounds), parent.get(), &map);
    b->enclosedTextArea()->setString(name);
    return b;
}

QList<Branch> chain(TWMap &map, const Branch &root, int levels,
                    const std::function<Rect(int)> &bounds)
{
    QList<Branch> made;
    Branch parent = root;
    for (int i = 0; i < levels; ++i) {
        parent = grown(map, parent, bounds(i), QStringLiteral("L%1").arg(i));
        made.append(parent);
    }
    return made;
}

Rect zigzag(int i)
{
    return Rect(20 + 60 * i, 200 + (i % 2 ? 30 : -30) + i, 50 + (i * 7) % 30, 20);
}

// The branch and what hangs from it.
void moveAlong(const Branch &b, float dx, float dy)
{
    TWBranchLayout::moveBranchBy(*b, dx, dy, true);
}

const Shape shapes[] = {
    {"ZigzagChainWhoseDeepestBranchMoves",
     [](TWMap &f, const Branch &root) { return chain(f, root, 80, zigzag); },
     [](TWMap &, const QList<Branch> &made) { moveAlong(made.at(79), -3000, 900); }},
    {"ChainWithBoundariesOfOtherMarginsWhoseMiddleMoves",
     [](TWMap &f, const Branch &root) {
         QList<Branch> made = chain(f, root, 60, zigzag);
         for (int i = 0; i < made.size(); i += 3) {
             made.at(i)->setBoundaryMargin(float(i % 5));
             made.at(i)->setHasBoundary(true);
         }
         return made;
     },
     [](TWMap &, const QList<Branch> &made) { moveAlong(made.at(30), 0, -700); }},
    {"BranchesOnOneSpotHalfOfWhichLeave",
     [](TWMap &f, const Branch &root) {
         return chain(f, root, 40, [](int) { return Rect(500, 100, 60, 20); });
     },
     [](TWMap &, const QList<Branch> &made) { moveAlong(made.at(20), 0.5f, 0); }},
    {"ShapesAlongOneLineOfWhichOneGrows",
     [](TWMap &f, const Branch &root) {
         return chain(f, root, 40, [](int i) { return Rect(20 + 10 * i, 20 + 10 * i, 0, 0); });
     },
     [](TWMap &, const QList<Branch> &made) {
         made.at(25)->mainGraphic()->setBounds(Rect(270, 270, 30, 10));
     }},
    {"WideTreeWhoseLeafIsRemoved",
     [](TWMap &f, const Branch &root) {
         QList<Branch> made;
         unsigned seed = 7;
         const auto next = [&seed](int range) {
             seed = seed * 1103515245u + 12345u;
             return int((seed >> 8) % unsigned(range));
         };
         std::function<void(const Branch &, int)> grow = [&](const Branch &parent, int depth) {
             for (int i = 0; depth < 4 && i < 3; ++i) {
                 const Branch b =
                     grown(f, parent, Rect(next(900), next(600), 10 + next(60), 10 + next(20)),
                           QStringLiteral("T%1").arg(made.size()));
                 made.append(b);
                 grow(b, depth + 1);
             }
         };
         grow(root, 0);
         return made;
     },
     [](TWMap &, const QList<Branch> &made) {
         TWMapBranch *parent = made.at(2)->parent();
         parent->removeObjectFromChildrenAtIndex(int(parent->children().indexOf(made.at(2))));
     }},
    {"ChainCollapsedAndCutByTheHideLevel",
     [](TWMap &f, const Branch &root) {
         QList<Branch> made = chain(f, root, 50, zigzag);
         made.at(35)->setChildrenHidden(true);
         return made;
     },
     [](TWMap &map, const QList<Branch> &made) {
         made.at(35)->setChildrenHidden(false);
         map.setBranchHideLevel(20);
     }},
};

TEST_P(DeepBoundary, EveryOutlineIsTheHullOfItsShownSubtree)
{
    const QList<Branch> made = GetParam().build(*map, root);
    settle();
    EXPECT_EQ(wrongOutlines(), QStringList()) << "as made";
    GetParam().change(*map, made);
    settle();
    EXPECT_EQ(wrongOutlines(), QStringList()) << "after the change";
}

INSTANTIATE_TEST_SUITE_P(Shapes, DeepBoundary, ::testing::ValuesIn(shapes),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
