#include "support/ParagraphStyle.h"

#include <gtest/gtest.h>

namespace {

TEST(ParagraphStyle, DefaultIsThePlatformDefault)
{
    const ParagraphStyle s;
    EXPECT_EQ(s.alignment, NaturalTextAlignment);
    EXPECT_EQ(s.baseWritingDirection, NaturalWritingDirection);
    EXPECT_EQ(s.lineBreakMode, LineBreakByWordWrapping);
    EXPECT_EQ(s.tighteningFactorForTruncation, 0.05);
    EXPECT_EQ(s.headerLevel, 0);
    EXPECT_EQ(s.defaultTabInterval, 0.0);
    EXPECT_EQ(s.lineHeightMultiple, 0.0);
    ASSERT_EQ(s.tabStops.size(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(s.tabStops[i].alignment(), LeftTextAlignment);
        EXPECT_EQ(s.tabStops[i].location(), 28.0 * (i + 1));
    }
    EXPECT_EQ(s, ParagraphStyle::defaultParagraphStyle());
}

} // namespace
