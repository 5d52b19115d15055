#include "drawing/TWMapUtilities.h"
#include "styles/TWLineStyles.h"
#include "support/BezierPath.h"

#include <gtest/gtest.h>

namespace {

TEST(TWMapUtilitiesHelpers, UnionKeepsEmptyRectanglesOrigin)
{
    EXPECT_EQ(TWUnionRect(Rect(10, 10, 0, 0), Rect(20, 20, 5, 5)), Rect(10, 10, 15, 15));
    EXPECT_EQ(Rect(10, 10, 0, 0).united(Rect(20, 20, 5, 5)), Rect(20, 20, 5, 5));
}

TEST(TWMapUtilitiesHelpers, StringReplacement)
{
    QString url = QStringLiteral("a%3Ab%2Fc%3A");
    TWMapUtilities::replaceString("%3A", ":", url);
    TWMapUtilities::replaceString("%2F", "/", url);
    EXPECT_EQ(url, u"a:b/c:");
    QString text = QStringLiteral("a,b;c");
    TWMapUtilities::replaceAllOccurrencesOfCharactersInSet(",;", ", ", text);
    EXPECT_EQ(text, u"a, b, c");
    TWMapUtilities::setDefaultLineFragmentPadding(5);
    EXPECT_EQ(TWMapUtilities::defaultLineFragmentPadding(), 5.0f);
}

TEST(TWMapUtilitiesHelpers, NamesOfColoursAndLineStyles)
{
    EXPECT_EQ(TWMapUtilities::colorNameFromColor(Color::colorWithCalibratedRed(0.9, 0.1, 0)),
              QStringLiteral("Red"));
    EXPECT_EQ(TWMapUtilities::colorNameFromColor(Color::colorWithCalibratedWhite(0.95)),
              QStringLiteral("White"));
    EXPECT_EQ(TWMapUtilities::lineStyleNameFromStyle(1), u"Solid");
    EXPECT_EQ(TWMapUtilities::lineStyleNameFromStyle(8), u"None");
    EXPECT_EQ(TWMapUtilities::lineStyleNameFromStyle(0), u"");
    EXPECT_EQ(TWMapUtilities::lineStyleNameFromStyle(9), u"");

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
