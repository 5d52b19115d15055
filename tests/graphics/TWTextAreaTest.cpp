#include "BranchTestSupport.h"
#include "graphics/TWFlexiBranch.h"
#include "graphics/TWFlexiBranchTransformedCharacter.h"
#include "model/TWRecordSupport.h"

using namespace BranchTest;

namespace {

class TWTextAreaTest : public BranchFixture
{
protected:
    std::shared_ptr<TWTextArea> freeText(const std::shared_ptr<TWMapBranch> &branch, Rect bounds)
    {
        auto text = TWGraphic::make<TWTextArea>(bounds);
        branch->insertObjectInLinkedGraphicsAtIndex(text, 0);
        text->setBranch(branch.get());
        settle();
        return text;
    }
};

TEST_F(TWTextAreaTest, SettingTheTextUndoesAndAnnounces)
{
    auto a = child(root, 100, "a");
    auto label = a->enclosedTextArea();
    EXPECT_EQ(label->lineFragmentPadding(), 5.0f);
    settle();
    Recorder recorder({TWGraphic::GraphicNeedsRedrawNotification,
                       TWTextArea::UpdateTextEditorTextNotification,
                       TWRecord::ValueDidChangeNotification, TWMapsDoc::UpdateMapTabsNotification});

    // The same text: no undo and no redraw, but the label still announces.
    const int steps = undo->undoStepCount();
    label->setString("a");
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps);
    EXPECT_EQ(recorder.names(), QStringList({"ValueDidChangeNotification"}));

    recorder.clear();
    label->setString("changed");
    undo->closeEventGroup();
    EXPECT_EQ(recorder.names(),
              QStringList({"GraphicNeedsRedrawNotification", "ValueDidChangeNotification"}));
    recorder.clear();
    undo->undo();
    EXPECT_EQ(label->outlineString(), "a");
    EXPECT_EQ(recorder.count(TWTextArea::UpdateTextEditorTextNotification), 1);

    // The root's label names an unnamed map's tab; a free text on the root does not.
    recorder.clear();
    root->enclosedTextArea()->setString("central");
    auto note = freeText(root, Rect(0, 0, 50, 20));
    note->setString("note");
    EXPECT_EQ(recorder.count(TWMapsDoc::UpdateMapTabsNotification), 1);
}

TEST_F(TWTextAreaTest, PlainStringsKeepTheAttributesAndRefitTheBranch)
{
    auto a = child(root, 100, "a");
    auto label = a->enclosedTextArea();
    const Font font(QStringLiteral("Helvetica"), 18);
    label->setText(AttributedString("bold", {{NSFontAttributeName, QVariant::fromValue(font)}}));
    label->setString("other");
    EXPECT_EQ(label->font(), font);
    EXPECT_EQ(label->stringAttributes()->value(NSFontAttributeName).value<Font>(), font);
    label->setString(QString());
    EXPECT_FALSE(label->font());
    EXPECT_FALSE(label->stringAttributes());

    settle();
    label->setOutlineString(QVariant::fromValue(AttributedString("rich")));
    EXPECT_EQ(label->outlineString(), "rich");
    label->setOutlineString(QVariant(42)); // refused, but the branch still refits
    EXPECT_EQ(label->outlineString(), "rich");
    EXPECT_EQ(layout->calls, QStringList({"natural size rich 0 0", "natural size rich 0 0"}));
}

TEST_F(TWTextAreaTest, OnlyOneTextAreaEditsAtATime)
{
    // The other text area belongs to another document altogether.
    auto otherDoc = TWMapsDoc::create();
    auto otherMap = TWMap::create(otherDoc.get());
    otherDoc->addMap(otherMap, true);
    auto otherRoot = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 50, 20)),
                                                    nullptr, otherMap.get());
    otherMap->setRoot(otherRoot);
    auto a = child(root, 100, "a");

    Recorder recorder({TWTextArea::TextAreaEditingStateChangedNotification});
    otherRoot->enclosedTextArea()->setIsEditing(true);
    a->enclosedTextArea()->setIsEditing(true);
    EXPECT_FALSE(otherRoot->enclosedTextArea()->isEditing());
    EXPECT_TRUE(a->enclosedTextArea()->isEditing());
    ASSERT_EQ(recorder.notifications.size(), 3);
    EXPECT_EQ(recorder.notifications[1].sender, otherRoot->enclosedTextArea().get());
    EXPECT_EQ(recorder.notifications[2].sender, a->enclosedTextArea().get());

    // Anyone may end every edit.
    NotificationCenter::defaultCenter().post(TWTextArea::StopAllTextEditingNotification);
    EXPECT_FALSE(a->enclosedTextArea()->isEditing());
    otherDoc->detach();
}

TEST_F(TWTextAreaTest, KnobsAndSelectionByKind)
{
    auto a = child(root, 100, "a");
    auto note = freeText(a, Rect(0, 0, 50, 20));
    auto flexiBranch = TWMapBranch::createWithGraphic(
        TWGraphic::make<TWFlexiBranch>(Rect(600, 100, 200, 30)), root.get(), map.get());
    struct Case
    {
        std::shared_ptr<TWTextArea> text;
        int mask;
        bool selectable, editable, hit;
    } cases[] = {
        {a->enclosedTextArea(), 48, true, true, true},
        {note, -1, true, true, true},
        {flexiBranch->enclosedTextArea(), 0, false, true, false},
    };
    for (const Case &c : cases) {
        const Rect b = c.text->bounds();
        EXPECT_EQ(c.text->knobMask(), c.mask);
        EXPECT_EQ(c.text->canBeSelected(), c.selectable);
        EXPECT_EQ(c.text->isEditable(), c.editable);
        EXPECT_EQ(c.text->hitTest(Point(b.midX(), b.midY()), false), c.hit);
    }
}

TEST_F(TWTextAreaTest, KnobResizeKeepsTheTextWidthAndTheMinimumHeight)
{
    auto a = child(root, 100, "a");
    auto note = freeText(a, Rect(100, 100, 200, 40));
    note->setString("Wide enough words");
    const float needed = note->requiredSizeForWidth(0).width;
    ASSERT_GT(needed, 15.0f);

    // The right knob dragged across the left edge: the right edge stays.
    EXPECT_EQ(note->resizeByMovingKnob(5, Point(60, 120), false), 4);
    EXPECT_TRUE(note->flippedHorizontally());
    EXPECT_FLOAT_EQ(note->bounds().maxX(), 300);
    EXPECT_FLOAT_EQ(note->bounds().width(), needed);

    // Too narrow for its text: as wide as the text needs, from the left edge.
    note->setBounds(Rect(100, 100, 200, 40));
    EXPECT_EQ(note->resizeByMovingKnob(8, Point(105, 105), false), 8);
    EXPECT_EQ(note->bounds(), Rect(100, 100, needed, 15));
}

TEST_F(TWTextAreaTest, FlexiCharactersAreDerivedDataWithoutUndo)
{
    auto flexiBranch = TWMapBranch::createWithGraphic(
        TWGraphic::make<TWFlexiBranch>(Rect(100, 100, 200, 30)), root.get(), map.get());
    auto label = flexiBranch->enclosedTextArea();
    settle();
    const int steps = undo->undoStepCount();
    for (int i = 0; i < 3; ++i) {
        auto character = std::make_shared<TWFlexiBranchTransformedCharacter>();
        character->setTransform(QTransform::fromTranslate(i, 0));
        label->insertObjectInCachedFlexiCharactersAtIndex(character, i);
    }
    label->replaceObjectInCachedFlexiCharactersAtIndex(
        0, std::make_shared<TWFlexiBranchTransformedCharacter>());
    label->removeObjectFromCachedFlexiCharactersAtIndex(0);
    label->moveCachedFlexiCharactersBy(10, 5);
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoStepCount(), steps);
    ASSERT_EQ(label->countOfCachedFlexiCharacters(), 2);
    EXPECT_EQ(label->objectInCachedFlexiCharactersAtIndex(1)->transform().map(QPointF(0, 0)),
              QPointF(12, 5));

    // A new text empties the cache; undoing the text does not bring characters back.
    label->setString("new");
    EXPECT_EQ(label->countOfCachedFlexiCharacters(), 0);
}

} // namespace
