#include "BranchTestSupport.h"
#include "model/TWClipboardXML.h"

#include <cmath>
#include <functional>

using namespace BranchTest;

namespace {

class TWPastePlacementTest : public BranchFixture
{
public:
    using BranchFixture::newBranch;
    using BranchFixture::root;

    // A first-level branch centred at the clockwise angle (degrees), 100 from
    // the root's centre (350, 220).
    std::shared_ptr<TWMapBranch> firstLevelAt(double degrees, const QString &name)
    {
        const double a = degrees * M_PI / 180;
        return newBranch(
            root.get(),
            Rect(float(350 + 100 * std::sin(a) - 40), float(220 - 100 * std::cos(a) - 15), 80, 30),
            name);
    }
    static Point centreOf(const TWMapBranch &b)
    {
        const Rect r = b.mainGraphic()->bounds();
        return Point(r.midX(), r.midY());
    }
};

struct Case
{
    const char *name;
    int layout;
    int ordering;
    // Builds the branches and names the parent (null: the root).
    std::function<std::shared_ptr<TWMapBranch>(TWPastePlacementTest &)> setUp;
    Point expectedOrigin;
    // Centres of the root's children afterwards, when they move.
    QList<Point> siblingCentres;
};

Point onCircle(double degrees)
{
    const double a = degrees * M_PI / 180;
    return Point(float(350 + 100 * std::sin(a)), float(220 - 100 * std::cos(a)));
}

TEST_F(TWPastePlacementTest, PastedBranchGoesWhereTheLayoutPutsIt)
{
    using T = TWPastePlacementTest;
    const auto none = [](T &) { return std::shared_ptr<TWMapBranch>(); };
    const auto at = [](std::initializer_list<double> list) {
        const QList<double> degrees(list);
        return [degrees](T &t) {
            int i = 0;
            for (double d : degrees)
                t.firstLevelAt(d, QString("f%1").arg(i++));
            return std::shared_ptr<TWMapBranch>();
        };
    };
    const Point n270 = onCircle(300);
    const Point n315 = onCircle(315);
    const Case cases[] = {
        {"free, empty root, below", 1, 1, none, Point(320, 340), {}},
        {"free, empty root, left", 1, 2, none, Point(140, 210), {}},
        {"free, three, six, nine: twelve", 1, 1, at({90, 180, 270}), Point(320, 110), {}},
        {"free, three and nine: the wrapping gap wins", 1, 1, at({90, 270}), Point(320, 110), {}},
        {"loose, empty root, below", 2, 1, none, Point(320, 310), {}},
        {"tight, empty root, left", 3, 2, none, Point(220, 210), {}},
        {"loose, one below: above", 2, 3, at({180}), Point(320, 110), {}},
        {"loose, one left: right", 2, 2, at({270}), Point(420, 210), {}},
        {"loose, one elsewhere: widest gap", 2, 1, at({90}), Point(220, 210), {}},
        {"loose, two placed: a third of the circle each",
         2,
         1,
         at({0, 180}),
         Point(n270.x - 30, n270.y - 10),
         {onCircle(60), onCircle(180)}},
        {"loose, two placed, side-first ordering: kept", 2, 3, at({0, 180}), Point(0, 0), {}},
        {"loose, three evenly spaced: re-spaced",
         2,
         1,
         at({60, 180, 300}),
         Point(n315.x - 30, n315.y - 10),
         {onCircle(45), onCircle(135), onCircle(225)}},
        {"tight, three, side-first ordering: kept", 3, 4, at({10, 100, 200}), Point(0, 0), {}},
        {"no layout mode: kept", 0, 1, at({90}), Point(0, 0), {}},
        {"right of a childless branch",
         1,
         1,
         [](T &t) { return t.newBranch(t.root.get(), Rect(500, 100, 80, 30), "p"); },
         Point(610, 105),
         {}},
        {"left of a childless branch on the left",
         2,
         1,
         [](T &t) { return t.newBranch(t.root.get(), Rect(100, 100, 80, 30), "p"); },
         Point(10, 105),
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        root->setChildren({});
        map->branchDisplaySettingsForUpdate().layoutAssistanceMode = c.layout;
        map->branchDisplaySettingsForUpdate().orderingMode = c.ordering;
        map->setFirstLevelSpacing(100);
        map->setInterChildSpacing(30);
        map->setRepelDistance(10);
        std::shared_ptr<TWMapBranch> parent = c.setUp(*this);
        TWMapBranch &p = parent ? *parent : *root;
        auto pasted = TWMapBranch::createWithGraphic(
            TWGraphic::createWithBounds(Rect(0, 0, 60, 20)), nullptr, map.get());
        TWClipboardXML::placePastedBranch(*map, p, *pasted);
        const Rect r = pasted->mainGraphic()->bounds();
        EXPECT_NEAR(r.x(), c.expectedOrigin.x, 0.01);
        EXPECT_NEAR(r.y(), c.expectedOrigin.y, 0.01);
        if (!c.siblingCentres.isEmpty()) {
            QList<std::shared_ptr<TWMapBranch>> kids = root->children();
            ASSERT_EQ(kids.size(), c.siblingCentres.size());
            for (int i = 0; i < kids.size(); ++i) {
                EXPECT_NEAR(centreOf(*kids.at(i)).x, c.siblingCentres.at(i).x, 0.01) << i;
                EXPECT_NEAR(centreOf(*kids.at(i)).y, c.siblingCentres.at(i).y, 0.01) << i;
            }
        }
    }
}

TEST_F(TWPastePlacementTest, UnderABranchWithChildren)
{
    map->setInterChildSpacing(30);
    map->setRepelDistance(10);
    auto p = newBranch(root.get(), Rect(500, 100, 80, 30), "p");
    auto c1 = newBranch(p.get(), Rect(620, 40, 80, 30), "c1");
    auto c2 = newBranch(p.get(), Rect(640, 80, 80, 30), "c2");
    auto pasted = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 60, 20)),
                                                 nullptr, map.get());

    // Free: below the last child's bounds, left edges aligned.
    map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 1;
    TWClipboardXML::placePastedBranch(*map, *p, *pasted);
    EXPECT_EQ(pasted->mainGraphic()->bounds().origin, Point(640, c2->branchBounds().maxY() + 10));

    // Loose: the children and the new branch stacked, centred on the parent.
    map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 2;
    TWClipboardXML::placePastedBranch(*map, *p, *pasted);
    const float h1 = c1->branchBounds().height(), h2 = c2->branchBounds().height();
    const float hn = pasted->branchBounds().height();
    float y = 115 - (h1 + h2 + hn + 20) / 2;
    EXPECT_EQ(c1->mainGraphic()->bounds().origin, Point(610, y + h1 / 2));
    y += h1 + 10;
    EXPECT_EQ(c2->mainGraphic()->bounds().origin, Point(610, y + h2 / 2));
    y += h2 + 10;
    EXPECT_EQ(pasted->mainGraphic()->bounds().origin, Point(610, y + hn / 2));
}

} // namespace
