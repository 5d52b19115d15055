#include "BranchTestSupport.h"
#include "graphics/TWEnclosedGraphic.h"
#include "model/TWMapsDoc_ChangedBranches.h"
#include "platform/GraphicNumberSet.h"
#include "support/TWPreferences.h"

#include <QAction>
#include <QSet>

using namespace BranchTest;

namespace {

// Stand-ins for records whose classes other parts of the model define: the
// arrays only hold and hand them back.
template <class T> std::shared_ptr<T> opaque()
{
    auto owner = std::make_shared<int>(0);
    return std::shared_ptr<T>(owner, reinterpret_cast<T *>(owner.get()));
}

class TWMapBranchTest : public BranchFixture
{};

TEST_F(TWMapBranchTest, PlainInitGivesTheDetachedDefaults)
{
    auto branch = TWMapBranch::create();
    EXPECT_EQ(branch->textRelativePosition(), 0);
    EXPECT_EQ(branch->mainGraphic(), nullptr);
    EXPECT_EQ(branch->enclosedTextArea(), nullptr);
    EXPECT_EQ(branch->map(), nullptr);
    EXPECT_EQ(branch->percentageComplete(), -1);
    EXPECT_EQ(branch->durationUnits(), 3);
    EXPECT_EQ(branch->childrenConnectionSide(), 1);
    EXPECT_EQ(branch->childrenConnectionStyle(), 4);
    EXPECT_TRUE(branch->printScreenWriterText());
    EXPECT_TRUE(branch->outlineNumber().isEmpty());
    EXPECT_TRUE(GraphicNumberSet::shared().isInUse(branch->branchNumber()));
    EXPECT_EQ(branch->textMaxWidth(), 999999);

    // The own limit first, then the map's, then none.
    auto mapped = child(root, 100, "a");
    map->branchDisplaySettingsForUpdate().textMaxWidthSet = true;
    map->branchDisplaySettingsForUpdate().textMaxWidth = 120;
    EXPECT_EQ(mapped->textMaxWidth(), 120);
    mapped->setTextMaxWidth(80);
    mapped->setTextMaxWidthSet(true);
    EXPECT_EQ(mapped->textMaxWidth(), 80);
}

TEST_F(TWMapBranchTest, NewBranchesTakeTextFontAndConnectionByDepth)
{
    TWPreferences::setCenterFont({"Helvetica-Bold", 20});
    TWPreferences::setFirstLevelFont({"Helvetica", 16});
    TWPreferences::setBranchFont({"Times-Roman", 11});
    auto rootless = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 100, 40)),
                                                   nullptr, map.get());
    auto first = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(500, 100, 80, 30)),
                                                root.get(), map.get());
    auto deeper = TWMapBranch::createWithGraphic(
        TWGraphic::createWithBounds(Rect(700, 100, 60, 20)), first.get(), map.get());

    struct Case
    {
        std::shared_ptr<TWMapBranch> branch;
        QString text;
        Font font;
        QString connection;
    } cases[] = {
        {rootless, "Main Idea", Font("Helvetica-Bold", 20), ""},
        {first, "New Branch", Font("Helvetica", 16), "TWTitleConnection"},
        {deeper, "New Branch", Font("Times-Roman", 11), "TWChildConnection"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString() + " " + c.font.fontName().toStdString());
        const auto &text = c.branch->enclosedTextArea();
        EXPECT_EQ(text->text().string(), c.text);
        EXPECT_EQ(text->text().attribute(NSFontAttributeName, 0).value<Font>(), c.font);
        EXPECT_FALSE(text->drawsStroke());
        EXPECT_FALSE(text->drawsFill());
        EXPECT_EQ(text->branch(), c.branch.get());
        EXPECT_EQ(c.branch->mainGraphic()->branch(), c.branch.get());
        EXPECT_EQ(c.branch->connectionGraphic() ? c.branch->connectionGraphic()->className() : "",
                  c.connection);
        EXPECT_EQ(c.branch->textRelativePosition(), 2);
        EXPECT_EQ(c.branch->boundaryCurveRadius(), 10);
        EXPECT_EQ(c.branch->boundaryLineWidth(), 1);
        EXPECT_EQ(c.branch->boundaryMargin(), 3);
        EXPECT_EQ(c.branch->boundaryLineColor(), Color::colorWithCalibratedRed(0, 0, 0, 1));
        EXPECT_TRUE(c.branch->boundaryInheritsLineColor());
        EXPECT_EQ(c.branch->overriddenChildRepel(), -1);
        EXPECT_EQ(c.branch->overriddenChildrenColorMode(), -1);
    }
    // The text sits across the middle of the shape, 5 in from each side.
    EXPECT_EQ(first->enclosedTextArea()->bounds(), Rect(505, 115, 70, 20));
    // A title connection starts at the centre of the root's shape.
    auto title = std::static_pointer_cast<TWTitleConnection>(first->connectionGraphic());
    EXPECT_EQ(title->position(), Point(350, 220));
    auto link = std::static_pointer_cast<TWChildConnection>(deeper->connectionGraphic());
    EXPECT_EQ(link->parentGraphicNumber(), first->mainGraphic()->graphicNumber());
    EXPECT_EQ(link->childGraphicNumber(), deeper->mainGraphic()->graphicNumber());
    EXPECT_EQ(root->children(), TWMapBranch::BranchList({first}));
    EXPECT_EQ(first->parent(), root.get());
    EXPECT_EQ(deeper->map(), map.get());
}

// Where a branch stands against its parent, by their shapes' centres; a
// root, or a branch without a shape, stands nowhere.
TEST_F(TWMapBranchTest, ABranchIsLeftOfOrAboveItsParentByTheCentres)
{
    // The root's centre is (350, 220).
    const struct
    {
        Rect bounds;
        bool left, above;
    } cases[] = {
        {Rect(100, 100, 80, 30), true, true},   {Rect(500, 300, 80, 30), false, false},
        {Rect(100, 300, 80, 30), true, false},  {Rect(500, 100, 80, 30), false, true},
        {Rect(310, 205, 80, 30), false, false}, // centred on the parent's centre
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bounds.x());
        auto b = newBranch(root.get(), c.bounds, "b");
        EXPECT_EQ(b->isToLeftOfParent(), c.left);
        EXPECT_EQ(b->isAboveParent(), c.above);
        b->remove();
    }
    EXPECT_FALSE(root->isToLeftOfParent());
    EXPECT_FALSE(root->isAboveParent());
}

TEST_F(TWMapBranchTest, ChildrenChangesPostInOrderAndReloadTheOutlineOncePerPass)
{
    Recorder recorder({TWMapBranch::SubtreeNeedsRedrawNotification,
                       TWMapBranch::BranchDidResizeNotification,
                       TWMapBranch::OutlineNeedsReloadNotification});
    auto a = TWMapBranch::create(), b = TWMapBranch::create(), c = TWMapBranch::create();
    for (const auto &branch : {a, b, c}) {
        branch->setPrimitiveMap(map.get());
        root->insertObjectInChildrenAtIndex(branch, root->countOfChildren());
    }
    EXPECT_EQ(recorder.names(),
              QStringList({"SubtreeNeedsRedrawNotification", "BranchDidResizeNotification",
                           "SubtreeNeedsRedrawNotification", "BranchDidResizeNotification",
                           "SubtreeNeedsRedrawNotification", "BranchDidResizeNotification"}));
    EXPECT_EQ(recorder.notifications[0].sender, a.get());
    EXPECT_EQ(recorder.notifications[1].sender, root.get());
    // The caller sets the parent.
    EXPECT_EQ(a->parent(), nullptr);

    recorder.clear();
    NotificationQueue::defaultQueue().flush();
    ASSERT_EQ(recorder.names(), QStringList({"TWOutlineNeedsReloadNotification"}));
    EXPECT_EQ(recorder.notifications[0].sender, document.get());

    // Removal: the redraw while the child is still in place, then the tree's upkeep.
    auto x = child(root, 400, "x");
    child(x, 400, "x1");
    settle();
    recorder.clear();
    root->removeChild(x);
    EXPECT_EQ(recorder.names(),
              QStringList({"SubtreeNeedsRedrawNotification", "BranchDidResizeNotification"}));
    EXPECT_EQ(recorder.notifications[0].sender, x.get());
    EXPECT_EQ(layout->calls,
              QStringList({"tooltips x", "remove from boundary x: x",
                           "remove from boundary root: x", "remove from boundary root: x1"}));
    EXPECT_EQ(root->children(), TWMapBranch::BranchList({a, b, c}));
    // The removed child keeps its links (weak): undo puts it back in place.
    EXPECT_EQ(x->parent(), root.get());
    root->removeChild(TWMapBranch::create());
    EXPECT_EQ(root->countOfChildren(), 3);
    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(root->children(), TWMapBranch::BranchList({a, b, c, x}));
    undo->redo();
    EXPECT_EQ(root->children(), TWMapBranch::BranchList({a, b, c}));
}

TEST_F(TWMapBranchTest, SettingChildrenReloadsTheOutlineWithoutRedraw)
{
    auto a = child(root, 100, "a"), b = child(root, 200, "b");
    settle();
    Recorder recorder;
    root->setChildren({b, a});
    EXPECT_EQ(recorder.names(), QStringList());
    NotificationQueue::defaultQueue().flush();
    EXPECT_EQ(recorder.names(), QStringList({"TWOutlineNeedsReloadNotification"}));
    EXPECT_TRUE(layout->calls.isEmpty());
    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(root->children(), TWMapBranch::BranchList({a, b}));
}

TEST_F(TWMapBranchTest, RemovingALinkedGraphicClosesTheGapInTheZOrder)
{
    struct Case
    {
        QList<int> orderings;
        int removed;
        QList<int> expected;
    } cases[] = {
        {{-3, -2, -1, 0, 2}, 1, {-2, -1, 0, 2}},
        {{-1, 0, 1, 2}, 1, {-1, 0, 1}},
        {{3, -1, 5}, 0, {-1, 4}},
    };
    for (const Case &c : cases) {
        auto branch = child(root, 100, "b");
        for (int ordering : c.orderings) {
            auto g = TWGraphic::createWithBounds(Rect(0, 0, 10, 10));
            g->setInternalOrdering(ordering);
            g->setBranch(branch.get());
            branch->insertObjectInLinkedGraphicsAtIndex(g, branch->countOfLinkedGraphics());
        }
        settle();
        Recorder recorder({TWGraphic::GraphicNeedsRedrawNotification});
        const auto removed = branch->objectInLinkedGraphicsAtIndex(c.removed);
        branch->removeObjectFromLinkedGraphicsAtIndex(c.removed);
        QList<int> orderings;
        for (const auto &g : branch->linkedGraphics())
            orderings << g->internalOrdering();
        EXPECT_EQ(orderings, c.expected);
        ASSERT_EQ(recorder.notifications.size(), 1);
        EXPECT_EQ(recorder.notifications[0].sender, removed.get());
        // One step restores the graphic and the others' numbers.
        undo->closeEventGroup();
        undo->undo();
        orderings.clear();
        for (const auto &g : branch->linkedGraphics())
            orderings << g->internalOrdering();
        EXPECT_EQ(orderings, c.orderings);
    }
}

TEST_F(TWMapBranchTest, EveryIndexedArrayOperationIsUndone)
{
    auto branch = child(root, 100, "b");
    settle();
    struct Array
    {
        const char *name;
        std::function<void()> insertTwo;
        std::function<void()> removeFirst;
        std::function<void()> replaceFirst; // empty where the array has no replace
        std::function<void()> removeAll;
        std::function<QList<const void *>()> contents;
    };
    auto ids = [](const auto &list) {
        QList<const void *> result;
        for (const auto &item : list)
            result << static_cast<const void *>(item.get());
        return result;
    };
    QStringList formatsSeen;
    std::vector<Array> arrays = {
        {"linked graphics",
         [&] {
             for (int i = 0; i < 2; ++i)
                 branch->insertObjectInLinkedGraphicsAtIndex(TWGraphic::create(), 0);
         },
         [&] { branch->removeObjectFromLinkedGraphicsAtIndex(0); },
         {},
         [&] { branch->removeAllLinkedGraphics(); },
         [&] { return ids(branch->linkedGraphics()); }},
        {"other enclosed graphics",
         [&] {
             for (int i = 0; i < 2; ++i)
                 branch->insertObjectInOtherEnclosedGraphicsAtIndex(
                     std::make_shared<TWEnclosedGraphic>("icon", std::nullopt, TWGraphic::create()),
                     0);
         },
         [&] { branch->removeObjectFromOtherEnclosedGraphicsAtIndex(0); },
         {},
         [&] { branch->removeAllOtherEnclosedGraphics(); },
         [&] { return ids(branch->otherEnclosedGraphics()); }},
        {"attached texts",
         [&] {
             for (int i = 0; i < 2; ++i)
                 branch->insertObjectInAttachedTextArrayAtIndex(opaque<TWAttachedText>(), 0);
         },
         [&] { branch->removeObjectFromAttachedTextArrayAtIndex(0); },
         {},
         [&] { branch->removeAllAttachedTextArray(); },
         [&] { return ids(branch->attachedTextArray()); }},
        {"hyperlinks",
         [&] {
             for (int i = 0; i < 2; ++i)
                 branch->insertObjectInHyperlinksAtIndex(opaque<TWHyperlink>(), 0);
         },
         [&] { branch->removeObjectFromHyperlinksAtIndex(0); },
         [&] { branch->replaceObjectInHyperlinksAtIndex(0, opaque<TWHyperlink>()); },
         [&] { branch->removeAllHyperlinks(); }, [&] { return ids(branch->hyperlinks()); }},
        {"tracked changes",
         [&] {
             for (int i = 0; i < 2; ++i)
                 branch->insertObjectInTrackedChangesAtIndex(opaque<TWTrackedChange>(), 0);
         },
         [&] { branch->removeObjectFromTrackedChangesAtIndex(0); },
         [&] { branch->replaceObjectInTrackedChangesAtIndex(0, opaque<TWTrackedChange>()); },
         [&] { branch->removeAllTrackedChanges(); }, [&] { return ids(branch->trackedChanges()); }},
    };
    for (const Array &array : arrays) {
        SCOPED_TRACE(array.name);
        array.insertTwo();
        settle();
        const QList<const void *> two = array.contents();
        ASSERT_EQ(two.size(), 2);
        std::vector<std::function<void()>> changes = {array.removeFirst, array.removeAll};
        if (array.replaceFirst)
            changes.push_back(array.replaceFirst);
        for (const auto &change : changes) {
            change();
            undo->closeEventGroup();
            EXPECT_NE(array.contents(), two);
            undo->undo();
            EXPECT_EQ(array.contents(), two);
            undo->redo();
            EXPECT_NE(array.contents(), two);
            undo->undo();
        }
        // Undoing the insertions empties the array again.
        undo->undo();
        EXPECT_TRUE(array.contents().isEmpty());
    }
}

TEST_F(TWMapBranchTest, ArraySideEffects)
{
    auto branch = child(root, 100, "b");
    settle();
    Recorder recorder({TWMapBranch::BranchNeedsRedrawNotification,
                       TWMapBranch::BranchOutlineFormatSettingChangedNotification});
    branch->insertObjectInHyperlinksAtIndex(opaque<TWHyperlink>(), 0);
    EXPECT_EQ(layout->calls, QStringList({"natural size b 1 1"}));
    EXPECT_EQ(recorder.names(), QStringList({"BranchNeedsRedrawNotification"}));

    // Each format change announces itself, and emptying once more at the end.
    recorder.clear();
    branch->insertObjectInChildrenOutlineNumberFormatOverrideAtIndex("Numeric", 0);
    branch->replaceObjectInChildrenOutlineNumberFormatOverrideAtIndex(0, "Upper case roman");
    EXPECT_EQ(branch->childrenOutlineNumberFormatOverride(), QStringList({"Upper case roman"}));
    branch->removeAllChildrenOutlineNumberFormatOverride();
    EXPECT_EQ(recorder.count("BranchOutlineFormatSettingChangedNotification"), 4);
    branch->removeAllChildrenOutlineNumberFormatOverride();
    EXPECT_EQ(recorder.count("BranchOutlineFormatSettingChangedNotification"), 5);

    // The reserved width is measured before an enclosed graphic arrives.
    layout->calls.clear();
    branch->insertObjectInOtherEnclosedGraphicsAtIndex(
        std::make_shared<TWEnclosedGraphic>("icon", std::nullopt, TWGraphic::create()), 0);
    EXPECT_EQ(layout->calls, QStringList({"reposition b from 3"}));
    EXPECT_EQ(branch->totalWidthToAllowForOtherEnclosedGraphics(), 22);
}

TEST_F(TWMapBranchTest, LevelsAndTheHiddenRule)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1");
    auto a11 = child(a1, 100, "a11");
    auto b = child(root, 300, "b");

    struct Level
    {
        std::shared_ptr<TWMapBranch> branch;
        int level, maximum;
        QList<int> indexPath;
        QString topLevel;
    } levels[] = {
        {root, 0, 3, {0}, ""},
        {a, 1, 3, {0, 0}, "a"},
        {a11, 3, 3, {0, 0, 0, 0}, "a"},
        {b, 1, 1, {0, 1}, "b"},
    };
    for (const Level &l : levels) {
        SCOPED_TRACE(nameOf(*l.branch).toStdString());
        EXPECT_EQ(l.branch->getThisBranchLevel(), l.level);
        EXPECT_EQ(l.branch->getMaximumBranchLevel(), l.maximum);
        EXPECT_EQ(l.branch->indexPath(), l.indexPath);
        TWMapBranch *top = l.branch->findTopLevelBranch();
        EXPECT_EQ(top ? nameOf(*top) : QString(), l.topLevel);
    }
    EXPECT_EQ(a11->levelsBelowMe(7), 7);
    EXPECT_EQ(root->levelsBelowMe(0), 3);
    EXPECT_TRUE(root->isRoot());
    EXPECT_EQ(root->expansionSide(), 2);
    EXPECT_TRUE(a11->isDescendantOf(a.get()));
    EXPECT_TRUE(a->isDescendantOf(a.get()));
    EXPECT_FALSE(a->isDescendantOf(a11.get()));
    EXPECT_TRUE(a11->isDescendantOfBranchInArray({b, a1}));
    EXPECT_EQ(root->findBranchWithBranchNumber(a11->branchNumber()), a11.get());
    EXPECT_EQ(root->findBranchWithBranchNumber(-5), nullptr);
    int count = 0;
    root->countInto(&count);
    EXPECT_EQ(count, 5);

    // Collapsing hides the descendants, not the collapsed branch.
    a->setChildrenHidden(true);
    EXPECT_FALSE(a->hidden());
    EXPECT_TRUE(a1->hidden());
    EXPECT_TRUE(a11->hidden());
    EXPECT_EQ(names(root->getNonHiddenChildren()), QStringList({"a", "b"}));
    TWMapBranch::BranchList visible, all;
    root->allDescendantsIntoArray(visible, false);
    root->buildBranchArray(all);
    EXPECT_EQ(names(visible), QStringList({"root", "a", "b"}));
    EXPECT_EQ(names(all), QStringList({"root", "a", "a1", "a11", "b"}));
    a->setChildrenHidden(false);

    // The map's hide level hides what lies deeper.
    map->branchDisplaySettingsForUpdate().branchHideLevel = 1;
    EXPECT_FALSE(a->hidden());
    EXPECT_TRUE(a1->hidden());
    TWMapBranch::BranchList toLevel, atLevel;
    map->branchDisplaySettingsForUpdate().branchHideLevel = 99;
    root->allDescendantsToLevel(2, toLevel, true);
    EXPECT_EQ(names(toLevel), QStringList({"root", "a", "a1", "b"}));
    root->fillArray(atLevel, 1, 0);
    EXPECT_EQ(names(atLevel), QStringList({"a", "b"}));
}

TEST_F(TWMapBranchTest, CollapsingChildrenDropsTheirSelectionAndIsOneNamedStep)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1");
    auto b = child(root, 300, "b");
    map->insertObjectInSelectedGraphicsAtIndex(b->mainGraphic(), 0);
    map->insertObjectInSelectedGraphicsAtIndex(a1->enclosedTextArea(), 1);
    map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 2);
    settle();
    map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 3;
    Recorder recorder({TWMapBranch::SubtreeNeedsRedrawNotification,
                       TWMapBranch::HideChildrenNotification,
                       TWMapBranch::EndEditingTextNotification});
    a->setChildrenHidden(true);
    EXPECT_EQ(recorder.names(),
              QStringList({"SubtreeNeedsRedrawNotification", "HideChildrenNotification",
                           "EndEditingTextNotification"}));
    EXPECT_EQ(map->selectedGraphics(), TWMap::GraphicList({b->mainGraphic(), a->mainGraphic()}));
    EXPECT_TRUE(layout->calls.contains("remove from boundary a1: a1"));
    EXPECT_TRUE(layout->calls.contains("arrange a"));
    undo->closeEventGroup();
    EXPECT_EQ(undo->undoActionName(), "Hide Children");
    undo->undo();
    EXPECT_FALSE(a->childrenHidden());
}

TEST_F(TWMapBranchTest, FrontToBackListsPutNegativeAttachedGraphicsInFront)
{
    auto branch = child(root, 100, "b");
    auto picture = TWGraphic::createWithBounds(Rect(0, 0, 5, 5));
    branch->setEnclosedImage(picture);
    auto icon = TWGraphic::create();
    branch->insertObjectInOtherEnclosedGraphicsAtIndex(
        std::make_shared<TWEnclosedGraphic>("icon", std::nullopt, icon), 0);
    std::map<int, std::shared_ptr<TWGraphic>> linked;
    for (int ordering : {3, -1, 5, -2}) {
        auto g = TWGraphic::create();
        g->setInternalOrdering(ordering);
        g->setBranch(branch.get());
        linked[ordering] = g;
        branch->insertObjectInLinkedGraphicsAtIndex(g, branch->countOfLinkedGraphics());
    }
    const auto text = std::static_pointer_cast<TWGraphic>(branch->enclosedTextArea());
    const auto connection = std::static_pointer_cast<TWGraphic>(branch->connectionGraphic());
    TWMapBranch::GraphicList list;
    branch->graphicsForThisBranchOnlyIntoArray(list, false, true, true);
    EXPECT_EQ(list,
              TWMapBranch::GraphicList({linked[-2], linked[-1], text, icon, picture,
                                        branch->mainGraphic(), linked[3], linked[5], connection}));
    EXPECT_EQ(branch->getMinimumAttachedGraphicNumber(), -2);
    EXPECT_EQ(branch->branchGraphicsForDragImage(),
              TWMapBranch::GraphicList({text, icon, branch->mainGraphic()}));

    // Attached graphics that are not shown are left out; the rest stays.
    map->branchDisplaySettingsForUpdate().showAttachedGraphics = false;
    list.clear();
    branch->graphicsForThisBranchOnlyIntoArray(list, false, false, false);
    EXPECT_EQ(list,
              TWMapBranch::GraphicList({text, icon, picture, branch->mainGraphic(), connection}));
    map->branchDisplaySettingsForUpdate().showAttachedGraphics = true;

    // Link lines follow, each once, whichever of the branch's graphics they join.
    auto other = child(root, 300, "other");
    auto inner = std::make_shared<TWLinkLine>();
    inner->init();
    inner->connect(text, branch->mainGraphic());
    auto outgoing = std::make_shared<TWLinkLine>();
    outgoing->init();
    outgoing->connect(branch->mainGraphic(), other->mainGraphic());
    auto incoming = std::make_shared<TWLinkLine>();
    incoming->init();
    incoming->connect(other->mainGraphic(), linked[3]);
    for (const auto &line : {inner, outgoing, incoming})
        map->insertObjectInLinkLinesAtIndex(line, map->countOfLinkLines());
    struct Flags
    {
        bool outgoing, incoming;
        TWMapBranch::GraphicList lines;
    } flags[] = {
        {true, true, {inner, outgoing, incoming}},
        {true, false, {inner, outgoing}},
        {false, true, {inner, incoming}},
        {false, false, {}},
    };
    for (const Flags &f : flags) {
        list.clear();
        branch->graphicsForThisBranchOnlyIntoArray(list, false, f.outgoing, f.incoming);
        EXPECT_EQ(list.mid(9), f.lines) << f.outgoing << f.incoming;
    }

    // A hidden branch gives nothing unless all are asked for; nor does its subtree.
    auto below = child(branch, 100, "below");
    root->setChildrenHidden(true);
    list.clear();
    root->graphicsForBranchIntoArray(list, false, true, true);
    EXPECT_EQ(list.size(), 2); // the root's text and shape
    list.clear();
    branch->graphicsForBranchIntoArray(list, true, false, false);
    EXPECT_EQ(list.size(), 9 + 3);
}

TEST_F(TWMapBranchTest, TheOutlineNumberLabelIsListedAndMeasuredOnlyWhereShown)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1");
    auto a11 = child(a1, 100, "a11");
    map->branchDisplaySettingsForUpdate().showOutlineNumbers = true;
    for (const auto &b : {a, a1, a11}) {
        b->insertObjectInOtherEnclosedGraphicsAtIndex(
            std::make_shared<TWEnclosedGraphic>("icon", std::nullopt, TWGraphic::create()), 0);
        b->setOutlineNumber("1.2");
        ASSERT_EQ(b->countOfOtherEnclosedGraphics(), 2);
        EXPECT_EQ(b->objectInOtherEnclosedGraphicsAtIndex(0)->name(), "outlineNumberKey");
    }
    // The label is as wide as the text layout measures its number.
    const auto label =
        std::static_pointer_cast<TWTextArea>(a->objectInOtherEnclosedGraphicsAtIndex(0)->graphic());
    const float w = label->bounds().width();
    EXPECT_EQ(w, label->requiredSizeForWidth(TWMapBranch::UnlimitedTextWidth).width);
    EXPECT_GT(w, TWTextArea::MinimumSize.width);
    const float full = 22 + w + 3;
    struct Case
    {
        int toLevel;
        QList<float> widths; // a, a1, a11
        QList<int> listed;
    } cases[] = {
        {2, {full, full, 22}, {4, 4, 3}},
        {0, {full, full, full}, {4, 4, 4}},
        {-1, {full, full, full}, {4, 4, 4}},
    };
    for (const Case &c : cases) {
        map->branchDisplaySettingsForUpdate().outlineNumbersToLevel = c.toLevel;
        int i = 0;
        for (const auto &b : {a, a1, a11}) {
            EXPECT_EQ(b->totalWidthToAllowForOtherEnclosedGraphics(), c.widths[i]) << c.toLevel;
            TWMapBranch::GraphicList own;
            b->insertBranchGraphicsIntoArray(own, false);
            EXPECT_EQ(own.size(), c.listed[i]) << c.toLevel << " " << i;
            ++i;
        }
    }
    // An empty number takes the label away again.
    a->setOutlineNumber(QString());
    EXPECT_EQ(a->countOfOtherEnclosedGraphics(), 1);
    EXPECT_EQ(a->objectInOtherEnclosedGraphicsAtIndex(0)->name(), "icon");
}

TEST_F(TWMapBranchTest, SuffixImagesReserveOneSlotEach)
{
    auto b = child(root, 100, "b");
    EXPECT_EQ(b->totalWidthForSuffixImages(), 3);
    b->insertObjectInHyperlinksAtIndex(opaque<TWHyperlink>(), 0);
    b->insertObjectInAttachedTextArrayAtIndex(opaque<TWAttachedText>(), 0);
    b->setShowCheckBox(true);
    b->setPercentageComplete(0);
    b->setPriority(2);
    b->setResourcesAllocated({"r1"});
    // The resource icon is never drawn, whatever the stored switch says, so
    // it gets no room either.
    ASSERT_TRUE(map->storedShowResourcesAllocated());
    EXPECT_FALSE(b->showsResourcesAllocatedIndicator());
    EXPECT_EQ(b->totalWidthForSuffixImages(), 5 * 19 + 3);
    map->branchDisplaySettingsForUpdate().showTextIndicators = false;
    map->branchDisplaySettingsForUpdate().showPriorities = false;
    EXPECT_EQ(b->totalWidthForSuffixImages(), 3 * 19 + 3);
    // A percentage that draws nothing keeps no slot either.
    b->setPercentageComplete(-0.5);
    EXPECT_EQ(b->totalWidthForSuffixImages(), 2 * 19 + 3);
    EXPECT_FALSE(b->suffixIcons().percentage);
}

TEST_F(TWMapBranchTest, ReSortingKeepsCachedExtentsOnlyWhereTheOrderStays)
{
    struct Case
    {
        const char *what;
        QList<float> ys;           // of the root's children, in the order they are added
        QList<float> grandchildYs; // of the first child's children
        bool rootReordered;
        bool firstReordered;
    } cases[] = {
        {"all in order", {100, 200, 300}, {150, 250}, false, false},
        {"the root's children out of order", {300, 100, 200}, {150, 250}, true, false},
        {"only deeper children out of order", {100, 200}, {250, 150}, false, true},
        {"both out of order", {200, 100}, {250, 150}, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QList<std::shared_ptr<TWMapBranch>> top;
        for (float y : c.ys)
            top << child(root, y, QString::number(y));
        for (float y : c.grandchildYs)
            child(top.first(), y, QString::number(y), 700);
        settle();
        const Rect cached(1, 2, 3, 4);
        for (const auto &b : {root, top.first(), top.last()})
            b->setSubtreeDrawingExtent(cached, 5);
        root->reSortChildrenByPositionRecursively(true);
        // A new order drops the extents from the reordered branch upwards.
        EXPECT_EQ(root->subtreeDrawingExtent(5).has_value(), !c.rootReordered && !c.firstReordered);
        EXPECT_EQ(top.first()->subtreeDrawingExtent(5).has_value(), !c.firstReordered);
        EXPECT_EQ(top.last()->subtreeDrawingExtent(5).has_value(), true);
        for (const auto &b : {root, top.first()}) {
            const auto &kids = b->children();
            EXPECT_TRUE(std::is_sorted(kids.cbegin(), kids.cend(), [](auto &x, auto &y) {
                return x->mainGraphic()->bounds().y() < y->mainGraphic()->bounds().y();
            }));
        }
        while (root->countOfChildren() > 0)
            root->removeObjectFromChildrenAtIndex(0);
        settle();
    }
}

TEST_F(TWMapBranchTest, ReSortingStoresOnlyAChangedOrderButAlwaysEmptiesTheCache)
{
    auto low = child(root, 300, "low");
    auto high = child(root, 100, "high");
    auto middle = child(root, 200, "middle");
    settle();
    const int steps = undo->undoStepCount();
    map->insertObjectInGraphicOrderCacheAtIndex(root->mainGraphic(), 0);
    root->reSortChildrenByPositionRecursively(false);
    EXPECT_EQ(names(root->children()), QStringList({"high", "middle", "low"}));
    EXPECT_TRUE(map->graphicOrderCache().isEmpty());
    undo->closeEventGroup();
    ASSERT_EQ(undo->undoStepCount(), steps + 1);

    // Already in order: no new step, no outline reload, the cache still emptied.
    NotificationQueue::defaultQueue().flush();
    map->insertObjectInGraphicOrderCacheAtIndex(root->mainGraphic(), 0);
    Recorder recorder({TWMapBranch::OutlineNeedsReloadNotification});
    root->reSortChildrenByPositionRecursively(true);
    undo->closeEventGroup();
    NotificationQueue::defaultQueue().flush();
    EXPECT_EQ(undo->undoStepCount(), steps + 1);
    EXPECT_TRUE(recorder.notifications.isEmpty());
    EXPECT_TRUE(map->graphicOrderCache().isEmpty());

    // Siblings are found after the re-sort; the ends have none.
    root->setChildren({low, middle, high});
    EXPECT_EQ(middle->siblingBranchAbove(), high);
    EXPECT_EQ(names(root->children()), QStringList({"high", "middle", "low"}));
    EXPECT_EQ(high->siblingBranchAbove(), nullptr);
    EXPECT_EQ(low->siblingBranchBelow(), nullptr);
    EXPECT_EQ(high->siblingBranchBelow(), middle);
}

TEST_F(TWMapBranchTest, SelectionRules)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1");
    auto b = child(root, 300, "b");
    auto picture = TWGraphic::create();
    a->setEnclosedImage(picture);
    auto icon = TWGraphic::create();
    a->insertObjectInOtherEnclosedGraphicsAtIndex(
        std::make_shared<TWEnclosedGraphic>("icon", std::nullopt, icon), 0);

    struct Case
    {
        const TWGraphic *graphic;
        int layoutMode;
        bool canBeSelected, selectsMain;
    } cases[] = {
        {a->connectionGraphic().get(), 0, false, false},
        {picture.get(), 0, false, true},
        {picture.get(), 1, true, false},
        {icon.get(), 0, false, true},
        {a->mainGraphic().get(), 0, true, false},
        {a->enclosedTextArea().get(), 0, true, false},
    };
    for (const Case &c : cases) {
        a->setEnclosedImageLayoutMode(c.layoutMode);
        EXPECT_EQ(a->canGraphicBeSelected(c.graphic), c.canBeSelected);
        EXPECT_EQ(a->shouldSelectMainForGraphic(c.graphic), c.selectsMain);
    }

    EXPECT_FALSE(a->isSelected());
    map->insertObjectInSelectedGraphicsAtIndex(a->connectionGraphic(), 0);
    EXPECT_TRUE(a->isSelected());
    EXPECT_TRUE(a->hasSelectedGraphic());
    EXPECT_TRUE(a1->ancestorHasSelectedGraphic());
    EXPECT_FALSE(b->ancestorHasSelectedGraphic());

    // A selected branch and its subtree give no coordinates; nor does the root.
    QList<Rect> coords;
    root->addCoordsToArray(coords);
    EXPECT_EQ(coords, QList<Rect>({b->branchBounds()}));

    // A link line that belongs to the branch selects it too.
    map->removeAllSelectedGraphics();
    auto line = std::make_shared<TWLinkLine>();
    line->init();
    line->setPrimitiveBranch(b.get());
    map->insertObjectInLinkLinesAtIndex(line, 0);
    map->insertObjectInSelectedGraphicsAtIndex(line, 0);
    EXPECT_TRUE(b->isSelected());
}

TEST_F(TWMapBranchTest, RemovingABranchTakesItsSubtreeOutAndUndoPutsItBack)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1");
    auto attached = TWGraphic::create();
    attached->setBranch(a.get());
    a->insertObjectInLinkedGraphicsAtIndex(attached, 0);
    map->setSelectedBranch(a);
    map->insertObjectInSelectedGraphicsAtIndex(a->mainGraphic(), 0);
    map->insertObjectInSelectedGraphicsAtIndex(attached, 1);
    settle();

    a->remove();
    EXPECT_TRUE(root->children().isEmpty());
    EXPECT_TRUE(a->children().isEmpty());
    EXPECT_TRUE(a->linkedGraphics().isEmpty());
    EXPECT_EQ(map->selectedBranch(), nullptr);
    EXPECT_TRUE(map->selectedGraphics().isEmpty());
    undo->closeEventGroup();
    undo->undo();
    EXPECT_EQ(root->children(), TWMapBranch::BranchList({a}));
    EXPECT_EQ(a->children(), TWMapBranch::BranchList({a1}));
    EXPECT_EQ(a->linkedGraphics(), TWMapBranch::GraphicList({attached}));
}

TEST_F(TWMapBranchTest, ExpansionSideFollowsTheConnectionSide)
{
    auto right = child(root, 100, "right", 600);
    auto left = child(root, 100, "left", 50);
    struct Case
    {
        int side;
        int rightResult, leftResult;
    } cases[] = {{1, 1, 0}, {7, 1, 0}, {3, 0, 0}, {4, 2, 2}, {5, 2, 2}, {6, 2, 2}, {2, 1, 1}};
    for (const Case &c : cases) {
        right->connectionGraphic()->setConnectionToParentSide(c.side);
        left->connectionGraphic()->setConnectionToParentSide(c.side);
        EXPECT_EQ(right->expansionSide(), c.rightResult) << c.side;
        EXPECT_EQ(left->expansionSide(), c.leftResult) << c.side;
    }
    // Left of the root, children are drawn bottom-up unless numbered top-down.
    auto l1 = child(left, 100, "l1", 10), l2 = child(left, 200, "l2", 10);
    EXPECT_EQ(names(left->childrenArrangedForDrawing()), QStringList({"l2", "l1"}));
    map->branchDisplaySettingsForUpdate().childOutlineNumberingTopDown = true;
    EXPECT_EQ(names(left->childrenArrangedForDrawing()), QStringList({"l1", "l2"}));
}

// A number label read with the document, which already says the number in
// the numbers' font, keeps the size it was saved with; any other text or
// font is measured again.
TEST_F(TWMapBranchTest, ANumberLabelThatAlreadySaysItsNumberKeepsItsSize)
{
    map->branchDisplaySettingsForUpdate().showOutlineNumbers = true;
    const Font numbers(TWPreferences::UserFontName, TWPreferences::UserFontDefaultSize);
    const struct
    {
        const char *what;
        QString saidBefore;
        Font font;
        bool kept;
    } cases[] = {
        {"the same number and font", "1.2", numbers, true},
        {"another number", "1.3", numbers, false},
        {"another font", "1.2", Font("Courier", 30), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        auto b = child(root, 100, "b");
        auto read = TWGraphic::make<TWTextArea>(Rect(5, 6, 61, 17));
        read->setText(
            AttributedString(c.saidBefore, {{NSFontAttributeName, QVariant::fromValue(c.font)}}));
        b->insertObjectInOtherEnclosedGraphicsAtIndex(
            std::make_shared<TWEnclosedGraphic>("outlineNumberKey", std::nullopt, read), 0);
        b->setOutlineNumber("1.2");
        ASSERT_EQ(b->countOfOtherEnclosedGraphics(), 1);
        const Size size = b->objectInOtherEnclosedGraphicsAtIndex(0)->graphic()->bounds().size;
        if (c.kept)
            EXPECT_EQ(size, Size(61, 17));
        else
            EXPECT_EQ(size, read->requiredSizeForWidth(TWMapBranch::UnlimitedTextWidth));
    }
}

TEST_F(TWMapBranchTest, FreshNumbersAndNumbersReadFromFiles)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1");
    const int before = a->branchNumber();
    a->setBranchNumberRecursively();
    EXPECT_NE(a->branchNumber(), before);
    EXPECT_NE(a->branchNumber(), a1->branchNumber());

    // A number read from a file is never handed out afresh.
    int stored = 123456;
    while (GraphicNumberSet::shared().isInUse(stored))
        ++stored;
    a1->setStoredBranchNumber(stored);
    EXPECT_EQ(a1->branchNumber(), stored);
    EXPECT_TRUE(GraphicNumberSet::shared().isInUse(stored));
}

TEST_F(TWMapBranchTest, ToggleFlipsTheMenuItemsKey)
{
    auto b = child(root, 100, "b");
    QAction item;
    item.setData(QStringLiteral("showCheckBox"));
    b->toggle(&item);
    EXPECT_TRUE(b->showCheckBox());
    b->toggle(&item);
    EXPECT_FALSE(b->showCheckBox());
    QObject notAMenuItem;
    b->toggle(&notAMenuItem);
    b->toggle(nullptr);
    EXPECT_FALSE(b->showCheckBox());
    EXPECT_FALSE(b->setValueForKey(true, "noSuchKey"));
}

TEST_F(TWMapBranchTest, RedrawRequestsBecomeDelayedRedrawsOfEachGraphic)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1");
    Recorder recorder(
        {TWMapBranch::DelayedRedrawInRectNotification, TWMapBranch::RedrawInRectNotification});
    NotificationCenter::defaultCenter().post(TWMapBranch::SubtreeNeedsRedrawNotification, a.get());
    // a: text, shape, connection; a1 the same.
    ASSERT_EQ(recorder.notifications.size(), 6);
    EXPECT_EQ(recorder.notifications[1].userInfo.value(TWMapBranch::RectKey).toRectF(),
              a->mainGraphic()->drawingBounds().toQt());
    EXPECT_EQ(
        recorder.notifications[0].userInfo.value(TWMapBranch::MapKey).value<NotificationObject>(),
        map.get());
    recorder.clear();
    NotificationCenter::defaultCenter().post(TWMapBranch::BranchNeedsRedrawNotification, a.get());
    EXPECT_EQ(recorder.notifications.size(), 3);

    // The boundary redraw covers the path grown by the line width, or nothing.
    recorder.clear();
    a->redraw();
    EXPECT_TRUE(recorder.notifications.isEmpty());
    layout->boundaryPath = Rect(10, 10, 100, 50);
    a->setBoundaryLineWidth(4);
    ASSERT_EQ(recorder.notifications.size(), 2);
    EXPECT_EQ(recorder.notifications[0].userInfo.value(TWMapBranch::RectKey).toRectF(),
              QRectF(9, 9, 102, 52));
    EXPECT_EQ(recorder.notifications[1].userInfo.value(TWMapBranch::RectKey).toRectF(),
              QRectF(6, 6, 108, 58));
}

TEST_F(TWMapBranchTest, ResizesAreLaidOutOnlyByTheirOwnDocument)
{
    auto otherDocument = TWMapsDoc::create();
    auto otherMap = TWMap::create(otherDocument.get());
    otherDocument->addMap(otherMap, true);
    auto otherRoot = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 0, 10, 10)),
                                                    nullptr, otherMap.get());
    otherMap->setRoot(otherRoot);
    auto mine = child(root, 100, "mine");
    auto theirs = TWMapBranch::createWithGraphic(TWGraphic::createWithBounds(Rect(0, 50, 10, 10)),
                                                 otherRoot.get(), otherMap.get());
    EXPECT_EQ(document->changedBranches(), TWMapBranch::BranchList({root}));
    EXPECT_EQ(otherDocument->changedBranches(), TWMapBranch::BranchList({otherRoot}));

    mine->mainGraphic()->setBounds(Rect(500, 100, 90, 30));
    theirs->mainGraphic()->setBounds(Rect(0, 50, 20, 10));
    EXPECT_EQ(document->changedBranches(), TWMapBranch::BranchList({root, mine}));
    EXPECT_EQ(otherDocument->changedBranches(), TWMapBranch::BranchList({otherRoot, theirs}));

    // The document's own services lay out its changed branches, map by map.
    map->branchDisplaySettingsForUpdate().layoutAssistanceMode = 2;
    map->setOutlineNumbersNeedUpdating(true);
    layout->calls.clear();
    document->updateChangedBranches();
    EXPECT_TRUE(document->changedBranches().isEmpty());
    EXPECT_EQ(layout->calls, QStringList({"renumber", "arrange root mine"}));
    EXPECT_FALSE(map->outlineNumbersNeedUpdating());
    otherDocument->detach();
}

TEST_F(TWMapBranchTest, FreeingAWholeDocumentPostsAndRegistersNothing)
{
    auto a = child(root, 100, "a");
    auto a1 = child(a, 100, "a1");
    auto attached = TWGraphic::create();
    attached->setBranch(a.get());
    a->insertObjectInLinkedGraphicsAtIndex(attached, 0);
    a->setOutlineNumber("1");
    auto removed = child(root, 300, "removed");
    root->removeChild(removed);
    removed.reset();
    settle();
    const int steps = undo->undoStepCount();

    Recorder recorder;
    // What closing a window does, then every owner lets go.
    document->detach();
    EXPECT_EQ(a->map(), nullptr);
    EXPECT_EQ(a1->parent(), nullptr);
    EXPECT_EQ(attached->branch(), nullptr);
    std::weak_ptr<TWMapBranch> watchedRoot = root;
    root.reset();
    a.reset();
    a1.reset();
    attached.reset();
    map.reset();
    document.reset();
    EXPECT_TRUE(watchedRoot.expired() == false); // the undo steps still hold the tree
    // The undo steps go last: freeing what they held posts and registers nothing.
    undo->removeAllActions();
    EXPECT_TRUE(watchedRoot.expired());
    NotificationQueue::defaultQueue().flush();
    undo->closeEventGroup();
    EXPECT_TRUE(recorder.notifications.isEmpty()) << recorder.names().join(", ").toStdString();
    EXPECT_EQ(undo->undoStepCount(), 0);
    EXPECT_GE(steps, 1);
    document = TWMapsDoc::create(); // for the fixture's tear-down
}

} // namespace
