#include "CanvasTestSupport.h"

#include "canvas/SpellableTextView.h"
#include "mapdrawing/TWMapLayout.h"
#include "model/TWMapDrawingServices.h"

#include <QHash>
#include <QTest>

#include <cmath>
#include <limits>

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
    // A main branch with two children and four grandchildren, packed as the
    // layout packs them, `step` apart across; its grandchildren top down.
    QList<std::shared_ptr<TWMapBranch>> packedMain(const QString &name, float x, float y,
                                                   float step)
    {
        QList<std::shared_ptr<TWMapBranch>> grandchildren;
        const auto top = child(root, y, name, x);
        for (int j = 0; j < 2; ++j) {
            const float cy = y - 25 + 50 * float(j);
            const auto kid = child(top, cy, name + QString::number(j), x + step);
            for (int k = 0; k < 2; ++k)
                grandchildren << child(kid, cy - 20 + 40 * float(k),
                                       BranchTest::nameOf(*kid) + QChar(u'a' + k), x + 2 * step);
        }
        return grandchildren;
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

namespace {

// Answers no kept extent, as a map without drawing code does: room is then
// made from the rectangles themselves.
class NoKeptExtents : public TWMapDrawingStandIn
{
public:
    Rect subtreeDrawingExtent(TWMapBranch &, int) override
    {
        constexpr float everywhere = std::numeric_limits<float>::max() / 4;
        return Rect(-everywhere, -everywhere, 2 * everywhere, 2 * everywhere);
    }
};

bool crowding(const Rect &a, const Rect &b, float gap)
{
    constexpr float hair = 0.01f;
    return a.minX() < b.maxX() + gap - hair && b.minX() < a.maxX() + gap - hair &&
           a.minY() < b.maxY() + gap - hair && b.minY() < a.maxY() + gap - hair;
}

QList<Rect> shownRects(TWMapBranch &top)
{
    TWMapBranch::BranchList shown;
    top.allDescendantsIntoArray(shown, false);
    QList<Rect> rects;
    for (const auto &b : std::as_const(shown))
        rects << b->branchBounds();
    return rects;
}

// How far each other main branch goes when every shown rectangle is held
// against every other: the nearest first on each side, each pushed until it
// crowds none of those settled before it.
QHash<TWMapBranch *, float> pushesByFullComparison(TWMapBranch &root, TWMapBranch &top, float gap)
{
    QList<TWMapBranch *> above, below;
    const float topY = top.mainGraphic()->bounds().midY();
    for (const auto &k : root.children())
        if (k.get() != &top && !k->hidden())
            (k->mainGraphic()->bounds().midY() < topY ? above : below) << k.get();
    const auto midY = [](TWMapBranch *k) { return k->mainGraphic()->bounds().midY(); };
    std::stable_sort(above.begin(), above.end(),
                     [&](auto *a, auto *b) { return midY(a) > midY(b); });
    std::stable_sort(below.begin(), below.end(),
                     [&](auto *a, auto *b) { return midY(a) < midY(b); });
    QHash<TWMapBranch *, float> pushes;
    for (const auto &[side, direction] : {std::pair{&above, -1.f}, {&below, 1.f}}) {
        QList<Rect> settled = shownRects(top);
        for (TWMapBranch *k : std::as_const(*side)) {
            QList<Rect> moving = shownRects(*k);
            float total = 0;
            for (int round = 0; round < 64; ++round) {
                float shift = 0;
                for (const Rect &g : std::as_const(moving))
                    for (const Rect &o : std::as_const(settled))
                        if (crowding(g, o, gap))
                            shift = std::max(shift, direction < 0 ? g.maxY() + gap - o.minY()
                                                                  : o.maxY() + gap - g.minY());
                if (shift <= 0)
                    break;
                for (Rect &g : moving)
                    g = g.offsetBy(0, direction * shift);
                total += direction * shift;
            }
            pushes.insert(k, total);
            settled << moving;
        }
    }
    return pushes;
}

} // namespace

TEST_F(NewBranchRoom, ADeepBranchMovesItsNeighboursAsAFullComparisonDoes)
{
    // Main branches A to D on the right, packed closely; a new
    // great-grandchild of B's is put where it crowds what lies near it.
    enum Setup { Plain, CFourth, CFourthPastHideLevel, CFourthFolded };
    struct Case
    {
        const char *what;
        Rect added;
        int under;    // B's grandchild it hangs under, top down
        bool extents; // kept drawing extents to go by
        Setup setup;  // C's great-grandchild crowding B's lowest grandchild, shown or not
        QStringList moved;
    };
    const Case cases[] = {
        {"clear of everything", {830, 285, 80, 30}, 3, true, Plain, {}},
        {"near C's grandchild", {700, 300, 80, 30}, 3, true, Plain, {"C"}},
        {"the same, without extents", {700, 300, 80, 30}, 3, false, Plain, {"C"}},
        {"over A's grandchild, upwards", {700, 150, 80, 30}, 0, true, Plain, {"A"}},
        {"near C's child, which has children", {610, 330, 80, 30}, 3, true, Plain, {"C", "D"}},
        {"over C's grandchild: C goes, then D", {700, 340, 80, 30}, 3, true, Plain, {"C", "D"}},
        {"the same, without extents", {700, 340, 80, 30}, 3, false, Plain, {"C", "D"}},
        {"beside C's fourth level", {830, 290, 80, 30}, 3, true, CFourth, {"C"}},
        {"C's fourth level past the hide level",
         {830, 290, 80, 30},
         3,
         true,
         CFourthPastHideLevel,
         {}},
        {"C's fourth level folded away; C, closed up, crowds D",
         {830, 290, 80, 30},
         3,
         true,
         CFourthFolded,
         {"D"}},
        {"the same, without extents", {830, 290, 80, 30}, 3, false, CFourthFolded, {"D"}},
    };
    const auto noExtents = std::make_shared<NoKeptExtents>();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto &kid : root->children())
            kid->remove();
        map->setDrawingServices(c.extents ? nullptr : noExtents);
        map->setBranchHideLevel(999);
        QHash<QString, QList<std::shared_ptr<TWMapBranch>>> grandchildren;
        const QStringList names{"A", "B", "C", "D"};
        std::shared_ptr<TWMapBranch> fourth;
        for (int i = 0; i < names.size(); ++i) {
            const auto made = packedMain(names.at(i), 500, 100 + 140 * float(i), 110);
            grandchildren.insert(names.at(i), made);
            if (names.at(i) == "C" && c.setup != Plain)
                fourth = child(made.first(), 330, "C fourth", 810);
            if (names.at(i) == "C" && c.setup == CFourthFolded)
                made.first()->parent()->setChildrenHidden(true);
        }
        settle();
        // What would be drawn is measured, as the canvas does.
        if (c.extents)
            ASSERT_LT(map->drawingServices().subtreeDrawingExtent(*root, 998).width(), 1e30f);
        if (c.setup == CFourthPastHideLevel)
            map->setBranchHideLevel(3);
        const auto added = newBranch(grandchildren.value("B").at(c.under).get(), c.added, "added");
        if (fourth)
            ASSERT_TRUE(crowding(fourth->branchBounds(), added->branchBounds(), 20));
        TWMapBranch::BranchList all;
        root->allDescendantsIntoArray(all, true);
        QHash<TWMapBranch *, float> was;
        for (const auto &b : std::as_const(all))
            was.insert(b.get(), b->mainGraphic()->bounds().minY());
        TWMapBranch &grown = *added->findTopLevelBranch();
        const QHash<TWMapBranch *, float> pushes = pushesByFullComparison(*root, grown, 20);

        map->makeRoomForNewBranches({added});

        QStringList moved;
        for (const auto &k : root->children())
            if (std::abs(pushes.value(k.get())) > 0.01f)
                moved << BranchTest::nameOf(*k);
        EXPECT_EQ(moved, c.moved) << "the case moves what it means to";
        for (const auto &b : std::as_const(all))
            EXPECT_NEAR(b->mainGraphic()->bounds().minY(),
                        was.value(b.get()) + pushes.value(b->findTopLevelBranch()), 0.01)
                << BranchTest::nameOf(*b).toStdString();
    }
    map->setDrawingServices(nullptr);
}

TEST_F(NewBranchRoom, TabOnADeepLeafIsUndoneAndRedoneToTheSamePlaces)
{
    // Three main branches on each side, packed closely; Tab on a leaf deep
    // in one, with kept drawing extents to go by and without: the same
    // places either way, and undo and redo go back to them.
    struct Case
    {
        const char *what;
        QString main;
        int leaf;          // top down
        QStringList moved; // the other main branches that make room
    };
    const Case cases[] = {
        {"right, middle branch, lowest leaf", "R1", 3, {"R0", "R2", "L2"}},
        {"right, middle branch, highest leaf", "R1", 0, {"R0", "R2", "L2"}},
        {"left, last branch, lowest leaf", "L2", 3, {"R0", "L1", "L0"}},
        {"left, first branch, a middle leaf", "L0", 2, {"R1", "R2", "L2", "L1"}},
    };
    const auto positions = [this] {
        TWMapBranch::BranchList all;
        root->allDescendantsIntoArray(all, true);
        QHash<QString, Point> at;
        for (const auto &b : std::as_const(all))
            at.insert(BranchTest::nameOf(*b), b->mainGraphic()->bounds().origin);
        return at;
    };
    const auto expectAt = [](const QHash<QString, Point> &now, const QHash<QString, Point> &then,
                             const char *when) {
        EXPECT_EQ(now.size(), then.size()) << when;
        for (auto it = then.cbegin(); it != then.cend(); ++it) {
            EXPECT_NEAR(now.value(it.key()).x, it->x, 0.01) << when << it.key().toStdString();
            EXPECT_NEAR(now.value(it.key()).y, it->y, 0.01) << when << it.key().toStdString();
        }
    };
    const auto noExtents = std::make_shared<NoKeptExtents>();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QHash<QString, Point> withExtents;
        for (const bool extents : {true, false}) {
            for (const auto &kid : root->children())
                kid->remove();
            map->setDrawingServices(extents ? nullptr : noExtents);
            QHash<QString, QList<std::shared_ptr<TWMapBranch>>> leaves;
            for (int i = 0; i < 3; ++i)
                for (const bool right : {true, false}) {
                    const QString name = QStringLiteral("%1%2").arg(right ? "R" : "L").arg(i);
                    leaves.insert(name, packedMain(name, right ? 500 : 120, 60 + 130 * float(i),
                                                   right ? 110 : -110));
                }
            settle();
            const QHash<QString, Point> before = positions();
            const auto leaf = leaves.value(c.main).at(c.leaf);
            select({leaf});
            map->publicCreateChildrenOfType(2, std::nullopt, false);
            settle();
            ASSERT_EQ(leaf->countOfChildren(), 1);
            const QHash<QString, Point> after = positions();
            QStringList moved;
            for (const auto &k : root->children()) {
                const QString name = BranchTest::nameOf(*k);
                if (name != c.main && std::abs(after.value(name).y - before.value(name).y) > 0.01f)
                    moved << name;
            }
            EXPECT_EQ(moved, c.moved);
            if (extents)
                withExtents = after;
            else
                expectAt(after, withExtents, "without extents ");
            ASSERT_TRUE(undo->canUndo());
            undo->undo();
            settle();
            EXPECT_EQ(leaf->countOfChildren(), 0);
            expectAt(positions(), before, "undone ");
            undo->redo();
            settle();
            ASSERT_EQ(leaf->countOfChildren(), 1);
            expectAt(positions(), after, "redone ");
        }
    }
    map->setDrawingServices(nullptr);
}
