#include "CanvasTestSupport.h"

#include "canvas/SpellableTextView.h"
#include "graphics/TWFlexiBranch.h"
#include "model/TWRecordSupport.h"
#include "platform/SpellChecker.h"
#include "support/Color.h"
#include "support/Font.h"

#include <QApplication>
#include <QFontDialog>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using namespace CanvasTest;

namespace {

const QChar kMarker(0xFFFC);

} // namespace

// A map whose root (300, 200, 100 x 40) has no children yet; "kid" is added
// where a test needs a branch with children.
class CanvasEditing : public CanvasFixture
{
protected:
    CanvasEditing() : editor(view.editorView())
    {
        alerts.clear();
        view.setDirivOzazDelay(60000);
    }

    void edit(const std::shared_ptr<TWMapBranch> &branch)
    {
        select({branch});
        view.startEditingSelectedBranch();
        ASSERT_EQ(view.editingTextArea(), branch->enclosedTextArea().get());
    }
    // Keys typed one event-loop pass apart, as a user types them.
    void type(const QList<int> &keys, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
              int delay = 1)
    {
        for (int key : keys)
            QTest::keyClick(editor, Qt::Key(key), modifiers, delay);
    }
    void typeText(const QString &text, int delay = 1)
    {
        for (QChar c : text)
            QTest::keyClicks(editor, QString(c), Qt::NoModifier, delay);
    }
    // Counts how often the label's text reached the model.
    int commitsOf(const Recorder &recorder, const TWTextArea *text) const
    {
        int count = 0;
        for (const Notification &n : recorder.notifications)
            if (n.sender.identity() == text &&
                n.userInfo.value(TWRecord::KeyKey).toString() == TWTextArea::OutlineStringKey)
                ++count;
        return count;
    }
    QStringList childNames(const std::shared_ptr<TWMapBranch> &branch) const
    {
        return names(branch->children());
    }

    SpellableTextView *editor;
};

TEST_F(CanvasEditing, RapidEntrySplitsMarkersIntoChildrenWhenEditingEnds)
{
    const struct
    {
        bool locked;
        int modeAfter;
    } cases[] = {{false, TWGraphicView::SelectMode}, {true, TWGraphicView::RapidEntryMode}};
    for (const auto &c : cases) {
        for (const auto &kid : root->children())
            kid->remove();
        root->enclosedTextArea()->setString("root");
        settle();
        view.setDrawingMode(TWGraphicView::RapidEntryMode);
        view.setModeLockedIn(c.locked);
        edit(root);
        type({Qt::Key_A, Qt::Key_Return, Qt::Key_B, Qt::Key_Return, Qt::Key_Return, Qt::Key_C,
              Qt::Key_Escape});
        QCoreApplication::processEvents(); // the mode follows after the key
        settle();
        EXPECT_EQ(view.editingTextArea(), nullptr);
        EXPECT_EQ(BranchTest::nameOf(*root), "a");
        EXPECT_EQ(childNames(root), QStringList({"b", "c"}));
        EXPECT_EQ(view.drawingMode(), c.modeAfter) << c.locked;
        // One step makes both children.
        EXPECT_EQ(undo->undoActionName(), "New Branch");
        undo->undo();
        EXPECT_TRUE(root->children().empty());
        EXPECT_NE(undo->undoActionName(), "New Branch");
        view.setModeLockedIn(false);
        view.setDrawingMode(TWGraphicView::SelectMode);
    }
}

TEST_F(CanvasEditing, RapidEntrySplitsFinishedSegmentsAPauseAfterTheLastKeystroke)
{
    const struct
    {
        QList<int> keys;
        QStringList children;
        QString editorText;
    } cases[] = {
        // The segment being typed stays in the editor.
        {{Qt::Key_A, Qt::Key_Return, Qt::Key_B}, {}, QStringLiteral("a\uFFFCb")},
        {{Qt::Key_A, Qt::Key_Return, Qt::Key_B, Qt::Key_Return}, {"b"}, QStringLiteral("a\uFFFC")},
        {{Qt::Key_A, Qt::Key_Return, Qt::Key_B, Qt::Key_Return, Qt::Key_C},
         {"b"},
         QStringLiteral("a\uFFFCc")},
    };
    view.setDrawingMode(TWGraphicView::RapidEntryMode);
    view.setModeLockedIn(true);
    for (const auto &c : cases) {
        for (const auto &kid : root->children())
            kid->remove();
        settle();
        view.setDirivOzazDelay(60000);
        edit(root);
        type(c.keys);
        view.setDirivOzazDelay(40);
        // A keystroke re-arms the pause.
        type({Qt::Key_Shift});
        QTest::qWait(150);
        EXPECT_EQ(childNames(root), c.children) << c.editorText.toStdString();
        EXPECT_EQ(editor->attributedString().string(), c.editorText);
        EXPECT_EQ(view.editingTextArea(), root->enclosedTextArea().get());
        const auto caret = editor->selectedRange();
        EXPECT_LE(caret.end(), c.editorText.size());
        EXPECT_EQ(caret.location, c.editorText.size()); // typing goes on at the end
        view.setDirivOzazDelay(60000);
        view.setModeLockedIn(true);
        view.endEditingTextArea();
        settle();
    }
}

TEST_F(CanvasEditing, ReturnMakesAMarkerOnlyInRapidEntry)
{
    const struct
    {
        int mode;
        QChar inserted;
    } cases[] = {
        {TWGraphicView::SelectMode, QChar('\n')},
        {TWGraphicView::AddChildMode, QChar('\n')}, // no stray markers in labels
        {TWGraphicView::RapidEntryMode, kMarker},
    };
    for (const auto &c : cases) {
        view.setDrawingMode(c.mode);
        view.setModeLockedIn(true);
        edit(root);
        typeText("x");
        type({Qt::Key_Return});
        EXPECT_EQ(editor->attributedString().string(), QString("x") + c.inserted) << c.mode;
        view.endEditingTextArea();
        settle();
    }
}

TEST_F(CanvasEditing, AChildThatCannotBeMadeIsSkipped)
{
    view.setDrawingMode(TWGraphicView::RapidEntryMode);
    edit(root);
    document->setGraphicClassIdentifier(99); // no shape of that type
    type({Qt::Key_A, Qt::Key_Return, Qt::Key_B, Qt::Key_Escape});
    settle();
    EXPECT_EQ(BranchTest::nameOf(*root), "a");
    EXPECT_TRUE(root->children().empty());
    EXPECT_EQ(view.editingTextArea(), nullptr);
}

TEST_F(CanvasEditing, RedrawTimeZeroCommitsEveryKeystrokeAndALongerOneCoalesces)
{
    const struct
    {
        double redrawTime;
        int commits;
    } cases[] = {{0, 3}, {0.1, 1}};
    for (const auto &c : cases) {
        edit(root);
        Recorder recorder({TWRecord::ValueDidChangeNotification});
        QSignalSpy marked(&view, &TWGraphicView::displayMarked);
        for (const QString &key : {"x", "y", "z"}) {
            view.setRedrawTime(c.redrawTime); // the commit retunes it
            QTest::keyClicks(editor, key);
        }
        if (c.redrawTime > 0) {
            // Nothing committed or drawn yet: the redraws wait for the commit.
            EXPECT_EQ(commitsOf(recorder, root->enclosedTextArea().get()), 0);
            EXPECT_EQ(marked.count(), 0);
            EXPECT_TRUE(view.hasStoredText());
            ASSERT_TRUE(waitUntil([&] { return !view.hasStoredText(); }));
            EXPECT_GE(marked.count(), 1);
        }
        EXPECT_EQ(commitsOf(recorder, root->enclosedTextArea().get()), c.commits) << c.redrawTime;
        EXPECT_EQ(BranchTest::nameOf(*root), "xyz");
        EXPECT_EQ(undo->undoActionName(), "Edit text");
        view.endEditingTextArea();
        root->enclosedTextArea()->setString("root");
        settle();
    }
}

TEST_F(CanvasEditing, EditingABranchWithChildrenStartsCoalescing)
{
    const struct
    {
        bool withChild;
        double redrawTime;
    } cases[] = {{false, 0}, {true, 0.1}};
    for (const auto &c : cases) {
        if (c.withChild)
            child(root, 100, "kid");
        edit(root);
        EXPECT_EQ(view.redrawTime(), c.redrawTime);
        view.endEditingTextArea();
        settle();
    }
}

TEST_F(CanvasEditing, PredictedLabelBoundsFollowTheShapeAndExpansionRules)
{
    // A line branch right of the root: its label grows upward, 3 points
    // above the line.
    auto line = TWMapBranch::createWithGraphic(
        TWMapBranch::makeMainGraphicOfType(1, Rect(500, 300, 120, 2)), root.get(), map.get());
    line->enclosedTextArea()->setString("on a line");
    settle();
    ASSERT_EQ(line->mainGraphic()->getTextAlignmentMode(), 0);
    edit(line);
    view.setRedrawTime(0);
    typeText("one");
    type({Qt::Key_Return});
    typeText("two");
    const Rect mg = line->mainGraphic()->bounds();
    const Rect predicted = view.cachedEditingTABounds();
    EXPECT_FLOAT_EQ(predicted.maxY(), mg.y() - 3.0f);
    EXPECT_GT(predicted.height(), 25.0f); // two lines
    EXPECT_EQ(editor->frame(), predicted);
    EXPECT_EQ(line->enclosedTextArea()->bounds(), predicted); // committed as predicted
    view.endEditingTextArea();
    settle();

    // A rectangle keeps its label centred on the shape.
    edit(root);
    view.setRedrawTime(0);
    typeText("centred");
    const Rect shape = root->mainGraphic()->bounds();
    const Rect label = view.cachedEditingTABounds();
    EXPECT_NEAR(label.midY(), shape.midY(), 0.01);
    view.endEditingTextArea();
    settle();

    // On a flexi branch the label lies over the curve, as wide as the curve
    // leaves it, whatever is typed.
    auto bend = TWMapBranch::createWithGraphic(
        TWMapBranch::makeMainGraphicOfType(5, Rect(520, 420, 160, 40)), root.get(), map.get());
    bend->enclosedTextArea()->setString("bent");
    settle();
    auto *flexi = dynamic_cast<TWFlexiBranch *>(bend->mainGraphic().get());
    ASSERT_NE(flexi, nullptr);
    edit(bend);
    EXPECT_FALSE(editor->isHorizontallyResizable());
    const float width = editor->containerWidth();
    EXPECT_FLOAT_EQ(view.cachedEditingTABounds().y(), flexi->yPositionForEnclosedTextArea());
    view.setRedrawTime(0);
    typeText("a longer text");
    EXPECT_FLOAT_EQ(view.cachedEditingTABounds().width(), width);
    EXPECT_NEAR(view.cachedEditingTABounds().midX(), flexi->bounds().midX(), 0.01);
}

TEST_F(CanvasEditing, EditorWidthIsFixedOrGrowsByTheLabelsWidthAndWrapping)
{
    const float textMaxWidth = root->textMaxWidth();
    const struct
    {
        QString text;
        float labelWidth;
        bool resizable;
        float container; // 0: the label's width
    } cases[] = {
        // At its minimum width an empty label grows up to the text width.
        {"", 10, true, textMaxWidth},
        // Wider than its minimum and already wrapping: the width stays.
        {"a text long enough to wrap in forty points", 40, false, 0},
    };
    for (const auto &c : cases) {
        const auto text = root->enclosedTextArea();
        text->setString(c.text);
        Rect b = text->bounds();
        text->setBounds(Rect(b.x(), b.y(), c.labelWidth, b.height()));
        settle();
        edit(root);
        EXPECT_EQ(editor->isHorizontallyResizable(), c.resizable) << c.text.toStdString();
        EXPECT_FLOAT_EQ(editor->containerWidth(), c.container ? c.container : c.labelWidth);
        view.setRedrawTime(0);
        editor->moveCursor(QTextCursor::End);
        typeText(" and more words");
        if (c.resizable)
            EXPECT_GT(view.cachedEditingTABounds().width(), c.labelWidth);
        else
            EXPECT_FLOAT_EQ(view.cachedEditingTABounds().width(), c.labelWidth);
        view.endEditingTextArea();
        settle();
    }
}

TEST_F(CanvasEditing, UndoWhileEditingCommitsTheTypedTextFirst)
{
    edit(root);
    view.setRedrawTime(0.1); // the keystrokes stay pending
    typeText("new", 0);
    ASSERT_TRUE(view.hasStoredText());
    ASSERT_TRUE(view.actionRouter().sendAction("undo:"));
    EXPECT_EQ(view.editingTextArea(), nullptr);
    EXPECT_EQ(BranchTest::nameOf(*root), "root");
    EXPECT_EQ(undo->redoActionName(), "Edit text");
    undo->redo();
    EXPECT_EQ(BranchTest::nameOf(*root), "new");
}

TEST_F(CanvasEditing, TabAddsAChildUnlessCommandOrControlIsHeld)
{
    const struct
    {
        Qt::KeyboardModifiers modifiers;
        int children;
    } cases[] = {
        {Qt::NoModifier, 1},
        {Qt::AltModifier, 1},     // Option
        {Qt::MetaModifier, 0},    // Control: the text's
        {Qt::ControlModifier, 0}, // Command
    };
    for (const auto &c : cases) {
        for (const auto &kid : root->children())
            kid->remove();
        settle();
        edit(root);
        type({Qt::Key_Tab}, c.modifiers);
        settle();
        EXPECT_EQ(int(root->children().size()), c.children) << int(c.modifiers);
        view.endEditingTextArea();
        settle();
    }
}

TEST_F(CanvasEditing, ShiftTabAddsASiblingAndBeepsOnTheRoot)
{
    auto kid = child(root, 100, "kid");
    settle();
    edit(root);
    type({Qt::Key_Backtab}, Qt::ShiftModifier);
    EXPECT_EQ(alerts.beepCount(), 1);
    EXPECT_EQ(root->children().size(), 1u);
    EXPECT_EQ(view.editingTextArea(), nullptr);
    edit(kid);
    type({Qt::Key_Backtab}, Qt::ShiftModifier);
    settle();
    EXPECT_EQ(root->children().size(), 2u);
}

// Typing on from one label to the next: Tab for a child, Shift-Tab for a
// sibling, each new label taking what is typed next, in order.
TEST_F(CanvasEditing, TabAndShiftTabTypeOnIntoTheNewLabel)
{
    const struct
    {
        const char *what;
        QList<std::pair<int, QString>> steps; // the key before each label typed
        QStringList rootChildren;
        QStringList firstChildren;
    } cases[] = {
        {"siblings",
         {{Qt::Key_Tab, "one"}, {Qt::Key_Backtab, "two"}, {Qt::Key_Backtab, "three"}},
         {"one", "two", "three"},
         {}},
        {"a child then a sibling of it",
         {{Qt::Key_Tab, "one"}, {Qt::Key_Tab, "deep"}, {Qt::Key_Backtab, "deeper"}},
         {"one"},
         {"deep", "deeper"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto &kid : root->children())
            kid->remove();
        settle();
        edit(root);
        for (const auto &[key, text] : c.steps) {
            type({key}, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            settle();
            ASSERT_TRUE(view.editingTextArea());
            typeText(text);
        }
        type({Qt::Key_Escape});
        settle();
        EXPECT_EQ(view.editingTextArea(), nullptr);
        EXPECT_EQ(childNames(root), c.rootChildren);
        ASSERT_FALSE(root->children().empty());
        EXPECT_EQ(childNames(root->children().first()), c.firstChildren);
        EXPECT_EQ(alerts.beepCount(), 0);
    }
}

// A label finished after rapid entry keeps its text alone: no marker and no
// empty child is left of the Return typed last, whether the pause split the
// segments before or the end of editing does.
TEST_F(CanvasEditing, RapidEntryLeavesNoMarkerInTheLabel)
{
    const struct
    {
        const char *what;
        bool pause;
        QList<int> keys;
    } cases[] = {
        {"ended at once", false, {Qt::Key_A, Qt::Key_Return, Qt::Key_B, Qt::Key_Return}},
        {"ended after the pause", true, {Qt::Key_A, Qt::Key_Return, Qt::Key_B, Qt::Key_Return}},
        {"a lone Return", true, {Qt::Key_A, Qt::Key_Return}},
    };
    view.setDrawingMode(TWGraphicView::RapidEntryMode);
    view.setModeLockedIn(true);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto &kid : root->children())
            kid->remove();
        settle();
        view.setDirivOzazDelay(60000);
        edit(root);
        type(c.keys);
        if (c.pause) {
            view.setDirivOzazDelay(40);
            type({Qt::Key_Shift});
            QTest::qWait(150);
        }
        type({Qt::Key_Escape});
        settle();
        EXPECT_EQ(view.editingTextArea(), nullptr);
        EXPECT_EQ(root->enclosedTextArea()->text().string(), QStringLiteral("a"));
        const QStringList expected = c.keys.count(Qt::Key_B) ? QStringList{"b"} : QStringList{};
        EXPECT_EQ(childNames(root), expected);
        for (const auto &kid : root->children())
            EXPECT_FALSE(kid->enclosedTextArea()->text().string().contains(kMarker));
    }
    view.setModeLockedIn(false);
    view.setDrawingMode(TWGraphicView::SelectMode);
}

TEST_F(CanvasEditing, EscapeAndHomeEndEditing)
{
    edit(root);
    type({Qt::Key_Escape});
    EXPECT_EQ(view.editingTextArea(), nullptr);
    EXPECT_FALSE(root->enclosedTextArea()->isEditing());

    edit(root);
    QInputMethodEvent composing(QStringLiteral("ka"), {});
    QCoreApplication::sendEvent(editor, &composing);
    ASSERT_TRUE(editor->hasMarkedText());
    type({Qt::Key_Escape}); // cancels the composition only
    EXPECT_FALSE(editor->hasMarkedText());
    EXPECT_EQ(view.editingTextArea(), root->enclosedTextArea().get());

    type({Qt::Key_Home});
    EXPECT_EQ(view.editingTextArea(), nullptr);
    ASSERT_EQ(map->countOfSelectedGraphics(), 1);
    EXPECT_EQ(map->selectedGraphics().first(), root->mainGraphic());
}

TEST_F(CanvasEditing, ReturnOnTheCanvasEditsTheOneSelectedBranch)
{
    auto kid = child(root, 100, "kid");
    settle();
    select({root, kid});
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(alerts.beepCount(), 1);
    EXPECT_EQ(view.editingTextArea(), nullptr);
    map->removeAllSelectedGraphics();
    map->insertObjectInSelectedGraphicsAtIndex(kid->mainGraphic(), 0);
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(view.editingTextArea(), kid->enclosedTextArea().get());
    EXPECT_TRUE(editor->isVisibleTo(view.viewport()));
    EXPECT_EQ(editor->attributedString().string(), "kid");
    EXPECT_EQ(editor->selectedRange(), (AttributedString::Range{0, 3}));
    // Another text starting to edit ends this one first.
    root->enclosedTextArea()->setIsEditing(true);
    EXPECT_FALSE(kid->enclosedTextArea()->isEditing());
    EXPECT_EQ(view.editingTextArea(), root->enclosedTextArea().get());
}

TEST_F(CanvasEditing, FontSizeStepsAreRefusedBelowOnePoint)
{
    const struct
    {
        double size;
        float delta;
        bool accepted;
        double after;
    } cases[] = {{12, 1, true, 13}, {12, -1, true, 11}, {2, -1, true, 1}, {1, -1, false, 1}};
    for (const auto &c : cases) {
        root->enclosedTextArea()->setText(AttributedString(
            "abc", {{NSFontAttributeName, QVariant::fromValue(Font("Helvetica", c.size))}}));
        settle();
        edit(root);
        alerts.clear();
        view.actionRouter().sendAction(c.delta > 0 ? "increaseFontSize:" : "decreaseFontSize:");
        EXPECT_EQ(alerts.beepCount(), c.accepted ? 0 : 1) << c.size;
        EXPECT_EQ(editor->attributedString().attribute(NSFontAttributeName, 1).value<Font>(),
                  Font("Helvetica", c.after));
        EXPECT_EQ(editor->selectedRange(), (AttributedString::Range{0, 3}));
        view.endEditingTextArea();
        settle();
    }
}

TEST_F(CanvasEditing, ColourChangesTheTextAndAContrastingBackground)
{
    const struct
    {
        Color colour;
        bool darkBackground;
    } cases[] = {{Color::whiteColor(), true}, {Color::blackColor(), false}};
    for (const auto &c : cases) {
        edit(root);
        view.setRedrawTime(0);
        view.actionRouter().sendAction("changeColor:", QVariant::fromValue(c.colour));
        EXPECT_EQ(editor->backgroundColor().lightness() < 128, c.darkBackground);
        EXPECT_EQ(root->enclosedTextArea()
                      ->text()
                      .attribute(NSForegroundColorAttributeName, 0)
                      .value<Color>(),
                  c.colour);
        view.endEditingTextArea();
        settle();
    }
}

TEST_F(CanvasEditing, FontPanelChoiceAppliesToSelectedTextsWhenNothingIsEdited)
{
    const Font chosen("Courier", 15);
    select({root});
    ASSERT_TRUE(view.actionRouter().sendAction("changeFont:", QVariant::fromValue(chosen)));
    EXPECT_EQ(root->enclosedTextArea()->font(), chosen);
    EXPECT_EQ(undo->undoActionName(), "Set Font");

    // The font panel stays open and sends each choice the same way.
    ASSERT_TRUE(view.actionRouter().sendAction("orderFrontFontPanel:"));
    QFontDialog *panel = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QFontDialog *>(w); dialog && dialog->isVisible())
            panel = dialog;
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isModal());
    QFont dejaVu(QStringLiteral("DejaVu Sans"));
    dejaVu.setPointSizeF(20);
    panel->setCurrentFont(dejaVu);
    const Font applied = root->enclosedTextArea()->font().value_or(Font());
    EXPECT_TRUE(applied.fontName().startsWith("DejaVuSans")) << applied.fontName().toStdString();
    EXPECT_EQ(applied.pointSize(), 20);
    panel->close();
}

TEST_F(CanvasEditing, EditorShowsTheTextAtTheCanvasZoom)
{
    const struct
    {
        int zoom;
    } cases[] = {{100}, {200}, {50}};
    for (const auto &c : cases) {
        map->setZoomAmount(c.zoom);
        view.mapGeometryDidChange();
        edit(root);
        const QRect onScreen = editor->geometry();
        const Rect frame = editor->frame();
        EXPECT_NEAR(onScreen.width(), frame.width() * c.zoom / 100.0, 1.0) << c.zoom;
        EXPECT_NEAR(editor->scale(), c.zoom / 100.0, 1e-6);
        view.endEditingTextArea();
        settle();
    }
}

TEST_F(CanvasEditing, MisspelledWordsAreUnderlinedWithTheDictionary)
{
    const QString dir = QStringLiteral(THINKWEB_TEST_DATA "/spelling");
    HunspellSpellChecker tiny(dir + "/tiny.aff", dir + "/tiny.dic", "en_TINY");
    SpellChecker::Scope scope(&tiny);
    const struct
    {
        bool continuous;
        QList<int> underlined; // starts of underlined words
    } cases[] = {{true, {6}}, {false, {}}};
    for (const auto &c : cases) {
        map->setContinuousSpellCheck(c.continuous);
        edit(root);
        typeText("quick brwn fox", 0);
        QList<int> starts;
        for (const QTextLayout::FormatRange &range :
             editor->document()->firstBlock().layout()->formats())
            if (range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline)
                starts << range.start;
        EXPECT_EQ(starts, c.underlined) << c.continuous;
        view.endEditingTextArea();
        settle();
    }
}

// The editor as a user sees it at 100 % and 200 %: its text is drawn at the
// canvas's scale. With THINKWEB_SCREENSHOT_DIR set (under xvfb-run with the
// xcb platform) the window is shown and saved there as PNG.
TEST_F(CanvasEditing, EditorTextIsDrawnAtTheCanvasScale)
{
    const QString dir = QStringLiteral(THINKWEB_TEST_DATA "/spelling");
    HunspellSpellChecker tiny(dir + "/tiny.aff", dir + "/tiny.dic", "en_TINY");
    SpellChecker::Scope scope(&tiny);
    const QString shots = qEnvironmentVariable("THINKWEB_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        view.show();
        QTest::qWaitForWindowExposed(&view);
    }
    map->setContinuousSpellCheck(true);
    view.setDrawingMode(TWGraphicView::RapidEntryMode);
    view.setModeLockedIn(true);

    QList<int> inkHeights;
    for (const int zoom : {100, 200}) {
        // A branch of its own at each zoom, so both start alike.
        const auto idea = child(root, 120, "idea", 480);
        settle();
        map->setZoomAmount(zoom);
        view.mapGeometryDidChange();
        edit(idea);
        view.setRedrawTime(0);
        typeText("Quick brwn idea");
        type({Qt::Key_Return});
        typeText("map");
        view.centerRect(view.cachedEditingTABounds());
        QTest::qWait(20);
        const QImage shot = shots.isEmpty() ? view.grab().toImage()
                                            : view.screen()->grabWindow(view.winId()).toImage();
        if (!shots.isEmpty())
            shot.save(QStringLiteral("%1/editor-%2.png").arg(shots).arg(zoom));
        const QRect area(editor->mapTo(&view, QPoint()), editor->size());
        int top = area.bottom(), bottom = area.top();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qGray(shot.pixel(x, y)) < 80) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        ASSERT_GE(bottom, top) << "no text drawn at " << zoom;
        inkHeights << bottom - top + 1;
        view.endEditingTextArea();
        idea->remove();
        settle();
    }
    EXPECT_NEAR(double(inkHeights[1]) / inkHeights[0], 2.0, 0.35);
}

TEST_F(CanvasEditing, LeavingRapidEntryEndsEditingAndSplits)
{
    const struct
    {
        int from;
        int to;
        bool editingAfter;
        QStringList children;
    } cases[] = {
        {TWGraphicView::RapidEntryMode, TWGraphicView::SelectMode, false, {"b"}},
        {TWGraphicView::SelectMode, TWGraphicView::ZoomMode, true, {}},
    };
    for (const auto &c : cases) {
        for (const auto &kid : root->children())
            kid->remove();
        settle();
        view.setDrawingMode(c.from);
        view.setModeLockedIn(true);
        edit(root);
        type({Qt::Key_A, Qt::Key_Return, Qt::Key_B});
        view.setDrawingMode(c.to);
        QCoreApplication::processEvents();
        settle();
        EXPECT_EQ(view.editingTextArea() != nullptr, c.editingAfter) << c.from;
        EXPECT_EQ(view.drawingMode(), c.to);
        EXPECT_EQ(childNames(root), c.children) << c.from;
        view.endEditingTextArea();
        view.setDrawingMode(TWGraphicView::SelectMode);
    }
}
