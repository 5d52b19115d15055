#include "interface/ImageExtensions.h"

#include <gtest/gtest.h>

TEST(ImageDropSize, TheLongerSideIsLimitedUnlessTheSizeIsKept)
{
    struct Case
    {
        Size size;
        bool keep;
        Size expected;
    };
    const Case cases[] = {
        {Size(400, 200), false, Size(120, 60)},  // wide: by the width
        {Size(100, 300), false, Size(40, 120)},  // tall: by the height
        {Size(240, 240), false, Size(120, 120)}, // square
        {Size(121, 30), false, Size(120, 30 * 120.0f / 121)},
        {Size(120, 120), false, Size(120, 120)}, // exactly the limit fits
        {Size(90, 20), false, Size(90, 20)},     // small pictures never grow
        {Size(400, 200), true, Size(400, 200)},  // Shift keeps the size
        {Size(0, 0), false, Size(0, 0)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size.toString().toStdString());
        const Size got = ImageExtensions::dropSize(c.size, c.keep);
        EXPECT_FLOAT_EQ(got.width, c.expected.width);
        EXPECT_FLOAT_EQ(got.height, c.expected.height);
        for (const auto scale : {&ImageExtensions::scaleForAttachedGraphic,
                                 &ImageExtensions::scaleForEnclosedGraphic}) {
            Image image;
            image.setSize(c.size);
            scale(image, c.keep);
            EXPECT_EQ(image.size(), got);
            EXPECT_TRUE(image.scalesWhenResized());
        }
    }
}
