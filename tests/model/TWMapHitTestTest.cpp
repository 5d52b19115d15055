#include "BranchTestSupport.h"
#include "graphics/TWBoundaryProxy.h"
#include "graphics/TWEnclosedGraphic.h"
#include "graphics/TWLinkLine.h"
#include "model/TWMapLayoutServices.h"

#include <QRandomGenerator>

using namespace BranchTest;

namespace {

// Collapse signs, icon rectangles and boundary outlines chosen per branch.
struct HitLayout : RecordingLayout
{
    QHash<const TWMapBranch *, Rect> signs, icons, boundaries;
    Rect boundsOfShowAndHideImage(TWMapBranch &b) override { return signs.value(&b); }
    Rect rectOfRightEndGraphics(TWMapBranch &b) override { return icons.value(&b); }
    std::optional<Rect> boundaryPathBounds(TWMapBranch &b) override
    {
        if (!boundaries.contains(&b))
            return std::nullopt;
        return boundaries.value(&b);
    }
};

// The whole-map walk over the drawing order (`drawn`, front first) that a
// click must answer the same as.
std::shared_ptr<TWGraphic> referenceGraphicUnderPoint(TWMap &map, const TWMap::GraphicList &drawn,
                                                      Point point, const TWMapBranch *ignoring)
{
    QSet<const TWGraphic *> selected;
    for (const auto &g : map.selectedGraphics())
        selected.insert(g.get());
    TWMapLayoutServices &services = map.layoutServices();
    auto hits = [&](TWGraphic &g) {
        return g.drawingBounds().contains(point) && g.hitTest(point, selected.contains(&g));
    };
    auto isLine = [](const TWGraphic &g) { return dynamic_cast<const TWLinkLine *>(&g); };
    for (const auto &g : drawn)
        if (isLine(*g) && g->branch() != ignoring && hits(*g))
            return g;
    QSet<TWMapBranch *> tried;
    for (const auto &g : drawn) {
        TWMapBranch *b = g->branch();
        if (!b || tried.contains(b))
            continue;
        tried.insert(b);
        const Rect sign = services.boundsOfShowAndHideImage(*b);
        if (sign == Rect() || !sign.contains(point))
            continue;
        TWMapBranch::GraphicList own;
        b->graphicsForThisBranchOnlyIntoArray(own, true, true, true);
        const bool knob = std::any_of(own.cbegin(), own.cend(), [&](const auto &o) {
            return selected.contains(o.get()) && o->knobUnderPoint(point) != 0;
        });
        if (knob)
            break;
        return b->mainGraphic();
    }
    for (const auto &g : drawn) {
        TWMapBranch *b = g->branch();
        if (b && g->isMainGraphic()) {
            const Rect icons = services.rectOfRightEndGraphics(*b);
            if (icons != Rect() && icons.contains(point))
                return b->mainGraphic();
        }
        if ((!ignoring || b != ignoring) && hits(*g))
            return g;
    }
    if (map.showBoundaries()) {
        const TWMap::BranchList branches = map.allBranches();
        for (qsizetype i = branches.size() - 1; i >= 0; --i)
            if (branches.at(i)->hasBoundary() &&
                services.boundaryPathContainsPoint(*branches.at(i), point))
                return branches.at(i)->boundaryProxy();
    }
    return nullptr;
}

class TWMapHitTestTest : public BranchFixture
{
protected:
    TWMapHitTestTest() { map->setLayoutServices(hitLayout); }
    std::shared_ptr<HitLayout> hitLayout = std::make_shared<HitLayout>();
};

// Random overlapping branches with collapsed subtrees, link lines, signs,
// icons, boundaries and a selection with knobs: every answer matches the
// whole-map walk, with and without a branch ignored.
TEST_F(TWMapHitTestTest, AnswersAsTheWholeMapWalkDoes)
{
    struct Case
    {
        int hideLevel;
        bool selectSubtree; // a selected subtree is drawn in front of the rest
        bool boundariesShown;
    };
    const Case cases[] = {{999, true, true}, {3, false, true}, {2, true, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.hideLevel * 100 + c.selectSubtree * 10 + c.boundariesShown);
        QRandomGenerator random(7);
        auto coordinate = [&](int range) { return float(random.bounded(range)); };
        TWMap::BranchList branches{root};
        for (int i = 0; i < 60; ++i) {
            const auto &parent = branches.at(random.bounded(int(branches.size())));
            branches.append(child(parent, coordinate(330), QString::number(i), coordinate(400)));
        }
        for (int i = 1; i < int(branches.size()); i += 9)
            branches.at(i)->setChildrenHidden(true);
        map->setBranchHideLevel(c.hideLevel);
        map->setShowBoundaries(c.boundariesShown);
        for (int i = 0; i < int(branches.size()); ++i) {
            TWMapBranch *b = branches.at(i).get();
            const Rect r = b->mainGraphic()->bounds();
            if (i % 4 == 0)
                hitLayout->signs.insert(b, Rect(r.maxX() - 6, r.maxY() - 6, 12, 12));
            if (i % 5 == 0)
                hitLayout->icons.insert(b, Rect(r.maxX() - 20, r.y(), 14, 14));
            if (i % 6 == 1) { // an adornment sticking out of the shape
                auto icon = TWGraphic::createWithBounds(Rect(r.maxX() + 2, r.y(), 10, 10));
                icon->setPrimitiveBranch(b);
                b->insertObjectInOtherEnclosedGraphicsAtIndex(
                    std::make_shared<TWEnclosedGraphic>(QStringLiteral("star"),
                                                        QStringLiteral("star.png"), icon),
                    0);
            }
            if (i % 11 == 0) {
                b->setHasBoundary(true);
                hitLayout->boundaries.insert(b, r.insetBy(-40 - i % 30, -30 - i % 20));
            }
        }
        for (int i = 0; i < 6; ++i) {
            const auto &from = branches.at(random.bounded(int(branches.size())));
            const auto &to = branches.at(random.bounded(int(branches.size())));
            if (from == to)
                continue;
            auto line = TWGraphic::make<TWLinkLine>();
            line->setPrimitiveBranch(from.get());
            line->connect(from->mainGraphic(), to->mainGraphic());
            line->updateBounds();
            line->calculateDefaultIntermediatePoints();
            line->updateBounds();
            map->insertObjectInLinkLinesAtIndex(line, 0);
        }
        for (int i = 2; i < int(branches.size()); i += 7)
            map->insertObjectInSelectedGraphicsAtIndex(branches.at(i)->mainGraphic(), 0);
        if (c.selectSubtree)
            map->insertObjectInSelectedGraphicsAtIndex(branches.at(1)->enclosedTextArea(), 0);

        QSet<QString> kinds;
        int compared = 0;
        auto sweep = [&](float step) {
            const TWMap::GraphicList drawn = map->graphicsOrderedForDrawing(false);
            for (float y = 0; y < 380; y += step * 0.9f) {
                for (float x = 0; x < 500; x += step) {
                    const Point p(x, y);
                    // Every other point ignores a branch, as a drag does.
                    const TWMapBranch *ignoring = compared % 2 ? branches.at(3).get() : nullptr;
                    const auto expected = referenceGraphicUnderPoint(*map, drawn, p, ignoring);
                    const auto answer = map->graphicUnderPoint(p, ignoring);
                    ASSERT_EQ(answer, expected) << "at " << x << ", " << y;
                    if (answer)
                        kinds.insert(answer->className());
                    ++compared;
                }
            }
        };
        sweep(20);
        // Graphics moved after the first clicks are found where they are now.
        for (int i = 4; i < int(branches.size()); i += 13)
            branches.at(i)->mainGraphic()->setBounds(
                Rect(coordinate(400), coordinate(330), 90, 40));
        sweep(40);
        EXPECT_GT(compared, 500);
        // The table reached links, shapes and labels, and boundaries when shown.
        EXPECT_TRUE(kinds.contains(QStringLiteral("TWLinkLine")));
        EXPECT_GE(kinds.size(), c.boundariesShown ? 4 : 3)
            << kinds.values().join(' ').toStdString();

        map->removeAllSelectedGraphics();
        while (map->countOfLinkLines() > 0)
            map->removeObjectFromLinkLinesAtIndex(0);
        const TWMap::BranchList firstLevel = root->children();
        for (const auto &b : firstLevel)
            root->removeChild(b);
        hitLayout->signs.clear();
        hitLayout->icons.clear();
        hitLayout->boundaries.clear();
    }
}

} // namespace
