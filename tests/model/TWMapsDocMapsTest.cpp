#include "TWMapsDocTestSupport.h"

#include <QRectF>
#include <functional>

using namespace MapsDocTest;

namespace {

const QStringList mapNotifications = {
    TWMapsDoc::UpdateMapTabsNotification,
    TWMapsDoc::SelectedGraphicsChangedNotification,
    TWMapsDoc::DelayedRedrawInRectNotification,
    TWMapsDoc::PrintCanvasControllerNeedsUpdateNotification,
};

constexpr int None = -2; // no current map in a MapsState

// Where the maps stand, as indexes into the maps a test began with
// (-1 for a map made since).
struct MapsState
{
    QList<int> order;
    int current = None;
};

class TWMapsDocMapsTest : public MapsDocFixture
{
protected:
    // `count` maps with the map `current` (-1: none) current, in a closed step.
    void setUp(int count, int current)
    {
        document = documentWithMaps(count);
        maps = document->maps();
        document->setCurrentMapNumber(current);
        closeStep();
    }

    void closeStep() { undo->closeEventGroup(); }

    // The maps and the current map as indexes into `maps`; checks that the
    // current map and its number agree.
    MapsState state() const
    {
        MapsState s;
        for (const auto &map : document->maps())
            s.order.append(int(maps.indexOf(map)));
        const auto &current = document->currentMap();
        if (current) {
            EXPECT_EQ(document->objectInMapsAtIndex(document->currentMapNumber()), current);
            s.current = int(maps.indexOf(current));
        } else {
            EXPECT_EQ(document->currentMapNumber(), -1);
            s.current = None;
        }
        return s;
    }

    // Runs `action` as one step, then checks the state after it, after undo
    // and after redo.
    void expectStep(const std::function<void()> &action, const MapsState &after,
                    const QString &actionName)
    {
        const MapsState before = state();
        const int steps = undo->undoStepCount();
        action();
        closeStep();
        EXPECT_EQ(undo->undoStepCount(), steps + 1);
        EXPECT_EQ(undo->undoActionName(), actionName);
        expectState(after, "after");
        undo->undo();
        expectState(before, "after undo");
        EXPECT_EQ(undo->redoActionName(), actionName);
        undo->redo();
        expectState(after, "after redo");
    }

    void expectState(const MapsState &expected, const char *when) const
    {
        const MapsState s = state();
        EXPECT_EQ(s.order, expected.order) << when;
        EXPECT_EQ(s.current, expected.current) << when;
    }

    // The events an action gives, with a window attached.
    QStringList eventsOf(const std::function<void()> &action)
    {
        EventLog log;
        RecordingOwner owner(log);
        document->setDocument(&owner);
        NotificationRecorder recorder(log, mapNotifications);
        action();
        document->setDocument(nullptr);
        return log.events;
    }

    std::shared_ptr<TWMapsDoc> document;
    TWMapsDoc::MapList maps;
};

TEST_F(TWMapsDocMapsTest, DeletingAMapMakesTheLastCurrentAndUndoRestoresTheOldCurrent)
{
    struct Case
    {
        int count, current, index;
        MapsState after;
    };
    const Case cases[] = {
        {3, 0, 0, {{1, 2}, 2}},     // the current map itself
        {3, 0, 2, {{0, 1}, 1}},     // another map
        {3, 1, 1, {{0, 2}, 2}},     // the current middle map
        {3, 2, 0, {{1, 2}, 2}},     // before the current last map
        {3, -1, 1, {{0, 2}, None}}, // none current stays none
        {1, 0, 0, {{}, None}},      // the only map
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.count << " maps, current " << c.current << ", deleting " << c.index);
        setUp(c.count, c.current);
        const auto deleted = maps.at(c.index);
        expectStep([&] { document->removeObjectFromMapsAtIndex(c.index); }, c.after,
                   "Delete Mind Map");
        EXPECT_EQ(deleted->document(), nullptr);
        undo->undo();
        EXPECT_EQ(deleted->document(), document.get());
    }
}

TEST_F(TWMapsDocMapsTest, CreatingAppendsAMapAndUndoRestoresTheOldCurrent)
{
    for (const auto &[count, current] : {std::pair{3, 0}, {2, -1}, {0, -1}}) {
        SCOPED_TRACE(testing::Message() << count << " maps, current " << current);
        setUp(count, current);
        MapsState after{{}, -1}; // the new map current
        for (int i = 0; i < count; ++i)
            after.order.append(i);
        after.order.append(-1);
        expectStep([&] { document->publicCreateNewMapAtIndex(0); }, after, "Create New Mind Map");
        EXPECT_EQ(document->maps().last()->document(), document.get());
    }
}

TEST_F(TWMapsDocMapsTest, ReorderingMovesTheMapAndUndoRestoresTheOldCurrent)
{
    struct Case
    {
        int current, from, to;
        MapsState after;
    };
    const Case cases[] = {
        {1, 0, 2, {{1, 2, 0}, 0}},  {0, 0, 2, {{1, 2, 0}, 0}}, {2, 2, 0, {{2, 0, 1}, 2}},
        {-1, 1, 0, {{1, 0, 2}, 1}}, {2, 1, 1, {{0, 1, 2}, 1}}, // to its own place: still one step
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "current " << c.current << ", " << c.from << " to " << c.to);
        setUp(3, c.current);
        expectStep([&] { document->publicMoveMapFromIndex(c.from, c.to); }, c.after,
                   "Reorder Mind Maps");
    }
}

TEST_F(TWMapsDocMapsTest, BadIndexesAreRefusedWithoutAStep)
{
    setUp(3, 1);
    const int steps = undo->undoStepCount();
    WarningCapture warnings;
    document->insertObjectInMapsAtIndex(TWMap::create(document.get()), 5);
    document->insertObjectInMapsAtIndex(maps[0], 1); // already listed
    document->insertObjectInMapsAtIndex(nullptr, 0);
    document->removeObjectFromMapsAtIndex(3);
    document->removeObjectFromMapsAtIndex(-1);
    EXPECT_TRUE(document->getMaps(2, 2).isEmpty());
    EXPECT_EQ(warnings.lines().size(), 6);
    EXPECT_EQ(document->objectInMapsAtIndex(3), nullptr);
    EXPECT_EQ(document->objectInMapsAtIndex(-1), nullptr);

    document->publicMoveMapFromIndex(3, 0);
    document->publicMoveMapFromIndex(0, 3);
    document->publicMoveMapFromIndex(-1, 0);
    EXPECT_EQ(alerts.beepCount(), 3);

    closeStep();
    EXPECT_EQ(undo->undoStepCount(), steps);
    expectState({{0, 1, 2}, 1}, "after refusals");
}

TEST_F(TWMapsDocMapsTest, InsertingBeforeTheCurrentMapShiftsItsNumber)
{
    setUp(3, 1);
    document->insertObjectInMapsAtIndex(TWMap::create(document.get()), 0);
    EXPECT_EQ(document->currentMapNumber(), 2);
    document->insertObjectInMapsAtIndex(TWMap::create(document.get()), 2);
    EXPECT_EQ(document->currentMapNumber(), 3);
    document->insertObjectInMapsAtIndex(TWMap::create(document.get()), document->countOfMaps());
    expectState({{-1, 0, -1, 1, 2, -1}, 1}, "after inserting");
}

TEST_F(TWMapsDocMapsTest, SettingTheCurrentMap)
{
    setUp(3, 0);
    expectStep([&] { document->setCurrentMapNumber(2); }, {{0, 1, 2}, 2}, QString());

    // The stored number again: nothing registered, nothing posted.
    const int steps = undo->undoStepCount();
    EXPECT_TRUE(eventsOf([&] { document->setCurrentMapNumber(2); }).isEmpty());
    closeStep();
    EXPECT_EQ(undo->undoStepCount(), steps);

    // A number that names no map leaves none current.
    WarningCapture warnings;
    document->setCurrentMapNumber(7);
    expectState({{0, 1, 2}, None}, "after 7");
    document->setCurrentMapNumber(1);
    document->setCurrentMapNumber(-4);
    expectState({{0, 1, 2}, None}, "after -4");
    EXPECT_EQ(warnings.lines().size(), 2);

    // setCurrentMap registers nothing; a map of no document makes none current.
    closeStep();
    const int before = undo->undoStepCount();
    document->setCurrentMap(maps[2]);
    expectState({{0, 1, 2}, 2}, "after setCurrentMap");
    document->setCurrentMap(TWMap::create(nullptr));
    expectState({{0, 1, 2}, None}, "after a foreign map");
    closeStep();
    EXPECT_EQ(undo->undoStepCount(), before);
}

TEST_F(TWMapsDocMapsTest, NotificationsAndWindowCallsComeInOrder)
{
    const QStringList shown = {
        "UpdateMapTabsNotification",
        "save visible rect",
        "select map",
        "restore visible rect",
        "SelectedGraphicsChangedNotification",
        "DelayedRedrawInRectNotification",
        "TWPrintCanvasControllerNeedsUpdateWhenIdle",
    };

    setUp(2, -1);
    EventLog log;
    NotificationRecorder recorder(log, mapNotifications);
    EXPECT_EQ(eventsOf([&] { document->setCurrentMapNumber(1); }), shown);
    const Notification tabs = recorder.named("UpdateMapTabsNotification").at(0);
    EXPECT_EQ(tabs.sender, document.get());
    const Notification selection = recorder.named("SelectedGraphicsChangedNotification").at(0);
    EXPECT_EQ(selection.sender, maps[1].get());
    EXPECT_TRUE(selection.userInfo.contains(TWMapsDoc::AffectedGraphicsKey));
    const Notification redraw = recorder.named("DelayedRedrawInRectNotification").at(0);
    EXPECT_EQ(redraw.userInfo.value(TWMapsDoc::MapKey).value<TWMap *>(), maps[1].get());
    EXPECT_EQ(redraw.userInfo.value(TWMapsDoc::RectKey).toRectF(), QRectF(0, 0, 617, 458));

    // Deleting the current map: none current for a moment, the last map
    // shown, shown once more, then the deletion itself.
    setUp(3, 0);
    EXPECT_EQ(
        eventsOf([&] { document->removeObjectFromMapsAtIndex(0); }),
        (QStringList{"UpdateMapTabsNotification"} + shown +
         QStringList{"SelectedGraphicsChangedNotification", "DelayedRedrawInRectNotification",
                     "UpdateMapTabsNotification", "TWPrintCanvasControllerNeedsUpdateWhenIdle"}));

    setUp(1, 0);
    EXPECT_EQ(eventsOf([&] { document->removeObjectFromMapsAtIndex(0); }),
              (QStringList{"UpdateMapTabsNotification", "UpdateMapTabsNotification",
                           "TWPrintCanvasControllerNeedsUpdateWhenIdle"}));
}

TEST_F(TWMapsDocMapsTest, ADetachedDocumentPostsNothingAndCutsBackPointers)
{
    setUp(2, 1);
    EventLog log;
    NotificationRecorder recorder(log, mapNotifications);
    document->detach();
    document.reset();
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_EQ(maps[0]->document(), nullptr);
    // Steps that refer to the gone document do nothing.
    undo->undo();
    EXPECT_TRUE(log.events.isEmpty());
}

} // namespace
