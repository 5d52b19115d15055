#include "support/AttributedString.h"
#include "support/TextAttachment.h"

#include <QUrl>
#include <gtest/gtest.h>

// Readable QString values in failure messages.
static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

using Range = AttributedString::Range;

// Runs as (start, length, attribute count) for compact comparisons.
std::vector<std::tuple<qsizetype, qsizetype, qsizetype>> runsOf(const AttributedString &s)
{
    std::vector<std::tuple<qsizetype, qsizetype, qsizetype>> runs;
    for (qsizetype i = 0; i < s.runCount(); ++i)
        runs.emplace_back(s.runRange(i).location, s.runRange(i).length, s.runAttributes(i).size());
    return runs;
}

QStringList *capturedLog = nullptr;
void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    capturedLog->append(message);
}

struct LogCapture
{
    QStringList lines;
    QtMessageHandler previous;
    LogCapture()
    {
        capturedLog = &lines;
        previous = qInstallMessageHandler(captureMessage);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(previous);
        capturedLog = nullptr;
    }
};

const QString red = QStringLiteral("red");
const QString blue = QStringLiteral("blue");

} // namespace

TEST(AttributedStringRuns, AddingOverlappingAttributesSplitsAndMergesRuns)
{
    AttributedString s(QStringLiteral("0123456789"));
    ASSERT_EQ(s.runCount(), 1);

    s.addAttribute(NSForegroundColorAttributeName, red, {2, 4});
    EXPECT_EQ(runsOf(s), (decltype(runsOf(s)){{0, 2, 0}, {2, 4, 1}, {6, 4, 0}}));

    s.addAttribute(NSUnderlineStyleAttributeName, 1, {4, 4});
    EXPECT_EQ(runsOf(s),
              (decltype(runsOf(s)){{0, 2, 0}, {2, 2, 1}, {4, 2, 2}, {6, 2, 1}, {8, 2, 0}}));

    // Giving the rest of the text the same colour and underline joins everything
    // that now agrees.
    s.addAttribute(NSForegroundColorAttributeName, red, {0, 10});
    s.addAttribute(NSUnderlineStyleAttributeName, 1, {0, 10});
    EXPECT_EQ(runsOf(s), (decltype(runsOf(s)){{0, 10, 2}}));

    s.removeAttribute(NSUnderlineStyleAttributeName, {0, 10});
    s.removeAttribute(NSForegroundColorAttributeName, {3, 3});
    EXPECT_EQ(runsOf(s), (decltype(runsOf(s)){{0, 3, 1}, {3, 3, 0}, {6, 4, 1}}));
}

TEST(AttributedStringRuns, SetAttributesReplacesTheWholeDictionary)
{
    AttributedString s(QStringLiteral("abcdef"),
                       {{NSForegroundColorAttributeName, red}, {NSKernAttributeName, 1.5}});
    s.setAttributes({{NSToolTipAttributeName, QStringLiteral("tip")}}, {1, 2});
    EXPECT_EQ(s.attributesAtIndex(1), TextAttributes({{NSToolTipAttributeName, "tip"}}));
    EXPECT_EQ(s.attributesAtIndex(3).size(), 2);
    s.setAttributes({}, {0, 6});
    EXPECT_EQ(runsOf(s), (decltype(runsOf(s)){{0, 6, 0}}));
}

TEST(AttributedStringRuns, EqualValuesOfValueTypesMerge)
{
    AttributedString s(QStringLiteral("link here"));
    s.addAttribute(NSLinkAttributeName, QUrl(QStringLiteral("https://example.org/a")), {0, 4});
    s.addAttribute(NSLinkAttributeName, QUrl(QStringLiteral("https://example.org/a")), {4, 5});
    EXPECT_EQ(s.runCount(), 1);

    const auto file = TextAttachment::FileWrapper::regularFile("PNG");
    s.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(TextAttachment(file)), {0, 1});
    s.addAttribute(NSAttachmentAttributeName, QVariant::fromValue(TextAttachment(file)), {1, 1});
    EXPECT_EQ(s.runCount(), 2);
    s.addAttribute(NSAttachmentAttributeName,
                   QVariant::fromValue(TextAttachment(TextAttachment::FileWrapper::directory())),
                   {1, 1});
    EXPECT_EQ(s.runCount(), 3);
}

TEST(AttributedStringRuns, InvalidValuesAndBadRangesAreIgnoredWithAWarning)
{
    AttributedString s(QStringLiteral("abc"));
    LogCapture log;
    s.addAttribute(NSForegroundColorAttributeName, QVariant(), {0, 3});
    s.addAttribute(NSForegroundColorAttributeName, red, {-1, 2});
    s.addAttribute(NSForegroundColorAttributeName, red, {4, 1});
    s.addAttribute(NSForegroundColorAttributeName, red, {1, -1});
    EXPECT_EQ(runsOf(s), (decltype(runsOf(s)){{0, 3, 0}}));
    EXPECT_EQ(log.lines.size(), 4);

    // A range running past the end is cut there.
    s.addAttribute(NSForegroundColorAttributeName, red, {1, 100});
    EXPECT_EQ(runsOf(s), (decltype(runsOf(s)){{0, 1, 0}, {1, 2, 1}}));
    EXPECT_TRUE(s.attributesAtIndex(3).isEmpty());
    EXPECT_EQ(log.lines.size(), 6);
}

TEST(AttributedStringQueries, WholeSetRangeIsTheRunWithinTheLimit)
{
    AttributedString s(QStringLiteral("aaabbbccc"));
    s.addAttribute(NSForegroundColorAttributeName, red, {3, 3});
    Range range;
    EXPECT_EQ(s.attributesAtIndex(4, &range).value(NSForegroundColorAttributeName), red);
    EXPECT_EQ(range, (Range{3, 3}));
    EXPECT_TRUE(s.attributesAtIndex(8, &range).isEmpty());
    EXPECT_EQ(range, (Range{6, 3}));
    s.attributesAtIndex(4, &range, {4, 5});
    EXPECT_EQ(range, (Range{4, 2}));
}

TEST(AttributedStringQueries, OneAttributeSpansRunsThatDifferElsewhere)
{
    AttributedString s(QStringLiteral("0123456789"));
    s.addAttribute(NSForegroundColorAttributeName, red, {1, 8});
    s.addAttribute(NSUnderlineStyleAttributeName, 1, {3, 2});
    s.addAttribute(NSKernAttributeName, 2.0, {6, 1});
    ASSERT_EQ(s.runCount(), 7);

    Range range;
    EXPECT_EQ(s.attribute(NSForegroundColorAttributeName, 5, &range), QVariant(red));
    EXPECT_EQ(range, (Range{1, 8}));
    EXPECT_EQ(s.attribute(NSForegroundColorAttributeName, 5, &range, {2, 5}), QVariant(red));
    EXPECT_EQ(range, (Range{2, 5}));

    // Absence has its longest range too.
    EXPECT_FALSE(s.attribute(NSUnderlineStyleAttributeName, 8, &range).isValid());
    EXPECT_EQ(range, (Range{5, 5}));
    EXPECT_FALSE(s.attribute(NSUnderlineStyleAttributeName, 0, &range).isValid());
    EXPECT_EQ(range, (Range{0, 3}));

    // A different value ends the range even where the key is present.
    s.addAttribute(NSForegroundColorAttributeName, blue, {7, 1});
    EXPECT_EQ(s.attribute(NSForegroundColorAttributeName, 5, &range), QVariant(red));
    EXPECT_EQ(range, (Range{1, 6}));
}

TEST(AttributedStringQueries, IndexOutsideTheTextGivesNothing)
{
    AttributedString s(QStringLiteral("ab"), {{NSKernAttributeName, 1.0}});
    LogCapture log;
    Range range{9, 9};
    EXPECT_TRUE(s.attributesAtIndex(2, &range).isEmpty());
    EXPECT_EQ(range, (Range{2, 0}));
    EXPECT_FALSE(s.attribute(NSKernAttributeName, -1, &range).isValid());
    EXPECT_TRUE(AttributedString().attributesAtIndex(0).isEmpty());
    EXPECT_EQ(log.lines.size(), 3);
}

TEST(AttributedStringEditing, ReplacedTextTakesTheAttributesOfTheFirstReplacedCharacter)
{
    AttributedString s(QStringLiteral("redblue"));
    s.addAttribute(NSForegroundColorAttributeName, red, {0, 3});
    s.addAttribute(NSForegroundColorAttributeName, blue, {3, 4});

    s.replaceCharactersInRange({2, 3}, QStringLiteral("XY"));
    EXPECT_EQ(s.string(), QStringLiteral("reXYue"));
    Range range;
    EXPECT_EQ(s.attribute(NSForegroundColorAttributeName, 2, &range), QVariant(red));
    EXPECT_EQ(range, (Range{0, 4}));
    EXPECT_EQ(s.attribute(NSForegroundColorAttributeName, 4, &range), QVariant(blue));
    EXPECT_EQ(range, (Range{4, 2}));

    // Inserting takes the character before; at the start, the character after.
    s.replaceCharactersInRange({4, 0}, QStringLiteral("--"));
    EXPECT_EQ(s.attribute(NSForegroundColorAttributeName, 4), QVariant(red));
    s.replaceCharactersInRange({0, 0}, QStringLiteral(">"));
    EXPECT_EQ(s.attribute(NSForegroundColorAttributeName, 0), QVariant(red));
    EXPECT_EQ(s.string(), QStringLiteral(">reXY--ue"));
    EXPECT_EQ(s.runCount(), 2);
}

TEST(AttributedStringEditing, DeletingJoinsEqualNeighbours)
{
    AttributedString s(QStringLiteral("aaXbb"));
    s.addAttribute(NSForegroundColorAttributeName, red, {0, 2});
    s.addAttribute(NSForegroundColorAttributeName, red, {3, 2});
    ASSERT_EQ(s.runCount(), 3);
    s.deleteCharactersInRange({2, 1});
    EXPECT_EQ(s, AttributedString(QStringLiteral("aabb"), {{NSForegroundColorAttributeName, red}}));

    s.deleteCharactersInRange({0, 4});
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(s.runCount(), 0);
    EXPECT_EQ(s, AttributedString());
}

TEST(AttributedStringEditing, AppendInsertAndSubstringKeepRuns)
{
    AttributedString s(QStringLiteral("one"), {{NSKernAttributeName, 1.0}});
    s.appendAttributedString(AttributedString(QStringLiteral("two")));
    s.appendAttributedString(
        AttributedString(QStringLiteral("three"), {{NSKernAttributeName, 1.0}}));
    EXPECT_EQ(runsOf(s), (decltype(runsOf(s)){{0, 3, 1}, {3, 3, 0}, {6, 5, 1}}));

    s.insertAttributedString(AttributedString(QStringLiteral("1"), {{NSKernAttributeName, 1.0}}),
                             3);
    EXPECT_EQ(s.string(), QStringLiteral("one1twothree"));
    EXPECT_EQ(runsOf(s), (decltype(runsOf(s)){{0, 4, 1}, {4, 3, 0}, {7, 5, 1}}));

    const AttributedString middle = s.attributedSubstringFromRange({2, 7});
    EXPECT_EQ(middle.string(), QStringLiteral("e1twoth"));
    EXPECT_EQ(runsOf(middle), (decltype(runsOf(middle)){{0, 2, 1}, {2, 3, 0}, {5, 2, 1}}));

    // Replacing with a rich text keeps its runs and merges at both seams.
    s.replaceCharactersInRange({4, 3},
                               AttributedString(QStringLiteral("2"), {{NSKernAttributeName, 1.0}}));
    EXPECT_EQ(s, AttributedString(QStringLiteral("one12three"), {{NSKernAttributeName, 1.0}}));
}

TEST(AttributedStringEditing, EqualityNeedsTextAndAttributes)
{
    AttributedString a(QStringLiteral("same"));
    AttributedString b(QStringLiteral("same"));
    EXPECT_EQ(a, b);
    b.addAttribute(NSSuperscriptAttributeName, 1, {0, 1});
    EXPECT_NE(a, b);
    b.removeAttribute(NSSuperscriptAttributeName, {0, 1});
    EXPECT_EQ(a, b);
    EXPECT_NE(a, AttributedString(QStringLiteral("Same")));
}

TEST(AttributedStringUnicode, OffsetsCountUtf16UnitsAroundAstralCharacters)
{
    // U+1F600 takes two code units.
    const QString text =
        QStringLiteral("a") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("b");
    ASSERT_EQ(text.size(), 4);
    AttributedString s(text);
    s.addAttribute(NSForegroundColorAttributeName, red, {1, 2});
    s.addAttribute(NSForegroundColorAttributeName, blue, {3, 1});
    Range range;
    EXPECT_EQ(s.attribute(NSForegroundColorAttributeName, 2, &range), QVariant(red));
    EXPECT_EQ(range, (Range{1, 2}));
    EXPECT_EQ(s.attribute(NSForegroundColorAttributeName, 3, &range), QVariant(blue));
    EXPECT_EQ(range, (Range{3, 1}));
}

TEST(AttributedStringLegalCharacters, ControlAndFormatCharactersGoTabStays)
{
    // NUL, vertical tab and zero-width joiner go; the tab, "\r" and "\n" stay.
    AttributedString s(QStringLiteral("A") + QChar(0) + QStringLiteral("B\vC\u200DD\tE\r\nF"));
    s.addAttribute(NSForegroundColorAttributeName, red, {2, 3});  // B \v C
    s.addAttribute(NSForegroundColorAttributeName, blue, {5, 2}); // ZWJ D
    const AttributedString clean = s.attributedStringByRemovingIllegalCharacters();
    EXPECT_EQ(clean.string(), QStringLiteral("ABCD\tE\r\nF"));
    Range range;
    EXPECT_EQ(clean.attribute(NSForegroundColorAttributeName, 1, &range), QVariant(red));
    EXPECT_EQ(range, (Range{1, 2}));
    EXPECT_EQ(clean.attribute(NSForegroundColorAttributeName, 3, &range), QVariant(blue));
    EXPECT_EQ(range, (Range{3, 1}));
    EXPECT_FALSE(clean.attribute(NSForegroundColorAttributeName, 4).isValid());
}

TEST(AttributedStringLegalCharacters, AstralNonCharactersAndUnpairedSurrogates)
{
    const QString smile = QString::fromUcs4(U"\U0001F600");
    QString text = QStringLiteral("x") + smile + QChar(0xD800) + QStringLiteral("y") +
                   QString::fromUcs4(U"\U0001FFFE") + QChar(0xFDD0) + QChar(0xDC00) + smile;
    AttributedString s(text);
    s.addAttribute(NSKernAttributeName, 1.0, {3, 2}); // the lone high surrogate and "y"
    const AttributedString clean = s.attributedStringByRemovingIllegalCharacters();
    EXPECT_EQ(clean.string(), QStringLiteral("x") + smile + QStringLiteral("y") + smile);
    Range range;
    EXPECT_TRUE(clean.attribute(NSKernAttributeName, 3, &range).isValid());
    EXPECT_EQ(range, (Range{3, 1}));

    // A run emptied by the removal leaves its equal neighbours joined.
    AttributedString joined(QStringLiteral("a\u0001b"));
    joined.addAttribute(NSKernAttributeName, 1.0, {1, 1});
    EXPECT_EQ(joined.attributedStringByRemovingIllegalCharacters(),
              AttributedString(QStringLiteral("ab")));

    EXPECT_TRUE(AttributedString::isIllegalCharacter(0x0378));  // unassigned
    EXPECT_FALSE(AttributedString::isIllegalCharacter(0xE000)); // private use is text
    EXPECT_FALSE(AttributedString::isIllegalCharacter(0x00E9));
}
