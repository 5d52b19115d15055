#include "LayoutTestSupport.h"

#include "graphics/TWConnectionGraphic.h"
#include "mapdrawing/TWMapBranch_Layout.h"
#include "support/TWPointHolder.h"

#include <QTextStream>
#include <cmath>

using namespace LayoutTest;

namespace {

// Small generated maps laid out whole and then by subtree, against the
// positions an earlier, plainer arrangement gave them: mixed sides, nested
// boundaries of different margins, a collapsed branch (whose hidden subtree
// goes along with it), branches below the hide level and a child that does
// not follow its parent.
class TWTightLayoutEquivalence : public LayoutFixture
{
protected:
    struct Options
    {
        unsigned seed;
        int orderingMode;
        int hideLevel;
        bool numberingTopDown;
    };

    unsigned next()
    {
        m_state = m_state * 1103515245u + 12345u;
        return (m_state >> 16) & 0x7fff;
    }
    float between(int low, int high) { return float(low + int(next() % unsigned(high - low + 1))); }

    void grow(const std::shared_ptr<TWMapBranch> &parent, int level)
    {
        const int count = level == 1 ? 3 + int(next() % 4) : int(next() % (level == 2 ? 4 : 3));
        for (int i = 0; i < count; ++i) {
            const bool left = level == 1 && next() % 2 == 0;
            const float x = level == 1 ? (left ? between(0, 150) : between(450, 650))
                                       : boundsOf(parent).x() + between(-40, 160);
            auto b = add(parent, Rect(x, between(0, 700), between(40, 100), between(20, 50)), "b");
            all.append(b);
            if (next() % 4 == 0) {
                b->setBoundaryMargin(next() % 2 ? 4 : 8);
                b->setBoundaryLineWidth(2);
                b->setHasBoundary(true);
                withBoundary.append(b);
            }
            if (level < 4)
                grow(b, level + 1);
        }
    }

    void build(const Options &o)
    {
        m_state = o.seed;
        map->branchDisplaySettingsForUpdate().orderingMode = o.orderingMode;
        map->branchDisplaySettingsForUpdate().branchHideLevel = o.hideLevel;
        map->branchDisplaySettingsForUpdate().childOutlineNumberingTopDown = o.numberingTopDown;
        map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 3;
        grow(root, 1);
        // One branch with children collapsed, one child that stays where it is.
        for (const auto &b : std::as_const(all)) {
            if (b->getThisBranchLevel() == 2 && !b->children().isEmpty()) {
                b->setChildrenHidden(true);
                break;
            }
        }
        for (const auto &b : std::as_const(all)) {
            if (b->getThisBranchLevel() == 3 && b->connectionGraphic()) {
                b->connectionGraphic()->setConnectionToParentSide(0);
                break;
            }
        }
        settle();
    }

    // Every shape, then every drawn boundary, as text.
    std::string positions()
    {
        QString text;
        QTextStream out(&text);
        out.setRealNumberPrecision(9);
        for (const auto &b : std::as_const(all)) {
            const Rect r = boundsOf(b);
            out << r.x() << ',' << r.y() << ' ';
        }
        out << '|';
        for (const auto &b : std::as_const(withBoundary)) {
            const std::optional<Rect> r = map->layoutServices().boundaryPathBounds(*b);
            if (r)
                out << ' ' << r->x() << ',' << r->y() << ',' << r->width() << ',' << r->height();
            else
                out << " -";
        }
        out.flush();
        return text.toStdString();
    }

    // The same words, numbers equal but for float rounding: a subtree's
    // moves may be added up in another order.
    static ::testing::AssertionResult samePositions(const std::string &actual, const char *expected)
    {
        const QStringList a = QString::fromStdString(actual).split(' ');
        const QStringList e = QString::fromLatin1(expected).split(' ');
        bool same = a.size() == e.size();
        for (qsizetype i = 0; same && i < a.size(); ++i) {
            const QStringList x = a.at(i).split(','), y = e.at(i).split(',');
            same = x.size() == y.size();
            for (qsizetype k = 0; same && k < x.size(); ++k) {
                bool numbers = false, ok = false;
                const float u = x.at(k).toFloat(&numbers), v = y.at(k).toFloat(&ok);
                same = numbers && ok ? std::fabs(u - v) <= 0.001f : x.at(k) == y.at(k);
            }
        }
        if (same)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "got\n" << actual << "\nexpected\n" << expected;
    }

    BranchList all, withBoundary;

private:
    unsigned m_state = 1;
};

TEST_F(TWTightLayoutEquivalence, GeneratedMapsKeepTheirPositions)
{
    struct Case
    {
        Options options;
        const char *whole;   // after arranging the whole map
        const char *subtree; // then after re-arranging one grown subtree
    };
    const Case cases[] = {
        {{7, 1, 999, false},
         "400,93.8125 488,62.8125 608,74.40625 711,41.65625 711,103.65625 608,120.3125 "
         "717,121.0625 488,113.3125 400,181 471,182.25 237,220 160,389.897766 79,430.943176 "
         "3,478.045471 -36,374.840881 79,308.750061 -9,316.750061 141,93.1022339 13,242.749939 "
         "58,-57.5454712 | - -56,-77.5454712,376,618.590942 -56,288.750061,283,252.29541",
         "400,93.8125 488,62.8125 608,74.40625 711,41.65625 711,103.65625 608,120.3125 "
         "717,121.0625 488,113.3125 400,181 471,182.25 237,220 160,598.681763 79,620.227234 "
         "3,664.227234 -36,606.227234 79,540.136353 -9,548.136353 141,93.1022339 13,242.749939 "
         "58,-57.5454712 | - -56,-77.5454712,376,804.772705 -56,520.136353,283,207.090881"},
        {{11, 2, 999, true},
         "400,19.2909546 491,-9.32745361 577,-38.8274536 577,17.6725464 491,55.1593018 "
         "604,46.9093018 400,148.25 475,112.5 475,169 588,170 691,169 211,220 87,92.3057861 "
         "119,207.055786 17,178.305786 48,238.055786 -37,235.305786 127,326.172546 48,300.150879 "
         "0,351.194214 -96,350.194214 400,343.893188 488,301 590,263.25 678,230 678,295.5 590,369 "
         "693,365.5 488,444.036499 573,434.286499 | 475,-25.3274536,88,64.5 459,153,293,73 "
         "67,72.3057861,134,90 -53,162.305786,250,128 662,214,108,71.5 574,349.5,222,71.5 "
         "468,414.286499,194,90",
         "400,19.2909546 491,-9.32745361 577,-38.8274536 577,17.6725464 491,55.1593018 "
         "604,46.9093018 400,148.25 475,112.5 475,169 588,170 691,169 211,220 87,92.3057861 "
         "119,549.75 17,500 48,601.75 -37,599 127,326.172546 48,300.150879 0,351.194214 "
         "-96,350.194214 400,343.893188 488,301 590,263.25 678,230 678,295.5 590,369 693,365.5 "
         "488,444.036499 573,434.286499 | 475,-25.3274536,88,64.5 459,153,293,73 "
         "67,72.3057861,134,90 -53,484,250,170 662,214,108,71.5 574,349.5,222,71.5 "
         "468,414.286499,194,90"},
        {{23, 3, 2, false},
         "207,172 247,307.25 135,372.5 595,249.5 700,703.5 157,230 44,163 -33,461 -66,608 78,339 "
         "400,114.75 481,55.5 589,-107.5 481,115 481,177.5 400,254.25 510,230 589,89 664,195 "
         "664,271 589,496 709,470 510,285.5 621,577.5 701,436.5 701,214.5 621,502.5 721,238.5 | - "
         "- - 465,99,111,68.5 - - -",
         "207,172 247,307.25 135,372.5 595,249.5 700,703.5 157,230 44,163 -33,461 -66,608 78,339 "
         "400,114.75 481,55.5 589,-107.5 481,115 481,177.5 400,254.25 510,230 589,89 664,195 "
         "664,271 589,496 709,470 510,285.5 621,577.5 701,436.5 701,214.5 621,502.5 721,238.5 | - "
         "- - 465,99,111,68.5 - - -"},
        {{42, 4, 999, false},
         "400,175 400,236 233,154.353821 206,232.896179 99,229.646179 | 384,220,89,72 "
         "213,134.353821,107,86",
         "400,175 400,236 233,154.353821 206,232.896179 99,229.646179 | 384,220,89,72 "
         "213,134.353821,107,86"},
    };
    for (const Case &c : cases) {
        all.clear();
        withBoundary.clear();
        const BranchList old = root->children();
        for (const auto &f : old)
            root->removeChild(f);
        build(c.options);
        TWMapLayout::autoArrange(*map);
        EXPECT_TRUE(samePositions(positions(), c.whole)) << "seed " << c.options.seed;
        // A second-level branch grows; its subtree is arranged again.
        for (const auto &b : std::as_const(all)) {
            if (b->getThisBranchLevel() == 2 && b->children().size() > 1 && !b->hidden() &&
                !b->childrenHidden()) {
                const auto &kid = b->children().first();
                const Rect r = boundsOf(kid);
                kid->mainGraphic()->setBounds(Rect(r.x(), r.y(), r.width(), r.height() + 45));
                TWMapLayout::performTightAutoLayoutWithMovedBranches(*map, {b}, true);
                break;
            }
        }
        EXPECT_TRUE(samePositions(positions(), c.subtree)) << "seed " << c.options.seed;
        settle();
    }
}

// Point sets are made whole only when read after a layout; what is changed
// afterwards must still reach every outline that holds it.
TEST_F(TWTightLayoutEquivalence, OutlinesSpanTheShownSubtreeAfterEachStep)
{
    build({23, 1, 999, false});
    const auto check = [&](const char *step) {
        for (const auto &b : std::as_const(all)) {
            if (b->hidden())
                continue;
            BranchList shown;
            b->allDescendantsIntoArray(shown, false);
            Rect span = shown.first()->branchBounds();
            for (const auto &d : std::as_const(shown))
                span = span.united(d->branchBounds());
            const float grow =
                float(map->repelDistance()) + TWBranchLayout::effectiveBoundaryMargin(*b);
            float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
            for (const auto &p : TWBranchLayout::childrenBoundaryOutlinePoints(*b)) {
                x0 = std::min(x0, p->point().x);
                y0 = std::min(y0, p->point().y);
                x1 = std::max(x1, p->point().x);
                y1 = std::max(y1, p->point().y);
            }
            // A corner within a unit of the hull's edge may be left out.
            EXPECT_NEAR(x0, span.x() - grow, 1) << step;
            EXPECT_NEAR(y0, span.y() - grow, 1) << step;
            EXPECT_NEAR(x1, span.maxX() + grow, 1) << step;
            EXPECT_NEAR(y1, span.maxY() + grow, 1) << step;
        }
    };
    TWMapLayout::autoArrange(*map);
    check("whole map");
    const std::shared_ptr<TWMapBranch> leaf = [&] {
        for (const auto &b : std::as_const(all)) {
            if (b->getThisBranchLevel() >= 3 && b->children().isEmpty() && !b->hidden())
                return b;
        }
        return std::shared_ptr<TWMapBranch>();
    }();
    ASSERT_TRUE(leaf);
    TWBranchLayout::moveBranchBy(*leaf, 15, 400, true);
    check("a leaf moved");
    const Rect r = boundsOf(leaf);
    leaf->mainGraphic()->setBounds(Rect(r.x(), r.y(), r.width() + 70, r.height() + 30));
    check("a leaf grown");
    TWMapLayout::performTightAutoLayoutWithMovedBranches(*map, {leaf->parent()->shared_from_this()},
                                                         true);
    check("its parent's subtree");
}

} // namespace
