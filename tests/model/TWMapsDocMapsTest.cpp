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

    // The maps as their places in `maps` ("n" for a map made since), the
    // current one starred: "0 *2 n". Checks that the current map and its
    // number agree.
    QString state() const
    {
        const auto &current = document->currentMap();
        EXPECT_EQ(document->objectInMapsAtIndex(document->currentMapNumber()), current);
        if (!current) {
            EXPECT_EQ(document->currentMapNumber(), -1);
        }
        QStringList places;
        for (const auto &map : document->maps()) {
            const int place = int(maps.indexOf(map));
            places << (map == current ? "*" : "") + (place < 0 ? "n" : QString::number(place));
        }
        return places.join(' ');
    }

    // Runs `action` as one named step and checks the state after it, after
    // undo and after redo.
    void expectStep(const std::function<void()> &action, const QString &after,
                    const QString &actionName)
    {
        const QString before = state();
        const int steps = undo->undoStepCount();
        action();
        closeStep();
        EXPECT_EQ(undo->undoStepCount(), steps + 1);
        EXPECT_EQ(undo->undoActionName(), actionName);
        EXPECT_EQ(state(), after);
        undo->undo();
        EXPECT_EQ(state(), before) << "after undo";
        EXPECT_EQ(undo->redoActionName(), actionName);
        undo->redo();
        EXPECT_EQ(state(), after) << "after redo";
    }

    // The events an action gives, with a window attached.
    QStringList eventsOf(const std::function<void()> &action)
    {
        EventLog log;
        RecordingOwner owner(log);
        owner.mapsDocument = document.get();
        document->setDocument(&owner);
        NotificationRecorder recorder(log, mapNotifications);
        action();
        document->setDocument(nullptr);
        mapSavedFor = owner.mapSavedFor;
        return log.events;
    }

    std::shared_ptr<TWMap> mapSavedFor;

    std::shared_ptr<TWMapsDoc> document;
    TWMapsDoc::MapList maps;
};

TEST_F(TWMapsDocMapsTest, DeletingAMapMakesTheLastCurrentAndUndoRestoresTheOldCurrent)
{
    struct Case
    {
        int count, current, index;
        QString after;
    };
    const Case cases[] = {
        {3, 0, 0, "1 *2"}, // the current map itself
        {3, 0, 2, "0 *1"}, // another map
        {3, 1, 1, "0 *2"}, // the current middle map
        {3, 2, 0, "1 *2"}, // before the current last map
        {3, -1, 1, "0 2"}, // none current stays none
        {1, 0, 0, ""},     // the only map
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
        QStringList after;
        for (int i = 0; i < count; ++i)
            after << QString::number(i);
        expectStep([&] { document->publicCreateNewMapAtIndex(0); }, (after << "*n").join(' '),
                   "Create New Mind Map");
        EXPECT_EQ(document->maps().last()->document(), document.get());
    }
}

TEST_F(TWMapsDocMapsTest, ReorderingMovesTheMapAndUndoRestoresTheOldCurrent)
{
    struct Case
    {
        int current, from, to;
        QString after;
    };
    const Case cases[] = {
        {1, 0, 2, "1 2 *0"},  {0, 0, 2, "1 2 *0"}, {2, 2, 0, "*2 0 1"},
        {-1, 1, 0, "*1 0 2"}, {2, 1, 1, "0 *1 2"}, // to its own place: still one step
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "current " << c.current << ", " << c.from << " to " << c.to);
        setUp(3, c.current);
        expectStep([&] { document->publicMoveMapFromIndex(c.from, c.to); }, c.after,
                   "Reorder Mind Maps");
    }
}

TEST_F(TWMapsDocMapsTest, SequencesOfCreatingAndMovingUndoToEachPreviousState)
{
    // Each step one undo step; state() checks that the current map and its
    // number agree after every one, undone and redone as well.
    setUp(2, 1);
    const std::function<void()> steps[] = {
        [&] { document->publicCreateNewMapAtIndex(7); },
        [&] { document->publicMoveMapFromIndex(2, 0); },
        [&] { document->setCurrentMapNumber(1); },
        [&] { document->publicCreateNewMapAtIndex(0); },
        [&] { document->publicMoveMapFromIndex(1, 3); },
        [&] { document->removeObjectFromMapsAtIndex(0); },
    };
    QStringList states{state()};
    for (const auto &step : steps) {
        step();
        closeStep();
        states << state();
    }
    EXPECT_EQ(states, (QStringList{"0 *1", "0 1 *n", "*n 0 1", "n *0 1", "n 0 1 *n", "n 1 n *0",
                                   "1 n *0"}));
    for (int i = int(states.size()) - 2; i >= 0; --i) {
        undo->undo();
        EXPECT_EQ(state(), states.at(i)) << "undoing to state " << i;
    }
    for (int i = 1; i < states.size(); ++i) {
        undo->redo();
        EXPECT_EQ(state(), states.at(i)) << "redoing to state " << i;
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
    EXPECT_EQ(state(), "0 *1 2");
}

TEST_F(TWMapsDocMapsTest, InsertingBeforeTheCurrentMapShiftsItsNumber)
{
    setUp(3, 1);
    document->insertObjectInMapsAtIndex(TWMap::create(document.get()), 0);
    EXPECT_EQ(document->currentMapNumber(), 2);
    document->insertObjectInMapsAtIndex(TWMap::create(document.get()), 2);
    EXPECT_EQ(document->currentMapNumber(), 3);
    document->insertObjectInMapsAtIndex(TWMap::create(document.get()), document->countOfMaps());
    EXPECT_EQ(state(), "n 0 n *1 2 n");
}

TEST_F(TWMapsDocMapsTest, SettingTheCurrentMap)
{
    setUp(3, 0);
    expectStep([&] { document->setCurrentMapNumber(2); }, "0 1 *2", QString());

    // The stored number again: nothing registered, nothing posted.
    const int steps = undo->undoStepCount();
    EXPECT_TRUE(eventsOf([&] { document->setCurrentMapNumber(2); }).isEmpty());
    closeStep();
    EXPECT_EQ(undo->undoStepCount(), steps);

    // A number that names no map leaves none current.
    WarningCapture warnings;
    document->setCurrentMapNumber(7);
    EXPECT_EQ(state(), "0 1 2");
    document->setCurrentMapNumber(1);
    document->setCurrentMapNumber(-4);
    EXPECT_EQ(state(), "0 1 2");
    EXPECT_EQ(warnings.lines().size(), 2);

    // setCurrentMap registers nothing; a map of no document makes none current.
    closeStep();
    const int before = undo->undoStepCount();
    document->setCurrentMap(maps[2]);
    EXPECT_EQ(state(), "0 1 *2");
    document->setCurrentMap(TWMap::create(nullptr));
    EXPECT_EQ(state(), "0 1 2");
    closeStep();
    EXPECT_EQ(undo->undoStepCount(), before);
}

TEST_F(TWMapsDocMapsTest, NotificationsAndWindowCallsComeInOrder)
{
    const QStringList shown = {"UpdateMapTabsNotification",
                               "save visible rect",
                               "select map",
                               "restore visible rect",
                               "SelectedGraphicsChangedNotification",
                               "DelayedRedrawInRectNotification",
                               "TWPrintCanvasControllerNeedsUpdateWhenIdle"};

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
    EXPECT_EQ(redraw.userInfo.value(TWMapsDoc::MapKey).value<NotificationObject>().lock<TWMap>(),
              maps[1]);
    EXPECT_EQ(redraw.userInfo.value(TWMapsDoc::RectKey).toRectF(), QRectF(0, 0, 617, 458));

    // Deleting a map while one is current: the last map shown, shown once
    // more, then the deletion itself. The scroll position saved is that of
    // the map current until then.
    const QStringList deleted =
        shown + QStringList{"SelectedGraphicsChangedNotification",
                            "DelayedRedrawInRectNotification", "UpdateMapTabsNotification",
                            "TWPrintCanvasControllerNeedsUpdateWhenIdle"};
    for (const auto &[current, index] : {std::pair{0, 0}, {0, 2}, {2, 0}}) {
        SCOPED_TRACE(testing::Message() << "current " << current << ", deleting " << index);
        setUp(3, current);
        EXPECT_EQ(eventsOf([&] { document->removeObjectFromMapsAtIndex(index); }), deleted);
        EXPECT_EQ(mapSavedFor, maps[current]);
    }

    // The only map: nothing left to show.
    setUp(1, 0);
    EXPECT_EQ(
        eventsOf([&] { document->removeObjectFromMapsAtIndex(0); }),
        (QStringList{"UpdateMapTabsNotification", "TWPrintCanvasControllerNeedsUpdateWhenIdle"}));
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
