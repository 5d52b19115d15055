#pragma once

#include "BranchTestSupport.h"
#include "mapdrawing/TWMapLayout.h"

#include <QMap>

namespace LayoutTest {

// The real layout over shapes that keep the sizes a test gives them, so
// that the numbers are the layout's alone.
class FixedSizeLayout : public TWMapLayout
{
public:
    void makeNaturalSize(TWMapBranch &, bool, bool) override {}
    void repositionOtherEnclosedGraphicsFromOldWidth(TWMapBranch &, float) override {}
    void updateEnclosedImageBoundsForMainGraphicBoundsChange(TWMapBranch &, Rect, Rect) override {}
};

// A map laid out by the real layout (shapes keep their sizes): root a 100 x 40 rectangle at (300,
// 200), repel distance 10, first-level spacing 50, child spacing 30.
class LayoutFixture : public BranchTest::BranchFixture
{
protected:
    using BranchList = TWMapBranch::BranchList;

    LayoutFixture()
    {
        map->setLayoutServices(std::make_shared<FixedSizeLayout>());
        map->setRepelDistance(10);
        map->setFirstLevelSpacing(50);
        map->setInterChildSpacing(30);
        settle();
    }

    std::shared_ptr<TWMapBranch> add(const std::shared_ptr<TWMapBranch> &parent, Rect bounds,
                                     const QString &name)
    {
        return newBranch(parent.get(), bounds, name);
    }
    static Rect boundsOf(const std::shared_ptr<TWMapBranch> &branch)
    {
        return branch->mainGraphic()->bounds();
    }
    // Every graphic's bounds by graphic, to compare before and after.
    QMap<const TWGraphic *, Rect> snapshot() const
    {
        QMap<const TWGraphic *, Rect> all;
        TWMapBranch::GraphicList graphics;
        root->graphicsForBranchIntoArray(graphics, true, false, false);
        for (const auto &g : std::as_const(graphics))
            all.insert(g.get(), g->bounds());
        return all;
    }
};

} // namespace LayoutTest
