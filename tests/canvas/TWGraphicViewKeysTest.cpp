#include "CanvasTestSupport.h"

#include "graphics/TWFlexiBranch.h"

#include <QLineEdit>
#include <QScopeGuard>
#include <QTest>

using namespace CanvasTest;

// Root at (300, 200); "a" and "b" to its right, "c" to its left; "a1" under
// "a", "c1" under "c".
class CanvasKeys : public CanvasFixture
{
protected:
    CanvasKeys()
    {
        a = child(root, 100, "a", 500);
        b = child(root, 300, "b", 500);
        c = child(root, 200, "c", 100);
        a1 = child(a, 100, "a1", 650);
        c1 = child(c, 200, "c1", 0);
        settle();
        alerts.clear();
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&view, Qt::Key(key), modifiers);
    }
    std::shared_ptr<TWMapBranch> byName(const QString &name) const
    {
        for (const auto &branch : map->allBranches())
            if (BranchTest::nameOf(*branch) == name)
                return branch;
        return nullptr;
    }
    std::shared_ptr<TWMapBranch> a, b, c, a1, c1;
};

TEST_F(CanvasKeys, ArrowsMoveTheSelectionByTheKeyboardTable)
{
    struct Case
    {
        QStringList selection;
        int key;
        QStringList after;
        int beeps;
    };
    const Case cases[] = {
        {{}, Qt::Key_Up, {"root"}, 0},
        {{}, Qt::Key_Right, {"root"}, 0},
        {{"a", "b"}, Qt::Key_Right, {"a", "b"}, 1},
        {{"root"}, Qt::Key_Up, {"root"}, 1},
        {{"root"}, Qt::Key_Down, {"root"}, 1},
        {{"root"}, Qt::Key_Right, {"a"}, 0},
        {{"root"}, Qt::Key_Left, {"c"}, 0},
        {{"a"}, Qt::Key_Up, {"c"}, 0},   // wraps to the last child of the root
        {{"c"}, Qt::Key_Down, {"a"}, 0}, // and back to the first
        {{"a"}, Qt::Key_Down, {"b"}, 0},
        {{"a1"}, Qt::Key_Up, {"a1"}, 1},
        {{"a1"}, Qt::Key_Down, {"a1"}, 1},
        {{"a"}, Qt::Key_Right, {"a1"}, 0},
        {{"a"}, Qt::Key_Left, {"root"}, 0},
        {{"b"}, Qt::Key_Right, {"b"}, 1}, // no children
        {{"c"}, Qt::Key_Right, {"root"}, 0},
        {{"c"}, Qt::Key_Left, {"c1"}, 0},
        {{"a1"}, Qt::Key_Left, {"a"}, 0},
    };
    for (const Case &k : cases) {
        QList<std::shared_ptr<TWMapBranch>> selection;
        for (const QString &name : k.selection)
            selection << byName(name);
        select(selection);
        alerts.clear();
        press(k.key);
        EXPECT_EQ(selectedNames(), k.after)
            << k.selection.join(',').toStdString() << " key " << k.key;
        EXPECT_EQ(alerts.beepCount(), k.beeps) << k.selection.join(',').toStdString();
    }
}

// Ctrl (as well as Meta) nudges here; Shift and Alt select like plain arrows.
TEST_F(CanvasKeys, ModifiersOtherThanControlSelectLikePlainArrows)
{
    for (Qt::KeyboardModifiers modifiers : {Qt::ShiftModifier, Qt::AltModifier}) {
        select({a});
        press(Qt::Key_Right, modifiers);
        EXPECT_EQ(selectedNames(), QStringList({"a1"}));
    }
}

TEST_F(CanvasKeys, RightOnTheRootWithEveryBranchOnTheLeftChangesNothing)
{
    a->moveBranchBy(-500, 0, true);
    b->moveBranchBy(-500, 0, true);
    settle();
    select({root});
    press(Qt::Key_Right);
    EXPECT_EQ(selectedNames(), QStringList({"root"}));
    EXPECT_EQ(alerts.beepCount(), 0);
}

TEST_F(CanvasKeys, AFlexiBranchIsSelectedByItsShape)
{
    auto flexi = TWMapBranch::createWithGraphic(
        TWGraphic::make<TWFlexiBranch>(Rect(660, 300, 80, 30)), a.get(), map.get());
    a1->moveBranchBy(0, -50, true);
    settle();
    select({a1});
    press(Qt::Key_Down);
    ASSERT_EQ(map->countOfSelectedGraphics(), 1);
    EXPECT_EQ(map->selectedGraphics().first(), flexi->mainGraphic());
}

TEST_F(CanvasKeys, ControlArrowsNudgeOneSelectedGraphicAsOneNamedStep)
{
    Recorder print({TWMap::PrintCanvasControllerNeedsUpdateWhenIdleNotification});
    struct Case
    {
        int key;
        Point delta;
    };
    const Case cases[] = {{Qt::Key_Left, Point(-1, 0)},
                          {Qt::Key_Right, Point(1, 0)},
                          {Qt::Key_Up, Point(0, -1)},
                          {Qt::Key_Down, Point(0, 1)}};
    for (const Case &k : cases) {
        select({b});
        const Rect before = b->mainGraphic()->bounds();
        const Rect textBefore = b->enclosedTextArea()->bounds();
        press(k.key, Qt::MetaModifier);
        finishEdit();
        EXPECT_EQ(b->mainGraphic()->bounds(), before.offsetBy(k.delta.x, k.delta.y));
        EXPECT_EQ(b->enclosedTextArea()->bounds(), textBefore.offsetBy(k.delta.x, k.delta.y));
        EXPECT_EQ(undo->undoActionName(), "Nudge");
        undo->undo();
        EXPECT_EQ(b->mainGraphic()->bounds(), before);
    }
    EXPECT_EQ(print.notifications.size(), 4);

    for (const QList<std::shared_ptr<TWMapBranch>> &selection :
         {QList<std::shared_ptr<TWMapBranch>>{}, QList<std::shared_ptr<TWMapBranch>>{a, b}}) {
        select(selection);
        alerts.clear();
        print.clear();
        press(Qt::Key_Left, Qt::MetaModifier);
        EXPECT_EQ(alerts.beepCount(), 1);
        EXPECT_EQ(print.notifications.size(), 1);
    }
}

TEST_F(CanvasKeys, TabGrowsAChildUnlessCommandOrControlIsHeld)
{
    struct Case
    {
        Qt::KeyboardModifiers modifiers;
        bool creates;
    };
    const Case cases[] = {{Qt::NoModifier, true},
                          {Qt::AltModifier, true},
                          {Qt::ControlModifier, false},
                          {Qt::MetaModifier, false}};
    for (const Case &k : cases) {
        select({b});
        const int before = b->countOfChildren();
        press(Qt::Key_Tab, k.modifiers);
        finishEdit();
        EXPECT_EQ(b->countOfChildren(), before + (k.creates ? 1 : 0));
        if (k.creates) {
            EXPECT_EQ(undo->undoActionName(), "New Branch");
            ASSERT_EQ(map->countOfSelectedGraphics(), 1);
            EXPECT_EQ(map->selectedGraphics().first()->branch(), b->children().last().get());
        }
    }
}

TEST_F(CanvasKeys, ShiftTabGrowsASiblingButBeepsOnTheRoot)
{
    select({root});
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(alerts.beepCount(), 1);
    EXPECT_EQ(root->countOfChildren(), 3);

    select({a1});
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    finishEdit();
    EXPECT_EQ(a->countOfChildren(), 2);
    EXPECT_EQ(undo->undoActionName(), "New Sibling Branch");
    undo->undo();
    EXPECT_EQ(a->countOfChildren(), 1);
}

// In a window with other controls Tab and Shift-Tab still grow the map:
// the focus chain of the window does not take them from the canvas.
TEST_F(CanvasKeys, TabAndShiftTabGrowTheMapInAWindowWithOtherControls)
{
    QWidget window;
    auto *field = new QLineEdit(&window);
    field->setGeometry(0, 0, 200, 24);
    view.setParent(&window);
    const auto giveBack = qScopeGuard([this] { view.setParent(nullptr); });
    view.setGeometry(0, 30, 640, 480);
    window.resize(700, 520);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    struct Case
    {
        const char *what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool sibling;
    };
    const Case cases[] = {{"Tab", Qt::Key_Tab, Qt::NoModifier, false},
                          {"Shift-Tab", Qt::Key_Backtab, Qt::ShiftModifier, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        select({a1});
        view.setFocus();
        ASSERT_TRUE(waitUntil([&] { return view.hasFocus(); }));
        const int siblings = a->countOfChildren(), children = a1->countOfChildren();
        press(c.key, c.modifiers);
        finishEdit();
        EXPECT_EQ(a->countOfChildren(), siblings + (c.sibling ? 1 : 0));
        EXPECT_EQ(a1->countOfChildren(), children + (c.sibling ? 0 : 1));
        EXPECT_FALSE(field->hasFocus());
    }
}

TEST_F(CanvasKeys, DeleteKeysDeleteTheSelectionAsOneNamedStep)
{
    for (int key : {Qt::Key_Delete, Qt::Key_Backspace}) {
        select({b});
        press(key);
        finishEdit();
        EXPECT_FALSE(root->children().contains(b));
        EXPECT_EQ(undo->undoActionName(), "Delete");
        undo->undo();
        EXPECT_TRUE(root->children().contains(b));
    }
}

TEST_F(CanvasKeys, HomeSpaceEscapeThemeAndLetters)
{
    press(Qt::Key_Home);
    EXPECT_EQ(host.titleSelections, 1);

    QTest::keyPress(&view, Qt::Key_Space);
    EXPECT_TRUE(view.spaceBarPressed());
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::OpenHandCursor);
    QTest::keyRelease(&view, Qt::Key_Space);
    EXPECT_FALSE(view.spaceBarPressed());
    EXPECT_EQ(view.viewport()->cursor().shape(), Qt::ArrowCursor);

    host.fullScreen = true;
    press(Qt::Key_Escape);
    EXPECT_EQ(host.fullScreenEnds, 1);
    press(Qt::Key_Escape);
    EXPECT_EQ(host.fullScreenEnds, 1);

    press(Qt::Key_T, Qt::ShiftModifier | Qt::MetaModifier);
    press(Qt::Key_T, Qt::ShiftModifier | Qt::AltModifier);
    press(Qt::Key_T, Qt::ShiftModifier);
    EXPECT_EQ(host.themeSaves, 2);

    alerts.clear();
    select({b});
    QTest::keyClicks(&view, "xy");
    EXPECT_EQ(alerts.beepCount(), 2);
    EXPECT_EQ(selectedNames(), QStringList({"b"}));
}

TEST_F(CanvasKeys, ReturnEditsASelectedLabel)
{
    select({b});
    press(Qt::Key_Return);
    EXPECT_TRUE(b->enclosedTextArea()->isEditing());
    b->enclosedTextArea()->setIsEditing(false);
    settle();
}

TEST(TWActionRouter, TheFirstResponderThatKnowsAnActionTakesItIfEnabled)
{
    struct Responder : TWResponder
    {
        QStringList known;
        bool enabled = true;
        QStringList performed;
        bool respondsToAction(const QString &s) const override { return known.contains(s); }
        bool validateAction(const QString &) const override { return enabled; }
        void performAction(const QString &s, const QVariant &) override { performed << s; }
    };
    Responder editor, canvas, document;
    editor.known = {"copy:"};
    canvas.known = {"copy:", "delete:"};
    document.known = {"delete:", "saveTheme:"};
    TWActionRouter router([&] { return QList<TWResponder *>{&editor, &canvas, &document}; });

    EXPECT_TRUE(router.sendAction("copy:"));
    EXPECT_TRUE(router.sendAction("delete:"));
    EXPECT_TRUE(router.sendAction("saveTheme:"));
    EXPECT_FALSE(router.sendAction("paste:"));
    EXPECT_EQ(editor.performed, QStringList({"copy:"}));
    EXPECT_EQ(canvas.performed, QStringList({"delete:"}));
    EXPECT_EQ(document.performed, QStringList({"saveTheme:"}));

    canvas.enabled = false;
    EXPECT_FALSE(router.validateAction("delete:"));
    EXPECT_FALSE(router.sendAction("delete:"));
    EXPECT_EQ(document.performed, QStringList({"saveTheme:"}));
}
