#include "CanvasTestSupport.h"

#include "canvas/SpellableTextView.h"
#include "mapdrawing/TWMapLayout.h"

#include <QTest>

using namespace CanvasTest;

// Branches made from the keyboard in the loose layout, on crowded maps: the
// new branch lands where it covers nothing, and whatever had to make room
// for it covers nothing either. The root's centre is (350, 220).
class NewBranchRoom : public CanvasFixture
{
protected:
    NewBranchRoom() : editor(view.editorView())
    {
        map->setLayoutServices(std::make_shared<TWMapLayout>());
        map->setLayoutAssistanceMode(2);
        map->setFirstLevelSpacing(100);
        map->setInterChildSpacing(30);
        map->setRepelDistance(20);
        view.setDirivOzazDelay(60000);
        settle();
    }

    // A main branch on one side at y, with `count` children stacked 50
    // apart, centred on it.
    std::shared_ptr<TWMapBranch> mainBranch(bool right, float y, int count, const QString &name)
    {
        const auto top = child(root, y, name, right ? 500 : 120);
        const float first = y + 15 - (count * 50 - 20) / 2.f;
        for (int i = 0; i < count; ++i)
            child(top, first + i * 50, QStringLiteral("%1%2").arg(name).arg(i), right ? 610 : -10);
        return top;
    }
    // The lowest and highest y of a subtree's rectangles.
    static std::pair<float, float> span(TWMapBranch &top)
    {
        TWMapBranch::BranchList all;
        top.allDescendantsIntoArray(all, false);
        float low = 1e9f, high = -1e9f;
        for (const auto &b : all) {
            low = std::min(low, b->branchBounds().minY());
            high = std::max(high, b->branchBounds().maxY());
        }
        return {low, high};
    }
    // Pairs of shown branches whose shapes or labels cover each other.
    QStringList overlaps() const
    {
        TWMapBranch::BranchList all;
        root->allDescendantsIntoArray(all, false);
        QStringList found;
        for (qsizetype i = 0; i < all.size(); ++i)
            for (qsizetype j = i + 1; j < all.size(); ++j)
                if (all.at(i)->branchBounds().insetBy(0.5, 0.5).intersects(
                        all.at(j)->branchBounds().insetBy(0.5, 0.5)))
                    found << BranchTest::nameOf(*all.at(i)) + " over " +
                                 BranchTest::nameOf(*all.at(j));
        return found;
    }
    void edit(const std::shared_ptr<TWMapBranch> &branch)
    {
        select({branch});
        view.startEditingSelectedBranch();
        ASSERT_EQ(view.editingTextArea(), branch->enclosedTextArea().get());
    }
    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(editor, Qt::Key(k), modifiers, 1);
    }

    SpellableTextView *editor;
};

TEST_F(NewBranchRoom, KeyboardBranchesCoverNothing)
{
    enum Key { Tab, ShiftTab, Return };
    struct Case
    {
        const char *what;
        Key key;
        bool right;      // the side of the main branch worked on
        int count;       // its children before the key
        int on;          // typed on: -2 the root, -1 the main branch, else its child
        bool neighbours; // main branches hugging it from above and below
    };
    const Case cases[] = {
        {"Tab, right, first child", Tab, true, 0, -1, true},
        {"Tab, right, third child", Tab, true, 2, -1, true},
        {"Tab, left, fourth child", Tab, false, 3, -1, true},
        {"Shift-Tab, right, after the first", ShiftTab, true, 3, 0, true},
        {"Shift-Tab, right, after the last", ShiftTab, true, 2, 1, true},
        {"Shift-Tab, left, after the middle one", ShiftTab, false, 3, 1, true},
        {"Return, right, second child", Return, true, 1, -1, true},
        {"Return, left, third child", Return, false, 2, -1, true},
        {"Tab on the root, one main branch", Tab, true, 3, -2, false},
        {"Tab on the root, beside neighbours", Tab, true, 3, -2, true},
        {"Shift-Tab on a main branch alone", ShiftTab, true, 2, -1, false},
        {"Shift-Tab on a main branch, neighbours", ShiftTab, false, 3, -1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto &kid : root->children())
            kid->remove();
        const auto top = mainBranch(c.right, 205, c.count, "main");
        if (c.neighbours) {
            // Their nearest children leave less room than a new branch needs.
            const auto [low, high] = span(*top);
            const auto upper = mainBranch(c.right, low - 100, 2, "upper");
            upper->moveBranchBy(0, low - 5 - span(*upper).second, true);
            const auto lower = mainBranch(c.right, high + 100, 2, "lower");
            lower->moveBranchBy(0, high + 5 - span(*lower).first, true);
            ASSERT_LT(span(*upper).second, low) << "the upper neighbour starts clear";
            ASSERT_GT(span(*lower).first, high) << "the lower neighbour starts clear";
        }
        settle();
        ASSERT_EQ(overlaps().join("; ").toStdString(), "");
        TWMapBranch::BranchList before;
        root->allDescendantsIntoArray(before, true);
        QList<Rect> was;
        for (const auto &b : std::as_const(before))
            was << b->mainGraphic()->bounds();

        const std::shared_ptr<TWMapBranch> on = c.on == -2   ? root
                                                : c.on == -1 ? top
                                                             : top->children().at(c.on);
        TWMapBranch *parent = c.key == ShiftTab ? on->parent() : on.get();
        const qsizetype had = parent->countOfChildren();
        if (c.key == Return) {
            view.setDrawingMode(TWGraphicView::RapidEntryMode);
            edit(on);
            QTest::keyClicks(editor, QStringLiteral("kept"));
            key(Qt::Key_Return);
            QTest::keyClicks(editor, QStringLiteral("made"));
            key(Qt::Key_Escape);
            QCoreApplication::processEvents();
        } else {
            edit(on);
            key(c.key == Tab ? Qt::Key_Tab : Qt::Key_Backtab,
                c.key == Tab ? Qt::NoModifier : Qt::ShiftModifier);
            QTest::keyClicks(editor, QStringLiteral("made"));
            view.endEditingTextArea();
        }
        settle();
        ASSERT_EQ(parent->countOfChildren(), had + 1);
        std::shared_ptr<TWMapBranch> made;
        for (const auto &k : parent->children())
            if (!before.contains(k))
                made = k;
        ASSERT_TRUE(made);
        EXPECT_EQ(BranchTest::nameOf(*made), "made");
        EXPECT_EQ(overlaps().join("; ").toStdString(), "");
        // Deeper branches stay on their parent's side of the root.
        if (!parent->isRoot())
            EXPECT_EQ(made->isToLeftOfRoot(), !c.right);
        view.setDrawingMode(TWGraphicView::SelectMode);
        // Undoing the new branch puts back whatever made room for it (up or
        // down; the label rapid entry renamed may be undone apart).
        while (parent->countOfChildren() > had && undo->canUndo()) {
            undo->undo();
            settle();
        }
        ASSERT_EQ(parent->countOfChildren(), had);
        for (qsizetype i = 0; i < before.size(); ++i)
            EXPECT_NEAR(before.at(i)->mainGraphic()->bounds().minY(), was.at(i).minY(), 0.01)
                << BranchTest::nameOf(*before.at(i)).toStdString();
    }
}

TEST_F(NewBranchRoom, MainBranchesMadeOneAfterAnotherCoverNothing)
{
    // Up to eight main branches, each made with Tab on the root or with
    // Shift-Tab on the one made last, and labelled as a user would.
    for (const bool siblings : {false, true}) {
        SCOPED_TRACE(siblings ? "Shift-Tab" : "Tab");
        for (const auto &kid : root->children())
            kid->remove();
        settle();
        std::shared_ptr<TWMapBranch> last = root;
        for (int i = 0; i < 8; ++i) {
            SCOPED_TRACE(i);
            edit(last);
            key(siblings && last != root ? Qt::Key_Backtab : Qt::Key_Tab,
                siblings && last != root ? Qt::ShiftModifier : Qt::NoModifier);
            QTest::keyClicks(editor, QStringLiteral("Topic %1").arg(i));
            view.endEditingTextArea();
            settle();
            ASSERT_EQ(root->countOfChildren(), i + 1);
            ASSERT_EQ(overlaps().join("; ").toStdString(), "");
            last = siblings ? map->selectedGraphics().first()->branch()->shared_from_this() : root;
        }
    }
}

TEST_F(NewBranchRoom, ANewMainBranchMovesOffABranchInItsGap)
{
    // The largest free angle, lower left, points at a child of the upper
    // left branch.
    const auto below = child(root, 320, "below", 350);
    child(root, 205, "right", 450);
    const auto upperLeft = child(root, 60, "upper left", 150);
    child(upperLeft, 250, "in the gap", 170);
    settle();
    ASSERT_EQ(overlaps().join("; ").toStdString(), "");
    select({root});
    map->publicCreateChildrenOfType(2, std::nullopt, false);
    settle();
    ASSERT_EQ(root->countOfChildren(), 4);
    EXPECT_EQ(overlaps().join("; ").toStdString(), "");
    // Still left of the root, just above or below that child (its label is
    // sized to its text after it was placed clear of the child).
    const auto made = root->children();
    const auto it = std::find_if(made.begin(), made.end(), [](const auto &k) {
        return BranchTest::nameOf(*k) == "New Branch";
    });
    ASSERT_NE(it, made.end());
    EXPECT_LT((*it)->mainGraphic()->bounds().midX(), 350);
    const Rect r = (*it)->branchBounds();
    const bool over = r.maxY() <= 250 && r.maxY() > 250 - 40;
    const bool under = r.minY() >= 280 && r.minY() < 280 + 40;
    EXPECT_TRUE(over || under) << r.minY() << " to " << r.maxY();
}
