#include "DocumentTestSupport.h"
#include "application/TWOutlineIndexPaths.h"
#include "application/TWOutlineModel.h"
#include "application/TWOutlineView.h"
#include "application/TWOutlineViewController.h"
#include "application/TWTableViewBoundDragAndDrop.h"
#include "graphics/TWGraphic.h"
#include "graphics/TWTextArea.h"
#include "model/TWAttachedText.h"

#include <QAction>
#include <QDialog>
#include <QKeyEvent>
#include <QMimeData>
#include <QPrinter>
#include <QTest>

using TWOutlineIndexPaths::IndexPath;

namespace {

// Key or not as the test says.
class OutlineController : public TWOutlineViewController
{
public:
    OutlineController() : TWOutlineViewController(false) {}
    bool isKeyWindow() const override { return key; }
    bool key = true;
};

struct Node
{
    QList<Node *> children;
    bool leaf = false;
    bool expanded = false;
};

} // namespace

TEST(OutlineIndexPaths, RelationsAndCommonAncestors)
{
    struct Case
    {
        IndexPath a, b;
        bool ancestor, sibling;
        std::optional<IndexPath> common;
    };
    const Case cases[] = {
        {{0, 1}, {0, 1, 3}, true, false, IndexPath{0}},
        {{0, 1, 2}, {0, 1, 3}, false, true, IndexPath{0, 1}},
        {{0}, {1}, false, true, std::nullopt},
        {{}, {2}, true, false, std::nullopt},
        {{2, 0}, {2, 0}, false, true, IndexPath{2}},
        {{1, 2, 3, 4}, {1, 2, 5}, false, false, IndexPath{1, 2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << &c - cases);
        EXPECT_EQ(TWOutlineIndexPaths::isAncestorOf(c.a, c.b), c.ancestor);
        EXPECT_EQ(TWOutlineIndexPaths::isSiblingOf(c.a, c.b), c.sibling);
        EXPECT_EQ(TWOutlineIndexPaths::firstCommonAncestor(c.a, c.b), c.common);
    }
    using TWOutlineIndexPaths::firstCommonAncestorAmong;
    EXPECT_EQ(firstCommonAncestorAmong({{0, 1, 2}, {0, 1, 3}, {0, 2}}), IndexPath{0});
    EXPECT_EQ(firstCommonAncestorAmong({{3}}), IndexPath{});
    EXPECT_EQ(firstCommonAncestorAmong({{0, 1}, {1, 1}}), std::nullopt);
    EXPECT_EQ(firstCommonAncestorAmong({}), std::nullopt);
}

TEST(OutlineIndexPaths, SearchesTheModelAndTheShownRows)
{
    // a(b(c), d(e)), f; b is a leaf by the leaf test, so c is never reached.
    Node c, e, b{{&c}, true}, d{{&e}}, a{{&b, &d}}, f;
    const TWOutlineIndexPaths::TreeAccess<Node> access{[](Node *n) { return n->children; },
                                                       [](Node *n) { return n->leaf; }};
    const QList<Node *> top{&a, &f};
    EXPECT_EQ(TWOutlineIndexPaths::indexPathToObject<Node>(top, &e, access), (IndexPath{0, 1, 0}));
    EXPECT_EQ(TWOutlineIndexPaths::indexPathToObject<Node>(top, &b, access), (IndexPath{0, 0}));
    EXPECT_EQ(TWOutlineIndexPaths::indexPathToObject<Node>(top, &c, access), std::nullopt);
    Node stranger;
    EXPECT_EQ(TWOutlineIndexPaths::indexPathsToObjects<Node>(top, {&f, &stranger, &a}, access),
              (QList<IndexPath>{{1}, {0}}));

    // Rows: a, b, d, e, f with a and d expanded; b's child is no row.
    a.expanded = d.expanded = true;
    const auto expanded = std::function<bool(Node *)>([](Node *n) { return n->expanded; });
    const QList<Node *> rows{&a, &b, &d, &e, &f};
    for (int row = 0; row < rows.size(); ++row)
        EXPECT_EQ(TWOutlineIndexPaths::objectAtRow<Node>(top, row, access, expanded), rows[row])
            << row;
    EXPECT_EQ(TWOutlineIndexPaths::objectAtRow<Node>(top, 5, access, expanded), nullptr);
}

TEST(OutlineModel, RowHeightGrowsWithTheText)
{
    const struct
    {
        qreal h, r, expected;
    } cases[] = {{30, 17, 34.5}, {0, 17, 17}, {14, 17, 17.5}, {24, 20, 30}};
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(TWOutlineModel::rowHeight(c.h, c.r), c.expected) << c.h;
}

class OutlineTest : public DocumentTest
{
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        UserDefaults::standard().setObject(QVariant(),
                                           TWOutlineViewController::ToolbarSelectionKey);
        document = untitled();
        map = document->mapsDocument()->currentMap().get();
        outline = std::make_unique<OutlineController>();
        outline->setDocument(document);
        outline->window()->resize(400, 600);
    }
    void TearDown() override
    {
        outline.reset();
        DocumentTest::TearDown();
    }

    // A new last child of `parent` with the label.
    TWMapBranch *add(TWMapBranch *parent, const QString &label)
    {
        map->setSelectedBranches({parent->shared_from_this()});
        const auto made = map->publicCreateChildrenOfType(-1, label, false);
        return made.isEmpty() ? nullptr : made.first().get();
    }
    // Reloads the outline with every branch open, as a user would have it.
    void expandAll()
    {
        QList<std::shared_ptr<TWMapBranch>> all;
        map->root()->allDescendantsIntoArray(all, true);
        for (const auto &b : all)
            b->setExpandedInOutlineView(true);
        settle();
        outline->updateContent();
    }
    void select(const QList<TWMapBranch *> &branches)
    {
        outline->selectBranches(branches);
        map->setSelectedBranches([&] {
            TWMap::BranchList l;
            for (auto *b : branches)
                l << b->shared_from_this();
            return l;
        }());
    }
    void wait(int ms = TWOutlineViewController::UpdateDelay + 20)
    {
        // The map's selection notice is queued: posted first, then waited for.
        settle();
        QTest::qWait(ms);
        settle();
    }
    QStringList labels(const TWMapBranch *parent) const
    {
        QStringList l;
        for (const auto &c : parent->children())
            l << TWOutlineModel::branchText(*c);
        return l;
    }
    UndoManager &undo() { return *document->mapsDocument()->undoManager(); }
    // Closes the event's undo group, undoes it and lets the reload run.
    void undoLast()
    {
        settle();
        undo().undo();
        settle();
        outline->updateContent();
    }

    TWDocument *document = nullptr;
    TWMap *map = nullptr;
    std::unique_ptr<OutlineController> outline;
};

TEST_F(OutlineTest, ShowsTheMapLazilyAndFollowsItsSelection)
{
    TWMapBranch *a = add(map->root().get(), QStringLiteral("A"));
    add(a, QStringLiteral("A1"));
    settle();
    TWOutlineModel *model = outline->model();
    ASSERT_EQ(model->rowCount(), 1);
    const QModelIndex root = model->index(0, 0);
    EXPECT_EQ(model->branchForIndex(root), map->root().get());
    EXPECT_EQ(model->rowCount(root), 1);
    EXPECT_EQ(model->data(model->index(0, 0, root)).toString(), QStringLiteral("A"));
    EXPECT_EQ(model->parent(model->index(0, 0, root)), root);

    // The canvas selection arrives after the delay, once for a burst.
    map->setSelectedBranches({a->shared_from_this()});
    wait();
    ASSERT_EQ(outline->selectedBranches(), QList<TWMapBranch *>{a});
    map->setSelectedBranches({map->root()});
    settle();
    EXPECT_EQ(outline->selectedBranches(), QList<TWMapBranch *>{a});
    wait();
    EXPECT_EQ(outline->selectedBranches(), QList<TWMapBranch *>{map->root().get()});
    map->setSelectedBranches({a->shared_from_this()});
    wait();

    // Rows chosen while the window is not key leave the map alone.
    outline->key = false;
    outline->outlineView()->selectionModel()->select(root, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    EXPECT_EQ(map->selectedBranches(), QList<TWMapBranch *>{a});
    outline->key = true;
    outline->outlineView()->selectionModel()->clearSelection();
    outline->outlineView()->selectionModel()->select(root, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    EXPECT_EQ(map->selectedBranches(), QList<TWMapBranch *>{map->root().get()});
    // An empty outline selection never empties the map's.
    outline->outlineView()->selectionModel()->clearSelection();
    EXPECT_EQ(map->selectedBranches(), QList<TWMapBranch *>{map->root().get()});
}

TEST_F(OutlineTest, ReloadsForItsOwnDocumentAndKeepsExpansionFlags)
{
    TWMapBranch *a = add(map->root().get(), QStringLiteral("A"));
    TWMapBranch *a1 = add(a, QStringLiteral("A1"));
    add(a1, QStringLiteral("A1x"));
    settle();
    map->root()->setExpandedInOutlineView(true);
    a->setExpandedInOutlineView(true);
    outline->updateContent();
    TWOutlineView *view = outline->outlineView();
    EXPECT_TRUE(view->isExpanded(outline->model()->indexForBranch(a)));
    EXPECT_FALSE(view->isExpanded(outline->model()->indexForBranch(a1)));

    // The user's collapse is recorded; a reload keeps every flag.
    view->collapse(outline->model()->indexForBranch(a));
    EXPECT_FALSE(a->expandedInOutlineView());
    view->expand(outline->model()->indexForBranch(a));
    outline->updateContent();
    EXPECT_TRUE(a->expandedInOutlineView());
    EXPECT_TRUE(map->root()->expandedInOutlineView());
    EXPECT_FALSE(a1->expandedInOutlineView());

    int reloads = 0;
    QObject::connect(outline.get(), &TWOutlineViewController::contentReloaded,
                     [&reloads] { ++reloads; });
    TWDocument *other = untitled();
    Notification fromOther{
        TWMapBranch::OutlineNeedsReloadNotification, NotificationObject(other->mapsDocument()), {}};
    outline->updateContent(&fromOther);
    EXPECT_EQ(reloads, 0);
    Notification fromOwn{TWMapBranch::OutlineNeedsReloadNotification,
                         NotificationObject(document->mapsDocument()),
                         {}};
    outline->updateContent(&fromOwn);
    EXPECT_EQ(reloads, 1);
    // A structural edit reloads once its notification is posted.
    add(a, QStringLiteral("A2"));
    settle();
    EXPECT_GE(reloads, 2);
    EXPECT_EQ(outline->model()->rowCount(outline->model()->indexForBranch(a)), 2);
}

TEST_F(OutlineTest, MovingUpAndDownSwapsSiblingsOrSelectsTheParent)
{
    TWMapBranch *a = add(map->root().get(), QStringLiteral("A"));
    TWMapBranch *b = add(a, QStringLiteral("B"));
    TWMapBranch *c = add(a, QStringLiteral("C"));
    add(b, QStringLiteral("B1"));
    add(map->root().get(), QStringLiteral("E"));
    expandAll();
    ASSERT_EQ(labels(a), (QStringList{"B", "C"}));

    // A first child going up selects its parent and nothing moves.
    const Point bOrigin = b->mainGraphic()->bounds().origin;
    const Point cOrigin = c->mainGraphic()->bounds().origin;
    select({b});
    outline->moveUp();
    EXPECT_EQ(map->selectedBranches(), QList<TWMapBranch *>{a});
    EXPECT_EQ(b->mainGraphic()->bounds().origin, bOrigin);
    // The last child going down selects its parent too.
    select({c});
    outline->moveDown();
    EXPECT_EQ(map->selectedBranches(), QList<TWMapBranch *>{a});

    // C goes up past B's open children: it trades places with B itself.
    select({c});
    EXPECT_TRUE(outline->canMoveUp());
    outline->moveUp();
    EXPECT_EQ(c->mainGraphic()->bounds().origin, bOrigin);
    EXPECT_EQ(b->mainGraphic()->bounds().origin, cOrigin);
    undoLast();
    EXPECT_EQ(c->mainGraphic()->bounds().origin, cOrigin);
    EXPECT_EQ(b->mainGraphic()->bounds().origin, bOrigin);
}

TEST_F(OutlineTest, OutdentIndentGroupAndUngroupGraftAndUndo)
{
    TWMapBranch *root = map->root().get();
    TWMapBranch *a = add(root, QStringLiteral("A"));
    TWMapBranch *b = add(a, QStringLiteral("B"));
    TWMapBranch *c = add(a, QStringLiteral("C"));
    TWMapBranch *d = add(a, QStringLiteral("D"));
    expandAll();

    // Outdenting B makes C and D its children and puts it beside A.
    select({b});
    ASSERT_TRUE(outline->canOutdent());
    outline->outdent();
    EXPECT_EQ(b->parent(), root);
    EXPECT_TRUE(a->children().isEmpty());
    EXPECT_EQ(labels(b), (QStringList{"C", "D"}));
    undoLast();
    EXPECT_EQ(labels(a), (QStringList{"B", "C", "D"}));

    // Indent puts C under B; ungroup hands B's children back.
    expandAll();
    select({c});
    outline->indent();
    EXPECT_EQ(c->parent(), b);
    settle();
    expandAll();
    select({b});
    ASSERT_TRUE(outline->canUngroup());
    outline->ungroup();
    EXPECT_EQ(c->parent(), a);
    EXPECT_TRUE(b->children().isEmpty());
    undoLast();
    EXPECT_EQ(c->parent(), b);
    // The window's own Undo reaches the document's history.
    settle();
    QAction *undoAction = nullptr;
    for (QAction *action : outline->window()->actions()) {
        if (action->shortcut() == QKeySequence(QKeySequence::Undo))
            undoAction = action;
    }
    ASSERT_TRUE(undoAction);
    undoAction->trigger();
    EXPECT_EQ(c->parent(), a);

    // Grouping a branch with its own child groups only the branch.
    expandAll();
    TWMapBranch *d1 = add(d, QStringLiteral("D1"));
    expandAll();
    select({d, d1});
    ASSERT_TRUE(outline->canGroup());
    outline->group();
    TWMapBranch *group = d->parent();
    ASSERT_NE(group, a);
    EXPECT_EQ(group->parent(), a);
    EXPECT_EQ(group->children().size(), 1);
    EXPECT_EQ(d1->parent(), d);
    EXPECT_EQ(map->selectedBranches(), QList<TWMapBranch *>{group});
    undoLast();
    EXPECT_EQ(d->parent(), a);
    EXPECT_EQ(labels(a), (QStringList{"B", "C", "D"}));
}

TEST_F(OutlineTest, KeyEquivalentsAreValidatedFirst)
{
    TWMapBranch *root = map->root().get();
    TWMapBranch *a = add(root, QStringLiteral("A"));
    TWMapBranch *b = add(root, QStringLiteral("B"));
    TWMapBranch *c = add(root, QStringLiteral("C"));
    expandAll();
    TWOutlineView *view = outline->outlineView();
    const auto press = [view](int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        return view->performKeyEquivalent(&event);
    };
    // A first-level outdent is refused: its followers stay where they are.
    const QStringList before = labels(root);
    select({b});
    EXPECT_TRUE(press(Qt::Key_BracketLeft, Qt::ControlModifier));
    EXPECT_EQ(labels(root), before);
    EXPECT_TRUE(c->children().isEmpty());
    EXPECT_EQ(alerts.beepCount(), 1);
    // Ctrl+] indents under the sibling above.
    EXPECT_TRUE(press(Qt::Key_BracketRight, Qt::ControlModifier));
    EXPECT_EQ(b->parent(), a);
    // Alt+Up alone is the view's own.
    EXPECT_FALSE(press(Qt::Key_Up, Qt::AltModifier));
    EXPECT_FALSE(press(Qt::Key_X, Qt::ControlModifier));
}

TEST_F(OutlineTest, DeletingSelectsANeighbourOrTheParent)
{
    TWMapBranch *root = map->root().get();
    TWMapBranch *a = add(root, QStringLiteral("A"));
    TWMapBranch *b = add(a, QStringLiteral("B"));
    TWMapBranch *c = add(a, QStringLiteral("C"));
    TWMapBranch *d = add(a, QStringLiteral("D"));
    using C = TWOutlineViewController;
    EXPECT_EQ(C::branchToSelectAfterDeleting({c}), b);
    EXPECT_EQ(C::branchToSelectAfterDeleting({b}), c);
    EXPECT_EQ(C::branchToSelectAfterDeleting({b, c, d}), a);
    EXPECT_EQ(C::branchToSelectAfterDeleting({a}), nullptr);
    EXPECT_EQ(C::branchToSelectAfterDeleting({}), nullptr);

    expandAll();
    select({b, c, d});
    outline->deleteSelectedBranches();
    EXPECT_TRUE(a->children().isEmpty());
    wait();
    EXPECT_EQ(outline->selectedBranches(), QList<TWMapBranch *>{a});
    undoLast();
    EXPECT_EQ(labels(a), (QStringList{"B", "C", "D"}));
    // Every child of the root gone: the root is selected.
    expandAll();
    select({a});
    outline->deleteSelectedBranches();
    wait();
    EXPECT_EQ(outline->selectedBranches(), QList<TWMapBranch *>{root});
}

TEST_F(OutlineTest, DraggedRowsLandInOrderAndNeverInTheirOwnSubtree)
{
    TWMapBranch *root = map->root().get();
    TWMapBranch *target = add(root, QStringLiteral("T"));
    add(target, QStringLiteral("T0"));
    add(target, QStringLiteral("T1"));
    TWMapBranch *x = add(root, QStringLiteral("X"));
    TWMapBranch *y = add(root, QStringLiteral("Y"));
    TWMapBranch *z = add(root, QStringLiteral("Z"));
    TWMapBranch *z1 = add(z, QStringLiteral("Z1"));
    expandAll();
    TWOutlineModel *model = outline->model();

    std::unique_ptr<QMimeData> data(model->mimeData(
        {model->indexForBranch(y), model->indexForBranch(x), model->indexForBranch(z)}));
    EXPECT_EQ(data->data(TWOutlineModel::DragType), TWOutlineModel::dragData({y, x, z}));
    // Into a dragged branch's own subtree, or onto itself: refused.
    EXPECT_FALSE(
        model->canDropMimeData(data.get(), Qt::MoveAction, -1, 0, model->indexForBranch(z1)));
    EXPECT_FALSE(model->dropMimeData(data.get(), Qt::MoveAction, 0, 0, model->indexForBranch(z)));
    EXPECT_EQ(z1->parent(), z);

    ASSERT_TRUE(
        model->dropMimeData(data.get(), Qt::MoveAction, 1, 0, model->indexForBranch(target)));
    EXPECT_EQ(labels(target), (QStringList{"T0", "Y", "X", "Z", "T1"}));
    EXPECT_EQ(z1->parent(), z);
    // Numbers naming no branch are skipped.
    EXPECT_EQ(TWOutlineModel::branchesFromDragData(
                  "999999,x," + QByteArray::number(x->branchNumber()), *root),
              QList<TWMapBranch *>{x});
}

TEST_F(OutlineTest, TheFieldEditorFinishesAndAddsTheNextBranch)
{
    TWMapBranch *root = map->root().get();
    TWMapBranch *a = add(root, QStringLiteral("A"));
    expandAll();
    outline->window()->show();
    settle();
    TWOutlineView *view = outline->outlineView();

    struct Case
    {
        int key;
        Qt::KeyboardModifiers modifiers;
        int rootChildren, aChildren;
    };
    // Return adds a sibling, Tab a child, Shift+Tab a sibling, Escape nothing.
    const Case cases[] = {{Qt::Key_Return, Qt::NoModifier, 2, 0},
                          {Qt::Key_Tab, Qt::NoModifier, 1, 1},
                          {Qt::Key_Backtab, Qt::ShiftModifier, 2, 0},
                          {Qt::Key_Escape, Qt::NoModifier, 1, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        select({a});
        outline->editSelection();
        settle();
        auto *editor = outline->editorView();
        ASSERT_TRUE(editor);
        ASSERT_TRUE(view->isEditing());
        QTest::keyClicks(editor, QStringLiteral("New"));
        QTest::keyClick(editor, Qt::Key(c.key), c.modifiers);
        settle();
        EXPECT_EQ(TWOutlineModel::branchText(*a), QStringLiteral("New"));
        EXPECT_EQ(root->children().size(), c.rootChildren);
        EXPECT_EQ(a->children().size(), c.aChildren);
        // The new branch is being edited; Escape leaves it.
        if (c.rootChildren + c.aChildren > 1) {
            EXPECT_TRUE(view->isEditing());
            QTest::keyClick(outline->editorView(), Qt::Key_Escape);
            settle();
        }
        EXPECT_FALSE(view->isEditing());
        // The label and the new branch are one step.
        undoLast();
        EXPECT_EQ(root->children().size(), 1);
        expandAll();
    }

    // Alt+Return breaks the line inside the label.
    select({a});
    outline->editSelection();
    settle();
    QTest::keyClicks(outline->editorView(), QStringLiteral("one"));
    QTest::keyClick(outline->editorView(), Qt::Key_Return, Qt::AltModifier);
    QTest::keyClicks(outline->editorView(), QStringLiteral("two"));
    QTest::keyClick(outline->editorView(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(TWOutlineModel::branchText(*a), QStringLiteral("one\ntwo"));
    EXPECT_EQ(root->children().size(), 1);

    // A reload while typing keeps what was typed.
    select({a});
    outline->editSelection();
    settle();
    QTest::keyClicks(outline->editorView(), QStringLiteral("Kept"));
    outline->updateContent();
    EXPECT_EQ(TWOutlineModel::branchText(*a), QStringLiteral("Kept"));
}

TEST_F(OutlineTest, PanesRestoreAndTheOutlinePrints)
{
    const struct
    {
        QVariant stored;
        QString arrangement;
    } cases[] = {
        {QVariant(), TWOutlineViewController::ShowOutlineOnlyIdentifier},
        {QStringLiteral("Nonsense"), TWOutlineViewController::ShowOutlineOnlyIdentifier},
        {TWOutlineViewController::ShowNotesOnlyIdentifier,
         TWOutlineViewController::ShowNotesOnlyIdentifier},
        {TWOutlineViewController::ShowSplitViewIdentifier,
         TWOutlineViewController::ShowSplitViewIdentifier},
    };
    for (const auto &c : cases) {
        UserDefaults::standard().setObject(c.stored, TWOutlineViewController::ToolbarSelectionKey);
        outline->restorePreviousViewSelection();
        EXPECT_EQ(outline->selectedToolbarItem(), c.arrangement);
        EXPECT_EQ(
            UserDefaults::standard().stringForKey(TWOutlineViewController::ToolbarSelectionKey),
            c.arrangement);
    }

    add(map->root().get(), QStringLiteral("Printed branch"));
    settle();
    const std::optional<AttributedString> text = outline->printText();
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->string().contains(QStringLiteral("Printed branch")));
    outline->showPrintPanel();
    EXPECT_TRUE(outline->printTextView()->toPlainText().contains(QStringLiteral("Printed branch")));
    outline->printPanel()->reject();

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("outline.pdf")));
    outline->setPrintOrientation(1);
    ASSERT_TRUE(outline->printOutline(printer));
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_GT(QFileInfo(printer.outputFileName()).size(), 500);
}

TEST_F(OutlineTest, ABoundTableMovesTheDraggedRowToTheGap)
{
    const QVariantList array{0, 1, 2, 3, 4};
    const struct
    {
        int from, to;
        QVariantList expected;
    } cases[] = {
        {1, 4, {0, 2, 3, 1, 4}}, {3, 0, {3, 0, 1, 2, 4}}, {0, 5, {1, 2, 3, 4, 0}},
        {2, 2, {0, 1, 2, 3, 4}}, {7, 1, {0, 1, 2, 3, 4}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TWTableViewBoundDragAndDrop::movedArray(array, c.from, c.to), c.expected)
            << c.from << "->" << c.to;

    TWTableViewBoundDragAndDrop table;
    EXPECT_FALSE(table.dragDataForRows({1}));
    EXPECT_FALSE(table.acceptDrop("1", 4));
    QVariantList stored = array;
    table.setBoundArrayController(
        TWBoundArray{[&] { return stored; }, [&](const QVariantList &l) { stored = l; }});
    EXPECT_EQ(table.dragDataForRows({1, 3}), QByteArray("1"));
    EXPECT_FALSE(table.acceptDrop("2", 2));
    ASSERT_TRUE(table.acceptDrop("1", 4));
    EXPECT_EQ(stored.indexOf(1), 3);
    // No place to store: taken, nothing changes.
    table.setBoundArrayController(TWBoundArray{[&] { return stored; }, nullptr});
    EXPECT_TRUE(table.acceptDrop("0", 3));
    EXPECT_EQ(stored.indexOf(1), 3);
}

TEST_F(OutlineTest, ValidationFollowsTheSelectedRows)
{
    TWMapBranch *root = map->root().get();
    TWMapBranch *a = add(root, QStringLiteral("A"));
    TWMapBranch *b = add(a, QStringLiteral("B"));
    TWMapBranch *c = add(a, QStringLiteral("C"));
    expandAll();
    struct Case
    {
        const char *name;
        QList<TWMapBranch *> selection;
        bool up, down, left, right, group, ungroup;
    };
    const bool A_up = outline->branchAbove(a) != root;
    const Case cases[] = {
        {"nothing", {}, false, false, false, false, false, false},
        {"root alone", {root}, false, false, false, false, false, false},
        {"first child", {b}, true, true, true, true, true, false},
        {"last row", {c}, true, false, true, true, true, false},
        {"first-level parent", {a}, A_up, true, false, A_up, true, true},
        {"root and a child", {root, b}, true, true, true, true, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        outline->selectBranches(c.selection);
        EXPECT_EQ(outline->canMoveUp(), c.up);
        EXPECT_EQ(outline->canMoveDown(), c.down);
        EXPECT_EQ(outline->canMoveLeft(), c.left);
        EXPECT_EQ(outline->canOutdent(), c.left);
        EXPECT_EQ(outline->canMoveRight(), c.right);
        EXPECT_EQ(outline->canIndent(), c.right);
        EXPECT_EQ(outline->canGroup(), c.group);
        EXPECT_EQ(outline->canUngroup(), c.ungroup);
    }
}

TEST_F(OutlineTest, NotesPaneEditsTheSelectedBranchAndAClosedDocumentEmptiesTheOutline)
{
    TWMapBranch *a = add(map->root().get(), QStringLiteral("A"));
    expandAll();
    select({a});
    QTextEdit *notes = outline->branchNotesView();
    ASSERT_TRUE(notes);
    // The document's find reaches the pane through the window's interface.
    EXPECT_EQ(static_cast<OutlineWindow &>(*outline).branchNotesView(), notes);
    EXPECT_FALSE(notes->isReadOnly());
    notes->setPlainText(QStringLiteral("A note"));
    ASSERT_TRUE(a->primaryAttachedText());
    EXPECT_EQ(a->primaryAttachedText()->string(), QStringLiteral("A note"));
    undoLast();
    EXPECT_FALSE(a->primaryAttachedText() && !a->primaryAttachedText()->string().isEmpty());
    // Two rows: the notes of neither are shown, and none can be typed.
    select({a, map->root().get()});
    outline->updateBranchSelection();
    EXPECT_TRUE(notes->isReadOnly());
    EXPECT_TRUE(notes->toPlainText().isEmpty());

    document->close();
    settle();
    EXPECT_EQ(outline->model()->rowCount(), 0);
    EXPECT_EQ(outline->document(), nullptr);
}

TEST_F(OutlineTest, PlainKeysOfTheOutlineRunItsCommands)
{
    TWMapBranch *root = map->root().get();
    TWMapBranch *a = add(root, QStringLiteral("A"));
    expandAll();
    // With the notes beside it, Tab still adds a branch rather than moving on.
    outline->showSplitView();
    outline->window()->show();
    settle();
    TWOutlineView *view = outline->outlineView();
    struct Case
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        qsizetype rootChildren, aChildren;
        bool editing;
    };
    const Case cases[] = {
        {Qt::Key_Return, Qt::NoModifier, 1, 0, true},
        {Qt::Key_Tab, Qt::NoModifier, 1, 1, true},
        {Qt::Key_Backtab, Qt::ShiftModifier, 2, 0, true},
        {Qt::Key_Delete, Qt::NoModifier, 0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        select({a});
        view->setFocus();
        QTest::keyClick(view, c.key, c.modifiers);
        settle();
        EXPECT_EQ(root->children().size(), c.rootChildren);
        EXPECT_EQ(a->children().size(), c.aChildren);
        EXPECT_EQ(view->isEditing(), c.editing);
        if (view->isEditing()) {
            QTest::keyClick(outline->editorView(), Qt::Key_Escape);
            settle();
        }
        if (c.rootChildren + c.aChildren != 1)
            undoLast();
        expandAll();
        ASSERT_EQ(root->children().size(), 1);
    }
}

TEST_F(OutlineTest, FollowsTheActiveDocument)
{
    TWOutlineViewController follower(true);
    TWDocument *other = untitled();
    const struct
    {
        TWDocument *active;
        int rows;
    } steps[] = {{document, 1}, {other, 1}, {nullptr, 0}};
    for (const auto &step : steps) {
        app->setCurrentlyActiveDocument(step.active);
        EXPECT_EQ(follower.document(), step.active);
        EXPECT_EQ(follower.model()->rowCount(), step.rows);
        if (step.active)
            EXPECT_EQ(follower.model()->root(), step.active->mapsDocument()->currentMap()->root());
    }
    // Switching maps shows the new current map.
    app->setCurrentlyActiveDocument(document);
    document->addMapUsingTemplate(false);
    settle();
    ASSERT_EQ(document->mapsDocument()->countOfMaps(), 2);
    EXPECT_EQ(follower.model()->root(), document->mapsDocument()->currentMap()->root());
    document->mapsDocument()->setCurrentMapNumber(0);
    settle();
    EXPECT_EQ(follower.model()->root(), document->mapsDocument()->objectInMapsAtIndex(0)->root());
    // A document read again shows its new tree once the new map's selection is announced.
    auto replacement = TWMapsDoc::create();
    auto fresh = TWMap::create(replacement.get());
    replacement->addMap(fresh, true);
    document->setMapsDocument(replacement);
    fresh->setSelectedBranches({fresh->root()});
    wait();
    EXPECT_EQ(follower.model()->root(), fresh->root());
}

TEST_F(OutlineTest, NotesPaneWritesTheFirstNoteAndRefitsTheBranchWhenOneComesOrGoes)
{
    TWMapBranch *a = add(map->root().get(), QStringLiteral("A"));
    expandAll();
    QTextEdit *notes = outline->branchNotesView();
    struct Case
    {
        const char *name;
        QStringList before; // the branch's notes, first first
        QString typed;
        QStringList after;
        bool refitted;
    };
    const Case cases[] = {
        {"typing makes a note", {}, "A note", {"A note"}, true},
        {"clearing removes only the first", {"one", "two"}, "", {"two"}, true},
        {"editing replaces the first", {"one", "two"}, "changed", {"changed", "two"}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        a->removeAllAttachedTextArray();
        for (const QString &text : c.before) {
            auto note = std::make_shared<TWAttachedText>(std::nullopt, a->undoManager());
            note->setText(std::make_shared<const AttributedString>(text));
            a->insertObjectInAttachedTextArrayAtIndex(note, a->countOfAttachedTextArray());
        }
        // A size no text gives: a refit shows as a change.
        const Rect odd(400, 100, 321, 123);
        a->mainGraphic()->setBounds(odd);
        select({a});
        outline->updateBranchSelection();
        settle();
        ASSERT_FALSE(notes->isReadOnly());

        // One edit of the pane, as typing or deleting it all makes.
        QTextCursor cursor(notes->document());
        cursor.beginEditBlock();
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
        cursor.insertText(c.typed);
        cursor.endEditBlock();
        settle();

        QStringList after;
        for (const auto &note : a->attachedTextArray())
            after << note->text()->string();
        EXPECT_EQ(after, c.after);
        const Rect bounds = a->mainGraphic()->bounds();
        if (c.refitted) {
            // Fitted to its text and indicators: fitting again changes nothing.
            EXPECT_NE(bounds, odd);
            a->makeNaturalSizeHonoringTextWidth(true, true);
            EXPECT_EQ(a->mainGraphic()->bounds(), bounds);
        } else {
            EXPECT_EQ(bounds, odd);
        }
    }
}

TEST_F(OutlineTest, LabelEditorAndNotesPaneTakeLinksInTheirText)
{
    TWMapBranch *a = add(map->root().get(), QStringLiteral("A"));
    expandAll();
    const QUrl address(QStringLiteral("http://example.org/a"));
    const auto answer = [&](const QString &) { return std::optional(address.toString()); };
    const auto linkIn = [](const AttributedString &text, int index) {
        return TWHyperlinkableText::linkAtIndex(text, index);
    };

    // The row's editor: the link is kept when the label is written back.
    select({a});
    outline->editSelection();
    settle();
    TWOutlineTextView *editor = outline->editorView();
    ASSERT_NE(editor, nullptr);
    editor->setPlainText(QStringLiteral("see docs"));
    QTextCursor cursor(editor->document());
    cursor.setPosition(4);
    cursor.setPosition(8, QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);
    editor->setURLGetter(answer);
    EXPECT_TRUE(editor->addHyperlinkToText());
    QTest::keyClick(editor, Qt::Key_Escape);
    settle();
    ASSERT_TRUE(a->enclosedTextArea());
    EXPECT_EQ(linkIn(a->enclosedTextArea()->text(), 5), address);
    EXPECT_FALSE(linkIn(a->enclosedTextArea()->text(), 2));

    // The notes pane: adding and removing a link change the note.
    select({a});
    outline->updateBranchSelection();
    auto *notes = qobject_cast<TWHyperlinkableTextView *>(outline->branchNotesView());
    ASSERT_NE(notes, nullptr);
    notes->setPlainText(QStringLiteral("read this"));
    notes->selectAll();
    notes->setURLGetter(answer);
    EXPECT_TRUE(notes->addHyperlinkToText());
    ASSERT_TRUE(a->primaryAttachedText());
    EXPECT_EQ(linkIn(*a->primaryAttachedText(), 0), address);
    EXPECT_TRUE(notes->removeHyperlinkFromText(3));
    EXPECT_FALSE(linkIn(*a->primaryAttachedText(), 0));
    EXPECT_EQ(a->primaryAttachedText()->string(), QStringLiteral("read this"));
}
