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

TEST(ParagraphStyle, EveryFieldTakesPartInEquality)
{
    const ParagraphStyle base;
    std::vector<std::function<void(ParagraphStyle &)>> changes = {
        [](ParagraphStyle &s) { s.alignment = 2; },
        [](ParagraphStyle &s) { s.baseWritingDirection = 0; },
        [](ParagraphStyle &s) { s.defaultTabInterval = 1; },
        [](ParagraphStyle &s) { s.firstLineHeadIndent = 1; },
        [](ParagraphStyle &s) { s.headerLevel = 1; },
        [](ParagraphStyle &s) { s.headIndent = 1; },
        [](ParagraphStyle &s) { s.hyphenationFactor = 1; },
        [](ParagraphStyle &s) { s.lineBreakMode = 4; },
        [](ParagraphStyle &s) { s.lineHeightMultiple = 1; },
        [](ParagraphStyle &s) { s.lineSpacing = 1; },
        [](ParagraphStyle &s) { s.maximumLineHeight = 1; },
        [](ParagraphStyle &s) { s.minimumLineHeight = 1; },
        [](ParagraphStyle &s) { s.paragraphSpacing = 1; },
        [](ParagraphStyle &s) { s.paragraphSpacingBefore = 1; },
        [](ParagraphStyle &s) { s.tabStops.removeLast(); },
        [](ParagraphStyle &s) { s.tabStops[3] = TextTab(RightTextAlignment, 84); },
        [](ParagraphStyle &s) { s.tailIndent = -1; },
        [](ParagraphStyle &s) { s.tighteningFactorForTruncation = 0; },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        ParagraphStyle s;
        changes[i](s);
        EXPECT_NE(s, base) << "change " << i;
    }
}

} // namespace
