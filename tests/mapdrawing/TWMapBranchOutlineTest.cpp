#include "MapDrawingFixture.h"
#include "graphics/TWEnclosedGraphic.h"
#include "mapdrawing/TWMapBranch_Outline.h"

using namespace MapDrawingTest;
namespace BO = TWBranchOutline;

namespace {

// Plan (with a note holding a tab and a line break) has the children Do
// (two attached text areas a and b) and Skip, whose collapsed child Gone is
// hidden.
class OutlineTest : public MapFixture
{
protected:
    OutlineTest()
    {
        root->enclosedTextArea()->setString("Plan");
        setNote(*root, "See\tit\nnow");
        for (const char *text : {"a", "b"}) {
            auto area = TWGraphic::make<TWTextArea>(Rect(600, 100, 40, 20));
            area->setString(QString::fromLatin1(text));
            doBranch->insertObjectInLinkedGraphicsAtIndex(area, doBranch->countOfLinkedGraphics());
        }
        // Neither a text area nor one with text: never written.
        doBranch->insertObjectInLinkedGraphicsAtIndex(TWGraphic::make<TWRectangle>(Rect()), 0);
        doBranch->insertObjectInLinkedGraphicsAtIndex(TWGraphic::make<TWTextArea>(Rect()), 0);
        skip->setChildrenHidden(true);
        settle();
    }
    void setNote(TWMapBranch &branch, const QString &text)
    {
        auto note = attachedText();
        note->setText(std::make_shared<const AttributedString>(text));
        branch.insertObjectInAttachedTextArrayAtIndex(note, 0);
    }
    // Number labels as the renumbering makes them, shown by the map.
    void numberChildren()
    {
        map->branchDisplaySettingsForUpdate().showOutlineNumbers = true;
        int n = 0;
        for (const auto &c : root->children()) {
            auto label = TWGraphic::make<TWTextArea>(Rect());
            label->setString(QString::number(++n));
            // An empty label before it is passed over.
            auto empty = TWGraphic::make<TWTextArea>(Rect());
            c->insertObjectInOtherEnclosedGraphicsAtIndex(
                std::make_shared<TWEnclosedGraphic>("n", std::nullopt, label), 0);
            c->insertObjectInOtherEnclosedGraphicsAtIndex(
                std::make_shared<TWEnclosedGraphic>("e", std::nullopt, empty), 0);
        }
    }
    static ParagraphStyle styleAt(const AttributedString &text, qsizetype index)
    {
        return text.attribute(NSParagraphStyleAttributeName, index).value<ParagraphStyle>();
    }

    std::shared_ptr<TWMapBranch> doBranch = child(root, 100, "Do");
    std::shared_ptr<TWMapBranch> skip = child(root, 200, "Skip");
    std::shared_ptr<TWMapBranch> gone = child(skip, 200, "Gone", 700);
};

TEST_F(OutlineTest, WritesEachLayoutAndOption)
{
    using S = BO::Settings;
    struct Case
    {
        const char *name;
        S settings;
        bool numbers;
        QString text;
    };
    const Case cases[] = {
        {"rich label", {16, 0}, false, "Plan\nDo\nSkip"},
        {"rich hidden", {16 | 8, 0}, false, "Plan\nDo\nSkip\nGone"},
        {"rich notes", {16 | 1, 0}, false, "Plan\nSee\tit\nnow\n\nDo\nSkip"},
        {"rich linked", {16 | 2, 0}, false, "Plan\nDoa\n|b\n\nSkip"},
        {"rich, any other type", {16 | 2, 7}, false, "Plan\nDoa\n|b\n\nSkip"},
        {"rich numbers", {16, 0}, true, "Plan\n1\tDo\n2\tSkip"},
        {"rich nothing", {0, 0}, false, "\n\n"},
        {"tabs", {16, 1, 2}, false, "Plan\n\tDo\n\tSkip\n"},
        {"spaces", {16, 1, 1, 3}, false, "Plan\n   Do\n   Skip\n"},
        {"no spaces", {16, 1, 1, 0}, false, "Plan\nDo\nSkip\n"},
        {"tabs, hidden", {16 | 8, 1, 2}, false, "Plan\n\tDo\n\tSkip\n\t\tGone\n"},
        {"flattened notes", {16 | 1, 1, 2}, false, "Plan|See it now\n\n\tDo|\n\tSkip|\n"},
        {"notes, no label", {1, 1, 2}, false, "See it now\n\t\t"},
        {"notes and linked", {16 | 1 | 2, 1, 0}, false, "Plan|See it now|\nDo|\nSkip|\n"},
        {"graphic text", {16 | 2, 1, 2, 0, false, true}, false, "Plan||\n\tDo||a|b\n\tSkip||\n"},
        {"linked without graphic text", {16 | 2, 1, 2}, false, "Plan\n\tDo\n\tSkip\n"},
        {"number before the tab", {16, 1, 2}, true, "Plan\n(1)\tDo\n(2)\tSkip\n"},
    };
    for (const Case &c : cases) {
        map->branchDisplaySettingsForUpdate().showOutlineNumbers = false;
        for (const auto &b : root->children())
            b->removeAllOtherEnclosedGraphics();
        if (c.numbers)
            numberChildren();
        EXPECT_EQ(BO::createTextOfType(*map, c.settings).string(), c.text) << c.name;
    }
}

TEST_F(OutlineTest, RichLayoutIndentsEachPartByLevel)
{
    const AttributedString text = BO::createTextOfType(*map, {16 | 8 | 2 | 1, 0});
    const QString s = text.string();
    struct Part
    {
        QString at;
        double first, head;
    };
    const Part parts[] = {{"Plan", 0, 20}, {"See", 20, 20}, {"Do", 20, 40},
                          {"a\n", 50, 50}, {"|b", 50, 50},  {"Gone", 40, 60}};
    for (const Part &p : parts) {
        const qsizetype index = s.indexOf(p.at);
        ASSERT_GE(index, 0) << p.at.toStdString();
        const ParagraphStyle style = styleAt(text, index);
        EXPECT_EQ(style.firstLineHeadIndent, p.first) << p.at.toStdString();
        EXPECT_EQ(style.headIndent, p.head) << p.at.toStdString();
    }
    // The label's one tab stop replaces the default ones.
    EXPECT_EQ(BO::labelStyle(1).tabStops, QList<TextTab>{TextTab(LeftTextAlignment, 60)});
    EXPECT_EQ(BO::noteStyle(1).tabStops, ParagraphStyle::defaultTabStops());
    // The line break that opens a branch's group belongs to it.
    EXPECT_EQ(styleAt(text, s.indexOf("Do") - 1), BO::labelStyle(1));
}

TEST_F(OutlineTest, EntryPointsChooseTheirSettings)
{
    struct Case
    {
        const char *name;
        AttributedString text;
        QString expected;
    };
    const Case cases[] = {
        // Hidden branches come along; the branch alone, then its children.
        {"copy of the root", BO::copyTextOfBranch(*root),
         "Plan\nSee\tit\nnow\n\nDoa\n|b\n\nSkip\nGone"},
        {"copy of a collapsed branch", BO::copyTextOfBranch(*skip), "Skip\nGone"},
        {"printing", BO::generateAttributedStringForPrinting(*map, 16 | 2, 2, 4),
         "Plan\nDoa\n|b\n\nSkip"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.text.string(), c.expected) << c.name;
    // The copied branch stands at level 0 even deep in the map.
    const AttributedString copy = BO::copyTextOfBranch(*skip);
    EXPECT_EQ(styleAt(copy, 0), BO::labelStyle(0));
    EXPECT_EQ(styleAt(copy, copy.string().indexOf("Gone")), BO::labelStyle(1));
    // A label keeps its own attributes in the rich layout.
    const Color red = Color::colorWithCalibratedRed(1, 0, 0);
    doBranch->enclosedTextArea()->setStringAttributes(
        {{NSForegroundColorAttributeName, QVariant::fromValue(red)}});
    const AttributedString text = BO::createTextOfType(*map, {16, 0});
    EXPECT_EQ(
        text.attribute(NSForegroundColorAttributeName, text.string().indexOf("Do")).value<Color>(),
        red);
}

TEST_F(OutlineTest, FlatteningTurnsEveryBlankIntoASpace)
{
    EXPECT_EQ(BO::flattenedText(QString::fromUtf16(u"a\tb\nc\rd\u2028e\u00a0f g")),
              "a b c d e f g");
}

TEST_F(OutlineTest, NoteEditorKeepsTheFirstAttachedText)
{
    struct Case
    {
        const char *name;
        int notesBefore;
        QString typed;
        int notesAfter;
        bool resized;
    };
    const Case cases[] = {
        {"typing makes a note", 0, "new", 1, true},
        {"clearing removes only the first", 2, "", 1, true},
        {"editing replaces the text", 2, "changed", 2, false},
        {"clearing without notes", 0, "", 0, false},
    };
    for (const Case &c : cases) {
        doBranch->removeAllAttachedTextArray();
        for (int i = 0; i < c.notesBefore; ++i)
            setNote(*doBranch, QStringLiteral("note %1").arg(c.notesBefore - i));
        settle();
        // A size no label gives: resizing to fit is seen as a change.
        const Rect odd(500, 100, 321, 123);
        doBranch->mainGraphic()->setBounds(odd);
        settle();
        undo->removeAllActions();
        BO::noteTextDidChange(*doBranch, AttributedString(c.typed));
        ASSERT_EQ(doBranch->countOfAttachedTextArray(), c.notesAfter) << c.name;
        if (c.notesAfter > 0) {
            const QString expected = c.typed.isEmpty() ? "note 2" : c.typed;
            EXPECT_EQ(doBranch->primaryAttachedText()->string(), expected) << c.name;
        }
        EXPECT_EQ(doBranch->mainGraphic()->bounds() != odd, c.resized) << c.name;
        // Undo brings the notes back as they were.
        settle();
        EXPECT_EQ(undo->canUndo(), c.notesBefore + c.notesAfter > 0) << c.name;
        if (undo->canUndo())
            undo->undo();
        EXPECT_EQ(doBranch->countOfAttachedTextArray(), c.notesBefore) << c.name;
        if (c.notesBefore > 0) {
            EXPECT_EQ(doBranch->primaryAttachedText()->string(), "note 1") << c.name;
        }
    }
    EXPECT_EQ(BO::undoManagerForNoteEditor(*doBranch), undo.get());
}

} // namespace
