#include "support/AttributedString.h"
#include "TestHelpers.h"
#include "support/TextAttachment.h"

#include <QUrl>

namespace {

using Range = AttributedString::Range;
using Runs = std::vector<std::tuple<qsizetype, qsizetype, qsizetype>>;

// Runs as (start, length, attribute count).
Runs runsOf(const AttributedString &s)
{
    Runs runs;
    for (qsizetype i = 0; i < s.runCount(); ++i)
        runs.emplace_back(s.runRange(i).location, s.runRange(i).length, s.runAttributes(i).size());
    return runs;
}

const QString red = QStringLiteral("red");
const QString blue = QStringLiteral("blue");

TEST(AttributedString, RunsSplitAndMergeSoThatNeighboursAlwaysDiffer)
{
    AttributedString s(QStringLiteral("0123456789"));
    s.addAttribute(NSForegroundColorAttributeName, red, {2, 4});
    s.addAttribute(NSUnderlineStyleAttributeName, 1, {4, 4});
    EXPECT_EQ(runsOf(s), (Runs{{0, 2, 0}, {2, 2, 1}, {4, 2, 2}, {6, 2, 1}, {8, 2, 0}}));
    s.addAttributes({{NSForegroundColorAttributeName, red}, {NSUnderlineStyleAttributeName, 1}},
                    {0, 10});
    EXPECT_EQ(runsOf(s), (Runs{{0, 10, 2}}));
    s.removeAttribute(NSUnderlineStyleAttributeName, {0, 10});
    s.removeAttribute(NSForegroundColorAttributeName, {3, 3});
    EXPECT_EQ(runsOf(s), (Runs{{0, 3, 1}, {3, 3, 0}, {6, 4, 1}}));
    s.setAttributes({{NSToolTipAttributeName, QStringLiteral("tip")}}, {1, 2});
    EXPECT_EQ(s.attributesAtIndex(1), TextAttributes({{NSToolTipAttributeName, "tip"}}));
    // Equal needs the same text and the same runs.
    EXPECT_NE(s, AttributedString(s.string()));
    EXPECT_NE(AttributedString("same"), AttributedString("Same"));

    // Equal values of value types merge; different attachments do not.
    AttributedString link(QStringLiteral("link here"));
    link.addAttribute(NSLinkAttributeName, QUrl("https://example.org/a"), {0, 4});
    link.addAttribute(NSLinkAttributeName, QUrl("https://example.org/a"), {4, 5});
    EXPECT_EQ(link.runCount(), 1);
    const auto file = TextAttachment::FileWrapper::regularFile("PNG");
    link.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(TextAttachment(file)), {0, 2});
    link.addAttribute(NSAttachmentAttributeName,
                      QVariant::fromValue(TextAttachment(TextAttachment::FileWrapper::directory())),
                      {1, 1});
    EXPECT_EQ(link.runCount(), 3);
}

TEST(AttributedString, BadValuesAndRangesAreRefusedOrClippedWithAWarning)
{
    AttributedString s(QStringLiteral("abc"));
    LogCapture log;
    s.addAttribute(NSForegroundColorAttributeName, QVariant(), {0, 3});
    s.addAttribute(NSForegroundColorAttributeName, red, {-1, 2});
    s.addAttribute(NSForegroundColorAttributeName, red, {4, 1});
    s.addAttribute(NSForegroundColorAttributeName, red, {1, -1});
    EXPECT_EQ(runsOf(s), (Runs{{0, 3, 0}}));
    EXPECT_EQ(log.lines().size(), 4);
    s.addAttribute(NSForegroundColorAttributeName, red, {1, 100});
    EXPECT_EQ(runsOf(s), (Runs{{0, 1, 0}, {1, 2, 1}}));
    EXPECT_EQ(log.lines().size(), 5);

    Range range{9, 9};
    EXPECT_TRUE(s.attributesAtIndex(3, &range).isEmpty());
    EXPECT_EQ(range, (Range{3, 0}));
    EXPECT_FALSE(s.attribute(NSForegroundColorAttributeName, -1, &range).isValid());
    EXPECT_TRUE(AttributedString().attributesAtIndex(0).isEmpty());
    EXPECT_EQ(log.lines().size(), 8);
}

TEST(AttributedString, EffectiveRangesSpanRunsWithinTheLimit)
{
    AttributedString s(QStringLiteral("0123456789"));
    s.addAttribute(NSForegroundColorAttributeName, red, {1, 8});
    s.addAttribute(NSUnderlineStyleAttributeName, 1, {3, 2});
    s.addAttribute(NSKernAttributeName, 2.0, {6, 1});
    ASSERT_EQ(s.runCount(), 7);
    Range range;
    s.attributesAtIndex(4, &range);
    EXPECT_EQ(range, (Range{3, 2}));
    s.attributesAtIndex(4, &range, {4, 5});
    EXPECT_EQ(range, (Range{4, 1}));
    EXPECT_EQ(s.attribute(NSForegroundColorAttributeName, 5, &range), QVariant(red));
    EXPECT_EQ(range, (Range{1, 8}));
    s.attribute(NSForegroundColorAttributeName, 5, &range, {2, 5});
    EXPECT_EQ(range, (Range{2, 5}));
    // Absence has its longest range too.
    EXPECT_FALSE(s.attribute(NSUnderlineStyleAttributeName, 8, &range).isValid());
    EXPECT_EQ(range, (Range{5, 5}));
    // A different value ends the range.
    s.addAttribute(NSForegroundColorAttributeName, blue, {7, 1});
    s.attribute(NSForegroundColorAttributeName, 5, &range);
    EXPECT_EQ(range, (Range{1, 6}));
}

TEST(AttributedString, EditsKeepAndJoinRuns)
{
    AttributedString s(QStringLiteral("redblue"));
    s.addAttribute(NSForegroundColorAttributeName, red, {0, 3});
    s.addAttribute(NSForegroundColorAttributeName, blue, {3, 4});
    // Replaced text takes the attributes of the first replaced character;
    // inserted text those of the character before, at the start those after.
    s.replaceCharactersInRange({2, 3}, QStringLiteral("XY"));
    s.replaceCharactersInRange({4, 0}, QStringLiteral("--"));
    s.replaceCharactersInRange({0, 0}, QStringLiteral(">"));
    EXPECT_EQ(s.string(), QStringLiteral(">reXY--ue"));
    EXPECT_EQ(runsOf(s), (Runs{{0, 7, 1}, {7, 2, 1}}));
    EXPECT_EQ(s.attribute(NSForegroundColorAttributeName, 0), QVariant(red));

    const TextAttributes kern{{NSKernAttributeName, 1.0}};
    AttributedString t(QStringLiteral("one"), kern);
    t.appendAttributedString(AttributedString(QStringLiteral("two")));
    t.appendAttributedString(AttributedString(QStringLiteral("three"), kern));
    t.insertAttributedString(AttributedString(QStringLiteral("1"), kern), 3);
    EXPECT_EQ(t.string(), QStringLiteral("one1twothree"));
    EXPECT_EQ(runsOf(t), (Runs{{0, 4, 1}, {4, 3, 0}, {7, 5, 1}}));
    // Appending joins equal runs at the seam only, and an empty text is nothing.
    AttributedString u(QStringLiteral("a"), kern);
    AttributedString mixed(QStringLiteral("bc"), kern);
    mixed.removeAttribute(NSKernAttributeName, {1, 1});
    u.appendAttributedString(mixed);
    u.appendAttributedString(AttributedString());
    u.appendAttributedString(AttributedString(QStringLiteral("d")));
    EXPECT_EQ(u.string(), QStringLiteral("abcd"));
    EXPECT_EQ(runsOf(u), (Runs{{0, 2, 1}, {2, 2, 0}}));
    EXPECT_EQ(runsOf(t.attributedSubstringFromRange({2, 7})),
              (Runs{{0, 2, 1}, {2, 3, 0}, {5, 2, 1}}));
    // A rich replacement merges at both seams; deleting joins equal neighbours.
    t.replaceCharactersInRange({4, 3}, AttributedString(QStringLiteral("2"), kern));
    EXPECT_EQ(t, AttributedString(QStringLiteral("one12three"), kern));
    t.removeAttribute(NSKernAttributeName, {3, 1});
    t.deleteCharactersInRange({3, 1});
    EXPECT_EQ(t, AttributedString(QStringLiteral("one2three"), kern));
    t.deleteCharactersInRange({0, 9});
    EXPECT_EQ(t.runCount(), 0);
    EXPECT_EQ(t, AttributedString());
}

TEST(AttributedString, IllegalCharactersGoAndTheirRunsMend)
{
    // NUL, vertical tab, zero-width joiner, a lone surrogate and non-characters
    // go; tab, "\r", "\n" and text beyond the basic plane stay.
    const QString smile = QString::fromUcs4(U"\U0001F600");
    AttributedString s(QStringLiteral("A") + QChar(0) + QStringLiteral("B\vC\u200DD\tE\r\nF") +
                       smile + QChar(0xD800) + QString::fromUcs4(U"\U0001FFFE") + QChar(0xFDD0) +
                       QStringLiteral("G"));
    s.addAttribute(NSForegroundColorAttributeName, red, {2, 3});  // B \v C
    s.addAttribute(NSForegroundColorAttributeName, blue, {5, 2}); // ZWJ D
    s.addAttribute(NSKernAttributeName, 1.0, {14, 4});            // only illegal characters
    const AttributedString clean = s.attributedStringByRemovingIllegalCharacters();
    EXPECT_EQ(clean.string(), QStringLiteral("ABCD\tE\r\nF") + smile + QStringLiteral("G"));
    EXPECT_EQ(runsOf(clean), (Runs{{0, 1, 0}, {1, 2, 1}, {3, 1, 1}, {4, 8, 0}}));

    EXPECT_FALSE(AttributedString::isIllegalCharacter(0x1FA77)); // newer than Qt's tables
    EXPECT_FALSE(AttributedString::isIllegalCharacter(0x0378));  // unassigned, but XML text
    EXPECT_FALSE(AttributedString::isIllegalCharacter(0xE000));  // private use is text
}

} // namespace
