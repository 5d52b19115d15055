#include "platform/Geometry.h"

#include <gtest/gtest.h>

namespace {

TEST(Geometry, RectStringRoundTrips)
{
    const Rect r(248.5f, 209, 120, 40);
    EXPECT_EQ(r.toString(), "{{248.5, 209}, {120, 40}}");
    EXPECT_EQ(Rect::fromString(r.toString()), r);
    EXPECT_EQ(Rect().toString(), "{{0, 0}, {0, 0}}");
    const Rect odd(-0.1f, 1e-7f, 33333.332f, 7);
    EXPECT_EQ(Rect::fromString(odd.toString()), odd);
    EXPECT_EQ(Point(3, -4.5f).toString(), "{3, -4.5}");
    EXPECT_EQ(Point::fromString(u"{3, -4.5}"), Point(3, -4.5f));
    EXPECT_EQ(Size::fromString(u"{10, 20}"), Size(10, 20));
    // Malformed text reads as zeros where it stops making sense.
    EXPECT_EQ(Rect::fromString(u""), Rect());
    EXPECT_EQ(Rect::fromString(u"{{1, 2}"), Rect(1, 2, 0, 0));
    EXPECT_EQ(Point::fromString(u"garbage"), Point());
    EXPECT_EQ(Rect::fromString(u"{{1e3, -2}, {.5, 4}}"), Rect(1000, -2, 0.5f, 4));
}

TEST(Geometry, UnionIgnoresEmptyRectangles)
{
    const Rect a(0, 0, 10, 10);
    const Rect flat(100, 100, 0, 50);
    EXPECT_EQ(a.united(flat), a);
    EXPECT_EQ(flat.united(a), a);
    EXPECT_EQ(flat.united(Rect(5, 5, 0, 0)), Rect());
    EXPECT_EQ(a.united(Rect(20, -5, 5, 5)), Rect(0, -5, 25, 15));
    EXPECT_EQ(RectFromPoints(Point(5, 1), Point(2, 4)), Rect(2, 1, 3, 3));
    EXPECT_EQ(Rect(0.5f, 0.2f, 1, 1).integral(), Rect(0, 0, 2, 2));
}

// A line (no width or no height) counts in this union; only a point does not.
TEST(Geometry, UnionKeepingLinesDropsOnlyPoints)
{
    const Rect box(0, 0, 10, 10);
    const struct
    {
        const char *what;
        Rect a, b, united;
    } cases[] = {
        {"two rectangles", box, Rect(20, -5, 5, 5), Rect(0, -5, 25, 15)},
        {"a vertical line beside", box, Rect(30, 2, 0, 4), Rect(0, 0, 30, 10)},
        {"a horizontal line below", box, Rect(2, 40, 4, 0), Rect(0, 0, 10, 40)},
        {"a line with a rectangle", Rect(-5, 0, 0, 20), box, Rect(-5, 0, 15, 20)},
        {"two lines", Rect(0, 0, 0, 5), Rect(8, 9, 3, 0), Rect(0, 0, 11, 9)},
        {"a point is left out", box, Rect(50, 50, 0, 0), box},
        {"a point takes the other", Rect(50, 50, 0, 0), Rect(30, 2, 0, 4), Rect(30, 2, 0, 4)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.a.unitedKeepingLines(c.b), c.united);
    }
}

TEST(Geometry, IntersectionAndContainmentAreHalfOpen)
{
    const Rect a(0, 0, 10, 10);
    EXPECT_EQ(a.intersected(Rect(5, 5, 10, 10)), Rect(5, 5, 5, 5));
    EXPECT_EQ(a.intersected(Rect(10, 0, 5, 5)), Rect()); // touching edges do not overlap
    EXPECT_FALSE(a.intersects(Rect(10, 0, 5, 5)));
    EXPECT_TRUE(a.contains(Point(0, 0)));
    EXPECT_FALSE(a.contains(Point(10, 5)));
    EXPECT_FALSE(a.contains(Point(5, 10)));
    EXPECT_TRUE(a.contains(Rect(0, 0, 10, 10)));
    EXPECT_FALSE(a.contains(Rect(2, 2, 0, 3)));
}

} // namespace
