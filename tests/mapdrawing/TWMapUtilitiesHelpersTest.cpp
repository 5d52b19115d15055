#include "graphics/TWMapUtilities.h"
#include "render/TWLineStyles.h"
#include "support/BezierPath.h"

#include <gtest/gtest.h>

namespace {

TEST(TWMapUtilitiesHelpers, UnionKeepsEmptyRectanglesOrigin)
{
    EXPECT_EQ(TWUnionRect(Rect(10, 10, 0, 0), Rect(20, 20, 5, 5)), Rect(10, 10, 15, 15));
    EXPECT_EQ(Rect(10, 10, 0, 0).united(Rect(20, 20, 5, 5)), Rect(20, 20, 5, 5));
}

TEST(TWMapUtilitiesHelpers, NamesOfColoursAndLineStyles)
{
    EXPECT_EQ(TWMapUtilities::colorNameFromColor(Color::colorWithCalibratedRed(0.9, 0.1, 0)),
              QStringLiteral("Red"));
    EXPECT_EQ(TWMapUtilities::lineStyleNameFromStyle(1), u"Solid");
    EXPECT_EQ(TWMapUtilities::lineStyleNameFromStyle(8), u"None");
    EXPECT_EQ(TWMapUtilities::lineStyleNameFromStyle(0), u"");

    struct Case
    {
        int style;
        QList<float> dashes;
    } cases[] = {{1, {}},
                 {2, {2, 4}},
                 {3, {6, 4}},
                 {4, {6, 4, 2, 4}},
                 {5, {14, 6}},
                 {6, {14, 4, 2, 4}},
                 {7, {14, 4, 2, 4, 2, 4}},
                 {8, {}}};
    for (const Case &c : cases) {
        BezierPath path;
        TWLineStyles::applyLineStyle(c.style, path, 2);
        EXPECT_EQ(path.lineDashPattern(), c.dashes) << c.style;
    }
}

} // namespace
